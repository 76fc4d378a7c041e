#include "support/testmain.h"

#include "dataproviders/devicedataprovider.h"
#include "dataproviders/filedataprovider.h"
#include "device/device.h"
#include "device/deviceport.h"
#include "support/simulatedinstrument.h"
#include "support/tracefiles.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "traces/tracewriter.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

using namespace InstrumentReplies;

namespace {

// A device identified by a simulated instrument of the given kind.
struct Line {
    SimulatedInstrument sim;
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    Device device;

    explicit Line(SimulatedInstrument::Kind kind)
        : sim(kind)
    {
    }
    bool ready()
    {
        const int state = sim.kind() == SimulatedInstrument::Profile ? 1 : 11;
        return SimulatedInstrument::waitFor([&] { return device.parserState() == state; }, 10000);
    }
    // Starts a trace as the control panel does: the instrument first, then
    // the provider of that trace. beforeStart connects to the provider before
    // its worker runs, so that no notice of the worker is missed.
    std::unique_ptr<DeviceDataProvider> begin(
        AbstractTrace &trace, const std::function<void(DeviceDataProvider &)> &beforeStart = nullptr)
    {
        device.startTrace(true);
        auto provider = std::make_unique<DeviceDataProvider>(&device);
        if (beforeStart)
            beforeStart(*provider);
        provider->start(&trace);
        return provider;
    }
};

// The batch notices of a provider, in order.
struct Batches {
    QList<QPair<int, int>> notices;
    explicit Batches(DeviceDataProvider &p)
    {
        QObject::connect(&p, &DataProvider::dataBatchReady, [this](int from, int count) {
            notices.append({ from, count });
        });
    }
};

// The worker's start and end notices, counted as the windows receive them:
// queued into the GUI thread. A QSignalSpy::wait() begun after the worker
// has already emitted would miss the notice and time out.
struct WorkerNotices {
    int started = 0;
    int finished = 0;
    QObject context;
    WorkerNotices() = default;
    explicit WorkerNotices(DataProvider &p) { watch(p); }
    // Counts the provider's notices; connected before the provider starts.
    void watch(DataProvider &p)
    {
        QObject::connect(&p, &DataProvider::dataReadStarted, &context, [this] { ++started; });
        QObject::connect(&p, &DataProvider::dataReadFinished, &context, [this] { ++finished; });
    }
    bool waitStarted(int timeoutMs)
    {
        return SimulatedInstrument::waitFor([this] { return started > 0; }, timeoutMs);
    }
    bool waitFinished(int timeoutMs)
    {
        return SimulatedInstrument::waitFor([this] { return finished > 0; }, timeoutMs);
    }
};

bool endsWith(const QList<QByteArray> &list, const QList<QByteArray> &tail)
{
    return list.size() >= tail.size() && list.mid(list.size() - tail.size()) == tail;
}

// 20 live samples; with cut, the stream stops after them.
ProfileRun liveSamples(bool cut)
{
    ProfileRun run;
    for (int i = 0; i < 20; ++i)
        run.live.append(quint16(500 + i));
    run.stopsBeforeBlock = cut;
    return run;
}

ContourRecord record(int i, quint8 alarm = 2)
{
    ContourRecord r = SimulatedInstrument::defaultContourRecord(i);
    r.alarm = alarm;
    return r;
}

// Runs action, which must return: a hang there would stall the whole run, so
// a watchdog ends the program with a clear message after 20 s.
void mustReturn(const char *what, const std::function<void()> &action)
{
    std::mutex mutex;
    std::condition_variable cv;
    bool returned = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, std::chrono::seconds(20), [&] { return returned; }))
            qFatal("%s did not return", what);
    });
    action();
    {
        std::lock_guard<std::mutex> lock(mutex);
        returned = true;
    }
    cv.notify_one();
    watchdog.join();
}

} // namespace

class TestDeviceDataProvider : public QObject {
    Q_OBJECT

private:
    Settings m_defaults = Settings::load(QString());

private Q_SLOTS:
    void initTestCase() { QLoggingCategory::setFilterRules("default.debug=false"); }

