// Radii and circles placed on a contour plot with real mouse events: the radius
// of one arc and of two arcs, the fitted circle and the circle of a given
// radius as additional geometry.
#include "elementfixtures.h"
#include "support/contourwindowstandin.h"
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "measurements/curvaturemeasurement.h"
#include "measurements/reperpoint.h"
#include "settings/common.h"
#include "settings/settings.h"

#include <QSignalSpy>
#include <cmath>
#include <memory>

namespace {

double distance(const QPointF &a, const QPointF &b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

QPointF coords(const QCPItemPosition *p)
{
    return p->coords();
}

// Settings::axis_unit for one test, restored after it.
struct AxisUnit {
    explicit AxisUnit(int unit)
        : saved(Settings::instance().axis_unit)
    {
        Settings::instance().axis_unit = unit;
    }
    ~AxisUnit() { Settings::instance().axis_unit = saved; }
    int saved;
};

} // namespace

class TestCurvature : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Kind 7: drag along an arc, place the label; the fitted circle, the
    // centre point, the radius line ending on the circle towards the label.
    void radiusOfAnArc_data()
    {
        QTest::addColumn<double>("noise");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("exact arc") << 0.0 << 1e-9;
        QTest::newRow("arc with radial noise of 0.01") << 0.01 << 0.01;
    }

    void radiusOfAnArc()
    {
        QFETCH(double, noise);
        QFETCH(double, tolerance);
        ContourWindowStandIn w({ arcTrace(2, 1, 5, 161, noise) });
        w.arm(REGULAR_RADIUS);
        w.drag(0, 10, 150);
        auto *m = lastListed<RegularRadiusMeasurement>(w);
        QVERIFY(m);
        QVERIFY(!m->isFinished());
        QCOMPARE(w.statusMessage(), QStringLiteral("Расположите значение"));

        const QPointF labelAt(9, 4);
        w.move(labelAt);
        w.click(labelAt);
        QVERIFY(m->isFinished());

        QVERIFY(std::abs(m->value() - 5) < tolerance);
        const QString text = QString::number(m->value(), 'f', 4) + QStringLiteral("мм");
        QCOMPARE(m->valueText(), text);
        QCOMPARE(w.statusMessage(), QStringLiteral("Радиус: ") + text);
        QCOMPARE(w.rowOf(m)->text(1), text);
        QVERIFY(m->label->text().endsWith(QLatin1Char('\n') + text));

        const QPointF centre = m->reperPoints.at(0)->position();
        QVERIFY(distance(centre, QPointF(2, 1)) < 10 * tolerance);
        QVERIFY(m->circle->visible());
        QCOMPARE(coords(m->circle->topLeft), QPointF(centre.x() - m->value(), centre.y() - m->value()));
        // The line starts at the centre and ends on the circle, on the way to
        // the label (within the single precision it is drawn with).
        QCOMPARE(coords(m->radiusLine->start), centre);
        const QPointF end = coords(m->radiusLine->end);
        QVERIFY(std::abs(distance(end, centre) - m->value()) < 1e-5);
        const QPointF label = m->labelPosition();
        QVERIFY(distance(centre, end) + distance(end, label) - distance(centre, label) < 1e-4);
    }

    // Kind 8: two separate arcs of one circle give that circle.
    void radiusThroughTwoArcs()
    {
        ContourWindowStandIn w({ arcTrace(-1, 3, 4) });
        w.arm(ARCS_RADIUS);
        w.drag(0, 5, 45);
        auto *m = lastListed<ArcsRadiusMeasurement>(w);
        QVERIFY(m);
        QCOMPARE(m->segmentCount(), 2);
        QVERIFY(!m->placingLabel);
        w.drag(0, 110, 155);
        QVERIFY(m->placingLabel);
        w.move(QPointF(0, 2));
        w.click(QPointF(0, 2));
        QVERIFY(m->isFinished());
        QCOMPARE_REL(m->value(), 4.0, 1e-9);
        QVERIFY(distance(m->reperPoints.at(0)->position(), QPointF(-1, 3)) < 1e-8);
        // Both arcs were used, not just one of them.
        const SegmentSelection *first = m->segment(0);
        const SegmentSelection *second = m->segment(1);
        QCOMPARE(int(first->begin), 5);
        QCOMPARE(int(second->begin), 110);
    }

