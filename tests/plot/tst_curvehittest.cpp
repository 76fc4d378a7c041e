#include "support/testmain.h"

#include "plot/adaptivecurve.h"
#include "plot/curvehittest.h"
#include "plot/plotwidget.h"

#include <QRandomGenerator>
#include <cmath>
#include <memory>

namespace {

enum class Shape { Ascending, RepeatedKeys, NanGaps, NanKeys };

struct Case {
    Shape shape = Shape::Ascending;
    bool zoomed = false;      // the view shows a part of the data, cut in key and value
    bool reversed = false;    // the key axis runs backwards
    bool verticalKey = false; // keys on the left axis
    bool line = true;         // false: scatter symbols only
    bool adaptive = false;
};

// Random walk of n points with ascending keys of the given shape.
void makeData(Shape shape, int n, QRandomGenerator &random, QVector<double> *keys, QVector<double> *values)
{
    keys->resize(n);
    values->resize(n);
    double key = 0;
    double value = 0;
    for (int i = 0; i < n; ++i) {
        const bool repeat = shape == Shape::RepeatedKeys && random.bounded(3) == 0;
        key += repeat ? 0.0 : random.bounded(2.0);
        value += random.bounded(2.0) - 1.0;
        (*keys)[i] = key;
        (*values)[i] = value;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int gap = 0; gap < n / 50; ++gap) {
        const int at = random.bounded(n);
        if (shape == Shape::NanGaps)
            (*values)[at] = nan;
        if (shape == Shape::NanKeys)
            (*keys)[at] = nan;
    }
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestCurveHitTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameAsLibrary_data();
    void sameAsLibrary();
    void equallyNearPointsGiveTheFirst();
    void nearestPointAndCurve();
};

void TestCurveHitTest::sameAsLibrary_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<bool>("searchMostlyAnswers");
    auto row = [](const char *name, Case c, bool answers) { QTest::newRow(name) << c << answers; };
    Case c;
    row("ascending", c, true);
    c.adaptive = true;
    row("ascending, adaptive curve", c, true);
    c = Case();
    c.shape = Shape::RepeatedKeys;
    row("repeated keys", c, true);
    c.shape = Shape::NanGaps;
    row("values with NaN gaps", c, true);
    c = Case();
    c.zoomed = true;
    row("zoomed in", c, false);
    c.shape = Shape::RepeatedKeys;
    row("zoomed in, repeated keys", c, false);
    c = Case();
    c.reversed = true;
    row("reversed key axis", c, true);
    c.zoomed = true;
    row("reversed key axis, zoomed in", c, false);
    c = Case();
    c.verticalKey = true;
    row("keys on the vertical axis", c, true);
    c.reversed = true;
    c.zoomed = true;
    row("keys on the vertical axis, reversed, zoomed in", c, false);
    c = Case();
    c.line = false;
    row("scatter only", c, true);
    c.zoomed = true;
    row("scatter only, zoomed in", c, true);
    c = Case();
    c.shape = Shape::NanKeys;
    row("NaN keys: the library's test", c, false);
}

void TestCurveHitTest::sameAsLibrary()
{
    QFETCH(Case, c);
    QFETCH(bool, searchMostlyAnswers);

    PlotWidget plot;
    plot.resize(700, 500);
    QCPAxis *keyAxis = c.verticalKey ? plot.yAxis : plot.xAxis;
    QCPAxis *valueAxis = c.verticalKey ? plot.xAxis : plot.yAxis;
    QCPCurve *curve = c.adaptive ? new AdaptiveCurve(keyAxis, valueAxis) : new QCPCurve(keyAxis, valueAxis);
    if (!c.line) {
        curve->setLineStyle(QCPCurve::lsNone);
        curve->setScatterStyle(QCPScatterStyle::ssDisc);
    }
    QRandomGenerator random(20240611);
    QVector<double> keys, values;
    makeData(c.shape, 3000, random, &keys, &values);
    curve->setData(keys, values);
    curve->rescaleAxes();
    if (c.zoomed) {
        keyAxis->setRange(keyAxis->range().center(), keyAxis->range().size() / 8, Qt::AlignCenter);
        valueAxis->setRange(valueAxis->range().center(), valueAxis->range().size() / 4, Qt::AlignCenter);
    }
    keyAxis->setRangeReversed(c.reversed);
    plot.show();
    plot.replot();

    const QRect rect = plot.axisRect()->rect();
    int answered = 0;
    constexpr int kPositions = 400;
    for (int k = 0; k < kPositions; ++k) {
        // Whole pixels as the mouse gives them, the border rows included.
        const QPointF pos(rect.left() + random.bounded(rect.width()), rect.top() + random.bounded(rect.height()));
        QVariant expectedDetails;
        const double expected = curve->selectTest(pos, true, &expectedDetails);
        const int expectedIndex = expectedDetails.value<QCPDataSelection>().dataRange(0).begin();

        double distance = -1;
        int index = -1;
        if (searchCurveHit(curve, pos, &distance, &index)) {
            ++answered;
            QVERIFY2(distance == expected && index == expectedIndex,
                qPrintable(QString("at %1,%2: search %3 #%4, library %5 #%6")
                               .arg(pos.x())
                               .arg(pos.y())
                               .arg(distance, 0, 'g', 17)
                               .arg(index)
                               .arg(expected, 0, 'g', 17)
                               .arg(expectedIndex)));
        }
        QVariant details;
        QVERIFY(curveHitTest(curve, pos, true, &details) == expected);
        QCOMPARE(details.value<QCPDataSelection>(), expectedDetails.value<QCPDataSelection>());
    }
    if (searchMostlyAnswers)
        QVERIFY2(answered > kPositions * 9 / 10, qPrintable(QString::number(answered)));
    if (c.shape == Shape::NanKeys)
        QCOMPARE(answered, 0);

    // Outside the axis rectangle nothing is hit, as in the library.
    const QPointF outside(rect.left() - 5, rect.center().y());
    QCOMPARE(curveHitTest(curve, outside, true), curve->selectTest(outside, true));
    QCOMPARE(curveHitTest(curve, outside, true), -1.0);
}

