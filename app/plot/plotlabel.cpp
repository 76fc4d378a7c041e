#include "plot/plotlabel.h"

#include <QPolygonF>

PlotLabel::PlotLabel(QCustomPlot *plot)
    : QCPItemText(plot)
{
}

QRectF PlotLabel::naturalRect() const
{
    const QPolygonF corners({ topLeft->pixelPosition(), topRight->pixelPosition(), bottomRight->pixelPosition(),
        bottomLeft->pixelPosition() });
    return corners.boundingRect();
}

QRectF PlotLabel::drawnRect() const
{
    return naturalRect().translated(insideShift());
}

QPointF PlotLabel::insideShift() const
{
    const QRectF inside = clipRect();
    if (!inside.contains(position->pixelPosition()))
        return QPointF();
    const QRectF box = naturalRect();
    // A box wider or taller than the area keeps its left or top edge inside.
    auto shift = [](double low, double high, double areaLow, double areaHigh) {
        double d = 0;
        if (high > areaHigh)
            d = areaHigh - high;
        if (low + d < areaLow)
            d = areaLow - low;
        return d;
    };
    return QPointF(shift(box.left(), box.right(), inside.left(), inside.right()),
        shift(box.top(), box.bottom(), inside.top(), inside.bottom()));
}

void PlotLabel::draw(QCPPainter *painter)
{
    const QPointF shift = insideShift();
    if (shift.isNull()) {
        QCPItemText::draw(painter);
        return;
    }
    // The painter's clip stays where the layer set it: only the text moves.
    painter->save();
    painter->translate(shift);
    QCPItemText::draw(painter);
    painter->restore();
}
