#include "benchsupport.h"

#include "plot/adaptivecurve.h"
#include "plot/plotwidget.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

// A profile-like trace: form, waviness and roughness, sampled far more densely
// than the plot has pixels; roughnessPeriods sets how many roughness waves
// cross the plot (about one per pixel column makes a dense band).
template <typename Curve = QCPCurve>
std::unique_ptr<PlotWidget> plotWithCurve(int points, int width, int roughnessPeriods = 1100)
{
    auto plot = std::make_unique<PlotWidget>();
    plot->resize(width, 600);
    QVector<double> keys(points), values(points);
    for (int i = 0; i < points; ++i) {
        keys[i] = i;
        const double phase = double(i) / points * 2 * M_PI;
        values[i] = 5 * std::sin(phase) + std::sin(phase * 50) + 0.3 * std::sin(phase * roughnessPeriods);
    }
    auto *curve = new Curve(plot->xAxis, plot->yAxis);
    curve->setData(keys, values);
    plot->xAxis->setRange(0, points);
    plot->yAxis->setRange(-7, 7);
    plot->show();
    plot->replot();
    return plot;
}

} // namespace

// One step of the selection marker's nearest-point tracking: a mouse move over
// a plot holding one curve of a million points.
static void BM_MarkerTrackingStep(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    auto plot = plotWithCurve(1000000, 1200);
    plot->setInteractions(PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection);
    const QRect area = plot->axisRect()->rect();
    int step = 0;
    for (auto _ : state) {
        const QPoint pos(area.left() + (step * 37) % area.width(), area.center().y());
        QMouseEvent move(QEvent::MouseMove, pos, plot->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(plot.get(), &move);
        benchmark::DoNotOptimize(plot->selectedDataIndex());
        ++step;
    }
}
BENCHMARK(BM_MarkerTrackingStep)->Unit(benchmark::kMillisecond);

// A full replot of a plot 1200 pixels wide holding a trace of a million points,
// drawn as the thinning curve and as the library's plain curve; the argument is
// the number of roughness waves across the plot.
template <typename Curve> static void BM_ReplotMillionPointTrace(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    auto plot = plotWithCurve<Curve>(1000000, 1200, int(state.range(0)));
    for (auto _ : state)
        plot->replot(QCustomPlot::rpImmediateRefresh);
}
BENCHMARK_TEMPLATE(BM_ReplotMillionPointTrace, AdaptiveCurve)->Arg(100)->Arg(1100)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ReplotMillionPointTrace, QCPCurve)->Arg(100)->Arg(1100)->Unit(benchmark::kMillisecond);

// A replot of the thinning curve of a million points zoomed in to a tenth of
// its keys (the middle 100,000), beside BM_ReplotMillionPointTrace's full view.
static void BM_ReplotTenthOfMillionPointTrace(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    auto plot = plotWithCurve<AdaptiveCurve>(1000000, 1200, int(state.range(0)));
    plot->xAxis->setRange(450000, 550000);
    plot->replot();
    for (auto _ : state)
        plot->replot(QCustomPlot::rpImmediateRefresh);
}
BENCHMARK(BM_ReplotTenthOfMillionPointTrace)->Arg(100)->Arg(1100)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
