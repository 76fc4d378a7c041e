#pragma once

#include "algos/tracetypes.h"

#include <QtTest>

#include <cmath>
#include <functional>

// Analytic test profiles for the surface-texture formulas.
namespace ParamProfiles {

// |actual - expected| within tol, relative to |expected| above 1 and absolute below.
inline bool near(double actual, double expected, double tol)
{
    return std::isfinite(actual) && std::abs(actual - expected) <= tol * std::max(1.0, std::abs(expected));
}

#define QCOMPARE_NEAR(actual, expected, tol)                                                                           \
    QVERIFY2(ParamProfiles::near((actual), (expected), (tol)),                                                         \
        qPrintable(QStringLiteral("%1 = %2, expected %3").arg(#actual).arg((actual), 0, 'g', 12).arg(expected)))

constexpr double kPi = 3.141592653589793;

// Y = f(X) at X = x0, x0 + step, … up to and including x1.
inline TData sampled(double x0, double x1, double step, const std::function<double(double)> &f)
{
    TData p(2);
    const int n = static_cast<int>(std::llround((x1 - x0) / step)) + 1;
    for (int i = 0; i < n; ++i) {
        const double x = x0 + i * step;
        p[0].append(x);
        p[1].append(f(x));
    }
    return p;
}

inline double sine(double x, double amplitude, double wavelength)
{
    return amplitude * std::sin(2 * kPi * x / wavelength);
}

// Symmetric triangle wave between -amplitude and +amplitude.
inline double triangle(double x, double amplitude, double wavelength)
{
    double phase = std::fmod(x / wavelength, 1.0);
    if (phase < 0)
        phase += 1.0;
    return amplitude * (phase < 0.25 ? 4 * phase : phase < 0.75 ? 2 - 4 * phase : 4 * phase - 4);
}

// A profile built from runs of constant height at X = 0, 1, 2, …
inline TData runs(const QVector<QPair<double, int>> &levels)
{
    TData p(2);
    for (const auto &run : levels) {
        for (int i = 0; i < run.second; ++i) {
            p[0].append(p[0].size());
            p[1].append(run.first);
        }
    }
    return p;
}

} // namespace ParamProfiles
