#include "plot/tracegraphsholder.h"

#include "algos/fitting.h"
#include "algos/materialratio.h"
#include "algos/profileutils.h"
#include "algos/threadhandoff.h"
#include "plot/adaptivecurve.h"
#include "plot/ifiltercontrol.h"
#include "plot/xaxismarker.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/paramsmap.h"
#include "traces/profiletrace.h"

#include <QFileInfo>
#include <QtConcurrent>
#include <cmath>
#include <limits>

namespace {

constexpr int kRatioLevels = 100;

QPen dottedPen(const QColor &colour)
{
    return QPen(QBrush(colour), 1, Qt::DotLine);
}

void placeHorizontal(QCPItemStraightLine *line, double level)
{
    line->point1->setCoords(0, level);
    line->point2->setCoords(0.01, level);
}

// Shows the level or cursor line of each plot at one height, dotted and not selectable.
void showHorizontalLines(const std::array<QPointer<QCPItemStraightLine>, 3> &lines, double level,
    const QColor &colour)
{
    for (const auto &line : lines) {
        if (!line)
            continue;
        placeHorizontal(line, level);
        line->setVisible(true);
        line->setPen(dottedPen(colour));
        line->setSelectable(false);
    }
}

// The material-ratio curve of the displayed points, counted on a worker
// while the GUI thread counts the amplitude density.
struct RatioCounting {
    bool onCurve;
    const QCPCurveData *curvePoints;
    int curveCount;
    QVector<double> levels;
    QVector<double> x;
    QVector<double> y;
    QVector<double> ratio;

    void run()
    {
        takeOver(this);
        ratio = onCurve ? ratioAtLevels(&curvePoints->key, &curvePoints->value, curveCount, 3, levels)
                        : materialRatioAtLevels(x, y, levels);
        handOff(this);
    }
};

} // namespace

QVector<double> materialRatioAtLevels(const QVector<double> &x, const QVector<double> &y, const QVector<double> &levels)
{
    return ratioAtLevels(x.constData(), y.constData(), qMin(x.size(), y.size()), 1, levels);
}

QVector<double> ratioAtLevels(const double *px, const double *py, int n, int stride, const QVector<double> &levels)
{
    // Each pair adds its area to every level below its first point. Levels
    // ascend, so the pair's area goes into the bucket of the number of levels
    // below it, and the sums are the totals of the buckets above each level.
    auto x = [px, stride](int i) { return px[qint64(i) * stride]; };
    auto y = [py, stride](int i) { return py[qint64(i) * stride]; };
    const int count = levels.size();
    const double *level = levels.constData();
    // Finite levels in order (the view's levels are equally spaced) let the
    // count of levels below a point be guessed by division and settled
    // against the levels themselves; otherwise it is found by bisection.
    bool ordered = count > 1 && std::isfinite(level[0]) && std::isfinite(level[count - 1]) && level[count - 1] > level[0];
    for (int k = 1; ordered && k < count; ++k)
        ordered = level[k] >= level[k - 1];
    const double scale = ordered ? (count - 1) / (level[count - 1] - level[0]) : 0.0;
    QVector<double> bucket(count + 1, 0.0);
    for (int i = 0; i + 2 < n; ++i) {
        const double v = y(i);
        const double area = std::abs((v + y(i + 1)) * (x(i + 1) - x(i)) / 2);
        // Levels strictly below v.
        int lo = 0;
        if (ordered) {
            if (v > level[0]) {
                const double guess = (v - level[0]) * scale;
                lo = guess < count ? int(guess) : count;
                while (lo > 0 && !(v > level[lo - 1]))
                    --lo;
                while (lo < count && v > level[lo])
                    ++lo;
            }
        } else {
            int hi = count;
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (v > level[mid])
                    lo = mid + 1;
                else
                    hi = mid;
            }
        }
        bucket[lo] += area;
    }
    // A pair counts for level k exactly when more than k levels lie below it.
    QVector<double> areas(count, 0.0);
    double total = 0;
    for (int k = count - 1; k >= 0; --k) {
        total += bucket[k + 1];
        areas[k] = total;
    }
    double largest = 0;
    for (double a : qAsConst(areas))
        largest = qMax(largest, a);
    QVector<double> ratio(count);
    for (int k = 0; k < count; ++k)
        ratio[k] = areas[k] / largest * 100;
    return ratio;
}

