#pragma once

#include "settings/settings.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QList>
#include <QString>

class AbstractTrace;
class Device;

namespace Ui {
class SettingsDialog;
}

// The dialog "Параметры": the settings the panels do not show, on four
// pages. OK writes the editors into the settings and saves them; the colours
// and the high-precision switch apply in memory at once, the organisation
// name (with the developer-mode code) is saved at once. Cancel, Escape and
// the close button give the colours, the switch and the name back as they
// were when the dialog opened, in memory and in the file; only the developer
// mode stays as typed. It also leads to the service functions: controllers
// and consoles, the probe calibrations, the developer mode and the serial
// terminal.
class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // parent: the main window, through which the instrument is reached;
    // traces: the traces a calibration works on (not owned).
    SettingsDialog(QWidget *parent, QList<AbstractTrace *> traces);
    ~SettingsDialog() override;

    // Fills every editor from the settings.
    void loadSettings();
    // "Файл найден" when the non-linearity table exists, else "Файл не найден".
    static QString nonLinearityFileStatus();
    // The instrument held by the control panel under the given window, or
    // null when there is none.
    static Device *instrumentOf(QWidget *window);

    void onAccepted();
    void onRejected();

    void onGraphColorChanged(const QColor &color);
    void onSelectedGraphColorChanged(const QColor &color);
    void onVisualObjectsColorChanged(const QColor &color);
    void onNonLinearityToggled(int state);
    void onChooseNonLinearityData();
    void onParamsSettingsReleased();
    void onAlternativeControlStateChanged(int state);
    void onAnglesInDoubleStateChanged(int state);
    void onAxisUnitChanged(const QString &text);
    void onPressingPowerChanged(const QString &text);

    void onControllersClicked();
    void onConsolesClicked();
    void openUsersDialogWithPassword(int mode, const QList<AbstractTrace *> &traces, QWidget *parent);
    void onCalibrationButtonReleased();
    void startContourCalibration();
    void openReferenceRaDialog(QWidget *parent);
    void onReferenceRaAccepted();
    void onFactoryNameChanged(const QString &text);
    void setServiceWidgetsVisible(bool visible);
    void onTermiteButtonReleased();

private:
    void setupColors();
    void setupConnections();
    void applyDeviceType();

    // The settings and the settings file as they were when the dialog
    // opened, so that Cancel can give both back.
    struct Opening {
        Settings record;
        bool fileExisted;
        QByteArray file;
    };

    Ui::SettingsDialog *ui;
    QList<AbstractTrace *> m_traces;
    QWidget *m_parent;
    Opening m_opening;
};
