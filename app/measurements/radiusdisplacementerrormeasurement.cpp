#include "measurements/radiusdisplacementerrormeasurement.h"

#include "algos/circlefit.h"
#include "measurements/circlegeometry.h"
#include "measurements/displayunit.h"
#include "plot/errorgraph.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace {

void logInfo(const QString &message)
{
    logger.log(Logger::INFO, message.toStdString());
}

} // namespace

double deviationFilterWindow()
{
    return 0.25 * DisplayUnit::factor(Settings::instance().axis_unit);
}

RadiusDisplacementErrorMeasurement::RadiusDisplacementErrorMeasurement(
    int type, PlotWidget *plot, const QString &name, int segmentsNeeded)
    : ErrorMeasurement(type, plot, name, segmentsNeeded)
{
    circle = new QCPItemEllipse(plot);
    circle->setPen(Common::kBlackPen);
    circle->setLayer(QStringLiteral("background"));
    createLabel();
    circle->setVisible(false);
    label->setVisible(false);
    setHighlighted(true);
}

RadiusDisplacementErrorMeasurement::~RadiusDisplacementErrorMeasurement()
{
    logInfo(caption + QStringLiteral(" delete with value: ") + valueText());
    if (PlotWidget *p = plot()) {
        p->removeItem(label);
        p->removeItem(circle);
    }
}

void RadiusDisplacementErrorMeasurement::setHighlighted(bool on)
{
    circle->setPen(on ? Common::kGreenPen : Common::kBlackPen);
    graph->setHighlighted(on);
}

void RadiusDisplacementErrorMeasurement::drawCircle(QPointF centre, double r)
{
    circle->topLeft->setCoords(centre.x() - r, centre.y() - r);
    circle->bottomRight->setCoords(centre.x() + r, centre.y() + r);
}

void RadiusDisplacementErrorMeasurement::placeCircleLabel(QPointF centre, double r)
{
    drawCircle(centre, r);
    const QVector2D position(baselineEnd.x() - (baselineEnd.x() - baselineStart.x()) * 0.5f, baselineStart.y());
    placeLabel(QString(), position, QLineF(baselineStart.toPointF(), baselineEnd.toPointF()).angle(),
        Qt::AlignTop | Qt::AlignHCenter);
    circle->setVisible(true);
    label->setVisible(true);
    showValueStatus(name() + QStringLiteral(": ") + valueText());
}

bool RadiusDisplacementErrorMeasurement::fitRange(
    const QCPCurveData *first, const QCPCurveData *end, QPointF *centre, double *R)
{
    double c[2];
    double r = 0;
    if (!Algos::fitCircle(first, end, c, &r))
        return false;
    *centre = QPointF(c[0], c[1]);
    *R = r;
    return true;
}

void RadiusDisplacementErrorMeasurement::showRange(
    const QCPCurveData *first, const QCPCurveData *end, const QPointF &centre, double R, bool filtered)
{
    updateGraphFrame();
    Deviation::Profile d = Deviation::radialDeviations(first, end, centre, R);
    if (filtered)
        d.values = Deviation::runningMedianByX(d.keys, d.values, deviationFilterWindow());
    setGraphPoints(first, end);
    const auto range = Deviation::valueRange(d.values);
    errorValue = range.second - range.first;
    placeCircleLabel(centre, R);
    showDeviationGraph(d.keys, d.values, lowestY - baselineY);
}

