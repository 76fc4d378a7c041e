#include "report/reportgenerator.h"

#include <QBuffer>
#include <QByteArray>
#include <QLocale>
#include "settings/savefile.h"
#include <QStringList>

namespace ReportGenerator {

namespace {

const QString kEmDash = QStringLiteral("\u2014");

const QString kCardCss
    = QStringLiteral("    .card{ max-width:500px; margin:0 auto; border:1px solid #e0e0e0; border-radius:8px; "
                     "padding:18px; box-shadow:0 2px 6px rgba(0,0,0,0.05);} \n"
                     "    h1{ font-size:18px; margin:0 0 10px 0 }\n"
                     "    .meta{ display:flex; gap:20px; margin-bottom:14px; color:#444 }\n"
                     "    .meta .item{ font-size:14px }\n"
                     "    table{ width:auto; border-collapse:collapse; margin:12px auto }\n"
                     "    th, td{ padding:6px 10px; font-size:18px; font-weight:600; border:2px solid #ddd; "
                     "text-align:center }\n"
                     "    th{ background:#f7f7f7 }\n"
                     "    .ok{ color: #107a2a; font-weight:700 } /* green */\n"
                     "    .bad{ color: #c02727; font-weight:700 } /* red */\n"
                     "    .small-note{ font-size:12px; color:#666; margin-top:10px }\n");

const QString kMeasurementReportCss
    = QStringLiteral("    body{ font-family: Arial, Helvetica, sans-serif; color:#222; margin:20px; }\n"
                     "    h1{ font-size:40px; margin:0; text-align:center }\n"
                     "    .header{ display:flex; justify-content:space-between; align-items:flex-end; "
                     "margin-bottom:16px }\n"
                     "    .detail{ font-size:18px }\n"
                     "    table{ width:100%; border-collapse:collapse; margin-top:14px }\n"
                     "    th, td{ border:1px solid #333; padding:6px 8px; text-align:center }\n"
                     "    th{ background:#f0f0f0; font-weight:600 }\n"
                     "    img{ max-width:100%; height:auto; margin:18px 0 }\n");

const QString kProtocolCss = QStringLiteral("    table{ border-collapse:collapse; }\n"
                                            "    th, td{ border:1px solid #000; padding:6px; }\n");

const QString kPageEnd = QStringLiteral("</body>\n</html>\n");

// The groups of the measurement protocol, in the order their tables appear.
const QStringList kProtocolGroups = { "distance", "error", "angle", "radius", "roughness" };

// A value of the map as it goes into the page: escaped, so that text typed by
// the operator can never become markup.
QString text(const ReportData &data, const QString &key, const QString &defaultValue = {})
{
    return data.value(key, defaultValue).toHtmlEscaped();
}

int count(const ReportData &data, const QString &key)
{
    return data.value(key).toInt(nullptr, 10);
}

QStringList listEntries(const ReportData &data, const QString &key)
{
    QStringList entries = data.value(key).split(',', Qt::SkipEmptyParts);
    for (QString &entry : entries)
        entry = entry.trimmed();
    return entries;
}

// Flag texts (in lower case) that mark a measured value as within tolerance.
const QStringList kToleranceYes = { "1", "true", "yes", "y", "ok" };

bool isToleranceFlagSet(const QString &flag)
{
    return !flag.isEmpty() && kToleranceYes.contains(flag.toLower());
}

QString toleranceMark(const QString &flag)
{
    return isToleranceFlagSet(flag) ? QStringLiteral("<span class=\"ok\">&#10003;</span>")
                                    : QStringLiteral("<span class=\"bad\">&#10007;</span>");
}

QString sectionTable(const ReportData &data, const QString &group, int rows)
{
    QString html = QStringLiteral("<table width=\"100%\">\n<tr><th colspan=\"2\">") + text(data, group + "_name")
        + "</th></tr>\n";
    for (int k = 0; k < rows; ++k) {
        const QString prefix = QStringLiteral("%1[%2].").arg(group).arg(k);
        html += "<tr>\n  <th>" + text(data, prefix + "name") + "</th>\n  <th>" + text(data, prefix + "value")
            + "</th>\n</tr>\n";
    }
    return html + "</table>\n";
}

// The groups that have rows stand side by side, in cells of equal width.
QString sectionColumns(const ReportData &data)
{
    QStringList tables;
    for (const QString &group : kProtocolGroups) {
        const int rows = count(data, group + "_count");
        if (rows >= 1)
            tables << sectionTable(data, group, rows);
    }
    if (tables.isEmpty())
        return {};
    const QString width = QString::number(100 / tables.size());
    QString html = QStringLiteral("<table width=\"100%\"><tr>\n");
    for (const QString &table : tables)
        html += "<td valign=\"top\" width=\"" + width + "%\">\n" + table + "</td>\n";
    return html + "</tr></table>\n";
}

} // namespace

bool generate(const ReportData &data, const QVector<QPixmap> &plots, const QString &path, int kind)
{
    switch (kind) {
    case SENSOR_TEST_REPORT:
        return sensorTestReport(data, path);
    case MEASUREMENT_REPORT:
        return measurementReport(data, plots, path);
    case PLOT_REPORT:
        return plotReport(plots, path);
    case MEASUREMENT_PROTOCOL:
        return measurementProtocol(data, plots, path);
    default:
        return false;
    }
}

QString reportPath(const QString &name)
{
    if (name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive))
        return name;
    return name + QStringLiteral(".html");
}

