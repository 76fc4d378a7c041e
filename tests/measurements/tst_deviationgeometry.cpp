// The numerics under the deviation and roughness measurements, alone: line
// and circle deviations, the running median, the merge of several ranges, the
// polar graph, the correction tables and the cut-off loop.
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "algos/amplitudeparams.h"
#include "algos/gaussfilter.h"
#include "algos/profileutils.h"
#include "measurements/deviationgeometry.h"
#include "measurements/dxfdrawing.h"
#include "settings/settings.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

using namespace Deviation;

namespace {

QVector<QCPCurveData> points(int n, const std::function<QPointF(int)> &at)
{
    QVector<QCPCurveData> d;
    for (int i = 0; i < n; ++i) {
        const QPointF p = at(i);
        d.append(QCPCurveData(i, p.x(), p.y()));
    }
    return d;
}

// Points of a circle of centre c and radius r between two angles (degrees),
// x ascending when the angles run from 180 up towards 360 (the lower half).
QVector<QCPCurveData> arc(QPointF c, double r, double from, double to, int n, double lobes = 0, double amplitude = 0)
{
    return points(n, [=](int i) {
        const double a = (from + (to - from) * i / (n - 1)) * M_PI / 180;
        const double rr = r + amplitude * std::cos(lobes * a);
        return QPointF(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
    });
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

class TestDeviationGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A straight run has no spread; a single spike in the middle of an odd
    // count of evenly spaced points raises the spread by exactly its height
    // (the fitted line lifts every point by h/n, the spike included).
    void lineResiduals_data()
    {
        QTest::addColumn<double>("slope");
        QTest::addColumn<double>("spike");
        QTest::addColumn<double>("spread");
        QTest::newRow("level line") << 0.0 << 0.0 << 0.0;
        QTest::newRow("sloped line") << 0.37 << 0.0 << 0.0;
        QTest::newRow("sloped line, spike 0.5") << -1.2 << 0.5 << 0.5;
        QTest::newRow("level line, dip 0.02") << 0.0 << -0.02 << 0.02;
    }

    void lineResiduals()
    {
        QFETCH(double, slope);
        QFETCH(double, spike);
        QFETCH(double, spread);
        const int n = 101;
        const auto d = points(n, [&](int i) { return QPointF(0.1 * i, 3 + slope * 0.1 * i + (i == n / 2 ? spike : 0)); });
        Profile p;
        QVERIFY(Deviation::lineResiduals(d.begin(), d.end(), &p));
        QCOMPARE(p.keys.size(), n);
        QCOMPARE(p.keys.at(7), d.at(7).key);
        const auto range = valueRange(p.values);
        QVERIFY(std::abs(range.second - range.first - spread) < 1e-9);
    }

    // No line fits points at one x or no point: nothing is written.
    void lineResidualsWithoutALine()
    {
        const auto vertical = points(5, [](int i) { return QPointF(2, i); });
        Profile p;
        p.keys = { 42 };
        QVERIFY(!Deviation::lineResiduals(vertical.begin(), vertical.end(), &p));
        QVERIFY(!Deviation::lineResiduals(vertical.begin(), vertical.begin(), &p));
        QCOMPARE(p.keys, QVector<double>({ 42 }));
    }

    void radialDeviationsSign()
    {
        const QVector<QCPCurveData> d { { 0, 1, 0 }, { 1, 0, 0.5 }, { 2, -3, 0 } };
        const Profile p = radialDeviations(d.begin(), d.end(), QPointF(0, 0), 1);
        QCOMPARE(p.keys, QVector<double>({ 1, 0, -3 }));
        QCOMPARE(p.values, QVector<double>({ 0, 0.5, -2 }));
    }

    void runningMedian_data()
    {
        QTest::addColumn<QVector<double>>("xs");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<double>("window");
        QTest::addColumn<QVector<double>>("expected");
        // The first output is the first value; two entries give the upper one.
        QTest::newRow("window of two, upper middle")
            << QVector<double> { 0, 1, 2, 3 } << QVector<double> { 5, 1, 9, 2 } << 1.0 << QVector<double> { 5, 5, 9, 9 };
        QTest::newRow("window of three") << QVector<double> { 0, 1, 2, 3, 4 } << QVector<double> { 5, 1, 9, 2, 7 } << 2.0
                                         << QVector<double> { 5, 5, 5, 2, 7 };
        // A window narrower than the spacing holds the point alone.
        QTest::newRow("window below the spacing")
            << QVector<double> { 0, 1, 2 } << QVector<double> { 3, 1, 2 } << 0.5 << QVector<double> { 3, 1, 2 };
        // The window trails by x, not by count: a gap empties it.
        QTest::newRow("gap in x") << QVector<double> { 0, 0.1, 0.2, 5, 5.1 } << QVector<double> { 1, 8, 9, 2, 3 }
                                  << 1.0 << QVector<double> { 1, 8, 8, 2, 3 };
        QTest::newRow("sizes differ") << QVector<double> { 0, 1 } << QVector<double> { 1 } << 1.0 << QVector<double> {};
        QTest::newRow("empty") << QVector<double> {} << QVector<double> {} << 1.0 << QVector<double> {};
    }

    void runningMedian()
    {
        QFETCH(QVector<double>, xs);
        QFETCH(QVector<double>, values);
        QFETCH(double, window);
        QFETCH(QVector<double>, expected);
        QCOMPARE(runningMedianByX(xs, values, window), expected);
    }

    // Against the plain definition on noisy data with repeated values and an
    // uneven spacing.
    void runningMedianMatchesTheDefinition()
    {
        QRandomGenerator rng(3);
        QVector<double> xs, values;
        double x = 0;
        for (int i = 0; i < 2000; ++i) {
            x += rng.bounded(3) * 0.01;
            xs << x;
            values << double(rng.bounded(20));
        }
        const QVector<double> out = runningMedianByX(xs, values, 0.25);
        int s = 0;
        for (int e = 0; e < xs.size(); ++e) {
            while (s < e && xs[e] - xs[s] > 0.25)
                ++s;
            QCOMPARE(out[e], median(values.mid(s, e - s + 1)));
        }
    }

    // Two arcs of one circle with a gap: the whole stretch from the left end
    // of the first to the right end of the second, each key once, sorted.
    void mergeTwoArcsWithAGap()
    {
        const auto d = arc(QPointF(1, 2), 5, 190, 350, 161);
        const QVector<const QCPCurveData *> starts { &d[100], &d[10] };
        const QVector<const QCPCurveData *> ends { &d[150], &d[40] };
        const Profile p = mergeSegmentsByX(starts, ends, QPointF(1, 2), 5);
        QCOMPARE(p.keys.size(), 140);
        QCOMPARE(p.keys.first(), d[10].key);
        QCOMPARE(p.keys.last(), d[149].key);
        QVERIFY(std::is_sorted(p.keys.begin(), p.keys.end()));
        QVERIFY(std::adjacent_find(p.keys.begin(), p.keys.end()) == p.keys.end());
        for (double v : p.values)
            QVERIFY(std::abs(v) < 1e-12);
    }

    // A key met twice keeps its first deviation; ranges given with their ends
    // before their starts walk nothing instead of running off the data.
    void mergeKeepsTheFirstOfEqualKeys()
    {
        const QVector<QCPCurveData> d { { 0, 0, 0 }, { 1, 1, 0 }, { 2, 1, 3 }, { 3, 2, 0 } };
        const Profile p = mergeSegmentsByX({ &d[0] }, { d.end() }, QPointF(0, 10), 10);
        QCOMPARE(p.keys, QVector<double>({ 0, 1, 2 }));
        QCOMPARE(p.values[1], 10 - std::hypot(1.0, 10.0));
        const Profile reversed = mergeSegmentsByX({ &d[3] }, { &d[1] }, QPointF(0, 10), 10);
        QVERIFY(reversed.keys.isEmpty());
    }

    // Every polar point lies on the ray of its trace point, between R (the
    // largest deviation) and R + h (the smallest).
    void polarPointsBetweenTheCircleAndTheBand()
    {
        const QPointF c(3, -1);
        const double R = 4, h = 0.5;
        const auto d = arc(c, R, 200, 340, 50, 5, 0.01);
        const Profile dev = radialDeviations(d.begin(), d.end(), c, R);
        const PolarPoints pts = polarGraphPoints(d.begin(), d.end(), dev.values, c, R, h);
        QCOMPARE(pts.xs.size(), d.size());
        const auto range = valueRange(dev.values);
        QCOMPARE(pts.lo, range.first);
        QCOMPARE(pts.hi, range.second);
        for (int i = 0; i < d.size(); ++i) {
            const double rho = std::hypot(pts.xs[i] - c.x(), pts.ys[i] - c.y());
            QVERIFY(rho >= R - 1e-12 && rho <= R + h + 1e-12);
            const double expected = R + (1 - (dev.values[i] - range.first) / (range.second - range.first)) * h;
            QVERIFY(std::abs(rho - expected) < 1e-12);
            const double cross = (pts.xs[i] - c.x()) * (d[i].value - c.y()) - (pts.ys[i] - c.y()) * (d[i].key - c.x());
            QVERIFY(std::abs(cross) < 1e-9);
        }
        // Equal deviations all lie on the outer band.
        const PolarPoints flat = polarGraphPoints(d.begin(), d.end(), QVector<double>(d.size(), 0.2), c, R, h);
        QVERIFY(std::abs(std::hypot(flat.xs[3] - c.x(), flat.ys[3] - c.y()) - (R + h)) < 1e-12);
    }

    void correctionFactors_data()
    {
        QTest::addColumn<bool>("rz");
        QTest::addColumn<double>("v");
        QTest::addColumn<double>("k");
        QTest::newRow("Ra at 0") << false << 0.0 << 1.0;
        QTest::newRow("Ra below the table") << false << -1.0 << 1.0;
        QTest::newRow("Ra at the second row") << false << 0.298 << 1.02;
        QTest::newRow("Ra halfway 2nd-3rd") << false << 0.689 << 1.01;
        QTest::newRow("Ra at the fourth row") << false << 2.636 << 1.094;
        QTest::newRow("Ra beyond the table") << false << 20.0 << 0.921;
        QTest::newRow("Rz at the second row") << true << 0.62 << 1.02;
        QTest::newRow("Rz halfway 5th-6th") << true << 11.225 << (1.038 + 0.917) / 2;
        QTest::newRow("Rz at the last row") << true << 24.09 << 0.921;
    }

    void correctionFactors()
    {
        QFETCH(bool, rz);
        QFETCH(double, v);
        QFETCH(double, k);
        QCOMPARE_REL(rz ? rzCorrectionFactor(v) : raCorrectionFactor(v), k, 1e-12);
    }

    // The shape of the cut-off loop with a scripted parameter and advice: the
    // cut-offs it passes through, the extent it judges each one on and when
    // it stops.
    void cutOffLoop_data()
    {
        QTest::addColumn<double>("length");
        QTest::addColumn<QVector<double>>("values"); // the parameter of pass 1, 2, ...
        QTest::addColumn<QVector<double>>("advice"); // the cut-off recommended after pass 1, 2, ...
        QTest::addColumn<QVector<double>>("cutOffs"); // the cut-offs passed through
        QTest::addColumn<double>("value");
        QTest::newRow("too short: no pass") << 1200.0 << QVector<double> { 1 } << QVector<double> { 800 }
                                            << QVector<double> {} << 0.0;
        QTest::newRow("exactly two cut-offs: one pass")
            << 1600.0 << QVector<double> { 1 } << QVector<double> { 800 } << QVector<double> { 800 } << 1.0;
        QTest::newRow("settles at once") << 4000.0 << QVector<double> { 1 } << QVector<double> { 800 }
                                         << QVector<double> { 800 } << 1.0;
        QTest::newRow("down to 250, settles") << 4000.0 << QVector<double> { 0.05, 0.06 }
                                              << QVector<double> { 250, 250 } << QVector<double> { 800, 250 } << 0.06;
        QTest::newRow("back to one tried") << 4000.0 << QVector<double> { 0.05, 0.5 } << QVector<double> { 250, 800 }
                                           << QVector<double> { 800, 250 } << 0.5;
        QTest::newRow("next too long for the stretch")
            << 4000.0 << QVector<double> { 5 } << QVector<double> { 2500 } << QVector<double> { 800 } << 5.0;
        QTest::newRow("unknown standard ends it")
            << 4000.0 << QVector<double> { 0.05 } << QVector<double> { 0 } << QVector<double> { 800 } << 0.05;
        QTest::newRow("zero to four decimals ends it")
            << 4000.0 << QVector<double> { 0.00004 } << QVector<double> { 80 } << QVector<double> { 800 } << 0.00004;
    }

    void cutOffLoop()
    {
        QFETCH(double, length);
        QFETCH(QVector<double>, values);
        QFETCH(QVector<double>, advice);
        QFETCH(QVector<double>, cutOffs);
        QFETCH(double, value);
        TData profile(2);
        for (double x = 0; x <= length + 1e-9; x += 1) {
            profile[0] << x;
            profile[1] << std::sin(x / 7);
        }
        QVector<double> seen;
        QVector<double> extents;
        const RoughnessResult r = contourRoughness(
            profile,
            [&](const TData &filtered, double cutOff) {
                seen << cutOff;
                extents << filtered[0].last() - filtered[0].first();
                return values.value(seen.size() - 1);
            },
            [&](double) { return advice.value(seen.size() - 1); });
        QCOMPARE(seen, cutOffs);
        QCOMPARE(r.passes, cutOffs.size());
        QCOMPARE(r.value, value);
        QCOMPARE(r.length, length);
        // Each pass filtered the whole stretch: only its own half cut-off is
        // trimmed at each end.
        for (int i = 0; i < seen.size(); ++i)
            QVERIFY(std::abs(extents[i] - (length - seen[i])) <= 2);
    }

    // Ra and Rz of a sine, known analytically (Ra 2A/π, Rz 2A), with the
    // standard's advice: an Ra near 0.064 µm moves the cut-off to 250 µm,
    // which the second pass confirms.
    void sineUnderTheStandard()
    {
        Settings::instance().preferenses.standartisation_value = 1;
        const double A = 0.1, wavelength = 50;
        TData profile(2);
        for (double x = 0; x <= 3000; x += 0.5) {
            profile[0] << x;
            profile[1] << A * std::sin(2 * M_PI * x / wavelength) + 1e-4 * x;
        }
        QVector<double> seen;
        const auto advice = [](double v) { return double(Algos::recommendedCutoff(v)); };
        const RoughnessResult ra = contourRoughness(
            profile, [&](const TData &f, double c) { seen << c; return Algos::Ra(f, c); }, advice);
        QCOMPARE(seen, QVector<double>({ 800, 250 }));
        QCOMPARE(ra.cutOff, 250.0);
        QCOMPARE_REL(ra.value, 2 * A / M_PI, 0.05);
        const RoughnessResult rz
            = contourRoughness(profile, [](const TData &f, double c) { return Algos::Rz(f, c); }, advice);
        QCOMPARE_REL(rz.value, 2 * A, 0.06);
    }

    // A flat stretch runs one pass, measures 0 and stops there.
    void flatStretch()
    {
        TData profile(2);
        for (double x = 0; x <= 2000; x += 1) {
            profile[0] << x;
            profile[1] << 5.0;
        }
        int calls = 0;
        const RoughnessResult r = contourRoughness(
            profile, [&](const TData &f, double c) { ++calls; return Algos::Ra(f, c); }, [](double) { return 80.0; });
        QCOMPARE(calls, 1);
        QCOMPARE(r.value, 0.0);
    }
};

VANTOR_TEST_MAIN(TestDeviationGeometry)
#include "tst_deviationgeometry.moc"
