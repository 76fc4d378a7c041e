#pragma once

#include <QVector>
#include <limits>

class QCustomPlot;
class QCPCurve;

// The curves of a plot (every QCPCurve and derived curve), in the order they
// were created. The list is computed from the plot's plottables, so a curve
// removed through QCustomPlot::removePlottable leaves it at once.
namespace CurveRegistry {

QVector<QCPCurve *> curves(const QCustomPlot *plot);
int curveCount(const QCustomPlot *plot);
// The curve at index (0 is the oldest); outside the range a debug line and null.
QCPCurve *curve(const QCustomPlot *plot, int index);
// The newest curve, or null when the plot has none.
QCPCurve *curve(const QCustomPlot *plot);
// Index of a curve in the registry, or -1.
int indexOf(const QCustomPlot *plot, const QCPCurve *curve);

// Minimum and maximum of the keys and values of every point of the curves;
// infinite (an invalid range) when no curve holds a point.
struct DataBounds {
    double minKey = std::numeric_limits<double>::infinity();
    double maxKey = -std::numeric_limits<double>::infinity();
    double minValue = std::numeric_limits<double>::infinity();
    double maxValue = -std::numeric_limits<double>::infinity();
};
DataBounds dataBounds(const QVector<QCPCurve *> &curves);

} // namespace CurveRegistry
