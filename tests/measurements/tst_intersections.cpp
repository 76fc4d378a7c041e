// Crossings of circles and lines: the plain figures, exact and near tangent.
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "measurements/circlegeometry.h"

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
};

VANTOR_TEST_MAIN(TestIntersections)
#include "tst_intersections.moc"
