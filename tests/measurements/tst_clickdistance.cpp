// Lines and points picked by clicks on trace points.
#include "support/testmain.h"

#include "measurements/circlegeometry.h"

#include <limits>

class TestClickDistance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lineThroughPoints_data()
    {
        QTest::addColumn<QPointF>("a");
        QTest::addColumn<QPointF>("b");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("slope");
        QTest::addColumn<double>("offset");
        QTest::newRow("rising") << QPointF(1, 1) << QPointF(3, 5) << true << 2.0 << -1.0;
        QTest::newRow("picked right to left") << QPointF(3, 5) << QPointF(1, 1) << true << 2.0 << -1.0;
        QTest::newRow("level") << QPointF(-2, 3.25) << QPointF(7, 3.25) << true << 0.0 << 3.25;
        QTest::newRow("copy's line through (0, c1) and (1, c0 + c1)")
            << QPointF(0, 1) << QPointF(1, 3) << true << 2.0 << 1.0;
        QTest::newRow("one key: no finite slope") << QPointF(2, 1) << QPointF(2, 4) << false << 0.0 << 0.0;
        QTest::newRow("the same point twice") << QPointF(2, 1) << QPointF(2, 1) << false << 0.0 << 0.0;
        QTest::newRow("a coordinate not a number")
            << QPointF(0, std::numeric_limits<double>::quiet_NaN()) << QPointF(1, 1) << false << 0.0 << 0.0;
    }

    void lineThroughPoints()
    {
        QFETCH(QPointF, a);
        QFETCH(QPointF, b);
        QFETCH(bool, ok);
        QFETCH(double, slope);
        QFETCH(double, offset);
        QVector<double> coefficients { 7, 7 };
        QCOMPARE(Geometry::lineThroughPoints(a, b, &coefficients), ok);
        if (!ok) {
            QCOMPARE(coefficients, QVector<double>({ 7, 7 }));
            return;
        }
        QCOMPARE(coefficients.size(), 2);
        QVERIFY(std::abs(coefficients[0] - slope) < 1e-12);
        QVERIFY(std::abs(coefficients[1] - offset) < 1e-12);
    }

    void middlePoint()
    {
        QCOMPARE(Geometry::middlePoint(QPointF(1, 2), QPointF(3, 6)), QPointF(2, 4));
        QCOMPARE(Geometry::middlePoint(QPointF(-1, -2), QPointF(1, 2)), QPointF(0, 0));
    }
};

VANTOR_TEST_MAIN(TestClickDistance)
#include "tst_clickdistance.moc"
