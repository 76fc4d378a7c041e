#include "algos/spacingparams.h"

#include "algos/amplitudeparams.h"
#include "algos/profilespan.h"

#include <cmath>

namespace Algos {

using detail::ProfileSpan;
using detail::SamplingLengths;

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDensityScale = 10000.0; // counts per 10000 µm

struct Elements {
    int count = 0;
    double widths = 0.0;
    double heights = 0.0;
};

// Scans one stretch for profile elements. An element starts at the first point
// below the mean line; it ends when the profile, having risen above the line,
// comes back to or below it. An ended element too narrow or too low is not
// counted and simply continues into the next one.
void scanElements(const double *x, const QVector<double> &z, double minWidth, double minHeight, Elements &out)
{
    const int m = z.size();
    int s = 0;
    while (s < m && !(z[s] < 0.0))
        ++s;
    if (s == m)
        return;
    double start = x[s], high = z[s], low = z[s], previousX = x[s];
    bool above = false;
    for (int k = s; k < m; ++k) {
        if (above && z[k] <= 0.0) {
            above = false;
            const double width = previousX - start;
            if (width > minWidth && high - low > minHeight) {
                ++out.count;
                out.widths += width;
                out.heights += high - low;
                start = x[k];
                high = low = z[k];
            }
        }
        if (!above)
            above = z[k] > 0.0;
        previousX = x[k];
        high = std::max(high, z[k]);
        low = std::min(low, z[k]);
    }
}

// Mean over the sampling lengths of the slope measure of the raw Y: the root
// mean square (squared = true) or the mean absolute value of dY/dX. Steps
// without X advance carry no slope and are left out.
double meanSlope(const TData &profile, double l, bool squared)
{
    double sum = 0.0;
    int used = 0;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        double acc = 0.0;
        int steps = 0;
        for (int j = 1; j < span.size; ++j) {
            const double dx = span.x[j] - span.x[j - 1];
            if (!(dx > 0.0))
                continue;
            const double slope = (span.y[j] - span.y[j - 1]) / dx;
            acc += squared ? slope * slope : std::abs(slope);
            ++steps;
        }
        if (steps == 0)
            continue;
        sum += squared ? std::sqrt(acc / steps) : acc / steps;
        ++used;
    }
    return used > 0 ? sum / used * kDegreesPerRadian : 0.0;
}

double polyline(const ProfileSpan &span)
{
    if (span.size <= 2)
        return 0.0;
    double length = 0.0;
    for (int i = 1; i < span.size; ++i)
        length += std::hypot(span.x[i] - span.x[i - 1], span.y[i] - span.y[i - 1]);
    return length;
}

// Mean developed length of the sampling lengths of more than one point,
// optionally per unit of each sampling length's extent.
double developedLength(const TData &profile, double l, bool perExtent)
{
    double sum = 0.0;
    int used = 0;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        if (span.size <= 1)
            continue;
        if (perExtent) {
            if (!(span.extent() > 0.0))
                continue;
            sum += polyline(span) / span.extent();
        } else {
            sum += polyline(span);
        }
        ++used;
    }
    return used > 0 ? sum / used : 0.0;
}

} // namespace

double RSm(TData profile, double l)
{
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size == 0)
        return 0.0;
    const double rz = Rz(profile, l);
    if (!(rz > 0.0))
        return 0.0;
    QVector<double> z;
    detail::deviations(all, z);
    Elements elements;
    scanElements(all.x, z, 0.01 * l, 0.1 * rz, elements);
    return elements.count > 0 ? elements.widths / elements.count : 0.0;
}

double Rc(TData profile, double l)
{
    const double rz = Rz(profile, l);
    if (!(rz > 0.0))
        return 0.0;
    QVector<double> z;
    Elements elements;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        detail::deviations(span, z);
        scanElements(span.x, z, 0.01 * l, 0.1 * rz, elements);
    }
    return elements.count > 0 ? elements.heights / elements.count : 0.0;
}

double RDeltaQ(TData profile, double l)
{
    return meanSlope(profile, l, true);
}

double RDeltaA(TData profile, double l)
{
    return meanSlope(profile, l, false);
}

double lambdaQ(TData profile, double l)
{
    const double q = Rq(profile, l);
    const double d = RDeltaQ(profile, l);
    return q != 0.0 && d != 0.0 ? q * kTwoPi / (d * kRadiansPerDegree) : 0.0;
}

double lambdaA(TData profile, double l)
{
    const double a = Ra(profile, l);
    const double d = RDeltaA(profile, l);
    return a != 0.0 && d != 0.0 ? a * kTwoPi / (d * kRadiansPerDegree) : 0.0;
}

double S(TData profile)
{
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size < 3)
        return 0.0;
    int peaks = 0;
    double first = 0.0, last = 0.0;
    for (int i = 1; i < all.size - 1; ++i) {
        if (all.y[i] > all.y[i - 1] && all.y[i] > all.y[i + 1]) {
            if (peaks == 0)
                first = all.x[i];
            last = all.x[i];
            ++peaks;
        }
    }
    return peaks >= 2 ? (last - first) / (peaks - 1) : 0.0;
}

double D(TData profile, double l)
{
    double sum = 0.0;
    int used = 0;
    QVector<double> z;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        if (!(span.extent() > 0.0))
            continue;
        detail::deviations(span, z);
        int s = 0;
        while (s < z.size() && !(z[s] < 0.0))
            ++s;
        int crossings = 0;
        bool above = false;
        for (int k = s; k < z.size(); ++k) {
            if (above && z[k] <= 0.0) {
                above = false;
                ++crossings;
            }
            if (!above)
                above = z[k] > 0.0;
        }
        sum += crossings / (span.extent() / kDensityScale);
        ++used;
    }
    return used > 0 ? sum / used : 0.0;
}

double polylineLength(const TData &profile)
{
    return polyline(detail::wholeProfile(profile));
}

double L0(TData profile, double l)
{
    return developedLength(profile, l, false);
}

double l0(TData profile, double l)
{
    return developedLength(profile, l, true);
}

double crossingDensity(TData profile, double level)
{
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size < 2 || !(all.extent() > 0.0))
        return 0.0;
    QVector<double> z;
    detail::deviations(all, z);
    int runs = 0;
    bool inside = false;
    for (double v : qAsConst(z)) {
        if (v > level && !inside) {
            inside = true;
            ++runs;
        } else if (v < level) {
            inside = false;
        }
    }
    return runs / all.extent() * kDensityScale;
}

} // namespace Algos