int allowedCutOff(int recommended, double traceLength, int current)
{
    QVector<int> allowed;
    for (double m : Common::kCutOffLengths) {
        if (traceLength >= 2 * int(m))
            allowed.append(int(m));
    }
    if (allowed.contains(recommended))
        return recommended;
    if (allowed.isEmpty())
        return current;
    int nearest = allowed.first();
    for (int m : qAsConst(allowed)) {
        if (std::abs(m - recommended) < std::abs(nearest - recommended))
            nearest = m;
    }
    return nearest;
}

TraceGraphsHolder::TraceGraphsHolder(QWidget *owner, AbstractTrace *trace, QCustomPlot *plotMain, QCustomPlot *plotHist,
    QCustomPlot *plotRMR, IFilterControl *filterControl)
    : mTrace(trace)
    , mPlots { plotMain, plotHist, plotRMR }
    , mOwner(owner)
    , mFilterControl(filterControl)
    , mUnit(QString::fromUtf8("мм"))
{
    mHistogramDensity = Settings::instance().preferenses.histogramm_density_value;

    mHistogramGraph = plotHist->addGraph(plotHist->yAxis, plotHist->xAxis);
    mRatioGraph = plotRMR->addGraph(plotRMR->yAxis, plotRMR->xAxis);
    mCurve = new AdaptiveCurve(plotMain->xAxis, plotMain->yAxis);
    mFormGraph = plotMain->addGraph();
    mFormGraph->setSelectable(QCP::stNone);
    mFormGraph->setVisible(false);
    for (int i = 0; i < 3; ++i) {
        mLevelLines[i] = new QCPItemStraightLine(mPlots[i]);
        mLevelLines[i]->setSelectable(false);
        mLevelLines[i]->setVisible(false);
        mLevelLines[i]->setPen(dottedPen(Qt::red));
        mCursorLines[i] = new QCPItemStraightLine(mPlots[i]);
        mCursorLines[i]->setSelectable(false);
        mCursorLines[i]->setVisible(false);
        mCursorLines[i]->setPen(dottedPen(Qt::blue));
    }
    const QVariant self = QVariant::fromValue(this);
    mRatioGraph->setProperty("gholder", self);
    mHistogramGraph->setProperty("gholder", self);
    mCurve->setProperty("gholder", self);
    mCurve->setPen(Common::kBlackPen);
    mRatioGraph->setPen(Common::kBlackPen);
    mFormGraph->setPen(dottedPen(Qt::red));

    mStartMarker = new XAxisMarker(mCurve->keyAxis());
    mEndMarker = new XAxisMarker(mCurve->keyAxis());
    mStartMarker->label()->setPen(Common::kMagentaDashPen);
    mEndMarker->label()->setPen(Common::kMagentaDashPen);

    connect(mCurve.data(), QOverload<const QCPDataSelection &>::of(&QCPAbstractPlottable::selectionChanged), this,
        &TraceGraphsHolder::graphSelectionChanged);
    mCurve->setSelectable(QCP::stDataRange);
}

TraceGraphsHolder::~TraceGraphsHolder()
{
    delete mStartMarker;
    delete mEndMarker;
    if (mPlots[1] && mHistogramGraph)
        mPlots[1]->removeGraph(mHistogramGraph);
    if (mPlots[2] && mRatioGraph)
        mPlots[2]->removeGraph(mRatioGraph);
    if (mPlots[0]) {
        if (mFormGraph)
            mPlots[0]->removeGraph(mFormGraph);
        if (mCurve)
            mPlots[0]->removePlottable(mCurve);
    }
    for (int i = 0; i < 3; ++i) {
        if (!mPlots[i])
            continue;
        if (mLevelLines[i])
            mPlots[i]->removeItem(mLevelLines[i]);
        if (mCursorLines[i])
            mPlots[i]->removeItem(mCursorLines[i]);
    }
}

AdaptiveCurve *TraceGraphsHolder::curve() const
{
    return mCurve;
}

XAxisMarker *TraceGraphsHolder::startMarker() const
{
    return mStartMarker;
}

XAxisMarker *TraceGraphsHolder::endMarker() const
{
    return mEndMarker;
}

bool TraceGraphsHolder::isVisible() const
{
    return mCurve && mCurve->visible();
}

