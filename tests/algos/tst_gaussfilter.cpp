#include "algos/gaussfilter.h"
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "algos/profileutils.h"

#include <QThreadPool>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>

namespace {

using Complex = std::complex<double>;
using Spectrum = QVector<Complex>;

constexpr double kNoLongCutoff = std::numeric_limits<double>::max();
constexpr double kPi = 3.141592653589793;

// Direct O(n^2) DFT with the forward sign negative: the independent reference
// for the fast transform.
Spectrum directDft(const Spectrum &a)
{
    const int n = a.size();
    Spectrum out(n);
    for (int k = 0; k < n; ++k) {
        Complex sum = 0;
        for (int j = 0; j < n; ++j) {
            sum += a[j] * std::polar(1.0, -2.0 * kPi * double(k) * j / n);
        }
        out[k] = sum;
    }
    return out;
}

Spectrum randomSignal(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Spectrum a(n);
    for (auto &v : a) {
        v = Complex(u(rng), u(rng));
    }
    return a;
}

// Profile of count points, evenly spaced from 0 to length, with Y = f(X).
template <typename F> TData sampled(int count, double length, F f)
{
    QVector<double> x(count), y(count);
    for (int i = 0; i < count; ++i) {
        x[i] = length * i / (count - 1);
        y[i] = f(x[i]);
    }
    return TData { x, y };
}

double maxAbs(const QVector<double> &v)
{
    double m = 0;
    for (double d : v) {
        m = std::max(m, std::abs(d));
    }
    return m;
}

// The inverse of directDft, normalised by 1/n.
Spectrum directInverseDft(const Spectrum &a)
{
    Spectrum conjugated(a.size());
    for (int k = 0; k < a.size(); ++k) {
        conjugated[k] = std::conj(a[k]);
    }
    Spectrum out = directDft(conjugated);
    for (auto &v : out) {
        v = std::conj(v) / double(a.size());
    }
    return out;
}

// A rough profile of count points with an uneven step, so that it is
// resampled, with waves inside and outside every band below.
TData roughProfile(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(0.0, 0.2);
    std::normal_distribution<double> noise(0.0, 0.2);
    QVector<double> x(count), y(count);
    double at = 0;
    for (int i = 0; i < count; ++i) {
        x[i] = at;
        at += 0.4 + jitter(rng);
        y[i] = 2 * std::sin(x[i] / 90) + 0.5 * std::sin(x[i] / 4) + noise(rng);
    }
    return TData { x, y };
}

double meanAbs(const QVector<double> &v, int from, int to)
{
    double sum = 0;
    for (int i = from; i < to; ++i) {
        sum += std::abs(v[i]);
    }
    return sum / (to - from);
}

} // namespace

class TestGaussFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // First, so that its sizes are planned by the two threads themselves.
    void twoThreadsFilterAlike();
    void fftMatchesDirectTransform_data();
    void fftMatchesDirectTransform();
    void inverseRestoresInput_data();
    void inverseRestoresInput();
    void wavelengthsPairConjugateBins();
    void bandWeights();
    void resamplingSizes_data();
    void resamplingSizes();
    void resamplingInterpolatesLinearly();
    void unsuitableProfilesGiveEmptyResult_data();
    void unsuitableProfilesGiveEmptyResult();
    void sineTransmission_data();
    void sineTransmission();
    void passBandKeepsShapeAndPosition();
    void unevenPowerOfTwoStaysInPlace_data();
    void unevenPowerOfTwoStaysInPlace();
    void constantProfile();
    void matchesSpatialGaussianFilter();
    void matchesFullSpectrumWeighting_data();
    void matchesFullSpectrumWeighting();
    void trimming_data();
    void trimming();
    void degenerateProfilesStayFinite_data();
    void degenerateProfilesStayFinite();
    void filterDoesNotDependOnTheThreads_data();
    void filterDoesNotDependOnTheThreads();
};

