#include "algos/tracetypes.h"
#include "traces/tracereaders.h"

#include "support/testmain.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

using namespace TraceFormat;

namespace {

Bytes bytesOf(const QByteArray &text)
{
    Bytes b;
    b.begin = text.constData();
    b.end = text.constData() + text.size();
    return b;
}

LineCursor cursorOf(const QByteArray &text)
{
    return LineCursor(text.constData(), text.constData() + text.size());
}

// Stores a little-endian value over the bytes at offset.
template <typename T> void putLittleEndian(QByteArray &bytes, qint64 offset, T value)
{
    const T le = qToLittleEndian(value);
    bytes.replace(int(offset), int(sizeof(T)), reinterpret_cast<const char *>(&le), int(sizeof(T)));
}

// A ".Vantor" file built field by field, as the instrument's software lays it out.
QByteArray vantorFile(qint32 count, double step, const QVector<qint16> &samples, double scale)
{
    QByteArray bytes(int(kVantorSamplesOffset), '\xAB');
    putLittleEndian(bytes, kVantorCountOffset, count);
    quint64 bits = 0;
    std::memcpy(&bits, &step, sizeof(bits));
    putLittleEndian(bytes, kVantorStepOffset, bits);
    for (qint16 s : samples)
        putLittleEndian(bytes, bytes.size(), s);
    const qint64 tail = bytes.size();
    bytes.append(QByteArray(int(kVantorTailSize), '\xCD'));
    std::memcpy(&bits, &scale, sizeof(bits));
    putLittleEndian(bytes, tail, bits);
    return bytes;
}

VantorStatus decode(const QByteArray &bytes, VantorData &data)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readVantor(buffer, data);
}

} // namespace

class TestTraceReaders : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseReal_data();
    void parseReal();
    void readValues_data();
    void readValues();
    void linesEndingInCrLfAndWithoutFinalFeed();
    void headerSplitsAtFirstColon();
    void additionalHeaderPassesOverLinesWithSeveralColons();
    void headerEndingAtEndOfFileHasNoPointLine();
    void countPointLines_data();
    void countPointLines();
    void pointBlockStopsAtEndOfFile();
    void longPointBlockReadsAsLineByLine_data();
    void longPointBlockReadsAsLineByLine();
    void streamCursorGivesTheBufferCursorsLines_data();
    void streamCursorGivesTheBufferCursorsLines();
    void firstLineKind_data();
    void firstLineKind();
    void kindNames();
    void vantorDecodesSamples();
    void vantorMalformed_data();
    void vantorMalformed();
    void randomBytesNeverBreakTheParsers();
};

void TestTraceReaders::parseReal_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");

    QTest::newRow("plain") << QByteArray("15.875") << true << 15.875;
    QTest::newRow("negative exponent") << QByteArray("-2e-3") << true << -0.002;
    QTest::newRow("exponent with sign") << QByteArray("1.5e+06") << true << 1.5e6;
    QTest::newRow("leading plus") << QByteArray("+4") << true << 4.0;
    QTest::newRow("no integer part") << QByteArray(".5") << true << 0.5;
    QTest::newRow("all digits kept") << QByteArray("2000000.1234567891") << true << 2000000.1234567891;
    QTest::newRow("decimal comma") << QByteArray("1,5") << false << 0.0;
    QTest::newRow("letters") << QByteArray("abc") << false << 0.0;
    QTest::newRow("trailing letters") << QByteArray("1.5x") << false << 0.0;
    QTest::newRow("hex") << QByteArray("0x10") << false << 0.0;
    QTest::newRow("nan") << QByteArray("nan") << false << 0.0;
    QTest::newRow("inf") << QByteArray("-inf") << false << 0.0;
    QTest::newRow("overflow") << QByteArray("1e999") << false << 0.0;
    QTest::newRow("empty") << QByteArray() << false << 0.0;
    QTest::newRow("sign only") << QByteArray("-") << false << 0.0;
    QTest::newRow("two signs") << QByteArray("+-1") << false << 0.0;
}

void TestTraceReaders::parseReal()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double parsed = -12345;
    QCOMPARE(TraceFormat::parseReal(bytesOf(text), parsed), ok);
    if (ok)
        QCOMPARE(parsed, value);
    else
        QCOMPARE(parsed, -12345.0); // a refused token leaves the target alone
}

