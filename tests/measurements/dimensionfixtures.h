#pragma once

#include "support/fuzzy.h"

#include <QLineF>
#include <QPointF>
#include <qcustomplot.h>

#include <functional>

// Curve data of the points (x[i], y[i]), in order.
inline QCPCurveDataContainer curveData(const QVector<double> &x, const QVector<double> &y)
{
    QCPCurveDataContainer data;
    for (int i = 0; i < x.size(); ++i)
        data.add(QCPCurveData(i, x[i], y[i]));
    return data;
}

// Curve data of y(x) at x = first, first + 1, ..., last.
inline QCPCurveDataContainer sampledLine(int first, int last, const std::function<double(int)> &y)
{
    QVector<double> xs, ys;
    for (int x = first; x <= last; ++x) {
        xs << x;
        ys << y(x);
    }
    return curveData(xs, ys);
}

// Coordinates agree within tol relative to their size, and within tol
// absolutely near zero.
#define QCOMPARE_POINT(actual, expected, tol)                                                                          \
    do {                                                                                                               \
        const QPointF pa_ = (actual), pe_ = (expected);                                                                \
        if (!fuzzyEqual(pa_.x(), pe_.x(), (tol), 1.0) || !fuzzyEqual(pa_.y(), pe_.y(), (tol), 1.0))                    \
            QFAIL(qPrintable(QStringLiteral("%1 = (%2, %3), expected (%4, %5)")                                        \
                                 .arg(#actual)                                                                         \
                                 .arg(pa_.x(), 0, 'g', 17)                                                             \
                                 .arg(pa_.y(), 0, 'g', 17)                                                             \
                                 .arg(pe_.x(), 0, 'g', 17)                                                             \
                                 .arg(pe_.y(), 0, 'g', 17)));                                                          \
    } while (false)

#define QCOMPARE_LINE(actual, expected, rel)                                                                           \
    do {                                                                                                               \
        const QLineF la_ = (actual), le_ = (expected);                                                                 \
        QCOMPARE_POINT(la_.p1(), le_.p1(), rel);                                                                       \
        QCOMPARE_POINT(la_.p2(), le_.p2(), rel);                                                                       \
    } while (false)
