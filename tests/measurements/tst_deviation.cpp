// The deviation kinds placed on a contour plot with real mouse events:
// straightness from a line and from a drawing, and the six deviations from a
// circle.
#include "support/contourwindowstandin.h"
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "measurements/compareplanedxf.h"
#include "measurements/dxfdrawing.h"
#include "measurements/errormeasurement.h"
#include "measurements/radiusdisplacementerrormeasurement.h"
#include "plot/adaptivecurve.h"
#include "plot/errorgraph.h"
#include "settings/common.h"
#include "settings/settings.h"

#include <QSignalSpy>
#include <cmath>

namespace {

// A lower arc (from .. to degrees) of a circle of centre c and radius r with
// `lobes` undulations of the given amplitude per turn and, optionally, one
// point pushed inwards by `spike`.
ContourTrace *arcTrace(QPointF c, double r, int n, double lobes = 0, double amplitude = 0, int spikeAt = -1,
    double spike = 0, int spikeWidth = 1)
{
    QVector<QPointF> p;
    for (int i = 0; i < n; ++i) {
        const double a = (200 + 140.0 * i / (n - 1)) * M_PI / 180;
        const double rr = r + amplitude * std::cos(lobes * a) - (i >= spikeAt && i < spikeAt + spikeWidth ? spike : 0);
        p << QPointF(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
    }
    return ContourTest::makeTrace(p);
}

template <typename T> T *lastListed(const ContourWindowStandIn &w)
{
    const auto &list = w.manager()->measurementList();
    return list.isEmpty() ? nullptr : qobject_cast<T *>(list.last());
}

// Drag along a trace, move the cursor to place the graph, click to finish.
template <typename T> T *place(ContourWindowStandIn &w, int kind, int from, int to, const QPointF &at,
    const QString &parameter = QString())
{
    w.arm(kind, parameter);
    w.drag(0, from, to);
    T *m = lastListed<T>(w);
    if (!m)
        return nullptr;
    w.move(at);
    w.click(at);
    return m;
}

QVector<QPointF> graphPoints(const ErrorGraph *graph)
{
    QVector<QPointF> out;
    for (auto it = graph->curve()->data()->constBegin(); it != graph->curve()->data()->constEnd(); ++it)
        out << QPointF(it->key, it->value);
    return out;
}

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

class TestDeviation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Kind 12 on a line with one spike in the middle of the selection: the
    // value is the spike's height, the graph hangs below the lowest point as
    // far as the cursor is above it, and the texts carry six decimals.
    void straightness_data()
    {
        QTest::addColumn<double>("spike");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("straight line, mm") << 0.0 << 0 << "0.000000мм";
        QTest::newRow("spike 0.5, µm") << 0.5 << 1 << "0.500000мкм";
    }

    void straightness()
    {
        QFETCH(double, spike);
        QFETCH(int, unit);
        QFETCH(QString, text);
        AxisUnit axisUnit(unit);
        ContourWindowStandIn w({ ContourTest::makeTrace(101, 0, 0.1, [&](double x) {
            return 1 + 0.2 * x + (std::abs(x - 5) < 1e-9 ? spike : 0);
        }) });
        w.arm(RMSE);
        w.drag(0, 0, 100); // to the last point, which the range takes in
        auto *m = lastListed<RMSEMeasurement>(w);
        QVERIFY(m);
        QCOMPARE(int(m->segment(0)->begin), 0);
        QCOMPARE(int(m->segment(0)->end), 101);
        QVERIFY(m->placingLabel);
        // Above the lowest point (y 1 at x 0) by 2: the baseline lies 2 below it.
        w.move(QPointF(5, 3));
        QVERIFY(std::abs(m->baselineY - (-1)) < 0.05);
        QVERIFY(std::abs(m->baselineStart.x() - 0) < 1e-6 && std::abs(m->baselineEnd.x() - 10) < 1e-5);
        QVector<QVector<double>> *base = m->graph->mBase;
        w.move(QPointF(5, -2));
        QVERIFY(std::abs(m->baselineY - (-2)) < 0.05);
        // The base points are refreshed in place, not reallocated per move.
        QCOMPARE(m->graph->mBase, base);
        QCOMPARE(base->at(0).size(), 101);
        w.click(QPointF(5, -2));
        QVERIFY(m->isFinished());
        QVERIFY(std::abs(m->value() - spike) < 1e-9);
        QCOMPARE(m->valueText(), text);
        QCOMPARE(w.statusMessage(), QStringLiteral("Отклонение от прямой: ") + text);
        QCOMPARE(w.rowOf(m)->text(1), text);
        QVERIFY(m->label->visible());
        QVERIFY(m->label->text().startsWith(QLatin1Char('\n')));
        // Graph points lie in the band between the baseline and the lowest point.
        const QVector<QPointF> g = graphPoints(m->graph);
        QCOMPARE(g.size(), 101);
        for (const QPointF &p : g)
            QVERIFY(p.y() >= m->baselineY - 1e-9 && p.y() <= m->lowestY + 1e-9);
        if (spike > 0)
            QVERIFY(std::abs(g.at(50).y() - m->lowestY) < 1e-9);
    }

    // Points at one x have no line: nothing reaches the value, no "nan".
    void straightnessOfAVerticalRun()
    {
        ContourWindowStandIn w({ ContourTest::makeTrace({ { 1, 0 }, { 1, 1 }, { 1, 2 }, { 1, 3 } }) });
        RMSEMeasurement m(w.plot());
        m.storeSegment(0, 4, w.traceCurve(0));
        m.calculate();
        QCOMPARE(m.valueText(), QStringLiteral("0.000000мм"));
        QVERIFY(!m.label->visible());
    }

    // Kind 34: unknown without a drawing (never 1e100), the mean distance
    // with one.
    void deviationFromTheDrawing_data()
    {
        QTest::addColumn<bool>("drawing");
        QTest::addColumn<double>("offset");
        QTest::addColumn<QString>("text");
        QTest::newRow("no drawing") << false << 0.0 << Common::kUnknownText;
        QTest::newRow("on the drawing") << true << 0.0 << "0.000000мм";
        QTest::newRow("0.3 above it") << true << 0.3 << "0.300000мм";
    }

    void deviationFromTheDrawing()
    {
        QFETCH(bool, drawing);
        QFETCH(double, offset);
        QFETCH(QString, text);
        ContourWindowStandIn w({ ContourTest::makeTrace(81, 0, 0.1, [&](double) { return offset; }) });
        if (drawing) {
            DxfDrawing &d = addPlotDrawing(w.plot())->drawing;
            d.append(DxfType::line(), { -1, 0, 9, 0 });
            d.append(DxfType::circle(), { 4, 10, 2, -1, 0 });
        }
        auto *m = place<ErrorPlane>(w, ERROR_PLANE, 5, 75, QPointF(4, -2));
        QVERIFY(m);
        QVERIFY(m->isFinished());
        QCOMPARE(m->valueText(), text);
        QCOMPARE(w.rowOf(m)->text(1), text);
        if (!drawing) {
            QCOMPARE(m->value(), 0.0);
            QVERIFY(!m->label->visible());
            return;
        }
        QVERIFY(std::abs(m->value() - offset) < 1e-12);
        QVERIFY(m->label->visible());
    }

    // Kinds 13, 15 and 18 on an arc with 36 lobes of amplitude a per turn
    // (spread 2a) and one point pushed in by 0.3: the filtered kind drops the
    // spike, the others see it.
    void circleDeviations_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("tolerance");
        const double a = 0.02;
        // The spike sits on a crest: its deviation is 0.3 - a, the troughs' -a.
        QTest::newRow("13 fitted") << int(RDEM) << 0.3 << 0.01;
        QTest::newRow("15 filtered") << int(RADIUS_DISPLACEMENT_FILTER_ERROR) << 2 * a << 0.003;
        QTest::newRow("18 polar") << int(RDEM_WITH_POLAR_GRAPH) << 0.3 << 0.01;
    }

