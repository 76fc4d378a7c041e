#include "measurements/curvaturemeasurement.h"

#include "algos/circlefit.h"
#include "measurements/circlegeometry.h"
#include "measurements/dimensionitems.h"
#include "measurements/displayunit.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"

#include <QMouseEvent>
#include <QVector2D>
#include <cmath>

namespace {

void logInfo(const QString &message)
{
    logger.log(Logger::INFO, message.toStdString());
}

// The points of segment i of a measurement; empty when there is none.
Geometry::CurveRange segmentPoints(Measurement *m, quint64 i)
{
    const SegmentSelection *s = m->segment(i);
    if (!s)
        return {};
    return Geometry::curveRange(s->curve, s->begin, s->end);
}

} // namespace

CurvatureMeasurement::CurvatureMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded)
    : Measurement(type, plot, 1)
    , radiusLine(nullptr)
    , circle(nullptr)
    , label(nullptr)
    , radius(0)
    , caption(name)
{
    createItems();
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this,
        [this, segmentsNeeded](QMouseEvent *event) { onPlotMouseRelease(event, segmentsNeeded); }));
    updateUnitSuffix();
}

CurvatureMeasurement::~CurvatureMeasurement()
{
    logInfo(name() + QStringLiteral(" delete with value: ") + valueText());
    if (PlotWidget *p = plot()) {
        p->removeItem(radiusLine);
        p->removeItem(label);
        p->removeItem(circle);
    }
}

void CurvatureMeasurement::createItems()
{
    PlotWidget *p = plot();
    radiusLine = new QCPItemLine(p);
    radiusLine->setPen(Common::kBlackPen);
    radiusLine->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10, false));
    circle = new QCPItemEllipse(p);
    circle->setPen(Common::kBlackPen);
    label = new PlotLabel(p);
    label->setFont(Common::kMonospaceFont);
    for (QCPAbstractItem *item : { static_cast<QCPAbstractItem *>(label), static_cast<QCPAbstractItem *>(circle),
             static_cast<QCPAbstractItem *>(radiusLine) }) {
        item->setLayer(QStringLiteral("overlay"));
        item->setVisible(false);
    }
    setHighlighted(true);
}

QString CurvatureMeasurement::valueText() const
{
    if (segments.isEmpty() || (isMeasurement && !hasCircle))
        return Common::kUnknownText;
    return QString::number(radius, 'f', 4) + unitSuffix;
}

double CurvatureMeasurement::value() const
{
    return segments.isEmpty() ? 0.0 : radius;
}

QString CurvatureMeasurement::groupName() const
{
    return QStringLiteral("Радиусы");
}

void CurvatureMeasurement::setLargeFont(bool large)
{
    label->setFont(DimensionItems::labelFont(large));
}

void CurvatureMeasurement::updateLabel()
{
    label->setText(labelText);
}

void CurvatureMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
}

void CurvatureMeasurement::setHighlighted(bool on)
{
    const QPen &pen = on ? Common::kGreenPen : Common::kBlackPen;
    radiusLine->setPen(pen);
    circle->setPen(pen);
}

void CurvatureMeasurement::updateSettings()
{
    updateUnitSuffix();
}

void CurvatureMeasurement::updateUnitSuffix()
{
    unitSuffix = DisplayUnit::currentTextOr(unitSuffix);
}

void CurvatureMeasurement::onPlotMouseRelease(QMouseEvent *event, int segmentsNeeded)
{
    if (event->button() != Qt::LeftButton)
        return;
    PlotWidget *p = plot();
    if (!placingLabel) {
        if (segmentCount() < segmentsNeeded) {
            addSegment();
            return;
        }
        Q_EMIT stopSelection();
        if (isMeasurement) {
            placingLabel = true;
            Q_EMIT statusText(kPlaceLabelPrompt);
            p->setSelectionMarkerVisible(false);
            p->replot(QCustomPlot::rpRefreshHint);
        } else {
            finishMeasurement();
            Q_EMIT statusText(name());
            p->replot(QCustomPlot::rpRefreshHint);
            p->setSelectionMarkerVisible(true);
            Q_EMIT measumentFinished();
        }
        return;
    }
    finishPlacing();
}

void CurvatureMeasurement::logFinished()
{
    logInfo(QStringLiteral("finished"));
    logInfo(QStringLiteral("Result - ") + name() + QStringLiteral(": ") + valueText());
}

