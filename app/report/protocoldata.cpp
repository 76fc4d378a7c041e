#include "report/protocoldata.h"

#include "measurements/measurement.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"

namespace {

const QString kDateFormat = QStringLiteral("dd-MM-yyyy HH:mm:ss");

} // namespace

const QVector<ProtocolGroup> &protocolGroups()
{
    static const QVector<ProtocolGroup> groups {
        { MeasurementTreeWidget::Lengths, "distance", QStringLiteral("L") },
        { MeasurementTreeWidget::Deviations, "error", QStringLiteral("E") },
        { MeasurementTreeWidget::Angles, "angle", QStringLiteral("α") },
        { MeasurementTreeWidget::Radii, "radius", QStringLiteral("R") },
        { MeasurementTreeWidget::Roughness, "roughness", QStringLiteral("r") },
    };
    return groups;
}

int protocolGroupOf(QTreeWidget *tree, const QTreeWidgetItem *sectionRow)
{
    auto *measurementTree = qobject_cast<MeasurementTreeWidget *>(tree);
    if (!measurementTree || !sectionRow)
        return -1;
    const QVector<ProtocolGroup> &groups = protocolGroups();
    for (int g = 0; g < groups.size(); ++g) {
        if (measurementTree->sectionItem(groups[g].section) == sectionRow)
            return g;
    }
    return -1;
}

ReportData protocolData(const ProtocolHeader &header, const QVector<AbstractTrace *> &traces,
    MeasurementTreeWidget *tree, const std::function<const Measurement *(int id)> &measurementOf)
{
    const Settings &s = Settings::instance();
    ReportData data;
    data.insert(QStringLiteral("date"), header.date.toString(kDateFormat));
    data.insert(QStringLiteral("part_name"), header.partName);
    data.insert(QStringLiteral("comment"), header.comment);
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

    const QVector<ProtocolGroup> &groups = protocolGroups();
    QVector<int> counts(groups.size(), 0);
    // The tree gives the order the operator arranged; values and titles come
    // from the measurements and the sections themselves.
    for (const MeasurementGroupRecord &section : MeasurementTreeWidget::exportTree(tree)) {
        const int g = protocolGroupOf(tree, section.item);
        if (g < 0)
            continue;
        const QString key = QString::fromLatin1(groups[g].key);
        const QString pattern = key + QStringLiteral("[%1].");
        for (const MeasurementItemRecord &row : section.items) {
            const int k = counts[g]++; // a row without a measurement still takes its number
            const Measurement *m = measurementOf ? measurementOf(row.id) : nullptr;
            // The designation on the plot, then the kind's caption, so that
            // lines of different kinds can be told apart.
            QString name = groups[g].prefix + QStringLiteral("_%1").arg(k + 1);
            if (m)
                name += QLatin1Char(' ') + m->name();
            data.insert(pattern.arg(k) + QStringLiteral("name"), name);
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
