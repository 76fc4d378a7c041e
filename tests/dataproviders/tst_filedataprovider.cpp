#include "dataproviders/filedataprovider.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "traces/tracereaders.h"
#include "traces/tracewriter.h"

#include "support/fuzzy.h"
#include "support/testmain.h"
#include "support/neutralcalibration.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// What a provider reported while it read one file.
struct ReadLog {
    bool result = false;
    QStringList events; // "started", "batch 0 500", "error <text>", "finished"
    QStringList errors;
    QList<QPair<int, int>> batches;
};

ReadLog readInto(const QString &path, AbstractTrace *trace)
{
    ReadLog log;
    QMutex mutex;
    FileDataProvider provider(path);
    const auto record = [&](const QString &event) {
        QMutexLocker lock(&mutex);
        log.events << event;
    };
    QObject::connect(&provider, &DataProvider::dataReadStarted, [&] { record("started"); });
    QObject::connect(&provider, &DataProvider::dataReadFinished, [&] { record("finished"); });
    QObject::connect(&provider, &DataProvider::dataBatchReady, [&](int from, int count) {
        record(QString("batch %1 %2").arg(from).arg(count));
        QMutexLocker lock(&mutex);
        log.batches << qMakePair(from, count);
    });
    QObject::connect(&provider, &DataProvider::dataReadError, [&](const QString &s) {
        record("error " + s);
        QMutexLocker lock(&mutex);
        log.errors << s;
    });
    provider.start(trace);
    provider.waitForFinished();
    log.result = provider.result();
    return log;
}

bool allFinite(const TData &data)
{
    for (const auto &channel : data)
        for (double v : channel)
            if (!std::isfinite(v))
                return false;
    return true;
}

int rawCount(const AbstractTrace &trace)
{
    return trace.rawData->isEmpty() ? 0 : trace.rawData->at(0).size();
}

// A profile trace that deletes the additional traces a reader attached to it.
struct OwnedProfile {
    ProfileTrace trace;
    ~OwnedProfile() { qDeleteAll(trace.additionalTraces); }
};

void addPoints(AbstractTrace &trace, const TData &points)
{
    for (int i = 0; i < points.at(0).size(); ++i) {
        QVector<double> p;
        for (const auto &channel : points)
            p << channel.at(i);
        trace.addPoint(p);
    }
}

template <typename T> void putLittleEndian(QByteArray &bytes, qint64 offset, T value)
{
    const T le = qToLittleEndian(value);
    bytes.replace(int(offset), int(sizeof(T)), reinterpret_cast<const char *>(&le), int(sizeof(T)));
}

QByteArray vantorFile(qint32 count, double step, const QVector<qint16> &samples, double scale)
{
    QByteArray bytes(int(TraceFormat::kVantorSamplesOffset), '\0');
    putLittleEndian(bytes, TraceFormat::kVantorCountOffset, count);
    quint64 bits = 0;
    std::memcpy(&bits, &step, sizeof(bits));
    putLittleEndian(bytes, TraceFormat::kVantorStepOffset, bits);
    for (qint16 s : samples)
        putLittleEndian(bytes, bytes.size(), s);
    const qint64 tail = bytes.size();
    bytes.append(QByteArray(int(TraceFormat::kVantorTailSize), '\0'));
    std::memcpy(&bits, &scale, sizeof(bits));
    putLittleEndian(bytes, tail, bits);
    return bytes;
}

// The first `count` points of a trace's data.
TData firstPoints(const TData &data, int count)
{
    TData out;
    for (const auto &channel : data)
        out << channel.mid(0, count);
    return out;
}

// A profile file as the program writes it: 2400 points and two additional
// traces of 300, beside the points it was written from.
struct WrittenProfile {
    QByteArray bytes;
    TData main;
    TData runs[2];
};

WrittenProfile writtenProfile(const QString &path)
{
    WrittenProfile w;
    const auto wavy = [](int count, double phase) {
        TData data(2);
        for (int i = 0; i < count; ++i) {
            data[0] << i * 0.5;
            data[1] << 3.3 * std::sin(i * 0.1 + phase) + 0.000123 * i;
        }
        return data;
    };
    w.main = wavy(2400, 0);
    w.runs[0] = wavy(300, 1);
    w.runs[1] = wavy(300, 2);
    ProfileTrace source;
    source.cutOff = 800;
    source.speed = 0.5;
    addPoints(source, w.main);
    ProfileTrace runs[2];
    for (int r = 0; r < 2; ++r) {
        addPoints(runs[r], w.runs[r]);
        runs[r].setTraceType(ADDITIONAL_TRACE);
        source.addAdditionalTrace(&runs[r]);
    }
    if (!TraceWriter::saveTraceFile(path, source))
        qFatal("cannot write a fixture");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read a fixture");
    w.bytes = file.readAll();
    return w;
}

// Where point line `line` of the block whose header begins at `block` starts.
int pointLineStart(const QByteArray &bytes, int block, int line)
{
    int at = bytes.indexOf("point_count:", block);
    for (int i = 0; i <= line; ++i)
        at = bytes.indexOf('\n', at) + 1;
    return at;
}

} // namespace

class TestFileDataProvider : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void contourRoundTrip_data();
    void contourRoundTrip();
    void profileRoundTripWithAdditionalTraces();
    void blocksWithoutPointsKeepTheirPlace_data();
    void blocksWithoutPointsKeepTheirPlace();
    void additionalTracesGetTheirChainFromTheSettings();
    void runsWithoutTheirOwnKeysTakeTheMainTraces();
    void batchesOf500();
    void missingKeysTakeTheirDefaults();
    void malformedNativeFiles_data();
    void malformedNativeFiles();
    void cutFileKeepsWhatItHeld_data();
    void cutFileKeepsWhatItHeld();
    void cancelledReadingEndsWithinAWindow_data();
    void cancelledReadingEndsWithinAWindow();
    void headerOfTheOtherClassIsNotWrittenIntoTheTrace();
    void firstLineChoosesTheReader_data();
    void firstLineChoosesTheReader();
    void columnFiles_data();
    void columnFiles();
    void coordinatesFileReadsBack();
    void binaryFiles_data();
    void binaryFiles();
    void missingFileIsReported();
    void randomFilesEndQuickly();
    void settingsChangedWhileAFileStreamsIn();
    void traceKnowsItsFileBeforeTheWorkerRuns();

