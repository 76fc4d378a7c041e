// The contour window's measurement protocol: report mode with the measurement
// designations on the plot, the report data gathered from the tree, and the
// HTML file written and opened.

#include "analysis/contouranalisiswidget.h"
#include "ui_contouranalisiswidget.h"

#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "plot/plotwidget.h"
#include "report/reportgenerator.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/tracesaving.h"
#include "widgets/prompts.h"

#include <QDateTime>
#include <QUrl>

namespace {

const QString kDateFormat = QStringLiteral("dd-MM-yyyy HH:mm:ss");

// The reported sections in the order their groups are matched, with the
// report's group name and the designation prefix of their measurements.
struct ReportGroup {
    MeasurementTreeWidget::Section section;
    const char *key;
    QString prefix;
};

const QVector<ReportGroup> &reportGroups()
{
    static const QVector<ReportGroup> groups {
        { MeasurementTreeWidget::Lengths, "distance", QStringLiteral("L") },
        { MeasurementTreeWidget::Deviations, "error", QStringLiteral("E") },
        { MeasurementTreeWidget::Angles, "angle", QStringLiteral("α") },
        { MeasurementTreeWidget::Radii, "radius", QStringLiteral("R") },
        { MeasurementTreeWidget::Roughness, "roughness", QStringLiteral("r") },
    };
    return groups;
}

// The reported group of a section row of the tree; -1 for the additional
// geometry and any row that is not a section of a measurement tree.
int groupOfSection(QTreeWidget *tree, const QTreeWidgetItem *sectionRow)
{
    auto *measurementTree = qobject_cast<MeasurementTreeWidget *>(tree);
    if (!measurementTree || !sectionRow)
        return -1;
    const QVector<ReportGroup> &groups = reportGroups();
    for (int g = 0; g < groups.size(); ++g) {
        if (measurementTree->sectionItem(groups[g].section) == sectionRow)
            return g;
    }
    return -1;
}

} // namespace

void ContourAnalisisWidget::renumberMeasurements(QTreeWidget *tree, MeasurementsManager *manager, bool reportMode)
{
    for (const MeasurementGroupRecord &section : MeasurementTreeWidget::exportTree(tree)) {
        const int group = groupOfSection(tree, section.item);
        int n = 0;
        for (const MeasurementItemRecord &row : section.items) {
            ++n; // a row without a measurement still takes its number
            Measurement *m = manager->measurementById(row.id);
            if (!m)
                continue;
            if (group >= 0) {
                if (reportMode) {
                    m->setLabelText(reportGroups()[group].prefix + QLatin1Char('_') + QString::number(n));
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
    const Settings &s = Settings::instance();
    ReportData data;
    data.insert(QStringLiteral("date"), QDateTime::currentDateTime().toString(kDateFormat));
    data.insert(QStringLiteral("part_name"), ui->detailNameEdit->text());
    data.insert(QStringLiteral("comment"), ui->commentTextEdit->toPlainText());
    data.insert(QStringLiteral("controller_name"), s.current_controller_name);
    data.insert(QStringLiteral("factory_name"), s.factory_name);

    for (int i = 0; i < traces.size(); ++i) {
        const AbstractTrace *t = traces.at(i);
        const QString prefix = QStringLiteral("traces[%1].").arg(i);
        data.insert(prefix + QStringLiteral("id"), QString::number(t->id + 1));
        data.insert(prefix + QStringLiteral("trace_author"), t->controllerName);
        data.insert(prefix + QStringLiteral("creation_date"), t->creationDate.toLocalTime().toString(kDateFormat));
    }
    data.insert(QStringLiteral("traces_count"), QString::number(traces.size()));

    const QVector<ReportGroup> &groups = reportGroups();
    QVector<int> counts(groups.size(), 0);
    // The tree gives the order the operator arranged; values and titles come
    // from the measurements and the sections themselves.
    for (const MeasurementGroupRecord &section : MeasurementTreeWidget::exportTree(tree())) {
        const int g = groupOfSection(tree(), section.item);
        if (g < 0)
            continue;
        const QString key = QString::fromLatin1(groups[g].key);
        const QString pattern = key + QStringLiteral("[%1].");
        for (const MeasurementItemRecord &row : section.items) {
            const int k = counts[g]++; // a row without a measurement still takes its number
            const Measurement *m = manager->measurementById(row.id);
            data.insert(pattern.arg(k) + QStringLiteral("name"), groups[g].prefix + QStringLiteral("_%1").arg(k + 1));
            data.insert(pattern.arg(k) + QStringLiteral("value"), m ? m->valueText() : QString());
        }
    }
    for (int g = 0; g < groups.size(); ++g)
        data.insert(QString::fromLatin1(groups[g].key) + QStringLiteral("_count"), QString::number(counts[g]));
    for (int g = 0; g < groups.size(); ++g) {
        if (counts[g] > 0)
            data.insert(QString::fromLatin1(groups[g].key) + QStringLiteral("_name"),
                MeasurementTreeWidget::sectionTitle(groups[g].section));
    }
    return data;
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
    // The extension is appended whatever the operator typed.
    const QString path = answer + QStringLiteral(".html");
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
