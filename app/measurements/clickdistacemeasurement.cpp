#include "measurements/clickdistacemeasurement.h"

#include "measurements/circlegeometry.h"
#include "plot/plotwidget.h"
#include "settings/common.h"

#include <QMouseEvent>
#include <cmath>
#include <limits>

namespace {

// Copies take exactly the first two entries; missing ones count as 0.
QVector<double> lineCoefficients(const QVector<double> &given)
{
    return { given.value(0, 0.0), given.value(1, 0.0) };
}

// The longest key span of the plot's curves, 0 without a curve with points.
double widestCurveSpan(PlotWidget *plot)
{
    double span = 0;
    for (int i = 0; i < plot->curveCount(); ++i) {
        const QCPCurve *curve = plot->curve(i);
        if (!curve || curve->data()->isEmpty())
            continue;
        const auto data = curve->data();
        span = std::max(span, std::abs((data->constEnd() - 1)->key - data->constBegin()->key));
    }
    return span;
}

} // namespace

ClickDistaceMeasurement::ClickDistaceMeasurement(int type, PlotWidget *plot, const QString &caption)
    : Measurement(type, plot, 0)
    , coefficients { 0.0, 0.0 }
    , line(new QCPItemStraightLine(plot))
    , caption(caption)
{
    line->setPen(Common::kBlackPen);
    isMeasurement = false;
}

ClickDistaceMeasurement::~ClickDistaceMeasurement()
{
    if (PlotWidget *p = plot())
        p->removeItem(line);
}

QString ClickDistaceMeasurement::groupName() const
{
    return QStringLiteral("Доп геометрия Линии");
}

void ClickDistaceMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
}

void ClickDistaceMeasurement::setHighlighted(bool on)
{
    line->setPen(on ? Common::kGreenPen : Common::kBlackPen);
}

void ClickDistaceMeasurement::setLinePoints(QPointF a, QPointF b)
{
    line->point1->setCoords(float(a.x()), float(a.y()));
    line->point2->setCoords(float(b.x()), float(b.y()));
}

void ClickDistaceMeasurement::setLineVisible(bool visible)
{
    line->setVisible(visible);
}

QPointF ClickDistaceMeasurement::curvePointAt(const PickedPoint *point)
{
    if (!point || !point->curve || point->index < 0 || point->index >= point->curve->data()->size())
        return QPointF();
    const QCPCurveData &d = *(point->curve->data()->constBegin() + point->index);
    return QPointF(d.key, d.value);
}

std::unique_ptr<PickedPoint> ClickDistaceMeasurement::pointUnderMarker() const
{
    auto point = std::make_unique<PickedPoint>();
    if (PlotWidget *p = plot()) {
        const qint64 index = p->selectedDataIndex();
        point->index = index;
        point->curve = p->selectedCurve();
    }
    return point;
}

std::unique_ptr<PickedPoint> ClickDistaceMeasurement::pointUnderPress() const
{
    auto point = std::make_unique<PickedPoint>();
    if (PlotWidget *p = plot()) {
        point->index = p->pressedDataIndex();
        point->curve = p->pressedCurve();
    }
    return point;
}

bool ClickDistaceMeasurement::isLeftButton(QMouseEvent *event)
{
    return event->button() == Qt::LeftButton;
}

bool ClickDistaceMeasurement::isDragRelease(QMouseEvent *event) const
{
    const PlotWidget *p = plot();
    return p && isLeftButton(event) && p->releaseEndsDrag(event->pos());
}

void ClickDistaceMeasurement::pickAndFinish(std::unique_ptr<PickedPoint> &slot)
{
    slot = pointUnderMarker();
    calculate();
    finishMeasurement();
    Q_EMIT measumentFinished();
}

void ClickDistaceMeasurement::finishCopy(QPointF a, QPointF b)
{
    setLinePoints(a, b);
    setLineVisible(true);
    finishMeasurement();
    Q_EMIT measumentFinished();
}

