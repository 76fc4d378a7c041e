#include "measurements/deviationgeometry.h"

#include "algos/fitting.h"
#include "algos/gaussfilter.h"
#include "measurements/dxffit.h"
#include "traces/processors.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>
#include <numeric>
#include <vector>

namespace Deviation {

const QCPCurveData *curvePoint(quint64 index, const QCPCurve *curve)
{
    if (!curve)
        return nullptr;
    const auto data = curve->data();
    const quint64 size = quint64(data->size());
    return &*data->constBegin() + std::min(index, size);
}

bool lineResiduals(const QCPCurveData *first, const QCPCurveData *end, Profile *out)
{
    if (!first || !end || first >= end)
        return false;
    const Algos::RMS line(first, end);
    if (!line.isValid())
        return false;
    const double c0 = line.coefficient(0);
    const double c1 = line.coefficient(1);
    if (!std::isfinite(c0) || !std::isfinite(c1))
        return false;
    Profile p;
    const int n = int(end - first);
    p.keys.reserve(n);
    p.values.reserve(n);
    for (const QCPCurveData *it = first; it != end; ++it) {
        p.keys.append(it->key);
        p.values.append(it->value - (c0 + c1 * it->key));
    }
    *out = std::move(p);
    return true;
}

Profile radialDeviations(const QCPCurveData *first, const QCPCurveData *end, const QPointF &centre, double R)
{
    Profile p;
    if (!first || !end || first >= end)
        return p;
    const int n = int(end - first);
    p.keys.reserve(n);
    p.values.reserve(n);
    for (const QCPCurveData *it = first; it != end; ++it) {
        p.keys.append(it->key);
        p.values.append(R - std::hypot(it->key - centre.x(), it->value - centre.y()));
    }
    return p;
}

QVector<double> runningMedianByX(const QVector<double> &xs, const QVector<double> &values, double window)
{
    if (xs.isEmpty() || values.isEmpty() || xs.size() != values.size())
        return {};
    // An order-statistics tree over (value, index) keeps each step logarithmic
    // however many points the window holds.
    using Entry = std::pair<double, int>;
    __gnu_pbds::tree<Entry, __gnu_pbds::null_type, std::less<Entry>, __gnu_pbds::rb_tree_tag,
        __gnu_pbds::tree_order_statistics_node_update>
        inWindow;
    const int n = xs.size();
    QVector<double> out(n);
    int s = 0;
    for (int e = 0; e < n; ++e) {
        inWindow.insert({ values[e], e });
        while (s < e && xs[e] - xs[s] > window) {
            inWindow.erase({ values[s], s });
            ++s;
        }
        out[e] = inWindow.find_by_order(inWindow.size() / 2)->first;
    }
    return out;
}

Profile mergeSegmentsByX(const QVector<const QCPCurveData *> &starts, const QVector<const QCPCurveData *> &ends,
    const QPointF &centre, double R)
{
    Profile p;
    mergeSegmentsByX(starts, ends, centre, R, p);
    return p;
}

void mergeSegmentsByX(const QVector<const QCPCurveData *> &starts, const QVector<const QCPCurveData *> &ends,
    const QPointF &centre, double R, Profile &p)
{
    struct Point {
        double key;
        double deviation;
    };
    std::vector<Point> points;
    const int ranges = std::min(starts.size(), ends.size());
    auto add = [&](const QCPCurveData *first, const QCPCurveData *end) {
        if (!first || !end)
            return;
        for (const QCPCurveData *it = first; it < end; ++it)
            points.push_back({ it->key, R - std::hypot(it->key - centre.x(), it->value - centre.y()) });
    };
    const QCPCurveData *leftmost = nullptr;
    const QCPCurveData *rightmost = nullptr;
    int total = 0;
    for (int i = 0; i < ranges; ++i)
        total += starts[i] && ends[i] && ends[i] > starts[i] ? int(ends[i] - starts[i]) : 0;
    for (int i = 0; i < ranges; ++i) {
        if (starts[i] && (!leftmost || starts[i]->key < leftmost->key))
            leftmost = starts[i];
        // The end is one past the last point: compare the key of that last point.
        if (ends[i] && starts[i] && ends[i] > starts[i] && (!rightmost || (ends[i] - 1)->key > (rightmost - 1)->key))
            rightmost = ends[i];
    }
    // Where the keys rise strictly along the whole span and every range lies
    // inside it, each range point is also a span point (the same point, so
    // the same deviation) and no key repeats: the merge is the span itself.
    if (leftmost && rightmost && leftmost < rightmost) {
        bool inside = true;
        for (int i = 0; i < ranges && inside; ++i) {
            if (starts[i] && ends[i] && ends[i] > starts[i])
                inside = starts[i] >= leftmost && ends[i] <= rightmost;
        }
        for (const QCPCurveData *it = leftmost + 1; inside && it < rightmost; ++it)
            inside = (it - 1)->key < it->key;
        if (inside) {
            const int n = int(rightmost - leftmost);
            p.keys.resize(n);
            p.values.resize(n);
            double *keys = p.keys.data();
            double *values = p.values.data();
            for (int i = 0; i < n; ++i) {
                const QCPCurveData *it = leftmost + i;
                keys[i] = it->key;
                values[i] = R - std::hypot(it->key - centre.x(), it->value - centre.y());
            }
            return;
        }
    }

    // Room for every point at once: a long curve's points would otherwise be
    // moved again at each growth of the list.
    points.reserve(size_t(total) + (leftmost && rightmost && rightmost > leftmost ? size_t(rightmost - leftmost) : 0));
    for (int i = 0; i < ranges; ++i)
        add(starts[i], ends[i]);
    add(leftmost, rightmost);
    // Each key once, the first occurrence kept: a stable sort keeps the order
    // of appending among equal keys. The points arrive as a few runs along
    // the curve (each range, then the whole span), so they are sorted by
    // merging those runs: a run of keys that never fall is taken as it is, a
    // run of strictly falling keys (no two equal, so no order among equals to
    // keep) reversed; neighbouring runs are merged, the earlier one first
    // among equal keys, until one is left.
    const auto byKey = [](const Point &a, const Point &b) { return a.key < b.key; };
    const int count = int(points.size());
    QVector<int> runStarts;
    for (int i = 0; i < count;) {
        int j = i + 1;
        if (j < count && points[j].key < points[i].key) {
            while (j < count && points[j].key < points[j - 1].key)
                ++j;
            std::reverse(points.begin() + i, points.begin() + j);
        } else {
            while (j < count && !(points[j].key < points[j - 1].key))
                ++j;
        }
        runStarts.append(i);
        i = j;
    }
    // Keys that are not numbers have no order at all: they are left to the
    // general sort as before.
    const bool numbers = std::none_of(points.cbegin(), points.cend(), [](const Point &pt) { return std::isnan(pt.key); });
    if (!numbers || runStarts.size() > 64) {
        std::stable_sort(points.begin(), points.end(), byKey);
    } else {
        while (runStarts.size() > 1) {
            QVector<int> merged;
            for (int r = 0; r < runStarts.size(); r += 2) {
                merged.append(runStarts[r]);
                if (r + 1 < runStarts.size()) {
                    const int end = r + 2 < runStarts.size() ? runStarts[r + 2] : count;
                    std::inplace_merge(
                        points.begin() + runStarts[r], points.begin() + runStarts[r + 1], points.begin() + end, byKey);
                }
            }
            runStarts = merged;
        }
    }
    p.keys.resize(count);
    p.values.resize(count);
    double *keys = p.keys.data();
    double *values = p.values.data();
    int kept = 0;
    for (const Point &pt : points) {
        if (kept > 0 && keys[kept - 1] == pt.key)
            continue;
        keys[kept] = pt.key;
        values[kept] = pt.deviation;
        ++kept;
    }
    p.keys.resize(kept);
    p.values.resize(kept);
}

Profile drawingDistances(const DxfDrawing &drawing, const QCPCurveData *first, const QCPCurveData *end)
{
    Profile p;
    if (!first || !end || first >= end || drawing.isEmpty())
        return p;
    const int n = int(end - first);
    p.keys.reserve(n);
    p.values.reserve(n);
    DrawingDistance distance(drawing);
    for (const QCPCurveData *it = first; it != end; ++it) {
        const double d = distance(it->key, it->value);
        if (!(d < kNoDrawingDistance))
            return {};
        p.keys.append(it->key);
        p.values.append(d);
    }
    return p;
}

std::pair<double, double> valueRange(const QVector<double> &values)
{
    if (values.isEmpty())
        return { 0, 0 };
    const auto mm = std::minmax_element(values.begin(), values.end());
    return { *mm.first, *mm.second };
}

PolarPoints polarGraphPoints(const QCPCurveData *first, const QCPCurveData *end, const QVector<double> &deviations,
    const QPointF &centre, double R, double h)
{
    PolarPoints out;
    const auto range = valueRange(deviations);
    out.lo = range.first;
    out.hi = range.second;
    if (!first || !end || first >= end)
        return out;
    const int n = std::min(int(end - first), deviations.size());
    out.xs.reserve(n);
    out.ys.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QCPCurveData &p = first[i];
        const double a = std::atan2(p.value - centre.y(), p.key - centre.x());
        const double f = out.lo < out.hi ? (deviations[i] - out.lo) / (out.hi - out.lo) : 0.0;
        const double rho = R + (1 - f) * h;
        out.xs.append(centre.x() + rho * std::cos(a));
        out.ys.append(centre.y() + rho * std::sin(a));
    }
    return out;
}

