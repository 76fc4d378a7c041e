// The angle kinds placed on a contour plot with real mouse events, through
// the contour window's side of the measurements; and one plot with every
// distance and angle kind for a person to look at.

#include "support/contourwindowstandin.h"
#include "support/fuzzy.h"
#include "support/testmain.h"
#include "measurements/kindtesthelpers.h"

#include "measurements/anglemeasurement.h"
#include "measurements/distancemeasurement.h"
#include "measurements/reperpoint.h"
#include "plot/qcpitemarc.h"
#include "settings/settings.h"

#include <QTreeWidgetItem>
#include <cmath>

Q_DECLARE_METATYPE(QPointF)

namespace {

// Level at 0 up to x = 40, a flank of slope 1 up to x = 60, level at 20 after
// it; points at x = 0 .. 100. The flank meets the lower level at (40, 0).
double flank(double x)
{
    return std::clamp(x - 40, 0.0, 20.0);
}

std::unique_ptr<ContourWindowStandIn> window()
{
    auto w
        = std::make_unique<ContourWindowStandIn>(QVector<AbstractTrace *> { ContourTest::makeTrace(101, 0, 1, flank) });
    w->resize(1000, 600);
    return w;
}

AngleMeasurement *current(const ContourWindowStandIn &w)
{
    return qobject_cast<AngleMeasurement *>(w.manager()->currentMeasurement());
}

} // namespace

