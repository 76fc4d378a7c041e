#include "analysis/profileanalisiswidget.h"
#include "ui_profileanalisiswidget.h"

#include "analysis/panelfiltercontrol.h"
#include "dataproviders/dataprovider.h"
#include "dataproviders/devicedataprovider.h"
#include "dataproviders/filedataprovider.h"
#include "plot/adaptivecurve.h"
#include "plot/axisrange.h"
#include "plot/curveregistry.h"
#include "plot/displaypoints.h"
#include "plot/plotwidget.h"
#include "plot/suffixaxisticker.h"
#include "plot/tracegraphsholder.h"
#include "report/profilereport.h"
#include "report/reportgenerator.h"
#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "tracelist.h"
#include "traces/contourtrace.h"
#include "traces/processingchain.h"
#include "traces/processors.h"
#include "traces/profiletrace.h"
#include "traces/tracejoin.h"
#include "traces/tracesaving.h"
#include "widgets/autounfocusspinbox.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/fastsettingswidget.h"
#include "widgets/keyreceiver.h"
#include "widgets/prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <cmath>
#include <utility>

namespace {

// Batches of a reading redraw the main plot at most this often.
constexpr int kBatchReplotIntervalMs = 40;

// A message for the operator stays on the status bar this long.
constexpr int kOperatorMessageMs = 8000;

void logInfo(const QString &text)
{
    logger.log(Logger::INFO, text.toStdString());
}

// The automatic file of a new trace: the proposed path, or, when a file is
// there already (a trace started within the same second as the last one),
// the path with "_2", "_3"... after the time, so no trace takes another's file.
QString unusedPath(const QString &proposed)
{
    const QString suffix = QStringLiteral(".txt");
    return TraceSaving::numberedPath(proposed, [&](const QString &path) { return QFileInfo::exists(path + suffix); })
        + suffix;
}

// What the operator is told when an acquisition was cut short before its data
// arrived: the title, the cause, and the line for the log.
struct Interruption {
    QString title;
    QString cause;
    const char *log;
};

Interruption interruption(Device::TraceEnd how)
{
    switch (how) {
    case Device::NoAnswer:
        return { QStringLiteral("Прибор не отвечает"),
            QStringLiteral("Прибор ничего не передал в течение %1 с после остановки трассы.")
                .arg(Device::kStopAnswerTimeoutMs / 1000),
            "Acquired trace ended: the instrument sent nothing after the stop; not saved" };
    case Device::TraceRestarted:
        return { QStringLiteral("Трасса прервана"),
            QStringLiteral("Новая трасса начата до получения данных предыдущей."),
            "Acquired trace replaced by a new one before its sample block; not saved" };
    default:
        return { QStringLiteral("Трасса прервана"),
            QStringLiteral("Связь с прибором потеряна до получения данных трассы."),
            "Acquired trace interrupted before its sample block; not saved" };
    }
}

// Whether a profile trace's roughness or waviness filter was made with
// another cut-off than the trace's own: a file's trace is made with the
// panel's cut-off before its header gives its own.
bool filteredWithOtherCutOff(const AbstractTrace *trace)
{
    const auto *profile = dynamic_cast<const ProfileTrace *>(trace);
    if (!profile)
        return false;
    for (const PostProcessorPtr &processor : trace->postProcessors) {
        if (const auto *roughness = dynamic_cast<const FilterRoughnessProfileProcessor *>(processor.get())) {
            if (roughness->cutOff != profile->cutOff)
                return true;
        } else if (const auto *waviness = dynamic_cast<const FilterWaveProfileProcessor *>(processor.get())) {
            if (waviness->cutOff != profile->cutOff)
                return true;
        }
    }
    return false;
}

} // namespace

ProfileAnalisisWidget::ProfileAnalisisWidget(MainWindow *parent)
    : AnalisysWidget(QStringLiteral("ПРОФИЛЬ"))
    , ui(new Ui::ProfileAnalisisWidget)
{
    Q_UNUSED(parent)
    qRegisterMetaType<QVector<AbstractTrace *>>("QVector<AbstractTrace*>");
    ui->setupUi(this);
    plotMain = ui->plotMain;
    plotHist = ui->plotHist;
    plotRMR = ui->plotRMR;
    m_filterControl = std::make_unique<PanelFilterControl>(ui->deviceControlWidget, ui->traceList);
    m_batchReplot = new QTimer(this);
    m_batchReplot->setSingleShot(true);
    m_batchReplot->setInterval(kBatchReplotIntervalMs);
    connect(m_batchReplot, &QTimer::timeout, this, &ProfileAnalisisWidget::rescaleMainPlot);

    keyReceiver = ui->deviceControlWidget->setupKeyReceiver();
    setupPlots();
    setupToolBar();
    connectSignals();
    applyAxisUnits();
}

ProfileAnalisisWidget::~ProfileAnalisisWidget()
{
    // The holders leave the plots before the plots go.
    qDeleteAll(graphHolders);
    graphHolders.clear();
    m_holderTraces.clear();
    // The list deletes every trace it holds once the base has waited for
    // the reading still running, the one being read included.
    if (m_readingTrace && ui->traceList->traces.contains(m_readingTrace->id))
        ui->traceList->acquiringTrace = nullptr;
    delete ui;
}

DeviceControlWidget *ProfileAnalisisWidget::deviceControlWidget() const
{
    return ui->deviceControlWidget;
}

TraceList *ProfileAnalisisWidget::traceList() const
{
    return ui->traceList;
}

FastSettingsWidget *ProfileAnalisisWidget::fastSettingsWidget() const
{
    return ui->fastSettingsWidget;
}

QList<QAction *> ProfileAnalisisWidget::toolActions() const
{
    return { ui->actionReset, ui->actionPAN, ui->actionPTS, ui->actionRLine, ui->actionRFit, ui->actionSelectionZoom,
        ui->actionMarkers, ui->actionCut, ui->actionToMeasurement };
}

// ---------------------------------------------------------------- form

void ProfileAnalisisWidget::setupPlots()
{
    for (PlotWidget *plot : { plotMain, plotHist, plotRMR }) {
        plot->setFont(Common::kMonospaceFont);
        plot->plotLayout()->clear();
        auto *rect = new QCPAxisRect(plot, true);
        plot->plotLayout()->addElement(0, 0, rect);
        for (QCPAxis *axis : rect->axes())
            axis->setTicker(QSharedPointer<SuffixAxisTicker>::create());
        // Top and right axes without labels, their ranges tied to bottom and left.
        rect->setupFullAxesBox(true);
        plot->xAxis = rect->axis(QCPAxis::atBottom);
        plot->yAxis = rect->axis(QCPAxis::atLeft);
        plot->xAxis2 = rect->axis(QCPAxis::atTop);
        plot->yAxis2 = rect->axis(QCPAxis::atRight);
        for (QCPAxis *axis : { plot->yAxis, plot->yAxis2 }) {
            axis->setNumberFormat(QStringLiteral("f"));
            axis->setNumberPrecision(3);
        }
    }
    plotMain->yAxis2->setVisible(false);
    plotHist->yAxis->setVisible(false);
    plotRMR->yAxis->setVisible(false);
    plotMain->xAxis->setNumberFormat(QStringLiteral("f"));
    plotMain->xAxis->setNumberPrecision(3);
    plotRMR->setCursor(Qt::CrossCursor);
    // The side plots are narrow: fewer percent ticks keep their labels apart.
    plotHist->xAxis->ticker()->setTickCount(3);
    plotRMR->xAxis->ticker()->setTickCount(3);
}

