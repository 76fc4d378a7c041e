#include "analysis/contouranalisiswidget.h"
#include "ui_contouranalisiswidget.h"

#include "analysis/dottocommafilter.h"
#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "plot/adaptivecurve.h"
#include "plot/axisrange.h"
#include "plot/curveregistry.h"
#include "plot/displaypoints.h"
#include "plot/plotwidget.h"
#include "plot/suffixaxisticker.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/processors.h"
#include "widgets/calibrationtoolswidget.h"
#include "widgets/loader.h"
#include "widgets/prompts.h"

#include <QDebug>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QMouseEvent>
#include <QShortcut>
#include <QWheelEvent>
#include <cmath>
#include <limits>

namespace {

const QString kContourWindowName = QStringLiteral("КОНТУР");

void logInfo(const QString &text)
{
    logger.log(Logger::INFO, text.toStdString());
}

} // namespace

ContourAnalisisWidget::ContourAnalisisWidget(QWidget *parent, bool calibrationMode)
    : AnalisysWidget(kContourWindowName)
    , ui(new Ui_ContourAnalisisWidget)
    , calibrationMode(calibrationMode)
{
    Q_UNUSED(parent)
    ui->setupUi(this);
    // The form turns dragging off together with its move mode; the tree's own
    // reordering of rows and sections needs both on.
    ui->measurementTree->setDragEnabled(true);
    ui->measurementTree->setAcceptDrops(true);
    ui->plot->installEventFilter(this);
    setupToolFrames();
    hideToolFrames();

    if (calibrationMode) {
        Settings &s = Settings::instance();
        savedAnglesInDeg = s.angles_in_deg;
        s.angles_in_deg = true;
    }
    createPlot();
    manager = new MeasurementsManager(ui->plot, this);
    manager->setDrawingHost(this);
    // Escape over an open tool frame closes the frame, and only that.
    manager->setEscapeTaker([this] {
        for (const auto &fa : qAsConst(frameActions)) {
            if (fa.second && fa.second->isVisible()) {
                fa.first->setChecked(false);
                return true;
            }
        }
        return false;
    });
    connectSignals();
    applyAxisUnits();
    if (calibrationMode)
        showCalibrationTools();
    else
        ui->calibrationTools->hide();
}

ContourAnalisisWidget::~ContourAnalisisWidget()
{
    logInfo(QStringLiteral("Delete measurment #"));
    // The children outlive this destructor: nothing they emit while they go
    // may reach the half-destroyed window.
    MeasurementTreeWidget *measurementTree = ui->measurementTree;
    PlotWidget *plotWidget = ui->plot;
    plotWidget->removeEventFilter(this);
    disconnect(measurementTree, nullptr, this, nullptr);
    disconnect(ui->calibrationTools, nullptr, this, nullptr);
    disconnect(plotWidget, nullptr, this, nullptr);
    ui.reset();
    disconnect(manager, nullptr, this, nullptr);
    delete manager;
    manager = nullptr;
    delete registrationLoader;
    qDeleteAll(traces);
    traces.clear();
    if (calibrationMode) {
        Settings &s = Settings::instance();
        s.angles_in_deg = savedAnglesInDeg;
        s.save();
    }
}

PlotWidget *ContourAnalisisWidget::plot() const
{
    return ui->plot;
}

MeasurementTreeWidget *ContourAnalisisWidget::tree() const
{
    return ui->measurementTree;
}

QCPCurve *ContourAnalisisWidget::traceCurve(int i) const
{
    return curves.value(i).data();
}

