#pragma once

#include <QDateTime>
#include <QSet>
#include <QList>
#include <QString>

#include <functional>

class AbstractTrace;

// What saving does with the traces of the profile window, apart from the
// questions to the operator: which traces get a file, which trace's file
// holds an acquired trace, and the file names the save questions offer.
namespace TraceSaving {

// The traces that get a file of their own, in the given order: every trace
// for coordinates files; for native files every trace but the additional
// traces of a main trace, whose native file holds them.
QList<AbstractTrace *> tracesToSave(const QList<AbstractTrace *> &traces, bool native);

// The trace whose native file holds the trace: the main trace of an
// additional trace that has one, otherwise the trace itself (or null).
AbstractTrace *fileOwner(AbstractTrace *trace);

// Writes the trace to path as a native file (which then becomes the file of
// the trace and of its additional traces) or as a coordinates file (which
// does not). False, with the trace's file unchanged, when nothing was written.
bool saveTrace(AbstractTrace *trace, const QString &path, bool native);

// The path a save question proposes: the folder (ending in "/"), the name and
// the time as "_yyyy_MM_dd_HH_mm_ss"; saves within one second get one path.
QString proposedPath(const QString &folder, const QString &name, const QDateTime &now);

// The first of base, base_2, base_3, ... that is not taken.
QString numberedPath(const QString &base, const std::function<bool(const QString &)> &taken);

// The paths successive save questions propose. A path already proposed within
// the same second, or whose trace file is there already (an acquisition saved
// on its own in that second), gets "_2", "_3", ... after the time, so no
// question offers a file another holds.
class ProposedPaths {
public:
    QString next(const QString &folder, const QString &name, const QDateTime &now);

private:
    QString m_second;
    QSet<QString> m_proposed;
};

// The path a trace is written to: a chosen name without an extension gets
// ".txt", so that the file is offered again when traces are opened.
QString withTraceSuffix(const QString &path);

// The folder of a chosen path, with its trailing "/".
QString folderOf(const QString &path);

} // namespace TraceSaving

// The folder automatic trace files go into: "Профили" in the program's own
// folder, or in the working directory when that one cannot be written.
// Created when missing.
QString automaticTraceFolder(const QString &programFolder);
