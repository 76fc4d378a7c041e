#pragma once

#include "measurements/deviationgeometry.h"
#include "measurements/measurement.h"

#include <QVector2D>

class AbstractTrace;
class QCPItemLine;
class QCPItemText;

// Factor from the display unit to micrometres: 1000, 1 or 0.001.
double micrometreFactor();
// The display unit's text; "нм" for any unit beyond micrometres.
QString unitSuffix();

// Ra or Rz of a selected stretch of a contour with the cut-off chosen
// automatically, drawn as a dimension over the stretch. Traces taken in the
// contour roughness mode get their roughness ratio and the correction table
// applied.
class RoughnessMeasurement : public Measurement {
    Q_OBJECT
public:
    RoughnessMeasurement(int type, PlotWidget *plot, const QString &name, int segmentCount);
    ~RoughnessMeasurement() override;

    QString name() const override { return caption; }
    QString valueText() const override;
    double value() const override { return roughness; }
    void calculate() override;
    QString groupName() const override;
    void setLargeFont(bool large) override;
    void updateLabel() override;
    void updateSelectionMarker() override;
    void setHighlighted(bool on) override;

    // The parameter of a filtered stretch (µm) at a cut-off, corrected for the
    // trace the stretch belongs to.
    virtual double calcParameter(const TData &profile, double cutOff) = 0;

    void setItemsVisible(bool visible);
    void placeLabel(const QString &text, QVector2D position, double rotation, int alignment);

    QCPItemText *labelItem() const { return label; }
    QCPItemLine *dimension() const { return dimensionLine; }
    QCPItemLine *extension(int i) const { return extensionLines[i]; }
    // The cut-off loop of the last calculation.
    const Deviation::RoughnessResult &lastResult() const { return result; }

    int pickedCount = 0;
    QCPItemLine *extensionLines[2] = { nullptr, nullptr };
    QCPItemLine *dimensionLine = nullptr;
    QCPItemText *label = nullptr;
    double roughness = 0;
    QString caption;

protected:
    void logFinished() override;

    // The trace drawn as the selected curve: the curve's place among the
    // plot's curves is the trace's place in the list (the window draws one
    // curve per trace before anything else). Null when there is none.
    AbstractTrace *selectedTrace(const QVector<AbstractTrace *> &traces);
    // p corrected for a contour roughness trace: p · ratio · k(p · ratio).
    static double corrected(double p, const AbstractTrace *trace, double (*factor)(double));

private:
    void createItems();
    void onPlotMouseRelease(QMouseEvent *event, int segmentCount);
    Deviation::RoughnessResult result;
};

// Kind 20.
class RAMeasurement : public RoughnessMeasurement {
    Q_OBJECT
public:
    RAMeasurement(PlotWidget *plot, QVector<AbstractTrace *> traces);
    ~RAMeasurement() override;
    double calcParameter(const TData &profile, double cutOff) override;
    QVector<AbstractTrace *> traces;
};

// Kind 21.
class RZMeasurement : public RoughnessMeasurement {
    Q_OBJECT
public:
    RZMeasurement(PlotWidget *plot, QVector<AbstractTrace *> traces);
    ~RZMeasurement() override;
    double calcParameter(const TData &profile, double cutOff) override;
    QVector<AbstractTrace *> traces;
};
