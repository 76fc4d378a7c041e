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

// What the geometry and the moves make of an entity's type.
enum class EntityKind : unsigned char { Line, Circle, Other };

EntityKind entityKind(const QString &type)
{
    if (type == DxfType::line())
        return EntityKind::Line;
    if (type == DxfType::circle())
        return EntityKind::Circle;
    return EntityKind::Other;
}

// Lines, circles and arcs; ellipses have no geometry.
bool entityGeometry(EntityKind kind, const double *p, int n, Geometry *g)
{
    if (kind == EntityKind::Line && n >= 4) {
        *g = segmentGeometry(p[0], p[1], p[2], p[3]);
        return true;
    }
    if (kind == EntityKind::Circle && n >= 5) {
        *g = arcGeometry(p[0], p[1], p[2], p[3], p[4]);
        return true;
    }
    return false;
}

bool entityGeometry(const QString &type, const QVector<double> &p, Geometry *g)
{
    return entityGeometry(entityKind(type), p.constData(), p.size(), g);
}

void drawingGeometry(const DxfDrawing &drawing, std::vector<Geometry> *geometry)
{
    geometry->clear();
    geometry->reserve(drawing.size());
    Geometry g;
    for (int i = 0; i < drawing.size(); ++i) {
        if (entityGeometry(drawing.dxfEntityTypes[i], drawing.dxfEntityParams[i], &g))
            geometry->push_back(g);
    }
}

// The moves of one entity's parameters, shared by the drawing's own moves and
// the searches', so that both reach the very same numbers.
inline void translateEntity(EntityKind kind, double *p, int n, double dx, double dy)
{
    if (n < 2)
        return;
    p[0] += dx;
    p[1] += dy;
    if (kind == EntityKind::Line && n >= 4) {
        p[2] += dx;
        p[3] += dy;
    }
}

struct Turn {
    Turn(double degrees, const QPointF &centre)
        : degrees(degrees)
        , c(cosDegrees(degrees))
        , s(sinDegrees(degrees))
        , x0(centre.x())
        , y0(centre.y())
    {
    }
    void point(double &x, double &y) const
    {
        const double dx = x - x0, dy = y - y0;
        x = x0 + dx * c - dy * s;
        y = y0 + dx * s + dy * c;
    }
    double degrees, c, s, x0, y0;
};

inline void rotateEntity(EntityKind kind, double *p, int n, const Turn &turn)
{
    if (n < 2)
        return;
    turn.point(p[0], p[1]);
    if (kind == EntityKind::Line && n >= 4) {
        turn.point(p[2], p[3]);
    } else if (kind == EntityKind::Circle && n >= 5 && p[3] >= 0) { // an arc
        p[3] = normalizedDegrees(p[3] + turn.degrees);
        p[4] = normalizedDegrees(p[4] + turn.degrees);
    }
}

// A drawing as the searches move it: its entities' kinds, decided once, and
// where each one's parameters start in a flat array of numbers. The searches
// keep a few such arrays (the drawing and its trials) over one layout, so a
// trial costs no copies of lists and no comparisons of type names. The moves
// and the geometry are the drawing's own, so a search over the arrays ends
// where one over the drawing would.
class DrawingLayout {
public:
    explicit DrawingLayout(const DxfDrawing &drawing, std::vector<double> *params)
    {
        const int n = drawing.size();
        m_kind.reserve(n);
        m_start.reserve(n + 1);
        m_start.push_back(0);
        params->clear();
        for (int i = 0; i < n; ++i) {
            const QVector<double> &p = drawing.dxfEntityParams[i];
            m_kind.push_back(entityKind(drawing.dxfEntityTypes[i]));
            params->insert(params->end(), p.begin(), p.end());
            m_start.push_back(int(params->size()));
        }
    }

    // *to made from, each entity then moved by move(kind, parameters, count).
    template <typename Move>
    void moved(const std::vector<double> &from, std::vector<double> *to, Move move) const
    {
        *to = from;
        double *p = to->data();
        for (size_t i = 0; i < m_kind.size(); ++i)
            move(m_kind[i], p + m_start[i], m_start[i + 1] - m_start[i]);
    }