private:
    QString write(const QString &name, const QByteArray &bytes);

    QTemporaryDir m_dir;
    std::unique_ptr<Settings> m_saved;
};

void TestFileDataProvider::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_saved = std::make_unique<Settings>(Settings::instance());
}

void TestFileDataProvider::init()
{
    // A neutral conversion and finishing step, so processed values are easy to
    // predict: X and Y as read, Y raised by Z/1000.
    useNeutralContourCalibration();
    Settings &s = Settings::instance();
    s.needle_pressing = 1;
    s.current_speed = 0;
    s.spinbox_filter_length_index = 1;
    s.preferenses.meadian_filter = false;
    s.preferenses.thread_angle_compensation = false;
    s.preferenses.profile_filter_mode = 0;
    s.preferenses.non_linearity = false;
}

void TestFileDataProvider::cleanup()
{
    Settings::instance() = *m_saved;
}

QString TestFileDataProvider::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write a fixture");
    return path;
}

void TestFileDataProvider::contourRoundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("needle");
    QTest::newRow("CONTOUR, lower needle") << int(CONTOUR) << 1;
    QTest::newRow("CONTOURPROF, upper needle") << int(CONTOURPROF) << 0;
}

void TestFileDataProvider::contourRoundTrip()
{
    QFETCH(int, kind);
    QFETCH(int, needle);
    ContourTrace source;
    source.setTraceType(kind);
    source.needle_pressing = needle;
    source.tool_head_radius_down = 0.0001;
    source.tool_head_radius_up = 25.5;
    source.double_sided_probe_high = 22;
    source.needle_bias = -0.75;
    source.rack_perpendicular = 0.125;
    source.x_axis_compression_ratio = 1.00025;
    source.y_axis_compression_ratio = 0.9975;
    source.displacement_coefficient = 0.003;
    source.roughness_ratio = 6.2;
    source.measurement_mode = 2;
    source.controllerName = QStringLiteral("Петров А. В.");
    source.creationDate = QDateTime(QDate(2021, 3, 5), QTime(14, 7, 9));
    // Contour X reaches two million; every digit must survive the round trip.
    const TData points { { 0, 1999999.123456789, 2000000.000000001 }, { 1.5, -0.1 - 0.2, 1e-7 },
        { 12.25, 13.5, 14.75 } };
    addPoints(source, points);

    const QString path = m_dir.filePath(QStringLiteral("контур %1.txt").arg(kind));
    QVERIFY(TraceWriter::saveTraceFile(path, source));

    ContourTrace read;
    const ReadLog log = readInto(path, &read);
    QVERIFY(log.result);
    QVERIFY(log.errors.isEmpty());
    QCOMPARE(*read.rawData, points);
    QCOMPARE(read.traceType, kind);
    QCOMPARE(read.needle_pressing, needle);
    QCOMPARE(read.tool_head_radius_down, 0.0001);
    QCOMPARE(read.tool_head_radius_up, 25.5);
    QCOMPARE(read.needle_bias, -0.75);
    QCOMPARE(read.rack_perpendicular, 0.125);
    QCOMPARE(read.x_axis_compression_ratio, 1.00025);
    QCOMPARE(read.y_axis_compression_ratio, 0.9975);
    QCOMPARE(read.displacement_coefficient, 0.003);
    QCOMPARE(read.measurement_mode, 2);
    QCOMPARE(read.controllerName, source.controllerName);
    QCOMPARE(read.creationDate, source.creationDate);
    QCOMPARE(read.filePath(), path);
    QCOMPARE(read.name(), QFileInfo(path).fileName());
    // The points went through the current conversion: Y gained Z/1000.
    QCOMPARE_REL(read.convertedData->at(1).at(0), 1.5 + 12.25 / 1000, 1e-12);
}

