#include "analysis/profileanalisiswidget.h"
#include "benchsupport.h"
#include "dataproviders/filedataprovider.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"
#include "tracelist.h"
#include "traces/profiletrace.h"
#include "traces/tracewriter.h"

#include <QApplication>
#include <ctime>
#include <atomic>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kPoints = 1000000;

// The application object, timing every event it delivers while asked to:
// the longest single delivery is the longest the window kept the GUI busy.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!timing)
            return QApplication::notify(receiver, event);
        // Events begun once the worker has ended belong to the end of the
        // reading, not to the streaming.
        const bool streaming = !workerDone.load();
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuBefore = threadCpuNs();
        const bool result = QApplication::notify(receiver, event);
        qint64 &longest = streaming ? longestNs : endNs;
        longest = std::max(longest, timer.nsecsElapsed());
        qint64 &longestCpu = streaming ? longestCpuNs : endCpuNs;
        longestCpu = std::max(longestCpu, threadCpuNs() - cpuBefore);
        return result;
    }

    bool timing = false;
    std::atomic_bool workerDone { false };
    qint64 longestNs = 0;
    qint64 endNs = 0;
    qint64 longestCpuNs = 0;
    qint64 endCpuNs = 0;

private:
    // CPU time of the calling thread: on a shared machine the wall time of a
    // handler also counts the time other threads held the core.
    static qint64 threadCpuNs()
    {
        timespec ts {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }
};

TimingApplication *application()
{
    return static_cast<TimingApplication *>(QCoreApplication::instance());
}

// A profile of a million points 0.1 µm apart (100 mm): roughness, waviness
// and form.
double profileHeight(int i)
{
    const double x = i * 0.1;
    return 1.5 * std::sin(2 * M_PI * x / 80) + 4 * std::sin(2 * M_PI * x / 7000) + 1e-4 * x + 20;
}

std::unique_ptr<ProfileAnalisisWidget> shownWindow()
{
    auto window = std::make_unique<ProfileAnalisisWidget>();
    window->resize(1500, 950);
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void addPoints(AbstractTrace &trace, int count)
{
    for (int i = 0; i < count; ++i) {
        QVector<double> p { i * 0.1, profileHeight(i) };
        trace.addPoint(p);
    }
}

// A new trace of the window with the million points, not processed yet.
std::unique_ptr<AbstractTrace> millionPointTrace(ProfileAnalisisWidget &window)
{
    std::unique_ptr<AbstractTrace> trace(window.makeTrace(PROFILE));
    addPoints(*trace, kPoints);
    return trace;
}

// A profile file of that many points, written once per run.
QString profileFile(const QString &name, int points)
{
    const QString path = QDir::current().absoluteFilePath(name);
    if (!QFileInfo::exists(path)) {
        ProfileTrace trace;
        trace.setTraceType(PROFILE);
        trace.cutOff = 2500;
        trace.speed = 0.5;
        addPoints(trace, points);
        if (!TraceWriter::saveTraceFile(path, trace))
            qFatal("benchmark file not written");
    }
    return path;
}

QString millionPointFile()
{
    return profileFile(QStringLiteral("million.txt"), kPoints);
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), 0 when not there.
double statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return std::atof(line.c_str() + key.size());
    }
    return 0;
}

// Starts the peak resident size afresh at the current resident size.
void resetPeakResidentSize()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Hands the memory freed so far back to the system, so that the next opening
// takes fresh pages, as the first file opened in a fresh program does.
void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

// Wall time of each opening: the first (fresh memory) and the mean of the
// later ones (memory reused), reported beside the benchmark's mean of all.
class OpeningTimes {
public:
    void start() { m_timer.start(); }
    void stop()
    {
        const double ms = m_timer.nsecsElapsed() / 1e6;
        if (m_count++ == 0)
            m_first = ms;
        else
            m_later += ms;
    }
    void report(benchmark::State &state) const
    {
        state.counters["first_ms"] = m_first;
        state.counters["later_ms"] = m_count > 1 ? m_later / (m_count - 1) : 0.0;
    }

private:
    QElapsedTimer m_timer;
    double m_first = 0;
    double m_later = 0;
    int m_count = 0;
};

} // namespace

// Rebuilding a million-point profile trace in roughness mode: the new
// post-processors, the recalculation, the redraw of the main plot and, through
// its replot, of the histogram and material-ratio plots.
static void BM_RebuildRoughness(benchmark::State &state)
{
    auto window = shownWindow();
    std::unique_ptr<AbstractTrace> trace = millionPointTrace(*window);
    trace->applyPostProcessors();
    trace->processData();
    window->addGraphHolder(trace.get());
    window->profileModeComboBox->setCurrentIndex(1);
    for (auto _ : state) {
        window->reprocessTraces();
    }
    state.counters["points_drawn"] = window->mainPlot()->curve(0)->dataCount();
    window->profileModeComboBox->setCurrentIndex(0);
    window->onTraceDeleted(trace->id);
}
BENCHMARK(BM_RebuildRoughness)->Unit(benchmark::kMillisecond);

