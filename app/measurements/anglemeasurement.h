#pragma once

#include "measurements/measurement.h"

class QCPItemArc;
class QCPItemLine;
class QCPItemText;
class QMouseEvent;

// An angle dimension on the contour plot: straight lines fitted to selected
// segments, their angle shown with two side lines, an arc through the label
// and the label itself. The user drags one segment per line needed; the next
// click places the label and finishes.
class AngleMeasurement : public Measurement {
    Q_OBJECT
public:
    AngleMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded);
    ~AngleMeasurement() override;

    QString name() const override { return m_name; }
    QString valueText() const override;
    double value() const override;
    QString groupName() const override;
    void setLargeFont(bool large) override;
    void updateLabel() override;
    void updateSelectionMarker() override;
    void setHighlighted(bool on) override;
    void updateSettings() override;
    double nominal() const override;

    QCPItemLine *sideLines[2] = { nullptr, nullptr };
    QCPItemArc *arc = nullptr;
    QCPItemText *label = nullptr;
    double angle = 0;
    bool decimalAngles = false;

protected:
    void logFinished() override;

    // Computes the angle between the two directions at the vertex and draws
    // it towards the label.
    void drawAngle(const QPointF &vertex, const QPointF &dir1, const QPointF &dir2);
    void setArcGeometry(const QPointF &topLeft, const QPointF &bottomRight, int startAngle, int spanAngle);
    void placeLabel(const QString &text, const QPointF &position, double rotation, int alignment);
    void setItemsVisible(bool visible);

private:
    void createItems();
    void onPlotMouseRelease(QMouseEvent *event, int segmentsNeeded);

    QString m_name;
};

// The angle between two fitted lines.
class RegularAngleMeasurement : public AngleMeasurement {
    Q_OBJECT
public:
    explicit RegularAngleMeasurement(PlotWidget *plot);
    void calculate() override;
};

// The angle between one fitted line and an axis direction.
class AxisAngleMeasurement : public AngleMeasurement {
    Q_OBJECT
public:
    AxisAngleMeasurement(int type, PlotWidget *plot, const QString &name, const QPointF &axis);
    void calculate() override;

private:
    QPointF axis;
};

// The angle between a fitted line and the horizontal.
class HorizontalAngleMeasurement : public AxisAngleMeasurement {
    Q_OBJECT
public:
    explicit HorizontalAngleMeasurement(PlotWidget *plot);
};

// The angle between a fitted line and the vertical.
class VerticalAngleMeasurement : public AxisAngleMeasurement {
    Q_OBJECT
public:
    explicit VerticalAngleMeasurement(PlotWidget *plot);
};