    void geometry(const std::vector<double> &params, std::vector<Geometry> *geometry) const
    {
        geometry->clear();
        geometry->reserve(m_kind.size());
        Geometry g;
        for (size_t i = 0; i < m_kind.size(); ++i) {
            if (entityGeometry(m_kind[i], params.data() + m_start[i], m_start[i + 1] - m_start[i], &g))
                geometry->push_back(g);
        }
    }

    // The parameters back into the drawing the layout was made from; only
    // the entities that moved are written.
    void writeTo(const std::vector<double> &params, DxfDrawing &drawing) const
    {
        for (int i = 0; i < drawing.size() && size_t(i) < m_kind.size(); ++i) {
            const double *from = params.data() + m_start[i];
            const QVector<double> &now = drawing.dxfEntityParams[i];
            if (!std::equal(now.cbegin(), now.cend(), from)) {
                QVector<double> &p = drawing.dxfEntityParams[i];
                std::copy(from, from + p.size(), p.begin());
            }
        }
    }

private:
    std::vector<EntityKind> m_kind;
    std::vector<int> m_start; // of each entity's parameters, and their end
};

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

// Every point of an entity lies in its box, so the box's distance bounds the
// entity's from below; but an entity's distance, computed through its own
// points, can round a little below that bound. A box is passed over only when
// it lies farther than the nearest distance so far by more than any such
// rounding (the slack at (x, y), for boxes whose coordinates reach scale), so
// the entities passed over never hold the least distance.
inline double roundingSlack(double scale, double x, double y)
{
    return 1e-12 * (scale + std::abs(x) + std::abs(y));
}
inline double reachBeyond(double best, double slack)
{
    return best * (1 + 1e-12) + slack;
}
// The squared distance from (x, y) to a box; 0 inside it.
inline double boxGap2(double minX, double minY, double maxX, double maxY, double x, double y)
{
    const double bx = std::max({ minX - x, 0.0, x - maxX });
    const double by = std::max({ minY - y, 0.0, y - maxY });
    return bx * bx + by * by;
}

double nearest(const std::vector<Geometry> &geometry, double x, double y)
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

double drawingFitError(const DxfDrawing &drawing, const QVector<QPointF> &points)
{
    return DrawingFitError(points, false)(drawing);
}

void translateDrawing(DxfDrawing &drawing, double dx, double dy)
{
    for (int i = 0; i < drawing.size(); ++i) {
        QVector<double> &p = drawing.dxfEntityParams[i];
        if (p.size() >= 2)
            translateEntity(entityKind(drawing.dxfEntityTypes[i]), p.data(), p.size(), dx, dy);
    }
}

