#pragma once

// The contour window's side of the measurements, for tests: a window with a
// PlotWidget whose first curves are clones of contour traces, the measurement
// manager and the measurement tree, answering every signal of the two as the
// contour window does. Kinds tests arm a kind, press, move and release on the
// plot at data coordinates and read the tree and the manager.
//
//   ContourWindowStandIn w({ContourTest::makeTrace(100, 0, 1, f)});
//   w.arm(MAX_MIN_DISTANCE);
//   w.drag(0, 10, 20);           // trace 0, point 10 to point 20
//   w.click(QPointF(50, 30));    // place the label
//   QCOMPARE(w.rowOf(w.manager()->measurementList().last())->text(1), ...);

#include "support/contourtestplot.h"
#include "support/fakedrawinghost.h"

#include "measurements/measurementkinds.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"

#include <QMap>
#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;

class ContourWindowStandIn : public QWidget {
    Q_OBJECT
public:
    // Takes the traces over, keeps clones of them and draws one curve per
    // clone before the manager sees them.
    explicit ContourWindowStandIn(const QVector<AbstractTrace *> &traces = {}, bool calibrationMode = false);
    ~ContourWindowStandIn() override;

    PlotWidget *plot() const { return m_plot; }
    MeasurementsManager *manager() const { return m_manager.get(); }
    MeasurementTreeWidget *tree() const { return m_tree; }
    QCPCurve *traceCurve(int i) const;
    AbstractTrace *trace(int i) const { return m_traces.at(i).get(); }
    int traceCount() const { return int(m_traces.size()); }

    // Arms a kind as the window's buttons do: keepInList false for the
    // levelling kinds, reference points pickable for the kinds that can
    // start at one; the parameter text is passed as it is.
    void arm(int kind, const QString &parameter = QString());
    // NO_MEASUREMENT, as unchecking a button does.
    void disarm();

    // Mouse events at data coordinates.
    void press(const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
    void move(const QPointF &at, Qt::MouseButtons held = Qt::NoButton);
    void release(const QPointF &at, Qt::MouseButton button = Qt::LeftButton);
    // Press and release at one place.
    void click(const QPointF &at);
    // Along trace curve `trace` from point `from` to point `to`.
    void drag(int trace, int from, int to);
    // Point i of a trace curve in data coordinates.
    QPointF tracePoint(int trace, int i) const;
    // The Escape key on the window.
    void pressEscape();

    // The window's answers.
    void updateMeasurementItem(Measurement *m);
    void deleteMeasurement(int id);
    void recalcAllMeasurements();
    void addMeasurement(int index, E_MEASUREMENTS type, double distance);

    // What the window shows and keeps.
    QTreeWidgetItem *rowOf(int id) const { return m_items.value(id); }
    QTreeWidgetItem *rowOf(const Measurement *m) const;
    int rowCount() const { return m_items.size(); }
    QString statusMessage() const;
    double levellingAngle() const { return m_levellingAngle; }
    QPointF levellingCentre() const { return m_levellingCentre; }
    QPushButton *errorPlaneButton() const { return m_errorPlaneButton; }
    FakeDrawingHost &drawingHost() { return m_drawingHost; }
    QString screenshot(const QString &name);

private:
    std::vector<std::unique_ptr<AbstractTrace>> m_traces;
    PlotWidget *m_plot = nullptr;
    MeasurementTreeWidget *m_tree = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_errorPlaneButton = nullptr;
    std::unique_ptr<MeasurementsManager> m_manager;
    // A click picks a registration point while no kind is armed.
    FakeDrawingHost m_drawingHost;
    QMap<int, QTreeWidgetItem *> m_items;
    double m_levellingAngle = 0;
    QPointF m_levellingCentre;
};