    void init()
    {
        Settings::instance() = m_defaults;
        Settings::instance().save();
    }

    void profileTraceLiveThenBlock()
    {
        Line line(SimulatedInstrument::Profile);
        ProfileRun run = liveSamples(false);
        run.streamDivisor = 8;
        run.blockDivisor = 4;
        run.blockScale = 200000;
        for (int i = 0; i < 730; ++i)
            run.block.append(quint16(1000 + i));
        line.sim.setProfileRun(run);
        QVERIFY(line.ready());

        ProfileTrace trace;
        DeviceDataProvider provider(&line.device);
        QCOMPARE(provider.name(), QString::fromStdString(line.device.port()->portName()));
        Batches batches(provider);
        QSignalSpy started(&provider, &DataProvider::dataReadStarted);
        QSignalSpy finished(&provider, &DataProvider::dataReadFinished);
        QSignalSpy stop(&line.device, &Device::pushButtonStopTrace);
        // The window empties the live points when the block follows.
        QList<int> pointsAtReset;
        connect(&provider, &DataProvider::dataReset, this, [&] {
            pointsAtReset.append(trace.pointCount());
            trace.clearPoints();
        });

        provider.start(&trace);
        line.device.startTrace(true);
        QVERIFY(finished.wait(5000));
        QCOMPARE(started.count(), 1);
        QCOMPARE(stop.count(), 1);
        QVERIFY(!line.device.tracing());
        QCOMPARE(trace.name(), provider.name());

        // 19 live samples (the last one ends with the end marker), one by one.
        QCOMPARE(pointsAtReset, QList<int> { 19 });
        QList<QPair<int, int>> expected;
        for (int i = 0; i < 19; ++i)
            expected.append({ i, 1 });
        for (int i = 0; i < 7; ++i)
            expected.append({ i * 100, 100 });
        QCOMPARE(batches.notices, expected);

        const TData points = trace.rawPoints(0, trace.pointCount());
        QCOMPARE(points.at(0).size(), 730);
        for (int i : { 0, 1, 729 }) {
            QCOMPARE(points.at(0).at(i), i / 4.0 * 1000);
            QCOMPARE(points.at(1).at(i), (1000 + i) * 200000 * 1e-8);
        }
    }

    void contourTraceStoppedByOperator()
    {
        Settings::instance().needle_pressing = MovementSettings::UP;
        Line line(SimulatedInstrument::Contour);
        line.sim.setContourRun(250, [](int i) { return record(i); });
        QVERIFY(line.ready());

        ContourTrace trace;
        DeviceDataProvider provider(&line.device);
        Batches batches(provider);
        WorkerNotices worker(provider);
        provider.start(&trace);
        line.device.startTrace(true);
        QVERIFY(SimulatedInstrument::waitFor([&] { return provider.pointCount() == 250; }));
        QCOMPARE(trace.pointProcessors.size(), 1);
        QCOMPARE(trace.needle_pressing, 0);

        QElapsedTimer stopped;
        stopped.start();
        line.device.stopTrace();
        QVERIFY(worker.waitFinished(5000));
        // The end of the trace wakes the worker: no poll interval to wait out
        // (the bound leaves room for a slow, instrumented build).
        QVERIFY2(stopped.elapsed() < 400, qPrintable(QString::number(stopped.elapsed())));
        QVERIFY(provider.result());

        QCOMPARE(batches.notices.size(), 31);
        QCOMPARE(batches.notices.last(), (QPair<int, int> { 240, 8 }));
        const TData raw = trace.rawPoints(0, trace.pointCount());
        QCOMPARE(raw.at(0).size(), 250);
        for (int i : { 0, 17, 249 }) {
            const ContourRecord r = record(i);
            QCOMPARE(raw.at(0).at(i), double(r.x));
            QCOMPARE(raw.at(1).at(i), double(r.probe));
            QCOMPARE(raw.at(2).at(i), double(r.console));
        }
        QVERIFY(SimulatedInstrument::waitFor([&] { return endsWith(line.sim.commands(), { "CS", "CC", "CA" }); }));
    }