void ContourAnalisisWidget::setupToolFrames()
{
    Ui_ContourAnalisisWidget &u = *ui;
    frameActions = {
        { u.actionScale, u.frameScale },
        { u.actionLayFlat, u.frameLayFlat },
        { u.actionDistance, u.frameDistance },
        { u.actionAngle, u.frameAngle },
        { u.actionRadius, u.frameRadius },
        { u.actionErrors, u.frameErrors },
        { u.actionAvgDiameter, nullptr },
        { u.actionR, u.frameR },
        { u.actionLineAdditionalGeometry, u.frameAddGeomLine },
        { u.actionCircumferenceAdditionalGeometry, u.frameAddGeomCircumference },
        { u.actionDXF, u.frameDXF },
    };
    measurementButtons = {
        { u.pushButtonLayFlatByTwo, LAY_FLAT_BY_TWO, u.actionLayFlat },
        { u.pushButtonlayFlat, LAY_FLAT, u.actionLayFlat },
        { u.pushButtonVerticalDistance, VERTICAL_DISTANCE, u.actionDistance },
        { u.pushButtonMinMaxDistance, MAX_MIN_DISTANCE, u.actionDistance },
        { u.pushButtonHorisontalDistance, HORIZONTAL_DISTANCE, u.actionDistance },
        { u.pushButtonDirectDistance, DIRECT_DISTANCE, u.actionDistance },
        { u.pushButtonMeanHeight, MEAN_HEIGHT, u.actionDistance },
        { u.pushButtonDirectAngle, REGULAR_ANGLE, u.actionAngle },
        { u.pushButtonHHorizonAngle, HORIZONTAL_ANGLE, u.actionAngle },
        { u.pushButtonVHorizonAngle, VERTICAL_ANGLE, u.actionAngle },
        { u.pushButtonMultiRadius, ARCS_RADIUS, u.actionRadius },
        { u.pushButtonRadius, REGULAR_RADIUS, u.actionRadius },
        { u.pushButtonRadiusErrorFilterMultypleSegments, RDEM_FILTER_BY_TWO_SEGMENT, u.actionErrors },
        { u.pushButtonRadiusErrorByTwoSegment, RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT, u.actionErrors },
        { u.pushButtonRMSE, RMSE, u.actionErrors },
        { u.pushButtonRadiusError, RDEM, u.actionErrors },
        { u.pushButtonRDESpecified, RDEM_SPECIFIED, u.actionErrors },
        { u.pushButtonRadiusErrorFilter, RADIUS_DISPLACEMENT_FILTER_ERROR, u.actionErrors },
        { u.pushButtonRadiusErrorWithRadianGraph, RDEM_WITH_POLAR_GRAPH, u.actionErrors },
        { u.pushButtonCalculateRA, RA, u.actionR },
        { u.pushButtonCalculateRZ, RZ, u.actionR },
        { u.pushButtonAddGeomHorizontalLine, CLICK_HORIZONTAL_LINE, u.actionLineAdditionalGeometry },
        { u.pushButtonAddGeomPoint, CLICK_POINT, u.actionLineAdditionalGeometry },
        { u.pushButtonAddGoemMiddlePoint, MIDDLE_POINT, u.actionLineAdditionalGeometry },
        { u.pushButtonAddGeomThread, THREAD, u.actionLineAdditionalGeometry },
        { u.pushButtonAddGeomDoubleClickLine, CLICK_DOUBLE_LINE, u.actionLineAdditionalGeometry },
        { u.pushButtonAddGeomVerticlaLine, CLICK_VERTICAL_LINE, u.actionLineAdditionalGeometry },
        { u.pushButtonFindMaxPoint, FIND_MAX_POINT, u.actionLineAdditionalGeometry },
        { u.pushButtonFindMinPoint, FIND_MIN_POINT, u.actionLineAdditionalGeometry },
        { u.pushButtonAddGeomText, AG_TEXT_PLACEMENT, u.actionLineAdditionalGeometry },
        { u.pushButtonCircumSelect, CIRCUMF_AG, u.actionCircumferenceAdditionalGeometry },
        { u.pushButtonAGCircumSpecified, CIRCUMF_AG_SPECIFIED, u.actionCircumferenceAdditionalGeometry },
        { u.pushButtonDXFPlane, COMPARE_PLANE_DXF, u.actionDXF },
        { u.pushButtonErrorPlane, ERROR_PLANE, u.actionDXF },
    };
    exclusiveButtons = { u.pushButtonScaleY, u.pushButtonScaleX, u.pushButtonPAN, u.pushButtonRST };
    for (const MeasurementButton &b : measurementButtons)
        exclusiveButtons << b.button;
}

