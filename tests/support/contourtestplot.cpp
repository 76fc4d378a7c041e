#include "support/contourtestplot.h"

#include "plot/plottesthelpers.h"
#include "support/neutralcalibration.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QtGlobal>

namespace ContourTest {

ContourTrace *makeTrace(const QVector<QPointF> &points)
{
    useNeutralContourCalibration();
    QVector<QVector<double>> columns(3);
    for (const QPointF &p : points) {
        columns[0].append(p.x());
        columns[1].append(p.y());
        columns[2].append(0.0);
    }
    auto *trace = new ContourTrace(columns);
    trace->recalculate();
    return trace;
}

ContourTrace *makeTrace(int n, double x0, double step, const std::function<double(double)> &f)
{
    QVector<QPointF> points;
    points.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double x = x0 + i * step;
        points.append(QPointF(x, f(x)));
    }
    return makeTrace(points);
}

QCPCurve *addTraceCurve(PlotWidget *plot, const AbstractTrace *trace)
{
    auto *curve = new QCPCurve(plot->xAxis, plot->yAxis);
    const TData &data = *trace->processedData;
    if (data.size() >= 2)
        curve->setData(data[0], data[1]);
    return curve;
}

void fitAxes(PlotWidget *plot)
{
    if (plot->size().width() < 100)
        plot->resize(800, 500);
    plot->rescaleAxes();
    plot->xAxis->scaleRange(1.1);
    plot->yAxis->scaleRange(1.3);
    plot->replot();
}

QPoint pixelOf(const PlotWidget *plot, double x, double y)
{
    return PlotTest::pixelOf(plot, x, y);
}

QPoint pixelOf(const PlotWidget *plot, const QPointF &p)
{
    return pixelOf(plot, p.x(), p.y());
}

QPoint pixelOfPoint(const PlotWidget *plot, const QCPCurve *curve, int i)
{
    const QCPCurveData &p = *(curve->data()->constBegin() + i);
    return pixelOf(plot, p.key, p.value);
}

namespace {

void send(PlotWidget *plot, QEvent::Type type, const QPoint &pixel, Qt::MouseButton button, Qt::MouseButtons held)
{
    PlotTest::sendMouse(plot, type, pixel, button, held);
}

} // namespace

void pressAt(PlotWidget *plot, const QPoint &pixel, Qt::MouseButton button)
{
    send(plot, QEvent::MouseButtonPress, pixel, button, button);
}

void moveAt(PlotWidget *plot, const QPoint &pixel, Qt::MouseButtons held)
{
    send(plot, QEvent::MouseMove, pixel, Qt::NoButton, held);
}

void releaseAt(PlotWidget *plot, const QPoint &pixel, Qt::MouseButton button)
{
    send(plot, QEvent::MouseButtonRelease, pixel, button, Qt::NoButton);
}

void press(PlotWidget *plot, const QPointF &at, Qt::MouseButton button)
{
    pressAt(plot, pixelOf(plot, at), button);
}

void move(PlotWidget *plot, const QPointF &at, Qt::MouseButtons held)
{
    moveAt(plot, pixelOf(plot, at), held);
}

void release(PlotWidget *plot, const QPointF &at, Qt::MouseButton button)
{
    releaseAt(plot, pixelOf(plot, at), button);
}

void drag(PlotWidget *plot, const QCPCurve *curve, int from, int to)
{
    pressAt(plot, pixelOfPoint(plot, curve, from));
    const int step = to >= from ? 1 : -1;
    for (int i = from + step; i != to + step; i += step)
        moveAt(plot, pixelOfPoint(plot, curve, i), Qt::LeftButton);
    releaseAt(plot, pixelOfPoint(plot, curve, to));
}

QString saveScreenshot(QWidget *widget, const QString &name)
{
    const QString root = qEnvironmentVariableIsSet("VANTOR_BINARY_DIR") ? qEnvironmentVariable("VANTOR_BINARY_DIR")
                                                                        : QDir::currentPath();
    QDir dir(root);
    dir.mkpath(QStringLiteral("screenshots"));
    const QString path = dir.filePath(QStringLiteral("screenshots/%1.png").arg(name));
    widget->grab().save(path);
    return path;
}

} // namespace ContourTest
