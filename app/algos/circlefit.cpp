#include "algos/circlefit.h"

#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace Algos {

namespace {

// Calls f(x, y) for every point of every non-empty range.
template <typename F>
void forEachPoint(const QVector<const QCPCurveData *> &begins, const QVector<const QCPCurveData *> &ends, F f)
{
    const int ranges = std::min(begins.size(), ends.size());
    for (int r = 0; r < ranges; ++r)
        for (auto *p = begins.at(r); p && p < ends.at(r); ++p)
            f(p->key, p->value);
}

bool fail(double centre[2], double *radius)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (centre) {
        centre[0] = nan;
        centre[1] = nan;
    }
    if (radius)
        *radius = nan;
    return false;
}

} // namespace

bool fitCircle(const QVector<const QCPCurveData *> &begins, const QVector<const QCPCurveData *> &ends, double centre[2],
    double *radius)
{
    // Means.
    long long n = 0;
    double sumX = 0, sumY = 0;
    forEachPoint(begins, ends, [&](double x, double y) {
        ++n;
        sumX += x;
        sumY += y;
    });
    if (n < 3)
        return fail(centre, radius);
    const double meanX = sumX / n;
    const double meanY = sumY / n;

    // Moments of the centred points.
    double mxx = 0, myy = 0, mxy = 0, mxz = 0, myz = 0, mzz = 0;
    forEachPoint(begins, ends, [&](double x, double y) {
        const double xi = x - meanX;
        const double yi = y - meanY;
        const double zi = xi * xi + yi * yi;
        mxy += xi * yi;
        mxx += xi * xi;
        myy += yi * yi;
        mxz += xi * zi;
        myz += yi * zi;
        mzz += zi * zi;
    });
    mxx /= n;
    myy /= n;
    mxy /= n;
    mxz /= n;
    myz /= n;
    mzz /= n;

    const double mz = mxx + myy;
    const double covXY = mxx * myy - mxy * mxy;
    const double varZ = mzz - mz * mz;

    // Characteristic polynomial, solved by Newton's method from 0.
    const double a2 = 4 * covXY - 3 * mz * mz - mzz;
    const double a1 = varZ * mz + 4 * covXY * mz - mxz * mxz - myz * myz;
    const double a0 = mxz * (mxz * myy - myz * mxy) + myz * (myz * mxx - mxz * mxy) - varZ * covXY;
    const double a22 = a2 + a2;

    double x = 0;
    double y = a0;
    for (int step = 0; step < 99; ++step) {
        const double dy = a1 + x * (a22 + 16 * x * x);
        const double xNew = x - y / dy;
        if (xNew == x || !(std::abs(xNew) <= std::numeric_limits<double>::max()))
            break;
        const double yNew = a0 + xNew * (a1 + xNew * (a2 + 4 * xNew * xNew));
        if (std::abs(yNew) >= std::abs(y))
            break;
        x = xNew;
        y = yNew;
    }

    // Points on one line (or in one place) leave the determinant at rounding
    // level against the spread of the points: no circle.
    const double det = x * x - x * mz + covXY;
    if (!(std::abs(det) > 1e-12 * mz * mz))
        return fail(centre, radius);
    const double xc = (mxz * (myy - x) - myz * mxy) / det * 0.5;
    const double yc = (myz * (mxx - x) - mxz * mxy) / det * 0.5;
    const double r = std::sqrt(xc * xc + yc * yc + mz - 2 * x);
    const double cx = meanX + xc;
    const double cy = meanY + yc;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r))
        return fail(centre, radius);

    if (centre) {
        centre[0] = cx;
        centre[1] = cy;
    }
    if (radius)
        *radius = r;
    return true;
}

bool fitCircle(const QCPCurveData *first, const QCPCurveData *last, double centre[2], double *radius)
{
    return fitCircle(QVector<const QCPCurveData *> { first }, QVector<const QCPCurveData *> { last }, centre, radius);
}

bool fitCircle(const QCPCurveData *first1, const QCPCurveData *last1, const QCPCurveData *first2,
    const QCPCurveData *last2, double centre[2], double *radius)
{
    return fitCircle(QVector<const QCPCurveData *> { first1, first2 }, QVector<const QCPCurveData *> { last1, last2 },
        centre, radius);
}

} // namespace Algos
