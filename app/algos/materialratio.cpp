#include "algos/materialratio.h"

#include "algos/inchunks.h"
#include "algos/profilespan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace Algos {

using detail::ProfileSpan;
using detail::SamplingLengths;

namespace {

constexpr int kCurveLevels = 100;
constexpr double kCoreWindow = 40.0; // percent of material ratio

double spanMaterialLength(const ProfileSpan &span, double level)
{
    double length = 0.0, start = 0.0;
    bool inside = false;
    for (int i = 0; i < span.size; ++i) {
        const double y = span.y[i];
        if (y > level) {
            if (!inside)
                start = span.x[i];
            inside = true;
        } else if (y < level && inside) {
            length += span.x[i] - start;
            inside = false;
        }
    }
    return length;
}

// Number of points of a curve (shorter of its two channels).
int curveSize(const TData &curve)
{
    return curve.size() < 2 ? 0 : std::min(curve[0].size(), curve[1].size());
}

// Integral over Mr 0 … 100 of max(sign * (h(Mr) - height), 0), where h runs
// linearly between the curve points and stays at the first and last heights
// before the first and after the last point.
double clippedArea(const TData &curve, double height, double sign)
{
    const int n = curveSize(curve);
    const double *mr = curve[0].constData();
    const double *h = curve[1].constData();
    auto segment = [&](double a, double ha, double b, double hb) {
        const double da = sign * (ha - height), db = sign * (hb - height);
        const double width = b - a;
        if (!(width > 0.0) || (da <= 0.0 && db <= 0.0))
            return 0.0;
        if (da >= 0.0 && db >= 0.0)
            return width * (da + db) / 2;
        const double positive = std::max(da, db);
        return width * positive / (positive - std::min(da, db)) * positive / 2;
    };
    double area = segment(0.0, h[0], mr[0], h[0]);
    for (int i = 1; i < n; ++i)
        area += segment(mr[i - 1], h[i - 1], mr[i], h[i]);
    area += segment(mr[n - 1], h[n - 1], 100.0, h[n - 1]);
    return area;
}

// Material ratio where the descending curve first reaches `height`,
// interpolated between the curve points: 0 when the curve starts at or below
// it, 100 when it never comes down to it.
double crossingRatio(const TData &curve, double height)
{
    const int n = curveSize(curve);
    const double *mr = curve[0].constData();
    const double *h = curve[1].constData();
    int k = 0;
    while (k < n && h[k] > height)
        ++k;
    if (k == 0)
        return 0.0;
    if (k == n)
        return 100.0;
    return mr[k - 1] + (h[k - 1] - height) / (h[k - 1] - h[k]) * (mr[k] - mr[k - 1]);
}

// Points counted by each window of the amplitude density, from the heights
// sorted ascending.
int countBetween(const std::vector<double> &sorted, double lo, double hi)
{
    const auto first = std::lower_bound(sorted.cbegin(), sorted.cend(), lo);
    const auto last = std::upper_bound(first, sorted.cend(), hi);
    return static_cast<int>(last - first);
}

// Sorts from the highest value down. Without a value that is not a number the
// order is the one std::sort with std::greater gives (equal values cannot be
// told apart); it is found by a radix sort of the values' bit patterns, which
// takes a few passes over the values instead of n log n comparisons.
void sortDescending(QVector<double> &values, QVector<double> &scratch)
{
    const int n = values.size();
    bool numbers = true;
    for (double v : qAsConst(values))
        numbers &= !std::isnan(v);
    if (!numbers || n < 4096) {
        std::sort(values.begin(), values.end(), std::greater<double>());
        return;
    }
    // A key that ascends as the value descends: the bit pattern with the
    // sign folded in (negative values reversed), then inverted. The keys take
    // the values' own storage and scratch's (at least as large) in turn.
    scratch.resize(std::max(scratch.size(), n));
    static_assert(sizeof(quint64) == sizeof(double), "IEEE double expected");
    quint64 *keys = reinterpret_cast<quint64 *>(values.data());
    quint64 *other = reinterpret_cast<quint64 *>(scratch.data());
    for (int i = 0; i < n; ++i) {
        quint64 bits;
        std::memcpy(&bits, &keys[i], sizeof bits);
        bits = (bits >> 63) ? ~bits : (bits | (quint64(1) << 63));
        keys[i] = ~bits;
    }
    constexpr int kDigitBits = 11;
    constexpr int kBuckets = 1 << kDigitBits;
    std::vector<int> count(kBuckets + 1);
    for (int shift = 0; shift < 64; shift += kDigitBits) {
        std::fill(count.begin(), count.end(), 0);
        for (int i = 0; i < n; ++i)
            ++count[((keys[i] >> shift) & (kBuckets - 1)) + 1];
        // A digit that every key shares moves nothing.
        if (count[((keys[0] >> shift) & (kBuckets - 1)) + 1] == n)
            continue;
        for (int b = 0; b < kBuckets; ++b)
            count[b + 1] += count[b];
        for (int i = 0; i < n; ++i)
            other[count[(keys[i] >> shift) & (kBuckets - 1)]++] = keys[i];
        std::swap(keys, other);
    }
    double *out = values.data();
    for (int i = 0; i < n; ++i) {
        quint64 bits = ~keys[i];
        bits = (bits >> 63) ? (bits & ~(quint64(1) << 63)) : ~bits;
        std::memcpy(&out[i], &bits, sizeof bits);
    }
}

bool twoEqualChannels(const TData &data)
{
    return data.size() >= 2 && data[0].size() == data[1].size() && data[0].size() > 1;
}

} // namespace

