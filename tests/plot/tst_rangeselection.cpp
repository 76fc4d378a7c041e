#include "support/testmain.h"

#include "plot/plotwidget.h"
#include "plot/rangeselectionrect.h"
#include "plottesthelpers.h"

#include <memory>

using namespace PlotTest;

namespace {

// Two horizontal curves of 30 points, A at y = 2 and B at y = -2.
struct TwoCurves {
    std::unique_ptr<PlotWidget> plot = std::make_unique<PlotWidget>();
    QCPCurve *a = nullptr;
    QCPCurve *b = nullptr;

    TwoCurves()
    {
        plot->resize(620, 420);
        plot->xAxis->setRange(-1, 30);
        plot->yAxis->setRange(-5, 5);
        a = addCurve(plot.get(), 30, [](int) { return 2.0; });
        b = addCurve(plot.get(), 30, [](int) { return -2.0; });
        a->setSelectable(QCP::stDataRange);
        b->setSelectable(QCP::stDataRange);
        plot->show();
        plot->replot();
    }
    QPoint at(double key, double value) const { return pixelOf(plot.get(), key, value); }
};

QCPDataSelection range(int begin, int end)
{
    return QCPDataSelection(QCPDataRange(begin, end));
}

} // namespace

class TestRangeSelection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rangeForwardsAndBackwards_data();
    void rangeForwardsAndBackwards();
    void cursorLeavingAxisRectKeepsRange();
    void selectModeAtReleaseSelectsNothingInRangeMode();
    void modes_data();
    void modes();
    void realtimeToZoomStopsSelecting();
    void noneDuringDragCancels();
    void rectangleHiddenWhileMarkerExists();
};

void TestRangeSelection::rangeForwardsAndBackwards_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QCPDataSelection>("backwards");
    QTest::addColumn<bool>("otherStaysSelected");
    QTest::newRow("plain") << false << int(Qt::NoModifier) << range(4, 10) << false;
    QTest::newRow("keep selections") << true << int(Qt::NoModifier) << range(4, 10) << true;
    // The multi-select modifier makes each step additive on the target (the
    // library's toggling), but does not keep the other curve's selection.
    QTest::newRow("multi-select modifier") << false << int(Qt::ControlModifier) << range(4, 20) << false;
}

void TestRangeSelection::rangeForwardsAndBackwards()
{
    QFETCH(bool, keep);
    QFETCH(int, modifiers);
    QFETCH(QCPDataSelection, backwards);
    QFETCH(bool, otherStaysSelected);
    const auto mods = Qt::KeyboardModifiers(modifiers);

    TwoCurves f;
    auto flags = PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection;
    if (keep)
        flags |= PlotWidget::iKeepSelections;
    f.plot->setInteractions(flags);
    f.plot->setSelectionRectMode(PlotWidget::srmSelectRealtime);
    f.b->setSelection(range(0, 30));
    QSignalSpy byUser(f.plot.get(), &QCustomPlot::selectionChangedByUser);

    press(f.plot.get(), f.at(10, 2.3), mods);
    move(f.plot.get(), f.at(10, 2.5), Qt::LeftButton, mods);
    QCOMPARE(f.plot->rangeSelectionRect()->targetCurve(), f.a);
    move(f.plot.get(), f.at(20, 1), Qt::LeftButton, mods);
    QCOMPARE(f.a->selection(), range(10, 20));
    QCOMPARE(f.b->selected(), otherStaysSelected);
    QVERIFY(byUser.count() >= 1);

    move(f.plot.get(), f.at(4, 0.5), Qt::LeftButton, mods);
    QCOMPARE(f.a->selection(), backwards);
    release(f.plot.get(), f.at(4, 0.5), mods);
    QCOMPARE(f.b->selected(), otherStaysSelected);
}

void TestRangeSelection::cursorLeavingAxisRectKeepsRange()
{
    TwoCurves f;
    f.plot->setInteractions(PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection);
    f.plot->setSelectionRectMode(PlotWidget::srmSelectRealtime);

    press(f.plot.get(), f.at(10, 2));
    move(f.plot.get(), f.at(10, 2), Qt::LeftButton);
    move(f.plot.get(), f.at(20, 2), Qt::LeftButton);
    QCOMPARE(f.a->selection(), range(10, 20));
    // A drag that reaches the curve's last point (29) takes it in.
    move(f.plot.get(), f.at(29, 2), Qt::LeftButton);
    QCOMPARE(f.a->selection(), range(10, 30));
    move(f.plot.get(), f.at(20, 2), Qt::LeftButton);
    QCOMPARE(f.a->selection(), range(10, 20));

    const QRect inside = f.plot->axisRect()->rect();
    const QPoint outside(inside.right() + 20, inside.center().y());
    move(f.plot.get(), outside, Qt::LeftButton);
    QCOMPARE(f.a->selection(), range(10, 20));
    release(f.plot.get(), outside);
    QCOMPARE(f.a->selection(), range(10, 20));
}

void TestRangeSelection::selectModeAtReleaseSelectsNothingInRangeMode()
{
    // With srmSelect the only call comes at release, where anchor and cursor coincide.
    TwoCurves f;
    f.plot->setInteractions(PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection);
    f.plot->setSelectionRectMode(PlotWidget::srmSelect);
    press(f.plot.get(), f.at(3, 2));
    move(f.plot.get(), f.at(15, 2), Qt::LeftButton);
    QVERIFY(!f.a->selected());
    release(f.plot.get(), f.at(15, 2));
    QCOMPARE(f.plot->rangeSelectionRect()->targetCurve(), f.a);
    QVERIFY(!f.a->selected());
}

