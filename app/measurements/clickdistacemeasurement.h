#pragma once

#include "measurements/pickedpoint.h"
#include "measurements/measurement.h"

#include <QPointer>
#include <QVector>
#include <memory>

class QCPItemStraightLine;
class QMouseEvent;


// Elements of additional geometry placed by clicking trace points: horizontal,
// vertical and two-point lines, a point on the trace, the middle of two trace
// points (and, built on the same base, the thread line). They show no value.
// A two-point element takes its points as twoPointRelease (pickedpoint.h) says.
// A line carries itself as coefficients [slope, offset]: y = c0·x + c1, for
// the vertical line x = c0·y + c1 with c0 always 0.
class ClickDistaceMeasurement : public Measurement {
    Q_OBJECT
public:
    ClickDistaceMeasurement(int type, PlotWidget *plot, const QString &caption);
    ~ClickDistaceMeasurement() override;

    QString name() const override { return caption; }
    QString valueText() const override { return QString(); }
    double value() const override { return 0.0; }
    void calculate() override { }
    QString groupName() const override;
    void setLargeFont(bool) override { }
    void updateLabel() override { }
    void updateSelectionMarker() override;
    void setHighlighted(bool on) override;

    // The two positions of the straight line, each coordinate taken through
    // single precision.
    void setLinePoints(QPointF a, QPointF b);
    void setLineVisible(bool visible);

    QVector<double> coefficients;
    QCPItemStraightLine *line;
    QString caption;

protected:
    // The trace point of a record: (0, 0) without a curve or with an index
    // outside the curve's data.
    static QPointF curvePointAt(const PickedPoint *point);
    // The point the plot's selection marker stands on.
    std::unique_ptr<PickedPoint> pointUnderMarker() const;
    // The point the marker stood on at the last press.
    std::unique_ptr<PickedPoint> pointUnderPress() const;
    static bool isLeftButton(QMouseEvent *event);
    // A left release that ends a drag rather than a click.
    bool isDragRelease(QMouseEvent *event) const;
    // Stores the point under the marker in slot, recalculates and finishes.
    void pickAndFinish(std::unique_ptr<PickedPoint> &slot);
    // Ends the construction of a parallel copy: the line drawn through a and
    // b, shown, finished.
    void finishCopy(QPointF a, QPointF b);
};

// The horizontal (y = c1) or vertical (x = c1) line through one clicked trace
// point; the release that picks the point finishes it.
class ClickAxisLine : public ClickDistaceMeasurement {
    Q_OBJECT
public:
    void calculate() override;
    // Draws the line once a point is picked.
    void updateLine();

    std::unique_ptr<PickedPoint> firstPoint;

protected:
    ClickAxisLine(int type, PlotWidget *plot, const QString &caption, bool vertical);
    // A finished parallel copy of a listed line.
    ClickAxisLine(int type, PlotWidget *plot, const QString &caption, bool vertical, const QVector<double> &given);

private:
    void onPlotMouseRelease(QMouseEvent *event);
    bool vertical;
};

// Kind 24: the horizontal line through a clicked trace point.
class ClickHorizontalLine : public ClickAxisLine {
    Q_OBJECT
public:
    explicit ClickHorizontalLine(PlotWidget *plot);
    ClickHorizontalLine(PlotWidget *plot, const QVector<double> &coefficients);
};

// Kind 25: the vertical line through a clicked trace point.
class ClickVerticalLine : public ClickAxisLine {
    Q_OBJECT
public:
    explicit ClickVerticalLine(PlotWidget *plot);
    ClickVerticalLine(PlotWidget *plot, const QVector<double> &coefficients);
};

// Kind 26: the line through two clicked trace points, following the cursor
// after the first click. A second click at the first point's key would give
// no finite slope: it is ignored and the element keeps waiting.
class ClickDoubleLine : public ClickDistaceMeasurement {
    Q_OBJECT
public:
    explicit ClickDoubleLine(PlotWidget *plot);
    ClickDoubleLine(PlotWidget *plot, const QVector<double> &coefficients);
    void calculate() override;
    void updateLine();

    std::unique_ptr<PickedPoint> firstPoint;
    std::unique_ptr<PickedPoint> secondPoint;
    int pickedCount = 0;

private:
    void onPlotMouseRelease(QMouseEvent *event);
    void previewLine(QMouseEvent *event);
};

// Kind 27: a reference point on the clicked trace point.
class ClickPoint : public ClickDistaceMeasurement {
    Q_OBJECT
public:
    explicit ClickPoint(PlotWidget *plot);
    void calculate() override;

    std::unique_ptr<PickedPoint> firstPoint;

private:
    void onPlotMouseRelease(QMouseEvent *event);
    void trackCursorPoint(QMouseEvent *event);
};

// Kind 28: a reference point half-way between two clicked trace points; it
// becomes a snap target once placed.
class MiddlePoint : public ClickDistaceMeasurement {
    Q_OBJECT
public:
    explicit MiddlePoint(PlotWidget *plot);
    void calculate() override;

    std::unique_ptr<PickedPoint> firstPoint;
    std::unique_ptr<PickedPoint> secondPoint;
    int pickedCount = 0;

private:
    void onPlotMouseRelease(QMouseEvent *event);
};
