#pragma once

#include "measurements/dxfdrawing.h"

#include <QPen>
#include <QPointF>
#include <QVector>
#include <qcustomplot.h>

// The drawing on a contour plot as one plot item: it paints every entity of
// the drawing it is given, as the entities stand at the moment of painting.
// Moving, turning or scaling the drawing changes only the entities; the next
// replot shows them where they are, whatever their number. Consecutive lines
// that share an end are painted as one polyline, thinned to the points half a
// pixel apart or more, so a dense outline costs about as much as its length
// in pixels.
class DxfDrawingItem : public QCPAbstractItem {
    Q_OBJECT
public:
    // The drawing must outlive the item (a comparison's drawing does: the
    // comparison removes the item before it lets the drawing go).
    DxfDrawingItem(QCustomPlot *plot, const DxfDrawing *drawing);

    QPen pen() const { return m_pen; }
    void setPen(const QPen &pen) { m_pen = pen; }

    // The drawing is not picked as a whole: its markers are.
    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details = nullptr) const override;

protected:
    void draw(QCPPainter *painter) override;

private:
    const DxfDrawing *m_drawing;
    QPen m_pen;
};

// The registration markers of a drawing as one curve: a point for every
// marker of every entity, painted as the reference points' pluses, one to a
// cell of the plus's size. Made pickable, the plot's selection marker lands on the marker
// nearest to the cursor; the points are kept in ascending key order, so that
// search looks only at the markers near the cursor.
class DxfMarkers : public QCPCurve {
    Q_OBJECT
public:
    DxfMarkers(QCPAxis *keyAxis, QCPAxis *valueAxis);

    void setMarkers(QVector<QPointF> points);
    // Scales every marker about the origin (factor > 0).
    void scale(double factor);
    void setPickable(bool pickable);
    bool isPickable() const { return selectable() != QCP::stNone; }

    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details = nullptr) const override;

protected:
    void draw(QCPPainter *painter) override;
};
