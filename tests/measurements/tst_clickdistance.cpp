// Lines and points picked by clicks on trace points: the plain line and middle
// point, and the elements placed with real mouse events, with their parallel
// copies.
#include "elementfixtures.h"
#include "support/contourwindowstandin.h"
#include "support/testmain.h"

#include "support/scriptedprompts.h"

#include "measurements/agtextplacement.h"
#include "measurements/circlegeometry.h"
#include "measurements/clickdistacemeasurement.h"
#include "measurements/distancemeasurement.h"
#include "measurements/reperpoint.h"

#include <limits>

namespace {

// x from 0 to 20 in steps of 0.5 on a gentle wave, through (12.5, 3.25).
ContourTrace *waveThrough12_5()
{
    QVector<QPointF> p;
    for (int i = 0; i <= 40; ++i) {
        const double x = i * 0.5;
        p << QPointF(x, x == 12.5 ? 3.25 : 3 + std::sin(x / 3));
    }
    return ContourTest::makeTrace(p);
}

// (1, 1) and (3, 5) for the line y = 2x - 1.
ContourTrace *stepTrace()
{
    return ContourTest::makeTrace({ { 0, 0 }, { 1, 1 }, { 2, 1 }, { 3, 5 }, { 4, 5 }, { 5, 3 } });
}

// A second trace with the point (2, 4), straight above (2, 1) of stepTrace.
ContourTrace *upperTrace()
{
    return ContourTest::makeTrace({ { 0, 8 }, { 1, 7 }, { 2, 4 }, { 3, 8 }, { 4, 8 } });
}

QPointF coords(const QCPItemPosition *p)
{
    return p->coords();
}

qint64 indexOf(const std::unique_ptr<PickedPoint> &p)
{
    return p ? p->index : -1;
}

// What a click kind has taken so far: whether it has every point it needs
// (a distance then places its label, an element is finished), and the data
// indices of its points in ascending order. The text takes no trace point:
// the index of the trace point at its place stands for it.
struct Picked {
    bool complete = false;
    QList<qint64> indices;
};

Picked pickedBy(ContourWindowStandIn &w, Measurement *m)
{
    Picked p;
    if (!m)
        return p;
    if (auto *d = qobject_cast<DistanceMeasurement *>(m)) {
        p.complete = d->placingLabel;
        p.indices = { indexOf(d->firstPoint), indexOf(d->secondPoint) };
    } else if (auto *line = qobject_cast<ClickDoubleLine *>(m)) {
        p.complete = m->isFinished();
        p.indices = { indexOf(line->firstPoint), indexOf(line->secondPoint) };
    } else if (auto *middle = qobject_cast<MiddlePoint *>(m)) {
        p.complete = m->isFinished();
        p.indices = { indexOf(middle->firstPoint), indexOf(middle->secondPoint) };
    } else if (auto *axisLine = qobject_cast<ClickAxisLine *>(m)) {
        p.complete = m->isFinished();
        p.indices = { indexOf(axisLine->firstPoint) };
    } else if (auto *point = qobject_cast<ClickPoint *>(m)) {
        p.complete = m->isFinished();
        p.indices = { indexOf(point->firstPoint) };
    } else if (auto *text = qobject_cast<AgTextPlacement *>(m)) {
        p.complete = m->isFinished();
        const double x = text->textItem->position->coords().x();
        for (int i = 0; p.complete && i < w.traceCurve(0)->dataCount(); ++i)
            if (std::abs(w.tracePoint(0, i).x() - x) < 0.05)
                p.indices = { i };
    }
    std::sort(p.indices.begin(), p.indices.end());
    return p;
}

} // namespace

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

    // One click on the trace point (12.5, 3.25).
    void oneClickLines_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVector<double>>("coefficients");
        QTest::addColumn<QPointF>("point1");
        QTest::addColumn<QPointF>("point2");
        QTest::newRow("horizontal") << int(CLICK_HORIZONTAL_LINE) << QVector<double> { 0, 3.25 } << QPointF(0, 3.25)
                                    << QPointF(1, 3.25);
        QTest::newRow("vertical") << int(CLICK_VERTICAL_LINE) << QVector<double> { 0, 12.5 } << QPointF(12.5, 0)
                                  << QPointF(12.5, 1);
    }

    void oneClickLines()
    {
        QFETCH(int, kind);
        QFETCH(QVector<double>, coefficients);
        QFETCH(QPointF, point1);
        QFETCH(QPointF, point2);
        ContourWindowStandIn w({ waveThrough12_5() });
        w.arm(kind);
        clickPoint(w, QPointF(12.5, 3.25));
        auto *m = lastListed<ClickDistaceMeasurement>(w);
        QVERIFY(m && m->isFinished());
        QCOMPARE(m->coefficients, coefficients);
        QCOMPARE(coords(m->line->point1), point1);
        QCOMPARE(coords(m->line->point2), point2);
        QVERIFY(m->line->visible());
        QVERIFY(!m->isMeasurement);
        QCOMPARE(m->valueText(), QString());
        QCOMPARE(m->value(), 0.0);
        QCOMPARE(m->groupName(), QStringLiteral("Доп геометрия Линии"));
        QCOMPARE(w.rowOf(m)->text(0), m->name());
    }

    // A right-button release neither picks nor finishes.
    void rightReleaseChangesNothing()
    {
        ContourWindowStandIn w({ waveThrough12_5() });
        w.arm(CLICK_HORIZONTAL_LINE);
        const QPointF p(12.5, 3.25);
        w.move(p);
        w.move(p);
        w.press(p);
        auto *m = qobject_cast<ClickHorizontalLine *>(w.manager()->currentMeasurement());
        QVERIFY(m);
        w.release(p, Qt::RightButton);
        QVERIFY(!m->isFinished());
        QVERIFY(!m->firstPoint);
        w.release(p);
        QVERIFY(m->isFinished());
    }

    // The two-point line follows the cursor after the first click; a second
    // click at the first point's key is ignored (no infinite slope).
    void twoPointLine()
    {
        ContourWindowStandIn w({ stepTrace(), upperTrace() });
        w.arm(CLICK_DOUBLE_LINE);
        clickPoint(w, QPointF(2, 1));
        auto *m = qobject_cast<ClickDoubleLine *>(w.manager()->currentMeasurement());
        QVERIFY(m);
        QCOMPARE(m->pickedCount, 1);

        // Preview through (2, 1) and (3, 5): y = 4x - 7.
        w.move(QPointF(3, 5));
        w.move(QPointF(3, 5));
        QCOMPARE(coords(m->line->point1), QPointF(0, -7));
        QCOMPARE(coords(m->line->point2), QPointF(1, -3));

        // Straight above the first point (on the other trace): the preview
        // keeps the last line and the click is refused.
        w.move(QPointF(2, 4));
        w.move(QPointF(2, 4));
        QCOMPARE(coords(m->line->point1), QPointF(0, -7));
        w.click(QPointF(2, 4));
        QVERIFY(!m->isFinished());
        QCOMPARE(m->coefficients.size(), 2);
        QVERIFY(std::abs(m->coefficients[0] - 4) < 1e-12 && std::abs(m->coefficients[1] + 7) < 1e-12);

        clickPoint(w, QPointF(1, 1));
        QVERIFY(m->isFinished());
        QCOMPARE(m->coefficients, QVector<double>({ 0, 1 }));
    }

    void twoPointLineThroughTwoTracePoints()
    {
        ContourWindowStandIn w({ stepTrace() });
        w.arm(CLICK_DOUBLE_LINE);
        clickPoint(w, QPointF(1, 1));
        clickPoint(w, QPointF(3, 5));
        auto *m = lastListed<ClickDoubleLine>(w);
        QVERIFY(m && m->isFinished());
        QCOMPARE(m->coefficients.size(), 2);
        QVERIFY(std::abs(m->coefficients[0] - 2) < 1e-12);
        QVERIFY(std::abs(m->coefficients[1] + 1) < 1e-12);
    }

    // The middle point becomes a snap target; a point on the trace does not
    // (each alone on its plot: a finished element among other additional
    // geometry makes every point pickable).
    void points()
    {
        const QVector<QPointF> trace { { 0, 0 }, { 1, 2 }, { 2, 3 }, { 3, 6 }, { 4, 5 } };
        ContourWindowStandIn w({ ContourTest::makeTrace(trace) });
        w.arm(MIDDLE_POINT);
        clickPoint(w, QPointF(1, 2));
        QCOMPARE(w.statusMessage(), QStringLiteral("Укажите вторую точку"));
        clickPoint(w, QPointF(3, 6));
        auto *middle = lastListed<MiddlePoint>(w);
        QVERIFY(middle && middle->isFinished());
        QCOMPARE(middle->reperPoints.at(0)->position(), QPointF(2, 4));
        QVERIFY(middle->reperPoints.at(0)->isPickable());
        QVERIFY(!middle->line->visible());

        ContourWindowStandIn other({ ContourTest::makeTrace(trace) });
        other.arm(CLICK_POINT);
        clickPoint(other, QPointF(4, 5));
        auto *point = lastListed<ClickPoint>(other);
        QVERIFY(point && point->isFinished());
        QCOMPARE(point->reperPoints.at(0)->position(), QPointF(4, 5));
        QVERIFY(!point->reperPoints.at(0)->isPickable());
    }

    // Parallel copies shift the offset: along y for horizontal and two-point
    // lines, along x for the vertical line. They are listed and finished.
    void parallelCopies_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("distance");
        QTest::addColumn<QVector<double>>("expected");
        QTest::newRow("horizontal, +2") << int(CLICK_HORIZONTAL_LINE) << 2.0 << QVector<double> { 0, 5.25 };
        QTest::newRow("vertical, -1") << int(CLICK_VERTICAL_LINE) << -1.0 << QVector<double> { 0, 11.5 };
        QTest::newRow("two points, +2") << int(CLICK_DOUBLE_LINE) << 2.0 << QVector<double> { 2, 1 };
    }

    void parallelCopies()
    {
        QFETCH(int, kind);
        QFETCH(double, distance);
        QFETCH(QVector<double>, expected);
        ContourWindowStandIn w({ waveThrough12_5(), stepTrace() });
        w.arm(kind);
        if (kind == CLICK_DOUBLE_LINE) {
            clickPoint(w, QPointF(1, 1));
            clickPoint(w, QPointF(3, 5));
        } else {
            clickPoint(w, QPointF(12.5, 3.25));
        }
        auto *source = lastListed<ClickDistaceMeasurement>(w);
        QVERIFY(source && source->isFinished());

        w.addMeasurement(source->id(), E_MEASUREMENTS(kind), distance);
        auto *copy = lastListed<ClickDistaceMeasurement>(w);
        QVERIFY(copy && copy != source);
        QVERIFY(copy->isFinished());
        QCOMPARE(copy->type(), kind);
        QVERIFY(w.rowOf(copy));
        QCOMPARE(copy->coefficients.size(), 2);
        QVERIFY(std::abs(copy->coefficients[0] - expected[0]) < 1e-12);
        QVERIFY(std::abs(copy->coefficients[1] - expected[1]) < 1e-12);

        // The drawn line is that line (drawn in single precision).
        const QPointF a = coords(copy->line->point1), b = coords(copy->line->point2);
        QVERIFY(a != b);
        if (kind == CLICK_VERTICAL_LINE) {
            QCOMPARE(a.x(), expected[1]);
            QCOMPARE(b.x(), expected[1]);
        } else {
            for (const QPointF &p : { a, b })
                QVERIFY2(std::abs(p.y() - (expected[0] * p.x() + expected[1])) < 1e-6 * std::max(1.0, std::abs(p.y())),
                    qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
        }
    }

    // Every kind whose points are clicked on the trace, by clicks and by a
    // press, drag and release. A drag picks the points under its press and
    // its release where two points are still to pick, and is ignored where
    // one is: it never replaces a point picked before it. Gestures: "c4" a
    // click on point 4, "d4-30" a drag from point 4 to point 30; every one
    // but the last leaves the kind still picking.
    void clicksOrDrag_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("gestures");
        QTest::addColumn<QList<qint64>>("picked");
        const QList<qint64> both { 4, 30 };
        for (int kind : { VERTICAL_DISTANCE, HORIZONTAL_DISTANCE, DIRECT_DISTANCE, CLICK_DOUBLE_LINE, MIDDLE_POINT }) {
            auto row = [kind](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind).arg(name)));
            };
            row("clicks") << kind << "c4 c30" << both;
            row("drag") << kind << "d4-30" << both;
            row("drag backwards") << kind << "d30-4" << both;
            row("click, drag ignored, click") << kind << "c4 d20-10 c30" << both;
        }
        for (int kind : { CLICK_HORIZONTAL_LINE, CLICK_VERTICAL_LINE, CLICK_POINT, AG_TEXT_PLACEMENT }) {
            auto row = [kind](const char *name) -> QTestData & {
                return QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind).arg(name)));
            };
            row("click") << kind << "c30" << QList<qint64> { 30 };
            row("drag ignored, click") << kind << "d4-30 c20" << QList<qint64> { 20 };
        }
    }

    void clicksOrDrag()
    {
        QFETCH(int, kind);
        QFETCH(QString, gestures);
        QFETCH(QList<qint64>, picked);
        ContourWindowStandIn w({ waveThrough12_5() });
        ScriptedPrompts prompts;
        if (kind == AG_TEXT_PLACEMENT)
            prompts.expect(ScriptedPrompts::Text, QStringLiteral("Ø 12"));
        w.arm(kind);
        const QStringList steps = gestures.split(' ');
        for (int s = 0; s < steps.size(); ++s) {
            const QString &g = steps[s];
            const QStringList ends = g.mid(1).split('-');
            const int from = ends.first().toInt();
            w.move(w.tracePoint(0, from));
            if (g.startsWith('c'))
                w.click(w.tracePoint(0, from));
            else
                w.drag(0, from, ends.last().toInt());
            const Picked now = pickedBy(w, w.manager()->currentMeasurement());
            QVERIFY2(now.complete == (s == steps.size() - 1), qPrintable("after " + g));
        }
        QVERIFY(prompts.allAnswered());
        QCOMPARE(pickedBy(w, w.manager()->currentMeasurement()).indices, picked);
    }

    // A finished line follows the trace data at its stored index when the
    // measurements are recalculated (as after levelling); its copy stays.
    void recalculationMovesLinesNotCopies()
    {
        ContourWindowStandIn w({ waveThrough12_5() });
        w.arm(CLICK_HORIZONTAL_LINE);
        clickPoint(w, QPointF(12.5, 3.25));
        auto *line = lastListed<ClickHorizontalLine>(w);
        w.addMeasurement(line->id(), CLICK_HORIZONTAL_LINE, 2);
        auto *copy = lastListed<ClickHorizontalLine>(w);

        QCPCurve *curve = w.traceCurve(0);
        for (auto it = curve->data()->begin(); it != curve->data()->end(); ++it)
            it->value += 1;
        w.recalcAllMeasurements();
        QCOMPARE(line->coefficients, QVector<double>({ 0, 4.25 }));
        QCOMPARE(coords(line->line->point1), QPointF(0, 4.25));
        QCOMPARE(copy->coefficients, QVector<double>({ 0, 5.25 }));
        QCOMPARE(coords(copy->line->point1), QPointF(0, 5.25));
    }
};

VANTOR_TEST_MAIN(TestClickDistance)
#include "tst_clickdistance.moc"