void ProfileAnalisisWidget::setupToolBar()
{
    ui->toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto *spacer = new QWidget(ui->toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ui->toolBar->addWidget(spacer);

    auto *container = new QWidget(ui->toolBar);
    container->setObjectName(QStringLiteral("processingControls"));
    auto *layout = new QHBoxLayout(container);

    const Settings &settings = Settings::instance();
    const UserPreferences &prefs = settings.preferenses;

    profileModeComboBox = new QComboBox(container);
    profileModeComboBox->setObjectName(QStringLiteral("profileModeComboBox"));
    profileModeComboBox->addItems({ QStringLiteral("Первичный профиль"), QStringLiteral("Профиль шероховатости"),
        QStringLiteral("Профиль волнистости") });
    profileModeComboBox->setCurrentIndex(prefs.profile_filter_mode);

    threadCompensationCheckBox = new QCheckBox(QStringLiteral("Компенсация угла резьбы"), container);
    threadCompensationCheckBox->setObjectName(QStringLiteral("threadCompensationCheckBox"));
    threadCompensationCheckBox->setChecked(prefs.thread_angle_compensation);

    threadAngleSpinBox = new QDoubleSpinBox(container);
    threadAngleSpinBox->setObjectName(QStringLiteral("threadAngleSpinBox"));
    threadAngleSpinBox->setRange(0, 70);
    threadAngleSpinBox->setSuffix(QStringLiteral(" °"));
    threadAngleSpinBox->setDecimals(2);
    threadAngleSpinBox->setSingleStep(0.01);
    threadAngleSpinBox->setValue(prefs.thread_angle_compensation_value);
    threadAngleSpinBox->setEnabled(threadCompensationCheckBox->isChecked());

    medianFilterCheckBox = new QCheckBox(QStringLiteral("Медианный фильтр"), container);
    medianFilterCheckBox->setObjectName(QStringLiteral("medianFilterCheckBox"));
    medianFilterCheckBox->setChecked(prefs.meadian_filter);

    medianFilterSpinBox = new AutoUnfocusSpinBox(container);
    medianFilterSpinBox->setObjectName(QStringLiteral("medianFilterSpinBox"));
    medianFilterSpinBox->setRange(3, 50);
    medianFilterSpinBox->setSuffix(QStringLiteral(" точек"));
    medianFilterSpinBox->setValue(prefs.meadian_filter_value);
    medianFilterSpinBox->setEnabled(medianFilterCheckBox->isChecked());

    auto *densityLabel = new QLabel(QStringLiteral("Плотность гистограммы:"), container);
    histogramDensitySpinBox = new AutoUnfocusSpinBox(container);
    histogramDensitySpinBox->setObjectName(QStringLiteral("histogramDensitySpinBox"));
    histogramDensitySpinBox->setRange(1, 50);
    histogramDensitySpinBox->setSuffix(QStringLiteral("%"));
    histogramDensitySpinBox->setValue(prefs.histogramm_density_value);

    for (QWidget *w : std::initializer_list<QWidget *> { profileModeComboBox, threadCompensationCheckBox,
             threadAngleSpinBox, medianFilterCheckBox, medianFilterSpinBox, densityLabel, histogramDensitySpinBox })
        layout->addWidget(w);
    ui->toolBar->addWidget(container);

    applyDeviceTypeVisibility(settings.device_type);
}

void ProfileAnalisisWidget::applyDeviceTypeVisibility(int type)
{
    const bool contour = isContourTraceKind(type);
    threadCompensationCheckBox->setVisible(contour);
    threadAngleSpinBox->setVisible(contour);
    profileModeComboBox->setVisible(!contour);
}

void ProfileAnalisisWidget::connectSignals()
{
    DeviceControlWidget *panel = ui->deviceControlWidget;
    FastSettingsWidget *fast = ui->fastSettingsWidget;
    TraceList *list = ui->traceList;

    connect(ui->actionToMeasurement, &QAction::triggered, this, &ProfileAnalisisWidget::toMeasurement);
    connect(panel, &DeviceControlWidget::newTrace, this, &ProfileAnalisisWidget::onNewTrace);
    connect(panel, &DeviceControlWidget::lockButtons, this, &ProfileAnalisisWidget::lockTools);
    connect(panel, &DeviceControlWidget::unlockButtons, this, &ProfileAnalisisWidget::unlockTools);
    connect(panel, &DeviceControlWidget::lockButtons, fast, [this] { onFastSettingsLock(); });
    connect(panel, &DeviceControlWidget::unlockButtons, fast, [this] { onFastSettingsUnlock(); });
    connect(panel, &DeviceControlWidget::enableFastSettings, fast, &FastSettingsWidget::enableFastSettings);
    connect(panel, &DeviceControlWidget::newDeviceType, fast, [this](int type) { onDeviceTypeChanged(type); });
    connect(fast, &FastSettingsWidget::setDeviceType, panel, &DeviceControlWidget::setDeviceType);
    connect(fast, &FastSettingsWidget::changePressingPower, panel, &DeviceControlWidget::changePressingPower);
    connect(fast, &FastSettingsWidget::setMMPerRotation, panel, &DeviceControlWidget::setMMPerRotation);
    connect(list, &TraceList::traceDeleted, this, &ProfileAnalisisWidget::onTraceDeleted);
    connect(list, &TraceList::setGraphSelected, this, &ProfileAnalisisWidget::onSetGraphSelected);
    connect(list, &TraceList::setGraphVisible, this, &ProfileAnalisisWidget::onSetGraphVisible);
    connect(ui->actionPAN, &QAction::toggled, this, &ProfileAnalisisWidget::onPanToggled);
    connect(ui->actionReset, &QAction::triggered, this, &ProfileAnalisisWidget::onReset);
    // The panel's deleteAllTrace asks nothing of this window.
    connect(list, &TraceList::recalculateTrace, this, &ProfileAnalisisWidget::reprocessTraces);
    connect(list, &TraceList::createTrace, this, &ProfileAnalisisWidget::addJoinedTrace);
    connect(ui->actionPTS, &QAction::toggled, this, &ProfileAnalisisWidget::onPointsToggled);
    connect(ui->actionRLine, &QAction::toggled, this, &ProfileAnalisisWidget::onRLineToggled);
    connect(ui->actionRFit, &QAction::toggled, this, &ProfileAnalisisWidget::onRFitToggled);
    connect(ui->actionSelectionZoom, &QAction::toggled, this, &ProfileAnalisisWidget::onSelectionZoomToggled);
    connect(ui->actionMarkers, &QAction::toggled, this, &ProfileAnalisisWidget::onMarkersToggled);
    connect(ui->actionCut, &QAction::triggered, this, &ProfileAnalisisWidget::onCut);
    // The side plots' value axes follow the main plot's value range.
    connect(plotMain->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), plotHist->yAxis,
        QOverload<const QCPRange &>::of(&QCPAxis::setRange));
    connect(plotMain->yAxis, QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), plotRMR->yAxis,
        QOverload<const QCPRange &>::of(&QCPAxis::setRange));
    connect(plotMain, &QCustomPlot::afterReplot, this, &ProfileAnalisisWidget::onParamPlotsAfterReplot);
    connect(plotRMR, &QCustomPlot::mousePress, this, &ProfileAnalisisWidget::onMaterialRatioPlotPressed);
    connectProcessingControls();
    connect(panel, &DeviceControlWidget::statusBarText, this, [this](QString text) {
        // The instrument's running status waits while a message for the
        // operator is shown.
        if (m_operatorMessage.hasExpired())
            ui->statusBar->showMessage(text);
    });
}