void rotateDrawing(DxfDrawing &drawing, double degrees, const QPointF &centre)
{
    const Turn turn(degrees, centre);
    for (int i = 0; i < drawing.size(); ++i) {
        QVector<double> &p = drawing.dxfEntityParams[i];
        if (p.size() >= 2)
            rotateEntity(entityKind(drawing.dxfEntityTypes[i]), p.data(), p.size(), turn);
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

DrawingFitError::~DrawingFitError() = default;

// A tree of the entities' bounding boxes, for the nearest entity to each of
// many points, as the fit error and the distances of a large drawing use it. Its grouping is made from the boxes of the drawing it first
// sees; later evaluations only recompute the boxes, which is right however the
// entities moved and stays quick while they move together, as the searches
// move them. Entities whose box is not finite stay outside the tree and are
// measured from every point.
class DrawingEntityTree {
public:
    using Geometry = DrawingFitError::Geometry;

    void update(const std::vector<Geometry> &geometry)
    {
        if (geometry.size() != m_entities || !refit(geometry)) {
            build(geometry);
            refit(geometry);
        }
        m_windowValid = false;
    }

    // The distance from (x, y) to the nearest entity, the same as nearest()
    // gives. The search starts at the entity nearest to the previous point
    // (trace points come in order) and skips a box that lies farther than
    // the nearest distance so far by more than any rounding, as
    // DrawingDistance does; a node's box holds its entities' boxes, so it is
    // skipped only where each of them would be.
    //
    // Neighbouring points share their candidates: the entities whose boxes
    // meet a window about a point are kept, and a later point whose reach
    // (the square about it, widened beyond any rounding) lies inside the
    // window needs no others, as every entity outside lies beyond its reach.
    double nearest(const std::vector<Geometry> &geometry, double x, double y)
    {
        Probe probe { geometry, x, y };
        probe.nearestIndex = m_last < geometry.size() ? m_last : 0;
        if (m_last < geometry.size())
            probe.offer(m_last);
        for (const int k : m_loose)
            probe.offer(size_t(k));
        if (m_nodes.empty())
            return finish(probe);
        probe.slack = roundingSlack(m_scale, x, y);
        probe.reset();

        const double r = probe.reach * (1 + 1e-9) + 2 * probe.slack;
        const bool inside = m_windowValid && x - r >= m_wx0 && x + r <= m_wx1 && y - r >= m_wy0 && y + r <= m_wy1;
        if (!inside && (2 * r >= m_failedHalf || !collectWindow(x, y, std::max(2 * r, m_windowHalf))))
            return finish(search(probe));
        // Boxes clear of the widened square are beyond reach; only the
        // others are measured against the reach, which shrinks on the way.
        const double sx0 = x - r, sx1 = x + r, sy0 = y - r, sy1 = y + r;
        for (const int k : m_window) {
            const Box &box = m_boxes[k];
            if (box.minX > sx1 || box.maxX < sx0 || box.minY > sy1 || box.maxY < sy0)
                continue;
            probe.tryEntity(box, size_t(m_order[k]), m_last);
        }
        return finish(probe);
    }

private:
    // One point's search: the nearest distance so far, the entity that gave
    // it and how far a box may lie to be looked at.
    struct Probe {
        const std::vector<Geometry> &geometry;
        double x, y;
        double best = kNoDrawingDistance;
        size_t nearestIndex = 0;
        double slack = 0, reach = 0, reach2 = 0;

        void reset()
        {
            reach = reachBeyond(best, slack);
            reach2 = reach * reach;
        }
        double gap2(double minX, double minY, double maxX, double maxY) const
        {
            return boxGap2(minX, minY, maxX, maxY, x, y);
        }
        void offer(size_t i)
        {
            const double d = entityDistance(geometry[i], x, y);
            if (d < best) {
                best = d;
                nearestIndex = i;
            }
        }
        template <typename Box>
        void tryEntity(const Box &box, size_t i, size_t skip)
        {
            if (i == skip || gap2(box.minX, box.minY, box.maxX, box.maxY) > reach2)
                return;
            const double d = entityDistance(geometry[i], x, y);
            if (d < best) {
                best = d;
                nearestIndex = i;
                reset();
            }
        }
    };

    double finish(const Probe &probe)
    {
        m_last = probe.nearestIndex;
        return probe.best;
    }

    // The whole tree, nearer children first.
    Probe &search(Probe &probe) const
    {
        struct Pending {
            int node;
            double gap2;
        };
        Pending stack[kMaxDepth + 2];
        int top = 0;
        stack[top++] = { 0, probe.gap2(m_nodes[0].minX, m_nodes[0].minY, m_nodes[0].maxX, m_nodes[0].maxY) };
        while (top > 0) {
            const Pending pending = stack[--top];
            if (pending.gap2 > probe.reach2)
                continue;
            const Node &node = m_nodes[pending.node];
            if (node.leaf) {
                for (int k = node.a; k < node.b; ++k)
                    probe.tryEntity(m_boxes[k], size_t(m_order[k]), m_last);
                continue;
            }
            const Node &l = m_nodes[node.a], &r = m_nodes[node.b];
            const double gl = probe.gap2(l.minX, l.minY, l.maxX, l.maxY);
            const double gr = probe.gap2(r.minX, r.minY, r.maxX, r.maxY);
            if (gl <= gr) {
                stack[top++] = { node.b, gr };
                stack[top++] = { node.a, gl };
            } else {
                stack[top++] = { node.a, gl };
                stack[top++] = { node.b, gr };
            }
        }
        return probe;
    }

    // The entities whose boxes meet the square of half side `half` about
    // (x, y); false, and no window, when they are too many to be worth
    // keeping. The window's size follows what it holds, so that it keeps
    // a few dozen entities.
    bool collectWindow(double x, double y, double half)
    {
        m_windowValid = false;
        m_window.clear();
        const double x0 = x - half, x1 = x + half, y0 = y - half, y1 = y + half;
        if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1))
            return false;
        auto meets = [=](double minX, double minY, double maxX, double maxY) {
            return maxX >= x0 && minX <= x1 && maxY >= y0 && minY <= y1;
        };
        int stack[kMaxDepth + 2];
        int top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const Node &node = m_nodes[stack[--top]];
            if (!meets(node.minX, node.minY, node.maxX, node.maxY))
                continue;
            if (!node.leaf) {
                stack[top++] = node.b;
                stack[top++] = node.a;
                continue;
            }
            for (int k = node.a; k < node.b; ++k) {
                const Box &box = m_boxes[k];
                if (meets(box.minX, box.minY, box.maxX, box.maxY))
                    m_window.push_back(k);
            }
            if (int(m_window.size()) > kMaxWindow) {
                m_windowHalf = half / 2;
                m_failedHalf = half;
                return false;
            }
        }
        if (m_window.size() < kFewInWindow)
            m_windowHalf = half * 2;
        else if (m_window.size() > kManyInWindow)
            m_windowHalf = half / 2;
        m_wx0 = x0, m_wx1 = x1, m_wy0 = y0, m_wy1 = y1;
        m_windowValid = true;
        m_failedHalf = INFINITY;
        return true;
    }

    struct Node {
        double minX, minY, maxX, maxY;
        // Inner: the children's nodes; leaf: the range of its entities in m_order.
        int a, b;
        bool leaf;
    };
    // An entity's box, kept in the order of m_order so that a leaf's boxes
    // lie together.
    struct Box {
        double minX, minY, maxX, maxY;
    };
    static constexpr int kLeafSize = 8;
    static constexpr int kMaxWindow = 256;
    static constexpr size_t kFewInWindow = 8, kManyInWindow = 32;
    // Halving at the median keeps the depth at the logarithm of the count.
    static constexpr int kMaxDepth = 40;

    static bool finiteBox(const Geometry &g)
    {
        return std::isfinite(g.minX) && std::isfinite(g.minY) && std::isfinite(g.maxX) && std::isfinite(g.maxY);
    }

    void build(const std::vector<Geometry> &geometry)
    {
        m_entities = geometry.size();
        m_order.clear();
        m_loose.clear();
        m_nodes.clear();
        for (size_t i = 0; i < geometry.size(); ++i)
            (finiteBox(geometry[i]) ? m_order : m_loose).push_back(int(i));
        m_boxes.resize(m_order.size());
        if (!m_order.empty())
            buildNode(geometry, 0, int(m_order.size()));
    }

    // The nodes in preorder: a node's children come after it.
    int buildNode(const std::vector<Geometry> &geometry, int begin, int end)
    {
        const int index = int(m_nodes.size());
        m_nodes.push_back(Node { 0, 0, 0, 0, begin, end, true });
        if (end - begin <= kLeafSize)
            return index;
        // Split at the median of the boxes' centres along the longer side.
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (int k = begin; k < end; ++k) {
            const Geometry &g = geometry[m_order[k]];
            const double cx = g.minX / 2 + g.maxX / 2, cy = g.minY / 2 + g.maxY / 2;
            minX = std::min(minX, cx), maxX = std::max(maxX, cx);
            minY = std::min(minY, cy), maxY = std::max(maxY, cy);
        }
        const bool alongX = maxX - minX >= maxY - minY;
        const int middle = begin + (end - begin) / 2;
        std::nth_element(m_order.begin() + begin, m_order.begin() + middle, m_order.begin() + end,
            [&geometry, alongX](int i, int j) {
                const Geometry &a = geometry[i], &b = geometry[j];
                return alongX ? a.minX / 2 + a.maxX / 2 < b.minX / 2 + b.maxX / 2
                              : a.minY / 2 + a.maxY / 2 < b.minY / 2 + b.maxY / 2;
            });
        const int left = buildNode(geometry, begin, middle);
        const int right = buildNode(geometry, middle, end);
        m_nodes[index] = Node { 0, 0, 0, 0, left, right, false };
        return index;
    }

    // The boxes of the nodes from those of the entities, children first;
    // false when an entity's box is no longer finite.
    bool refit(const std::vector<Geometry> &geometry)
    {
        for (int n = int(m_nodes.size()) - 1; n >= 0; --n) {
            Node &node = m_nodes[n];
            if (node.leaf) {
                node.minX = node.minY = INFINITY;
                node.maxX = node.maxY = -INFINITY;
                for (int k = node.a; k < node.b; ++k) {
                    const Geometry &g = geometry[m_order[k]];
                    if (!finiteBox(g))
                        return false;
                    m_boxes[k] = Box { g.minX, g.minY, g.maxX, g.maxY };
                    node.minX = std::min(node.minX, g.minX), node.maxX = std::max(node.maxX, g.maxX);
                    node.minY = std::min(node.minY, g.minY), node.maxY = std::max(node.maxY, g.maxY);
                }
            } else {
                const Node &l = m_nodes[node.a], &r = m_nodes[node.b];
                node.minX = std::min(l.minX, r.minX), node.maxX = std::max(l.maxX, r.maxX);
                node.minY = std::min(l.minY, r.minY), node.maxY = std::max(l.maxY, r.maxY);
            }
        }
        if (!m_nodes.empty()) {
            const Node &root = m_nodes[0];
            m_scale = std::max({ std::abs(root.minX), std::abs(root.maxX), std::abs(root.minY), std::abs(root.maxY) });
        }
        return true;
    }

    size_t m_entities = size_t(-1);
    std::vector<Node> m_nodes;
    std::vector<int> m_order; // entity indices, each leaf's together
    std::vector<Box> m_boxes; // their boxes, in the same order
    std::vector<int> m_loose; // entities outside the tree
    double m_scale = 0; // the largest magnitude of a box coordinate in the tree
    size_t m_last = 0;
    // The candidates of neighbouring points: indices into m_order and
    // m_boxes, and the window they were taken from.
    std::vector<int> m_window;
    bool m_windowValid = false;
    double m_wx0 = 0, m_wy0 = 0, m_wx1 = 0, m_wy1 = 0;
    double m_windowHalf = 0;
    // The smallest window found too full since the last that was not: a
    // point whose window would be as large goes straight to the tree.
    double m_failedHalf = INFINITY;
};

