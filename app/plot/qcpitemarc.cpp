#include "plot/qcpitemarc.h"

#include <cmath>

QCPItemArc::QCPItemArc(QCustomPlot *parentPlot)
    : QCPAbstractItem(parentPlot)
    , topLeft(createPosition(QStringLiteral("topLeft")))
    , bottomRight(createPosition(QStringLiteral("bottomRight")))
    , mPen(Qt::black, 1, Qt::SolidLine)
    , mSelectedPen(Qt::blue, 2, Qt::SolidLine)
    , mBrush(Qt::NoBrush)
    , mSelectedBrush(Qt::NoBrush)
{
    topLeft->setCoords(0, 1);
    bottomRight->setCoords(1, 0);
}

double QCPItemArc::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    Q_UNUSED(details)
    if (onlySelectable && !mSelectable)
        return -1;

    const QPointF p1 = topLeft->pixelPosition();
    const QPointF p2 = bottomRight->pixelPosition();
    const QPointF center = (p1 + p2) / 2.0;
    const double a = std::abs(p1.x() - p2.x()) / 2.0;
    const double b = std::abs(p1.y() - p2.y()) / 2.0;
    const double x = pos.x() - center.x();
    const double y = pos.y() - center.y();

    const double ellipse = x * x / (a * a) + y * y / (b * b);
    const double distance = std::abs(1.0 / std::sqrt(ellipse) - 1.0) * std::sqrt(x * x + y * y);

    const double tolerance = 0.99 * mParentPlot->selectionTolerance();
    const bool filled = mBrush.style() != Qt::NoBrush && mBrush.color().alpha() != 0;
    // The centre itself gives 0/0; a filled ellipse still counts it as inside.
    if (!(distance <= tolerance) && filled && ellipse <= 1)
        return tolerance;
    return std::isfinite(distance) ? distance : -1;
}

void QCPItemArc::draw(QCPPainter *painter)
{
    const QPointF p1 = topLeft->pixelPosition();
    const QPointF p2 = bottomRight->pixelPosition();
    if (p1.toPoint() == p2.toPoint())
        return;

    const QRectF arcRect = QRectF(p1, p2).normalized();
    const int margin = int(mainPen().widthF());
    const QRect clip = clipRect().adjusted(-margin, -margin, margin, margin);
    if (!arcRect.intersects(clip))
        return;

    painter->setPen(mainPen());
    painter->setBrush(mainBrush());
    try {
        painter->drawArc(arcRect, mStartAngle, mSpanAngle);
    } catch (...) {
        // A huge ellipse (far zoomed in) can exhaust memory in the rasteriser.
        qDebug() << "virtual void QCPItemArc::draw(QCPPainter*)"
                 << "Item too large for memory, setting invisible";
        setVisible(false);
    }
}
