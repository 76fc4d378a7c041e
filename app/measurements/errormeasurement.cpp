#include "measurements/errormeasurement.h"

#include "measurements/compareplanedxf.h"
#include "measurements/dimensionitems.h"
#include "measurements/displayunit.h"
#include "measurements/dxffit.h"
#include "plot/errorgraph.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"

#include <QLineF>
#include <QMouseEvent>
#include <limits>

namespace DeviationCaption {
const QString kStraightness = QStringLiteral("Отклонение от прямой");
const QString kDrawing = QStringLiteral("Отклонение от чертежа");
const QString kCircle = QStringLiteral("Отклонение от окружности");
} // namespace DeviationCaption

namespace {

void logInfo(const QString &message)
{
    logger.log(Logger::INFO, message.toStdString());
}

} // namespace

ErrorMeasurement::ErrorMeasurement(int type, PlotWidget *plot, const QString &name, int segmentsNeeded)
    : Measurement(type, plot, 0)
    , caption(name)
    , segmentsNeeded(segmentsNeeded)
{
    graph = new ErrorGraph(plot);
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &ErrorMeasurement::onPlotMouseRelease));
    updateUnitSuffix();
    Q_EMIT statusText(caption + QStringLiteral(": выделите участок измерения"));
}

ErrorMeasurement::~ErrorMeasurement()
{
    graph->mBase = nullptr;
    delete graph;
}

QString ErrorMeasurement::valueText() const
{
    if (segments.isEmpty())
        return Common::kUnknownText;
    return QString::number(value(), 'f', 6) + unitSuffix;
}

double ErrorMeasurement::value() const
{
    return segments.isEmpty() ? 0.0 : errorValue;
}

void ErrorMeasurement::setLargeFont(bool large)
{
    label->setFont(DimensionItems::labelFont(large));
}

void ErrorMeasurement::updateLabel()
{
    label->setText(labelText);
}

void ErrorMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
}

void ErrorMeasurement::updateSettings()
{
    updateUnitSuffix();
}

void ErrorMeasurement::updateUnitSuffix()
{
    // An unknown unit code keeps the suffix there was.
    const int unit = Settings::instance().axis_unit;
    if (unit >= 0 && unit <= 2)
        unitSuffix = DisplayUnit::text(unit);
}

void ErrorMeasurement::createLabel()
{
    label = new PlotLabel(plot());
    label->setFont(Common::kMonospaceFont);
    label->setLayer(QStringLiteral("background"));
}

bool ErrorMeasurement::segmentRange(const QCPCurveData **first, const QCPCurveData **end)
{
    const SegmentSelection *s = segment(0);
    if (!s || !s->curve)
        return false;
    *first = Deviation::curvePoint(s->begin, s->curve);
    *end = Deviation::curvePoint(s->end, s->curve);
    return *first && *end && *first < *end;
}

void ErrorMeasurement::onPlotMouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    PlotWidget *p = plot();
    if (!p)
        return;
    if (placingLabel) {
        finishPlacing();
        return;
    }
    if (segmentCount() == segmentsNeeded) {
        Q_EMIT stopSelection();
        placingLabel = true;
        Q_EMIT statusText(kPlaceLabelPrompt);
        p->setSelectionMarkerVisible(false);
        p->replot(QCustomPlot::rpRefreshHint);
    }
    if (segmentCount() < segmentsNeeded)
        addSegment();
}

void ErrorMeasurement::updateGraphFrame()
{
    SegmentSelection *s0 = segment(0);
    if (!s0)
        return;
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    for (const SegmentSelection &s : segments) {
        first = std::min(first, qint64(s.begin));
        last = std::max(last, qint64(s.end) - 1);
    }
    const QCPCurve *curve = s0->curve;
    selectionStart = QVector2D(float(curveKeyAt(curve, int(first))), float(curveValueAt(curve, int(first))));
    selectionEnd = QVector2D(float(curveKeyAt(curve, int(last))), float(curveValueAt(curve, int(last))));
    lowestY = std::numeric_limits<double>::max();
    if (first <= last) {
        // Indices outside the curve's data count as value 0.
        const qint64 size = curve ? curve->data()->size() : 0;
        if (first < 0 || last >= size)
            lowestY = 0;
        const qint64 from = std::max<qint64>(first, 0);
        const qint64 to = std::min<qint64>(last, size - 1);
        if (from <= to) {
            const QCPCurveData *points = &*curve->data()->constBegin();
            for (qint64 i = from; i <= to; ++i)
                lowestY = std::min(lowestY, points[i].value);
        }
    }
    const float cursorY = float(labelPosition().y());
    baselineY = cursorY;
    if (baselineY > lowestY)
        baselineY = 2 * lowestY - cursorY;
    baselineStart = QVector2D(selectionStart.x(), float(baselineY));
    baselineEnd = QVector2D(selectionEnd.x(), float(baselineY));
}

void ErrorMeasurement::setGraphPoints(const QCPCurveData *first, const QCPCurveData *end)
{
    basePoints.resize(2);
    basePoints[0].clear();
    basePoints[1].clear();
    if (first && end && first < end) {
        const int n = int(end - first);
        basePoints[0].resize(n);
        basePoints[1].resize(n);
        double *keys = basePoints[0].data();
        double *values = basePoints[1].data();
        for (int i = 0; i < n; ++i) {
            keys[i] = first[i].key;
            values[i] = first[i].value;
        }
    }
    graph->mBase = &basePoints;
}

