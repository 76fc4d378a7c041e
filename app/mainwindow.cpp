#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    logger.log(Logger::INFO, "Start Programm");
    setWindowTitle(titleForDeviceType(Settings::instance().device_type));
}

MainWindow::~MainWindow()
{
    delete ui;
}

QString MainWindow::titleForDeviceType(int deviceType)
{
    return Common::isProfileDevice(deviceType) ? Common::kProductName : Common::kOrganizationName;
}
