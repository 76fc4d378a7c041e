#include "support/testmain.h"

#include "device/device.h"
#include "device/deviceport.h"
#include "support/simulatedinstrument.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSignalSpy>

using namespace InstrumentReplies;

namespace {

QString num(double v)
{
    return QString::number(v, 'g', 17);
}

// A device on a silent simulated instrument, with every signal of the
// parser written to a log, and bytes delivered to the parser directly so
// that the test decides how they are split.
struct ParserBench {
    SimulatedInstrument sim;
    ScriptedPortCandidates ports { [this] { return QList<PortCandidate> { sim.candidate() }; } };
    Device device;
    QStringList log;

    ParserBench()
    {
        sim.setAnswering(false);
        QObject::connect(&device, &Device::dataRecieved, [this](double p, double c, double x, int k) {
            log << QString("point %1 %2 %3 %4").arg(num(p), num(c), num(x)).arg(k);
        });
        QObject::connect(&device, &Device::setBarValue, [this](int v) { log << QString("bar %1").arg(v); });
        QObject::connect(&device, &Device::dataReset, [this] { log << "reset"; });
        QObject::connect(&device, &Device::pushButtonStopTrace, [this] { log << "stop"; });
        QObject::connect(&device, &Device::pushButtonStartTrace, [this] { log << "start"; });
    }

    bool open()
    {
        if (!SimulatedInstrument::waitFor([this] { return device.port()->isOpen(); }, 10000))
            return false;
        settle();
        return true;
    }
    // Waits until every command given so far has reached the instrument,
    // then forgets them.
    void settle()
    {
        device.port()->write("DZ0");
        const bool arrived = SimulatedInstrument::waitFor(
            [this] { return !sim.commands().isEmpty() && sim.commands().last() == "DZ0"; }, 10000);
        QVERIFY2(arrived, "the instrument did not receive the commands");
        sim.clearCommands();
    }
    void deliver(const QByteArray &bytes) { device.port()->deliver(bytes); }
    void feed(const QByteArray &bytes, int chunk)
    {
        for (int i = 0; i < bytes.size(); i += chunk)
            deliver(bytes.mid(i, chunk));
    }
    // Starts over as when a port opens, and identifies the instrument.
    void identifyAs(SimulatedInstrument::Kind kind)
    {
        device.openDevice();
        deliver(identification(kind == SimulatedInstrument::Profile ? "VANTOR OK" : "Brix_582_V3"));
    }
    // A contour instrument past its parameters, with the first record's
    // alarm and status counting as a change.
    void contourReady()
    {
        identifyAs(SimulatedInstrument::Contour);
        QVector<qint32> p(30, 0);
        p[0] = p[1] = 1000000;
        deliver(parameters(p));
    }
    // A profile instrument waiting for the stream of a started trace.
    void profileTracing()
    {
        identifyAs(SimulatedInstrument::Profile);
        device.startTrace(true);
    }
    QStringList points() const { return log.filter(QRegularExpression("^point ")); }
    // The commands sent since the last settle, once they have all arrived.
    QList<QByteArray> commandsSent()
    {
        device.port()->write("DZ0");
        const bool arrived = SimulatedInstrument::waitFor(
            [this] { return !sim.commands().isEmpty() && sim.commands().last() == "DZ0"; }, 10000);
        QList<QByteArray> sent = sim.commands();
        sim.clearCommands();
        if (arrived)
            sent.removeLast();
        return sent;
    }
};

ContourRecord rec(quint32 x, qint32 probe = 500, qint32 console = 1000, quint8 alarm = 2, quint8 status = 0)
{
    ContourRecord r;
    r.x = x;
    r.probe = probe;
    r.console = console;
    r.alarm = alarm;
    r.status = status;
    return r;
}

ProfileRun smallProfileRun(quint16 lastLive)
{
    ProfileRun run;
    run.streamDivisor = 8;
    run.live = { 1000, 0x4242, 65535, lastLive };
    run.blockDivisor = 4;
    run.blockScale = 250000;
    for (int i = 0; i < 12; ++i)
        run.block.append(quint16(3000 + 17 * i));
    return run;
}

enum Start : int { ProfileTracing, ContourReady, ProfileReady, Calibrating };

} // namespace