    void circleDeviations()
    {
        QFETCH(int, kind);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        ContourWindowStandIn w({ arcTrace(QPointF(20, 20), 20, 2001, 36, 0.02, 1000, 0.3) });
        auto *m = place<RadiusDisplacementErrorMeasurement>(w, kind, 100, 1900, QPointF(20, -5));
        QVERIFY(m);
        QVERIFY(m->isFinished());
        QCOMPARE(m->type(), kind == RDEM_WITH_POLAR_GRAPH ? 18 : 13);
        QVERIFY2(std::abs(m->value() - expected) < tolerance, qPrintable(QString::number(m->value())));
        QCOMPARE(w.rowOf(m)->text(1), m->valueText());
        QVERIFY(m->circle->visible());
        const QPointF tl = m->circle->topLeft->coords();
        const QPointF br = m->circle->bottomRight->coords();
        QVERIFY(std::abs((br.x() - tl.x()) / 2 - 20) < 0.01);
        QVERIFY(std::abs((tl.x() + br.x()) / 2 - 20) < 0.01);
        const QVector<QPointF> g = graphPoints(m->graph);
        QCOMPARE(g.size(), 1800);
        if (kind == RDEM_WITH_POLAR_GRAPH) {
            // Wrapped around the circle: from R (largest deviation) to R + h.
            const double R = (br.x() - tl.x()) / 2;
            const QPointF c = (tl + br) / 2;
            const double h = m->lowestY - m->baselineY;
            QVERIFY(h > 0);
            for (const QPointF &p : g) {
                const double rho = std::hypot(p.x() - c.x(), p.y() - c.y());
                QVERIFY(rho >= R - 1e-6 && rho <= R + h + 1e-6);
            }
            QVERIFY(m->graph->mFollowZoom);
        } else {
            for (const QPointF &p : g)
                QVERIFY(p.y() >= m->baselineY - 1e-9 && p.y() <= m->lowestY + 1e-9);
        }
    }

