#include "traces/tracejoin.h"
#include "traces/contourtrace.h"

#include "support/fuzzy.h"
#include "support/testmain.h"
#include "support/testtrace.h"

#include <cmath>

namespace {

// A contour with features that do not repeat within the overlap, so the only
// good fit of a piece of it is its true place.
double shape(double x)
{
    return 40 * std::sin(x / 900) + 15 * std::sin(x / 310 + 1) + 0.002 * x;
}

TData sampled(double from, double to, double step)
{
    TData data(2);
    for (double x = from; x <= to + 1e-9; x += step) {
        data[0] << x;
        data[1] << shape(x);
    }
    return data;
}

TData shifted(TData data, double dx, double dy)
{
    for (double &x : data[0])
        x += dx;
    for (double &y : data[1])
        y += dy;
    return data;
}

void fill(AbstractTrace &trace, const TData &points)
{
    for (int i = 0; i < points.at(0).size(); ++i) {
        QVector<double> p { points.at(0).at(i), points.at(1).at(i) };
        trace.addPoint(p);
    }
}

} // namespace

class TestTraceJoin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void joiningTwoPiecesRestoresTheTrace();
    void exactOverlapMovesByTheFirstPointOffsetAlone();
    void refusesJoinsWithoutOverlapPoints_data();
    void refusesJoinsWithoutOverlapPoints();
    void zonesScanEveryPointAndSkipTheFirst();
    void thinningKeepsOnePointPerHundredthOfTheOverlap();
    void flatAxisIsNotSearched();
    void mergeDropsLeftPointsAtOrBeyondTheJoin();
    void joinedPointsMakeATrace();
};

void TestTraceJoin::joiningTwoPiecesRestoresTheTrace()
{
    // One contour sampled every 1 µm, cut into a left stroke up to 12 mm and
    // a right stroke from 8 mm, sampled off the left stroke's grid and
    // recorded in its own frame (moved by -7900 in X and +35 in Y).
    const TData left = sampled(0, 12000, 1);
    const TData rightTrue = sampled(8000.4, 20000, 1);
    const TData right = shifted(rightTrue, -7900, 35);

    const TData joined = stitchPoints(left, right, 4);
    QCOMPARE(joined.size(), 2);
    // The left stroke's points below the join, then the whole right stroke.
    const int join = joined.at(0).size() - right.at(0).size();
    QVERIFY2(join >= 7999 && join <= 8002, qPrintable(QString::number(join)));
    QCOMPARE(joined.at(0).mid(0, join), left.at(0).mid(0, join));
    QVERIFY(joined.at(0).at(join - 1) < joined.at(0).at(join));

    // The join point comes back to its true place within one sample step,
    // and the whole right stroke lies on the original contour again.
    const double joinX = joined.at(0).at(join);
    const double joinY = joined.at(1).at(join);
    QVERIFY2(std::abs(joinX - 8000.4) <= 1.0, qPrintable(QString::number(joinX, 'f', 4)));
    QVERIFY2(std::abs(joinY - shape(8000.4)) <= 0.1, qPrintable(QString::number(joinY - shape(8000.4))));
    for (int i = join; i < joined.at(0).size(); i += 97)
        QVERIFY(std::abs(joined.at(1).at(i) - shape(joined.at(0).at(i))) < 0.2);
}

void TestTraceJoin::exactOverlapMovesByTheFirstPointOffsetAlone()
{
    // On a straight line the offset right zone already lies on left points:
    // the error is 0, no search moves it, and the right trace is moved by the
    // first-point offset only.
    TData line(2);
    for (int x = 0; x <= 100; ++x) {
        line[0] << x;
        line[1] << 0.5 * x;
    }
    TData rightPoints(2);
    for (int x = 60; x <= 150; ++x) {
        rightPoints[0] << x + 1000;
        rightPoints[1] << 0.5 * x - 5;
    }
    TestTrace left(2);
    TestTrace right(2);
    fill(left, line);
    fill(right, rightPoints);

    const TData joined = stitchTraces(left, right, 0.03); // 30 µm: left zone 71..100, right zone 60..89
    const TData expectedRight = shifted(rightPoints, 71 - 1060, 35.5 - 25);
    QCOMPARE(joined.at(0).mid(0, 71), line.at(0).mid(0, 71));
    QCOMPARE(joined.at(0).mid(71), expectedRight.at(0));
    QCOMPARE(joined.at(1).mid(71), expectedRight.at(1));
}