double materialLength(const TData &profile, double level)
{
    const ProfileSpan all = detail::wholeProfile(profile);
    return all.size < 2 ? 0.0 : spanMaterialLength(all, level);
}

double etaP(TData profile, double l, double level)
{
    const SamplingLengths parts(profile, l);
    if (parts.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (const ProfileSpan &span : parts.spans()) {
        if (span.size > 2)
            sum += spanMaterialLength(span, level);
    }
    return sum / parts.count();
}

double tp(TData profile, double l, double level)
{
    double sum = 0.0;
    int used = 0;
    const SamplingLengths parts(profile, l);
    for (const ProfileSpan &span : parts.spans()) {
        if (span.size > 2) {
            if (!(span.extent() > 0.0))
                continue;
            sum += spanMaterialLength(span, level) / span.extent();
        }
        ++used;
    }
    return used > 0 ? sum / used * 100 : 0.0;
}

TData materialRatioCurve(const TData &profile)
{
    TData curve(2);
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size == 0)
        return curve;
    const auto range = std::minmax_element(all.y, all.y + all.size);
    const double low = *range.first, high = *range.second;
    if (!(high > low))
        return curve;
    const double step = (high - low) / kCurveLevels;
    auto levelAt = [&](int i) { return low + step * i; };

    // Each point counts at every level at or below it: find its highest such
    // level by division, corrected against the levels themselves so that a
    // point lying exactly on a level is counted there.
    QVector<int> highest(kCurveLevels, 0);
    for (int i = 0; i < all.size; ++i) {
        const double y = all.y[i];
        int b = std::clamp(static_cast<int>((y - low) / step), 0, kCurveLevels - 1);
        while (b + 1 < kCurveLevels && y >= levelAt(b + 1))
            ++b;
        while (b > 0 && y < levelAt(b))
            --b;
        ++highest[b];
    }
    QVector<int> count(kCurveLevels);
    int running = 0;
    for (int i = kCurveLevels - 1; i >= 0; --i) {
        running += highest[i];
        count[i] = running;
    }
    const double reference = count[0];
    curve[0].reserve(kCurveLevels);
    curve[1].reserve(kCurveLevels);
    for (int i = kCurveLevels - 1; i >= 0; --i) {
        curve[0].append(count[i] / reference * 100);
        curve[1].append(levelAt(i));
    }
    return curve;
}

TData heightMaterialRatioCurve(const TData &profile)
{
    TData curve(2);
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size == 0)
        return curve;
    // Every parameter evaluation of a trace asks for the curve of the same
    // roughness profile: it is sorted once. The remembered heights are held
    // (shared), so heights with the same data pointer and count are the very
    // same values.
    thread_local QVector<double> lastHeights;
    thread_local int lastCount = 0;
    thread_local TData lastCurve;
    if (profile[1].constData() == lastHeights.constData() && all.size == lastCount)
        return lastCurve;

    QVector<double> heights(all.y, all.y + all.size);
    // The ratio channel's storage serves the sort first.
    QVector<double> ratio;
    sortDescending(heights, ratio);
    if (heights.first() > heights.last()) {
        ratio.resize(all.size);
        for (int i = 0; i < all.size; ++i)
            ratio[i] = (i + 0.5) / all.size * 100;
        curve[0] = ratio;
        curve[1] = heights;
    }
    lastHeights = profile[1];
    lastCount = all.size;
    lastCurve = curve;
    return curve;
}

