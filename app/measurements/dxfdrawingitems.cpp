#include "measurements/dxfdrawingitems.h"

#include "plot/clipsegment.h"
#include "plot/curvehittest.h"
#include "plot/linearaxismap.h"
#include "settings/common.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Data coordinates to pixels along a horizontal key axis and a vertical
// value axis, inline where both are linear.
class PixelMap {
public:
    PixelMap(QCPAxis *x, QCPAxis *y)
        : m_x(x)
        , m_y(y)
        , m_linear(LinearAxisMap::of(x, &m_xMap) && LinearAxisMap::of(y, &m_yMap))
    {
    }

    QPointF operator()(double x, double y) const
    {
        if (m_linear)
            return QPointF(m_xMap(x), m_yMap(y));
        return QPointF(m_x->coordToPixel(x), m_y->coordToPixel(y));
    }

private:
    QCPAxis *m_x;
    QCPAxis *m_y;
    LinearAxisMap m_xMap, m_yMap;
    bool m_linear;
};

bool finite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The lines of a drawing as polylines: a line whose start is where the
// previous one ended (both unclipped) continues its polyline. Points closer
// than half a pixel to the last one kept are passed over, but a polyline
// always ends at its true end.
class PolylinePainter {
public:
    PolylinePainter(QCPPainter *painter, const QRectF &bounds)
        : m_painter(painter)
        , m_bounds(bounds)
    {
    }
    ~PolylinePainter() { flush(); }

    void add(const QPointF &a, const QPointF &b)
    {
        QPointF from = a, to = b;
        if (!finite(a) || !finite(b) || !clipSegment(m_bounds, from, to)) {
            flush();
            return;
        }
        if (m_run.isEmpty() || !m_open || from != a || a != m_end) {
            flush();
            m_run.append(from);
        }
        const QPointF d = to - m_run.last();
        if (std::abs(d.x()) + std::abs(d.y()) >= 0.5) {
            m_run.append(to);
            m_pending = false;
        } else {
            m_last = to;
            m_pending = true;
        }
        // A line cut at its end leaves the view there: the next one starts anew.
        m_open = to == b;
        m_end = b;
    }

    void flush()
    {
        if (m_pending)
            m_run.append(m_last);
        if (m_run.size() >= 2)
            m_painter->drawPolyline(m_run.constData(), m_run.size());
        m_run.clear();
        m_pending = false;
        m_open = false;
    }

private:
    QCPPainter *m_painter;
    QRectF m_bounds;
    QVector<QPointF> m_run;
    QPointF m_end; // the unclipped end of the last line added
    QPointF m_last; // a point passed over, still owed as the run's end
    bool m_pending = false;
    bool m_open = false;
};

} // namespace

DxfDrawingItem::DxfDrawingItem(QCustomPlot *plot, const DxfDrawing *drawing)
    : QCPAbstractItem(plot)
    , m_drawing(drawing)
{
    setSelectable(false);
}

double DxfDrawingItem::selectTest(const QPointF &, bool, QVariant *) const
{
    return -1;
}

void DxfDrawingItem::draw(QCPPainter *painter)
{
    QCPAxis *xAxis = mParentPlot ? mParentPlot->xAxis : nullptr;
    QCPAxis *yAxis = mParentPlot ? mParentPlot->yAxis : nullptr;
    if (!m_drawing || m_drawing->isEmpty() || !xAxis || !yAxis)
        return;
    const PixelMap toPixel(xAxis, yAxis);
    const double margin = m_pen.widthF() + 2;
    const QRectF bounds = QRectF(clipRect()).adjusted(-margin, -margin, margin, margin);
    painter->setPen(m_pen);
    painter->setBrush(Qt::NoBrush);

    PolylinePainter lines(painter, bounds);
    for (int i = 0; i < m_drawing->size(); ++i) {
        const QVector<double> &p = m_drawing->dxfEntityParams[i];
        if (p.size() < 4)
            continue;
        const QString &type = m_drawing->dxfEntityTypes[i];
        if (type == DxfType::line()) {
            lines.add(toPixel(p[0], p[1]), toPixel(p[2], p[3]));
            continue;
        }
        lines.flush();
        // Circles, arcs and ellipses in the box of their ellipse, with Qt's
        // angles in sixteenths of a degree.
        const double a = p[2], b = type == DxfType::ellipse() ? p[3] : p[2];
        const QPointF p1 = toPixel(p[0] - a, p[1] + b);
        const QPointF p2 = toPixel(p[0] + a, p[1] - b);
        if (!finite(p1) || !finite(p2) || p1.toPoint() == p2.toPoint())
            continue;
        const QRectF box = QRectF(p1, p2).normalized();
        if (!box.intersects(bounds))
            continue;
        const bool isArc = type != DxfType::ellipse() && isArcParams(p);
        const int start = isArc ? int(p[3] * 16) : 0;
        const int span = isArc ? int(arcSpanDegrees(p[3], p[4]) * 16) : 5760;
        try {
            painter->drawArc(box, start, span);
        } catch (...) {
            // A huge ellipse (far zoomed in) can exhaust memory in the
            // rasteriser; the others are still painted.
        }
    }
}