void ProfileAnalisisWidget::connectProcessingControls()
{
    connect(threadCompensationCheckBox, &QCheckBox::stateChanged, this,
        &ProfileAnalisisWidget::onThreadCompensationChanged);
    connect(threadAngleSpinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        &ProfileAnalisisWidget::onThreadAngleChanged);
    connect(medianFilterSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &ProfileAnalisisWidget::onMedianWindowChanged);
    connect(medianFilterCheckBox, &QCheckBox::stateChanged, this, &ProfileAnalisisWidget::onMedianFilterChanged);
    connect(profileModeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &ProfileAnalisisWidget::onProfileModeChanged);
    connect(histogramDensitySpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &ProfileAnalisisWidget::onHistogramDensityChanged);
}

// ---------------------------------------------------------------- processing chain

AbstractTrace *ProfileAnalisisWidget::makeTrace(unsigned traceType)
{
    const Settings &s = Settings::instance();
    AbstractTrace *trace = nullptr;
    if (isProfileTraceKind(int(traceType))) {
        auto *profile = new ProfileTrace();
        profile->speed = ui->deviceControlWidget->currentSpeed();
        profile->cutOff = Common::cutOffLength(s.filterIndex());
        profile->medianWindow = medianFilterSpinBox->value();
        profile->medianEnabled = medianFilterCheckBox->isChecked();
        trace = profile;
    } else if (isContourTraceKind(int(traceType))) {
        auto *contour = new ContourTrace();
        contour->tool_head_radius_down = s.tool_head_radius_down;
        contour->tool_head_radius_up = s.tool_head_radius_up;
        contour->double_sided_probe_high = s.double_sided_probe_high;
        contour->needle_bias = s.needle_bias;
        contour->rack_perpendicular = s.rack_prpendicular;
        contour->roughness_ratio = s.roughness_ratio;
        contour->x_axis_compression_ratio = s.x_axis_compression_ratio;
        contour->y_axis_compression_ratio = s.y_axis_compression_ratio;
        contour->displacement_coefficient = s.displacement_coefficient;
        contour->measurement_mode = s.measurement_mode;
        trace = contour;
    } else {
        logger.log(Logger::WARNING, "Trace type " + std::to_string(traceType) + " is unknown; nothing is read");
        Prompts::instance().warning(this, QStringLiteral("Ошибка"),
            QStringLiteral("Неизвестный тип трассы: %1. Трасса не прочитана.").arg(traceType));
        return nullptr;
    }

    trace->setTraceType(int(traceType));
    const QDateTime now = QDateTime::currentDateTime();
    trace->creationDate = now;
    const QString folder = automaticTraceFolder(QCoreApplication::applicationDirPath());
    trace->setFilePath(
        unusedPath(TraceSaving::proposedPath(folder + QLatin1Char('/'), s.default_trace_file_name, now)));
    trace->controllerName = s.current_controller_name;

    const QList<PostProcessorPtr> chain = processingChain(
        processingState(), int(traceType), Common::cutOffLength(s.filterIndex()), ChainStage::Creation);
    for (const PostProcessorPtr &processor : chain)
        trace->addPostProcessor(processor);
    return trace;
}

ProcessingState ProfileAnalisisWidget::processingState() const
{
    // The controls count whether or not they are shown: a hidden control
    // keeps its last state.
    ProcessingState state;
    state.medianFilter = medianFilterCheckBox->isChecked();
    state.medianWindow = medianFilterSpinBox->value();
    state.threadCompensation = threadCompensationCheckBox->isChecked();
    state.threadAngle = threadAngleSpinBox->value();
    state.profileMode = profileModeComboBox->currentIndex();
    state.nonLinearity = Settings::instance().preferenses.non_linearity;
    return state;
}

void ProfileAnalisisWidget::reprocessTraces()
{
    const ProcessingState state = processingState();
    for (auto it = graphHolders.constBegin(); it != graphHolders.constEnd(); ++it) {
        AbstractTrace *trace = m_holderTraces.value(it.key());
        // The trace a worker still fills is rebuilt by no one but its reader.
        if (!trace || trace == m_readingTrace)
            continue;
        rebuildChain(trace, state);
        renewContourConversion(*trace);
        trace->recalculate();
        TraceGraphsHolder *holder = it.value();
        holder->updateTraceGraph(holder->mRLine, holder->mRFit);
    }
    rescaleMainPlot();
    // The length shown beside the list is that of the curve drawn now.
    if (AbstractTrace *selected = ui->traceList->selectedTrace)
        ui->traceList->showTraceParams(selected->id);
}

bool ProfileAnalisisWidget::showOpenFile(const QString &path)
{
    const int id = ui->traceList->entryOfFile(path);
    if (id < 0)
        return false;
    logger.log(Logger::INFO, "File already open, its trace is selected: " + path.toStdString());
    ui->traceList->selectTrace(id);
    m_operatorMessage.setRemainingTime(kOperatorMessageMs);
    ui->statusBar->showMessage(
        QStringLiteral("Файл уже открыт, выбрана его трасса: %1").arg(QFileInfo(path).fileName()), kOperatorMessageMs);
    return true;
}

void ProfileAnalisisWidget::rebuildChain(AbstractTrace *trace, const ProcessingState &state)
{
    trace->clearPostProcessors();
    // A profile is filtered with its own cut-off (a file's is in its header).
    auto *profile = dynamic_cast<ProfileTrace *>(trace);
    const QList<PostProcessorPtr> chain
        = processingChain(state, trace->traceType, profile ? profile->cutOff : 0.0, ChainStage::Rebuild);
    for (const PostProcessorPtr &processor : chain)
        trace->addPostProcessor(processor);
}

bool ProfileAnalisisWidget::filterWithOwnCutOff(AbstractTrace *trace)
{
    if (!filteredWithOtherCutOff(trace))
        return false;
    // Processed as a rebuild would process it, so that the trace shows the
    // same curve from its opening on as after any change of the view.
    rebuildChain(trace, processingState());
    trace->recalculate();
    return true;
}

void ProfileAnalisisWidget::settingsChanged()
{
    Settings &s = Settings::instance();
    ui->deviceControlWidget->applySettings(s.needle_pressing, s.power_pressing);
    ui->fastSettingsWidget->updateControllersAndConsoles();
    ui->traceList->refresh();
    applyAxisUnits();
    keyReceiver = ui->deviceControlWidget->setupKeyReceiver();
    if (s.upload_device_settings) {
        // Cleared and saved first, so a failed upload is not repeated by
        // every later settings change.
        s.upload_device_settings = false;
        s.save();
        ui->deviceControlWidget->device.uploadDeviceParams();
    }
}

