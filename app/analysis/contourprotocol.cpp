// The contour window's measurement protocol: report mode with the measurement
// designations on the plot and in the tree, the protocol's data handed the
// window's texts, traces and measurements, and the HTML file written and
// opened.

#include "analysis/contouranalisiswidget.h"
#include "ui_contouranalisiswidget.h"

#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "plot/plotwidget.h"
#include "report/protocoldata.h"
#include "report/reportgenerator.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/tracesaving.h"
#include "widgets/prompts.h"

#include <QDateTime>
#include <QUrl>

void ContourAnalisisWidget::renumberMeasurements(QTreeWidget *tree, MeasurementsManager *manager, bool reportMode)
{
    for (const MeasurementGroupRecord &section : MeasurementTreeWidget::exportTree(tree)) {
        const int group = protocolGroupOf(tree, section.item);
        int n = 0;
        for (const MeasurementItemRecord &row : section.items) {
            ++n; // a row without a measurement still takes its number
            Measurement *m = manager->measurementById(row.id);
            if (!m)
                continue;
            if (group >= 0) {
                if (reportMode) {
                    m->setLabelText(protocolGroups()[group].prefix + QLatin1Char('_') + QString::number(n));
                    m->updateLabel();
                    row.item->setData(0, Qt::DisplayRole,
                        QString::number(n) + QLatin1Char(' ') + QString::fromStdString(row.name));
                } else {
                    m->clearLabelText();
                    m->calculate();
                    row.item->setData(0, Qt::DisplayRole, m->name());
                }
            }
            m->setLargeFont(reportMode);
        }
    }
}

void ContourAnalisisWidget::enterReportMode()
{
    renumberMeasurements(tree(), manager, true);
    plot()->setSelectionMarkerVisible(false);
    plot()->replot();
}

void ContourAnalisisWidget::leaveReportMode()
{
    renumberMeasurements(tree(), manager, false);
    plot()->setSelectionMarkerVisible(true);
    plot()->replot();
}

QVector<QPixmap> ContourAnalisisWidget::reportPlots()
{
    return { plot()->toPixmap(0, 0, 1.0) };
}

ReportData ContourAnalisisWidget::reportData()
{
    const ProtocolHeader header { ui->detailNameEdit->text(), ui->commentTextEdit->toPlainText(),
        QDateTime::currentDateTime() };
    return protocolData(header, traces, tree(), [this](int id) { return manager->measurementById(id); });
}

void ContourAnalisisWidget::saveReport(QWidget *parent)
{
    Prompts &prompts = Prompts::instance();
    if (traces.isEmpty()) {
        prompts.warning(parent, QStringLiteral("Ошибка печати отчёта"), QStringLiteral("Нет трасс для сохранения отчёта"));
        return;
    }
    Settings &s = Settings::instance();
    const QString proposed = TraceSaving::proposedPath(
        s.preferenses.save_report_folder, s.default_trace_file_name, QDateTime::currentDateTime());
    const QString answer = prompts.saveFileName(parent, QStringLiteral("Сохранить отчет"), proposed);
    if (answer.isEmpty())
        return;
    const QString path = ReportGenerator::reportPath(answer);
    s.preferenses.save_report_folder = TraceSaving::folderOf(path);
    if (!s.save())
        logger.log(Logger::ERROR, "Report folder not written to the settings file");

    enterReportMode();
    const QVector<QPixmap> plots = reportPlots();
    const ReportData data = reportData();
    const bool written = ReportGenerator::generate(data, plots, path, MEASUREMENT_PROTOCOL);
    leaveReportMode();

    if (!written) {
        // Opening a file that is not there (or an older one under that
        // name) would pass a failure off as a report.
        logger.log(Logger::ERROR, ("Protocol not written: " + path).toStdString());
        prompts.warning(parent, QStringLiteral("Ошибка печати отчёта"),
            QStringLiteral("Не удалось записать отчёт в файл\n%1").arg(path));
        return;
    }
    prompts.openUrl(QUrl::fromLocalFile(path));
}
