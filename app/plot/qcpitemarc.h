#pragma once

#include <qcustomplot.h>

// An arc of the ellipse whose bounding rectangle two positions give, like the
// library's ellipse item. The angles follow QPainter::drawArc: 1/16 degree,
// 0 at three o'clock, positive counter-clockwise on screen.
class QCPItemArc : public QCPAbstractItem {
    Q_OBJECT
    Q_PROPERTY(QPen pen READ pen WRITE setPen)
    Q_PROPERTY(QPen selectedPen READ selectedPen WRITE setSelectedPen)
    Q_PROPERTY(QBrush brush READ brush WRITE setBrush)
    Q_PROPERTY(QBrush selectedBrush READ selectedBrush WRITE setSelectedBrush)
public:
    explicit QCPItemArc(QCustomPlot *parentPlot);

    QPen pen() const { return mPen; }
    QPen selectedPen() const { return mSelectedPen; }
    QBrush brush() const { return mBrush; }
    QBrush selectedBrush() const { return mSelectedBrush; }

    void setPen(const QPen &pen) { mPen = pen; }
    void setSelectedPen(const QPen &pen) { mSelectedPen = pen; }
    void setBrush(const QBrush &brush) { mBrush = brush; }
    void setSelectedBrush(const QBrush &brush) { mSelectedBrush = brush; }

    // Distance to the whole ellipse's outline, whatever the angles.
    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details = nullptr) const override;

    QCPItemPosition *const topLeft;
    QCPItemPosition *const bottomRight;

    int mStartAngle = 0;
    int mSpanAngle = 5760;

protected:
    void draw(QCPPainter *painter) override;

    QPen mainPen() const { return mSelected ? mSelectedPen : mPen; }
    QBrush mainBrush() const { return mSelected ? mSelectedBrush : mBrush; }

private:
    QPen mPen;
    QPen mSelectedPen;
    QBrush mBrush;
    QBrush mSelectedBrush;
};
