// The measurement base, reference points and segment selection on a real plot
// whose first curves are contour traces, driven by real mouse events.

#include "support/contourtestplot.h"
#include "support/fakemeasurement.h"
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "measurements/plotsegmentselection.h"
#include "measurements/reperpoint.h"
#include "settings/common.h"
#include "settings/settings.h"

#include <QCursor>
#include <QSignalSpy>
#include <cmath>
#include <memory>

using namespace ContourTest;

Q_DECLARE_METATYPE(QCPDataRange)

namespace {

// Two traces of 100 points, x = 0 .. 99: a wave around y = 10 and a gentle
// slope around y = -5. The point (50, 30) lies well away from both.
struct Bench {
    Bench()
    {
        plot.resize(800, 500);
        upper.reset(makeTrace(100, 0, 1, [](double x) { return 10 + 5 * std::sin(x / 8); }));
        lower.reset(makeTrace(100, 0, 1, [](double x) { return -10 + 0.1 * x; }));
        upperCurve = addTraceCurve(&plot, upper.get());
        lowerCurve = addTraceCurve(&plot, lower.get());
        plot.xAxis->setRange(-5, 105);
        plot.yAxis->setRange(-20, 40);
        plot.replot();
    }

    // The wiring the manager makes: selection first, then the controller on
    // moves; measurements connect their own move handlers when created.
    void wire()
    {
        selection = new PlotSegmentSelection(&plot);
        selection->traceCount = 2;
        selection->setEnabled(true);
        controller.reset(new ReperPointController(&plot));
        QObject::connect(&plot, &QCustomPlot::mouseMove, controller.get(), &ReperPointController::mouseMove);
    }

    FakeMeasurement *attach(FakeMeasurement *m)
    {
        QObject::connect(selection, &PlotSegmentSelection::selectionChanged, m, &Measurement::onSegmentSelected);
        QObject::connect(
            m, &Measurement::reperPointChanged, controller.get(), &ReperPointController::reperPointChanged);
        QObject::connect(
            m, &Measurement::reperPointRemoved, controller.get(), &ReperPointController::reperPointRemoved);
        QObject::connect(m, &Measurement::measumentFinished, selection, [this] { selection->setEnabled(true); });
        return m;
    }

    // A finished measurement with one reference point at p.
    FakeMeasurement *anchorAt(const QPointF &p)
    {
        auto *m = attach(new FakeMeasurement(27, &plot, 1));
        m->needsSegment = false;
        m->setReperPoint(0, p);
        m->finish();
        return m;
    }

    PlotWidget plot;
    std::unique_ptr<ContourTrace> upper, lower;
    QCPCurve *upperCurve = nullptr;
    QCPCurve *lowerCurve = nullptr;
    PlotSegmentSelection *selection = nullptr; // child of the plot
    std::unique_ptr<ReperPointController> controller;
};

QPoint truncatedPixel(const PlotWidget &plot, const QPointF &p)
{
    return QPoint(int(plot.xAxis->coordToPixel(p.x())), int(plot.yAxis->coordToPixel(p.y())));
}

} // namespace

class TestMeasurementBase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void idsStartAtOneAndKeepCounting();
    void lifeCycle();
    void labelPositionFollowsDisplayUnit_data();
    void labelPositionFollowsDisplayUnit();
    void segmentRecords();
    void reperPointGuards();
    void rangeRule_data();
    void rangeRule();
    void snapTest_data();
    void snapTest();
    void snappingOnThePlot_data();
    void snappingOnThePlot();
    void unfinishedPointsNeverPull();
    void controllerMap();
    void pickability();
    void dragRanges_data();
    void dragRanges();
    void rightButton();
    void onlyTraceCurvesArePicked();
    void disabledAndCleared();
    void removedCurveStopsTheSelection();
    void handlerOrder();
    void finishPlacing();
    void screenshot();
};

void TestMeasurementBase::initTestCase()
{
    qRegisterMetaType<QCPDataRange>();
    qRegisterMetaType<QCPCurve *>();
    qRegisterMetaType<ReperPoint *>();
}

void TestMeasurementBase::init()
{
    Settings::instance().axis_unit = 0;
    Settings::instance().preferenses.selected_graph_color = QStringLiteral("#ff0000");
}

