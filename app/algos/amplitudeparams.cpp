#include "algos/amplitudeparams.h"

#include "algos/profilespan.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace Algos {

using detail::ProfileSpan;
using detail::SamplingLengths;

namespace {

// Sums of the powers of the deviations over all sampling lengths.
struct Moments {
    long long n = 0;
    double s1 = 0.0; // Σ|z|
    double s2 = 0.0;
    double s3 = 0.0;
    double s4 = 0.0;
    double scale = 0.0; // largest |Y|, the size of the rounding in z
    double rq() const { return n > 0 ? std::sqrt(s2 / n) : 0.0; }
    // The shape factors divide by powers of Rq: a profile whose deviations are
    // only rounding noise (flat, or an exact straight line) has none.
    bool hasShape() const { return rq() > 1e-12 * scale; }
};

Moments moments(const TData &profile, double l)
{
    Moments m;
    QVector<double> z;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        detail::deviations(span, z);
        for (double v : qAsConst(z)) {
            const double v2 = v * v;
            m.s1 += std::abs(v);
            m.s2 += v2;
            m.s3 += v2 * v;
            m.s4 += v2 * v2;
        }
        m.n += z.size();
        for (int i = 0; i < span.size; ++i)
            m.scale = std::max(m.scale, std::abs(span.y[i]));
    }
    return m;
}

// Mean over the sampling lengths of one value per sampling length. `value`
// returns false for a sampling length it cannot evaluate, which then leaves
// the divisor too.
template <typename PerSpan> double meanOverSamplingLengths(const TData &profile, double l, PerSpan value)
{
    QVector<double> z;
    double sum = 0.0;
    int used = 0;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        double v = 0.0;
        if (value(span, z, v)) {
            sum += v;
            ++used;
        }
    }
    return used > 0 ? sum / used : 0.0;
}

// Mean of the k largest (descending) or k smallest values; k <= z.size().
double meanOfExtremes(const QVector<double> &z, int k, bool largest)
{
    std::vector<double> picked(k);
    if (largest)
        std::partial_sort_copy(z.cbegin(), z.cend(), picked.begin(), picked.end(), std::greater<double>());
    else
        std::partial_sort_copy(z.cbegin(), z.cend(), picked.begin(), picked.end());
    double sum = 0.0;
    for (double v : picked)
        sum += v;
    return sum / k;
}

// The k-th largest (descending) or k-th smallest value, k counted from 1.
double kthExtreme(const QVector<double> &z, int k, bool largest)
{
    std::vector<double> picked(k);
    if (largest)
        std::partial_sort_copy(z.cbegin(), z.cend(), picked.begin(), picked.end(), std::greater<double>());
    else
        std::partial_sort_copy(z.cbegin(), z.cend(), picked.begin(), picked.end());
    return picked[k - 1];
}

} // namespace

double Ra(TData profile, double l)
{
    const Moments m = moments(profile, l);
    return m.n > 0 ? m.s1 / m.n : 0.0;
}

double Rq(TData profile, double l)
{
    return moments(profile, l).rq();
}

double Rsk(TData profile, double l)
{
    const Moments m = moments(profile, l);
    const double rq = m.rq();
    return m.hasShape() ? (m.s3 / m.n) / (rq * rq * rq) : 0.0;
}

double Rku(TData profile, double l)
{
    const Moments m = moments(profile, l);
    const double rq = m.rq();
    return m.hasShape() ? (m.s4 / m.n) / (rq * rq * rq * rq) : 0.0;
}

double Rmax(TData profile, double l)
{
    return meanOverSamplingLengths(profile, l, [](const ProfileSpan &span, QVector<double> &, double &v) {
        const auto range = std::minmax_element(span.y, span.y + span.size);
        v = *range.second - *range.first;
        return true;
    });
}

double Rz(TData profile, double l)
{
    return meanOverSamplingLengths(profile, l, [](const ProfileSpan &span, QVector<double> &z, double &v) {
        detail::deviations(span, z);
        const auto range = std::minmax_element(z.cbegin(), z.cend());
        v = *range.second - *range.first;
        return true;
    });
}

double Rm(TData profile, double l)
{
    return Rz(profile, l);
}

double Rp(TData profile, double l)
{
    return meanOverSamplingLengths(profile, l, [](const ProfileSpan &span, QVector<double> &z, double &v) {
        detail::deviations(span, z);
        v = *std::max_element(z.cbegin(), z.cend());
        return true;
    });
}

double Rv(TData profile, double l)
{
    return meanOverSamplingLengths(profile, l, [](const ProfileSpan &span, QVector<double> &z, double &v) {
        detail::deviations(span, z);
        v = std::abs(*std::min_element(z.cbegin(), z.cend()));
        return true;
    });
}

double R3z(TData profile, double l)
{
    return meanOverSamplingLengths(profile, l, [](const ProfileSpan &span, QVector<double> &z, double &v) {
        if (span.size < 3)
            return false;
        detail::deviations(span, z);
        v = kthExtreme(z, 3, true) - kthExtreme(z, 3, false);
        return true;
    });
}

double Rz10(TData profile, double l)
{
    return meanOverSamplingLengths(profile, l, [](const ProfileSpan &span, QVector<double> &z, double &v) {
        if (span.size < 10)
            return false;
        detail::deviations(span, z);
        v = meanOfExtremes(z, 5, true) - meanOfExtremes(z, 5, false);
        return true;
    });
}

double Rt(TData profile)
{
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size == 0)
        return 0.0;
    QVector<double> z;
    detail::deviations(all, z);
    const auto range = std::minmax_element(z.cbegin(), z.cend());
    return *range.second - *range.first;
}

} // namespace Algos