void RadiusDisplacementErrorMeasurement::calculateOverSegments(bool filtered)
{
    if (!allSegmentsSelected() || segmentCount() != segmentsNeeded) {
        Q_EMIT statusText(QStringLiteral("Продолжите выделения"));
        return;
    }
    // Every range is walked by index on segment 0's curve, so that no walk
    // leaves that curve's points.
    const QCPCurve *curve = segments[0].curve;
    QVector<const QCPCurveData *> starts;
    QVector<const QCPCurveData *> ends;
    for (const SegmentSelection &s : segments) {
        if (s.curve != curve)
            return;
        const quint64 begin = std::min(s.begin, s.end);
        const quint64 end = std::max(s.begin, s.end);
        const QCPCurveData *p = Deviation::curvePoint(begin, curve);
        const QCPCurveData *q = Deviation::curvePoint(end, curve);
        if (!p || !q || p == q)
            return;
        starts.append(p);
        ends.append(q);
    }
    double c[2];
    double R = 0;
    if (!Algos::fitCircle(starts, ends, c, &R))
        return;
    const QPointF centre(c[0], c[1]);
    Deviation::mergeSegmentsByX(starts, ends, centre, R, m_merged);
    Deviation::Profile &d = m_merged;
    updateGraphFrame();
    if (filtered)
        d.values = Deviation::runningMedianByX(d.keys, d.values, deviationFilterWindow());
    int left = 0;
    int right = 0;
    for (int i = 1; i < starts.size(); ++i) {
        if (starts[i]->key < starts[left]->key)
            left = i;
        if ((ends[i] - 1)->key > (ends[right] - 1)->key)
            right = i;
    }
    setGraphPoints(starts[left], ends[right]);
    const auto range = Deviation::valueRange(d.values);
    errorValue = range.second - range.first;
    showDeviationGraph(d.keys, d.values, lowestY - baselineY);
    placeCircleLabel(centre, R);
}

void RadiusDisplacementErrorMeasurement::showFittedSegment(bool filtered)
{
    const QCPCurveData *first = nullptr;
    const QCPCurveData *end = nullptr;
    QPointF centre;
    double R = 0;
    if (!segmentRange(&first, &end) || !fitRange(first, end, &centre, &R))
        return;
    showRange(first, end, centre, R, filtered);
}

// --- Kind 13 -------------------------------------------------------------------

RDEMeasurement::RDEMeasurement(PlotWidget *plot)
    : RadiusDisplacementErrorMeasurement(13, plot, DeviationCaption::kCircle, 1)
{
    logInfo(QStringLiteral("RadiusDisplacementErrorMeasurement start"));
}

QString RDEMeasurement::groupName() const
{
    return QStringLiteral("Отклонения");
}

void RDEMeasurement::calculate()
{
    showFittedSegment(false);
}

// --- Kind 14 -------------------------------------------------------------------

RDEMSpecified::RDEMSpecified(PlotWidget *plot, double radius)
    : RadiusDisplacementErrorMeasurement(13, plot, DeviationCaption::kCircle, 1)
    , radius(radius)
{
    logInfo(QStringLiteral("RDEMSpecified start"));
}

QString RDEMSpecified::groupName() const
{
    return QStringLiteral("Отклонения от окружности указанного радиуса");
}

void RDEMSpecified::updateSettings()
{
    radius = Geometry::convertLength(radius, unitSuffix, Settings::instance().axis_unit);
    updateUnitSuffix();
}

void RDEMSpecified::calculate()
{
    updateSettings();
    const QCPCurveData *first = nullptr;
    const QCPCurveData *end = nullptr;
    if (!segmentRange(&first, &end) || !(radius > 0) || !std::isfinite(radius))
        return;
    const QPointF centre = Geometry::restingCentre(first, end, radius);
    if (!std::isfinite(centre.x()) || !std::isfinite(centre.y()))
        return;
    showRange(first, end, centre, radius, false);
}

// --- Kind 15 -------------------------------------------------------------------

RadiusDisplacementFilterErrorMeasurement::RadiusDisplacementFilterErrorMeasurement(PlotWidget *plot)
    : RadiusDisplacementErrorMeasurement(13, plot, DeviationCaption::kCircle, 1)
{
    logInfo(QStringLiteral("RadiusDisplacementFilterErrorMeasurement start"));
}

QString RadiusDisplacementFilterErrorMeasurement::groupName() const
{
    return QStringLiteral("Отклонения от радиуса с фильтрацией");
}