ProfileTrace *TraceGraphsHolder::profileTrace() const
{
    if (!mTrace || !isProfileTraceKind(mTrace->traceType))
        return nullptr;
    return dynamic_cast<ProfileTrace *>(mTrace);
}

QString TraceGraphsHolder::traceTitle() const
{
    if (!mTrace)
        return QString();
    const QString file = QFileInfo(mTrace->filePath()).completeBaseName();
    const ProfileTrace *run = profileTrace();
    if (!run || run->traceType != ADDITIONAL_TRACE || !run->parentTrace)
        return file;
    const int place = run->parentTrace->additionalTraces.indexOf(const_cast<ProfileTrace *>(run)) + 1;
    return QStringLiteral("%1, доп. трасса %2").arg(file).arg(place);
}

void TraceGraphsHolder::updateTraceGraph(bool rLine, bool rFit)
{
    mRLine = rLine;
    mRFit = rFit;
    ++mDrawGeneration;

    mX = QVector<double>();
    mY = QVector<double>();
    mDrawnX = QVector<double>();
    mDrawnY = QVector<double>();
    const TData *processed = mTrace ? mTrace->processedData.get() : nullptr;
    if (processed && processed->size() >= 2) {
        mX = processed->at(0);
        mY = processed->at(1);
        mDrawnX = mX;
        mDrawnY = mY;
    }
    mDrawnFactor = mUnitFactor;
    mPointsOnCurve = false;
    if (mCurve && !rLine && mX.size() == mY.size()) {
        // Without the form fit the displayed points are kept once, on the
        // curve; x() and y() copy them out only when asked.
        // A curve already holding as many points (the one drawn while the
        // trace was read, or the drawing before) is written over in place;
        // otherwise its points are let go before the new ones are made, so
        // that two drawings of a long trace are never held together.
        const int n = mX.size();
        const double *px = mX.constData();
        const double *py = mY.constData();
        double sum = 0;
        setCurvePoints(*mCurve, n, [&](int i) {
            const double y = py[i] * mUnitFactor;
            sum += y * y;
            return QPointF(px[i] * mUnitFactor, y);
        });
        mRms = std::sqrt(sum / n);
        mX = QVector<double>();
        mY = QVector<double>();
        mFormX.clear();
        mFormY.clear();
        updateLevelLines(false);
        mPointsOnCurve = true;
        return;
    }
    // The points drawn before are let go before the new ones are made.
    if (mCurve)
        mCurve->data()->set(QVector<QCPCurveData>(), true);
    for (double &v : mX)
        v *= mUnitFactor;
    for (double &v : mY)
        v *= mUnitFactor;

    mFormX.clear();
    mFormY.clear();
    computeRms();

    if (rLine) {
        QVector<double> c;
        // The fit refuses degenerate input (too few distinct x); the form then
        // stays empty and the profile is drawn as measured.
        if (mX.size() == mY.size() && PolynomialRegression().fit(mX, mY, 2, c) && c.size() == 3) {
            mFormX = mX;
            mFormY.reserve(mX.size());
            for (double x : qAsConst(mX))
                mFormY.append(c[2] * x * x + c[1] * x + c[0]);
            if (rFit) {
                for (int i = 0; i < mY.size(); ++i)
                    mY[i] -= mFormY[i] - mRms;
            }
        }
    }
    updateLevelLines(rLine);
    if (mCurve) {
        // What setData(mX, mY) stores: parameter t is the index.
        const double *x = mX.constData();
        const double *y = mY.constData();
        setCurvePoints(*mCurve, qMin(mX.size(), mY.size()), [x, y](int i) { return QPointF(x[i], y[i]); });
    }
}

bool TraceGraphsHolder::drawingIsCurrent() const
{
    // The drawn channels are held (shared), so a trace that changed them in
    // any way holds other storage now.
    const TData *processed = mTrace ? mTrace->processedData.get() : nullptr;
    if (!processed || processed->size() < 2)
        return false;
    const QVector<double> &x = processed->at(0);
    const QVector<double> &y = processed->at(1);
    return !mDrawnX.isEmpty() && x.constData() == mDrawnX.constData() && x.size() == mDrawnX.size()
        && y.constData() == mDrawnY.constData() && y.size() == mDrawnY.size() && mDrawnFactor == mUnitFactor;
}

