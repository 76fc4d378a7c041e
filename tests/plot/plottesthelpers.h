#pragma once

// Small helpers shared by the plot tests: real mouse events sent to a plot at
// pixel positions found through the axes, and a catcher of debug lines.

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <qcustomplot.h>

namespace PlotTest {

inline QPoint pixelOf(const QCustomPlot *plot, double key, double value)
{
    return QPoint(qRound(plot->xAxis->coordToPixel(key)), qRound(plot->yAxis->coordToPixel(value)));
}

inline void sendMouse(QWidget *w, QEvent::Type type, const QPoint &pos, Qt::MouseButton button, Qt::MouseButtons held,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, modifiers);
    QApplication::sendEvent(w, &event);
}

inline void move(QWidget *w, const QPoint &pos, Qt::MouseButtons held = Qt::NoButton,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, held, modifiers);
}

inline void press(QWidget *w, const QPoint &pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton, modifiers);
}

inline void release(QWidget *w, const QPoint &pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton, modifiers);
}

// Collects every message written while it lives (instead of printing it).
class MessageCatcher {
public:
    MessageCatcher()
    {
        current() = this;
        mPrevious = qInstallMessageHandler(&MessageCatcher::handle);
    }
    ~MessageCatcher()
    {
        qInstallMessageHandler(mPrevious);
        current() = nullptr;
    }
    int count(const QString &line) const { return mLines.count(line); }
    const QStringList &lines() const { return mLines; }
    void clear() { mLines.clear(); }

private:
    static MessageCatcher *&current()
    {
        static MessageCatcher *catcher = nullptr;
        return catcher;
    }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (current())
            current()->mLines << message;
    }
    QtMessageHandler mPrevious = nullptr;
    QStringList mLines;
};

// A curve of points (i, value(i)) for i = 0 .. n-1.
template <typename Curve = QCPCurve, typename F> Curve *addCurve(QCustomPlot *plot, int n, F value)
{
    auto *curve = new Curve(plot->xAxis, plot->yAxis);
    QVector<double> keys(n), values(n);
    for (int i = 0; i < n; ++i) {
        keys[i] = i;
        values[i] = value(i);
    }
    curve->setData(keys, values);
    return curve;
}

} // namespace PlotTest