Q_DECLARE_METATYPE(Start)
Q_DECLARE_METATYPE(ContourRecord)

class TestDeviceParser : public QObject {
    Q_OBJECT

private:
    // Every test starts from the built-in defaults, whatever an earlier run saved.
    Settings m_defaults = Settings::load(QString());
    std::unique_ptr<ParserBench> m_shared; // reused where a fresh start is cheap to make

    void prepare(ParserBench &bench, Start start)
    {
        switch (start) {
        case ProfileTracing:
            // After a whole trace the instrument is back at console heights.
            if (bench.device.parserState() == 1)
                bench.device.startTrace(true);
            else
                bench.profileTracing();
            break;
        case ContourReady:
            bench.contourReady();
            break;
        case ProfileReady:
            bench.identifyAs(SimulatedInstrument::Profile);
            break;
        case Calibrating:
            bench.identifyAs(SimulatedInstrument::Profile);
            bench.device.calibration();
            break;
        }
        bench.log.clear();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The parser traces every reply to the debug output.
        QLoggingCategory::setFilterRules("default.debug=false");
    }

    void cleanupTestCase() { m_shared.reset(); }

    void init()
    {
        Settings::instance() = m_defaults;
        Settings::instance().save();
    }

    void chunkedRepliesGiveSamePoints_data()
    {
        QTest::addColumn<Start>("start");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expectedPoints");
        QTest::addColumn<int>("endState");

        QTest::newRow("profile trace") << ProfileTracing << profileTrace(smallProfileRun(1000)) << 15 << 1;
        QTest::newRow("profile, last live sample 0") << ProfileTracing << profileTrace(smallProfileRun(0)) << 15 << 1;
        QTest::newRow("profile, last live sample 1") << ProfileTracing << profileTrace(smallProfileRun(1)) << 15 << 1;
        QTest::newRow("profile, noise before the start")
            << ProfileTracing << QByteArray("xS?") + profileTrace(smallProfileRun(7)) << 15 << 1;

        QByteArray contour;
        for (quint32 i = 0; i < 20; ++i) {
            contour += contourRecord(rec(100 + 5 * i, 1000 + qint32(i)));
            if (i % 6 == 3)
                contour += "noise";
        }
        QTest::newRow("contour records with noise") << ContourReady << contour << 20 << 11;

        QVector<qint32> p(30, 7);
        p[0] = 1010000;
        p[1] = 990000;
        QTest::newRow("parameters and records") << Start(-1)
                                                << QByteArray("Brix_582_V3").leftJustified(20, ' ') + "xA"
                + parameters(p) + contourRecord(rec(10)) + contourRecord(rec(20))
                                                << 2 << 11;

        QTest::newRow("console heights") << ProfileReady
                                         << QByteArray("A\x5A\x00\x10?\x5A\xFF\xFF\x5A\x12", 10) + "\x34" << 0 << 1;
        QTest::newRow("calibration texts") << Calibrating << QByteArray("Stage 5: ok\nStage 6: done\n") << 0 << 1;
    }

    void chunkedRepliesGiveSamePoints()
    {
        QFETCH(Start, start);
        QFETCH(QByteArray, bytes);
        QFETCH(int, expectedPoints);
        QFETCH(int, endState);

        ParserBench bench;
        QVERIFY(bench.open());
        auto run = [&](int chunk) {
            if (start == Start(-1))
                bench.device.openDevice();
            else
                prepare(bench, start);
            bench.log.clear();
            bench.feed(bytes, chunk);
            bench.log << QString("state %1").arg(bench.device.parserState());
            return bench.log;
        };

        const QStringList whole = run(bytes.size());
        QCOMPARE(whole.filter(QRegularExpression("^point ")).size(), expectedPoints);
        QCOMPARE(whole.last(), QString("state %1").arg(endState));
        for (int chunk = 1; chunk < bytes.size(); ++chunk) {
            const QStringList chunked = run(chunk);
            if (chunked != whole) {
                qWarning() << "chunk size" << chunk;
                QCOMPARE(chunked, whole);
            }
            QVERIFY(bench.device.port()->bytesAvailable() < bench.device.replyLength(bench.device.parserState()));
        }
    }