QString htmlHead(const QString &title, const QString &extraCss)
{
    return QStringLiteral("<!doctype html>\n<html lang=\"ru\">\n<head>\n  <meta charset=\"utf-8\">\n"
                          "  <meta name=\"viewport\" content=\"width=device-width, "
                          "initial-scale=1\">\n  <title>")
        + title.toHtmlEscaped()
        + QStringLiteral("</title>\n  <style>\n"
                         "    body{ font-family: Arial, Helvetica, sans-serif; margin:20px }\n")
        + extraCss + QStringLiteral("  </style>\n</head>\n<body>\n");
}

QString imageTag(const QPixmap &pixmap, const QString &style)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (buffer.open(QIODevice::WriteOnly) && !pixmap.save(&buffer, "PNG", -1))
        png.clear();
    const QString source = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
    const QString styleAttribute = style.isEmpty() ? QString() : "style=\"" + style + "\"";
    return QStringLiteral("<img src=\"%1\" %2 />").arg(source, styleAttribute);
}

QString plotBlock(const QVector<QPixmap> &plots)
{
    if (plots.isEmpty())
        return {};
    return QStringLiteral("<div class=\"plot\">\n")
        + imageTag(plots.first(), QStringLiteral("max-width:100%; height:auto;")) + QStringLiteral("\n</div>\n");
}

bool writeHtmlFile(const QString &path, const QString &html)
{
    return SaveFile::write(path, html.toUtf8());
}

bool sensorTestReport(const ReportData &data, const QString &path, const QDateTime &now)
{
    const QStringList references = listEntries(data, "reference_values");
    const QStringList measured = listEntries(data, "measured_values");
    const QStringList flags = listEntries(data, "in_tolerance");
    if (references.size() != measured.size() || references.size() != flags.size())
        return false;

    QString html = htmlHead(QStringLiteral("Тест датчика"), kCardCss);
    html += "<div class=\"card\">\n  <div class=\"meta\">\n";
    html += "    <div class=\"item\" style=\"font-size:18px\"><strong>Датчик №:</strong> "
        + text(data, "sensor_number", kEmDash) + "</div>\n";
    html += "    <div class=\"item\" style=\"font-size:18px\"><strong>РИ:</strong> "
        + text(data, "execution_grade", kEmDash) + "</div>\n";
    html += "    <div style=\"flex:1\"></div>\n";
    html += "    <div class=\"item\" style=\"font-size:18px\"><strong>Дата:</strong> "
        + QLocale().toString(now, QLocale::ShortFormat).toHtmlEscaped() + "</div>\n";
    html += "  </div>\n";
    html += "<table>\n  <thead>\n    <tr>\n      <th>Эталон (Ra)</th>\n"
            "      <th>Измеренное (Ra)</th>\n      <th>В допуске</th>\n    </tr>\n"
            "  </thead>\n  <tbody>\n";
    for (int i = 0; i < references.size(); ++i) {
        html += "    <tr>\n      <td>" + references[i].toHtmlEscaped() + "</td>\n      <td>"
            + measured[i].toHtmlEscaped() + "</td>\n      <td>" + toleranceMark(flags[i]) + "</td>\n    </tr>\n";
    }
    html += "  </tbody>\n</table>\n</div>\n" + kPageEnd;
    return writeHtmlFile(path, html);
}

