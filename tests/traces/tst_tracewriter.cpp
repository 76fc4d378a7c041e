#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/processors.h"
#include "traces/profiletrace.h"
#include "traces/tracereaders.h"
#include "traces/tracewriter.h"

#include "support/testmain.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <csignal>
#include <limits>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

class TestTraceWriter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void realsReadBackExactly_data();
    void realsReadBackExactly();
    void randomRealsReadBackExactly();
    void headerReals_data();
    void headerReals();
    void pointLinesAreTabTerminated();
    void profileFileWithAdditionalTrace();
    void contourHeader_data();
    void contourHeader();
    void blocksWithoutPointsOrRuns();
    void coordinatesHoldProcessedXY();
    void failedWritesKeepTheOldFile();

private:
    QTemporaryDir m_dir;
};

namespace {

double readBack(const QByteArray &text)
{
    TraceFormat::Bytes b;
    b.begin = text.constData();
    b.end = text.constData() + text.size();
    double value = std::nan("");
    return TraceFormat::parseReal(b, value) ? value : std::nan("");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void fill(AbstractTrace &trace, const TData &points)
{
    for (int i = 0; i < points.at(0).size(); ++i) {
        QVector<double> p;
        for (const auto &channel : points)
            p << channel.at(i);
        trace.addPoint(p);
    }
}

} // namespace

void TestTraceWriter::realsReadBackExactly_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");

    // Contour X reaches two million; six significant digits would drop the fraction.
    QTest::newRow("contour X") << 2000000.123456789 << QByteArray("2000000.123456789");
    QTest::newRow("one tenth") << 0.1 << QByteArray("0.1");
    QTest::newRow("integer") << 20.0 << QByteArray("20");
    QTest::newRow("small") << 1.5e-07 << QByteArray("1.5e-07");
    QTest::newRow("negative") << -0.000123 << QByteArray("-0.000123");
    QTest::newRow("sum not representable") << 0.1 + 0.2 << QByteArray("0.30000000000000004");
    QTest::newRow("largest") << std::numeric_limits<double>::max() << QByteArray("1.7976931348623157e+308");
    QTest::newRow("denormal") << std::numeric_limits<double>::denorm_min() << QByteArray("5e-324");
}

void TestTraceWriter::realsReadBackExactly()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QByteArray out;
    TraceWriter::appendReal(out, value);
    QCOMPARE(out, text);
    QCOMPARE(readBack(out), value);
}

void TestTraceWriter::randomRealsReadBackExactly()
{
    QRandomGenerator rng(7);
    for (int i = 0; i < 20000; ++i) {
        const double value = (rng.generateDouble() - 0.5) * std::pow(10.0, int(rng.bounded(40)) - 20);
        QByteArray out;
        TraceWriter::appendReal(out, value);
        QVERIFY2(readBack(out) == value, out.constData());
    }
}

void TestTraceWriter::headerReals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("cut-off") << 2500.0 << QByteArray("2500");
    QTest::newRow("speed") << 0.25 << QByteArray("0.25");
    QTest::newRow("ratio") << 6.2 << QByteArray("6.2");
    QTest::newRow("radius") << 0.0001 << QByteArray("0.0001");
    QTest::newRow("one and a half million") << 1.5e6 << QByteArray("1.5e+06");
    QTest::newRow("six digits") << 15.87549 << QByteArray("15.8755");
}

void TestTraceWriter::headerReals()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QCOMPARE(TraceWriter::headerReal(value), text);
}

void TestTraceWriter::pointLinesAreTabTerminated()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const TData data { { 0, 0.5, 2000000.25 }, { 1, -2, 3 }, { 0, 0, 7, 99 } };
    QVERIFY(TraceWriter::writePointLines(buffer, data, 3));
    QCOMPARE(buffer.data(), QByteArray("0\t1\t0\t\n0.5\t-2\t0\t\n2000000.25\t3\t7\t\n"));

    // Two channels of a three-channel set; a channel shorter than X bounds the lines.
    QBuffer two;
    two.open(QIODevice::WriteOnly);
    QVERIFY(TraceWriter::writePointLines(two, TData { { 1, 2, 3 }, { 4, 5 } }, 2));
    QCOMPARE(two.data(), QByteArray("1\t4\t\n2\t5\t\n"));

    QBuffer closed;
    QVERIFY(!TraceWriter::writePointLines(closed, data, 3));
}

void TestTraceWriter::profileFileWithAdditionalTrace()
{
    const QDateTime date(QDate(2024, 2, 29), QTime(23, 59, 58));
    ProfileTrace main;
    main.setTraceType(PROFILE);
    main.speed = 0.5;
    main.cutOff = 800;
    main.controllerName = QStringLiteral("No name");
    main.creationDate = date;
    fill(main, TData { { 0, 0.5 }, { 1.25, -2 } });
    ProfileTrace additional;
    additional.setTraceType(ADDITIONAL_TRACE);
    additional.speed = 2;
    additional.cutOff = 2500;
    additional.controllerName = QStringLiteral("Иванов");
    additional.creationDate = date;
    fill(additional, TData { { 10, 10.5 }, { 0.1, 1e-7 } });
    main.addAdditionalTrace(&additional);

    const QString path = m_dir.filePath("profile.txt");
    QVERIFY(TraceWriter::saveTraceFile(path, main));
    QCOMPARE(QString::fromUtf8(readFile(path)),
        QStringLiteral("trace_type:PROFILE\n"
                       "speed:0.5\n"
                       "filter:800\n"
                       "controler_name:No name\n"
                       "creation_date:29-02-2024 23:59:58\n"
                       "addittional_trace_count:1\n"
                       "point_count:2\n"
                       "0\t1.25\t\n"
                       "0.5\t-2\t\n"
                       "trace_type:ADDITIONAL_TRACE\n"
                       "speed:2\n"
                       "filter:2500\n"
                       "controler_name:Иванов\n"
                       "creation_date:29-02-2024 23:59:58\n"
                       "point_count:2\n"
                       "10\t0.1\t\n"
                       "10.5\t1e-07\t\n"));
}

