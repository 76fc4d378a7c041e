#include "measurements/compareplanedxf.h"

#include "measurements/displayunit.h"
#include "measurements/drawinghost.h"
#include "plot/plotwidget.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "widgets/prompts.h"

#include <QDebug>
#include <QFutureWatcher>
#include <QLocale>
#include <QMouseEvent>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <new>
#include <utility>

namespace {

using DrawingList = QVector<std::shared_ptr<PlotDrawing>>;

std::map<const QCustomPlot *, DrawingList> &drawings()
{
    static std::map<const QCustomPlot *, DrawingList> byPlot;
    return byPlot;
}

const QString kCaption = QStringLiteral("Чертёж DXF");

QString registrationFailedText()
{
    return QStringLiteral("Не удалось совместить чертёж с трассой. Чертёж оставлен на месте.");
}

QString firstPointPrompt()
{
    return QStringLiteral("Выберите первую точку на трассе");
}

QString drawingPointPrompt()
{
    return QStringLiteral("Выберите соответствующую ей точку на чертеже");
}

// The plot length one pixel of its axis rectangle spans, the larger of the
// two axes'; 0 before the plot is laid out.
double lengthPerPixel(const QCustomPlot *plot)
{
    const QRect r = plot->axisRect()->rect();
    if (r.width() <= 0 || r.height() <= 0)
        return 0;
    return std::max(plot->xAxis->range().size() / r.width(), plot->yAxis->range().size() / r.height());
}

// A length in the display unit that has unitFactor units in a millimetre,
// with about three significant digits and the unit's name.
QString lengthText(double length, double unitFactor)
{
    QString unit;
    for (int code = 0; code <= 2; ++code) {
        if (DisplayUnit::factor(code) == unitFactor)
            unit = DisplayUnit::text(code);
    }
    const double a = std::abs(length);
    const int decimals = a < 1 ? 3 : a < 10 ? 2 : a < 100 ? 1 : 0;
    const QString number = QLocale().toString(length, 'f', decimals);
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

} // namespace

QVector<std::shared_ptr<PlotDrawing>> plotDrawings(const QCustomPlot *plot)
{
    const auto it = drawings().find(plot);
    return it == drawings().end() ? DrawingList() : it->second;
}

std::shared_ptr<PlotDrawing> addPlotDrawing(const QCustomPlot *plot)
{
    auto &byPlot = drawings();
    auto it = byPlot.find(plot);
    if (it == byPlot.end()) {
        it = byPlot.emplace(plot, DrawingList()).first;
        if (plot)
            QObject::connect(plot, &QObject::destroyed, [plot] { drawings().erase(plot); });
    }
    auto d = std::make_shared<PlotDrawing>();
    it->second.append(d);
    return d;
}

void removePlotDrawing(const QCustomPlot *plot, const PlotDrawing *drawing)
{
    const auto it = drawings().find(plot);
    if (it == drawings().end())
        return;
    DrawingList &list = it->second;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).get() == drawing) {
            list.remove(i);
            return;
        }
    }
}

PlotDrawing *plotDrawing(const QCustomPlot *plot)
{
    const auto it = drawings().find(plot);
    return it != drawings().end() && !it->second.isEmpty() ? it->second.last().get() : nullptr;
}

namespace {

// The drawing of the plot nearest to (x, y) with its distance; null and
// kNoDrawingDistance when no drawing has an entity a distance is measured to.
std::pair<std::shared_ptr<PlotDrawing>, double> nearestDrawing(const QCustomPlot *plot, double x, double y)
{
    std::pair<std::shared_ptr<PlotDrawing>, double> nearest(nullptr, kNoDrawingDistance);
    for (const std::shared_ptr<PlotDrawing> &d : plotDrawings(plot)) {
        const double distance = distanceToDrawing(d->drawing, x, y);
        if (distance < nearest.second)
            nearest = { d, distance };
    }
    return nearest;
}

} // namespace

std::shared_ptr<PlotDrawing> nearestPlotDrawing(const QCustomPlot *plot, double x, double y)
{
    return nearestDrawing(plot, x, y).first;
}

