#pragma once

#include "algos/fitting.h"

#include <QPointF>

class QCustomPlot;
class QCPCurveData;
template <class DataType> class QCPDataContainer;
typedef QCPDataContainer<QCPCurveData> QCPCurveDataContainer;

// Levelling: the rotation that turns a fitted straight line horizontal, and
// its application to the data of every curve of a plot.
namespace LevelGeometry {

// The slope angle of the line y = c0 + c1 x in degrees, positive for a rising
// line (plot y axis pointing up), within (-90, 90).
double levelAngleDegrees(const Algos::RMS &line);
// The rotation in radians that makes a line of that slope angle horizontal.
double levelRotation(double angleDegrees);
// The point at a segment's begin index, the centre of the rotation; (0, 0)
// without data or when the index is beyond it.
QPointF rotationCentre(const QCPCurveDataContainer *data, quint64 begin);
// Turns every point of the data about the centre by the angle (radians), in
// place. The centre and the angle are taken in single precision.
void rotateData(QCPCurveDataContainer &data, const QPointF &centre, double angleRadians);
// rotateData for every curve of the plot's curve registry, in registry order.
void rotateCurves(QCustomPlot *plot, const QPointF &centre, double angleRadians);

} // namespace LevelGeometry