void ContourAnalisisWidget::connectSignals()
{
    MeasurementTreeWidget *measurementTree = ui->measurementTree;
    connect(ui->calibrationTools, &CalibrationToolsWidget::closeDialogCalibration, this,
        &ContourAnalisisWidget::closeDialogCalibration);
    connect(ui->calibrationTools, &CalibrationToolsWidget::calibrationDataChanged, this,
        &ContourAnalisisWidget::calibrationDataValueChangedManually);
    connect(manager, &MeasurementsManager::enableButton, ui->pushButtonErrorPlane, &QWidget::setEnabled);
    connect(manager, &MeasurementsManager::measurementChanged, this, &ContourAnalisisWidget::updateMeasurementItem);
    connect(manager, &MeasurementsManager::deleteMeasurement, this,
        [this](Measurement *m) { deleteMeasurement(m->id()); });
    connect(measurementTree, &QTreeWidget::itemSelectionChanged, this,
        [this, measurementTree] { delButtonPress(measurementTree); });
    connect(manager, &MeasurementsManager::statusText, this, [this](const QString &text) {
        ui->statusbar->showMessage(text);
    });
    connect(manager, &MeasurementsManager::measurementNotCreated, this,
        &ContourAnalisisWidget::onMeasurementNotCreated);
    connect(manager, &MeasurementsManager::setNewAngleAndCenterRot, this, &ContourAnalisisWidget::addLevelling);

    ui->pushButtonErrorPlane->setEnabled(false);
    ui->detailNameEdit->setText(Settings::instance().default_trace_file_name);
    ui->toolBar->setContextMenuPolicy(Qt::PreventContextMenu);

    connect(measurementTree, &MeasurementTreeWidget::deleteMeasurement, this,
        &ContourAnalisisWidget::deleteMeasurement);
    connect(measurementTree, &MeasurementTreeWidget::equidistant, this, &ContourAnalisisWidget::addMeasurement);
    connect(measurementTree, &QTreeWidget::itemSelectionChanged, this,
        &ContourAnalisisWidget::processMeasurementSelection);
    for (const auto &fa : frameActions) {
        if (!fa.second)
            continue;
        QAction *action = fa.first;
        connect(action, &QAction::toggled, this, [this, action](bool checked) { onFrameActionToggled(action, checked); });
    }
}

void ContourAnalisisWidget::showCalibrationTools()
{
    ui->detailNameEdit->hide();
    ui->detailNameLabel->hide();
    ui->CommentLabel->hide();
    ui->commentTextEdit->hide();
    ui->calibrationTools->init();
    ui->measurementTree->setCalibrationMode(true);
}

void ContourAnalisisWidget::setTraces(QVector<AbstractTrace *> given)
{
    for (AbstractTrace *t : given) {
        if (t)
            traces << t->clone();
    }
    manager->setTraces(traces);
    if (calibrationMode)
        ui->calibrationTools->setTraces(traces);

    const Settings &s = Settings::instance();
    for (int i = 0; i < traces.size(); ++i) {
        auto *curve = new AdaptiveCurve(ui->plot->xAxis, ui->plot->yAxis);
        curves << curve;
        setCurveData(i, false);
        auto *decorator = new QCPSelectionDecorator;
        decorator->setPen(QPen(QColor(s.preferenses.selected_graph_color), 2));
        curve->setSelectionDecorator(decorator);
    }
    if (traces.isEmpty())
        return;
    autoscale();
    if (isProfileTraceKind(traces.first()->traceType))
        ui->pushButtonResetScale->setIcon(QIcon(QStringLiteral(":/icons/icons/reset.png")));
}

// Curve i gets trace i's processed points in display units, turned by the
// stored levelling when asked, and the trace pen.
void ContourAnalisisWidget::setCurveData(int i, bool rotated)
{
    QCPCurve *curve = curves.value(i);
    if (!curve)
        return;
    const TData shown = levelledDisplayPoints(
        *traces.at(i)->processedData, unitFactor, rotated, rotationCentreX, rotationCentreY, levellingAngle);
    curve->setData(shown.at(0), shown.at(1));
    curve->setPen(QPen(QColor(Settings::instance().preferenses.graph_color), 2));
}

void ContourAnalisisWidget::applyAxisUnits()
{
    const double previousFactor = unitFactor;
    switch (Settings::instance().axis_unit) {
    case 0:
        unitSuffix = QStringLiteral(" мм");
        unitFactor = 0.001;
        break;
    case 1:
        unitSuffix = QStringLiteral(" мкм");
        unitFactor = 1.0;
        break;
    case 2:
        unitSuffix = QStringLiteral(" нм");
        unitFactor = 1000.0;
        break;
    default:
        break;
    }
    // The levelling's centre is a point of the plot: it follows the unit.
    rotationCentreX *= unitFactor / previousFactor;
    rotationCentreY *= unitFactor / previousFactor;
    setTickLabelSuffix(ui->plot->xAxis, unitSuffix);
    setTickLabelSuffix(ui->plot->yAxis, unitSuffix);
    redrawTraces();
}