void TestGaussFilter::twoThreadsFilterAlike()
{
    // A data provider's worker and the GUI thread filter at the same time, in
    // opposite orders, on grid sizes nothing has transformed yet: both make
    // transform plans and weight tables while the other one filters.
    struct Job {
        TData profile;
        double longCutoff;
        double shortCutoff;
    };
    const QVector<Job> jobs {
        { roughProfile(5000, 1), 800, 800.0 / 300 }, // 8192 points
        { roughProfile(9000, 2), kNoLongCutoff, 20 }, // 16384
        { roughProfile(70000, 3), 250, 2.5 }, // 131072
        { roughProfile(70000, 3), 800, 1600 - 800.0 / 300 },
        { roughProfile(9000, 4), 2500, 2500.0 / 300 },
    };
    const Spectrum signal = randomSignal(3000, 9); // not a power of two
    QVector<TData> worker(jobs.size()), gui(jobs.size());
    Spectrum workerSpectrum = signal, guiSpectrum = signal;
    std::atomic<int> ready { 0 };
    const auto startTogether = [&ready] {
        ++ready;
        while (ready.load() < 2) {
            std::this_thread::yield();
        }
    };
    std::thread thread([&] {
        startTogether();
        for (int i = 0; i < jobs.size(); ++i) {
            worker[i] = Algos::gaussFilter(jobs[i].profile, jobs[i].longCutoff, jobs[i].shortCutoff);
        }
        Algos::fft(workerSpectrum);
    });
    startTogether();
    Algos::fft(guiSpectrum);
    for (int i = jobs.size() - 1; i >= 0; --i) {
        gui[i] = Algos::gaussFilter(jobs[i].profile, jobs[i].longCutoff, jobs[i].shortCutoff);
    }
    thread.join();

    for (int i = 0; i < jobs.size(); ++i) {
        const TData alone = Algos::gaussFilter(jobs[i].profile, jobs[i].longCutoff, jobs[i].shortCutoff);
        QVERIFY(!alone.isEmpty() && alone[0].size() > 1000);
        QCOMPARE(worker[i], alone);
        QCOMPARE(gui[i], alone);
    }
    Spectrum alone = signal;
    Algos::fft(alone);
    for (int k = 0; k < alone.size(); ++k) {
        QVERIFY(std::abs(workerSpectrum[k] - alone[k]) < 1e-9);
        QVERIFY(std::abs(guiSpectrum[k] - alone[k]) < 1e-9);
    }
}

void TestGaussFilter::fftMatchesDirectTransform_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("1") << 1;
    QTest::newRow("2") << 2;
    QTest::newRow("4") << 4;
    QTest::newRow("8") << 8;
    QTest::newRow("64") << 64;
    QTest::newRow("512") << 512;
    QTest::newRow("12, not a power of two") << 12;
    QTest::newRow("1000, not a power of two") << 1000;
}

void TestGaussFilter::fftMatchesDirectTransform()
{
    QFETCH(int, size);
    const Spectrum input = randomSignal(size, 11u + size);
    Spectrum fast = input;
    Algos::fft(fast);
    const Spectrum expected = directDft(input);
    for (int k = 0; k < size; ++k) {
        QVERIFY2(
            std::abs(fast[k] - expected[k]) < 1e-9 * std::max(1.0, double(size)), qPrintable(QString("bin %1").arg(k)));
    }
}

void TestGaussFilter::inverseRestoresInput_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("2") << 2;
    QTest::newRow("16") << 16;
    QTest::newRow("4096 (one cache block)") << 4096;
    QTest::newRow("65536 (beyond a block)") << 65536;
}

void TestGaussFilter::inverseRestoresInput()
{
    QFETCH(int, size);
    const Spectrum input = randomSignal(size, 3u);
    Spectrum a = input;
    Algos::fft(a);
    Algos::ifft(a);
    double worst = 0;
    for (int k = 0; k < size; ++k) {
        worst = std::max(worst, std::abs(a[k] - input[k]));
    }
    QVERIFY2(worst < 1e-12, qPrintable(QString::number(worst)));
}

