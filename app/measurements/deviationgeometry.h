#pragma once

#include "algos/tracetypes.h"

#include <QPointF>
#include <QVector>
#include <functional>

class QCPCurve;
struct DxfDrawing;
class QCPCurveData;

// Plain numerics of the deviation and roughness measurements: the deviations
// of a curve range from a line or a circle, their running median, the merge of
// several ranges, the polar graph points and the cut-off loop of roughness on
// a contour. No plot state; ranges are [first, end) of one curve's data.
namespace Deviation {

// Keys and deviations in point order.
struct Profile {
    QVector<double> keys;
    QVector<double> values;
};

// The curve's data element at index clamped into [0, size]; null for a null
// curve. The element at size is the end of the data (not a point).
const QCPCurveData *curvePoint(quint64 index, const QCPCurve *curve);

// Residuals y - (c0 + c1 x) of the points from their least-squares line. False
// (and nothing written) when no line fits: an empty range or every point at
// one x.
bool lineResiduals(const QCPCurveData *first, const QCPCurveData *end, Profile *out);

// R - distance to the centre for each point (positive inside the circle).
Profile radialDeviations(const QCPCurveData *first, const QCPCurveData *end, const QPointF &centre, double R);

// Trailing running median over x: the output for point e is the median of the
// values of the points from the first one at most `window` behind it up to e,
// the upper middle entry for an even count. Empty when the lists are empty or
// their sizes differ.
QVector<double> runningMedianByX(const QVector<double> &xs, const QVector<double> &values, double window);

// The deviations over the whole span of several ranges of one curve: every
// point of each range and every point between the leftmost start and the
// rightmost end, each key once (the first occurrence), sorted by key.
Profile mergeSegmentsByX(const QVector<const QCPCurveData *> &starts, const QVector<const QCPCurveData *> &ends,
    const QPointF &centre, double R);
// The same into out, whose storage is reused when it is its own: a caller
// that recomputes on every mouse move keeps one storage.
void mergeSegmentsByX(const QVector<const QCPCurveData *> &starts, const QVector<const QCPCurveData *> &ends,
    const QPointF &centre, double R, Profile &out);

// Each point's key and distance to the drawing. Empty when a point finds no
// entity to measure to (an empty drawing).
Profile drawingDistances(const DxfDrawing &drawing, const QCPCurveData *first, const QCPCurveData *end);

// The points of a deviation graph wrapped around the circle: for point i of
// the range, along its direction from the centre, at R + (1 - F) h where F is
// its deviation scaled into [0, 1] (0 for every point when all are equal).
// As many points as there are deviations (at most as many as range points).
struct PolarPoints {
    QVector<double> xs;
    QVector<double> ys;
    double lo = 0;
    double hi = 0;
};
PolarPoints polarGraphPoints(const QCPCurveData *first, const QCPCurveData *end, const QVector<double> &deviations,
    const QPointF &centre, double R, double h);

// The smallest and largest entry; (0, 0) for an empty list.
std::pair<double, double> valueRange(const QVector<double> &values);

// --- Roughness on a contour ---------------------------------------------------

// Correction factor of a contour-roughness reading, linear between the rows
// of the Ra or Rz table, held at the ends.
double raCorrectionFactor(double v);
double rzCorrectionFactor(double v);

// The result of the cut-off loop.
struct RoughnessResult {
    double value = 0; // of the last pass; 0 when none ran
    double cutOff = 800; // the cut-off at the end of the loop, µm
    double length = 0; // extent of the stretch (last x - first x), µm
    int passes = 0;
};

// The parameter of a filtered profile at a cut-off (µm).
using RoughnessParameter = std::function<double(const TData &filtered, double cutOff)>;
// The recommended cut-off for a value; 0 when none is known.
using CutOffAdvice = std::function<double(double value)>;

// Automatic cut-off: starting at 800 µm, while the stretch is at least two
// cut-offs long, filter the stretch (always the original one) with the cut-off
// and its short cut-off, evaluate, and move on to the cut-off recommended for
// the result, until it settles, repeats one tried before, is unknown (0) or
// the result is 0 to four decimals.
RoughnessResult contourRoughness(const TData &profile, const RoughnessParameter &parameter, const CutOffAdvice &advice);

} // namespace Deviation
