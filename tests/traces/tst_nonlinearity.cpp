#include "settings/settings.h"
#include "support/fuzzy.h"
#include "support/testmain.h"
#include "traces/nonlinearity.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

TData tableFrom(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return NonLinearity::readTableRows(&buffer);
}

} // namespace

class TestNonLinearity : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void referenceRows();
    void tableRowsSkipStepsBack();
    void correction_data();
    void correction();
    void builderSmoothsReference();
    void savedTableReadsBackExactly();
    void emptyReferenceEmptiesTable();
    void saveFailsWithoutDirectory();
    void processorFollowsSwitchAndFile();
};

void TestNonLinearity::init()
{
    QDir(NonLinearity::kDirName).removeRecursively();
    QFile::remove(NonLinearity::kDirName);
    Settings::instance().preferenses.non_linearity = true;
}

void TestNonLinearity::cleanup()
{
    init();
}

void TestNonLinearity::referenceRows()
{
    // A contour trace file: header lines, point lines of X, Y, Z each
    // followed by a TAB, and lines of other shapes that add nothing.
    const QByteArray file = "trace_type:CONTOUR\n"
                            "needle_pressing:\td\n"
                            "point_count:\t4\n"
                            "0\t5\t2000\t\n"
                            "\n"
                            "  1\t5\t2000\t  \n"
                            "2\t3\n"
                            "3\t1\t2\t4\n"
                            "4\tx\t2\n"
                            "5\tnan\t2\n"
                            "1\t-1\t-500\t\n";
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    NonLinearityTableBuilder builder;
    builder.load(&buffer);
    QVERIFY(!buffer.isOpen());
    // The last row repeats X 1 and is spread towards... nothing follows, so
    // the run at the end keeps its value; the earlier run climbs.
    QCOMPARE(builder.source, (TData { { 0, 1, 1 }, { 7, 7, -1.5 } }));

    QBuffer twoRuns;
    twoRuns.setData("0\t1\t0\n0\t1\t0\n0\t1\t0\n3\t2\t0\n");
    twoRuns.open(QIODevice::ReadOnly);
    builder.load(&twoRuns);
    QCOMPARE(builder.source[0], (QVector<double> { 0, 1, 2, 3 }));
    QVERIFY(builder.smoothed.size() == 2 && builder.smoothed[0].isEmpty());
}

void TestNonLinearity::tableRowsSkipStepsBack()
{
    const TData t = tableFrom("0\t1\n0\t2\n5\t3\n4\t9\nabc\t1\n1\t2\t3\n\n7\t-1\r\n");
    QCOMPARE(t, (TData { { 0, 5, 7 }, { 1, 3, -1 } }));
}

void TestNonLinearity::correction_data()
{
    QTest::addColumn<TData>("table");
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("correction");
    const TData twoRows { { 0, 10 }, { 1, 3 } };
    QTest::newRow("before, inside, on and after the table")
        << twoRows << QVector<double> { -5, 5, 10, 20 } << QVector<double> { 1, 2, 3, 3 };
    QTest::newRow("several segments") << TData { { 0, 10, 20 }, { 0, 10, 0 } } << QVector<double> { 0, 5, 15, 20 }
                                      << QVector<double> { 0, 5, 5, 0 };
    QTest::newRow("one row corrects nothing")
        << TData { { 0 }, { 4 } } << QVector<double> { -1, 0, 1 } << QVector<double> { 0, 0, 0 };
    QTest::newRow("no rows") << TData { {}, {} } << QVector<double> { 1 } << QVector<double> { 0 };
}

void TestNonLinearity::correction()
{
    QFETCH(TData, table);
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, correction);
    TData data { x, QVector<double>(x.size(), 100.0), QVector<double>(x.size(), 9.0) };
    NonLinearity::subtractCorrection(data, table);
    QCOMPARE(data[0], x);
    QCOMPARE(data[2], QVector<double>(x.size(), 9.0));
    for (int i = 0; i < x.size(); ++i) {
        QCOMPARE_REL(data[1][i], 100.0 - correction[i], 1e-12);
    }
}

