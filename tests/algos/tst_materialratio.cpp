#include "support/testmain.h"
#include "support/fuzzy.h"

#include "algos/materialratio.h"
#include "paramprofiles.h"

#include <QRandomGenerator>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace ParamProfiles;

namespace {

// A profile of N points whose material-ratio curve is the straight-line pieces
// (0 %, peakTop) → (p %, 1) → (100 - v %, -1) → (100 %, -valleyDepth), lifted
// by `offset`: a core line of known height range between peaks and valleys.
// The heights are spread over X in a scrambled order, as on a real surface.
TData knownCoreProfile(double p, double v, double peakTop, double valleyDepth, double offset)
{
    const int n = 100000;
    TData profile(2);
    profile[0].resize(n);
    profile[1].resize(n);
    for (int i = 0; i < n; ++i) {
        const double mr = (i + 0.5) / n * 100;
        double h;
        if (mr < p)
            h = peakTop - (peakTop - 1) * mr / p;
        else if (mr <= 100 - v)
            h = 1 - 2 * (mr - p) / (100 - p - v);
        else
            h = -1 - (valleyDepth - 1) * (mr - (100 - v)) / v;
        const int at = static_cast<int>((static_cast<long long>(i) * 7919) % n);
        profile[0][at] = at;
        profile[1][at] = h + offset;
    }
    return profile;
}

} // namespace