void TestGaussFilter::wavelengthsPairConjugateBins()
{
    // 8 bins over 8 samples 100 apart: a period of 800. Bin 8 - i is the
    // conjugate of bin i and takes the same wavelength; bin 4 is its own pair.
    const QVector<double> w = Algos::spectrumWavelengths(8, 100.0);
    const QVector<double> expected { 1e9, 800, 400, 800.0 / 3, 200, 800.0 / 3, 400, 800 };
    QCOMPARE(w.size(), expected.size());
    for (int i = 0; i < w.size(); ++i) {
        QCOMPARE_REL(w[i], expected[i], 1e-12);
    }
}

void TestGaussFilter::bandWeights()
{
    // One bin at the long cut-off, one at the short, one at 1e9 (the mean),
    // one of infinite and one of zero wavelength.
    Spectrum s(5, Complex(2.0, -4.0));
    const QVector<double> w { 800, 2.5, 1e9, std::numeric_limits<double>::infinity(), 0.0 };
    Algos::applyGaussianBand(s, w, 800, 2.5);
    QCOMPARE_REL(s[0].real(), 1.0, 1e-3); // half of 2 at the long cut-off
    QCOMPARE_REL(s[0].imag(), -2.0, 1e-3);
    QCOMPARE_REL(s[1].real(), 1.0, 1e-3); // half at the short cut-off too
    QVERIFY(std::abs(s[2]) < 1e-9); // the mean is removed
    QCOMPARE(s[3], Complex(0, 0));
    QCOMPARE(s[4], Complex(0, 0));

    // Smoothing: only the short cut-off acts, so the mean passes whole.
    Spectrum m(2, Complex(3.0, 0.0));
    Algos::applyGaussianBand(m, { 1e9, 20 }, kNoLongCutoff, 20);
    QCOMPARE_REL(m[0].real(), 3.0, 1e-12);
    QCOMPARE_REL(m[1].real(), 1.5, 1e-3);
}

void TestGaussFilter::resamplingSizes_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("even");
    QTest::addColumn<int>("expected");
    QTest::newRow("1 stays") << 1 << false << 1;
    QTest::newRow("3 -> 4") << 3 << false << 4;
    QTest::newRow("1024 even stays") << 1024 << true << 1024;
    QTest::newRow("1024 uneven -> even 1024") << 1024 << false << 1024;
    QTest::newRow("1025 -> 2048") << 1025 << false << 2048;
    QTest::newRow("1025 even -> 2048") << 1025 << true << 2048;
    QTest::newRow("1000000 -> 2^20") << 1000000 << false << (1 << 20);
}

void TestGaussFilter::resamplingSizes()
{
    QFETCH(int, points);
    QFETCH(bool, even);
    QFETCH(int, expected);
    QVector<double> x(points), y(points);
    for (int i = 0; i < points; ++i) {
        x[i] = even ? 0.25 * i : 0.3 * i * i;
        y[i] = std::sin(0.1 * i);
    }
    const TData profile { x, y };
    const TData r = Algos::resampleToPowerOfTwo(profile);
    QCOMPARE(r.size(), 2);
    QCOMPARE(r[0].size(), expected);
    QCOMPARE(r[1].size(), expected);
    if (points == 1 || (even && points == expected)) {
        QCOMPARE(r, profile); // an even power of two is taken as it is
        return;
    }
    QCOMPARE(r[0].first(), x.first());
    QCOMPARE_REL(r[0].last(), x.last(), 1e-12);
    const double step = (x.last() - x.first()) / (expected - 1);
    QCOMPARE_REL(r[0][expected / 4] - r[0][expected / 4 - 1], step, 1e-9);
}

void TestGaussFilter::resamplingInterpolatesLinearly()
{
    // A broken line of three points is resampled onto X 0, 2, 4, 6.
    const TData profile { { 0, 1, 6 }, { 0, 10, 5 } };
    const TData r = Algos::resampleToPowerOfTwo(profile);
    const TData expected { { 0, 2, 4, 6 }, { 0, 9, 7, 5 } };
    QCOMPARE(r.size(), 2);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE_REL(r[0][i], expected[0][i], 1e-12);
        QCOMPARE_REL(r[1][i], expected[1][i], 1e-12);
    }
}

