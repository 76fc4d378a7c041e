#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QVector>

class QCPCurve;
class QCPCurveData;

// Plain geometry of the circle and line elements: the circle of a given radius
// laid against a contour, the lines picked by clicks, the extremum of a range
// and the crossings of circles and lines. No plot state: every function works
// on curve data ranges [first, end) or on plain numbers.
namespace Geometry {

// The points of a curve from index begin up to, not including, index end, both
// clamped into [0, point count]. Empty (first == end, possibly both null) for
// a null curve or an empty run.
struct CurveRange {
    const QCPCurveData *first = nullptr;
    const QCPCurveData *end = nullptr;
    bool isEmpty() const { return first == end; }
};
CurveRange curveRange(const QCPCurve *curve, quint64 begin, quint64 end);

// --- Circle of a fixed radius resting against a contour ---------------------

// Sum over the points of |R - distance(point, c)|.
double radialErrorSum(const QCPCurveData *first, const QCPCurveData *end, const QPointF &c, double R);

// False as soon as one point lies at a distance <= R from c; true otherwise
// (also for an empty range).
bool allPointsOutside(const QCPCurveData *first, const QCPCurveData *end, const QPointF &c, double R);

// The rectangle a centre of radius R may take against these points: their
// bounding box grown on every side by R and the searches' first step R/10. A
// centre outside it reaches no point, so the searches below never leave it.
// Null for an empty range (or one without a finite point) or an R that is not
// a positive finite number.
struct CentreBounds {
    double left = 0, right = 0, bottom = 0, top = 0;
    bool valid = false;
    bool contains(const QPointF &p) const
    {
        return valid && p.x() >= left && p.x() <= right && p.y() >= bottom && p.y() <= top;
    }
    QPointF clamped(const QPointF &p) const;
};
CentreBounds centreBounds(const QCPCurveData *first, const QCPCurveData *end, double R);

// Pattern search of the centre with R fixed, minimising radialErrorSum: probes
// the four neighbours at the current step (+x, -x, +y, -y), moves to the best
// one that is not worse than the centre (ties go in that order) and halves the
// step only when the centre is strictly best; from 0.1 R down to 1e-5 R.
// Always ends: the centre never leaves centreBounds, a move straight back to
// the previous centre without a gain counts as settled, and after
// kMaxSearchIterations the centre reached so far is kept.
void searchCentre(const QCPCurveData *first, const QCPCurveData *end, QPointF &centre, double R);

// Moves the centre only along y until the circle rests against the contour
// without cutting it, like a gauge pin laid into the profile. Which way it
// falls is decided once from where the points lie: mostly below the centre
// (the pin drops onto them), mostly above (it rises against them), as many on
// both sides (it stays). Steps from R/10 down to 1e-5 R; the centre's y never
// leaves the bottom and top of centreBounds (a pin with nothing under it stops
// there) and the loop is capped at kMaxSearchIterations.
void adjustCentreVertically(const QCPCurveData *first, const QCPCurveData *end, QPointF &centre, double R);

// The whole placement of a circle of radius R against [first, end): starts at
// the least-squares circle's centre, or at the points' centroid when no circle
// fits (a straight run), then searchCentre and adjustCentreVertically. The
// start is (0, 0) for an empty range, which is returned unchanged.
QPointF restingCentre(const QCPCurveData *first, const QCPCurveData *end, double R);

constexpr int kMaxSearchIterations = 20000;

// A length in the unit named by the suffix ("мм", "мкм", "нм") expressed in the
// display unit axisUnit (0 mm, 1 µm, 2 nm). An unknown suffix or unit leaves
// the value as it is.
double convertLength(double value, const QString &fromSuffix, int axisUnit);

// --- Lines and points picked by clicks ---------------------------------------

// The line y = c0·x + c1 through two points, as [c0, c1] from the least-squares
// fit of the two. False (and coefficients untouched) when the points share one
// key, so that the slope would not be finite.
bool lineThroughPoints(const QPointF &a, const QPointF &b, QVector<double> *coefficients);

inline QPointF middlePoint(const QPointF &a, const QPointF &b)
{
    return QPointF((a.x() + b.x()) * 0.5, (a.y() + b.y()) * 0.5);
}

// Index, counted from first, of the first point with the largest value
// (maximum) or the smallest value (otherwise) of [first, end); -1 when empty.
int extremumIndex(const QCPCurveData *first, const QCPCurveData *end, bool maximum);

// --- Crossings of circles and lines ------------------------------------------

struct Circle {
    QPointF centre;
    double radius = 0;
};

// y = slope·x + offset.
struct Line {
    double slope = 0;
    double offset = 0;
};

// 0, 1 or 2 points. Two crossing circles give the point on the right of the
// direction from a to b first; circles touching from outside give their one
// point, touching from inside the point twice.
QList<QPointF> circleCircle(const Circle &a, const Circle &b);
// The one point of the line at the key x.
QList<QPointF> verticalLineLine(double x, const Line &line);
// 0 or 2 points, the upper first; a tangent vertical line gives none.
QList<QPointF> circleVerticalLine(const Circle &circle, double x);
// 0, 1 (tangent) or 2 points, the smaller key first.
QList<QPointF> circleLine(const Circle &circle, const Line &line);
// 0 (parallel or equal lines) or 1 point.
QList<QPointF> lineLine(const Line &l1, const Line &l2);

} // namespace Geometry
