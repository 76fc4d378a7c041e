#include "support/fuzzy.h"
#include "support/testmain.h"

#include "dxftestfiles.h"
#include "measurements/dxffit.h"

#include <QRandomGenerator>

#include <cmath>

Q_DECLARE_METATYPE(QVector<double>)

namespace {

DxfDrawing drawingOf(const QString &type, const QVector<double> &params)
{
    DxfDrawing d;
    d.append(type, params);
    return d;
}

// Difference of two angles in degrees, folded into [0, 180].
double angleGap(double a, double b)
{
    const double d = normalizedDegrees(a - b);
    return std::min(d, 360 - d);
}

} // namespace

class TestDxfFit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void distance_data();
    void distance();
    void emptyDrawingIsFarAway();
    void distanceOfManyPointsIsTheSingleDistance();
    void prunedDistanceKeepsTheLastBit();
    void pointGeometry();
    void rotation_data();
    void rotation();
    void translationAndScale();
    void prunedErrorIsThePlainError();
    void largeDrawingErrorIsThePlainError();
    void equalErrorsKeepTheDrawingTurnedOver();
    void registration_data();
    void registration();
    void farEntitiesAreReachedInFewTrials_data();
    void farEntitiesAreReachedInFewTrials();
    void largeDrawingLandsOnTheTrace();
    void cancelStopsTheSearch();
    void picksApartLimitFollowsPartAndZoom_data();
    void picksApartLimitFollowsPartAndZoom();
};

// Distances from a point to one entity, against hand calculations.
void TestDxfFit::distance_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVector<double>>("params");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<double>("expected");

    const QString line = DxfType::line(), circle = DxfType::circle();
    QTest::newRow("segment, foot inside") << line << QVector<double> { 0, 0, 10, 0 } << QPointF(5, 5) << 5.0;
    QTest::newRow("segment, nearer end") << line << QVector<double> { 0, 0, 10, 0 } << QPointF(-3, 4) << 5.0;
    QTest::newRow("segment beyond its far end") << line << QVector<double> { 0, 0, 10, 0 } << QPointF(13, -4) << 5.0;
    // The foot of a horizontal or vertical segment off the axes, computed by
    // projection, misses the segment's own y or x by rounding.
    QTest::newRow("horizontal segment off the axes")
        << line << QVector<double> { 0.1, 0.7, 10.7, 0.7 } << QPointF(3, 2.7) << 2.0;
    QTest::newRow("vertical segment off the axes")
        << line << QVector<double> { 0.7, 0.1, 0.7, 10.7 } << QPointF(2.2, 3) << 1.5;
    QTest::newRow("segment of zero length") << line << QVector<double> { 1, 1, 1, 1 } << QPointF(4, 5) << 5.0;
    QTest::newRow("arc, inside its sweep")
        << circle << QVector<double> { 0, 0, 2, 0, 90 } << QPointF(3, 3) << std::sqrt(18.0) - 2;
    QTest::newRow("arc, outside its sweep")
        << circle << QVector<double> { 0, 0, 2, 0, 90 } << QPointF(-3, 0) << std::sqrt(13.0);
    QTest::newRow("arc through 0°, inside") << circle << QVector<double> { 0, 0, 2, 300, 60 } << QPointF(5, 0) << 3.0;
    QTest::newRow("arc through 0°, inside below")
        << circle << QVector<double> { 0, 0, 2, 300, 60 } << QPointF(3, -3) << std::sqrt(18.0) - 2;
    QTest::newRow("arc through 0°, outside")
        << circle << QVector<double> { 0, 0, 2, 300, 60 } << QPointF(-1, 0) << std::hypot(2.0, std::sqrt(3.0));
    QTest::newRow("full circle") << circle << QVector<double> { 0, 0, 2, -1, -1 } << QPointF(3, 4) << 3.0;
    QTest::newRow("inside a circle") << circle << QVector<double> { 1, 1, 2, -1, -1 } << QPointF(1.5, 1) << 1.5;
}

