#pragma once

#include "algos/tracetypes.h"

#include <QPointF>
#include <QVector>

// Small numerics shared by the filters, the traces, the plots and the
// measurements. A profile is a TData with channel 0 X (ascending) and channel 1
// Y; lengths are in the trace's units, nothing here converts them. Unsuitable
// input gives a neutral result (unchanged profile, empty TData, -1, 0).
namespace Algos {

// Replaces Y by its running median over `window` points (the upper middle
// value for an even window). The start is padded with Y[1..c] in ascending
// order, the end with Y[n-1], Y[n-2], ...; c = window / 2. Profiles with
// fewer points than the window, and windows below 1, are left as they are.
// O(n * window) with a small constant: a sorted window is updated per step.
void medianFilter(int window, TData &profile);

// {X, Y minus its local mean}: the mean over the points at most halfWidth
// behind and strictly less than halfWidth ahead (the point itself always
// counts). Expects non-decreasing X; an empty TData without two channels.
TData subtractMovingAverage(const TData &profile, double halfWidth);

// {x, Y linearly interpolated at x}, for a profile of exactly two channels of
// equal non-zero length; otherwise an empty TData. Queries are expected in
// ascending order. Before the first X the first segment is extended, after
// the last X the last Y holds; a segment of zero width gives its first Y.
TData interpolate(const TData &profile, const QVector<double> &x);

// The walk behind interpolate(), for callers that keep their points in other
// containers: n > 0 points, point i at (xAt(i), y[i]). The segment index only
// moves forward, so ascending queries cost linear time in all. Over
// non-decreasing X without a value that is not a number, the walk stands
// after a query q at the first point from 1 on whose X is at least q; a walk
// started there (`from`) goes on as the one that got there query by query.
template <typename XAt> class ForwardInterpolation {
public:
    ForwardInterpolation(XAt xAt, const double *y, int n, int from = 1)
        : m_xAt(xAt)
        , m_y(y)
        , m_n(n)
        , m_k(from)
    {
    }

    double at(double q)
    {
        while (m_k < m_n && q > m_xAt(m_k))
            ++m_k;
        if (m_k >= m_n)
            return m_y[m_n - 1];
        const double x0 = m_xAt(m_k - 1);
        const double width = m_xAt(m_k) - x0;
        return width == 0 ? m_y[m_k - 1] : m_y[m_k - 1] + (q - x0) / width * (m_y[m_k] - m_y[m_k - 1]);
    }

private:
    XAt m_xAt;
    const double *m_y;
    int m_n;
    int m_k;
};

// Runs of equal consecutive values climb evenly towards the next value; a run
// at the end keeps its value.
QVector<double> spreadEqualValues(const QVector<double> &x);

// The two-channel profile of the points with X0 + cut/2 <= X <= XL - cut/2,
// or the profile unchanged when that would leave nothing.
TData trimEdges(TData profile, double cut);

// Cut-off (micrometres) recommended for a measured Ra (micrometres) under the
// standard chosen in the settings; 0 for an unknown standard.
int recommendedCutoff(double ra);

QVector<double> rotateVector(double x, double y, double angleDegrees);
QPointF rotatePoint(float cx, float cy, float angleRadians, const QPointF &p);
double squaredDistance(double x1, double y1, double x2, double y2);
// Sum over the points of the distance to the nearest reference point.
double sumOfNearestDistances(const TData &reference, const TData &points);
void addToAll(QVector<double> &v, double delta);
bool isPowerOfTwo(int n);

} // namespace Algos
