#include "measurements/measurementsmanager.h"

#include "measurements/compareplanedxf.h"
#include "measurements/errormeasurement.h"
#include "measurements/measurement.h"
#include "measurements/plotsegmentselection.h"
#include "measurements/reperpoint.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"

#include <QDebug>
#include <QDialog>
#include <QMouseEvent>
#include <QShortcut>

namespace {

bool isLineKind(int kind)
{
    return kind == CLICK_HORIZONTAL_LINE || kind == CLICK_VERTICAL_LINE || kind == CLICK_DOUBLE_LINE;
}

} // namespace

MeasurementsManager::MeasurementsManager(PlotWidget *plot, QWidget *parentWidget)
    : QObject(nullptr)
    , reperPointController(new ReperPointController(plot))
    , kind(NO_MEASUREMENT)
    , keepInList(false)
    , levellingAngle(0)
    , levellingCentre(0, 0)
    , plot(plot)
    , segmentSelection(new PlotSegmentSelection(plot))
    , kinds(standardMeasurementKinds())
{
    segmentSelection->setEnabled(false);
    // A click or a drag too short for the kind places nothing: the measurement
    // still waiting for a stretch is dropped and the kind stays armed. One
    // that has all its stretches keeps them.
    connect(segmentSelection, &PlotSegmentSelection::selectionTooShort, this, [this] {
        if (current && !current->isFinished() && !current->allSegmentsSelected())
            dropCurrent();
    });
    connect(plot, &QCustomPlot::mouseMove, reperPointController, &ReperPointController::mouseMove);
    connect(plot, &QCustomPlot::mousePress, this,
        [this, parentWidget](QMouseEvent *event) { onPlotMousePress(event, parentWidget); });
    if (parentWidget) {
        auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), parentWidget);
        // Escape is first the window's, when it has a use for it (closing a
        // tool frame), and then does nothing else. Otherwise it drops a
        // measurement being placed; a drawing waiting for its registration
        // picks only takes back the last pick, since only its row's deletion
        // removes a drawing. With none of these, it does what it would without
        // this shortcut: in a dialog (calibration), the dialog's reject, which
        // asks about unsaved values.
        connect(escape, &QShortcut::activated, this, [this, parentWidget] {
            if (escapeTaker && escapeTaker())
                return;
            const bool placing = current && !current->isFinished();
            if (placing && !qobject_cast<ComparePlaneDXF *>(current.data())) {
                cancelCurrent();
                return;
            }
            if (ComparePlaneDXF *drawing = drawingTakingPicks()) {
                drawing->takeBackPick();
                return;
            }
            if (placing)
                return;
            if (auto *dialog = qobject_cast<QDialog *>(parentWidget->window()))
                dialog->reject();
        });
    }
}

MeasurementsManager::~MeasurementsManager()
{
    // The list is emptied first, so nothing a destructor announces can reach
    // a measurement that is already gone.
    const QList<Measurement *> listed = measurements;
    measurements.clear();
    for (Measurement *m : listed) {
        if (current == m)
            current = nullptr;
        delete m;
    }
    delete current.data();
    delete reperPointController;
}

void MeasurementsManager::setTraces(const QVector<AbstractTrace *> &traces)
{
    this->traces = traces;
    if (segmentSelection)
        segmentSelection->traceCount = traces.size();
}

bool MeasurementsManager::segmentSelectionDisabled() const
{
    switch (kind) {
    case CLICK_HORIZONTAL_LINE:
    case CLICK_VERTICAL_LINE:
    case CLICK_DOUBLE_LINE:
    case CLICK_POINT:
    case AG_TEXT_PLACEMENT:
    case COMPARE_PLANE_DXF: // its points are clicked under the selection marker
    case NO_MEASUREMENT:
        return true;
    case VERTICAL_DISTANCE:
    case HORIZONTAL_DISTANCE:
    case DIRECT_DISTANCE:
        return !Settings::instance().preferenses.alternative_measurement;
    default:
        return false;
    }
}

void MeasurementsManager::enableSegmentSelectionForKind()
{
    if (segmentSelection) {
        segmentSelection->minimumPoints = minimumSegmentPoints(kind);
        segmentSelection->setEnabled(!segmentSelectionDisabled());
    }
}