    void arcsRadiusWantsExactlyTwoSegments()
    {
        ContourWindowStandIn w({ arcTrace(0, 0, 4) });
        ArcsRadiusMeasurement m(w.plot());
        QSignalSpy status(&m, &Measurement::statusText);
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                m.addSegment();
            m.storeSegment(i * 50, i * 50 + 40, w.traceCurve(0));
        }
        m.calculate();
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Выделите две арки"));
        QVERIFY(!m.circle->visible());
        QVERIFY(!m.reperPoints.at(0)->isVisible());
    }

    // Points on one straight line have no circle: nothing is drawn, no centre
    // point is placed, and the value stays unknown (never "nan").
    void straightSegmentDrawsNothing()
    {
        ContourWindowStandIn w({ ContourTest::makeTrace(100, 0, 0.1, [](double x) { return 0.5 * x; }) });
        w.arm(REGULAR_RADIUS);
        w.drag(0, 10, 90);
        w.move(QPointF(3, 8));
        w.click(QPointF(3, 8));
        auto *m = lastListed<RegularRadiusMeasurement>(w);
        QVERIFY(m && m->isFinished());
        QVERIFY(!m->circle->visible());
        QVERIFY(!m->radiusLine->visible());
        QVERIFY(!m->reperPoints.at(0)->isVisible());
        QCOMPARE(m->valueText(), Common::kUnknownText);
        QCOMPARE(m->value(), 0.0);
        QVERIFY(!w.statusMessage().contains(QStringLiteral("nan")));
    }

    void noSegmentIsUnknown()
    {
        ContourWindowStandIn w;
        RegularRadiusMeasurement m(w.plot());
        QCOMPARE(m.valueText(), Common::kUnknownText);
        QCOMPARE(m.value(), 0.0);
        QCOMPARE(m.groupName(), QStringLiteral("Радиусы"));
    }

    // With the label exactly on the centre the radius line has no length.
    void labelOnTheCentre()
    {
        ContourWindowStandIn w({ arcTrace(2, 1, 5) });
        RegularRadiusMeasurement m(w.plot());
        m.storeSegment(0, 161, w.traceCurve(0));
        m.labelX = 2;
        m.labelY = 1;
        m.calculate();
        QVERIFY(distance(coords(m.radiusLine->start), QPointF(2, 1)) < 1e-9);
        QVERIFY(distance(coords(m.radiusLine->end), coords(m.radiusLine->start)) < 1e-6);
    }

    // Kind 22: finished by the release that ends its segment, no label; the
    // circle's centre and radius are what the crossings read.
    void fittedCircleAsGeometry()
    {
        ContourWindowStandIn w({ arcTrace(2, 1, 5) });
        w.arm(CIRCUMF_AG);
        w.drag(0, 10, 150);
        auto *m = lastListed<CircumfAGMeasurement>(w);
        QVERIFY(m && m->isFinished());
        QVERIFY(!m->isMeasurement);
        QCOMPARE(m->name(), QStringLiteral("Окружность"));
        QCOMPARE(w.statusMessage(), QStringLiteral("Окружность"));
        QVERIFY(distance(m->centre, QPointF(2, 1)) < 1e-9);
        QCOMPARE_REL(m->circleRadius, 5.0, 1e-9);
        QCOMPARE(m->reperPoints.at(0)->position(), m->centre);
        QVERIFY(m->circle->visible());
        QVERIFY(!m->label->visible());
        QCOMPARE(w.rowOf(m)->parent()->text(0), QStringLiteral("ДОП. ГЕОМЕТРИИ"));
    }

    // Kind 23: a pin of radius 0.5 laid into a 90-degree V-groove rests on
    // both flanks, its centre 0.5·√2 above the apex.
    void givenRadiusRestsInAGroove()
    {
        ContourWindowStandIn w({ ContourTest::makeTrace(801, -2, 0.005, [](double x) { return std::abs(x); }) });
        w.arm(CIRCUMF_AG_SPECIFIED, QStringLiteral("0.500"));
        w.drag(0, 200, 601); // x from -1 to 1
        auto *m = lastListed<CircumfAGSpecified>(w);
        QVERIFY(m && m->isFinished());
        QCOMPARE(m->circleRadius, 0.5);
        QVERIFY2(distance(m->centre, QPointF(0, 0.5 * std::sqrt(2.0))) < 1e-3,
            qPrintable(QStringLiteral("(%1, %2)").arg(m->centre.x()).arg(m->centre.y())));
        QCOMPARE(m->reperPoints.at(0)->position(), m->centre);
        QCOMPARE(coords(m->circle->bottomRight), m->centre + QPointF(0.5, 0.5));
        QCOMPARE(w.statusMessage(), QStringLiteral("Окружность"));
    }

    // A parameter that is no number gives radius 0: no circle.
    void givenRadiusZeroDrawsNothing()
    {
        ContourWindowStandIn w({ ContourTest::makeTrace(101, -1, 0.02, [](double x) { return x * x; }) });
        w.arm(CIRCUMF_AG_SPECIFIED, QStringLiteral("abc"));
        w.drag(0, 10, 90);
        auto *m = lastListed<CircumfAGSpecified>(w);
        QVERIFY(m && m->isFinished());
        QVERIFY(!m->circle->visible());
        QVERIFY(!m->reperPoints.at(0)->isVisible());
    }

    // The given radius keeps its physical size when the display unit changes.
    void givenRadiusFollowsTheUnit_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<double>("expected");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("mm to µm") << 0 << 1 << 1000.0 << QStringLiteral("мкм");
        QTest::newRow("µm to nm") << 1 << 2 << 1000.0 << QStringLiteral("нм");
        QTest::newRow("nm to mm") << 2 << 0 << 1e-6 << QStringLiteral("мм");
        QTest::newRow("unknown unit keeps both") << 0 << 5 << 1.0 << QStringLiteral("мм");
    }

    void givenRadiusFollowsTheUnit()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(double, expected);
        QFETCH(QString, suffix);
        ContourWindowStandIn w;
        AxisUnit unit(from);
        CircumfAGSpecified m(w.plot(), 1.0);
        Settings::instance().axis_unit = to;
        m.updateSettings();
        QCOMPARE_REL(m.circleRadius, expected, 1e-15);
        QCOMPARE(m.unitSuffix, suffix);
    }

    void screenshot()
    {
        ContourWindowStandIn w({ arcTrace(2, 1, 5) });
        w.arm(REGULAR_RADIUS);
        w.drag(0, 10, 150);
        w.move(QPointF(6, 0));
        w.click(QPointF(6, 0));
        // The whole circle and its label in view, at one scale on both axes.
        w.plot()->xAxis->setRange(-5, 11);
        w.plot()->yAxis->setRange(-5, 7);
        w.plot()->replot();
        QVERIFY(!w.screenshot(QStringLiteral("curvature_radius")).isEmpty());
    }
};

VANTOR_TEST_MAIN(TestCurvature)
#include "tst_curvature.moc"
