#pragma once

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

// The program's main window: the tabs of the analysis windows.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The title for a device type: the product name for profile instruments,
    // the organisation name for contour instruments.
    static QString titleForDeviceType(int deviceType);

private:
    Ui::MainWindow *ui;
};