    void crashAlarmEndsTrace()
    {
        Line line(SimulatedInstrument::Contour);
        line.sim.setContourRun(300, [](int i) { return record(i, i < 100 ? 2 : 4); });
        QVERIFY(line.ready());
        ContourTrace trace;
        DeviceDataProvider provider(&line.device);
        QSignalSpy finished(&provider, &DataProvider::dataReadFinished);
        QSignalSpy crash(&line.device, &Device::crashDevice);
        provider.start(&trace);
        line.device.startTrace(true);
        QVERIFY(finished.wait(10000));
        QCOMPARE(crash.count(), 1);
        QVERIFY(!line.device.tracing());
        QCOMPARE(trace.pointCount(), 100);
    }

    void uploadedParametersComeBack()
    {
        Line line(SimulatedInstrument::Contour);
        QVERIFY(line.ready());
        Settings &s = Settings::instance();
        s.x_axis_compression_ratio = 1.012;
        s.y_axis_compression_ratio = 0.987;
        s.displacement_coefficient = -0.0042;
        s.rack_prpendicular = 1.25;
        line.device.uploadDeviceParams();
        QVERIFY(SimulatedInstrument::waitFor([&] { return line.sim.storedParameters().at(3) == 125; }));

        s = m_defaults;
        line.device.openDevice(); // identification asks for the parameters again
        QVERIFY(SimulatedInstrument::waitFor([&] { return s.x_axis_compression_ratio != 1.0; }));
        QVERIFY(line.ready());
        const Settings saved = Settings::load(Settings::kFileName);
        for (const Settings *x : { static_cast<const Settings *>(&s), &saved }) {
            QCOMPARE(x->x_axis_compression_ratio, 1.012);
            QCOMPARE(x->y_axis_compression_ratio, 0.987);
            QCOMPARE(x->displacement_coefficient, -0.0042);
            QCOMPARE(x->rack_prpendicular, 1.25);
        }
    }

    void contourCalibrationReportsProgress()
    {
        Line line(SimulatedInstrument::Contour);
        QList<ContourRecord> progress;
        for (int status : { 1, 2, 3, 4, 5, 107, 108, 109 }) {
            ContourRecord r = record(0, 10);
            r.status = quint8(status);
            progress.append(r);
        }
        line.sim.setCalibrationRecords(progress);
        QVERIFY(line.ready());
        QSignalSpy loader(&line.device, &Device::openLoader);
        QStringList texts;
        connect(&line.device, &Device::setStatusProgressBar, this,
            [&](int v, const QString &t) { texts << QString("%1 %2").arg(v).arg(t); });

        line.device.calibration();
        QVERIFY(SimulatedInstrument::waitFor([&] { return texts.size() == 8; }));
        QCOMPARE(loader.count(), 1);
        QCOMPARE(loader.at(0).at(0).toString(), QStringLiteral("Идёт калибровка"));
        QCOMPARE(texts,
            (QStringList { "0 Отвод контурографа от поверхности", "1 Поиск максимума показания датчика",
                "2 Поиск минимума показания датчика", "3 Настройка силы прижима иглы",
                "4 Подвод контурографа к поверхности до касания", "98 Отвод контурографа от поверхности",
                "99 Опускание контурографа до центра диапазона датчика", "100 Калибровка завершена" }));
        // The end of the calibration is acknowledged.
        QVERIFY(SimulatedInstrument::waitFor([&] { return endsWith(line.sim.commands(), { "CK", "CA" }); }));
    }

    void profileCalibrationRunsToItsEnd()
    {
        Settings::instance().trace_length = 3;
        Settings::instance().calibration_Ra_value = 2.01;
        Line line(SimulatedInstrument::Profile);
        line.sim.setCalibrationTexts({ "Stage 1: max\n", "Stage 2: min\nSta", "ge 6: done\n" });
        line.sim.setConsoleHeights({ 1234 });
        QVERIFY(line.ready());
        line.device.calibration();
        QCOMPARE(line.device.parserState(), 8);
        QVERIFY(SimulatedInstrument::waitFor([&] { return line.device.parserState() == 1; }));
        QVERIFY(SimulatedInstrument::waitFor([&] { return endsWith(line.sim.commands(), { "Ka02010", "PL3" }); }));
        // Back at console heights: each one is acknowledged with "CT", which
        // the instrument answers with the next one.
        QSignalSpy bar(&line.device, &Device::setBarValue);
        line.sim.send(consoleHeight(77));
        QVERIFY(SimulatedInstrument::waitFor([&] { return bar.count() == 2; }));
        QCOMPARE(bar.at(0).at(0).toInt(), 65535 - 77);
        QCOMPARE(line.device.consoleHeight(), 1234);
        QVERIFY(SimulatedInstrument::waitFor([&] { return endsWith(line.sim.commands(), { "CT", "CT" }); }));
    }