DxfMarkers::DxfMarkers(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPCurve(keyAxis, valueAxis)
{
    setLineStyle(lsNone);
    setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssPlus, Common::kMagentaDashPen, QBrush(Qt::red), 7));
    setSelectable(QCP::stNone);
}

void DxfMarkers::setMarkers(QVector<QPointF> points)
{
    std::sort(points.begin(), points.end(),
        [](const QPointF &a, const QPointF &b) { return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y()); });
    QVector<QCPCurveData> data;
    data.reserve(points.size());
    for (int i = 0; i < points.size(); ++i)
        data.append(QCPCurveData(i, points[i].x(), points[i].y()));
    this->data()->set(data, true);
}

void DxfMarkers::scale(double factor)
{
    for (auto it = data()->begin(); it != data()->end(); ++it) {
        it->key *= factor;
        it->value *= factor;
    }
}

void DxfMarkers::setPickable(bool pickable)
{
    setSelectable(pickable ? QCP::stWhole : QCP::stNone);
}

double DxfMarkers::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    if ((onlySelectable && selectable() == QCP::stNone) || data()->isEmpty() || !keyAxis() || !valueAxis())
        return -1;
    if (!keyAxis()->axisRect()->rect().contains(pos.toPoint()))
        return -1;
    double distance = -1;
    int index = -1;
    if (searchCurveHit(this, pos, &distance, &index)) {
        if (details)
            details->setValue(QCPDataSelection(QCPDataRange(index, index + 1)));
        return distance;
    }
    return QCPCurve::selectTest(pos, onlySelectable, details);
}

void DxfMarkers::draw(QCPPainter *painter)
{
    QCPAxis *key = keyAxis();
    QCPAxis *value = valueAxis();
    if (!key || !value || data()->isEmpty())
        return;
    const bool horizontal = key->orientation() == Qt::Horizontal;
    const PixelMap toPixel(horizontal ? key : value, horizontal ? value : key);
    const double half = scatterStyle().size() / 2;
    const QRect clip = clipRect().adjusted(-int(half) - 1, -int(half) - 1, int(half) + 1, int(half) + 1);
    if (clip.isEmpty())
        return;
    // One plus per cell of the plus's own size: where markers lie closer than
    // that, more pluses would only merge into a band over the drawing. Every
    // marker stays pickable all the same.
    const int cell = std::max(1, int(std::ceil(scatterStyle().size())));
    const int columns = clip.width() / cell + 1, rows = clip.height() / cell + 1;
    std::vector<bool> painted(size_t(columns) * size_t(rows), false);
    QVector<QLineF> lines;
    for (auto it = data()->constBegin(); it != data()->constEnd(); ++it) {
        const QPointF p = horizontal ? toPixel(it->key, it->value) : toPixel(it->value, it->key);
        if (!(p.x() >= clip.left() && p.x() < clip.right() + 1 && p.y() >= clip.top() && p.y() < clip.bottom() + 1))
            continue;
        const size_t at = size_t(int(p.y() - clip.top()) / cell) * size_t(columns) + size_t(int(p.x() - clip.left()) / cell);
        if (painted[at])
            continue;
        painted[at] = true;
        lines << QLineF(p.x() - half, p.y(), p.x() + half, p.y()) << QLineF(p.x(), p.y() - half, p.x(), p.y() + half);
    }
    if (lines.isEmpty())
        return;
    applyScattersAntialiasingHint(painter);
    painter->setPen(scatterStyle().pen());
    painter->drawLines(lines);
}
