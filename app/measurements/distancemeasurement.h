#pragma once

#include "measurements/pickedpoint.h"
#include "measurements/distanceanglegeometry.h"
#include "measurements/measurement.h"

#include <QPointer>
#include <memory>
#include <optional>

class QCPCurve;
class QCPItemLine;
class QCPItemText;
class QMouseEvent;


// A dimension on the contour plot: two extension lines from the measured
// points, a dimension line with arrow heads and a value label.
//
// Picking: the points follow the plot's selection marker; releases fix them
// (by clicks or, in the alternative mode, one release) or the kind completes
// on the release after its segments; a drag picks as twoPointRelease
// (pickedpoint.h) says. Then the label is placed with one more click, which
// finishes the measurement.
class DistanceMeasurement : public Measurement {
    Q_OBJECT
public:
    // releaseCompletes: the points are complete on the release after the
    // segments; clickCount: releases that fix points (1 for every kind).
    DistanceMeasurement(int type, PlotWidget *plot, const QString &name, bool releaseCompletes, int clickCount);
    ~DistanceMeasurement() override;

    QString name() const override { return m_name; }
    QString valueText() const override;
    double value() const override { return m_value; }
    QString groupName() const override;
    void setLargeFont(bool large) override;
    void updateLabel() override;
    void updateSelectionMarker() override;
    void setHighlighted(bool on) override;
    void updateSettings() override;

    // The point the kind takes as the one under the cursor.
    virtual PickedPoint pointUnderCursor() const;

    int labelAlignment = 0;
    QString unitSuffix;
    int pickedCount = 0;
    std::unique_ptr<PickedPoint> firstPoint;
    std::unique_ptr<PickedPoint> secondPoint;
    QCPItemLine *extensionLines[2] = { nullptr, nullptr };
    QCPItemLine *dimensionLine = nullptr;
    QCPItemText *label = nullptr;
    int clickStage = 0;

protected:
    void logFinished() override;

    // (key, value) of the picked data point; (0, 0) when there is none.
    QPointF curvePointAt(const PickedPoint *point) const;
    // The picked point with the smaller key (the first on equal keys), and the
    // other one.
    const PickedPoint *leftPoint() const;
    const PickedPoint *rightPoint() const;
    static void setPoint(std::unique_ptr<PickedPoint> &slot, const PickedPoint &point);

    void placeLabel(const QString &text, const QPointF &position, double rotation, int alignment);
    void setItemsVisible(bool visible);
    // Draws a complete dimension, takes its value and announces it.
    void showDimension(const DimensionGeometry::Dimension &d);
    // The height between the fitted lines of the two segments, drawn side by
    // side as far as the segments allow.
    using LineSide = std::optional<DimensionGeometry::LineHeight> (*)(const DimensionGeometry::SegmentLine &, double);
    void calculateTwoLineHeight(LineSide side);

    double m_value = 0;

private:
    void createItems();
    void trackPickedPoint(int clickCount);
    void onPlotMouseRelease(QMouseEvent *event, bool releaseCompletes, int clickCount);
    void pickPoint(int clickCount, const QPoint &releasedAt);
    void pickByClicks(int clickCount);
    void pickBySegment(const QPoint &releasedAt);
    void pointsComplete();

    QString m_name;
};

// Height difference of two picked points.
class VerticalDistanceMeasurment : public DistanceMeasurement {
    Q_OBJECT
public:
    explicit VerticalDistanceMeasurment(PlotWidget *plot);
    void calculate() override;
};

// Length along x between two picked points.
class HorisontalDistanceMeasurment : public DistanceMeasurement {
    Q_OBJECT
public:
    explicit HorisontalDistanceMeasurment(PlotWidget *plot);
    void calculate() override;
};

// Highest minus lowest point of one segment.
class MaxMinDistanceMeasurement : public DistanceMeasurement {
    Q_OBJECT
public:
    explicit MaxMinDistanceMeasurement(PlotWidget *plot);
    void calculate() override;
};

// Straight distance between two picked points.
class DirectDistanceMeasurement : public DistanceMeasurement {
    Q_OBJECT
public:
    explicit DirectDistanceMeasurement(PlotWidget *plot);
    void calculate() override;
};

// Height between the least-squares lines of two segments, each taken at the
// middle of its segment.
class MeanHeightMeasurement : public DistanceMeasurement {
    Q_OBJECT
public:
    explicit MeanHeightMeasurement(PlotWidget *plot);
    void calculate() override;
    PickedPoint pointUnderCursor() const override { return {}; }
};

// Height between the least-squares lines of two segments, both taken at the
// label's x.
class AvgDiametertMeasurement : public DistanceMeasurement {
    Q_OBJECT
public:
    explicit AvgDiametertMeasurement(PlotWidget *plot);
    void calculate() override;
    PickedPoint pointUnderCursor() const override { return {}; }
};
