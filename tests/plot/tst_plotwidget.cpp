#include "support/testmain.h"

#include "plot/plotwidget.h"
#include "plot/rangeselectionrect.h"
#include "plot/suffixaxisticker.h"
#include "plottesthelpers.h"

#include <memory>

using namespace PlotTest;

namespace {

const PlotWidget::Interactions kMarkerOn = PlotWidget::iSelectPlottables | PlotWidget::iRangeSelection;

std::unique_ptr<PlotWidget> makePlot()
{
    auto plot = std::make_unique<PlotWidget>();
    plot->resize(600, 400);
    plot->xAxis->setRange(-1, 31);
    plot->yAxis->setRange(-10, 10);
    plot->show();
    plot->replot();
    return plot;
}

// A curve that counts how often it is drawn.
class CountingCurve : public QCPCurve {
public:
    using QCPCurve::QCPCurve;
    int draws = 0;

protected:
    void draw(QCPPainter *painter) override
    {
        ++draws;
        QCPCurve::draw(painter);
    }
};

// An item that counts how often its layer draws it.
class CountingItem : public QCPItemLine {
public:
    using QCPItemLine::QCPItemLine;
    int draws = 0;

protected:
    void draw(QCPPainter *painter) override
    {
        ++draws;
        QCPItemLine::draw(painter);
    }
};

} // namespace

class TestPlotWidget : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ownFlagsAndModesInMetaEnums();
    void layersAndMarkerLook();
    void markerLifeCycle();
    void clearingAbsentFlagIsSilent();
    void storedPointLagsOneMove();
    void onlySelectableCurvesAttractMarker();
    void wholePixelTieRule_data();
    void wholePixelTieRule();
    void cursorOutsideAxisRectKeepsPoint();
    void storedCurveNeverDangles();
    void markerMoveRepaintsOnlyOverlay2();
    void tickLabelsCarrySuffix();
    void tickDecimals_data();
    void tickDecimals();
    void closeTicksReadApart();
};