void MeasurementsManager::setKind(
    E_MEASUREMENTS newKind, bool keepInList, bool pickReperPoints, const QString &parameter)
{
    if (pickReperPoints)
        reperPointController->makeAllPickable();
    else
        reperPointController->makeAllUnpickable();
    this->parameter = parameter;
    if (current) {
        if (newKind != kind && !current->isFinished())
            settleCurrent();
        else
            current->updateSelectionMarker();
    }
    this->keepInList = keepInList;
    kind = newKind;

    if (plot) {
        if (kind == AG_TEXT_PLACEMENT) {
            plot->setCursor(Qt::IBeamCursor);
            plot->setInteractions(plot->interactions() | PlotWidget::iRangeSelection);
            plot->setSelectionMarkerVisible(false);
        } else if (kind == NO_MEASUREMENT) {
            plot->setInteractions(plot->interactions() | PlotWidget::iRangeSelection);
            plot->setSelectionMarkerVisible(false);
        } else {
            plot->setInteractions(PlotWidget::iRangeSelection);
            plot->setSelectionMarkerVisible(true);
        }
    }
    enableSegmentSelectionForKind();
    if (kind != NO_MEASUREMENT) {
        // An armed kind takes the clicks: every drawing still waiting for its
        // picks pauses, whether it was being placed or had been paused and
        // picked again since, and its request leaves the status bar.
        for (Measurement *m : qAsConst(measurements))
            if (auto *drawing = qobject_cast<ComparePlaneDXF *>(m))
                drawing->suspendRegistration();
        if (qobject_cast<ComparePlaneDXF *>(statusSource.data()))
            forgetStatusOf(statusSource.data());
    } else if (!current || current->isFinished() || qobject_cast<ComparePlaneDXF *>(current.data())) {
        // With nothing armed, the drawing that takes the picks asks for the
        // one due, with the selection marker shown, in place of whatever a
        // measurement of the kind said last.
        if (ComparePlaneDXF *drawing = drawingTakingPicks())
            drawing->offerRegistration();
    }
}

ComparePlaneDXF *MeasurementsManager::drawingTakingPicks() const
{
    if (auto *drawing = qobject_cast<ComparePlaneDXF *>(current.data()); drawing && drawing->takesPicks())
        return drawing;
    for (Measurement *m : measurements)
        if (auto *drawing = qobject_cast<ComparePlaneDXF *>(m); drawing && drawing->takesPicks())
            return drawing;
    return nullptr;
}

void MeasurementsManager::onPlotMousePress(QMouseEvent *event, QWidget *parentWidget)
{
    if (event->button() != Qt::LeftButton)
        return;
    // A press while placing belongs to the measurement being placed.
    if (current && !current->isFinished())
        return;
    if (current)
        releaseCurrent();
    createMeasurement(parentWidget);
    attachCurrent(keepInList);
}

void MeasurementsManager::createMeasurement(QWidget *parentWidget)
{
    if (kind < VERTICAL_DISTANCE || kind > ERROR_PLANE)
        return;
    const MeasurementCreator create = kinds.creators.value(kind);
    if (!create) {
        qDebug() << "no measurement registered for kind" << kind;
        return;
    }
    MeasurementContext context;
    context.plot = plot;
    context.parentWidget = parentWidget;
    context.drawingHost = drawingHost;
    context.traces = traces;
    if (kind == RDEM_SPECIFIED || kind == CIRCUMF_AG_SPECIFIED)
        context.radius = parameter.toDouble();
    if (kind == RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT || kind == RDEM_FILTER_BY_TWO_SEGMENT)
        context.segmentCount = parameter.toInt(nullptr, 10);
    context.levellingAngle = &levellingAngle;
    context.levellingCentre = &levellingCentre;
    current = create(context);
    if (!current) {
        Q_EMIT measurementNotCreated(kind);
        return;
    }
    if (kind == AG_TEXT_PLACEMENT && plot)
        plot->setSelectionMarkerVisible(false);
    if (kind == COMPARE_PLANE_DXF) {
        Q_EMIT enableButton(true);
        kind = NO_MEASUREMENT;
    }
}

