#include "plot/rangeselectionrect.h"

RangeSelectionRect::RangeSelectionRect(QCustomPlot *parentPlot)
    : QCPSelectionRect(parentPlot)
{
}

void RangeSelectionRect::setTarget(QCPCurve *curve, const QPoint &startPoint)
{
    mTargetCurve = curve;
    mStartPoint = startPoint;
}

void RangeSelectionRect::startSelection(QMouseEvent *event)
{
    // A new drag picks its target afresh; clear it before anyone hears "started".
    mTargetCurve = nullptr;
    QCPSelectionRect::startSelection(event);
}

void RangeSelectionRect::draw(QCPPainter *painter)
{
    if (mDrawRect)
        QCPSelectionRect::draw(painter);
}