void TestDxfFit::distance()
{
    QFETCH(QString, type);
    QFETCH(QVector<double>, params);
    QFETCH(QPointF, point);
    QFETCH(double, expected);

    const DxfDrawing drawing = drawingOf(type, params);
    QCOMPARE_REL(distanceToDrawing(drawing, point.x(), point.y()), expected, 1e-12);
    // The geometry functions agree with the drawing's distance.
    const double single = type == DxfType::line()
        ? pointSegmentDistance(point, { params[0], params[1] }, { params[2], params[3] })
        : pointArcDistance(point, { params[0], params[1] }, params[2], params[3], params[4]);
    QCOMPARE(single, distanceToDrawing(drawing, point.x(), point.y()));
}

void TestDxfFit::emptyDrawingIsFarAway()
{
    QCOMPARE(distanceToDrawing(DxfDrawing(), 1, 2), 1e100);
    // Ellipses take no part in the distance.
    QCOMPARE(distanceToDrawing(drawingOf(DxfType::ellipse(), { 0, 0, 2, 1 }), 2, 0), 1e100);
    DxfDrawing both = drawingOf(DxfType::ellipse(), { 0, 0, 2, 1 });
    both.append(DxfType::line(), { 0, 5, 1, 5 });
    QCOMPARE(distanceToDrawing(both, 0, 0), 5.0);
}

// The box-pruned distance over a whole trace gives each point's own distance
// to the last bit, in trace order and jumping about, ellipses left out.
void TestDxfFit::distanceOfManyPointsIsTheSingleDistance()
{
    DxfDrawing drawing = drawingOf(DxfType::ellipse(), { 0, 0, 2, 1 });
    for (int i = 0; i < 12; ++i) {
        drawing.append(DxfType::line(), { i * 10.0, 0, i * 10.0 + 8, 3 });
        drawing.append(DxfType::circle(), { i * 10.0 + 4, 6, 2.5, 30.0 * i, 30.0 * i + 200 });
    }
    drawing.append(DxfType::circle(), { 60, 0, 40, -1, -1 });

    DrawingDistance distance(drawing);
    QVERIFY(!distance.isEmpty());
    QRandomGenerator random(7);
    for (int i = 0; i < 4000; ++i) {
        const double x = i < 2000 ? i * 0.06 - 5 : random.bounded(140.0) - 10;
        const double y = i < 2000 ? 4 * std::sin(i * 0.01) : random.bounded(100.0) - 50;
        QVERIFY2(distance(x, y) == distanceToDrawing(drawing, x, y), qPrintable(QStringLiteral("point %1").arg(i)));
    }
    DrawingDistance none(drawingOf(DxfType::ellipse(), { 0, 0, 2, 1 }));
    QVERIFY(none.isEmpty());
    QCOMPARE(none(1, 1), 1e100);

    // A drawing of some thousands of entities is searched through the tree
    // of their boxes: the same distances, a point off the numbers included.
    DxfDrawing large = drawingOf(DxfType::line(), { 0, 0, 1, 1 });
    for (int i = 0; i < 1500; ++i) {
        large.append(DxfType::line(), { i * 0.5, std::sin(i * 0.1), i * 0.5 + 0.5, std::sin(i * 0.1 + 0.1) });
        if (i % 5 == 0)
            large.append(DxfType::circle(), { i * 0.5, 3, 0.7, 20.0 * (i % 18), 20.0 * (i % 18) + 90 });
    }
    DrawingDistance many(large);
    for (int i = 0; i < 3000; ++i) {
        const double x = i < 2000 ? i * 0.4 - 10 : random.bounded(800.0) - 20;
        const double y = i < 2000 ? 2 * std::cos(i * 0.02) : random.bounded(20.0) - 10;
        QVERIFY2(many(x, y) == distanceToDrawing(large, x, y), qPrintable(QStringLiteral("point %1").arg(i)));
    }
    QVERIFY(std::isnan(many(std::nan(""), 1)) == std::isnan(distanceToDrawing(large, std::nan(""), 1)));
}

