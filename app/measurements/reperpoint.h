#pragma once

#include <QMap>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QPointer>

#include "plot/plotwidget.h"

class Measurement;
class QCPCurve;
class QCPItemTracer;
class QMouseEvent;

// A marked point of a measurement (an end of a distance, a vertex, a centre,
// an intersection): a small tracer on the "overlay" layer and an invisible
// one-point curve on which the plot's selection marker can land once the
// point is pickable. Created hidden; its measurement owns and deletes it.
class ReperPoint : public QObject {
    Q_OBJECT
public:
    ReperPoint(PlotWidget *plot, Measurement *owner);
    ~ReperPoint() override;

    // Position in plot coordinates.
    QPointF position() const;
    void setPosition(const QPointF &p);
    void setVisible(bool visible);
    bool isVisible() const;
    // Green circle when on, red plus otherwise; returns whether it was highlighted.
    bool setHighlighted(bool on);
    bool isHighlighted() const;
    // Whether the plot's selection marker may snap onto the point.
    void makePickable();
    void makeUnpickable();
    bool isPickable() const;
    Measurement *measurement() const { return owner; }

    // Both are owned by the plot; they read null should the plot delete them first.
    QPointer<QCPItemTracer> tracer;
    Measurement *owner;
    QPointer<PlotWidget> plot;
    QPointer<QCPCurve> curve;
};

// Pulls the mouse cursor onto reference points of finished measurements.
// The manager announces the points (reperPointChanged / reperPointRemoved of
// each measurement) and connects the plot's mouseMove. It owns no point.
class ReperPointController : public QObject {
    Q_OBJECT
public:
    // A cursor this close (Manhattan distance in whole pixels, strictly below)
    // is pulled onto the point.
    static constexpr int kSnapDistance = 5;

    explicit ReperPointController(PlotWidget *plot);

    void makeAllPickable();
    void makeAllUnpickable();
    int pointCount() const { return points.size(); }
    bool contains(ReperPoint *p) const { return points.contains(p); }

    PlotWidget *plot;
    QMap<ReperPoint *, ReperPoint *> points;

public Q_SLOTS:
    void reperPointChanged(ReperPoint *p);
    void reperPointRemoved(ReperPoint *p);
    void mouseMove(QMouseEvent *e);
};

// Whether a cursor pixel is close enough to a point's pixel (truncated) to snap.
bool reperPointSnaps(const QPoint &cursor, const QPointF &pointPixel);