void TestFileDataProvider::profileRoundTripWithAdditionalTraces()
{
    ProfileTrace source;
    source.setTraceType(PROFILE);
    source.speed = 0.5;
    source.cutOff = 800;
    source.controllerName = QStringLiteral("No name");
    source.creationDate = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    TData mainPoints(2);
    for (int i = 0; i < 1234; ++i) {
        mainPoints[0] << i * 0.5;
        mainPoints[1] << std::sin(i * 0.1) * 3.3;
    }
    addPoints(source, mainPoints);
    ProfileTrace first;
    ProfileTrace second;
    TData firstPoints { {}, {} };
    TData secondPoints { {}, {} };
    for (int i = 0; i < 10; ++i) {
        firstPoints[0] << 100 + i;
        firstPoints[1] << 0.125 * i + 1;
        secondPoints[0] << 200 + i * 0.25;
        secondPoints[1] << -1.0 / (i + 3);
    }
    addPoints(first, firstPoints);
    addPoints(second, secondPoints);
    for (ProfileTrace *additional : { &first, &second }) {
        additional->setTraceType(ADDITIONAL_TRACE);
        additional->speed = source.speed;
        additional->cutOff = source.cutOff;
        additional->controllerName = source.controllerName;
        source.addAdditionalTrace(additional);
    }
    // A run's cut-off, speed, controller and date are its own, and come back so.
    first.cutOff = 250;
    first.speed = 1;
    first.controllerName = QStringLiteral("Петров");
    first.creationDate = QDateTime(QDate(2024, 1, 2), QTime(3, 5, 27));
    second.creationDate = QDateTime(QDate(2024, 1, 1), QTime(23, 59, 59));

    const QString path = m_dir.filePath("profile.txt");
    QVERIFY(TraceWriter::saveTraceFile(path, source));

    OwnedProfile read;
    const ReadLog log = readInto(path, &read.trace);
    QVERIFY(log.result);
    QCOMPARE(read.trace.traceType, int(PROFILE));
    QCOMPARE(*read.trace.rawData, mainPoints);
    QCOMPARE(read.trace.speed, 0.5);
    QCOMPARE(read.trace.cutOff, 800.0);
    QCOMPARE(read.trace.controllerName, QStringLiteral("No name"));
    QCOMPARE(read.trace.additionalTraces.size(), 2);
    const TData expected[] = { firstPoints, secondPoints };
    for (int i = 0; i < 2; ++i) {
        const ProfileTrace *additional = read.trace.additionalTraces.at(i);
        QCOMPARE(*additional->rawData, expected[i]);
        QCOMPARE(additional->traceType, int(ADDITIONAL_TRACE));
        QCOMPARE(additional->parentTrace, &read.trace);
        QCOMPARE(additional->filePath(), path);
        QCOMPARE(additional->speed, i == 0 ? 1.0 : 0.5);
        QCOMPARE(additional->cutOff, i == 0 ? 250.0 : 800.0);
        QCOMPARE(additional->controllerName, i == 0 ? QStringLiteral("Петров") : QStringLiteral("No name"));
        QCOMPARE(additional->creationDate, i == 0 ? first.creationDate : second.creationDate);
    }
    QCOMPARE(read.trace.creationDate, source.creationDate);

    // Written again, as a cut-off change in the trace list does, and read
    // back: every date is still the one the trace was measured at.
    read.trace.additionalTraces.at(0)->cutOff = 800;
    const QString rewritten = m_dir.filePath("rewritten.txt");
    QVERIFY(TraceWriter::saveTraceFile(rewritten, read.trace));
    OwnedProfile again;
    QVERIFY(readInto(rewritten, &again.trace).result);
    QCOMPARE(again.trace.creationDate, source.creationDate);
    QCOMPARE(again.trace.additionalTraces.size(), 2);
    QCOMPARE(again.trace.additionalTraces.at(0)->creationDate, first.creationDate);
    QCOMPARE(again.trace.additionalTraces.at(1)->creationDate, second.creationDate);
}

void TestFileDataProvider::blocksWithoutPointsKeepTheirPlace_data()
{
    QTest::addColumn<int>("mainPoints");
    QTest::addColumn<QVector<int>>("runPoints");
    // A block without points has no point line to end its header, so the
    // header of the block after it must not run into it.
    QTest::newRow("empty run before a full one") << 3 << QVector<int> { 0, 4 };
    QTest::newRow("empty main trace") << 0 << QVector<int> { 5, 2 };
    QTest::newRow("everything empty") << 0 << QVector<int> { 0, 0, 0 };
    QTest::newRow("empty last run") << 2 << QVector<int> { 3, 0 };
}

void TestFileDataProvider::blocksWithoutPointsKeepTheirPlace()
{
    QFETCH(int, mainPoints);
    QFETCH(QVector<int>, runPoints);
    const auto points = [](int count, double offset) {
        TData data(2);
        for (int i = 0; i < count; ++i) {
            data[0] << offset + i;
            data[1] << offset - 0.5 * i;
        }
        return data;
    };
    ProfileTrace source;
    source.speed = 1;
    source.cutOff = 250;
    const TData mainData = points(mainPoints, 1);
    addPoints(source, mainData);
    std::vector<std::unique_ptr<ProfileTrace>> runs;
    for (int r = 0; r < runPoints.size(); ++r) {
        runs.push_back(std::make_unique<ProfileTrace>());
        runs.back()->setTraceType(ADDITIONAL_TRACE);
        addPoints(*runs.back(), points(runPoints.at(r), 100 * (r + 1)));
        source.addAdditionalTrace(runs.back().get());
    }
    const QString path = m_dir.filePath("empty-blocks.txt");
    QVERIFY(TraceWriter::saveTraceFile(path, source));

    OwnedProfile read;
    QVERIFY(readInto(path, &read.trace).result);
    QCOMPARE(read.trace.traceType, int(PROFILE));
    QCOMPARE(read.trace.speed, 1.0);
    QCOMPARE(read.trace.cutOff, 250.0);
    QCOMPARE(*read.trace.rawData, mainData);
    QCOMPARE(read.trace.additionalTraces.size(), runPoints.size());
    for (int r = 0; r < runPoints.size(); ++r)
        QCOMPARE(*read.trace.additionalTraces.at(r)->rawData, points(runPoints.at(r), 100 * (r + 1)));
}

void TestFileDataProvider::additionalTracesGetTheirChainFromTheSettings()
{
    Settings &s = Settings::instance();
    s.preferenses.meadian_filter = true;
    s.preferenses.meadian_filter_value = 5;
    s.preferenses.thread_angle_compensation = true;
    s.preferenses.thread_angle_compensation_value = 30;
    s.preferenses.profile_filter_mode = 2;
    s.spinbox_filter_length_index = 2;
    const QString path = write("chain.txt",
        "trace_type:PROFILE\naddittional_trace_count:1\npoint_count:1\n1\t2\t\n"
        "trace_type:ADDITIONAL_TRACE\npoint_count:1\n3\t4\t\n");
    OwnedProfile read;
    QVERIFY(readInto(path, &read.trace).result);
    QCOMPARE(read.trace.medianEnabled, true);
    QCOMPARE(read.trace.medianWindow, 5);
    QCOMPARE(read.trace.additionalTraces.size(), 1);
    QStringList names;
    for (const auto &processor : read.trace.additionalTraces.at(0)->postProcessors)
        names << processor->name;
    QCOMPARE(names, QStringList({ "Median5", "Angle 30", "Filter 800", "YZeronator" }));
    // The reader does not run the additional trace's chain.
    QCOMPARE(*read.trace.additionalTraces.at(0)->processedData, TData({ { 3 }, { 4 } }));
}

