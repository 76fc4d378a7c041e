#include "support/testmain.h"

#include "algos/fitting.h"
#include "plot/adaptivecurve.h"
#include "plot/plotwidget.h"
#include "plot/tracegraphsholder.h"
#include "plot/xaxismarker.h"
#include "plottesthelpers.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"

#include "support/scriptedprompts.h"

#include <cmath>
#include <memory>

using namespace PlotTest;

namespace {

// A profile of n points 0.5 µm apart: y = f(x) in µm.
template <typename F> std::unique_ptr<ProfileTrace> makeTrace(int n, F f)
{
    auto trace = std::make_unique<ProfileTrace>();
    for (int i = 0; i < n; ++i) {
        QVector<double> point { i * 0.5, f(i * 0.5) };
        trace->addPoint(point);
    }
    return trace;
}

// A profile-like trace: form, waviness, roughness and a little noise.
double realisticProfile(double x)
{
    return 2e-7 * (x - 2000) * (x - 2000) + 1.5 * std::sin(x / 400) + 0.6 * std::sin(x / 23)
        + 0.25 * std::sin(x / 7.3 + 1) + 0.05 * std::sin(x * 1.7);
}

struct Plots {
    std::unique_ptr<QWidget> owner = std::make_unique<QWidget>();
    PlotWidget *main = new PlotWidget(owner.get());
    PlotWidget *hist = new PlotWidget(owner.get());
    PlotWidget *ratio = new PlotWidget(owner.get());

    Plots()
    {
        main->setGeometry(0, 0, 900, 400);
        hist->setGeometry(900, 0, 250, 400);
        ratio->setGeometry(1150, 0, 250, 400);
        owner->resize(1400, 400);
    }
    int plottables() const { return main->plottableCount() + hist->plottableCount() + ratio->plottableCount(); }
    int items() const { return main->itemCount() + hist->itemCount() + ratio->itemCount(); }
};

} // namespace

class TestTraceGraphsHolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        Settings::instance().preferenses.histogramm_density_value = 10;
        Settings::instance().preferenses.selected_graph_color = "#ff0000";
    }
    void constructionAndRemoval();
    void unitFactor_data();
    void unitFactor();
    void rLineAndFormSubtraction();
    void histogramAndMaterialRatio();
    void histogramStoredOnlyForProfileKinds_data();
    void histogramStoredOnlyForProfileKinds();
    void contourTraceHasNoProfileParts();
    void materialRatioByHand();
    void markersFollowSelectionAndCrop();
    void emptySelectionHidesMarkers();
    void cursorAtNearestRatioPoint();
    void visibilityPensAndPoints();
    void allowedCutOffs_data();
    void allowedCutOffs();
    void screenshot();
};

void TestTraceGraphsHolder::constructionAndRemoval()
{
    Plots p;
    const int plottablesBefore = p.plottables();
    const int itemsBefore = p.items();
    auto trace = makeTrace(100, [](double x) { return std::sin(x); });
    auto holder = std::make_unique<TraceGraphsHolder>(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);

    QCOMPARE(p.main->curveCount(), 1);
    QCOMPARE(p.main->curve(), static_cast<QCPCurve *>(holder->curve()));
    QCOMPARE(holder->curve()->selectable(), QCP::stDataRange);
    for (QCPAbstractPlottable *graph : { static_cast<QCPAbstractPlottable *>(holder->curve()),
             static_cast<QCPAbstractPlottable *>(holder->histogramGraph()),
             static_cast<QCPAbstractPlottable *>(holder->ratioGraph()) })
        QCOMPARE(graph->property("gholder").value<TraceGraphsHolder *>(), holder.get());
    QCOMPARE(holder->histogramGraph()->keyAxis(), p.hist->yAxis);
    QCOMPARE(holder->ratioGraph()->keyAxis(), p.ratio->yAxis);
    QVERIFY(!holder->formGraph()->visible());
    QCOMPARE(holder->formGraph()->selectable(), QCP::stNone);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!holder->levelLine(i)->visible());
        QVERIFY(!holder->cursorLine(i)->visible());
    }
    QCOMPARE(holder->mHistogramDensity, 10);
    QCOMPARE(holder->unit(), QString::fromUtf8("мм"));
    QCOMPARE(holder->unitFactor(), 1.0);
    QCOMPARE(holder->startMarker()->line()->pen(), Common::kMagentaDashPen);
    QCOMPARE(holder->endMarker()->label()->pen(), Common::kMagentaDashPen);

    holder.reset();
    QCOMPARE(p.plottables(), plottablesBefore);
    QCOMPARE(p.items(), itemsBefore);
    QCOMPARE(p.main->curveCount(), 0);
}

