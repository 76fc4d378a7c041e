// The distance kinds placed on a contour plot with real mouse events, through
// the contour window's side of the measurements.

#include "support/contourwindowstandin.h"
#include "support/testmain.h"
#include "measurements/kindtesthelpers.h"

#include "measurements/distancemeasurement.h"
#include "measurements/reperpoint.h"
#include "settings/settings.h"

#include <QTreeWidgetItem>

namespace {

// A step of 5 on a slope of 0.1: y = 0.1 x below x = 50, y = 0.1 x + 5 from
// there on, points at x = 0 .. 100.
double steppedSlope(double x)
{
    return 0.1 * x + (x >= 50 ? 5 : 0);
}

std::unique_ptr<ContourWindowStandIn> window()
{
    return contourWindow(steppedSlope);
}

DistanceMeasurement *current(const ContourWindowStandIn &w)
{
    return qobject_cast<DistanceMeasurement *>(w.manager()->currentMeasurement());
}

QPointF reper(const Measurement *m, int i)
{
    return m->reperPoints.at(i)->position();
}

} // namespace

class TestDistanceMeasurements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { resetDisplaySettings(); }

    // Two picked points, in both picking modes: by a click on each point, or
    // (alternative mode) by one drag from the first to the second.
    void pickedPoints_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("alternative");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("valueText");
        QTest::addColumn<QString>("startLog");
        for (const bool alternative : { false, true }) {
            const QByteArray mode = alternative ? " by drag" : " by clicks";
            QTest::newRow("height" + mode) << 0 << alternative << 20 << 80 << "11.0000мм"
                                           << "VerticalDistanceMeasurment started in (20.000000,2.000000)";
            QTest::newRow("height backwards" + mode) << 0 << alternative << 80 << 20 << "11.0000мм"
                                                     << "VerticalDistanceMeasurment started in (80.000000,13.000000)";
            QTest::newRow("length" + mode) << 1 << alternative << 20 << 80 << "60.0000мм"
                                           << "HorisontalDistanceMeasurment started in (20.000000,2.000000)";
            QTest::newRow("direct" + mode) << 3 << alternative << 20 << 80 << "61.0000мм"
                                           << "DirectDistanceMeasurement started in (20.000000,2.000000)";
            QTest::newRow("direct, same point" + mode) << 3 << alternative << 40 << 40 << "0.0000мм"
                                                       << "DirectDistanceMeasurement started in (40.000000,4.000000)";
        }
    }
    void pickedPoints()
    {
        QFETCH(int, kind);
        QFETCH(bool, alternative);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, valueText);
        QFETCH(QString, startLog);
        Settings::instance().preferenses.alternative_measurement = alternative;
        auto w = window();
        const LogTail log;
        const QPointF a = w->tracePoint(0, from), b = w->tracePoint(0, to), labelAt(50, 30);
        w->arm(kind);
        w->move(a);
        if (alternative) {
            w->drag(0, from, to);
        } else {
            w->click(a);
            clickPoint(*w, to);
        }
        DistanceMeasurement *m = current(*w);
        if (alternative && from == to) {
            // A drag that never left its point is a click: too short a stretch,
            // nothing is placed and the kind stays armed.
            QVERIFY(!m);
            QVERIFY(w->manager()->measurementList().isEmpty());
            QCOMPARE(w->manager()->currentKind(), kind);
            return;
        }
        QVERIFY(m);
        QVERIFY(m->placingLabel);
        QVERIFY(!m->isFinished());
        QCOMPARE(w->statusMessage(), QStringLiteral("Расположите значение"));
        QVERIFY(!w->plot()->selectionMarker()->visible());

        placeLabel(*w, labelAt);
        QVERIFY(m->isFinished());
        QCOMPARE(m->valueText(), valueText);
        QCOMPARE(w->statusMessage(), m->name() + ": " + valueText);
        QCOMPARE(w->rowOf(m)->text(1), valueText);
        // The reference points sit on the measured points, left one first.
        QCOMPARE(reper(m, 0), w->tracePoint(0, std::min(from, to)));
        QCOMPARE(reper(m, 1), w->tracePoint(0, std::max(from, to)));
        QVERIFY(w->plot()->selectionMarker()->visible());
        QCOMPARE(log.infoLines(),
            QStringList({ startLog, QString::asprintf("Finished in (%f,%f)", b.x(), b.y()),
                "Result - " + m->name() + ": " + valueText }));

        // Once finished, the mouse no longer moves anything.
        const QPointF labelBefore = m->label->position->coords();
        w->move(QPointF(10, 25));
        QCOMPARE(m->label->position->coords(), labelBefore);
    }

    // The dimension follows the label while it is placed: the dimension line
    // stands at the label's x (height) or y (length).
    void dimensionFollowsTheLabel()
    {
        auto w = window();
        w->arm(0);
        clickPoint(*w, 20);
        clickPoint(*w, 80);
        DistanceMeasurement *m = current(*w);
        for (const double x : { 90.0, 5.0 }) {
            w->move(QPointF(x, 30));
            const double px = m->labelPosition().x();
            QCOMPARE(m->dimensionLine->start->coords(), QPointF(px, 2));
            QCOMPARE(m->dimensionLine->end->coords(), QPointF(px, 13));
            QCOMPARE(m->extensionLines[0]->start->coords(), QPointF(20, 2));
            QCOMPARE(m->extensionLines[0]->end->coords(), QPointF(px, 2));
            QCOMPARE(int(m->label->positionAlignment()), x > 20 ? 0x44 : 0x24);
            QCOMPARE(m->label->rotation(), 90.0);
            QVERIFY(m->label->visible() && m->dimensionLine->visible());
        }
    }

    // Highest minus lowest of one dragged segment, finished by the release
    // after the drag and the click that places the label.
    void highestMinusLowest()
    {
        auto w = window();
        const LogTail log;
        w->arm(2);
        w->move(w->tracePoint(0, 30));
        w->drag(0, 30, 70);
        auto *m = current(*w);
        QVERIFY(m && m->placingLabel);
        QCOMPARE(w->statusMessage(), QStringLiteral("Расположите значение"));
        placeLabel(*w, QPointF(90, 0));
        QVERIFY(m->isFinished());
        // Segment [30, 70): highest at x = 69, lowest at x = 30.
        QCOMPARE(m->valueText(), QStringLiteral("8.9000мм"));
        QCOMPARE(reper(m, 0), QPointF(69, steppedSlope(69)));
        QCOMPARE(reper(m, 1), QPointF(30, 3));
        QCOMPARE(log.infoLines(),
            QStringList({ "MaxMinDistanceMeasurement started in (30.000000,3.000000)",
                "Finished in (69.000000,11.900000)", "Result - Наибольшая высота: 8.9000мм" }));
    }

    // Mean height and average diameter: two segments, each opened by the
    // release of the drag before it.
    void twoLineHeights_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("valueText");
        QTest::addColumn<QStringList>("logLines");
        // Lines y = 0.1 x over [10, 30) and y = 0.1 x + 5 over [60, 90): at
        // the segments' middles (x = 20 and 75) 2 and 12.5; at one x, 5 apart.
        QTest::newRow("mean height") << 11 << "10.5000мм"
                                     << QStringList { "MeanHeightMeasurement started", "Finished",
                                            "Result - Ср. Высота: 10.5000мм" };
        QTest::newRow("average diameter")
            << 19 << "5.0000мм" << QStringList { "Finished", "Result - Ср. Высота: 5.0000мм" };
    }
    void twoLineHeights()
    {
        QFETCH(int, kind);
        QFETCH(QString, valueText);
        QFETCH(QStringList, logLines);
        auto w = window();
        const LogTail log;
        w->arm(kind);
        w->drag(0, 10, 30);
        auto *m = current(*w);
        QVERIFY(m);
        QCOMPARE(m->segmentCount(), 2);
        QVERIFY(!m->placingLabel);
        // One segment: its side is drawn, no dimension yet.
        w->move(QPointF(40, 30));
        QCOMPARE(w->statusMessage(), QStringLiteral("Выделите две области для расчета"));
        w->drag(0, 60, 90);
        QVERIFY(m->placingLabel);
        placeLabel(*w, QPointF(40, 30));
        QVERIFY(m->isFinished());
        QCOMPARE(m->valueText(), valueText);
        QCOMPARE(w->statusMessage(), "Ср. Высота: " + valueText);
        QCOMPARE(log.infoLines(), logLines);
    }

    // With one segment, mean height shows the first side and its reference
    // point only; the value and the label wait for the second segment.
    void meanHeightWithOneSegment()
    {
        auto w = window();
        w->arm(11);
        w->press(w->tracePoint(0, 10));
        for (int i = 11; i <= 30; ++i)
            w->move(w->tracePoint(0, i), Qt::LeftButton);
        auto *m = current(*w);
        QVERIFY(m);
        QCOMPARE(m->segmentCount(), 1);
        QVERIFY(m->extensionLines[0]->visible());
        QVERIFY(!m->extensionLines[1]->visible());
        QVERIFY(!m->label->visible());
        QVERIFY(m->reperPoints.at(0)->isVisible());
        QVERIFY(!m->reperPoints.at(1)->isVisible());
        QCOMPARE(m->value(), 0.0);
        // The segment [10, 30): the middle lies half way to its end point.
        QCOMPARE(m->extensionLines[0]->start->coords(), QPointF(20, 2));
    }

    // The unit suffix follows the display unit; an unknown unit leaves the
    // suffix as it was.
    void unitSuffix_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("mm") << 0 << "мм";
        QTest::newRow("µm") << 1 << "мкм";
        QTest::newRow("nm") << 2 << "нм";
        QTest::newRow("unknown") << 7 << "";
    }
    void unitSuffix()
    {
        QFETCH(int, unit);
        QFETCH(QString, suffix);
        Settings::instance().axis_unit = unit;
        auto w = window();
        w->arm(1);
        clickPoint(*w, 20);
        clickPoint(*w, 80);
        placeLabel(*w, QPointF(50, 30));
        auto *m = w->manager()->measurementList().last();
        QCOMPARE(m->valueText(), "60.0000" + suffix);
        Settings::instance().axis_unit = 9;
        m->updateSettings();
        QCOMPARE(m->valueText(), "60.0000" + suffix);
    }
};

VANTOR_TEST_MAIN(TestDistanceMeasurements)
#include "tst_distancemeasurements.moc"