class TestMaterialRatio : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void materialLength_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("length");
        QTest::newRow("closed run counts, open run does not")
            << TData { { 0, 1, 2, 3, 4 }, { 0, 2, 2, 0, 2 } } << 1.0 << 2.0;
        QTest::newRow("point on the level changes nothing") << TData { { 0, 1, 2 }, { 2, 1, 0 } } << 1.0 << 2.0;
        QTest::newRow("two runs") << TData { { 0, 1, 2, 3, 4, 5 }, { 2, 0, 2, 2, 0, 0 } } << 1.0 << 3.0;
        QTest::newRow("never above") << TData { { 0, 1, 2 }, { 0, 0, 0 } } << 1.0 << 0.0;
        QTest::newRow("one point") << TData { { 0 }, { 5 } } << 1.0 << 0.0;
    }

    void materialLength()
    {
        QFETCH(TData, profile);
        QFETCH(double, level);
        QFETCH(double, length);
        QCOMPARE(Algos::materialLength(profile, level), length);
    }

    void materialRatioAtLevel_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<double>("l");
        QTest::addColumn<double>("etaP");
        QTest::addColumn<double>("tp");
        const auto halves = [](double x) { return std::fmod(x, 100) < 50 ? 1.0 : -1.0; };
        QTest::newRow("above over the first half") << sampled(0, 100, 1, halves) << 100.0 << 50.0 << 50.0;
        // Second sampling length X 101 … 200: above from 101 to 150 of an extent of 99.
        QTest::newRow("two sampling lengths")
            << sampled(0, 200, 1, halves) << 100.0 << (50.0 + 49) / 2 << (50.0 / 100 + 49.0 / 99) / 2 * 100;
        QTest::newRow("shorter than l") << sampled(0, 90, 1, halves) << 100.0 << 0.0 << 0.0;
    }

    void materialRatioAtLevel()
    {
        QFETCH(TData, profile);
        QFETCH(double, l);
        QFETCH(double, etaP);
        QFETCH(double, tp);
        QCOMPARE_REL(Algos::etaP(profile, l, 0), etaP, 1e-12);
        QCOMPARE_REL(Algos::tp(profile, l, 0), tp, 1e-12);
    }

    void materialRatioCurve_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<QVector<double>>("ratio");
        QTest::addColumn<QVector<double>>("level");

        QVector<double> ratio, level;
        for (int j = 0; j < 100; ++j) {
            ratio << (j < 99 ? 50.0 : 100.0);
            level << 0.01 * (99 - j);
        }
        QTest::newRow("two heights") << TData { { 0, 1 }, { 0, 1 } } << ratio << level;

        // 101 heights lying exactly on the levels: each level counts its own point.
        TData steps(2);
        ratio.clear();
        level.clear();
        for (int i = 0; i <= 100; ++i) {
            steps[0] << i;
            steps[1] << 0.0 + (1.0 - 0.0) / 100 * i;
        }
        for (int j = 0; j < 100; ++j) {
            ratio << (2.0 + j) / 101 * 100;
            level << 0.0 + (1.0 - 0.0) / 100 * (99 - j);
        }
        QTest::newRow("heights on the levels") << steps << ratio << level;
    }

    void materialRatioCurve()
    {
        QFETCH(TData, profile);
        QFETCH(QVector<double>, ratio);
        QFETCH(QVector<double>, level);
        const TData curve = Algos::materialRatioCurve(profile);
        QCOMPARE(curve.size(), 2);
        QCOMPARE(curve[1], level);
        for (int j = 0; j < ratio.size(); ++j)
            QCOMPARE_REL(curve[0][j], ratio[j], 1e-12);
    }

    void curvesOfFlatProfileAreEmpty()
    {
        const TData flat { { 0, 1, 2 }, { 4, 4, 4 } };
        for (const TData &curve : { Algos::materialRatioCurve(flat), Algos::heightMaterialRatioCurve(flat),
                 Algos::materialRatioCurve(TData()), Algos::heightMaterialRatioCurve(TData(2)) }) {
            QCOMPARE(curve.size(), 2);
            QVERIFY(curve[0].isEmpty() && curve[1].isEmpty());
        }
    }

    void heightCurve()
    {
        const TData curve = Algos::heightMaterialRatioCurve(TData { { 0, 1, 2, 3 }, { 1, 4, 2, 3 } });
        QCOMPARE(curve[0], (QVector<double> { 12.5, 37.5, 62.5, 87.5 }));
        QCOMPARE(curve[1], (QVector<double> { 4, 3, 2, 1 }));
    }

    void coreRoughness_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<QVector<double>>("expected"); // Rk Rpk Rvk Mr1 Mr2

        // Core of 80 % from +1 to -1: core line 1.25 - 0.025 Mr; peaks to 5, valleys to -7.
        // Mr1 where the peaks fall to 1.25, Mr2 where the valleys fall to -1.25;
        // Rpk and Rvk are the heights of the peak and valley triangles.
        const QVector<double> core { 2.5, 3.75, 5.75, 9.375, 90 + 10 * 0.25 / 6 };
        QTest::newRow("peaks and valleys") << knownCoreProfile(10, 10, 5, 7, 0) << core;
        // The same surface lower or higher gives the same core: nothing depends
        // on where zero lies.
        QTest::newRow("shifted down by 3") << knownCoreProfile(10, 10, 5, 7, -3) << core;
        QTest::newRow("shifted up by 50") << knownCoreProfile(10, 10, 5, 7, 50) << core;
        // Sparse high peaks: 2 % of the points reach up to 40.
        const double c0 = 1 + 2.0 * 2 / 93, c100 = 1 - 2.0 * 98 / 93;
        QTest::newRow("sparse high peaks") << knownCoreProfile(2, 5, 40, 3,
            0) << QVector<double> { 200.0 / 93, 40 - c0, c100 + 3, 2 * (40 - c0) / 39, 95 + 5 * (-1 - c100) / 2 };
    }

    void coreRoughness()
    {
        QFETCH(TData, profile);
        QFETCH(QVector<double>, expected);
        const TData curve = Algos::heightMaterialRatioCurve(profile);
        const double tol = 2e-3;
        const Algos::RMS core = Algos::rkCoreLine(curve);
        QVERIFY(core.isValid());
        QCOMPARE_NEAR(core.value(0) - core.value(100), expected[0], tol);
        QCOMPARE_NEAR(Algos::Rk(curve), expected[0], tol);
        QCOMPARE_NEAR(Algos::Rpk(curve), expected[1], tol);
        QCOMPARE_NEAR(Algos::Rvk(curve), expected[2], tol);
        QCOMPARE_NEAR(Algos::Mr1(curve), expected[3], tol);
        QCOMPARE_NEAR(Algos::Mr2(curve), expected[4], tol);
    }

    void coreRoughnessWithoutCore_data()
    {
        QTest::addColumn<TData>("curve");
        QTest::newRow("no curve") << TData();
        QTest::newRow("empty channels") << TData(2);
        QTest::newRow("one point") << TData { { 100 }, { 1 } };
        QTest::newRow("no window spans 40 %") << TData { { 70, 80, 100 }, { 3, 2, 1 } };
    }

    void coreRoughnessWithoutCore()
    {
        QFETCH(TData, curve);
        for (auto f : { Algos::Rk, Algos::Rpk, Algos::Rvk, Algos::Mr1, Algos::Mr2 })
            QCOMPARE(f(curve), 0.0);
    }

    void dp_data()
    {
        QTest::addColumn<TData>("histogram");
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("dp");
        const TData h { { 1, 2, 3 }, { 10, 20, 30 } };
        QTest::newRow("below every centre") << h << 0.0 << 10.0;
        QTest::newRow("on a centre takes the next") << h << 1.0 << 20.0;
        QTest::newRow("above every centre") << h << 3.0 << 0.0;
        QTest::newRow("one window") << TData { { 1 }, { 10 } } << 0.0 << 0.0;
        QTest::newRow("unequal channels") << TData { { 1, 2, 3 }, { 10, 20 } } << 0.0 << 0.0;
        QTest::newRow("no histogram") << TData() << 0.0 << 0.0;
    }

    void dp()
    {
        QFETCH(TData, histogram);
        QFETCH(double, level);
        QFETCH(double, dp);
        QCOMPARE(Algos::Dp(histogram, level), dp);
    }

    void amplitudeDensity_data()
    {
        QTest::addColumn<int>("density");
        QTest::addColumn<int>("windows");
        QTest::addColumn<double>("firstShare"); // points in the first window, of 101
        QTest::addColumn<double>("widestShare"); // points in window 20
        QTest::newRow("density 10") << 10 << 110 << 2.0 << 12.0;
        QTest::newRow("density 0") << 0 << 100 << 2.0 << 2.0;
    }

    void amplitudeDensity()
    {
        QFETCH(int, density);
        QFETCH(int, windows);
        QFETCH(double, firstShare);
        QFETCH(double, widestShare);

        // Heights 0 … 100 in steps of 1: a window [f, e] % holds the heights
        // f … e, both bounds included.
        const TData p = sampled(0, 100, 1, [](double x) { return x; });
        const TData h = Algos::amplitudeDensity(p, density);
        QCOMPARE(h.size(), 2);
        QCOMPARE(h[0].size(), windows);
        QCOMPARE(h[1].size(), windows);
        QCOMPARE_REL(h[0].first(), 0.5, 1e-12);
        QCOMPARE_REL(h[0].last(), 99.5, 1e-12);
        QCOMPARE_REL(h[1].first(), firstShare / 101 * 100, 1e-12);
        QCOMPARE_REL(h[1][20], widestShare / 101 * 100, 1e-12);
        QVERIFY(Algos::amplitudeDensity(TData { { 0 }, { 1 } }, density).isEmpty());
        QVERIFY(Algos::amplitudeDensity(TData { { 0, 1, 2 }, { 1, 2 } }, density).isEmpty());
    }

    void amplitudeDensityInRect()
    {
        // Y = √X for X 0 … 10: the rectangle 2 < X < 8 holds X 3 … 7. Levels
        // span the profile's own range 0 … √10 in windows of √10 / 100; the
        // shares are of the 5 points inside, and only window 63 holds Y = 2.
        const TData p = sampled(0, 10, 1, [](double x) { return std::sqrt(x); });
        const double xr[2] = { 2, 8 }, yr[2] = { -100, 100 };
        const TData h = Algos::amplitudeDensityInRect(p, 0, xr, yr);
        QCOMPARE(h.size(), 2);
        QCOMPARE(h[0].size(), 100);
        QCOMPARE_REL(h[0][63], 63.5 / 100 * std::sqrt(10.0), 1e-12);
        QCOMPARE(h[1][62], 0.0);
        QCOMPARE(h[1][63], 20.0);
        QCOMPARE(h[1][64], 0.0);

        const double oneX[2] = { 2.5, 3.5 };
        QVERIFY(Algos::amplitudeDensityInRect(p, 0, oneX, yr).isEmpty());
    }

    // The curves that rest on the order of the heights match the plain sorted
    // computation exactly: heights on the window bounds, repeated heights,
    // both signs of zero, and enough points for the radix sort and for the
    // density to be counted in chunks on several threads.
    void orderedCurvesMatchSortedHeights()
    {
        QRandomGenerator random(40);
        const int n = 300000;
        TData profile(2);
        for (int i = 0; i < n; ++i) {
            profile[0].append(i);
            const int kind = random.bounded(4);
            double y = random.generateDouble() * 20 - 10;
            if (kind == 0)
                y = -10 + random.bounded(101) / 100.0 * 20; // on a window bound
            else if (kind == 1)
                y = (i % 2) ? 0.0 : -0.0;
            else if (kind == 2)
                y = std::round(y);
            profile[1].append(y);
        }
        std::vector<double> ascending(profile[1].cbegin(), profile[1].cend());
        std::sort(ascending.begin(), ascending.end());
        const TData density = Algos::amplitudeDensity(profile, 10, -10, 10);
        QCOMPARE(density[0].size(), density[1].size());
        int f = 0, e = 1;
        for (int w = 0; w < density[1].size(); ++w) {
            const double lo = -10 + f / 100.0 * 20;
            const double hi = -10 + e / 100.0 * 20;
            const auto first = std::lower_bound(ascending.cbegin(), ascending.cend(), lo);
            const auto last = std::upper_bound(first, ascending.cend(), hi);
            QCOMPARE(density[1][w], int(last - first) / double(n) * 100);
            const int nextF = (e - f > 10 || e == 100) ? f + 1 : f;
            if (e < 100)
                ++e;
            f = nextF;
        }

        const TData curve = Algos::heightMaterialRatioCurve(profile);
        QVector<double> descending(profile[1]);
        std::sort(descending.begin(), descending.end(), std::greater<double>());
        QCOMPARE(curve[1], descending);
        // Asked again for the same profile, the same curve.
        QCOMPARE(Algos::heightMaterialRatioCurve(profile), curve);
    }

    // The density of the points in a view is counted in chunks on several
    // threads; it is the one a single thread counts, also where the extremes
    // of the heights are tied, of both signs of zero, or next to heights that
    // are not numbers (first, inside a chunk, last).
    void densityInRectDoesNotDependOnTheThreads_data()
    {
        QTest::addColumn<QVector<int>>("nanAt");
        QTest::newRow("numbers only") << QVector<int> {};
        QTest::newRow("not a number first") << QVector<int> { 0 };
        QTest::newRow("not a number inside") << QVector<int> { 123457 };
        QTest::newRow("not a number last") << QVector<int> { 299999 };
    }

    void densityInRectDoesNotDependOnTheThreads()
    {
        QFETCH(QVector<int>, nanAt);
        QRandomGenerator random(41);
        const int n = 300000;
        TData profile(2);
        for (int i = 0; i < n; ++i) {
            profile[0].append(i);
            double y = std::round(random.generateDouble() * 40 - 20) / 2; // many ties, the extremes too
            if (y == 0 && i % 2)
                y = -0.0;
            profile[1].append(y);
        }
        // One highest height early on: a height that is not a number after it
        // takes the place of the highest as the heights are walked in order.
        profile[1][5] = 11;
        for (int i : nanAt)
            profile[1][i] = std::nan("");
        const double xr[2] = { 1000, 290000 };
        const double yr[2] = { -8, 12 };
        QThreadPool *pool = QThreadPool::globalInstance();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(4);
        const TData chunked = Algos::amplitudeDensityInRect(profile, 10, xr, yr);
        pool->setMaxThreadCount(1);
        const TData single = Algos::amplitudeDensityInRect(profile, 10, xr, yr);
        pool->setMaxThreadCount(threads);
        QCOMPARE(chunked.size(), 2);
        QCOMPARE(chunked, single);
        // The whole profile's density, chunked as well.
        pool->setMaxThreadCount(4);
        const TData whole = Algos::amplitudeDensity(profile, 10, -8, 12);
        pool->setMaxThreadCount(1);
        QCOMPARE(whole, Algos::amplitudeDensity(profile, 10, -8, 12));
        pool->setMaxThreadCount(threads);
    }

    void fractionAboveLevel()
    {
        // A cosine lies above half its amplitude over a third of its period.
        const TData p = sampled(0, 800, 0.1, [](double x) { return std::cos(2 * kPi * x / 100); });
        QCOMPARE_NEAR(Algos::fractionAboveLevel(p, 0.5), 1.0 / 3, 1e-3);
        QCOMPARE(Algos::fractionAboveLevel(TData { { 0 }, { 1 } }, 0), 0.0);
    }
};

VANTOR_TEST_MAIN(TestMaterialRatio)
#include "tst_materialratio.moc"