// A run's block without speed, cut-off or controller takes the main trace's;
// a key it has is its own.
void TestFileDataProvider::runsWithoutTheirOwnKeysTakeTheMainTraces()
{
    const QString path = write("runkeys.txt",
        "trace_type:PROFILE\nspeed:0.5\nfilter:800\ncontroler_name:Иванов\ncreation_date:11-12-2026 09:49:27\n"
        "addittional_trace_count:2\npoint_count:1\n1\t2\t\n"
        "trace_type:ADDITIONAL_TRACE\npoint_count:1\n3\t4\t\n"
        "trace_type:ADDITIONAL_TRACE\nfilter:2500\ncreation_date:11-12-2026 09:50:01\npoint_count:1\n5\t6\t\n");
    OwnedProfile read;
    QVERIFY(readInto(path, &read.trace).result);
    QCOMPARE(read.trace.additionalTraces.size(), 2);
    const ProfileTrace *bare = read.trace.additionalTraces.at(0);
    const ProfileTrace *own = read.trace.additionalTraces.at(1);
    QCOMPARE(bare->cutOff, 800.0);
    QCOMPARE(bare->speed, 0.5);
    QCOMPARE(bare->controllerName, QStringLiteral("Иванов"));
    QCOMPARE(own->cutOff, 2500.0);
    QCOMPARE(own->speed, 0.5);
    QCOMPARE(own->controllerName, QStringLiteral("Иванов"));
    QCOMPARE(bare->creationDate, QDateTime(QDate(2026, 12, 11), QTime(9, 49, 27)));
    QCOMPARE(own->creationDate, QDateTime(QDate(2026, 12, 11), QTime(9, 50, 1)));
}

void TestFileDataProvider::batchesOf500()
{
    QByteArray text("trace_type:PROFILE\npoint_count:1200\n");
    for (int i = 0; i < 1200; ++i)
        text += QByteArray::number(i) + "\t1\t\n";
    OwnedProfile read;
    const ReadLog log = readInto(write("batches.txt", text), &read.trace);
    QCOMPARE(log.events, QStringList({ "started", "batch 0 500", "batch 500 500", "finished" }));
    QCOMPARE(rawCount(read.trace), 1200);
    QCOMPARE(read.trace.expectedPointCount(), 1200);
}

void TestFileDataProvider::missingKeysTakeTheirDefaults()
{
    Settings &s = Settings::instance();
    s.current_speed = 2;
    s.spinbox_filter_length_index = 3;
    s.needle_pressing = 0;
    s.tool_head_radius_down = 20.1234567;
    s.roughness_ratio = 7.5;
    s.measurement_mode = 1;

    // The speed of index 2 is 1 mm/s (the table 0.25, 0.5, 1, 2), not 0.75.
    OwnedProfile profile;
    QVERIFY(readInto(write("defaults-profile.txt", "trace_type:PROFILE\npoint_count:0\n"), &profile.trace).result);
    QCOMPARE(profile.trace.speed, 1.0);
    QCOMPARE(profile.trace.cutOff, Common::cutOffLength(3));
    QCOMPARE(profile.trace.controllerName, QStringLiteral("no name"));
    QCOMPARE(profile.trace.creationDate, QDateTime(QDate(1970, 1, 1), QTime(0, 0)));

    ContourTrace contour;
    QVERIFY(readInto(write("defaults-contour.txt", "trace_type:CONTOUR\npoint_count:0\n"), &contour).result);
    QCOMPARE(contour.needle_pressing, 0);
    QCOMPARE(contour.tool_head_radius_down, 20.1235); // six significant digits, as a file stores it
    QCOMPARE(contour.roughness_ratio, 7.5);
    QCOMPARE(contour.measurement_mode, 1);

    // Any needle value other than "u" is the lower needle; a bad date is invalid.
    ContourTrace odd;
    QVERIFY(readInto(write("odd.txt",
                         "trace_type:CONTOUR\nneedle_pressing:x\ncreation_date:yesterday\n"
                         "point_count:0\n"),
        &odd)
                .result);
    QCOMPARE(odd.needle_pressing, 1);
    QVERIFY(!odd.creationDate.isValid());
}

void TestFileDataProvider::malformedNativeFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TData>("points");
    QTest::addColumn<int>("additional");
    // What the error says after "Error in " and the path; empty for none.
    QTest::addColumn<QString>("error");

    QTest::newRow("truncated header") << QByteArray("trace_type:PROFILE\nspeed:0.5\nfil") << TData { { 0 }, { 0 } } << 0
                                      << QString();
    QTest::newRow("header only") << QByteArray("trace_type:PROFILE\nspeed:0.5\n") << TData { {}, {} } << 0 << QString();
    QTest::newRow("no point_count: lines up to the empty one")
        << QByteArray("trace_type:PROFILE\n1\t2\t\n3\t4\t\n5\t6\t\n\n7\t8\t\n") << TData { { 1, 3, 5 }, { 2, 4, 6 } }
        << 0 << QString();
    QTest::newRow("only point is the last line")
        << QByteArray("trace_type:PROFILE\npoint_count:1\n9\t8") << TData { { 9 }, { 8 } } << 0 << QString();
    QTest::newRow("huge point_count") << QByteArray("trace_type:PROFILE\npoint_count:99999999999\n1\t2\t\n3\t4\t\n")
                                      << TData { { 1, 3 }, { 2, 4 } } << 0
                                      << QString("99999999999 points announced, 2 read");
    QTest::newRow("negative point_count")
        << QByteArray("trace_type:PROFILE\npoint_count:-7\n1\t2\t\n") << TData { {}, {} } << 0 << QString();
    QTest::newRow("bad numbers read as 0")
        << QByteArray("trace_type:PROFILE\npoint_count:3\n1\tabc\t\nnan\t1e999\t\n-inf\t2,5\t\n")
        << TData { { 1, 0, 0 }, { 0, 0, 0 } } << 0 << QString();
    QTest::newRow("huge additional count")
        << QByteArray("trace_type:PROFILE\naddittional_trace_count:2147483647\npoint_count:1\n1\t2\t\n"
                      "trace_type:ADDITIONAL_TRACE\npoint_count:1\n3\t4\t\n")
        << TData { { 1 }, { 2 } } << 1 << QString("2147483647 additional traces announced, 1 read");
    QTest::newRow("negative additional count")
        << QByteArray("trace_type:PROFILE\naddittional_trace_count:-3\npoint_count:1\n1\t2\t\n"
                      "trace_type:ADDITIONAL_TRACE\npoint_count:1\n3\t4\t\n")
        << TData { { 1 }, { 2 } } << 0 << QString();
    // A hostile count with nothing behind it: every empty line would be an
    // empty block, and a trace each, if empty blocks counted.
    QTest::newRow("empty lines after a huge additional count")
        << QByteArray("trace_type:PROFILE\naddittional_trace_count:2147483647\npoint_count:1\n1\t2\t\n")
            + QByteArray(5000, '\n')
        << TData { { 1 }, { 2 } } << 0 << QString("2147483647 additional traces announced, 0 read");
    QTest::newRow("a block without entries ends the additional traces")
        << QByteArray("trace_type:PROFILE\naddittional_trace_count:5\npoint_count:1\n1\t2\t\n"
                      "trace_type:ADDITIONAL_TRACE\npoint_count:0\n\n"
                      "trace_type:ADDITIONAL_TRACE\npoint_count:1\n3\t4\t\n"
                      "\n\n5\t6\t\n"
                      "trace_type:ADDITIONAL_TRACE\npoint_count:1\n7\t8\t\n")
        << TData { { 1 }, { 2 } } << 2 << QString("5 additional traces announced, 2 read");
    QTest::newRow("binary garbage after the header")
        << QByteArray("trace_type:PROFILE\npoint_count:2\n") + QByteArray("\x01\xff\x00\x80\n\xfe\xfe\xfe", 8)
        << TData { { 0, 0 }, { 0, 0 } } << 0 << QString();
    QTest::newRow("crlf line ends") << QByteArray("trace_type:PROFILE\r\npoint_count:2\r\n1\t2\t\r\n3\t4\t\r\n")
                                    << TData { { 1, 3 }, { 2, 4 } } << 0 << QString();
}

