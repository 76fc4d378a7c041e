#include "measurements/anglemeasurement.h"

#include "measurements/dimensionitems.h"
#include "measurements/distanceanglegeometry.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "plot/qcpitemarc.h"
#include "settings/common.h"
#include "settings/settings.h"

#include <QMouseEvent>
#include <cmath>

using DimensionItems::logInfo;

AngleMeasurement::AngleMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded)
    : Measurement(type, plot, 1)
    , m_name(name)
{
    createItems();
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this,
        [this, segmentsNeeded](QMouseEvent *e) { onPlotMouseRelease(e, segmentsNeeded); }));
    decimalAngles = Settings::instance().angles_in_deg;
}

AngleMeasurement::~AngleMeasurement()
{
    logInfo(m_name + " delete with value: " + valueText());
    DimensionItems::remove(plot(), { sideLines[0], sideLines[1], label, arc });
}

void AngleMeasurement::createItems()
{
    PlotWidget *p = plot();
    for (QCPItemLine *&line : sideLines) {
        line = new QCPItemLine(p);
        line->setPen(Common::kBlackPen);
    }
    arc = new QCPItemArc(p);
    arc->setPen(Common::kBlackPen);
    label = new PlotLabel(p);
    label->setFont(Common::kMonospaceFont);
    DimensionItems::moveToOverlay({ label, arc, sideLines[0], sideLines[1] });
    setItemsVisible(false);
    setHighlighted(true);
}

QString AngleMeasurement::valueText() const
{
    return DimensionGeometry::angleValueText(angle, decimalAngles, segmentCount() > 0);
}

double AngleMeasurement::value() const
{
    return segmentCount() > 0 ? angle : 0;
}

QString AngleMeasurement::groupName() const
{
    return QStringLiteral("Углы");
}

void AngleMeasurement::setLargeFont(bool large)
{
    label->setFont(DimensionItems::labelFont(large));
}

void AngleMeasurement::updateLabel()
{
    label->setText(labelText);
}

void AngleMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot(); p && p->selectionMarker())
        p->setSelectionMarkerVisible(true);
}

void AngleMeasurement::setHighlighted(bool on)
{
    const QPen &pen = on ? Common::kGreenPen : Common::kBlackPen;
    sideLines[0]->setPen(pen);
    sideLines[1]->setPen(pen);
    arc->setPen(pen);
}

void AngleMeasurement::updateSettings()
{
    decimalAngles = Settings::instance().angles_in_deg;
}

double AngleMeasurement::nominal() const
{
    return DimensionGeometry::nominalAngle(value());
}

void AngleMeasurement::onPlotMouseRelease(QMouseEvent *event, int segmentsNeeded)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!placingLabel) {
        // Each release opens the next segment until all are there.
        if (segmentCount() < segmentsNeeded) {
            addSegment();
            return;
        }
        Q_EMIT stopSelection();
        placingLabel = true;
        Q_EMIT statusText(kPlaceLabelPrompt);
        plot()->setSelectionMarkerVisible(false);
        plot()->replot(QCustomPlot::rpRefreshHint);
        return;
    }
    finishPlacing();
}

void AngleMeasurement::logFinished()
{
    logInfo(QStringLiteral("Finish"));
    logInfo("Result - " + m_name + ": " + valueText());
}

void AngleMeasurement::drawAngle(const QPointF &vertex, const QPointF &dir1, const QPointF &dir2)
{
    const SegmentSelection *first = segment(0);
    const QPointF labelAt = first && first->curve ? labelPosition() : QPointF();
    const auto a = DimensionGeometry::angleTowardsLabel(vertex, dir1, dir2, labelAt);
    setReperPoint(0, vertex);
    angle = a.angle;
    setArcGeometry(a.arcRect.topLeft(), a.arcRect.bottomRight(), a.arcStart16, a.arcSpan16);
    placeLabel(valueText(), labelAt, 0, Qt::AlignHCenter | Qt::AlignBottom);
    DimensionItems::setLine(sideLines[0], a.side1);
    DimensionItems::setLine(sideLines[1], a.side2);
    setItemsVisible(true);
    showValueStatus(m_name + ": " + valueText());
}

void AngleMeasurement::setArcGeometry(const QPointF &topLeft, const QPointF &bottomRight, int startAngle, int spanAngle)
{
    arc->topLeft->setCoords(topLeft);
    arc->bottomRight->setCoords(bottomRight);
    arc->mStartAngle = startAngle;
    arc->mSpanAngle = spanAngle;
}

void AngleMeasurement::placeLabel(const QString &text, const QPointF &position, double rotation, int alignment)
{
    label->setText(labelText + "\n" + text);
    label->position->setCoords(position);
    label->setRotation(rotation);
    label->setPositionAlignment(Qt::Alignment(alignment));
}

void AngleMeasurement::setItemsVisible(bool visible)
{
    DimensionItems::setVisible({ sideLines[0], sideLines[1], arc, label }, visible);
}

RegularAngleMeasurement::RegularAngleMeasurement(PlotWidget *plot)
    : AngleMeasurement(6, plot, QStringLiteral("Угол"), 2)
{
    logInfo(QStringLiteral("RegularAngleMeasurement started"));
}

void RegularAngleMeasurement::calculate()
{
    if (segmentCount() < 2 || !allSegmentsSelected()) {
        Q_EMIT statusText(QStringLiteral("Выделите два отрезка данных"));
        return;
    }
    const auto line1 = DimensionGeometry::segmentLine(segment(0));
    const auto line2 = DimensionGeometry::segmentLine(segment(1));
    if (!line1 || !line2)
        return;
    // Parallel lines have no vertex: nothing is drawn and the value stays.
    const auto vertex = DimensionGeometry::lineIntersection(line1->fit, line2->fit);
    const auto dir1 = DimensionGeometry::lineDirection(line1->fit);
    const auto dir2 = DimensionGeometry::lineDirection(line2->fit);
    if (vertex && dir1 && dir2)
        drawAngle(*vertex, *dir1, *dir2);
}

AxisAngleMeasurement::AxisAngleMeasurement(int type, PlotWidget *plot, const QString &name, const QPointF &axis)
    : AngleMeasurement(type, plot, name, 1)
    , axis(axis)
{
}

void AxisAngleMeasurement::calculate()
{
    if (segmentCount() == 0 || !allSegmentsSelected())
        return;
    const auto line = DimensionGeometry::segmentLine(segment(0));
    if (!line)
        return;
    const auto dir = DimensionGeometry::lineDirection(line->fit);
    const QPointF vertex(line->last.x(), line->y(line->last.x()));
    if (dir && std::isfinite(vertex.y()))
        drawAngle(vertex, *dir, axis);
}

HorizontalAngleMeasurement::HorizontalAngleMeasurement(PlotWidget *plot)
    : AxisAngleMeasurement(5, plot, QStringLiteral("Угол (Г)"), QPointF(1, 0))
{
    logInfo(QStringLiteral("HorizontalAngleMeasurement started"));
}

VerticalAngleMeasurement::VerticalAngleMeasurement(PlotWidget *plot)
    : AxisAngleMeasurement(4, plot, QStringLiteral("Угол (В)"), QPointF(0, 1))
{
    logInfo(QStringLiteral("VerticalAngleMeasurement started"));
}
