#include "measurements/compareplanedxf.h"

#include "measurements/dxffit.h"
#include "measurements/reperpoint.h"
#include "plot/plotwidget.h"
#include "plot/qcpitemarc.h"
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
#include <map>

namespace {

std::map<const QCustomPlot *, PlotDrawing> &drawings()
{
    static std::map<const QCustomPlot *, PlotDrawing> byPlot;
    return byPlot;
}

const QString kCaption = QStringLiteral("Чертёж DXF");

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
    if (!imported)
        return;
    if (PlotDrawing *d = drawing()) {
        for (const QPointer<QCPAbstractItem> &item : qAsConst(d->dxfEntityItems)) {
            if (item)
                plot()->removeItem(item);
        }
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
    // Drawn in the colour of the program's visual objects, so that it stands
    // out from the traces.
    const QPen pen(QColor(Settings::instance().preferenses.visual_objects_color), 1.5);
    for (int i = 0; i < read.size(); ++i) {
        const QString &type = read.dxfEntityTypes[i];
        QCPAbstractItem *item = nullptr;
        if (type == DxfType::line()) {
            auto *line = new QCPItemLine(plot());
            line->setPen(pen);
            item = line;
        } else {
            auto *arc = new QCPItemArc(plot());
            arc->setPen(pen);
            item = arc;
        }
        d.drawing.append(type, read.dxfEntityParams[i]);
        d.dxfEntityItems.append(item);
        placeEntity(item, type, read.dxfEntityParams[i]);
    }
    // The markers come after every entity's item: each new plot item walks
    // the plot's layout, which the markers' curves enlarge, so items made
    // after them would cost in proportion to the markers. Drawn later, the
    // markers also lie above the drawing's lines.
    for (int i = 0; i < read.size() && markerCount < kMaxDrawingMarkers; ++i)
        placeMarkers(read.dxfEntityTypes[i], read.dxfEntityParams[i]);
    return true;
}

void ComparePlaneDXF::placeEntity(QCPAbstractItem *item, const QString &type, const QVector<double> &p)
{
    if (!item || p.size() < 4)
        return;
    item->setLayer(QStringLiteral("overlay"));
    if (auto *line = qobject_cast<QCPItemLine *>(item)) {
        line->start->setCoords(p[0], p[1]);
        line->end->setCoords(p[2], p[3]);
    } else if (auto *arc = qobject_cast<QCPItemArc *>(item)) {
        const double a = p[2], b = type == DxfType::ellipse() ? p[3] : p[2];
        arc->topLeft->setCoords(p[0] - a, p[1] + b);
        arc->bottomRight->setCoords(p[0] + a, p[1] - b);
        const bool isArc = type != DxfType::ellipse() && isArcParams(p);
        // Qt's angles are sixteenths of a degree.
        arc->mStartAngle = isArc ? int(p[3] * 16) : 0;
        arc->mSpanAngle = isArc ? int(arcSpanDegrees(p[3], p[4]) * 16) : 5760;
    }
}

void ComparePlaneDXF::placeMarkers(const QString &type, const QVector<double> &p)
{
    if (p.size() < 4)
        return;
    for (const QPointF &at : entityMarkers(type, p)) {
        if (markerCount >= kMaxDrawingMarkers)
            break;
        createReperPoints(1);
        setReperPoint(markerCount++, at);
    }
}

void ComparePlaneDXF::placeAll()
{
    PlotDrawing *d = drawing();
    if (!d)
        return;
    for (int i = 0; i < d->drawing.size(); ++i)
        placeEntity(d->dxfEntityItems[i], d->drawing.dxfEntityTypes[i], d->drawing.dxfEntityParams[i]);
}

void ComparePlaneDXF::translateDrawing(double dx, double dy)
{
    if (PlotDrawing *d = drawing()) {
        ::translateDrawing(d->drawing, dx, dy);
        placeAll();
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::rotateDrawing(double degrees)
{
    if (PlotDrawing *d = drawing()) {
        ::rotateDrawing(d->drawing, degrees, tracePoint);
        placeAll();
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::scaleDrawing(double factor)
{
    if (PlotDrawing *d = drawing()) {
        ::scaleDrawing(d->drawing, factor);
        placeAll();
    }
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
        placeAll();
        plot()->replot(QCustomPlot::rpRefreshHint);
    }
}

void ComparePlaneDXF::fitShift()
{
    if (PlotDrawing *d = drawing()) {
        DrawingFitError error(fitPoints());
        ::fitShift(d->drawing, unitFactor, error);
        placeAll();
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
    translateDrawing(tracePoint.x() - drawingPoint.x(), tracePoint.y() - drawingPoint.y());
    for (; markerCount > 0; --markerCount)
        removeLastReperPoint();
    fitRotation();
    fitShift();
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

    struct Outcome {
        DxfDrawing drawing;
        bool cancelled = false;
    };
    auto *watcher = new QFutureWatcher<Outcome>(this);
    // "Отмена" pressed after the search ended, but before its result came
    // here, still cancels.
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, startUnit, cancel] {
        const Outcome outcome = watcher->result();
        watcher->deleteLater();
        m_waitForSearch = nullptr;
        onBackgroundRegistered(outcome.drawing, outcome.cancelled || cancel->load(), startUnit);
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
        Outcome outcome;
        outcome.drawing = start;
        outcome.cancelled
            = registerDrawing(outcome.drawing, onTrace, onDrawing, points, factor, true, cancel.get()).cancelled;
        return outcome;
    }));
}

void ComparePlaneDXF::onBackgroundRegistered(const DxfDrawing &registered, bool cancelled, double startUnit)
{
    m_registering = false;
    if (m_loader) {
        m_loader->done(QDialog::Accepted);
        m_loader->deleteLater();
    }
    PlotDrawing *d = drawing();
    PlotWidget *p = plot();
    if (!d || !p)
        return;
    // The busy window keeps the operator from the plot while the search
    // runs; should its drawing have changed all the same, the result no
    // longer fits it and is dropped.
    if (d->drawing.size() != registered.size())
        cancelled = true;
    if (cancelled) {
        // As before the second click: the drawing and its markers stay, and
        // the registration starts again from the trace point.
        registrationStage = 0;
        makeReperPointsUnpickable();
        p->setSelectionMarkerVisible(true);
        emit statusText(QStringLiteral("Выберите первую точку на трассе"));
        return;
    }
    d->drawing = registered;
    // A change of the display unit while the search ran scaled the drawing
    // it started from; the result follows it.
    if (startUnit > 0 && d->unitFactor != startUnit)
        ::scaleDrawing(d->drawing, d->unitFactor / startUnit);
    for (; markerCount > 0; --markerCount)
        removeLastReperPoint();
    placeAll();
    p->replot(QCustomPlot::rpRefreshHint);
    finishRegistration();
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
        for (int i = 0; i < markerCount && i < reperPoints.size(); ++i)
            setReperPoint(i, reperPoints[i]->position() * k);
        unitFactor = factor;
    }
}

void ComparePlaneDXF::calculate()
{
    followUnit();
}
