#pragma once

#include "settings/settings.h"

#include <QWidget>

namespace Ui {
class FastSettingsWidget;
}

// The quick-settings panel of the profile window: needle pressing, measurement
// mode, file name of saved traces, current controller and current console.
// Every edit goes into Settings and is saved at once; the panel keeps no state
// of its own.
class FastSettingsWidget : public QWidget {
    Q_OBJECT

public:
    explicit FastSettingsWidget(QWidget *parent = nullptr);
    ~FastSettingsWidget() override;

    // Refills the controller and console lists from Settings. The change
    // handlers stay connected, so every change of the current entry made here
    // is made exactly as the operator's own choice would be; the file is
    // written once, and only when the current entries changed.
    void updateControllersAndConsoles();

Q_SIGNALS:
    void setDeviceType(int type);
    void changePressingPower(MovementSettings::E_NEEDLE_PRESSING needlePressing, int pressingPorwer);
    void setMMPerRotation(double value);

public Q_SLOTS:
    void lockButtons();
    void unlockButtons();
    void enableFastSettings(bool enable);
    void setInerface(int type);

private:
    void loadSettings();
    void connectSignals();
    void setEditorsEnabled(bool enabled);

    void onControllerChanged(int index);
    void onConsoleChanged(int index);
    void onNeedlePressingChanged(int index);
    void onMmPerRotationChanged(double value);
    void onMeasurementModeChanged(int index);
    void onTraceFileNameChanged(const QString &text);

    Ui::FastSettingsWidget *ui;
    // True while the lists are refilled: the handlers leave the saving to it.
    bool refilling = false;
};