namespace {

// Up to this many entities, the candidates found per cell of the points' grid
// are quicker; beyond, the tree.
constexpr size_t kTreeEntities = 1000;
// Beyond this many entities, the distances of a run of points are found
// through the tree: already at a few dozen entities it is several times
// quicker than looking at every entity's box.
constexpr size_t kDistanceTreeEntities = 16;

} // namespace

DrawingDistance::DrawingDistance(const DxfDrawing &drawing)
{
    drawingGeometry(drawing, &m_geometry);
    for (const Geometry &g : m_geometry)
        m_scale = std::max({ m_scale, std::abs(g.minX), std::abs(g.maxX), std::abs(g.minY), std::abs(g.maxY) });
    if (m_geometry.size() > kDistanceTreeEntities) {
        m_tree = std::make_unique<DrawingEntityTree>();
        m_tree->update(m_geometry);
    }
}

DrawingDistance::~DrawingDistance() = default;

double DrawingDistance::operator()(double x, double y)
{
    const size_t n = m_geometry.size();
    if (n == 0)
        return kNoDrawingDistance;
    if (m_tree && std::isfinite(x) && std::isfinite(y))
        return m_tree->nearest(m_geometry, x, y);
    if (m_last >= n)
        m_last = 0;
    double best = kNoDrawingDistance;
    size_t nearestIndex = m_last;
    const double first = entityDistance(m_geometry[m_last], x, y);
    if (first < best)
        best = first;
    const double slack = roundingSlack(m_scale, x, y);
    double reach = reachBeyond(best, slack);
    for (size_t i = 0; i < n; ++i) {
        if (i == m_last)
            continue;
        const Geometry &g = m_geometry[i];
        if (boxGap2(g.minX, g.minY, g.maxX, g.maxY, x, y) > reach * reach)
            continue;
        const double d = entityDistance(g, x, y);
        if (d < best) {
            best = d;
            nearestIndex = i;
            reach = reachBeyond(best, slack);
        }
    }
    m_last = nearestIndex;
    return best;
}