namespace {

RMS computeRkCoreLine(const TData &curve);

} // namespace

namespace {
thread_local TData lastCurve;
thread_local RMS lastLine;
} // namespace

void forgetCoreLine()
{
    lastCurve = TData();
    lastLine = RMS();
}

RMS rkCoreLine(const TData &curve)
{
    // Rk, Rpk, Rvk, Mr1 and Mr2 each ask for the core line of the same curve:
    // it is found once. The remembered channels are held (shared), so a curve
    // with the same data pointers and sizes is the very same values.
    const bool same = curve.size() >= 2 && lastCurve.size() >= 2 && curve[0].constData() == lastCurve[0].constData()
        && curve[1].constData() == lastCurve[1].constData() && curve[0].size() == lastCurve[0].size()
        && curve[1].size() == lastCurve[1].size() && curveSize(curve) > 0;
    if (!same) {
        lastLine = computeRkCoreLine(curve);
        lastCurve = curve;
    }
    return lastLine;
}

namespace {

RMS computeRkCoreLine(const TData &curve)
{
    const int n = curveSize(curve);
    if (n < 2)
        return RMS();
    const double *mr = curve[0].constData();
    const double *h = curve[1].constData();

    // The least steep secant spanning 40 % of material ratio; the end index
    // only moves forward, so the search is linear.
    int first = -1, last = -1;
    double best = 0.0;
    int j = 0;
    for (int i = 0; i < n; ++i) {
        j = std::max(j, i);
        while (j < n && mr[j] - mr[i] < kCoreWindow)
            ++j;
        if (j == n)
            break;
        const double gradient = (h[i] - h[j]) / (mr[j] - mr[i]);
        if (first < 0 || gradient < best) {
            best = gradient;
            first = i;
            last = j;
        }
    }
    if (first < 0)
        return RMS();

    // Least-squares line over the window, about its centre.
    const int m = last - first + 1;
    double mx = 0.0, my = 0.0;
    for (int i = first; i <= last; ++i) {
        mx += mr[i];
        my += h[i];
    }
    mx /= m;
    my /= m;
    double sxx = 0.0, sxy = 0.0;
    for (int i = first; i <= last; ++i) {
        sxx += (mr[i] - mx) * (mr[i] - mx);
        sxy += (mr[i] - mx) * (h[i] - my);
    }
    const double slope = sxx > 0.0 ? sxy / sxx : 0.0;
    return RMS(QVector<double> { my - slope * mx, slope });
}

} // namespace

double Rk(const TData &curve)
{
    const RMS c = rkCoreLine(curve);
    return c.isValid() ? c.value(0.0) - c.value(100.0) : 0.0;
}

double Mr1(const TData &curve)
{
    const RMS c = rkCoreLine(curve);
    return c.isValid() ? crossingRatio(curve, c.value(0.0)) : 0.0;
}

double Mr2(const TData &curve)
{
    const RMS c = rkCoreLine(curve);
    return c.isValid() ? crossingRatio(curve, c.value(100.0)) : 0.0;
}

double Rpk(const TData &curve)
{
    const RMS c = rkCoreLine(curve);
    if (!c.isValid())
        return 0.0;
    const double mr1 = crossingRatio(curve, c.value(0.0));
    return mr1 > 0.0 ? 2 * clippedArea(curve, c.value(0.0), 1.0) / mr1 : 0.0;
}

double Rvk(const TData &curve)
{
    const RMS c = rkCoreLine(curve);
    if (!c.isValid())
        return 0.0;
    const double mr2 = crossingRatio(curve, c.value(100.0));
    return mr2 < 100.0 ? 2 * clippedArea(curve, c.value(100.0), -1.0) / (100.0 - mr2) : 0.0;
}

