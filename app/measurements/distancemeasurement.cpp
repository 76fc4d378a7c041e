#include "measurements/distancemeasurement.h"

#include "measurements/dimensionitems.h"
#include "measurements/displayunit.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "settings/settings.h"

#include <QMouseEvent>

using DimensionGeometry::Dimension;
using DimensionGeometry::LineHeight;
using DimensionItems::logInfo;
using DimensionItems::setLine;

namespace {

// "(x,y)" with six decimals each, as the log lines write a point.
QString pointText(const QPointF &p)
{
    return QString::asprintf("(%f,%f)", p.x(), p.y());
}

} // namespace

DistanceMeasurement::DistanceMeasurement(
    int type, PlotWidget *plot, const QString &name, bool releaseCompletes, int clickCount)
    : Measurement(type, plot, 2)
    , m_name(name)
{
    createItems();
    if (clickCount == 1) {
        setPoint(firstPoint, DistanceMeasurement::pointUnderCursor());
        setPoint(secondPoint, DistanceMeasurement::pointUnderCursor());
    }
    addConnection(connect(plot, &QCustomPlot::mouseMove, this, [this, clickCount] { trackPickedPoint(clickCount); }));
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this,
        [this, releaseCompletes, clickCount](QMouseEvent *e) { onPlotMouseRelease(e, releaseCompletes, clickCount); }));
    updateSettings();
}

DistanceMeasurement::~DistanceMeasurement()
{
    logInfo(m_name + " delete with value: " + valueText());
    DimensionItems::remove(plot(), { extensionLines[0], extensionLines[1], dimensionLine, label });
}

void DistanceMeasurement::createItems()
{
    PlotWidget *p = plot();
    for (QCPItemLine *&line : extensionLines) {
        line = new QCPItemLine(p);
        line->setPen(Common::kBlackPen);
    }
    dimensionLine = new QCPItemLine(p);
    dimensionLine->setPen(Common::kBlackPen);
    const QCPLineEnding arrow(QCPLineEnding::esLineArrow, 8, 10, false);
    dimensionLine->setHead(arrow);
    dimensionLine->setTail(arrow);
    label = new PlotLabel(p);
    label->setFont(Common::kMonospaceFont);
    DimensionItems::moveToOverlay({ extensionLines[0], extensionLines[1], dimensionLine, label });
    setHighlighted(true);
    setItemsVisible(false);
}

QString DistanceMeasurement::valueText() const
{
    return QString::number(m_value, 'f', 4) + unitSuffix;
}

QString DistanceMeasurement::groupName() const
{
    return QStringLiteral("Длины");
}

void DistanceMeasurement::setLargeFont(bool large)
{
    label->setFont(DimensionItems::labelFont(large));
}

void DistanceMeasurement::updateLabel()
{
    label->setText(labelText);
    label->setPositionAlignment(Qt::Alignment(labelAlignment));
}

void DistanceMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot(); p && p->selectionMarker())
        p->setSelectionMarkerVisible(true);
}

void DistanceMeasurement::setHighlighted(bool on)
{
    const QPen &pen = on ? Common::kGreenPen : Common::kBlackPen;
    extensionLines[0]->setPen(pen);
    extensionLines[1]->setPen(pen);
    dimensionLine->setPen(pen);
}

void DistanceMeasurement::updateSettings()
{
    unitSuffix = DisplayUnit::currentTextOr(unitSuffix);
}

PickedPoint DistanceMeasurement::pointUnderCursor() const
{
    PickedPoint point;
    if (const PlotWidget *p = plot()) {
        point.index = p->selectedDataIndex();
        point.curve = p->selectedCurve();
    }
    return point;
}

QPointF DistanceMeasurement::curvePointAt(const PickedPoint *point) const
{
    if (!point || !point->curve || point->index < 0 || point->index >= point->curve->dataCount())
        return {};
    const QCPCurveData &d = *(point->curve->data()->constBegin() + point->index);
    return { d.key, d.value };
}

const PickedPoint *DistanceMeasurement::leftPoint() const
{
    if (!firstPoint || !secondPoint)
        return firstPoint ? firstPoint.get() : secondPoint.get();
    return curvePointAt(firstPoint.get()).x() > curvePointAt(secondPoint.get()).x() ? secondPoint.get()
                                                                                    : firstPoint.get();
}

