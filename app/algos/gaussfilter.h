#pragma once

#include "algos/tracetypes.h"

#include <QVector>
#include <complex>

// Gaussian profile filter in the frequency domain, with the pieces it is made
// of. A profile is a two-channel TData: channel 0 X (ascending), channel 1 Y.
namespace Algos {

// Transmission constant of the Gaussian weighting function, sqrt(ln 2 / pi)
// to four decimals.
constexpr double kGaussConstant = 0.4697;

// Keeps the wavelengths between shortCutoff and longCutoff (band filter), or,
// with longCutoff equal to std::numeric_limits<double>::max(), smooths with
// shortCutoff alone. The result lies on the input's X, trimmed by half a
// cut-off at each end (longCutoff, or shortCutoff for a smoothing). A profile
// that is not two equal, non-empty channels gives an empty TData.
// Safe to call from several threads at once: the transform plans it keeps
// for reuse are shared under a lock.
TData gaussFilter(const TData &profile, double longCutoff, double shortCutoff);

// The profile itself when its point count is a power of two and its X are
// evenly spaced; otherwise the profile linearly resampled onto an even grid of
// the next power of two points (at or above the count) from its first to its
// last X. Empty TData for unsuitable input.
TData resampleToPowerOfTwo(const TData &profile);

// Unnormalised discrete Fourier transform in place (forward sign negative),
// of any size; sizes 0 and 1 are left as they are.
void fft(QVector<std::complex<double>> &a);

// Inverse of fft, normalised by 1/n, in place.
void ifft(QVector<std::complex<double>> &a);

// Wavelength of every bin of an n-point spectrum of samples spaced by step.
// Bin 0 (the mean) gets 1e9; bin i and its conjugate bin n - i get n*step/i.
QVector<double> spectrumWavelengths(int n, double step);

// Multiplies every bin by |exp(-pi gs^2) - exp(-pi gc^2)|, with
// gc = longCutoff * 0.4697 / wavelength and gs = shortCutoff * 0.4697 / wavelength.
// Bins of infinite, undefined or zero wavelength are cleared.
void applyGaussianBand(
    QVector<std::complex<double>> &spectrum, const QVector<double> &wavelengths, double longCutoff, double shortCutoff);

} // namespace Algos
