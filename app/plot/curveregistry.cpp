#include "plot/curveregistry.h"

#include <algorithm>
#include <qcustomplot.h>

namespace CurveRegistry {

DataBounds dataBounds(const QVector<QCPCurve *> &curves)
{
    DataBounds b;
    for (const QCPCurve *curve : curves) {
        const QCPCurveDataContainer &data = *curve->data();
        for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
            b.minKey = std::min(b.minKey, it->key);
            b.maxKey = std::max(b.maxKey, it->key);
            b.minValue = std::min(b.minValue, it->value);
            b.maxValue = std::max(b.maxValue, it->value);
        }
    }
    return b;
}

QVector<QCPCurve *> curves(const QCustomPlot *plot)
{
    QVector<QCPCurve *> result;
    if (!plot)
        return result;
    auto *p = const_cast<QCustomPlot *>(plot);
    const int n = p->plottableCount();
    for (int i = 0; i < n; ++i) {
        if (auto *c = qobject_cast<QCPCurve *>(p->plottable(i)))
            result.append(c);
    }
    return result;
}

int curveCount(const QCustomPlot *plot)
{
    return curves(plot).size();
}

QCPCurve *curve(const QCustomPlot *plot, int index)
{
    const QVector<QCPCurve *> all = curves(plot);
    if (index < 0 || index >= all.size()) {
        qDebug() << "QCPCurve* QCustomPlot::curve(int) const" << "index out of bounds:" << index;
        return nullptr;
    }
    return all.at(index);
}

QCPCurve *curve(const QCustomPlot *plot)
{
    const QVector<QCPCurve *> all = curves(plot);
    return all.isEmpty() ? nullptr : all.last();
}

int indexOf(const QCustomPlot *plot, const QCPCurve *c)
{
    return curves(plot).indexOf(const_cast<QCPCurve *>(c));
}

} // namespace CurveRegistry