void ContourAnalisisWidget::redrawTraces()
{
    // The operator's levelling holds until "Сбросить укладку" resets it.
    for (int i = 0; i < traces.size(); ++i)
        setCurveData(i, levellingAngle != 0);
    // A recalculation announces nothing by itself: the rows are refreshed
    // here, or the tree would keep the values of the data drawn before.
    for (Measurement *m : manager->measurementList()) {
        m->calculate();
        updateMeasurementItem(m);
    }
    if (!traces.isEmpty())
        autoscale();
    // The marker still points where the old data lay.
    ui->plot->retrackSelectionMarker();
}

void ContourAnalisisWidget::autoscale()
{
    if (isProfileTraceKind(traces.first()->traceType))
        autoscaleProfile();
    else
        autoscaleContour();
}

QVector<QCPCurve *> ContourAnalisisWidget::traceCurves() const
{
    QVector<QCPCurve *> shown;
    for (QCPCurve *curve : curves) {
        if (curve)
            shown << curve;
    }
    return shown;
}

// The view is fitted to the traces alone: a measurement's own curves (a
// deviation's magnified graph, a drawing's markers) may reach far beyond
// them and would push the trace out of the view.
void ContourAnalisisWidget::autoscaleContour()
{
    PlotWidget *p = ui->plot;
    const CurveRegistry::DataBounds b = CurveRegistry::dataBounds(traceCurves());
    p->xAxis->setRange(paddedRange(b.minKey, b.maxKey, 0.05));
    p->yAxis->setRange(paddedRange(b.minValue, b.maxValue, 0.05));
    if (!std::isfinite(b.maxKey - b.minKey) || !std::isfinite(b.maxValue - b.minValue)) {
        // No point anywhere: the plot refused the ranges, and the axes keep
        // theirs as they are.
        p->replot(QCustomPlot::rpRefreshHint);
        return;
    }
    const bool widerThanHigh = p->xAxis->range().size() > p->yAxis->range().size();
    // The scale ratio is taken from the axis rect's pixel size, which is only
    // right once the plot has laid itself out at its current size; the new
    // range's tick labels can change the margins, so the ratio is set again
    // on the layout they give.
    for (int pass = 0; pass < 2; ++pass) {
        p->plotLayout()->update(QCPLayoutElement::upPreparation);
        p->plotLayout()->update(QCPLayoutElement::upMargins);
        p->plotLayout()->update(QCPLayoutElement::upLayout);
        if (widerThanHigh)
            p->yAxis->setScaleRatio(p->xAxis, 1.0);
        else
            p->xAxis->setScaleRatio(p->yAxis, 1.0);
    }
    p->replot(QCustomPlot::rpRefreshHint);
}

void ContourAnalisisWidget::autoscaleProfile()
{
    PlotWidget *p = ui->plot;
    const QVector<QCPCurve *> shown = traceCurves();
    if (shown.isEmpty())
        return;
    CurveRegistry::DataBounds b = CurveRegistry::dataBounds(shown);
    widenFlat(b.minKey, b.maxKey);
    widenFlat(b.minValue, b.maxValue);
    p->xAxis->setRange(paddedRange(b.minKey, b.maxKey, 0.05));
    p->yAxis->setRange(paddedRange(b.minValue, b.maxValue, 0.2));
    p->replot(QCustomPlot::rpRefreshHint);
}

void ContourAnalisisWidget::createPlot()
{
    Ui_ContourAnalisisWidget &u = *ui;
    u.plot->setInteractions(PlotWidget::iRangeZoom);

    connect(u.pushButtonPAN, &QPushButton::clicked, this,
        [this](bool checked) { switchTool(Tool::Pan, ui->pushButtonPAN, checked); });
    connect(u.pushButtonScaleX, &QPushButton::clicked, this,
        [this](bool checked) { switchTool(Tool::ScaleX, ui->pushButtonScaleX, checked); });
    connect(u.pushButtonScaleY, &QPushButton::clicked, this,
        [this](bool checked) { switchTool(Tool::ScaleY, ui->pushButtonScaleY, checked); });
    connect(u.pushButtonResetScale, &QPushButton::clicked, this, &ContourAnalisisWidget::resetScale);
    connect(u.pushButtonRST, &QPushButton::clicked, this, &ContourAnalisisWidget::resetLevelling);
    for (const MeasurementButton &b : measurementButtons)
        connect(b.button, &QPushButton::clicked, this, [this, b](bool checked) { startMeasurementFromButton(b, checked); });
    connect(u.actionAvgDiameter, &QAction::toggled, this, [this](bool checked) {
        if (checked) {
            exclusiveToolAction(ui->actionAvgDiameter);
            manager->setKind(AVG_DIAMETER, true, false, QString());
        } else {
            manager->setKind(NO_MEASUREMENT, true, false, QString());
        }
    });
}