void TestTraceReaders::readValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QVector<double>>("expected");
    QTest::addColumn<int>("bad");

    QTest::newRow("written point line") << QByteArray("1.5\t-2\t3e-07\t") << QVector<double> { 1.5, -2, 3e-7 } << 0;
    QTest::newRow("blanks and CR") << QByteArray("  1   2 3 \r") << QVector<double> { 1, 2, 3 } << 0;
    QTest::newRow("missing values are 0") << QByteArray("7\t8") << QVector<double> { 7, 8, 0 } << 0;
    QTest::newRow("empty line") << QByteArray("") << QVector<double> { 0, 0, 0 } << 0;
    QTest::newRow("letter in the middle") << QByteArray("1 x 3") << QVector<double> { 1, 0, 3 } << 1;
    QTest::newRow("not finite") << QByteArray("nan 2 inf") << QVector<double> { 0, 2, 0 } << 2;
    QTest::newRow("further values ignored") << QByteArray("1 2 3 zzz 5") << QVector<double> { 1, 2, 3 } << 0;
}

void TestTraceReaders::readValues()
{
    QFETCH(QByteArray, line);
    QFETCH(QVector<double>, expected);
    QFETCH(int, bad);
    QVector<double> values(expected.size(), -1.0);
    QCOMPARE(TraceFormat::readValues(bytesOf(line), expected.size(), values.data()), bad);
    QCOMPARE(values, expected);
}

void TestTraceReaders::linesEndingInCrLfAndWithoutFinalFeed()
{
    const QByteArray text("a:1\r\n\r\nlast");
    LineCursor cursor = cursorOf(text);
    Bytes line;
    QStringList lines;
    while (cursor.next(line))
        lines << QString::fromUtf8(trimmed(line).toByteArray());
    QCOMPARE(lines, QStringList({ "a:1", "", "last" }));

    const QByteArray oneLine("x\n");
    LineCursor ended = cursorOf(oneLine);
    QVERIFY(ended.next(line));
    QVERIFY(!ended.next(line)); // a final line feed gives no empty last line
}

void TestTraceReaders::headerSplitsAtFirstColon()
{
    const QByteArray text("trace_type:CONTOUR\n"
                          "  creation_date : 05-03-2021 14:07:09 \n"
                          "controler_name:Иванов\n"
                          "needle_bias:1\n"
                          "needle_bias:2\n"
                          "1\t2\t3\t\n"
                          "4\t5\t6\t\n");
    LineCursor cursor = cursorOf(text);
    const Header header = readHeader(cursor);
    QCOMPARE(header.value("creation_date"), QByteArray("05-03-2021 14:07:09"));
    QCOMPARE(QString::fromUtf8(header.value("controler_name")), QString("Иванов"));
    QCOMPARE(header.value("needle_bias"), QByteArray("2")); // the last of a repeated key
    QCOMPARE(header.entries.size(), 4);
    QVERIFY(header.endedAtLine);
    QCOMPARE(header.endLine.toByteArray(), QByteArray("1\t2\t3")); // trimmed end line is the first point
    Bytes line;
    QVERIFY(cursor.next(line));
    QCOMPARE(line.toByteArray(), QByteArray("4\t5\t6\t"));
}

void TestTraceReaders::additionalHeaderPassesOverLinesWithSeveralColons()
{
    const QByteArray text("trace_type:ADDITIONAL_TRACE\n"
                          "controler_name:a:b\n"
                          "creation_date:05-03-2021 14:07:09\n"
                          "point_count:2\n"
                          "1\t2\t\n");
    LineCursor cursor = cursorOf(text);
    const Header header = readAdditionalHeader(cursor);
    QVERIFY(!header.contains("controler_name"));
    // The run's date, whose time has colons, is its own.
    QCOMPARE(header.value("creation_date"), QByteArray("05-03-2021 14:07:09"));
    QCOMPARE(header.value("point_count"), QByteArray("2"));
    QVERIFY(header.endedAtLine);
    QCOMPARE(header.endLine.toByteArray(), QByteArray("1\t2"));
}

