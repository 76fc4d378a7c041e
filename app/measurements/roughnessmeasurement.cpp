#include "measurements/roughnessmeasurement.h"

#include "algos/amplitudeparams.h"
#include "algos/profileutils.h"
#include "measurements/dimensionitems.h"
#include "plot/curveregistry.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/contourtrace.h"

#include <QMouseEvent>
#include <cmath>

namespace {

const QString kRaCaption = QStringLiteral("Ra");
const QString kRzCaption = QStringLiteral("Rz");

void logInfo(const QString &message)
{
    logger.log(Logger::INFO, message.toStdString());
}

} // namespace

double micrometreFactor()
{
    switch (Settings::instance().axis_unit) {
    case 0:
        return 1000;
    case 1:
        return 1;
    default:
        return 0.001;
    }
}

QString unitSuffix()
{
    switch (Settings::instance().axis_unit) {
    case 0:
        return QStringLiteral("мм");
    case 1:
        return QStringLiteral("мкм");
    default:
        // micrometreFactor counts every other unit as nanometres.
        return QStringLiteral("нм");
    }
}

RoughnessMeasurement::RoughnessMeasurement(int type, PlotWidget *plot, const QString &name, int segmentCount)
    : Measurement(type, plot, 0)
    , caption(name)
{
    createItems();
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this,
        [this, segmentCount](QMouseEvent *event) { onPlotMouseRelease(event, segmentCount); }));
}

RoughnessMeasurement::~RoughnessMeasurement()
{
    logInfo(caption + QStringLiteral(" delete with value: ") + valueText());
    if (PlotWidget *p = plot()) {
        p->removeItem(extensionLines[0]);
        p->removeItem(extensionLines[1]);
        p->removeItem(dimensionLine);
        p->removeItem(label);
    }
}

void RoughnessMeasurement::createItems()
{
    PlotWidget *p = plot();
    extensionLines[0] = new QCPItemLine(p);
    extensionLines[1] = new QCPItemLine(p);
    dimensionLine = new QCPItemLine(p);
    for (QCPItemLine *line : { extensionLines[0], extensionLines[1], dimensionLine })
        line->setPen(Common::kBlackPen);
    dimensionLine->setHead(QCPLineEnding(QCPLineEnding::esLineArrow, 8, 10, false));
    dimensionLine->setTail(QCPLineEnding(QCPLineEnding::esLineArrow, 8, 10, false));
    label = new PlotLabel(p);
    label->setFont(Common::kMonospaceFont);
    for (QCPAbstractItem *item : { static_cast<QCPAbstractItem *>(label), static_cast<QCPAbstractItem *>(dimensionLine),
             static_cast<QCPAbstractItem *>(extensionLines[0]), static_cast<QCPAbstractItem *>(extensionLines[1]) })
        item->setLayer(QStringLiteral("overlay"));
    setHighlighted(true);
    setItemsVisible(false);
}

void RoughnessMeasurement::setItemsVisible(bool visible)
{
    extensionLines[0]->setVisible(visible);
    extensionLines[1]->setVisible(visible);
    dimensionLine->setVisible(visible);
    label->setVisible(visible);
}

QString RoughnessMeasurement::valueText() const
{
    return QString::number(roughness, 'f', 4) + QStringLiteral("мкм");
}

QString RoughnessMeasurement::groupName() const
{
    return QStringLiteral("Шероховатости");
}

void RoughnessMeasurement::setLargeFont(bool large)
{
    label->setFont(DimensionItems::labelFont(large));
}

void RoughnessMeasurement::updateLabel()
{
    label->setText(labelText);
}

void RoughnessMeasurement::updateSelectionMarker()
{
    if (PlotWidget *p = plot())
        p->setSelectionMarkerVisible(true);
}

void RoughnessMeasurement::setHighlighted(bool on)
{
    const QPen &pen = on ? Common::kGreenPen : Common::kBlackPen;
    extensionLines[0]->setPen(pen);
    extensionLines[1]->setPen(pen);
    dimensionLine->setPen(pen);
}

void RoughnessMeasurement::onPlotMouseRelease(QMouseEvent *event, int segmentCount)
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
    if (segmentCount > 1 && pickedCount < segmentCount - 1) {
        ++pickedCount;
        addSegment();
        return;
    }
    Q_EMIT stopSelection();
    placingLabel = true;
    Q_EMIT statusText(kPlaceLabelPrompt);
    p->setSelectionMarkerVisible(false);
    p->replot(QCustomPlot::rpRefreshHint);
}

void RoughnessMeasurement::logFinished()
{
    logInfo(QStringLiteral("Finished"));
    logInfo(QStringLiteral("Result - ") + caption + QStringLiteral(": ") + valueText());
}

