#include "traces/contourtrace.h"

#include "algos/gaussfilter.h"
#include "algos/profileutils.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>

namespace {

constexpr int kContourChannels = 3;

// Values of channel at the points whose X lies within [lo, hi]. The Gaussian
// filter trims exactly the points outside the span of its result, so this
// picks the points it kept.
QVector<double> keptValues(const QVector<double> &x, const QVector<double> &channel, double lo, double hi)
{
    QVector<double> kept;
    const int n = std::min(x.size(), channel.size());
    kept.reserve(n);
    for (int i = 0; i < n; ++i) {
        if (x[i] >= lo && x[i] <= hi) {
            kept.append(channel[i]);
        }
    }
    return kept;
}

} // namespace

QVector<double> tipEnvelope(const QVector<double> &x, const QVector<double> &y, double r, bool lowerNeedle)
{
    QVector<double> result(x.size(), 0.0);
    const int n = std::min(x.size(), y.size());
    const double start = lowerNeedle ? std::numeric_limits<double>::max() : -std::numeric_limits<double>::max();
    const double r2 = r * r;
    std::deque<int> window;
    int next = 0;
    for (int k = 0; k < n; ++k) {
        const double xk = x[k];
        while (!window.empty() && x[window.front()] < xk - r) {
            window.pop_front();
        }
        while (next < n && x[next] <= xk + r) {
            window.push_back(next++);
        }
        double h = start;
        for (int m : window) {
            const double d = xk - x[m];
            const double q = r2 - d * d;
            if (q < 0) {
                continue; // farther than r: only where X does not ascend
            }
            const double v = lowerNeedle ? y[m] - std::sqrt(q) : y[m] + std::sqrt(q);
            h = lowerNeedle ? std::min(h, v) : std::max(h, v);
        }
        // Where X steps back the point's own term can be missing from the
        // window; the point then keeps that term rather than the sentinel.
        if (h == start) {
            h = lowerNeedle ? y[k] - std::abs(r) : y[k] + std::abs(r);
        }
        result[k] = h;
    }
    return result;
}

ContourTrace::ContourTrace()
    : AbstractTrace(kContourChannels)
{
}

ContourTrace::ContourTrace(const QVector<QVector<double>> &columns)
    : AbstractTrace(kContourChannels)
{
    clearPointProcessors();
    clearPostProcessors();
    if (columns.size() < kContourChannels) {
        return;
    }
    const int n = std::min({ columns[0].size(), columns[1].size(), columns[2].size() });
    for (int i = 0; i < n; ++i) {
        QVector<double> point { columns[0][i], columns[1][i], columns[2][i] };
        addPoint(point);
    }
}

ContourTrace::ContourTrace(const ContourTrace &other) = default;

AbstractTrace *ContourTrace::clone() const
{
    return new ContourTrace(*this);
}

bool ContourTrace::lowerNeedle() const
{
    return MovementSettings::needleFromValue(needle_pressing) == MovementSettings::DOWN;
}

double ContourTrace::tipRadius() const
{
    return lowerNeedle() ? tool_head_radius_down : tool_head_radius_up;
}

ContourSteps ContourSteps::fromSettings(const Settings &settings)
{
    return { settings.is_disabled_gauss_filter, settings.is_disabled_radius_elimination };
}

void ContourTrace::processData()
{
    processData(ContourSteps::fromSettings(Settings::instance()));
}

void ContourTrace::processData(const ContourSteps &steps)
{
    TData &data = *processedData;
    if (data.size() < kContourChannels || data[0].isEmpty() || data[1].isEmpty()) {
        return;
    }
    data[0] = Algos::spreadEqualValues(data[0]);

    if (steps.smoothing && measurement_mode == 0) {
        smoothGauss();
    }
    if (steps.tipRadiusElimination) {
        eliminateTipRadius();
    }
    if (!lowerNeedle()) {
        // Offsets are in units a thousand times those of X and Y. The data
        // is rebuilt from the raw points before every run, so they never add up.
        QVector<double> &x = data[0];
        QVector<double> &y = data[1];
        const int n = std::min(x.size(), y.size());
        for (int i = 0; i < n; ++i) {
            x[i] += needle_bias * 1000;
            y[i] += double_sided_probe_high * 1000;
        }
    }
}

void ContourTrace::smoothGauss()
{
    TData &data = *processedData;
    if (data.size() < 2 || data[0].isEmpty() || data[0].size() != data[1].size()) {
        return;
    }
    const double cut = std::min(20.0, tipRadius());
    const TData smoothed = Algos::gaussFilter(TData { data[0], data[1] }, std::numeric_limits<double>::max(), cut);
    if (smoothed.size() != 2 || smoothed[0].isEmpty()) {
        return;
    }
    if (smoothed[0].size() != data[0].size()) {
        // The filter trimmed the ends: the other channels lose the same points,
        // so every channel keeps the length of X.
        const double lo = *std::min_element(smoothed[0].cbegin(), smoothed[0].cend());
        const double hi = *std::max_element(smoothed[0].cbegin(), smoothed[0].cend());
        for (int c = 2; c < data.size(); ++c) {
            data[c] = keptValues(data[0], data[c], lo, hi);
        }
    }
    data[0] = smoothed[0];
    data[1] = smoothed[1];
}

void ContourTrace::eliminateTipRadius()
{
    TData &data = *processedData;
    if (data.size() < 2) {
        return;
    }
    const double r = tipRadius();
    if (!(r >= 0)) {
        return; // a negative or undefined radius describes no tip
    }
    data[1] = tipEnvelope(data[0], data[1], r, lowerNeedle());
}
