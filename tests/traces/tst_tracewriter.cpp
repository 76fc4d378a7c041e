#include "traces/tracereaders.h"
#include "traces/tracewriter.h"

#include "support/testmain.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <cmath>
#include <limits>

class TestTraceWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void realsReadBackExactly_data();
    void realsReadBackExactly();
    void randomRealsReadBackExactly();
    void headerReals_data();
    void headerReals();
    void pointLinesAreTabTerminated();
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
    const TData data{{0, 0.5, 2000000.25}, {1, -2, 3}, {0, 0, 7, 99}};
    QVERIFY(TraceWriter::writePointLines(buffer, data, 3));
    QCOMPARE(buffer.data(), QByteArray("0\t1\t0\t\n0.5\t-2\t0\t\n2000000.25\t3\t7\t\n"));

    // Two channels of a three-channel set; a channel shorter than X bounds the lines.
    QBuffer two;
    two.open(QIODevice::WriteOnly);
    QVERIFY(TraceWriter::writePointLines(two, TData{{1, 2, 3}, {4, 5}}, 2));
    QCOMPARE(two.data(), QByteArray("1\t4\t\n2\t5\t\n"));

    QBuffer closed;
    QVERIFY(!TraceWriter::writePointLines(closed, data, 3));
}

VANTOR_TEST_MAIN(TestTraceWriter)
#include "tst_tracewriter.moc"
