#include "algos/gaussfilter.h"

#include "algos/profileutils.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.141592653589793;
constexpr double kMeanWavelength = 1.0 / 1e-9; // stands in for the infinite wavelength of bin 0

// Blocks of this many points fit a core's cache; the early passes of the
// transform run block by block so each block is read from memory once.
constexpr int kCacheBlock = 1 << 12;

bool isTwoEqualChannels(const TData &profile)
{
    return profile.size() == 2 && !profile[0].isEmpty() && profile[0].size() == profile[1].size();
}

// Whether the points lie on the even grid from the first to the last X (to
// well within a step): the filter places its result on that grid.
bool isEvenGrid(const QVector<double> &x)
{
    const int n = x.size();
    if (n < 3) {
        return true;
    }
    const double x0 = x.first();
    const double step = (x.last() - x0) / (n - 1);
    const double tolerance = 1e-6 * std::abs(step);
    for (int i = 1; i < n - 1; ++i) {
        if (!(std::abs(x[i] - (x0 + step * i)) <= tolerance)) {
            return false;
        }
    }
    return true;
}

// exp(-2 pi i k / n) for k < n/2, as interleaved (re, im) pairs. Only the first
// eighth of the circle is evaluated; the rest follows by symmetry, which keeps
// the table exact to the last bit where cos and sin swap.
std::vector<double> makeTwiddles(int n)
{
    const int half = n / 2;
    std::vector<double> tw(2 * std::max(half, 1));
    tw[0] = 1.0;
    tw[1] = 0.0;
    if (half < 2) {
        return tw;
    }
    const int quarter = half / 2; // n/4 points cover a quarter turn
    for (int k = 0; k <= quarter / 2; ++k) {
        const double phi = -2.0 * kPi * k / n;
        const double c = std::cos(phi);
        const double s = std::sin(phi);
        tw[2 * k] = c;
        tw[2 * k + 1] = s;
        // exp(-i(pi/2 - theta)) = (sin theta) - i (cos theta), with s = -sin theta
        const int m = quarter - k;
        tw[2 * m] = -s;
        tw[2 * m + 1] = -c;
    }
    // Second quarter: multiply the first by exp(-i pi/2) = -i.
    for (int k = 0; k < quarter; ++k) {
        tw[2 * (k + quarter)] = tw[2 * k + 1];
        tw[2 * (k + quarter) + 1] = -tw[2 * k];
    }
    return tw;
}

void bitReverse(Complex *a, int n)
{
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
}

// One pass of decimation-in-time butterflies of span len over count points.
// tw holds exp(-2 pi i k / n); the butterflies of this pass use every
// (n / len)-th entry.
void butterflyPass(double *a, int count, int len, const double *tw, int stride)
{
    const int half = len / 2;
    for (int start = 0; start < count; start += len) {
        double *lo = a + 2 * start;
        double *hi = lo + 2 * half;
        for (int j = 0; j < half; ++j) {
            const double wr = tw[2 * j * stride];
            const double wi = tw[2 * j * stride + 1];
            const double xr = hi[2 * j];
            const double xi = hi[2 * j + 1];
            const double tr = xr * wr - xi * wi;
            const double ti = xr * wi + xi * wr;
            const double er = lo[2 * j];
            const double ei = lo[2 * j + 1];
            lo[2 * j] = er + tr;
            lo[2 * j + 1] = ei + ti;
            hi[2 * j] = er - tr;
            hi[2 * j + 1] = ei - ti;
        }
    }
}

// Forward transform of n points (a power of two) in place. tw is the twiddle
// table of a transform of tableSize points, tableSize a multiple of n, so a
// transform of half size can share the table of the full one.
void forwardTransform(Complex *a, int n, const std::vector<double> &tw, int tableSize)
{
    if (n < 2) {
        return;
    }
    bitReverse(a, n);
    double *d = reinterpret_cast<double *>(a);
    const int block = std::min(n, kCacheBlock);
    for (int b = 0; b < n; b += block) {
        for (int len = 2; len <= block; len <<= 1) {
            butterflyPass(d + 2 * b, block, len, tw.data(), tableSize / len);
        }
    }
    for (int len = block * 2; len <= n; len <<= 1) {
        butterflyPass(d, n, len, tw.data(), tableSize / len);
    }
}

// Inverse transform through the forward one: conj(fft(conj(a))) / n.
void inverseTransform(Complex *a, int n, const std::vector<double> &tw, int tableSize)
{
    for (int i = 0; i < n; ++i) {
        a[i] = std::conj(a[i]);
    }
    forwardTransform(a, n, tw, tableSize);
    const double scale = 1.0 / n;
    for (int i = 0; i < n; ++i) {
        a[i] = Complex(a[i].real() * scale, -a[i].imag() * scale);
    }
}

// exp(-pi g^2), going straight to 0 where the exponential underflows anyway.
double gaussWeight(double g)
{
    const double e = -kPi * g * g;
    return e < -745.0 ? 0.0 : std::exp(e);
}

// Transmission of the band between the two cut-offs at one wavelength. An
// infinite wavelength passes nothing; neither does a zero one, an infinite
// frequency (a profile without extent), so 0/0 never reaches the weights.
double bandTransmission(double lambda, double longCutoff, double shortCutoff)
{
    if (lambda == 0.0 || !(std::abs(lambda) <= std::numeric_limits<double>::max())) {
        return 0.0;
    }
    const double gc = longCutoff * Algos::kGaussConstant / lambda;
    const double gs = Algos::kGaussConstant * shortCutoff / lambda;
    return std::abs(gaussWeight(gs) - gaussWeight(gc));
}