// A segment's distance measured through its far end can round one unit in
// the last place below its box's distance: the box never decides against it.
void TestDxfFit::prunedDistanceKeepsTheLastBit()
{
    DxfDrawing drawing = drawingOf(DxfType::line(), { 0, 0, 0, 0 });
    drawing.append(DxfType::line(), { 0.7, 0, 0, 0 });
    // Compared exactly: QCOMPARE of doubles forgives the last bits.
    QVERIFY(distanceToDrawing(drawing, -8, 0) == 7.9999999999999991);
    DrawingDistance distance(drawing);
    QVERIFY(distance(-8, 0) == 7.9999999999999991);

    // The same kind of drawing all about: a point, then short segments ending
    // at it, seen from points along their lines.
    QRandomGenerator random(39);
    for (int round = 0; round < 2000; ++round) {
        const QPointF end(random.bounded(20.0) - 10, random.bounded(20.0) - 10);
        DxfDrawing d = drawingOf(DxfType::line(), { end.x(), end.y(), end.x(), end.y() });
        const double angle = random.bounded(4) * M_PI / 2;
        const double len = random.bounded(2.0);
        d.append(DxfType::line(),
            { end.x() + len * std::cos(angle), end.y() + len * std::sin(angle), end.x(), end.y() });
        const double far = random.bounded(20.0);
        const double x = end.x() - far * std::cos(angle), y = end.y() - far * std::sin(angle);
        DrawingDistance dd(d);
        const double pruned = dd(x, y), plain = distanceToDrawing(d, x, y);
        QVERIFY2(pruned == plain,
            qPrintable(QStringLiteral("round %1: %2 != %3").arg(round).arg(pruned, 0, 'g', 17).arg(plain, 0, 'g', 17)));
    }
}

void TestDxfFit::pointGeometry()
{
    QCOMPARE(pointDistance({ 1, 1 }, { 4, 5 }), 5.0);
    QCOMPARE(projectPointOnLine({ 5, 5 }, { 0, 0 }, { 10, 0 }), QPointF(5, 0));
    QCOMPARE(projectPointOnLine({ 0, 2 }, { 0, 0 }, { 2, 2 }), QPointF(1, 1));
    QCOMPARE(projectPointOnLine({ -7, 3 }, { 1, 1 }, { 3, 3 }), QPointF(-2, -2)); // beyond the segment's end
    QCOMPARE(pointAngle({ 1, 1 }, { 1, 3 }), M_PI / 2);
    QCOMPARE(pointAngle({ 1, 1 }, { 0, 1 }), M_PI);
}

// Every entity kind turned about a centre by known angles.
void TestDxfFit::rotation_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVector<double>>("params");
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QVector<double>>("expected");

    const QString line = DxfType::line(), circle = DxfType::circle(), ellipse = DxfType::ellipse();
    // Centre of every turn: (1, 1).
    QTest::newRow("line by 90") << line << QVector<double> { 2, 1, 3, 1 } << 90.0 << QVector<double> { 1, 2, 1, 3 };
    QTest::newRow("line by 180") << line << QVector<double> { 2, 1, 3, 2 } << 180.0 << QVector<double> { 0, 1, -1, 0 };
    QTest::newRow("line by -90") << line << QVector<double> { 2, 1, 3, 1 } << -90.0 << QVector<double> { 1, 0, 1, -1 };
    QTest::newRow("line by 30") << line << QVector<double> { 3, 1, 1, 1 } << 30.0
                                << QVector<double> { 1 + std::sqrt(3.0), 2, 1, 1 };
    QTest::newRow("line by 720 + 90") << line << QVector<double> { 2, 1, 3, 1 } << 810.0
                                      << QVector<double> { 1, 2, 1, 3 };
    QTest::newRow("circle by 90") << circle << QVector<double> { 3, 1, 2, -1, -1 } << 90.0
                                  << QVector<double> { 1, 3, 2, -1, -1 };
    QTest::newRow("arc from 0° by 90") << circle << QVector<double> { 1, 1, 2, 0, 90 } << 90.0
                                       << QVector<double> { 1, 1, 2, 90, 180 };
    QTest::newRow("arc by -45 crosses 0°")
        << circle << QVector<double> { 1, 1, 2, 0, 90 } << -45.0 << QVector<double> { 1, 1, 2, 315, 45 };
    QTest::newRow("arc through 0° by 90")
        << circle << QVector<double> { 1, 1, 2, 300, 60 } << 90.0 << QVector<double> { 1, 1, 2, 30, 150 };
    QTest::newRow("arc by 180") << circle << QVector<double> { 2, 1, 1, 10, 20 } << 180.0
                                << QVector<double> { 0, 1, 1, 190, 200 };
    QTest::newRow("ellipse keeps its axes")
        << ellipse << QVector<double> { 3, 1, 4, 2 } << 90.0 << QVector<double> { 1, 3, 4, 2 };
}