bool measurementReport(const ReportData &data, const QVector<QPixmap> &plots, const QString &path)
{
    QString html = htmlHead(QStringLiteral("Отчёт измерения"), kMeasurementReportCss);
    html += "<div class=\"header\">\n  <div></div>\n  <h1>" + text(data, "factory_name")
        + "</h1>\n  <div class=\"detail\">" + text(data, "detail_name") + "</div>\n</div>\n";

    html += "<table>\n  <tr>\n    <th>Контролёр</th>\n    <th>Фильтр</th>\n    <th>Длина</th>\n"
            "    <th>Скорость</th>\n    <th>Дата измерения</th>\n  </tr>\n";
    const int traces = count(data, "trace_count");
    for (int i = 0; i < traces; ++i) {
        const QString prefix = QStringLiteral("trace[%1].").arg(i);
        html += "  <tr>\n";
        for (const char *field : { "controller_name", "filter", "trace_length", "speed", "creation_date" })
            html += "    <td>" + text(data, prefix + field) + "</td>\n";
        html += "  </tr>\n";
    }
    html += "</table>\n";

    html += plotBlock(plots);

    html += "<table>\n  <tr>\n    <th>Параметр</th>\n    <th>Значение</th>\n  </tr>\n";
    const int params = count(data, "param_count");
    for (int j = 0; j < params; ++j) {
        const QString prefix = QStringLiteral("param[%1].").arg(j);
        html += "  <tr>\n    <td>" + text(data, prefix + "name") + "</td>\n    <td>" + text(data, prefix + "value")
            + "</td>\n  </tr>\n";
    }
    html += "</table>\n" + kPageEnd;
    return writeHtmlFile(path, html);
}

bool plotReport(const QVector<QPixmap> &plots, const QString &path)
{
    return writeHtmlFile(path, plotBlock(plots));
}

bool measurementProtocol(const ReportData &data, const QVector<QPixmap> &plots, const QString &path)
{
    QString html = htmlHead(QStringLiteral("Протокол измерений"), kProtocolCss);
    html += "<h2>Контурограф м.Corvel</h2>\n";
    html += "<table width=\"100%\">\n<tr>\n  <th width=\"30%\" style=\"font-size:20px;\">" + text(data, "factory_name")
        + "</th>\n  <th width=\"70%\" style=\"font-size:35px;\">" + text(data, "part_name")
        + "</th>\n</tr>\n</table>\n";
    html += "<table width=\"100%\">\n<tr>\n  <th width=\"20%\">" + text(data, "date")
        + "</th>\n  <th width=\"30%\">Контролёр</th>\n  <th width=\"50%\">" + text(data, "controller_name")
        + "</th>\n</tr>\n";
    const int traces = count(data, "traces_count");
    for (int i = 0; i < traces; ++i) {
        const QString prefix = QStringLiteral("traces[%1].").arg(i);
        html += "<tr>\n  <th>" + text(data, prefix + "creation_date") + "</th>\n  <th>Трасса "
            + text(data, prefix + "id") + "</th>\n  <th>" + text(data, prefix + "trace_author") + "</th>\n</tr>\n";
    }
    html += "</table>\n";
    html += "<p><strong>Комментарий:</strong> " + text(data, "comment") + "</p>\n";
    html += plotBlock(plots);
    html += sectionColumns(data);
    html += kPageEnd;
    return writeHtmlFile(path, html);
}

QString measurementReportCss()
{
    return kMeasurementReportCss;
}

} // namespace ReportGenerator