// Band-filters n real samples in place (n a power of two, at least 2) with the
// transmission t[k] of bins k = 0 .. n/2. The samples are packed pairwise into
// n/2 complex values, so both transforms run on half the points; the spectrum
// of the real profile is unpacked, weighted and packed again between them.
// This equals weighting the full n-point spectrum bin by bin, bin n - k taking
// the weight of its conjugate bin k.
void filterRealSamples(double *y, int n, const double *t)
{
    const int m = n / 2;
    const std::vector<double> tw = makeTwiddles(n); // exp(-2 pi i k / n), k < m
    std::vector<Complex> z(m);
    for (int k = 0; k < m; ++k) {
        z[k] = Complex(y[2 * k], y[2 * k + 1]);
    }
    forwardTransform(z.data(), m, tw, n);

    // Bin 0 and bin m of the full spectrum are real and both live in z[0].
    const double a = z[0].real();
    const double b = z[0].imag();
    const double y0 = t[0] * (a + b);
    const double ym = t[m] * (a - b);
    z[0] = Complex((y0 + ym) / 2, (y0 - ym) / 2);

    const Complex iUnit(0.0, 1.0);
    for (int k = 1; k <= m / 2; ++k) {
        const int j = m - k;
        const Complex w(tw[2 * k], tw[2 * k + 1]);
        const Complex zk = z[k];
        const Complex zjc = std::conj(z[j]);
        // Spectra of the even and of the odd samples at bin k.
        const Complex even = 0.5 * (zk + zjc);
        const Complex odd = -0.5 * iUnit * (zk - zjc);
        const Complex xk = t[k] * (even + w * odd);
        const Complex xj = t[j] * std::conj(even - w * odd); // bin j = m - k
        // Pack the weighted bins k and j back into z[k] and z[j].
        const Complex xjc = std::conj(xj);
        const Complex evenOut = 0.5 * (xk + xjc);
        const Complex oddOut = 0.5 * (xk - xjc) * std::conj(w);
        z[k] = evenOut + iUnit * oddOut;
        if (j != k) {
            z[j] = std::conj(evenOut) + iUnit * std::conj(oddOut);
        }
    }
    inverseTransform(z.data(), m, tw, n);
    for (int k = 0; k < m; ++k) {
        y[2 * k] = z[k].real();
        y[2 * k + 1] = z[k].imag();
    }
}

} // namespace

namespace Algos {

void fft(QVector<std::complex<double>> &a)
{
    const int n = a.size();
    if (n < 2) {
        return;
    }
    forwardTransform(a.data(), n, makeTwiddles(n), n);
}

void ifft(QVector<std::complex<double>> &a)
{
    const int n = a.size();
    if (n < 1) {
        return;
    }
    inverseTransform(a.data(), n, makeTwiddles(n), n);
}

TData resampleToPowerOfTwo(const TData &profile)
{
    if (!isTwoEqualChannels(profile)) {
        return TData();
    }
    const int n = profile[0].size();
    // A power of two on an even grid is filtered on its own points; unevenly
    // spaced points are resampled onto an even grid of as many points.
    if (Algos::isPowerOfTwo(n) && isEvenGrid(profile[0])) {
        return profile;
    }
    int size = 1;
    while (size < n) {
        size <<= 1;
    }
    const QVector<double> &x = profile[0];
    const double x0 = x.first();
    const double step = (x.last() - x0) / (size - 1);
    QVector<double> gridX(size);
    for (int i = 0; i < size; ++i) {
        gridX[i] = x0 + step * i;
    }
    return interpolate(profile, gridX);
}

QVector<double> spectrumWavelengths(int n, double step)
{
    QVector<double> w(std::max(n, 0));
    if (n < 1) {
        return w;
    }
    w[0] = kMeanWavelength;
    // Bin i and bin n - i are complex conjugates for a real profile: both are
    // the frequency i / (n * step) and must be weighted alike.
    for (int i = 1; i <= n / 2; ++i) {
        const double frequency = (1.0 / step) * i / n;
        w[i] = 1.0 / frequency;
        w[n - i] = w[i];
    }
    return w;
}

void applyGaussianBand(
    QVector<std::complex<double>> &spectrum, const QVector<double> &wavelengths, double longCutoff, double shortCutoff)
{
    const int n = std::min(spectrum.size(), wavelengths.size());
    Complex *a = spectrum.data();
    for (int k = 0; k < n; ++k) {
        a[k] *= bandTransmission(wavelengths[k], longCutoff, shortCutoff);
    }
}

TData gaussFilter(const TData &profile, double longCutoff, double shortCutoff)
{
    const TData grid = resampleToPowerOfTwo(profile);
    if (grid.size() != 2 || grid[0].isEmpty()) {
        return TData();
    }
    const int n = grid[0].size();

    // The grid runs from the first to the last input X in n - 1 steps; the
    // frequencies of the bins follow from that same step.
    const QVector<double> &inX = profile[0];
    const double x0 = inX.first();
    const double step = n > 1 ? (inX.last() - x0) / (n - 1) : 0.0;
    const QVector<double> wavelengths = spectrumWavelengths(n, step);
    std::vector<double> t(n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k) {
        t[k] = bandTransmission(wavelengths[k], longCutoff, shortCutoff);
    }

    QVector<double> filtered = grid[1];
    if (n == 1) {
        filtered[0] *= t[0];
    } else {
        filterRealSamples(filtered.data(), n, t.data());
    }

    QVector<double> outX(n);
    for (int i = 0; i < n; ++i) {
        outX[i] = x0 + i * step;
    }

    const bool smoothing = longCutoff == std::numeric_limits<double>::max();
    return trimEdges(interpolate(TData { outX, filtered }, inX), smoothing ? shortCutoff : longCutoff);
}

} // namespace Algos
