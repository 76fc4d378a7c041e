#include "measurements/dxffit.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

// One entity as the distance sees it, computed once per evaluation. Every
// distance of this file, single or summed, pruned or not, goes through
// entityDistance, so all of them agree to the last bit.
struct DrawingFitError::Geometry {
    enum Kind { Segment, Circle, Arc } kind = Segment;
    // Segment: the ends a and b. Circle and arc: the centre a and radius r.
    double ax = 0, ay = 0, bx = 0, by = 0, r = 0;
    // Arc: start in [0, 360), sweep in (0, 360], its end points s and e.
    double start = 0, span = 360, sx = 0, sy = 0, ex = 0, ey = 0;
    // Bounding box.
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

namespace {

using Geometry = DrawingFitError::Geometry;

inline double length(double dx, double dy)
{
    return std::sqrt(dx * dx + dy * dy);
}

Geometry segmentGeometry(double ax, double ay, double bx, double by)
{
    Geometry g;
    g.kind = Geometry::Segment;
    g.ax = ax, g.ay = ay, g.bx = bx, g.by = by;
    g.minX = std::min(ax, bx), g.maxX = std::max(ax, bx);
    g.minY = std::min(ay, by), g.maxY = std::max(ay, by);
    return g;
}

Geometry arcGeometry(double cx, double cy, double r, double start, double end)
{
    Geometry g;
    g.kind = start < 0 ? Geometry::Circle : Geometry::Arc;
    g.ax = cx, g.ay = cy, g.r = r;
    if (g.kind == Geometry::Arc) {
        g.start = normalizedDegrees(start);
        g.span = arcSpanDegrees(start, end);
        g.sx = cx + r * cosDegrees(start), g.sy = cy + r * sinDegrees(start);
        g.ex = cx + r * cosDegrees(end), g.ey = cy + r * sinDegrees(end);
    }
    const double ar = std::abs(r);
    g.minX = cx - ar, g.maxX = cx + ar, g.minY = cy - ar, g.maxY = cy + ar;
    return g;
}

// Lines, circles and arcs; ellipses have no geometry.
bool entityGeometry(const QString &type, const QVector<double> &p, Geometry *g)
{
    if (type == DxfType::line() && p.size() >= 4) {
        *g = segmentGeometry(p[0], p[1], p[2], p[3]);
        return true;
    }
    if (type == DxfType::circle() && p.size() >= 5) {
        *g = arcGeometry(p[0], p[1], p[2], p[3], p[4]);
        return true;
    }
    return false;
}

QVector<Geometry> drawingGeometry(const DxfDrawing &drawing)
{
    QVector<Geometry> geometry;
    geometry.reserve(drawing.size());
    Geometry g;
    for (int i = 0; i < drawing.size(); ++i) {
        if (entityGeometry(drawing.dxfEntityTypes[i], drawing.dxfEntityParams[i], &g))
            geometry.append(g);
    }
    return geometry;
}

double entityDistance(const Geometry &g, double px, double py)
{
    if (g.kind == Geometry::Segment) {
        // The projection parameter is clamped to the segment, so the foot
        // never leaves it by rounding.
        const double vx = g.bx - g.ax, vy = g.by - g.ay;
        const double wx = px - g.ax, wy = py - g.ay;
        const double l2 = vx * vx + vy * vy;
        if (!(l2 > 0))
            return length(wx, wy);
        const double t = std::clamp((wx * vx + wy * vy) / l2, 0.0, 1.0);
        return length(wx - t * vx, wy - t * vy);
    }
    const double dx = px - g.ax, dy = py - g.ay;
    const double rho = length(dx, dy);
    if (g.kind == Geometry::Circle)
        return std::abs(rho - g.r);
    // The angle from the arc's start, counter-clockwise: h lies in [-180, 180]
    // and start in [0, 360), so two turns bring it into [0, 360).
    double rel = std::atan2(dy, dx) * (180.0 / M_PI) - g.start;
    if (rel < 0)
        rel += 360.0;
    if (rel < 0)
        rel += 360.0;
    if (rel <= g.span)
        return std::abs(rho - g.r);
    return std::min(length(px - g.sx, py - g.sy), length(px - g.ex, py - g.ey));
}

double nearest(const QVector<Geometry> &geometry, double x, double y)
{
    double best = kNoDrawingDistance;
    for (const Geometry &g : geometry) {
        const double d = entityDistance(g, x, y);
        if (d < best)
            best = d;
    }
    return best;
}

} // namespace

double pointDistance(const QPointF &a, const QPointF &b)
{
    return length(a.x() - b.x(), a.y() - b.y());
}

QPointF projectPointOnLine(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const double dx = a.x() - b.x(), dy = a.y() - b.y();
    const double e = p.x() * dx + p.y() * dy;
    const double c = a.x() * b.y() - b.x() * a.y();
    const double f = dx * dx + dy * dy;
    return QPointF((dx * e - dy * c) / f, (dx * c + dy * e) / f);
}

double pointSegmentDistance(const QPointF &p, const QPointF &a, const QPointF &b)
{
    return entityDistance(segmentGeometry(a.x(), a.y(), b.x(), b.y()), p.x(), p.y());
}

double pointArcDistance(const QPointF &p, const QPointF &c, double r, double start, double end)
{
    return entityDistance(arcGeometry(c.x(), c.y(), r, start, end), p.x(), p.y());
}

double pointAngle(const QPointF &a, const QPointF &b)
{
    return std::atan2(b.y() - a.y(), b.x() - a.x());
}

double distanceToDrawing(const DxfDrawing &drawing, double x, double y)
{
    double best = kNoDrawingDistance;
    Geometry g;
    for (int i = 0; i < drawing.size(); ++i) {
        if (entityGeometry(drawing.dxfEntityTypes[i], drawing.dxfEntityParams[i], &g))
            best = std::min(best, entityDistance(g, x, y));
    }
    return best;
}

DrawingDistance::DrawingDistance(const DxfDrawing &drawing)
{
    const QVector<Geometry> geometry = drawingGeometry(drawing);
    m_geometry.assign(geometry.begin(), geometry.end());
    for (const Geometry &g : m_geometry)
        m_scale = std::max({ m_scale, std::abs(g.minX), std::abs(g.maxX), std::abs(g.minY), std::abs(g.maxY) });
}

DrawingDistance::~DrawingDistance() = default;

double DrawingDistance::operator()(double x, double y)
{
    const size_t n = m_geometry.size();
    if (n == 0)
        return kNoDrawingDistance;
    if (m_last >= n)
        m_last = 0;
    double best = kNoDrawingDistance;
    size_t nearestIndex = m_last;
    const double first = entityDistance(m_geometry[m_last], x, y);
    if (first < best)
        best = first;
    // Every point of an entity lies in its box, so the box's distance bounds
    // the entity's from below; but an entity's distance, computed through its
    // own points, can round a little below that bound. An entity is skipped
    // only when its box lies farther than the nearest distance so far by
    // more than any such rounding, so the skipped ones never hold the least.
    const double slack = 1e-12 * (m_scale + std::abs(x) + std::abs(y));
    double reach = best * (1 + 1e-12) + slack;
    for (size_t i = 0; i < n; ++i) {
        if (i == m_last)
            continue;
        const Geometry &g = m_geometry[i];
        const double bx = std::max({ g.minX - x, 0.0, x - g.maxX });
        const double by = std::max({ g.minY - y, 0.0, y - g.maxY });
        if (bx * bx + by * by > reach * reach)
            continue;
        const double d = entityDistance(g, x, y);
        if (d < best) {
            best = d;
            nearestIndex = i;
            reach = best * (1 + 1e-12) + slack;
        }
    }
    m_last = nearestIndex;
    return best;
}

double drawingFitError(const DxfDrawing &drawing, const QVector<QPointF> &points)
{
    return DrawingFitError(points, false)(drawing);
}

void translateDrawing(DxfDrawing &drawing, double dx, double dy)
{
    for (int i = 0; i < drawing.size(); ++i) {
        QVector<double> &p = drawing.dxfEntityParams[i];
        if (p.size() < 2)
            continue;
        p[0] += dx;
        p[1] += dy;
        if (drawing.dxfEntityTypes[i] == DxfType::line() && p.size() >= 4) {
            p[2] += dx;
            p[3] += dy;
        }
    }
}

void rotateDrawing(DxfDrawing &drawing, double degrees, const QPointF &centre)
{
    const double c = cosDegrees(degrees), s = sinDegrees(degrees);
    const double x0 = centre.x(), y0 = centre.y();
    auto turn = [&](double &x, double &y) {
        const double dx = x - x0, dy = y - y0;
        x = x0 + dx * c - dy * s;
        y = y0 + dx * s + dy * c;
    };
    for (int i = 0; i < drawing.size(); ++i) {
        QVector<double> &p = drawing.dxfEntityParams[i];
        const QString &type = drawing.dxfEntityTypes[i];
        if (p.size() < 2)
            continue;
        turn(p[0], p[1]);
        if (type == DxfType::line() && p.size() >= 4) {
            turn(p[2], p[3]);
        } else if (type == DxfType::circle() && isArcParams(p)) {
            p[3] = normalizedDegrees(p[3] + degrees);
            p[4] = normalizedDegrees(p[4] + degrees);
        }
    }
}

void scaleDrawing(DxfDrawing &drawing, double factor)
{
    for (int i = 0; i < drawing.size(); ++i) {
        QVector<double> &p = drawing.dxfEntityParams[i];
        const int lengths = drawing.dxfEntityTypes[i] == DxfType::circle() ? 3 : 4;
        for (int k = 0; k < std::min(lengths, p.size()); ++k)
            p[k] *= factor;
    }
}

DrawingFitError::DrawingFitError(const QVector<QPointF> &points, bool prune)
    : m_points(points)
    , m_prune(prune)
{
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const QPointF &p : points) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            m_allFinite = false;
            continue;
        }
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    // No grid without finite points, nor over a span beyond the doubles.
    if (!(minX <= maxX) || !std::isfinite(maxX - minX) || !std::isfinite(maxY - minY)) {
        m_prune = false;
        return;
    }
    // About eight points per cell, square cells, at most 256 along a side.
    constexpr int kMaxSide = 256;
    const double w = maxX - minX, h = maxY - minY;
    const double cells = std::clamp(points.size() / 8.0, 1.0, 16384.0);
    double cell = std::max(std::sqrt(w * h / cells), std::max(w, h) / kMaxSide);
    if (!(cell > 0))
        cell = std::max({ std::abs(minX), std::abs(minY), 1.0 });
    m_x0 = minX, m_y0 = minY, m_cell = cell;
    m_nx = std::min(kMaxSide, int(w / cell) + 1);
    m_ny = std::min(kMaxSide, int(h / cell) + 1);
}

