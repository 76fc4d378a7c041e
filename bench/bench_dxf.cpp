#include "benchsupport.h"
#include "measurements/compareplanedxf.h"
#include "measurements/dxffit.h"
#include "plot/plotwidget.h"
#include "measurements/drawinghost.h"
#include "widgets/prompts.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtGlobal>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <memory>

namespace {

// The search's diagnostics would flood the figures.
const auto kQuiet = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

// A grooved outline of 50 entities in micrometres: 25 flats, each followed by
// a half-round groove, 20 mm in all.
constexpr double kPitch = 400; // µm

DxfDrawing grooves()
{
    DxfDrawing drawing;
    for (int k = 0; k < 25; ++k) {
        const double x = 2 * k * kPitch;
        drawing.append(DxfType::line(), { x, 0, x + kPitch, 0 });
        drawing.append(DxfType::circle(), { x + 1.5 * kPitch, 0, kPitch / 2, 180, 360 });
    }
    return drawing;
}

// n points along the outline, with a little roughness on them.
QVector<QPointF> groovesTrace(int n)
{
    QVector<QPointF> points;
    points.reserve(n);
    const double flat = kPitch, groove = M_PI * kPitch / 2, period = flat + groove;
    const double total = 25 * period;
    for (int i = 0; i < n; ++i) {
        const double s = total * i / n;
        const int k = int(s / period);
        const double u = s - k * period, x = 2 * k * kPitch;
        const double rough = 0.2 * std::sin(i * 0.37);
        if (u < flat) {
            points.append(QPointF(x + u, rough));
        } else {
            const double phi = M_PI + (u - flat) / (kPitch / 2);
            const double r = kPitch / 2 + rough;
            points.append(QPointF(x + 1.5 * kPitch + r * std::cos(phi), r * std::sin(phi)));
        }
    }
    return points;
}

struct Case {
    DxfDrawing drawing; // turned by 3° and shifted off the trace
    QVector<QPointF> trace;
    QPointF tracePoint, drawingPoint;
};

Case makeCase(int n)
{
    Case c;
    c.trace = groovesTrace(n);
    c.drawing = grooves();
    const QPointF pivot(7000, 0);
    rotateDrawing(c.drawing, 3, pivot);
    translateDrawing(c.drawing, 150, -80);
    // The clicks: the start of the tenth flat on both.
    c.tracePoint = QPointF(18 * kPitch, 0);
    const double a = 3 * M_PI / 180;
    const QPointF d = c.tracePoint - pivot;
    c.drawingPoint = pivot
        + QPointF(d.x() * std::cos(a) - d.y() * std::sin(a), d.x() * std::sin(a) + d.y() * std::cos(a))
        + QPointF(150, -80);
    return c;
}

Registration registerCase(const Case &c, bool prune, DxfDrawing *result)
{
    *result = c.drawing;
    return registerDrawing(*result, c.tracePoint, c.drawingPoint, c.trace, 1000, prune);
}

// Times the pruned registration of the case, with its angle and mean
// distance as counters.
void timeRegistration(benchmark::State &state, const Case &c)
{
    Registration r;
    for (auto _ : state) {
        DxfDrawing drawing;
        r = registerCase(c, true, &drawing);
        benchmark::DoNotOptimize(drawing.dxfEntityParams.constData());
    }
    state.counters["angle"] = r.angle;
    state.counters["mean_um"] = r.error / c.trace.size();
}

} // namespace

// The whole registration of a 50-entity drawing on a 10,000- and a
// 100,000-point trace in micrometres, with the bounding-box pruning the element uses.
static void BM_RegisterDrawing(benchmark::State &state)
{
    timeRegistration(state, makeCase(int(state.range(0))));
}
BENCHMARK(BM_RegisterDrawing)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same search without pruning, once: it must end in the very same drawing.
static void BM_RegisterDrawingPlain(benchmark::State &state)
{
    const Case c = makeCase(int(state.range(0)));
    DxfDrawing pruned, plain;
    registerCase(c, true, &pruned);
    for (auto _ : state)
        registerCase(c, false, &plain);
    if (plain.dxfEntityParams != pruned.dxfEntityParams)
        state.SkipWithError("the pruned search ended in another drawing");
}
BENCHMARK(BM_RegisterDrawingPlain)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

