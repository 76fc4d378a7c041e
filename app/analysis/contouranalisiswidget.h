#pragma once

#include "analysis/analisyswidget.h"
#include "measurements/drawinghost.h"
#include "measurements/measurementkinds.h"
#include "report/reportdata.h"

#include <QIcon>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class AbstractTrace;
class Loader;
class Measurement;
class MeasurementsManager;
class MeasurementTreeWidget;
class PlotWidget;
class QAbstractButton;
class QAction;
class QCPCurve;
class QFrame;
class QPushButton;
class QShortcut;
class QTreeWidget;
class QTreeWidgetItem;
class QWheelEvent;
class Ui_ContourAnalisisWidget;

// The window in which contour (and profile) traces are measured. It works on
// its own clones of the traces, draws each clone as one curve on one plot,
// and offers zoom and pan tools, the measurement tool bar with its button
// frames, and the measurement tree that mirrors the manager's measurements.
// In calibration mode it also shows the calibration tools, forces decimal
// degrees while it lives and redraws the traces on every calibration edit.
class ContourAnalisisWidget : public AnalisysWidget, public IDrawingHost {
    Q_OBJECT

public:
    // The parent is not used: the tab widget or dialog layout that receives
    // the window adopts it.
    explicit ContourAnalisisWidget(QWidget *parent = nullptr, bool calibrationMode = false);
    ~ContourAnalisisWidget() override;

    // Called once, right after construction: clones every non-null trace
    // (the caller keeps its own) and draws one curve per clone.
    void setTraces(QVector<AbstractTrace *> traces);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void enterReportMode() override;
    void leaveReportMode() override;
    void saveReport(QWidget *parent) override;

    PlotWidget *plot() const;
    MeasurementTreeWidget *tree() const;
    MeasurementsManager *measurementsManager() const { return manager; }
    int traceCount() const { return traces.size(); }
    AbstractTrace *trace(int i) const { return traces.value(i); }
    QCPCurve *traceCurve(int i) const;
    QTreeWidgetItem *rowOf(int id) const { return measurementItems.value(id); }
    double unitFactorValue() const { return unitFactor; }
    QString unitSuffixText() const { return unitSuffix; }
    double currentLevellingAngle() const { return levellingAngle; }
    QPointF currentRotationCentre() const { return QPointF(rotationCentreX, rotationCentreY); }

    // What the drawing comparison needs of this window: the busy window of
    // its registration and whether a click on the plot picks.
    void showRegistrationBusy(const QString &text, const std::function<void()> &cancel) override;
    void hideRegistrationBusy() override;
    bool plotClickPicks() const override;

    // The window's answers to the manager's measurementChanged.
    void updateMeasurementItem(Measurement *m);

public Q_SLOTS:
    void saveData(DataSaveFormat format) override;
    // The main window's settingsChanged lands here: units and settings are
    // read again and every measurement recalculated.
    void recalcAllMeasurements();
    // index: a measurement id.
    void deleteMeasurement(int index);
    void addMeasurement(int index, E_MEASUREMENTS type, double distance);
    // Acts on the sender, a MeasurementTreeWidget: highlights the measurement
    // of the selected row.
    void processMeasurementSelection();
    void delButtonPress(MeasurementTreeWidget *tree);
    // A calibration value changed: the traces are rebuilt from their raw
    // points and drawn with the levelling kept; measurements recalculate.
    void calibrationDataValueChangedManually(QVector<AbstractTrace *> changed);

Q_SIGNALS:
    void closeDialogCalibration();

private:
    struct MeasurementButton {
        QPushButton *button;
        E_MEASUREMENTS kind;
        QAction *action;
    };
    enum class Tool { Pan, ScaleX, ScaleY };

    void setupToolFrames();
    void connectSignals();
    void showCalibrationTools();
    void applyAxisUnits();
    void redrawTraces();
    void setCurveData(int i, bool rotated);
    void autoscale();
    // The trace curves the plot still has, in trace order.
    QVector<QCPCurve *> traceCurves() const;
    void autoscaleContour();
    void autoscaleProfile();
    void panBy(const QPoint &position);
    void startPan(const QPoint &position);
    void forEachTraceCurve(const std::function<void(QCPCurve *)> &f);
    void createPlot();
    void switchTool(Tool tool, QPushButton *button, bool checked);
    void wheelZoom(Tool tool, QWheelEvent *event);
    void resetScale();
    void resetLevelling();
    void addLevelling(double angle, QPointF centre);

    void onFrameActionToggled(QAction *action, bool checked);
    void hideToolFrames();
    void exclusiveToolAction(QObject *sender);
    void startMeasurementFromButton(const MeasurementButton &b, bool checked);
    // The parameter a kind asks for; false when the operator cancelled.
    bool askParameter(E_MEASUREMENTS kind, QString *parameter);
    // The armed kind could not make its measurement (the drawing import gave
    // nothing): the kind is disarmed and the window shows what it showed
    // before the kind was chosen.
    void onMeasurementNotCreated(int kind);
    void keepSingleSelection(QTreeWidgetItem *keep);

    std::unique_ptr<Ui_ContourAnalisisWidget> ui;
    QVector<AbstractTrace *> traces;
    MeasurementsManager *manager = nullptr;
    double unitFactor = 1.0;
    QString unitSuffix;
    bool calibrationMode = false;
    bool savedAnglesInDeg = false;
    // Owned by the plot.
    QVector<QPointer<QCPCurve>> curves;
    // The busy window of a drawing registration running off this thread.
    QPointer<Loader> registrationLoader;
    QList<QShortcut *> deleteShortcuts;
    double levellingAngle = 0;
    double rotationCentreX = 0;
    double rotationCentreY = 0;
    bool panning = false;
    QPoint lastPanPos;
    QMap<int, QTreeWidgetItem *> measurementItems;

    // The wheel handler each zoom tool of this window connected, so that
    // switching a tool off drops exactly its own connection.
    QMap<Tool, QMetaObject::Connection> wheelConnections;
    // The eleven actions, each with its frame (null for actionAvgDiameter).
    QList<QPair<QAction *, QFrame *>> frameActions;
    // Every button that switches a tool on or arms a kind (all but reset-scale).
    QList<QPushButton *> exclusiveButtons;
    QList<MeasurementButton> measurementButtons;
    // What arming the last kind changed besides the button: the group
    // action's icon, the status bar and the plot's interactions.
    // What a zoom or pan tool changed on the plot, put back when it is
    // switched off.
    struct BeforeTool {
        bool kept = false;
        int interactions = 0;
        int rectMode = 0;
        bool markerVisible = false;
    } beforeTool;
    struct BeforeArming {
        QIcon actionIcon;
        QString status;
        int interactions = 0;
    } beforeArming;

    // The measurement protocol (report kind 3), written by saveReport.
public:
    ReportData reportData();
    // The plot as it is shown, at scale 1.
    QVector<QPixmap> reportPlots();
    // In report mode every listed measurement is designated by its section's
    // prefix and its row number (L_1, α_2) on its label and in its row;
    // leaving it clears the labels, recalculates and shows the names again.
    // Labels get the large font in report mode, additional geometry included.
    void renumberMeasurements(QTreeWidget *tree, MeasurementsManager *manager, bool reportMode);
};