    void pointsNeedTracingAndTrace()
    {
        Line line(SimulatedInstrument::Contour);
        QVERIFY(line.ready());
        DeviceDataProvider provider(&line.device);
        QSignalSpy reset(&provider, &DataProvider::dataReset);
        // No trace attached yet: dropped.
        line.device.startTrace(true);
        Q_EMIT line.device.dataRecieved(1, 2, 3, 8);
        QCOMPARE(provider.pointCount(), 0);

        ContourTrace trace;
        line.device.stopTrace();
        provider.start(&trace);
        // Not tracing: neither points nor restarts.
        Q_EMIT line.device.dataRecieved(1, 2, 3, 8);
        Q_EMIT line.device.dataReset();
        QCOMPARE(provider.pointCount(), 0);
        QCOMPARE(reset.count(), 0);
        QSignalSpy finished(&provider, &DataProvider::dataReadFinished);
        QVERIFY(finished.wait(10000));
        QCOMPARE(trace.pointCount(), 0);
        // The trace was still set up for its kind.
        QCOMPARE(trace.name(), provider.name());
        QCOMPARE(trace.pointProcessors.size(), 1);
    }

    void destroyedWhileWaiting()
    {
        Line line(SimulatedInstrument::Contour);
        QVERIFY(line.ready());
        ContourTrace trace;
        auto provider = std::make_unique<DeviceDataProvider>(&line.device);
        WorkerNotices worker(*provider);
        line.device.startTrace(true);
        provider->start(&trace);
        QVERIFY(worker.waitStarted(5000));
        // The deletion wakes the worker, which leaves its wait although the
        // reading goes on.
        mustReturn("deleting a device data provider that waits for its reading", [&] { provider.reset(); });
        QVERIFY(line.device.tracing());
    }

    // A cable pulled before the sample block: the trace holds live counts
    // only, so the reading reports itself incomplete; a trace whose block
    // arrives after a reconnection is complete again.
    void linkLostBeforeSampleBlock()
    {
        Line line(SimulatedInstrument::Profile);
        line.sim.setProfileRun(liveSamples(true));
        QVERIFY(line.ready());

        ProfileTrace trace;
        auto provider = std::make_unique<DeviceDataProvider>(&line.device);
        WorkerNotices worker(*provider);
        provider->start(&trace);
        line.device.startTrace(true);
        QVERIFY(SimulatedInstrument::waitFor([&] { return provider->pointCount() == 19; }));
        QVERIFY(!worker.finished);
        line.sim.pullCable();
        QVERIFY(worker.waitFinished(5000));
        QVERIFY(provider->interrupted());
        QVERIFY(!provider->result());
        QVERIFY(!line.device.tracing());
        provider.reset();

        ProfileRun whole;
        whole.live = { 500, 501, 502 };
        whole.block = QVector<quint16>(200, 1000);
        line.sim.setProfileRun(whole);
        line.sim.plugIn();
        QVERIFY(line.ready());
        ProfileTrace next;
        DeviceDataProvider again(&line.device);
        WorkerNotices nextWorker(again);
        connect(&again, &DataProvider::dataReset, this, [&] { next.clearPoints(); });
        again.start(&next);
        line.device.startTrace(true);
        QVERIFY(nextWorker.waitFinished(10000));
        QVERIFY(!again.interrupted());
        QVERIFY(again.result());
        QCOMPARE(next.pointCount(), 200);
    }