void TestFileDataProvider::malformedNativeFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(TData, points);
    QFETCH(int, additional);
    QFETCH(QString, error);
    OwnedProfile read;
    const QString path = write("malformed.txt", text);
    const ReadLog log = readInto(path, &read.trace);
    QCOMPARE(log.result, error.isEmpty());
    QCOMPARE(log.errors, error.isEmpty() ? QStringList() : QStringList("Error in " + path + ": " + error));
    QCOMPARE(log.events.last(), QStringLiteral("finished"));
    QCOMPARE(*read.trace.rawData, points);
    QCOMPARE(read.trace.additionalTraces.size(), additional);
    // Room is made for the points announced only as far as the file could
    // hold them: a hostile count does not reserve gigabytes.
    QVERIFY(read.trace.expectedPointCount() <= text.size());
}

void TestFileDataProvider::cutFileKeepsWhatItHeld_data()
{
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("mainPoints");
    QTest::addColumn<QVector<int>>("runPoints");
    QTest::addColumn<QString>("missing");

    const QByteArray bytes = writtenProfile(m_dir.filePath("whole.txt")).bytes;
    const int secondRun
        = bytes.indexOf("trace_type:ADDITIONAL_TRACE", bytes.indexOf("trace_type:ADDITIONAL_TRACE") + 1);
    const QString mainCut = "2400 points announced, 1000 read; 2 additional traces announced, 0 read";
    // The part of a line that the cut leaves has its values cut too: it is
    // no point.
    QTest::newRow("inside a line of the main trace's points")
        << pointLineStart(bytes, 0, 1000) + 5 << 1000 << QVector<int>() << mainCut;
    QTest::newRow("after a line of the main trace's points")
        << pointLineStart(bytes, 0, 1000) << 1000 << QVector<int>() << mainCut;
    QTest::newRow("before an announced additional trace")
        << secondRun << 2400 << QVector<int> { 300 } << "2 additional traces announced, 1 read";
    QTest::newRow("inside an additional trace's header")
        << secondRun + int(qstrlen("trace_type:ADDITIONAL_TRACE\nspe")) << 2400 << QVector<int> { 300 }
        << "2 additional traces announced, 1 read";
    const int insideRun = pointLineStart(bytes, secondRun, 100) + 3;
    QTest::newRow("inside an additional trace's points")
        << insideRun << 2400 << QVector<int> { 300, 100 } << "additional trace 2: 300 points announced, 100 read";
}

// A copy of a trace file cut at some byte keeps the points and traces it
// holds, each as written, and the reading says what the header announced
// and what was read.
void TestFileDataProvider::cutFileKeepsWhatItHeld()
{
    QFETCH(int, cut);
    QFETCH(int, mainPoints);
    QFETCH(QVector<int>, runPoints);
    QFETCH(QString, missing);
    const WrittenProfile whole = writtenProfile(m_dir.filePath("whole.txt"));
    const QString path = write("cut.txt", whole.bytes.left(cut));

    OwnedProfile read;
    const ReadLog log = readInto(path, &read.trace);
    QVERIFY(!log.result);
    QCOMPARE(log.errors, QStringList("Error in " + path + ": " + missing));
    QCOMPARE(log.events.mid(log.events.size() - 2), QStringList({ "error " + log.errors.first(), "finished" }));
    QCOMPARE(*read.trace.rawData, firstPoints(whole.main, mainPoints));
    QCOMPARE(read.trace.cutOff, 800.0);
    QCOMPARE(read.trace.additionalTraces.size(), runPoints.size());
    for (int r = 0; r < runPoints.size(); ++r)
        QCOMPARE(*read.trace.additionalTraces.at(r)->rawData, firstPoints(whole.runs[r], runPoints.at(r)));
}

