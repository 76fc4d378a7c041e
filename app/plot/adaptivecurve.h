#pragma once

#include <QVector>
#include <qcustomplot.h>

// The curve that traces and deviation graphs are drawn with. Before the line is
// drawn, every pixel point within one pixel of the last kept point is dropped,
// so a trace of a million points reaches the painter as roughly one point per
// pixel it covers. Only the drawn line is thinned: the data, scatter symbols,
// hit tests and selections still see every point.
class AdaptiveCurve : public QCPCurve {
    Q_OBJECT
public:
    AdaptiveCurve(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // The points of one polyline with those closer than one pixel (in both x
    // and y, strictly) to the last kept point dropped. Polylines of two points
    // or fewer come back unchanged; points with a coordinate that is not a
    // number are dropped.
    QVector<QPointF> thinLine(const QVector<QPointF> &lines) const;

    // Makes room for count points, so that points added up to that number
    // never move the stored ones: a curve that grows batch by batch while a
    // long trace is read would otherwise copy all its points at every
    // doubling. Takes effect on a curve that has points (the first addition
    // to an empty curve replaces its storage); a smaller count does nothing.
    void reserveData(int count);

    bool mAdaptive = true;

protected:
    // On linear axes with no fill, the thinned line is built straight from the
    // data in one pass (the library's own line building allocates and optimises
    // every point first, which costs far more than drawing the thinned line);
    // otherwise the library draws and drawCurveLine thins.
    void draw(QCPPainter *painter) override;
    void drawCurveLine(QCPPainter *painter, const QVector<QPointF> &lines) const override;

private:
    // The thinned line of range, in storage kept for the next draw: valid
    // until the next call on this thread.
    const QVector<QPointF> &thinnedVisibleLine(const QCPDataRange &range, double penWidth) const;
    // The part of range whose keys the key axis shows, with one point more on
    // either side so that the line runs on out of view; the whole range when
    // the keys do not ascend.
    QCPDataRange visibleKeyRange(const QCPDataRange &range) const;
    // Whether the keys never fall from one point to the next. Found by one
    // pass over the points and remembered until the points change (their
    // storage, count, first or last key).
    bool keysAscend() const;

    struct KeyOrder {
        const void *container = nullptr;
        const QCPCurveData *first = nullptr;
        int size = -1;
        double firstKey = 0;
        double lastKey = 0;
        bool ascends = false;
    };
    mutable KeyOrder mKeyOrder;
};

// Gives the curve the n points pointAt(0) .. pointAt(n - 1) (each a QPointF of
// key and value, asked for once and in order), the parameter t being the
// index, as QCPCurve::setData(keys, values) stores them. A curve already
// holding n points is written over in place and keeps its storage, so a curve
// redrawn often allocates nothing; otherwise its points are let go before the
// new ones are made, so that the two sets are never held together.
template <typename PointAt>
void setCurvePoints(QCPCurve &curve, int n, PointAt pointAt)
{
    const QSharedPointer<QCPCurveDataContainer> data = curve.data();
    if (data->size() == n) {
        const auto end = data->end();
        int i = 0;
        for (auto it = data->begin(); it != end; ++it, ++i) {
            const QPointF p = pointAt(i);
            *it = QCPCurveData(i, p.x(), p.y());
        }
        return;
    }
    data->set(QVector<QCPCurveData>(), true);
    QVector<QCPCurveData> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QPointF p = pointAt(i);
        points.append(QCPCurveData(i, p.x(), p.y()));
    }
    data->set(points, true);
}
