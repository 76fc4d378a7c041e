#pragma once

#include "support/contourwindowstandin.h"

#include "settings/logger.h"
#include "settings/settings.h"

#include <QFile>
#include <QStringList>
#include <functional>
#include <memory>

// The display settings the kinds read, at their defaults: millimetres,
// degrees-minutes-seconds, points picked by clicks.
inline void resetDisplaySettings()
{
    Settings::instance().axis_unit = 0;
    Settings::instance().angles_in_deg = false;
    Settings::instance().preferenses.alternative_measurement = false;
}

// A contour window with one trace of 101 points y(x) at x = 0 .. 100.
inline std::unique_ptr<ContourWindowStandIn> contourWindow(const std::function<double(double)> &y)
{
    auto w = std::make_unique<ContourWindowStandIn>(QVector<AbstractTrace *> { ContourTest::makeTrace(101, 0, 1, y) });
    w->resize(1000, 600);
    return w;
}

// Clicks on point i of trace 0 once the selection marker has reached it (the
// marker follows one move behind the cursor).
inline void clickPoint(ContourWindowStandIn &w, int i)
{
    const QPointF p = w.tracePoint(0, i);
    w.move(p);
    w.move(p);
    w.click(p);
}

// Moves the label to a place and clicks there.
inline void placeLabel(ContourWindowStandIn &w, const QPointF &at)
{
    w.move(at);
    w.click(at);
}

// The INFO lines the log gains from the moment this object is made, without
// their time stamps.
class LogTail {
public:
    LogTail()
        : start(QFile(path()).size())
    {
    }

    QStringList infoLines() const
    {
        QFile file(path());
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly) || !file.seek(start))
            return lines;
        const QString marker = QStringLiteral("] INFO: ");
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
            const int at = line.indexOf(marker);
            if (at >= 0)
                lines << line.mid(at + marker.size());
        }
        return lines;
    }

private:
    static QString path() { return QString::fromStdString(logger.fileName()); }
    qint64 start;
};
