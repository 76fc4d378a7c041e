#pragma once

#include <qcustomplot.h>

#include <QPointF>
#include <QVector>
#include <cmath>
#include <functional>

// Curve data built from a function of x or from listed points, for the
// measurement tests: t is the index, key x, value y.
inline QVector<QCPCurveData> sampled(double x0, double x1, int count, const std::function<double(double)> &f)
{
    QVector<QCPCurveData> d;
    d.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double x = x0 + (x1 - x0) * i / (count - 1);
        d << QCPCurveData(i, x, f(x));
    }
    return d;
}

inline QVector<QCPCurveData> points(const QVector<QPointF> &p)
{
    QVector<QCPCurveData> d;
    for (int i = 0; i < p.size(); ++i)
        d << QCPCurveData(i, p[i].x(), p[i].y());
    return d;
}

// Points on the circle (cx, cy, r) from angle a0 to a1 in degrees.
inline QVector<QCPCurveData> arcPoints(double cx, double cy, double r, double a0, double a1, int count)
{
    QVector<QCPCurveData> d;
    for (int i = 0; i < count; ++i) {
        const double a = (a0 + (a1 - a0) * i / (count - 1)) * M_PI / 180;
        d << QCPCurveData(i, cx + r * std::cos(a), cy + r * std::sin(a));
    }
    return d;
}

inline const QCPCurveData *dataBegin(const QVector<QCPCurveData> &d)
{
    return d.constData();
}

inline const QCPCurveData *dataEnd(const QVector<QCPCurveData> &d)
{
    return d.constData() + d.size();
}
