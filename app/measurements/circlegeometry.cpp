#include "measurements/circlegeometry.h"

#include "algos/circlefit.h"
#include "algos/fitting.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Geometry {

namespace {

bool usableRadius(double R)
{
    return std::isfinite(R) && R > 0;
}

} // namespace

CurveRange curveRange(const QCPCurve *curve, quint64 begin, quint64 end)
{
    CurveRange range;
    if (!curve)
        return range;
    const auto data = curve->data();
    const quint64 count = quint64(data->size());
    const quint64 b = std::min(begin, count);
    const quint64 e = std::min(end, count);
    if (b >= e)
        return range;
    range.first = data->constBegin() + b;
    range.end = data->constBegin() + e;
    return range;
}

double radialErrorSum(const QCPCurveData *first, const QCPCurveData *end, const QPointF &c, double R)
{
    const double cx = c.x();
    const double cy = c.y();
    double sum = 0;
    for (auto *p = first; p < end; ++p) {
        const double dx = p->key - cx;
        const double dy = p->value - cy;
        sum += std::abs(R - std::sqrt(dx * dx + dy * dy));
    }
    return sum;
}

bool allPointsOutside(const QCPCurveData *first, const QCPCurveData *end, const QPointF &c, double R)
{
    // Squared distances: the same decision without a root per point.
    const double cx = c.x();
    const double cy = c.y();
    const double r2 = R * R;
    for (auto *p = first; p < end; ++p) {
        const double dx = p->key - cx;
        const double dy = p->value - cy;
        if (dx * dx + dy * dy <= r2)
            return false;
    }
    return true;
}

QPointF CentreBounds::clamped(const QPointF &p) const
{
    if (!valid)
        return p;
    return QPointF(std::clamp(p.x(), left, right), std::clamp(p.y(), bottom, top));
}

CentreBounds centreBounds(const QCPCurveData *first, const QCPCurveData *end, double R)
{
    CentreBounds b;
    if (!usableRadius(R))
        return b;
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
    double minY = minX, maxY = -minX;
    for (auto *p = first; p < end; ++p) {
        if (!std::isfinite(p->key) || !std::isfinite(p->value))
            continue;
        minX = std::min(minX, p->key);
        maxX = std::max(maxX, p->key);
        minY = std::min(minY, p->value);
        maxY = std::max(maxY, p->value);
    }
    if (minX > maxX)
        return b;
    const double margin = R + R / 10;
    b.left = minX - margin;
    b.right = maxX + margin;
    b.bottom = minY - margin;
    b.top = maxY + margin;
    b.valid = true;
    return b;
}

void searchCentre(const QCPCurveData *first, const QCPCurveData *end, QPointF &centre, double R)
{
    const CentreBounds bounds = centreBounds(first, end, R);
    if (!bounds.valid)
        return;
    const double inf = std::numeric_limits<double>::infinity();
    QPointF c = bounds.clamped(centre);
    double e = radialErrorSum(first, end, c, R);
    double step = 0.1 * R;
    const double minStep = 0.00001 * R;
    QPointF previous;
    bool moved = false;
    for (int iteration = 0; step > minStep && iteration < kMaxSearchIterations; ++iteration) {
        const QPointF probes[4]
            = { { c.x() + step, c.y() }, { c.x() - step, c.y() }, { c.x(), c.y() + step }, { c.x(), c.y() - step } };
        double errors[4];
        for (int k = 0; k < 4; ++k)
            errors[k] = bounds.contains(probes[k]) ? radialErrorSum(first, end, probes[k], R) : inf;

        double m = errors[0];
        for (int k = 1; k < 4; ++k)
            if (errors[k] < m)
                m = errors[k];
        if (e < m)
            m = e;
        int chosen = -1;
        for (int k = 0; k < 4 && chosen < 0; ++k)
            if (m == errors[k])
                chosen = k;

        // A neighbour as good as the centre is taken, but stepping straight
        // back without any gain would swing between the two for ever.
        const bool swingBack = chosen >= 0 && m == e && moved && probes[chosen] == previous;
        if (chosen >= 0 && !swingBack) {
            previous = c;
            moved = true;
            c = probes[chosen];
            e = m;
        } else {
            step *= 0.5;
        }
    }
    centre = c;
}

void adjustCentreVertically(const QCPCurveData *first, const QCPCurveData *end, QPointF &centre, double R)
{
    const CentreBounds bounds = centreBounds(first, end, R);
    if (!bounds.valid)
        return;
    long long below = 0, above = 0;
    for (auto *p = first; p < end; ++p) {
        if (p->value <= centre.y())
            ++below;
        else if (p->value > centre.y())
            ++above;
    }
    if (below == above)
        return;
    const bool fallsDown = below > above;

    QPointF c(centre.x(), std::clamp(centre.y(), bounds.bottom, bounds.top));
    double step = R / 10;
    const double minStep = 0.00001 * R;
    auto shifted = [&](double dy) { return QPointF(c.x(), c.y() + dy); };
    auto inReach = [&](double y) { return y >= bounds.bottom && y <= bounds.top; };
    for (int iteration = 0; step > minStep && iteration < kMaxSearchIterations; ++iteration) {
        const bool here = allPointsOutside(first, end, c, R);
        const double towards = fallsDown ? -step : step;
        double move = 0;
        if (allPointsOutside(first, end, shifted(towards), R))
            move = towards;
        else if (!here)
            move = -towards;
        // A move off the bounds would leave every point behind: the pin has
        // nothing to rest on there, so it stops at the edge.
        if (move != 0 && inReach(c.y() + move))
            c = shifted(move);
        else
            step *= 0.5;
    }
    centre = c;
}

