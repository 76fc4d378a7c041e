#include "benchsupport.h"

#include "traces/paramsmap.h"

#include <benchmark/benchmark.h>

// All 56 parameters with the roughness and waviness profiles already cached,
// as the trace holds them between evaluations.
static void BM_AllParamsCachedProfiles(benchmark::State &state)
{
    auto trace = BenchSupport::millionPointTrace();
    BenchSupport::enableAllParams();
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
    auto trace = BenchSupport::millionPointTrace();
    BenchSupport::enableAllParams();
    ExtraArgs args;
    for (auto _ : state) {
        trace->clearProfileCache();
        recalcAllParams(args, trace.get());
        benchmark::DoNotOptimize(trace->results);
    }
}
BENCHMARK(BM_AllParamsFreshProfiles)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
