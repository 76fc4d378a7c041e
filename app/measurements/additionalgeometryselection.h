#pragma once

#include "measurements/measurement.h"

class QMouseEvent;

// Extremum points of a selected range of a trace: one reference point on the
// highest (kind 30) or the lowest (kind 31) point, a snap target for later
// measurements. The point follows the range while it is dragged; the release
// ends placing. They show no value.
class AdditionalGeometrySelection : public Measurement {
    Q_OBJECT
public:
    AdditionalGeometrySelection(int type, PlotWidget *plot, const QString &caption);

    QString name() const override { return caption; }
    QString valueText() const override { return QString(); }
    double value() const override { return 0.0; }
    QString groupName() const override;
    void setLargeFont(bool) override { }
    void updateLabel() override { }
    void updateSelectionMarker() override;
    void setHighlighted(bool) override { }

    QString caption;

protected:
    // Puts the reference point on the first highest (maximum) or lowest point
    // of segment 0; nothing while the segment is incomplete or empty.
    void placeOnExtremum(bool maximum);

private:
    void onPlotMouseRelease(QMouseEvent *event);
};

class FindMaxPoint : public AdditionalGeometrySelection {
    Q_OBJECT
public:
    explicit FindMaxPoint(PlotWidget *plot);
    void calculate() override { placeOnExtremum(true); }
};

class FindMinPoint : public AdditionalGeometrySelection {
    Q_OBJECT
public:
    explicit FindMinPoint(PlotWidget *plot);
    void calculate() override { placeOnExtremum(false); }
};