void TraceGraphsHolder::takePointsFromCurve() const
{
    if (!mPointsOnCurve)
        return;
    mPointsOnCurve = false;
    mX.clear();
    mY.clear();
    if (!mCurve)
        return;
    const int n = mCurve->dataCount();
    mX.reserve(n);
    mY.reserve(n);
    for (const QCPCurveData &point : *mCurve->data()) {
        mX.append(point.key);
        mY.append(point.value);
    }
}

int TraceGraphsHolder::drawnCount() const
{
    if (mPointsOnCurve)
        return mCurve ? mCurve->dataCount() : 0;
    return qMin(mX.size(), mY.size());
}

QPointF TraceGraphsHolder::drawnPoint(int i) const
{
    if (mPointsOnCurve) {
        const QCPCurveData &point = *(mCurve->data()->constBegin() + i);
        return QPointF(point.key, point.value);
    }
    return QPointF(mX[i], mY[i]);
}

void TraceGraphsHolder::computeRms()
{
    double sum = 0;
    const int n = qMin(mX.size(), mY.size());
    for (int i = 0; i < n; ++i)
        sum += mY[i] * mY[i];
    mRms = std::sqrt(sum / mY.size());
}

void TraceGraphsHolder::updateLevelLines(bool show)
{
    mLevelShown = show;
    if (show) {
        if (mFormGraph)
            mFormGraph->setVisible(false);
        showHorizontalLines(mLevelLines, mRms, Qt::red);
    } else {
        if (mFormGraph) {
            mFormGraph->setData(mFormX, mFormY);
            mFormGraph->setVisible(true);
            mFormGraph->setSelectable(QCP::stNone);
        }
        for (const auto &line : mLevelLines) {
            if (!line)
                continue;
            line->setVisible(false);
            line->setSelectable(false);
        }
    }
}

void TraceGraphsHolder::setUnit(const QString &unit, bool redraw)
{
    mUnit = unit;
    if (unit == QString::fromUtf8("мм"))
        mUnitFactor = 0.001;
    else if (unit == QString::fromUtf8("мкм"))
        mUnitFactor = 1.0;
    else if (unit == QString::fromUtf8("нм"))
        mUnitFactor = 1000.0;
    // A drawing of the same points in the same unit stays as it is.
    if (redraw && !drawingIsCurrent())
        updateTraceGraph(mRLine, mRFit);
}

void TraceGraphsHolder::updateHistogram()
{
    if (!mPlots[0] || !mHistogramGraph || !mRatioGraph)
        return;
    const QCPRange xRange = mPlots[0]->xAxis->range();
    const QCPRange yRange = mPlots[0]->yAxis->range();
    const double step = (yRange.upper - yRange.lower) / kRatioLevels;

    const double xr[2] = { xRange.lower, xRange.upper };
    const double yr[2] = { yRange.lower, yRange.upper };
    // The displayed points, where they are kept: on the curve (key and value
    // of each curve point) or in mX and mY.
    static_assert(sizeof(QCPCurveData) == 3 * sizeof(double), "curve points are t, key and value");
    const bool onCurve = mPointsOnCurve && mCurve && mCurve->dataCount() > 0;
    const QCPCurveData *curvePoints = onCurve ? &*mCurve->data()->constBegin() : nullptr;
    const int curveCount = onCurve ? mCurve->dataCount() : 0;

    // Every replot of the main plot asks again; the same view of the same
    // points gives the same curves, which the plots already show.
    const HistogramInputs inputs { xRange.lower, xRange.upper, yRange.lower, yRange.upper, mUnitFactor,
        mHistogramDensity, mDrawGeneration, curvePoints, curveCount, mX.constData(),
        mX.size(), mY.constData(), mY.size() };
    mHistogramGraph->setPen(QPen(Qt::NoPen));
    mHistogramGraph->setBrush(QBrush(QColor(10, 140, 70, 160), Qt::SolidPattern));
    if (mHistogramInputs && *mHistogramInputs == inputs)
        return;
    mHistogramInputs = inputs;

    mRatioLevels.resize(kRatioLevels);
    for (int k = 0; k < kRatioLevels; ++k)
        mRatioLevels[k] = yRange.lower + k * step;
    // Both curves only read the displayed points, each in a pass of its own
    // over every point: the material-ratio curve is counted on another core
    // while the amplitude density is counted here. Nothing changes the points
    // before the counting has ended below.
    RatioCounting counting { onCurve, curvePoints, curveCount, mRatioLevels, mX, mY, {} };
    handOff(&counting);
    QFuture<void> counted = QtConcurrent::run(&counting, &RatioCounting::run);

    TData histogram = onCurve
        ? Algos::amplitudeDensityInRect(&curvePoints->key, &curvePoints->value, curveCount, 3, mHistogramDensity, xr, yr)
        : Algos::amplitudeDensityInRect(TData { mX, mY }, mHistogramDensity, xr, yr);
    if (histogram.size() == 2) {
        mHistogramGraph->setData(histogram[0], histogram[1], false);
        if (ProfileTrace *profile = profileTrace()) {
            for (double &level : histogram[0])
                level /= mUnitFactor;
            profile->histogram = histogram;
        }
    }

    counted.waitForFinished();
    takeOver(&counting);
    mRatio = counting.ratio;
    mRatioGraph->setData(mRatioLevels, mRatio, true);
}

