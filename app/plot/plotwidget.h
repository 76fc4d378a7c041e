#pragma once

#include <QPointer>
#include <qcustomplot.h>

class RangeSelectionRect;

// Every plot of the program. On top of the library's widget it adds
// - two interaction flags: iKeepSelections (a rectangle selection leaves the
//   selections of other objects alone) and iRangeSelection (a selection marker
//   follows the mouse to the nearest point of the nearest selectable curve, and
//   a rectangle selection takes a contiguous data range of one curve);
// - a seventh, buffered layer "overlay2" on top, holding only the marker so that
//   it can be redrawn on every mouse move without repainting the plot;
// - the real-time rectangle selection mode;
// - a tick-label suffix on every axis (SuffixAxisTicker).
//
// The flags and modes are this class's own types: only the library's bits ever
// reach the base class (0x100 has another meaning there).
class PlotWidget : public QCustomPlot {
    Q_OBJECT
public:
    enum Interaction {
        iRangeDrag = 0x001,
        iRangeZoom = 0x002,
        iMultiSelect = 0x004,
        iSelectPlottables = 0x008,
        iSelectAxes = 0x010,
        iSelectLegend = 0x020,
        iSelectItems = 0x040,
        iSelectOther = 0x080,
        iKeepSelections = 0x100,
        iRangeSelection = 0x200
    };
    Q_DECLARE_FLAGS(Interactions, Interaction)
    Q_FLAG(Interactions)

    enum SelectionRectMode { srmNone = 0, srmZoom = 1, srmSelect = 2, srmSelectRealtime = 3, srmCustom = 4 };
    Q_ENUM(SelectionRectMode)

    explicit PlotWidget(QWidget *parent = nullptr);
    ~PlotWidget() override;

    Interactions interactions() const { return mAllInteractions; }
    // Stores the flags, then creates the selection marker when iRangeSelection
    // is among them and deletes it otherwise (both idempotent).
    void setInteractions(const Interactions &interactions);
    void setInteraction(const Interaction &interaction, bool enabled = true);

    SelectionRectMode selectionRectMode() const { return mRectMode; }
    void setSelectionRectMode(SelectionRectMode mode);
    // Replaces the selection rectangle (the old one is deleted) and connects the
    // new one for the current mode.
    void setSelectionRect(QCPSelectionRect *rect);
    // The selection rectangle when it is ours (it is unless replaced by another kind).
    RangeSelectionRect *rangeSelectionRect() const;

    void setSelectionMarkerVisible(bool visible);
    QCPItemLine *selectionMarker() const { return mSelectionMarker.data(); }
    // The curves' data changed under the marker (another display unit, a
    // redraw): the marker is aimed again as a move to the last mouse position
    // would aim it, and points at least at its point's new place, so that no
    // arrow is left where the old data were.
    void retrackSelectionMarker();

    // The point the marker last pointed at: its data index and its curve. The
    // curve reads null once the plot has removed it; the index is not bounded
    // by the curve's current size, so readers clamp it before use.
    qint64 selectedDataIndex() const { return mSelectedDataIndex; }
    QCPCurve *selectedCurve() const { return mSelectedCurve; }

    // The last press of any button: where it was and the point the marker
    // named then (what selectedDataIndex() and selectedCurve() gave).
    QPoint pressPosition() const { return mPressPosition; }
    qint64 pressedDataIndex() const { return mPressedDataIndex; }
    QCPCurve *pressedCurve() const { return mPressedCurve; }
    // True when a release at pos ends a drag rather than a click: it lies
    // farther from the last press than the platform's drag distance.
    bool releaseEndsDrag(const QPoint &pos) const;

    // The curve registry of this plot.
    QCPCurve *curve(int index) const;
    QCPCurve *curve() const;
    int curveCount() const;

    // The curve whose points or line lie nearest to pos, among the selectable
    // curves in registry order; distances are compared in whole pixels, so the
    // earliest curve wins within the same pixel. Null when no curve hits; else
    // index (when given) receives the index of the curve's point nearest to pos.
    QCPCurve *nearestSelectableCurve(const QPointF &pos, int *index = nullptr) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void processRectSelection(QRect rect, QMouseEvent *event) override;

private:
    void createSelectionMarker();
    void deleteSelectionMarker();
    void applyMarkerRule();
    void connectRealtimeSelection();
    void trackNearestPoint(const QPoint &pos);
    bool rangeSelectionCandidate(QRect rect, QMouseEvent *event, QCPCurve **curve, QCPDataSelection *selection);

    Interactions mAllInteractions;
    SelectionRectMode mRectMode = srmNone;
    // Owned by the plot's item list; reads null should the plot delete it.
    QPointer<QCPItemLine> mSelectionMarker;
    qint64 mSelectedDataIndex = -1;
    QPointer<QCPCurve> mSelectedCurve;
    // Where the mouse last moved over the plot while the marker tracked it.
    QPoint mTrackedPosition;
    bool mTracked = false;
    QPoint mPressPosition;
    qint64 mPressedDataIndex = -1;
    QPointer<QCPCurve> mPressedCurve;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PlotWidget::Interactions)