const PickedPoint *DistanceMeasurement::rightPoint() const
{
    if (!firstPoint || !secondPoint)
        return firstPoint ? firstPoint.get() : secondPoint.get();
    return curvePointAt(firstPoint.get()).x() > curvePointAt(secondPoint.get()).x() ? firstPoint.get()
                                                                                    : secondPoint.get();
}

void DistanceMeasurement::setPoint(std::unique_ptr<PickedPoint> &slot, const PickedPoint &point)
{
    if (slot)
        *slot = point;
    else
        slot = std::make_unique<PickedPoint>(point);
}

void DistanceMeasurement::trackPickedPoint(int clickCount)
{
    if (isFinished() || placingLabel)
        return;
    if (clickCount > 1 && pickedCount == 0)
        setPoint(firstPoint, pointUnderCursor());
    else
        setPoint(secondPoint, pointUnderCursor());
}

void DistanceMeasurement::onPlotMouseRelease(QMouseEvent *event, bool releaseCompletes, int clickCount)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (placingLabel) {
        finishPlacing();
        return;
    }
    // The two-line kinds open their second segment on the first release; the
    // next drag of the segment selection fills it.
    if ((type() == 11 || type() == 19) && segmentCount() < 2) {
        addSegment();
        return;
    }
    if (releaseCompletes)
        pointsComplete();
    else
        pickPoint(clickCount, event->pos());
}

void DistanceMeasurement::pickPoint(int clickCount, const QPoint &releasedAt)
{
    if (Settings::instance().preferenses.alternative_measurement)
        pickByClicks(clickCount);
    else
        pickBySegment(releasedAt);
}

void DistanceMeasurement::pickByClicks(int clickCount)
{
    if (clickCount > 1 && pickedCount < clickCount - 1) {
        setPoint(firstPoint, pointUnderCursor());
        pickedCount += 1;
        addSegment();
        return;
    }
    setPoint(secondPoint, pointUnderCursor());
    pointsComplete();
}

void DistanceMeasurement::pickBySegment(const QPoint &releasedAt)
{
    const PickedPoint p = pointUnderCursor();
    const PlotWidget *plot = this->plot();
    const TwoPointRelease release = twoPointRelease(clickStage, plot && plot->releaseEndsDrag(releasedAt));
    if (release.first) {
        setPoint(firstPoint, release.firstAtPress ? PickedPoint { plot->pressedDataIndex(), plot->pressedCurve() } : p);
        pickedCount += 1;
        addSegment();
        clickStage += 1;
    }
    if (!release.second)
        return;
    setPoint(secondPoint, p);
    pointsComplete();
}

void DistanceMeasurement::pointsComplete()
{
    Q_EMIT stopSelection();
    placingLabel = true;
    Q_EMIT statusText(kPlaceLabelPrompt);
    plot()->setSelectionMarkerVisible(false);
    plot()->replot(QCustomPlot::rpRefreshHint);
}

void DistanceMeasurement::logFinished()
{
    if (m_name == QStringLiteral("Ср. Высота"))
        logInfo(QStringLiteral("Finished"));
    else
        logInfo("Finished in " + pointText(curvePointAt(secondPoint.get())));
    logInfo("Result - " + m_name + ": " + valueText());
}

void DistanceMeasurement::placeLabel(const QString &text, const QPointF &position, double rotation, int alignment)
{
    label->setText(text);
    label->position->setCoords(position);
    label->setRotation(rotation);
    label->setPositionAlignment(Qt::Alignment(alignment));
}

void DistanceMeasurement::setItemsVisible(bool visible)
{
    DimensionItems::setVisible({ extensionLines[0], extensionLines[1], dimensionLine, label }, visible);
}

void DistanceMeasurement::showDimension(const Dimension &d)
{
    setLine(extensionLines[0], d.extension1);
    setLine(extensionLines[1], d.extension2);
    setLine(dimensionLine, d.dimensionLine);
    setReperPoint(0, d.reper0);
    setReperPoint(1, d.reper1);
    m_value = d.value;
    labelAlignment = d.labelAlignment;
    placeLabel(valueText(), d.labelPosition, d.labelRotation, d.labelAlignment);
    setItemsVisible(true);
    showValueStatus(m_name + ": " + valueText());
}