void TestRangeSelection::modes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("rectStarts");
    QTest::addColumn<bool>("selectedWhileDragging");
    QTest::addColumn<bool>("selectedAfterRelease");
    QTest::addColumn<bool>("zoomed");
    QTest::newRow("srmNone") << int(PlotWidget::srmNone) << false << false << false << false;
    QTest::newRow("srmZoom") << int(PlotWidget::srmZoom) << true << false << false << true;
    QTest::newRow("srmSelect") << int(PlotWidget::srmSelect) << true << false << true << false;
    QTest::newRow("srmSelectRealtime") << int(PlotWidget::srmSelectRealtime) << true << true << true << false;
    QTest::newRow("srmCustom") << int(PlotWidget::srmCustom) << true << false << false << false;
}

void TestRangeSelection::modes()
{
    QFETCH(int, mode);
    QFETCH(bool, rectStarts);
    QFETCH(bool, selectedWhileDragging);
    QFETCH(bool, selectedAfterRelease);
    QFETCH(bool, zoomed);

    TwoCurves f;
    f.plot->setInteractions(PlotWidget::iSelectPlottables);
    f.plot->setSelectionRectMode(PlotWidget::SelectionRectMode(mode));
    QCOMPARE(int(f.plot->selectionRectMode()), mode);
    int accepted = 0;
    connect(f.plot->selectionRect(), &QCPSelectionRect::accepted, [&] { ++accepted; });
    const QCPRange before = f.plot->xAxis->range();

    // A rectangle around points 5 to 15 of curve A only.
    press(f.plot.get(), f.at(4.5, 3));
    move(f.plot.get(), f.at(10, 1), Qt::LeftButton);
    move(f.plot.get(), f.at(15.5, 1), Qt::LeftButton);
    QCOMPARE(f.a->selected(), selectedWhileDragging);
    release(f.plot.get(), f.at(15.5, 1));

    QCOMPARE(accepted, rectStarts ? 1 : 0);
    QCOMPARE(f.a->selected(), selectedAfterRelease);
    if (selectedAfterRelease)
        QCOMPARE(f.a->selection(), range(5, 16));
    QVERIFY(!f.b->selected());
    QCOMPARE(f.plot->xAxis->range() != before, zoomed);
}

void TestRangeSelection::realtimeToZoomStopsSelecting()
{
    TwoCurves f;
    f.plot->setInteractions(PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection);
    f.plot->setSelectionRectMode(PlotWidget::srmSelectRealtime);
    f.plot->setSelectionRectMode(PlotWidget::srmZoom);

    press(f.plot.get(), f.at(5, 2));
    move(f.plot.get(), f.at(6, 2), Qt::LeftButton);
    move(f.plot.get(), f.at(15, 0), Qt::LeftButton);
    QVERIFY(!f.a->selected());
    release(f.plot.get(), f.at(15, 0));
    QVERIFY(!f.a->selected());
    QVERIFY(qAbs(f.plot->xAxis->range().lower - 5) < 0.1);
    QVERIFY(qAbs(f.plot->xAxis->range().upper - 15) < 0.1);
}

void TestRangeSelection::noneDuringDragCancels()
{
    TwoCurves f;
    f.plot->setInteractions(PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection);
    f.plot->setSelectionRectMode(PlotWidget::srmSelectRealtime);
    int canceled = 0;
    connect(f.plot->selectionRect(), &QCPSelectionRect::canceled, [&] { ++canceled; });
    press(f.plot.get(), f.at(5, 2));
    move(f.plot.get(), f.at(5, 2), Qt::LeftButton);
    move(f.plot.get(), f.at(9, 2), Qt::LeftButton);
    QVERIFY(f.plot->selectionRect()->isActive());
    f.plot->setSelectionRectMode(PlotWidget::srmNone);
    QCOMPARE(canceled, 1);
    QVERIFY(!f.plot->selectionRect()->isActive());
    move(f.plot.get(), f.at(20, 2), Qt::LeftButton);
    release(f.plot.get(), f.at(20, 2));
    QCOMPARE(f.a->selection(), range(5, 9));
}

void TestRangeSelection::rectangleHiddenWhileMarkerExists()
{
    TwoCurves f;
    f.plot->selectionRect()->setBrush(QBrush(Qt::red));
    f.plot->setSelectionRectMode(PlotWidget::srmCustom);

    auto rectPixelDuringDrag = [&]() {
        press(f.plot.get(), f.at(5, 4));
        move(f.plot.get(), f.at(15, 0), Qt::LeftButton);
        const QImage image = f.plot->toPixmap().toImage();
        release(f.plot.get(), f.at(15, 0));
        return image.pixelColor(f.at(10, 3.5));
    };

    QCOMPARE(rectPixelDuringDrag(), QColor(Qt::red));
    f.plot->setInteractions(PlotWidget::iRangeSelection);
    QCOMPARE(rectPixelDuringDrag(), QColor(Qt::white));
    f.plot->setInteractions(PlotWidget::iSelectPlottables);
    QCOMPARE(rectPixelDuringDrag(), QColor(Qt::red));
}

VANTOR_TEST_MAIN(TestRangeSelection)
#include "tst_rangeselection.moc"
