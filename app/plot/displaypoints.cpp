#include "plot/displaypoints.h"

#include "algos/profileutils.h"

#include <QPointF>
#include <algorithm>

TData rawDisplayPoints(const TData &raw, int traceType, double unitFactor)
{
    if (raw.size() < 2)
        return TData(2);
    QVector<double> x = raw.at(0);
    QVector<double> y = raw.at(1);
    if (isContourTraceKind(traceType) && raw.size() > 2) {
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

TData levelledDisplayPoints(
    const TData &processed, double unitFactor, bool rotated, double centreX, double centreY, double angle)
{
    const TData &data = processed;
    const int n = data.size() >= 2 ? std::min(data[0].size(), data[1].size()) : 0;
    QVector<double> keys(n);
    QVector<double> values(n);
    for (int k = 0; k < n; ++k) {
        QPointF p(data[0][k] * unitFactor, data[1][k] * unitFactor);
        if (rotated)
            p = Algos::rotatePoint(float(centreX), float(centreY), float(angle), p);
        keys[k] = p.x();
        values[k] = p.y();
    }
    return { keys, values };
}

double levelInMicrometres(double level, int axisUnit)
{
    double factor = 1; // µm, and any unit the settings do not know
    switch (axisUnit) {
    case 0:
        factor = 1000;
        break;
    case 2:
        factor = 0.001;
        break;
    default:
        break;
    }
    return level * factor;
}
