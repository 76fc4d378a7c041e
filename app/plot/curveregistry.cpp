#include "plot/curveregistry.h"

#include <qcustomplot.h>

namespace CurveRegistry {

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
