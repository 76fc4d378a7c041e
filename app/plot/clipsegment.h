#pragma once

#include <QPointF>
#include <QRectF>
#include <QtGlobal>

// Clips the segment a-b to rect (Liang-Barsky); false when nothing of it is inside.
inline bool clipSegment(const QRectF &rect, QPointF &a, QPointF &b)
{
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0;
    double t1 = 1;
    const double p[4] = { -dx, dx, -dy, dy };
    const double q[4] = { a.x() - rect.left(), rect.right() - a.x(), a.y() - rect.top(), rect.bottom() - a.y() };
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = qMax(t0, t);
        else
            t1 = qMin(t1, t);
        if (t0 > t1)
            return false;
    }
    // An end inside the rectangle stays exactly as it was, so that the next
    // segment, which starts there, joins on without a break.
    const QPointF start = a;
    if (t0 > 0)
        a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    if (t1 < 1)
        b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    return true;
}