bool TraceGraphsHolder::HistogramInputs::operator==(const HistogramInputs &o) const
{
    return xLower == o.xLower && xUpper == o.xUpper && yLower == o.yLower && yUpper == o.yUpper
        && unitFactor == o.unitFactor && density == o.density && generation == o.generation
        && curvePoints == o.curvePoints && curveCount == o.curveCount && xs == o.xs && xCount == o.xCount
        && ys == o.ys && yCount == o.yCount;
}

void TraceGraphsHolder::graphSelectionChanged(const QCPDataSelection &selection)
{
    if (selection.dataPointCount() == 0) {
        if (mStartMarker)
            mStartMarker->setVisible(false);
        if (mEndMarker)
            mEndMarker->setVisible(false);
        mMarkersShown = false;
        return;
    }
    const QCPDataRange range = selection.dataRange(0);
    // The curve holds the displayed points, so a valid range lies inside them;
    // the bound check only guards against a curve changed behind our back.
    if (range.begin() >= 0 && range.begin() <= range.end() && range.end() - 1 < drawnCount()
        && range.end() > range.begin()) {
        const int first = range.begin();
        const int last = range.end() - 1;
        for (auto [marker, i] :
            { std::make_pair(mStartMarker.data(), first), std::make_pair(mEndMarker.data(), last) }) {
            if (!marker)
                continue;
            const QPointF p = drawnPoint(i);
            marker->setPosition(p.x(), p.y());
            marker->label()->setText(QString::number(p.x(), 'g', 6));
            marker->setVisible(true);
        }
        mMarkersShown = true;
    }
    qDebug() << "selection change ended";
}

void TraceGraphsHolder::cropToSelection()
{
    if (!mCurve || !mTrace)
        return;
    const QCPDataSelection selection = mCurve->selection();
    if (selection.isEmpty())
        return;
    const QCPDataRange range = selection.dataRange(0);
    if (range.begin() < 0 || range.end() < range.begin())
        return;
    // The crop keeps [from, to); to = end keeps the last selected point, on
    // which the end marker sits.
    mTrace->crop(range.begin(), range.end());
    mMarkersShown = false;
    if (mStartMarker)
        mStartMarker->setVisible(false);
    if (mEndMarker)
        mEndMarker->setVisible(false);
    updateTraceGraph(mRLine, mRFit);
}

void TraceGraphsHolder::showCursorAt(double value, double level)
{
    double bestKey = 0;
    double bestLevelDistance = std::numeric_limits<double>::max();
    double bestValueDistance = std::numeric_limits<double>::max();
    if (mRatioGraph) {
        for (const QCPGraphData &point : *mRatioGraph->data()) {
            const double levelDistance = std::abs(level - point.key);
            const double valueDistance = std::abs(value - point.value);
            if (levelDistance < bestLevelDistance && valueDistance < bestValueDistance) {
                bestLevelDistance = levelDistance;
                bestValueDistance = valueDistance;
                bestKey = point.key;
            }
        }
    }
    showHorizontalLines(mCursorLines, bestKey, Qt::blue);
    mCursorShown = true;
}