void TestDxfFit::rotation()
{
    QFETCH(QString, type);
    QFETCH(QVector<double>, params);
    QFETCH(double, degrees);
    QFETCH(QVector<double>, expected);

    DxfDrawing drawing = drawingOf(type, params);
    rotateDrawing(drawing, degrees, QPointF(1, 1));
    const QVector<double> &turned = drawing.dxfEntityParams[0];
    QCOMPARE(turned.size(), expected.size());
    for (int i = 0; i < turned.size(); ++i)
        QVERIFY2(std::abs(turned[i] - expected[i]) < 1e-12,
            qPrintable(QStringLiteral("parameter %1: %2, expected %3").arg(i).arg(turned[i]).arg(expected[i])));
    // The distance turns with the drawing: a point turned with it keeps its distance.
    if (type != DxfType::ellipse()) {
        const QPointF p(4, -2);
        const QPointF q = QPointF(1, 1)
            + QPointF((p.x() - 1) * std::cos(degrees * M_PI / 180) - (p.y() - 1) * std::sin(degrees * M_PI / 180),
                (p.x() - 1) * std::sin(degrees * M_PI / 180) + (p.y() - 1) * std::cos(degrees * M_PI / 180));
        QCOMPARE_REL(
            distanceToDrawing(drawing, q.x(), q.y()), distanceToDrawing(drawingOf(type, params), p.x(), p.y()), 1e-9);
    }
}

void TestDxfFit::translationAndScale()
{
    DxfDrawing drawing;
    drawing.append(DxfType::line(), { 1, 2, 3, 4 });
    drawing.append(DxfType::circle(), { 1, 2, 3, 10, 20 });
    drawing.append(DxfType::ellipse(), { 1, 2, 3, 4 });
    translateDrawing(drawing, 0.5, -1);
    QCOMPARE(drawing.dxfEntityParams,
        QVector<QVector<double>>({ { 1.5, 1, 3.5, 3 }, { 1.5, 1, 3, 10, 20 }, { 1.5, 1, 3, 4 } }));
    scaleDrawing(drawing, 1000);
    QCOMPARE(drawing.dxfEntityParams,
        QVector<QVector<double>>(
            { { 1500, 1000, 3500, 3000 }, { 1500, 1000, 3000, 10, 20 }, { 1500, 1000, 3000, 4000 } }));
}

// The pruned sum equals the plain one to the last bit, for drawings of every
// kind of entity and points near and far, on and off the grid's cells.
void TestDxfFit::prunedErrorIsThePlainError()
{
    QRandomGenerator random(7);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * random.generateDouble(); };
    for (int round = 0; round < 20; ++round) {
        DxfDrawing drawing;
        for (int i = 0; i < 30; ++i) {
            switch (random.bounded(4)) {
            case 0:
                drawing.append(DxfType::line(), { uniform(-5, 25), uniform(-5, 5), uniform(-5, 25), uniform(-5, 5) });
                break;
            case 1:
                drawing.append(DxfType::circle(), { uniform(-5, 25), uniform(-5, 5), uniform(0, 3), -1, -1 });
                break;
            case 2:
                drawing.append(DxfType::circle(),
                    { uniform(-5, 25), uniform(-5, 5), uniform(0, 3), uniform(0, 360), uniform(0, 360) });
                break;
            default:
                drawing.append(DxfType::ellipse(), { uniform(-5, 25), uniform(-5, 5), 1, 2 });
            }
        }
        // A horizontal and a vertical segment whose ends lie on cell borders.
        drawing.append(DxfType::line(), { 0, 0, 20, 0 });
        drawing.append(DxfType::line(), { 10, -4, 10, 4 });
        QVector<QPointF> points;
        double y = 0;
        for (int i = 0; i < 3000; ++i) {
            y += uniform(-0.1, 0.1);
            points.append(QPointF(i * 20.0 / 3000, round % 2 ? y : std::round(y)));
        }
        points.append(QPointF(300, -200)); // far outside the rest
        DrawingFitError pruned(points, true), plain(points, false);
        const double a = pruned(drawing), b = plain(drawing);
        QVERIFY2(
            a == b, qPrintable(QStringLiteral("round %1: %2 != %3").arg(round).arg(a, 0, 'g', 17).arg(b, 0, 'g', 17)));
        QCOMPARE(b, drawingFitError(drawing, points));
    }
}