double distanceToDrawing(const QCustomPlot *plot, double x, double y)
{
    return nearestDrawing(plot, x, y).second;
}

namespace {

const QCPCurveData *curvePointAt(const QCPCurve *curve, int index)
{
    if (!curve || index < 0 || index >= curve->data()->size())
        return nullptr;
    return &*(curve->data()->constBegin() + index);
}

} // namespace

double curveKeyAt(const QCPCurve *curve, int index)
{
    const QCPCurveData *p = curvePointAt(curve, index);
    return p ? p->key : 0.0;
}

double curveValueAt(const QCPCurve *curve, int index)
{
    const QCPCurveData *p = curvePointAt(curve, index);
    return p ? p->value : 0.0;
}

ComparePlaneDXF::RegistrationSearch ComparePlaneDXF::registrationSearch = &registerDrawing;

ComparePlaneDXF::ComparePlaneDXF(IDrawingHost *host, PlotWidget *plot)
    : ComparePlaneMeasurement(33, plot, kCaption)
    , host(host)
    , unitFactor(displayUnitFactor())
{
    if (!plot || !host || !importDrawing())
        return;
    imported = true;
    plot->setSelectionMarkerVisible(true);
    // The import runs inside the plot's press: without a replot the drawing
    // would show only at the next redraw.
    plot->replot(QCustomPlot::rpRefreshHint);
    emit statusText(firstPointPrompt());
    // The manager wires the element's signals only once it is built: the
    // prompt goes out again when they are, unless the first click came first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (registrationStage == 0)
                emit statusText(firstPointPrompt());
        },
        Qt::QueuedConnection);
    addConnection(connect(plot, &QCustomPlot::mousePress, this, &ComparePlaneDXF::onPlotMousePress));
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &ComparePlaneDXF::onPlotMouseRelease));
}

ComparePlaneDXF::~ComparePlaneDXF()
{
    // A search still running works on copies: it is stopped and awaited, so
    // that it never outlives the element.
    if (m_registering) {
        m_cancel->store(true);
        m_waitForSearch();
        if (host)
            host->hideRegistrationBusy();
    }
    removeMarkers();
    if (!own)
        return;
    if (own->item && plot())
        plot()->removeItem(own->item);
    removePlotDrawing(plot(), own.get());
    own->owner = nullptr;
}

PlotDrawing *ComparePlaneDXF::drawing() const
{
    return own.get();
}

bool ComparePlaneDXF::takesPicks() const
{
    if (!own || own->registered)
        return false;
    const QVector<std::shared_ptr<PlotDrawing>> all = plotDrawings(plot());
    for (int i = all.size() - 1; i >= 0; --i) {
        if (all.at(i)->owner && !all.at(i)->registered)
            return all.at(i) == own;
    }
    return false;
}

// Reads the chosen file and adds its entities to the plot's drawing, with
// their markers. A cancelled question stays silent; a file that cannot be
// read, or holds nothing to draw, is reported.
bool ComparePlaneDXF::importDrawing()
{
    const QString path = Prompts::instance().openFileName(
        plot(), QStringLiteral("Импортировать чертёж"), QString(), QStringLiteral("Чертёж (*.dxf)"));
    if (path.isEmpty())
        return false; // cancelled
    DxfDrawing read;
    DxfParseError malformed;
    const DxfReadStatus status = readDxfFile(path, unitFactor, &read, &malformed);
    if (status != DxfReadStatus::Ok) {
        const QString message = dxfReadErrorText(status, path, malformed);
        logger.log(Logger::ERROR, message.toStdString());
        Prompts::instance().warning(plot(), kCaption, message);
        return false;
    }
    own = addPlotDrawing(plot());
    own->owner = this;
    own->unitFactor = unitFactor;
    own->drawing = std::move(read);
    // Drawn in the colour of the program's visual objects, so that it
    // stands out from the traces.
    own->item = new DxfDrawingItem(plot(), &own->drawing);
    own->item->setPen(QPen(QColor(Settings::instance().preferenses.visual_objects_color), 1.5));
    own->item->setLayer(QStringLiteral("overlay"));
    QVector<QPointF> markers;
    markers.reserve(own->drawing.size() * 12); // a line's markers; round entities take more
    for (int i = 0; i < own->drawing.size(); ++i)
        appendEntityMarkers(&markers, own->drawing.dxfEntityTypes[i], own->drawing.dxfEntityParams[i]);
    // The markers are made after the drawing's item, so they lie above its lines.
    auto *curve = new DxfMarkers(plot()->xAxis, plot()->yAxis);
    curve->setLayer(QStringLiteral("overlay"));
    markerCount = markers.size();
    curve->setMarkers(std::move(markers));
    m_markers = curve;
    return true;
}

