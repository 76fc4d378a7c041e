#pragma once

#include <QPoint>
#include <QPointer>
#include <qcustomplot.h>

// The selection rectangle of a PlotWidget. Besides the library's rectangle it
// remembers, for a range selection, the curve the current drag selects on and
// the anchor point where that selection began, and it can stop painting the
// rectangle while the selection marker shows the user where the range runs.
class RangeSelectionRect : public QCPSelectionRect {
    Q_OBJECT
public:
    explicit RangeSelectionRect(QCustomPlot *parentPlot);

    QCPCurve *targetCurve() const { return mTargetCurve; }
    QPoint startPoint() const { return mStartPoint; }
    void setTarget(QCPCurve *curve, const QPoint &startPoint);

    bool drawRect() const { return mDrawRect; }
    void setDrawRect(bool draw) { mDrawRect = draw; }

protected:
    void startSelection(QMouseEvent *event) override;
    void draw(QCPPainter *painter) override;

private:
    // The plot may delete the curve during a drag; a QPointer then reads null.
    QPointer<QCPCurve> mTargetCurve;
    QPoint mStartPoint;
    bool mDrawRect = true;
};