void TestTraceGraphsHolder::unitFactor_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("factor");
    QTest::newRow("мм") << QString::fromUtf8("мм") << 0.001;
    QTest::newRow("мкм") << QString::fromUtf8("мкм") << 1.0;
    QTest::newRow("нм") << QString::fromUtf8("нм") << 1000.0;
    QTest::newRow("other text keeps the factor") << QString("MM") << 0.001;
}

void TestTraceGraphsHolder::unitFactor()
{
    QFETCH(QString, unit);
    QFETCH(double, factor);
    Plots p;
    auto trace = makeTrace(20, [](double x) { return 2 * x; });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.setUnit(QString::fromUtf8("мм"), true);
    holder.setUnit(unit, true);
    QCOMPARE(holder.unitFactor(), factor);
    QCOMPARE(holder.curve()->data()->size(), 20);
    QCOMPARE(holder.curve()->data()->at(5)->key, 2.5 * factor);
    QCOMPARE(holder.curve()->data()->at(5)->value, 5.0 * factor);
}

void TestTraceGraphsHolder::rLineAndFormSubtraction()
{
    Plots p;
    // A parabola plus a ripple: the order-2 fit finds the parabola.
    auto form = [](double x) { return 0.01 * x * x - 0.5 * x + 3; };
    auto trace = makeTrace(400, [&](double x) { return form(x) + 0.2 * std::sin(x * 3); });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.setUnit(QString::fromUtf8("мкм"), false);

    holder.updateTraceGraph(true, false);
    QVERIFY(holder.mRLine);
    double sum = 0;
    for (double y : holder.y())
        sum += y * y;
    const double rms = std::sqrt(sum / holder.y().size());
    QCOMPARE(holder.rms(), rms);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(holder.levelLine(i)->visible());
        QCOMPARE(holder.levelLine(i)->point1->coords(), QPointF(0, rms));
        QCOMPARE(holder.levelLine(i)->point2->coords(), QPointF(0.01, rms));
        QCOMPARE(holder.levelLine(i)->pen(), QPen(QBrush(Qt::red), 1, Qt::DotLine));
    }
    QVERIFY(!holder.formGraph()->visible());

    holder.updateTraceGraph(true, true);
    QVERIFY(holder.mRFit);
    // Measured minus form plus RMS: the ripple around the RMS level.
    for (int i = 0; i < holder.x().size(); i += 37) {
        const double x = holder.x()[i];
        QVERIFY(qAbs(holder.y()[i] - (0.2 * std::sin(x * 3) + rms)) < 0.02);
    }

    holder.updateTraceGraph(false, false);
    QVERIFY(holder.formGraph()->visible());
    QCOMPARE(holder.formGraph()->dataCount(), 0);
    QVERIFY(!holder.levelLine(0)->visible());
}