void TestCurveHitTest::equallyNearPointsGiveTheFirst()
{
    // A run of points on the same spot: the library reports the first of them.
    PlotWidget plot;
    plot.resize(400, 300);
    auto *curve = new QCPCurve(plot.xAxis, plot.yAxis);
    QVector<double> keys, values;
    for (int i = 0; i < 200; ++i) {
        keys << (i < 100 ? i : 100.0);
        values << (i < 100 ? 0.0 : 5.0);
    }
    curve->setData(keys, values);
    plot.xAxis->setRange(-1, 110);
    plot.yAxis->setRange(-10, 10);
    plot.replot();
    const QPointF pos(qRound(plot.xAxis->coordToPixel(100)), qRound(plot.yAxis->coordToPixel(5)));
    QVariant details;
    const double distance = curveHitTest(curve, pos, true, &details);
    QVERIFY(distance == curve->selectTest(pos, true));
    QCOMPARE(details.value<QCPDataSelection>(), QCPDataSelection(QCPDataRange(100, 101)));
    double searched = -1;
    int index = -1;
    QVERIFY(searchCurveHit(curve, pos, &searched, &index));
    QCOMPARE(index, 100);
}

void TestCurveHitTest::nearestPointAndCurve()
{
    QCustomPlot plot;
    plot.resize(400, 300);
    plot.xAxis->setRange(0, 10);
    plot.yAxis->setRange(0, 10);
    plot.replot();

    QCOMPARE(nearestPointIndex(nullptr, QPoint(0, 0)), -1);
    QCOMPARE(nearestCurve(&plot, 5, QPoint(0, 0)), static_cast<QCPCurve *>(nullptr));

    auto *empty = new QCPCurve(plot.xAxis, plot.yAxis);
    QCOMPARE(nearestPointIndex(empty, QPoint(0, 0)), -1);

    auto *low = new QCPCurve(plot.xAxis, plot.yAxis);
    low->setData({ 0, 1, 2 }, { 1, 2, 3 }, { 2, 2, 2 });
    auto *high = new QCPCurve(plot.xAxis, plot.yAxis);
    high->setData({ 0, 1 }, { 1, 3 }, { 8, 8 });

    auto pixel = [&](double x, double y) {
        return QPoint(qRound(plot.xAxis->coordToPixel(x)), qRound(plot.yAxis->coordToPixel(y)));
    };
    QCOMPARE(nearestPointIndex(low, pixel(2.1, 2.5)), 1);
    QCOMPARE(nearestPointIndex(low, pixel(9, 9)), 2);

    QCOMPARE(nearestCurve(&plot, 3, pixel(2, 7)), high);
    QCOMPARE(nearestCurve(&plot, 3, pixel(2, 3)), low);
    // Only the first curveCount curves take part; counts beyond the plot's are harmless.
    QCOMPARE(nearestCurve(&plot, 2, pixel(2, 7)), low);
    QCOMPARE(nearestCurve(&plot, 99, pixel(2, 7)), high);
    QCOMPARE(nearestCurve(&plot, 1, pixel(2, 7)), static_cast<QCPCurve *>(nullptr));
    QCOMPARE(nearestCurve(nullptr, 3, pixel(2, 7)), static_cast<QCPCurve *>(nullptr));

    // Equally distant points (here one place twice): the lower index wins.
    auto *tie = new QCPCurve(plot.xAxis, plot.yAxis);
    tie->setData({ 0, 1, 2 }, { 9, 5, 5 }, { 9, 5, 5 });
    QCOMPARE(nearestPointIndex(tie, pixel(5, 4)), 1);
}

VANTOR_TEST_MAIN(TestCurveHitTest)
#include "tst_curvehittest.moc"
