#include "support/testmain.h"
#include "support/fuzzy.h"

#include "algos/spacingparams.h"
#include "paramprofiles.h"

#include <cmath>

using namespace ParamProfiles;

namespace {

constexpr double kDeg = 57.29577951308232;

bool near(double actual, double expected, double tol)
{
    return std::isfinite(actual) && std::abs(actual - expected) <= tol * std::max(1.0, std::abs(expected));
}

#define QCOMPARE_NEAR(actual, expected, tol)                                                                           \
    QVERIFY2(near((actual), (expected), (tol)),                                                                        \
        qPrintable(QStringLiteral("%1 = %2, expected %3").arg(#actual).arg((actual), 0, 'g', 12).arg(expected)))

// Square wave of ±10, 15 points low then 15 high, continuing `lead` up to 1000 points.
TData withSquareWave(QVector<QPair<double, int>> lead)
{
    int n = 0;
    for (const auto &run : lead)
        n += run.second;
    for (bool low = true; n < 1000; low = !low) {
        const int count = std::min(15, 1000 - n);
        lead.append({ low ? -10.0 : 10.0, count });
        n += count;
    }
    return runs(lead);
}

} // namespace

class TestSpacing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void analyticProfiles_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<QVector<double>>("expected"); // RSm Rc RΔq RΔa λq λa S D L0 l0 (l = 800)

        const double a = 2.0, lambda = 100.0, k = 2 * kPi / lambda;
        // Even about the centre, so the mean line is level; D counts 7 downward
        // crossings over 800 µm (0.08 cm).
        QTest::newRow("cosine") << sampled(0, 800, 0.1, [=](double x) { return a * std::cos(k * x); })
                                << QVector<double> { lambda, 2 * a, a * k / std::sqrt(2.0) * kDeg,
                                       a * k * 2 / kPi * kDeg, lambda, lambda, lambda, 87.5, -1, -1 };
        const double slope = 4 * a / lambda;
        QTest::newRow("triangle") << sampled(0, 800, 0.1, [=](double x) { return triangle(x + 25, a, lambda); })
                                  << QVector<double> { lambda, 2 * a, slope * kDeg, slope * kDeg,
                                         2 * kPi * (a / std::sqrt(3.0)) / slope, 2 * kPi * (a / 2) / slope, lambda,
                                         87.5, 800 * std::sqrt(1 + slope * slope), std::sqrt(1 + slope * slope) };
        QTest::newRow("flat") << sampled(0, 800, 1, [](double) { return 3.0; })
                              << QVector<double> { 0, 0, 0, 0, 0, 0, 0, 0, 800, 1 };
        QTest::newRow("line Y = 0.01 X") << sampled(0, 800, 1, [](double x) { return 0.01 * x; })
                                         << QVector<double> { 0, 0, 0.5729577951308232, 0.5729577951308232, 0, 0, 0, 0,
                                                800 * std::sqrt(1.0001), std::sqrt(1.0001) };
    }

    void analyticProfiles()
    {
        QFETCH(TData, profile);
        QFETCH(QVector<double>, expected);
        const double l = 800, tol = 2e-3;

        QCOMPARE_NEAR(Algos::RSm(profile, l), expected[0], tol);
        QCOMPARE_NEAR(Algos::Rc(profile, l), expected[1], tol);
        QCOMPARE_NEAR(Algos::RDeltaQ(profile, l), expected[2], 1e-5);
        QCOMPARE_NEAR(Algos::RDeltaA(profile, l), expected[3], 1e-5);
        QCOMPARE_NEAR(Algos::lambdaQ(profile, l), expected[4], tol);
        QCOMPARE_NEAR(Algos::lambdaA(profile, l), expected[5], tol);
        QCOMPARE_NEAR(Algos::S(profile), expected[6], 1e-9);
        QCOMPARE_NEAR(Algos::D(profile, l), expected[7], tol);
        if (expected[8] >= 0) {
            QCOMPARE_NEAR(Algos::L0(profile, l), expected[8], 1e-9);
            QCOMPARE_NEAR(Algos::l0(profile, l), expected[9], 1e-9);
        }
    }

    void profileElements_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<double>("rsm");

        // X 0 … 999, l = 999: elements must be wider than 9.99 and higher than
        // 0.1 Rz (about 2). Each regular element of the square wave is 29 wide.
        QTest::newRow("regular elements") << withSquareWave({}) << 29.0;
        // A 5-point element is too narrow: it merges into the next, which then
        // runs from X 0 to X 35; 32 regular elements follow.
        QTest::newRow("narrow element merges into the next")
            << withSquareWave({ { -10, 3 }, { 10, 2 }, { -10, 16 }, { 10, 15 } }) << (35.0 + 32 * 29) / 33;
        // A wide element of height 1 is too low: merged, the next runs X 0 … 55;
        // 31 regular elements follow.
        QTest::newRow("low element merges into the next")
            << withSquareWave({ { -0.5, 11 }, { 0.5, 15 }, { -10, 15 }, { 10, 15 } }) << (55.0 + 31 * 29) / 32;
    }

