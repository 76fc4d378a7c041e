#pragma once

#include "measurements/measurement.h"

#include <QPointF>
#include <QString>

class QCPItemEllipse;
class QCPItemLine;
class QCPItemText;
class QMouseEvent;

// Circles fitted to selected stretches of a contour. The radius kinds (7, 8)
// show the circle, a radius line from the centre towards the label and the
// label; the circle elements (22, 23) draw only the circle and its centre
// point, for the crossings with lines and other circles. One reference point,
// on the centre.
class CurvatureMeasurement : public Measurement {
    Q_OBJECT
public:
    CurvatureMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded);
    ~CurvatureMeasurement() override;

    QString name() const override { return caption; }
    // "неизвестно" until there is a segment and a circle was fitted.
    QString valueText() const override;
    double value() const override;
    QString groupName() const override;
    void setLargeFont(bool large) override;
    void updateLabel() override;
    void updateSelectionMarker() override;
    void setHighlighted(bool on) override;
    void updateSettings() override;

    // Draws a measured circle: centre point, circle, radius line towards the
    // label, label with the value.
    void drawCircle(QPointF centre, double r);
    void setCircle(QPointF centre, double r);
    void placeLabel(const QString &text, QPointF position, double rotation, int alignment);
    void setItemsVisible(bool visible);

    QCPItemLine *radiusLine;
    QCPItemEllipse *circle;
    QCPItemText *label;
    // The shown radius in display units.
    double radius;
    QString caption;
    // "мм", "мкм" or "нм", the display unit of radius.
    QString unitSuffix;

protected:
    void logFinished() override;

    void updateUnitSuffix();
    // The least-squares circle of segment 0; false while the segments are
    // incomplete, segment 0 is empty or its points lie on one straight line
    // (then nothing is to be drawn).
    bool fitFirstSegment(QPointF *centre, double *r);
    // A circle of additional geometry: centre point and circle, no label; the
    // measurement's radius becomes r.
    void showGeometryCircle(QPointF centre, double r);
    // Set once a circle was fitted and drawn.
    bool hasCircle = false;

private:
    void createItems();
    void onPlotMouseRelease(QMouseEvent *event, int segmentsNeeded);
};

// Kind 7: the least-squares circle of one segment.
class RegularRadiusMeasurement : public CurvatureMeasurement {
    Q_OBJECT
public:
    explicit RegularRadiusMeasurement(PlotWidget *plot);
    void calculate() override;
};

// Kind 8: one least-squares circle through two segments (two arcs of one circle).
class ArcsRadiusMeasurement : public CurvatureMeasurement {
    Q_OBJECT
public:
    explicit ArcsRadiusMeasurement(PlotWidget *plot);
    void calculate() override;
};

// Kind 22: the least-squares circle of one segment as additional geometry.
class CircumfAGMeasurement : public CurvatureMeasurement {
    Q_OBJECT
public:
    explicit CircumfAGMeasurement(PlotWidget *plot);
    void calculate() override;

    QPointF centre;
    double circleRadius = 0;
};

// Kind 23: a circle of a given radius resting against one segment, as
// additional geometry. The radius is in the display unit current at creation
// and follows later unit changes, so the circle keeps its physical size.
class CircumfAGSpecified : public CurvatureMeasurement {
    Q_OBJECT
public:
    CircumfAGSpecified(PlotWidget *plot, double radius);
    void calculate() override;
    // Converts circleRadius to the current display unit, then the suffix.
    void updateSettings() override;

    QPointF centre;
    double circleRadius;
};
