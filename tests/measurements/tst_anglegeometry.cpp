#include "support/testmain.h"
#include "measurements/dimensionfixtures.h"

#include "measurements/distanceanglegeometry.h"

#include <cmath>

using namespace DimensionGeometry;

Q_DECLARE_METATYPE(QPointF)

namespace {

double radians(double degrees)
{
    return degrees * M_PI / 180;
}

QPointF towards(double degrees)
{
    return { std::cos(radians(degrees)), std::sin(radians(degrees)) };
}

Algos::RMS line(double intercept, double slope)
{
    return Algos::RMS(QVector<double> { intercept, slope });
}

// The angle between two fitted lines as the regular angle measures it.
AngleDrawing regularAngle(const Algos::RMS &a, const Algos::RMS &b, const QPointF &label)
{
    const auto vertex = lineIntersection(a, b);
    const auto d1 = lineDirection(a), d2 = lineDirection(b);
    if (!vertex || !d1 || !d2)
        qFatal("regularAngle: lines without a crossing");
    return angleTowardsLabel(*vertex, *d1, *d2, label);
}

} // namespace

class TestAngleGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Two lines crossing at (2, 1): y = 1 (side along 0°) and a line at theta.
    // The label picks the pair of directions facing it: theta or 180 - theta.
    void regularAngleFacesTheLabel_data()
    {
        QTest::addColumn<double>("theta");
        QTest::addColumn<double>("labelDirection");
        QTest::addColumn<double>("angle");
        for (const double theta : { 30.0, 90.0 - 1e-9, 127.5 }) {
            const QByteArray t = QByteArray::number(theta, 'g', 4);
            QTest::newRow(t + " inside") << theta << theta / 2 << theta;
            QTest::newRow(t + " beside") << theta << (theta + 180) / 2 << 180 - theta;
            QTest::newRow(t + " opposite") << theta << theta / 2 + 180 << theta;
            QTest::newRow(t + " below") << theta << theta / 2 - 90 << 180 - theta;
        }
    }
    void regularAngleFacesTheLabel()
    {
        QFETCH(double, theta);
        QFETCH(double, labelDirection);
        QFETCH(double, angle);
        const QPointF vertex(2, 1);
        const Algos::RMS level = line(1, 0);
        const Algos::RMS slanted = line(1 - 2 * std::tan(radians(theta)), std::tan(radians(theta)));
        const QPointF label = vertex + towards(labelDirection) * 3;
        const AngleDrawing a = regularAngle(level, slanted, label);
        QCOMPARE_REL(a.angle, angle, 1e-9);
        QCOMPARE_REL(a.radius, 3.0, 1e-12);
        // Both sides point towards the label.
        const QPointF u = (label - vertex) / 3;
        QVERIFY(QPointF::dotProduct(a.direction1, u) >= 0);
        QVERIFY(QPointF::dotProduct(a.direction2, u) >= 0);
        // The arc is the circle through the label about the vertex.
        QCOMPARE_POINT(a.arcRect.center(), vertex, 1e-12);
        QCOMPARE_REL(a.arcRect.width(), 6.0, 1e-12);
        QCOMPARE_REL(a.arcRect.height(), 6.0, 1e-12);
    }

    // Lines at right angles read 90 whatever side the label is on, with no
    // second lost to rounding.
    void rightAngleEverywhere()
    {
        for (const double direction : { 10.0, 100.0, 200.0, 300.0, 45.0 }) {
            const AngleDrawing a = regularAngle(line(0, 1), line(4, -1), QPointF(2, 2) + towards(direction));
            QCOMPARE_REL(a.angle, 90.0, 1e-12);
            QCOMPARE(dmsText(a.angle), QStringLiteral("90° 0' 0''"));
        }
    }

    // A computed 12.7° (42 whole minutes) still reads 42' 0''.
    void computedAngleKeepsItsSeconds()
    {
        const AngleDrawing a
            = angleTowardsLabel(QPointF(), QPointF(1, 0), QPointF(1, std::tan(radians(12.7))), towards(6));
        QCOMPARE_REL(a.angle, 12.7, 1e-12);
        QCOMPARE(dmsText(a.angle), QStringLiteral("12° 42' 0''"));
    }

    // One fitted line of slope 1 against the horizontal (1, 0) and the
    // vertical (0, 1) direction, the label around the vertex.
    void angleToAnAxis_data()
    {
        QTest::addColumn<QPointF>("axis");
        QTest::addColumn<QPointF>("labelOffset");
        QTest::addColumn<double>("angle");
        QTest::addColumn<int>("start16");
        QTest::addColumn<int>("span16");
        QTest::newRow("horizontal, label above") << QPointF(1, 0) << QPointF(0, 1) << 45.0 << 720 << -720;
        QTest::newRow("horizontal, label up left") << QPointF(1, 0) << QPointF(-1, 1) << 135.0 << 720 << 2160;
        // The axis stays when the label is square to it, so straight below reads 135.
        QTest::newRow("horizontal, label below") << QPointF(1, 0) << QPointF(0, -1) << 135.0 << 3600 << 2160;
        QTest::newRow("horizontal, label below left") << QPointF(1, 0) << QPointF(-0.5, -1) << 45.0 << 3600 << -720;
        QTest::newRow("vertical, label right") << QPointF(0, 1) << QPointF(1, 0) << 45.0 << 720 << 720;
        QTest::newRow("vertical, label up left") << QPointF(0, 1) << QPointF(-1, 1) << 45.0 << 720 << 720;
        QTest::newRow("vertical, label left") << QPointF(0, 1) << QPointF(-1, 0.2) << 135.0 << 3600 << -2160;
    }
    void angleToAnAxis()
    {
        QFETCH(QPointF, axis);
        QFETCH(QPointF, labelOffset);
        QFETCH(double, angle);
        QFETCH(int, start16);
        QFETCH(int, span16);
        const QPointF vertex(5, 7);
        const AngleDrawing a = angleTowardsLabel(vertex, *lineDirection(line(2, 1)), axis, vertex + labelOffset);
        QCOMPARE_REL(a.angle, angle, 1e-12);
        QCOMPARE(a.arcStart16, start16);
        QCOMPARE(a.arcSpan16, span16);
        // Sides reach from a fifth of the radius behind the vertex to 1.1 radii past it.
        const double r = std::hypot(labelOffset.x(), labelOffset.y());
        QCOMPARE_POINT(a.side1.p1(), vertex - a.direction1 * r * 0.2, 1e-12);
        QCOMPARE_POINT(a.side1.p2(), vertex + a.direction1 * r * 1.1, 1e-12);
        QCOMPARE_POINT(a.side2.p2(), vertex + a.direction2 * r * 1.1, 1e-12);
    }

    // Lines that are not finite or never cross give no vertex, so nothing is
    // drawn at infinity.
    void noVertex_data()
    {
        QTest::addColumn<double>("k1");
        QTest::addColumn<double>("b1");
        QTest::addColumn<double>("k2");
        QTest::addColumn<double>("b2");
        QTest::newRow("parallel") << 0.5 << 1.0 << 0.5 << 3.0;
        QTest::newRow("identical") << 0.5 << 1.0 << 0.5 << 1.0;
        QTest::newRow("slope not a number") << qQNaN() << 1.0 << 0.5 << 1.0;
        QTest::newRow("intercept infinite") << 1.0 << 1.0 << 0.5 << qInf();
    }
    void noVertex()
    {
        QFETCH(double, k1);
        QFETCH(double, b1);
        QFETCH(double, k2);
        QFETCH(double, b2);
        QVERIFY(!lineIntersection(line(b1, k1), line(b2, k2)));
    }

    void noDirectionWithoutALine()
    {
        QVERIFY(!lineDirection(Algos::RMS()));
        QVERIFY(!lineDirection(line(qQNaN(), 1)));
        QCOMPARE_POINT(*lineDirection(line(0, 1)), QPointF(M_SQRT1_2, M_SQRT1_2), 1e-15);
    }

    void dms_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QString>("text");
        QTest::newRow("right angle") << 90.0 << "90° 0' 0''";
        QTest::newRow("half a degree") << 12.5 << "12° 30' 0''";
        QTest::newRow("truncated seconds") << 0.99999 << "0° 59' 59''";
        QTest::newRow("binary 12.7") << 12.7 << "12° 42' 0''";
        QTest::newRow("binary 33.3") << 33.3 << "33° 18' 0''";
        QTest::newRow("all three") << 45 + 30 / 60.0 + 15 / 3600.0 << "45° 30' 15''";
        QTest::newRow("just under a whole degree") << 179.9999 << "179° 59' 59''";
        QTest::newRow("zero") << 0.0 << "0° 0' 0''";
        // A fitted 10° flank whose last bits came out low reads 10°; a
        // thousandth of a second short of a whole one is still truncated.
        QTest::newRow("fit noise below 10") << 9.99999998 << "10° 0' 0''";
        QTest::newRow("exactly 10") << 10.0 << "10° 0' 0''";
        QTest::newRow("noise below a minute") << 12 + 30 / 60.0 - 1e-9 << "12° 30' 0''";
        QTest::newRow("a hundredth of a second short") << 12.5 - 0.01 / 3600 << "12° 29' 59''";
    }
    void dms()
    {
        QFETCH(double, degrees);
        QFETCH(QString, text);
        QCOMPARE(dmsText(degrees), text);
    }

    void valueText_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("hasSegment");
        QTest::addColumn<QString>("text");
        QTest::newRow("decimal, no segment") << 0.0 << true << false << "0.0000°";
        QTest::newRow("decimal") << 90.0 << true << true << "90.0000°";
        QTest::newRow("decimal, rounded") << 12.34567 << true << true << "12.3457°";
        QTest::newRow("dms, no segment") << 0.0 << false << false << "неизвестно";
        QTest::newRow("dms") << 12.5 << false << true << "12° 30' 0''";
    }
    void valueText()
    {
        QFETCH(double, degrees);
        QFETCH(bool, decimal);
        QFETCH(bool, hasSegment);
        QFETCH(QString, text);
        QCOMPARE(angleValueText(degrees, decimal, hasSegment), text);
    }

    void nominal_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<double>("nominal");
        QTest::newRow("67.8") << 67.8 << 90.0;
        QTest::newRow("tie goes to the earlier") << 67.5 << 45.0;
        QTest::newRow("100") << 100.0 << 90.0;
        QTest::newRow("158") << 158.0 << 180.0;
        QTest::newRow("zero") << 0.0 << 0.0;
        QTest::newRow("small") << 3.0 << 45.0;
        QTest::newRow("straight") << 180.0 << 180.0;
    }
    void nominal()
    {
        QFETCH(double, degrees);
        QFETCH(double, nominal);
        QCOMPARE(nominalAngle(degrees), nominal);
    }
};

VANTOR_TEST_MAIN(TestAngleGeometry)
#include "tst_anglegeometry.moc"
