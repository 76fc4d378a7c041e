#include "algos/profilespan.h"

#include <algorithm>
#include <cmath>

namespace Algos {
namespace detail {

int pointCount(const TData &profile)
{
    if (profile.size() < 2)
        return 0;
    return std::min(profile[0].size(), profile[1].size());
}

double profileLength(const TData &profile)
{
    const int n = pointCount(profile);
    return n > 0 ? profile[0][n - 1] - profile[0][0] : 0.0;
}

ProfileSpan wholeProfile(const TData &profile)
{
    ProfileSpan span;
    span.size = pointCount(profile);
    if (span.size > 0) {
        span.x = profile[0].constData();
        span.y = profile[1].constData();
    }
    return span;
}

MeanLine meanLine(const ProfileSpan &span)
{
    MeanLine line;
    if (span.size <= 0)
        return line;
    // Centred sums: the same least-squares line as the raw power sums, without
    // their cancellation on long traces far from the origin.
    double mx = 0.0, my = 0.0;
    for (int i = 0; i < span.size; ++i) {
        mx += span.x[i];
        my += span.y[i];
    }
    mx /= span.size;
    my /= span.size;
    double sxx = 0.0, sxy = 0.0;
    for (int i = 0; i < span.size; ++i) {
        const double dx = span.x[i] - mx;
        sxx += dx * dx;
        sxy += dx * (span.y[i] - my);
    }
    line.c1 = sxx > 0.0 ? sxy / sxx : 0.0;
    line.c0 = my - line.c1 * mx;
    return line;
}

void deviations(const ProfileSpan &span, QVector<double> &z)
{
    const MeanLine line = meanLine(span);
    z.resize(span.size);
    double *out = z.data();
    for (int i = 0; i < span.size; ++i)
        out[i] = span.y[i] - line.at(span.x[i]);
}

QVector<QPair<double, double>> samplingIntervals(const TData &profile, double l)
{
    QVector<QPair<double, double>> intervals;
    const int n = pointCount(profile);
    if (n == 0 || !std::isfinite(l) || l <= 0.0)
        return intervals;
    const double x0 = profile[0][0];
    const double xl = profile[0][n - 1];
    const double length = xl - x0;
    int f = static_cast<int>(std::floor(std::min(length / l, 6.0)));
    double gap = 0.0;
    if (f > 5) {
        f = 5;
        gap = (length - 5 * l) / 4;
    } else if (f > 1) {
        gap = (length - f * l) / (f - 1);
    } else {
        f = 1;
    }
    for (int k = 0; k < f; ++k) {
        const double lo = x0 + k * (l + gap);
        // With several sampling lengths the last one ends exactly on the last X,
        // whatever the rounding of the sum above.
        const double hi = (f > 1 && k == f - 1) ? xl : lo + l;
        intervals.append({ lo, hi });
    }
    return intervals;
}

QVector<TData> splitByInterval(const TData &profile, const QVector<QPair<double, double>> &intervals)
{
    QVector<TData> parts(intervals.size(), TData(2));
    const int n = pointCount(profile);
    const double *x = n > 0 ? profile[0].constData() : nullptr;
    const double *y = n > 0 ? profile[1].constData() : nullptr;
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < intervals.size(); ++k) {
            if (x[i] >= intervals[k].first && x[i] <= intervals[k].second) {
                parts[k][0].append(x[i]);
                parts[k][1].append(y[i]);
                break;
            }
        }
    }
    return parts;
}

namespace {

// Whether the first n values of x ascend. Every parameter of a trace divides
// the same few profiles into sampling lengths, so the answer is remembered
// for the last X vectors found ascending. A remembered vector is held (shared),
// so its values cannot change: whoever else holds it gets a copy of their own
// the moment they write to it, and a vector with the same data pointer is the
// very same values.
constexpr int kRemembered = 4;
thread_local QVector<double> remembered[kRemembered];
thread_local int next = 0;

bool ascends(const QVector<double> &x, int n)
{
    const double *data = x.constData();
    for (const QVector<double> &known : remembered) {
        if (known.constData() == data && n <= known.size())
            return true;
    }
    if (!std::is_sorted(data, data + n))
        return false;
    // A vector that is only partly checked is not remembered.
    if (n == x.size()) {
        remembered[next] = x;
        next = (next + 1) % kRemembered;
    }
    return true;
}

} // namespace

void forgetAscendingX()
{
    for (QVector<double> &known : remembered)
        known = QVector<double>();
}

SamplingLengths::SamplingLengths(const TData &profile, double l)
    : m_profile(profile)
{
    const int n = pointCount(m_profile);
    if (n == 0 || !std::isfinite(l) || l <= 0.0)
        return;
    if (profileLength(m_profile) < l)
        return;
    const QVector<QPair<double, double>> intervals = samplingIntervals(m_profile, l);
    const double *x = m_profile[0].constData();
    const double *y = m_profile[1].constData();

    if (ascends(m_profile[0], n)) {
        // Ascending X: every sampling length is a run of consecutive points,
        // found by binary search; a point on a shared bound stays with the
        // earlier sampling length.
        const double *from = x;
        for (const auto &iv : intervals) {
            const double *begin = std::max(from, std::lower_bound(x, x + n, iv.first));
            const double *end = std::max(begin, std::upper_bound(begin, x + n, iv.second));
            if (end > begin)
                m_spans.append({ begin, y + (begin - x), static_cast<int>(end - begin) });
            from = end;
        }
        return;
    }

    m_copies = splitByInterval(m_profile, intervals);
    for (const TData &part : qAsConst(m_copies)) {
        if (!part[0].isEmpty())
            m_spans.append({ part[0].constData(), part[1].constData(), part[0].size() });
    }
}

} // namespace detail
} // namespace Algos