// ---------------------------------------------------------------- processing controls

void ProfileAnalisisWidget::updateProcessingControls()
{
    const bool free = !m_panelLocked && !m_readingTrace;
    medianFilterCheckBox->setEnabled(free);
    threadCompensationCheckBox->setEnabled(free);
    profileModeComboBox->setEnabled(free);
    medianFilterSpinBox->setEnabled(free && medianFilterCheckBox->isChecked());
    threadAngleSpinBox->setEnabled(free && threadCompensationCheckBox->isChecked());
}

void ProfileAnalisisWidget::onThreadCompensationChanged(int state)
{
    const bool on = state == Qt::Checked;
    logInfo(on ? QStringLiteral("Thread compensation turn on") : QStringLiteral("Thread compensation turn off"));
    Settings &s = Settings::instance();
    s.preferenses.thread_angle_compensation = on;
    threadAngleSpinBox->setEnabled(on);
    reprocessTraces();
    s.save();
}

void ProfileAnalisisWidget::onMedianFilterChanged(int state)
{
    const bool on = state == Qt::Checked;
    logInfo(on ? QStringLiteral("Median filter turn on") : QStringLiteral("Median filter turn off"));
    Settings &s = Settings::instance();
    s.preferenses.meadian_filter = on;
    medianFilterSpinBox->setEnabled(on);
    ui->traceList->setMedianFilter(medianFilterCheckBox->isChecked(), medianFilterSpinBox->value());
    s.save();
    reprocessTraces();
}

void ProfileAnalisisWidget::onProfileModeChanged(int index)
{
    logInfo(QStringLiteral("Profile fiter mode change value"));
    Settings &s = Settings::instance();
    s.preferenses.profile_filter_mode = index;
    s.save();
    reprocessTraces();
    ui->traceList->updateDpParam();
}

void ProfileAnalisisWidget::onThreadAngleChanged(double value)
{
    logInfo(QStringLiteral("Thread compensation change value to ") + QString::asprintf("%f", value));
    Settings &s = Settings::instance();
    s.preferenses.thread_angle_compensation_value = value;
    s.save();
    reprocessTraces();
}

void ProfileAnalisisWidget::onMedianWindowChanged(int value)
{
    logInfo(QStringLiteral("Median filter change value to ") + QString::asprintf("%d", value));
    Settings &s = Settings::instance();
    s.preferenses.meadian_filter_value = value;
    s.save();
    ui->traceList->setMedianFilter(medianFilterCheckBox->isChecked(), value);
    reprocessTraces();
}

void ProfileAnalisisWidget::onHistogramDensityChanged(int value)
{
    logInfo(QStringLiteral("Histogram densyty spinner change value to ") + QString::asprintf("%d", value));
    Settings &s = Settings::instance();
    s.preferenses.histogramm_density_value = value;
    s.save();
    for (TraceGraphsHolder *holder : qAsConst(graphHolders))
        holder->mHistogramDensity = value;
    plotMain->replot();
    ui->traceList->updateDpParam();
}

// ---------------------------------------------------------------- plot tools

QList<TraceGraphsHolder *> ProfileAnalisisWidget::holders(bool visibleOnly) const
{
    QList<TraceGraphsHolder *> result;
    for (TraceGraphsHolder *holder : graphHolders) {
        if (!visibleOnly || holder->isVisible())
            result.append(holder);
    }
    return result;
}

void ProfileAnalisisWidget::onPanToggled(bool on)
{
    logInfo(on ? QStringLiteral("actionPAN in profilewidget enabled")
               : QStringLiteral("actionPAN in profilewidget disabled"));
    if (!on) {
        plotMain->unsetCursor();
        return;
    }
    ui->actionMarkers->setChecked(false);
    ui->actionSelectionZoom->setChecked(false);
    plotMain->setInteractions(PlotWidget::iRangeDrag | PlotWidget::iRangeZoom);
    plotMain->setSelectionRectMode(PlotWidget::srmNone);
    plotMain->setCursor(Qt::OpenHandCursor);
}

void ProfileAnalisisWidget::onSelectionZoomToggled(bool on)
{
    logInfo(on ? QStringLiteral("actionSelectionZoom in profileAyaliswidget enabled")
               : QStringLiteral("actionSelectionZoom in profileAyaliswidget disabled"));
    if (on) {
        ui->actionPAN->setChecked(false);
        ui->actionMarkers->setChecked(false);
        plotMain->setSelectionRectMode(PlotWidget::srmZoom);
    } else {
        plotMain->setSelectionRectMode(PlotWidget::srmNone);
    }
}

void ProfileAnalisisWidget::onMarkersToggled(bool on)
{
    logInfo(on ? QStringLiteral("actionMarkers in profileAyaliswidget enabled")
               : QStringLiteral("actionMarkers in profileAyaliswidget disabled"));
    if (on) {
        ui->actionCut->setEnabled(true);
        ui->actionPAN->setChecked(false);
        ui->actionSelectionZoom->setChecked(false);
        plotMain->setInteractions(
            PlotWidget::iSelectPlottables | PlotWidget::iKeepSelections | PlotWidget::iRangeSelection);
        plotMain->setSelectionRectMode(PlotWidget::srmSelectRealtime);
        for (TraceGraphsHolder *holder : qAsConst(graphHolders)) {
            if (holder->curve())
                holder->curve()->setSelectable(QCP::stDataRange);
        }
    } else {
        plotMain->setInteractions(PlotWidget::iSelectPlottables);
        plotMain->setSelectionRectMode(PlotWidget::srmNone);
        ui->actionCut->setEnabled(false);
    }
}

void ProfileAnalisisWidget::onPointsToggled(bool on)
{
    logInfo(on ? QStringLiteral("actionPTS in profileAyaliswidget enabled")
               : QStringLiteral("actionPTS in profileAyaliswidget disabled"));
    for (TraceGraphsHolder *holder : qAsConst(graphHolders))
        holder->setPointsMode(on);
    plotMain->replot();
}

void ProfileAnalisisWidget::onRLineToggled(bool on)
{
    logInfo(on ? QStringLiteral("actionRLine in profileAyaliswidget enabled")
               : QStringLiteral("actionRLine in profileAyaliswidget disabled"));
    if (!on)
        ui->actionRFit->setChecked(false);
    for (TraceGraphsHolder *holder : holders(true)) {
        holder->updateTraceGraph(on, false);
        ui->actionRFit->setEnabled(on);
    }
    plotMain->replot();
}

void ProfileAnalisisWidget::onRFitToggled(bool on)
{
    logInfo(on ? QStringLiteral("actionRFit in profileAyaliswidget enabled")
               : QStringLiteral("actionRFit in profileAyaliswidget disabled"));
    for (TraceGraphsHolder *holder : holders(true))
        holder->updateTraceGraph(true, on);
    plotMain->rescaleAxes(true);
    plotMain->replot();
}