void TestGaussFilter::unsuitableProfilesGiveEmptyResult_data()
{
    QTest::addColumn<TData>("profile");
    QTest::newRow("no channels") << TData();
    QTest::newRow("no points") << TData { {}, {} };
    QTest::newRow("one channel") << TData { { 1, 2, 3 } };
    QTest::newRow("three channels") << TData { { 0, 1, 2 }, { 1, 1, 1 }, { 0, 0, 0 } };
    QTest::newRow("unequal channels") << TData { { 0, 1, 2 }, { 1, 1 } };
}

void TestGaussFilter::unsuitableProfilesGiveEmptyResult()
{
    QFETCH(TData, profile);
    QVERIFY(Algos::resampleToPowerOfTwo(profile).isEmpty());
    QVERIFY(Algos::gaussFilter(profile, 800, 2.5).isEmpty());
    QVERIFY(Algos::gaussFilter(profile, kNoLongCutoff, 20).isEmpty());
}

void TestGaussFilter::sineTransmission_data()
{
    QTest::addColumn<double>("wavelength");
    QTest::addColumn<double>("longCutoff");
    QTest::addColumn<double>("shortCutoff");
    QTest::addColumn<double>("kept");
    // Amplitude kept by the band |exp(-pi (a ls / w)^2) - exp(-pi (a lc / w)^2)|,
    // a = 0.4697, evaluated by hand.
    QTest::newRow("inside the band") << 100.0 << 800.0 << 800.0 / 300 << 0.99951;
    QTest::newRow("at the long cut-off") << 800.0 << 800.0 << 800.0 / 300 << 0.49996;
    QTest::newRow("five cut-offs long") << 4000.0 << 800.0 << 800.0 / 300 << 0.027343;
    QTest::newRow("waviness band at lc") << 800.0 << 800.0 << 1600.0 - 800.0 / 300 << 0.43693;
    QTest::newRow("smoothing, long wave") << 2000.0 << kNoLongCutoff << 20.0 << 0.99993;
    QTest::newRow("smoothing at its cut-off") << 20.0 << kNoLongCutoff << 20.0 << 0.50003;
}

void TestGaussFilter::sineTransmission()
{
    QFETCH(double, wavelength);
    QFETCH(double, longCutoff);
    QFETCH(double, shortCutoff);
    QFETCH(double, kept);
    // 20000 points (resampled to 32768) over 40 long waves; the amplitude is
    // read in the middle, well away from the trimmed ends.
    const double length = 40 * std::max(wavelength, 100.0);
    const TData profile = sampled(20000, length, [&](double x) { return std::sin(2 * kPi * x / wavelength); });
    const TData out = Algos::gaussFilter(profile, longCutoff, shortCutoff);
    QCOMPARE(out.size(), 2);
    QVector<double> middle;
    for (int i = 0; i < out[0].size(); ++i) {
        if (out[0][i] > 0.25 * length && out[0][i] < 0.75 * length) {
            middle.append(out[1][i]);
        }
    }
    QVERIFY(middle.size() > 1000);
    const double amplitude = maxAbs(middle);
    QVERIFY2(
        std::abs(amplitude - kept) < 0.01 * kept, qPrintable(QString("kept %1, expected %2").arg(amplitude).arg(kept)));
}

void TestGaussFilter::passBandKeepsShapeAndPosition()
{
    // A wave well inside the band comes out on top of the input, point by
    // point up to the trimmed ends: the filtered grid is neither shifted nor
    // stretched against the input.
    const TData profile = sampled(3000, 4000, [](double x) { return std::sin(2 * kPi * x / 200); });
    const TData out = Algos::gaussFilter(profile, 2500, 2.5);
    QVERIFY(out[0].size() > 1000);
    const double expected = 0.9999; // transmission at 200 with these cut-offs, within 1e-4
    double worst = 0;
    for (int i = 0; i < out[0].size(); ++i) {
        worst = std::max(worst, std::abs(out[1][i] - expected * std::sin(2 * kPi * out[0][i] / 200)));
    }
    QVERIFY2(worst < 0.01, qPrintable(QString::number(worst)));
}

