#include "plot/plotwidget.h"

#include "plot/curvehittest.h"
#include "plot/curveregistry.h"
#include "plot/rangeselectionrect.h"
#include "plot/suffixaxisticker.h"

#include <QApplication>
#include <QMultiMap>
#include <cmath>

namespace {

// The library's own interaction bits; ours above them never reach the base class.
constexpr int kLibraryInteractionMask = 0x0FF;

const QString kMarkerLayer = QStringLiteral("overlay2");

QCP::SelectionRectMode libraryMode(PlotWidget::SelectionRectMode mode)
{
    switch (mode) {
    case PlotWidget::srmZoom:
        return QCP::srmZoom;
    case PlotWidget::srmSelect:
    case PlotWidget::srmSelectRealtime: // the library connects "accepted"; we add "changed"
        return QCP::srmSelect;
    case PlotWidget::srmCustom:
        return QCP::srmCustom;
    case PlotWidget::srmNone:
        break;
    }
    return QCP::srmNone;
}

// The selection events of a layerable are protected in the library and only its
// plot class may call them; a rectangle selection of our own needs them too.
struct LayerableSelection : QCPLayerable {
    static QCP::Interaction category(const QCPLayerable *l) { return (l->*(&LayerableSelection::selectionCategory))(); }
    static void deselect(QCPLayerable *l, bool *changed) { (l->*(&LayerableSelection::deselectEvent))(changed); }
    static void select(QCPLayerable *l, QMouseEvent *event, bool additive, const QVariant &details, bool *changed)
    {
        (l->*(&LayerableSelection::selectEvent))(event, additive, details, changed);
    }
};

// Index of the data point that a curve's hit test reports in its details, or -1.
int detailsIndex(const QVariant &details)
{
    const QCPDataSelection selection = details.value<QCPDataSelection>();
    return selection.dataRangeCount() == 0 ? -1 : selection.dataRange(0).begin();
}

// Index of the data point a curve's hit test finds at pos, or -1 when it finds none.
int hitIndex(const QCPCurve *curve, const QPointF &pos)
{
    QVariant details;
    if (curveHitTest(curve, pos, true, &details) < 0)
        return -1;
    return detailsIndex(details);
}

} // namespace

PlotWidget::PlotWidget(QWidget *parent)
    : QCustomPlot(parent)
{
    // The marker's own layer, above everything and with its own paint buffer, so
    // that a mouse move redraws the marker alone.
    addLayer(kMarkerLayer, layer(QStringLiteral("overlay")), limAbove);
    layer(kMarkerLayer)->setMode(QCPLayer::lmBuffered);
    setCurrentLayer(QStringLiteral("main"));

    auto *rect = new RangeSelectionRect(this);
    rect->setLayer(QStringLiteral("overlay"));
    setSelectionRect(rect);

    for (QCPAxis *axis : axisRect()->axes())
        axis->setTicker(QSharedPointer<SuffixAxisTicker>::create());

    mAllInteractions = Interactions(int(QCustomPlot::interactions()));
}

PlotWidget::~PlotWidget() = default;

void PlotWidget::setInteractions(const Interactions &interactions)
{
    mAllInteractions = interactions;
    QCustomPlot::setInteractions(QCP::Interactions(QFlag(int(interactions) & kLibraryInteractionMask)));
    applyMarkerRule();
}

void PlotWidget::setInteraction(const Interaction &interaction, bool enabled)
{
    Interactions flags = mAllInteractions;
    if (enabled)
        flags |= interaction;
    else
        flags &= ~Interactions(interaction);
    setInteractions(flags);
}

void PlotWidget::applyMarkerRule()
{
    if (mAllInteractions.testFlag(iRangeSelection))
        createSelectionMarker();
    else
        deleteSelectionMarker();
}

void PlotWidget::createSelectionMarker()
{
    if (mSelectionMarker)
        return;
    auto *marker = new QCPItemLine(this);
    marker->setLayer(kMarkerLayer);
    marker->setSelectable(false);
    marker->setPen(QPen(QBrush(Qt::gray), 1, Qt::DashDotLine, Qt::SquareCap, Qt::BevelJoin));
    marker->setHead(QCPLineEnding(QCPLineEnding::esLineArrow, 8, 10, false));
    marker->setTail(QCPLineEnding(QCPLineEnding::esNone));
    mSelectionMarker = marker;
    replot(rpRefreshHint);
    qDebug() << "created selection marker";
    if (RangeSelectionRect *rect = rangeSelectionRect())
        rect->setDrawRect(false);
}

void PlotWidget::deleteSelectionMarker()
{
    if (!mSelectionMarker)
        return;
    removeItem(mSelectionMarker);
    mSelectionMarker = nullptr;
    replot(rpRefreshHint);
    qDebug() << "deleted selection marker";
    if (RangeSelectionRect *rect = rangeSelectionRect())
        rect->setDrawRect(true);
}

