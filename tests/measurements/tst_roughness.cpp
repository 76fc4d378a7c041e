// Ra and Rz on a contour placed with real mouse events: the automatic cut-off
// on a sine, the correction of a contour roughness trace (kept after the
// curves are levelled), a stretch too short to filter.
#include "support/contourwindowstandin.h"
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "algos/amplitudeparams.h"
#include "algos/tracetypes.h"
#include "measurements/deviationgeometry.h"
#include "measurements/roughnessmeasurement.h"
#include "settings/settings.h"

#include <cmath>

namespace {

const double kAmplitude = 0.0001; // mm: Ra 2A/π = 0.0637 µm
const double kWavelength = 0.1; // mm

ContourTrace *sineTrace(double length, double ratio = 0, int type = CONTOUR, double y0 = 1)
{
    ContourTrace *t = ContourTest::makeTrace(int(std::lround(length / 0.004)) + 1, 0, 0.004,
        [y0](double x) { return y0 + kAmplitude * std::sin(2 * M_PI * x / kWavelength); });
    t->roughness_ratio = ratio;
    t->setTraceType(type);
    return t;
}

template <typename T> T *lastListed(const ContourWindowStandIn &w)
{
    const auto &list = w.manager()->measurementList();
    return list.isEmpty() ? nullptr : qobject_cast<T *>(list.last());
}

RoughnessMeasurement *place(ContourWindowStandIn &w, int kind, int trace, int from, int to, const QPointF &at)
{
    w.arm(kind);
    ContourTest::drag(w.plot(), w.traceCurve(trace), from, to);
    auto *m = lastListed<RoughnessMeasurement>(w);
    if (!m)
        return nullptr;
    w.move(at);
    w.click(at);
    return m;
}

} // namespace

