// The two heavy computations of the circle and thread elements, both run
// synchronously in a mouse handler: the mean-diameter fit of a thread on its
// release, and the placement of a circle of given radius on every move.
#include "measurements/circlegeometry.h"
#include "measurements/threadfit.h"

#include "../tests/measurements/threadprofile.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

void dropDebugOutput(QtMsgType, const QMessageLogContext &, const QString &) { }

// A thread of 20 pitches of 1 mm, 0.5 mm high, narrow crests (so that the
// descent has to move the line off the least-squares one), slightly tilted.
void BM_ThreadFit(benchmark::State &state)
{
    const QtMessageHandler previous = qInstallMessageHandler(dropDebugOutput);
    ThreadProfile thread;
    thread.crest = 0.1;
    thread.groove = 0.3;
    thread.slope = 0.01;
    const auto data = thread.sample(20, int(state.range(0)));
    for (auto _ : state) {
        const Algos::RMS line = ThreadFit::fitLine(data.constData(), data.constData() + data.size());
        benchmark::DoNotOptimize(line.coefficients.constData());
    }
    qInstallMessageHandler(previous);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ThreadFit)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One mouse move of a circle of radius 1 laid into a selected segment: the
// least-squares start, the centre search and the vertical adjustment.
QVector<QCPCurveData> segmentPoints(int kind, int count)
{
    QVector<QCPCurveData> d;
    d.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double s = double(i) / (count - 1);
        double x, y;
        if (kind == 0) {
            // The bottom of a round groove of radius 1.5.
            const double a = (200 + 140 * s) * M_PI / 180;
            x = 1.5 * std::cos(a);
            y = 1.5 * std::sin(a);
        } else {
            // A 90-degree V-groove, 2 mm deep.
            x = -2 + 4 * s;
            y = std::abs(x);
        }
        d << QCPCurveData(i, x, y);
    }
    return d;
}

void BM_CircleOfGivenRadius(benchmark::State &state)
{
    const auto data = segmentPoints(int(state.range(1)), int(state.range(0)));
    for (auto _ : state) {
        const QPointF c = Geometry::restingCentre(data.constData(), data.constData() + data.size(), 1.0);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_CircleOfGivenRadius)
    ->ArgNames({ "points", "vgroove" })
    ->Args({ 10000, 0 })
    ->Args({ 10000, 1 })
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
