#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "analysis/contouranalisiswidget.h"
#include "analysis/profileanalisiswidget.h"
#include "dataproviders/filedataprovider.h"
#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/tracesaving.h"
#include "traces/tracereaders.h"
#include "widgets/infowindow.h"
#include "widgets/keyreceiver.h"
#include "widgets/prompts.h"
#include "widgets/settingsdialog.h"

#include <QFile>
#include <QMenuBar>
#include <QShortcut>
#include <QTabBar>

namespace {
const QString kProfileTabName = QStringLiteral("ПРОФИЛЬ");
const QString kMeasurementTabName = QStringLiteral("ИЗМЕРЕНИЯ #%1");

// Secondary dialogs carry no context-help button in their title bar.
void dropHelpButton(QWidget *dialog)
{
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    logger.log(Logger::INFO, "Start Programm");

    profileWindow = new ProfileAnalisisWidget(this);
    connect(this, &MainWindow::settingsChanged, profileWindow, &ProfileAnalisisWidget::settingsChanged);
    ui->tabWidget->addTab(profileWindow, kProfileTabName);
    updateWindowTitle(Settings::instance().device_type);

    connectActions();
    makeProfileTabFixed();
    qApp->installEventFilter(profileWindow->keyReceiver);
}

MainWindow::~MainWindow()
{
    logger.log(Logger::INFO, "End programm");
    delete ui;
}

void MainWindow::connectActions()
{
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &MainWindow::onCurrentTabChanged);
    connect(ui->actionProgramInfo, &QAction::triggered, this, &MainWindow::openInfoWindow);
    connect(ui->actionOpenTrace, &QAction::triggered, this, &MainWindow::openNewTrace);
    connect(ui->actionSaveToLocalFormat, &QAction::triggered, this, &MainWindow::saveTracesNative);
    connect(ui->actionSaveToPointFormat, &QAction::triggered, this, &MainWindow::saveTracesAsPoints);
    connect(new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_S), this), &QShortcut::activated, this,
        &MainWindow::saveTracesNative);
    connect(profileWindow, &ProfileAnalisisWidget::readyForMeasurment, this, &MainWindow::createMeasurmentWidget);
    connect(ui->tabWidget, &QTabWidget::tabCloseRequested, this, &MainWindow::closeMeasurementTab);

    connect(ui->actionSettings, &QAction::triggered, this, &MainWindow::openSettings);
    connect(ui->actionPrint, &QAction::triggered, this, &MainWindow::printReport);
    connect(new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_P), this), &QShortcut::activated, this,
        &MainWindow::printReport);
    // No menu may be used while a reading runs; the shortcuts stay active.
    connect(profileWindow, &ProfileAnalisisWidget::lockButtons, this, [this] { menuBar()->setEnabled(false); });
    connect(profileWindow, &ProfileAnalisisWidget::unlockButtons, this, [this] { menuBar()->setEnabled(true); });
    connect(profileWindow, &ProfileAnalisisWidget::newDeviceType, this, &MainWindow::updateWindowTitle);
}

// Every measurement tab can be closed, the profile tab cannot.
void MainWindow::makeProfileTabFixed()
{
    ui->tabWidget->setTabsClosable(true);
    QTabBar *bar = ui->tabWidget->tabBar();
    for (QTabBar::ButtonPosition side : { QTabBar::LeftSide, QTabBar::RightSide }) {
        if (QWidget *button = bar->tabButton(0, side)) {
            bar->setTabButton(0, side, nullptr);
            delete button;
        }
    }
}

QString MainWindow::titleForDeviceType(int deviceType)
{
    return Common::isProfileDevice(deviceType) ? Common::kProductName : Common::kOrganizationName;
}

void MainWindow::updateWindowTitle(int deviceType)
{
    setWindowTitle(titleForDeviceType(deviceType));
}

// The instrument's keys act only while the profile tab, which shows the
// control panel, is current. While a dialog, message or menu is open the
// receiver leaves the keys to it by itself.
void MainWindow::onCurrentTabChanged(int index)
{
    profileWindow->keyReceiver->blockSignals(index > 0);
}

