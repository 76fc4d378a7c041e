#include "measurements/levellingmeasurement.h"

#include "measurements/distanceanglegeometry.h"
#include "measurements/levellinggeometry.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "measurements/dimensionitems.h"

#include <QDebug>
#include <QMouseEvent>

using DimensionGeometry::clampedRange;

LevellingMeasurement::LevellingMeasurement(int type, PlotWidget *plot)
    : Measurement(type, plot, 0)
{
}

QString LevellingMeasurement::name() const
{
    return QStringLiteral("Выравнивание");
}

QString LevellingMeasurement::valueText() const
{
    return Common::kUnknownText;
}

QPair<double, QPointF> LevellingMeasurement::levelCurves()
{
    const double angle = LevelGeometry::levelRotation(LevelGeometry::levelAngleDegrees(fitter));
    const SegmentSelection *first = segment(0);
    const QPointF centre
        = first && first->curve ? LevelGeometry::rotationCentre(first->curve->data().data(), first->begin) : QPointF();
    LevelGeometry::rotateCurves(plot(), centre, angle);
    return { angle, centre };
}

void LevellingMeasurement::announce(double angle, const QPointF &centre)
{
    finishMeasurement();
    Q_EMIT setNewAngleAndCenterRot(angle, centre);
    Q_EMIT graphDataChanged();
    Q_EMIT measumentFinished();
    Q_EMIT statusText(
        QStringLiteral("Укладка готова: [%1, %2]")
            .arg(QString::number(fitter.coefficient(0), 'g', 6), QString::number(fitter.coefficient(1), 'g', 6)));
}

LayFlatMeasurement::LayFlatMeasurement(PlotWidget *plot)
    : LevellingMeasurement(9, plot)
{
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &LayFlatMeasurement::onPlotMouseRelease));
}

void LayFlatMeasurement::calculate()
{
    if (!allSegmentsSelected())
        return;
    const auto range = clampedRange(segment(0));
    if (!range.isEmpty())
        fitter = Algos::RMS(range.first, range.last);
}

void LayFlatMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot(); p && p->selectionMarker())
        p->setSelectionMarkerVisible(false);
}

void LayFlatMeasurement::onPlotMouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    DimensionItems::logInfo(QStringLiteral("LayFlat released "));
    Q_EMIT stopSelection();
    if (!fitter.isValid())
        return;
    const auto [angle, centre] = levelCurves();
    announce(angle, centre);
}

LayFlatByTwoMeasurement::LayFlatByTwoMeasurement(PlotWidget *plot, double *angleOut, QPointF *centreOut)
    : LevellingMeasurement(10, plot)
{
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this,
        [this, angleOut, centreOut](QMouseEvent *e) { onPlotMouseRelease(e, angleOut, centreOut); }));
}

void LayFlatByTwoMeasurement::calculate()
{
    if (!allSegmentsSelected() || segmentCount() != 2) {
        Q_EMIT statusText(QStringLiteral("Выделите две линии"));
        return;
    }
    const auto a = clampedRange(segment(0)), b = clampedRange(segment(1));
    if (a.isEmpty() || b.isEmpty())
        return;
    fitter = Algos::RMS(a.first, a.last, b.first, b.last);
}

void LayFlatByTwoMeasurement::onPlotMouseRelease(QMouseEvent *event, double *angleOut, QPointF *centreOut)
{
    if (event->button() != Qt::LeftButton)
        return;
    DimensionItems::logInfo(QStringLiteral("LayFlatByTwo released "));
    if (segmentCount() < 2) {
        addSegment();
        return;
    }
    Q_EMIT stopSelection();
    plot()->replot(QCustomPlot::rpRefreshHint);
    if (!fitter.isValid()) {
        qDebug() << "Invalid RMS";
        return;
    }
    const auto [angle, centre] = levelCurves();
    if (angleOut)
        *angleOut = angle;
    if (centreOut)
        *centreOut = centre;
    announce(angle, centre);
}