void TestNonLinearity::builderSmoothsReference()
{
    // A slow bow with a fine ripple: the table keeps the bow, drops the
    // ripple, and loses 1000 at each end to the smoothing.
    const double length = 20000;
    QByteArray file;
    for (int i = 0; i <= 2000; ++i) {
        const double x = i * 10.0;
        const double y = 3 * std::sin(2 * kPi * x / length) + 0.5 * std::sin(x / 30);
        file += QByteArray::number(x) + '\t' + QByteArray::number(y, 'g', 17) + "\t0\t\n";
    }
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    NonLinearityTableBuilder builder;
    builder.load(&buffer);
    builder.smooth();
    QCOMPARE(builder.smoothed.size(), 2);
    QCOMPARE(builder.smoothed[0].first(), 1000.0);
    QCOMPARE(builder.smoothed[0].last(), 19000.0);
    double worst = 0;
    for (int i = 0; i < builder.smoothed[0].size(); ++i) {
        const double bow = 3 * std::sin(2 * kPi * builder.smoothed[0][i] / length);
        worst = std::max(worst, std::abs(builder.smoothed[1][i] - bow));
    }
    QVERIFY2(worst < 0.05, qPrintable(QString::number(worst)));

    QVERIFY(builder.save());
    NonLinearityEliminationProcessor processor;
    QCOMPARE(processor.table, builder.smoothed);
}

void TestNonLinearity::savedTableReadsBackExactly()
{
    // Neighbours that differ only in the seventh digit stay distinct, and
    // every value reads back bit for bit; an existing table is replaced.
    QVERIFY(writeText(NonLinearity::kFilePath, "0\t0\n"));
    NonLinearityTableBuilder builder;
    builder.smoothed
        = TData { { 1000.0001, 1000.0002, 1000.0003, 2.5e-9 }, { 1e-7, 2.718281828459045, -3, 0.1 + 0.2 } };
    QVERIFY(builder.save());
    const QByteArray text = readAll(NonLinearity::kFilePath);
    QVERIFY(text.startsWith("1000.0001\t1e-07\n1000.0002\t2.718281828459045\n"));
    QFile file(NonLinearity::kFilePath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    // The last row steps back in X and is dropped on reading.
    QCOMPARE(NonLinearity::readTableRows(&file),
        (TData { { 1000.0001, 1000.0002, 1000.0003 }, { 1e-7, 2.718281828459045, -3 } }));
}

void TestNonLinearity::emptyReferenceEmptiesTable()
{
    QVERIFY(writeText(NonLinearity::kFilePath, "0\t1\n10\t3\n"));
    QBuffer buffer;
    buffer.setData("trace_type:CONTOUR\n1\t2\n");
    buffer.open(QIODevice::ReadOnly);
    NonLinearityTableBuilder builder;
    builder.load(&buffer);
    builder.smooth();
    QVERIFY(builder.smoothed.isEmpty());
    QVERIFY(builder.save());
    QVERIFY(QFile::exists(NonLinearity::kFilePath));
    QCOMPARE(readAll(NonLinearity::kFilePath), QByteArray());
}

void TestNonLinearity::saveFailsWithoutDirectory()
{
    // A plain file where the directory belongs: nothing can be written, and
    // the failure is reported.
    QVERIFY(writeText(NonLinearity::kDirName, "not a directory"));
    NonLinearityTableBuilder builder;
    builder.smoothed = TData { { 0, 1 }, { 0, 1 } };
    QVERIFY(!builder.save());
    QCOMPARE(readAll(NonLinearity::kDirName), QByteArray("not a directory"));
}

void TestNonLinearity::processorFollowsSwitchAndFile()
{
    const TData input { { -5, 5, 20 }, { 0, 0, 0 } };
    {
        NonLinearityEliminationProcessor noTable; // no directory at construction
        TData data = input;
        noTable.process(data);
        QCOMPARE(data, input);
    }

    QVERIFY(writeText(NonLinearity::kFilePath, "0\t1\n10\t3\n"));
    NonLinearityEliminationProcessor processor;
    TData data = input;
    processor.process(data);
    QCOMPARE(data[1], (QVector<double> { -1, -2, -3 }));

    // The switch is the one of the processor's construction: turning it off
    // later changes nothing for this processor, a new one leaves Y alone.
    Settings::instance().preferenses.non_linearity = false;
    data = input;
    processor.process(data);
    QCOMPARE(data[1], (QVector<double> { -1, -2, -3 }));
    {
        NonLinearityEliminationProcessor switchedOff;
        data = input;
        switchedOff.process(data);
        QCOMPARE(data, input);
    }
    Settings::instance().preferenses.non_linearity = true;

    QVERIFY(QFile::remove(NonLinearity::kFilePath));
    data = input;
    processor.process(data);
    QCOMPARE(data, input);

    // Written again with other values: the table read at construction applies.
    QVERIFY(writeText(NonLinearity::kFilePath, "0\t100\n10\t100\n"));
    data = input;
    processor.process(data);
    QCOMPARE(data[1], (QVector<double> { -1, -2, -3 }));
}

VANTOR_TEST_MAIN(TestNonLinearity)
#include "tst_nonlinearity.moc"