    // Kind 13 on points lying on one line: no circle, nothing changes.
    void circleOnAStraightRun()
    {
        ContourWindowStandIn w({ ContourTest::makeTrace(50, 0, 0.1, [](double x) { return 2 * x; }) });
        auto *m = place<RDEMeasurement>(w, RDEM, 5, 40, QPointF(2, -3));
        QVERIFY(m);
        QCOMPARE(m->valueText(), QStringLiteral("0.000000мм"));
        QVERIFY(!m->circle->visible());
    }

    // Kind 14: a circle of the given radius laid on an exact arc of that
    // radius; its radius follows a change of the display unit.
    void givenRadius()
    {
        ContourWindowStandIn w({ arcTrace(QPointF(0, 5), 5, 401) });
        auto *m = place<RDEMSpecified>(w, RDEM_SPECIFIED, 20, 380, QPointF(0, -3), QStringLiteral("5.000"));
        QVERIFY(m);
        QVERIFY(m->isFinished());
        QCOMPARE(m->type(), 13);
        QCOMPARE(m->radius, 5.0);
        QVERIFY(m->value() < 1e-4);
        const QPointF tl = m->circle->topLeft->coords();
        QVERIFY(std::abs(tl.x() + 5) < 1e-3 && std::abs(tl.y() - 0) < 1e-3);

        AxisUnit unit(1);
        w.recalcAllMeasurements();
        QCOMPARE(m->radius, 5000.0);
        QVERIFY(m->valueText().endsWith(QStringLiteral("мкм")));
    }

    // Kinds 16 and 17 on two exact arcs of one circle with a step of 0.1
    // outwards in the gap between them: the circle is fitted to the arcs alone, the value
    // and the graph cover the whole stretch, the step included.
    void twoArcsWithAGap_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("16") << int(RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT);
        QTest::newRow("17 filtered") << int(RDEM_FILTER_BY_TWO_SEGMENT);
    }

    void twoArcsWithAGap()
    {
        QFETCH(int, kind);
        ContourWindowStandIn w({ arcTrace(QPointF(20, 20), 20, 2001, 0, 0, 950, -0.1, 100) });
        w.arm(kind, QStringLiteral("2"));
        w.drag(0, 100, 700);
        auto *m = lastListed<RadiusDisplacementErrorMeasurement>(w);
        QVERIFY(m);
        QCOMPARE(m->segmentsNeeded, 2);
        QVERIFY(!m->placingLabel);
        w.move(QPointF(20, -5));
        QCOMPARE(w.statusMessage(), QStringLiteral("Продолжите выделения"));
        w.drag(0, 1300, 1900);
        QVERIFY(m->placingLabel);
        w.move(QPointF(20, -5));
        w.click(QPointF(20, -5));
        QVERIFY(m->isFinished());
        QCOMPARE(m->type(), 13);
        QVERIFY2(std::abs(m->value() - 0.1) < 1e-9, qPrintable(QString::number(m->value())));
        const QVector<QPointF> g = graphPoints(m->graph);
        QCOMPARE(g.size(), 1800);
        for (int i = 1; i < g.size(); ++i)
            QVERIFY(g[i].x() > g[i - 1].x());
        QCOMPARE(m->graph->mBase->at(0).size(), 1800);
    }

    // A segment count that is no number counts as two, so the kind finishes.
    void unreadableSegmentCount()
    {
        ContourWindowStandIn w({ arcTrace(QPointF(0, 5), 5, 401) });
        w.arm(RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT, QStringLiteral("abc"));
        w.drag(0, 10, 100);
        auto *m = lastListed<RadiusDisplacementErrorMeasurementByTwoSegment>(w);
        QVERIFY(m);
        QCOMPARE(m->segmentsNeeded, 2);
        w.drag(0, 300, 390);
        w.click(QPointF(0, -3));
        QVERIFY(m->isFinished());
        QVERIFY(m->value() < 1e-9);
    }

    // Deleted before a range was chosen: unknown value, items gone.
    void deletedBeforeSelecting()
    {
        ContourWindowStandIn w({ arcTrace(QPointF(0, 5), 5, 101) });
        const int before = w.plot()->itemCount();
        auto *m = new RDEMWithPolarGraph(w.plot());
        QCOMPARE(m->valueText(), Common::kUnknownText);
        QCOMPARE(m->value(), 0.0);
        delete m;
        QCOMPARE(w.plot()->itemCount(), before);
    }
};

VANTOR_TEST_MAIN(TestDeviation)
#include "tst_deviation.moc"