QString MainWindow::askTraceFilePath(QWidget *parent)
{
    Settings &s = Settings::instance();
    const QString path = Prompts::instance().openFileName(parent, QStringLiteral("Открыть трассу"),
        s.preferenses.save_trace_folder, QStringLiteral("Данные трассы (*.txt | *.igs | *.Vantor)"));
    if (!path.isEmpty()) {
        s.preferenses.save_trace_folder = TraceSaving::folderOf(path);
        s.save();
    }
    return path;
}

void MainWindow::openNewTrace()
{
    const QString path = askTraceFilePath(this);
    QByteArray kind;
    if (path.isEmpty())
        return;
    // A file open already: its entry is selected in the profile tab, which
    // comes forward so that the operator sees it and the word about it.
    if (profileWindow->showOpenFile(path)) {
        ui->tabWidget->setCurrentWidget(profileWindow);
        return;
    }
    if (!FileDataProvider::firstLineKind(path, kind))
        return;
    profileWindow->setDataProvider(new FileDataProvider(path));
    profileWindow->startReading(unsigned(TraceFormat::kindFromName(kind)));
}

void MainWindow::openInfoWindow()
{
    InfoWindow info(this);
    dropHelpButton(&info);
    Prompts::instance().execDialog(&info);
}

void MainWindow::createMeasurmentWidget(QVector<AbstractTrace *> t)
{
    const int n = ui->tabWidget->count();
    logger.log(Logger::INFO, "Create measurment #" + std::to_string(n));
    // The window takes no Qt parent from its opener; the tab widget adopts it.
    auto *window = new ContourAnalisisWidget(this, false);
    ui->tabWidget->addTab(window, kMeasurementTabName.arg(n));
    ui->tabWidget->setCurrentWidget(window);
    window->setTraces(t);
    connect(this, &MainWindow::settingsChanged, window, &ContourAnalisisWidget::recalcAllMeasurements);
}

void MainWindow::closeMeasurementTab(int index)
{
    logger.log(Logger::INFO, "Delete tab measurmen #" + std::to_string(index));
    if (QWidget *widget = ui->tabWidget->widget(index))
        widget->deleteLater();
    ui->tabWidget->removeTab(index);
}

void MainWindow::saveTraces(int format)
{
    if (auto *window = qobject_cast<AnalisysWidget *>(ui->tabWidget->currentWidget()))
        window->saveData(DataSaveFormat(format));
}

void MainWindow::saveTracesNative()
{
    saveTraces(int(DataSaveFormat::SOURCE_FORMAT));
}

void MainWindow::saveTracesAsPoints()
{
    saveTraces(int(DataSaveFormat::POINT_FORMAT));
}

bool MainWindow::ensureController()
{
    Settings &s = Settings::instance();
    if (!s.controllers.isEmpty())
        return true;
    bool ok = false;
    const QString name = Prompts::instance().getItem(this, QStringLiteral("Контроллер"),
        QStringLiteral("Имя контролёра"), s.controllers, s.controllers.indexOf(s.current_controller_name), false,
        &ok);
    if (!ok)
        return false;
    s.current_controller_name = name;
    s.controllers.append(name);
    s.save();
    profileWindow->settingsChanged();
    return true;
}

void MainWindow::printReport()
{
    logger.log(Logger::INFO, "Saving report");
    if (profileWindow->allTraces().isEmpty()) {
        Prompts::instance().warning(
            this, QStringLiteral("Ошибка печати отчёта"), QStringLiteral("Нет трасс для сохранения отчёта"));
    } else if (ensureController()) {
        if (auto *window = qobject_cast<AnalisysWidget *>(ui->tabWidget->currentWidget()))
            window->saveReport(this);
    }
}

void MainWindow::openSettings()
{
    logger.log(Logger::INFO, "Open SettingsDialog");
    SettingsDialog dialog(this, profileWindow->visibleTraces());
    dropHelpButton(&dialog);
    Prompts::instance().execDialog(&dialog);
    logger.log(Logger::INFO, "Close SettingsDialog");
    Q_EMIT settingsChanged();
}