void MeasurementsManager::attachCurrent(bool list)
{
    if (segmentSelection) {
        disconnect(segmentSelection, &PlotSegmentSelection::selectionChanged, nullptr, nullptr);
        disconnect(segmentSelection, &PlotSegmentSelection::selectionFinished, nullptr, nullptr);
    }
    Measurement *m = current;
    if (!m)
        return;
    if (list) {
        measurements.append(m);
        // The emitter is announced, whichever measurement is current by then.
        connect(m, &Measurement::measumentChanged, this, [this, m] { Q_EMIT measurementChanged(m); });
        Q_EMIT measurementChanged(m);
    }
    connect(m, &Measurement::graphDataChanged, this, &MeasurementsManager::recalculateAll);
    connect(m, &Measurement::setNewAngleAndCenterRot, this, &MeasurementsManager::setNewAngleAndCenterRot);
    connect(m, &Measurement::reperPointChanged, reperPointController, &ReperPointController::reperPointChanged);
    connect(m, &Measurement::reperPointRemoved, reperPointController, &ReperPointController::reperPointRemoved);
    connect(m, &Measurement::statusText, this, [this, m](const QString &text) {
        statusSource = m;
        Q_EMIT statusText(text);
    });
    connect(m, &Measurement::measumentFinished, this, &MeasurementsManager::onMeasurementFinished);
    if (segmentSelection) {
        connect(segmentSelection, &PlotSegmentSelection::selectionFinished, m, &Measurement::onSegmentSelected);
        connect(segmentSelection, &PlotSegmentSelection::selectionChanged, m, &Measurement::onSegmentSelected);
    }
    connect(m, &Measurement::measumentFinished, this, &MeasurementsManager::enableSegmentSelectionForKind);
    connect(m, &Measurement::stopSelection, this, [this] {
        if (segmentSelection)
            segmentSelection->setEnabled(false);
    });
}

void MeasurementsManager::releaseCurrent()
{
    Measurement *m = current;
    current = nullptr;
    if (m && !measurements.contains(m))
        delete m;
}

void MeasurementsManager::deleteAnnounced(QPointer<Measurement> m)
{
    if (!m)
        return;
    const int id = m->id();
    Q_EMIT deleteMeasurement(m);
    // The window answers by removing the id; should it not, the measurement
    // is unlisted and deleted here all the same.
    removeMeasurement(id);
    if (current == m)
        current = nullptr;
    forgetStatusOf(m.data());
    delete m.data();
}

void MeasurementsManager::dropCurrent()
{
    if (!current)
        return;
    deleteAnnounced(current.data());
    // Its prompt no longer asks for anything.
    Q_EMIT statusText(QString());
}

void MeasurementsManager::settleCurrent()
{
    if (!current || current->isFinished())
        return;
    if (current->placingLabel)
        current->finishPlacing();
    // A listed drawing stays where it is, unregistered, with its row: its
    // registration can be started again.
    if (auto *drawing = qobject_cast<ComparePlaneDXF *>(current.data());
        drawing && measurements.contains(drawing) && drawing->hasDrawing()) {
        drawing->suspendRegistration();
        current = nullptr;
        forgetStatusOf(drawing);
        return;
    }
    if (current && !current->isFinished())
        dropCurrent();
}

void MeasurementsManager::cancelCurrent()
{
    if (!current || current->isFinished())
        return;
    dropCurrent();
    if (!plot)
        return;
    const PlotWidget::SelectionRectMode mode = plot->selectionRectMode();
    const PlotWidget::Interactions flags = plot->interactions();
    plot->setSelectionRectMode(PlotWidget::srmNone);
    plot->setInteractions(
        flags & ~PlotWidget::Interactions(PlotWidget::iRangeSelection | PlotWidget::iSelectPlottables));
    plot->deselectAll();
    plot->setSelectionRectMode(mode);
    plot->setInteractions(flags);
}

Measurement *MeasurementsManager::measurementById(int id) const
{
    for (Measurement *m : measurements)
        if (m->id() == id)
            return m;
    return nullptr;
}