// A drawing of many entities is measured through a tree of their boxes: the
// sum is still the plain one to the last bit, while the drawing moves (the
// tree's boxes follow), when it loses an entity (the tree is made anew) and
// with an entity whose box is not finite, for points near and far.
void TestDxfFit::largeDrawingErrorIsThePlainError()
{
    QRandomGenerator random(11);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * random.generateDouble(); };
    DxfDrawing drawing;
    for (int i = 0; i < 1500; ++i) {
        const double x = uniform(-5, 45), y = uniform(-8, 8);
        switch (random.bounded(5)) {
        case 0: // short segments, as of a dense polyline
            drawing.append(DxfType::line(), { x, y, x + uniform(-0.05, 0.05), y + uniform(-0.05, 0.05) });
            break;
        case 1:
            drawing.append(DxfType::line(), { x, y, uniform(-5, 45), uniform(-8, 8) });
            break;
        case 2:
            drawing.append(DxfType::circle(), { x, y, uniform(0, 2), -1, -1 });
            break;
        case 3:
            drawing.append(DxfType::circle(), { x, y, uniform(0, 2), uniform(0, 360), uniform(0, 360) });
            break;
        default:
            drawing.append(DxfType::ellipse(), { x, y, 1, 2 });
        }
    }
    // Segments ending on one another, seen along their line.
    drawing.append(DxfType::line(), { 0, 0, 0, 0 });
    drawing.append(DxfType::line(), { 0.7, 0, 0, 0 });
    QVector<QPointF> points;
    double y = 0;
    for (int i = 0; i < 3000; ++i) {
        y += uniform(-0.1, 0.1);
        points.append(QPointF(i * 40.0 / 3000, i % 3 ? y : std::round(y)));
    }
    points << QPointF(-8, 0) << QPointF(300, -200);
    // Ending where they start, so that the next evaluation starts where the
    // last one ended.
    points += points.mid(0, 10);

    DrawingFitError pruned(points, true), plain(points, false);
    auto same = [&](const DxfDrawing &d, const char *what) {
        const double a = pruned(d), b = plain(d);
        QVERIFY2(a == b, qPrintable(QStringLiteral("%1: %2 != %3").arg(what).arg(a, 0, 'g', 17).arg(b, 0, 'g', 17)));
    };
    same(drawing, "as made");
    translateDrawing(drawing, 0.05, 0.02);
    same(drawing, "nudged");
    rotateDrawing(drawing, 37, QPointF(20, 0));
    translateDrawing(drawing, 0.3, -0.2);
    same(drawing, "moved");
    rotateDrawing(drawing, 180, QPointF(10, 0));
    same(drawing, "turned over");
    drawing.dxfEntityTypes.removeFirst();
    drawing.dxfEntityParams.removeFirst();
    same(drawing, "an entity fewer");
    drawing.append(DxfType::line(), { 1, 1, INFINITY, 1 });
    same(drawing, "with an infinite entity");

    // A point, then a short segment ending at it, seen from along its line
    // (whose distance can round below its box's), among many entities far off.
    DxfDrawing farOff;
    for (int i = 0; i < 1200; ++i)
        farOff.append(DxfType::line(), { 1000.0 + i, 1000, 1000.5 + i, 1001 });
    for (int round = 0; round < 1000; ++round) {
        const QPointF end(uniform(-10, 10), uniform(-10, 10));
        DxfDrawing d = drawingOf(DxfType::line(), { end.x(), end.y(), end.x(), end.y() });
        const double angle = random.bounded(4) * M_PI / 2;
        const double len = uniform(0, 2);
        d.append(DxfType::line(),
            { end.x() + len * std::cos(angle), end.y() + len * std::sin(angle), end.x(), end.y() });
        d.dxfEntityTypes += farOff.dxfEntityTypes;
        d.dxfEntityParams += farOff.dxfEntityParams;
        const double far = uniform(0, 20);
        const QVector<QPointF> point { { end.x() - far * std::cos(angle), end.y() - far * std::sin(angle) } };
        const double a = DrawingFitError(point, true)(d), b = DrawingFitError(point, false)(d);
        QVERIFY2(a == b, qPrintable(QStringLiteral("round %1: %2 != %3").arg(round).arg(a, 0, 'g', 17).arg(b, 0, 'g', 17)));
    }
}

