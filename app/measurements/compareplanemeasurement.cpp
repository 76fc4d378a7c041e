#include "measurements/compareplanemeasurement.h"

#include "plot/plotwidget.h"

ComparePlaneMeasurement::ComparePlaneMeasurement(int type, PlotWidget *plot, const QString &caption)
    : Measurement(type, plot, 0)
    , caption(caption)
{
    if (plot)
        plot->setSelectionMarkerVisible(true);
}

QString ComparePlaneMeasurement::groupName() const
{
    return QStringLiteral("Сравнение с чертежём");
}

void ComparePlaneMeasurement::updateSelectionMarker()
{
    if (plot())
        plot()->setSelectionMarkerVisible(true);
}
