#include "algos/gaussfilter.h"

#include <QVector>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <limits>
#include <random>

namespace {

// A rough profile: two waves and noise, 0.5 µm sampling step.
TData roughProfile(int n)
{
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    QVector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = 0.5 * i;
        y[i] = 2.0 * std::sin(x[i] / 40.0) + 0.5 * std::sin(x[i] / 3.0) + noise(rng);
    }
    return TData { x, y };
}

void BM_RoughnessFilter(benchmark::State &state)
{
    const TData profile = roughProfile(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Algos::gaussFilter(profile, 800.0, 800.0 / 300.0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Smoothing(benchmark::State &state)
{
    const TData profile = roughProfile(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Algos::gaussFilter(profile, std::numeric_limits<double>::max(), 20.0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The bare complex transform, on a fresh copy of the signal each time so the
// values stay those of a profile.
void BM_Fft(benchmark::State &state)
{
    QVector<std::complex<double>> signal(int(state.range(0)));
    for (int i = 0; i < signal.size(); ++i) {
        signal[i] = std::sin(0.01 * i);
    }
    QVector<std::complex<double>> a(signal.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(signal.cbegin(), signal.cend(), a.begin());
        state.ResumeTiming();
        Algos::fft(a);
        benchmark::ClobberMemory();
    }
}

} // namespace

// 2^20 points are filtered on their own grid; 1,000,000 points are resampled
// to 2^20 first and interpolated back.
BENCHMARK(BM_RoughnessFilter)->Arg(1 << 20)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Smoothing)->Arg(1 << 20)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fft)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
