// The deviation and roughness kinds' calculations as they run on every mouse
// move: the deviation from a drawing, the deviation from a circle over two
// stretches, Ra on a contour with its whole cut-off loop.
#include "benchsupport.h"

#include "measurements/compareplanedxf.h"
#include "measurements/dxfdrawing.h"
#include "measurements/errormeasurement.h"
#include "measurements/radiusdisplacementerrormeasurement.h"
#include "measurements/roughnessmeasurement.h"
#include "plot/plotwidget.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

QCPCurve *addCurve(PlotWidget *plot, int n, const std::function<QPointF(int)> &at)
{
    QVector<double> xs(n), ys(n);
    for (int i = 0; i < n; ++i) {
        const QPointF p = at(i);
        xs[i] = p.x();
        ys[i] = p.y();
    }
    auto *curve = new QCPCurve(plot->xAxis, plot->yAxis);
    curve->setData(xs, ys);
    return curve;
}

// 100,000 points over 100 mm against a drawing of 25 lines and 25 arcs.
void BM_ErrorPlane(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    Settings::instance().axis_unit = 0;
    PlotWidget plot;
    QCPCurve *curve = addCurve(&plot, 100000, [](int i) {
        const double x = i * 0.001;
        return QPointF(x, 0.2 * std::sin(x / 3));
    });
    DxfDrawing &drawing = addPlotDrawing(&plot)->drawing;
    for (int i = 0; i < 25; ++i) {
        drawing.append(DxfType::line(), { i * 4.0, 0, i * 4.0 + 4, 0.1 });
        drawing.append(DxfType::circle(), { i * 4.0 + 2, 10, 9.9, 240, 300 });
    }
    ErrorPlane m(&plot);
    m.storeSegment(0, 100000, curve);
    for (auto _ : state) {
        m.calculate();
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}

// One circle through two arcs with a gap, each 5/13 of the curve (50,000
// points of 130,000); the deviations over the whole span. The argument is the
// curve's point count.
void BM_CircleDeviationOverTwoStretches(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    Settings::instance().axis_unit = 0;
    PlotWidget plot;
    const int n = int(state.range(0));
    QCPCurve *curve = addCurve(&plot, n, [n](int i) {
        const double a = (200 + 140.0 * i / (n - 1)) * M_PI / 180;
        const double r = 20 + 0.01 * std::cos(36 * a);
        return QPointF(20 + r * std::cos(a), 20 + r * std::sin(a));
    });
    const int stretch = int(qint64(n) * 5 / 13);
    RadiusDisplacementErrorMeasurementByTwoSegment m(&plot, 2);
    m.storeSegment(0, stretch, curve);
    m.addSegment();
    m.storeSegment(n - stretch, n, curve);
    for (auto _ : state) {
        m.calculate();
    }
    state.SetItemsProcessed(state.iterations() * 2 * stretch);
}

// Ra of a 100,000-point stretch, 1 µm apart, in mm, every pass of the loop.
void BM_ContourRa(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    Settings::instance().axis_unit = 0;
    Settings::instance().preferenses.standartisation_value = 1;
    PlotWidget plot;
    QCPCurve *curve = addCurve(&plot, 100000, [](int i) {
        const double x = i * 0.001;
        return QPointF(x, 0.0001 * std::sin(2 * M_PI * x / 0.05) + 0.00003 * std::sin(x * 97));
    });
    RAMeasurement m(&plot, {});
    m.storeSegment(0, 100000, curve);
    for (auto _ : state) {
        m.calculate();
    }
    state.counters["passes"] = m.lastResult().passes;
    state.SetItemsProcessed(state.iterations() * 100000);
}

} // namespace

BENCHMARK(BM_ErrorPlane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircleDeviationOverTwoStretches)->Arg(130000)->Arg(260000)->Arg(520000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContourRa)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
