#include "measurements/additionalgeometryselection.h"

#include "measurements/circlegeometry.h"
#include "plot/plotwidget.h"

#include <QMouseEvent>

AdditionalGeometrySelection::AdditionalGeometrySelection(int type, PlotWidget *plot, const QString &caption)
    : Measurement(type, plot, 1)
    , caption(caption)
{
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &AdditionalGeometrySelection::onPlotMouseRelease));
}

QString AdditionalGeometrySelection::groupName() const
{
    return QStringLiteral("Доп геометрия Линии");
}

void AdditionalGeometrySelection::updateSelectionMarker()
{
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
}

void AdditionalGeometrySelection::placeOnExtremum(bool maximum)
{
    if (!allSegmentsSelected())
        return;
    const SegmentSelection *s = segment(0);
    const Geometry::CurveRange points = Geometry::curveRange(s->curve, s->begin, s->end);
    const int index = Geometry::extremumIndex(points.first, points.end, maximum);
    if (index < 0)
        return;
    const QCPCurveData &p = points.first[index];
    setReperPoint(0, QPointF(p.key, p.value));
}

void AdditionalGeometrySelection::onPlotMouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Q_EMIT stopSelection();
    if (PlotWidget *p = plot())
        p->replot(QCustomPlot::rpRefreshHint);
    finishMeasurement();
    Q_EMIT measumentFinished();
}

FindMaxPoint::FindMaxPoint(PlotWidget *plot)
    : AdditionalGeometrySelection(30, plot, QStringLiteral("Точка максимума"))
{
}

FindMinPoint::FindMinPoint(PlotWidget *plot)
    : AdditionalGeometrySelection(31, plot, QStringLiteral("Точка минимума"))
{
}
