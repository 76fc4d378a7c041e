#pragma once

#include "measurements/compareplanemeasurement.h"
#include "measurements/dxfdrawing.h"
#include "measurements/dxfdrawingitems.h"
#include "measurements/dxffit.h"

#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

class IDrawingHost;
class QCPCurve;
class QCustomPlot;
class QMouseEvent;

// One imported drawing laid over a contour plot: its entities and the plot
// item that paints them. Each import has its own, so registering, moving or
// deleting one drawing never touches another, nor a drawing of another plot.
struct PlotDrawing {
    DxfDrawing drawing; // dxfEntityTypes, dxfEntityParams
    QPointer<DxfDrawingItem> item;
    // Display units per millimetre the drawing's lengths are in; 0 while empty.
    double unitFactor = 0;
    // The comparison element that imported it; null for one added by
    // addPlotDrawing alone.
    QObject *owner = nullptr;
    // The element's registration is done (its picks are over).
    bool registered = false;
};

// The drawings of a plot, in the order they were added.
QVector<std::shared_ptr<PlotDrawing>> plotDrawings(const QCustomPlot *plot);
// Adds an empty drawing to the plot, last; it is forgotten when removed or
// when the plot is destroyed.
std::shared_ptr<PlotDrawing> addPlotDrawing(const QCustomPlot *plot);
void removePlotDrawing(const QCustomPlot *plot, const PlotDrawing *drawing);
// The plot's last drawing; null when it has none. It stays valid until that
// drawing is removed or the plot destroyed.
PlotDrawing *plotDrawing(const QCustomPlot *plot);
// The drawing of the plot nearest to (x, y); null when no drawing has an
// entity a distance is measured to.
std::shared_ptr<PlotDrawing> nearestPlotDrawing(const QCustomPlot *plot, double x, double y);
// Distance from (x, y) to the nearest drawing on the plot: 1e100 when it has none.
double distanceToDrawing(const QCustomPlot *plot, double x, double y);

// Key and value of a curve's data point; 0 for a null curve or an index
// outside its data.
double curveKeyAt(const QCPCurve *curve, int index);
double curveValueAt(const QCPCurve *curve, int index);

// Kind 33: lays an imported DXF drawing over a contour. The operator clicks a
// trace point, then the matching point of the drawing (one of its markers);
// the drawing is moved so that the two coincide, turned about that point to
// the orientation that fits the trace best and shifted to the best fit. A
// pick is a left click (press and release in one place, by the plot's own
// drag rule) that the host takes as one, and takes the point the plot finds
// under the cursor at the click: a drag, a click while a zoom or pan tool is
// on, a tool frame is open or a kind is armed picks nothing. Of several
// drawings waiting for their picks, the last imported takes them. A
// registration that pulls the two picked points farther apart than
// picksApartLimit allows (for the drawing and the zoom of the picks) is
// reported as failed, like a search that fails, with how far apart they were.
// A drawing of more than kBackgroundEntities entities is registered off the
// GUI thread behind the busy window, whose "Отмена" stops the search and
// leaves the drawing where it was, the element waiting for the first click
// again; a smaller one is registered at once, inside the click. Either way
// the search works on a copy, which replaces the drawing in one step once it
// has succeeded: a search that fails is reported and leaves the drawing as
// it was.
class ComparePlaneDXF : public ComparePlaneMeasurement {
    Q_OBJECT
public:
    // Asks for the file, reads it and draws it at once. When the operator
    // cancels or nothing can be read, the reader's message is shown and
    // logged, and the element holds no drawing (hasDrawing() is false): the
    // plot and whatever drawing it had stay as they were.
    // Without a host nothing is asked and nothing imported.
    ComparePlaneDXF(IDrawingHost *host, PlotWidget *plot);
    // Removes the drawing this element imported, and only that one.
    ~ComparePlaneDXF() override;