double DrawingFitError::operator()(const DxfDrawing &drawing)
{
    ++m_evaluations;
    const QVector<Geometry> geometry = drawingGeometry(drawing);
    if (m_prune && geometry.size() > 2)
        return prunedSum(geometry);
    return plainSum(geometry);
}

double DrawingFitError::plainSum(const QVector<Geometry> &geometry) const
{
    double sum = 0;
    for (const QPointF &p : m_points)
        sum += nearest(geometry, p.x(), p.y());
    return sum;
}

double DrawingFitError::prunedSum(const QVector<Geometry> &geometry)
{
    m_cellStart.fill(-1, m_nx * m_ny);
    m_cellCount.fill(0, m_nx * m_ny);
    m_candidates.clear();
    double sum = 0;
    for (const QPointF &p : qAsConst(m_points)) {
        const double x = p.x(), y = p.y();
        if (!m_allFinite && (!std::isfinite(x) || !std::isfinite(y))) {
            sum += nearest(geometry, x, y);
            continue;
        }
        const int ix = std::min(m_nx - 1, int((x - m_x0) / m_cell));
        const int iy = std::min(m_ny - 1, int((y - m_y0) / m_cell));
        const int cell = iy * m_nx + ix;
        if (m_cellStart[cell] < 0)
            cellCandidates(cell, geometry);
        double best = kNoDrawingDistance;
        const int *c = m_candidates.constData() + m_cellStart[cell];
        for (int k = 0, n = m_cellCount[cell]; k < n; ++k) {
            const double d = entityDistance(geometry[c[k]], x, y);
            if (d < best)
                best = d;
        }
        sum += best;
    }
    return sum;
}

