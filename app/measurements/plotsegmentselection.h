#pragma once

#include <QObject>
#include <QPointer>
#include <qcustomplot.h>

class PlotWidget;
class QMouseEvent;

// Picks a contiguous run of points on one trace curve: press the left button
// near a trace and drag along it. Only the first traceCount curves of the plot
// (the traces) are searched. The run is highlighted as it grows and reported
// with selectionChanged() after every move and once more on release.
//
// It is the first receiver of the plot's press, move and release, so on every
// event it runs before the manager and the measurements.
class PlotSegmentSelection : public QObject {
    Q_OBJECT
public:
    explicit PlotSegmentSelection(PlotWidget *plot);

    // Switching on clears a drawn selection and any drag; off keeps the drawing.
    void setEnabled(bool on);
    bool isEnabled() const { return enabled; }
    bool isSelecting() const { return selecting; }
    // Ends a drag and removes the highlighted run from the curve.
    void clearSelection();
    void setTraceCount(int count) { traceCount = count; }
    // The range the stored indices give now.
    QCPDataRange selectionRange() const;

    PlotWidget *plot;
    // The curve of the last press; reads null once the plot removed it.
    QPointer<QCPCurve> curve;
    bool enabled;
    bool selecting;
    int startIndex;
    int endIndex;
    int traceCount;

Q_SIGNALS:
    void selectionChanged(QCPDataRange range, QCPCurve *curve);
    void selectionFinished(QCPDataRange range, QCPCurve *curve);

public Q_SLOTS:
    void onMousePress(QMouseEvent *event);
    void onMouseMove(QMouseEvent *event);
    void onMouseRelease(QMouseEvent *event);
};

// The run between two picked indices: from the smaller to the larger, end
// exclusive and never past the curve's point count.
QCPDataRange segmentRange(int startIndex, int endIndex, int pointCount);