void ErrorMeasurement::showDeviationGraph(const QVector<double> &xs, const QVector<double> &deviations, double height)
{
    const auto range = Deviation::valueRange(deviations);
    const double lo = range.first;
    const double hi = range.second;
    QVector<double> &scaled = scaledDeviations;
    scaled.resize(deviations.size());
    for (int i = 0; i < deviations.size(); ++i)
        scaled[i] = hi == lo ? baselineY : (deviations[i] - lo) / (hi - lo) * height + baselineY;
    graph->mAxisEnd[0] = baselineStart;
    graph->mAxisEnd[1] = baselineEnd;
    graph->mAxisStart[0] = selectionStart;
    graph->mAxisStart[1] = selectionEnd;
    graph->setAxisLine(0, selectionStart, baselineStart);
    graph->setAxisLine(1, selectionEnd, baselineEnd);
    graph->setData(xs, scaled);
    graph->mMin = lo;
    graph->mMax = hi;
    graph->drawRuler(height, unitSuffix);
}

void ErrorMeasurement::placeLabel(const QString &text, QVector2D position, double rotation, int alignment)
{
    if (alignment & Qt::AlignBottom)
        label->setText(labelText + QLatin1Char('\n') + text);
    else
        label->setText(text + QLatin1Char('\n') + labelText);
    label->position->setCoords(position.x(), position.y());
    label->setRotation(rotation);
    label->setPositionAlignment(Qt::Alignment(alignment));
}

void ErrorMeasurement::placeLabelOnBaseline()
{
    const QVector2D middle = (baselineStart + baselineEnd) * 0.5f;
    const double angle = QLineF(baselineStart.toPointF(), baselineEnd.toPointF()).angle();
    placeLabel(QString(), middle, angle, Qt::AlignTop | Qt::AlignHCenter);
}

// --- Kind 12 -------------------------------------------------------------------

RMSEMeasurement::RMSEMeasurement(PlotWidget *plot)
    : ErrorMeasurement(12, plot, DeviationCaption::kStraightness, 1)
{
    logInfo(QStringLiteral("RMSEMeasurement started"));
    createLabel();
    setHighlighted(true);
    label->setVisible(false);
}

RMSEMeasurement::~RMSEMeasurement()
{
    logInfo(caption + QStringLiteral(" delete with value: ") + valueText());
    if (PlotWidget *p = plot())
        p->removeItem(label);
}

QString RMSEMeasurement::groupName() const
{
    return QStringLiteral("Отклонения от окружности");
}

void RMSEMeasurement::setHighlighted(bool on)
{
    graph->setHighlighted(on);
}

void RMSEMeasurement::calculate()
{
    const QCPCurveData *first = nullptr;
    const QCPCurveData *end = nullptr;
    if (!segmentRange(&first, &end))
        return;
    Deviation::Profile residuals;
    // A range with no line (every point at one x) leaves everything as it was.
    if (!Deviation::lineResiduals(first, end, &residuals))
        return;
    updateGraphFrame();
    const auto range = Deviation::valueRange(residuals.values);
    errorValue = range.second - range.first;
    setGraphPoints(first, end);
    showDeviationGraph(residuals.keys, residuals.values, lowestY - baselineY);
    placeLabelOnBaseline();
    showValueStatus(caption + QStringLiteral(": ") + valueText());
    label->setVisible(true);
}

// --- Kind 34 -------------------------------------------------------------------

ErrorPlane::ErrorPlane(PlotWidget *plot)
    : ErrorMeasurement(34, plot, DeviationCaption::kDrawing, 1)
{
    logInfo(QStringLiteral("ErrorPlane started"));
    createLabel();
    setHighlighted(true);
    label->setVisible(false);
}

ErrorPlane::~ErrorPlane()
{
    logInfo(caption + QStringLiteral(" delete with value: ") + valueText());
    if (PlotWidget *p = plot())
        p->removeItem(label);
}

QString ErrorPlane::groupName() const
{
    return QStringLiteral("Отклонения от графика");
}

void ErrorPlane::setHighlighted(bool on)
{
    graph->setHighlighted(on);
}

QString ErrorPlane::valueText() const
{
    return hasDistance ? ErrorMeasurement::valueText() : Common::kUnknownText;
}

double ErrorPlane::value() const
{
    return hasDistance ? ErrorMeasurement::value() : 0.0;
}

void ErrorPlane::calculate()
{
    const SegmentSelection *s = segment(0);
    if (!s || !s->curve)
        return;
    updateGraphFrame();
    const QCPCurveData *first = Deviation::curvePoint(s->begin, s->curve);
    const QCPCurveData *end = Deviation::curvePoint(s->end, s->curve);
    if (!first || !end || first >= end)
        return;
    std::shared_ptr<PlotDrawing> d = against.lock();
    if (!boundTo) {
        // Look the drawing up without creating one for a plot that has none.
        d = nearestPlotDrawing(plot(), first->key, first->value);
        if (!d)
            return;
        against = d;
        boundTo = d.get();
    }
    if (!d)
        return; // its drawing is gone
    const Deviation::Profile distances = Deviation::drawingDistances(d->drawing, first, end);
    // Without a drawing entity every distance is the "none" mark: nothing to show.
    if (distances.keys.isEmpty())
        return;
    hasDistance = true;
    double sum = 0;
    for (double d : distances.values)
        sum += d;
    setGraphPoints(first, end);
    errorValue = sum / distances.values.size();
    showDeviationGraph(distances.keys, distances.values, lowestY - baselineY);
    placeLabelOnBaseline();
    showValueStatus(caption + QStringLiteral(": ") + valueText());
    label->setVisible(true);
}
