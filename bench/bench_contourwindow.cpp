#include "benchsupport.h"

#include "analysis/contouranalisiswidget.h"
#include "plot/plotwidget.h"
#include "traces/contourtrace.h"

#include <QAbstractButton>
#include <QApplication>
#include <QToolBar>
#include <QWheelEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

// The contour as the window draws it without smoothing or tip removal.
std::unique_ptr<ContourTrace> millionPointContour()
{
    Settings &s = Settings::instance();
    s.is_disabled_gauss_filter = false;
    s.is_disabled_radius_elimination = false;
    return BenchSupport::millionPointContour();
}

void showWindow(ContourAnalisisWidget &w)
{
    w.resize(1600, 900);
    w.show();
    QApplication::processEvents();
}

} // namespace

// Opening the window on a million-point contour: the clone, the curve, the
// one-scale autoscale and the first replot.
static void BM_OpenOnMillionPointContour(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    const auto trace = millionPointContour();
    // One opening before the timing: the first window of the process also
    // loads fonts and builds caches that every later one finds ready, and
    // with that once-only cost in its first trial run the library settled on
    // a single, much slower iteration. Every timed repetition does the same
    // work.
    {
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ trace.get() });
        w.plot()->replot();
        w.close();
    }
    for (auto _ : state) {
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ trace.get() });
        w.plot()->replot();
        benchmark::DoNotOptimize(w.traceCurve(0));
        state.PauseTiming();
        w.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenOnMillionPointContour)->Unit(benchmark::kMillisecond);

// One wheel step with the ScaleX tool on, replot included.
static void BM_ScaleXWheelStep(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    const auto trace = millionPointContour();
    ContourAnalisisWidget w;
    showWindow(w);
    w.setTraces({ trace.get() });
    w.findChild<QAction *>("actionScale")->trigger();
    w.findChild<QAbstractButton *>("pushButtonScaleX")->click();
    PlotWidget *plot = w.plot();
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    int step = 0;
    for (auto _ : state) {
        // Alternate in and out so the view stays on the trace.
        const int delta = (step++ % 2) ? -120 : 120;
        QWheelEvent e(at, plot->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &e);
    }
}
BENCHMARK(BM_ScaleXWheelStep)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
