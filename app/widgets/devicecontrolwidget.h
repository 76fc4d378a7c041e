#pragma once

#include "algos/tracetypes.h"
#include "device/device.h"
#include "settings/settings.h"

#include <QList>
#include <QString>
#include <QWidget>

class DataProvider;
class KeyReceiver;
class QAbstractButton;
class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace Ui {
class DeviceControlWidget;
}

// The operator's panel for the instrument ("УПРАВЛЕНИЕ"): jog buttons, trace
// start, additional trace and stop, speed, filter and trace length, the two
// calibration buttons, the position bar and a fading notification line. It
// holds the process's only instrument object and turns the instrument's
// reports into the states of its controls. Everything runs on the GUI thread.
class DeviceControlWidget : public QWidget {
    Q_OBJECT

public:
    explicit DeviceControlWidget(QWidget *parent = nullptr);
    ~DeviceControlWidget() override;

    // Stores the cut-off index (0..4), sends it to the instrument, saves the
    // settings and shows it in the filter list.
    void setFilterIndex(int index);
    // The tracing speed chosen in the speed list, in mm/s; 0 without a valid choice.
    double currentSpeed();
    void applySettings(int needlePressing, int pressingPower);
    // Builds the key map, places the Y and Z jog pairs to match and returns
    // the key receiver (owned by the panel).
    KeyReceiver *setupKeyReceiver();

    static constexpr int kStatusIntervalMs = 1000;
    static constexpr int kNotificationMs = 2000;
    static constexpr int kFadeMs = 1000;

private:
    Ui::DeviceControlWidget *ui;

public:
    // The instrument. Other parts of the program reach it through the panel.
    Device device;

private:
    bool isTracing;
    bool calibrationRequested;
    QGraphicsOpacityEffect *opacityEffect;
    QPropertyAnimation *fadeAnimation;
    KeyReceiver *keyReceiver;

Q_SIGNALS:
    void newTrace(DataProvider *p, E_ANALISIS_TYPE type);
    void lockButtons();
    void unlockButtons();
    void statusBarText(QString txt);
    void deleteAllTrace();
    void setStatusProgressBar(int status, QString statusName);
    void enableFastSettings(bool enable);
    void dataReset();
    void newDeviceType(int type);

public Q_SLOTS:
    void setDeviceType(int type);
    void changePressingPower(MovementSettings::E_NEEDLE_PRESSING needlePressing, int pressingPorwer);
    void setMMPerRotation(double value);
    void setEnableAdditionalTraceButton(bool enabled);
    void onCalibPushButtonPressed();
    void onOpenLoader(QString name);

private:
    void connectSignals();
    void connectJogButton(
        QAbstractButton *button, const char *redIcon, const char *blackIcon, void (Device::*move)(int), int direction);
    void applyDeviceTypeLayout();
    QList<QWidget *> lockedControls() const;
    void lockControls();
    void unlockControls();
    void showNotification(QString text);
    void onNotificationTimeout();
    void onNotificationFaded();
    void openCalibRaDialog();
    void onShowLoader(QString name);
    void onLoaderCanceled();

    void onCtrlStateChanged(bool pressed);
    void onSpeedChanged(int index);
    void onSpeedIndexToDevice(int index);
    void onTraceLengthChanged(int length);
    void onDeviceOpened();
    void onDeviceLost();
    void onPrepareTrace();
    void onStartTraceReleased();
    void onAdditionalTraceReleased();
    void onStopTraceReleased();
    void onDeviceStopTrace();
    void onAcquisitionEnded();
    void onNeedCalibration();
    void onBarValue(int value);
    void onDeviceTypeChanged(int type);
    void onStatusTimer();
    void onFocusChanged(QWidget *old, QWidget *now);

    void sendTraceParameters();
    void startAcquisition(E_ANALISIS_TYPE type);
    bool portOpen() const;
};
