#include "traces/tracejoin.h"

#include "algos/profileutils.h"
#include "traces/abstracttrace.h"

#include <QDebug>
#include <QString>

#include <algorithm>
#include <cmath>

namespace {

// Each pass of fitShift lowers the error by at least a thousandth; this bound
// only keeps a pathological input (an error in the billions) from running for
// ever.
constexpr int kMaxFitPasses = 1000;

// X and Y of a point set, cut to the length of the shorter of the two.
TData xyOf(const TData &data)
{
    if (data.size() < 2)
        return TData(2);
    const int n = qMin(data.at(0).size(), data.at(1).size());
    return TData { data.at(0).mid(0, n), data.at(1).mid(0, n) };
}

void appendPoint(TData &zone, const TData &from, int i)
{
    zone[0].append(from.at(0).at(i));
    zone[1].append(from.at(1).at(i));
}

double error(const TData &fixed, const TData &moving)
{
    return Algos::sumOfNearestDistances(fixed, moving);
}

QString threeDecimals(double value)
{
    return QString::number(value, 'f', 3);
}

} // namespace

TData stitchTraces(const AbstractTrace &left, const AbstractTrace &right, double overlap)
{
    return stitchPoints(*left.processedData, *right.processedData, overlap);
}

TData stitchPoints(const TData &leftData, const TData &rightData, double overlap)
{
    const double length = overlap * 1000;
    const TData left = xyOf(leftData);
    TData right = xyOf(rightData);
    QPair<TData, TData> zones = overlapZones(left, right, length);
    TData &leftZone = zones.first;
    TData &rightZone = zones.second;
    if (leftZone.at(0).isEmpty() || rightZone.at(0).isEmpty())
        return TData();

    const double dx = leftZone.at(0).at(0) - rightZone.at(0).at(0);
    const double dy = leftZone.at(1).at(0) - rightZone.at(1).at(0);
    Algos::addToAll(rightZone[0], dx);
    Algos::addToAll(rightZone[1], dy);
    TData moving = thinOutByStep(rightZone, length);
    const QPair<double, double> shift = fitShift(leftZone, moving);

    Algos::addToAll(right[0], dx + shift.first);
    Algos::addToAll(right[1], dy + shift.second);
    return mergeProfiles(left, right);
}

QPair<TData, TData> overlapZones(const TData &leftData, const TData &rightData, double length)
{
    const TData left = xyOf(leftData);
    const TData right = xyOf(rightData);
    TData leftZone(2);
    TData rightZone(2);
    const int n = left.at(0).size();
    if (n >= 2) {
        const double last = left.at(0).at(n - 1);
        for (int i = 1; i < n; ++i) {
            if (last - left.at(0).at(i) < length)
                appendPoint(leftZone, left, i);
        }
    }
    const int m = right.at(0).size();
    if (m >= 1) {
        const double first = right.at(0).at(0);
        for (int i = 0; i < m; ++i) {
            if (right.at(0).at(i) - first < length)
                appendPoint(rightZone, right, i);
        }
    }
    return qMakePair(leftZone, rightZone);
}

TData thinOutByStep(const TData &zoneData, double length)
{
    const TData zone = xyOf(zoneData);
    TData thinned(2);
    if (zone.at(0).isEmpty())
        return thinned;
    const double x0 = zone.at(0).at(0);
    double threshold = 0;
    for (int i = 0; i < zone.at(0).size(); ++i) {
        if (zone.at(0).at(i) - x0 >= threshold) {
            appendPoint(thinned, zone, i);
            threshold += length / 100;
        }
    }
    return thinned;
}

QPair<double, double> fitShiftAlongAxis(TData &moving, const TData &fixed, int axis)
{
    double best = error(fixed, moving);
    if (axis < 0 || axis >= moving.size() || moving.at(axis).isEmpty())
        return qMakePair(0.0, best);
    QVector<double> &values = moving[axis];
    const auto range = std::minmax_element(values.cbegin(), values.cend());
    double step = 0.05 * std::abs(*range.second - *range.first);
    const double stop = 0.001 * step;
    double total = 0;
    while (step > stop) {
        Algos::addToAll(values, step);
        const double up = error(fixed, moving);
        Algos::addToAll(values, -2 * step);
        const double down = error(fixed, moving);
        if (up < best && up < down) {
            Algos::addToAll(values, 2 * step);
            best = up;
            total += step;
        } else if (down < best && down < up) {
            best = down;
            total -= step;
        } else {
            Algos::addToAll(values, step);
            step /= 2;
        }
    }
    return qMakePair(total, best);
}

QPair<double, double> fitShift(const TData &fixed, TData &moving)
{
    double current = error(fixed, moving);
    double sumX = 0;
    double sumY = 0;
    for (int pass = 0; pass < kMaxFitPasses; ++pass) {
        const QPair<double, double> alongX = fitShiftAlongAxis(moving, fixed, 0);
        const QPair<double, double> alongY = fitShiftAlongAxis(moving, fixed, 1);
        const double minimal = std::min(alongY.second, std::min(alongX.second, current));
        sumX += alongX.first;
        sumY += alongY.first;
        if (threeDecimals(minimal) == threeDecimals(current))
            break;
        qDebug() << "beforeError = " << current << "minimalError = " << minimal;
        current = minimal;
    }
    return qMakePair(sumX, sumY);
}

TData mergeProfiles(const TData &leftData, const TData &rightData)
{
    const TData left = xyOf(leftData);
    const TData right = xyOf(rightData);
    if (right.at(0).isEmpty())
        return left;
    const double x0 = right.at(0).at(0);
    TData merged(2);
    for (int i = 0; i < left.at(0).size(); ++i) {
        if (left.at(0).at(i) < x0)
            appendPoint(merged, left, i);
    }
    merged[0] += right.at(0);
    merged[1] += right.at(1);
    return merged;
}

bool isJoinedDataUsable(const TData &joined)
{
    return joined.size() >= 2 && joined.at(0).size() == joined.at(1).size() && !joined.at(0).isEmpty();
}

void setJoinedPoints(AbstractTrace &trace, const TData &joined)
{
    const int n = joined.at(0).size();
    const QVector<double> zeros(n, 0.0);
    for (TData *set : { trace.rawData.get(), trace.processedData.get() }) {
        (*set)[0] = joined.at(0);
        (*set)[1] = joined.at(1);
        if (set->size() > 2)
            (*set)[2] = zeros;
    }
}
