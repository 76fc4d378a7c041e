#include "plot/plotwidget.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

// Widgets need an application object; the benchmarks run offscreen.
void ensureApplication()
{
    if (QApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_plot";
    static char *argv[] = { name, nullptr };
    new QApplication(argc, argv);
}

std::unique_ptr<PlotWidget> plotWithCurve(int points, int width)
{
    auto plot = std::make_unique<PlotWidget>();
    plot->resize(width, 600);
    QVector<double> keys(points), values(points);
    for (int i = 0; i < points; ++i) {
        keys[i] = i;
        values[i] = 5 * std::sin(i * 2 * M_PI / points) + std::sin(i * 0.37);
    }
    auto *curve = new QCPCurve(plot->xAxis, plot->yAxis);
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
    ensureApplication();
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

BENCHMARK_MAIN();
