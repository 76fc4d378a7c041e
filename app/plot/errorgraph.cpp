#include "plot/errorgraph.h"

#include "plot/adaptivecurve.h"
#include "plot/plotlabel.h"
#include "plot/suffixaxisticker.h"
#include "settings/common.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>

namespace {

// More ticks than any usable range gives (at most eleven); a bound for damaged input.
constexpr double kMaxWholeSteps = 1000;

QPen deviationPen()
{
    return QPen(QColor(Settings::instance().preferenses.visual_objects_color), 1, Qt::SolidLine);
}

// Relative equality of two range sizes.
bool sameSize(double a, double b)
{
    return std::abs(a - b) * 1e12 <= qMin(std::abs(a), std::abs(b));
}

} // namespace

double rulerTickStep(double min, double max)
{
    const double range = max - min;
    if (!(range > 0) || !std::isfinite(range))
        return 0;
    const double scale = std::pow(10.0, std::floor(std::log10(range)));
    const double q = range / scale;
    if (q <= 2)
        return 0.2 * scale;
    if (q <= 5)
        return 0.5 * scale;
    return scale;
}

RulerTicks rulerTicks(double min, double max)
{
    RulerTicks ticks;
    const double step = rulerTickStep(min, max);
    if (!(step > 0))
        return ticks;
    const double first = std::ceil(min / step) * step;
    const double last = std::floor(max / step) * step;
    const double wholeSteps = std::trunc((last - first) / step);
    if (!std::isfinite(wholeSteps) || wholeSteps < 0 || wholeSteps > kMaxWholeSteps)
        return ticks;
    const int n = int(wholeSteps);
    double v = first;
    for (int k = 0; k <= n && v <= last; ++k) {
        ticks.values.append(v);
        const double next = v + step;
        if (!(next > v))
            break;
        v = next;
    }
    return ticks;
}

ErrorGraph::ErrorGraph(QCustomPlot *plot)
    : mPlot(plot)
{
    mCurve = new AdaptiveCurve(plot->xAxis, plot->yAxis);
    mCurve->setSelectable(QCP::stNone);
    mCurve->setPen(deviationPen());
    for (auto &line : mAxisLines) {
        line = new QCPItemLine(plot);
        line->setPen(Common::kBlackPen);
        line->setLayer(QStringLiteral("background"));
    }
    connect(plot, &QCustomPlot::mouseWheel, this, &ErrorGraph::onPlotMouseWheel);
    connect(plot, &QCustomPlot::afterLayout, this, &ErrorGraph::arrangeLabels);
}

ErrorGraph::~ErrorGraph()
{
    if (!mPlot)
        return;
    clearRuler();
    for (const auto &line : mAxisLines) {
        if (line)
            mPlot->removeItem(line);
    }
    if (mCurve)
        mPlot->removePlottable(mCurve);
}

AdaptiveCurve *ErrorGraph::curve() const
{
    return mCurve;
}

QCPItemLine *ErrorGraph::axisLine(int index) const
{
    return (index == 0 || index == 1) ? mAxisLines[index].data() : nullptr;
}

void ErrorGraph::setAxisLine(int index, QVector2D from, QVector2D to)
{
    QCPItemLine *line = axisLine(index);
    if (!line)
        return;
    line->start->setCoords(from.toPointF());
    line->end->setCoords(to.toPointF());
}

void ErrorGraph::setHighlighted(bool highlighted)
{
    for (const auto &line : mAxisLines) {
        if (line)
            line->setPen(highlighted ? Common::kGreenPen : Common::kBlackPen);
    }
}