double Dp(const TData &histogram, double level)
{
    if (!twoEqualChannels(histogram))
        return 0.0;
    for (int i = 0; i < histogram[0].size(); ++i) {
        if (histogram[0][i] > level)
            return histogram[1][i];
    }
    return 0.0;
}

namespace {

// Heights of fewer items than this are counted on the calling thread alone.
constexpr int kMinChunk = 1 << 16;

// Every window of the amplitude density runs from one level to another of the
// 101 levels minLevel + k % of the range, bounds included: the points in
// [lo, hi] are those at or below hi less those below lo.
constexpr int kDensityLevels = 101;

// For every level, how many heights lie below it and how many at or below
// it (each count kept at the index of the first level above, or at or above,
// the height); counting stops at a height that is not a number.
struct LevelCounts {
    int below[kDensityLevels + 1] = {};
    int atOrBelow[kDensityLevels + 1] = {};
    bool counted = true;

    void add(double y, const double *level, double minLevel, double range)
    {
        if (std::isnan(y))
            counted = false;
        if (!counted)
            return;
        // The first level above y and the first level at or above it,
        // guessed by division and settled against the levels themselves.
        int k = range > 0 ? static_cast<int>(std::clamp((y - minLevel) / range * 100, -1.0, 101.0)) : 0;
        k = std::clamp(k, 0, kDensityLevels);
        while (k > 0 && level[k - 1] > y)
            --k;
        while (k < kDensityLevels && level[k] <= y)
            ++k;
        ++below[k];
        int j = k;
        while (j > 0 && level[j - 1] >= y)
            --j;
        ++atOrBelow[j];
    }

    void add(const LevelCounts &other)
    {
        counted = counted && other.counted;
        for (int k = 0; k <= kDensityLevels; ++k) {
            below[k] += other.below[k];
            atOrBelow[k] += other.atOrBelow[k];
        }
    }
};

// The amplitude-density curve of `points` heights, which visit(first, last, f)
// hands to f one by one for the items first … last-1 of `items`. The counts
// are whole numbers, so the items are counted in chunks on several threads
// and added up with the same result.
template <typename Visit>
TData densityOfHeights(Visit visit, int items, int points, int density, double minLevel, double maxLevel)
{
    const double range = maxLevel - minLevel;
    double level[kDensityLevels];
    for (int k = 0; k < kDensityLevels; ++k)
        level[k] = minLevel + k / 100.0 * range;
    LevelCounts counts;
    counts.counted = range >= 0;
    for (int k = 1; counts.counted && k < kDensityLevels; ++k)
        counts.counted = level[k] >= level[k - 1];
    if (counts.counted) {
        std::vector<LevelCounts> parts(size_t(chunkCount(items, kMinChunk)));
        forEachChunk(items, int(parts.size()), [&](int chunk, int first, int last) {
            LevelCounts &part = parts[size_t(chunk)];
            visit(first, last, [&](double y) { part.add(y, level, minLevel, range); });
        });
        for (const LevelCounts &part : parts)
            counts.add(part);
    }
    // Heights that are not numbers (or levels out of order) have no counts
    // to rest on: the sorted heights are searched as they always were.
    std::vector<double> sorted;
    const bool counted = counts.counted;
    int *below = counts.below;
    int *atOrBelow = counts.atOrBelow;
    if (counted) {
        // Running totals: below[k] points lie below level k, atOrBelow[k] at
        // or below it.
        for (int k = 1; k <= kDensityLevels; ++k) {
            below[k] += below[k - 1];
            atOrBelow[k] += atOrBelow[k - 1];
        }
    } else {
        sorted.reserve(size_t(points));
        visit(0, items, [&](double y) { sorted.push_back(y); });
        std::sort(sorted.begin(), sorted.end());
    }
    const double total = points;
    auto count = [&](int f, int e, double lo, double hi) {
        if (!counted)
            return countBetween(sorted, lo, hi);
        return std::max(atOrBelow[e] - below[f], 0);
    };

    TData result(2);
    int f = 0, e = 1;
    for (;;) {
        const double lo = minLevel + f / 100.0 * range;
        const double hi = minLevel + e / 100.0 * range;
        result[0].append(lo + (hi - lo) * 0.5);
        result[1].append(count(f, e, lo, hi) / total * 100);
        const int nextF = (e - f > density || e == 100) ? f + 1 : f;
        if (e == 100 && nextF >= 100)
            break;
        if (e < 100)
            ++e;
        f = nextF;
    }
    return result;
}

} // namespace