void TestMeasurementBase::idsStartAtOneAndKeepCounting()
{
    // Must run before any other test creates a measurement.
    QCOMPARE(Measurement::idCounter, 0);
    {
        Bench first;
        FakeMeasurement m(0, &first.plot);
        QCOMPARE(m.id(), 1);
    }
    // A new plot (a new contour window) continues the numbering.
    Bench second;
    FakeMeasurement a(0, &second.plot);
    auto *b = new FakeMeasurement(3, &second.plot);
    delete b;
    FakeMeasurement c(0, &second.plot);
    QCOMPARE(a.id(), 2);
    QCOMPARE(c.id(), 4);
}

void TestMeasurementBase::lifeCycle()
{
    Bench bench;
    bench.wire();
    const int plottablesBefore = bench.plot.plottableCount();
    const int itemsBefore = bench.plot.itemCount();

    auto *m = bench.attach(new FakeMeasurement(2, &bench.plot, 2));
    QVERIFY(m->isMeasurement);
    QVERIFY(!m->isFinished());
    QCOMPARE(m->type(), 2);
    QCOMPARE(bench.plot.plottableCount(), plottablesBefore + 2); // one snap curve per point
    QVERIFY(!m->reperPoints[0]->isVisible());

    QStringList log;
    connect(m, &Measurement::measumentChanged, [&] { log << "changed"; });
    connect(m, &Measurement::reperPointChanged, [&](ReperPoint *) { log << "point"; });
    connect(m, &Measurement::measumentFinished, [&] { log << "finished"; });
    connect(m, &Measurement::reperPointRemoved, [&](ReperPoint *) { log << "removed"; });
    for (ReperPoint *p : m->reperPoints)
        connect(p, &QObject::destroyed, [&] { log << "deleted"; });

    // Drag from point 10 to 20 of the upper trace: one recalculation per move.
    drag(&bench.plot, bench.upperCurve, 10, 20);
    QCOMPARE(m->calculateCount, 10);
    QCOMPARE(m->segmentCount(), 1);
    QCOMPARE(m->segment(0)->begin, quint64(10));
    QCOMPARE(m->segment(0)->end, quint64(20));
    QCOMPARE(m->segment(0)->curve.data(), bench.upperCurve);
    QCOMPARE(m->value(), 10.0);
    QCOMPARE(m->reperPoints[1]->position(), QPointF(19, 10 + 5 * std::sin(19.0 / 8)));
    QStringList perMove = { "point", "point", "changed" };
    QCOMPARE(log.mid(0, 3), perMove);
    QCOMPARE(log.count("changed"), 10);

    // The label follows the mouse.
    move(&bench.plot, QPointF(50, 30));
    QCOMPARE(m->calculateCount, 11);
    const double pixelX = 110.0 / bench.plot.xAxis->axisRect()->width();
    const double pixelY = 60.0 / bench.plot.yAxis->axisRect()->height();
    QVERIFY(std::abs(m->labelPosition().x() - 50) <= pixelX);
    QVERIFY(std::abs(m->labelPosition().y() - 30) <= pixelY);

    // A press places the label and ends placing.
    press(&bench.plot, QPointF(50, 30));
    release(&bench.plot, QPointF(50, 30));
    QVERIFY(m->isFinished());
    QVERIFY(!m->highlighted);
    QCOMPARE(log.count("finished"), 1);

    // Moves after finishing change nothing.
    const QPointF label = m->labelPosition();
    const int calculations = m->calculateCount;
    const int logSize = log.size();
    move(&bench.plot, QPointF(70, -15));
    moveAt(&bench.plot, pixelOfPoint(&bench.plot, bench.lowerCurve, 45), Qt::LeftButton);
    QCOMPARE(m->labelPosition(), label);
    QCOMPARE(m->calculateCount, calculations);
    QCOMPARE(log.size(), logSize);
    QCOMPARE(m->segment(0)->begin, quint64(10));
    QVERIFY(m->isFinished());

    // Deleting announces both points, in list order, before either goes.
    QList<ReperPoint *> announced;
    connect(m, &Measurement::reperPointRemoved, [&](ReperPoint *p) { announced << p; });
    const QList<ReperPoint *> points = m->reperPoints;
    QCOMPARE(bench.controller->pointCount(), 2);
    delete m;
    QCOMPARE(announced, points);
    QCOMPARE(log.mid(log.size() - 4), QStringList({ "removed", "removed", "deleted", "deleted" }));
    QCOMPARE(bench.controller->pointCount(), 0);
    QCOMPARE(bench.plot.plottableCount(), plottablesBefore);
    QCOMPARE(bench.plot.itemCount(), itemsBefore);
}