void TestGaussFilter::unevenPowerOfTwoStaysInPlace_data()
{
    QTest::addColumn<int>("points");
    QTest::newRow("1023") << 1023;
    QTest::newRow("1024") << 1024;
    QTest::newRow("1025") << 1025;
}

void TestGaussFilter::unevenPowerOfTwoStaysInPlace()
{
    // A contour-like outline whose points crowd in the middle, with a step of
    // 100 at X 300. Smoothed, the step stays at X 300 whatever the count: a
    // power-of-two count is no reason to treat the points as evenly spaced.
    QFETCH(int, points);
    QVector<double> x(points), y(points);
    for (int i = 0; i < points; ++i) {
        const double t = double(i) / (points - 1);
        x[i] = 1000 * (t + 0.15 * std::sin(2 * kPi * t));
        y[i] = x[i] < 300 ? 0 : 100;
    }
    const TData out = Algos::gaussFilter({ x, y }, kNoLongCutoff, 20);
    QCOMPARE(out[0].size(), out[1].size());
    double crossing = -1;
    for (int i = 1; i < out[0].size() && crossing < 0; ++i) {
        if (out[1][i - 1] < 50 && out[1][i] >= 50) {
            crossing = out[0][i];
        }
    }
    QVERIFY2(std::abs(crossing - 300) < 3, qPrintable(QString::number(crossing)));
}

void TestGaussFilter::constantProfile()
{
    const TData flat = sampled(1500, 3000, [](double) { return 7.25; });
    const TData band = Algos::gaussFilter(flat, 800, 800.0 / 300);
    QVERIFY(!band[1].isEmpty());
    QVERIFY2(maxAbs(band[1]) < 1e-9, qPrintable(QString::number(maxAbs(band[1]))));

    const TData smooth = Algos::gaussFilter(flat, kNoLongCutoff, 20);
    QVERIFY(!smooth[1].isEmpty());
    for (double y : smooth[1]) {
        QCOMPARE_REL(y, 7.25, 1e-9);
    }
}

void TestGaussFilter::matchesSpatialGaussianFilter()
{
    // Reference: the roughness profile by convolution with the Gaussian
    // weighting function s(x) = exp(-pi (x / (a lc))^2) / (a lc), computed
    // point by point. With no short cut-off both filters are the same
    // high-pass, so away from the ends the profiles and their Ra agree.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> phase(0, 2 * kPi);
    const double waves[] = { 9, 35, 240, 610, 1300, 2900 };
    double phases[6];
    for (double &p : phases) {
        p = phase(rng);
    }
    const double step = 0.5, lc = 800, length = 8000;
    const int n = int(length / step) + 1;
    QVector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = i * step;
        y[i] = 0;
        for (int w = 0; w < 6; ++w) {
            y[i] += std::sin(2 * kPi * x[i] / waves[w] + phases[w]) * waves[w] / 1000;
        }
    }
    const TData out = Algos::gaussFilter({ x, y }, lc, 0.0);

    const double alc = Algos::kGaussConstant * lc;
    const int half = int(lc / step);
    QVector<double> kernel(2 * half + 1);
    double kernelSum = 0;
    for (int j = -half; j <= half; ++j) {
        kernel[j + half] = std::exp(-kPi * std::pow(j * step / alc, 2));
        kernelSum += kernel[j + half];
    }
    QVector<double> fftRough, refRough;
    for (int k = 0; k < out[0].size(); ++k) {
        const int i = int(std::lround(out[0][k] / step));
        if (i < 2 * half || i > n - 1 - 2 * half) {
            continue;
        }
        double mean = 0;
        for (int j = -half; j <= half; ++j) {
            mean += kernel[j + half] * y[i + j];
        }
        refRough.append(y[i] - mean / kernelSum);
        fftRough.append(out[1][k]);
    }
    QVERIFY(refRough.size() > 4000);
    const double raRef = meanAbs(refRough, 0, refRough.size());
    const double raFft = meanAbs(fftRough, 0, fftRough.size());
    QVERIFY2(std::abs(raFft - raRef) < 0.005 * raRef, qPrintable(QString("Ra %1 against %2").arg(raFft).arg(raRef)));
    double worst = 0;
    for (int i = 0; i < refRough.size(); ++i) {
        worst = std::max(worst, std::abs(fftRough[i] - refRough[i]));
    }
    QVERIFY2(worst < 0.02 * maxAbs(refRough), qPrintable(QString::number(worst)));
}

