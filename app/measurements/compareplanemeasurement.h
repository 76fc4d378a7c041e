#pragma once

#include "measurements/measurement.h"

// Base of the comparisons of a contour with a drawing: an element with no
// value and no label, filed under "Сравнение с чертежём".
class ComparePlaneMeasurement : public Measurement {
    Q_OBJECT
public:
    ComparePlaneMeasurement(int type, PlotWidget *plot, const QString &caption);

    QString name() const override { return caption; }
    QString valueText() const override { return QString(); }
    double value() const override { return 0.0; }
    QString groupName() const override;
    void setLargeFont(bool) override { }
    void updateLabel() override { }
    // Shows the plot's selection marker, which the registration clicks use.
    void updateSelectionMarker() override;
    void setHighlighted(bool) override { }
    void updateSettings() override { }

protected:
    QString caption;
};