QPointF restingCentre(const QCPCurveData *first, const QCPCurveData *end, double R)
{
    if (first >= end)
        return QPointF();
    double fitted[2];
    double fittedRadius;
    QPointF c;
    if (Algos::fitCircle(first, end, fitted, &fittedRadius)) {
        c = QPointF(fitted[0], fitted[1]);
    } else {
        double sx = 0, sy = 0;
        long long n = 0;
        for (auto *p = first; p < end; ++p) {
            if (!std::isfinite(p->key) || !std::isfinite(p->value))
                continue;
            sx += p->key;
            sy += p->value;
            ++n;
        }
        if (n > 0)
            c = QPointF(sx / n, sy / n);
    }
    searchCentre(first, end, c, R);
    adjustCentreVertically(first, end, c, R);
    return c;
}

double convertLength(double value, const QString &fromSuffix, int axisUnit)
{
    int from;
    if (fromSuffix == QStringLiteral("мм"))
        from = 0;
    else if (fromSuffix == QStringLiteral("мкм"))
        from = 1;
    else if (fromSuffix == QStringLiteral("нм"))
        from = 2;
    else
        return value;
    if (axisUnit < 0 || axisUnit > 2 || axisUnit == from)
        return value;
    static const double kFactor[3][3] = {
        // to mm, µm, nm
        { 1, 1000, 1e6 }, // from mm
        { 0.001, 1, 1000 }, // from µm
        { 1e-6, 0.001, 1 }, // from nm
    };
    return value * kFactor[from][axisUnit];
}

bool lineThroughPoints(const QPointF &a, const QPointF &b, QVector<double> *coefficients)
{
    if (a.x() == b.x())
        return false;
    const Algos::RMS fit(QVector<double> { a.x(), b.x() }, QVector<double> { a.y(), b.y() });
    const double slope = fit.coefficient(1);
    const double offset = fit.coefficient(0);
    if (!std::isfinite(slope) || !std::isfinite(offset))
        return false;
    if (coefficients)
        *coefficients = { slope, offset };
    return true;
}

int extremumIndex(const QCPCurveData *first, const QCPCurveData *end, bool maximum)
{
    if (!first || first >= end)
        return -1;
    const QCPCurveData *best = first;
    for (auto *p = first + 1; p < end; ++p)
        if (maximum ? p->value > best->value : p->value < best->value)
            best = p;
    return int(best - first);
}

QList<QPointF> circleCircle(const Circle &a, const Circle &b)
{
    const double ra = a.radius;
    const double rb = b.radius;
    const double dx = b.centre.x() - a.centre.x();
    const double dy = b.centre.y() - a.centre.y();
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d > ra + rb || d < std::abs(rb - ra) || (d == 0 && ra == rb))
        return {};
    const double h = (ra * ra - rb * rb + d * d) / (2 * d);
    // Rounding can push ra² - h² just below 0 for nearly touching circles.
    const double m = std::sqrt(std::max(0.0, ra * ra - h * h));
    const double px = a.centre.x() + dx * h / d;
    const double py = a.centre.y() + dy * h / d;
    QList<QPointF> points;
    if (d != ra + rb)
        points << QPointF(px + dy * m / d, py - dx * m / d);
    points << QPointF(px - dy * m / d, py + dx * m / d);
    return points;
}

QList<QPointF> verticalLineLine(double x, const Line &line)
{
    return { QPointF(x, line.slope * x + line.offset) };
}

QList<QPointF> circleVerticalLine(const Circle &circle, double x)
{
    const double cx = circle.centre.x();
    const double r = circle.radius;
    if (!(cx - r < x && x < cx + r))
        return {};
    const double t = std::sqrt(r * r - (x - cx) * (x - cx));
    return { QPointF(x, circle.centre.y() + t), QPointF(x, circle.centre.y() - t) };
}

QList<QPointF> circleLine(const Circle &circle, const Line &line)
{
    const double k = line.slope;
    const double q = line.offset;
    const double cx = circle.centre.x();
    const double cy = circle.centre.y();
    const double r = circle.radius;
    const double A = 1 + k * k;
    const double B = 2 * (k * (q - cy) - cx);
    const double C = cx * cx + (q - cy) * (q - cy) - r * r;
    const double D = B * B - 4 * A * C;
    if (D < 0)
        return {};
    const double x1 = (-B - std::sqrt(D)) / (2 * A);
    const double x2 = (-B + std::sqrt(D)) / (2 * A);
    if (x1 == x2)
        return { QPointF(x1, k * x1 + q) };
    return { QPointF(x1, k * x1 + q), QPointF(x2, k * x2 + q) };
}

QList<QPointF> lineLine(const Line &l1, const Line &l2)
{
    if (l1.slope == l2.slope)
        return {};
    const double x = (l2.offset - l1.offset) / (l1.slope - l2.slope);
    const double y = l1.slope * (l2.offset - l1.offset) / (l1.slope - l2.slope) + l1.offset;
    return { QPointF(x, y) };
}

} // namespace Geometry