    // A contour trace cut by a lost link keeps its points as the measurement
    // they are: only a profile trace waits for a block.
    void contourTraceEndsWithTheLink()
    {
        Line line(SimulatedInstrument::Contour);
        line.sim.setContourRun(100000, [](int i) { return record(i); });
        QVERIFY(line.ready());
        ContourTrace trace;
        DeviceDataProvider provider(&line.device);
        WorkerNotices worker(provider);
        provider.start(&trace);
        line.device.startTrace(true);
        QVERIFY(SimulatedInstrument::waitFor([&] { return provider.pointCount() > 100; }));
        line.sim.pullCable();
        QVERIFY(worker.waitFinished(5000));
        QVERIFY(provider.interrupted());
        QVERIFY(provider.result());
    }

    void destroyedBeforeItsWorkerRuns()
    {
        // Deleted right after its start (a window replacing it at once),
        // with every thread of the global pool busy: whether the worker has
        // started on its own thread or is run by the wait on the deleting
        // GUI thread, where nothing sets the trace up, the deletion must
        // return.
        Line line(SimulatedInstrument::Contour);
        QVERIFY(line.ready());
        line.device.startTrace(true);

        QThreadPool *pool = QThreadPool::globalInstance();
        QSemaphore busy;
        QSemaphore release;
        const int threads = pool->maxThreadCount();
        for (int i = 0; i < threads; ++i) {
            pool->start([&] {
                busy.release();
                release.tryAcquire(1, 10000);
            });
        }
        QVERIFY(busy.tryAcquire(threads, 5000));

        ContourTrace trace;
        auto provider = std::make_unique<DeviceDataProvider>(&line.device);
        provider->start(&trace);
        mustReturn("deleting a device data provider before its worker ran", [&] { provider.reset(); });
        release.release(threads);
        pool->waitForDone(10000);
        QVERIFY(line.device.tracing());
    }

    // A stop and the next start handled at once (the operator's stop key
    // followed by the start key), and the next trace's records read right
    // after them: each reading keeps the points of its own trace. The
    // instrument holds its answer to the start, and the test hands the
    // records to the program in the same pass of the GUI thread as the stop
    // and the start, before the event loop turns again: nothing the first
    // reading's worker reports (or a late wake of it) comes between them.
    void stopThenStartAtOnce()
    {
        const int first = 300;
        const int second = 500;
        Line line(SimulatedInstrument::Contour);
        line.sim.setContourRun(first, [](int i) { return record(i); });
        QVERIFY(line.ready());
        ContourTrace a;
        ContourTrace b;
        WorkerNotices wa;
        auto pa = line.begin(a, [&](DeviceDataProvider &p) { wa.watch(p); });
        QVERIFY(SimulatedInstrument::waitFor([&] { return pa->pointCount() == first; }));

        line.sim.setAnswering(false);
        QByteArray next;
        for (int i = 0; i < second; ++i)
            next += contourRecord(record(i));
        line.device.stopTrace();
        WorkerNotices wb;
        auto pb = line.begin(b, [&](DeviceDataProvider &p) { wb.watch(p); });
        line.device.port()->deliver(next);
        QCOMPARE(pb->pointCount(), second);
        QCOMPARE(pa->pointCount(), first);

        line.device.stopTrace();
        QVERIFY(wa.waitFinished(5000));
        QVERIFY(wb.waitFinished(5000));
        QCOMPARE(a.pointCount(), first);
        QCOMPARE(b.pointCount(), second);
        QCOMPARE(a.rawPoints(first - 1, 1).at(0).at(0), double(record(first - 1).x));
        QCOMPARE(b.rawPoints(0, 1).at(0).at(0), double(record(0).x));
        QVERIFY(pa->result() && pb->result());
        QCOMPARE(pa->end(), Device::TraceStopped);
        QCOMPARE(pb->end(), Device::TraceStopped);
    }