void ContourAnalisisWidget::switchTool(Tool tool, QPushButton *button, bool checked)
{
    PlotWidget *p = ui->plot;
    disconnect(wheelConnections.take(tool));
    if (!checked) {
        p->unsetCursor();
        // The plain cursor is back: so is what a drag and the wheel did
        // before the tool, and the selection marker that follows the mouse.
        if (beforeTool.kept) {
            beforeTool.kept = false;
            p->setSelectionRectMode(PlotWidget::SelectionRectMode(beforeTool.rectMode));
            p->setInteractions(PlotWidget::Interactions(beforeTool.interactions));
            p->setSelectionMarkerVisible(beforeTool.markerVisible);
            p->replot(QCustomPlot::rpRefreshHint);
        }
        return;
    }
    if (!beforeTool.kept) {
        beforeTool.kept = true;
        beforeTool.interactions = int(p->interactions());
        beforeTool.rectMode = int(p->selectionRectMode());
        beforeTool.markerVisible = p->selectionMarker() && p->selectionMarker()->visible();
    }
    switch (tool) {
    case Tool::Pan:
        logInfo(QStringLiteral("PushButtonPAN was clicked"));
        p->setInteractions(PlotWidget::iRangeDrag | PlotWidget::iRangeZoom);
        p->setSelectionRectMode(PlotWidget::srmNone);
        p->setCursor(Qt::OpenHandCursor);
        break;
    case Tool::ScaleX:
        logInfo(QStringLiteral("PushButtonScaleX was clicked"));
        p->setInteractions(PlotWidget::iRangeDrag);
        p->setCursor(Qt::SizeHorCursor);
        break;
    case Tool::ScaleY:
        logInfo(QStringLiteral("PushButtonScaleY was clicked"));
        p->setCursor(Qt::SizeVerCursor);
        p->setInteractions(PlotWidget::iRangeDrag);
        break;
    }
    wheelConnections.insert(tool,
        connect(p, &QCustomPlot::mouseWheel, this, [this, tool](QWheelEvent *event) { wheelZoom(tool, event); }));
    ui->actionScale->setIcon(button->icon());
    ui->actionScale->toggle();
    button->setCheckable(false);
}

void ContourAnalisisWidget::wheelZoom(Tool tool, QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    const bool in = delta > 0;
    if (tool == Tool::Pan) {
        // The library's own range zoom does the zooming.
        logInfo(in ? QStringLiteral("Zoom in scale") : QStringLiteral("Zoom out scale"));
        return;
    }
    const bool horizontal = tool == Tool::ScaleX;
    if (horizontal)
        logInfo(in ? QStringLiteral("Zoom in scale on x-axis") : QStringLiteral("Zoom out scale on x-axis"));
    else
        logInfo(in ? QStringLiteral("Zoom in scale on y-axis") : QStringLiteral("Zoom out scale on y-axis"));
    const double steps = delta / 120.0;
    // Every trace curve scales its axis; the curves share the plot's axes, so
    // one wheel step scales them once per trace.
    forEachTraceCurve([this, horizontal, steps](QCPCurve *curve) {
        QCPAxis *axis = horizontal ? curve->keyAxis() : curve->valueAxis();
        const double f = ui->plot->axisRect()->rangeZoomFactor(axis->orientation());
        axis->scaleRange(std::pow(f, steps), axis->range().center());
    });
    ui->plot->replot();
}

void ContourAnalisisWidget::forEachTraceCurve(const std::function<void(QCPCurve *)> &f)
{
    for (QCPCurve *curve : curves) {
        if (curve)
            f(curve);
    }
}

void ContourAnalisisWidget::resetScale()
{
    logInfo(QStringLiteral("PushButtonResetScale was clicked"));
    if (!traces.isEmpty())
        autoscale();
    ui->actionScale->toggle();
}