void TestGaussFilter::matchesFullSpectrumWeighting_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("longCutoff");
    QTest::addColumn<double>("shortCutoff");
    QTest::newRow("band, resampled") << 700 << 80.0 << 80.0 / 300 * 4;
    QTest::newRow("waviness band") << 700 << 80.0 << 160 - 80.0 / 300 * 4;
    QTest::newRow("smoothing") << 700 << kNoLongCutoff << 2.0;
    QTest::newRow("band, two points") << 2 << 80.0 << 0.25;
}

void TestGaussFilter::matchesFullSpectrumWeighting()
{
    // Reference: the filter written out by its definition, independent of
    // the fast transforms: the profile on its grid, the full complex spectrum
    // by a direct DFT, every bin weighted by the band at its wavelength, the
    // direct inverse, back onto the input's X and trimmed.
    QFETCH(int, points);
    QFETCH(double, longCutoff);
    QFETCH(double, shortCutoff);
    const TData profile = roughProfile(points, 17);
    const TData grid = Algos::resampleToPowerOfTwo(profile);
    const int n = grid[0].size();
    const double x0 = profile[0].first();
    const double step = (profile[0].last() - x0) / (n - 1);
    Spectrum spectrum(n);
    for (int i = 0; i < n; ++i) {
        spectrum[i] = grid[1][i];
    }
    spectrum = directDft(spectrum);
    Algos::applyGaussianBand(spectrum, Algos::spectrumWavelengths(n, step), longCutoff, shortCutoff);
    spectrum = directInverseDft(spectrum);
    QVector<double> gridX(n), gridY(n);
    for (int i = 0; i < n; ++i) {
        gridX[i] = x0 + i * step;
        gridY[i] = spectrum[i].real();
    }
    const double cut = longCutoff == kNoLongCutoff ? shortCutoff : longCutoff;
    const TData expected = Algos::trimEdges(Algos::interpolate({ gridX, gridY }, profile[0]), cut);

    const TData out = Algos::gaussFilter(profile, longCutoff, shortCutoff);
    QCOMPARE(out[0], expected[0]);
    QCOMPARE(out[1].size(), expected[1].size());
    const double scale = std::max(maxAbs(expected[1]), 1.0);
    for (int i = 0; i < out[1].size(); ++i) {
        QVERIFY2(std::abs(out[1][i] - expected[1][i]) < 1e-12 * scale * n,
            qPrintable(QString("point %1: %2 against %3").arg(i).arg(out[1][i]).arg(expected[1][i])));
    }
}

void TestGaussFilter::trimming_data()
{
    QTest::addColumn<double>("longCutoff");
    QTest::addColumn<double>("shortCutoff");
    QTest::addColumn<double>("firstX");
    QTest::addColumn<double>("lastX");
    QTest::newRow("band, half a cut-off off each end") << 800.0 << 800.0 / 300 << 400.0 << 3600.0;
    QTest::newRow("cut-off longer than the profile") << 8000.0 << 8000.0 / 300 << 0.0 << 4000.0;
    QTest::newRow("smoothing trims by the short cut-off") << kNoLongCutoff << 20.0 << 10.0 << 3990.0;
}

void TestGaussFilter::trimming()
{
    QFETCH(double, longCutoff);
    QFETCH(double, shortCutoff);
    QFETCH(double, firstX);
    QFETCH(double, lastX);
    const TData profile = sampled(4001, 4000, [](double x) { return std::sin(x / 50); });
    const TData out = Algos::gaussFilter(profile, longCutoff, shortCutoff);
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0].first(), firstX);
    QCOMPARE(out[0].last(), lastX);
    QCOMPARE(out[0].size(), int(lastX - firstX) + 1);
    QCOMPARE(out[1].size(), out[0].size());
}

