#include "measurements/reperpoint.h"

#include "measurements/measurement.h"
#include "plot/plotwidget.h"
#include "settings/common.h"

#include <QCursor>
#include <QMouseEvent>
#include <cmath>

namespace {

constexpr double kTracerSize = 7;

void applyLook(QCPItemTracer *tracer, bool highlighted)
{
    if (highlighted) {
        tracer->setStyle(QCPItemTracer::tsCircle);
        tracer->setPen(Common::kGreenPen);
        tracer->setBrush(QBrush(Qt::green, Qt::SolidPattern));
    } else {
        tracer->setStyle(QCPItemTracer::tsPlus);
        tracer->setPen(Common::kMagentaDashPen);
        tracer->setBrush(QBrush(Qt::red, Qt::SolidPattern));
    }
}

} // namespace

ReperPoint::ReperPoint(PlotWidget *plot, Measurement *owner)
    : QObject(nullptr)
    , owner(owner)
    , plot(plot)
{
    if (!plot)
        return;
    auto *t = new QCPItemTracer(plot);
    applyLook(t, false);
    t->setSize(kTracerSize);
    t->setVisible(false);
    t->setLayer(QStringLiteral("overlay"));
    t->position->setType(QCPItemPosition::ptPlotCoords);
    tracer = t;
    auto *c = new QCPCurve(plot->xAxis, plot->yAxis);
    // A line through a single point draws nothing, but keeps the curve
    // hittable for the selection marker.
    c->setSelectable(QCP::stNone);
    curve = c;
}

ReperPoint::~ReperPoint()
{
    if (!plot)
        return;
    if (tracer)
        plot->removeItem(tracer);
    if (curve)
        plot->removePlottable(curve);
}

QPointF ReperPoint::position() const
{
    return tracer ? tracer->position->coords() : QPointF();
}

void ReperPoint::setPosition(const QPointF &p)
{
    if (tracer)
        tracer->position->setCoords(p);
    if (curve) {
        if (!curve->data()->isEmpty())
            curve->data()->clear();
        curve->addData(p.x(), p.y());
    }
}

void ReperPoint::setVisible(bool visible)
{
    if (tracer)
        tracer->setVisible(visible);
}

bool ReperPoint::isVisible() const
{
    return tracer && tracer->visible();
}

bool ReperPoint::setHighlighted(bool on)
{
    const bool was = isHighlighted();
    if (tracer)
        applyLook(tracer, on);
    return was;
}

bool ReperPoint::isHighlighted() const
{
    return tracer && tracer->style() == QCPItemTracer::tsCircle;
}

void ReperPoint::makePickable()
{
    if (curve)
        curve->setSelectable(QCP::stWhole);
}

void ReperPoint::makeUnpickable()
{
    if (curve)
        curve->setSelectable(QCP::stNone);
}

bool ReperPoint::isPickable() const
{
    return curve && curve->selectable() != QCP::stNone;
}

bool reperPointSnaps(const QPoint &cursor, const QPointF &pointPixel)
{
    // Non-finite pixels (an axis range that cannot map the point) never snap.
    if (!std::isfinite(pointPixel.x()) || !std::isfinite(pointPixel.y()))
        return false;
    const double px = std::trunc(pointPixel.x());
    const double py = std::trunc(pointPixel.y());
    const double d = std::abs(cursor.x() - px) + std::abs(cursor.y() - py);
    return d < ReperPointController::kSnapDistance;
}

ReperPointController::ReperPointController(PlotWidget *plot)
    : QObject(nullptr)
    , plot(plot)
{
}

void ReperPointController::makeAllPickable()
{
    for (ReperPoint *p : qAsConst(points))
        p->makePickable();
}

void ReperPointController::makeAllUnpickable()
{
    for (ReperPoint *p : qAsConst(points))
        p->makeUnpickable();
}

void ReperPointController::reperPointChanged(ReperPoint *p)
{
    if (p)
        points.insert(p, p);
}

void ReperPointController::reperPointRemoved(ReperPoint *p)
{
    points.remove(p);
}

void ReperPointController::mouseMove(QMouseEvent *e)
{
    if (points.isEmpty() || !plot)
        return;
    const QPoint cursor = e->localPos().toPoint();
    bool changed = false;
    for (ReperPoint *p : qAsConst(points)) {
        const QPointF at = p->position();
        const QPointF pixel(plot->xAxis->coordToPixel(at.x()), plot->yAxis->coordToPixel(at.y()));
        const Measurement *m = p->measurement();
        if (reperPointSnaps(cursor, pixel) && m && m->isFinished()) {
            QCursor::setPos(plot->mapToGlobal(QPoint(int(pixel.x()), int(pixel.y()))));
            changed |= !p->setHighlighted(true);
            plot->replot(QCustomPlot::rpRefreshHint);
        } else {
            changed |= p->setHighlighted(false);
        }
    }
    if (changed)
        plot->replot(QCustomPlot::rpRefreshHint);
}