void TestTraceReaders::headerEndingAtEndOfFileHasNoPointLine()
{
    const QByteArray text("trace_type:PROFILE\npoint_count:5\n");
    LineCursor cursor = cursorOf(text);
    const Header header = readHeader(cursor);
    QVERIFY(!header.endedAtLine);
    QVector<double> point;
    int calls = 0;
    QCOMPARE(readPointBlock(cursor, header, 5, 2, point, [&](QVector<double> &) { ++calls; }), 0);
    QCOMPARE(calls, 0);
}

void TestTraceReaders::countPointLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("count");

    QTest::newRow("seven lines then empty") << QByteArray("k:v\n1\n2\n3\n4\n5\n6\n7\n\n8\n9\n") << qint64(7);
    QTest::newRow("to the end of the file") << QByteArray("k:v\n1\n2\n3") << qint64(3);
    QTest::newRow("blank line ends it") << QByteArray("k:v\n1\n \t\n2\n") << qint64(1);
    QTest::newRow("empty end line") << QByteArray("k:v\n\n1\n") << qint64(0);
    QTest::newRow("header only") << QByteArray("k:v\n") << qint64(0);
}

void TestTraceReaders::countPointLines()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, count);
    LineCursor cursor = cursorOf(text);
    const Header header = readHeader(cursor);
    QCOMPARE(TraceFormat::countPointLines(header, cursor), count);
}

void TestTraceReaders::streamCursorGivesTheBufferCursorsLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one line without feed") << QByteArray("1\t2");
    QTest::newRow("lines across windows") << QByteArray("a:1\nb:2\r\n10\t20\t\n30\t40\t\n\n50 60\n");
    QTest::newRow("line longer than the window")
        << (QByteArray(100, 'x') + "\n" + QByteArray(40, 'y') + "\n\n" + QByteArray(17, 'z'));
    QTest::newRow("feeds only") << QByteArray("\n\n\n");
}

// Read through a 16-byte window, a device gives the lines and the end a
// cursor over the whole buffer gives, however lines fall across windows.
void TestTraceReaders::streamCursorGivesTheBufferCursorsLines()
{
    QFETCH(QByteArray, text);
    QBuffer device(&text);
    QVERIFY(device.open(QIODevice::ReadOnly));
    StreamLineCursor stream(device, 16);
    LineCursor whole = cursorOf(text);
    Bytes a;
    Bytes b;
    while (!whole.atEnd()) {
        QVERIFY(!stream.atEnd());
        QVERIFY(whole.next(a));
        QVERIFY(stream.next(b));
        QCOMPARE(b.toByteArray(), a.toByteArray());
    }
    QVERIFY(stream.atEnd());
    QVERIFY(!stream.next(b));

    // A byte-order mark is passed over only where it stands first.
    QByteArray marked = QByteArray("\xEF\xBB\xBF") + "k:v\n";
    QBuffer markedDevice(&marked);
    QVERIFY(markedDevice.open(QIODevice::ReadOnly));
    StreamLineCursor skipped(markedDevice, 16);
    skipped.skip(QByteArray("\xEF\xBB\xBF"));
    skipped.skip(QByteArray("\xEF\xBB\xBF"));
    QVERIFY(skipped.next(b));
    QCOMPARE(b.toByteArray(), QByteArray("k:v"));
}

void TestTraceReaders::pointBlockStopsAtEndOfFile()
{
    // A count far beyond the lines present reads what is there and stops;
    // the header's end line is the first point. The file ends inside a line,
    // which is no point: its values are cut.
    const QByteArray text("point_count:2147483647000\n1\t2\t3\t\n4\t5\t6\t\n7\t8");
    LineCursor cursor = cursorOf(text);
    const Header header = readHeader(cursor);
    const qint64 count = integerOrZero(header.value("point_count"));
    QCOMPARE(count, qint64(2147483647000));
    TData got(3);
    QVector<double> point;
    const qint64 read = readPointBlock(cursor, header, count, 3, point, [&](QVector<double> &p) {
        for (int c = 0; c < 3; ++c)
            got[c].append(p[c]);
    });
    QCOMPARE(read, qint64(2));
    QCOMPARE(got, TData({ { 1, 4 }, { 2, 5 }, { 3, 6 } }));

    // A negative count reads nothing and leaves the cursor where it was.
    LineCursor again = cursorOf(text);
    const Header h2 = readHeader(again);
    QCOMPARE(readPointBlock(again, h2, -5, 3, point, [](QVector<double> &) {}), qint64(0));
    Bytes line;
    QVERIFY(again.next(line));
    QCOMPARE(line.toByteArray(), QByteArray("4\t5\t6\t"));
}

