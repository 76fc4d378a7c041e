#include "algos/gaussfilter.h"

#include "algos/inchunks.h"
#include "algos/profileutils.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMeanWavelength = 1.0 / 1e-9; // stands in for the infinite wavelength of bin 0
// Spectra of fewer bins, and grids of fewer points, than these are worked on
// by the calling thread alone.
constexpr int kMinWeightChunk = 1 << 15;
constexpr int kMinGridChunk = 1 << 16;

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

// Points of the grid the filter works on: the profile's own when their count
// is a power of two and they are evenly spaced (resample false); otherwise
// the next power of two at or above the count, from the first to the last X.
int gridSize(const QVector<double> &x, bool &resample)
{
    const int n = x.size();
    // Unevenly spaced points are resampled onto an even grid of as many
    // points when their count is already a power of two.
    resample = !(Algos::isPowerOfTwo(n) && isEvenGrid(x));
    int size = 1;
    while (size < n) {
        size <<= 1;
    }
    return size;
}

// Whether the X of the profile are finite and never decrease, checked in
// chunks on several threads. Over such X the walks between the points and the
// grid can start anywhere (ForwardInterpolation's `from`), so they are cut
// into chunks too; otherwise each runs as one walk from the first point.
bool isOrderedFinite(const QVector<double> &x)
{
    const int n = x.size();
    if (n == 0 || !std::isfinite(x.first()) || !std::isfinite(x.last())) {
        return false;
    }
    const double *p = x.constData();
    std::vector<char> ordered(size_t(Algos::chunkCount(n, kMinGridChunk)), 1);
    Algos::forEachChunk(n, int(ordered.size()), [&](int chunk, int first, int last) {
        for (int i = std::max(first, 1); i < last; ++i) {
            if (!(p[i - 1] <= p[i])) {
                ordered[size_t(chunk)] = 0;
                return;
            }
        }
    });
    return std::all_of(ordered.cbegin(), ordered.cend(), [](char c) { return c != 0; });
}

// Y of the profile on its grid of n points, written to out.
void sampleOnGrid(const TData &profile, int n, bool resample, bool ordered, double *out)
{
    const QVector<double> &x = profile[0];
    const QVector<double> &y = profile[1];
    if (!resample) {
        std::copy(y.cbegin(), y.cend(), out);
        return;
    }
    const double x0 = x.first();
    const double step = (x.last() - x0) / (n - 1);
    const double *px = x.constData();
    const int points = x.size();
    const int chunks = ordered ? Algos::chunkCount(n, kMinGridChunk) : 1;
    Algos::forEachChunk(n, chunks, [&](int, int first, int last) {
        // The grid ascends: the walk of a chunk starts where the walk over
        // the grid before it would stand.
        const int from = first == 0 ? 1 : int(std::lower_bound(px + 1, px + points, x0 + step * first) - px);
        Algos::ForwardInterpolation walk([px](int i) { return px[i]; }, y.constData(), points, from);
        for (int i = first; i < last; ++i) {
            out[i] = walk.at(x0 + step * i);
        }
    });
}

