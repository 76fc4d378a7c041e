#pragma once

// A contour plot for measurement tests: a PlotWidget of a fixed size whose
// first curves are contour traces, mouse events aimed at data coordinates,
// and screenshots under the build folder.

#include "plot/plotwidget.h"
#include "traces/contourtrace.h"

#include <QPointF>
#include <QString>
#include <QVector>
#include <functional>

namespace ContourTest {

// A contour trace whose processed points are exactly the given (x, y) points
// (neutral calibration: no smoothing, no tip radius, no scaling).
ContourTrace *makeTrace(const QVector<QPointF> &points);
// n points (x0 + i * step, f(x0 + i * step)).
ContourTrace *makeTrace(int n, double x0, double step, const std::function<double(double)> &f);

// One curve of the trace's processed points, as the contour window draws it.
QCPCurve *addTraceCurve(PlotWidget *plot, const AbstractTrace *trace);
// Rescales the axes onto the curves and lays the plot out so that pixel
// positions can be computed.
void fitAxes(PlotWidget *plot);

// The pixel of a data point (rounded to whole pixels).
QPoint pixelOf(const PlotWidget *plot, double x, double y);
QPoint pixelOf(const PlotWidget *plot, const QPointF &p);
// The pixel of point i of a curve.
QPoint pixelOfPoint(const PlotWidget *plot, const QCPCurve *curve, int i);

// Real mouse events sent to the plot at data coordinates.
void press(PlotWidget *plot, const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
void move(PlotWidget *plot, const QPointF &at, Qt::MouseButtons held = Qt::NoButton);
void release(PlotWidget *plot, const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
// The same at pixel positions.
void pressAt(PlotWidget *plot, const QPoint &pixel, Qt::MouseButton button = Qt::LeftButton);
void moveAt(PlotWidget *plot, const QPoint &pixel, Qt::MouseButtons held = Qt::NoButton);
void releaseAt(PlotWidget *plot, const QPoint &pixel, Qt::MouseButton button = Qt::LeftButton);
// Press on point `from` of a curve, move through the points to `to`, release there.
void drag(PlotWidget *plot, const QCPCurve *curve, int from, int to);

// Saves a PNG of the widget as "$VANTOR_BINARY_DIR/screenshots/<name>.png"
// (the working directory when the variable is not set); returns the path.
QString saveScreenshot(QWidget *widget, const QString &name);

} // namespace ContourTest