void ProfileAnalisisWidget::onCut()
{
    logInfo(QStringLiteral("actionCut in profileAyaliswidget"));
    for (TraceGraphsHolder *holder : qAsConst(graphHolders))
        holder->cropToSelection();
    ui->traceList->recalcParamsIfAny();
    plotMain->deselectAll();
    plotMain->rescaleAxes(true);
    plotMain->replot();
}

void ProfileAnalisisWidget::onReset()
{
    logInfo(QStringLiteral("Reset action in profileanaliswidget"));
    rescaleMainPlot();
}

QVector<QCPCurve *> ProfileAnalisisWidget::visibleCurves() const
{
    QVector<QCPCurve *> visible;
    for (QCPCurve *curve : CurveRegistry::curves(plotMain)) {
        if (curve->visible())
            visible.append(curve);
    }
    return visible;
}

void ProfileAnalisisWidget::rescaleMainPlot()
{
    const QVector<QCPCurve *> visible = visibleCurves();
    // Without a visible curve the ranges stay, but the plot is redrawn all
    // the same: a curve just hidden or removed must leave the screen.
    if (visible.isEmpty()) {
        replotMain();
        return;
    }

    const CurveRegistry::DataBounds b = CurveRegistry::dataBounds(visible);
    const double kmin = b.minKey, kmax = b.maxKey, vmin = b.minValue, vmax = b.maxValue;
    // A range of no width (or no points at all) keeps what the plot's own
    // rescale gives; it walks every point again, so it runs only then.
    if (!(kmax > kmin) || !(vmax > vmin))
        plotMain->rescaleAxes(true);
    if (kmax > kmin)
        plotMain->xAxis->setRange(paddedRange(kmin, kmax, 0.05));
    if (vmax > vmin)
        plotMain->yAxis->setRange(paddedRange(vmin, vmax, 0.05));
    replotMain();
}

void ProfileAnalisisWidget::replotMain()
{
    if (m_replotsHeld) {
        m_replotPending = true;
        return;
    }
    plotMain->replot();
}

void ProfileAnalisisWidget::holdReplots()
{
    m_replotsHeld = true;
}

void ProfileAnalisisWidget::releaseReplots()
{
    m_replotsHeld = false;
    if (m_replotPending) {
        m_replotPending = false;
        plotMain->replot();
    }
}

QString ProfileAnalisisWidget::axisUnitName()
{
    switch (Settings::instance().axis_unit) {
    case 0:
        return QStringLiteral("мм");
    case 1:
        return QStringLiteral("мкм");
    case 2:
        return QStringLiteral("нм");
    default:
        return QString();
    }
}

void ProfileAnalisisWidget::applyAxisUnits()
{
    const QString unit = axisUnitName();
    plotMain->xAxis->setLabel(QStringLiteral(" ") + unit);
    plotMain->yAxis->setLabel(QStringLiteral(" ") + unit);
    plotHist->xAxis->setLabel(QStringLiteral("%"));
    plotRMR->xAxis->setLabel(QStringLiteral("%"));
    for (auto it = graphHolders.constBegin(); it != graphHolders.constEnd(); ++it) {
        // The trace being read keeps its drawing until its reading ends.
        it.value()->setUnit(unit, m_holderTraces.value(it.key()) != m_readingTrace);
    }
    rescaleMainPlot();
}

void ProfileAnalisisWidget::updateParamPlots()
{
    const QList<TraceGraphsHolder *> all = holders();
    for (TraceGraphsHolder *holder : all) {
        if (holder->isVisible())
            holder->updateHistogram();
    }
    const bool rLine = ui->actionRLine->isChecked();
    const bool rFit = ui->actionRFit->isChecked();
    for (TraceGraphsHolder *holder : all) {
        // Every change of a trace's points redraws its holder at once, so a
        // holder already drawn with the tools' flags is left as it is.
        if (holder->mRLine != rLine || holder->mRFit != rFit)
            holder->updateTraceGraph(rLine, rFit);
        holder->setPointsMode(ui->actionPTS->isChecked());
    }
    plotHist->xAxis->rescale(true);
    plotRMR->xAxis->rescale(true);
    plotHist->replot();
    plotRMR->replot();
}

void ProfileAnalisisWidget::recalcParamPlots()
{
    if (!isAcquiring && !m_readingTrace)
        updateParamPlots();
}

void ProfileAnalisisWidget::onParamPlotsAfterReplot()
{
    recalcParamPlots();
}

void ProfileAnalisisWidget::onMaterialRatioPlotPressed(QMouseEvent *event)
{
    // The traces' parameters are not touched while one of them is read.
    if (event->button() != Qt::LeftButton || m_readingTrace)
        return;
    const QPointF pos(std::round(event->localPos().x()), std::round(event->localPos().y()));
    const double x = plotRMR->xAxis->pixelToCoord(pos.x());
    const double y = plotRMR->yAxis->pixelToCoord(pos.y());

    if (QCPAbstractPlottable *plottable = plotRMR->plottableAt(pos, true)) {
        if (auto *holder = plottable->property("gholder").value<TraceGraphsHolder *>()) {
            holder->showCursorAt(x, y);
            plotMain->replot();
        }
    }

    const double level = levelInMicrometres(y, Settings::instance().axis_unit);
    for (AbstractTrace *trace : qAsConst(ui->traceList->traces)) {
        if (auto *profile = isProfileTraceKind(trace->traceType) ? dynamic_cast<ProfileTrace *>(trace) : nullptr)
            profile->level = level;
    }
    ui->traceList->updateDpParam();
}

// ---------------------------------------------------------------- locks

void ProfileAnalisisWidget::lockTools()
{
    for (QAction *action : toolActions()) {
        action->setChecked(false);
        action->setEnabled(false);
    }
    Q_EMIT lockButtons();
}

void ProfileAnalisisWidget::unlockTools()
{
    // The end of a reading that still runs unlocks the window itself.
    if (m_readingTrace)
        return;
    for (QAction *action : toolActions())
        action->setEnabled(action != ui->actionCut && action != ui->actionRFit);
    Q_EMIT unlockButtons();
}

void ProfileAnalisisWidget::onFastSettingsLock()
{
    m_panelLocked = true;
    ui->fastSettingsWidget->lockButtons();
    updateProcessingControls();
}

void ProfileAnalisisWidget::onFastSettingsUnlock()
{
    m_panelLocked = false;
    ui->fastSettingsWidget->unlockButtons();
    updateProcessingControls();
}

void ProfileAnalisisWidget::onDeviceTypeChanged(int type)
{
    ui->fastSettingsWidget->setInerface(type);
    applyDeviceTypeVisibility(type);
    Q_EMIT newDeviceType(type);
}

// ---------------------------------------------------------------- holders and readings

TraceGraphsHolder *ProfileAnalisisWidget::addGraphHolder(AbstractTrace *trace)
{
    auto *holder = new TraceGraphsHolder(this, trace, plotMain, plotHist, plotRMR, m_filterControl.get());
    delete graphHolders.value(trace->id);
    graphHolders.insert(trace->id, holder);
    m_holderTraces.insert(trace->id, trace);
    holder->setUnit(axisUnitName(), false);
    return holder;
}

void ProfileAnalisisWidget::drawHolder(TraceGraphsHolder *holder)
{
    holder->updateTraceGraph(ui->actionRLine->isChecked(), ui->actionRFit->isChecked());
    holder->setPointsMode(ui->actionPTS->isChecked());
}

