#include "plot/curvehittest.h"

#include "plot/adaptivecurve.h"
#include "plot/curveregistry.h"
#include "plot/linearaxismap.h"

#include <qcustomplot.h>

#include <cmath>
#include <limits>

namespace {

// Below this many points the library's walk is as cheap as the search.
constexpr int kSearchFrom = 64;

// The library's line building (protected there): the same polyline its hit
// test measures the segments of.
struct CurveLines : QCPCurve {
    static void get(const QCPCurve *curve, QVector<QPointF> *lines, const QCPDataRange &range, double penWidth)
    {
        (curve->*(&CurveLines::getCurveLines))(lines, range, penWidth);
    }
};

// Classes whose hit test is the library's curve test unchanged.
bool hasLibraryHitTest(const QCPCurve *curve)
{
    const QMetaObject *type = curve->metaObject();
    return type == &QCPCurve::staticMetaObject || type == &AdaptiveCurve::staticMetaObject;
}

// What one pass over the data tells the search: whether the keys ascend (all
// finite), and whether any point lies outside the view in key or in value
// (the library then adds points on the border of the view to its polyline).
struct DataShape {
    bool ascending = true;
    bool keysOutside = false;
    bool valuesOutside = false;
};

DataShape dataShape(const QCPCurveData *d, int n, const QCPRange &keyRange, const QCPRange &valueRange)
{
    DataShape shape;
    double lowValue = std::numeric_limits<double>::infinity();
    double highValue = -lowValue;
    bool ascending = true;
    for (int i = 0; i < n; ++i) {
        // Values that are not numbers draw nothing and are passed over here.
        const double v = d[i].value;
        if (v < lowValue)
            lowValue = v;
        if (v > highValue)
            highValue = v;
        if (i > 0)
            ascending &= d[i].key >= d[i - 1].key;
    }
    if (!ascending) {
        shape.ascending = false;
        return shape;
    }
    shape.ascending = std::isfinite(d[0].key) && std::isfinite(d[n - 1].key);
    shape.keysOutside = d[0].key < keyRange.lower || d[n - 1].key > keyRange.upper;
    shape.valuesOutside = lowValue < valueRange.lower || highValue > valueRange.upper;
    return shape;
}

} // namespace

bool searchCurveHit(const QCPCurve *curve, const QPointF &pos, double *distance, int *index)
{
    const QSharedPointer<QCPCurveDataContainer> data = curve->data();
    QCPAxis *keyAxis = curve->keyAxis();
    QCPAxis *valueAxis = curve->valueAxis();
    QCustomPlot *plot = curve->parentPlot();
    const int n = data->size();
    if (n < 2 || !keyAxis || !valueAxis || !plot || keyAxis->scaleType() != QCPAxis::stLinear
        || (curve->lineStyle() == QCPCurve::lsNone && curve->scatterStyle().isNone()))
        return false;
    const QRect rect = keyAxis->axisRect()->rect();

    const QCPCurveData *d = &*data->constBegin();
    const DataShape shape = dataShape(d, n, keyAxis->range(), valueAxis->range());
    if (!shape.ascending)
        return false;
    // Pixels along the key axis are monotonic in the index; sign tells which way.
    const bool horizontal = keyAxis->orientation() == Qt::Horizontal;
    const double cursorKeyPixel = horizontal ? pos.x() : pos.y();
    auto keyPixel = [&](int i) { return keyAxis->coordToPixel(d[i].key); };
    const double sign = keyPixel(n - 1) >= keyPixel(0) ? 1.0 : -1.0;
    // First index whose key pixel lies at or beyond cursorKeyPixel + offset.
    auto firstAtOrBeyond = [&](double offset, bool strictly) {
        int lo = 0;
        int hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            const double ahead = sign * (keyPixel(mid) - cursorKeyPixel);
            if (strictly ? ahead > offset : ahead >= offset)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    };

    // Nearest data point, its distance computed as the library does; among
    // equally near points the first wins. Each way, the walk stops at the first point whose
    // key distance alone is beyond the best distance: all further ones are
    // farther still.
    double bestSqr = std::numeric_limits<double>::max();
    int bestIndex = -1;
    // On linear axes a point's pixels are first estimated inline; the library's
    // conversion runs only for points that the estimate, widened by more than
    // its rounding, cannot rule out. Each visit gives the point's distance
    // ahead along the key axis and the slack of that figure.
    LinearAxisMap keyMap, valueMap;
    const bool estimate = LinearAxisMap::of(keyAxis, &keyMap) && LinearAxisMap::of(valueAxis, &valueMap);
    const double cursorValuePixel = horizontal ? pos.y() : pos.x();
    auto visit = [&](int i, double *slack) {
        if (estimate) {
            const double kp = keyMap(d[i].key);
            const double vp = valueMap(d[i].value);
            *slack = 1e-6 + 1e-12 * (std::abs(kp) + std::abs(vp));
            const double lowK = qMax(0.0, std::abs(kp - cursorKeyPixel) - *slack);
            const double lowV = qMax(0.0, std::abs(vp - cursorValuePixel) - *slack);
            if (lowK * lowK + lowV * lowV > bestSqr)
                return sign * (kp - cursorKeyPixel);
        }
        *slack = 0;
        const QPointF p = curve->coordsToPixels(d[i].key, d[i].value);
        const double distSqr = QCPVector2D(p - pos).lengthSquared();
        if (distSqr < bestSqr || (distSqr == bestSqr && i < bestIndex)) {
            bestSqr = distSqr;
            bestIndex = i;
        }
        return sign * ((horizontal ? p.x() : p.y()) - cursorKeyPixel);
    };
    const int start = firstAtOrBeyond(0, false);
    double slack = 0;
    for (int i = start; i < n; ++i) {
        const double ahead = visit(i, &slack) - slack;
        if (ahead > 0 && ahead * ahead > bestSqr)
            break;
    }
    for (int i = start - 1; i >= 0; --i) {
        const double ahead = visit(i, &slack) + slack;
        if (ahead < 0 && ahead * ahead > bestSqr)
            break;
    }
    if (bestIndex < 0) // no point at a finite distance
        return false;
    double minSqr = bestSqr;
    if (curve->lineStyle() != QCPCurve::lsNone) {
        // Only segments with a key span within reach of the cursor can be nearer
        // than the nearest point; the library's polyline over those steps,
        // with one point more on each side, holds all of them.
        const double reach = std::sqrt(bestSqr) + 2;
        const int from = qMax(0, firstAtOrBeyond(-reach, false) - 1);
        const int to = qMin(n, firstAtOrBeyond(reach, true) + 1);
        QVector<QPointF> lines;
        CurveLines::get(curve, &lines, QCPDataRange(from, to), plot->selectionTolerance() * 1.2);
        const QCPVector2D at(pos);
        for (int i = 0; i + 1 < lines.size(); ++i) {
            const QPointF &a = lines.at(i);
            const QPointF &b = lines.at(i + 1);
            // A segment is no nearer than its bounding box; the library's exact
            // distance is needed only for those whose box is within reach
            // (with room for rounding).
            const double bx = qMax(0.0, qMax(qMin(a.x(), b.x()) - pos.x(), pos.x() - qMax(a.x(), b.x())));
            const double by = qMax(0.0, qMax(qMin(a.y(), b.y()) - pos.y(), pos.y() - qMax(a.y(), b.y())));
            if (bx * bx + by * by > minSqr * (1 + 1e-9) + 1e-9)
                continue;
            const double distSqr = at.distanceSquaredToLine(a, b);
            if (distSqr < minSqr)
                minSqr = distSqr;
        }
        // Where data leaves the view, the library's polyline runs along the
        // border outside the axis rectangle, differently for a part of the
        // data than for the whole; the answer stands only when those border
        // lines are farther than it.
        const QRectF view(rect.left(), rect.top(), rect.width(), rect.height());
        double border = std::numeric_limits<double>::infinity();
        const bool outsideAlongX = horizontal ? shape.keysOutside : shape.valuesOutside;
        const bool outsideAlongY = horizontal ? shape.valuesOutside : shape.keysOutside;
        if (outsideAlongX)
            border = qMin(border, qMin(pos.x() - view.left(), view.right() - pos.x()));
        if (outsideAlongY)
            border = qMin(border, qMin(pos.y() - view.top(), view.bottom() - pos.y()));
        if (!(std::sqrt(minSqr) < border - 1))
            return false;
    }

    *distance = std::sqrt(minSqr);
    *index = bestIndex;
    return true;
}

