#include "report/profilereport.h"

#include "settings/settings.h"
#include "traces/paramsmap.h"
#include "traces/profiletrace.h"

namespace {

QString millimetres(double micrometres)
{
    return QString::number(micrometres / 1000, 'g', 6) + QStringLiteral(" мм");
}

QString rawLength(const AbstractTrace *trace)
{
    if (!trace->rawData || trace->rawData->isEmpty() || trace->rawData->at(0).isEmpty())
        return QStringLiteral("0 мм");
    const QVector<double> &x = trace->rawData->at(0);
    return millimetres(x.last() - x.first());
}

} // namespace

ReportData profileReportData(AbstractTrace *trace, ExtraArgs &args)
{
    auto *main = dynamic_cast<ProfileTrace *>(trace);
    if (main && main->traceType == ADDITIONAL_TRACE && main->parentTrace)
        main = main->parentTrace;
    // A main profile trace, or an additional trace whose main trace is gone.
    if (!main || !isProfileTraceKind(main->traceType))
        return {};

    const Settings &s = Settings::instance();
    ReportData data;
    data.insert(QStringLiteral("factory_name"), s.factory_name);
    data.insert(QStringLiteral("detail_name"), s.default_trace_file_name);
    data.insert(QStringLiteral("trace_count"), QString::number(main->additionalTraces.size() + 1));
    QVector<ProfileTrace *> runs { main };
    runs += main->additionalTraces;
    for (int i = 0; i < runs.size(); ++i) {
        const ProfileTrace *run = runs.at(i);
        const QString key = QStringLiteral("trace[%1].").arg(i);
        data.insert(key + QStringLiteral("controller_name"), run->controllerName);
        // The cut-off the run's values were computed with: its own, which a
        // file brings in its header and the trace list changes per trace.
        data.insert(key + QStringLiteral("filter"), millimetres(run->cutOff));
        data.insert(key + QStringLiteral("trace_length"), rawLength(run));
        data.insert(key + QStringLiteral("speed"), QString::number(run->speed, 'g', 6) + QStringLiteral(" мм/с"));
        data.insert(key + QStringLiteral("creation_date"), run->creationDateText());
    }

    if (main->results.isEmpty())
        recalcAllParams(args, main);
    const int count = s.preferenses.enabled_params_count;
    data.insert(QStringLiteral("param_count"), QString::number(count));
    for (int j = 0; j < count; ++j) {
        const QString name = s.preferenses.enabled_params.value(j);
        const QString key = QStringLiteral("param[%1].").arg(j);
        data.insert(key + QStringLiteral("name"), name);
        data.insert(
            key + QStringLiteral("value"), main->results.value(name).text() + QLatin1Char(' ') + paramUnit(name));
    }
    return data;
}
