#include "measurements/agtextplacement.h"

#include "measurements/dimensionitems.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "widgets/prompts.h"

#include <QMouseEvent>
#include <cmath>

AgTextPlacement::AgTextPlacement(QWidget *dialogParent, PlotWidget *plot)
    : Measurement(32, plot, 0)
    , textItem(nullptr)
    , caption(QStringLiteral("Текст"))
{
    isMeasurement = false;
    textItem = new PlotLabel(plot);
    textItem->setFont(DimensionItems::labelFont(false));
    QPointer<QWidget> parent(dialogParent);
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this,
        [this, parent](QMouseEvent *event) { onPlotMouseRelease(event, parent.data()); }));
}

AgTextPlacement::~AgTextPlacement()
{
    if (PlotWidget *p = plot())
        p->removeItem(textItem);
}

QString AgTextPlacement::groupName() const
{
    return QStringLiteral("Текст");
}

void AgTextPlacement::setLargeFont(bool large)
{
    textItem->setFont(DimensionItems::labelFont(large));
}

void AgTextPlacement::updateSelectionMarker()
{
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(false);
}

void AgTextPlacement::onPlotMouseRelease(QMouseEvent *event, QWidget *dialogParent)
{
    if (event->button() != Qt::LeftButton)
        return;
    PlotWidget *p = plot();
    // The text goes where a click puts it; a drag has no one place.
    if (!p || p->releaseEndsDrag(event->pos()))
        return;
    // Whole pixels, halves rounded up.
    const double px = std::floor(event->localPos().x() + 0.5);
    const double py = std::floor(event->localPos().y() + 0.5);
    const QPointF position(p->xAxis->pixelToCoord(px), p->yAxis->pixelToCoord(py));

    bool ok = false;
    const QPointer<AgTextPlacement> self(this);
    const QString text = Prompts::instance().getText(
        dialogParent, QStringLiteral("Введите текст"), QStringLiteral("Текст:"), QLineEdit::Normal, QString(), &ok);
    // The dialog runs its own event loop, in which the label may be dropped.
    if (!self || !ok || text.isEmpty())
        return;
    textItem->position->setCoords(position);
    textItem->setText(text);
    textItem->setColor(Qt::black);
    p->replot(QCustomPlot::rpRefreshHint);
    finishMeasurement();
    Q_EMIT measumentFinished();
    p->unsetCursor();
}
