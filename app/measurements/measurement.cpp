#include "measurements/measurement.h"

#include "measurements/displayunit.h"
#include "measurements/reperpoint.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"

#include <QMouseEvent>
#include <cmath>

int Measurement::idCounter = 0;
const QString Measurement::kPlaceLabelPrompt = QStringLiteral("Расположите значение");

namespace {

// A range index from a double: negative or non-finite values become 0 rather
// than wrapping round in the unsigned conversion.
quint64 toIndex(double v)
{
    if (!(v > 0) || !std::isfinite(v))
        return 0;
    return static_cast<quint64>(v);
}

} // namespace

Measurement::Measurement(int type, PlotWidget *plot, int reperPointCount)
    : QObject(nullptr)
    , isMeasurement(true)
    , currentSegment(0)
    , labelX(0)
    , labelY(0)
    , finished(false)
    , m_plot(plot)
    , m_id(++idCounter)
    , m_type(type)
{
    if (plot)
        addConnection(connect(plot, &QCustomPlot::mouseMove, this, &Measurement::onPlotMouseMove));
    createReperPoints(reperPointCount);
}

Measurement::~Measurement()
{
    disconnectAll();
    // Every removal is announced before any point goes, so the controller
    // never holds a pointer to a deleted point.
    for (ReperPoint *point : qAsConst(reperPoints))
        Q_EMIT reperPointRemoved(point);
    qDeleteAll(reperPoints);
    reperPoints.clear();
}

void Measurement::updateSelectionMarker() { }

void Measurement::updateSettings() { }

double Measurement::nominal() const
{
    return 0.0;
}

double Measurement::tolerance() const
{
    return 1.0;
}

void Measurement::finishPlacing()
{
    PlotWidget *p = plot();
    if (finished || !p)
        return;
    // Shown before the finishing replot, so the marker is drawn with it.
    p->setSelectionMarkerVisible(true);
    finishMeasurement();
    Q_EMIT statusText(name() + QStringLiteral(": ") + valueText());
    Q_EMIT measumentFinished();
    logFinished();
}

void Measurement::logFinished() { }

void Measurement::showValueStatus(const QString &text)
{
    if (placingLabel && !finished)
        Q_EMIT statusText(text + QStringLiteral(". ") + kPlaceLabelPrompt);
    else
        Q_EMIT statusText(text);
}

QPointF Measurement::labelPosition() const
{
    const double f = DisplayUnit::currentFactor();
    return QPointF(labelX * f, labelY * f);
}

void Measurement::addSegment()
{
    currentSegment += 1;
    segments.append(SegmentSelection());
}

SegmentSelection *Measurement::segment(quint64 i)
{
    if (i >= quint64(segments.size()))
        return nullptr;
    return &segments[int(i)];
}

void Measurement::storeSegment(double begin, double end, QCPCurve *curve)
{
    SegmentSelection record;
    record.begin = toIndex(begin);
    record.end = toIndex(end);
    record.curve = curve;
    if (currentSegment < quint64(segments.size()))
        segments[int(currentSegment)] = record;
    else
        segments.append(record);
}

bool Measurement::allSegmentsSelected() const
{
    if (segments.isEmpty())
        return false;
    for (const SegmentSelection &s : segments)
        if (!s.curve)
            return false;
    return true;
}

void Measurement::onSegmentSelected(QCPDataRange r, QCPCurve *curve)
{
    if (!curve)
        return;
    storeSegment(r.begin(), r.end(), curve);
}

void Measurement::addConnection(const QMetaObject::Connection &connection)
{
    connections.append(connection);
}

void Measurement::disconnectAll()
{
    for (const QMetaObject::Connection &c : qAsConst(connections))
        QObject::disconnect(c);
}

void Measurement::finishMeasurement()
{
    finished = true;
    disconnectAll();
    setHighlighted(false);
    if (m_plot)
        m_plot->replot(QCustomPlot::rpRefreshHint);
}

void Measurement::createReperPoints(int n)
{
    for (int i = 0; i < n; ++i)
        reperPoints.append(new ReperPoint(m_plot, this));
}

void Measurement::setReperPoint(int index, const QPointF &pos)
{
    if (index < 0 || index >= reperPoints.size())
        return;
    if (!std::isfinite(pos.x()) || !std::isfinite(pos.y()))
        return;
    ReperPoint *point = reperPoints.at(index);
    point->setPosition(pos);
    point->setVisible(true);
    Q_EMIT reperPointChanged(point);
}

void Measurement::removeLastReperPoint()
{
    if (reperPoints.isEmpty())
        return;
    ReperPoint *point = reperPoints.takeLast();
    point->setVisible(false);
    Q_EMIT reperPointRemoved(point);
    delete point;
}

void Measurement::makeReperPointsPickable()
{
    for (ReperPoint *point : qAsConst(reperPoints))
        point->makePickable();
}

void Measurement::makeReperPointsUnpickable()
{
    for (ReperPoint *point : qAsConst(reperPoints))
        point->makeUnpickable();
}

void Measurement::onPlotMouseMove(QMouseEvent *event)
{
    if (!m_plot)
        return;
    const QPoint pixel = event->localPos().toPoint();
    labelX = float(m_plot->xAxis->pixelToCoord(pixel.x()));
    labelY = float(m_plot->yAxis->pixelToCoord(pixel.y()));
    const double f = DisplayUnit::currentFactor();
    if (f != 1.0) {
        labelX *= 1.0 / f;
        labelY *= 1.0 / f;
    }
    calculate();
    m_plot->replot(QCustomPlot::rpRefreshHint);
    Q_EMIT measumentChanged();
}