void TestFileDataProvider::cancelledReadingEndsWithinAWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("profile");
    QTest::addColumn<int>("cancelAtBatch");
    QTest::addColumn<int>("mostPoints");

    constexpr int kLines = 200000;
    QByteArray profile("trace_type:PROFILE\npoint_count:200000\n");
    QByteArray contour("trace_type:CONTOUR\npoint_count:200000\n");
    QByteArray columns;
    for (int i = 0; i < kLines; ++i) {
        const QByteArray x = QByteArray::number(i);
        profile += x + "\t0.5\t\n";
        contour += x + "\t0.5\t1\t\n";
        columns += x + " 0.5 1\n";
    }
    // The main trace's points are parsed a window of 16384 lines at a time;
    // the other readers look between batches.
    QTest::newRow("native profile") << "p.txt" << profile << true << 1 << 20000;
    QTest::newRow("native contour") << "c.txt" << contour << false << 1 << 20000;
    QTest::newRow("columns") << "k.dat" << columns << false << 1 << 1000;
    QTest::newRow("binary") << "b.Vantor" << vantorFile(kLines, 0.5, QVector<qint16>(kLines, 7), 0.1) << false << 1
                            << 1000;
    // Given up during the main trace's last batch, the reading takes none of
    // the additional traces.
    QByteArray runs("trace_type:PROFILE\naddittional_trace_count:3\npoint_count:1000\n");
    for (int i = 0; i < 1000; ++i)
        runs += QByteArray::number(i) + "\t1\t\n";
    for (int r = 0; r < 3; ++r) {
        runs += "trace_type:ADDITIONAL_TRACE\npoint_count:50000\n";
        for (int i = 0; i < 50000; ++i)
            runs += QByteArray::number(i) + "\t2\t\n";
    }
    QTest::newRow("additional traces") << "a.txt" << runs << true << 2 << 1000;
}

// An owner that gives the reading up (a window closing while a large file
// streams in) finds it ended within a window of lines: the rest of the file
// is not read, and nothing is reported as an error.
void TestFileDataProvider::cancelledReadingEndsWithinAWindow()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, profile);
    QFETCH(int, cancelAtBatch);
    QFETCH(int, mostPoints);
    const QString path = write(name, bytes);
    OwnedProfile profileTrace;
    ContourTrace contourTrace;
    AbstractTrace *trace = profile ? static_cast<AbstractTrace *>(&profileTrace.trace) : &contourTrace;

    FileDataProvider provider(path);
    int batches = 0;
    int errors = 0;
    bool finished = false;
    // Given up from the worker itself, at a known point of the reading.
    QObject::connect(
        &provider, &DataProvider::dataBatchReady, &provider,
        [&](int, int) {
            if (++batches == cancelAtBatch)
                provider.cancel();
        },
        Qt::DirectConnection);
    QObject::connect(
        &provider, &DataProvider::dataReadError, &provider, [&] { ++errors; }, Qt::DirectConnection);
    QObject::connect(
        &provider, &DataProvider::dataReadFinished, &provider, [&] { finished = true; }, Qt::DirectConnection);
    provider.start(trace);
    provider.waitForFinished();

    QVERIFY(finished);
    QVERIFY(!provider.result());
    QCOMPARE(errors, 0);
    QVERIFY2(rawCount(*trace) >= 500 * cancelAtBatch && rawCount(*trace) <= mostPoints,
        qPrintable(QString::number(rawCount(*trace))));
    QVERIFY(profileTrace.trace.additionalTraces.isEmpty());
}

void TestFileDataProvider::headerOfTheOtherClassIsNotWrittenIntoTheTrace()
{
    // The first line made the window build a profile trace; a later kind line
    // of the contour class must not turn it into a contour.
    const QString path = write("mixed.txt",
        "trace_type:PROFILE\nspeed:2\ntrace_type:CONTOUR\nneedle_pressing:u\n"
        "addittional_trace_count:1\npoint_count:1\n1\t2\t\n"
        "trace_type:ADDITIONAL_TRACE\npoint_count:1\n3\t4\t\n");
    OwnedProfile profile;
    QVERIFY(readInto(path, &profile.trace).result);
    QCOMPARE(profile.trace.traceType, int(PROFILE));
    QCOMPARE(profile.trace.speed, 2.0);
    QCOMPARE(profile.trace.additionalTraces.size(), 1);

    const QString contourPath = write("mixed-contour.txt",
        "trace_type:CONTOUR\ntrace_type:PROFILE\n"
        "addittional_trace_count:1\npoint_count:1\n1\t2\t3\t\n");
    ContourTrace contour;
    QVERIFY(readInto(contourPath, &contour).result);
    QCOMPARE(contour.traceType, int(CONTOUR));
    QCOMPARE(*contour.rawData, TData({ { 1 }, { 2 }, { 3 } }));
}

void TestFileDataProvider::firstLineChoosesTheReader_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("points");

    // Native kinds only by the exact first line; everything else is columns.
    QTest::newRow("native contour") << "a.txt" << QByteArray("trace_type:CONTOUR\npoint_count:1\n1 2 3\n") << true << 1;
    QTest::newRow("additional trace alone is no native kind")
        << "b.txt" << QByteArray("trace_type:ADDITIONAL_TRACE\npoint_count:1\n1\t2\t\n") << false << 0;
    QTest::newRow("byte-order mark") << "c.txt" << QByteArray("\xEF\xBB\xBFtrace_type:CONTOUR\n1 2 3\n") << false << 0;
    QTest::newRow("blank before the kind") << "d.txt" << QByteArray("trace_type: CONTOUR\n1 2 3\n") << false << 0;
    QTest::newRow("columns") << "e.txt" << QByteArray("1 2 3\n4 5 6\n") << true << 2;
    QTest::newRow("extension is case-sensitive") << "f.vantor" << QByteArray("1 2 3\n") << true << 1;
    QTest::newRow("empty file") << "g.txt" << QByteArray() << true << 0;
}

void TestFileDataProvider::firstLineChoosesTheReader()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(bool, result);
    QFETCH(int, points);
    ContourTrace trace;
    const ReadLog log = readInto(write(name, text), &trace);
    QCOMPARE(log.result, result);
    QCOMPARE(log.errors.isEmpty(), result);
    QCOMPARE(rawCount(trace), points);
}

