// Levelling on a contour plot with real mouse events, through the contour
// window's side of the measurements.

#include "support/contourwindowstandin.h"
#include "support/fuzzy.h"
#include "support/testmain.h"
#include "measurements/kindtesthelpers.h"

#include "measurements/anglemeasurement.h"
#include "measurements/distancemeasurement.h"
#include "measurements/levellingmeasurement.h"
#include "settings/settings.h"

#include <QTreeWidgetItem>
#include <cmath>

namespace {

// y = 2 + 0.5 x at x = 0 .. 100, with a groove 10 deep between x = 30 and 60.
double grooved(double x)
{
    return 2 + 0.5 * x - (x > 30 && x < 60 ? 10 : 0);
}

std::unique_ptr<ContourWindowStandIn> window(const std::function<double(double)> &f = grooved)
{
    return contourWindow(f);
}

QVector<QPointF> points(const QCPCurve *curve)
{
    QVector<QPointF> p;
    for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
        p << QPointF(it->key, it->value);
    return p;
}

} // namespace

class TestLevellingMeasurements : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { resetDisplaySettings(); }

    // One segment (kind 9) or one line through two segments on both sides of
    // the groove (kind 10): the line turns horizontal through the first point
    // of the first segment, and the listed measurements are recalculated.
    void levellingMakesTheLineHorizontal_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("centreIndex");
        QTest::newRow("one segment") << 9 << 5;
        QTest::newRow("two segments around the groove") << 10 << 10;
    }
    void levellingMakesTheLineHorizontal()
    {
        QFETCH(int, kind);
        QFETCH(int, centreIndex);
        auto w = window();
        // A horizontal angle on the slope and a height across it, listed.
        w->arm(5);
        w->drag(0, 65, 95);
        placeLabel(*w, QPointF(100, 60));
        auto *angle = qobject_cast<AngleMeasurement *>(w->manager()->currentMeasurement());
        QCOMPARE_REL(angle->value(), std::atan(0.5) * 180 / M_PI, 1e-9);
        w->arm(0);
        clickPoint(*w, 20);
        clickPoint(*w, 90);
        placeLabel(*w, QPointF(95, 20));
        auto *height = qobject_cast<DistanceMeasurement *>(w->manager()->currentMeasurement());
        QCOMPARE(height->valueText(), QStringLiteral("35.0000мм"));

        const LogTail log;
        const QPointF centre = w->tracePoint(0, centreIndex);
        w->arm(kind);
        if (kind == 9) {
            w->drag(0, 5, 25);
        } else {
            w->drag(0, 10, 25);
            QCOMPARE(w->statusMessage(), QStringLiteral("Выделите две линии"));
            w->drag(0, 65, 95);
        }
        Measurement *levelling = w->manager()->currentMeasurement();
        QVERIFY(levelling && levelling->isFinished());

        const double theta = -std::atan(0.5);
        QCOMPARE_REL(w->levellingAngle(), theta, 1e-12);
        QCOMPARE(w->levellingCentre(), centre);
        if (kind == 10) {
            QCOMPARE_REL(w->manager()->currentLevellingAngle(), theta, 1e-12);
            QCOMPARE(w->manager()->currentLevellingCentre(), centre);
        }
        QCOMPARE(w->statusMessage(), QStringLiteral("Укладка готова: [2, 0.5]"));
        QCOMPARE(log.infoLines(),
            QStringList(kind == 9 ? QStringList { "LayFlat released " }
                                  : QStringList { "LayFlatByTwo released ", "LayFlatByTwo released " }));
        QCOMPARE(w->rowCount(), 2);

        // Every point off the groove now lies level with the centre, and the
        // distances along the contour are kept.
        const QVector<QPointF> after = points(w->traceCurve(0));
        const double step = std::hypot(1, 0.5);
        for (int i = 0; i < after.size(); ++i) {
            const double depth = grooved(i) - (2 + 0.5 * i);
            QVERIFY2(std::abs(after[i].y() - (centre.y() + depth * std::cos(theta))) < 1e-5,
                qPrintable(QString("point %1: %2").arg(i).arg(after[i].y())));
            QVERIFY(std::abs(after[i].x() - (centre.x() + (i - centreIndex) * step + depth * std::sin(-theta))) < 1e-5);
        }
        // The listed measurements were recalculated on the levelled data.
        QVERIFY2(angle->value() < 1e-4, qPrintable(angle->valueText()));
        QCOMPARE(angle->valueText(), QStringLiteral("0° 0' 0''"));
        QCOMPARE(height->valueText(), QStringLiteral("0.0000мм"));
        QCOMPARE(w->rowOf(height)->text(1), QStringLiteral("0.0000мм"));
    }

    // A level segment gives no rotation: every point stays exactly.
    void levelSegmentChangesNothing()
    {
        auto w = window([](double x) { return 3 + 0.01 * std::sin(x * 2.1) * (x > 50); });
        const QVector<QPointF> before = points(w->traceCurve(0));
        w->arm(9);
        w->drag(0, 0, 40);
        QVERIFY(w->manager()->currentMeasurement()->isFinished());
        QCOMPARE(w->levellingAngle(), 0.0);
        QCOMPARE(points(w->traceCurve(0)), before);
        QCOMPARE(w->statusMessage(), QStringLiteral("Укладка готова: [3, 0]"));
    }

    // A click on one point gives no line: nothing is levelled, the levelling
    // is dropped at once and the kind stays armed.
    void noLineNoLevelling_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("one segment") << 9;
        QTest::newRow("two segments") << 10;
    }
    void noLineNoLevelling()
    {
        QFETCH(int, kind);
        auto w = window();
        const QVector<QPointF> before = points(w->traceCurve(0));
        w->arm(kind);
        if (kind == 10)
            w->drag(0, 10, 30);
        w->click(w->tracePoint(0, 40));
        QVERIFY(!w->manager()->currentMeasurement());
        QCOMPARE(w->manager()->currentKind(), kind);
        QCOMPARE(points(w->traceCurve(0)), before);
        QCOMPARE(w->levellingAngle(), 0.0);
    }
};

VANTOR_TEST_MAIN(TestLevellingMeasurements)
#include "tst_levellingmeasurements.moc"
