#include "measurements/anglemeasurement.h"
#include "measurements/distancemeasurement.h"
#include "measurements/levellinggeometry.h"
#include "measurements/levellingmeasurement.h"
#include "plot/plotwidget.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>

namespace {

void ensureApplication()
{
    if (QApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_levelling";
    static char *argv[] = { name, nullptr };
    new QApplication(argc, argv);
}

constexpr int kPoints = 1000000;
constexpr int kMeasurements = 20;
constexpr double kTilt = 0.05; // slope of the contour before levelling

// A tilted contour of a million points in millimetres (1 µm apart): a shallow
// wave with a fine roughness, as a long contour trace on the plot.
QCPCurve *addContour(PlotWidget *plot)
{
    QVector<double> keys(kPoints), values(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        keys[i] = i * 0.001;
        values[i] = kTilt * keys[i] + 0.2 * std::sin(keys[i] * 0.05) + 0.002 * std::sin(i * 0.7);
    }
    auto *curve = new QCPCurve(plot->xAxis, plot->yAxis);
    curve->setData(keys, values);
    return curve;
}

void select(Measurement *m, QCPCurve *curve, int begin, int end)
{
    if (m->segmentCount() > 0)
        m->addSegment();
    m->onSegmentSelected(QCPDataRange(begin, end), curve);
}

// Twenty measurements of every distance and angle kind spread over the
// contour, each with segments of 20,000 points (20 mm), labels placed.
std::vector<std::unique_ptr<Measurement>> measurementsOn(PlotWidget *plot, QCPCurve *curve)
{
    std::vector<std::unique_ptr<Measurement>> list;
    for (int i = 0; i < kMeasurements; ++i) {
        const int at = 10000 + i * 45000;
        Measurement *m = nullptr;
        switch (i % 9) {
        case 0:
        case 1:
        case 2: {
            DistanceMeasurement *d = i % 9 == 0
                ? static_cast<DistanceMeasurement *>(new VerticalDistanceMeasurment(plot))
                : i % 9 == 1 ? static_cast<DistanceMeasurement *>(new HorisontalDistanceMeasurment(plot))
                             : new DirectDistanceMeasurement(plot);
            d->firstPoint = std::make_unique<PickedPoint>(PickedPoint { at, curve });
            d->secondPoint = std::make_unique<PickedPoint>(PickedPoint { at + 20000, curve });
            m = d;
            break;
        }
        case 3:
            m = new MaxMinDistanceMeasurement(plot);
            select(m, curve, at, at + 20000);
            break;
        case 4:
        case 5:
            m = i % 9 == 4 ? static_cast<Measurement *>(new MeanHeightMeasurement(plot))
                           : new AvgDiametertMeasurement(plot);
            select(m, curve, at, at + 20000);
            select(m, curve, at + 25000, at + 45000);
            break;
        case 6:
            m = new HorizontalAngleMeasurement(plot);
            select(m, curve, at, at + 20000);
            break;
        case 7:
            m = new VerticalAngleMeasurement(plot);
            select(m, curve, at, at + 20000);
            break;
        default:
            m = new RegularAngleMeasurement(plot);
            select(m, curve, at, at + 20000);
            select(m, curve, at + 25000, at + 45000);
            break;
        }
        m->labelX = at * 0.001 + 10;
        m->labelY = 60;
        m->calculate();
        // Listed measurements are finished: they no longer follow the mouse.
        m->disconnectAll();
        m->finished = true;
        list.emplace_back(m);
    }
    return list;
}

// Levelling as the operator does it: a segment over the first 100 mm is
// fitted while dragged, the release rotates every curve and the listed
// measurements are recalculated. Between runs the contour is tilted back,
// untimed.
void BM_LevelMillionPointContour(benchmark::State &state)
{
    ensureApplication();
    PlotWidget plot;
    plot.resize(1000, 600);
    QCPCurve *curve = addContour(&plot);
    plot.rescaleAxes();
    // Levelling replots; the contour is hidden so that only the rotation and
    // the recalculation are timed, not the painting.
    curve->setVisible(false);
    const auto list = measurementsOn(&plot, curve);
    const QPoint somewhere(500, 300);

    for (auto _ : state) {
        LayFlatMeasurement levelling(&plot);
        QObject::connect(&levelling, &Measurement::graphDataChanged, [&list] {
            for (const auto &m : list) {
                m->updateSettings();
                m->calculate();
            }
        });
        levelling.onSegmentSelected(QCPDataRange(0, 100000), curve);
        levelling.calculate();
        QMouseEvent release(QEvent::MouseButtonRelease, somewhere, plot.mapToGlobal(somewhere), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        // The handlers only: the library's own click handling and painting are
        // not part of levelling.
        Q_EMIT plot.mouseRelease(&release);
        if (!levelling.isFinished())
            state.SkipWithError("levelling did not finish");

        state.PauseTiming();
        const QCPCurveData &first = *curve->data()->constBegin();
        LevelGeometry::rotateCurves(&plot, QPointF(first.key, first.value), std::atan(kTilt));
        state.ResumeTiming();
    }
    state.counters["points"] = kPoints;
}
BENCHMARK(BM_LevelMillionPointContour)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