// A levelling turns the curves as they are drawn, already levelled or not:
// the stored levelling becomes the two turns one after the other, which is
// one turn by the sum of the angles about the point both leave in place.
void ContourAnalisisWidget::addLevelling(double angle, QPointF centre)
{
    const double a1 = levellingAngle, a = a1 + angle;
    if (a1 == 0 || std::abs(std::sin(a / 2)) < 1e-12) {
        levellingAngle = angle;
        rotationCentreX = centre.x();
        rotationCentreY = centre.y();
        return;
    }
    // p -> R(a) p + t; t is where the origin goes.
    auto turn = [](double by, double cx, double cy, double x, double y) {
        const double dx = x - cx, dy = y - cy;
        return QPointF(dx * std::cos(by) - dy * std::sin(by) + cx, dx * std::sin(by) + dy * std::cos(by) + cy);
    };
    const QPointF once = turn(a1, rotationCentreX, rotationCentreY, 0, 0);
    const QPointF t = turn(angle, centre.x(), centre.y(), once.x(), once.y());
    // The fixed point c = R(a) c + t: (I - R(a)) c = t.
    const double m11 = 1 - std::cos(a), m12 = std::sin(a), m21 = -std::sin(a), m22 = 1 - std::cos(a);
    const double det = m11 * m22 - m12 * m21;
    levellingAngle = a;
    rotationCentreX = (m22 * t.x() - m12 * t.y()) / det;
    rotationCentreY = (-m21 * t.x() + m11 * t.y()) / det;
}

void ContourAnalisisWidget::resetLevelling()
{
    logInfo(QStringLiteral("PushButtonRST was clicked"));
    levellingAngle = 0;
    rotationCentreX = 0;
    rotationCentreY = 0;
    redrawTraces();
    ui->pushButtonlayFlat->setCheckable(true);
    ui->actionLayFlat->toggle();
}