void TestTraceGraphsHolder::histogramAndMaterialRatio()
{
    Plots p;
    auto trace = makeTrace(2000, [](double x) { return std::sin(x / 20); });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.setUnit(QString::fromUtf8("мм"), true);
    p.main->xAxis->setRange(0, 1);
    p.main->yAxis->setRange(-0.002, 0.002);
    holder.updateHistogram();

    QVERIFY(holder.histogramGraph()->dataCount() > 0);
    QCOMPARE(holder.histogramGraph()->pen().style(), Qt::NoPen);
    QCOMPARE(holder.histogramGraph()->brush(), QBrush(QColor(10, 140, 70, 160), Qt::SolidPattern));
    // Stored for the trace in micrometres.
    QCOMPARE(trace->histogram.size(), 2);
    QCOMPARE(trace->histogram[0].size(), holder.histogramGraph()->dataCount());
    QCOMPARE(trace->histogram[0].first(), holder.histogramGraph()->data()->at(0)->key / 0.001);

    QCOMPARE(holder.ratioLevels().size(), 100);
    QCOMPARE(holder.ratioLevels().first(), -0.002);
    QVERIFY(qAbs(holder.ratioLevels()[1] - (-0.002 + 0.004 / 100)) < 1e-15);
    QVERIFY(qAbs(holder.ratioLevels().last() - (0.002 - 0.004 / 100)) < 1e-15);
    QCOMPARE(holder.ratioGraph()->dataCount(), 100);
    // Below every point the whole area counts: 100 %; the ratio falls as the level rises.
    QCOMPARE(holder.ratio().first(), 100.0);
    for (int k = 1; k < 100; ++k)
        QVERIFY(holder.ratio()[k] <= holder.ratio()[k - 1]);
    QCOMPARE(holder.ratio().last(), 0.0);
}

void TestTraceGraphsHolder::histogramStoredOnlyForProfileKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("stored");
    QTest::newRow("PROFILE") << int(PROFILE) << true;
    QTest::newRow("ADDITIONAL_TRACE") << int(ADDITIONAL_TRACE) << true;
    QTest::newRow("CONTOUR") << int(CONTOUR) << false;
}

void TestTraceGraphsHolder::histogramStoredOnlyForProfileKinds()
{
    QFETCH(int, kind);
    QFETCH(bool, stored);
    Plots p;
    auto trace = makeTrace(500, [](double x) { return std::sin(x); });
    trace->setTraceType(kind);
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.updateTraceGraph(false, false);
    p.main->rescaleAxes();
    holder.updateHistogram();
    QVERIFY(holder.histogramGraph()->dataCount() > 0);
    QCOMPARE(!trace->histogram.isEmpty(), stored);
}

// A holder of a contour trace (a sibling class of the profile trace, with
// three channels) draws it and crops it like any other, and leaves out what
// belongs to profiles: no histogram kept, no cut-off check asked.
void TestTraceGraphsHolder::contourTraceHasNoProfileParts()
{
    Plots p;
    ScriptedPrompts prompts; // fails on any question
    ContourTrace trace;
    trace.setTraceType(CONTOURPROF);
    for (int i = 0; i < 400; ++i) {
        QVector<double> point { i * 10.0, 50 * std::sin(i / 20.0), 0 };
        trace.addPoint(point);
    }
    TraceGraphsHolder holder(p.owner.get(), &trace, p.main, p.hist, p.ratio);
    QCOMPARE(holder.trace(), &trace);
    holder.setUnit(QStringLiteral("мкм"), false);
    holder.updateTraceGraph(true, true);
    QCOMPARE(holder.curve()->dataCount(), 400);
    p.main->rescaleAxes();
    holder.updateHistogram();
    QVERIFY(holder.histogramGraph()->dataCount() > 0);
    holder.checkFilter();
    QCOMPARE(prompts.calls().size(), 0);
    holder.curve()->setSelection(QCPDataSelection(QCPDataRange(100, 200)));
    holder.cropToSelection();
    QCOMPARE(trace.pointCount(), 100);
    QCOMPARE(holder.curve()->dataCount(), 100);
}

void TestTraceGraphsHolder::materialRatioByHand()
{
    // Pairs (0,1), (1,2), (2,3) count; (3,4) ends at the last point and does not.
    // Areas by the trapezoid of |y_i + y_i+1| / 2 over a step of 1: 1.5, 2.5, 2.5.
    const QVector<double> x { 0, 1, 2, 3, 4 };
    const QVector<double> y { 1, 2, 3, 2, 9 };
    const QVector<double> levels { 0, 1, 1.5, 2, 2.5, 3 };
    // Above 0: all three (6.5); above 1 and 1.5: the pairs starting at 2 and 3
    // (5); above 2 and 2.5: the pair starting at 3 (2.5); above 3: none.
    const QVector<double> expected { 100, 5 / 6.5 * 100, 5 / 6.5 * 100, 2.5 / 6.5 * 100, 2.5 / 6.5 * 100, 0 };
    const QVector<double> ratio = materialRatioAtLevels(x, y, levels);
    QCOMPARE(ratio.size(), expected.size());
    for (int k = 0; k < ratio.size(); ++k)
        QVERIFY2(qAbs(ratio[k] - expected[k]) < 1e-12, qPrintable(QString::number(k)));

    const QVector<double> flat = materialRatioAtLevels(x, QVector<double>(5, 0.0), levels);
    QVERIFY(std::isnan(flat.first()));
}