namespace {

// The grooved outline as a polyline of n segments, turned and shifted as in
// makeCase: the largest drawings are dense polylines like this one.
Case makeDenseCase(int points, int segments)
{
    Case c = makeCase(points);
    const QVector<QPointF> outline = groovesTrace(segments + 1);
    DxfDrawing dense;
    for (int i = 0; i + 1 < outline.size(); ++i)
        dense.append(DxfType::line(), { outline[i].x(), outline[i].y(), outline[i + 1].x(), outline[i + 1].y() });
    const QPointF pivot(7000, 0);
    rotateDrawing(dense, 3, pivot);
    translateDrawing(dense, 150, -80);
    c.drawing = dense;
    return c;
}

} // namespace

// The registration of a drawing of many short segments on a 100,000-point
// trace, up to the most a drawing may hold (kMaxDxfEntities): beyond a few
// hundred entities the element runs it off the GUI thread.
static void BM_RegisterDenseDrawing(benchmark::State &state)
{
    timeRegistration(state, makeDenseCase(100000, int(state.range(0))));
}
BENCHMARK(BM_RegisterDenseDrawing)->Arg(500)->Arg(5000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

namespace {

// A 10 mm flat traced by 10,000 points, and a drawing that starts with an
// ellipse (whose marker is clicked) followed by a 20 mm square whose bottom
// edge belongs on the flat, `distance` millimetres to the right of it.
// Ellipses take no part in the fit, so the shifts have to carry the square
// all that way.
QVector<QPointF> flatTrace(int n)
{
    QVector<QPointF> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i)
        points.append(QPointF(10.0 * i / n, 0.002 * std::sin(i * 0.37)));
    return points;
}

DxfDrawing ellipseAndSquare(double distance)
{
    DxfDrawing drawing;
    drawing.append(DxfType::ellipse(), { 0, 0, 1, 0.5 });
    const double x = distance, y = 0, side = 20;
    drawing.append(DxfType::line(), { x, y, x + side, y });
    drawing.append(DxfType::line(), { x + side, y, x + side, y + side });
    drawing.append(DxfType::line(), { x + side, y + side, x, y + side });
    drawing.append(DxfType::line(), { x, y + side, x, y });
    return drawing;
}

} // namespace

// The registration clicked on the ellipse's marker, with the square beside
// the trace (0) and a kilometre away (1e6 mm): the time stays near the same.
static void BM_RegisterFarDrawing(benchmark::State &state)
{
    const QVector<QPointF> trace = flatTrace(10000);
    const DxfDrawing far = ellipseAndSquare(double(state.range(0)));
    Registration r;
    for (auto _ : state) {
        DxfDrawing drawing = far;
        r = registerDrawing(drawing, QPointF(0, 0), QPointF(-1, 0), trace, 1);
        benchmark::DoNotOptimize(drawing.dxfEntityParams.constData());
    }
    state.counters["mean_mm"] = r.error / trace.size();
}
BENCHMARK(BM_RegisterFarDrawing)->Arg(0)->Arg(1000000)->Unit(benchmark::kMillisecond);

namespace {

// The window's part in an import and a registration: no busy window to show,
// every click a pick.
class PickingHost : public IDrawingHost {
public:
    void showRegistrationBusy(const QString &, const std::function<void()> &) override { }
    void hideRegistrationBusy() override { }
    bool plotClickPicks() const override { return true; }
};

// The operator's answers while it is installed: the file question answered
// with one path, every message acknowledged at once.
class FilePrompts : public Prompts {
public:
    explicit FilePrompts(const QString &path)
        : m_path(path)
        , m_previous(Prompts::install(this))
    {
    }
    ~FilePrompts() override { Prompts::install(m_previous); }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return m_path; }
    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon, const QString &, const QString &,
        QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        return QMessageBox::Ok;
    }

private:
    QString m_path;
    Prompts *m_previous;
};

// The dense case's drawing as a DXF file in millimetres: one polyline.
QString writeDenseDxf(const QTemporaryDir &dir, const DxfDrawing &dense)
{
    QByteArray text = "  0\nSECTION\n  2\nENTITIES\n  0\nLWPOLYLINE\n100\nAcDbEntity\n100\nAcDbPolyline\n 90\n"
        + QByteArray::number(dense.size() + 1) + "\n 70\n0\n";
    text.reserve(dense.size() * 48);
    auto vertex = [&](double x, double y) {
        text += " 10\n" + QByteArray::number(x / 1000, 'g', 17) + "\n 20\n" + QByteArray::number(y / 1000, 'g', 17)
            + "\n";
    };
    for (int i = 0; i < dense.size(); ++i)
        vertex(dense.dxfEntityParams[i][0], dense.dxfEntityParams[i][1]);
    vertex(dense.dxfEntityParams.last()[2], dense.dxfEntityParams.last()[3]);
    text += "  0\nENDSEC\n  0\nEOF\n";
    QFile f(dir.filePath(QStringLiteral("dense.dxf")));
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return f.fileName();
}