double DrawingFitError::operator()(const DxfDrawing &drawing)
{
    drawingGeometry(drawing, &m_geometry);
    return (*this)(m_geometry);
}

double DrawingFitError::operator()(const std::vector<Geometry> &geometry)
{
    ++m_evaluations;
    if (m_prune && geometry.size() > kTreeEntities)
        return treeSum(geometry);
    if (m_prune && geometry.size() > 2)
        return prunedSum(geometry);
    return plainSum(geometry);
}

double DrawingFitError::plainSum(const std::vector<Geometry> &geometry) const
{
    double sum = 0;
    for (const QPointF &p : m_points)
        sum += nearest(geometry, p.x(), p.y());
    return sum;
}

double DrawingFitError::treeSum(const std::vector<Geometry> &geometry)
{
    if (!m_tree)
        m_tree = std::make_unique<DrawingEntityTree>();
    m_tree->update(geometry);
    double sum = 0;
    for (const QPointF &p : qAsConst(m_points)) {
        const double x = p.x(), y = p.y();
        if (!m_allFinite && (!std::isfinite(x) || !std::isfinite(y)))
            sum += nearest(geometry, x, y);
        else
            sum += m_tree->nearest(geometry, x, y);
    }
    return sum;
}

double DrawingFitError::prunedSum(const std::vector<Geometry> &geometry)
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
void DrawingFitError::cellCandidates(int cell, const std::vector<Geometry> &geometry)
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
    for (int i = 0; i < int(geometry.size()); ++i) {
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
// The shift search stops below this step, in millimetres (a thousandth of a
// micrometre): a length of the trace, so the search ends at the same place
// whatever unit the plot shows.
constexpr double kFinestShiftStep = 1e-6;

// A search's drawing and its two trials, as numbers over one layout.
struct Search {
    Search(const DxfDrawing &drawing, DrawingFitError &error)
        : layout(drawing, &current)
        , error(error)
    {
    }

    double evaluate(const std::vector<double> &params)
    {
        layout.geometry(params, &geometry);
        return error(geometry);
    }

    std::vector<double> current; // filled by the layout, so made before it
    DrawingLayout layout;
    std::vector<double> forward, backward;
    std::vector<Geometry> geometry;
    DrawingFitError &error;
};

bool cancelled(const FitCancel *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// One step of a search: the drawing moved one way and the other; the better
// of the two replaces it when it beats the best error so far. Returns the
// direction taken (+1, -1) or 0 when neither trial helped. moveBy(step)
// gives the move of one entity's parameters.
template <typename MoveBy>
int trialStep(Search &search, double step, double *best, MoveBy moveBy)
{
    search.layout.moved(search.current, &search.forward, moveBy(step));
    search.layout.moved(search.current, &search.backward, moveBy(-step));
    const double g = search.evaluate(search.forward);
    const double h = search.evaluate(search.backward);
    if (g < *best && g < h) {
        search.current.swap(search.forward);
        *best = g;
        return 1;
    }
    if (h < g && h < *best) {
        search.current.swap(search.backward);
        *best = h;
        return -1;
    }
    return 0;
}

} // namespace

RotationFit fitRotation(DxfDrawing &drawing, const QPointF &centre, DrawingFitError &error, const FitCancel *cancel)
{
    Search search(drawing, error);
    auto turnBy = [&centre](double degrees) {
        const Turn turn(degrees, centre);
        return [turn](EntityKind kind, double *p, int n) { rotateEntity(kind, p, n, turn); };
    };
    // Upside down first; equal errors keep the drawing turned over.
    search.layout.moved(search.current, &search.forward, turnBy(180));
    RotationFit fit;
    fit.error = search.evaluate(search.forward);
    fit.angle = 180;
    const double upright = search.evaluate(search.current);
    if (upright < fit.error) {
        fit.error = upright;
        fit.angle = 0;
    } else {
        search.current.swap(search.forward);
    }

    double step = 90;
    for (int trial = 0; step >= 0.001 && trial < kMaxTrials && !cancelled(cancel); ++trial) {
        const int direction = trialStep(search, step, &fit.error, turnBy);
        if (direction == 0)
            step *= 0.5;
        fit.angle += direction * step;
    }
    fit.angle = normalizedDegrees(fit.angle);
    search.layout.writeTo(search.current, drawing);
    qDebug() << "Error after rotation guess" << fit.error;
    return fit;
}

ShiftFit fitShift(DxfDrawing &drawing, double unitFactor, DrawingFitError &error, const FitCancel *cancel)
{
    Search search(drawing, error);
    ShiftFit fit;
    fit.error = search.evaluate(search.current);
    qDebug() << "Before calculating" << fit.error;
    auto run = [&](bool vertical) {
        auto moveBy = [vertical](double by) {
            const double dx = vertical ? 0 : by, dy = vertical ? by : 0;
            return [dx, dy](EntityKind kind, double *p, int n) { translateEntity(kind, p, n, dx, dy); };
        };
        double step = unitFactor;
        const double finest = kFinestShiftStep * unitFactor;
        int successes = 0, lastDirection = 0;
        for (int trial = 0; step > finest && trial < kMaxTrials && !cancelled(cancel); ++trial) {
            const int direction = trialStep(search, step, &fit.error, moveBy);
            (vertical ? fit.shift.ry() : fit.shift.rx()) += direction * step;
            if (direction == 0) {
                step *= 0.5;
                successes = 0;
            } else {
                successes = direction == lastDirection ? successes + 1 : 1;
                if (successes >= kRunToGrow && step * 2 <= kMaxShiftStep * unitFactor)
                    step *= 2;
            }
            lastDirection = direction;
        }
    };
    run(true);
    qDebug() << "Error after vertical guess" << fit.error;
    run(false);
    qDebug() << "Error after horizontal guess" << fit.error;
    search.layout.writeTo(search.current, drawing);
    return fit;
}

double drawingExtent(const DxfDrawing &drawing)
{
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    auto take = [&](double x, double y) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    };
    for (int i = 0; i < drawing.size(); ++i) {
        const QVector<double> &p = drawing.dxfEntityParams.at(i);
        if (p.size() < 3)
            continue;
        const QString &type = drawing.dxfEntityTypes.at(i);
        if (type == DxfType::line() && p.size() >= 4) {
            take(p[0], p[1]);
            take(p[2], p[3]);
        } else if (type == DxfType::ellipse() && p.size() >= 4) {
            take(p[0] - std::abs(p[2]), p[1] - std::abs(p[3]));
            take(p[0] + std::abs(p[2]), p[1] + std::abs(p[3]));
        } else if (type == DxfType::circle()) {
            // A whole circle's box holds its arcs too.
            take(p[0] - std::abs(p[2]), p[1] - std::abs(p[2]));
            take(p[0] + std::abs(p[2]), p[1] + std::abs(p[2]));
        }
    }
    if (!(x1 >= x0) || !(y1 >= y0))
        return 0;
    const double extent = std::hypot(x1 - x0, y1 - y0);
    return std::isfinite(extent) ? extent : 0;
}