void TestMeasurementBase::labelPositionFollowsDisplayUnit_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("toMillimetres");
    QTest::newRow("mm") << 0 << 1.0;
    QTest::newRow("um") << 1 << 0.001;
    QTest::newRow("nm") << 2 << 0.000001;
    QTest::newRow("unknown unit counts as mm") << 7 << 1.0;
}

void TestMeasurementBase::labelPositionFollowsDisplayUnit()
{
    QFETCH(int, unit);
    QFETCH(double, toMillimetres);
    Settings::instance().axis_unit = unit;
    PlotWidget plot;
    plot.resize(800, 500);
    plot.xAxis->setRange(0, 2000);
    plot.yAxis->setRange(0, 2000);
    plot.replot();
    FakeMeasurement m(0, &plot);
    m.needsSegment = false;

    const QPoint pixel = pixelOf(&plot, 1000, 500);
    moveAt(&plot, pixel);
    const float x = float(plot.xAxis->pixelToCoord(pixel.x()));
    const float y = float(plot.yAxis->pixelToCoord(pixel.y()));
    QCOMPARE(m.labelX, double(x) * toMillimetres);
    QCOMPARE(m.labelY, double(y) * toMillimetres);
    QCOMPARE_REL(m.labelPosition().x(), double(x), 1e-12);
    QCOMPARE_REL(m.labelPosition().y(), double(y), 1e-12);
    QVERIFY(std::abs(x - 1000) <= 2000.0 / plot.axisRect()->width());
}

void TestMeasurementBase::segmentRecords()
{
    Bench bench;
    FakeMeasurement m(11, &bench.plot);
    QVERIFY(!m.allSegmentsSelected());
    QVERIFY(!m.segment(0));

    // Every intermediate range of a drag overwrites the same record.
    m.storeSegment(3, 9, bench.upperCurve);
    m.storeSegment(4, 12, bench.upperCurve);
    QCOMPARE(m.segmentCount(), 1);
    QCOMPARE(m.segment(0)->begin, quint64(4));
    QVERIFY(m.allSegmentsSelected());

    m.addSegment();
    QCOMPARE(m.segmentCount(), 2);
    QVERIFY(!m.segment(1)->curve);
    QVERIFY(!m.allSegmentsSelected());
    QVERIFY(!m.segment(2));

    // A null curve is ignored; a negative index is clamped rather than wrapped.
    m.onSegmentSelected(QCPDataRange(1, 2), nullptr);
    QVERIFY(!m.segment(1)->curve);
    m.storeSegment(-3, 7, bench.lowerCurve);
    QCOMPARE(m.segment(1)->begin, quint64(0));
    QCOMPARE(m.segment(1)->end, quint64(7));
    QVERIFY(m.allSegmentsSelected());
    QCOMPARE(m.segment(0)->begin, quint64(4));

    // A removed curve no longer counts as selected.
    bench.plot.removePlottable(bench.lowerCurve);
    QVERIFY(!m.segment(1)->curve);
    QVERIFY(!m.allSegmentsSelected());
}