// A contour plot in micrometres as the contour window shows one: the trace of
// the dense case of n segments on a 900 x 600 plot whose selection marker
// follows the mouse, and the case's drawing in a file that the file question
// is answered with.
struct DensePlot {
    explicit DensePlot(int segments)
        : c(makeDenseCase(10000, segments))
        , path(writeDenseDxf(dir, c.drawing))
        , prompts(path)
    {
        Settings::instance().axis_unit = 1; // µm: the file's millimetres become the trace's micrometres
        plot.resize(900, 600);
        plot.setInteractions(PlotWidget::iRangeSelection);
        auto *trace = new QCPCurve(plot.xAxis, plot.yAxis);
        for (const QPointF &p : c.trace)
            trace->addData(p.x(), p.y());
        // The trace and the drawing, which lies a little below it, both in view.
        plot.xAxis->setRange(-1000, 21000);
        plot.yAxis->setRange(-800, 400);
        plot.replot();
    }

    void send(QEvent::Type type, const QPointF &at, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        const QPointF pixel(plot.xAxis->coordToPixel(at.x()), plot.yAxis->coordToPixel(at.y()));
        QMouseEvent e(type, pixel, plot.mapToGlobal(pixel.toPoint()), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&plot, &e);
    }
    // The mouse brought to a point, then a click there.
    void moveAndPress(const QPointF &at)
    {
        send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
        send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }

    const Case c;
    QTemporaryDir dir;
    const QString path;
    FilePrompts prompts;
    PickingHost host;
    const bool application = (BenchSupport::ensureApplication(), true);
    PlotWidget plot;
};

double secondsSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() * 1e-9;
}

} // namespace

// The import of the 100,000-segment polyline on the window's thread: the file
// question answered, the file read and the drawing and its markers shown
// (the constructor's replot and the events it leaves behind).
static void BM_ImportDenseDrawingOnWindowThread(benchmark::State &state)
{
    DensePlot bench(int(state.range(0)));
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<ComparePlaneDXF> element(new ComparePlaneDXF(&bench.host, &bench.plot));
        QCoreApplication::processEvents();
        state.SetIterationTime(secondsSince(timer));
        if (!element->hasDrawing())
            state.SkipWithError("the drawing was not imported");
    }
}
BENCHMARK(BM_ImportDenseDrawingOnWindowThread)->Arg(100000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The registration of the 100,000-segment polyline, on the window's thread
// only: the second click, which starts the search, and the application of
// the search's result once it has come. The search itself, in the pool, is
// not counted.
static void BM_ApplyDenseRegistrationOnWindowThread(benchmark::State &state)
{
    DensePlot bench(int(state.range(0)));
    // The outline's start, on the trace and on the turned drawing.
    const QPointF onTrace = bench.c.trace.first();
    const QPointF onDrawing(bench.c.drawing.dxfEntityParams[0][0], bench.c.drawing.dxfEntityParams[0][1]);
    double clickSeconds = 0, applySeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<ComparePlaneDXF> element(new ComparePlaneDXF(&bench.host, &bench.plot));
        QCoreApplication::processEvents();
        bench.moveAndPress(onTrace);
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        bench.moveAndPress(onDrawing);
        const double click = secondsSince(timer);
        QThreadPool::globalInstance()->waitForDone();
        timer.restart();
        while (element->isRegistering())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const double apply = secondsSince(timer);
        state.SetIterationTime(click + apply);
        clickSeconds = click;
        applySeconds = apply;
        if (!element->isFinished())
            state.SkipWithError("the drawing was not registered");
        state.PauseTiming();
        element.reset();
        state.ResumeTiming();
    }
    state.counters["click_ms"] = clickSeconds * 1000;
    state.counters["apply_ms"] = applySeconds * 1000;
}
BENCHMARK(BM_ApplyDenseRegistrationOnWindowThread)->Arg(100000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