void ComparePlaneDXF::removeMarkers()
{
    if (m_markers && plot())
        plot()->removePlottable(m_markers);
    m_markers = nullptr;
    markerCount = 0;
}

void ComparePlaneDXF::translateDrawing(double dx, double dy)
{
    if (PlotDrawing *d = drawing()) {
        ::translateDrawing(d->drawing, dx, dy);
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::rotateDrawing(double degrees)
{
    if (PlotDrawing *d = drawing()) {
        ::rotateDrawing(d->drawing, degrees, tracePoint);
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::scaleDrawing(double factor)
{
    if (PlotDrawing *d = drawing())
        ::scaleDrawing(d->drawing, factor);
}

QVector<QPointF> ComparePlaneDXF::fitPoints() const
{
    QVector<QPointF> points;
    const QCPCurve *curve = registrationCurve ? registrationCurve.data() : (plot() ? plot()->curve(0) : nullptr);
    if (!curve)
        return points;
    points.reserve(curve->data()->size());
    for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
        points.append(QPointF(it->key, it->value));
    return points;
}

void ComparePlaneDXF::fitRotation()
{
    if (PlotDrawing *d = drawing()) {
        DrawingFitError error(fitPoints());
        ::fitRotation(d->drawing, tracePoint, error);
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::fitShift()
{
    if (PlotDrawing *d = drawing()) {
        DrawingFitError error(fitPoints());
        ::fitShift(d->drawing, unitFactor, error);
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::onPlotMousePress(QMouseEvent *event)
{
    pressed = false;
    if (!plot() || event->button() != Qt::LeftButton || registrationStage >= 2 || m_registering)
        return;
    // A press while a zoom or pan tool is on (it starts a drag of the view),
    // while a tool frame lies over the plot or a kind is armed is no pick.
    if (!host || !host->plotClickPicks() || !takesPicks())
        return;
    pressed = true;
}

void ComparePlaneDXF::onPlotMouseRelease(QMouseEvent *event)
{
    PlotWidget *p = plot();
    if (!pressed || !p || event->button() != Qt::LeftButton)
        return;
    pressed = false;
    // A drag is no click.
    if (p->releaseEndsDrag(event->pos()))
        return;
    if (registrationStage >= 2 || m_registering || !host || !host->plotClickPicks() || !takesPicks())
        return;
    followUnit();
    // The point under the cursor at the click, found afresh: what the
    // selection marker last named may be stale (a tool that dragged the view
    // while the marker was off, a view reset since the last move).
    int found = -1;
    QCPCurve *curve = p->nearestSelectableCurve(QPointF(event->pos()), &found);
    if (!curve || found < 0 || found >= curve->data()->size())
        return;
    const int index = found;
    const QPointF point(curveKeyAt(curve, index), curveValueAt(curve, index));

    if (registrationStage == 0) {
        if (curve == m_markers)
            return; // the first point lies on the trace
        registrationStage = 1;
        registrationIndex = index;
        registrationCurve = curve;
        tracePoint = point;
        pickSpan = lengthPerPixel(p);
        makeReperPointsPickable();
        if (m_markers)
            m_markers->setPickable(true);
        emit statusText(drawingPointPrompt());
        return;
    }
    p->setSelectionMarkerVisible(false);
    drawingPoint = point;
    pickSpan = std::max(pickSpan, lengthPerPixel(p));
    registrationStage = 2;
    if (drawing()->drawing.size() > kBackgroundEntities) {
        registerInBackground();
        return;
    }
    Outcome outcome = runSearch(drawing()->drawing, tracePoint, drawingPoint, fitPoints(), unitFactor,
        picksApartLimit(drawing()->drawing, pickSpan, unitFactor), nullptr);
    if (!outcome.failure.isEmpty()) {
        reportFailure(outcome);
        restartRegistration();
        return;
    }
    applyRegistration(std::move(outcome.drawing));
}

void ComparePlaneDXF::offerRegistration()
{
    if (registrationStage >= 2 || m_registering || !takesPicks())
        return;
    // The picks are taken under the selection marker's eye: it shows again.
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
    emit statusText(registrationStage == 0 ? firstPointPrompt() : drawingPointPrompt());
}

void ComparePlaneDXF::suspendRegistration()
{
    if (registrationStage >= 2 || m_registering)
        return;
    resetPicks();
}

void ComparePlaneDXF::takeBackPick()
{
    if (m_registering) {
        m_cancel->store(true);
        return;
    }
    if (registrationStage >= 2)
        return;
    restartRegistration();
}

// The search on a copy of the drawing. It may fail, for want of memory above
// all: the failure is handed back, never thrown, so that it reaches the
// operator from whichever thread ran the search.
ComparePlaneDXF::Outcome ComparePlaneDXF::runSearch(DxfDrawing drawing, const QPointF &onTrace,
    const QPointF &onDrawing, const QVector<QPointF> &points, double factor, double limit, const FitCancel *cancel)
{
    Outcome outcome;
    try {
        const Registration result = registrationSearch(drawing, onTrace, onDrawing, points, factor, true, cancel);
        outcome.cancelled = result.cancelled;
        if (outcome.cancelled || registrationKeepsPicks(result, limit)) {
            outcome.drawing = std::move(drawing);
            return outcome;
        }
        // The fit pulled the drawing's point far from the trace's: the two
        // picks do not belong together.
        const double apart = picksApart(result);
        outcome.failure = QStringLiteral("Не удалось совместить чертёж с трассой: выбранные точки трассы и чертежа "
                                         "не соответствуют друг другу (подгонка развела их на %1, допустимо до %2). "
                                         "Чертёж оставлен на месте, выберите точки заново.")
                              .arg(lengthText(apart, factor), lengthText(limit, factor));
        outcome.cause = QStringLiteral("the fit moved the picked points %1 apart, at most %2 allowed").arg(apart).arg(limit);
    } catch (const std::bad_alloc &) {
        outcome.failure = QStringLiteral("Не удалось совместить чертёж с трассой: не хватило памяти. "
                                         "Чертёж оставлен на месте.");
        outcome.cause = QStringLiteral("out of memory");
    } catch (const std::exception &e) {
        outcome.cause = QString::fromLocal8Bit(e.what());
    } catch (...) {
        outcome.cause = QStringLiteral("unknown exception");
    }
    if (outcome.failure.isEmpty())
        outcome.failure = registrationFailedText();
    outcome.drawing = DxfDrawing();
    return outcome;
}

void ComparePlaneDXF::reportFailure(const Outcome &outcome)
{
    logger.log(Logger::ERROR, QStringLiteral("DXF registration failed: %1").arg(outcome.cause).toStdString());
    Prompts::instance().warning(plot(), kCaption, outcome.failure);
}

void ComparePlaneDXF::resetPicks()
{
    pressed = false;
    registrationStage = 0;
    pickSpan = 0;
    makeReperPointsUnpickable();
    if (m_markers)
        m_markers->setPickable(false);
}

void ComparePlaneDXF::restartRegistration()
{
    resetPicks();
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
    emit statusText(firstPointPrompt());
}

void ComparePlaneDXF::applyRegistration(DxfDrawing registered)
{
    PlotDrawing *d = drawing();
    if (!d)
        return;
    d->drawing = std::move(registered);
    d->registered = true;
    removeMarkers();
    plot()->replot(QCustomPlot::rpRefreshHint);
    finishRegistration();
}

void ComparePlaneDXF::finishRegistration()
{
    emit statusText(QString());
    makeReperPointsUnpickable();
    finishMeasurement();
    emit measumentFinished();
}

// The search runs in the thread pool on copies of the drawing and the trace
// points; the plot keeps showing the drawing where it was, behind the busy
// window, until the result is applied here on the GUI thread. The window is
// shown without an event loop of its own, so nothing waits for it.
void ComparePlaneDXF::registerInBackground()
{
    PlotDrawing *d = drawing();
    const DxfDrawing start = d->drawing;
    const double startUnit = d->unitFactor;
    const QVector<QPointF> points = fitPoints();
    const QPointF onTrace = tracePoint, onDrawing = drawingPoint;
    const double factor = unitFactor;
    const double limit = picksApartLimit(start, pickSpan, factor);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    m_registering = true;

    auto *watcher = new QFutureWatcher<Outcome>(this);
    // "Отмена" pressed after the search ended, but before its result came
    // here, still cancels.
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, startUnit, cancel] {
        Outcome outcome;
        try {
            outcome = watcher->result();
        } catch (...) {
            // The search hands its failures back; this is only a last guard
            // that keeps an exception out of the event loop.
            outcome.failure = registrationFailedText();
            outcome.cause = QStringLiteral("the search ended with an exception");
        }
        watcher->deleteLater();
        m_waitForSearch = nullptr;
        outcome.cancelled = outcome.cancelled || cancel->load();
        onBackgroundRegistered(std::move(outcome), startUnit);
    });
    m_waitForSearch = [watcher] { watcher->waitForFinished(); };

    // "Отмена" and Escape both stop the search.
    host->showRegistrationBusy(QStringLiteral("Идёт совмещение чертежа"), [cancel] { cancel->store(true); });
    // The prompt for the drawing's point no longer applies.
    emit statusText(QString());

    watcher->setFuture(QtConcurrent::run([start, onTrace, onDrawing, points, factor, limit, cancel] {
        return runSearch(start, onTrace, onDrawing, points, factor, limit, cancel.get());
    }));
}

void ComparePlaneDXF::onBackgroundRegistered(Outcome outcome, double startUnit)
{
    m_registering = false;
    if (host)
        host->hideRegistrationBusy();
    PlotDrawing *d = drawing();
    if (!d || !plot())
        return;
    if (!outcome.failure.isEmpty()) {
        reportFailure(outcome);
        restartRegistration();
        return;
    }
    // The busy window keeps the operator from the plot while the search
    // runs; should its drawing have changed all the same, the result no
    // longer fits it and is dropped. A cancelled search leaves the drawing
    // and its markers as before the second click.
    if (outcome.cancelled || d->drawing.size() != outcome.drawing.size()) {
        restartRegistration();
        return;
    }
    // A change of the display unit while the search ran scaled the drawing
    // it started from; the result follows it.
    if (startUnit > 0 && d->unitFactor != startUnit)
        ::scaleDrawing(outcome.drawing, d->unitFactor / startUnit);
    applyRegistration(std::move(outcome.drawing));
}

// The drawing and the element's points are in the display unit of the moment
// they were made; after a change of unit both scale by the ratio of the unit
// factors (about the origin, where both units have theirs).
void ComparePlaneDXF::followUnit()
{
    const double factor = displayUnitFactor();
    if (PlotDrawing *d = drawing()) {
        if (d->unitFactor > 0 && d->unitFactor != factor) {
            scaleDrawing(factor / d->unitFactor);
            d->unitFactor = factor;
        }
    }
    if (unitFactor != factor) {
        const double k = factor / unitFactor;
        tracePoint *= k;
        drawingPoint *= k;
        pickSpan *= k;
        if (m_markers)
            m_markers->scale(k);
        unitFactor = factor;
    }
}

void ComparePlaneDXF::calculate()
{
    followUnit();
}