// --- Horizontal and vertical lines --------------------------------------------

ClickAxisLine::ClickAxisLine(int type, PlotWidget *plot, const QString &caption, bool vertical)
    : ClickDistaceMeasurement(type, plot, caption)
    , vertical(vertical)
{
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &ClickAxisLine::onPlotMouseRelease));
    addConnection(connect(plot, &QCustomPlot::mouseMove, this, &ClickAxisLine::updateLine));
}

ClickAxisLine::ClickAxisLine(
    int type, PlotWidget *plot, const QString &caption, bool vertical, const QVector<double> &given)
    : ClickDistaceMeasurement(type, plot, caption)
    , vertical(vertical)
{
    coefficients = lineCoefficients(given);
    const double c0 = coefficients[0], c1 = coefficients[1];
    // Horizontal: y = c1 (c0 is 0); vertical: x = c0·y + c1 taken at y = ∓1e6.
    if (vertical)
        finishCopy(QPointF(c1 - 1e6 * c0, -1e6), QPointF(c1 + 1e6 * c0, 1e6));
    else
        finishCopy(QPointF(0, c1 - 1e6 * c0), QPointF(1, c1 + 1e6 * c0));
}

void ClickAxisLine::calculate()
{
    if (!firstPoint)
        return;
    const QPointF p = curvePointAt(firstPoint.get());
    coefficients = { 0.0, vertical ? p.x() : p.y() };
    updateLine();
}

void ClickAxisLine::updateLine()
{
    if (!firstPoint)
        return;
    const double c = coefficients[1];
    if (vertical)
        setLinePoints(QPointF(c, 0), QPointF(c, 1));
    else
        setLinePoints(QPointF(0, c), QPointF(1, c));
    setLineVisible(true);
}

void ClickAxisLine::onPlotMouseRelease(QMouseEvent *event)
{
    if (isLeftButton(event) && !isDragRelease(event))
        pickAndFinish(firstPoint);
}

ClickHorizontalLine::ClickHorizontalLine(PlotWidget *plot)
    : ClickAxisLine(24, plot, QStringLiteral("Горизонтальная прямая"), false)
{
}

ClickHorizontalLine::ClickHorizontalLine(PlotWidget *plot, const QVector<double> &coefficients)
    : ClickAxisLine(24, plot, QStringLiteral("Горизонтальная прямая"), false, coefficients)
{
}

ClickVerticalLine::ClickVerticalLine(PlotWidget *plot)
    : ClickAxisLine(25, plot, QStringLiteral("Вертикальная прямая"), true)
{
}

ClickVerticalLine::ClickVerticalLine(PlotWidget *plot, const QVector<double> &coefficients)
    : ClickAxisLine(25, plot, QStringLiteral("Вертикальная прямая"), true, coefficients)
{
}

// --- Line through two points ---------------------------------------------------

ClickDoubleLine::ClickDoubleLine(PlotWidget *plot)
    : ClickDistaceMeasurement(26, plot, QStringLiteral("Прямая по двум точкам"))
{
    addConnection(connect(plot, &QCustomPlot::mouseMove, this, &ClickDoubleLine::previewLine));
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &ClickDoubleLine::onPlotMouseRelease));
}

ClickDoubleLine::ClickDoubleLine(PlotWidget *plot, const QVector<double> &given)
    : ClickDistaceMeasurement(26, plot, QStringLiteral("Прямая по двум точкам"))
{
    coefficients = lineCoefficients(given);
    const double c0 = coefficients[0], c1 = coefficients[1];
    QVector<double> through;
    if (Geometry::lineThroughPoints(QPointF(0, c1), QPointF(1, c0 + c1), &through)) {
        // Far beyond the traces, so that the drawn line is exact where they are.
        const double d = 100 * widestCurveSpan(plot);
        finishCopy(QPointF(d, through[0] * d + through[1]), QPointF(-d, -through[0] * d + through[1]));
    } else {
        finishCopy(line->point1->coords(), line->point2->coords());
    }
}