void TestMeasurementBase::reperPointGuards()
{
    Bench bench;
    FakeMeasurement m(0, &bench.plot);
    QSignalSpy changed(&m, &Measurement::reperPointChanged);
    QSignalSpy removed(&m, &Measurement::reperPointRemoved);

    m.removeLastReperPoint(); // nothing to remove: nothing happens
    QCOMPARE(removed.count(), 0);

    m.createReperPoints(2);
    m.setReperPoint(0, QPointF(5, 6));
    m.setReperPoint(1, QPointF(qQNaN(), 1));
    m.setReperPoint(1, QPointF(1, qInf()));
    m.setReperPoint(2, QPointF(1, 1));
    QCOMPARE(changed.count(), 1);
    QVERIFY(m.reperPoints[0]->isVisible());
    QVERIFY(!m.reperPoints[1]->isVisible());
    QCOMPARE(m.reperPoints[0]->curve->data()->size(), 1);

    // Moving a point keeps one point on its snap curve.
    m.setReperPoint(0, QPointF(7, 8));
    QCOMPARE(m.reperPoints[0]->curve->data()->size(), 1);
    QCOMPARE(m.reperPoints[0]->curve->data()->constBegin()->key, 7.0);

    ReperPoint *last = m.reperPoints[1];
    ReperPoint *announced = nullptr;
    connect(&m, &Measurement::reperPointRemoved, [&](ReperPoint *p) { announced = p; });
    const int plottables = bench.plot.plottableCount();
    m.removeLastReperPoint();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(announced, last);
    QCOMPARE(m.reperPoints.size(), 1);
    QCOMPARE(bench.plot.plottableCount(), plottables - 1);
}

void TestMeasurementBase::rangeRule_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("rangeEnd");
    QTest::newRow("forwards") << 10 << 20 << 100 << 10 << 20;
    QTest::newRow("backwards") << 20 << 10 << 100 << 10 << 20;
    QTest::newRow("no move") << 7 << 7 << 100 << 7 << 7;
    // A run that reaches the last point takes it in.
    QTest::newRow("to the last point") << 90 << 99 << 100 << 90 << 100;
    QTest::newRow("from the last point") << 99 << 90 << 100 << 90 << 100;
    QTest::newRow("to the point before the last") << 90 << 98 << 100 << 90 << 98;
    QTest::newRow("never past the curve") << 90 << 140 << 100 << 90 << 100;
}

void TestMeasurementBase::rangeRule()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, count);
    QFETCH(int, begin);
    QFETCH(int, rangeEnd);
    const QCPDataRange r = segmentRange(start, end, count);
    QCOMPARE(r.begin(), begin);
    QCOMPARE(r.end(), rangeEnd);
}

void TestMeasurementBase::snapTest_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<bool>("snaps");
    QTest::newRow("4 in x") << QPoint(104, 50) << QPointF(100, 50) << true;
    QTest::newRow("4 in y, above") << QPoint(100, 46) << QPointF(100, 50) << true;
    QTest::newRow("2 and 2") << QPoint(102, 52) << QPointF(100, 50) << true;
    QTest::newRow("3 and 2 is 5") << QPoint(103, 52) << QPointF(100, 50) << false;
    QTest::newRow("5 in x") << QPoint(95, 50) << QPointF(100, 50) << false;
    QTest::newRow("point pixel truncated") << QPoint(96, 50) << QPointF(100.9, 50.9) << true;
    QTest::newRow("point pixel not finite") << QPoint(0, 0) << QPointF(qInf(), 0) << false;
}

void TestMeasurementBase::snapTest()
{
    QFETCH(QPoint, cursor);
    QFETCH(QPointF, point);
    QFETCH(bool, snaps);
    QCOMPARE(reperPointSnaps(cursor, point), snaps);
}

void TestMeasurementBase::snappingOnThePlot_data()
{
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<bool>("snaps");
    QTest::newRow("4, 0") << QPoint(4, 0) << true;
    QTest::newRow("0, -4") << QPoint(0, -4) << true;
    QTest::newRow("3, 2") << QPoint(3, 2) << false;
    QTest::newRow("-5, 0") << QPoint(-5, 0) << false;
}

