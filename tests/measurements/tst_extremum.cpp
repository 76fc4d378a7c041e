// The highest and lowest point of a range of curve data.
#include "support/testmain.h"

#include "geometryfixtures.h"
#include "measurements/circlegeometry.h"

class TestExtremum : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void extremumIndex_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("begin");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("minimum");

        // Indices 0-9 hold decoys higher and lower than anything in the range.
        QVector<double> v(10, 0.0);
        v[3] = 100;
        v[7] = -100;
        v << 1 << 5 << 5 << 2 << -50 << 50;
        QTest::newRow("equal values: the first wins") << v << 10 << 14 << 11 << 10;
        QTest::newRow("one point") << v << 10 << 11 << 10 << 10;
        QTest::newRow("range reaching the end") << v << 12 << 16 << 15 << 14;
        QTest::newRow("empty range") << v << 12 << 12 << -1 << -1;
        QTest::newRow("equal lows: the first wins") << QVector<double> { 3, -1, 0, -1 } << 0 << 4 << 0 << 1;
    }

    void extremumIndex()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, begin);
        QFETCH(int, end);
        QFETCH(int, maximum);
        QFETCH(int, minimum);
        QVector<QCPCurveData> d;
        for (int i = 0; i < values.size(); ++i)
            d << QCPCurveData(i, i, values[i]);
        const QCPCurveData *first = d.constData() + begin;
        const QCPCurveData *last = d.constData() + end;
        const int offsetMax = Geometry::extremumIndex(first, last, true);
        const int offsetMin = Geometry::extremumIndex(first, last, false);
        QCOMPARE(offsetMax < 0 ? -1 : begin + offsetMax, maximum);
        QCOMPARE(offsetMin < 0 ? -1 : begin + offsetMin, minimum);
    }
};

VANTOR_TEST_MAIN(TestExtremum)
#include "tst_extremum.moc"