double curveHitTest(const QCPCurve *curve, const QPointF &pos, bool onlySelectable, QVariant *details)
{
    if (!curve)
        return -1;
    QCustomPlot *plot = curve->parentPlot();
    QCPAxis *keyAxis = curve->keyAxis();
    // Short curves, curves of other classes and the library's own special
    // cases take the library's test.
    if (!hasLibraryHitTest(curve) || curve->data()->size() < kSearchFrom || !keyAxis || !curve->valueAxis()
        || !plot || (onlySelectable && curve->selectable() == QCP::stNone)
        || plot->interactions().testFlag(QCP::iSelectPlottablesBeyondAxisRect))
        return curve->selectTest(pos, onlySelectable, details);
    if (!keyAxis->axisRect()->rect().contains(pos.toPoint()))
        return -1;
    double distance = -1;
    int index = -1;
    if (!searchCurveHit(curve, pos, &distance, &index))
        return curve->selectTest(pos, onlySelectable, details);
    if (details)
        details->setValue(QCPDataSelection(QCPDataRange(index, index + 1)));
    return distance;
}

int nearestPointIndex(QCPCurve *curve, const QPoint &pixel)
{
    if (!curve || !curve->keyAxis() || !curve->valueAxis() || curve->data()->isEmpty())
        return -1;
    const double px = pixel.x();
    const double py = pixel.y();
    int best = -1;
    double bestDistance = 0;
    int i = 0;
    for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it, ++i) {
        double x = 0, y = 0;
        curve->coordsToPixels(it->key, it->value, x, y);
        const double d = (px - x) * (px - x) + (py - y) * (py - y);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

QCPCurve *nearestCurve(QCustomPlot *plot, int curveCount, const QPoint &pixel)
{
    if (!plot || !plot->xAxis || !plot->yAxis)
        return nullptr;
    const QVector<QCPCurve *> curves = CurveRegistry::curves(plot);
    const int count = std::min(curveCount, curves.size());
    QCPCurve *best = nullptr;
    double bestDistance = 0;
    for (int i = 0; i < count; ++i) {
        QCPCurve *curve = curves.at(i);
        const int index = nearestPointIndex(curve, pixel);
        if (index < 0)
            continue;
        const int size = curve->data()->size();
        const QCPCurveData &point = *(curve->data()->constBegin() + std::clamp(index, 0, size - 1));
        const double x = plot->xAxis->coordToPixel(point.key);
        const double y = plot->yAxis->coordToPixel(point.value);
        const double d = (pixel.x() - x) * (pixel.x() - x) + (pixel.y() - y) * (pixel.y() - y);
        if (!best || d < bestDistance) {
            best = curve;
            bestDistance = d;
        }
    }
    return best;
}
