#pragma once

#include <QMainWindow>
#include <QVector>

class AbstractTrace;
class ProfileAnalisisWidget;

namespace Ui {
class MainWindow;
}

// The program's single top-level window. Tab 0 is the profile window, which
// reads traces; every further tab is a measurement window opened on clones
// of traces handed over from it. The menus open and save traces, open the
// settings and write reports. The instrument's keyboard control acts only
// while the profile tab is current.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The title for a device type: the product name for profile instruments,
    // the organisation name for contour instruments.
    static QString titleForDeviceType(int deviceType);

    void updateWindowTitle(int deviceType);
    void saveTracesNative();
    void saveTracesAsPoints();
    void onCurrentTabChanged(int index);
    void closeMeasurementTab(int index);
    // Asks for a trace file to open; the chosen folder becomes the folder
    // of the next question. Empty when cancelled.
    static QString askTraceFilePath(QWidget *parent);

    Ui::MainWindow *ui;
    ProfileAnalisisWidget *profileWindow = nullptr;

Q_SIGNALS:
    void settingsChanged();

public Q_SLOTS:
    void openNewTrace();
    void openInfoWindow();
    void createMeasurmentWidget(QVector<AbstractTrace *> t);
    void printReport();
    void openSettings();

private:
    void connectActions();
    void makeProfileTabFixed();
    void saveTraces(int format);
    // Asks for the operator's name when no controller is known yet; false
    // when the operator cancelled.
    bool ensureController();
};