    bool hasDrawing() const { return imported; }
    // True while a registration runs off the GUI thread.
    bool isRegistering() const { return m_registering; }
    // The drawing this element imported; null when it imported none.
    const PlotDrawing *drawingData() const { return own.get(); }
    // The operator turned to another tool before the registration ended: the
    // drawing stays where it is, unregistered, and the picks start again
    // from the first when the plot takes picks again.
    void suspendRegistration();
    // A suspended registration whose picks the plot would take now: its
    // prompt for the pick that is due is shown again, with the selection
    // marker.
    void offerRegistration();
    // Escape while the drawing waits for its picks: a trace point picked is
    // given back and the first pick asked for again; with none picked the
    // drawing stays where it is, unregistered, waiting for it. A search under
    // way is stopped, which leads back to the first pick as well.
    void takeBackPick();
    // True when this element's drawing is the last one of the plot that
    // waits for its picks.
    bool takesPicks() const;

    static constexpr int kBackgroundEntities = 200;

    // Follows a change of the display unit: the drawing and the registration
    // points scale by the ratio of the new and the old unit.
    void calculate() override;

    void translateDrawing(double dx, double dy);
    // About tracePoint.
    void rotateDrawing(double degrees);
    void scaleDrawing(double factor);
    // The searches of the registration, over the registered trace's points.
    void fitRotation();
    void fitShift();

    // The registration markers of the entities this element imported, all
    // of them, as one curve; null once registered.
    DxfMarkers *markers() const { return m_markers; }

    // The search a registration runs: registerDrawing. A test puts a failing
    // one in its place.
    using RegistrationSearch = Registration (*)(DxfDrawing &drawing, const QPointF &tracePoint,
        const QPointF &drawingPoint, const QVector<QPointF> &points, double unitFactor, bool prune,
        const FitCancel *cancel);
    static RegistrationSearch registrationSearch;

    // 0 before the first click, 1 after it, 2 once registered.
    qint16 registrationStage = 0;
    int registrationIndex = 0;
    // The number of registration markers.
    int markerCount = 0;
    QPointF tracePoint;
    QPointF drawingPoint;

private:
    // What a search hands back: the drawing it registered, or why not.
    struct Outcome {
        DxfDrawing drawing;
        bool cancelled = false;
        // Empty unless the search failed: the operator's text and the cause.
        QString failure;
        QString cause;
    };
    static Outcome runSearch(DxfDrawing drawing, const QPointF &onTrace, const QPointF &onDrawing,
        const QVector<QPointF> &points, double factor, double limit, const FitCancel *cancel);

    void onPlotMousePress(QMouseEvent *event);
    void onPlotMouseRelease(QMouseEvent *event);
    void registerInBackground();
    void onBackgroundRegistered(Outcome outcome, double startUnit);
    // The registered drawing takes the drawing's place, the markers go.
    void applyRegistration(DxfDrawing registered);
    // No pick made, the markers not pickable: what a pause and a restart of
    // the registration both start from.
    void resetPicks();
    // Back to the first click, the drawing and its markers as they were.
    void restartRegistration();
    void reportFailure(const Outcome &outcome);
    void finishRegistration();
    void removeMarkers();
    bool importDrawing();
    void followUnit();
    QVector<QPointF> fitPoints() const;
    PlotDrawing *drawing() const;

    IDrawingHost *host = nullptr;
    std::shared_ptr<PlotDrawing> own;
    // The left button went down to start a pick.
    bool pressed = false;
    // The largest plot length a pixel spanned at the picks made so far, in
    // the unit of tracePoint.
    double pickSpan = 0;
    // The trace the first click took its point from; the fit runs over it.
    QPointer<QCPCurve> registrationCurve;
    QPointer<DxfMarkers> m_markers;
    // Display units per millimetre of tracePoint, drawingPoint and the markers.
    double unitFactor;
    bool imported = false;
    // The registration running off the GUI thread: its stop flag (shared
    // with the search) and the busy window.
    bool m_registering = false;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::function<void()> m_waitForSearch;
};