void ErrorGraph::setData(const QVector<double> &x, const QVector<double> &y)
{
    if (x.isEmpty() || y.size() != x.size() || !mPlot || !mCurve)
        return;
    // A graph recomputed on every mouse move keeps the curve's storage.
    setCurvePoints(*mCurve, x.size(), [&x, &y](int i) { return QPointF(x.at(i), y.at(i)); });

    const QCPAxis *xAxis = mPlot->xAxis;
    const QCPAxis *yAxis = mPlot->yAxis;
    for (int i = 0; i < 2; ++i) {
        mAxisPixelOffset[2 * i] = xAxis->coordToPixel(mAxisStart[i].x()) - xAxis->coordToPixel(mAxisEnd[i].x());
        mAxisPixelOffset[2 * i + 1] = yAxis->coordToPixel(mAxisStart[i].y()) - yAxis->coordToPixel(mAxisEnd[i].y());
    }

    mPointPixelDx.clear();
    mPointPixelDy.clear();
    // Without base points for every curve point there is nothing to keep the
    // curve's distance from; a zoom then leaves the curve where it is.
    if (!baseCoversCurve())
        return;
    const QVector<double> &baseX = mBase->at(0);
    const QVector<double> &baseY = mBase->at(1);
    const int n = x.size();
    mPointPixelDx.resize(n);
    mPointPixelDy.resize(n);
    double *dx = mPointPixelDx.data();
    double *dy = mPointPixelDy.data();
    for (int i = 0; i < n; ++i) {
        dx[i] = xAxis->coordToPixel(baseX.at(i)) - xAxis->coordToPixel(x.at(i));
        dy[i] = yAxis->coordToPixel(baseY.at(i)) - yAxis->coordToPixel(y.at(i));
    }
}

bool ErrorGraph::baseCoversCurve() const
{
    if (!mBase || mBase->size() < 2 || !mCurve)
        return false;
    const int n = mCurve->data()->size();
    return mBase->at(0).size() >= n && mBase->at(1).size() >= n;
}

double ErrorGraph::tickStep() const
{
    return rulerTickStep(mMin, mMax);
}

void ErrorGraph::clearRuler()
{
    if (mPlot) {
        for (const auto &tick : qAsConst(mTicks)) {
            if (tick)
                mPlot->removeItem(tick);
        }
        for (const auto &label : qAsConst(mTickLabels)) {
            if (label)
                mPlot->removeItem(label);
        }
    }
    mTicks.clear();
    mTickLabels.clear();
}

void ErrorGraph::drawRuler(double length, const QString &unit)
{
    clearRuler();
    if (!mPlot)
        return;
    mUnit = unit;
    const RulerTicks ticks = rulerTicks(mMin, mMax);

    const QVector2D start = mAxisStart[1];
    const QVector2D end = mAxisEnd[1];
    const QVector2D d = (start - end).normalized();
    const QVector2D t = QVector2D(-d.y(), d.x()) * 0.02f * float(length);
    const float lowestStartY = qMin(mAxisStart[0].y(), mAxisStart[1].y());

    // The labels stand on the side of the ruler away from axis line 0, so
    // that they cover neither the ticks nor the deviation curve, and run
    // outwards from the ruler.
    const QCPAxis *xAxis = mPlot->xAxis;
    const QCPAxis *yAxis = mPlot->yAxis;
    const QVector2D inwards = mAxisStart[0] - mAxisStart[1];
    const QVector2D outwards = QVector2D::dotProduct(inwards, t) > 0 ? -t : t;
    const double outX = xAxis->coordToPixel(start.x() + outwards.x()) - xAxis->coordToPixel(start.x());
    const double outY = yAxis->coordToPixel(start.y() + outwards.y()) - yAxis->coordToPixel(start.y());
    Qt::Alignment alignment;
    if (std::abs(outX) >= std::abs(outY))
        alignment = Qt::AlignVCenter | (outX >= 0 ? Qt::AlignLeft : Qt::AlignRight);
    else
        alignment = Qt::AlignHCenter | (outY >= 0 ? Qt::AlignTop : Qt::AlignBottom);
    mLabelAlignment = alignment;

    QVector<double> values;
    for (double v : ticks.values)
        values.append(std::abs(v) < 1e-10 ? 0.0 : v);
    const int decimals = tickDecimals(values, 0);
    const QLocale locale = mPlot->locale();
    // As on the plot's axes: the number, a blank and the unit.
    const QString suffix = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;

    for (int k = 0; k < values.size(); ++k) {
        const double v = values.at(k);
        const float f = float((ticks.values.at(k) - mMin) / (mMax - mMin));
        const QVector2D b(end.x() + (start.x() - end.x()) * f, end.y() + (lowestStartY - end.y()) * f);

        auto *tick = new QCPItemLine(mPlot);
        tick->start->setCoords(b.toPointF());
        tick->end->setCoords((b + t).toPointF());
        mTicks.append(tick);

        auto *label = new PlotLabel(mPlot);
        label->setLayer(QStringLiteral("overlay"));
        label->setText(locale.toString(v, 'f', decimals) + suffix);
        label->setPositionAlignment(alignment);
        label->setPadding(QMargins(4, 1, 4, 1));
        label->position->setCoords(b.toPointF());
        mTickLabels.append(label);
    }
    arrangeLabels();
    if (mCurve)
        mCurve->setPen(deviationPen());
}