void TestTraceJoin::refusesJoinsWithoutOverlapPoints_data()
{
    QTest::addColumn<TData>("left");
    QTest::addColumn<TData>("right");
    QTest::addColumn<double>("overlap");

    const TData piece = sampled(0, 1000, 10);
    QTest::newRow("left of one point") << TData { { 5 }, { 1 } } << piece << 10.0;
    QTest::newRow("empty right") << piece << TData { {}, {} } << 10.0;
    QTest::newRow("no channels") << TData() << piece << 10.0;
    QTest::newRow("zero overlap") << piece << piece << 0.0;
    QTest::newRow("negative overlap") << piece << piece << -1.0;
}

void TestTraceJoin::refusesJoinsWithoutOverlapPoints()
{
    QFETCH(TData, left);
    QFETCH(TData, right);
    QFETCH(double, overlap);
    QVERIFY(stitchPoints(left, right, overlap).isEmpty());
}

void TestTraceJoin::zonesScanEveryPointAndSkipTheFirst()
{
    // X not ascending: a point outside the length does not end the scan.
    const TData left { { 0, 9, 2, 8, 10 }, { 0, 1, 2, 3, 4 } };
    const TData right { { 0, 5, 1, 7, 2 }, { 5, 6, 7, 8, 9 } };
    const auto zones = overlapZones(left, right, 3);
    QCOMPARE(zones.first, TData({ { 9, 8, 10 }, { 1, 3, 4 } }));
    QCOMPARE(zones.second, TData({ { 0, 1, 2 }, { 5, 7, 9 } }));

    // A left trace shorter than the overlap still never gives its first point.
    const auto shortZones = overlapZones(TData { { 0, 1, 2 }, { 0, 0, 0 } }, right, 1000);
    QCOMPARE(shortZones.first, TData({ { 1, 2 }, { 0, 0 } }));
}

void TestTraceJoin::thinningKeepsOnePointPerHundredthOfTheOverlap()
{
    const TData zone = sampled(0, 9999, 7);
    const TData thinned = thinOutByStep(zone, 10000);
    QCOMPARE(thinned.at(0).first(), 0.0);
    QVERIFY(thinned.at(0).size() <= 100);
    QVERIFY(thinned.at(0).size() >= 99);
    for (int i = 1; i < thinned.at(0).size(); ++i)
        QVERIFY(thinned.at(0).at(i) - thinned.at(0).at(i - 1) >= 100 - 7);
    for (int i = 0; i < thinned.at(0).size(); ++i)
        QVERIFY(thinned.at(0).at(i) >= 100 * i);
}

void TestTraceJoin::flatAxisIsNotSearched()
{
    const TData fixed { { 0, 1, 2, 3 }, { 1, 1, 1, 1 } };
    TData moving { { 0.5, 1.5 }, { 4, 4 } };
    const auto result = fitShiftAlongAxis(moving, fixed, 1);
    QCOMPARE(result.first, 0.0);
    QCOMPARE_REL(result.second, 2 * std::hypot(0.5, 3), 1e-12);
    QCOMPARE(moving, TData({ { 0.5, 1.5 }, { 4, 4 } }));
}

void TestTraceJoin::mergeDropsLeftPointsAtOrBeyondTheJoin()
{
    const TData merged
        = mergeProfiles(TData { { 0, 5, 1, 3, 2 }, { 10, 11, 12, 13, 14 } }, TData { { 3, 4 }, { 20, 21 } });
    QCOMPARE(merged, TData({ { 0, 1, 2, 3, 4 }, { 10, 12, 14, 20, 21 } }));
}

// The joined columns become a contour's raw and processed points, its third
// channel zero; columns missing, empty or of different lengths are refused.
void TestTraceJoin::joinedPointsMakeATrace()
{
    QVERIFY(isJoinedDataUsable(TData { { 1, 2 }, { 3, 4 } }));
    QVERIFY(!isJoinedDataUsable(TData { { 1, 2 } }));
    QVERIFY(!isJoinedDataUsable(TData { {}, {} }));
    QVERIFY(!isJoinedDataUsable(TData { { 1, 2 }, { 3 } }));

    ContourTrace trace;
    const TData joined { { 0, 10, 20 }, { 1, 2, 3 } };
    setJoinedPoints(trace, joined);
    for (const TData *set : { trace.rawData.get(), trace.processedData.get() })
        QCOMPARE(*set, TData({ { 0, 10, 20 }, { 1, 2, 3 }, { 0, 0, 0 } }));
    QCOMPARE(trace.pointCount(), 3);
}

VANTOR_TEST_MAIN(TestTraceJoin)
#include "tst_tracejoin.moc"