void TestTraceReaders::firstLineKind_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("kind");

    QTest::newRow("profile") << QByteArray("trace_type:PROFILE\n") << QByteArray("PROFILE");
    QTest::newRow("crlf") << QByteArray("trace_type:CONTOURPROF\r\n") << QByteArray("CONTOURPROF");
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFtrace_type:PROFILE\n")
                                     << QByteArray("\xEF\xBB\xBFPROFILE");
    QTest::newRow("blank") << QByteArray("trace_type: CONTOUR\n") << QByteArray(" CONTOUR");
    QTest::newRow("numbers") << QByteArray("1\t2\t3\n") << QByteArray("1\t2\t3");
}

void TestTraceReaders::firstLineKind()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, kind);
    QCOMPARE(TraceFormat::firstLineKind(line), kind);
}

void TestTraceReaders::kindNames()
{
    for (int kind = 0; kind < 4; ++kind)
        QCOMPARE(kindFromName(kindName(kind)), kind);
    QCOMPARE(kindFromName("contour"), 0);
    QCOMPARE(kindFromName(""), 0);
    QCOMPARE(kindFromName("PROFILE "), 0);
}

void TestTraceReaders::vantorDecodesSamples()
{
    VantorData data;
    QCOMPARE(decode(vantorFile(3, 0.5, { 10, -20, 30 }, 0.1), data), VantorStatus::Ok);
    QCOMPARE(data.step, 0.5);
    QCOMPARE(data.scale, 0.1);
    QCOMPARE(data.samples, QVector<qint16>({ 10, -20, 30 }));

    QCOMPARE(decode(vantorFile(0, 1, {}, 1), data), VantorStatus::Ok);
    QVERIFY(data.samples.isEmpty());
}

void TestTraceReaders::vantorMalformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");

    const QByteArray good = vantorFile(4, 0.5, { 1, 2, 3, 4 }, 0.1);
    QTest::newRow("empty") << QByteArray() << int(VantorStatus::Truncated);
    QTest::newRow("inside the header") << good.left(500) << int(VantorStatus::Truncated);
    QTest::newRow("inside the samples") << good.left(703) << int(VantorStatus::Truncated);
    QTest::newRow("inside the tail") << good.left(good.size() - 1) << int(VantorStatus::Truncated);
    QByteArray huge = good;
    putLittleEndian(huge, kVantorCountOffset, qint32(1000000000));
    QTest::newRow("count beyond the file") << huge << int(VantorStatus::Truncated);
    putLittleEndian(huge, kVantorCountOffset, std::numeric_limits<qint32>::max());
    QTest::newRow("count no container holds") << huge << int(VantorStatus::TooLarge);
    QTest::newRow("negative count") << vantorFile(-3, 0.5, {}, 0.1) << int(VantorStatus::NegativeCount);
    QTest::newRow("nan step") << vantorFile(2, std::nan(""), { 1, 2 }, 0.1) << int(VantorStatus::NotFinite);
    QTest::newRow("infinite scale") << vantorFile(2, 1, { 1, 2 }, HUGE_VAL) << int(VantorStatus::NotFinite);
    QTest::newRow("X overflows") << vantorFile(3, 1e308, { 1, 2, 3 }, 1) << int(VantorStatus::NotFinite);
}

void TestTraceReaders::vantorMalformed()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    VantorData data;
    data.samples = { 7 };
    QCOMPARE(int(decode(bytes, data)), status);
    QCOMPARE(data.samples, QVector<qint16>({ 7 })); // a refused file changes nothing
}

void TestTraceReaders::longPointBlockReadsAsLineByLine_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<qint64>("count");
    QTest::newRow("the provider's window, every line") << (1 << 19) << qint64(100000);
    QTest::newRow("small window, every line") << 4096 << qint64(100000);
    QTest::newRow("window shorter than a line") << 16 << qint64(100000);
    QTest::newRow("count ends inside the lines") << 4096 << qint64(70001);
}