// The entities that can be nearest to some point of the cell. No point of the
// cell lies farther from an entity than the entity's distance from the cell's
// centre plus half the cell's diagonal; the least of these bounds, U, is thus
// at least every point's nearest distance. An entity whose bounding box lies
// farther than U from the whole cell cannot be nearest to any of its points.
// The cell is widened a little and U raised a little, so that rounding can
// never drop the nearest entity.
void DrawingFitError::cellCandidates(int cell, const QVector<Geometry> &geometry)
{
    const int ix = cell % m_nx, iy = cell / m_nx;
    const double scale
        = std::max({ std::abs(m_x0), std::abs(m_y0), std::abs(m_x0 + m_nx * m_cell), std::abs(m_y0 + m_ny * m_cell) });
    const double widen = 1e-6 * m_cell + 1e-9 * scale;
    const double x0 = m_x0 + ix * m_cell - widen, x1 = m_x0 + (ix + 1) * m_cell + widen;
    const double y0 = m_y0 + iy * m_cell - widen, y1 = m_y0 + (iy + 1) * m_cell + widen;
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double halfDiagonal = length(x1 - x0, y1 - y0) / 2;
    double bound = INFINITY;
    for (const Geometry &g : geometry)
        bound = std::min(bound, entityDistance(g, cx, cy) + halfDiagonal);
    bound += 1e-9 * (bound + halfDiagonal);

    m_cellStart[cell] = m_candidates.size();
    for (int i = 0; i < geometry.size(); ++i) {
        const Geometry &g = geometry[i];
        const double gx = std::max({ 0.0, g.minX - x1, x0 - g.maxX });
        const double gy = std::max({ 0.0, g.minY - y1, y0 - g.maxY });
        if (!(length(gx, gy) > bound))
            m_candidates.append(i);
    }
    m_cellCount[cell] = m_candidates.size() - m_cellStart[cell];
}