    // A profile trace started again before its sample block arrived: the
    // first reading ends there, incomplete, and the new trace's points are
    // the second reading's alone.
    void profileStartedAgainBeforeItsBlock()
    {
        Line line(SimulatedInstrument::Profile);
        line.sim.setProfileRun(liveSamples(true));
        QVERIFY(line.ready());

        ProfileTrace a;
        WorkerNotices wa;
        auto pa = line.begin(a, [&](DeviceDataProvider &p) { wa.watch(p); });
        QVERIFY(SimulatedInstrument::waitFor([&] { return pa->pointCount() == 19; }));
        line.device.stopTrace();

        ProfileRun whole;
        whole.live = { 700, 701, 702, 703 };
        whole.block = QVector<quint16>(250, 1000);
        line.sim.setProfileRun(whole);
        ProfileTrace b;
        WorkerNotices wb;
        auto pb = line.begin(b, [&](DeviceDataProvider &p) {
            wb.watch(p);
            connect(&p, &DataProvider::dataReset, this, [&] { b.clearPoints(); });
        });
        QVERIFY(wa.waitFinished(5000));
        QVERIFY(wb.waitFinished(5000));
        QCOMPARE(pa->end(), Device::TraceRestarted);
        QVERIFY(pa->interrupted());
        QVERIFY(!pa->result());
        QCOMPARE(a.pointCount(), 19);
        QCOMPARE(pb->end(), Device::TraceWhole);
        QVERIFY(pb->result());
        QCOMPARE(b.pointCount(), 250);
    }

    // After a stop a profile instrument ends the trace by sending its sample
    // block. One that sends nothing at all is given up after a few seconds:
    // the trace ends incomplete and the panel's stop report comes, so the
    // controls come back. One that keeps sending, however slowly, is waited
    // for: each piece of its block comes most of the timeout after the one
    // before (or the stop), longer than the timeout in all. A piece is handed
    // to the program by a timer of the GUI thread started right after the
    // program took the one before, so it comes before the program's own,
    // later timer however late the thread runs.
    void stopAnsweredOrNot_data()
    {
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("end");
        QTest::newRow("silent") << 0 << int(Device::NoAnswer);
        QTest::newRow("answers slowly") << 2 << int(Device::TraceWhole);
    }
    void stopAnsweredOrNot()
    {
        QFETCH(int, pieces);
        QFETCH(int, end);
        Line line(SimulatedInstrument::Profile);
        ProfileRun run = liveSamples(false);
        run.block = QVector<quint16>(300, 1200);
        line.sim.setProfileRun(liveSamples(true));
        QVERIFY(line.ready());

        ProfileTrace trace;
        WorkerNotices worker;
        auto started = line.begin(trace, [&](DeviceDataProvider &p) {
            worker.watch(p);
            connect(&p, &DataProvider::dataReset, this, [&] { trace.clearPoints(); });
        });
        DeviceDataProvider &provider = *started;
        QVERIFY(SimulatedInstrument::waitFor([&] { return provider.pointCount() == 19; }));
        QSignalSpy stopReport(&line.device, &Device::pushButtonStopTrace);

        const QByteArray tail = streamEnd() + sampleBlock(run);
        QTimer piece;
        piece.setSingleShot(true);
        piece.setTimerType(Qt::PreciseTimer);
        piece.setInterval(Device::kStopAnswerTimeoutMs * 7 / 10);
        int sent = 0;
        QVector<bool> tracingAtPiece;
        connect(&piece, &QTimer::timeout, this, [&] {
            tracingAtPiece << line.device.tracing();
            const int from = tail.size() * sent / pieces;
            ++sent;
            line.device.port()->deliver(tail.mid(from, tail.size() * sent / pieces - from));
            if (sent < pieces)
                piece.start();
        });
        // Given up within twice the stated time, with room for a loaded machine.
        const int bound = 2 * Device::kStopAnswerTimeoutMs;
        QElapsedTimer stopped;
        stopped.start();
        line.device.stopTrace();
        if (pieces > 0)
            piece.start();
        QVERIFY(worker.waitFinished(bound + 5000));
        const qint64 elapsed = stopped.elapsed();
        QCOMPARE(tracingAtPiece, QVector<bool>(pieces, true));
        QCOMPARE(stopReport.count(), 1);
        QVERIFY(!line.device.tracing());
        QCOMPARE(int(provider.end()), end);
        if (end == Device::NoAnswer) {
            // Not before the stated time (a coarse timer may fire a little
            // early), and not long after it.
            QVERIFY2(elapsed >= Device::kStopAnswerTimeoutMs * 9 / 10 && elapsed < bound,
                qPrintable(QString::number(elapsed)));
            QVERIFY(provider.interrupted());
            QVERIFY(!provider.result());
            QCOMPARE(trace.pointCount(), 19);
            // Bytes that come late are not read as a trace.
            QCOMPARE(line.device.parserState(), 1);
        } else {
            QVERIFY(!provider.interrupted());
            QVERIFY(provider.result());
            QCOMPARE(trace.pointCount(), 300);
        }
    }