// Wavelength of bin i (0 <= i <= n/2) of an n-point spectrum of samples
// spaced by step: n * step / i, and 1e9 for the mean.
double binWavelength(int i, int n, double step)
{
    if (i == 0) {
        return kMeanWavelength;
    }
    const double frequency = (1.0 / step) * i / n;
    return 1.0 / frequency;
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

// FFTW plans, made once per kind, size and data alignment and kept for the
// life of the process. Making a plan is not thread-safe in FFTW, so it happens
// under one lock; running a kept plan on the caller's arrays (the new-array
// execute functions) is, so a provider's worker and the GUI thread transform
// at the same time. Every plan here works in place. FFTW_ESTIMATE plans never
// touch the arrays while they are made, so the caller's data is used to make
// them; a measured plan would cost more to make than it saves on the few
// transforms of one size a session runs.
class Plans {
public:
    enum Kind { RealForward, RealBackward, Forward, Backward };

    static Plans &instance()
    {
        static Plans plans;
        return plans;
    }

    // The plan of that kind for n points at data (n real values in a buffer
    // of n / 2 + 1 complex ones for the real kinds, n complex values for the
    // others); null if FFTW cannot make one.
    fftw_plan get(Kind kind, int n, double *data)
    {
        const Key key { kind, n, fftw_alignment_of(data) };
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_plans.find(key);
        if (found != m_plans.end()) {
            return found->second;
        }
        auto *spectrum = reinterpret_cast<fftw_complex *>(data);
        fftw_plan plan = nullptr;
        switch (kind) {
        case RealForward:
            plan = fftw_plan_dft_r2c_1d(n, data, spectrum, FFTW_ESTIMATE);
            break;
        case RealBackward:
            plan = fftw_plan_dft_c2r_1d(n, spectrum, data, FFTW_ESTIMATE);
            break;
        case Forward:
            plan = fftw_plan_dft_1d(n, spectrum, spectrum, FFTW_FORWARD, FFTW_ESTIMATE);
            break;
        case Backward:
            plan = fftw_plan_dft_1d(n, spectrum, spectrum, FFTW_BACKWARD, FFTW_ESTIMATE);
            break;
        }
        if (plan) {
            m_plans.emplace(key, plan);
        }
        return plan;
    }

    Plans(const Plans &) = delete;
    Plans &operator=(const Plans &) = delete;

private:
    using Key = std::tuple<int, int, int>; // kind, size, alignment

    Plans() = default;
    ~Plans()
    {
        for (const auto &entry : m_plans) {
            fftw_destroy_plan(entry.second);
        }
    }

    std::mutex m_mutex;
    std::map<Key, fftw_plan> m_plans;
};

struct FftwFree {
    void operator()(double *p) const { fftw_free(p); }
};
using FftwBuffer = std::unique_ptr<double[], FftwFree>;

// Band-filters the n real samples (n >= 2, spaced by step) at the start of
// buffer, which holds n / 2 + 1 complex values: real transform, every bin
// k <= n/2 weighted by the band's transmission at its wavelength (its
// conjugate bin n - k implicitly alike), transform back. The weights are
// computed as they are applied: a table of them would be as large as half the
// grid, kept for every cut-off pair filtered.
bool filterOnGrid(double *buffer, int n, double step, double longCutoff, double shortCutoff)
{
    Plans &plans = Plans::instance();
    const fftw_plan forward = plans.get(Plans::RealForward, n, buffer);
    const fftw_plan backward = plans.get(Plans::RealBackward, n, buffer);
    if (!forward || !backward) {
        return false;
    }
    auto *spectrum = reinterpret_cast<fftw_complex *>(buffer);
    fftw_execute_dft_r2c(forward, buffer, spectrum);
    // The backward transform is unnormalised: 1/n goes with the weights.
    // Every bin is weighted on its own, so the bins are cut into chunks
    // weighted on several threads.
    const double scale = 1.0 / n;
    const int bins = n / 2 + 1;
    Algos::forEachChunk(bins, Algos::chunkCount(bins, kMinWeightChunk), [=](int, int first, int last) {
        for (int k = first; k < last; ++k) {
            const double w = bandTransmission(binWavelength(k, n, step), longCutoff, shortCutoff) * scale;
            spectrum[k][0] *= w;
            spectrum[k][1] *= w;
        }
    });
    fftw_execute_dft_c2r(backward, spectrum, buffer);
    return true;
}

// Which input points the result keeps: those with X0 + cut/2 <= X <= XL - cut/2,
// or all of them when that would leave nothing (as trimEdges does).
struct Trim {
    Trim(const QVector<double> &inX, double cut)
        : lower(inX.first() + cut / 2)
        , upper(inX.last() - cut / 2)
        , trim(cut <= inX.last() - inX.first() && lower < upper)
        , count(trim ? int(std::count_if(inX.cbegin(), inX.cend(), [this](double x) { return kept(x); }))
                     : inX.size())
    {
    }
    bool kept(double x) const { return !trim || (x >= lower && x <= upper); }

    double lower;
    double upper;
    bool trim;
    int count;
};

// The filtered grid (n values from x0 in steps of step) interpolated back onto
// the kept input points.
QVector<double> filteredOnInput(const QVector<double> &inX, bool ordered, const Trim &trim, const double *filtered,
    int n, double x0, double step)
{
    QVector<double> outY(trim.count);
    double *y = outY.data();
    const double *px = inX.constData();
    const int points = inX.size();
    auto gridX = [x0, step](int i) { return x0 + i * step; };
    // Ordered points keep the points from `keptFrom` to `keptTo`, so a chunk
    // of them knows where its first kept value goes.
    const int keptFrom = ordered && trim.trim ? int(std::lower_bound(px, px + points, trim.lower) - px) : 0;
    const int keptTo = ordered && trim.trim ? int(std::upper_bound(px, px + points, trim.upper) - px) : points;
    const int chunks = ordered && std::isfinite(step) ? Algos::chunkCount(points, kMinGridChunk) : 1;
    Algos::forEachChunk(points, chunks, [&](int, int first, int last) {
        // Every point moves the walk on, kept or not: a chunk's walk starts
        // at the first grid point at or beyond its first point, where the
        // walk over the points before it would stand.
        int from = 1;
        for (int hi = n; first > 0 && from < hi;) {
            const int mid = from + (hi - from) / 2;
            if (gridX(mid) < px[first]) {
                from = mid + 1;
            } else {
                hi = mid;
            }
        }
        Algos::ForwardInterpolation walk(gridX, filtered, n, from);
        int j = std::clamp(first, keptFrom, keptTo) - keptFrom;
        for (int i = first; i < last; ++i) {
            const double q = px[i];
            const double value = walk.at(q);
            if (trim.kept(q)) {
                y[j++] = value;
            }
        }
    });
    return outY;
}

// The X of the kept input points; without trimming the input's X itself (shared).
QVector<double> keptX(const QVector<double> &inX, const Trim &trim)
{
    if (trim.count == inX.size()) {
        return inX;
    }
    QVector<double> outX(trim.count);
    double *x = outX.data();
    int j = 0;
    for (const double q : inX) {
        if (trim.kept(q)) {
            x[j++] = q;
        }
    }
    return outX;
}

} // namespace

