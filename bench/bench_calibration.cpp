#include "benchsupport.h"

#include "analysis/contouranalisiswidget.h"
#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "plot/plotwidget.h"
#include "traces/contourtrace.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

// The bench contour with its tip radius removed, so a calibration change
// reprocesses every point.
std::unique_ptr<ContourTrace> millionPointContour()
{
    Settings &s = Settings::instance();
    s.is_disabled_gauss_filter = false;
    s.is_disabled_radius_elimination = true;
    s.tool_head_radius_down = 0.05;
    auto trace = BenchSupport::millionPointContour();
    trace->tool_head_radius_down = 0.05;
    trace->recalculate();
    return trace;
}

void mouse(PlotWidget *plot, QEvent::Type type, const QPointF &at, Qt::MouseButton button, Qt::MouseButtons held)
{
    const QPoint p(qRound(plot->xAxis->coordToPixel(at.x())), qRound(plot->yAxis->coordToPixel(at.y())));
    QMouseEvent e(type, p, plot->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(plot, &e);
}

// A largest height over the points from..to of the curve, placed as the
// operator places it: a drag along the trace, then a click for the label.
void placeHeight(ContourAnalisisWidget &w, int from, int to)
{
    PlotWidget *plot = w.plot();
    w.measurementsManager()->setKind(MAX_MIN_DISTANCE, true, false, QString());
    plot->setInteractions(PlotWidget::iRangeSelection | PlotWidget::iRangeZoom);
    const auto data = w.traceCurve(0)->data();
    auto point = [&](int i) {
        const QCPCurveData &p = *(data->constBegin() + i);
        return QPointF(p.key, p.value);
    };
    mouse(plot, QEvent::MouseButtonPress, point(from), Qt::LeftButton, Qt::LeftButton);
    for (int k = 1; k <= 10; ++k)
        mouse(plot, QEvent::MouseMove, point(from + (to - from) * k / 10), Qt::NoButton, Qt::LeftButton);
    mouse(plot, QEvent::MouseButtonRelease, point(to), Qt::LeftButton, Qt::NoButton);
    const QPointF label = point((from + to) / 2) + QPointF(0, 5);
    mouse(plot, QEvent::MouseMove, label, Qt::NoButton, Qt::NoButton);
    mouse(plot, QEvent::MouseButtonPress, label, Qt::LeftButton, Qt::LeftButton);
    mouse(plot, QEvent::MouseButtonRelease, label, Qt::LeftButton, Qt::NoButton);
}

} // namespace

// One calibration change in the calibration window: the trace reprocessed
// from its raw points, its curve redrawn levelled, five measurements
// recalculated and their rows refreshed, and the replot.
static void BM_CalibrationChangeOnMillionPoints(benchmark::State &state)
{
    BenchSupport::ensureApplication();
    const auto trace = millionPointContour();
    ContourAnalisisWidget w(nullptr, true);
    w.resize(1600, 900);
    w.show();
    QApplication::processEvents();
    w.setTraces({ trace.get() });
    for (int k = 0; k < 5; ++k)
        placeHeight(w, 100000 + k * 150000, 200000 + k * 150000);
    const int placed = w.measurementsManager()->measurementList().size();
    if (placed != 5)
        state.SkipWithError("the five measurements were not placed");
    auto *contour = static_cast<ContourTrace *>(w.trace(0));
    int step = 0;
    for (auto _ : state) {
        contour->tool_head_radius_down = 0.05 + 0.01 * (++step % 2);
        w.calibrationDataValueChangedManually({ contour });
        benchmark::DoNotOptimize(w.traceCurve(0)->data()->size());
    }
    state.counters["measurements"] = placed;
}
BENCHMARK(BM_CalibrationChangeOnMillionPoints)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