namespace {

struct CorrectionRow {
    double x;
    double k;
};

double interpolate(const CorrectionRow (&rows)[7], double v)
{
    if (v <= rows[0].x)
        return rows[0].k;
    if (v >= rows[6].x)
        return rows[6].k;
    for (int i = 0; i < 6; ++i) {
        if (rows[i].x <= v && v <= rows[i + 1].x)
            return rows[i].k + (v - rows[i].x) / (rows[i + 1].x - rows[i].x) * (rows[i + 1].k - rows[i].k);
    }
    return rows[6].k; // not reached for a finite v
}

const CorrectionRow kRaRows[7]
    = { { 0, 1 }, { 0.298, 1.02 }, { 1.08, 1 }, { 2.636, 1.094 }, { 4.19, 1.038 }, { 5.42, 0.917 }, { 10.12, 0.921 } };
const CorrectionRow kRzRows[7]
    = { { 0, 1 }, { 0.62, 1.02 }, { 2.31, 1 }, { 5.04, 1.094 }, { 9.7, 1.038 }, { 12.75, 0.917 }, { 24.09, 0.921 } };

double roundedTo4(double v)
{
    return std::round(v * 10000) / 10000;
}

} // namespace

double raCorrectionFactor(double v)
{
    return interpolate(kRaRows, v);
}

double rzCorrectionFactor(double v)
{
    return interpolate(kRzRows, v);
}

RoughnessResult contourRoughness(const TData &profile, const RoughnessParameter &parameter, const CutOffAdvice &advice)
{
    RoughnessResult r;
    if (profile.size() < 2 || profile[0].isEmpty() || profile[0].size() != profile[1].size())
        return r;
    r.length = profile[0].last() - profile[0].first();
    QVector<double> tried { r.cutOff };
    for (;;) {
        if (2 * r.cutOff > r.length)
            break;
        // Every pass filters the stretch as selected, so each cut-off is judged
        // on the same length.
        const TData filtered = Algos::gaussFilter(profile, r.cutOff, shortCutOff(r.cutOff));
        r.value = parameter(filtered, r.cutOff);
        ++r.passes;
        if (roundedTo4(r.value) == 0)
            break;
        const double next = advice(r.value);
        if (next <= 0 || next == r.cutOff || tried.contains(next))
            break;
        r.cutOff = next;
        tried.append(next);
    }
    return r;
}

} // namespace Deviation
