// Crossings of circles and lines: the plain figures, exact and near tangent;
// the element versions; the crossing points the manager adds when elements
// are placed with real mouse events; and a plot with every kind of element.
#include "elementfixtures.h"
#include "support/contourwindowstandin.h"
#include "support/fuzzy.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "measurements/additionalgeometryselection.h"
#include "measurements/circlegeometry.h"
#include "measurements/clickdistacemeasurement.h"
#include "measurements/curvaturemeasurement.h"
#include "measurements/intersections.h"
#include "measurements/reperpoint.h"
#include "measurements/thread.h"
#include "threadprofile.h"

#include <limits>

using Geometry::Circle;
using Geometry::Line;

Q_DECLARE_METATYPE(Geometry::Circle)
Q_DECLARE_METATYPE(Geometry::Line)

namespace {

QString describe(const QList<QPointF> &points)
{
    QStringList parts;
    for (const QPointF &p : points)
        parts << QStringLiteral("(%1, %2)").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
    return parts.join(QStringLiteral(", "));
}

// The same points in the same order, each coordinate within tolerance.
void comparePoints(const QList<QPointF> &actual, const QList<QPointF> &expected, double tolerance = 1e-12)
{
    QVERIFY2(actual.size() == expected.size(),
        qPrintable(QStringLiteral("got %1; expected %2").arg(describe(actual), describe(expected))));
    for (int i = 0; i < actual.size(); ++i)
        QVERIFY2(std::abs(actual[i].x() - expected[i].x()) <= tolerance
                && std::abs(actual[i].y() - expected[i].y()) <= tolerance,
            qPrintable(QStringLiteral("got %1; expected %2").arg(describe(actual), describe(expected))));
}

// The last n reference points of an element.
QList<QPointF> lastPoints(const Measurement *m, int n)
{
    QList<QPointF> points;
    for (int i = m->reperPoints.size() - n; i < m->reperPoints.size(); ++i)
        points << m->reperPoints.at(i)->position();
    return points;
}

Geometry::Circle circleOf(const CircumfAGMeasurement *c)
{
    return { c->centre, c->circleRadius };
}

Geometry::Line lineOf(const ClickDistaceMeasurement *l)
{
    return { l->coefficients[0], l->coefficients[1] };
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

// A profile for the overview picture: flat, two round grooves, a V-groove,
// flat again (x 0 to 50, a point every 0.02).
double profile(double x)
{
    if (x >= 10 && x <= 20)
        return 1 + std::sqrt(11.0) - std::sqrt(36 - (x - 15) * (x - 15));
    if (x >= 20 && x <= 30)
        return 1 + std::sqrt(24.0) - std::sqrt(49 - (x - 25) * (x - 25));
    if (x >= 30 && x <= 42)
        return 1 - 0.6 * (6 - std::abs(x - 36));
    return 1;
}

int profileIndex(double x)
{
    return qRound(x / 0.02);
}

} // namespace

class TestIntersections : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void circleCircle_data()
    {
        QTest::addColumn<Circle>("a");
        QTest::addColumn<Circle>("b");
        QTest::addColumn<QList<QPointF>>("expected");

        QTest::newRow("crossing: right of A to B first")
            << Circle { { 0, 0 }, 5 } << Circle { { 8, 0 }, 5 } << QList<QPointF> { { 4, -3 }, { 4, 3 } };
        QTest::newRow("crossing, order swapped")
            << Circle { { 8, 0 }, 5 } << Circle { { 0, 0 }, 5 } << QList<QPointF> { { 4, 3 }, { 4, -3 } };
        QTest::newRow("touching from outside: one point")
            << Circle { { 0, 0 }, 2 } << Circle { { 4, 0 }, 2 } << QList<QPointF> { { 2, 0 } };
        QTest::newRow("touching from inside: the point twice")
            << Circle { { 0, 0 }, 3 } << Circle { { 1, 0 }, 2 } << QList<QPointF> { { 3, 0 }, { 3, 0 } };
        QTest::newRow("apart") << Circle { { 0, 0 }, 2 } << Circle { { 5, 0 }, 2 } << QList<QPointF> {};
        QTest::newRow("one inside the other") << Circle { { 0, 0 }, 5 } << Circle { { 1, 0 }, 1 } << QList<QPointF> {};
        QTest::newRow("concentric, radii 2 and 3")
            << Circle { { 0, 0 }, 2 } << Circle { { 0, 0 }, 3 } << QList<QPointF> {};
        QTest::newRow("two equal concentric circles")
            << Circle { { 1, 1 }, 2 } << Circle { { 1, 1 }, 2 } << QList<QPointF> {};
    }