// The trace core's share of a rebuild: recalculating the trace through the
// roughness chain, without the window.
static void BM_RecalculateRoughnessTrace(benchmark::State &state)
{
    auto window = shownWindow();
    window->profileModeComboBox->setCurrentIndex(1);
    std::unique_ptr<AbstractTrace> trace = millionPointTrace(*window);
    for (auto _ : state)
        trace->recalculate();
    window->profileModeComboBox->setCurrentIndex(0);
}
BENCHMARK(BM_RecalculateRoughnessTrace)->Unit(benchmark::kMillisecond);

// One replot of the main plot showing the million-point trace, with the side
// plots it refreshes.
static void BM_ReplotWithSidePlots(benchmark::State &state)
{
    auto window = shownWindow();
    std::unique_ptr<AbstractTrace> trace = millionPointTrace(*window);
    trace->applyPostProcessors();
    trace->processData();
    window->addGraphHolder(trace.get());
    window->reprocessTraces();
    for (auto _ : state) {
        window->mainPlot()->replot();
    }
    window->onTraceDeleted(trace->id);
}
BENCHMARK(BM_ReplotWithSidePlots)->Unit(benchmark::kMillisecond);

// Opening a million-point profile file: from handing the provider over until
// the processed trace is drawn with its parameters. The longest single event
// the GUI thread handled while the file streamed in is reported as
// longest_streaming_event_ms, the handling of the end as end_of_reading_ms.
// The first opening takes fresh memory, as the first file in a fresh program
// does; the others reuse what the one before freed, as later files do. The
// peak resident size is the first opening's.
static void BM_OpenMillionPointFile(benchmark::State &state)
{
    const QString path = millionPointFile();
    double longestMs = 0;
    double endMs = 0;
    double longestCpuMs = 0;
    double endCpuMs = 0;
    double peakAboveIdleMb = 0;
    bool first = true;
    OpeningTimes times;
    for (auto _ : state) {
        state.PauseTiming();
        auto window = shownWindow();
        if (first)
            returnFreedMemory();
        first = false;
        resetPeakResidentSize();
        const double idleKb = statusKb("VmRSS");
        QEventLoop loop;
        QObject::connect(window.get(), &ProfileAnalisisWidget::unlockButtons, &loop, &QEventLoop::quit);
        application()->workerDone = false;
        application()->longestNs = 0;
        application()->endNs = 0;
        application()->longestCpuNs = 0;
        application()->endCpuNs = 0;
        application()->timing = true;
        state.ResumeTiming();
        times.start();

        auto *provider = new FileDataProvider(path);
        QObject::connect(
            provider, &DataProvider::dataReadFinished, provider, [] { application()->workerDone = true; },
            Qt::DirectConnection);
        window->setDataProvider(provider);
        window->startReading(PROFILE);
        loop.exec();

        times.stop();
        state.PauseTiming();
        peakAboveIdleMb = std::max(peakAboveIdleMb, (statusKb("VmHWM") - idleKb) / 1024);
        application()->timing = false;
        longestMs = std::max(longestMs, application()->longestNs / 1e6);
        endMs = std::max(endMs, application()->endNs / 1e6);
        longestCpuMs = std::max(longestCpuMs, application()->longestCpuNs / 1e6);
        endCpuMs = std::max(endCpuMs, application()->endCpuNs / 1e6);
        const bool whole = window->traceList()->traces.size() == 1
            && window->traceList()->traces.first()->rawData->at(0).size() == kPoints;
        window.reset();
        if (!whole) {
            state.SkipWithError("the file was not read whole");
            break;
        }
        state.ResumeTiming();
    }
    times.report(state);
    state.counters["longest_streaming_event_ms"] = longestMs;
    state.counters["end_of_reading_ms"] = endMs;
    state.counters["longest_streaming_event_cpu_ms"] = longestCpuMs;
    state.counters["end_of_reading_cpu_ms"] = endCpuMs;
    // The peak resident size while opening, above the shown empty window, in
    // MB and as a multiple of the points' own size (two doubles a point).
    state.counters["peak_rss_above_idle_mb"] = peakAboveIdleMb;
    state.counters["peak_rss_x_points"] = peakAboveIdleMb * 1024 * 1024 / (kPoints * 2 * sizeof(double));
}
BENCHMARK(BM_OpenMillionPointFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// The yardstick of BM_OpenMillionPointFile: the simplest program a user could
// write for the job. The file read whole with fread, header lines skipped,
// every number parsed with std::from_chars, the points put into a QCPGraph of
// a plot as large as the window and one replot. Its first run takes fresh
// memory too.
static void BM_MinimalOpenMillionPointFile(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(millionPointFile());
    bool first = true;
    OpeningTimes times;
    for (auto _ : state) {
        state.PauseTiming();
        auto plot = std::make_unique<QCustomPlot>();
        plot->resize(1500, 950);
        plot->show();
        QCoreApplication::processEvents();
        if (first)
            returnFreedMemory();
        first = false;
        state.ResumeTiming();
        times.start();

        QVector<double> xs, ys;
        if (!BenchSupport::readColumnsFromChars(path.constData(), xs, ys))
            state.SkipWithError("short read");
        QCPGraph *graph = plot->addGraph();
        graph->setData(xs, ys, true);
        plot->rescaleAxes();
        plot->replot();

        times.stop();
        state.PauseTiming();
        if (xs.size() != kPoints)
            state.SkipWithError("the file was not read whole");
        plot.reset();
        state.ResumeTiming();
    }
    times.report(state);
}
BENCHMARK(BM_MinimalOpenMillionPointFile)->Unit(benchmark::kMillisecond)->Iterations(3);

namespace {

constexpr int kLargePoints = 4000000;

// A profile file of four million points (400 mm at 0.1 µm).
QString largeFile()
{
    return profileFile(QStringLiteral("large.txt"), kLargePoints);
}

// Opens the file in the window and returns once the window has it listed
// with its parameters.
bool openAndWait(ProfileAnalisisWidget &window, const QString &path)
{
    QEventLoop loop;
    QObject::connect(&window, &ProfileAnalisisWidget::unlockButtons, &loop, &QEventLoop::quit);
    window.setDataProvider(new FileDataProvider(path));
    if (!window.startReading(PROFILE))
        return false;
    loop.exec();
    return true;
}

} // namespace

// Closing the profile window 50 ms after a 4,000,000-point file began to
// stream in: the time the window takes to close, which waits for its reader,
// how long of it the reader took to end, and how many points the reader had
// announced by then.
static void BM_CloseWindowWhileReadingLargeFile(benchmark::State &state)
{
    const QString path = largeFile();
    double longestMs = 0;
    double readerEndMs = 0;
    int announcedMost = 0;
    for (auto _ : state) {
        auto window = shownWindow();
        auto *provider = new FileDataProvider(path);
        std::atomic_int announced { 0 };
        // Started before the reader, read by it when it ends.
        QElapsedTimer clock;
        clock.start();
        std::atomic<qint64> finishedAt { 0 };
        QObject::connect(
            provider, &DataProvider::dataBatchReady, provider,
            [&announced](int from, int count) { announced = from + count; }, Qt::DirectConnection);
        QObject::connect(
            provider, &DataProvider::dataReadFinished, provider,
            [&finishedAt, &clock] { finishedAt = clock.nsecsElapsed(); }, Qt::DirectConnection);
        window->setDataProvider(provider);
        window->startReading(PROFILE);
        QElapsedTimer reading;
        reading.start();
        while (reading.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

        const qint64 closeStart = clock.nsecsElapsed();
        window.reset();
        const double ms = (clock.nsecsElapsed() - closeStart) / 1e6;
        state.SetIterationTime(ms / 1e3);
        longestMs = std::max(longestMs, ms);
        readerEndMs = std::max(readerEndMs, std::max<qint64>(finishedAt - closeStart, 0) / 1e6);
        announcedMost = std::max(announcedMost, announced.load());
    }
    state.counters["longest_close_ms"] = longestMs;
    state.counters["longest_reader_end_ms"] = readerEndMs;
    state.counters["points_announced"] = announcedMost;
    state.counters["points_in_file"] = kLargePoints;
}
BENCHMARK(BM_CloseWindowWhileReadingLargeFile)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The resident size of the program with three 4,000,000-point traces read
// into the profile window, and after all three were removed from its trace
// list, beside the shown empty window's. What stays above the empty window
// once they are closed is memory still in use, not kept free: mostly the
// filter's transform plans for the traces' size, which live as long as the
// program.
static void BM_ResidentAfterClosingThreeLargeTraces(benchmark::State &state)
{
    const QString path = largeFile();
    double idleMb = 0, loadedMb = 0, closedMb = 0;
    for (auto _ : state) {
        auto window = shownWindow();
        returnFreedMemory();
        idleMb = statusKb("VmRSS") / 1024;
        for (int i = 0; i < 3; ++i) {
            if (!openAndWait(*window, path)) {
                state.SkipWithError("the file was not opened");
                return;
            }
        }
        loadedMb = statusKb("VmRSS") / 1024;
        if (window->traceList()->traces.size() != 3) {
            state.SkipWithError("the files were not listed");
            return;
        }
        window->traceList()->removeAllButAcquired();
        QCoreApplication::processEvents();
        closedMb = statusKb("VmRSS") / 1024;
        window.reset();
    }
    state.counters["rss_idle_mb"] = idleMb;
    state.counters["rss_three_traces_mb"] = loadedMb;
    state.counters["rss_all_closed_mb"] = closedMb;
}
BENCHMARK(BM_ResidentAfterClosingThreeLargeTraces)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and trace files of the run stay in a folder of their own.
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    TimingApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Settings::instance().preferenses.enabled_params = { { 0, QStringLiteral("Ra") } };
    Settings::instance().preferenses.enabled_params_count = 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
