#include "support/testmain.h"

#include "plot/adaptivecurve.h"
#include "plot/errorgraph.h"
#include "plot/plotwidget.h"
#include "plottesthelpers.h"
#include "settings/common.h"

#include <limits>
#include <memory>

using namespace PlotTest;

namespace {

struct Fixture {
    std::unique_ptr<PlotWidget> plot = std::make_unique<PlotWidget>();
    std::unique_ptr<ErrorGraph> graph;
    QVector<QVector<double>> base { { 0, 1, 2, 3, 4 }, { 0, 0, 0, 0, 0 } };
    QVector<double> x { 0, 1, 2, 3, 4 };
    QVector<double> y { 1, 1.5, 2, 1.2, 1 };

    Fixture()
    {
        plot->resize(600, 400);
        plot->xAxis->setRange(-5, 10);
        plot->yAxis->setRange(-5, 5);
        plot->setInteractions(PlotWidget::iRangeZoom);
        plot->show();
        plot->replot();
        graph = std::make_unique<ErrorGraph>(plot.get());
        graph->mAxisStart[0] = QVector2D(0, 0);
        graph->mAxisEnd[0] = QVector2D(5, 0);
        graph->mAxisStart[1] = QVector2D(0, 0);
        graph->mAxisEnd[1] = QVector2D(0, 3);
        graph->setAxisLine(0, graph->mAxisStart[0], graph->mAxisEnd[0]);
        graph->setAxisLine(1, graph->mAxisStart[1], graph->mAxisEnd[1]);
        graph->mMin = 0;
        graph->mMax = 3;
    }

    void wheel(int steps)
    {
        const QPoint at = pixelOf(plot.get(), 2, 1);
        QWheelEvent event(QPointF(at), QPointF(plot->mapToGlobal(at)), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot.get(), &event);
    }
    QPointF pixel(double key, double value) const
    {
        return QPointF(plot->xAxis->coordToPixel(key), plot->yAxis->coordToPixel(value));
    }
    QVector<QPointF> curvePixels() const
    {
        QVector<QPointF> pixels;
        for (const QCPCurveData &d : *graph->curve()->data())
            pixels << pixel(d.key, d.value);
        return pixels;
    }
    QVector<QPointF> basePixels() const
    {
        QVector<QPointF> pixels;
        for (int i = 0; i < x.size(); ++i)
            pixels << pixel(base[0][i], base[1][i]);
        return pixels;
    }
};

bool pixelsClose(const QVector<QPointF> &a, const QVector<QPointF> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if ((a[i] - b[i]).manhattanLength() > 1e-3)
            return false;
    }
    return true;
}

} // namespace

class TestErrorGraph : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rulerTicks_data();
    void rulerTicks();
    void rulerOnPlot();
    void labelsStayInsideThePlot();
    void constructionAndRemoval();
    void mismatchedDataChangesNothing();
    void followsWheelZoomKeepingPixelOffsets();
    void missingOrShortBaseIsSkipped_data();
    void missingOrShortBaseIsSkipped();
};

void TestErrorGraph::rulerTicks_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("step");
    QTest::addColumn<QStringList>("labels");
    // Expected ticks by hand from the step rule (a fifth, a half or one power of ten).
    QTest::newRow("0..0.7: 0.7/0.1 falls just below 7")
        << 0.0 << 0.7 << 0.1 << QStringList { "0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6" };
    QTest::newRow("-0.3..0.7: tick near zero reads 0")
        << -0.3 << 0.7 << 0.2 << QStringList { "-0.2", "0", "0.2", "0.4", "0.6" };
    QTest::newRow("0..3") << 0.0 << 3.0 << 0.5 << QStringList { "0", "0.5", "1", "1.5", "2", "2.5", "3" };
    QTest::newRow("0..6") << 0.0 << 6.0 << 1.0 << QStringList { "0", "1", "2", "3", "4", "5", "6" };
    QTest::newRow("0..10") << 0.0 << 10.0 << 2.0 << QStringList { "0", "2", "4", "6", "8", "10" };
    QTest::newRow("min = max") << 1.5 << 1.5 << 0.0 << QStringList {};
    QTest::newRow("reversed") << 2.0 << 1.0 << 0.0 << QStringList {};
    QTest::newRow("not finite") << 0.0 << std::numeric_limits<double>::infinity() << 0.0 << QStringList {};
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 1.0 << 0.0 << QStringList {};
    // At 1e20 doubles lie 16384 apart: a step of 2000 no longer advances.
    QTest::newRow("huge offset, step below resolution") << 1e20 << 1e20 + 16384 << 2000.0 << QStringList { "1e+20" };
}