void PlotWidget::setSelectionMarkerVisible(bool visible)
{
    if (mSelectionMarker)
        mSelectionMarker->setVisible(visible);
}

void PlotWidget::setSelectionRectMode(SelectionRectMode mode)
{
    // The library cancels an active rectangle when switched off and swaps the
    // "accepted" connection; the "changed" one of the real-time mode is ours.
    QCustomPlot::setSelectionRectMode(libraryMode(mode));
    mRectMode = mode;
    connectRealtimeSelection();
}

void PlotWidget::setSelectionRect(QCPSelectionRect *rect)
{
    QCustomPlot::setSelectionRect(rect);
    if (RangeSelectionRect *range = rangeSelectionRect())
        range->setDrawRect(true);
    connectRealtimeSelection();
}

RangeSelectionRect *PlotWidget::rangeSelectionRect() const
{
    return qobject_cast<RangeSelectionRect *>(selectionRect());
}

void PlotWidget::connectRealtimeSelection()
{
    QCPSelectionRect *rect = selectionRect();
    if (!rect)
        return;
    disconnect(rect, &QCPSelectionRect::changed, this, &PlotWidget::processRectSelection);
    if (mRectMode == srmSelectRealtime)
        connect(rect, &QCPSelectionRect::changed, this, &PlotWidget::processRectSelection);
}

QCPCurve *PlotWidget::curve(int index) const
{
    return CurveRegistry::curve(this, index);
}

QCPCurve *PlotWidget::curve() const
{
    return CurveRegistry::curve(this);
}

int PlotWidget::curveCount() const
{
    return CurveRegistry::curveCount(this);
}

QCPCurve *PlotWidget::nearestSelectableCurve(const QPointF &pos, int *index) const
{
    QCPCurve *best = nullptr;
    double bestWholePixels = 0;
    QVariant bestDetails;
    for (QCPCurve *c : CurveRegistry::curves(this)) {
        if (c->selectable() == QCP::stNone)
            continue;
        QVariant details;
        const double distance = curveHitTest(c, pos, true, &details);
        if (distance < 0) // -1: no hit
            continue;
        if (!best || distance < bestWholePixels) {
            best = c;
            bestWholePixels = std::trunc(distance);
            bestDetails = details;
        }
    }
    // The hit test is deterministic, so the winner's details from the search
    // serve for its nearest point: on a long curve each hit test is costly.
    if (index)
        *index = best ? detailsIndex(bestDetails) : -1;
    return best;
}

void PlotWidget::mousePressEvent(QMouseEvent *event)
{
    // Kept before the library announces the press, so that its receivers
    // (a measurement created by this very press among them) can read it.
    mPressPosition = event->pos();
    mPressedDataIndex = mSelectedDataIndex;
    mPressedCurve = mSelectedCurve;
    QCustomPlot::mousePressEvent(event);
}

bool PlotWidget::releaseEndsDrag(const QPoint &pos) const
{
    return (pos - mPressPosition).manhattanLength() > QApplication::startDragDistance();
}

void PlotWidget::mouseMoveEvent(QMouseEvent *event)
{
    // The library emits mouseMove first, so its receivers still see the point
    // found on the previous move; the tracking below comes after them.
    QCustomPlot::mouseMoveEvent(event);
    if (mAllInteractions.testFlag(iRangeSelection) && mSelectionMarker)
        trackNearestPoint(event->pos());
}

void PlotWidget::retrackSelectionMarker()
{
    if (!mSelectionMarker || !mTracked)
        return;
    const QCPCurve *curve = mSelectedCurve;
    if (curve && mSelectedDataIndex >= 0 && mSelectedDataIndex < curve->data()->size()) {
        const QCPCurveData &point = *(curve->data()->constBegin() + int(mSelectedDataIndex));
        mSelectionMarker->start->setCoords(
            xAxis->pixelToCoord(mTrackedPosition.x()), yAxis->pixelToCoord(mTrackedPosition.y()));
        mSelectionMarker->end->setCoords(point.key, point.value);
    } else {
        // Nothing to point at: a line of no length, which is not drawn.
        mSelectionMarker->start->setCoords(0, 0);
        mSelectionMarker->end->setCoords(0, 0);
    }
    trackNearestPoint(mTrackedPosition);
}

