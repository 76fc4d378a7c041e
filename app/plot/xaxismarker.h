#pragma once

#include <QObject>
#include <QPointer>

class QCPAxis;
class QCPItemStraightLine;
class QCPItemText;

// A vertical line through a key of an axis, with a label just above the axis
// rectangle. The axis is its parent; it removes its items from the plot when
// it goes.
class XAxisMarker : public QObject {
    Q_OBJECT
public:
    explicit XAxisMarker(QCPAxis *axis);
    ~XAxisMarker() override;

    // The line through key x; the label at key x on the top edge of the axis
    // rectangle. The label's text is set by the marker's user.
    void setPosition(double x, double value);
    void setVisible(bool visible);

    QCPItemStraightLine *line() const { return mLine; }
    QCPItemText *label() const { return mLabel; }
    double x() const { return mX; }
    double value() const { return mValue; }

private:
    QCPAxis *mAxis;
    QPointer<QCPItemStraightLine> mLine;
    QPointer<QCPItemText> mLabel;
    double mX = 0;
    double mValue = 0;
};
