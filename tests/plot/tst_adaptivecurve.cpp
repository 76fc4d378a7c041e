#include "support/testmain.h"

#include "plot/adaptivecurve.h"
#include "plot/plotwidget.h"
#include "plottesthelpers.h"

#include <cmath>
#include <limits>
#include <memory>

using namespace PlotTest;

using Points = QVector<QPointF>;
Q_DECLARE_METATYPE(Points)

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isRed(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 100 && qBlue(p) < 100;
}

// Per pixel column of the axis rectangle, the top and bottom rows of dark pixels
// (only red ones when asked; -1, -1 for a column without such ink).
QVector<QPair<int, int>> inkedRows(PlotWidget *plot, bool redOnly)
{
    const QImage image = plot->toPixmap().toImage();
    const QRect area = plot->axisRect()->rect().adjusted(8, 8, -8, -8);
    QVector<QPair<int, int>> rows;
    for (int x = area.left(); x <= area.right(); ++x) {
        QPair<int, int> extent(-1, -1);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const QRgb p = image.pixel(x, y);
            if (redOnly ? isRed(p) : qGray(p) < 128) {
                if (extent.first < 0)
                    extent.first = y;
                extent.second = y;
            }
        }
        rows.append(extent);
    }
    return rows;
}

enum View { WholeCurve, ZoomedIn, KeyVertical, SelectedStretch };

} // namespace

class TestAdaptiveCurve : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thinLine_data();
    void thinLine();
    void thinningOff();
    void registeredAndKeepsAllData();
    void reservedRoomKeepsPointsInPlace();
    void drawsLikeAPlainCurve_data();
    void drawsLikeAPlainCurve();
};

void TestAdaptiveCurve::thinLine_data()
{
    QTest::addColumn<Points>("in");
    QTest::addColumn<Points>("out");
    QTest::newRow("near middle point dropped")
        << Points { { 0, 0 }, { 0.5, 0.5 }, { 3, 0 } } << Points { { 0, 0 }, { 3, 0 } };
    QTest::newRow("exactly one pixel is not more")
        << Points { { 0, 0 }, { 1, 0 }, { 2, 0 } } << Points { { 0, 0 }, { 2, 0 } };
    QTest::newRow("y alone decides") << Points { { 0, 0 }, { 0, -1.5 }, { 0.2, -1.7 }, { 0.1, 0 } }
                                     << Points { { 0, 0 }, { 0, -1.5 }, { 0.1, 0 } };
    QTest::newRow("two points stay however close")
        << Points { { 0, 0 }, { 0.1, 0.1 } } << Points { { 0, 0 }, { 0.1, 0.1 } };
    QTest::newRow("line ends at the last kept point")
        << Points { { 0, 0 }, { 5, 5 }, { 5.5, 5.2 }, { 5.9, 4.1 } } << Points { { 0, 0 }, { 5, 5 } };
    QTest::newRow("not-a-number dropped")
        << Points { { 0, 0 }, { kNaN, 3 }, { 4, kNaN }, { 4, 4 } } << Points { { 0, 0 }, { 4, 4 } };
    QTest::newRow("leading not-a-number")
        << Points { { kNaN, kNaN }, { 1, 1 }, { 1.5, 1 }, { 3, 1 } } << Points { { 1, 1 }, { 3, 1 } };
    QTest::newRow("empty") << Points {} << Points {};
}

void TestAdaptiveCurve::thinLine()
{
    QFETCH(Points, in);
    QFETCH(Points, out);
    PlotWidget plot;
    auto *curve = new AdaptiveCurve(plot.xAxis, plot.yAxis);
    QCOMPARE(curve->thinLine(in), out);
}

void TestAdaptiveCurve::thinningOff()
{
    PlotWidget plot;
    auto *curve = new AdaptiveCurve(plot.xAxis, plot.yAxis);
    QVERIFY(curve->mAdaptive);
    curve->mAdaptive = false;
    const Points in { { 0, 0 }, { 0.5, 0.5 }, { 3, 0 } };
    QCOMPARE(curve->thinLine(in), in);
}

void TestAdaptiveCurve::registeredAndKeepsAllData()
{
    PlotWidget plot;
    auto *plain = new QCPCurve(plot.xAxis, plot.yAxis);
    auto *adaptive = addCurve<AdaptiveCurve>(&plot, 5000, [](int i) { return std::sin(i * 0.01); });
    QCOMPARE(plot.curveCount(), 2);
    QCOMPARE(plot.curve(0), plain);
    QCOMPARE(plot.curve(), static_cast<QCPCurve *>(adaptive));
    plot.rescaleAxes();
    plot.replot();
    QCOMPARE(adaptive->data()->size(), 5000);
    QCOMPARE(adaptive->pen(), plain->pen());
}

