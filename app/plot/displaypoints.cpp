#include "plot/displaypoints.h"

TData rawDisplayPoints(const TData &raw, int traceType, double unitFactor)
{
    if (raw.size() < 2)
        return TData(2);
    QVector<double> x = raw.at(0);
    QVector<double> y = raw.at(1);
    if ((traceType == CONTOUR || traceType == CONTOURPROF) && raw.size() > 2) {
        const QVector<double> &z = raw.at(2);
        for (int i = 0; i < y.size() && i < z.size(); ++i)
            y[i] += z.at(i) / 1000;
    }
    for (double &v : x)
        v *= unitFactor;
    for (double &v : y)
        v *= unitFactor;
    return { x, y };
}