void MeasurementsManager::removeMeasurement(int id)
{
    Measurement *m = measurementById(id);
    if (!m)
        return;
    measurements.removeOne(m);
    if (current == m)
        current = nullptr;
    forgetStatusOf(m);
    if (m->name() == MeasurementCaption::kDrawing) {
        // The deviations measured against this drawing go with it; nothing
        // is left to measure them against.
        const auto *comparison = qobject_cast<const ComparePlaneDXF *>(m);
        removeDrawingDeviations(comparison ? comparison->drawingData() : nullptr);
        bool drawingLeft = false;
        for (const Measurement *other : qAsConst(measurements))
            drawingLeft = drawingLeft || other->name() == MeasurementCaption::kDrawing;
        if (!drawingLeft)
            Q_EMIT enableButton(false);
    }
    delete m;
}

void MeasurementsManager::forgetStatusOf(const Measurement *m)
{
    if (m && statusSource.data() == m) {
        statusSource = nullptr;
        Q_EMIT statusText(QString());
    }
}

void MeasurementsManager::removeDrawingDeviations(const PlotDrawing *drawing)
{
    auto against = [drawing](const Measurement *m) {
        if (m->type() != ERROR_PLANE)
            return false;
        const auto *deviation = qobject_cast<const ErrorPlane *>(m);
        return !drawing || !deviation || deviation->measuresAgainst(drawing);
    };
    QList<QPointer<Measurement>> deviations;
    for (Measurement *m : qAsConst(measurements))
        if (against(m))
            deviations << m;
    if (current && current->type() == ERROR_PLANE && !measurements.contains(current)) {
        const auto *deviation = qobject_cast<const ErrorPlane *>(current.data());
        if (against(current) || (deviation && !deviation->hasDrawing()))
            deviations << current;
    }
    bool wasPlaced = false;
    for (const QPointer<Measurement> &m : qAsConst(deviations)) {
        wasPlaced = wasPlaced || (m && current == m && !m->isFinished());
        deleteAnnounced(m);
    }
    // The stretch the one being placed had selected is no longer shown.
    if (wasPlaced)
        enableSegmentSelectionForKind();
}

void MeasurementsManager::recalculateAll()
{
    for (Measurement *m : qAsConst(measurements)) {
        m->calculate();
        Q_EMIT measurementChanged(m);
    }
    if (plot)
        plot->replot(QCustomPlot::rpRefreshHint);
}

void MeasurementsManager::onMeasurementFinished()
{
    Measurement *finishedOne = current;
    if (!finishedOne)
        return;
    const QList<Measurement *> listed = measurements;
    for (Measurement *element : listed)
        if (!element->isMeasurement && element != finishedOne)
            addIntersectionPoints(element, finishedOne);
}

void MeasurementsManager::addIntersectionPoints(Measurement *other, Measurement *current)
{
    if (!other || !current)
        return;
    QList<QPointF> points;
    IntersectionKind pair;
    if (intersectionKindFor(other->name(), current->name(), &pair)) {
        const IntersectionFunction intersect = kinds.intersections.value(pair);
        if (intersect)
            points = intersect(other, current);
    }
    const int n = points.size();
    current->createReperPoints(n);
    const int first = current->reperPoints.size() - n;
    for (int i = 0; i < n; ++i)
        current->setReperPoint(first + i, points.at(i));
    if (current->name() != MeasurementCaption::kCircle)
        reperPointController->makeAllPickable();
    if (plot)
        plot->replot(QCustomPlot::rpRefreshHint);
}

void MeasurementsManager::addEquidistant(int id, E_MEASUREMENTS lineKind, double distance)
{
    if (!isLineKind(lineKind))
        return;
    const Measurement *source = measurementById(id);
    const LineCopier copier = kinds.lineCopiers.value(lineKind);
    if (!source || !copier.coefficients || !copier.create)
        return;
    QVector<double> coefficients = copier.coefficients(source);
    if (coefficients.size() < 2)
        return;
    coefficients[1] += distance;

    // The copy replaces the current measurement: an unfinished one is dropped
    // as a change of kind drops it, a finished unlisted one is deleted.
    if (current && !current->isFinished())
        settleCurrent();
    if (current)
        releaseCurrent();

    current = copier.create(plot, coefficients);
    if (!current)
        return;
    // A copy is always listed, also while an unlisted kind is armed: the
    // next press would delete an unlisted one.
    attachCurrent(true);
    onMeasurementFinished();
    if (!measurements.isEmpty())
        Q_EMIT measurementChanged(measurements.last());
    if (plot)
        plot->replot(QCustomPlot::rpRefreshHint);
}