// A drawing that fits as well either way up is left upside down; an empty one
// (every error equal) too, and its searches still end.
void TestDxfFit::equalErrorsKeepTheDrawingTurnedOver()
{
    const QVector<QPointF> points { { 1, 0 }, { 0, 1 }, { -1, 0 }, { 0, -1 } };
    DxfDrawing circle = drawingOf(DxfType::circle(), { 0, 0, 1, -1, -1 });
    DrawingFitError error(points);
    const RotationFit fit = fitRotation(circle, QPointF(0, 0), error);
    QCOMPARE(fit.angle, 180.0);
    QCOMPARE(fit.error, 0.0);

    DxfDrawing empty;
    DrawingFitError emptyError(points);
    QCOMPARE(fitRotation(empty, QPointF(0, 0), emptyError).angle, 180.0);
    const ShiftFit shift = fitShift(empty, 1000, emptyError);
    QCOMPARE(shift.shift, QPointF());
    QCOMPARE(shift.error, 4e100);
}

// A trace sampled from a known outline, and the outline as a DXF turned by a
// known angle and shifted: after the registration the drawing lies on the
// trace and the turn is undone. A drawing turned almost upside down is caught
// by the flip test.
void TestDxfFit::registration_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QPointF>("miss");
    QTest::addColumn<double>("angleTolerance");
    QTest::addColumn<double>("meanTolerance"); // millimetres

    QTest::newRow("7°, mm") << 7.0 << 1.0 << QPointF() << 0.01 << 0.001;
    QTest::newRow("-12°, mm") << -12.0 << 1.0 << QPointF() << 0.01 << 0.001;
    QTest::newRow("upside down and 5°, mm") << 185.0 << 1.0 << QPointF() << 0.01 << 0.001;
    QTest::newRow("exactly upside down, µm") << 180.0 << 1000.0 << QPointF() << 0.01 << 0.001;
    QTest::newRow("3°, µm") << 3.0 << 1000.0 << QPointF() << 0.01 << 0.001;
    // The turn is found about the point clicked, so a miss leaves a little of
    // it; the shifts take up most of the miss.
    QTest::newRow("4°, click beside the drawing, mm") << 4.0 << 1.0 << QPointF(0.03, -0.02) << 0.5 << 0.02;
    QTest::newRow("-6°, click beside the drawing, µm") << -6.0 << 1000.0 << QPointF(-0.02, 0.04) << 0.5 << 0.02;
}

