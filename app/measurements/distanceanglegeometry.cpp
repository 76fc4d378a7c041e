#include "measurements/distanceanglegeometry.h"

#include "measurements/measurement.h"
#include "plot/plotwidget.h"
#include "settings/common.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace DimensionGeometry {

namespace {

QPointF pointOf(const QCPCurveData &d)
{
    return { d.key, d.value };
}

double dot(const QPointF &a, const QPointF &b)
{
    return a.x() * b.x() + a.y() * b.y();
}

double length(const QPointF &v)
{
    return std::hypot(v.x(), v.y());
}

// v scaled to length 1; the zero vector stays zero.
QPointF unit(const QPointF &v)
{
    const double l = length(v);
    return l > 0 ? v / l : QPointF();
}

bool isFinite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

PointRange clampedRange(const QCPCurveDataContainer *data, quint64 begin, quint64 end)
{
    if (!data)
        return {};
    const quint64 size = quint64(data->size());
    begin = std::min(begin, size);
    end = std::min(end, size);
    if (begin >= end)
        return {};
    const QCPCurveData *first = data->constBegin();
    return { first + begin, first + end };
}

PointRange clampedRange(const SegmentSelection *segment)
{
    if (!segment || !segment->curve)
        return {};
    return clampedRange(segment->curve->data().data(), segment->begin, segment->end);
}

std::optional<SegmentLine> segmentLine(const SegmentSelection *segment)
{
    if (!segment || !segment->curve)
        return std::nullopt;
    return segmentLine(segment->curve->data().data(), segment->begin, segment->end);
}

std::optional<SegmentLine> segmentLine(const QCPCurveDataContainer *data, quint64 begin, quint64 end)
{
    const PointRange range = clampedRange(data, begin, end);
    if (range.isEmpty())
        return std::nullopt;
    SegmentLine segment;
    segment.fit = Algos::RMS(range.first, range.last);
    if (!segment.fit.isValid())
        return std::nullopt;
    const QCPCurveData *dataEnd = data->constEnd();
    segment.first = pointOf(*range.first);
    segment.last = pointOf(*(range.last - 1));
    segment.atEnd = pointOf(range.last < dataEnd ? *range.last : *(dataEnd - 1));
    return segment;
}

Dimension verticalDimension(const QPointF &left, const QPointF &right, double px)
{
    Dimension d;
    d.extension1 = QLineF(left, QPointF(px, left.y()));
    d.extension2 = QLineF(right, QPointF(px, right.y()));
    d.dimensionLine = QLineF(px, left.y(), px, right.y());
    d.reper0 = left;
    d.reper1 = right;
    d.value = std::abs(right.y() - left.y());
    d.labelAlignment = left.x() <= px ? kLabelAbove : kLabelBelow;
    d.labelPosition = QPointF(px, right.y() - (right.y() - left.y()) * 0.5);
    d.labelRotation = 90;
    return d;
}

Dimension horizontalDimension(const QPointF &left, const QPointF &right, double py)
{
    Dimension d;
    d.extension1 = QLineF(left, QPointF(left.x(), py));
    d.extension2 = QLineF(right, QPointF(right.x(), py));
    d.dimensionLine = QLineF(left.x(), py, right.x(), py);
    d.reper0 = left;
    d.reper1 = right;
    d.value = std::abs(right.x() - left.x());
    d.labelAlignment = py <= left.y() ? kLabelBelow : kLabelAbove;
    d.labelPosition = QPointF(right.x() - (right.x() - left.x()) * 0.5, py);
    d.labelRotation = 0;
    return d;
}

Dimension directDimension(const QPointF &left, const QPointF &right, const QPointF &label)
{
    // The normal of the measured segment, turned +90 degrees; the signed
    // distance of the label along it places the dimension line.
    const QPointF normal = unit(QPointF(-(right.y() - left.y()), right.x() - left.x()));
    const double k = dot(normal, label - left);
    const QPointF offset = normal * k;
    const QPointF start = left + offset;
    const QPointF end = right + offset;

    Dimension d;
    d.extension1 = QLineF(left, start);
    d.extension2 = QLineF(right, end);
    d.dimensionLine = QLineF(start, end);
    d.reper0 = left;
    d.reper1 = right;
    d.value = length(right - left);
    d.labelAlignment = k >= 0 ? kLabelAbove : kLabelBelow;
    d.labelPosition = end - (end - start) * 0.5;
    d.labelRotation = QLineF(start, end).angle();
    return d;
}

std::optional<Extremes> rangeExtremes(const PointRange &range)
{
    if (range.isEmpty())
        return std::nullopt;
    Extremes e;
    double highest = -std::numeric_limits<double>::max();
    double lowest = std::numeric_limits<double>::max();
    for (const QCPCurveData *p = range.first; p < range.last; ++p) {
        if (p->value > highest) {
            highest = p->value;
            e.highest = pointOf(*p);
        }
        if (p->value < lowest) {
            lowest = p->value;
            e.lowest = pointOf(*p);
        }
    }
    return e;
}

std::optional<Dimension> highestLowestDimension(const PointRange &range, double px)
{
    // The highest point stands where a height's left point does.
    const auto e = rangeExtremes(range);
    if (!e)
        return std::nullopt;
    return verticalDimension(e->highest, e->lowest, px);
}

std::optional<LineHeight> meanHeightSide(const SegmentLine &segment, double px)
{
    const double xm = segment.first.x() + (segment.atEnd.x() - segment.first.x()) * 0.5;
    const double y = segment.y(xm);
    if (!std::isfinite(xm) || !std::isfinite(y))
        return std::nullopt;
    return LineHeight { QLineF(xm, y, px, y), QPointF(xm, y), y };
}

std::optional<LineHeight> averageDiameterSide(const SegmentLine &segment, double px)
{
    const QPointF from(segment.first.x(), segment.y(segment.first.x()));
    const QPointF to(segment.atEnd.x(), segment.y(segment.atEnd.x()));
    const double y = segment.y(px);
    if (!isFinite(from) || !isFinite(to) || !std::isfinite(y))
        return std::nullopt;
    return LineHeight { QLineF(from, to), from, y };
}

Dimension heightBetween(const LineHeight &first, const LineHeight &second, double px)
{
    Dimension d;
    d.extension1 = first.line;
    d.extension2 = second.line;
    d.dimensionLine = QLineF(px, first.y, px, second.y);
    d.reper0 = first.reper;
    d.reper1 = second.reper;
    d.value = std::abs(second.y - first.y);
    d.labelAlignment = kLabelAbove;
    d.labelPosition = QPointF(px, second.y - (second.y - first.y) * 0.5);
    d.labelRotation = 90;
    return d;
}

std::optional<QPointF> lineDirection(const Algos::RMS &line)
{
    const double slope = line.coefficient(1);
    if (!std::isfinite(slope) || !std::isfinite(line.coefficient(0)))
        return std::nullopt;
    return unit(QPointF(1, slope));
}

std::optional<QPointF> lineIntersection(const Algos::RMS &first, const Algos::RMS &second)
{
    const double b1 = first.coefficient(0), k1 = first.coefficient(1);
    const double b2 = second.coefficient(0), k2 = second.coefficient(1);
    const double x = (b2 - b1) / (k1 - k2);
    const QPointF vertex(x, x * k1 + b1);
    if (!isFinite(vertex))
        return std::nullopt;
    return vertex;
}

AngleDrawing angleTowardsLabel(const QPointF &vertex, QPointF direction1, QPointF direction2, const QPointF &label)
{
    AngleDrawing a;
    a.radius = length(vertex - label);

    // Each side points towards the label, so the arc between them passes it.
    const QPointF towardsLabel = unit(label - vertex);
    if (dot(direction1, towardsLabel) < 0)
        direction1 = -direction1;
    if (dot(direction2, towardsLabel) < 0)
        direction2 = -direction2;
    a.direction1 = direction1;
    a.direction2 = direction2;

    const QLineF side1(QPointF(), direction1), side2(QPointF(), direction2), xAxis(0, 0, 1, 0);
    a.startDegrees = side1.angleTo(xAxis);
    a.spanDegrees = side1.angleTo(side2);
    if (a.spanDegrees > 180)
        a.spanDegrees = -side2.angleTo(side1);
    a.angle = std::abs(a.spanDegrees);

    const double r = a.radius;
    a.arcRect = QRectF(QPointF(vertex.x() - r, vertex.y() - r), QPointF(vertex.x() + r, vertex.y() + r));
    a.arcStart16 = int(a.startDegrees * 16);
    a.arcSpan16 = int(-a.spanDegrees * 16);
    a.side1 = QLineF(vertex - direction1 * r * 0.2, vertex + direction1 * r * 1.1);
    a.side2 = QLineF(vertex - direction2 * r * 0.2, vertex + direction2 * r * 1.1);
    return a;
}

namespace {

// Rounding noise allowed for below a whole second, in seconds.
constexpr double kSecondsNoise = 1e-6 * 3600;

} // namespace

QString dmsText(double degrees)
{
    if (!std::isfinite(degrees))
        return Common::kUnknownText;
    // Seconds are truncated, but a millionth of a degree (0.0036'') below a
    // whole second counts as that second: it absorbs the binary rounding of
    // the angle (12.7 is stored a hair below 12.7) and the last-bit noise of a
    // fit (a 10° flank that comes out as 9.99999998°), while an angle that is
    // really shorter (0.99999° lacks 0.036'') still loses its second.
    const qint64 seconds = qint64(std::floor(degrees * 3600 + kSecondsNoise));
    const qint64 d = seconds / 3600;
    const qint64 m = seconds % 3600 / 60;
    const qint64 s = seconds % 60;
    return QStringLiteral("%1° %2' %3''").arg(d).arg(m).arg(s);
}

QString angleValueText(double degrees, bool decimal, bool hasSegment)
{
    if (decimal)
        return QString::number(degrees, 'f', 4) + QStringLiteral("°");
    if (!hasSegment)
        return Common::kUnknownText;
    return dmsText(degrees);
}

double nominalAngle(double degrees)
{
    double best = std::trunc(degrees);
    double smallest = 45;
    for (const double candidate : { 45.0, 90.0, 135.0, 180.0 }) {
        const double distance = std::abs(candidate - degrees);
        if (distance < smallest) {
            best = candidate;
            smallest = distance;
        }
    }
    return best;
}

} // namespace DimensionGeometry