bool ContourAnalisisWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->plot) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto *e = static_cast<QMouseEvent *>(event);
            if (e->button() == Qt::MiddleButton) {
                startPan(e->pos());
                return true;
            }
            break;
        }
        case QEvent::MouseMove:
            if (panning) {
                panBy(static_cast<QMouseEvent *>(event)->pos());
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton) {
                panning = false;
                return true;
            }
            break;
        case QEvent::Wheel:
            // Without the range zoom the library would only look for the
            // object under the cursor (a hit test over every point of every
            // trace) and hand it a wheel it ignores: announce the wheel and
            // stop there.
            if (!ui->plot->interactions().testFlag(PlotWidget::iRangeZoom)) {
                Q_EMIT ui->plot->mouseWheel(static_cast<QWheelEvent *>(event));
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ContourAnalisisWidget::startPan(const QPoint &position)
{
    panning = true;
    lastPanPos = position;
}

void ContourAnalisisWidget::panBy(const QPoint &position)
{
    PlotWidget *p = ui->plot;
    p->xAxis->moveRange((lastPanPos.x() - position.x()) * p->xAxis->range().size() / p->width());
    p->yAxis->moveRange((position.y() - lastPanPos.y()) * p->yAxis->range().size() / p->height());
    p->replot();
    lastPanPos = position;
}

void ContourAnalisisWidget::hideToolFrames()
{
    for (const auto &fa : frameActions) {
        if (fa.second)
            fa.second->hide();
    }
}

void ContourAnalisisWidget::onFrameActionToggled(QAction *action, bool checked)
{
    hideToolFrames();
    if (!checked) {
        logInfo(action->objectName() + QStringLiteral(" close"));
        return;
    }
    exclusiveToolAction(action);
    logInfo(action->objectName() + QStringLiteral(" open"));
    QFrame *frame = nullptr;
    for (const auto &fa : frameActions) {
        if (fa.first == action)
            frame = fa.second;
    }
    if (!frame)
        return;
    // Level with the action's button on the tool bar.
    frame->adjustSize();
    const QRect r = ui->toolBar->actionGeometry(action);
    const QPoint top = ui->plot->mapFrom(this, ui->toolBar->mapTo(this, r.topLeft()));
    frame->move(0, std::max(0, std::min(top.y(), ui->plot->height() - frame->height())));
    frame->raise();
    frame->show();
}

void ContourAnalisisWidget::exclusiveToolAction(QObject *sender)
{
    for (QPushButton *b : exclusiveButtons) {
        if (!b->isCheckable()) {
            b->click();
            b->setCheckable(true);
        }
    }
    for (const auto &fa : frameActions) {
        if (fa.first != sender)
            fa.first->setChecked(false);
    }
}

bool ContourAnalisisWidget::askParameter(E_MEASUREMENTS kind, QString *parameter)
{
    if (kind == RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT || kind == RDEM_FILTER_BY_TWO_SEGMENT) {
        bool ok = false;
        const int n = Prompts::instance().getInt(
            this, QStringLiteral("Введите число выделений"), QStringLiteral("Ввод значений"), 2, 2, 100, 1, &ok);
        if (ok)
            *parameter = QString::number(n);
        return ok;
    }
    if (kind == RDEM_SPECIFIED || kind == CIRCUMF_AG_SPECIFIED) {
        Settings &s = Settings::instance();
        QInputDialog dialog(this);
        dialog.setWindowFlags(dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint);
        dialog.setWindowTitle(QStringLiteral("Введите радиус вписанной окружности"));
        dialog.setLabelText(QStringLiteral("Радиус в") + unitSuffix);
        dialog.setInputMode(QInputDialog::DoubleInput);
        dialog.setDoubleDecimals(3);
        dialog.setDoubleRange(0.001, 1e12);
        dialog.setDoubleStep(0.001);
        dialog.setDoubleValue(s.preferenses.inscribed_circle_radius_measurement);
        if (auto *spin = dialog.findChild<QDoubleSpinBox *>())
            spin->installEventFilter(new DotToCommaFilter(spin));
        if (Prompts::instance().execDialog(&dialog) != QDialog::Accepted)
            return false;
        const double r = dialog.doubleValue();
        s.preferenses.inscribed_circle_radius_measurement = r;
        s.save();
        *parameter = QString::number(r, 'f', 3);
        return true;
    }
    return true;
}

void ContourAnalisisWidget::startMeasurementFromButton(const MeasurementButton &b, bool checked)
{
    if (!checked) {
        manager->setKind(NO_MEASUREMENT, true, false, QString());
        return;
    }
    PlotWidget *p = ui->plot;
    for (QCPCurve *curve : CurveRegistry::curves(p))
        curve->setSelection(QCPDataSelection());
    p->replot();
    logInfo(b.button->objectName() + QStringLiteral("was clicked"));
    p->setCursor(Qt::ArrowCursor);

    const E_MEASUREMENTS k = b.kind;
    const bool keepInList = k != LAY_FLAT && k != LAY_FLAT_BY_TWO;
    const bool pickReperPoints = k == VERTICAL_DISTANCE || k == HORIZONTAL_DISTANCE || k == DIRECT_DISTANCE
        || k == CLICK_HORIZONTAL_LINE || k == CLICK_VERTICAL_LINE || k == CLICK_DOUBLE_LINE || k == MIDDLE_POINT;
    beforeArming.actionIcon = b.action->icon();
    beforeArming.interactions = int(p->interactions());
    QString parameter;
    if (!askParameter(k, &parameter)) {
        // A segment count or radius of 0 never gives a measurement: a
        // cancelled question leaves nothing armed and the button ready.
        manager->setKind(NO_MEASUREMENT, true, false, QString());
        b.button->setChecked(false);
        return;
    }
    manager->setKind(k, keepInList, pickReperPoints, parameter);
    // Read once the kind is set: a measurement it dropped took its prompt along.
    beforeArming.status = ui->statusbar->currentMessage();
    b.action->setIcon(b.button->icon());
    b.action->toggle();
    b.button->setCheckable(false);
    p->setInteractions(PlotWidget::iRangeSelection | PlotWidget::iRangeZoom);
    // The file question comes with the next click on the plot: say so first.
    if (k == COMPARE_PLANE_DXF)
        ui->statusbar->showMessage(QStringLiteral("Щёлкните по графику, чтобы выбрать файл чертежа DXF"));
}

void ContourAnalisisWidget::onMeasurementNotCreated(int kind)
{
    for (const MeasurementButton &b : qAsConst(measurementButtons)) {
        if (b.kind != kind || b.button->isCheckable())
            continue;
        // As when another frame is opened: the click on the non-checkable
        // button disarms the manager.
        b.button->click();
        b.button->setCheckable(true);
        b.action->setIcon(beforeArming.actionIcon);
        ui->plot->setInteractions(PlotWidget::Interactions(beforeArming.interactions));
        ui->plot->unsetCursor();
        if (beforeArming.status.isEmpty())
            ui->statusbar->clearMessage();
        else
            ui->statusbar->showMessage(beforeArming.status);
        ui->plot->replot(QCustomPlot::rpRefreshHint);
    }
}

void ContourAnalisisWidget::updateMeasurementItem(Measurement *m)
{
    const int id = m->id();
    if (QTreeWidgetItem *row = measurementItems.value(id))
        ui->measurementTree->updateMeasurementItem(row, m);
    else
        measurementItems.insert(id, ui->measurementTree->addMeasurementItem(m));
    ui->measurementTree->updateSectionSummaries();
}

void ContourAnalisisWidget::deleteMeasurement(int index)
{
    manager->removeMeasurement(index);
    delete measurementItems.value(index);
    measurementItems.remove(index);
    ui->plot->replot(QCustomPlot::rpRefreshHint);
    ui->measurementTree->updateSectionSummaries();
}

void ContourAnalisisWidget::addMeasurement(int index, E_MEASUREMENTS type, double distance)
{
    manager->addEquidistant(index, type, distance);
}

void ContourAnalisisWidget::recalcAllMeasurements()
{
    applyAxisUnits();
    for (Measurement *m : manager->measurementList()) {
        m->updateSettings();
        m->calculate();
        updateMeasurementItem(m);
    }
    ui->plot->replot(QCustomPlot::rpRefreshHint);
}

void ContourAnalisisWidget::delButtonPress(MeasurementTreeWidget *measurementTree)
{
    if (!deleteShortcuts.isEmpty()) {
        // The shortcut may be the one whose activated signal is being
        // delivered right now (its measurement's row just went): it is
        // released once that delivery has returned.
        QShortcut *old = deleteShortcuts.takeFirst();
        old->setEnabled(false);
        old->deleteLater();
    }
    const QList<QTreeWidgetItem *> selected = measurementTree->selectedItems();
    for (QTreeWidgetItem *row : selected) {
        keepSingleSelection(row);
        auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Delete), this);
        deleteShortcuts << shortcut;
        const int id = row->data(0, Qt::UserRole).toInt();
        connect(shortcut, &QShortcut::activated, this, [this, id] { deleteMeasurement(id); });
    }
}