void DistanceMeasurement::calculateTwoLineHeight(LineSide side)
{
    if (!allSegmentsSelected()) {
        Q_EMIT statusText(QStringLiteral("Выделите две области для расчета"));
        return;
    }
    const double px = labelPosition().x();
    // Each side is drawn as soon as its segment gives a line; the dimension
    // only once both do.
    std::optional<LineHeight> sides[2];
    for (int i = 0; i < 2; ++i) {
        if (i == 1 && segmentCount() != 2)
            return;
        const auto line = DimensionGeometry::segmentLine(segment(quint64(i)));
        if (line)
            sides[i] = side(*line, px);
        if (!sides[i])
            return;
        setLine(extensionLines[i], sides[i]->line);
        setReperPoint(i, sides[i]->reper);
        extensionLines[i]->setVisible(true);
    }
    showDimension(DimensionGeometry::heightBetween(*sides[0], *sides[1], px));
}

VerticalDistanceMeasurment::VerticalDistanceMeasurment(PlotWidget *plot)
    : DistanceMeasurement(0, plot, QStringLiteral("Высота"), false, 1)
{
    logInfo("VerticalDistanceMeasurment started in " + pointText(curvePointAt(leftPoint())));
}

void VerticalDistanceMeasurment::calculate()
{
    showDimension(DimensionGeometry::verticalDimension(
        curvePointAt(leftPoint()), curvePointAt(rightPoint()), labelPosition().x()));
}

HorisontalDistanceMeasurment::HorisontalDistanceMeasurment(PlotWidget *plot)
    : DistanceMeasurement(1, plot, QStringLiteral("Длина"), false, 1)
{
    plot->setInteractions(PlotWidget::iRangeZoom | PlotWidget::iRangeSelection);
    logInfo("HorisontalDistanceMeasurment started in " + pointText(curvePointAt(leftPoint())));
}

void HorisontalDistanceMeasurment::calculate()
{
    showDimension(DimensionGeometry::horizontalDimension(
        curvePointAt(leftPoint()), curvePointAt(rightPoint()), labelPosition().y()));
}

MaxMinDistanceMeasurement::MaxMinDistanceMeasurement(PlotWidget *plot)
    : DistanceMeasurement(2, plot, QStringLiteral("Наибольшая высота"), true, 1)
{
    logInfo("MaxMinDistanceMeasurement started in " + pointText(curvePointAt(leftPoint())));
}

void MaxMinDistanceMeasurement::calculate()
{
    if (!allSegmentsSelected())
        return;
    const auto d
        = DimensionGeometry::highestLowestDimension(DimensionGeometry::clampedRange(segment(0)), labelPosition().x());
    if (d)
        showDimension(*d);
}

DirectDistanceMeasurement::DirectDistanceMeasurement(PlotWidget *plot)
    : DistanceMeasurement(3, plot, QStringLiteral("Прямая"), false, 1)
{
    Q_EMIT statusText(name() + ": выделите участок измерения");
    logInfo("DirectDistanceMeasurement started in " + pointText(curvePointAt(leftPoint())));
}

void DirectDistanceMeasurement::calculate()
{
    showDimension(
        DimensionGeometry::directDimension(curvePointAt(leftPoint()), curvePointAt(rightPoint()), labelPosition()));
}

MeanHeightMeasurement::MeanHeightMeasurement(PlotWidget *plot)
    : DistanceMeasurement(11, plot, QStringLiteral("Ср. Высота"), true, 1)
{
    setPoint(firstPoint, {});
    logInfo(QStringLiteral("MeanHeightMeasurement started"));
}

void MeanHeightMeasurement::calculate()
{
    calculateTwoLineHeight(&DimensionGeometry::meanHeightSide);
}

AvgDiametertMeasurement::AvgDiametertMeasurement(PlotWidget *plot)
    : DistanceMeasurement(19, plot, QStringLiteral("Ср. Высота"), true, 1)
{
    setPoint(firstPoint, {});
}

void AvgDiametertMeasurement::calculate()
{
    calculateTwoLineHeight(&DimensionGeometry::averageDiameterSide);
}