void RoughnessMeasurement::placeLabel(const QString &text, QVector2D position, double rotation, int alignment)
{
    const QString line = caption + QStringLiteral(": ") + text;
    if (alignment & Qt::AlignBottom)
        label->setText(labelText + QLatin1Char('\n') + line);
    else
        label->setText(line + QLatin1Char('\n') + labelText);
    label->position->setCoords(position.x(), position.y());
    label->setRotation(rotation);
    label->setPositionAlignment(Qt::Alignment(alignment));
}

void RoughnessMeasurement::calculate()
{
    if (!allSegmentsSelected())
        return;
    const SegmentSelection *s = segment(0);
    const QCPCurve *curve = s->curve;
    const QCPCurveData *first = Deviation::curvePoint(s->begin, curve);
    const QCPCurveData *end = Deviation::curvePoint(s->end, curve);
    if (!curve || !first || !end || first >= end)
        return;
    // The point after the stretch, or its last point when the stretch reaches
    // the end of the curve.
    const QCPCurveData *endPoint = end == &*curve->data()->constEnd() ? end - 1 : end;
    const QVector2D b(float(first->key), float(first->value));
    const QVector2D e(float(endPoint->key), float(endPoint->value));
    const double f = micrometreFactor();
    TData profile(2);
    profile[0].reserve(int(end - first));
    profile[1].reserve(int(end - first));
    for (const QCPCurveData *it = first; it != end; ++it) {
        profile[0].append(it->key * f);
        profile[1].append(it->value * f);
    }
    result = Deviation::contourRoughness(
        profile, [this](const TData &filtered, double cutOff) { return calcParameter(filtered, cutOff); },
        [](double v) { return double(Algos::recommendedCutoff(v)); });
    roughness = result.value;

    const float ly = float(labelPosition().y());
    extensionLines[0]->start->setCoords(b.x(), b.y());
    extensionLines[0]->end->setCoords(b.x(), ly);
    extensionLines[1]->start->setCoords(e.x(), e.y());
    extensionLines[1]->end->setCoords(e.x(), ly);
    dimensionLine->start->setCoords(b.x(), ly);
    dimensionLine->end->setCoords(e.x(), ly);
    // Only a stretch too short for the first cut-off asks for more; it is
    // then always shorter than two cut-offs, so the length is positive.
    const QString text = result.passes == 0
        ? QStringLiteral("Выделите ещё ") + QString::number((2 * result.cutOff - result.length) / f, 'g', 6)
            + ::unitSuffix()
        : valueText();
    const int alignment = b.y() > ly ? (Qt::AlignTop | Qt::AlignHCenter) : (Qt::AlignBottom | Qt::AlignHCenter);
    placeLabel(text, QVector2D(e.x() - (e.x() - b.x()) * 0.5f, ly), 0, alignment);
    setItemsVisible(true);
    showValueStatus(caption + QStringLiteral(": ") + valueText());
}

AbstractTrace *RoughnessMeasurement::selectedTrace(const QVector<AbstractTrace *> &traces)
{
    const SegmentSelection *s = segment(0);
    if (!s || !s->curve || !plot())
        return nullptr;
    const int index = CurveRegistry::indexOf(plot(), s->curve);
    return index >= 0 && index < traces.size() ? traces[index] : nullptr;
}

double RoughnessMeasurement::corrected(double p, const AbstractTrace *trace, double (*factor)(double))
{
    const auto *contour = dynamic_cast<const ContourTrace *>(trace);
    if (!contour || trace->traceType != CONTOURPROF)
        return p;
    const double v = p * contour->roughness_ratio;
    return v * factor(v);
}

RAMeasurement::RAMeasurement(PlotWidget *plot, QVector<AbstractTrace *> traces)
    : RoughnessMeasurement(20, plot, kRaCaption, 1)
    , traces(std::move(traces))
{
    logInfo(QStringLiteral("RAMeasurement started"));
}

RAMeasurement::~RAMeasurement()
{
    traces.clear();
}

double RAMeasurement::calcParameter(const TData &profile, double cutOff)
{
    return corrected(Algos::Ra(profile, cutOff), selectedTrace(traces), Deviation::raCorrectionFactor);
}

RZMeasurement::RZMeasurement(PlotWidget *plot, QVector<AbstractTrace *> traces)
    : RoughnessMeasurement(21, plot, kRzCaption, 1)
    , traces(std::move(traces))
{
    logInfo(QStringLiteral("RZMeasurement started"));
}

RZMeasurement::~RZMeasurement()
{
    traces.clear();
}

double RZMeasurement::calcParameter(const TData &profile, double cutOff)
{
    return corrected(Algos::Rz(profile, cutOff), selectedTrace(traces), Deviation::rzCorrectionFactor);
}
