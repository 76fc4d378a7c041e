#pragma once

#include "measurements/measurement.h"
#include "measurements/measurementkinds.h"
#include "measurements/plotsegmentselection.h"
#include "plot/plotwidget.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>

class AbstractTrace;
class ComparePlaneDXF;
class IDrawingHost;
struct PlotDrawing;
class QMouseEvent;
class QWidget;
class ReperPointController;

// Creates, wires and owns the measurements of one contour plot.
//
// The window arms a kind with setKind(); the next left press on the plot
// creates a measurement of that kind, which is wired to the segment selection,
// the reference-point controller and the manager, and listed (unless armed
// with keepInList false). When a measurement finishes, crossing points with
// the listed additional-geometry elements become its reference points.
//
// The handlers of one plot event run in connection order: the segment
// selection, then the controller (moves) or the manager (presses), then the
// measurements. The constructor makes these connections before any
// measurement exists.
class MeasurementsManager : public QObject {
    Q_OBJECT
public:
    // parentWidget: the window; it receives the Escape shortcut and parents
    // the dialogs of the kinds that ask something.
    MeasurementsManager(PlotWidget *plot, QWidget *parentWidget);
    ~MeasurementsManager() override;

    // What a drawing comparison asks of the window; the window sets itself.
    void setDrawingHost(IDrawingHost *host) { drawingHost = host; }
    // Asked first on Escape: true when the window used the key itself (it
    // closed a tool frame), and Escape then does nothing more.
    void setEscapeTaker(std::function<bool()> taker) { escapeTaker = std::move(taker); }
    // The window's traces; their curves are the plot's first curves.
    void setTraces(const QVector<AbstractTrace *> &traces);
    // Arms the kind the next press creates. An unfinished measurement of
    // another kind is finished in place when only its label was left to
    // place, and dropped otherwise; a drawing waiting for its registration
    // picks pauses, however often this happens. With no kind armed, the
    // drawing that takes the picks asks for the one due.
    void setKind(E_MEASUREMENTS kind, bool keepInList, bool pickReperPoints, const QString &parameter);
    // The first listed measurement with that id, or null.
    Measurement *measurementById(int id) const;
    // Unlists and deletes that measurement; an unknown id does nothing. The
    // deviations measured against a drawing ("Чертёж DXF") go with it, each
    // announced with deleteMeasurement first; other drawings and theirs stay.
    // What the measurement last said in the status bar is cleared.
    void removeMeasurement(int id);
    // Lists a copy of the listed line element id, shifted by distance
    // (kind 24, 25 or 26: the line kind of the element's caption).
    void addEquidistant(int id, E_MEASUREMENTS kind, double distance);
    // Crossing points of a listed element with the current measurement,
    // added as the current measurement's last reference points.
    void addIntersectionPoints(Measurement *other, Measurement *current);
    bool segmentSelectionDisabled() const;

    const QList<Measurement *> &measurementList() const { return measurements; }
    Measurement *currentMeasurement() const { return current; }
    int currentKind() const { return kind; }
    bool keepsInList() const { return keepInList; }
    QString currentParameter() const { return parameter; }
    double currentLevellingAngle() const { return levellingAngle; }
    QPointF currentLevellingCentre() const { return levellingCentre; }
    ReperPointController *controller() const { return reperPointController; }
    PlotSegmentSelection *selection() const { return segmentSelection; }
    // The kinds this manager can create; a copy of the program's table.
    MeasurementKindTable &kindTable() { return kinds; }

public Q_SLOTS:
    void onMeasurementFinished();
    // Escape: drops an unfinished measurement and clears the plot's selections.
    void cancelCurrent();

Q_SIGNALS:
    void enableButton(bool enable);
    void measurementChanged(Measurement *);
    void deleteMeasurement(Measurement *);
    void statusText(QString status);
    // A press found the armed kind unable to make its measurement (a drawing
    // comparison whose import gave no drawing): nothing was created or listed
    // and the kind is still armed; the window decides what to show.
    void measurementNotCreated(int kind);
    void setNewAngleAndCenterRot(double angle, QPointF center_rot);

private:
    void onPlotMousePress(QMouseEvent *event, QWidget *parentWidget);
    void createMeasurement(QWidget *parentWidget);
    void attachCurrent(bool list);
    void recalculateAll();
    // Announces the measurement with deleteMeasurement, then makes sure it is
    // unlisted and deleted, once (and no longer current).
    void deleteAnnounced(QPointer<Measurement> m);
    // deleteAnnounced for the unfinished current measurement; its prompt is
    // cleared.
    void dropCurrent();
    // The operator turns away from an unfinished current measurement: one
    // that has all it measures, its value shown and only its place left to
    // click, is finished where its label stands; one still missing a point or
    // a stretch is dropped.
    void settleCurrent();
    // Drops or removes every deviation measured against that drawing (with
    // null, against any), and a deviation being placed that has none yet.
    void removeDrawingDeviations(const PlotDrawing *drawing);
    // The drawing whose registration takes the plot's picks now, or null.
    ComparePlaneDXF *drawingTakingPicks() const;
    // Clears the status bar when m was the last to write to it.
    void forgetStatusOf(const Measurement *m);
    // Forgets the current measurement; deletes it when it is not listed.
    void releaseCurrent();
    void enableSegmentSelectionForKind();

    QVector<AbstractTrace *> traces;
    // Owned; in the order they were attached.
    QList<Measurement *> measurements;
    QPointer<Measurement> current;
    ReperPointController *reperPointController;
    int kind;
    bool keepInList;
    double levellingAngle;
    QPointF levellingCentre;
    QString parameter;
    QPointer<PlotWidget> plot;
    QPointer<PlotSegmentSelection> segmentSelection;
    MeasurementKindTable kinds;
    IDrawingHost *drawingHost = nullptr;
    std::function<bool()> escapeTaker;
    // The measurement whose text the status bar shows.
    QPointer<Measurement> statusSource;
};