void PlotWidget::trackNearestPoint(const QPoint &pos)
{
    mTrackedPosition = pos;
    mTracked = true;
    const QPointF at(pos);
    int index = -1;
    if (QCPCurve *best = nearestSelectableCurve(at, &index)) {
        const QSharedPointer<QCPCurveDataContainer> data = best->data();
        if (index >= 0 && !data->isEmpty()) {
            const QCPCurveData &point = *(data->constBegin() + qBound(0, index, data->size() - 1));
            mSelectionMarker->start->setCoords(xAxis->pixelToCoord(pos.x()), yAxis->pixelToCoord(pos.y()));
            mSelectionMarker->end->setCoords(point.key, point.value);
            mSelectedDataIndex = index;
            mSelectedCurve = best;
        }
    }
    layer(kMarkerLayer)->replot();
}

bool PlotWidget::rangeSelectionCandidate(QRect rect, QMouseEvent *event, QCPCurve **curve, QCPDataSelection *selection)
{
    RangeSelectionRect *srect = rangeSelectionRect();
    if (!srect)
        return false;
    // The first call of a drag fixes the target: the curve nearest to (press x,
    // current y), and the anchor: the current position.
    if (!srect->targetCurve()) {
        if (QCPCurve *nearest = nearestSelectableCurve(QPointF(rect.left(), rect.bottom())))
            srect->setTarget(nearest, event->pos());
    }
    QCPCurve *target = srect->targetCurve();
    if (!target)
        return false;
    const int anchor = hitIndex(target, QPointF(srect->startPoint()));
    const int current = hitIndex(target, QPointF(event->pos()));
    // Where the target reports no point (the cursor left its axis rectangle) the
    // range stays as it was rather than jumping to the start of the curve.
    if (anchor < 0 || current < 0)
        return false;
    *curve = target;
    // The range's end is exclusive: a drag that reaches the last point takes it in.
    const int last = qMax(anchor, current);
    const int end = last >= target->dataCount() - 1 ? target->dataCount() : last;
    *selection = QCPDataSelection(QCPDataRange(qMin(anchor, current), end));
    return true;
}

void PlotWidget::processRectSelection(QRect rect, QMouseEvent *event)
{
    using Candidate = QPair<QCPAbstractPlottable *, QCPDataSelection>;
    QMultiMap<int, Candidate> candidates; // keyed by point count: the largest sorts last
    bool selectionChanged = false;

    if (mAllInteractions.testFlag(iSelectPlottables)) {
        const bool rangeMode = mAllInteractions.testFlag(iRangeSelection);
        QCPCurve *target = nullptr;
        QCPDataSelection range;
        const bool haveRange = rangeMode && rangeSelectionCandidate(rect, event, &target, &range);

        const QRectF rectF(rect.normalized());
        QCPAxisRect *affected = axisRectAt(rectF.topLeft());
        if (affected) {
            if (rangeMode) {
                if (!haveRange)
                    return;
                candidates.insert(range.dataPointCount(), Candidate(target, range));
            } else {
                for (QCPAbstractPlottable *plottable : affected->plottables()) {
                    if (QCPPlottableInterface1D *data1D = plottable->interface1D()) {
                        const QCPDataSelection hit = data1D->selectTestRect(rectF, true);
                        if (!hit.isEmpty())
                            candidates.insert(hit.dataPointCount(), Candidate(plottable, hit));
                    }
                }
            }

            if (!mAllInteractions.testFlag(iMultiSelect) && candidates.size() > 1) {
                const auto largest = std::prev(candidates.end());
                const Candidate keep = largest.value();
                const int key = largest.key();
                candidates.clear();
                candidates.insert(key, keep);
            }

            const bool additive = event->modifiers().testFlag(multiSelectModifier());
            const QCP::Interactions libraryFlags = QCustomPlot::interactions();
            if (!mAllInteractions.testFlag(iKeepSelections)) {
                QCPLayerable *spared = candidates.isEmpty() ? nullptr : candidates.constBegin().value().first;
                for (int i = 0; i < layerCount(); ++i) {
                    for (QCPLayerable *layerable : layer(i)->children()) {
                        if (layerable == spared || !libraryFlags.testFlag(LayerableSelection::category(layerable)))
                            continue;
                        bool changed = false;
                        LayerableSelection::deselect(layerable, &changed);
                        selectionChanged |= changed;
                    }
                }
            }

            for (auto it = candidates.constEnd(); it != candidates.constBegin();) {
                --it;
                QCPAbstractPlottable *plottable = it.value().first;
                if (!libraryFlags.testFlag(LayerableSelection::category(plottable)))
                    continue;
                bool changed = false;
                LayerableSelection::select(
                    plottable, event, additive, QVariant::fromValue(it.value().second), &changed);
                selectionChanged |= changed;
            }
        }
    }

    if (selectionChanged) {
        Q_EMIT selectionChangedByUser();
        replot(rpQueuedReplot);
    } else if (selectionRect()) {
        selectionRect()->layer()->replot();
    }
}