    // The reader waits on a thread of its own: with Qt's global pool down to
    // one thread (a one- or two-core controller PC), a trace file is read
    // while an acquisition runs.
    void fileReadDuringAcquisitionOnOnePoolThread()
    {
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("during.txt"));
        std::unique_ptr<ProfileTrace> written(sineProfile(1.0, 4000));
        QVERIFY(TraceWriter::saveTraceFile(path, *written));
        QThreadPool *pool = QThreadPool::globalInstance();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(1);
        const auto restore = qScopeGuard([pool, threads] { pool->setMaxThreadCount(threads); });

        Line line(SimulatedInstrument::Contour);
        line.sim.setContourRun(80, [](int i) { return record(i); });
        QVERIFY(line.ready());
        ContourTrace acquired;
        WorkerNotices worker;
        auto provider = line.begin(acquired, [&](DeviceDataProvider &p) { worker.watch(p); });
        QVERIFY(worker.waitStarted(5000));
        QVERIFY(SimulatedInstrument::waitFor([&] { return provider->pointCount() == 80; }));

        ProfileTrace read;
        FileDataProvider file(path);
        WorkerNotices fileWorker(file);
        file.start(&read);
        QVERIFY(fileWorker.waitFinished(10000));
        QVERIFY(file.result());
        QCOMPARE(read.pointCount(), written->pointCount());
        // The acquisition is still under way.
        QVERIFY(!worker.finished);
        QVERIFY(line.device.tracing());
        line.device.stopTrace();
        QVERIFY(worker.waitFinished(5000));
        QCOMPARE(acquired.pointCount(), 80);
    }

    void streamsAHundredThousandRecords()
    {
        const int count = 100000;
        Line line(SimulatedInstrument::Contour);
        line.sim.setContourRun(count, [](int i) { return record(i); });
        QVERIFY(line.ready());
        ContourTrace trace;
        DeviceDataProvider provider(&line.device);
        Batches batches(provider);
        WorkerNotices worker(provider);

        // A 10 ms timer on the GUI thread: the longest gap between its ticks
        // shows whether the event loop kept running during the stream.
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longestGap = 0;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            const qint64 now = clock.elapsed();
            longestGap = qMax(longestGap, now - lastTick);
            lastTick = now;
            ++ticks;
        });

        provider.start(&trace);
        clock.start();
        ticker.start(10);
        line.device.startTrace(true);
        QVERIFY(SimulatedInstrument::waitFor([&] { return provider.pointCount() == count; }, 60000));
        const qint64 elapsed = clock.elapsed();
        ticker.stop();
        line.device.stopTrace();
        QVERIFY(worker.waitFinished(30000));
        qInfo("%d records in %lld ms, %d timer ticks, longest gap %lld ms", count, elapsed, ticks, longestGap);

        QCOMPARE(trace.pointCount(), count);
        QCOMPARE(batches.notices.size(), count / 8);
        const TData raw = trace.rawPoints(0, count);
        for (int i = 0; i < count; ++i) {
            if (raw.at(0).at(i) != record(i).x)
                QFAIL(qPrintable(QString("point %1 has x %2").arg(i).arg(raw.at(0).at(i))));
        }
        QVERIFY(ticks > 0);
        QVERIFY2(longestGap < 250, qPrintable(QString("event loop stalled for %1 ms").arg(longestGap)));
    }
};

VANTOR_TEST_MAIN(TestDeviceDataProvider)
#include "tst_devicedataprovider.moc"