void ContourAnalisisWidget::keepSingleSelection(QTreeWidgetItem *keep)
{
    const QList<QTreeWidgetItem *> selected = ui->measurementTree->selectedItems();
    for (QTreeWidgetItem *row : selected) {
        if (row != keep)
            row->setSelected(false);
    }
}

void ContourAnalisisWidget::processMeasurementSelection()
{
    auto *measurementTree = qobject_cast<MeasurementTreeWidget *>(sender());
    if (!measurementTree)
        return;
    const QList<QTreeWidgetItem *> selected = measurementTree->selectedItems();
    if (selected.isEmpty()) {
        qDebug() << "Selection empty";
        for (Measurement *m : manager->measurementList())
            m->setHighlighted(false);
    } else {
        const int id = selected.first()->data(0, Qt::UserRole).toInt();
        for (Measurement *m : manager->measurementList())
            m->setHighlighted(m->id() == id);
    }
    ui->plot->replot();
}

void ContourAnalisisWidget::calibrationDataValueChangedManually(QVector<AbstractTrace *> changed)
{
    Q_UNUSED(changed) // the tools were given this window's own clones
    for (int i = 0; i < traces.size(); ++i) {
        // The conversion keeps the calibration it was made with; these clones
        // take the changed one.
        renewContourConversion(*traces[i]);
        traces[i]->recalculate();
        setCurveData(i, true);
    }
    ui->plot->retrackSelectionMarker();
    for (Measurement *m : manager->measurementList()) {
        m->updateSettings();
        m->calculate();
        updateMeasurementItem(m);
    }
    ui->plot->replot();
}

void ContourAnalisisWidget::showRegistrationBusy(const QString &text, const std::function<void()> &cancel)
{
    Loader::closeBusy(registrationLoader);
    registrationLoader = Loader::showBusy(ui->plot->window(), text, cancel);
}

void ContourAnalisisWidget::hideRegistrationBusy()
{
    Loader::closeBusy(std::exchange(registrationLoader, nullptr));
}

bool ContourAnalisisWidget::plotClickPicks() const
{
    // A tool frame lies over the plot: a click there was meant for it.
    for (const auto &fa : frameActions) {
        if (fa.second && fa.second->isVisible())
            return false;
    }
    // An active zoom or pan tool drags the view with the left button.
    for (const QPushButton *tool : { ui->pushButtonPAN, ui->pushButtonScaleX, ui->pushButtonScaleY }) {
        if (!tool->isCheckable())
            return false;
    }
    return manager && manager->currentKind() == NO_MEASUREMENT;
}

void ContourAnalisisWidget::saveData(DataSaveFormat format)
{
    // The contour window saves no traces.
    Q_UNUSED(format)
}