class TestAngleMeasurements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { resetDisplaySettings(); }

    // One segment per line, each drag's release opening the next; the label
    // decides which of the two angles at the vertex is shown.
    void anglesOnTheFlank_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QPointF>("labelAt");
        QTest::addColumn<QPointF>("vertex");
        QTest::addColumn<double>("angle");
        QTest::addColumn<QString>("valueText");
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<QString>("startLog");
        const QString regular = "RegularAngleMeasurement started";
        const QString horizontal = "HorizontalAngleMeasurement started";
        const QString vertical = "VerticalAngleMeasurement started";
        // Kind 6: the lower level [5, 35) and the flank [42, 58) meet at (40, 0).
        QTest::newRow("regular, inside") << 6 << QPointF(60, 5) << QPointF(40, 0) << 45.0 << "45° 0' 0''" << false
                                         << regular;
        QTest::newRow("regular, opposite")
            << 6 << QPointF(20, -10) << QPointF(40, 0) << 45.0 << "45° 0' 0''" << false << regular;
        QTest::newRow("regular, beside") << 6 << QPointF(30, 25) << QPointF(40, 0) << 135.0 << "135° 0' 0''" << false
                                         << regular;
        QTest::newRow("regular, decimal")
            << 6 << QPointF(30, 25) << QPointF(40, 0) << 135.0 << "135.0000°" << true << regular;
        // Kinds 5 and 4: the flank alone, the vertex at its last point (57, 17).
        QTest::newRow("horizontal, above")
            << 5 << QPointF(60, 30) << QPointF(57, 17) << 45.0 << "45° 0' 0''" << false << horizontal;
        QTest::newRow("horizontal, up left")
            << 5 << QPointF(52, 27) << QPointF(57, 17) << 135.0 << "135° 0' 0''" << false << horizontal;
        QTest::newRow("vertical, right") << 4 << QPointF(80, 20) << QPointF(57, 17) << 45.0 << "45° 0' 0''" << false
                                         << vertical;
        QTest::newRow("vertical, decimal")
            << 4 << QPointF(80, 20) << QPointF(57, 17) << 45.0 << "45.0000°" << true << vertical;
    }
    void anglesOnTheFlank()
    {
        QFETCH(int, kind);
        QFETCH(QPointF, labelAt);
        QFETCH(QPointF, vertex);
        QFETCH(double, angle);
        QFETCH(QString, valueText);
        QFETCH(bool, decimal);
        QFETCH(QString, startLog);
        Settings::instance().angles_in_deg = decimal;
        auto w = window();
        const LogTail log;
        w->arm(kind);
        if (kind == 6) {
            w->drag(0, 5, 35);
            QVERIFY(current(*w));
            QVERIFY(!current(*w)->placingLabel);
            QCOMPARE(w->statusMessage(), QStringLiteral("Выделите два отрезка данных"));
        }
        w->drag(0, 42, 58);
        AngleMeasurement *m = current(*w);
        QVERIFY(m && m->placingLabel);
        QCOMPARE(w->statusMessage(), QStringLiteral("Расположите значение"));
        QVERIFY(!w->plot()->selectionMarker()->visible());

        placeLabel(*w, labelAt);
        QVERIFY(m->isFinished());
        QCOMPARE_REL(m->value(), angle, 1e-9);
        QCOMPARE(m->valueText(), valueText);
        QCOMPARE(m->nominal(), angle);
        QCOMPARE(w->statusMessage(), m->name() + ": " + valueText);
        QCOMPARE(w->rowOf(m)->text(1), valueText);
        QVERIFY(m->label->text().endsWith("\n" + valueText));
        QVERIFY(w->plot()->selectionMarker()->visible());
        QCOMPARE(log.infoLines(), QStringList({ startLog, "Finish", "Result - " + m->name() + ": " + valueText }));

        // The vertex is the reference point; the arc is the circle about it
        // through the label.
        QVERIFY(fuzzyEqual(m->reperPoints.at(0)->position().x(), vertex.x(), 1e-9, 1));
        QVERIFY(fuzzyEqual(m->reperPoints.at(0)->position().y(), vertex.y(), 1e-9, 1));
        const QPointF label = m->labelPosition();
        const double r = std::hypot(label.x() - vertex.x(), label.y() - vertex.y());
        QVERIFY(fuzzyEqual(m->arc->bottomRight->coords().x(), vertex.x() + r, 1e-9, 1));
        QVERIFY(fuzzyEqual(m->arc->topLeft->coords().y(), vertex.y() - r, 1e-9, 1));
        QVERIFY(m->arc->visible() && m->sideLines[0]->visible() && m->sideLines[1]->visible());
    }

    // Two parallel lines have no vertex: nothing is drawn, the value stays
    // and no "nan" appears. A segment of one point, which has no direction,
    // is too short to be taken: the angle is dropped before anything is drawn.
    void nothingToDraw_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("from2");
        QTest::addColumn<int>("to2");
        QTest::newRow("parallel levels") << 6 << 65 << 95;
        QTest::newRow("second segment one point") << 6 << 70 << 70;
        QTest::newRow("horizontal, one point") << 5 << 70 << 70;
    }
    void nothingToDraw()
    {
        QFETCH(int, kind);
        QFETCH(int, from2);
        QFETCH(int, to2);
        auto w = window();
        w->arm(kind);
        if (kind == 6)
            w->drag(0, 5, 35);
        w->drag(0, from2, to2);
        AngleMeasurement *m = current(*w);
        if (from2 == to2) {
            QVERIFY(!m);
            QVERIFY(w->manager()->measurementList().isEmpty());
            QCOMPARE(w->manager()->currentKind(), kind);
            return;
        }
        QVERIFY(m && m->placingLabel);
        placeLabel(*w, QPointF(50, 30));
        QVERIFY(m->isFinished());
        QCOMPARE(m->value(), 0.0);
        QCOMPARE(m->valueText(), QStringLiteral("0° 0' 0''"));
        QVERIFY(!m->arc->visible());
        QVERIFY(!m->label->visible());
        QVERIFY(!m->reperPoints.at(0)->isVisible());
    }

    // Escape while a dimension is being placed takes all its items and
    // reference points off the plot and logs its last value.
    void escapeLeavesNothingBehind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("direct distance") << 3 << "Прямая delete with value: 28.2843мм";
        QTest::newRow("highest minus lowest") << 2 << "Наибольшая высота delete with value: 20.0000мм";
        QTest::newRow("regular angle") << 6 << "Угол delete with value: 45° 0' 0''";
        QTest::newRow("horizontal angle") << 5 << "Угол (Г) delete with value: 135° 0' 0''";
    }
    void escapeLeavesNothingBehind()
    {
        QFETCH(int, kind);
        QFETCH(QString, logLine);
        auto w = window();
        w->arm(kind);
        // The plot's own items (the selection marker) and its trace curve.
        const int items = w->plot()->itemCount(), curves = w->plot()->curveCount();
        if (kind == 3) {
            clickPoint(*w, 40);
            clickPoint(*w, 60);
        } else {
            if (kind == 6)
                w->drag(0, 5, 35);
            w->drag(0, kind == 2 ? 30 : 42, kind == 2 ? 70 : 58);
        }
        w->move(QPointF(60, 5));
        QVERIFY(w->plot()->itemCount() > items);
        const LogTail log;
        w->pressEscape();
        QVERIFY(!w->manager()->currentMeasurement());
        QCOMPARE(w->rowCount(), 0);
        QCOMPARE(w->plot()->itemCount(), items);
        QCOMPARE(w->plot()->curveCount(), curves);
        QCOMPARE(log.infoLines(), QStringList { logLine });
    }

    // Every distance and angle kind placed on one contour, saved as a PNG.
    void everyKindOnOnePlot()
    {
        auto w = window();
        w->resize(1200, 700);
        w->show();
        w->plot()->xAxis->setRange(-8, 108);
        w->plot()->yAxis->setRange(-8, 36);
        w->plot()->replot();
        w->arm(0);
        clickPoint(*w, 10);
        clickPoint(*w, 75);
        placeLabel(*w, QPointF(88, 8));
        w->arm(1);
        clickPoint(*w, 45);
        clickPoint(*w, 90);
        placeLabel(*w, QPointF(70, 30));
        w->arm(3);
        clickPoint(*w, 40);
        clickPoint(*w, 60);
        placeLabel(*w, QPointF(47, 16));
        w->arm(2);
        w->move(w->tracePoint(0, 30));
        w->drag(0, 30, 70);
        placeLabel(*w, QPointF(25, 10));
        w->arm(11);
        w->drag(0, 2, 30);
        w->drag(0, 62, 98);
        placeLabel(*w, QPointF(97, 10));
        w->arm(19);
        w->drag(0, 5, 35);
        w->drag(0, 65, 95);
        placeLabel(*w, QPointF(2, 10));
        w->arm(6);
        w->drag(0, 12, 38);
        w->drag(0, 42, 58);
        placeLabel(*w, QPointF(55, 4));
        w->arm(5);
        w->drag(0, 43, 57);
        placeLabel(*w, QPointF(66, 25));
        w->arm(4);
        w->drag(0, 44, 56);
        placeLabel(*w, QPointF(46, 32));

        QCOMPARE(w->manager()->measurementList().size(), 9);
        for (Measurement *m : w->manager()->measurementList()) {
            QVERIFY2(m->isFinished(), qPrintable(m->name()));
            QVERIFY2(!m->valueText().contains("nan"), qPrintable(m->valueText()));
        }
        QCOMPARE(w->manager()->measurementList().at(0)->valueText(), QStringLiteral("20.0000мм"));
        const QString path = w->screenshot(QStringLiteral("distance_and_angle_kinds"));
        QVERIFY(QFile::exists(path));
    }
};

VANTOR_TEST_MAIN(TestAngleMeasurements)
#include "tst_anglemeasurements.moc"