    void profileTracePointsAndEnd()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.profileTracing();
        QCOMPARE(bench.device.parserState(), 3);
        QVERIFY(bench.device.tracing());
        bench.log.clear();
        const ProfileRun run = smallProfileRun(1000);
        bench.deliver(profileTrace(run));

        // Live samples: x = i × 500 / 12.5 / divisor × 1000 (40 µm × 1000 / 8),
        // drawn one by one; the last one has no following "B" and is dropped
        // with the end marker's search.
        const QStringList pts = bench.points();
        QCOMPARE(pts.mid(0, 3), (QStringList { "point 1000 0 0 1", "point 16962 0 5000 1", "point 65535 0 10000 1" }));
        QCOMPARE(bench.log.count("reset"), 1);
        // Block samples: v × scale × 1e-8, x = i / divisor × 1000.
        QCOMPARE(pts.at(3), QString("point %1 0 0 100").arg(num(3000 * 250000 * 1e-8)));
        QCOMPARE(pts.at(4), QString("point %1 0 250 100").arg(num(3017 * 250000 * 1e-8)));
        QCOMPARE(pts.size(), 3 + run.block.size());
        QCOMPARE(bench.log.last(), QString("stop"));
        QCOMPARE(bench.device.parserState(), 1);
        QVERIFY(!bench.device.tracing());
    }

    void blockLengthFromCount()
    {
        // Count 16384 announces (2048 - 513) × 2 = 3070 bytes: 1535 samples.
        ParserBench bench;
        QVERIFY(bench.open());
        bench.profileTracing();
        ProfileRun run = smallProfileRun(1000);
        run.block = QVector<quint16>(1535, 9);
        run.blockCount = 16384;
        bench.deliver(profileTrace(run));
        QCOMPARE(bench.points().size(), 3 + 1535);
        QCOMPARE(bench.device.parserState(), 1);
    }

    void emptyBlockEndsTrace_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::newRow("length 0") << qint64(513 * 8);
        QTest::newRow("negative length") << qint64(4000);
        QTest::newRow("count 0") << qint64(0);
    }

    void emptyBlockEndsTrace()
    {
        QFETCH(qint64, count);
        ParserBench bench;
        QVERIFY(bench.open());
        bench.profileTracing();
        ProfileRun run = smallProfileRun(1000);
        run.block.clear();
        run.blockCount = count;
        bench.log.clear();
        bench.deliver(profileTrace(run) + InstrumentReplies::consoleHeight(5));
        QCOMPARE(bench.points().size(), 3);
        QCOMPARE(bench.log.count("stop"), 1);
        QVERIFY(!bench.device.tracing());
        // Back at console heights: the following reply is one.
        QCOMPARE(bench.device.parserState(), 1);
        QCOMPARE(bench.device.consoleHeight(), 5);
    }

    void zeroDivisorsCountAsOne()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.profileTracing();
        ProfileRun run = smallProfileRun(1000);
        run.streamDivisor = 0;
        run.blockDivisor = 0;
        bench.log.clear();
        bench.deliver(profileTrace(run));
        const QStringList pts = bench.points();
        QCOMPARE(pts.at(1), QString("point 16962 0 40000 1"));
        QCOMPARE(pts.at(4), QString("point %1 0 1000 100").arg(num(3017 * 250000 * 1e-8)));
    }

    void consoleHeight()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.identifyAs(SimulatedInstrument::Profile);
        bench.settle();
        bench.log.clear();
        bench.deliver(QByteArray("\x41\x5A\x00\x10", 4));
        QCOMPARE(bench.log, QStringList { "bar 65519" });
        QCOMPARE(bench.device.consoleHeight(), 16);
        QCOMPARE(bench.commandsSent(), QList<QByteArray> { "CT" });
    }

    void identificationRetriesUntilRecognised()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.device.openDevice();
        bench.deliver(identification("ok? Brix_582_v3")); // both tests are case-sensitive
        QCOMPARE(bench.device.parserState(), 0);
        bench.deliver(identification("Brix_582_V3 OK")); // "OK" is tested first
        QCOMPARE(bench.device.parserState(), 1);
        QCOMPARE(bench.device.deviceType(), 2);
        QCOMPARE(bench.commandsSent().mid(0, 3), (QList<QByteArray> { "CP", "CP", "CM" }));
    }

    void calibrationEnd_data()
    {
        QTest::addColumn<QList<QByteArray>>("arrivals");
        QTest::addColumn<int>("state");
        QTest::newRow("whole") << QList<QByteArray> { "Stage 5\n", "Stage 6 done" } << 1;
        QTest::newRow("split inside the marker") << QList<QByteArray> { "Stage 5\nSta", "ge 6 done" } << 1;
        QTest::newRow("split before the digit") << QList<QByteArray> { "Stage ", "6" } << 1;
        QTest::newRow("not yet") << QList<QByteArray> { "Stage 5\n", "Stage 6" } << 1;
        QTest::newRow("no end") << QList<QByteArray> { "Stage 5\n", "Stage 7" } << 8;
        QTest::newRow("marker apart") << QList<QByteArray> { "Stage", "x 6" } << 8;
    }

    void calibrationEnd()
    {
        QFETCH(QList<QByteArray>, arrivals);
        QFETCH(int, state);
        Settings::instance().trace_length = 4;
        ParserBench bench;
        QVERIFY(bench.open());
        bench.identifyAs(SimulatedInstrument::Profile);
        Settings::instance().calibration_Ra_value = 0.8;
        bench.device.calibration();
        QCOMPARE(bench.device.parserState(), 8);
        bench.settle();
        for (const QByteArray &a : arrivals)
            bench.deliver(a);
        QCOMPARE(bench.device.parserState(), state);
        if (state == 1)
            QCOMPARE(bench.commandsSent(), (QList<QByteArray> { "PL4" }));
    }

    void parameterRecord_data()
    {
        QTest::addColumn<qint32>("x");
        QTest::addColumn<qint32>("y");
        QTest::addColumn<bool>("taken");
        QTest::newRow("in range") << 1020000 << 980000 << true;
        QTest::newRow("lower bounds") << 950000 << 950000 << true;
        QTest::newRow("upper bounds") << 1050000 << 1050000 << true;
        QTest::newRow("y out of range") << 1000000 << 940000 << false;
        QTest::newRow("x out of range") << 1051000 << 1000000 << false;
        QTest::newRow("negative") << -1000000 << 1000000 << false;
    }

    void parameterRecord()
    {
        QFETCH(qint32, x);
        QFETCH(qint32, y);
        QFETCH(bool, taken);
        ParserBench bench;
        QVERIFY(bench.open());
        bench.identifyAs(SimulatedInstrument::Contour);
        QCOMPARE(bench.device.parserState(), 9);
        QVector<qint32> p(30, 99);
        p[0] = x;
        p[1] = y;
        p[2] = -12345;
        p[3] = 250;
        bench.deliver("A?AAA");
        QCOMPARE(bench.device.parserState(), 10);
        bench.deliver(parameters(p).mid(3));
        QCOMPARE(bench.device.parserState(), 11);

        const Settings &memory = Settings::instance();
        const Settings saved = Settings::load(Settings::kFileName);
        for (const Settings *s : { &memory, &saved }) {
            QCOMPARE(s->x_axis_compression_ratio, taken ? x / 1e6 : m_defaults.x_axis_compression_ratio);
            QCOMPARE(s->y_axis_compression_ratio, taken ? y / 1e6 : m_defaults.y_axis_compression_ratio);
            QCOMPARE(s->displacement_coefficient, taken ? -0.012345 : m_defaults.displacement_coefficient);
            QCOMPARE(s->rack_prpendicular, taken ? 2.5 : m_defaults.rack_prpendicular);
        }
    }

    void parameterHeaderGivesUpAfter200Mismatches()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.identifyAs(SimulatedInstrument::Contour);
        bench.deliver(QByteArray(200, 'x'));
        QCOMPARE(bench.device.parserState(), 9);
        bench.deliver("AAx");
        QCOMPARE(bench.device.parserState(), 11);
        QCOMPARE(bench.device.pointCounter(), 0);
    }

    void contourRecords_data()
    {
        QTest::addColumn<QList<ContourRecord>>("records");
        QTest::addColumn<QStringList>("points");

        QTest::newRow("in order") << QList<ContourRecord> { rec(10, 5), rec(20, -7), rec(20, 3) }
                                  << QStringList { "10 5", "20 -7", "20 3" };
        QTest::newRow("x falling behind") << QList<ContourRecord> { rec(10), rec(30), rec(25), rec(31) }
                                          << QStringList { "10 500", "30 500", "31 500" };
        QTest::newRow("console 9 and 10")
            << QList<ContourRecord> { rec(10, 500, 9), rec(11, 500, 10) } << QStringList { "11 500" };
        QTest::newRow("probe limits") << QList<ContourRecord> { rec(10, 2000001), rec(11, 2000000) }
                                      << QStringList { "11 2000000" };
        // A glitch far beyond the trace is not passed on and does not hold
        // back the points after it.
        QTest::newRow("x glitch") << QList<ContourRecord> { rec(10), rec(2000001), rec(12), rec(2000000) }
                                  << QStringList { "10 500", "12 500", "2000000 500" };
        QTest::newRow("invalid record does not raise the maximum")
            << QList<ContourRecord> { rec(10), rec(50, 500, 3), rec(20) } << QStringList { "10 500", "20 500" };
        QTest::newRow("not forwarded before a start alarm")
            << QList<ContourRecord> { rec(10, 500, 1000, 0), rec(11, 500, 1000, 5), rec(12, 500, 1000, 6), rec(13) }
            << QStringList { "12 500", "13 500" };
        QTest::newRow("forwarding stops at an unknown alarm")
            << QList<ContourRecord> { rec(10), rec(11, 500, 1000, 104), rec(12, 500, 1000, 104, 7), rec(13) }
            << QStringList { "10 500", "13 500" };
    }

    void contourRecords()
    {
        QFETCH(QList<ContourRecord>, records);
        QFETCH(QStringList, points);
        ParserBench bench;
        QVERIFY(bench.open());
        bench.contourReady();
        bench.log.clear();
        QByteArray bytes;
        for (const ContourRecord &r : records)
            bytes += contourRecord(r);
        bench.deliver(bytes);
        QStringList got;
        for (const QString &p : bench.points()) {
            const QStringList f = p.split(' ');
            QCOMPARE(f.at(4), QString("8"));
            got << f.at(3) + " " + f.at(1);
        }
        QCOMPARE(got, points);
        QCOMPARE(bench.log.filter("bar ").size(), records.size());
    }

    void contourRecordNeedsAllItsBytes()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.contourReady();
        bench.log.clear();
        const QByteArray r = contourRecord(rec(42, 7, 1234));
        bench.deliver(r.left(13));
        QVERIFY(bench.log.isEmpty());
        bench.deliver(r.mid(13));
        QCOMPARE(bench.log, (QStringList { "start", "bar 1234", "point 7 1234 42 8" }));
        QCOMPARE(bench.device.probeHeight(), 7);
        QCOMPARE(bench.device.xPosition(), 42);
    }

    void contourProfileModeSendsProbeZero()
    {
        Settings::instance().measurement_mode = 2;
        ParserBench bench;
        QVERIFY(bench.open());
        bench.contourReady();
        QCOMPARE(bench.device.deviceType(), 1);
        bench.log.clear();
        bench.deliver(contourRecord(rec(10, 77, 500)) + contourRecord(rec(11, -5, 501)));
        QCOMPARE(bench.points(), (QStringList { "point 0 500 10 8", "point 0 501 11 8" }));
    }

    void randomBytesEndQuicklyAndDrain_data()
    {
        QTest::addColumn<int>("state");
        for (int s : { 0, 1, 2, 3, 8, 9, 11 })
            QTest::newRow(qPrintable(QString("state %1").arg(s))) << s;
    }

    void randomBytesEndQuicklyAndDrain()
    {
        QFETCH(int, state);
        ParserBench bench;
        QVERIFY(bench.open());
        switch (state) {
        case 0:
            bench.device.openDevice();
            break;
        case 1:
            bench.identifyAs(SimulatedInstrument::Profile);
            break;
        case 2:
            bench.profileTracing();
            bench.deliver(streamStart(3));
            break;
        case 3:
            bench.profileTracing();
            break;
        case 8:
            bench.identifyAs(SimulatedInstrument::Profile);
            bench.device.calibration();
            break;
        case 9:
            bench.identifyAs(SimulatedInstrument::Contour);
            break;
        case 11:
            bench.contourReady();
            break;
        }
        QCOMPARE(bench.device.parserState(), state);
        QRandomGenerator rng(12345 + state);
        QElapsedTimer timer;
        timer.start();
        for (int round = 0; round < 200; ++round) {
            QByteArray chunk(int(rng.bounded(1, 300)), Qt::Uninitialized);
            for (char &c : chunk)
                c = char(rng.bounded(256));
            bench.deliver(chunk);
            const int left = bench.device.port()->bytesAvailable();
            QVERIFY2(left == 0 || left < bench.device.replyLength(bench.device.parserState()),
                qPrintable(QString("%1 bytes left in state %2").arg(left).arg(bench.device.parserState())));
        }
        QVERIFY(timer.elapsed() < 5000);
    }

    void alarmReactions_data()
    {
        QTest::addColumn<int>("alarm");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::addColumn<bool>("forward");

        using C = QList<QByteArray>;
        QTest::newRow("0") << 0 << 0 << QStringList { "normal" } << C {} << false;
        QTest::newRow("1") << 1 << 0 << QStringList { "stop" } << C { "CA" } << false;
        QTest::newRow("2") << 2 << 0 << QStringList { "start" } << C {} << true;
        QTest::newRow("102") << 102 << 0 << QStringList { "start" } << C {} << true;
        QTest::newRow("3") << 3 << 0 << QStringList { "calibrate" } << C {} << false;
        QTest::newRow("103") << 103 << 0 << QStringList { "calibrate" } << C {} << false;
        QTest::newRow("4") << 4 << 0 << QStringList { "crash" } << C { "CA" } << false;
        for (int a : { 5, 7, 9, 105, 107, 108, 109 })
            QTest::newRow(qPrintable(QString::number(a))) << a << 0 << QStringList { "prepare" } << C {} << false;
        for (int a : { 6, 100, 106 })
            QTest::newRow(qPrintable(QString::number(a))) << a << 0 << QStringList { "prepare" } << C {} << true;
        QTest::newRow("101") << 101 << 0 << QStringList { "stop" } << C { "CA" } << false;
        QTest::newRow("110") << 110 << 3 << QStringList { "prepare" } << C {} << false;
        QTest::newRow("110 end") << 110 << 109 << QStringList { "prepare" } << C { "CA", "CA" } << false;
        for (int a : { 11, 99, 104, 111, 255 })
            QTest::newRow(qPrintable(QString::number(a))) << a << 0 << QStringList {} << C {} << false;

        QTest::newRow("circle search") << 8 << 30 << QStringList { "progress 30 Поиск центра окружности", "prepare" }
                                       << C {} << false;
        QTest::newRow("circle search start")
            << 8 << 1 << QStringList { "loader Идёт поиск минимума", "progress 1 Поиск центра окружности", "prepare" }
            << C {} << false;
        QTest::newRow("circle search centre")
            << 8 << 95 << QStringList { "progress 95 Перемещение на центр", "prepare" } << C {} << false;
        QTest::newRow("circle search 94")
            << 8 << 94 << QStringList { "progress 94 Поиск центра окружности", "prepare" } << C {} << false;

        const QList<QPair<int, QString>> calibration {
            { 2, "Поиск максимума показания датчика" },
            { 3, "Поиск минимума показания датчика" },
            { 4, "Настройка силы прижима иглы" },
            { 5, "Подвод контурографа к поверхности до касания" },
            { 54, "Калибровка датчика" },
            { 107, "Отвод контурографа от поверхности" },
            { 108, "Опускание контурографа до центра диапазона датчика" },
        };
        for (const auto &c : calibration)
            QTest::newRow(qPrintable(QString("calibration %1").arg(c.first)))
                << 10 << c.first
                << QStringList { QString("progress %1 %2").arg(c.first * 100 / 109).arg(c.second), "prepare" } << C {}
                << false;
        QTest::newRow("calibration start")
            << 10 << 1
            << QStringList { "loader Идёт калибровка", "progress 0 Отвод контурографа от поверхности", "prepare" }
            << C {} << false;
        QTest::newRow("calibration end") << 10 << 109 << QStringList { "progress 100 Калибровка завершена", "prepare" }
                                         << C { "CA" } << false;
    }

    void alarmReactions()
    {
        QFETCH(int, alarm);
        QFETCH(int, status);
        QFETCH(QStringList, emitted);
        QFETCH(QList<QByteArray>, commands);
        QFETCH(bool, forward);

        if (!m_shared) {
            m_shared = std::make_unique<ParserBench>();
            QVERIFY(m_shared->open());
        }
        ParserBench &bench = *m_shared;
        bench.contourReady();
        bench.device.startTrace(true);
        bench.log.clear();
        Device &d = bench.device;
        QStringList got;
        QObject context; // ends these connections with the row
        connect(&d, &Device::normalStatus, &context, [&] { got << "normal"; });
        connect(&d, &Device::pushButtonStopTrace, &context, [&] { got << "stop"; });
        connect(&d, &Device::pushButtonStartTrace, &context, [&] { got << "start"; });
        connect(&d, &Device::needCalibration, &context, [&] { got << "calibrate"; });
        connect(&d, &Device::crashDevice, &context, [&] { got << "crash"; });
        connect(&d, &Device::prepareTrace, &context, [&] { got << "prepare"; });
        connect(&d, &Device::openLoader, &context, [&](const QString &t) { got << "loader " + t; });
        connect(&d, &Device::setStatusProgressBar, &context,
            [&](int v, const QString &t) { got << QString("progress %1 %2").arg(v).arg(t); });
        bench.settle();

        bench.deliver(contourRecord(rec(10, 500, 1000, quint8(alarm), quint8(status))));
        QCOMPARE(got, emitted);
        QCOMPARE(d.forwardPoints(), forward);
        QCOMPARE(bench.points().size(), forward ? 1 : 0);
        QCOMPARE(d.tracing(), alarm != 4);
        // The same pair again changes nothing.
        got.clear();
        bench.deliver(contourRecord(rec(11, 500, 1000, quint8(alarm), quint8(status))));
        QVERIFY(got.isEmpty());
        QCOMPARE(d.forwardPoints(), forward);
        // A calibration end is acknowledged on every record that reports it.
        const QList<QByteArray> again
            = (alarm == 10 || alarm == 110) && status == 109 ? QList<QByteArray> { "CA" } : QList<QByteArray> {};
        QCOMPARE(bench.commandsSent(), commands + again);
    }

    void statusChangeRepeatsReaction()
    {
        ParserBench bench;
        QVERIFY(bench.open());
        bench.contourReady();
        bench.deliver(contourRecord(rec(10, 500, 1000, 2, 0)) + contourRecord(rec(11, 500, 1000, 2, 1))
            + contourRecord(rec(12, 500, 1000, 2, 1)) + contourRecord(rec(13, 500, 1000, 2, 2)));
        QCOMPARE(bench.log.count("start"), 3);
        QCOMPARE(bench.points().size(), 4);
    }

    void demonstrationCycle()
    {
        Settings::instance().demo_regime = true;
        ParserBench bench;
        QVERIFY(bench.open());
        bench.contourReady();
        Device &d = bench.device;
        QSignalSpy deleteAll(&d, &Device::deleteAllTrace);
        QCOMPARE(d.demoStep(), -1);
        bench.settle();

        // The instrument's end alarm before any trace does not start the return.
        bench.deliver(contourRecord(rec(5, 0, 1000, 1)) + contourRecord(rec(5, 0, 1000, 0)));
        QCOMPARE(d.demoStep(), -1);
        QCOMPARE(bench.log.count("stop"), 1);
        QCOMPARE(bench.log.count("start"), 0);

        // First trace: started at the instrument (that record starts the
        // cycle), then spans x 100..300 with probe readings 1000..5000.
        bench.log.clear();
        QByteArray first;
        first += contourRecord(rec(90, 800, 1000, 2));
        first += contourRecord(rec(100, 1000, 1000, 2));
        first += contourRecord(rec(200, 5000, 1000, 2));
        first += contourRecord(rec(300, 3000, 1000, 2));
        bench.deliver(first);
        QCOMPARE(d.demoStep(), 0);
        QCOMPARE(bench.log.count("start"), 1);
        QCOMPARE(bench.points().size(), 4);

        // End alarm: once to step 1, even while later records keep alarm 1.
        bench.deliver(contourRecord(rec(300, 3000, 1000, 1, 0)));
        QCOMPARE(d.demoStep(), 1);
        QCOMPARE(bench.log.count("stop"), 1);
        // Lift while the probe is below 5000 + 0.1 × 4000 = 5400.
        bench.deliver(contourRecord(rec(300, 5399, 1000, 1, 1)));
        QCOMPARE(d.demoStep(), 1);
        bench.deliver(contourRecord(rec(300, 5400, 1000, 1, 2))); // high enough: drive back
        bench.deliver(contourRecord(rec(150, 5400, 1000, 1, 3)));
        QCOMPARE(d.demoStep(), 1);
        QCOMPARE(deleteAll.count(), 0);
        bench.deliver(contourRecord(rec(100, 5400, 1000, 1, 3))); // back at the smallest x
        QCOMPARE(deleteAll.count(), 1);
        QCOMPARE(d.demoStep(), 2);
        QCOMPARE(bench.log.count("stop"), 1);

        bench.log.clear();
        bench.deliver(contourRecord(rec(100, 1000, 1000, 1, 3)));
        QCOMPARE(bench.log.count("start"), 1);
        QCOMPARE(d.demoStep(), 3);
        bench.deliver(contourRecord(rec(299, 1000, 1000, 1, 3)));
        QCOMPARE(d.demoStep(), 3);
        bench.deliver(contourRecord(rec(300, 1000, 1000, 1, 3))); // the first trace's end
        QCOMPARE(d.demoStep(), 1);
        QCOMPARE(bench.log.count("stop"), 1);

        QCOMPARE(bench.commandsSent(),
            (QList<QByteArray> { "CA", "CA", "DZ+", "DZ0", "DX+", "DZ0", "DX+", "DZ0", "DX0", "CA" }));
    }
};

VANTOR_TEST_MAIN(TestDeviceParser)
#include "tst_deviceparser.moc"
