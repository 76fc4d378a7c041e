#include "support/testmain.h"

#include "plot/plotwidget.h"
#include "plot/qcpitemarc.h"
#include "plottesthelpers.h"

#include <array>
#include <memory>

using namespace PlotTest;

namespace {

std::unique_ptr<PlotWidget> makePlot()
{
    auto plot = std::make_unique<PlotWidget>();
    plot->resize(400, 400);
    plot->xAxis->setRange(-2, 2);
    plot->yAxis->setRange(-2, 2);
    plot->xAxis->grid()->setVisible(false);
    plot->yAxis->grid()->setVisible(false);
    plot->replot();
    return plot;
}

QCPItemArc *unitCircleArc(PlotWidget *plot)
{
    auto *arc = new QCPItemArc(plot);
    arc->topLeft->setCoords(-1, 1);
    arc->bottomRight->setCoords(1, -1);
    arc->setPen(QPen(Qt::black, 3));
    return arc;
}

// Dark pixels of the rendered plot in each quadrant around the origin, in screen
// terms: top-right, top-left, bottom-left, bottom-right. A band of 4 pixels
// along both axes through the origin is left out, where the arc's ends lie.
std::array<int, 4> darkPixelsPerQuadrant(PlotWidget *plot)
{
    const QImage image = plot->toPixmap().toImage();
    const QPoint origin = pixelOf(plot, 0, 0);
    const QRect area = plot->axisRect()->rect().adjusted(8, 8, -8, -8); // clear of the tick marks
    std::array<int, 4> counts {};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int dx = x - origin.x();
            const int dy = y - origin.y();
            if (qAbs(dx) < 4 || qAbs(dy) < 4 || qGray(image.pixel(x, y)) > 100)
                continue;
            const int quadrant = dy < 0 ? (dx > 0 ? 0 : 1) : (dx < 0 ? 2 : 3);
            ++counts[quadrant];
        }
    }
    return counts;
}

} // namespace

class TestItemArc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaults();
    void drawnInItsQuadrants_data();
    void drawnInItsQuadrants();
    void degenerateArcDrawsNothing();
    void hitTestCoversWholeEllipse();
};

void TestItemArc::defaults()
{
    auto plot = makePlot();
    auto *arc = new QCPItemArc(plot.get());
    QCOMPARE(plot->itemCount(), 1);
    QCOMPARE(arc->positions().size(), 2);
    QCOMPARE(arc->positions().at(0)->name(), QString("topLeft"));
    QCOMPARE(arc->topLeft->coords(), QPointF(0, 1));
    QCOMPARE(arc->bottomRight->coords(), QPointF(1, 0));
    QCOMPARE(arc->mStartAngle, 0);
    QCOMPARE(arc->mSpanAngle, 5760);
    QCOMPARE(arc->pen(), QPen(Qt::black, 1, Qt::SolidLine));
    QCOMPARE(arc->selectedPen(), QPen(Qt::blue, 2, Qt::SolidLine));
    QCOMPARE(arc->brush().style(), Qt::NoBrush);
    QCOMPARE(arc->property("selectedPen").value<QPen>(), arc->selectedPen());
    arc->setProperty("brush", QBrush(Qt::green));
    QCOMPARE(arc->brush(), QBrush(Qt::green));
}

void TestItemArc::drawnInItsQuadrants_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("span");
    QTest::addColumn<QVector<bool>>("inked"); // top-right, top-left, bottom-left, bottom-right
    QTest::newRow("full turn") << 0 << 5760 << QVector<bool> { true, true, true, true };
    QTest::newRow("quarter counter-clockwise from three o'clock")
        << 0 << 1440 << QVector<bool> { true, false, false, false };
    QTest::newRow("negative span runs clockwise") << 0 << -1440 << QVector<bool> { false, false, false, true };
    QTest::newRow("second quarter") << 1440 << 1440 << QVector<bool> { false, true, false, false };
    QTest::newRow("half from nine o'clock") << 2880 << 2880 << QVector<bool> { false, false, true, true };
}

void TestItemArc::drawnInItsQuadrants()
{
    QFETCH(int, start);
    QFETCH(int, span);
    QFETCH(QVector<bool>, inked);

    auto plot = makePlot();
    auto *arc = unitCircleArc(plot.get());
    arc->mStartAngle = start;
    arc->mSpanAngle = span;
    const std::array<int, 4> counts = darkPixelsPerQuadrant(plot.get());
    for (int q = 0; q < 4; ++q) {
        if (inked.at(q))
            QVERIFY2(counts[q] > 50, qPrintable(QString("quadrant %1: %2").arg(q).arg(counts[q])));
        else
            QVERIFY2(counts[q] == 0, qPrintable(QString("quadrant %1: %2").arg(q).arg(counts[q])));
    }
}

void TestItemArc::degenerateArcDrawsNothing()
{
    auto plot = makePlot();
    auto *arc = unitCircleArc(plot.get());
    arc->topLeft->setCoords(0.5, 0.5);
    arc->bottomRight->setCoords(0.5 + 1e-6, 0.5);
    const std::array<int, 4> counts = darkPixelsPerQuadrant(plot.get());
    QCOMPARE(counts, (std::array<int, 4> { 0, 0, 0, 0 }));
    QVERIFY(arc->visible());
}

void TestItemArc::hitTestCoversWholeEllipse()
{
    auto plot = makePlot();
    auto *arc = unitCircleArc(plot.get());
    arc->mSpanAngle = 1440; // only the top-right quarter is drawn
    const double tolerance = plot->selectionTolerance();

    // Near the part of the ellipse that the arc leaves out.
    const QPointF leftOut = QPointF(pixelOf(plot.get(), -1, 0)) + QPointF(2, 0);
    QVERIFY(qAbs(arc->selectTest(leftOut, true) - 2) < 0.5);

    const QPointF centreish = QPointF(pixelOf(plot.get(), 0.1, 0.2));
    QVERIFY(arc->selectTest(centreish, true) > tolerance);
    arc->setBrush(QBrush(Qt::yellow));
    QCOMPARE(arc->selectTest(centreish, true), 0.99 * tolerance);
    QCOMPARE(arc->selectTest(QPointF(pixelOf(plot.get(), 0, 0)), true), 0.99 * tolerance);

    arc->setSelectable(false);
    QCOMPARE(arc->selectTest(leftOut, true), -1.0);
    QVERIFY(arc->selectTest(leftOut, false) >= 0);
}

VANTOR_TEST_MAIN(TestItemArc)
#include "tst_itemarc.moc"
