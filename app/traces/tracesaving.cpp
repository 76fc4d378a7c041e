#include "traces/tracesaving.h"

#include "settings/logger.h"
#include "traces/profiletrace.h"
#include "traces/tracewriter.h"

#include <QDir>
#include <QFileInfo>

namespace TraceSaving {

namespace {

const char *const kFileTimeFormat = "_yyyy_MM_dd_HH_mm_ss";

// The main trace of an additional trace that has one, else null.
ProfileTrace *mainTraceOf(AbstractTrace *trace)
{
    auto *profile = dynamic_cast<ProfileTrace *>(trace);
    return trace && trace->traceType == ADDITIONAL_TRACE && profile ? profile->parentTrace : nullptr;
}

} // namespace

QList<AbstractTrace *> tracesToSave(const QList<AbstractTrace *> &traces, bool native)
{
    QList<AbstractTrace *> result;
    for (AbstractTrace *trace : traces) {
        // The native file of a main trace holds its additional traces.
        if (trace && !(native && mainTraceOf(trace)))
            result.append(trace);
    }
    return result;
}

AbstractTrace *fileOwner(AbstractTrace *trace)
{
    // An acquired additional trace lives in its main trace's file; one
    // whose main trace is gone is saved alone.
    if (ProfileTrace *main = mainTraceOf(trace))
        return main;
    return trace;
}

bool saveTrace(AbstractTrace *trace, const QString &path, bool native)
{
    if (!trace)
        return false;
    if (!native)
        return TraceWriter::savePointsFile(path, *trace);
    if (!TraceWriter::saveTraceFile(path, *trace))
        return false;
    // Only a native file can be read back as this trace.
    trace->setFilePath(path);
    if (auto *profile = dynamic_cast<ProfileTrace *>(trace))
        for (ProfileTrace *child : qAsConst(profile->additionalTraces))
            child->setFilePath(path);
    return true;
}

QString proposedPath(const QString &folder, const QString &name, const QDateTime &now)
{
    return folder + name + now.toString(QLatin1String(kFileTimeFormat));
}

QString numberedPath(const QString &base, const std::function<bool(const QString &)> &taken)
{
    QString path = base;
    for (int n = 2; taken(path); ++n)
        path = base + QLatin1Char('_') + QString::number(n);
    return path;
}

QString ProposedPaths::next(const QString &folder, const QString &name, const QDateTime &now)
{
    const QString second = now.toString(QLatin1String(kFileTimeFormat));
    // Paths of an earlier second can never be proposed again.
    if (second != m_second) {
        m_second = second;
        m_proposed.clear();
    }
    const QString path = numberedPath(folder + name + second, [this](const QString &candidate) {
        return m_proposed.contains(candidate) || QFileInfo::exists(withTraceSuffix(candidate));
    });
    m_proposed.insert(path);
    return path;
}

QString withTraceSuffix(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    // "part." ends in the dot of an extension not written yet.
    return path + (path.endsWith(QLatin1Char('.')) ? QStringLiteral("txt") : QStringLiteral(".txt"));
}

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/'))) + QLatin1Char('/');
}

} // namespace TraceSaving

QString automaticTraceFolder(const QString &programFolder)
{
    const QString name = QStringLiteral("/Профили");
    const QString own = programFolder + name;
    if (QDir().mkpath(own) && QFileInfo(own).isWritable())
        return own;
    const QString fallback = QDir::currentPath() + name;
    QDir().mkpath(fallback);
    logger.log(Logger::WARNING, "Trace folder " + own.toStdString() + " not writable, using " + fallback.toStdString());
    return fallback;
}