void TestMeasurementBase::snappingOnThePlot()
{
    QFETCH(QPoint, offset);
    QFETCH(bool, snaps);
    Bench bench;
    bench.wire();
    std::unique_ptr<FakeMeasurement> anchor(bench.anchorAt(QPointF(50, 30)));
    ReperPoint *point = anchor->reperPoints[0];
    const QPoint at = truncatedPixel(bench.plot, point->position());
    const QPoint parked(3, 3);
    QCursor::setPos(bench.plot.mapToGlobal(parked));

    int replots = 0;
    connect(&bench.plot, &QCustomPlot::afterReplot, [&] { ++replots; });
    moveAt(&bench.plot, at + offset);
    QCOMPARE(point->isHighlighted(), snaps);
    QCOMPARE(QCursor::pos(), bench.plot.mapToGlobal(snaps ? at : parked));
    if (snaps) {
        QCOMPARE(point->tracer->style(), QCPItemTracer::tsCircle);
        QCOMPARE(point->tracer->pen(), Common::kGreenPen);
        // Leaving again restores the normal look with one replot.
        replots = 0;
        moveAt(&bench.plot, at + QPoint(20, 20));
        QVERIFY(!point->isHighlighted());
        QCOMPARE(point->tracer->style(), QCPItemTracer::tsPlus);
        QCOMPARE(point->tracer->pen(), Common::kMagentaDashPen);
        QCOMPARE(replots, 1);
    } else {
        QCOMPARE(replots, 0);
    }
}

void TestMeasurementBase::unfinishedPointsNeverPull()
{
    Bench bench;
    bench.wire();
    auto *m = bench.attach(new FakeMeasurement(27, &bench.plot, 1));
    std::unique_ptr<FakeMeasurement> owner(m);
    m->fixedValue = true;
    m->setReperPoint(0, QPointF(50, 30));
    const QPoint parked(3, 3);
    QCursor::setPos(bench.plot.mapToGlobal(parked));
    moveAt(&bench.plot, truncatedPixel(bench.plot, QPointF(50, 30)) + QPoint(1, 0));
    QVERIFY(!m->reperPoints[0]->isHighlighted());
    QCOMPARE(QCursor::pos(), bench.plot.mapToGlobal(parked));
}

void TestMeasurementBase::controllerMap()
{
    Bench bench;
    bench.wire();
    auto *m = bench.attach(new FakeMeasurement(3, &bench.plot, 2));
    m->setReperPoint(0, QPointF(1, 1));
    m->setReperPoint(0, QPointF(2, 2)); // announced twice, mapped once
    m->setReperPoint(1, QPointF(3, 3));
    QCOMPARE(bench.controller->pointCount(), 2);
    bench.controller->reperPointRemoved(m->reperPoints[0]);
    QCOMPARE(bench.controller->pointCount(), 1);
    bench.controller->reperPointChanged(m->reperPoints[0]);
    delete m;
    QCOMPARE(bench.controller->pointCount(), 0);
}

void TestMeasurementBase::pickability()
{
    Bench bench;
    bench.wire();
    bench.plot.setInteractions(PlotWidget::iRangeSelection);
    std::unique_ptr<FakeMeasurement> anchor(bench.anchorAt(QPointF(50, 30)));
    QCPCurve *snapCurve = anchor->reperPoints[0]->curve;

    const auto markerLandsOnPoint = [&] {
        move(&bench.plot, QPointF(20, 10 + 5 * std::sin(20.0 / 8))); // on a trace first
        move(&bench.plot, QPointF(50.5, 30.5));
        return bench.plot.selectedCurve() == snapCurve;
    };
    QVERIFY(!markerLandsOnPoint());
    bench.controller->makeAllPickable();
    QVERIFY(anchor->reperPoints[0]->isPickable());
    QVERIFY(markerLandsOnPoint());
    bench.controller->makeAllUnpickable();
    QVERIFY(!markerLandsOnPoint());
}

void TestMeasurementBase::dragRanges_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::newRow("forwards") << 10 << 20 << 10 << 20;
    QTest::newRow("backwards") << 20 << 10 << 10 << 20;
    QTest::newRow("to the last point") << 90 << 99 << 90 << 100;
    QTest::newRow("press and release, no move") << 42 << 42 << 42 << 42;
}

