// Axis ranges of the windows' automatic scaling.

#include "support/testmain.h"

#include "plot/axisrange.h"

#include <limits>

class TestAxisRange : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void padded()
    {
        const QCPRange r = paddedRange(10, 30, 0.05); // span 20, 1 at each end
        QCOMPARE(r.lower, 9.0);
        QCOMPARE(r.upper, 31.0);
        const QCPRange wide = paddedRange(-1, 1, 0.2);
        QCOMPARE(wide.lower, -1.4);
        QCOMPARE(wide.upper, 1.4);
        // No point at all: the bounds stay infinite, a range the plot refuses.
        const double inf = std::numeric_limits<double>::infinity();
        QVERIFY(!QCPRange::validRange(paddedRange(inf, -inf, 0.05)));
    }

    void flatSpansWidened_data()
    {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("widenedMax");
        QTest::newRow("zero span") << 5.0 << 5.0 << 6.0;
        QTest::newRow("span below a millionth of a millionth") << 1e6 << 1e6 + 1e-7 << 1e6 + 1 + 1e-7;
        QTest::newRow("zero at both ends") << 0.0 << 0.0 << 1.0;
        QTest::newRow("a real span stays") << 1.0 << 1.001 << 1.001;
    }
    void flatSpansWidened()
    {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(double, widenedMax);
        const double before = min;
        widenFlat(min, max);
        QCOMPARE(min, before);
        QCOMPARE(max, widenedMax);
    }
};

VANTOR_TEST_MAIN(TestAxisRange)
#include "tst_axisrange.moc"
