#pragma once

#include "measurements/deviationgeometry.h"
#include "measurements/errormeasurement.h"

class QCPItemEllipse;

// Base of the deviations from a circle: the fitted or placed circle and the
// spread of the radial deviations from it, drawn as a deviation graph.
class RadiusDisplacementErrorMeasurement : public ErrorMeasurement {
    Q_OBJECT
public:
    RadiusDisplacementErrorMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded);
    ~RadiusDisplacementErrorMeasurement() override;

    void setHighlighted(bool on) override;
    void drawCircle(QPointF centre, double r);
    void placeCircleLabel(QPointF centre, double r);

    QCPItemEllipse *circleItem() const { return circle; }
    QCPItemEllipse *circle = nullptr;

protected:
    // Circle, deviations, value, label and linear graph for one range, centre
    // and radius; filtered by the running median when asked.
    void showRange(const QCPCurveData *first, const QCPCurveData *end, const QPointF &centre, double R, bool filtered);
    // The circle fitted to the selected segment and the deviations from it
    // (filtered by the running median or not); nothing on a failed fit.
    void showFittedSegment(bool filtered);
    // Kinds 16 and 17.
    void calculateOverSegments(bool filtered);
    // The least-squares circle of one range; false when none fits.
    static bool fitRange(const QCPCurveData *first, const QCPCurveData *end, QPointF *centre, double *R);

private:
    // The deviations over the segments, kept between calculations so that
    // their storage is reused.
    Deviation::Profile m_merged;
};

// Window of the filtering kinds: 0.25 mm in the display unit.
double deviationFilterWindow();

// Kind 13.
class RDEMeasurement : public RadiusDisplacementErrorMeasurement {
    Q_OBJECT
public:
    explicit RDEMeasurement(PlotWidget *plot);
    void calculate() override;
    QString groupName() const override;
};

// Kind 14: a circle of the radius given, laid against the stretch.
class RDEMSpecified : public RadiusDisplacementErrorMeasurement {
    Q_OBJECT
public:
    RDEMSpecified(PlotWidget *plot, double radius);
    void calculate() override;
    QString groupName() const override;
    // Converts the radius into the display unit, then the suffix.
    void updateSettings() override;

    double radius;
};

// Kind 15: the deviations smoothed by a running median.
class RadiusDisplacementFilterErrorMeasurement : public RadiusDisplacementErrorMeasurement {
    Q_OBJECT
public:
    explicit RadiusDisplacementFilterErrorMeasurement(PlotWidget *plot);
    void calculate() override;
    QString groupName() const override;
};

// Kind 16: one circle through n stretches; the deviations over the whole span.
class RadiusDisplacementErrorMeasurementByTwoSegment : public RadiusDisplacementErrorMeasurement {
    Q_OBJECT
public:
    RadiusDisplacementErrorMeasurementByTwoSegment(PlotWidget *plot, int n);
    void calculate() override;
    QString groupName() const override;
};

// Kind 17: kind 16 smoothed by a running median.
class RDEMFiterByTwoSegment : public RadiusDisplacementErrorMeasurement {
    Q_OBJECT
public:
    RDEMFiterByTwoSegment(PlotWidget *plot, int n);
    void calculate() override;
    QString groupName() const override;
};

// Kind 18: the deviations wrapped around the circle.
class RDEMWithPolarGraph : public RadiusDisplacementErrorMeasurement {
    Q_OBJECT
public:
    explicit RDEMWithPolarGraph(PlotWidget *plot);
    void calculate() override;
    QString groupName() const override;
    void setRadialAxisLines(QPointF centre);
    void polarGraphData(const QVector<double> &deviations, QPointF centre, double R);

private:
    const QCPCurveData *rangeFirst = nullptr;
    const QCPCurveData *rangeEnd = nullptr;
};
