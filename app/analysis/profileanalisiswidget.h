#pragma once

#include "algos/tracetypes.h"
#include "analysis/analisyswidget.h"
#include "report/reportdata.h"
#include "traces/abstracttrace.h"
#include "traces/processingchain.h"
#include "traces/tracesaving.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QVector>
#include <memory>

class AutoUnfocusSpinBox;
class DeviceControlWidget;
class FastSettingsWidget;
class KeyReceiver;
class MainWindow;
class PanelFilterControl;
class PlotWidget;
class QAction;
class QCPCurve;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QMouseEvent;
class QTimer;
class TraceGraphsHolder;
class TraceList;

namespace Ui {
class ProfileAnalisisWidget;
}

// The hand-over to measurement carries traces through a signal.
Q_DECLARE_METATYPE(AbstractTrace *)

// The profile window ("ПРОФИЛЬ"), the only window that reads traces. It makes
// the empty traces the data providers fill, with their post-processing chain
// taken from its toolbar; draws each trace on the main plot with its histogram
// and material-ratio curve beside it (one graph holder per trace); carries the
// plot tools; and embeds the trace list, the quick-settings panel and the
// instrument control panel, passing signals between them.
class ProfileAnalisisWidget : public AnalisysWidget {
    Q_OBJECT

public:
    // The main window inserts the window into its tabs; it is not its parent.
    explicit ProfileAnalisisWidget(MainWindow *parent = nullptr);
    ~ProfileAnalisisWidget() override;

    AbstractTrace *makeTrace(unsigned traceType) override;
    void enterReportMode() override { }
    void leaveReportMode() override { }
    void saveReport(QWidget *parent) override;

    // Rebuilds the post-processors of every shown trace from the toolbar's
    // state, recomputes the traces and redraws them.
    void reprocessTraces();
    // A file that is open already is not read a second time (a second entry
    // would rewrite the file without what the first one changed): when a
    // listed trace holds the file at path, its entry is selected, the status
    // bar says so, and true is returned.
    bool showOpenFile(const QString &path);
    DeviceControlWidget *deviceControlWidget() const;
    TraceList *traceList() const;
    FastSettingsWidget *fastSettingsWidget() const;
    PlotWidget *mainPlot() const { return plotMain; }
    PlotWidget *histogramPlot() const { return plotHist; }
    PlotWidget *materialRatioPlot() const { return plotRMR; }

    // actionReset, actionPAN, actionPTS, actionRLine, actionRFit,
    // actionSelectionZoom, actionMarkers, actionCut, actionToMeasurement.
    QList<QAction *> toolActions() const;
    // The unit of the axes: "мм", "мкм" or "нм" by the settings, else empty.
    static QString axisUnitName();
    void applyAxisUnits();
    void rescaleMainPlot();
    void updateParamPlots();
    void lockTools();
    void unlockTools();

    // Gives the trace a graph holder on the three plots, stored under its id
    // and drawn in the axis unit (not redrawn yet).
    TraceGraphsHolder *addGraphHolder(AbstractTrace *trace);

    void toMeasurement();
    bool checkVisibleTraces();
    QVector<QPixmap> reportPlots(AbstractTrace *trace);
    QList<AbstractTrace *> allTraces() const;
    QList<AbstractTrace *> visibleTraces() const;

    void onNewTrace(DataProvider *provider, E_ANALISIS_TYPE type);
    void onTraceDeleted(int id);
    void onSetGraphSelected(int id, bool selected);
    void onSetGraphVisible(int id, bool visible);
    void addJoinedTrace(TData data);

    QMap<int, TraceGraphsHolder *> graphHolders;
    bool isAcquiring = false;
    KeyReceiver *keyReceiver = nullptr;

    QCheckBox *medianFilterCheckBox = nullptr;
    AutoUnfocusSpinBox *medianFilterSpinBox = nullptr;
    AutoUnfocusSpinBox *histogramDensitySpinBox = nullptr;
    QCheckBox *threadCompensationCheckBox = nullptr;
    QDoubleSpinBox *threadAngleSpinBox = nullptr;
    QComboBox *profileModeComboBox = nullptr;

Q_SIGNALS:
    void readyForMeasurment(QVector<AbstractTrace *> traces);
    void lockButtons();
    void unlockButtons();
    void newDeviceType(int type);

public Q_SLOTS:
    void dataBatchReady(int from, int count) override;
    void dataReadStarted() override;
    void dataReadFinished() override;
    void dataReadError(QString error) override;
    void dataReset() override;
    void saveData(DataSaveFormat format) override;
    void recalcParamPlots();
    void settingsChanged();

private:
    void setupPlots();
    void setupToolBar();
    void connectSignals();
    void connectProcessingControls();
    void applyDeviceTypeVisibility(int type);
    void updateProcessingControls();
    // The processing the toolbar selects, with the non-linearity setting.
    ProcessingState processingState() const;
    // Replaces the trace's post-processors by the chain of the given state,
    // a profile's filter with the trace's own cut-off; nothing is recomputed.
    void rebuildChain(AbstractTrace *trace, const ProcessingState &state);
    // A profile trace whose filter was made with another cut-off than its
    // own is given the chain with its own and recomputed; true when it was.
    bool filterWithOwnCutOff(AbstractTrace *trace);