    void circleCircle()
    {
        QFETCH(Circle, a);
        QFETCH(Circle, b);
        QFETCH(QList<QPointF>, expected);
        comparePoints(Geometry::circleCircle(a, b), expected);
    }

    // Circles touching from outside whose centre distance rounds just below
    // the sum of the radii: ra² - h² comes out a hair below 0. Both points are
    // the touching point, never "not a number".
    void nearlyTouchingCircles()
    {
        const Circle a { { 0.10664259956243782, -2.019748771301842 }, 7.116526412057495 };
        const Circle b { { -3.250373089235312, 8.18012642728097 }, 3.62158368243767 };
        const double dx = b.centre.x() - a.centre.x(), dy = b.centre.y() - a.centre.y();
        const double d = std::hypot(dx, dy);
        const QPointF touching(a.centre.x() + dx / d * a.radius, a.centre.y() + dy / d * a.radius);

        const QList<QPointF> points = Geometry::circleCircle(a, b);
        QCOMPARE(points.size(), 2);
        comparePoints(points, { touching, touching }, 1e-9);
    }

    void circleVerticalLine_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<QList<QPointF>>("expected");
        QTest::newRow("crossing: upper point first") << 3.0 << QList<QPointF> { { 3, 4 }, { 3, -4 } };
        QTest::newRow("through the centre") << 0.0 << QList<QPointF> { { 0, 5 }, { 0, -5 } };
        QTest::newRow("tangent on the right: none") << 5.0 << QList<QPointF> {};
        QTest::newRow("tangent on the left: none") << -5.0 << QList<QPointF> {};
        QTest::newRow("outside") << 6.0 << QList<QPointF> {};
        QTest::newRow("just inside the tangent") << 5.0 - 1e-12 << QList<QPointF> { { 5, 0 }, { 5, 0 } };
    }

    void circleVerticalLine()
    {
        QFETCH(double, x);
        QFETCH(QList<QPointF>, expected);
        comparePoints(Geometry::circleVerticalLine(Circle { { 0, 0 }, 5 }, x), expected, 1e-5);
    }

    void circleLine_data()
    {
        QTest::addColumn<Circle>("circle");
        QTest::addColumn<Line>("line");
        QTest::addColumn<QList<QPointF>>("expected");
        const Circle c { { 0, 0 }, 5 };
        QTest::newRow("horizontal crossing: smaller x first")
            << c << Line { 0, 3 } << QList<QPointF> { { -4, 3 }, { 4, 3 } };
        QTest::newRow("tangent: one point") << c << Line { 0, 5 } << QList<QPointF> { { 0, 5 } };
        QTest::newRow("apart") << c << Line { 0, 6 } << QList<QPointF> {};
        QTest::newRow("slanted through the centre")
            << Circle { { 1, 1 }, std::sqrt(2.0) } << Line { 1, 0 } << QList<QPointF> { { 0, 0 }, { 2, 2 } };
        QTest::newRow("steep line, shifted circle")
            << Circle { { 2, -1 }, 5 } << Line { -4.0 / 3, -1 + 8.0 / 3 } // through the centre, slope -4/3
            << QList<QPointF> { { -1, 3 }, { 5, -5 } };
        // Within rounding of the tangent the answer may be one point or two
        // nearly equal ones, but never none and never a point off the circle.
        QTest::newRow("a hair inside the tangent")
            << c << Line { 0, 5 - 1e-9 } << QList<QPointF> { { -1e-4, 5 }, { 1e-4, 5 } };
        QTest::newRow("a hair outside the tangent") << c << Line { 0, 5 + 1e-9 } << QList<QPointF> {};
    }

    void circleLine()
    {
        QFETCH(Circle, circle);
        QFETCH(Line, line);
        QFETCH(QList<QPointF>, expected);
        comparePoints(Geometry::circleLine(circle, line), expected, 2e-4);
    }

    void lineLine_data()
    {
        QTest::addColumn<Line>("l1");
        QTest::addColumn<Line>("l2");
        QTest::addColumn<QList<QPointF>>("expected");
        QTest::newRow("crossing") << Line { 2, -1 } << Line { -1, 5 } << QList<QPointF> { { 2, 3 } };
        QTest::newRow("horizontal and slanted") << Line { 0, 3 } << Line { 2, -1 } << QList<QPointF> { { 2, 3 } };
        QTest::newRow("parallel") << Line { 1, 0 } << Line { 1, 1 } << QList<QPointF> {};
        QTest::newRow("equal") << Line { 1, 1 } << Line { 1, 1 } << QList<QPointF> {};
        QTest::newRow("nearly parallel") << Line { 1, 0 } << Line { 1 + 1e-9, -1e-9 } << QList<QPointF> { { 1, 1 } };
    }

    void lineLine()
    {
        QFETCH(Line, l1);
        QFETCH(Line, l2);
        QFETCH(QList<QPointF>, expected);
        comparePoints(Geometry::lineLine(l1, l2), expected, 1e-6);
    }

    void verticalLineLine()
    {
        comparePoints(Geometry::verticalLineLine(2, Line { 3, 1 }), { { 2, 7 } });
        comparePoints(Geometry::verticalLineLine(-1.5, Line { 0, 4 }), { { -1.5, 4 } });
    }

    // The element versions read circles and lines from the elements, in
    // either order where the order is free.
    void elementFunctions()
    {
        ContourWindowStandIn w;
        PlotWidget *plot = w.plot();
        CircumfAGMeasurement circle(plot);
        circle.centre = QPointF(0, 0);
        circle.circleRadius = 5;
        CircumfAGMeasurement other(plot);
        other.centre = QPointF(8, 0);
        other.circleRadius = 5;
        ClickHorizontalLine horizontal(plot, { 0, 3 });
        ClickVerticalLine vertical(plot, { 0, 3 });
        ClickDoubleLine rising(plot, { 2, -1 });
        ClickDoubleLine falling(plot, { -1, 5 });
        Thread thread(plot);
        thread.coefficients = { 3, 1 };

        comparePoints(circleCircleIntersection(&circle, &other), { { 4, -3 }, { 4, 3 } });
        comparePoints(circleLineIntersection(&circle, &horizontal), { { -4, 3 }, { 4, 3 } });
        comparePoints(circleLineIntersection(&horizontal, &circle), { { -4, 3 }, { 4, 3 } });
        comparePoints(circleVerticalLineIntersection(&circle, &vertical), { { 3, 4 }, { 3, -4 } });
        comparePoints(circleVerticalLineIntersection(&vertical, &circle), { { 3, 4 }, { 3, -4 } });
        comparePoints(verticalLineLineIntersection(&vertical, &thread), { { 3, 10 } });
        comparePoints(verticalLineLineIntersection(&thread, &vertical), { { 3, 10 } });
        comparePoints(lineLineIntersection(&rising, &falling), { { 2, 3 } });
        comparePoints(lineLineIntersection(&horizontal, &rising), { { 2, 3 } });
        // An element that is not what the function expects gives nothing.
        QVERIFY(circleCircleIntersection(&circle, &horizontal).isEmpty());
        QVERIFY(lineLineIntersection(&circle, &rising).isEmpty());
    }

    // Elements placed one after another: each finished one gets the crossing
    // points with the elements listed before it, in list order.
    void crossingPointsOfPlacedElements()
    {
        ContourWindowStandIn w({ arcTrace(0, 0, 5), arcTrace(3, -1, 4) });
        w.arm(CIRCUMF_AG);
        w.drag(0, 10, 150);
        auto *circle = lastListed<CircumfAGMeasurement>(w);
        QVERIFY(circle && circle->isFinished());
        QCOMPARE(circle->reperPoints.size(), 1);

        w.arm(CLICK_HORIZONTAL_LINE);
        clickPoint(w, w.tracePoint(0, 40));
        auto *horizontal = lastListed<ClickHorizontalLine>(w);
        QVERIFY(horizontal && horizontal->isFinished());
        const QList<QPointF> withCircle = Geometry::circleLine(circleOf(circle), lineOf(horizontal));
        QCOMPARE(withCircle.size(), 2);
        QCOMPARE(horizontal->reperPoints.size(), 2);
        comparePoints(lastPoints(horizontal, 2), withCircle);
        // Every mapped point became a snap target, the circle's centre too.
        QVERIFY(circle->reperPoints.at(0)->isPickable());

        w.arm(CLICK_VERTICAL_LINE);
        clickPoint(w, w.tracePoint(0, 120));
        auto *vertical = lastListed<ClickVerticalLine>(w);
        QVERIFY(vertical && vertical->isFinished());
        const double x = vertical->coefficients[1];
        comparePoints(lastPoints(vertical, 3),
            Geometry::circleVerticalLine(circleOf(circle), x) + Geometry::verticalLineLine(x, lineOf(horizontal)));

        w.arm(CLICK_DOUBLE_LINE);
        clickPoint(w, w.tracePoint(0, 20));
        clickPoint(w, w.tracePoint(0, 140));
        auto *slanted = lastListed<ClickDoubleLine>(w);
        QVERIFY(slanted && slanted->isFinished());
        comparePoints(lastPoints(slanted, 4),
            Geometry::circleLine(circleOf(circle), lineOf(slanted))
                + Geometry::lineLine(lineOf(horizontal), lineOf(slanted))
                + Geometry::verticalLineLine(x, lineOf(slanted)));

        // A second circle crosses the first and every line.
        w.arm(CIRCUMF_AG);
        w.drag(1, 10, 150);
        auto *second = lastListed<CircumfAGMeasurement>(w);
        QVERIFY(second && second->isFinished() && second != circle);
        const QList<QPointF> expected = Geometry::circleCircle(circleOf(circle), circleOf(second))
            + Geometry::circleLine(circleOf(second), lineOf(horizontal))
            + Geometry::circleVerticalLine(circleOf(second), x)
            + Geometry::circleLine(circleOf(second), lineOf(slanted));
        QCOMPARE(second->reperPoints.size(), 1 + expected.size());
        comparePoints(lastPoints(second, expected.size()), expected);

        // A copy of the horizontal line crosses what lies on its new height.
        w.addMeasurement(horizontal->id(), CLICK_HORIZONTAL_LINE, -0.5);
        auto *copy = lastListed<ClickHorizontalLine>(w);
        QVERIFY(copy && copy != horizontal);
        const Geometry::Line shifted = lineOf(copy);
        QCOMPARE(shifted.offset, lineOf(horizontal).offset - 0.5);
        const QList<QPointF> copyPoints = Geometry::circleLine(circleOf(circle), shifted)
            + Geometry::verticalLineLine(x, shifted) + Geometry::lineLine(lineOf(slanted), shifted)
            + Geometry::circleLine(circleOf(second), shifted);
        comparePoints(lastPoints(copy, copyPoints.size()), copyPoints);
    }

    // Every kind of this family on one contour: radius, circles, lines,
    // thread line, extremum points, a text, and their crossing points.
    void overviewScreenshot()
    {
        const QtMessageHandler previous = qInstallMessageHandler(quiet);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Text, QStringLiteral("Канавка"));
        ThreadProfile thread;
        thread.pitch = 2;
        thread.height = 1;
        thread.crest = 0.5;
        thread.groove = 0.5;
        thread.offset = 9;
        QVector<QPointF> threadPoints;
        for (const QCPCurveData &d : thread.sample(5, 1001))
            threadPoints << QPointF(d.key, d.value);
        ContourWindowStandIn w(
            { ContourTest::makeTrace(2501, 0, 0.02, profile), ContourTest::makeTrace(threadPoints) });
        w.resize(1500, 760);
        QApplication::processEvents();
        ContourTest::fitAxes(w.plot());

        w.arm(REGULAR_RADIUS);
        w.drag(0, profileIndex(11), profileIndex(19));
        w.move(QPointF(15, -3));
        w.click(QPointF(15, -3));
        w.arm(CIRCUMF_AG);
        w.drag(0, profileIndex(21), profileIndex(29));
        w.arm(CIRCUMF_AG_SPECIFIED, QStringLiteral("1.500"));
        w.drag(0, profileIndex(32), profileIndex(40));
        w.arm(CLICK_HORIZONTAL_LINE);
        clickPoint(w, w.tracePoint(0, profileIndex(5)));
        w.arm(CLICK_VERTICAL_LINE);
        clickPoint(w, w.tracePoint(0, profileIndex(45)));
        w.arm(THREAD);
        clickPoint(w, w.tracePoint(1, 250));
        w.arm(CLICK_DOUBLE_LINE);
        clickPoint(w, w.tracePoint(0, profileIndex(8)));
        clickPoint(w, w.tracePoint(0, profileIndex(36)));
        w.arm(FIND_MAX_POINT);
        w.drag(1, 100, 400);
        w.arm(FIND_MIN_POINT);
        w.drag(0, profileIndex(31), profileIndex(41));
        w.arm(AG_TEXT_PLACEMENT);
        w.click(QPointF(22, 7));
        w.disarm();
        qInstallMessageHandler(previous);

        QCOMPARE(w.manager()->measurementList().size(), 10);
        for (Measurement *m : w.manager()->measurementList())
            QVERIFY2(m->isFinished(), qPrintable(m->name()));
        QVERIFY(prompts.allAnswered());
        // The thread line crosses the circle of the second groove, the
        // horizontal and the vertical line: four points added.
        auto *threadLine = qobject_cast<Thread *>(w.manager()->measurementList().at(5));
        QVERIFY(threadLine);
        QCOMPARE(threadLine->reperPoints.size(), 4);

        // One scale on both axes, so that circles look round.
        w.plot()->xAxis->setRange(-2, 52);
        w.plot()->yAxis->setScaleRatio(w.plot()->xAxis, 1.0);
        w.plot()->yAxis->setRange(4, w.plot()->yAxis->range().size(), Qt::AlignCenter);
        w.plot()->replot();
        QVERIFY(!w.screenshot(QStringLiteral("additional_geometry_overview")).isEmpty());
    }
};

VANTOR_TEST_MAIN(TestIntersections)
#include "tst_intersections.moc"