void TestErrorGraph::rulerTicks()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, step);
    QFETCH(QStringList, labels);

    QCOMPARE(rulerTickStep(min, max), step);
    const RulerTicks ticks = ::rulerTicks(min, max);
    QStringList actual;
    for (double v : ticks.values)
        actual << QString::number(std::abs(v) < 1e-10 ? 0.0 : v, 'g', 6);
    QCOMPARE(actual, labels);
    QVERIFY(ticks.values.size() <= 11);
}

void TestErrorGraph::rulerOnPlot()
{
    Fixture f;
    QCOMPARE(f.graph->tickStep(), 0.5);
    f.graph->drawRuler(3, QString::fromUtf8("мкм"));
    QCOMPARE(f.graph->tickCount(), 7);
    QCOMPARE(f.plot->itemCount(), 2 + 7 + 7);

    // Along axis line 1 from its end (0, 3) to its start (0, 0); ticks point a
    // quarter turn counter-clockwise from the end-to-start direction, 2 % long.
    // (Single precision geometry: compare to a float's accuracy.)
    auto near = [](QPointF a, QPointF b) { return (a - b).manhattanLength() < 1e-6; };
    QVERIFY(near(f.graph->tick(0)->start->coords(), QPointF(0, 3)));
    QVERIFY(near(f.graph->tick(0)->end->coords(), QPointF(0.06, 3)));
    QVERIFY(near(f.graph->tick(6)->start->coords(), QPointF(0, 0)));
    // Labels stand at their tick's foot on the ruler and run away from the
    // graph (axis line 0 lies along the ruler's start here, so to the side
    // the ticks point to): fixed-point in the plot's locale with the decimals
    // the step needs, each with the unit.
    const QLocale locale = f.plot->locale();
    QVERIFY(near(f.graph->tickLabel(2)->position->coords(), QPointF(0, 2)));
    QCOMPARE(f.graph->tickLabel(2)->positionAlignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(f.graph->tickLabel(2)->layer()->name(), QString("overlay"));
    QCOMPARE(f.graph->tickLabel(0)->text(), locale.toString(0.0, 'f', 1) + QString::fromUtf8(" мкм"));
    QCOMPARE(f.graph->tickLabel(5)->text(), locale.toString(2.5, 'f', 1) + QString::fromUtf8(" мкм"));
    QCOMPARE(f.graph->tickLabel(6)->text(), locale.toString(3.0, 'f', 1) + QString::fromUtf8(" мкм"));

    f.graph->mMax = 0.7;
    f.graph->drawRuler(3, QString());
    QCOMPARE(f.graph->tickCount(), 7);
    QCOMPARE(f.graph->tickLabel(6)->text(), locale.toString(0.6, 'f', 1));

    // Micrometre deviations on a millimetre ruler: no exponents.
    f.graph->mMin = -2e-6;
    f.graph->mMax = 6e-5;
    f.graph->drawRuler(3, QString::fromUtf8("мм"));
    QVERIFY(f.graph->tickCount() >= 3);
    for (int k = 0; k < f.graph->tickCount(); ++k) {
        const QString text = f.graph->tickLabel(k)->text();
        QVERIFY2(!text.contains('e') && text.endsWith(QString::fromUtf8(" мм")), qPrintable(text));
    }
    QCOMPARE(f.graph->tickLabel(1)->text(), locale.toString(1e-5, 'f', 5) + QString::fromUtf8(" мм"));

    // Squeezed into a few pixels, the labels that would overlap are hidden.
    f.plot->yAxis->setRange(-500, 500);
    f.plot->replot();
    int shown = 0;
    for (int k = 0; k < f.graph->tickCount(); ++k)
        shown += f.graph->tickLabel(k)->visible() ? 1 : 0;
    QVERIFY(shown >= 1 && shown < f.graph->tickCount());
    f.plot->yAxis->setRange(-5, 5);
    f.plot->replot();
    f.graph->mMin = 0;
    f.graph->mMax = 0.7;
    QCOMPARE(f.plot->itemCount(), 2 + 7 + 7);

    f.graph->mMax = f.graph->mMin;
    f.graph->drawRuler(3, QString());
    QCOMPARE(f.graph->tickCount(), 0);
    QCOMPARE(f.plot->itemCount(), 2);

    f.graph->setHighlighted(true);
    QCOMPARE(f.graph->axisLine(0)->pen(), Common::kGreenPen);
    QCOMPARE(f.graph->axisLine(1)->pen(), Common::kGreenPen);
    f.graph->setHighlighted(false);
    QCOMPARE(f.graph->axisLine(1)->pen(), Common::kBlackPen);
}

// A ruler at the plot's right edge: its labels stand on the other side of it
// rather than run past the edge, and go back out once there is room again.
// A label whose position has left the plot is not pulled back into view.
void TestErrorGraph::labelsStayInsideThePlot()
{
    Fixture f;
    f.graph->drawRuler(3, QString::fromUtf8("мкм"));
    const QRectF area = f.plot->axisRect()->rect();
    auto check = [&](Qt::Alignment side) {
        f.plot->replot();
        for (int k = 0; k < f.graph->tickCount(); ++k) {
            const PlotLabel *label = f.graph->tickLabel(k);
            QCOMPARE(label->positionAlignment(), side | Qt::AlignVCenter);
            QVERIFY(area.contains(label->drawnRect()));
            QCOMPARE(label->drawnRect(), label->naturalRect());
        }
    };
    check(Qt::AlignLeft);
    f.plot->xAxis->setRange(-10, 0.2);
    check(Qt::AlignRight);
    f.plot->xAxis->setRange(-5, 10);
    check(Qt::AlignLeft);

    f.plot->xAxis->setRange(5, 15);
    f.plot->replot();
    QCOMPARE(f.graph->tickLabel(3)->drawnRect(), f.graph->tickLabel(3)->naturalRect());
}

void TestErrorGraph::constructionAndRemoval()
{
    Fixture f;
    QCOMPARE(f.plot->curveCount(), 1);
    QVERIFY(qobject_cast<AdaptiveCurve *>(f.plot->curve()));
    QCOMPARE(f.graph->curve()->selectable(), QCP::stNone);
    QCOMPARE(f.graph->axisLine(0)->layer()->name(), QString("background"));
    QCOMPARE(f.graph->axisLine(0)->pen(), Common::kBlackPen);
    QVERIFY(!f.graph->mFollowZoom);

    f.graph->mBase = &f.base;
    f.graph->setData(f.x, f.y);
    f.graph->drawRuler(3, QString());
    QVERIFY(f.plot->itemCount() > 2);
    f.graph.reset();
    QCOMPARE(f.plot->itemCount(), 0);
    QCOMPARE(f.plot->plottableCount(), 0);
    QCOMPARE(f.base.size(), 2);
    f.wheel(1); // the wheel connection ended with the graph
}

void TestErrorGraph::mismatchedDataChangesNothing()
{
    Fixture f;
    f.graph->mBase = &f.base;
    f.graph->setData(f.x, f.y);
    f.graph->setData(QVector<double>(10, 1.0), QVector<double>(9, 1.0));
    f.graph->setData({}, {});
    QCOMPARE(f.graph->curve()->data()->size(), 5);
    QCOMPARE(f.graph->curve()->data()->at(1)->value, 1.5);
}

void TestErrorGraph::followsWheelZoomKeepingPixelOffsets()
{
    Fixture f;
    f.graph->mBase = &f.base;
    f.graph->setData(f.x, f.y);
    f.graph->drawRuler(3, QString::fromUtf8("мкм"));
    const QPointF axisOffset = f.pixel(0, 0) - f.pixel(5, 0);
    QVector<QPointF> pointOffsets;
    for (int i = 0; i < f.x.size(); ++i)
        pointOffsets << f.basePixels()[i] - f.curvePixels()[i];

    // Follow-zoom off: the graph stays in plot coordinates.
    f.wheel(1);
    f.wheel(1);
    QCOMPARE(f.graph->mAxisEnd[0], QVector2D(5, 0));
    QCOMPARE(f.graph->curve()->data()->at(2)->value, 2.0);

    // On: the plot announces a wheel event before it zooms, so each event fits
    // the graph to the plot as the events before it left it. A receiver
    // connected after the graph checks the offsets right after each update.
    f.graph->mFollowZoom = true;
    QList<bool> axisKept, curveKept;
    QList<double> widths;
    QObject::connect(f.plot.get(), &QCustomPlot::mouseWheel, [&] {
        const QPointF end0 = f.pixel(f.graph->mAxisEnd[0].x(), f.graph->mAxisEnd[0].y());
        axisKept << ((f.pixel(0, 0) - end0 - axisOffset).manhattanLength() < 0.05);
        QVector<QPointF> expected;
        for (int i = 0; i < f.x.size(); ++i)
            expected << f.basePixels()[i] - pointOffsets[i];
        curveKept << pixelsClose(f.curvePixels(), expected);
        widths << f.plot->xAxis->range().size();
    });
    f.wheel(1);
    f.wheel(1);
    f.wheel(-1);
    QCOMPARE(axisKept, (QList<bool> { true, true, true }));
    QCOMPARE(curveKept, (QList<bool> { true, true, true }));
    QVERIFY(widths[1] < widths[0]); // the zoom really changed the scale
    QCOMPARE(f.graph->axisLine(0)->end->coords(), f.graph->mAxisEnd[0].toPointF());
    // The redrawn ruler keeps its unit.
    for (int k = 0; k < f.graph->tickCount(); ++k)
        QVERIFY(f.graph->tickLabel(k)->text().endsWith(QString::fromUtf8(" мкм")));
}

void TestErrorGraph::missingOrShortBaseIsSkipped_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("points");
    QTest::newRow("no base") << -1 << 0;
    QTest::newRow("one channel") << 1 << 5;
    QTest::newRow("channels shorter than the curve") << 2 << 3;
    QTest::newRow("empty channels") << 2 << 0;
}

void TestErrorGraph::missingOrShortBaseIsSkipped()
{
    QFETCH(int, channels);
    QFETCH(int, points);
    Fixture f;
    QVector<QVector<double>> base(qMax(channels, 0), QVector<double>(points, 0.0));
    f.graph->mBase = channels < 0 ? nullptr : &base;
    f.graph->mFollowZoom = true;
    f.graph->setData(f.x, f.y);
    QCOMPARE(f.graph->curve()->data()->size(), 5);
    f.wheel(1);
    f.wheel(1);
    f.wheel(1);
    QCOMPARE(f.graph->curve()->data()->at(2)->key, 2.0);
    QCOMPARE(f.graph->curve()->data()->at(2)->value, 2.0);
    QCOMPARE(f.graph->mAxisEnd[0], QVector2D(5, 0));
}

VANTOR_TEST_MAIN(TestErrorGraph)
#include "tst_errorgraph.moc"