void TestPlotWidget::ownFlagsAndModesInMetaEnums()
{
    const QMetaObject &mo = PlotWidget::staticMetaObject;
    const QMetaEnum flags = mo.enumerator(mo.indexOfEnumerator("Interactions"));
    QVERIFY(flags.isValid());
    QCOMPARE(flags.keyCount(), 10);
    QCOMPARE(QByteArray(flags.key(8)), QByteArray("iKeepSelections"));
    QCOMPARE(flags.value(8), 0x100);
    QCOMPARE(QByteArray(flags.key(9)), QByteArray("iRangeSelection"));
    QCOMPARE(flags.value(9), 0x200);

    const QMetaEnum modes = mo.enumerator(mo.indexOfEnumerator("SelectionRectMode"));
    const QList<QByteArray> names { "srmNone", "srmZoom", "srmSelect", "srmSelectRealtime", "srmCustom" };
    QCOMPARE(modes.keyCount(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(QByteArray(modes.key(i)), names.at(i));
        QCOMPARE(modes.value(i), i);
    }
}

void TestPlotWidget::layersAndMarkerLook()
{
    auto plot = makePlot();
    const QStringList expected { "background", "grid", "main", "axes", "legend", "overlay", "overlay2" };
    QCOMPARE(plot->layerCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(plot->layer(i)->name(), expected.at(i));
    QCOMPARE(plot->currentLayer()->name(), QString("main"));
    QCOMPARE(plot->layer("overlay")->mode(), QCPLayer::lmBuffered);
    QCOMPARE(plot->layer("overlay2")->mode(), QCPLayer::lmBuffered);
    QCOMPARE(plot->layer("main")->mode(), QCPLayer::lmLogical);
    QCOMPARE(plot->selectionRect()->layer()->name(), QString("overlay"));

    plot->setInteractions(kMarkerOn);
    QCPItemLine *marker = plot->selectionMarker();
    QVERIFY(marker);
    QCOMPARE(marker->layer()->name(), QString("overlay2"));
    QVERIFY(!marker->selectable());
    QCOMPARE(marker->pen(), QPen(QBrush(Qt::gray), 1, Qt::DashDotLine, Qt::SquareCap, Qt::BevelJoin));
    QCOMPARE(marker->head().style(), QCPLineEnding::esLineArrow);
    QCOMPARE(marker->head().width(), 8.0);
    QCOMPARE(marker->head().length(), 10.0);
    QVERIFY(!marker->head().inverted());
    QCOMPARE(marker->tail().style(), QCPLineEnding::esNone);
    QCOMPARE(plot->currentLayer()->name(), QString("main"));
}

void TestPlotWidget::markerLifeCycle()
{
    auto plot = makePlot();
    MessageCatcher messages;

    plot->setInteractions(PlotWidget::Interactions(0x308));
    QCOMPARE(messages.count("created selection marker"), 1);
    QCOMPARE(plot->layer("overlay2")->children().size(), 1);
    QVERIFY(!plot->rangeSelectionRect()->drawRect());
    // Only the library's bits reach the base class: 0x100 is another flag there.
    QCOMPARE(int(plot->QCustomPlot::interactions()), 0x008);
    QCOMPARE(int(plot->interactions()), 0x308);

    messages.clear();
    plot->setInteractions(PlotWidget::Interactions(0x308));
    QVERIFY(messages.lines().isEmpty());
    QCOMPARE(plot->itemCount(), 1);

    plot->setInteractions(PlotWidget::Interactions(0x008));
    QCOMPARE(messages.count("deleted selection marker"), 1);
    QCOMPARE(plot->itemCount(), 0);
    QVERIFY(!plot->selectionMarker());
    QVERIFY(plot->rangeSelectionRect()->drawRect());

    messages.clear();
    plot->setInteraction(PlotWidget::iRangeSelection, true);
    QCOMPARE(messages.count("created selection marker"), 1);
    plot->setSelectionMarkerVisible(false);
    QVERIFY(!plot->selectionMarker()->visible());
    plot->setInteraction(PlotWidget::iRangeSelection, false);
    QCOMPARE(messages.count("deleted selection marker"), 1);
    QCOMPARE(messages.lines().size(), 2);
}

void TestPlotWidget::clearingAbsentFlagIsSilent()
{
    auto plot = makePlot();
    plot->setInteractions(PlotWidget::iRangeZoom);
    MessageCatcher messages;
    plot->setInteraction(PlotWidget::iRangeSelection, false);
    plot->setSelectionMarkerVisible(true);
    QVERIFY(messages.lines().isEmpty());
    QCOMPARE(plot->itemCount(), 0);
    QCOMPARE(plot->interactions(), PlotWidget::Interactions(PlotWidget::iRangeZoom));

    // A marker the plot deleted behind our back (clearItems) is not touched again.
    plot->setInteractions(kMarkerOn);
    plot->clearItems();
    QVERIFY(!plot->selectionMarker());
    auto *curve = addCurve(plot.get(), 10, [](int) { return 0.0; });
    Q_UNUSED(curve)
    move(plot.get(), pixelOf(plot.get(), 3, 1));
    plot->setSelectionMarkerVisible(false);
    plot->setInteractions(kMarkerOn);
    QVERIFY(plot->selectionMarker());
}

void TestPlotWidget::storedPointLagsOneMove()
{
    auto plot = makePlot();
    auto *curve = addCurve(plot.get(), 30, [](int) { return 0.0; });
    plot->setInteractions(kMarkerOn);

    QList<qint64> seenByReceiver;
    connect(plot.get(), &QCustomPlot::mouseMove, plot.get(),
        [&](QMouseEvent *) { seenByReceiver << plot->selectedDataIndex(); });

    move(plot.get(), pixelOf(plot.get(), 5, 2));
    QCOMPARE(plot->selectedDataIndex(), qint64(5));
    QCOMPARE(plot->selectedCurve(), curve);
    QCOMPARE(plot->selectionMarker()->end->coords(), QPointF(5, 0));
    QCOMPARE(plot->selectionMarker()->start->coords().x(), plot->xAxis->pixelToCoord(pixelOf(plot.get(), 5, 2).x()));

    move(plot.get(), pixelOf(plot.get(), 12, -3));
    move(plot.get(), pixelOf(plot.get(), 12, -3));
    QCOMPARE(seenByReceiver, (QList<qint64> { -1, 5, 12 }));
    QCOMPARE(plot->selectionMarker()->end->coords(), QPointF(12, 0));
}

void TestPlotWidget::onlySelectableCurvesAttractMarker()
{
    auto plot = makePlot();
    auto *far = addCurve(plot.get(), 30, [](int) { return -8.0; });
    auto *nearButUnselectable = addCurve(plot.get(), 30, [](int) { return 1.0; });
    nearButUnselectable->setSelectable(QCP::stNone);
    plot->setInteractions(kMarkerOn);

    // However near, the unselectable curve is passed over, and there is no
    // distance limit: the far curve is found.
    move(plot.get(), pixelOf(plot.get(), 7, 1));
    QCOMPARE(plot->selectedCurve(), far);
    QCOMPARE(plot->selectedDataIndex(), qint64(7));

    auto *hidden = addCurve(plot.get(), 30, [](int) { return 3.0; });
    hidden->setVisible(false);
    move(plot.get(), pixelOf(plot.get(), 9, 2.5));
    QCOMPARE(plot->selectedCurve(), hidden);
    QCOMPARE(plot->selectedDataIndex(), qint64(9));
}

void TestPlotWidget::wholePixelTieRule_data()
{
    QTest::addColumn<double>("firstDistance");
    QTest::addColumn<double>("secondDistance");
    QTest::addColumn<int>("winner");
    QTest::newRow("3.7 then 3.2: same whole pixel, earlier wins") << 3.7 << 3.2 << 0;
    QTest::newRow("3.2 then 2.9: a whole pixel nearer wins") << 3.2 << 2.9 << 1;
    QTest::newRow("2.0 then 2.5: nearer first stays") << 2.0 << 2.5 << 0;
}

void TestPlotWidget::wholePixelTieRule()
{
    QFETCH(double, firstDistance);
    QFETCH(double, secondDistance);
    QFETCH(int, winner);

    auto plot = makePlot();
    const QPoint cursor = pixelOf(plot.get(), 15, 0);
    auto pointCurve = [&](double dx, double dy) {
        auto *c = new QCPCurve(plot->xAxis, plot->yAxis);
        c->setLineStyle(QCPCurve::lsNone);
        c->setScatterStyle(QCPScatterStyle::ssDisc);
        c->addData(plot->xAxis->pixelToCoord(cursor.x() + dx), plot->yAxis->pixelToCoord(cursor.y() + dy));
        return c;
    };
    QCPCurve *curves[] = { pointCurve(firstDistance, 0), pointCurve(0, -secondDistance) };
    QCOMPARE(curves[0]->selectTest(cursor, true), firstDistance);

    plot->setInteractions(kMarkerOn);
    move(plot.get(), cursor);
    QCOMPARE(plot->selectedCurve(), curves[winner]);
    QCOMPARE(plot->nearestSelectableCurve(cursor), curves[winner]);
}

void TestPlotWidget::cursorOutsideAxisRectKeepsPoint()
{
    auto plot = makePlot();
    auto *curve = addCurve(plot.get(), 30, [](int) { return 0.0; });
    plot->setInteractions(kMarkerOn);
    move(plot.get(), pixelOf(plot.get(), 20, 1));
    const QPointF start = plot->selectionMarker()->start->coords();

    const QRect inside = plot->axisRect()->rect();
    move(plot.get(), QPoint(inside.left() - 10, inside.center().y()));
    move(plot.get(), QPoint(inside.center().x(), inside.bottom() + 15));
    QCOMPARE(plot->selectedDataIndex(), qint64(20));
    QCOMPARE(plot->selectedCurve(), curve);
    QCOMPARE(plot->selectionMarker()->start->coords(), start);
}

void TestPlotWidget::storedCurveNeverDangles()
{
    auto plot = makePlot();
    auto *curve = addCurve(plot.get(), 30, [](int) { return 0.0; });
    plot->setInteractions(kMarkerOn);
    move(plot.get(), pixelOf(plot.get(), 25, 1));
    QCOMPARE(plot->selectedCurve(), curve);

    // Deleting and re-creating the marker keeps the stored point.
    plot->setInteraction(PlotWidget::iRangeSelection, false);
    plot->setInteraction(PlotWidget::iRangeSelection, true);
    QCOMPARE(plot->selectedDataIndex(), qint64(25));
    QCOMPARE(plot->selectedCurve(), curve);

    QVERIFY(plot->removePlottable(curve));
    QCOMPARE(plot->selectedCurve(), nullptr);
    // With no curve left a move finds nothing and changes nothing.
    move(plot.get(), pixelOf(plot.get(), 3, 1));
    QCOMPARE(plot->selectedCurve(), nullptr);
    QCOMPARE(plot->selectedDataIndex(), qint64(25));
}

void TestPlotWidget::markerMoveRepaintsOnlyOverlay2()
{
    auto plot = makePlot();
    constexpr int n = 1000000;
    plot->xAxis->setRange(-1, n);
    auto wave = [](int i) { return 5 * std::sin(i * 2 * M_PI / n); };
    auto *curve = addCurve<CountingCurve>(plot.get(), n, wave);
    auto *probe = new CountingItem(plot.get());
    probe->setLayer("overlay2");
    plot->setInteractions(kMarkerOn);
    plot->replot();

    int fullReplots = 0;
    connect(plot.get(), &QCustomPlot::beforeReplot, plot.get(), [&] { ++fullReplots; });
    curve->draws = 0;
    probe->draws = 0;

    move(plot.get(), pixelOf(plot.get(), n / 2, wave(n / 2)));
    QCOMPARE(plot->selectedCurve(), curve);
    QVERIFY(qAbs(plot->selectedDataIndex() - n / 2) < n / 100);
    QCOMPARE(fullReplots, 0);
    QCOMPARE(curve->draws, 0);
    QCOMPARE(probe->draws, 1);
}

void TestPlotWidget::tickLabelsCarrySuffix()
{
    auto plot = makePlot();
    const QList<QCPAxis *> axes = plot->axisRect()->axes();
    QCOMPARE(axes.size(), 4);
    for (QCPAxis *axis : axes)
        QVERIFY(qSharedPointerDynamicCast<SuffixAxisTicker>(axis->ticker()));

    QVERIFY(setTickLabelSuffix(plot->xAxis, QString::fromUtf8("мкм")));
    QVERIFY(setTickLabelSuffix(plot->yAxis, QString::fromUtf8("нм")));
    plot->replot();
    const QVector<QString> xLabels = plot->xAxis->tickVectorLabels();
    QVERIFY(!xLabels.isEmpty());
    for (const QString &label : xLabels)
        QVERIFY2(label.endsWith(QString::fromUtf8("мкм")) && label.size() > 3, qPrintable(label));
    for (const QString &label : plot->yAxis->tickVectorLabels())
        QVERIFY2(label.endsWith(QString::fromUtf8("нм")), qPrintable(label));

    plot->xAxis->setTicker(QSharedPointer<QCPAxisTickerFixed>::create());
    QVERIFY(!setTickLabelSuffix(plot->xAxis, "x"));
}

void TestPlotWidget::tickDecimals_data()
{
    QTest::addColumn<QVector<double>>("ticks");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("decimals");
    QTest::newRow("millimetres keep the axis's 3") << QVector<double> { 0, 1, 2, 3 } << 3 << 3;
    QTest::newRow("half micrometre steps") << QVector<double> { 0, 0.0005, 0.001, 0.0015 } << 3 << 4;
    QTest::newRow("quarter steps with rounding noise")
        << QVector<double> { 0.00025 * 3, 0.00025 * 4 + 1e-19, 0.00025 * 5 } << 3 << 5;
    QTest::newRow("negative ticks") << QVector<double> { -0.0002, 0, 0.0002 } << 3 << 4;
    QTest::newRow("one tick") << QVector<double> { 0.0001 } << 3 << 3;
    QTest::newRow("no ticks") << QVector<double> {} << 2 << 2;
    QTest::newRow("negative precision") << QVector<double> { 0, 0.5, 1 } << -1 << 1;
    QTest::newRow("femtometre steps near 0") << QVector<double> { 0, 1e-15, 2e-15 } << 3 << 15;
    // A flat trace of -17.251946429 µm on a millimetre axis, ticks 2e-14 apart.
    QTest::newRow("flat trace in the tenth digit")
        << QVector<double> { -0.01725194642904, -0.01725194642902, -0.017251946429 } << 3 << 14;
    // Steps of one unit in the last place: no decimal beyond the 17th digit.
    QTest::newRow("steps finer than a double ends at its digits")
        << QVector<double> { 1, 1 + 2.220446049250313e-16, 1 + 4.440892098500626e-16 } << 3 << 16;
}

void TestPlotWidget::tickDecimals()
{
    QFETCH(QVector<double>, ticks);
    QFETCH(int, precision);
    QFETCH(int, decimals);
    QCOMPARE(::tickDecimals(ticks, precision), decimals);
}

void TestPlotWidget::closeTicksReadApart()
{
    // A profile of 3 µm on a millimetre axis with three fixed decimals: every
    // tick gets its own label, written exactly.
    auto plot = makePlot();
    plot->yAxis->setNumberFormat(QStringLiteral("f"));
    plot->yAxis->setNumberPrecision(3);
    plot->yAxis->setRange(0, 0.0033);
    plot->replot();
    const QVector<QString> labels = plot->yAxis->tickVectorLabels();
    const QVector<double> ticks = plot->yAxis->tickVector();
    QVERIFY(labels.size() >= 3);
    for (int i = 0; i < labels.size(); ++i) {
        QVERIFY2(labels.indexOf(labels.at(i)) == i, qPrintable(labels.toList().join(' ')));
        QCOMPARE(QLocale().toDouble(labels.at(i)), ticks.at(i));
    }
    // Millimetre-sized ticks keep the three decimals asked for.
    plot->yAxis->setRange(0, 6);
    plot->replot();
    for (const QString &label : plot->yAxis->tickVectorLabels())
        QVERIFY2(label.section(QLocale().decimalPoint(), 1).size() == 3, qPrintable(label));
}

VANTOR_TEST_MAIN(TestPlotWidget)
#include "tst_plotwidget.moc"
