#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QVector>
#include "plot/plotwidget.h"

#include <qcustomplot.h>

class ReperPoint;
class QMouseEvent;

// One selected run of data points of a trace curve. end is exclusive, as in a
// QCPDataRange. The curve pointer reads null once the plot has removed the
// curve, so a measurement never draws from a curve that is gone; a record with
// no curve is "not selected yet".
struct SegmentSelection {
    quint64 begin = 0;
    quint64 end = 0;
    QPointer<QCPCurve> curve;
};

// Base of every measurement and additional-geometry element on a contour plot.
//
// Life cycle: the manager creates a measurement on a press on the plot. While
// it is being placed, its label follows the mouse and calculate() runs on
// every move. The kind decides when placing ends: it calls finishMeasurement()
// and then emits measumentFinished(). From then on only recalculations asked
// for by the manager or the window change it. The manager owns it.
//
// Positions: the label position is stored in millimetres and returned by
// labelPosition() in the plot's unit (Settings::axis_unit).
class Measurement : public QObject {
    Q_OBJECT
public:
    // type: the kind's type code (the tree picks the section by it);
    // reperPointCount: reference points created hidden at once.
    Measurement(int type, PlotWidget *plot, int reperPointCount);
    ~Measurement() override;

    // Caption of the kind ("Высота", "Угол", ...).
    virtual QString name() const = 0;
    // The value with its unit, as the tree shows it.
    virtual QString valueText() const = 0;
    // The value in display units; 0 while incomplete.
    virtual double value() const = 0;
    // Recomputes from the segments or picked points and redraws the kind's items.
    virtual void calculate() = 0;
    virtual QString groupName() const = 0;
    // Large (20 pt) or normal (8 pt) label font; kinds without a label do nothing.
    virtual void setLargeFont(bool large) = 0;
    // Writes labelText into the kind's plot label.
    virtual void updateLabel() = 0;
    // Shows or hides the plot's selection marker as the kind needs it.
    virtual void updateSelectionMarker();
    virtual void setHighlighted(bool on) = 0;
    // Re-reads display settings (unit suffix, angle format) before a recalculation.
    virtual void updateSettings();
    virtual double nominal() const;
    virtual double tolerance() const;
    // Ends placing with the label where it stands now: the kind's own placing
    // click calls it, and the manager does for a measurement that has all it
    // measures (placingLabel set) when the operator turns to another tool, so
    // that a value already shown is kept. Shows the plot's selection marker,
    // finishes, puts "name: value" in the status bar and then announces
    // measumentFinished(), so a receiver of that sees the value shown already;
    // last the kind logs the result. Nothing once finished or without a plot.
    void finishPlacing();

    int type() const { return m_type; }
    int id() const { return m_id; }
    PlotWidget *plot() const { return m_plot; }
    bool isFinished() const { return finished; }
    int segmentCount() const { return segments.size(); }
    // Label position in the plot's unit.
    QPointF labelPosition() const;
    void setLabelText(const QString &text) { labelText = text; }
    void clearLabelText() { labelText.clear(); }

    // Starts the next segment: currentSegment moves on and an empty record is appended.
    void addSegment();
    // Record i, or null when there is none.
    SegmentSelection *segment(quint64 i);
    // Writes record currentSegment (or appends one when it does not exist yet).
    // Negative and non-finite indices count as 0.
    void storeSegment(double begin, double end, QCPCurve *curve);
    // True when there is at least one record and every record has a curve.
    bool allSegmentsSelected() const;

    // Connections to cut when placing ends.
    void addConnection(const QMetaObject::Connection &connection);
    void disconnectAll();
    // Ends placing: finished, connections cut, normal look, replot. Emits
    // nothing: the kind emits measumentFinished() right after.
    void finishMeasurement();

    // Appends n new hidden reference points.
    void createReperPoints(int n);
    // Moves point index to pos (plot coordinates) and shows it; announces it
    // with reperPointChanged(). An index out of range or a non-finite position
    // changes nothing.
    void setReperPoint(int index, const QPointF &pos);
    // Hides, unlists, announces and deletes the last point; nothing without one.
    void removeLastReperPoint();
    void makeReperPointsPickable();
    void makeReperPointsUnpickable();

    // Process-wide id source: ids start at 1 and are never reused.
    static int idCounter;

    // The status bar's request to place the value.
    static const QString kPlaceLabelPrompt;

    // Additional-geometry elements (kinds 22 to 29 and 32) set this to false.
    bool isMeasurement;
    QVector<SegmentSelection> segments;
    quint64 currentSegment;
    QString labelText;
    // Label position in millimetres.
    double labelX;
    double labelY;
    QList<QMetaObject::Connection> connections;
    bool finished;
    QList<ReperPoint *> reperPoints;
    // Everything is measured; only the value's place is still to be clicked.
    bool placingLabel = false;

Q_SIGNALS:
    void stopSelection();
    void measumentChanged();
    void graphDataChanged();
    void reperPointChanged(ReperPoint *pt);
    void reperPointRemoved(ReperPoint *pt);
    void statusText(QString string);
    void measumentFinished();
    void setNewAngleAndCenterRot(double angle, QPointF center_rot);

public Q_SLOTS:
    // Stores r as the current segment; a null curve is ignored.
    void onSegmentSelected(QCPDataRange r, QCPCurve *curve);

protected:
    // The kind's log lines for a value placed by finishPlacing().
    virtual void logFinished();
    // Announces the value for the status bar; while the label is being placed
    // the request to place it stays beside the value.
    void showValueStatus(const QString &text);

    // While placing: the label follows the cursor, the kind recalculates, the
    // plot is replotted and measumentChanged() is emitted.
    void onPlotMouseMove(QMouseEvent *event);

private:
    QPointer<PlotWidget> m_plot;
    int m_id;
    int m_type;
};
