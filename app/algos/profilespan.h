#pragma once

#include "algos/tracetypes.h"

#include <QVector>

// Building blocks shared by the surface-texture formulas: views of profile
// stretches without copying the points, the least-squares mean line of a
// stretch, and the division of a profile into sampling lengths as views.
namespace Algos {
namespace detail {

// A read-only view of `size` consecutive points of a profile.
struct ProfileSpan {
    const double *x = nullptr;
    const double *y = nullptr;
    int size = 0;

    double firstX() const { return x[0]; }
    double lastX() const { return x[size - 1]; }
    double extent() const { return x[size - 1] - x[0]; }
};

// Straight line y = c0 + c1 * x.
struct MeanLine {
    double c0 = 0.0;
    double c1 = 0.0;
    double at(double xv) const { return c0 + c1 * xv; }
};

// Number of points the profile really holds: the shorter of channels 0 and 1,
// 0 when there are fewer than two channels.
int pointCount(const TData &profile);

// Last X minus first X, 0 without points.
double profileLength(const TData &profile);

// The whole profile as one view (size 0 without points).
ProfileSpan wholeProfile(const TData &profile);

// Least-squares line through the points of the view. Points that share one X
// (or a single point) give the horizontal line through their mean height, so a
// degenerate stretch has zero deviations rather than non-finite ones.
MeanLine meanLine(const ProfileSpan &span);

// Deviations from the view's own mean line, z[i] = y[i] - line(x[i]).
void deviations(const ProfileSpan &span, QVector<double> &z);

// The bounds [lo, hi] of the sampling lengths of a profile; empty when the
// profile holds no point or l is not a positive finite length.
QVector<QPair<double, double>> samplingIntervals(const TData &profile, double l);

// The sampling lengths of a profile as views, each holding at least one point
// (a sampling length without any point is left out). Where X ascends the views
// point into the profile itself; otherwise the points are copied into the
// object, which must outlive the views.
class SamplingLengths {
public:
    // No sampling length at all when the profile is shorter than l: every
    // parameter over sampling lengths is then 0.
    SamplingLengths(const TData &profile, double l);

    const QVector<ProfileSpan> &spans() const { return m_spans; }
    bool isEmpty() const { return m_spans.isEmpty(); }
    int count() const { return m_spans.size(); }

private:
    TData m_profile;
    QVector<TData> m_copies;
    QVector<ProfileSpan> m_spans;
};

// Lets go of the X vectors remembered as ascending (so that they are not held
// after their profiles are gone); a later division checks the order again.
void forgetAscendingX();

// Split by copying the points, whatever the order of X; one entry per
// interval, empty ones included.
QVector<TData> splitByInterval(const TData &profile, const QVector<QPair<double, double>> &intervals);

} // namespace detail
} // namespace Algos
