#pragma once

// Helpers of the element tests on the contour window stand-in.

#include "support/contourwindowstandin.h"

#include <QRandomGenerator>
#include <cmath>

// The lower arc (200 to 340 degrees) of a circle as a trace, x ascending; with
// an optional radial noise of the given amplitude.
inline ContourTrace *arcTrace(double cx, double cy, double r, int count = 161, double noise = 0)
{
    QRandomGenerator rng(7);
    QVector<QPointF> p;
    for (int i = 0; i < count; ++i) {
        const double a = (200 + 140.0 * i / (count - 1)) * M_PI / 180;
        const double rr = r + noise * (2 * rng.generateDouble() - 1);
        p << QPointF(cx + rr * std::cos(a), cy + rr * std::sin(a));
    }
    return ContourTest::makeTrace(p);
}

// Points the selection marker at a trace point (the plot takes the point under
// the cursor on a move, and a receiver sees the previous move's) and clicks.
inline void clickPoint(ContourWindowStandIn &w, const QPointF &p)
{
    w.move(p);
    w.move(p);
    w.click(p);
}

// The last listed measurement as a T, or null.
template <typename T> T *lastListed(const ContourWindowStandIn &w)
{
    const auto &list = w.manager()->measurementList();
    return list.isEmpty() ? nullptr : qobject_cast<T *>(list.last());
}