void TraceGraphsHolder::setVisible(bool visible)
{
    if (mCurve)
        mCurve->setVisible(visible);
    for (int i = 0; i < 3; ++i) {
        if (mLevelShown && mLevelLines[i])
            mLevelLines[i]->setVisible(visible);
        if (mCursorShown && mCursorLines[i])
            mCursorLines[i]->setVisible(visible);
    }
    if (!mLevelShown && mFormGraph)
        mFormGraph->setVisible(visible);
    if (mHistogramGraph)
        mHistogramGraph->setVisible(visible);
    if (mRatioGraph)
        mRatioGraph->setVisible(visible);
    if (mMarkersShown) {
        if (mStartMarker)
            mStartMarker->setVisible(visible);
        if (mEndMarker)
            mEndMarker->setVisible(visible);
    }
}

void TraceGraphsHolder::setPointsMode(bool points)
{
    if (!mCurve)
        return;
    if (points) {
        mCurve->setLineStyle(QCPCurve::lsNone);
        mCurve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, Qt::black, 1));
    } else {
        mCurve->setLineStyle(QCPCurve::lsLine);
        mCurve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone, 6));
    }
}

void TraceGraphsHolder::applySelectedPens()
{
    const QPen pen(QColor(Settings::instance().preferenses.selected_graph_color), 1, Qt::SolidLine);
    if (mCurve)
        mCurve->setPen(pen);
    if (mHistogramGraph)
        mHistogramGraph->setPen(pen);
    if (mRatioGraph)
        mRatioGraph->setPen(pen);
}

void TraceGraphsHolder::applyNormalPens()
{
    if (mCurve)
        mCurve->setPen(Common::kBlackPen);
    if (mHistogramGraph)
        mHistogramGraph->setPen(Common::kBlackPen);
    if (mRatioGraph)
        mRatioGraph->setPen(Common::kBlackPen);
}

bool TraceGraphsHolder::askFilterChange(int cutOff)
{
    if (!mFilterControl)
        return false;
    const IFilterControl::Answer answer = mFilterControl->askFilterChange(mOwner, cutOff, traceTitle());
    if (answer.remembered) {
        Settings &settings = Settings::instance();
        settings.preferenses.is_ask_before_change_filter = false;
        settings.preferenses.is_accept_filter = answer.accepted;
        settings.save();
    }
    return answer.accepted;
}

void TraceGraphsHolder::checkFilter()
{
    ProfileTrace *profile = profileTrace();
    if (!profile)
        return;
    const double length = profile->length();
    // The cut-off the trace was taken with, which the check and the question
    // are about (the instrument may have another by now: traces taken back
    // to back are checked after the last one ended). Otherwise the bounded
    // view of the settings index: a damaged value never reads outside the
    // cut-off table.
    int current = Common::kCutOffLengths.contains(profile->cutOff)
        ? int(profile->cutOff)
        : int(Common::cutOffLength(Settings::instance().filterIndex()));
    QVector<int> tried;
    // Every pass tries a cut-off not tried before, so the table bounds the loop.
    while (tried.size() < Common::kCutOffLengths.size()) {
        tried.append(current);

        // Ra as evaluated: with repeated runs the mean of them, the value
        // the parameter table shows before its spread. A trace too short
        // for its cut-off has no value; a flat one (Ra at the rounding
        // noise of its arithmetic) has no texture to choose a cut-off for.
        ExtraArgs args;
        const double ra = calcParamValue(args, profile, QStringLiteral("Ra")).mean();
        constexpr double kFlatRa = 1e-9; // µm
        if (!(ra > kFlatRa))
            return;

        const int recommended = allowedCutOff(Algos::recommendedCutoff(ra), length, current);
        if (tried.contains(recommended) || recommended == current)
            return;

        // Without the profile window there is nobody to ask and nothing to
        // apply the cut-off to.
        if (!mFilterControl) {
            qDebug() << "checkFilter: no control panel to apply cut-off" << recommended;
            return;
        }
        const Settings &settings = Settings::instance();
        const bool accepted = settings.preferenses.is_ask_before_change_filter ? askFilterChange(recommended)
                                                                               : settings.preferenses.is_accept_filter;
        if (!accepted)
            return;

        const int index = Common::kCutOffLengths.indexOf(double(recommended));
        if (index < 0)
            return;
        mFilterControl->setFilterIndex(index);
        current = recommended;
        mFilterControl->setTraceCutOff(profile, Common::kCutOffLengths.at(index));
    }
}