void TestFileDataProvider::columnFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TData>("points");
    QTest::addColumn<bool>("ok");

    QTest::newRow("repeated X skipped") << QByteArray("0 1 2\n0 5 6\n1 2 3\n") << TData { { 0, 1 }, { 1, 2 }, { 2, 3 } }
                                        << true;
    QTest::newRow("empty line is a zero point")
        << QByteArray("5 1 1\n\n7\t8\n") << TData { { 5, 0, 7 }, { 1, 0, 8 }, { 1, 0, 0 } } << true;
    QTest::newRow("empty line after X 0 is skipped")
        << QByteArray("0 1 1\n\n") << TData { { 0 }, { 1 }, { 1 } } << true;
    QTest::newRow("letter ends the read")
        << QByteArray("1 2 3\n4 x 6\n7 8 9\n") << TData { { 1 }, { 2 }, { 3 } } << false;
    QTest::newRow("not finite ends the read")
        << QByteArray("1 2 3\n4 inf 6\n") << TData { { 1 }, { 2 }, { 3 } } << false;
    QTest::newRow("binary garbage") << QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10) << TData { {}, {}, {} } << false;
}

void TestFileDataProvider::columnFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(TData, points);
    QFETCH(bool, ok);
    ContourTrace trace;
    const QString path = write("columns.txt", text);
    const ReadLog log = readInto(path, &trace);
    QCOMPARE(log.result, ok);
    QCOMPARE(log.errors, ok ? QStringList() : QStringList("Error in " + path));
    QCOMPARE(*trace.rawData, points);
    QCOMPARE(trace.traceType, int(CONTOUR));
}

void TestFileDataProvider::coordinatesFileReadsBack()
{
    ContourTrace source;
    addPoints(source, TData { { 0, 0.5, 1999999.875 }, { 1.25, -3.5, 1e-9 }, { 100, 200, 300 } });
    source.recalculate();
    const TData processed = *source.processedData;
    const QString path = m_dir.filePath("coords.txt");
    QVERIFY(TraceWriter::savePointsFile(path, source));

    ContourTrace read;
    QVERIFY(readInto(path, &read).result);
    QCOMPARE(*read.rawData, TData({ processed.at(0), processed.at(1), QVector<double>(3, 0.0) }));
    QCOMPARE(read.needle_pressing, 1);
}

void TestFileDataProvider::binaryFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TData>("points");
    QTest::addColumn<bool>("ok");

    QTest::newRow("three samples") << vantorFile(3, 0.5, { 10, -20, 30 }, 0.1)
                                   << TData { { 0, 0.5, 1 }, { 1, -2, 3 }, { 0, 0, 0 } } << true;
    QTest::newRow("no samples") << vantorFile(0, 0.5, {}, 0.1) << TData { {}, {}, {} } << true;
    QTest::newRow("negative count") << vantorFile(-1, 0.5, {}, 0.1) << TData { {}, {}, {} } << false;
    QTest::newRow("short file") << vantorFile(3, 0.5, { 10, -20, 30 }, 0.1).left(720) << TData { {}, {}, {} } << false;
    QTest::newRow("count beyond the file")
        << vantorFile(3, 0.5, { 10, -20, 30 }, 0.1).replace(440, 4, "\xff\xff\xff\x0f") << TData { {}, {}, {} }
        << false;
    QTest::newRow("text named .Vantor") << QByteArray("1 2 3\n") << TData { {}, {}, {} } << false;
    QTest::newRow("empty") << QByteArray() << TData { {}, {}, {} } << false;
}

void TestFileDataProvider::binaryFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TData, points);
    QFETCH(bool, ok);
    Settings::instance().needle_pressing = 0;
    ContourTrace trace;
    const QString path = write("trace.Vantor", bytes);
    const ReadLog log = readInto(path, &trace);
    QCOMPARE(log.result, ok);
    QCOMPARE(log.errors, ok ? QStringList() : QStringList("Error in " + path));
    QCOMPARE(trace.rawData->size(), 3);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(trace.rawData->at(c).size(), points.at(c).size());
        for (int i = 0; i < points.at(c).size(); ++i)
            QCOMPARE_REL(trace.rawData->at(c).at(i), points.at(c).at(i), 1e-12);
    }
    if (ok) {
        QCOMPARE(trace.traceType, int(CONTOUR));
        QCOMPARE(trace.needle_pressing, 0);
    }
}

void TestFileDataProvider::missingFileIsReported()
{
    ContourTrace trace;
    const ReadLog log = readInto(m_dir.filePath("no such file.txt"), &trace);
    QVERIFY(!log.result);
    QCOMPARE(log.events, QStringList({ "started", "error Can't open file ", "finished" }));
}

void TestFileDataProvider::randomFilesEndQuickly()
{
    // Random bytes behind each kind of first line and under each reader; every
    // read must end, report consistently and leave only finite values.
    QRandomGenerator rng(99);
    const QByteArray starts[] = { "trace_type:PROFILE\n", "trace_type:CONTOUR\n", "",
        "trace_type:PROFILE\n"
        "addittional_trace_count:9\n" };
    const QString names[] = { "r.txt", "r.Vantor" };
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 80; ++round) {
        QByteArray bytes(int(rng.bounded(3000)), '\0');
        for (char &c : bytes)
            c = round % 2 ? char(rng.bounded(256)) : "0123456789 \t\n.-e:abpoint_count"[rng.bounded(31)];
        bytes.prepend(starts[round % 4]);
        const QString path = write(names[(round / 4) % 2], bytes);
        std::unique_ptr<AbstractTrace> trace;
        if (round % 4 == 0 || round % 4 == 3)
            trace = std::make_unique<ProfileTrace>();
        else
            trace = std::make_unique<ContourTrace>();
        const ReadLog log = readInto(path, trace.get());
        QCOMPARE(log.result, log.errors.isEmpty());
        QVERIFY(allFinite(*trace->rawData));
        if (auto *profile = dynamic_cast<ProfileTrace *>(trace.get()))
            qDeleteAll(profile->additionalTraces);
    }
    QVERIFY2(timer.elapsed() < 30000, "reading random files took too long");
}

