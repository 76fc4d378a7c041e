#pragma once

#include "report/reportdata.h"

#include <QDateTime>
#include <QPixmap>
#include <QString>
#include <QVector>

// Writes self-contained HTML reports: UTF-8 without a byte-order mark, styles
// inline, the first plot embedded as a base64 PNG. Free functions without state;
// they ask nothing, show nothing and log nothing. Every writer returns whether
// the file was written. Files are written through QSaveFile, so a refused or
// failed report leaves a file already at the path as it was. Every text taken
// from the data map is HTML-escaped, so operator-typed names show as typed.
namespace ReportGenerator {

// The path of a report named by the operator: the name with ".html" after
// it, or as it stands when it already ends in ".html" or ".htm" (in any case).
QString reportPath(const QString &name);

// Writes a report of the given kind (E_REPORT_TYPE). Kind 0 reads only the map,
// kind 2 only the plots. An unknown kind writes nothing and returns false.
[[nodiscard]] bool generate(const ReportData &data, const QVector<QPixmap> &plots, const QString &path, int kind);

// The page up to and including "<body>": title (escaped), base style rule and
// the kind's own style block.
QString htmlHead(const QString &title, const QString &extraCss);

// One <img> element whose source is the pixmap as a PNG data URL.
QString imageTag(const QPixmap &pixmap, const QString &style);

// The plot division holding the first pixmap, or the empty text.
QString plotBlock(const QVector<QPixmap> &plots);

// Writes the page's UTF-8 bytes (line feeds in the platform's convention).
[[nodiscard]] bool writeHtmlFile(const QString &path, const QString &html);

// The four kinds. The sensor-test card shows the date and time of writing;
// `now` is there so the card can be written with a fixed clock.
[[nodiscard]] bool sensorTestReport(
    const ReportData &data, const QString &path, const QDateTime &now = QDateTime::currentDateTime());
[[nodiscard]] bool measurementReport(const ReportData &data, const QVector<QPixmap> &plots, const QString &path);
[[nodiscard]] bool plotReport(const QVector<QPixmap> &plots, const QString &path);
[[nodiscard]] bool measurementProtocol(const ReportData &data, const QVector<QPixmap> &plots, const QString &path);

// The style block of the measurement report.
QString measurementReportCss();

} // namespace ReportGenerator
