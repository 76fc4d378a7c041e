#include "settings/common.h"
#include "settings/settings.h"
#include "traces/paramsmap.h"
#include "traces/profiletrace.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

// A 1,000,000-point profile trace, 0.1 µm apart (100 mm), cut-off 800 µm.
std::unique_ptr<ProfileTrace> millionPointTrace()
{
    auto trace = std::make_unique<ProfileTrace>();
    trace->cutOff = 800;
    unsigned state = 1;
    for (int i = 0; i < 1000000; ++i) {
        const double x = i * 0.1;
        state = state * 1664525u + 1013904223u;
        const double noise = (state >> 8) / double(1 << 24) - 0.5;
        QVector<double> point { x,
            0.8 * std::sin(x / 14.3) + 0.3 * std::sin(x / 5.9 + 1) + 5 * std::sin(x / 477.0) + 0.2 * noise };
        trace->addPoint(point);
    }
    return trace;
}

void enableAllParams()
{
    Settings::instance().preferenses.enabled_params = kParamIndexNames;
    Settings::instance().preferenses.enabled_params_count = kParamIndexNames.size();
}

} // namespace

// All 56 parameters with the roughness and waviness profiles already cached,
// as the trace holds them between evaluations.
static void BM_AllParamsCachedProfiles(benchmark::State &state)
{
    auto trace = millionPointTrace();
    enableAllParams();
    for (int type : { ROUGHNESS_PROFILE, WAVINESS_PROFILE, PRIMARY_PROFILE })
        trace->profile(trace->cutOff, type);
    ExtraArgs args;
    for (auto _ : state) {
        recalcAllParams(args, trace.get());
        benchmark::DoNotOptimize(trace->results);
    }
}
BENCHMARK(BM_AllParamsCachedProfiles)->Unit(benchmark::kMillisecond);

// The same after the cache was cleared: the two filter runs included.
static void BM_AllParamsFreshProfiles(benchmark::State &state)
{
    auto trace = millionPointTrace();
    enableAllParams();
    ExtraArgs args;
    for (auto _ : state) {
        trace->clearProfileCache();
        recalcAllParams(args, trace.get());
        benchmark::DoNotOptimize(trace->results);
    }
}
BENCHMARK(BM_AllParamsFreshProfiles)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