class TestRoughness : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Settings::instance().preferenses.standartisation_value = 1; }

    // Ra and Rz of a sine, known analytically; the cut-off settles where the
    // standard says.
    void sineOnAContour_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<double>("cutOff");
        // Within what the filters' transmission at 100 µm and 250 µm allows.
        QTest::newRow("Ra") << int(RA) << 2 * kAmplitude * 1000 / M_PI << 0.06 << 250.0;
        QTest::newRow("Rz") << int(RZ) << 2 * kAmplitude * 1000 << 0.1 << 800.0;
    }

    void sineOnAContour()
    {
        QFETCH(int, kind);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        QFETCH(double, cutOff);
        ContourWindowStandIn w({ sineTrace(2) });
        auto *m = place(w, kind, 0, 0, 500, QPointF(1, 0.5));
        QVERIFY(m);
        QVERIFY(m->isFinished());
        QCOMPARE(m->type(), kind);
        QCOMPARE_REL(m->value(), expected, tolerance);
        // The standard's advice follows the parameter itself: Rz 0.2 µm keeps 800 µm.
        QCOMPARE(m->lastResult().cutOff, cutOff);
        const QString text = QString::number(m->value(), 'f', 4) + QStringLiteral("мкм");
        QCOMPARE(m->valueText(), text);
        QCOMPARE(w.statusMessage(), m->name() + QStringLiteral(": ") + text);
        QCOMPARE(w.rowOf(m)->text(1), text);
        // Dimension below the stretch: value next to the line, designation outside.
        QVERIFY(m->labelItem()->text().startsWith(m->name() + QStringLiteral(": ") + text + QLatin1Char('\n')));
        QVERIFY(m->dimension()->visible());
        // The selection ends before the last point: the second extension line
        // stands on the point after it.
        QCOMPARE(m->extension(1)->start->coords().x(), float(w.tracePoint(0, 500).x()));
    }

    // A contour roughness trace is corrected with its ratio and the table; the
    // same stretch of a plain contour trace is not. Levelling the drawn curve
    // (its points move, so its first point no longer matches the trace's)
    // keeps the correction.
    void contourRoughnessCorrection()
    {
        ContourWindowStandIn w({ sineTrace(2), sineTrace(2, 1.2, CONTOURPROF, 3) });
        auto *m = place(w, RA, 1, 0, 500, QPointF(1, 4.5));
        QVERIFY(m);
        QVERIFY(m->isFinished());
        const double corrected = m->value();
        w.trace(1)->setTraceType(CONTOUR);
        w.recalcAllMeasurements();
        // Both readings stay in the 250 µm band of the standard, so both loops
        // end on the same cut-off.
        const double v = 1.2 * m->value();
        QVERIFY(v > 0);
        QCOMPARE_REL(corrected, v * Deviation::raCorrectionFactor(v), 1e-9);
        w.trace(1)->setTraceType(CONTOURPROF);

        QCPCurve *curve = w.traceCurve(1);
        QVector<double> xs, ys;
        for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it) {
            xs << it->key;
            ys << it->value - 0.7;
        }
        curve->setData(xs, ys);
        w.recalcAllMeasurements();
        QCOMPARE_REL(m->value(), corrected, 1e-9);
    }

    // 1.2 mm in mm: no pass, value 0, the label asks for the missing 0.4 mm.
    void shortStretch()
    {
        ContourWindowStandIn w({ sineTrace(3) });
        auto *m = place(w, RA, 0, 0, 301, QPointF(0.6, 0.5));
        QVERIFY(m);
        QVERIFY(m->isFinished());
        QCOMPARE(m->value(), 0.0);
        QCOMPARE(w.statusMessage(), QStringLiteral("Ra: 0.0000мкм"));
        QVERIFY2(m->labelItem()->text().startsWith(QStringLiteral("Ra: Выделите ещё 0.4мм\n")),
            qPrintable(m->labelItem()->text()));
    }

    // A stretch that reaches the curve's last point: the second extension
    // line stands on that point, nothing is read beyond it.
    void stretchToTheLastPoint()
    {
        ContourWindowStandIn w({ sineTrace(2) });
        RAMeasurement m(w.plot(), {});
        m.storeSegment(0, 501, w.traceCurve(0));
        m.calculate();
        QCOMPARE(m.extension(1)->start->coords().x(), float(w.tracePoint(0, 500).x()));
        QCOMPARE(m.lastResult().length, 2000.0);
        QVERIFY(m.value() > 0);
    }

    // Before a stretch is chosen the items stay hidden and the value 0.
    void nothingSelected()
    {
        ContourWindowStandIn w({ sineTrace(1) });
        RZMeasurement m(w.plot(), {});
        m.calculate();
        QCOMPARE(m.valueText(), QStringLiteral("0.0000мкм"));
        QVERIFY(!m.labelItem()->visible());
        QCOMPARE(m.groupName(), QStringLiteral("Шероховатости"));
    }

    // Ra, a circle deviation, a polar graph and straightness on one contour.
    void screenshot();
};

#include "measurements/errormeasurement.h"
#include "measurements/radiusdisplacementerrormeasurement.h"

void TestRoughness::screenshot()
{
    // A flat run, a hump of a circle, a rough run.
    QVector<QPointF> p;
    for (int i = 0; i <= 4000; ++i) {
        const double x = i * 0.01;
        double y = 0.02 * std::sin(x * 3);
        if (x > 10 && x < 30)
            y = std::sqrt(100 - (x - 20) * (x - 20)) + 0.03 * std::cos(x * 12);
        else if (x >= 30)
            y = 0.05 * std::sin(2 * M_PI * x / 0.3);
        p << QPointF(x, y);
    }
    ContourWindowStandIn w({ ContourTest::makeTrace(p) });
    w.resize(1200, 800);
    w.show();
    auto drag = [&](int kind, int from, int to, QPointF at) {
        w.arm(kind);
        w.drag(0, from, to);
        w.move(at);
        w.click(at);
        QVERIFY(w.manager()->measurementList().last()->isFinished());
    };
    drag(RMSE, 50, 950, QPointF(5, 2));
    drag(RDEM, 1300, 1900, QPointF(16, 4));
    drag(RDEM_WITH_POLAR_GRAPH, 2100, 2700, QPointF(24, 5));
    drag(RA, 3050, 3950, QPointF(35, 3));
    QCOMPARE(w.rowCount(), 4);
    w.plot()->xAxis->setRange(-1, 41);
    w.plot()->yAxis->setRange(-4, 13);
    w.plot()->replot();
    QVERIFY(!w.screenshot(QStringLiteral("deviation_and_roughness")).isEmpty());
}

VANTOR_TEST_MAIN(TestRoughness)
#include "tst_roughness.moc"