namespace {

// A guard against a search that keeps finding ever smaller improvements.
constexpr int kMaxTrials = 1000;
// A shift that succeeds this many times running in one direction doubles its
// step from then on: a drawing that lies far off is reached in a number of
// trials that grows with the logarithm of its distance.
constexpr int kRunToGrow = 3;
// The largest shift step, in millimetres: far beyond any drawing's numbers.
constexpr double kMaxShiftStep = 1e9;

// One step of a search: the drawing moved one way and the other; the better
// of the two replaces it when it beats the best error so far. Returns the
// direction taken (+1, -1) or 0 when neither trial helped.
template <typename Move>
int trialStep(DxfDrawing &drawing, double step, double *best, DrawingFitError &error, Move move)
{
    DxfDrawing forward = drawing, backward = drawing;
    move(forward, step);
    move(backward, -step);
    const double g = error(forward);
    const double h = error(backward);
    if (g < *best && g < h) {
        drawing = forward;
        *best = g;
        return 1;
    }
    if (h < g && h < *best) {
        drawing = backward;
        *best = h;
        return -1;
    }
    return 0;
}

} // namespace

RotationFit fitRotation(DxfDrawing &drawing, const QPointF &centre, DrawingFitError &error)
{
    // Upside down first; equal errors keep the drawing turned over.
    DxfDrawing flipped = drawing;
    rotateDrawing(flipped, 180, centre);
    RotationFit fit;
    fit.error = error(flipped);
    fit.angle = 180;
    const double upright = error(drawing);
    if (upright < fit.error) {
        fit.error = upright;
        fit.angle = 0;
    } else {
        drawing = flipped;
    }

    auto turn = [&centre](DxfDrawing &d, double degrees) { rotateDrawing(d, degrees, centre); };
    double step = 90;
    for (int trial = 0; step >= 0.001 && trial < kMaxTrials; ++trial) {
        const int direction = trialStep(drawing, step, &fit.error, error, turn);
        if (direction == 0)
            step *= 0.5;
        fit.angle += direction * step;
    }
    fit.angle = normalizedDegrees(fit.angle);
    qDebug() << "Error after rotation guess" << fit.error;
    return fit;
}

ShiftFit fitShift(DxfDrawing &drawing, double unitFactor, DrawingFitError &error)
{
    ShiftFit fit;
    fit.error = error(drawing);
    qDebug() << "Before calculating" << fit.error;
    auto search = [&](bool vertical) {
        auto move = [vertical](DxfDrawing &d, double by) { translateDrawing(d, vertical ? 0 : by, vertical ? by : 0); };
        double step = unitFactor;
        int run = 0, lastDirection = 0;
        for (int trial = 0; step > 0.001 && trial < kMaxTrials; ++trial) {
            const int direction = trialStep(drawing, step, &fit.error, error, move);
            (vertical ? fit.shift.ry() : fit.shift.rx()) += direction * step;
            if (direction == 0) {
                step *= 0.5;
                run = 0;
            } else {
                run = direction == lastDirection ? run + 1 : 1;
                if (run >= kRunToGrow && step * 2 <= kMaxShiftStep * unitFactor)
                    step *= 2;
            }
            lastDirection = direction;
        }
    };
    search(true);
    qDebug() << "Error after vertical guess" << fit.error;
    search(false);
    qDebug() << "Error after horizontal guess" << fit.error;
    return fit;
}

Registration registerDrawing(DxfDrawing &drawing, const QPointF &tracePoint, const QPointF &drawingPoint,
    const QVector<QPointF> &points, double unitFactor, bool prune)
{
    translateDrawing(drawing, tracePoint.x() - drawingPoint.x(), tracePoint.y() - drawingPoint.y());
    DrawingFitError error(points, prune);
    Registration result;
    result.angle = fitRotation(drawing, tracePoint, error).angle;
    const ShiftFit shift = fitShift(drawing, unitFactor, error);
    result.shift = shift.shift;
    result.error = shift.error;
    return result;
}