void RadiusDisplacementFilterErrorMeasurement::calculate()
{
    showFittedSegment(true);
}

// --- Kinds 16 and 17 -----------------------------------------------------------

RadiusDisplacementErrorMeasurementByTwoSegment::RadiusDisplacementErrorMeasurementByTwoSegment(PlotWidget *plot, int n)
    : RadiusDisplacementErrorMeasurement(13, plot, DeviationCaption::kCircle, std::max(n, 2))
{
    logInfo(QStringLiteral("RadiusDisplacementErrorMeasurementByTwoSegment start"));
}

QString RadiusDisplacementErrorMeasurementByTwoSegment::groupName() const
{
    return QStringLiteral("Отклонения от окружности с фильтрацией");
}

void RadiusDisplacementErrorMeasurementByTwoSegment::calculate()
{
    calculateOverSegments(false);
}

RDEMFiterByTwoSegment::RDEMFiterByTwoSegment(PlotWidget *plot, int n)
    : RadiusDisplacementErrorMeasurement(13, plot, DeviationCaption::kCircle, std::max(n, 2))
{
    logInfo(QStringLiteral("RDEMFiterByTwoSegment start"));
}

QString RDEMFiterByTwoSegment::groupName() const
{
    return QStringLiteral("Отклонения от окружности с фильтрацией");
}

void RDEMFiterByTwoSegment::calculate()
{
    calculateOverSegments(true);
}

// --- Kind 18 -------------------------------------------------------------------

RDEMWithPolarGraph::RDEMWithPolarGraph(PlotWidget *plot)
    : RadiusDisplacementErrorMeasurement(18, plot, DeviationCaption::kCircle, 1)
{
    graph->mFollowZoom = true;
    logInfo(QStringLiteral("RDEMWithRadianGraph start"));
}

QString RDEMWithPolarGraph::groupName() const
{
    return QStringLiteral("Отклонения от окружности с полярной осью");
}

void RDEMWithPolarGraph::calculate()
{
    const QCPCurveData *first = nullptr;
    const QCPCurveData *end = nullptr;
    QPointF centre;
    double R = 0;
    if (!segmentRange(&first, &end) || !fitRange(first, end, &centre, &R))
        return;
    updateGraphFrame();
    setGraphPoints(first, end);
    const Deviation::Profile d = Deviation::radialDeviations(first, end, centre, R);
    const auto range = Deviation::valueRange(d.values);
    errorValue = range.second - range.first;
    placeCircleLabel(centre, R);
    rangeFirst = first;
    rangeEnd = end;
    setRadialAxisLines(centre);
    polarGraphData(d.values, centre, R);
}

void RDEMWithPolarGraph::setRadialAxisLines(QPointF centre)
{
    const float len = std::abs(baselineStart.y() - selectionStart.y());
    const QVector2D c(centre);
    const QVector2D u0 = (selectionStart - c).normalized();
    const QVector2D u1 = (selectionEnd - c).normalized();
    graph->mAxisEnd[0] = selectionStart + u0 * len;
    graph->mAxisEnd[1] = selectionEnd + u1 * len;
    graph->mAxisStart[0] = selectionStart;
    graph->mAxisStart[1] = selectionEnd;
    graph->setAxisLine(0, selectionStart, selectionStart + u0 * len);
    graph->setAxisLine(1, selectionEnd, selectionEnd + u1 * len);
}

void RDEMWithPolarGraph::polarGraphData(const QVector<double> &deviations, QPointF centre, double R)
{
    const double h = lowestY - baselineY;
    const Deviation::PolarPoints pts = Deviation::polarGraphPoints(rangeFirst, rangeEnd, deviations, centre, R, h);
    graph->setData(pts.xs, pts.ys);
    graph->mMin = pts.lo;
    graph->mMax = pts.hi;
    graph->drawRuler(h, unitSuffix);
}
