#include "support/testmain.h"
#include "support/fuzzy.h"

#include "algos/amplitudeparams.h"
#include "algos/samplinglengths.h"
#include "paramprofiles.h"

#include <cmath>

using namespace ParamProfiles;

namespace {

// |actual - expected| within tol, relative to |expected| above 1 and absolute below.
bool near(double actual, double expected, double tol)
{
    return std::isfinite(actual) && std::abs(actual - expected) <= tol * std::max(1.0, std::abs(expected));
}

#define QCOMPARE_NEAR(actual, expected, tol)                                                                           \
    QVERIFY2(near((actual), (expected), (tol)),                                                                        \
        qPrintable(QStringLiteral("%1 = %2, expected %3").arg(#actual).arg((actual), 0, 'g', 12).arg(expected)))

TData cosine(double x1, double amplitude, double wavelength, double step = 0.1)
{
    return sampled(0, x1, step, [=](double x) { return amplitude * std::cos(2 * kPi * x / wavelength); });
}

} // namespace

class TestAmplitude : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitToSamplingLengths_data()
    {
        QTest::addColumn<double>("length"); // profile X 0 … length in steps of 1, l = 100
        QTest::addColumn<QVector<double>>("firstX");
        QTest::addColumn<QVector<double>>("lastX");
        QTest::addColumn<int>("whole"); // samplingLengthCount

        QTest::newRow("3.5 l: three with gaps of l/4")
            << 350.0 << QVector<double> { 0, 125, 250 } << QVector<double> { 100, 225, 350 } << 3;
        QTest::newRow("12 l: five with gaps of 1.75 l") << 1200.0 << QVector<double> { 0, 275, 550, 825, 1100 }
                                                        << QVector<double> { 100, 375, 650, 925, 1200 } << 5;
        QTest::newRow("1.5 l: one, the rest ignored") << 150.0 << QVector<double> { 0 } << QVector<double> { 100 } << 1;
        QTest::newRow("0.9 l: one holding every point") << 90.0 << QVector<double> { 0 } << QVector<double> { 90 } << 0;
        QTest::newRow("2 l: shared bound stays with the first")
            << 200.0 << QVector<double> { 0, 101 } << QVector<double> { 100, 200 } << 2;
    }

    void splitToSamplingLengths()
    {
        QFETCH(double, length);
        QFETCH(QVector<double>, firstX);
        QFETCH(QVector<double>, lastX);
        QFETCH(int, whole);

        const TData profile = sampled(0, length, 1, [](double x) { return std::sin(x); });
        const QVector<TData> parts = Algos::splitToSamplingLengths(profile, 100);
        QCOMPARE(parts.size(), firstX.size());
        for (int k = 0; k < parts.size(); ++k) {
            QCOMPARE(parts[k].size(), 2);
            QCOMPARE(parts[k][0].first(), firstX[k]);
            QCOMPARE(parts[k][0].last(), lastX[k]);
            QCOMPARE(parts[k][1].size(), parts[k][0].size());
            QCOMPARE(parts[k][1].first(), std::sin(firstX[k]));
        }
        QCOMPARE(Algos::samplingLengthCount(profile, 100), whole);
    }

    void splitOfNothing()
    {
        QVERIFY(Algos::splitToSamplingLengths(TData(), 100).isEmpty());
        QVERIFY(Algos::splitToSamplingLengths(TData(2), 100).isEmpty());
        QVERIFY(Algos::splitToSamplingLengths(cosine(800, 1, 100), 0).isEmpty());
    }

    void analyticProfiles_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::addColumn<double>("l");
        QTest::addColumn<QVector<double>>("expected"); // Ra Rq Rsk Rku Rz Rp Rv Rmax Rt

        const double a = 2.0;
        // Whole periods, even about the centre so the mean line is level.
        QTest::newRow("cosine: Ra 2A/π, Rq A/√2, Rku 1.5") << cosine(800, a,
            100) << 800.0 << QVector<double> { 2 * a / kPi, a / std::sqrt(2.0), 0, 1.5, 2 * a, a, a, 2 * a, 2 * a };
        QTest::newRow("cosine over five sampling lengths") << cosine(4000, a,
            100) << 800.0 << QVector<double> { 2 * a / kPi, a / std::sqrt(2.0), 0, 1.5, 2 * a, a, a, 2 * a, 2 * a };
        QTest::newRow("triangle: Ra A/2, Rq A/√3, Rku 1.8")
            << sampled(0, 800, 0.1, [=](double x) { return triangle(x + 25, a, 100); }) << 800.0
            << QVector<double> { a / 2, a / std::sqrt(3.0), 0, 1.8, 2 * a, a, a, 2 * a, 2 * a };
        QTest::newRow("flat: everything 0, shape factors too")
            << sampled(0, 800, 1, [](double) { return 3.0; }) << 800.0 << QVector<double> { 0, 0, 0, 0, 0, 0, 0, 0, 0 };
        QTest::newRow("tilted line: only Rmax sees the tilt") << sampled(0, 1600, 1, [](double x) { return 0.01 * x; })
                                                              << 800.0 << QVector<double> { 0, 0, 0, 0, 0, 0, 0, 8, 0 };
        QTest::newRow("shorter than l: all 0 but Rt")
            << cosine(720, a, 90) << 800.0 << QVector<double> { 0, 0, 0, 0, 0, 0, 0, 0, 2 * a };
    }

    void analyticProfiles()
    {
        QFETCH(TData, profile);
        QFETCH(double, l);
        QFETCH(QVector<double>, expected);

        const double tol = 1e-3;
        QCOMPARE_NEAR(Algos::Ra(profile, l), expected[0], tol);
        QCOMPARE_NEAR(Algos::Rq(profile, l), expected[1], tol);
        QCOMPARE_NEAR(Algos::Rsk(profile, l), expected[2], tol);
        QCOMPARE_NEAR(Algos::Rku(profile, l), expected[3], tol);
        QCOMPARE_NEAR(Algos::Rz(profile, l), expected[4], tol);
        QCOMPARE_NEAR(Algos::Rm(profile, l), expected[4], tol);
        QCOMPARE_NEAR(Algos::Rp(profile, l), expected[5], tol);
        QCOMPARE_NEAR(Algos::Rv(profile, l), expected[6], tol);
        QCOMPARE_NEAR(Algos::Rmax(profile, l), expected[7], tol);
        QCOMPARE_NEAR(Algos::Rt(profile), expected[8], tol);
        // Third and five-point extremes of a densely sampled wave sit at its crests.
        QCOMPARE_NEAR(Algos::R3z(profile, l), expected[4], 2 * tol);
        QCOMPARE_NEAR(Algos::Rz10(profile, l), expected[4], 2 * tol);
    }

    void skewedProfile()
    {
        // Half-wave rectified cosine: a skew the sign of which is known, and a
        // shape factor checked against moments computed here independently.
        const TData p = sampled(0, 800, 0.1, [](double x) { return std::max(0.0, std::cos(2 * kPi * x / 100)); });
        QVERIFY(Algos::Rsk(p, 800) > 0.5);
        const TData flipped
            = sampled(0, 800, 0.1, [](double x) { return -std::max(0.0, std::cos(2 * kPi * x / 100)); });
        QCOMPARE_REL(Algos::Rsk(flipped, 800), -Algos::Rsk(p, 800), 1e-9);
        QCOMPARE_REL(Algos::Rku(flipped, 800), Algos::Rku(p, 800), 1e-9);
    }

    void gapsTakeNoPart()
    {
        // L = 3.5 l: the points between sampling lengths count nowhere but in Rt.
        const TData plain = cosine(350, 1, 50, 1);
        TData spiked = plain;
        spiked[1][110] = 1000; // X 110 lies between the first two sampling lengths
        spiked[1][240] = -1000;
        for (auto f : { Algos::Ra, Algos::Rq, Algos::Rz, Algos::Rp, Algos::Rv, Algos::Rmax, Algos::R3z })
            QCOMPARE(f(spiked, 100), f(plain, 100));
        QVERIFY(Algos::Rt(spiked) > 1000);
    }

    void emptySamplingLengthIsSkipped()
    {
        // Two measured stretches with a hole between them: of the four sampling
        // lengths the middle two hold no point and leave the means alone.
        TData p = cosine(100, 1, 100, 0.5);
        const TData far = sampled(350, 450, 0.5, [](double x) { return std::cos(2 * kPi * x / 100); });
        p[0] += far[0];
        p[1] += far[1];
        QCOMPARE(Algos::splitToSamplingLengths(p, 100).size(), 4);
        QCOMPARE_NEAR(Algos::Rz(p, 100), 2.0, 1e-3);
        QCOMPARE_NEAR(Algos::Rp(p, 100), 1.0, 1e-2);
        QCOMPARE_NEAR(Algos::Rv(p, 100), 1.0, 1e-2);
        QCOMPARE_NEAR(Algos::Rmax(p, 100), 2.0, 1e-9);
        QCOMPARE_NEAR(Algos::R3z(p, 100), 2.0, 1e-2);
        QCOMPARE_NEAR(Algos::Ra(p, 100), 2 / kPi, 1e-2);
    }

    void rz10NeedsTenPoints()
    {
        // l = 10 over X 0 … 20: the first sampling length holds X 0 … 10 (11
        // points), the second X 12 … 20 (9 points) and is left out.
        const auto y = [](double x) { return std::fmod(x * 7.3, 3.1) - 1.5; };
        TData p = sampled(0, 10, 1, y);
        const TData firstAlone = p;
        const TData second = sampled(12, 20, 1, y);
        p[0] += second[0];
        p[1] += second[1];
        QVERIFY(Algos::Rz10(firstAlone, 10) > 0);
        QCOMPARE(Algos::Rz10(p, 10), Algos::Rz10(firstAlone, 10));

        const TData nine = sampled(0, 8, 1, y);
        QCOMPARE(Algos::Rz10(nine, 8), 0.0);
    }

    void unorderedPointsSplitTheSame()
    {
        // Two points out of X order: the points are split by their X all the same.
        const TData ordered = cosine(1600, 1, 100, 1);
        TData swapped = ordered;
        std::swap(swapped[0][300], swapped[0][301]);
        std::swap(swapped[1][300], swapped[1][301]);
        QCOMPARE_REL(Algos::Ra(swapped, 800), Algos::Ra(ordered, 800), 1e-12);
        QCOMPARE_REL(Algos::Rz(swapped, 800), Algos::Rz(ordered, 800), 1e-12);
    }

    void degenerateInput_data()
    {
        QTest::addColumn<TData>("profile");
        QTest::newRow("no channels") << TData();
        QTest::newRow("channels without points") << TData(2);
        QTest::newRow("one channel") << TData { { 0, 1, 2 } };
        QTest::newRow("one point") << TData { { 0 }, { 5 } };
        QTest::newRow("points sharing one X") << TData { { 4, 4, 4 }, { 1, 2, 3 } };
        QTest::newRow("channels of different lengths") << TData { { 0, 10, 200, 300 }, { 1, -1 } };
    }

    void degenerateInput()
    {
        QFETCH(TData, profile);
        for (auto f : { Algos::Ra, Algos::Rq, Algos::Rsk, Algos::Rku, Algos::Rmax, Algos::Rz, Algos::Rm, Algos::Rp,
                 Algos::Rv, Algos::R3z, Algos::Rz10 }) {
            QCOMPARE(f(profile, 100), 0.0);
            QCOMPARE(f(profile, 0.0), 0.0);
        }
        QVERIFY(std::isfinite(Algos::Rt(profile)));
    }
};

VANTOR_TEST_MAIN(TestAmplitude)
#include "tst_amplitude.moc"