void CurvatureMeasurement::drawCircle(QPointF centre, double r)
{
    const QPointF position = allSegmentsSelected() ? labelPosition() : QPointF();
    setReperPoint(0, centre);
    // Unit vector towards the label; a label on the centre gives none.
    const QVector2D towards = QVector2D(position - centre).normalized();
    radius = r;
    hasCircle = true;
    setCircle(centre, r);
    placeLabel(valueText(), position, 0, Qt::AlignHCenter | Qt::AlignBottom);
    const float length = float(r);
    radiusLine->start->setCoords(centre);
    radiusLine->end->setCoords(
        float(centre.x() + double(towards.x() * length)), float(centre.y() + double(towards.y() * length)));
    setItemsVisible(true);
    showValueStatus(name() + QStringLiteral(": ") + valueText());
}

void CurvatureMeasurement::setCircle(QPointF centre, double r)
{
    circle->topLeft->setCoords(centre.x() - r, centre.y() - r);
    circle->bottomRight->setCoords(centre.x() + r, centre.y() + r);
}

void CurvatureMeasurement::placeLabel(const QString &text, QPointF position, double rotation, int alignment)
{
    label->setText(labelText + QLatin1Char('\n') + text);
    label->position->setCoords(position);
    label->setRotation(rotation);
    label->setPositionAlignment(Qt::Alignment(alignment));
}

void CurvatureMeasurement::setItemsVisible(bool visible)
{
    radiusLine->setVisible(visible);
    circle->setVisible(visible);
    label->setVisible(visible);
}

bool CurvatureMeasurement::fitFirstSegment(QPointF *centre, double *r)
{
    if (!allSegmentsSelected())
        return false;
    const Geometry::CurveRange points = segmentPoints(this, 0);
    if (points.isEmpty())
        return false;
    double fitted[2];
    double radius;
    // Points on one straight line have no circle.
    if (!Algos::fitCircle(points.first, points.end, fitted, &radius))
        return false;
    *centre = QPointF(fitted[0], fitted[1]);
    *r = radius;
    return true;
}

void CurvatureMeasurement::showGeometryCircle(QPointF centre, double r)
{
    radius = r;
    setReperPoint(0, centre);
    setCircle(centre, r);
    circle->setVisible(true);
}

RegularRadiusMeasurement::RegularRadiusMeasurement(PlotWidget *plot)
    : CurvatureMeasurement(7, plot, QStringLiteral("Радиус"), 1)
{
    logInfo(QStringLiteral("RegularRadiusMeasurement started"));
}

void RegularRadiusMeasurement::calculate()
{
    QPointF centre;
    double r;
    if (fitFirstSegment(&centre, &r))
        drawCircle(centre, r);
}

ArcsRadiusMeasurement::ArcsRadiusMeasurement(PlotWidget *plot)
    : CurvatureMeasurement(8, plot, QStringLiteral("Радиус (A)"), 2)
{
    logInfo(QStringLiteral("ArcsRadiusMeasurement started"));
}

void ArcsRadiusMeasurement::calculate()
{
    if (!allSegmentsSelected() || segmentCount() != 2) {
        Q_EMIT statusText(QStringLiteral("Выделите две арки"));
        return;
    }
    const Geometry::CurveRange first = segmentPoints(this, 0);
    const Geometry::CurveRange second = segmentPoints(this, 1);
    if (first.isEmpty() || second.isEmpty())
        return;
    double centre[2];
    double r;
    if (!Algos::fitCircle(first.first, first.end, second.first, second.end, centre, &r))
        return;
    drawCircle(QPointF(centre[0], centre[1]), r);
}

CircumfAGMeasurement::CircumfAGMeasurement(PlotWidget *plot)
    : CurvatureMeasurement(22, plot, QStringLiteral("Радиус"), 1)
{
    caption = QStringLiteral("Окружность");
    isMeasurement = false;
    logInfo(QStringLiteral("CircumfAGMeasurement started"));
}

void CircumfAGMeasurement::calculate()
{
    if (fitFirstSegment(&centre, &circleRadius)) {
        showGeometryCircle(centre, circleRadius);
    }
}

CircumfAGSpecified::CircumfAGSpecified(PlotWidget *plot, double radius)
    : CurvatureMeasurement(23, plot, QStringLiteral("Радиус"), 1)
    , circleRadius(radius)
{
    caption = QStringLiteral("Окружность");
    isMeasurement = false;
    logInfo(QStringLiteral("CircumfAGSpecified started"));
}

void CircumfAGSpecified::updateSettings()
{
    circleRadius = Geometry::convertLength(circleRadius, unitSuffix, Settings::instance().axis_unit);
    updateUnitSuffix();
}

void CircumfAGSpecified::calculate()
{
    if (!allSegmentsSelected())
        return;
    const Geometry::CurveRange points = segmentPoints(this, 0);
    if (points.isEmpty())
        return;
    updateSettings();
    // A radius that did not convert from the parameter (0) gives no circle.
    if (!(circleRadius > 0) || !std::isfinite(circleRadius))
        return;
    centre = Geometry::restingCentre(points.first, points.end, circleRadius);
    showGeometryCircle(centre, circleRadius);
}