// The GUI thread keeps changing every setting a reading takes while large
// files stream in: each reading uses the values of its start throughout (and
// under ThreadSanitizer no thread reads what the other writes).
void TestFileDataProvider::settingsChangedWhileAFileStreamsIn()
{
    Settings &s = Settings::instance();
    s.x_axis_compression_ratio = 2;
    s.preferenses.meadian_filter = true;
    s.preferenses.meadian_filter_value = 5;
    s.preferenses.profile_filter_mode = 2;
    s.spinbox_filter_length_index = 2;
    const double cutOffAtStart = Common::cutOffLength(2);

    constexpr int kPoints = 300000;
    std::unique_ptr<ContourTrace> contour(new ContourTrace());
    contour->rawData->resize(3);
    for (int i = 0; i < kPoints; ++i) {
        (*contour->rawData)[0].append(i);
        (*contour->rawData)[1].append(0.5 * i);
        (*contour->rawData)[2].append(0);
    }
    const QString contourPath = m_dir.filePath("streamed_contour.txt");
    QVERIFY(TraceWriter::saveTraceFile(contourPath, *contour));

    std::unique_ptr<ProfileTrace> profile(new ProfileTrace());
    std::vector<std::unique_ptr<ProfileTrace>> runs;
    for (int r = 0; r < 3; ++r) {
        runs.emplace_back(new ProfileTrace());
        runs.back()->setTraceType(ADDITIONAL_TRACE);
        profile->addAdditionalTrace(runs.back().get());
    }
    for (ProfileTrace *t : std::vector<ProfileTrace *> { profile.get(), runs[0].get(), runs[1].get(), runs[2].get() }) {
        const int n = t == profile.get() ? kPoints : 20000;
        for (int i = 0; i < n; ++i) {
            QVector<double> p { 0.5 * i, std::sin(i * 0.1) };
            t->addPoint(p);
        }
    }
    const QString profilePath = m_dir.filePath("streamed_profile.txt");
    QVERIFY(TraceWriter::saveTraceFile(profilePath, *profile));
    profile->additionalTraces.clear();

    ContourTrace readContour;
    OwnedProfile readProfile;
    FileDataProvider contourProvider(contourPath);
    FileDataProvider profileProvider(profilePath);
    contourProvider.start(&readContour);
    profileProvider.start(&readProfile.trace);
    int changes = 0;
    while (contourProvider.isRunning() || profileProvider.isRunning()) {
        ++changes;
        s.x_axis_compression_ratio = 3 + changes % 5;
        s.y_axis_compression_ratio = 1 + changes % 3;
        s.displacement_coefficient = changes % 2;
        s.rack_prpendicular = changes % 7;
        s.is_disabled_gauss_filter = changes % 2;
        s.is_disabled_radius_elimination = changes % 3;
        s.needle_pressing = changes % 2;
        s.tool_head_radius_down = changes % 11;
        s.preferenses.meadian_filter = changes % 2;
        s.preferenses.meadian_filter_value = 3 + changes % 9;
        s.preferenses.profile_filter_mode = changes % 3;
        s.preferenses.thread_angle_compensation = changes % 2;
        s.spinbox_filter_length_index = changes % 5;
        s.current_speed = changes % 4;
        QCoreApplication::processEvents();
    }
    contourProvider.waitForFinished();
    profileProvider.waitForFinished();
    QCoreApplication::processEvents();
    QVERIFY2(changes > 10, qPrintable(QString::number(changes)));
    QVERIFY(contourProvider.result());
    QVERIFY(profileProvider.result());

    // Every contour point converted with the start's ratio of 2.
    QCOMPARE(readContour.processedData->at(0).size(), kPoints);
    for (int i : { 0, 1, kPoints / 2, kPoints - 1 })
        QCOMPARE(readContour.processedData->at(0).at(i), 2.0 * i);

    // The additional traces got the chain of the start: median 5, waviness
    // at the start's cut-off, zeroing.
    QCOMPARE(readProfile.trace.additionalTraces.size(), 3);
    for (ProfileTrace *run : qAsConst(readProfile.trace.additionalTraces)) {
        QCOMPARE(run->medianWindow, 5);
        QVERIFY(run->medianEnabled);
        QStringList chain;
        for (const PostProcessorPtr &p : run->postProcessors)
            chain << p->name;
        QCOMPARE(chain, (QStringList { "Median5", QStringLiteral("Filter ") + QString::number(cutOffAtStart), "YZeronator" }));
    }
}

// The trace's name and file path are there when the reading starts, for
// every kind of file, so a window listing it at dataReadStarted names it by
// its file.
void TestFileDataProvider::traceKnowsItsFileBeforeTheWorkerRuns()
{
    ContourTrace source;
    for (int i = 0; i < 5; ++i) {
        QVector<double> p { double(i), 0.1 * i, 0 };
        source.addPoint(p);
    }
    const QString native = m_dir.filePath("named.txt");
    QVERIFY(TraceWriter::saveTraceFile(native, source));
    const QString columns = write("columns.dat", "1 2 0\n2 3 0\n");
    const QString tooShort = write("short.Vantor", QByteArray("\x01\x02", 2));
    for (const QString &path : { native, columns, tooShort }) {
        ContourTrace trace;
        trace.setFilePath(QStringLiteral("Профили/Деталь_01.txt"));
        FileDataProvider provider(path);
        QString pathAtStart;
        QObject::connect(&provider, &DataProvider::dataReadStarted, &provider,
            [&] { pathAtStart = trace.filePath(); }, Qt::DirectConnection);
        provider.start(&trace);
        QCOMPARE(trace.filePath(), path);
        QCOMPARE(trace.name(), QFileInfo(path).fileName());
        provider.waitForFinished();
        QCOMPARE(pathAtStart, path);
        QCOMPARE(trace.filePath(), path);
    }
}

VANTOR_TEST_MAIN(TestFileDataProvider)
#include "tst_filedataprovider.moc"
