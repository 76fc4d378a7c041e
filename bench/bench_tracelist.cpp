#include "benchsupport.h"

#include "tracelist.h"

#include <benchmark/benchmark.h>

namespace {

// A trace list holding one selected 1,000,000-point profile trace, with
// every parameter displayed.
struct SelectedTrace {
    TraceList list;
    ProfileTrace *trace = BenchSupport::millionPointTrace().release();

    SelectedTrace()
    {
        BenchSupport::enableAllParams();
        trace->setTraceType(PROFILE);
        list.addMainTrace(trace); // the list owns it from here
        list.selectTrace(trace->id);
        list.recalcParams();
    }
};

} // namespace

// Refreshing the selected trace: both profiles filtered afresh, all 56
// parameters evaluated and the table refilled.
static void BM_RecalcSelectedMillionPointTrace(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    SelectedTrace fixture;
    for (auto _ : state) {
        fixture.list.recalcParams();
        benchmark::DoNotOptimize(fixture.trace->results);
    }
}
BENCHMARK(BM_RecalcSelectedMillionPointTrace)->Unit(benchmark::kMillisecond);

// Refilling the parameter table from the results already computed.
static void BM_ShowTraceParams(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    SelectedTrace fixture;
    for (auto _ : state)
        fixture.list.showTraceParams(fixture.trace->id);
}
BENCHMARK(BM_ShowTraceParams)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