void TestTraceGraphsHolder::markersFollowSelectionAndCrop()
{
    Plots p;
    auto trace = makeTrace(40, [](double x) { return x * x; });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.setUnit(QString::fromUtf8("мкм"), true);

    holder.curve()->setSelection(QCPDataSelection(QCPDataRange(10, 20)));
    QVERIFY(holder.markersShown());
    QCOMPARE(holder.startMarker()->x(), 5.0);
    QCOMPARE(holder.endMarker()->x(), 9.5);
    QCOMPARE(holder.endMarker()->line()->point1->coords(), QPointF(9.5, 0));
    QCOMPARE(holder.endMarker()->label()->text(), QString("9.5"));
    QCOMPARE(holder.endMarker()->label()->position->coords(), QPointF(9.5, 0));
    QVERIFY(holder.startMarker()->line()->visible());

    // The crop keeps both ends of the selection: points 10 to 19.
    holder.cropToSelection();
    QCOMPARE(trace->pointCount(), 10);
    QCOMPARE(trace->processedData->at(0).first(), 5.0);
    QCOMPARE(trace->processedData->at(0).last(), 9.5);
    QCOMPARE(holder.curve()->data()->size(), 10);
    QVERIFY(!holder.markersShown());
    QVERIFY(!holder.endMarker()->label()->visible());
}

void TestTraceGraphsHolder::emptySelectionHidesMarkers()
{
    Plots p;
    auto trace = makeTrace(40, [](double x) { return x; });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.updateTraceGraph(false, false);
    holder.curve()->setSelection(QCPDataSelection(QCPDataRange(3, 8)));
    holder.curve()->setSelection(QCPDataSelection());
    QVERIFY(!holder.markersShown());
    holder.setVisible(true);
    QVERIFY(!holder.startMarker()->line()->visible());
    QVERIFY(!holder.endMarker()->label()->visible());

    holder.cropToSelection(); // nothing selected: nothing cropped
    QCOMPARE(trace->pointCount(), 40);
}

void TestTraceGraphsHolder::cursorAtNearestRatioPoint()
{
    Plots p;
    auto trace = makeTrace(10, [](double x) { return x; });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    // (level, ratio) points: the second is nearer in level but farther in ratio.
    holder.ratioGraph()->setData({ 1.0, 1.2, 3.0 }, { 50.0, 90.0, 10.0 });

    holder.showCursorAt(52, 1.3);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(holder.cursorLine(i)->visible());
        QCOMPARE(holder.cursorLine(i)->point1->coords(), QPointF(0, 1.0));
        QCOMPARE(holder.cursorLine(i)->pen(), QPen(QBrush(Qt::blue), 1, Qt::DotLine));
    }
    holder.showCursorAt(60, 2.9); // level 3.0 is nearer in level but farther in ratio
    QCOMPARE(holder.cursorLine(2)->point2->coords(), QPointF(0.01, 1.0));
    holder.showCursorAt(11, 2.9); // nearer in both
    QCOMPARE(holder.cursorLine(2)->point2->coords(), QPointF(0.01, 3.0));
    holder.ratioGraph()->data()->clear();
    holder.showCursorAt(11, 2.9);
    QCOMPARE(holder.cursorLine(0)->point1->coords(), QPointF(0, 0));
}

