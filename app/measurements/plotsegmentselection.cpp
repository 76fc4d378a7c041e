#include "measurements/plotsegmentselection.h"

#include "plot/curvehittest.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"

#include <QMouseEvent>

QCPDataRange segmentRange(int startIndex, int endIndex, int pointCount)
{
    const int begin = qMin(startIndex, endIndex);
    const int last = qMax(startIndex, endIndex);
    const int end = last >= pointCount - 1 ? pointCount : last;
    return QCPDataRange(begin, end);
}

PlotSegmentSelection::PlotSegmentSelection(PlotWidget *plot)
    : QObject(plot)
    , plot(plot)
    , enabled(false)
    , selecting(false)
    , startIndex(-1)
    , endIndex(-1)
    , traceCount(0)
{
    plot->setSelectionRectMode(PlotWidget::srmNone);
    connect(plot, &QCustomPlot::mousePress, this, &PlotSegmentSelection::onMousePress);
    connect(plot, &QCustomPlot::mouseMove, this, &PlotSegmentSelection::onMouseMove);
    connect(plot, &QCustomPlot::mouseRelease, this, &PlotSegmentSelection::onMouseRelease);
}

void PlotSegmentSelection::setEnabled(bool on)
{
    enabled = on;
    if (on)
        clearSelection();
}

void PlotSegmentSelection::clearSelection()
{
    if (!curve)
        return;
    selecting = false;
    curve->setSelection(QCPDataSelection());
    plot->replot(QCustomPlot::rpRefreshHint);
}

QCPDataRange PlotSegmentSelection::selectionRange() const
{
    return segmentRange(startIndex, endIndex, curve ? curve->data()->size() : 0);
}

void PlotSegmentSelection::onMousePress(QMouseEvent *event)
{
    if (!enabled || event->button() != Qt::LeftButton)
        return;
    const QPoint pixel = event->localPos().toPoint();
    curve = nearestCurve(plot, traceCount, pixel);
    if (!curve)
        return;
    auto *decorator = new QCPSelectionDecorator;
    decorator->setPen(QPen(QColor(Settings::instance().preferenses.selected_graph_color), 2));
    decorator->setBrush(Qt::NoBrush);
    curve->setSelectionDecorator(decorator);
    curve->setSelectable(QCP::stDataRange);
    const int index = nearestPointIndex(curve, pixel);
    if (index >= 0) {
        startIndex = endIndex = index;
        selecting = true;
        plot->replot(QCustomPlot::rpRefreshHint);
    }
}

void PlotSegmentSelection::onMouseMove(QMouseEvent *event)
{
    if (!enabled || !selecting || !curve)
        return;
    if (!event->buttons().testFlag(Qt::LeftButton)) {
        selecting = false;
        return;
    }
    const int index = nearestPointIndex(curve, event->localPos().toPoint());
    if (index < 0)
        return;
    endIndex = index;
    const QCPDataRange range = selectionRange();
    Q_EMIT selectionChanged(range, curve);
    // A receiver may have removed the curve.
    if (!curve)
        return;
    curve->setSelection(QCPDataSelection(range));
    plot->replot(QCustomPlot::rpRefreshHint);
}

void PlotSegmentSelection::onMouseRelease(QMouseEvent *)
{
    if (!enabled || !selecting)
        return;
    selecting = false;
    if (!curve)
        return;
    const QCPDataRange range = selectionRange();
    if (range.size() < minimumPoints) {
        clearSelection();
        Q_EMIT selectionTooShort();
        return;
    }
    Q_EMIT selectionChanged(range, curve);
}