TData amplitudeDensity(const TData &profile, int density, double minLevel, double maxLevel)
{
    if (!twoEqualChannels(profile))
        return TData();
    const double *y = profile[1].constData();
    return densityOfHeights(
        [y](int first, int last, auto &&f) {
            for (int i = first; i < last; ++i)
                f(y[i]);
        },
        profile[1].size(), profile[1].size(), density, minLevel, maxLevel);
}

TData amplitudeDensity(const TData &profile, int density)
{
    if (!twoEqualChannels(profile))
        return TData();
    const auto range = std::minmax_element(profile[1].cbegin(), profile[1].cend());
    return amplitudeDensity(profile, density, *range.first, *range.second);
}

TData amplitudeDensityInRect(const TData &profile, int density, const double xRange[2], const double yRange[2])
{
    if (!twoEqualChannels(profile))
        return TData();
    return amplitudeDensityInRect(
        profile[0].constData(), profile[1].constData(), profile[0].size(), 1, density, xRange, yRange);
}

TData amplitudeDensityInRect(const double *x, const double *y, int n, int stride, int density, const double xRange[2],
    const double yRange[2])
{
    if (n <= 1)
        return TData();
    // The points inside, the lowest and the highest of all heights (the
    // first of equal lowest and the last of equal highest, as
    // std::minmax_element keeps them), counted in chunks on several threads.
    struct Extent {
        int count = 0;
        double lowest = 0;
        double highest = 0;
        bool numbers = true;

        void take(double v)
        {
            if (v < lowest)
                lowest = v;
            if (!(v < highest))
                highest = v;
        }
    };
    const double xLow = xRange[0], xHigh = xRange[1], yLow = yRange[0], yHigh = yRange[1];
    std::vector<Extent> parts(size_t(chunkCount(n, kMinChunk)));
    forEachChunk(n, int(parts.size()), [&](int chunk, int first, int last) {
        Extent e;
        e.lowest = e.highest = y[qint64(first) * stride];
        for (int i = first; i < last; ++i) {
            const double px = x[qint64(i) * stride];
            const double v = y[qint64(i) * stride];
            e.count += (px > xLow && px < xHigh && v > yLow && v < yHigh) ? 1 : 0;
            e.numbers = e.numbers && !std::isnan(v);
            e.take(v);
        }
        parts[size_t(chunk)] = e;
    });
    // Chunk by chunk, the extremes combine as point by point when every
    // height is a number; a height that is not one is passed over by the
    // lowest but taken by the highest, so then all heights are walked again
    // in one run.
    Extent all = parts.front();
    for (size_t c = 1; c < parts.size(); ++c) {
        const Extent &e = parts[c];
        all.count += e.count;
        all.numbers = all.numbers && e.numbers;
        if (e.lowest < all.lowest)
            all.lowest = e.lowest;
        if (!(e.highest < all.highest))
            all.highest = e.highest;
    }
    if (!all.numbers) {
        all.lowest = all.highest = y[0];
        for (int i = 0; i < n; ++i)
            all.take(y[qint64(i) * stride]);
    }
    // Fewer than two points inside make no curve.
    if (all.count <= 1)
        return TData();
    // The points inside are visited where they lie, not copied out.
    return densityOfHeights(
        [=](int first, int last, auto &&f) {
            for (int i = first; i < last; ++i) {
                const double px = x[qint64(i) * stride];
                const double py = y[qint64(i) * stride];
                if (px > xLow && px < xHigh && py > yLow && py < yHigh)
                    f(py);
            }
        },
        n, all.count, density, std::max(yLow, all.lowest), std::min(yHigh, all.highest));
}

double fractionAboveLevel(TData profile, double level)
{
    const ProfileSpan all = detail::wholeProfile(profile);
    if (all.size < 2)
        return 0.0;
    const detail::MeanLine line = detail::meanLine(all);
    int above = 0;
    for (int i = 0; i < all.size; ++i) {
        if (all.y[i] - line.at(all.x[i]) > level)
            ++above;
    }
    return static_cast<double>(above) / all.size;
}

} // namespace Algos
