// The circle of a given radius laid against a contour (search, vertical
// adjustment, whole placement) and the conversion of its radius between units.
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "geometryfixtures.h"
#include "measurements/circlegeometry.h"

#include <limits>

Q_DECLARE_METATYPE(QVector<QCPCurveData>)

namespace {

// The nearest point's distance from c.
double nearestDistance(const QVector<QCPCurveData> &d, const QPointF &c)
{
    double best = std::numeric_limits<double>::infinity();
    for (const auto &p : d)
        best = std::min(best, std::hypot(p.key - c.x(), p.value - c.y()));
    return best;
}

// A V-groove with its apex at the origin and the given opening angle between
// the flanks, sampled densely up to the given height.
QVector<QCPCurveData> vGroove(double openingDegrees, double height)
{
    const double slope = 1 / std::tan(openingDegrees / 2 * M_PI / 180);
    const double halfWidth = height / slope;
    return sampled(-halfWidth, halfWidth, 8001, [slope](double x) { return slope * std::abs(x); });
}

// A vertical wall x = 0 from y 0 to 10, one point below the middle more than
// above it.
QVector<QCPCurveData> wall()
{
    QVector<QPointF> p;
    for (int i = 0; i <= 1000; ++i)
        p << QPointF(0, i * 0.01);
    return points(p);
}

} // namespace

class TestCurvatureGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void searchCentre_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("data");
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<double>("R");
        QTest::addColumn<QPointF>("expected");

        QTest::newRow("points of a circle of that radius, start off-centre")
            << arcPoints(2, -1, 3, 0, 359, 360) << QPointF(2.4, -1.3) << 3.0 << QPointF(2, -1);
        QTest::newRow("arc of a quarter circle")
            << arcPoints(0, 0, 0.5, 200, 290, 500) << QPointF(0.1, 0.05) << 0.5 << QPointF(0, 0);
        // From here the plain pattern search finds its +x and then its -x
        // neighbour exactly as good as the centre and swings between the two
        // for ever; the search must settle and go on to the true centre.
        QTest::newRow("two points, start between equal errors")
            << points({ { -1, 0 }, { 1, 0 } }) << QPointF(-0.05, std::sqrt(1 - 0.95 * 0.95)) << 1.0 << QPointF(0, 0);
        QTest::newRow("start far outside the points is pulled in")
            << arcPoints(0, 0, 1, 0, 180, 181) << QPointF(1e6, -1e6) << 1.0 << QPointF(0, 0);
    }

    void searchCentre()
    {
        QFETCH(QVector<QCPCurveData>, data);
        QFETCH(QPointF, start);
        QFETCH(double, R);
        QFETCH(QPointF, expected);

        QPointF c = start;
        Geometry::searchCentre(dataBegin(data), dataEnd(data), c, R);
        QVERIFY2(std::hypot(c.x() - expected.x(), c.y() - expected.y()) < 1e-4 * R,
            qPrintable(QStringLiteral("centre (%1, %2)").arg(c.x()).arg(c.y())));
    }

    void searchEmptyOrUnusableRadiusLeavesCentre_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("data");
        QTest::addColumn<double>("R");
        const auto line = sampled(0, 1, 11, [](double) { return 0.0; });
        QTest::newRow("empty range") << QVector<QCPCurveData>() << 1.0;
        QTest::newRow("radius 0 (a parameter that did not convert)") << line << 0.0;
        QTest::newRow("negative radius") << line << -1.0;
        QTest::newRow("radius not a number") << line << std::numeric_limits<double>::quiet_NaN();
    }

    void searchEmptyOrUnusableRadiusLeavesCentre()
    {
        QFETCH(QVector<QCPCurveData>, data);
        QFETCH(double, R);
        QPointF c(0.25, 7);
        Geometry::searchCentre(dataBegin(data), dataEnd(data), c, R);
        Geometry::adjustCentreVertically(dataBegin(data), dataEnd(data), c, R);
        QCOMPARE(c, QPointF(0.25, 7));
    }

    void adjustCentreVertically_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("data");
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("expected");

        const auto flat = sampled(-1, 1, 201, [](double) { return 0.0; });
        QTest::newRow("pin above a flat drops onto it") << flat << QPointF(0, 5) << QPointF(0, 1);
        QTest::newRow("pin below a flat rises against it") << flat << QPointF(0, -5) << QPointF(0, -1);
        QTest::newRow("pin cutting the flat from above is pushed out upwards")
            << flat << QPointF(0.3, 0.5) << QPointF(0.3, 1);
        QTest::newRow("as many points above as below: stays, even cutting")
            << points({ { -1, 1 }, { 1, 1 }, { -1, -1 }, { 1, -1 } }) << QPointF(0, 0) << QPointF(0, 0);
    }

    void adjustCentreVertically()
    {
        QFETCH(QVector<QCPCurveData>, data);
        QFETCH(QPointF, start);
        QFETCH(QPointF, expected);
        const double R = 1;

        QPointF c = start;
        Geometry::adjustCentreVertically(dataBegin(data), dataEnd(data), c, R);
        QCOMPARE(c.x(), start.x());
        QVERIFY2(std::abs(c.y() - expected.y()) < 1e-4,
            qPrintable(QStringLiteral("centre y %1, expected %2").arg(c.y(), 0, 'g', 10).arg(expected.y())));
    }

    // Nothing lies under a pin beside a wall: the plain loop would sink for
    // ever. It stops once no point can be reached any more: more than R, and
    // at most R plus the first step, below the lowest point.
    void sinksBesideAWallAndStops()
    {
        const auto points = wall();
        QPointF c(3, 5);
        Geometry::adjustCentreVertically(dataBegin(points), dataEnd(points), c, 1);
        QCOMPARE(c.x(), 3.0);
        QVERIFY2(c.y() < -1 && c.y() >= -1.1, qPrintable(QString::number(c.y())));
    }

    // The whole placement of kind 23: the pin lies in a symmetric V-groove on
    // both flanks, its centre on the axis at R / sin(half the opening).
    void restsInVGroove_data()
    {
        QTest::addColumn<double>("opening");
        QTest::addColumn<double>("R");
        QTest::newRow("90 degrees, R 1") << 90.0 << 1.0;
        QTest::newRow("60 degrees, R 0.5") << 60.0 << 0.5;
        QTest::newRow("120 degrees, R 2") << 120.0 << 2.0;
    }

    void restsInVGroove()
    {
        QFETCH(double, opening);
        QFETCH(double, R);
        const double restHeight = R / std::sin(opening / 2 * M_PI / 180);
        // Flanks up to 1.5 times the resting height: most points lie below
        // the centre, so the pin drops into the groove.
        const auto groove = vGroove(opening, 1.5 * restHeight);

        const QPointF c = Geometry::restingCentre(dataBegin(groove), dataEnd(groove), R);
        QVERIFY2(std::abs(c.x()) < 1e-3 * R, qPrintable(QString::number(c.x())));
        QVERIFY2(std::abs(c.y() - restHeight) < 1e-3 * R,
            qPrintable(QStringLiteral("centre y %1, expected %2").arg(c.y()).arg(restHeight)));
        // Resting, not cutting: the nearest flank point lies at R.
        QVERIFY(nearestDistance(groove, c) > R);
        QVERIFY(nearestDistance(groove, c) < R * (1 + 1e-3));
    }

    // No circle fits a straight run, so the placement starts from the points'
    // centroid; the pin ends touching the line from one side.
    void touchesAFlat()
    {
        const auto flat = sampled(-5, 5, 1001, [](double) { return 2.0; });
        const double R = 1;
        const QPointF c = Geometry::restingCentre(dataBegin(flat), dataEnd(flat), R);
        QVERIFY(std::isfinite(c.x()));
        QVERIFY(c.x() >= -5 && c.x() <= 5);
        QVERIFY2(std::abs(std::abs(c.y() - 2) - R) < 1e-4, qPrintable(QString::number(c.y())));
        QVERIFY(nearestDistance(flat, c) > R);
    }

    // A vertical wall: no vertical move can free a pin that cuts it, and a pin
    // beside it has nothing to rest on. The placement ends, near the wall.
    void endsBesideAWall()
    {
        const auto points = wall();
        const double R = 1;
        const QPointF c = Geometry::restingCentre(dataBegin(points), dataEnd(points), R);
        const auto bounds = Geometry::centreBounds(dataBegin(points), dataEnd(points), R);
        QVERIFY(bounds.contains(c));
    }

    void convertLength_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("axisUnit");
        QTest::addColumn<double>("expected");
        const QString mm = QStringLiteral("мм"), um = QStringLiteral("мкм"), nm = QStringLiteral("нм");
        // 1.5 of the suffix's unit, shown in the axis unit.
        QTest::newRow("mm to mm") << mm << 0 << 1.5;
        QTest::newRow("µm to mm") << um << 0 << 0.0015;
        QTest::newRow("nm to mm") << nm << 0 << 1.5e-6;
        QTest::newRow("mm to µm") << mm << 1 << 1500.0;
        QTest::newRow("µm to µm") << um << 1 << 1.5;
        QTest::newRow("nm to µm") << nm << 1 << 0.0015;
        QTest::newRow("mm to nm") << mm << 2 << 1.5e6;
        QTest::newRow("µm to nm") << um << 2 << 1500.0;
        QTest::newRow("nm to nm") << nm << 2 << 1.5;
        QTest::newRow("unknown suffix") << QStringLiteral("см") << 1 << 1.5;
        QTest::newRow("suffix with a blank is not a unit") << QStringLiteral(" мм") << 1 << 1.5;
        QTest::newRow("unknown axis unit") << mm << 3 << 1.5;
        QTest::newRow("negative axis unit") << um << -1 << 1.5;
    }

    void convertLength()
    {
        QFETCH(QString, suffix);
        QFETCH(int, axisUnit);
        QFETCH(double, expected);
        QCOMPARE_REL(Geometry::convertLength(1.5, suffix, axisUnit), expected, 1e-15);
    }
};

VANTOR_TEST_MAIN(TestCurvatureGeometry)
#include "tst_curvaturegeometry.moc"