AbstractTrace *ProfileAnalisisWidget::senderTrace() const
{
    auto *provider = qobject_cast<DataProvider *>(sender());
    return provider ? provider->trace() : nullptr;
}

void ProfileAnalisisWidget::onNewTrace(DataProvider *provider, E_ANALISIS_TYPE type)
{
    // A trace started right after the previous one ended (a stop and a start
    // at once, or the instrument's own start key): the previous reading has
    // only its post-processing left, and its end is handled before the next
    // reading replaces it, so it keeps its trace instead of being dropped.
    // The instrument already runs the next trace, so that end asks nothing
    // and unlocks nothing: a question now would hold back the next trace's
    // points and its stop key, and its answer would reach the instrument
    // mid-trace.
    auto *previous = qobject_cast<DeviceDataProvider *>(dataProvider());
    if (previous && previous == m_readingProvider && previous->hasEnded()) {
        previous->waitForFinished();
        m_nextReadingFollows = true;
        finishReading(previous);
        m_nextReadingFollows = false;
    }
    setDataProvider(provider);
    startReading(type);
}

void ProfileAnalisisWidget::abandonStaleReading()
{
    AbstractTrace *stale = m_readingTrace;
    const QPointer<DataProvider> provider = m_readingProvider;
    m_readingTrace = nullptr;
    m_readingProvider = nullptr;
    if (!stale)
        return;
    logger.log(Logger::WARNING, "A reading was replaced before its end; its trace is dropped");
    TraceList *list = ui->traceList;
    // The list leaves the trace being read alone; it is deleted below.
    list->acquiringTrace = stale;
    if (auto *tree = list->findChild<QTreeWidget *>(QStringLiteral("tracesListTreeWidget"))) {
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            if ((*it)->data(0, Qt::UserRole).toInt() == stale->id && list->traces.value(stale->id) == stale) {
                list->removeTraceItem(*it, stale->id);
                break;
            }
        }
    }
    list->acquiringTrace = nullptr;
    if (graphHolders.contains(stale->id))
        onTraceDeleted(stale->id);
    if (provider)
        connect(provider.data(), &QObject::destroyed, [stale] { delete stale; });
    else
        delete stale;
}

void ProfileAnalisisWidget::dataReadStarted()
{
    auto *provider = qobject_cast<DataProvider *>(sender());
    AbstractTrace *trace = senderTrace();
    if (!trace)
        return;
    // An instrument reading may already have started with its first batch.
    if (trace == m_readingTrace && provider == m_readingProvider)
        return;
    if (m_readingTrace && m_readingProvider != provider)
        abandonStaleReading();

    for (QAction *action : toolActions()) {
        action->setChecked(false);
        action->setEnabled(false);
    }
    TraceList *list = ui->traceList;
    list->acquiringTrace = trace;
    if (Settings::instance().test_sensor_mode)
        list->removeAllButAcquired();
    else
        list->hideProfileTraces();
    Q_EMIT lockButtons();

    addGraphHolder(trace);
    isAcquiring = true;
    m_readingTrace = trace;
    m_readingProvider = provider;
    updateProcessingControls();

    if (trace->traceType == ADDITIONAL_TRACE)
        list->addAdditionalTrace(trace, false);
    else
        list->addMainTrace(trace);
}

void ProfileAnalisisWidget::dataBatchReady(int from, int count)
{
    AbstractTrace *trace = senderTrace();
    // The instrument appends points on this thread as they arrive, so its
    // first batches can come before the worker's start notice: the reading
    // starts with the first of them, and no point is left off the plot.
    if (trace && !graphHolders.contains(trace->id) && sender() == dataProvider())
        dataReadStarted();
    TraceGraphsHolder *holder = trace ? graphHolders.value(trace->id) : nullptr;
    if (!holder || !holder->curve() || count <= 0)
        return;
    // Announced raw points only: the worker may be appending more meanwhile.
    const TData points = trace->rawPoints(from, count);
    if (points.size() < 2)
        return;
    const TData shown = rawDisplayPoints(points, trace->traceType, holder->unitFactor());
    const bool firstPoints = holder->curve()->dataCount() == 0;
    holder->curve()->addData(shown.at(0), shown.at(1));
    if (firstPoints)
        holder->curve()->reserveData(trace->expectedPointCount());
    // One redraw serves every batch that arrives meanwhile.
    if (!m_batchReplot->isActive())
        m_batchReplot->start();
}

void ProfileAnalisisWidget::attachFileAdditionalTraces(AbstractTrace *trace)
{
    auto *main = dynamic_cast<ProfileTrace *>(trace);
    if (!main || trace->traceType != PROFILE)
        return;
    for (ProfileTrace *child : qAsConst(main->additionalTraces)) {
        if (!child || graphHolders.contains(child->id))
            continue;
        // A run's block may carry a cut-off of its own.
        if (!filterWithOwnCutOff(child))
            child->applyPostProcessors();
        TraceGraphsHolder *holder = addGraphHolder(child);
        drawHolder(holder);
        ui->traceList->addAdditionalTrace(child, true);
        holder->setVisible(false);
    }
    if (!main->additionalTraces.isEmpty())
        ui->traceList->recalcParamsIfAny();
}

void ProfileAnalisisWidget::dataReadFinished()
{
    finishReading(qobject_cast<DataProvider *>(sender()));
}

void ProfileAnalisisWidget::finishReading(DataProvider *provider)
{
    AbstractTrace *trace = provider ? provider->trace() : nullptr;
    if (!trace)
        return;
    m_batchReplot->stop();
    // Why the reading failed or fell short, told as the other warnings of a
    // reading's end are: held while the next acquisition already runs.
    if (!provider->error().isEmpty())
        warnOperator(QStringLiteral("Error"), provider->error());
    const bool instrument = qobject_cast<DeviceDataProvider *>(provider) != nullptr;
    if (dropsFinishedReading(provider, trace, instrument))
        return;

    if (instrument) {
        AbstractTrace *owner = TraceSaving::fileOwner(trace);
        if (!TraceSaving::saveTrace(owner, owner->filePath(), true)) {
            logger.log(Logger::ERROR, "Acquired trace not saved to " + owner->filePath().toStdString());
            warnOperator(QStringLiteral("Ошибка сохранения трассы"),
                QStringLiteral("Не удалось сохранить трассу в файл:\n%1").arg(owner->filePath()));
        }
    }

    // Each step below would redraw the main plot (and with it the side
    // plots) over every point of the trace; it is drawn once, as the steps
    // leave it, before the operator is asked anything or the sensor test runs.
    holdReplots();
    // A file's header gives its trace a cut-off of its own, which its filter
    // takes before the trace is drawn or measured.
    filterWithOwnCutOff(trace);
    attachFileAdditionalTraces(trace);
    TraceGraphsHolder *holder = graphHolders.value(trace->id);
    if (holder)
        drawHolder(holder);
    isAcquiring = false;
    m_readingTrace = nullptr;
    m_readingProvider = nullptr;
    settingsChanged();
    // A trace the next acquisition follows at once gets no cut-off question
    // yet: the next trace's end asks it, naming the trace, before its own.
    if (instrument && holder) {
        if (m_nextReadingFollows) {
            m_uncheckedTraces.append(trace->id);
        } else {
            releaseReplots();
            checkFollowedTraces();
            holder->checkFilter();
            holdReplots();
        }
    }
    rescaleMainPlot();
    ui->traceList->acquiringTrace = nullptr;
    if (!m_nextReadingFollows)
        unlockAfterReading();
    ui->traceList->selectTrace(trace->id);
    releaseReplots();
    if (Settings::instance().test_sensor_mode && isProfileTraceKind(trace->traceType))
        ui->traceList->runSensorTest(trace);
    if (!m_nextReadingFollows) {
        ui->deviceControlWidget->setEnableAdditionalTraceButton(true);
        showDeferredWarnings();
    }
}

