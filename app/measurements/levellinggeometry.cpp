#include "measurements/levellinggeometry.h"

#include "algos/profileutils.h"
#include "plot/curveregistry.h"

#include <qcustomplot.h>

#include <QLineF>

namespace LevelGeometry {

double levelAngleDegrees(const Algos::RMS &line)
{
    const double c0 = line.coefficient(0), c1 = line.coefficient(1);
    const QLineF fitted(0, c0, 1, c0 + c1), xAxis(0, 0, 1, 0);
    // QLineF counts angles with y pointing down; from the line to the x axis
    // that is the slope angle of a plot whose y axis points up.
    double a = fitted.angleTo(xAxis);
    if (a > 180)
        a = -xAxis.angleTo(fitted);
    return a;
}

double levelRotation(double angleDegrees)
{
    return -angleDegrees * 0.017453292519943295;
}

QPointF rotationCentre(const QCPCurveDataContainer *data, quint64 begin)
{
    if (!data || begin >= quint64(data->size()))
        return {};
    const QCPCurveData &d = *(data->constBegin() + begin);
    return { d.key, d.value };
}

void rotateData(QCPCurveDataContainer &data, const QPointF &centre, double angleRadians)
{
    const float cx = float(centre.x()), cy = float(centre.y()), a = float(angleRadians);
    for (QCPCurveData &d : data) {
        const QPointF p = Algos::rotatePoint(cx, cy, a, QPointF(d.key, d.value));
        d.key = p.x();
        d.value = p.y();
    }
}

void rotateCurves(QCustomPlot *plot, const QPointF &centre, double angleRadians)
{
    for (QCPCurve *curve : CurveRegistry::curves(plot))
        rotateData(*curve->data(), centre, angleRadians);
}

} // namespace LevelGeometry
