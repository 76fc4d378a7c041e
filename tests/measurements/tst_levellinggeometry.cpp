#include "support/testmain.h"
#include "measurements/dimensionfixtures.h"

#include "measurements/levellinggeometry.h"

#include <cmath>

using namespace LevelGeometry;

class TestLevellingGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The level angle is the slope angle of the fitted line; the rotation
    // turns it back.
    void levelAngle_data()
    {
        QTest::addColumn<double>("slope");
        QTest::addColumn<double>("angle");
        QTest::newRow("level") << 0.0 << 0.0;
        QTest::newRow("rising 1") << 1.0 << 45.0;
        QTest::newRow("falling 1") << -1.0 << -45.0;
        QTest::newRow("rising 30°") << std::tan(M_PI / 6) << 30.0;
        QTest::newRow("steep falling") << -1000.0 << -(90 - std::atan(0.001) * 180 / M_PI);
        QTest::newRow("slight rising") << 1e-6 << 1e-6 * 180 / M_PI;
    }
    void levelAngle()
    {
        QFETCH(double, slope);
        QFETCH(double, angle);
        const double a = levelAngleDegrees(Algos::RMS(QVector<double> { 7, slope }));
        if (angle == 0)
            QCOMPARE(a, 0.0);
        else
            QCOMPARE_REL(a, angle, 1e-9);
        QCOMPARE_REL(levelRotation(a), -angle * M_PI / 180, 1e-9);
    }

    void rotationCentre()
    {
        const auto data = curveData({ 1, 2, 3 }, { 10, 20, 30 });
        QCOMPARE(LevelGeometry::rotationCentre(&data, 1), QPointF(2, 20));
        QCOMPARE(LevelGeometry::rotationCentre(&data, 3), QPointF());
        QCOMPARE(LevelGeometry::rotationCentre(nullptr, 0), QPointF());
    }

    // Rising and falling lines turned about their first point lie level
    // through it, within the single precision of the centre and the angle.
    void levellingMakesTheLineHorizontal_data()
    {
        QTest::addColumn<double>("intercept");
        QTest::addColumn<double>("slope");
        QTest::newRow("y = 2 + 0.5x") << 2.0 << 0.5;
        QTest::newRow("y = 3 - x") << 3.0 << -1.0;
        QTest::newRow("y = 40 + x") << 40.0 << 1.0;
    }
    void levellingMakesTheLineHorizontal()
    {
        QFETCH(double, intercept);
        QFETCH(double, slope);
        auto data = sampledLine(4, 30, [&](int x) { return intercept + slope * x; });
        const Algos::RMS fit(data.constBegin(), data.constEnd());
        const QPointF centre = LevelGeometry::rotationCentre(&data, 0);
        rotateData(data, centre, levelRotation(levelAngleDegrees(fit)));
        const double length = std::hypot(26.0, 26 * slope);
        for (int i = 0; i < data.size(); ++i) {
            const QCPCurveData &d = *(data.constBegin() + i);
            QVERIFY2(std::abs(d.value - centre.y()) < 1e-5, qPrintable(QString::number(d.value)));
            // Distances along the line are kept.
            QVERIFY(std::abs(d.key - (centre.x() + length * i / 26)) < 1e-5);
        }
    }

    // A level line gives a zero rotation, which leaves every point exactly.
    void levelLineStaysExactly()
    {
        const auto before = sampledLine(0, 10, [](int x) { return 0.1 * (x % 3) + 5; });
        auto data = sampledLine(0, 10, [](int) { return 5.0; });
        auto other = before;
        const double theta = levelRotation(levelAngleDegrees(Algos::RMS(data.constBegin(), data.constEnd())));
        QCOMPARE(theta, 0.0);
        rotateData(other, QPointF(3.3, 1.7), theta);
        for (int i = 0; i < other.size(); ++i) {
            QCOMPARE((other.constBegin() + i)->key, (before.constBegin() + i)->key);
            QCOMPARE((other.constBegin() + i)->value, (before.constBegin() + i)->value);
        }
    }
};

VANTOR_TEST_MAIN(TestLevellingGeometry)
#include "tst_levellinggeometry.moc"