    void profileElements()
    {
        QFETCH(TData, profile);
        QFETCH(double, rsm);
        QCOMPARE_REL(Algos::RSm(profile, 999), rsm, 1e-12);
        // Every counted element spans both levels of the wave.
        QCOMPARE_REL(Algos::Rc(profile, 999), 20.0, 1e-3);
    }

    void rcAndDPerSamplingLength()
    {
        // l = 600 over 4000 µm: five sampling lengths with gaps of 250, each
        // even about its centre. Rc and D scan each on its own, RSm once over
        // the whole profile. A sampling length starting on a crest counts 5
        // downward crossings, one starting in a trough 6: D = 27 / 5 per 600 µm.
        const TData p = sampled(0, 4000, 0.5, [](double x) { return std::cos(2 * kPi * x / 100); });
        QCOMPARE_NEAR(Algos::Rc(p, 600), 2.0, 1e-3);
        QCOMPARE_NEAR(Algos::RSm(p, 600), 100.0, 1e-2); // one sample step short
        QCOMPARE_NEAR(Algos::D(p, 600), 27.0 / 5 / 0.06, 1e-9);
    }

    void peakSpacing_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<double>("s");
        QTest::newRow("two peaks") << TData { { 0, 10, 20, 30, 40 }, { 0, 1, 0, 1, 0 } } << 20.0;
        QTest::newRow("one peak") << TData { { 0, 10, 20 }, { 0, 1, 0 } } << 0.0;
        QTest::newRow("monotone") << TData { { 0, 10, 20, 30 }, { 0, 1, 2, 3 } } << 0.0;
        QTest::newRow("plateau is no peak") << TData { { 0, 10, 20, 30, 40, 50 }, { 0, 1, 1, 0, 2, 0 } } << 0.0;
        QTest::newRow("uneven spacing averages")
            << TData { { 0, 1, 2, 3, 4, 5, 6, 7 }, { 0, 3, 0, 0, 3, 0, 3, 0 } } << 2.5;
    }

    void peakSpacing()
    {
        QFETCH(TData, profile);
        QFETCH(double, s);
        QCOMPARE(Algos::S(profile), s);
    }

    void repeatedXCarriesNoSlope()
    {
        // Every point twice: the steps without X advance carry no slope.
        const TData p = sampled(0, 800, 1, [](double x) { return std::cos(2 * kPi * x / 100); });
        TData doubled(2);
        for (int i = 0; i < p[0].size(); ++i) {
            doubled[0] << p[0][i] << p[0][i];
            doubled[1] << p[1][i] << p[1][i];
        }
        QCOMPARE_REL(Algos::RDeltaQ(doubled, 800), Algos::RDeltaQ(p, 800), 1e-12);
        QCOMPARE_REL(Algos::RDeltaA(doubled, 800), Algos::RDeltaA(p, 800), 1e-12);
        QCOMPARE_REL(Algos::lambdaQ(doubled, 800), Algos::lambdaQ(p, 800), 1e-12);
    }

    void developedLengthOfShortSamplingLengths()
    {
        // l = 10 over X 0 … 20: the first sampling length holds 3 points, the
        // second 2 (X 15 and 20), which add no length but still count.
        const TData p { { 0, 5, 10, 15, 20 }, { 0, 0, 0, 0, 0 } };
        QCOMPARE(Algos::L0(p, 10), 5.0);
        QCOMPARE(Algos::l0(p, 10), 0.5);
        QCOMPARE(Algos::polylineLength(TData { { 0, 3 }, { 0, 4 } }), 0.0);
        QCOMPARE(Algos::polylineLength(TData { { 0, 3, 6 }, { 0, 4, 0 } }), 10.0);
    }

    void crossingDensity()
    {
        // Runs above level 0.5 of a cosine over 800 µm: 9 (the first starts at X 0).
        const TData p = sampled(0, 800, 0.5, [](double x) { return std::cos(2 * kPi * x / 100); });
        QCOMPARE_NEAR(Algos::crossingDensity(p, 0.5), 9 / 800.0 * 10000, 1e-9);
        QCOMPARE(Algos::crossingDensity(TData { { 0 }, { 1 } }, 0), 0.0);
    }

    void degenerateInput_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::newRow("no channels") << TData();
        QTest::newRow("channels without points") << TData(2);
        QTest::newRow("one point") << TData { { 0 }, { 5 } };
        QTest::newRow("points sharing one X") << TData { { 4, 4, 4 }, { 1, 2, 3 } };
        QTest::newRow("shorter than l") << sampled(0, 90, 1, [](double x) { return std::cos(x); });
    }

    void degenerateInput()
    {
        QFETCH(TData, profile);
        for (auto f : { Algos::RSm, Algos::Rc, Algos::RDeltaQ, Algos::RDeltaA, Algos::lambdaQ, Algos::lambdaA, Algos::D,
                 Algos::L0, Algos::l0 })
            QCOMPARE(f(profile, 100), 0.0);
    }
};

VANTOR_TEST_MAIN(TestSpacing)
#include "tst_spacing.moc"