void TestTraceGraphsHolder::visibilityPensAndPoints()
{
    Plots p;
    auto trace = makeTrace(40, [](double x) { return x; });
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.updateTraceGraph(true, false);
    holder.showCursorAt(0, 0);
    holder.curve()->setSelection(QCPDataSelection(QCPDataRange(3, 8)));

    holder.setVisible(false);
    QVERIFY(!holder.isVisible());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!holder.levelLine(i)->visible());
        QVERIFY(!holder.cursorLine(i)->visible());
    }
    QVERIFY(!holder.histogramGraph()->visible());
    QVERIFY(!holder.ratioGraph()->visible());
    QVERIFY(!holder.startMarker()->line()->visible());
    QVERIFY(!holder.formGraph()->visible());
    holder.setVisible(true);
    QVERIFY(holder.isVisible());
    QVERIFY(holder.levelLine(1)->visible());
    QVERIFY(holder.endMarker()->label()->visible());
    QVERIFY(!holder.formGraph()->visible()); // the R-line is in use

    holder.applySelectedPens();
    const QPen selected(QColor("#ff0000"), 1, Qt::SolidLine);
    QCOMPARE(holder.curve()->pen(), selected);
    QCOMPARE(holder.histogramGraph()->pen(), selected);
    QCOMPARE(holder.ratioGraph()->pen(), selected);
    holder.applyNormalPens();
    QCOMPARE(holder.curve()->pen(), Common::kBlackPen);
    QCOMPARE(holder.ratioGraph()->pen(), Common::kBlackPen);

    holder.setPointsMode(true);
    QCOMPARE(holder.curve()->lineStyle(), QCPCurve::lsNone);
    QCOMPARE(holder.curve()->scatterStyle().shape(), QCPScatterStyle::ssCircle);
    QCOMPARE(holder.curve()->scatterStyle().size(), 1.0);
    holder.setPointsMode(false);
    QCOMPARE(holder.curve()->lineStyle(), QCPCurve::lsLine);
    QVERIFY(holder.curve()->scatterStyle().isNone());
}

void TestTraceGraphsHolder::allowedCutOffs_data()
{
    QTest::addColumn<int>("recommended");
    QTest::addColumn<double>("length");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("expected");
    QTest::newRow("fits") << 800 << 3000.0 << 2500 << 800;
    QTest::newRow("exactly two cut-offs long") << 2500 << 5000.0 << 800 << 2500;
    QTest::newRow("too long for the trace: nearest that fits") << 2500 << 4000.0 << 80 << 800;
    QTest::newRow("unknown standard (0): nearest is the shortest") << 0 << 4000.0 << 800 << 80;
    QTest::newRow("nothing fits: current") << 800 << 100.0 << 250 << 250;
}

void TestTraceGraphsHolder::allowedCutOffs()
{
    QFETCH(int, recommended);
    QFETCH(double, length);
    QFETCH(int, current);
    QFETCH(int, expected);
    QCOMPARE(allowedCutOff(recommended, length, current), expected);
}

void TestTraceGraphsHolder::screenshot()
{
    // Not a check of pixels: a picture of a holder's three plots for a person.
    Plots p;
    auto trace = makeTrace(8000, realisticProfile);
    TraceGraphsHolder holder(p.owner.get(), trace.get(), p.main, p.hist, p.ratio);
    holder.setUnit(QString::fromUtf8("мкм"), false);
    holder.updateTraceGraph(true, false);
    holder.curve()->setSelection(QCPDataSelection(QCPDataRange(2000, 5000)));
    p.main->rescaleAxes();
    p.main->yAxis->scaleRange(1.2);
    holder.updateHistogram();
    p.hist->rescaleAxes();
    p.ratio->rescaleAxes();
    holder.showCursorAt(50, holder.ratioLevels().at(50));
    for (PlotWidget *plot : { p.main, p.hist, p.ratio })
        plot->replot();

    const QImage image = p.owner->grab().toImage();
    QVERIFY(!image.isNull());
    const QString dir = qEnvironmentVariable("VANTOR_BINARY_DIR", QDir::currentPath());
    const QString path = QDir(dir).filePath("trace_graphs_holder.png");
    QVERIFY2(image.save(path), qPrintable(path));
    qInfo() << "screenshot:" << path;
}

VANTOR_TEST_MAIN(TestTraceGraphsHolder)
#include "tst_tracegraphsholder.moc"
