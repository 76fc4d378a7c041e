#include "algos/circlefit.h"
#include "algos/fitting.h"
#include "algos/profileutils.h"

#include <qcustomplot.h>

#include <benchmark/benchmark.h>
#include <cmath>

// A rough profile of n points: X in micrometres, Y a mix of waves and
// pseudo-random noise, so the median windows are not already sorted.
static TData makeProfile(int n)
{
    QVector<double> x(n), y(n);
    quint32 seed = 12345;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        x[i] = 0.5 * i;
        y[i] = std::sin(i * 0.01) + 0.3 * std::sin(i * 0.37) + double(seed >> 8) / double(1u << 24);
    }
    return { x, y };
}

// Median filter with the default window (3) and the largest the window offers (50).
static void BM_MedianFilter(benchmark::State &state)
{
    const TData source = makeProfile(int(state.range(0)));
    const int window = int(state.range(1));
    for (auto _ : state) {
        TData data = source;
        Algos::medianFilter(window, data);
        benchmark::DoNotOptimize(data[1].constData());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_MedianFilter)->ArgsProduct({ { 10000, 100000, 1000000 }, { 3, 50 } })->Unit(benchmark::kMillisecond);

static void BM_LineFit(benchmark::State &state)
{
    const TData data = makeProfile(int(state.range(0)));
    for (auto _ : state) {
        Algos::RMS fit(data);
        benchmark::DoNotOptimize(fit.coefficients.constData());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LineFit)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();

// Re-interpolation onto a grid of the same size, as the Gaussian filter does.
static void BM_Interpolate(benchmark::State &state)
{
    const int n = int(state.range(0));
    const TData data = makeProfile(n);
    QVector<double> grid(n);
    for (int i = 0; i < n; ++i)
        grid[i] = 0.5 * i + 0.25;
    for (auto _ : state)
        benchmark::DoNotOptimize(Algos::interpolate(data, grid));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Interpolate)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();

static void BM_CircleFit(benchmark::State &state)
{
    const int n = int(state.range(0));
    QVector<QCPCurveData> points(n);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        points[i] = QCPCurveData(i, 3 + 2 * std::cos(a), -1 + 2 * std::sin(a) + 1e-4 * std::sin(37 * a));
    }
    double centre[2], radius;
    for (auto _ : state) {
        Algos::fitCircle(points.constData(), points.constData() + n, centre, &radius);
        benchmark::DoNotOptimize(radius);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CircleFit)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