void TestTraceReaders::longPointBlockReadsAsLineByLine()
{
    // A block of many lines, parsed a window at a time on several threads,
    // gives the points one line at a time would, in their order: lines with
    // missing, extra or broken values, blank lines, carriage returns, a
    // long line, and a last line without a line feed.
    QFETCH(int, window);
    QFETCH(qint64, count);
    QRandomGenerator rng(77);
    QByteArray text("point_count:100000\n");
    for (int i = 0; i < 100000; ++i) {
        const int kind = int(rng.bounded(20));
        if (kind == 0)
            text += "\n";
        else if (kind == 1)
            text += QByteArray::number(i) + "\t1,5\tx\r\n";
        else if (kind == 2)
            text += QByteArray::number(i) + "\t" + QByteArray(300, ' ') + "-2e-3\t7\t8\t9\n";
        else
            text += QByteArray::number(i * 0.1, 'g', 17) + "\t" + QByteArray::number(rng.generateDouble(), 'g', 17)
                + "\t" + QByteArray::number(i % 7) + "\t\n";
    }
    text.chop(1);

    // One line at a time, as the block was once read.
    TData expected(3);
    {
        LineCursor cursor = cursorOf(text);
        const Header header = readHeader(cursor);
        Bytes line;
        QVector<double> point(3);
        const auto take = [&](Bytes l) {
            point.fill(0.0);
            TraceFormat::readValues(l, 3, point.data());
            for (int c = 0; c < 3; ++c)
                expected[c].append(point[c]);
        };
        take(header.endLine);
        while (expected[0].size() < count && cursor.next(line))
            take(line);
    }

    QBuffer device(&text);
    QVERIFY(device.open(QIODevice::ReadOnly));
    StreamLineCursor cursor(device, window);
    const Header header = readHeader(cursor);
    TData got(3);
    QVector<double> point;
    const qint64 read = readPointBlock(cursor, header, count, 3, point, [&](QVector<double> &p) {
        for (int c = 0; c < 3; ++c)
            got[c].append(p[c]);
        p.fill(-1.0); // what a caller leaves in the point does not reach the next one
    });
    QCOMPARE(read, qint64(expected[0].size()));
    for (int c = 0; c < 3; ++c)
        QVERIFY(std::memcmp(got[c].constData(), expected[c].constData(), sizeof(double) * expected[c].size()) == 0);
    // The lines after the block are still there.
    Bytes after;
    QCOMPARE(cursor.next(after), count < 100000);
}

void TestTraceReaders::randomBytesNeverBreakTheParsers()
{
    // Random buffers, half of them behind a plausible header, through every
    // parser. A fault shows as a crash under the sanitizers or a hang.
    QRandomGenerator rng(20240611);
    QElapsedTimer timer;
    timer.start();
    const QByteArray alphabet("0123456789.-+eE:\t \r\nabcnifPROFILE_");
    for (int round = 0; round < 3000; ++round) {
        const int size = int(rng.bounded(2000));
        QByteArray bytes(size, '\0');
        const bool text = round % 2 == 0;
        for (char &c : bytes)
            c = text ? alphabet.at(int(rng.bounded(alphabet.size()))) : char(rng.bounded(256));
        if (round % 4 == 0)
            bytes.prepend("trace_type:PROFILE\naddittional_trace_count:99999\npoint_count:-1\n");

        LineCursor cursor = cursorOf(bytes);
        Header header = readHeader(cursor);
        QVector<double> point;
        qint64 points = 0;
        const qint64 count
            = qMax<qint64>(integerOrZero(header.value("point_count")), TraceFormat::countPointLines(header, cursor));
        readPointBlock(cursor, header, count, 2, point, [&](QVector<double> &p) {
            QVERIFY(std::isfinite(p[0]) && std::isfinite(p[1]));
            ++points;
        });
        QVERIFY(points <= bytes.count('\n') + 1);
        for (int i = 0; i < 4 && !cursor.atEnd(); ++i) {
            header = readAdditionalHeader(cursor);
            readPointBlock(cursor, header, 1 << 30, 2, point, [](QVector<double> &) {});
        }

        VantorData data;
        decode(bytes, data);
        QByteArray asVantor = bytes;
        if (asVantor.size() > kVantorCountOffset + 4)
            putLittleEndian(asVantor, kVantorCountOffset, qint32(rng.bounded(1 << 20)));
        decode(asVantor, data);
    }
    QVERIFY2(timer.elapsed() < 20000, "parsing random bytes took too long");
}

VANTOR_TEST_MAIN(TestTraceReaders)
#include "tst_tracereaders.moc"
