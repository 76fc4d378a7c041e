#pragma once

#include <QPointer>
#include <qcustomplot.h>

// A trace point picked on the plot: its data index on its curve (-1: none).
// The curve reads null once the plot has removed it.
struct PickedPoint {
    qint64 index = -1;
    QPointer<QCPCurve> curve;
};
