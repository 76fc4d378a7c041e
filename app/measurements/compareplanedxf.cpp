#include "measurements/compareplanedxf.h"

#include "plot/plotwidget.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "widgets/loader.h"
#include "widgets/prompts.h"

#include <QDebug>
#include <QFutureWatcher>
#include <QMouseEvent>
#include <QProgressBar>
#include <QtConcurrent>

#include <climits>
#include <exception>
#include <map>
#include <new>

namespace {

std::map<const QCustomPlot *, PlotDrawing> &drawings()
{
    static std::map<const QCustomPlot *, PlotDrawing> byPlot;
    return byPlot;
}

const QString kCaption = QStringLiteral("Чертёж DXF");

QString registrationFailedText()
{
    return QStringLiteral("Не удалось совместить чертёж с трассой. Чертёж оставлен на месте.");
}

} // namespace

PlotDrawing &plotDrawing(const QCustomPlot *plot)
{
    auto &byPlot = drawings();
    auto it = byPlot.find(plot);
    if (it == byPlot.end()) {
        it = byPlot.emplace(plot, PlotDrawing()).first;
        if (plot)
            QObject::connect(plot, &QObject::destroyed, [plot] { drawings().erase(plot); });
    }
    return it->second;
}

double distanceToDrawing(const QCustomPlot *plot, double x, double y)
{
    const auto it = drawings().find(plot);
    return it == drawings().end() ? kNoDrawingDistance : distanceToDrawing(it->second.drawing, x, y);
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

ComparePlaneDXF::ComparePlaneDXF(QWidget *dialogParent, PlotWidget *plot)
    : ComparePlaneMeasurement(33, plot, kCaption)
    , unitFactor(displayUnitFactor())
{
    if (!plot || !importDrawing(dialogParent))
        return;
    imported = true;
    plot->setSelectionMarkerVisible(true);
    // The import runs inside the plot's press: without a replot the drawing
    // would show only at the next redraw.
    plot->replot(QCustomPlot::rpRefreshHint);
    emit statusText(QStringLiteral("Выберите первую точку на трассе"));
    // The manager wires the element's signals only once it is built: the
    // prompt goes out again when they are, unless the first click came first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (registrationStage == 0)
                emit statusText(QStringLiteral("Выберите первую точку на трассе"));
        },
        Qt::QueuedConnection);
    addConnection(connect(plot, &QCustomPlot::mousePress, this, &ComparePlaneDXF::onPlotMousePress));
}

ComparePlaneDXF::~ComparePlaneDXF()
{
    // A search still running works on copies: it is stopped and awaited, so
    // that it never outlives the element.
    if (m_registering) {
        m_cancel->store(true);
        m_waitForSearch();
    }
    delete m_loader;
    removeMarkers();
    if (!imported)
        return;
    if (PlotDrawing *d = drawing()) {
        if (d->item)
            plot()->removeItem(d->item);
        *d = PlotDrawing();
    }
}

PlotDrawing *ComparePlaneDXF::drawing() const
{
    return plot() ? &plotDrawing(plot()) : nullptr;
}