void TestDxfFit::registration()
{
    QFETCH(double, degrees);
    QFETCH(double, factor);
    QFETCH(QPointF, miss);
    QFETCH(double, angleTolerance);
    QFETCH(double, meanTolerance);

    const QPointF shift(30, -20);
    DxfDrawing drawing = parseDxf(DxfOutline::dxf(degrees, shift), factor);
    QCOMPARE(drawing.size(), DxfOutline::pieces().size());
    const QVector<QPointF> points = DxfOutline::trace(0.01, factor);

    // The operator clicks the start of the top shoulder on the trace and,
    // maybe missing it by a little, on the drawing.
    const QPointF onTrace = QPointF(5, 3) * factor;
    const QPointF onDrawing = (DxfOutline::turned(QPointF(5, 3), degrees, shift) + miss) * factor;
    DxfDrawing plain = drawing;
    const Registration result = registerDrawing(drawing, onTrace, onDrawing, points, factor);
    // The search without pruning ends in the very same drawing.
    registerDrawing(plain, onTrace, onDrawing, points, factor, false);
    QCOMPARE(plain.dxfEntityParams, drawing.dxfEntityParams);

    QVERIFY2(angleGap(result.angle, -degrees) < angleTolerance, qPrintable(QString::number(result.angle)));
    const double meanDistance = result.error / points.size();
    QVERIFY2(meanDistance < meanTolerance * factor, qPrintable(QString::number(meanDistance)));
    QCOMPARE(result.error, drawingFitError(drawing, points));
}

// A drawing clicked on its ellipse (which takes no part in the fit) whose
// square lies far to the right of a 10,000-point flat: the shifts carry the
// square's bottom edge onto the flat, in about as many error evaluations
// whether it lies a centimetre or a thousand kilometres away.
void TestDxfFit::farEntitiesAreReachedInFewTrials_data()
{
    QTest::addColumn<double>("distance"); // mm
    QTest::addColumn<double>("factor");
    QTest::newRow("10 mm") << 10.0 << 1.0;
    QTest::newRow("1 m") << 1e3 << 1.0;
    QTest::newRow("1 km") << 1e6 << 1.0;
    QTest::newRow("1 km in µm") << 1e6 << 1000.0;
    QTest::newRow("10 km, the largest numbers a drawing holds") << kMaxDxfValue - 20 << 1.0;
}

void TestDxfFit::farEntitiesAreReachedInFewTrials()
{
    QFETCH(double, distance);
    QFETCH(double, factor);

    QVector<QPointF> points;
    for (int i = 0; i < 10000; ++i)
        points.append(QPointF(10.0 * i / 10000, 0) * factor);
    const QByteArray text = DxfText::file(DxfText::ellipse(0, 0, 1, 0, 0.5)
        + DxfText::polyline({ { distance, 0 }, { distance + 20, 0 }, { distance + 20, 20 }, { distance, 20 } }, 1));
    DxfDrawing drawing = parseDxf(text, factor);
    QCOMPARE(drawing.size(), 5);

    translateDrawing(drawing, factor, 0); // the ellipse's left marker onto the trace's start
    DrawingFitError error(points);
    fitRotation(drawing, QPointF(0, 0), error);
    const int afterRotation = error.evaluations();
    const ShiftFit fit = fitShift(drawing, factor, error);
    const int shifting = error.evaluations() - afterRotation;
    QVERIFY2(shifting <= 300, qPrintable(QStringLiteral("%1 evaluations").arg(shifting)));
    const double mean = fit.error / points.size() / factor;
    QVERIFY2(mean < 1e-3, qPrintable(QStringLiteral("mean distance %1 mm").arg(mean)));
    // The square's bottom edge lies along the flat, over its whole length.
    const QVector<double> &bottom = drawing.dxfEntityParams[1];
    QVERIFY(std::abs(bottom[1]) < 1e-3 * factor && std::abs(bottom[3]) < 1e-3 * factor);
    QVERIFY(std::min(bottom[0], bottom[2]) <= 0.001 * factor && std::max(bottom[0], bottom[2]) >= 9.999 * factor);
}

namespace {

// The outline as a polyline of segments about `spacing` millimetres long,
// turned by degrees about the origin and shifted.
DxfDrawing densOutline(double spacing, double degrees, const QPointF &shift)
{
    const QVector<QPointF> vertices = DxfOutline::trace(spacing, 1);
    DxfDrawing drawing;
    for (int i = 0; i + 1 < vertices.size(); ++i) {
        const QPointF a = DxfOutline::turned(vertices[i], degrees, shift);
        const QPointF b = DxfOutline::turned(vertices[i + 1], degrees, shift);
        drawing.append(DxfType::line(), { a.x(), a.y(), b.x(), b.y() });
    }
    return drawing;
}

} // namespace

