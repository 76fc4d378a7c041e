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
// A move without the left button ends a drag whose release never came (a
// dialog opened from a press takes the release), so the run stops following
// the mouse.
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
    // The fewest points a released run may hold (the armed kind's need); a
    // shorter one, such as a click without a drag, is not reported: the
    // highlight goes and selectionTooShort() is emitted instead.
    int minimumPoints = 0;

Q_SIGNALS:
    void selectionChanged(QCPDataRange range, QCPCurve *curve);
    void selectionFinished(QCPDataRange range, QCPCurve *curve);
    void selectionTooShort();

public Q_SLOTS:
    void onMousePress(QMouseEvent *event);
    void onMouseMove(QMouseEvent *event);
    void onMouseRelease(QMouseEvent *event);
};

// The run between two picked indices: from the smaller to the larger, end
// exclusive and never past the curve's point count, except that a run that
// reaches the curve's last point includes it.
QCPDataRange segmentRange(int startIndex, int endIndex, int pointCount);