void TestMeasurementBase::dragRanges()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, begin);
    QFETCH(int, end);
    Bench bench;
    bench.wire();
    QSignalSpy spy(bench.selection, &PlotSegmentSelection::selectionChanged);
    drag(&bench.plot, bench.upperCurve, from, to);

    // One report per move and one on release.
    QCOMPARE(spy.count(), std::abs(to - from) + 1);
    const QCPDataRange last = spy.last().at(0).value<QCPDataRange>();
    QCOMPARE(last.begin(), begin);
    QCOMPARE(last.end(), end);
    QCOMPARE(spy.last().at(1).value<QCPCurve *>(), bench.upperCurve);
    QVERIFY(!bench.selection->isSelecting());
    if (from != to)
        QCOMPARE(bench.upperCurve->selection(), QCPDataSelection(QCPDataRange(begin, end)));

    // The highlighted run is drawn with the settings' colour, two pixels wide.
    const QPen pen = bench.upperCurve->selectionDecorator()->pen();
    QCOMPARE(pen.color(), QColor("#ff0000"));
    QCOMPARE(pen.widthF(), 2.0);
    QCOMPARE(bench.upperCurve->selectionDecorator()->brush().style(), Qt::NoBrush);
    QCOMPARE(bench.upperCurve->selectable(), QCP::stDataRange);
}

void TestMeasurementBase::rightButton()
{
    Bench bench;
    bench.wire();
    QSignalSpy spy(bench.selection, &PlotSegmentSelection::selectionChanged);
    pressAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 10), Qt::RightButton);
    moveAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 15), Qt::RightButton);
    releaseAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 15), Qt::RightButton);
    QCOMPARE(spy.count(), 0);

    // A right release during a left drag ends it with the range reached.
    pressAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 30));
    moveAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 36), Qt::LeftButton);
    releaseAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 60), Qt::RightButton);
    QCOMPARE(spy.count(), 2);
    const QCPDataRange r = spy.last().at(0).value<QCPDataRange>();
    QCOMPARE(r, QCPDataRange(30, 36));
    QVERIFY(!bench.selection->isSelecting());
}

void TestMeasurementBase::onlyTraceCurvesArePicked()
{
    Bench bench;
    bench.wire();
    // A curve created after the traces, right where the press lands.
    auto *late = new QCPCurve(bench.plot.xAxis, bench.plot.yAxis);
    late->addData(50, 30);
    FakeMeasurement withPoint(0, &bench.plot, 1);
    withPoint.setReperPoint(0, QPointF(50, 30));
    withPoint.makeReperPointsPickable();

    QSignalSpy spy(bench.selection, &PlotSegmentSelection::selectionChanged);
    press(&bench.plot, QPointF(50, 30));
    release(&bench.plot, QPointF(50, 30));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(1).value<QCPCurve *>(), bench.upperCurve);

    // With no trace curves counted nothing is picked.
    bench.selection->traceCount = 0;
    press(&bench.plot, QPointF(50, 30));
    move(&bench.plot, QPointF(60, 12), Qt::LeftButton);
    release(&bench.plot, QPointF(60, 12));
    QCOMPARE(spy.count(), 1);
}

void TestMeasurementBase::disabledAndCleared()
{
    Bench bench;
    bench.wire();
    QSignalSpy spy(bench.selection, &PlotSegmentSelection::selectionChanged);
    drag(&bench.plot, bench.upperCurve, 10, 14);
    QCOMPARE(spy.count(), 5);

    // Switching off keeps the drawn run and ignores the mouse.
    bench.selection->setEnabled(false);
    drag(&bench.plot, bench.upperCurve, 40, 44);
    QCOMPARE(spy.count(), 5);
    QCOMPARE(bench.upperCurve->selection(), QCPDataSelection(QCPDataRange(10, 14)));

    // Switching on clears it.
    bench.selection->setEnabled(true);
    QVERIFY(bench.upperCurve->selection().isEmpty());
}

void TestMeasurementBase::removedCurveStopsTheSelection()
{
    Bench bench;
    bench.wire();
    QSignalSpy spy(bench.selection, &PlotSegmentSelection::selectionChanged);
    pressAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 10));
    const QPoint next = pixelOfPoint(&bench.plot, bench.upperCurve, 12);
    bench.plot.removePlottable(bench.upperCurve);
    moveAt(&bench.plot, next, Qt::LeftButton);
    releaseAt(&bench.plot, next);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!bench.selection->curve);
    bench.selection->clearSelection(); // no curve: nothing to clear, no crash
}

