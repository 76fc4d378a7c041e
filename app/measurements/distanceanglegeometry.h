#pragma once

#include "algos/fitting.h"

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

struct SegmentSelection;
class QCPCurveData;
template <class DataType> class QCPDataContainer;
typedef QCPDataContainer<QCPCurveData> QCPCurveDataContainer;

// The geometry of the distance and angle dimensions, apart from any plot: what
// a kind draws (extension, dimension and side lines, arc, label) and the value
// it shows, from the points or segments it was given. All values are computed
// in double precision; coordinates are plot coordinates (display units).
namespace DimensionGeometry {

// A run of curve points [first, last); empty when first == last.
struct PointRange {
    const QCPCurveData *first = nullptr;
    const QCPCurveData *last = nullptr;
    bool isEmpty() const { return first == last; }
};

// The points of a segment [begin, end) with both indexes clamped into
// [0, size] of the data; empty when there is no data or nothing is left.
PointRange clampedRange(const QCPCurveDataContainer *data, quint64 begin, quint64 end);
// The same for a measurement's segment; empty without a segment or curve.
PointRange clampedRange(const SegmentSelection *segment);

// A segment's least-squares line with the curve points the kinds measure from:
// its first point, its last point (index end - 1) and the point at its end
// index (read at size - 1 when the end is the data's end).
struct SegmentLine {
    Algos::RMS fit;
    QPointF first;
    QPointF last;
    QPointF atEnd;
    // The fitted height at x; NaN when the fit is not a line.
    double y(double x) const { return fit.value(x); }
};

// Null when the clamped range is empty or its points define no line (every
// point at one x).
std::optional<SegmentLine> segmentLine(const QCPCurveDataContainer *data, quint64 begin, quint64 end);
std::optional<SegmentLine> segmentLine(const SegmentSelection *segment);

// What a distance kind draws, and its value.
struct Dimension {
    QLineF extension1;
    QLineF extension2;
    QLineF dimensionLine;
    QPointF reper0;
    QPointF reper1;
    double value = 0;
    QPointF labelPosition;
    double labelRotation = 0; // degrees, as the text item takes it
    int labelAlignment = 0; // Qt::Alignment bits
};

constexpr int kLabelAbove = 0x44; // Qt::AlignHCenter | Qt::AlignBottom
constexpr int kLabelBelow = 0x24; // Qt::AlignHCenter | Qt::AlignTop

// Height between two points, the dimension line vertical at x = px.
Dimension verticalDimension(const QPointF &left, const QPointF &right, double px);
// Length along x between two points, the dimension line horizontal at y = py.
Dimension horizontalDimension(const QPointF &left, const QPointF &right, double py);
// Straight distance between two points, the dimension line parallel to them
// through the foot of the label on their normal.
Dimension directDimension(const QPointF &left, const QPointF &right, const QPointF &label);

// The highest and the lowest point of a range; on equal heights the first wins.
struct Extremes {
    QPointF highest;
    QPointF lowest;
};
std::optional<Extremes> rangeExtremes(const PointRange &range);
// Highest minus lowest point of a range, dimensioned at x = px; null for an
// empty range.
std::optional<Dimension> highestLowestDimension(const PointRange &range, double px);

// One side of a height between two fitted lines: the line drawn for it, the
// reference point and the height the dimension line ends at.
struct LineHeight {
    QLineF line;
    QPointF reper;
    double y = 0;
};
// Mean height: the line's height at the middle of its segment, extended
// horizontally to x = px. Null when that height is not finite.
std::optional<LineHeight> meanHeightSide(const SegmentLine &segment, double px);
// Average diameter: the fitted line over its segment, the height taken at
// x = px. Null when the line or that height is not finite.
std::optional<LineHeight> averageDiameterSide(const SegmentLine &segment, double px);
// The dimension between two sides, vertical at x = px, labelled above.
Dimension heightBetween(const LineHeight &first, const LineHeight &second, double px);

// The unit direction (1, slope) of a fitted line; null when it is not finite.
std::optional<QPointF> lineDirection(const Algos::RMS &line);
// Where two fitted lines cross; null when either is not finite or they are
// parallel (no finite crossing).
std::optional<QPointF> lineIntersection(const Algos::RMS &first, const Algos::RMS &second);

// An angle between two directions at a vertex, drawn towards the label: each
// side is turned to point at the label, the arc runs through the label.
struct AngleDrawing {
    QPointF direction1;
    QPointF direction2;
    double startDegrees = 0; // QLineF angle from side 1 to the x axis
    double spanDegrees = 0; // signed, side 1 to side 2, within [-180, 180]
    double angle = 0; // |span|, 0 to 180
    double radius = 0; // vertex to label
    QRectF arcRect; // topLeft (V - r), bottomRight (V + r) in plot coordinates
    int arcStart16 = 0; // 1/16 degree, for the arc item
    int arcSpan16 = 0;
    QLineF side1;
    QLineF side2;
};
AngleDrawing angleTowardsLabel(const QPointF &vertex, QPointF direction1, QPointF direction2, const QPointF &label);

// Degrees, minutes and seconds, seconds truncated: 45° 30' 15''. A value that
// is a whole second but for floating-point error keeps that second.
QString dmsText(double degrees);
// The text an angle measurement shows: decimal degrees with four decimals,
// or degrees-minutes-seconds, which reads "unknown" before any segment.
QString angleValueText(double degrees, bool decimal, bool hasSegment);
// The nominal angle of a measured one: the nearest of 45, 90, 135 and 180
// within 45 degrees (ties to the smaller), else the value truncated.
double nominalAngle(double degrees);

} // namespace DimensionGeometry