namespace {

Qt::Alignment otherSide(Qt::Alignment a)
{
    Qt::Alignment flipped = a & ~(Qt::AlignLeft | Qt::AlignRight | Qt::AlignTop | Qt::AlignBottom);
    if (a & Qt::AlignLeft)
        flipped |= Qt::AlignRight;
    if (a & Qt::AlignRight)
        flipped |= Qt::AlignLeft;
    if (a & Qt::AlignTop)
        flipped |= Qt::AlignBottom;
    if (a & Qt::AlignBottom)
        flipped |= Qt::AlignTop;
    return flipped;
}

bool fitsInside(const PlotLabel *label)
{
    return QRectF(label->area()).contains(label->naturalRect());
}

} // namespace

void ErrorGraph::arrangeLabels()
{
    QVector<QRectF> shown;
    for (const auto &label : qAsConst(mTickLabels)) {
        if (!label)
            continue;
        label->setPositionAlignment(mLabelAlignment);
        if (!fitsInside(label)) {
            label->setPositionAlignment(otherSide(mLabelAlignment));
            if (!fitsInside(label))
                label->setPositionAlignment(mLabelAlignment);
        }
        const QRectF box = label->drawnRect();
        const bool overlaps = std::any_of(shown.cbegin(), shown.cend(), [&box](const QRectF &r) { return r.intersects(box); });
        label->setVisible(!overlaps);
        if (!overlaps)
            shown.append(box);
    }
}

void ErrorGraph::onPlotMouseWheel()
{
    if (mFollowZoom)
        updateGeometry();
}

void ErrorGraph::updateGeometry()
{
    if (!mPlot || !baseCoversCurve() || mBase->at(1).isEmpty())
        return;
    const QCPRange x = mPlot->xAxis->range();
    const QCPRange y = mPlot->yAxis->range();
    if (sameSize(x.size(), mXRange.size()) && sameSize(y.size(), mYRange.size()))
        return; // a pure pan is not followed
    mXRange = x;
    mYRange = y;
    updateAxisLines();
    updateCurveData();
}

void ErrorGraph::updateAxisLines()
{
    const QCPAxis *xAxis = mPlot->xAxis;
    const QCPAxis *yAxis = mPlot->yAxis;
    for (int i = 0; i < 2; ++i) {
        const double ex = xAxis->pixelToCoord(xAxis->coordToPixel(mAxisStart[i].x()) - mAxisPixelOffset[2 * i]);
        const double ey = yAxis->pixelToCoord(yAxis->coordToPixel(mAxisStart[i].y()) - mAxisPixelOffset[2 * i + 1]);
        mAxisEnd[i] = QVector2D(float(ex), float(ey));
        setAxisLine(i, mAxisStart[i], mAxisEnd[i]);
    }
    drawRuler(mAxisStart[1].y() - mAxisEnd[1].y(), mUnit);
}

void ErrorGraph::updateCurveData()
{
    const int n = mCurve ? mCurve->data()->size() : 0;
    if (n == 0 || mPointPixelDx.size() != n || mPointPixelDy.size() != n || !baseCoversCurve())
        return;
    const QCPAxis *xAxis = mPlot->xAxis;
    const QCPAxis *yAxis = mPlot->yAxis;
    const QVector<double> &baseX = mBase->at(0);
    const QVector<double> &baseY = mBase->at(1);
    QVector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = xAxis->pixelToCoord(xAxis->coordToPixel(baseX.at(i)) - mPointPixelDx.at(i));
        y[i] = yAxis->pixelToCoord(yAxis->coordToPixel(baseY.at(i)) - mPointPixelDy.at(i));
    }
    mCurve->setData(x, y);
}