void ProfileAnalisisWidget::unlockAfterReading()
{
    for (QAction *action : toolActions())
        action->setEnabled(action != ui->actionCut && action != ui->actionRFit);
    updateProcessingControls();
    Q_EMIT unlockButtons();
}

void ProfileAnalisisWidget::warnOperator(const QString &title, const QString &text)
{
    if (m_nextReadingFollows) {
        m_deferredWarnings.append({ title, text });
        return;
    }
    // Keys pressed to close the message must not drive the instrument.
    QObject *keys = keyReceiver;
    const bool keysWereBlocked = keys ? keys->blockSignals(true) : false;
    Prompts::instance().warning(this, title, text);
    if (keys)
        keys->blockSignals(keysWereBlocked);
}

void ProfileAnalisisWidget::checkFollowedTraces()
{
    const QList<int> ids = std::exchange(m_uncheckedTraces, {});
    for (int id : ids) {
        // A trace removed meanwhile has nothing left to check.
        if (TraceGraphsHolder *holder = graphHolders.value(id))
            holder->checkFilter();
    }
}

void ProfileAnalisisWidget::showDeferredWarnings()
{
    const QList<QPair<QString, QString>> warnings = std::exchange(m_deferredWarnings, {});
    for (const auto &warning : warnings)
        warnOperator(warning.first, warning.second);
}

bool ProfileAnalisisWidget::dropsFinishedReading(const DataProvider *provider, AbstractTrace *trace, bool instrument)
{
    // A reading that an exception ended holds only a part of its trace; why
    // it ended has been shown.
    const bool failed = provider && provider->failed();
    // An acquisition fails only when the link was lost before the sample
    // block: the trace holds raw counts, not a measurement.
    const bool interrupted = instrument && provider && !provider->result() && !failed;
    // A file from which no point was read leaves nothing to list; its error,
    // if it had one, has been shown.
    const auto *profile = dynamic_cast<ProfileTrace *>(trace);
    const bool nothingRead = qobject_cast<const FileDataProvider *>(provider) && trace->pointCount() == 0
        && !(profile && trace->traceType == PROFILE && !profile->additionalTraces.isEmpty());
    if (!interrupted && !nothingRead && !failed)
        return false;

    isAcquiring = false;
    m_readingTrace = nullptr;
    m_readingProvider = nullptr;
    const int id = trace->id;
    // Taking the trace off the list redraws the plots through onTraceDeleted;
    // the main plot is drawn once, as the drop leaves it.
    holdReplots();
    ui->traceList->dropTrace(trace);
    if (graphHolders.contains(id))
        onTraceDeleted(id);
    rescaleMainPlot();
    releaseReplots();
    if (!m_nextReadingFollows) {
        checkFollowedTraces();
        unlockAfterReading();
    }
    if ((interrupted || failed) && !m_nextReadingFollows)
        ui->deviceControlWidget->setEnableAdditionalTraceButton(!ui->traceList->traces.isEmpty());
    if (interrupted) {
        const auto *device = qobject_cast<const DeviceDataProvider *>(provider);
        const Interruption cut = interruption(device ? device->end() : Device::LinkLost);
        logger.log(Logger::WARNING, cut.log);
        warnOperator(cut.title,
            cut.cause + QStringLiteral("\nТрасса не сохранена, параметры не рассчитаны. Повторите измерение."));
    } else if (!failed && provider && provider->result()) {
        const QString path = provider->name();
        logger.log(Logger::WARNING, "No point read from " + path.toStdString());
        warnOperator(QStringLiteral("Ошибка"), QStringLiteral("В файле нет точек трассы:\n%1").arg(path));
    }
    if (!m_nextReadingFollows)
        showDeferredWarnings();
    return true;
}

void ProfileAnalisisWidget::dataReadError(QString error)
{
    logger.log(Logger::WARNING, "Trace reading failed: " + error.toStdString());
    // The end of the reading follows and tells the operator (DataProvider::error):
    // at once, or, when the next acquisition already runs, at that one's end.
    const auto *provider = qobject_cast<const DataProvider *>(sender());
    if (!m_readingTrace || !provider || provider == m_readingProvider)
        isAcquiring = false;
}

void ProfileAnalisisWidget::dataReset()
{
    AbstractTrace *trace = senderTrace();
    if (!trace)
        return;
    TraceGraphsHolder *holder = graphHolders.value(trace->id);
    if (holder && holder->curve())
        holder->curve()->data()->clear();
    trace->clearPoints();
}

void ProfileAnalisisWidget::onTraceDeleted(int id)
{
    if (TraceGraphsHolder *holder = graphHolders.take(id)) {
        m_holderTraces.remove(id);
        delete holder;
    }
    rescaleMainPlot();
    for (auto it = graphHolders.constBegin(); it != graphHolders.constEnd(); ++it) {
        if (m_holderTraces.value(it.key()) != m_readingTrace)
            it.value()->updateTraceGraph(it.value()->mRLine, it.value()->mRFit);
    }
    if (!isAcquiring)
        updateParamPlots();
    if (ui->traceList->traces.isEmpty())
        ui->deviceControlWidget->setEnableAdditionalTraceButton(false);
}

void ProfileAnalisisWidget::onSetGraphSelected(int id, bool selected)
{
    if (TraceGraphsHolder *holder = graphHolders.value(id)) {
        if (selected)
            holder->applySelectedPens();
        else
            holder->applyNormalPens();
    }
    replotMain();
}

void ProfileAnalisisWidget::onSetGraphVisible(int id, bool visible)
{
    TraceGraphsHolder *holder = graphHolders.value(id);
    if (!holder)
        return;
    holder->setVisible(visible);
    rescaleMainPlot();
}

void ProfileAnalisisWidget::addJoinedTrace(TData data)
{
    if (!isJoinedDataUsable(data)) {
        logger.log(Logger::WARNING, "Joined trace ignored: its columns are missing, empty or of different lengths");
        return;
    }
    AbstractTrace *trace = makeTrace(CONTOUR);
    setJoinedPoints(*trace, data);
    TraceGraphsHolder *holder = addGraphHolder(trace);
    ui->traceList->addMainTrace(trace);
    const TData shown = rawDisplayPoints(*trace->rawData, trace->traceType, holder->unitFactor());
    if (holder->curve())
        holder->curve()->addData(shown.at(0), shown.at(1));
    drawHolder(holder);
    rescaleMainPlot();
}

// ---------------------------------------------------------------- traces out of the window

