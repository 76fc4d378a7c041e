#include "plot/adaptivecurve.h"

#include "plot/clipsegment.h"
#include "plot/linearaxismap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isNan(const QPointF &p)
{
    return std::isnan(p.x()) || std::isnan(p.y());
}

} // namespace

AdaptiveCurve::AdaptiveCurve(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPCurve(keyAxis, valueAxis)
{
}

QVector<QPointF> AdaptiveCurve::thinLine(const QVector<QPointF> &lines) const
{
    if (!mAdaptive || lines.size() <= 2)
        return lines;

    QVector<QPointF> kept;
    kept.reserve(qMin(lines.size(), 4096));
    auto it = lines.cbegin();
    // Points with a coordinate that is not a number are never kept, and the
    // reference is the first point with real coordinates (a leading NaN would
    // otherwise compare false with everything after it and empty the line).
    while (it != lines.cend() && isNan(*it))
        ++it;
    if (it == lines.cend())
        return kept;
    double refX = it->x();
    double refY = it->y();
    kept.append(*it);
    for (++it; it != lines.cend(); ++it) {
        const double x = it->x();
        const double y = it->y();
        if (std::isnan(x) || std::isnan(y))
            continue;
        if (x > refX + 1 || x < refX - 1 || y > refY + 1 || y < refY - 1) {
            kept.append(*it);
            refX = x;
            refY = y;
        }
    }
    return kept;
}

void AdaptiveCurve::reserveData(int count)
{
    if (mDataContainer->isEmpty() || count <= mDataContainer->size())
        return;
    QVector<QCPCurveData> storage;
    storage.reserve(count);
    for (const QCPCurveData &point : *mDataContainer)
        storage.append(point);
    // The container shares the storage, and is its only holder once this
    // function returns: its later additions fill the reserved room in place.
    mDataContainer->set(storage, true);
}

void AdaptiveCurve::drawCurveLine(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    QCPCurve::drawCurveLine(painter, thinLine(lines));
}

namespace {

// The storage the thinned lines of this thread's curves are built in, kept
// from one draw to the next: a long trace's line runs to megabytes, and a
// replot then neither grows a new one nor touches fresh memory for it.
// A curve draws one line at a time and is done with it before the next.
QVector<QPointF> &lineStorage()
{
    thread_local QVector<QPointF> storage;
    return storage;
}

// The visible pieces of a thinned line, written to out (emptied first): each
// kept segment clipped to the visible area; separate pieces are divided by a
// NaN point, which ends a polyline.
class VisibleLine {
public:
    VisibleLine(const QRectF &clip, QVector<QPointF> &out)
        : mClip(clip)
        , mOut(out)
    {
        mOut.clear();
    }
    void addSegment(QPointF a, QPointF b)
    {
        if (!clipSegment(mClip, a, b))
            return;
        if (mOut.isEmpty() || mOut.last() != a) {
            if (!mOut.isEmpty())
                mOut.append(QPointF(std::numeric_limits<double>::quiet_NaN(), 0));
            mOut.append(a);
        }
        mOut.append(b);
    }
    // A lone point (all others within a pixel of it) draws nothing, as a
    // one-point polyline would not.

private:
    QRectF mClip;
    QVector<QPointF> &mOut;
};

// One pass over the data, thinning by the one-pixel rule. This loop is the
// whole cost of drawing a long trace, so the orientation is a template
// parameter, the point is kept in two doubles and the test is branch-free.
template <bool KeyHorizontal>
void buildThinnedLine(const QCPCurveData *it, const QCPCurveData *end, const LinearAxisMap keyMap,
    const LinearAxisMap valueMap, const QRectF &clip, QVector<QPointF> &out)
{
    auto pixelX = [&](const QCPCurveData &d) { return KeyHorizontal ? keyMap(d.key) : valueMap(d.value); };
    auto pixelY = [&](const QCPCurveData &d) { return KeyHorizontal ? valueMap(d.value) : keyMap(d.key); };
    while (it != end && (std::isnan(pixelX(*it)) || std::isnan(pixelY(*it))))
        ++it;
    VisibleLine line(clip, out);
    if (it == end)
        return;
    double refX = pixelX(*it);
    double refY = pixelY(*it);
    for (++it; it != end; ++it) {
        const double x = pixelX(*it);
        const double y = pixelY(*it);
        // Comparisons with NaN are false, so points that are not numbers drop here too.
        const bool keep = (x > refX + 1) | (x < refX - 1) | (y > refY + 1) | (y < refY - 1);
        if (!keep)
            continue;
        line.addSegment(QPointF(refX, refY), QPointF(x, y));
        refX = x;
        refY = y;
    }
}

} // namespace

bool AdaptiveCurve::keysAscend() const
{
    const int n = mDataContainer->size();
    if (n == 0)
        return false;
    const QCPCurveData *first = &*mDataContainer->constBegin();
    const double firstKey = first->key;
    const double lastKey = first[n - 1].key;
    KeyOrder &k = mKeyOrder;
    // Keys that are not numbers compare unequal to themselves, so such a
    // curve is checked again each time (and found not to ascend).
    if (k.container != mDataContainer.data() || k.first != first || k.size != n || !(k.firstKey == firstKey)
        || !(k.lastKey == lastKey)) {
        bool ascends = true;
        for (int i = 1; i < n && ascends; ++i)
            ascends = first[i - 1].key <= first[i].key;
        k = KeyOrder { mDataContainer.data(), first, n, firstKey, lastKey, ascends };
    }
    return k.ascends;
}

QCPDataRange AdaptiveCurve::visibleKeyRange(const QCPDataRange &range) const
{
    if (range.isEmpty() || !keysAscend())
        return range;
    const QCPRange keys = mKeyAxis->range();
    const QCPCurveData *data = &*mDataContainer->constBegin();
    const QCPCurveData *begin = data + range.begin();
    const QCPCurveData *end = data + range.end();
    const QCPCurveData *from
        = std::lower_bound(begin, end, keys.lower, [](const QCPCurveData &d, double key) { return d.key < key; });
    const QCPCurveData *to
        = std::upper_bound(from, end, keys.upper, [](double key, const QCPCurveData &d) { return key < d.key; });
    const int first = std::max(range.begin(), int(from - data) - 1);
    const int last = std::min(range.end(), int(to - data) + 1);
    return QCPDataRange(first, last);
}

const QVector<QPointF> &AdaptiveCurve::thinnedVisibleLine(const QCPDataRange &wholeRange, double penWidth) const
{
    QVector<QPointF> &line = lineStorage();
    // Keys that ascend let the walk skip what lies outside the key axis's
    // range, so a zoomed-in replot costs what it shows.
    const QCPDataRange range = visibleKeyRange(wholeRange);
    LinearAxisMap keyMap, valueMap;
    if (!LinearAxisMap::of(mKeyAxis.data(), &keyMap) || !LinearAxisMap::of(mValueAxis.data(), &valueMap)) {
        line.clear();
        return line;
    }
    const double margin = penWidth + 2;
    const QRectF clip = QRectF(clipRect()).adjusted(-margin, -margin, margin, margin);
    const QCPCurveData *begin = &*mDataContainer->constBegin() + range.begin();
    const QCPCurveData *end = begin + range.size();
    if (mKeyAxis->orientation() == Qt::Horizontal)
        buildThinnedLine<true>(begin, end, keyMap, valueMap, clip, line);
    else
        buildThinnedLine<false>(begin, end, keyMap, valueMap, clip, line);
    return line;
}

void AdaptiveCurve::draw(QCPPainter *painter)
{
    LinearAxisMap probe;
    const bool fastPath = mAdaptive && mLineStyle == lsLine && mBrush.style() == Qt::NoBrush
        && LinearAxisMap::of(mKeyAxis.data(), &probe) && LinearAxisMap::of(mValueAxis.data(), &probe);
    if (!fastPath || mDataContainer->isEmpty()) {
        QCPCurve::draw(painter);
        return;
    }

    QList<QCPDataRange> selectedSegments, unselectedSegments, allSegments;
    getDataSegments(selectedSegments, unselectedSegments);
    allSegments << unselectedSegments << selectedSegments;
    const QCPDataRange whole = mDataContainer->dataRange();
    for (int i = 0; i < allSegments.size(); ++i) {
        const bool selectedSegment = i >= unselectedSegments.size();
        const QPen pen = selectedSegment && mSelectionDecorator ? mSelectionDecorator->pen() : mPen;
        // An unselected piece reaches over to the neighbouring selected points,
        // so that the line runs on without a gap.
        const QCPDataRange lineRange
            = selectedSegment ? allSegments.at(i) : allSegments.at(i).adjusted(-1, 1).bounded(whole);

        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        QCPCurve::drawCurveLine(painter, thinnedVisibleLine(lineRange, pen.widthF()));

        QCPScatterStyle scatterStyle = mScatterStyle;
        if (selectedSegment && mSelectionDecorator)
            scatterStyle = mSelectionDecorator->getFinalScatterStyle(mScatterStyle);
        if (!scatterStyle.isNone()) {
            QVector<QPointF> scatters;
            getScatters(&scatters, allSegments.at(i), scatterStyle.size());
            drawScatterPlot(painter, scatters, scatterStyle);
        }
    }
    if (mSelectionDecorator)
        mSelectionDecorator->drawDecoration(painter, selection());
}
