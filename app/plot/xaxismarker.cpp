#include "plot/xaxismarker.h"

#include "settings/common.h"

#include <qcustomplot.h>

XAxisMarker::XAxisMarker(QCPAxis *axis)
    : QObject(axis)
    , mAxis(axis)
{
    QCustomPlot *plot = axis->parentPlot();
    QCPAxis *valueAxis
        = axis->axisRect()->axis(axis->orientation() == Qt::Horizontal ? QCPAxis::atLeft : QCPAxis::atBottom);

    mLine = new QCPItemStraightLine(plot);
    mLine->point1->setAxes(axis, valueAxis);
    mLine->point2->setAxes(axis, valueAxis);
    mLine->setPen(Common::kMagentaDashPen);
    mLine->setVisible(false);

    mLabel = new QCPItemText(plot);
    mLabel->setVisible(false);
    mLabel->setLayer(QStringLiteral("overlay"));
    mLabel->setClipToAxisRect(false);
    mLabel->setPadding(QMargins(3, -1, 3, -1));
    mLabel->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    mLabel->setFont(Common::kMonospaceFont);
    mLabel->position->setAxes(axis, valueAxis);
    mLabel->position->setAxisRect(axis->axisRect());
    mLabel->position->setTypeX(QCPItemPosition::ptPlotCoords);
    mLabel->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    mLabel->setSelectable(false);
}

XAxisMarker::~XAxisMarker()
{
    // The items are gone already when the plot itself is being destroyed.
    if (mLine)
        mLine->parentPlot()->removeItem(mLine);
    if (mLabel)
        mLabel->parentPlot()->removeItem(mLabel);
}

void XAxisMarker::setPosition(double x, double value)
{
    if (mLine) {
        mLine->point1->setCoords(x, 0);
        mLine->point2->setCoords(x, 1);
    }
    if (mLabel)
        mLabel->position->setCoords(x, 0);
    mX = x;
    mValue = value;
}

void XAxisMarker::setVisible(bool visible)
{
    if (mLine)
        mLine->setVisible(visible);
    if (mLabel)
        mLabel->setVisible(visible);
}