void TestMeasurementBase::handlerOrder()
{
    Bench bench;
    bench.wire();
    // A finished measurement's point sits on point 30 of the upper trace.
    const QCPCurveData p30 = *(bench.upperCurve->data()->constBegin() + 30);
    std::unique_ptr<FakeMeasurement> anchor(bench.anchorAt(QPointF(p30.key, p30.value)));
    ReperPoint *anchorPoint = anchor->reperPoints[0];

    auto *m = bench.attach(new FakeMeasurement(2, &bench.plot));
    std::unique_ptr<FakeMeasurement> owner(m);
    bool selectingAtPress = false;
    m->onPress = [&](QMouseEvent *) { selectingAtPress = bench.selection->isSelecting(); };
    quint64 endSeen = 0;
    bool highlightedSeen = false;
    m->onCalculate = [&] {
        endSeen = m->segments.isEmpty() ? 0 : m->segments.first().end;
        highlightedSeen = anchorPoint->isHighlighted();
    };

    // The press reaches the selection before the measurement.
    pressAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, 25));
    QVERIFY(selectingAtPress);
    // The move onto point 30: the selection stored the new range and the
    // controller highlighted the point before the measurement recalculated.
    for (int i = 26; i <= 30; ++i)
        moveAt(&bench.plot, pixelOfPoint(&bench.plot, bench.upperCurve, i), Qt::LeftButton);
    QCOMPARE(endSeen, quint64(30));
    QVERIFY(highlightedSeen);
}

// Placing a value ends the same way for every kind: the selection marker
// shown, the finished state, the value in the status bar, the finished
// announcement, then the kind's log lines. Without its plot a measurement is
// left as it is.
void TestMeasurementBase::finishPlacing()
{
    class Logged : public FakeMeasurement {
    public:
        using FakeMeasurement::FakeMeasurement;
        QStringList *log = nullptr;

    protected:
        void logFinished() override { *log << (isFinished() ? "logged finished" : "logged early"); }
    };

    Bench bench;
    bench.plot.setInteraction(PlotWidget::iRangeSelection, true); // the marker
    bench.plot.setSelectionMarkerVisible(false);
    auto *m = new Logged(2, &bench.plot);
    m->setValue(2.5);
    m->placingLabel = true;
    QStringList log;
    m->log = &log;
    connect(m, &Measurement::statusText, [&](const QString &text) {
        log << (bench.plot.selectionMarker()->visible() && m->isFinished() ? "marker, finished, " : "") + text;
    });
    connect(m, &Measurement::measumentFinished, [&] { log << "announced"; });

    m->finishPlacing();
    QCOMPARE(log, QStringList({ QString::fromUtf8("marker, finished, Фейк: 2.5000мм"), "announced", "logged finished" }));
    m->finishPlacing();
    QCOMPARE(log.size(), 3);
    delete m;

    auto plot = std::make_unique<PlotWidget>();
    auto *orphan = new Logged(2, plot.get());
    orphan->log = &log;
    orphan->placingLabel = true;
    plot.reset();
    orphan->finishPlacing();
    QVERIFY(!orphan->isFinished());
    QCOMPARE(log.size(), 3);
    delete orphan;
}

void TestMeasurementBase::screenshot()
{
    Bench bench;
    bench.wire();
    bench.plot.setInteractions(PlotWidget::iRangeSelection);
    const QCPCurveData p70 = *(bench.upperCurve->data()->constBegin() + 70);
    std::unique_ptr<FakeMeasurement> anchor(bench.anchorAt(QPointF(p70.key, p70.value)));
    std::unique_ptr<FakeMeasurement> m(bench.attach(new FakeMeasurement(2, &bench.plot, 2)));
    drag(&bench.plot, bench.upperCurve, 20, 45);
    // Hover over the finished point: it turns into a green circle.
    moveAt(&bench.plot, truncatedPixel(bench.plot, QPointF(p70.key, p70.value)) + QPoint(2, 1));
    QVERIFY(anchor->reperPoints[0]->isHighlighted());
    QVERIFY(m->reperPoints[0]->isVisible() && !m->reperPoints[0]->isHighlighted());
    bench.plot.replot();
    const QString path = saveScreenshot(&bench.plot, QStringLiteral("measurement_base_segment"));
    QVERIFY(QFileInfo::exists(path));
}

VANTOR_TEST_MAIN(TestMeasurementBase)
#include "tst_measurementbase.moc"
