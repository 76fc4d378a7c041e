#pragma once

// Small fixed inputs shared by the report tests: one data map per kind and a
// real plot rendered the way the analysis windows render theirs.

#include "report/reportdata.h"

#include <qcustomplot.h>

#include <QDateTime>
#include <QPixmap>
#include <QRegularExpression>
#include <QVector>

namespace ReportFixtures {

// The plot's background colour: a colour nothing else in a report uses, so a
// screenshot shows where the image landed.
inline QColor plotBackground()
{
    return QColor(255, 0, 200);
}

inline QSize plotSize()
{
    return QSize(360, 220);
}

inline QPixmap plotPixmap(const QSize &size = plotSize())
{
    QCustomPlot plot;
    plot.setBackground(plotBackground());
    QVector<double> x, y;
    for (int i = 0; i <= 50; ++i) {
        x << i * 0.1;
        y << std::sin(i * 0.4);
    }
    plot.addGraph()->setData(x, y);
    plot.rescaleAxes();
    return plot.toPixmap(size.width(), size.height());
}

inline QDateTime fixedClock()
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 30));
}

inline ReportData sensorTestData()
{
    return {
        { "reference_values", "4.19,1.08," },
        { "measured_values", "\u2014,1.09," },
        { "in_tolerance", "0,1," },
        { "sensor_number", "17" },
        { "execution_grade", "2" },
    };
}

// Two trace rows announced but only the first present; two parameters.
inline ReportData measurementReportData()
{
    return {
        { "factory_name", "Ортана" },
        { "detail_name", "Вал 12" },
        { "trace_count", "2" },
        { "trace[0].controller_name", "Иванов" },
        { "trace[0].filter", "0,8 мм" },
        { "trace[0].trace_length", "4 мм" },
        { "trace[0].speed", "0.5 мм/c" },
        { "trace[0].creation_date", "05-03-2024 14:07:30" },
        { "param_count", "2" },
        { "param[0].name", "Ra" },
        { "param[0].value", "0.412 мкм" },
        { "param[1].name", "Rz" },
        { "param[1].value", "2.87 мкм" },
    };
}

// One trace; the groups "error" and "radius" have rows, the others none.
inline ReportData measurementProtocolData()
{
    return {
        { "factory_name", "Ортана" },
        { "part_name", "Корпус 3" },
        { "date", "05-03-2024 14:07:30" },
        { "controller_name", "Петров" },
        { "traces_count", "1" },
        { "traces[0].creation_date", "04-03-2024 09:00:00" },
        { "traces[0].id", "1" },
        { "traces[0].trace_author", "Петров" },
        { "comment", "Без замечаний" },
        { "distance_count", "0" },
        { "error_count", "3" },
        { "error_name", "ОТКЛОНЕНИЯ" },
        { "error[0].name", "E_1" },
        { "error[0].value", "0.012 мм" },
        { "error[1].name", "E_2" },
        { "error[1].value", "0.020 мм" },
        { "error[2].name", "E_3" },
        { "error[2].value", "0.007 мм" },
        { "angle_count", "0" },
        { "radius_count", "2" },
        { "radius_name", "РАДИУСЫ" },
        { "radius[0].name", "R_1" },
        { "radius[0].value", "5.001 мм" },
        { "radius[1].name", "R_2" },
        { "radius[1].value", "2.498 мм" },
        { "roughness_count", "0" },
    };
}

// The base64 payloads of every embedded PNG of a page, in page order.
inline QList<QByteArray> embeddedPngs(const QByteArray &page)
{
    QList<QByteArray> images;
    const QRegularExpression source(QStringLiteral("src=\"data:image/png;base64,([A-Za-z0-9+/=]*)\""));
    auto it = source.globalMatch(QString::fromUtf8(page));
    while (it.hasNext())
        images << QByteArray::fromBase64(it.next().captured(1).toLatin1());
    return images;
}

} // namespace ReportFixtures
