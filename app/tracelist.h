#pragma once

#include "algos/tracetypes.h"
#include "report/reportdata.h"
#include "traces/paramsmap.h"

#include <QList>
#include <QMap>
#include <QWidget>

class AbstractTrace;
class ProfileTrace;
class QShortcut;
class QTreeWidgetItem;
struct ConsoleParams;

namespace Ui {
class traceList;
}

// The panel of the profile window that lists every loaded or acquired trace
// (additional traces under their main trace) and shows the surface-texture
// parameters of the selected one. Check boxes, selection and removals become
// signals for the trace plots. The list owns the traces it holds: a trace
// that leaves it is deleted after traceDeleted has been emitted for it, so
// whoever keeps its plots has let it go; the trace being acquired is never
// deleted here, its reader holds it.
class TraceList : public QWidget {
    Q_OBJECT

public:
    explicit TraceList(QWidget *parent = nullptr);
    ~TraceList() override;

    void addMainTrace(AbstractTrace *trace);
    // An additional trace goes under the last PROFILE main trace; when not
    // read from a file it is attached to that trace too. Without a PROFILE
    // main trace it is listed as a main trace of its own.
    void addAdditionalTrace(AbstractTrace *trace, bool fromFile);
    void hideProfileTraces();
    void removeAllButAcquired();
    void selectTrace(int id);
    // The id of the listed entry whose trace was read from or saved to the
    // file at path (a run's main trace for a run), or -1; the trace being
    // acquired is not looked at.
    int entryOfFile(const QString &path) const;

    void refresh();
    void recalcParams();
    void recalcParamsIfAny();
    void updateDpParam();
    void setMedianFilter(bool enabled, int points);

    void runSensorTest(AbstractTrace *trace);
    ReportData sensorTestReportData() const;
    void applySensorTestMode();
    void setInfoVisible(bool visible);
    void showTraceParams(int id);

    void removeTraceItem(QTreeWidgetItem *item, int id);
    void removeMainTrace(QTreeWidgetItem *item, int id);
    void removeAdditionalTrace(QTreeWidgetItem *item, int id);
    void removeTrace(AbstractTrace *trace);
    // Removes a trace that brought nothing worth keeping (a file without a
    // point read, an interrupted acquisition), even while it is the trace
    // being acquired, and deletes it. No file is rewritten for it.
    void dropTrace(AbstractTrace *trace);

    void setTraceConsole(int id, const ConsoleParams &console);
    void joinTracesDialog(int id);
    void showTraceFileInExplorer(int id);
    void onFilterIndexChanged(int index);
    // Gives a profile trace a new cut-off (µm): the file that holds the trace
    // (its own, or its main trace's for an additional trace) is rewritten,
    // recalculateTrace is emitted, and then its parameters are evaluated
    // again and shown, with the length of the curve redrawn, when it is
    // selected. The filter box and the cut-off check both come here.
    void setTraceCutOff(ProfileTrace *trace, double cutOff);

    // The trace-file writers; false when the file could not be written (the
    // file that was there stays).
    static bool saveTraceFile(const QString &path, AbstractTrace *trace);
    static bool savePointsFile(const QString &path, AbstractTrace *trace);

    ExtraArgs extraArgs;
    QMap<int, AbstractTrace *> traces;
    QList<QShortcut *> deleteShortcuts;
    AbstractTrace *selectedTrace = nullptr;
    AbstractTrace *acquiringTrace = nullptr;

Q_SIGNALS:
    void traceDeleted(int trace_id);
    void setGraphSelected(int trace_id, bool is_selected);
    void setGraphVisible(int trace_id, bool is_selected);
    void recalculateTrace();
    void createTrace(TData data);

public Q_SLOTS:
    void tracesListMenuRequested(QPoint pos);
    void tracesListItemSelectionChanged();
    void tracesListItemChanged(QTreeWidgetItem *item, int column);
    void paramsListMenuRequested(QPoint pos);

private:
    QTreeWidgetItem *newTraceItem(const QString &title, int id, bool checked) const;
    QTreeWidgetItem *findItem(int id) const;
    QTreeWidgetItem *lastProfileItem() const;
    ProfileTrace *listedProfileTrace(int id) const;
    // Empties and hides the values of the parameter table.
    void clearTraceParams();
    bool isContourOnly() const;
    void releaseDeleteShortcuts();
    // Rewrites the file of a main profile trace; a failure is shown.
    void rewriteTraceFile(ProfileTrace *main);
    // The trace has left the list: forgets it and deletes it, unless it is
    // the trace being acquired.
    void dispose(AbstractTrace *trace);

    Ui::traceList *ui;
};
