#include "algos/profileutils.h"

#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace Algos {

namespace {

// Total order for the sorted median window: NaN after every number, so a
// stray NaN cannot break the binary searches.
bool lessNanLast(double a, double b)
{
    if (std::isnan(a))
        return false;
    if (std::isnan(b))
        return true;
    return a < b;
}

int pointCount(const TData &profile)
{
    return profile.size() < 2 ? 0 : std::min(profile.at(0).size(), profile.at(1).size());
}

} // namespace

void medianFilter(int window, TData &profile)
{
    if (window < 1 || profile.size() < 2)
        return;
    QVector<double> &y = profile[1];
    const int n = y.size();
    if (n < window)
        return;
    const int c = window / 2;

    std::vector<double> padded;
    padded.reserve(size_t(n) + 2 * size_t(c));
    for (int i = 1; i <= c; ++i)
        padded.push_back(y.at(i));
    padded.insert(padded.end(), y.cbegin(), y.cend());
    for (int i = 0; i < c; ++i)
        padded.push_back(y.at(n - 1 - i));

    // The window slides one value at a time: remove the value that leaves,
    // insert the one that enters, both found by binary search.
    std::vector<double> sorted(padded.begin(), padded.begin() + window);
    std::sort(sorted.begin(), sorted.end(), lessNanLast);
    double *out = y.data();
    for (int j = 0; j < n; ++j) {
        out[j] = sorted[size_t(window / 2)];
        if (j + 1 == n)
            break;
        const double leaving = padded[size_t(j)];
        const double entering = padded[size_t(j) + size_t(window)];
        sorted.erase(std::lower_bound(sorted.begin(), sorted.end(), leaving, lessNanLast));
        sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), entering, lessNanLast), entering);
    }
}

TData subtractMovingAverage(const TData &profile, double halfWidth)
{
    if (profile.size() < 2)
        return {};
    const int n = pointCount(profile);
    const QVector<double> x = profile.at(0).mid(0, n);
    const double *px = x.constData();
    const double *py = profile.at(1).constData();
    QVector<double> y(n);
    int lo = 0, hi = 0;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        while (lo != i && px[i] - px[lo] > halfWidth)
            sum -= py[lo++];
        while (hi < n && (hi <= i || px[hi] - px[i] < halfWidth))
            sum += py[hi++];
        y[i] = py[i] - sum / (hi - lo);
    }
    return { x, y };
}

TData interpolate(const TData &profile, const QVector<double> &x)
{
    if (profile.size() != 2 || profile.at(0).isEmpty() || profile.at(0).size() != profile.at(1).size())
        return {};
    const double *px = profile.at(0).constData();
    ForwardInterpolation walk([px](int i) { return px[i]; }, profile.at(1).constData(), profile.at(0).size());
    QVector<double> values(x.size());
    for (int i = 0; i < x.size(); ++i)
        values[i] = walk.at(x.at(i));
    return { x, values };
}

QVector<double> spreadEqualValues(const QVector<double> &x)
{
    QVector<double> result = x;
    const int n = x.size();
    int start = 0;
    while (start < n) {
        int end = start + 1;
        while (end < n && x.at(end) == x.at(start))
            ++end;
        const int run = end - start;
        if (end < n && run > 1) {
            const double v = x.at(start);
            const double step = (x.at(end) - v) / run;
            for (int j = 0; j < run; ++j)
                result[start + j] = v + step * j;
        }
        start = end;
    }
    return result;
}

TData trimEdges(TData profile, double cut)
{
    const int n = pointCount(profile);
    if (n == 0)
        return profile;
    const QVector<double> &x = profile.at(0);
    const QVector<double> &y = profile.at(1);
    const double x0 = x.first();
    const double xl = x.at(n - 1);
    const double lower = x0 + cut / 2;
    const double upper = xl - cut / 2;
    if (!(cut <= xl - x0 && lower < upper))
        return profile;
    QVector<double> tx, ty;
    for (int i = 0; i < n; ++i) {
        if (x.at(i) >= lower && x.at(i) <= upper) {
            tx.append(x.at(i));
            ty.append(y.at(i));
        }
    }
    return { tx, ty };
}

int recommendedCutoff(double ra)
{
    struct Limits {
        double l80, l250, l800, l2500;
    };
    Limits limits;
    switch (Settings::instance().preferenses.standartisation_value) {
    case 0: // ГОСТ 2789-73
        limits = { 0.025, 0.4, 3.2, 12.5 };
        break;
    case 1: // ISO 4288
        limits = { 0.02, 0.1, 2, 10 };
        break;
    default:
        return 0;
    }
    if (ra < limits.l80)
        return 80;
    if (ra < limits.l250)
        return 250;
    if (ra < limits.l800)
        return 800;
    if (ra < limits.l2500)
        return 2500;
    return 8000;
}

QVector<double> rotateVector(double x, double y, double angleDegrees)
{
    const double a = angleDegrees * M_PI / 180.0;
    return { x * std::cos(a) - y * std::sin(a), y * std::cos(a) + x * std::sin(a) };
}

QPointF rotatePoint(float cx, float cy, float angleRadians, const QPointF &p)
{
    if (angleRadians == 0.0f)
        return p;
    const double a = angleRadians;
    const double dx = p.x() - double(cx);
    const double dy = p.y() - double(cy);
    return { dx * std::cos(a) - dy * std::sin(a) + double(cx), dx * std::sin(a) + dy * std::cos(a) + double(cy) };
}

double squaredDistance(double x1, double y1, double x2, double y2)
{
    return (x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2);
}

double sumOfNearestDistances(const TData &reference, const TData &points)
{
    const int nr = pointCount(reference);
    const int np = pointCount(points);
    double sum = 0;
    for (int i = 0; i < np; ++i) {
        const double x = points.at(0).at(i);
        const double y = points.at(1).at(i);
        double best = std::numeric_limits<double>::max();
        for (int j = 0; j < nr; ++j)
            best = std::min(best, squaredDistance(reference.at(0).at(j), reference.at(1).at(j), x, y));
        sum += std::sqrt(best);
    }
    return sum;
}

void addToAll(QVector<double> &v, double delta)
{
    for (double &value : v)
        value += delta;
}

bool isPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

} // namespace Algos
