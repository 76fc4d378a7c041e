#include "measurements/thread.h"

#include "measurements/threadfit.h"
#include "plot/plotwidget.h"

#include <QMouseEvent>

Thread::Thread(PlotWidget *plot)
    : ClickDistaceMeasurement(29, plot, QStringLiteral("Средний диаметр"))
    , fittedLine(new QCPItemLine(plot))
{
    setLineVisible(false);
    addConnection(connect(plot, &QCustomPlot::mouseRelease, this, &Thread::onPlotMouseRelease));
}

Thread::~Thread()
{
    if (PlotWidget *p = plot())
        p->removeItem(fittedLine);
}

void Thread::setLinePoints(QPointF a, QPointF b)
{
    fittedLine->start->setCoords(float(a.x()), float(a.y()));
    fittedLine->end->setCoords(float(b.x()), float(b.y()));
}

void Thread::onPlotMouseRelease(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QCPCurve *curve = plot() ? plot()->selectedCurve() : nullptr;
    if (!curve)
        return;
    const auto data = curve->data();
    const QCPCurveData *first = data->constBegin();
    const QCPCurveData *end = data->constEnd();
    // The drawn line follows every move of the descent, across the curve.
    auto draw = [this, first, end](const Algos::RMS &line) {
        if (first == end)
            return;
        const double xFirst = first->key;
        const double xLast = (end - 1)->key;
        setLinePoints(QPointF(xFirst, line.value(xFirst)), QPointF(xLast, line.value(xLast)));
    };
    fitter = ThreadFit::fitLine(first, end, &referenceCount, draw);
    draw(fitter);
    coefficients = { fitter.coefficient(1), fitter.coefficient(0) };
    finishMeasurement();
    Q_EMIT measumentFinished();
}