    void onThreadCompensationChanged(int state);
    void onMedianFilterChanged(int state);
    void onProfileModeChanged(int index);
    void onThreadAngleChanged(double value);
    void onMedianWindowChanged(int value);
    void onHistogramDensityChanged(int value);

    void onPanToggled(bool on);
    void onSelectionZoomToggled(bool on);
    void onMarkersToggled(bool on);
    void onPointsToggled(bool on);
    void onRLineToggled(bool on);
    void onRFitToggled(bool on);
    void onCut();
    void onReset();
    void onParamPlotsAfterReplot();
    void onMaterialRatioPlotPressed(QMouseEvent *event);
    void onFastSettingsLock();
    void onFastSettingsUnlock();
    void onDeviceTypeChanged(int type);

    // The trace of the provider whose signal is being handled, or null.
    AbstractTrace *senderTrace() const;
    // The holders in ascending trace id order, visible ones only when asked.
    QList<TraceGraphsHolder *> holders(bool visibleOnly = false) const;
    QVector<QCPCurve *> visibleCurves() const;
    void drawHolder(TraceGraphsHolder *holder);
    // Redraws the main plot, or, while replots are held, only notes that it
    // is to be redrawn; releasing the hold redraws it once if so.
    void replotMain();
    void holdReplots();
    void releaseReplots();
    void attachFileAdditionalTraces(AbstractTrace *trace);
    // Drops the trace of a reading whose provider was replaced before its
    // end arrived: it leaves the list and the plots and is deleted once its
    // worker has returned.
    void abandonStaleReading();
    // At the end of a reading: a trace that brought nothing worth keeping (a
    // file without a point read, an acquisition whose link was lost before
    // its sample block) leaves the list and the plots, and the operator is
    // told; true when the trace was dropped.
    bool dropsFinishedReading(const DataProvider *provider, AbstractTrace *trace, bool instrument);
    // The end of a reading: the trace is drawn whole, saved when acquired,
    // listed and selected, and the tools come back.
    void finishReading(DataProvider *provider);
    // The tools, the processing controls and the buttons back after a reading.
    void unlockAfterReading();
    // Shows a warning with the instrument's keys off; while the next
    // acquisition already runs, keeps it until that one's end.
    void warnOperator(const QString &title, const QString &text);
    void showDeferredWarnings();
    // Checks the cut-off of each acquired trace that another acquisition
    // followed at once, each with its own question, the earliest first.
    void checkFollowedTraces();
    // A save or a report while a trace is being read is refused with a
    // message; true when refused.
    bool refuseWhileReading(QWidget *parent, const QString &title);
    // The path a save question proposes: a remembered folder, the default
    // trace name and the time, told apart from the paths proposed before in
    // the same second.
    QString proposedPath(const QString &folder);

    Ui::ProfileAnalisisWidget *ui;
    PlotWidget *plotMain = nullptr;
    PlotWidget *plotHist = nullptr;
    PlotWidget *plotRMR = nullptr;
    std::unique_ptr<PanelFilterControl> m_filterControl;
    // The trace of each holder, by id.
    QMap<int, AbstractTrace *> m_holderTraces;
    QTimer *m_batchReplot = nullptr;
    // The reading in progress: its provider and its trace.
    QPointer<DataProvider> m_readingProvider;
    // Set while a finished acquisition is handled that the next one follows
    // at once.
    bool m_nextReadingFollows = false;
    // Until when the status bar keeps a message for the operator.
    QDeadlineTimer m_operatorMessage { 0 };
    QList<QPair<QString, QString>> m_deferredWarnings;
    // Acquired traces whose cut-off is checked at the end of the acquisition
    // that followed them at once, by id, in the order they were taken.
    QList<int> m_uncheckedTraces;
    AbstractTrace *m_readingTrace = nullptr;
    bool m_panelLocked = false;
    bool m_replotsHeld = false;
    bool m_replotPending = false;
    TraceSaving::ProposedPaths m_proposedPaths;
};