namespace Algos {

void fft(QVector<std::complex<double>> &a)
{
    const int n = a.size();
    if (n < 2) {
        return;
    }
    auto *data = reinterpret_cast<double *>(a.data());
    if (const fftw_plan plan = Plans::instance().get(Plans::Forward, n, data)) {
        auto *c = reinterpret_cast<fftw_complex *>(data);
        fftw_execute_dft(plan, c, c);
    }
}

void ifft(QVector<std::complex<double>> &a)
{
    const int n = a.size();
    if (n < 2) {
        return;
    }
    auto *data = reinterpret_cast<double *>(a.data());
    if (const fftw_plan plan = Plans::instance().get(Plans::Backward, n, data)) {
        auto *c = reinterpret_cast<fftw_complex *>(data);
        fftw_execute_dft(plan, c, c);
        const double scale = 1.0 / n;
        for (int i = 0; i < 2 * n; ++i) {
            data[i] *= scale;
        }
    }
}

TData resampleToPowerOfTwo(const TData &profile)
{
    if (!isTwoEqualChannels(profile)) {
        return TData();
    }
    bool resample = false;
    const int size = gridSize(profile[0], resample);
    if (!resample) {
        return profile;
    }
    const double x0 = profile[0].first();
    const double step = (profile[0].last() - x0) / (size - 1);
    QVector<double> gridX(size);
    for (int i = 0; i < size; ++i) {
        gridX[i] = x0 + step * i;
    }
    QVector<double> gridY(size);
    sampleOnGrid(profile, size, true, isOrderedFinite(profile[0]), gridY.data());
    return TData { gridX, gridY };
}

QVector<double> spectrumWavelengths(int n, double step)
{
    QVector<double> w(std::max(n, 0));
    if (n < 1) {
        return w;
    }
    // Bin i and bin n - i are complex conjugates for a real profile: both are
    // the frequency i / (n * step) and must be weighted alike.
    for (int i = 0; i <= n / 2; ++i) {
        w[i] = binWavelength(i, n, step);
        if (i > 0) {
            w[n - i] = w[i];
        }
    }
    return w;
}

void applyGaussianBand(
    QVector<std::complex<double>> &spectrum, const QVector<double> &wavelengths, double longCutoff, double shortCutoff)
{
    const int n = std::min(spectrum.size(), wavelengths.size());
    std::complex<double> *a = spectrum.data();
    for (int k = 0; k < n; ++k) {
        a[k] *= bandTransmission(wavelengths[k], longCutoff, shortCutoff);
    }
}

TData gaussFilter(const TData &profile, double longCutoff, double shortCutoff)
{
    if (!isTwoEqualChannels(profile)) {
        return TData();
    }
    bool resample = false;
    const int n = gridSize(profile[0], resample);

    // The grid runs from the first to the last input X in n - 1 steps; the
    // frequencies of the bins follow from that same step.
    const QVector<double> &inX = profile[0];
    const double x0 = inX.first();
    const double step = n > 1 ? (inX.last() - x0) / (n - 1) : 0.0;
    // One buffer holds the grid, its spectrum in place and the filtered grid.
    FftwBuffer buffer(fftw_alloc_real(2 * (std::size_t(n) / 2 + 1)));
    if (!buffer) {
        return TData();
    }
    const bool ordered = isOrderedFinite(inX);
    sampleOnGrid(profile, n, resample, ordered, buffer.get());
    if (n == 1) {
        buffer[0] *= bandTransmission(binWavelength(0, n, step), longCutoff, shortCutoff);
    } else if (!filterOnGrid(buffer.get(), n, step, longCutoff, shortCutoff)) {
        return TData();
    }

    const bool smoothing = longCutoff == std::numeric_limits<double>::max();
    const Trim trim(inX, smoothing ? shortCutoff : longCutoff);
    QVector<double> outY = filteredOnInput(inX, ordered, trim, buffer.get(), n, x0, step);
    // The grid is let go before the result's X is made, so that the two are
    // never held at once.
    buffer.reset();
    return { keptX(inX, trim), outY };
}

} // namespace Algos