void TestTraceWriter::contourHeader_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("needle");
    QTest::addColumn<QByteArray>("firstLines");
    QTest::newRow("lower needle") << int(CONTOUR) << 1 << QByteArray("trace_type:CONTOUR\nneedle_pressing:d\n");
    QTest::newRow("upper needle") << int(CONTOURPROF) << 0 << QByteArray("trace_type:CONTOURPROF\nneedle_pressing:u\n");
}

void TestTraceWriter::contourHeader()
{
    QFETCH(int, kind);
    QFETCH(int, needle);
    QFETCH(QByteArray, firstLines);
    ContourTrace trace;
    trace.setTraceType(kind);
    trace.needle_pressing = needle;
    trace.tool_head_radius_down = 0.0001;
    trace.tool_head_radius_up = 20;
    trace.double_sided_probe_high = 22;
    trace.needle_bias = 1.5e6;
    trace.rack_perpendicular = -0.5;
    trace.x_axis_compression_ratio = 1.000123456;
    trace.y_axis_compression_ratio = 1;
    trace.displacement_coefficient = 0;
    trace.roughness_ratio = 6.2;
    trace.measurement_mode = 2;
    trace.controllerName.clear();
    trace.creationDate = QDateTime(QDate(2021, 3, 5), QTime(14, 7, 9));
    QCOMPARE(TraceWriter::traceHeader(trace),
        firstLines
            + "tool_head_radius_down:0.0001\n"
              "tool_head_radius_up:20\n"
              "double_sided_probe_high:22\n"
              "needle_bias:1.5e+06\n"
              "rack_perpendicular:-0.5\n"
              "x_axis_compression_ratio:1.00012\n"
              "y_axis_compression_ratio:1\n"
              "displacement_coefficient:0\n"
              "roughness_ratio:6.2\n"
              "measurement_mode:2\n"
              "controler_name:\n"
              "creation_date:05-03-2021 14:07:09\n");

    fill(trace, TData { { 1, 2 }, { 3, 4 }, { 5, 6 } });
    QBuffer points;
    points.open(QIODevice::WriteOnly);
    QVERIFY(TraceWriter::writeTracePoints(points, trace));
    QCOMPARE(points.data(), QByteArray("point_count:2\n1\t3\t5\t\n2\t4\t6\t\n"));
}

void TestTraceWriter::blocksWithoutPointsOrRuns()
{
    // No points: a zero count and no point lines. A PROFILE trace without
    // additional traces still has its run count; an additional trace alone
    // has none.
    ProfileTrace profile;
    profile.setTraceType(PROFILE);
    const QString path = m_dir.filePath("empty.txt");
    QVERIFY(TraceWriter::saveTraceFile(path, profile));
    const QByteArray text = readFile(path);
    QVERIFY(text.endsWith("addittional_trace_count:0\npoint_count:0\n"));

    profile.setTraceType(ADDITIONAL_TRACE);
    QVERIFY(TraceWriter::saveTraceFile(path, profile));
    const QByteArray alone = readFile(path);
    QVERIFY(alone.startsWith("trace_type:ADDITIONAL_TRACE\n"));
    QVERIFY(!alone.contains("addittional_trace_count"));
    QVERIFY(alone.endsWith("\npoint_count:0\n"));
}

void TestTraceWriter::coordinatesHoldProcessedXY()
{
    ContourTrace trace;
    trace.addPostProcessor(std::make_shared<YZeronator>());
    fill(trace, TData { { 0, 0.5, 1 }, { 7, 5, 9 }, { 100, 100, 100 } });
    // Only the equal-X spreading of the finishing step, which leaves these points alone.
    const Settings saved = Settings::instance();
    Settings::instance().is_disabled_gauss_filter = false;
    Settings::instance().is_disabled_radius_elimination = false;
    trace.recalculate();
    Settings::instance() = saved;
    const QString path = m_dir.filePath("coords.txt");
    QVERIFY(TraceWriter::savePointsFile(path, trace));
    QCOMPARE(readFile(path), QByteArray("0\t2\t\n0.5\t0\t\n1\t4\t\n"));
}

void TestTraceWriter::failedWritesKeepTheOldFile()
{
    ContourTrace trace;
    TData points(3);
    for (int i = 0; i < 20000; ++i) {
        points[0] << i * 1.000001;
        points[1] << i * 0.5;
        points[2] << 0;
    }
    fill(trace, points);

    // A folder that does not exist.
    QVERIFY(!TraceWriter::saveTraceFile(m_dir.filePath("missing/trace.txt"), trace));
    QVERIFY(!TraceWriter::savePointsFile(m_dir.filePath("missing/points.txt"), trace));

#ifdef Q_OS_LINUX
    // The disk refusing the data half-way: the file that was there stays whole.
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.txt");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content\n");
    }
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool savedTrace = TraceWriter::saveTraceFile(path, trace);
    const bool savedPoints = TraceWriter::savePointsFile(path, trace);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!savedTrace);
    QVERIFY(!savedPoints);
    QCOMPARE(readFile(path), QByteArray("old content\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ "kept.txt" }));
#endif
    QVERIFY(QString::fromUtf8(readFile(QString::fromStdString(logger.fileName()))).contains("ERROR"));
}

VANTOR_TEST_MAIN(TestTraceWriter)
#include "tst_tracewriter.moc"