void ClickDoubleLine::calculate()
{
    if (!firstPoint || !secondPoint)
        return;
    QVector<double> fitted;
    if (!Geometry::lineThroughPoints(curvePointAt(firstPoint.get()), curvePointAt(secondPoint.get()), &fitted))
        return;
    coefficients = fitted;
    updateLine();
}

void ClickDoubleLine::updateLine()
{
    if (pickedCount != 1)
        return;
    QVector<double> through;
    // A cursor at the first point's key has no finite line: keep the last one.
    if (!Geometry::lineThroughPoints(curvePointAt(firstPoint.get()), curvePointAt(secondPoint.get()), &through))
        return;
    setLinePoints(QPointF(0, through[1]), QPointF(1, through[0] + through[1]));
    setLineVisible(true);
}

void ClickDoubleLine::onPlotMouseRelease(QMouseEvent *event)
{
    if (!isLeftButton(event))
        return;
    const TwoPointRelease release = twoPointRelease(pickedCount, isDragRelease(event));
    if (release.first) {
        pickedCount += 1;
        firstPoint = release.firstAtPress ? pointUnderPress() : pointUnderMarker();
    }
    // A second point at the first one's key gives no finite line.
    if (release.second && curvePointAt(pointUnderMarker().get()).x() != curvePointAt(firstPoint.get()).x())
        pickAndFinish(secondPoint);
}

void ClickDoubleLine::previewLine(QMouseEvent *)
{
    secondPoint = pointUnderMarker();
    updateLine();
}

// --- Point on the trace --------------------------------------------------------

ClickPoint::ClickPoint(PlotWidget *plot)
    : ClickDistaceMeasurement(27, plot, QStringLiteral("Точка на трассе"))
{
    setLineVisible(false);
    createReperPoints(1);
    addConnection(connect(plot, &QCustomPlot::mouseMove, this, &ClickPoint::trackCursorPoint));
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &ClickPoint::onPlotMouseRelease));
}

void ClickPoint::calculate()
{
    if (!firstPoint)
        return;
    setReperPoint(0, curvePointAt(firstPoint.get()));
}

void ClickPoint::onPlotMouseRelease(QMouseEvent *event)
{
    if (isLeftButton(event) && !isDragRelease(event))
        pickAndFinish(firstPoint);
}

void ClickPoint::trackCursorPoint(QMouseEvent *)
{
    firstPoint = pointUnderMarker();
    setReperPoint(0, curvePointAt(firstPoint.get()));
}

// --- Middle point --------------------------------------------------------------

MiddlePoint::MiddlePoint(PlotWidget *plot)
    : ClickDistaceMeasurement(28, plot, QStringLiteral("Средняя точка"))
{
    createReperPoints(1);
    setLineVisible(false);
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &MiddlePoint::onPlotMouseRelease));
}

void MiddlePoint::calculate()
{
    if (!firstPoint || !secondPoint)
        return;
    setReperPoint(0, Geometry::middlePoint(curvePointAt(firstPoint.get()), curvePointAt(secondPoint.get())));
}

void MiddlePoint::onPlotMouseRelease(QMouseEvent *event)
{
    if (!isLeftButton(event))
        return;
    const TwoPointRelease release = twoPointRelease(pickedCount, isDragRelease(event));
    if (release.first) {
        pickedCount += 1;
        firstPoint = release.firstAtPress ? pointUnderPress() : pointUnderMarker();
    }
    if (!release.second) {
        if (release.first)
            Q_EMIT statusText(QStringLiteral("Укажите вторую точку"));
        return;
    }
    secondPoint = pointUnderMarker();
    calculate();
    finishMeasurement();
    makeReperPointsPickable();
    Q_EMIT measumentFinished();
}