QList<AbstractTrace *> ProfileAnalisisWidget::allTraces() const
{
    return ui->traceList->traces.values();
}

QList<AbstractTrace *> ProfileAnalisisWidget::visibleTraces() const
{
    QList<AbstractTrace *> result;
    for (auto it = graphHolders.constBegin(); it != graphHolders.constEnd(); ++it) {
        AbstractTrace *trace = m_holderTraces.value(it.key());
        if (trace && it.value()->isVisible())
            result.append(trace);
    }
    return result;
}

bool ProfileAnalisisWidget::refuseWhileReading(QWidget *parent, const QString &title)
{
    if (!m_readingTrace)
        return false;
    logInfo(QStringLiteral("Save or report refused while a trace is read"));
    Prompts::instance().warning(parent, title, QStringLiteral("Дождитесь окончания чтения трассы."));
    return true;
}

void ProfileAnalisisWidget::saveData(DataSaveFormat format)
{
    const QString title = QStringLiteral("Ошибка сохранения трассы");
    if (refuseWhileReading(this, title))
        return;
    Prompts &prompts = Prompts::instance();
    if (graphHolders.isEmpty()) {
        prompts.warning(
            this, title, QStringLiteral("Нет трассы для сохранения, для начала откройте или измерьте трассу"));
        return;
    }
    Settings &s = Settings::instance();
    const bool native = format == DataSaveFormat::SOURCE_FORMAT;
    const QList<AbstractTrace *> traces = TraceSaving::tracesToSave(allTraces(), native);
    for (AbstractTrace *trace : traces) {
        const QString answer = prompts.saveFileName(this, trace->name(), proposedPath(s.preferenses.save_trace_folder),
            QStringLiteral("Text files (*.txt)"));
        if (answer.isEmpty())
            continue;
        s.preferenses.save_trace_folder = TraceSaving::folderOf(answer);
        s.save();
        const QString path = TraceSaving::withTraceSuffix(answer);
        // The dialog asked about the name as typed; the file written is the
        // one with ".txt", which is asked about the same way.
        if (path != answer && QFileInfo::exists(path)
            && prompts.question(this, trace->name(),
                   QStringLiteral("%1 уже существует.\nЗаменить его?").arg(QFileInfo(path).fileName()))
                != QMessageBox::Yes)
            continue;
        if (!TraceSaving::saveTrace(trace, path, native)) {
            logger.log(Logger::ERROR, "Trace not saved to " + path.toStdString());
            prompts.critical(this, title, QStringLiteral("Не удалось сохранить трассу в файл:\n%1").arg(path));
        }
    }
}

QString ProfileAnalisisWidget::proposedPath(const QString &folder)
{
    return m_proposedPaths.next(folder, Settings::instance().default_trace_file_name, QDateTime::currentDateTime());
}

bool ProfileAnalisisWidget::checkVisibleTraces()
{
    for (TraceGraphsHolder *holder : qAsConst(graphHolders)) {
        if (holder->isVisible())
            return true;
    }
    const QString text = graphHolders.isEmpty()
        ? QStringLiteral("Нет трассы для измерения.")
        : QStringLiteral("Нет видимых трасс, сделайте хотя бы одну трассу видимой для дальнейших измерений");
    Prompts::instance().warning(this, QStringLiteral("Ошибка"), text);
    return false;
}

void ProfileAnalisisWidget::toMeasurement()
{
    logInfo(QStringLiteral("actionToMeasurement was pressed"));
    if (!checkVisibleTraces())
        return;
    const QVector<AbstractTrace *> traces = visibleTraces().toVector();
    for (AbstractTrace *trace : traces) {
        if (trace->traceType != traces.first()->traceType) {
            Prompts::instance().critical(
                this, QStringLiteral("Ошибка"), QStringLiteral("Нельзя проводить измерения разных типов трасс"));
            return;
        }
    }
    Q_EMIT readyForMeasurment(traces);
}

QVector<QPixmap> ProfileAnalisisWidget::reportPlots(AbstractTrace *trace)
{
    QMap<int, bool> wasVisible;
    for (auto it = graphHolders.constBegin(); it != graphHolders.constEnd(); ++it) {
        wasVisible.insert(it.key(), it.value()->isVisible());
        it.value()->setVisible(false);
    }
    if (TraceGraphsHolder *own = graphHolders.value(trace->id))
        own->setVisible(true);
    if (auto *profile = trace->traceType == PROFILE ? dynamic_cast<ProfileTrace *>(trace) : nullptr) {
        for (ProfileTrace *child : qAsConst(profile->additionalTraces)) {
            if (TraceGraphsHolder *holder = graphHolders.value(child->id))
                holder->setVisible(wasVisible.value(child->id, true));
        }
    }
    const QVector<QPixmap> plots { plotMain->toPixmap(0, 0, 1.0) };
    for (auto it = graphHolders.constBegin(); it != graphHolders.constEnd(); ++it)
        it.value()->setVisible(wasVisible.value(it.key(), true));
    return plots;
}

void ProfileAnalisisWidget::saveReport(QWidget *parent)
{
    const QString title = QStringLiteral("Ошибка печати отчёта");
    if (refuseWhileReading(parent, title))
        return;
    Prompts &prompts = Prompts::instance();
    if (ui->traceList->traces.isEmpty()) {
        prompts.warning(parent, title, QStringLiteral("Нет трасс для сохранения отчёта"));
        return;
    }
    Settings &s = Settings::instance();
    const QList<AbstractTrace *> traces = allTraces();
    for (AbstractTrace *trace : traces) {
        auto *profile = dynamic_cast<ProfileTrace *>(trace);
        if (trace->traceType == ADDITIONAL_TRACE && profile && profile->parentTrace) {
            TraceGraphsHolder *parentHolder = graphHolders.value(profile->parentTrace->id);
            if (parentHolder && parentHolder->isVisible())
                continue;
        }
        TraceGraphsHolder *holder = graphHolders.value(trace->id);
        if (!holder || !holder->isVisible())
            continue;
        const QString answer = prompts.saveFileName(
            parent, QStringLiteral("Сохранить отчет"), proposedPath(s.preferenses.save_report_folder), QString());
        if (answer.isEmpty())
            return;
        s.preferenses.save_report_folder = TraceSaving::folderOf(answer);
        s.save();
        const QString path = ReportGenerator::reportPath(answer);

        bool written = false;
        if (s.test_sensor_mode) {
            written = ReportGenerator::generate(ui->traceList->sensorTestReportData(), {}, path, SENSOR_TEST_REPORT);
        } else {
            const QVector<QPixmap> plots = reportPlots(trace);
            written = isProfileTraceKind(trace->traceType)
                ? ReportGenerator::generate(
                    profileReportData(trace, ui->traceList->extraArgs), plots, path, MEASUREMENT_REPORT)
                : ReportGenerator::generate(ReportData(), plots, path, PLOT_REPORT);
        }
        if (!written) {
            logger.log(Logger::ERROR, "Report not written to " + path.toStdString());
            prompts.critical(parent, title, QStringLiteral("Не удалось записать отчёт в файл:\n%1").arg(path));
            continue;
        }
        prompts.openUrl(QUrl::fromLocalFile(path));
    }
}