void TestAdaptiveCurve::reservedRoomKeepsPointsInPlace()
{
    PlotWidget plot;
    auto *curve = new AdaptiveCurve(plot.xAxis, plot.yAxis);
    // An empty curve has nothing to keep: its first addition replaces the storage.
    curve->reserveData(1000);
    curve->addData({ 0, 1, 2 }, { 5, 6, 7 });
    curve->reserveData(1000);
    const QCPCurveData *storage = &*curve->data()->constBegin();
    for (int batch = 1; batch < 100; ++batch) {
        QVector<double> keys, values;
        for (int i = 0; i < 10; ++i) {
            keys.append(batch * 10 + i);
            values.append(-(batch * 10 + i));
        }
        curve->addData(keys, values);
    }
    // 993 points: none of the additions moved the stored points.
    QCOMPARE(curve->dataCount(), 993);
    QCOMPARE(&*curve->data()->constBegin(), storage);
    QCOMPARE(curve->data()->at(1)->value, 6.0);
    QCOMPARE(curve->data()->at(2)->key, 2.0);
    QCOMPARE(curve->data()->at(3)->key, 10.0);
    QCOMPARE(curve->data()->at(992)->value, -999.0);
    // Less room than the points present changes nothing.
    curve->reserveData(10);
    QCOMPARE(curve->dataCount(), 993);
    QCOMPARE(&*curve->data()->constBegin(), storage);
}

void TestAdaptiveCurve::drawsLikeAPlainCurve_data()
{
    QTest::addColumn<int>("view");
    QTest::newRow("whole curve") << int(WholeCurve);
    QTest::newRow("zoomed in: the line leaves the view") << int(ZoomedIn);
    QTest::newRow("key axis vertical") << int(KeyVertical);
    QTest::newRow("selected stretch in its own pen") << int(SelectedStretch);
}

void TestAdaptiveCurve::drawsLikeAPlainCurve()
{
    // A dense curve (about 30 points per pixel column): the thinned line covers
    // the same pixels as the library's full line, give or take a pixel.
    QFETCH(int, view);
    auto wave = [](int i) { return std::sin(i * 2e-4) + 0.3 * std::sin(i * 3e-3); };
    auto render = [&](bool adaptive) {
        auto plot = std::make_unique<PlotWidget>();
        plot->resize(640, 400);
        QCPAxis *keyAxis = view == KeyVertical ? plot->yAxis : plot->xAxis;
        QCPAxis *valueAxis = view == KeyVertical ? plot->xAxis : plot->yAxis;
        QCPCurve *curve = adaptive ? new AdaptiveCurve(keyAxis, valueAxis) : new QCPCurve(keyAxis, valueAxis);
        for (int i = 0; i < 20000; ++i)
            curve->addData(i, wave(i));
        curve->setPen(QPen(Qt::black, 1));
        curve->setAntialiased(false); // crisp pixels to compare
        plot->rescaleAxes();
        if (view == ZoomedIn) {
            plot->xAxis->setRange(6000, 9000);
            plot->yAxis->setRange(0.6, 1.0);
        }
        if (view == SelectedStretch) {
            curve->setSelectable(QCP::stDataRange);
            curve->setSelection(QCPDataSelection(QCPDataRange(5000, 9000)));
            curve->selectionDecorator()->setPen(QPen(Qt::red, 1));
        }
        plot->replot();
        return inkedRows(plot.get(), view == SelectedStretch);
    };
    const auto plain = render(false);
    const auto thinned = render(true);
    QCOMPARE(thinned.size(), plain.size());
    // Rows a neighbourhood of columns covers, so that a steep stretch drawn one
    // column over in either image still counts as the same line.
    auto around = [](const QVector<QPair<int, int>> &rows, int i) {
        QPair<int, int> extent(INT_MAX, -1);
        for (int j = qMax(0, i - 1); j <= qMin(rows.size() - 1, i + 1); ++j) {
            if (rows[j].first >= 0) {
                extent.first = qMin(extent.first, rows[j].first);
                extent.second = qMax(extent.second, rows[j].second);
            }
        }
        return extent;
    };
    int inked = 0;
    for (int i = 0; i < plain.size(); ++i) {
        for (const auto *image : { &thinned, &plain }) {
            const auto &other = image == &thinned ? plain : thinned;
            const QPair<int, int> own = (*image)[i];
            if (own.first < 0)
                continue;
            const QPair<int, int> near = around(other, i);
            QVERIFY2(own.first >= near.first - 2 && own.second <= near.second + 2,
                qPrintable(QString("column %1: rows %2..%3 against %4..%5")
                               .arg(i)
                               .arg(own.first)
                               .arg(own.second)
                               .arg(near.first)
                               .arg(near.second)));
        }
        inked += thinned[i].first >= 0;
    }
    // Enough of the line is in view for the comparison to mean something.
    QVERIFY(inked > (view == WholeCurve || view == KeyVertical ? plain.size() * 9 / 10 : plain.size() / 10));
}

VANTOR_TEST_MAIN(TestAdaptiveCurve)
#include "tst_adaptivecurve.moc"
