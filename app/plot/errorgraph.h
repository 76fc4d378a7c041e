#pragma once

#include <QObject>
#include <QPointer>
#include <QVector2D>
#include <QVector>
#include <qcustomplot.h>

#include "plot/plotlabel.h"

class AdaptiveCurve;

// The step of a deviation ruler over min .. max: a fifth, a half or one power
// of ten, so that the range gets at most eleven ticks. 0 when the range gives
// no usable step (empty, reversed or not finite).
double rulerTickStep(double min, double max);

// The ticks of a ruler over min .. max: multiples of the step from the first
// at or above min to the last at or below max, by repeated addition. There are
// never more ticks than whole steps plus one, and the list ends where a step no
// longer advances (a tiny step against a large value).
struct RulerTicks {
    QVector<double> values;
};
RulerTicks rulerTicks(double min, double max);

// A magnified graph of deviations drawn inside a measurement plot beside the
// contour: the deviation curve, two axis lines and a ruler along axis line 1.
// The owner writes the axis points, the value range and the base points (the
// contour points the curve points belong to) into the public members, places
// the axis lines, sets the data and asks for the ruler. Optionally the graph
// keeps its size on screen and its offsets from the contour when the user
// zooms with the wheel.
class ErrorGraph : public QObject {
    Q_OBJECT
public:
    explicit ErrorGraph(QCustomPlot *plot);
    ~ErrorGraph() override;

    void setAxisLine(int index, QVector2D from, QVector2D to);
    void setHighlighted(bool highlighted);
    // The curve's points in plot coordinates; ignored when x is empty or y has
    // another size. Records the pixel offsets that a zoom keeps.
    void setData(const QVector<double> &x, const QVector<double> &y);
    double tickStep() const;
    void clearRuler();
    // Ticks along axis line 1, pointing into the graph, and beside them, on
    // the side away from the graph, fixed-point labels in the plot's locale
    // with the decimals the step needs, each followed by the unit. A redraw
    // after a zoom keeps the unit last given.
    void drawRuler(double length, const QString &unit);
    // Shows the labels that fit: a label that would cross the plot's edge on
    // its side of the ruler stands on the other side when it fits there (else
    // it is drawn moved in, as every plot label); then, going along the ruler,
    // a label whose box would overlap one already shown is hidden (its tick
    // stays). Runs after every layout of the plot, so that zooming out thins
    // the labels and a zoom or a resize moves them back out when there is
    // room.
    void arrangeLabels();

    AdaptiveCurve *curve() const;
    QCPItemLine *axisLine(int index) const;
    int tickCount() const { return mTicks.size(); }
    QCPItemLine *tick(int index) const { return mTicks.value(index); }
    PlotLabel *tickLabel(int index) const { return mTickLabels.value(index); }

    QVector2D mAxisEnd[2];
    QVector2D mAxisStart[2];
    double mMax = 0;
    double mMin = 0;
    // The base points, owned by the owner: channel 0 x, channel 1 y, in plot
    // coordinates. Used only while both channels hold a point per curve point.
    QVector<QVector<double>> *mBase = nullptr;
    bool mFollowZoom = false;

private:
    void onPlotMouseWheel();
    void updateGeometry();
    void updateAxisLines();
    void updateCurveData();
    bool baseCoversCurve() const;

    double mAxisPixelOffset[4] = { 0, 0, 0, 0 };
    QVector<double> mPointPixelDx;
    QVector<double> mPointPixelDy;
    QCPRange mXRange { 0, 0 };
    QCPRange mYRange { 0, 0 };
    QPointer<QCPItemLine> mAxisLines[2];
    QPointer<QCustomPlot> mPlot;
    QPointer<AdaptiveCurve> mCurve;
    QVector<QPointer<QCPItemLine>> mTicks;
    QVector<QPointer<PlotLabel>> mTickLabels;
    // The labels' side of the ruler: away from the graph.
    Qt::Alignment mLabelAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    QString mUnit;
};