// Reads the chosen file and adds its entities to the plot's drawing, with
// their markers. A cancelled question stays silent; a file that cannot be
// read, or holds nothing to draw, is reported.
bool ComparePlaneDXF::importDrawing(QWidget *dialogParent)
{
    const QString path = Prompts::instance().openFileName(
        dialogParent, QStringLiteral("Импортировать чертёж"), QString(), QStringLiteral("Чертёж (*.dxf)"));
    if (path.isEmpty())
        return false; // cancelled
    DxfDrawing read;
    DxfParseError malformed;
    const DxfReadStatus status = readDxfFile(path, unitFactor, &read, &malformed);
    if (status != DxfReadStatus::Ok) {
        const QString message = dxfReadErrorText(status, path, malformed);
        logger.log(Logger::ERROR, message.toStdString());
        Prompts::instance().warning(dialogParent, kCaption, message);
        return false;
    }
    followUnit(); // what an earlier import left is brought to the current unit first
    PlotDrawing &d = plotDrawing(plot());
    d.unitFactor = unitFactor;
    if (!d.item) {
        // Drawn in the colour of the program's visual objects, so that it
        // stands out from the traces.
        d.item = new DxfDrawingItem(plot(), &d.drawing);
        d.item->setPen(QPen(QColor(Settings::instance().preferenses.visual_objects_color), 1.5));
        d.item->setLayer(QStringLiteral("overlay"));
    }
    QVector<QPointF> markers;
    markers.reserve(read.size() * 12); // a line's markers; round entities take more
    for (int i = 0; i < read.size(); ++i)
        appendEntityMarkers(&markers, read.dxfEntityTypes[i], read.dxfEntityParams[i]);
    if (d.drawing.isEmpty()) {
        d.drawing = read;
    } else {
        d.drawing.dxfEntityTypes += read.dxfEntityTypes;
        d.drawing.dxfEntityParams += read.dxfEntityParams;
    }
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
    PlotWidget *p = plot();
    if (!p || event->button() != Qt::LeftButton || registrationStage >= 2)
        return;
    followUnit();
    const qint64 selected = p->selectedDataIndex();
    const int index = selected >= 0 && selected <= INT_MAX ? int(selected) : -1;
    QCPCurve *curve = p->selectedCurve();
    const QPointF point(curveKeyAt(curve, index), curveValueAt(curve, index));

    if (registrationStage == 0) {
        registrationStage = 1;
        registrationIndex = index;
        registrationCurve = curve;
        tracePoint = point;
        makeReperPointsPickable();
        if (m_markers)
            m_markers->setPickable(true);
        emit statusText(QStringLiteral("Выберите соответствующую ей точку на чертеже"));
        return;
    }
    p->setSelectionMarkerVisible(false);
    drawingPoint = point;
    registrationStage = 2;
    if (drawing()->drawing.size() > kBackgroundEntities) {
        registerInBackground();
        return;
    }
    Outcome outcome = runSearch(drawing()->drawing, tracePoint, drawingPoint, fitPoints(), unitFactor, nullptr);
    if (!outcome.failure.isEmpty()) {
        reportFailure(outcome);
        restartRegistration();
        return;
    }
    applyRegistration(std::move(outcome.drawing));
}

// The search on a copy of the drawing. It may fail, for want of memory above
// all: the failure is handed back, never thrown, so that it reaches the
// operator from whichever thread ran the search.
ComparePlaneDXF::Outcome ComparePlaneDXF::runSearch(DxfDrawing drawing, const QPointF &onTrace,
    const QPointF &onDrawing, const QVector<QPointF> &points, double factor, const FitCancel *cancel)
{
    Outcome outcome;
    try {
        outcome.cancelled = registrationSearch(drawing, onTrace, onDrawing, points, factor, true, cancel).cancelled;
        outcome.drawing = std::move(drawing);
        return outcome;
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
    Prompts::instance().warning(plot() ? plot()->window() : nullptr, kCaption, outcome.failure);
}

void ComparePlaneDXF::restartRegistration()
{
    registrationStage = 0;
    makeReperPointsUnpickable();
    if (m_markers)
        m_markers->setPickable(false);
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
    emit statusText(QStringLiteral("Выберите первую точку на трассе"));
}

void ComparePlaneDXF::applyRegistration(DxfDrawing registered)
{
    PlotDrawing *d = drawing();
    if (!d)
        return;
    d->drawing = std::move(registered);
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

    auto *loader = new Loader(nullptr, QStringLiteral("Идёт совмещение чертежа"));
    loader->setParent(plot()->window(), Qt::Dialog | Qt::FramelessWindowHint);
    loader->setWindowModality(Qt::WindowModal);
    // The search cannot tell how far it has come: the bar runs as a busy one.
    if (auto *bar = loader->findChild<QProgressBar *>(QStringLiteral("progressBar")))
        bar->setRange(0, 0);
    // "Отмена" and Escape both stop the search.
    connect(loader, &Loader::loaderCanceled, this, [cancel] { cancel->store(true); });
    connect(loader, &QDialog::rejected, this, [cancel] { cancel->store(true); });
    m_loader = loader;
    loader->show();
    // The prompt for the drawing's point no longer applies.
    emit statusText(QString());

    watcher->setFuture(QtConcurrent::run([start, onTrace, onDrawing, points, factor, cancel] {
        return runSearch(start, onTrace, onDrawing, points, factor, cancel.get());
    }));
}

void ComparePlaneDXF::onBackgroundRegistered(Outcome outcome, double startUnit)
{
    m_registering = false;
    if (m_loader) {
        m_loader->done(QDialog::Accepted);
        m_loader->deleteLater();
    }
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
        if (m_markers)
            m_markers->scale(k);
        unitFactor = factor;
    }
}

void ComparePlaneDXF::calculate()
{
    followUnit();
}
