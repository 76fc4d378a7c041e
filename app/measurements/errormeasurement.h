#pragma once

#include "measurements/deviationgeometry.h"
#include "measurements/measurement.h"

#include <QVector2D>
#include <memory>

class ErrorGraph;
struct PlotDrawing;
class QCPItemText;

// Captions of the deviation kinds.
namespace DeviationCaption {
extern const QString kStraightness; // "Отклонение от прямой", kind 12
extern const QString kDrawing; // "Отклонение от чертежа", kind 34
extern const QString kCircle; // "Отклонение от окружности", kinds 13 to 18
} // namespace DeviationCaption

// Base of the deviation measurements: a value and, hung below the selected
// stretch between two axis lines and a baseline the user places with the
// mouse, a graph of the deviation along the stretch.
//
// Placing: with the segments the kind needs selected, the next left release
// stops the selection, asks for the value's place, and the graph follows the
// cursor's height; the release after that finishes.
class ErrorMeasurement : public Measurement {
    Q_OBJECT
public:
    ErrorMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded);
    ~ErrorMeasurement() override;

    QString name() const override { return caption; }
    QString valueText() const override;
    double value() const override;
    void setLargeFont(bool large) override;
    void updateLabel() override;
    void updateSelectionMarker() override;
    void updateSettings() override;
    double tolerance() const override { return 5.0; }

    void updateUnitSuffix();
    // Selection ends, lowest selected point and baseline from the segments and
    // the cursor: the baseline lies at or below the lowest point, as far from
    // it as the cursor is.
    void updateGraphFrame();
    // The graph's base points: the trace points of [first, end), refreshed in
    // place in a list this measurement owns.
    void setGraphPoints(const QCPCurveData *first, const QCPCurveData *end);
    // The deviations scaled into the band from the baseline up by height.
    void showDeviationGraph(const QVector<double> &xs, const QVector<double> &deviations, double height);
    void placeLabel(const QString &text, QVector2D position, double rotation, int alignment);
    // Empty label line and designation below the baseline's middle.
    void placeLabelOnBaseline();

    ErrorGraph *deviationGraph() const { return graph; }
    QCPItemText *labelItem() const { return label; }

    double errorValue = 0;
    QString caption;
    QVector2D baselineStart;
    QVector2D baselineEnd;
    QVector2D selectionStart;
    QVector2D selectionEnd;
    ErrorGraph *graph = nullptr;
    QString unitSuffix;
    QCPItemText *label = nullptr;
    int segmentsNeeded = 1;
    double lowestY = 0;
    double baselineY = 0;

protected:
    // The range [first, end) of segment 0; false when it has no curve or no point.
    bool segmentRange(const QCPCurveData **first, const QCPCurveData **end);
    void createLabel();

private:
    void onPlotMouseRelease(QMouseEvent *event);
    QVector<QVector<double>> basePoints;
    // The deviation graph's heights, kept so that their storage is reused.
    QVector<double> scaledDeviations;
};

// Kind 12: spread of the residuals from the least-squares line.
class RMSEMeasurement : public ErrorMeasurement {
    Q_OBJECT
public:
    explicit RMSEMeasurement(PlotWidget *plot);
    ~RMSEMeasurement() override;
    void calculate() override;
    QString groupName() const override;
    void setHighlighted(bool on) override;
};

// Kind 34: mean distance of the stretch to the drawing laid over the plot.
class ErrorPlane : public ErrorMeasurement {
    Q_OBJECT
public:
    explicit ErrorPlane(PlotWidget *plot);
    ~ErrorPlane() override;
    void calculate() override;
    QString groupName() const override;
    void setHighlighted(bool on) override;
    QString valueText() const override;
    double value() const override;

    // Whether the deviation is measured against that drawing.
    bool measuresAgainst(const PlotDrawing *drawing) const { return drawing && drawing == boundTo; }
    // Whether it found a drawing to measure against.
    bool hasDrawing() const { return boundTo != nullptr; }

    // False while no drawing entity gave a distance.
    bool hasDistance = false;

private:
    // The drawing nearest to the stretch when it was first measured: the
    // deviation stays with it, whatever other drawings are imported later.
    std::weak_ptr<PlotDrawing> against;
    const PlotDrawing *boundTo = nullptr;
};