// A drawing of twenty thousand short segments on a trace of twenty-five
// thousand points: the registration turns it back and lays it on the trace.
void TestDxfFit::largeDrawingLandsOnTheTrace()
{
    const double degrees = 5;
    const QPointF shift(3, -2);
    DxfDrawing drawing = densOutline(0.0013, degrees, shift);
    QVERIFY(drawing.size() > 20000);
    const QVector<QPointF> points = DxfOutline::trace(0.0011, 1);
    QVERIFY(points.size() > 24000);

    const QPointF onTrace(5, 3);
    const Registration result
        = registerDrawing(drawing, onTrace, DxfOutline::turned(onTrace, degrees, shift), points, 1);
    QVERIFY(!result.cancelled);
    QVERIFY2(angleGap(result.angle, -degrees) < 0.01, qPrintable(QString::number(result.angle)));
    const double mean = result.error / points.size();
    QVERIFY2(mean < 1e-3, qPrintable(QString::number(mean)));
    QCOMPARE(result.error, drawingFitError(drawing, points));
    // The first segment starts at the outline's start again.
    QVERIFY(std::hypot(drawing.dxfEntityParams[0][0], drawing.dxfEntityParams[0][1]) < 1e-3);
}

// A set cancel flag stops the searches before their first trial.
void TestDxfFit::cancelStopsTheSearch()
{
    DxfDrawing drawing = densOutline(0.01, 5, QPointF(3, -2));
    const QVector<QPointF> points = DxfOutline::trace(0.01, 1);
    FitCancel cancel(true);
    DrawingFitError error(points);
    fitRotation(drawing, QPointF(5, 3), error, &cancel);
    QCOMPARE(error.evaluations(), 2); // the flip test only
    fitShift(drawing, 1, error, &cancel);
    QCOMPARE(error.evaluations(), 3); // the error it starts from only
    QVERIFY(registerDrawing(drawing, QPointF(5, 3), QPointF(5, 3), points, 1, true, &cancel).cancelled);
}

// How far the fit may pull the picks apart: a millimetre at least (in the
// display unit), more for a zoom whose pixel spans much (twenty pixels of
// it) or a large part (a twentieth of the drawing's extent, arcs and
// circles by their whole circle).
void TestDxfFit::picksApartLimitFollowsPartAndZoom_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVector<double>>("params");
    QTest::addColumn<double>("pixelSpan");
    QTest::addColumn<double>("unitFactor");
    QTest::addColumn<double>("limit");
    QTest::newRow("small part, fine zoom: a millimetre")
        << DxfType::line() << QVector<double> { 0, 0, 10, 0 } << 0.01 << 1.0 << 1.0;
    QTest::newRow("the same in µm") << DxfType::line() << QVector<double> { 0, 0, 10000, 0 } << 10.0 << 1000.0
                                    << 1000.0;
    QTest::newRow("coarse zoom: twenty pixels")
        << DxfType::line() << QVector<double> { 0, 0, 10, 0 } << 0.25 << 1.0 << 5.0;
    QTest::newRow("large part: its twentieth")
        << DxfType::line() << QVector<double> { 0, 0, 300, 400 } << 0.25 << 1.0 << 25.0;
    QTest::newRow("arc by its circle")
        << DxfType::circle() << QVector<double> { 50, 50, 150, 0, 90 } << 0.01 << 1.0 << 0.05 * std::hypot(300, 300);
    QTest::newRow("no layout yet") << DxfType::line() << QVector<double> { 0, 0, 10, 0 } << 0.0 << 1.0 << 1.0;
}

void TestDxfFit::picksApartLimitFollowsPartAndZoom()
{
    QFETCH(QString, type);
    QFETCH(QVector<double>, params);
    QFETCH(double, pixelSpan);
    QFETCH(double, unitFactor);
    QFETCH(double, limit);
    QVERIFY(qFuzzyCompare(picksApartLimit(drawingOf(type, params), pixelSpan, unitFactor), limit));
    QCOMPARE(picksApartLimit(DxfDrawing(), pixelSpan, unitFactor), std::max(unitFactor, 20 * pixelSpan));
}

VANTOR_TEST_MAIN(TestDxfFit)
#include "tst_dxffit.moc"