void TestGaussFilter::degenerateProfilesStayFinite_data()
{
    QTest::addColumn<TData>("profile");
    QTest::addColumn<double>("longCutoff");
    QTest::addColumn<double>("shortCutoff");
    QTest::newRow("one point, band") << TData { { 5 }, { 3 } } << 800.0 << 2.5;
    QTest::newRow("one point, smoothing") << TData { { 5 }, { 3 } } << kNoLongCutoff << 20.0;
    QTest::newRow("no extent, band") << TData { { 5, 5, 5 }, { 1, 2, 3 } } << 800.0 << 2.5;
    QTest::newRow("no extent, no short cut-off") << TData { { 5, 5, 5 }, { 1, 2, 3 } } << kNoLongCutoff << 0.0;
    QTest::newRow("repeated X") << TData { { 0, 1, 1, 2, 3 }, { 1, 2, 3, 4, 5 } } << kNoLongCutoff << 0.0;
}

void TestGaussFilter::degenerateProfilesStayFinite()
{
    QFETCH(TData, profile);
    QFETCH(double, longCutoff);
    QFETCH(double, shortCutoff);
    const TData out = Algos::gaussFilter(profile, longCutoff, shortCutoff);
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0], profile[0]); // too short to trim
    for (double y : out[1]) {
        QVERIFY(std::isfinite(y));
    }
}

// A long profile is put on its grid, weighted and put back onto its points in
// chunks on several threads; the result is the one a single thread gives, to
// the bit, where X repeat, fall on the grid points, or are out of order or not
// numbers (then the walks run whole).
void TestGaussFilter::filterDoesNotDependOnTheThreads_data()
{
    QTest::addColumn<QString>("xs");
    QTest::addColumn<double>("longCutoff");
    QTest::newRow("uneven, resampled") << "uneven" << 800.0;
    QTest::newRow("runs of equal X") << "repeated" << 800.0;
    QTest::newRow("on the grid's points, resampled") << "lattice" << 800.0;
    QTest::newRow("even power of two, on the grid") << "even" << 2500.0;
    QTest::newRow("even power of two, smoothed") << "even" << kNoLongCutoff;
    QTest::newRow("out of order") << "unordered" << 800.0;
    QTest::newRow("X not a number") << "nan" << 800.0;
}

void TestGaussFilter::filterDoesNotDependOnTheThreads()
{
    QFETCH(QString, xs);
    QFETCH(double, longCutoff);
    const int n = xs == "even" ? 1 << 18 : 200000;
    TData profile = roughProfile(n, 7);
    QVector<double> &x = profile[0];
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> jitter(0.0, 0.09);
    for (int i = 0; i < n; ++i) {
        if (xs == "uneven" || xs == "unordered" || xs == "nan")
            x[i] = i * 0.1 + jitter(rng);
        else if (xs == "repeated")
            x[i] = (i / 3) * 0.3;
        else if (xs == "lattice") // every X a point of the 2^18-point grid
            x[i] = std::round(i * 262143.0 / (n - 1)) * 0.125;
        else // every X a grid point, exactly
            x[i] = i * 0.125;
    }
    if (xs == "unordered")
        std::swap(x[150001], x[150002]);
    if (xs == "nan")
        x[120000] = std::nan("");
    QThreadPool *pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(4);
    const TData chunked = Algos::gaussFilter(profile, longCutoff, 2.5);
    pool->setMaxThreadCount(1);
    const TData single = Algos::gaussFilter(profile, longCutoff, 2.5);
    pool->setMaxThreadCount(threads);
    QCOMPARE(chunked.size(), 2);
    QCOMPARE(single.size(), 2);
    for (int c = 0; c < 2; ++c) {
        QCOMPARE(chunked[c].size(), single[c].size());
        QVERIFY(chunked[c].size() > n / 2);
        QVERIFY(std::memcmp(chunked[c].constData(), single[c].constData(), sizeof(double) * single[c].size()) == 0);
    }
}

VANTOR_TEST_MAIN(TestGaussFilter)
#include "tst_gaussfilter.moc"
