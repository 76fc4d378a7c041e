#pragma once

#include <QRectF>
#include <qcustomplot.h>

// A text item of a plot that is drawn whole inside its clip rectangle (the
// axis rect): while its position lies inside the rectangle but its text would
// cross an edge, the text is drawn moved back in, just as far as needed. A
// label whose position has left the rectangle (the plot was zoomed or panned
// away from it) is drawn where it is and clipped as any item.
class PlotLabel : public QCPItemText {
    Q_OBJECT
public:
    explicit PlotLabel(QCustomPlot *plot);

    // The box of the text, padding included, at its position, in pixels.
    QRectF naturalRect() const;
    // The box as it is drawn.
    QRectF drawnRect() const;
    // The rectangle the text is kept in.
    QRect area() const { return clipRect(); }

protected:
    void draw(QCPPainter *painter) override;

private:
    QPointF insideShift() const;
};
