#pragma once

#include "algos/fitting.h"
#include "measurements/measurement.h"

class QMouseEvent;

// Levelling turns every curve of the plot so that a selected straight stretch
// of the contour becomes horizontal. It fits a least-squares line while the
// stretch is dragged, and on the release that completes the selection rotates
// the data about the stretch's first point and reports the angle and centre.
// It draws nothing, is never listed and finishes at once.
class LevellingMeasurement : public Measurement {
    Q_OBJECT
public:
    LevellingMeasurement(int type, PlotWidget *plot);

    QString name() const override;
    QString valueText() const override;
    double value() const override { return 0; }
    QString groupName() const override { return {}; }
    void setLargeFont(bool) override { }
    void updateLabel() override { }
    void setHighlighted(bool) override { }

    Algos::RMS fitter;

protected:
    // Rotates every curve by the fitted line's level angle about the first
    // point of segment 0; returns the angle (radians) and the centre.
    QPair<double, QPointF> levelCurves();
    // Finishes and announces the rotation.
    void announce(double angle, const QPointF &centre);
};

// Levels on the line of one segment.
class LayFlatMeasurement : public LevellingMeasurement {
    Q_OBJECT
public:
    explicit LayFlatMeasurement(PlotWidget *plot);

    void calculate() override;
    void updateSelectionMarker() override;

private:
    void onPlotMouseRelease(QMouseEvent *event);
};

// Levels on one line fitted to two segments together (for example both sides
// of a groove). It also writes the angle and the centre to the two outputs
// given to it, which it does not own.
class LayFlatByTwoMeasurement : public LevellingMeasurement {
    Q_OBJECT
public:
    LayFlatByTwoMeasurement(PlotWidget *plot, double *angleOut, QPointF *centreOut);

    void calculate() override;

private:
    void onPlotMouseRelease(QMouseEvent *event, double *angleOut, QPointF *centreOut);
};
