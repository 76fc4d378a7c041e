#pragma once

#include <QVector>

class QCPCurveData;

namespace Algos {

// Algebraic circle fit (hyper-accurate "Hyper" fit on centred coordinates,
// followed by a short Newton iteration) over all points of the half-open
// ranges [begins[i], ends[i]) of curve data (key x, value y).
//
// Returns true and writes the centre {x, y} and the radius when the points
// define a circle. Fewer than three points, points on one straight line (or
// all at one place) and any non-finite result give false, with the centre and
// the radius set to NaN.
bool fitCircle(const QVector<const QCPCurveData *> &begins, const QVector<const QCPCurveData *> &ends, double centre[2],
    double *radius);
bool fitCircle(const QCPCurveData *first, const QCPCurveData *last, double centre[2], double *radius);
bool fitCircle(const QCPCurveData *first1, const QCPCurveData *last1, const QCPCurveData *first2,
    const QCPCurveData *last2, double centre[2], double *radius);

} // namespace Algos