double picksApartLimit(const DxfDrawing &drawing, double pixelSpan, double unitFactor)
{
    const double screen = std::isfinite(pixelSpan) && pixelSpan > 0 ? kPickPixels * pixelSpan : 0;
    return std::max({ unitFactor, screen, kPartShare * drawingExtent(drawing) });
}

double picksApart(const Registration &registration)
{
    return std::hypot(registration.shift.x(), registration.shift.y());
}

bool registrationKeepsPicks(const Registration &registration, double limit)
{
    return picksApart(registration) <= limit;
}

Registration registerDrawing(DxfDrawing &drawing, const QPointF &tracePoint, const QPointF &drawingPoint,
    const QVector<QPointF> &points, double unitFactor, bool prune, const FitCancel *cancel)
{
    translateDrawing(drawing, tracePoint.x() - drawingPoint.x(), tracePoint.y() - drawingPoint.y());
    DrawingFitError error(points, prune);
    Registration result;
    result.angle = fitRotation(drawing, tracePoint, error, cancel).angle;
    if (cancelled(cancel)) {
        result.cancelled = true;
        return result;
    }
    const ShiftFit shift = fitShift(drawing, unitFactor, error, cancel);
    result.shift = shift.shift;
    result.error = shift.error;
    result.cancelled = cancelled(cancel);
    return result;
}
