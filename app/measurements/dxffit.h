#pragma once

#include "measurements/dxfdrawing.h"

#include <QPointF>
#include <QVector>
#include <atomic>
#include <memory>
#include <vector>

// Geometry of the comparison of a trace with a drawing, and the search that
// lays the drawing over the trace. Plain functions over a drawing value and a
// list of trace points, in display units.

// What a point far from any drawing counts as: also the distance to an empty
// drawing and to one of ellipses only (ellipses take no part in the fit).
constexpr double kNoDrawingDistance = 1e100;

double pointDistance(const QPointF &a, const QPointF &b);
// Foot of the perpendicular from p to the line through a and b.
QPointF projectPointOnLine(const QPointF &p, const QPointF &a, const QPointF &b);
// Distance from p to the segment ab: to the foot of the perpendicular when it
// falls on the segment, else to the nearer end.
double pointSegmentDistance(const QPointF &p, const QPointF &a, const QPointF &b);
// Distance from p to the arc of centre c and radius r running counter-
// clockwise from start to end (degrees); a negative start is a full circle.
double pointArcDistance(const QPointF &p, const QPointF &c, double r, double start, double end);
// Polar angle of b - a in radians.
double pointAngle(const QPointF &a, const QPointF &b);

// Distance from (x, y) to the nearest line, circle or arc of the drawing.
double distanceToDrawing(const DxfDrawing &drawing, double x, double y);
// Sum of the distances of every point to the drawing.
double drawingFitError(const DxfDrawing &drawing, const QVector<QPointF> &points);

// Moves every entity: lines by both ends, the others by their centre.
void translateDrawing(DxfDrawing &drawing, double dx, double dy);
// Turns every entity about centre, counter-clockwise by degrees: lines by both
// ends, the others by their centre; arcs turn their angles too. Ellipses keep
// their axes along x and y.
void rotateDrawing(DxfDrawing &drawing, double degrees, const QPointF &centre);
// Scales lengths about the origin; angles stay.
void scaleDrawing(DxfDrawing &drawing, double factor);

// The entities' bounding boxes in a tree, for the nearest entity to many
// points of a large drawing.
class DrawingEntityTree;

// The fit error of a drawing against one fixed set of points, evaluated many
// times while the drawing moves. With pruning, each point is measured only
// against the entities that can be nearest to it: for a small drawing those
// found per cell of a grid over the points by the entities' bounding boxes,
// for a large one those a tree of the entities' boxes leaves in reach. The
// sum is the same as the plain one, to the last bit.
class DrawingFitError {
public:
    explicit DrawingFitError(const QVector<QPointF> &points, bool prune = true);
    ~DrawingFitError();

    double operator()(const DxfDrawing &drawing);
    int evaluations() const { return m_evaluations; }

    // An entity as the distance sees it (lines, circles and arcs).
    struct Geometry;
    // The same error for the entities' geometry as the searches make it.
    double operator()(const std::vector<Geometry> &geometry);

private:
    double plainSum(const std::vector<Geometry> &geometry) const;
    double prunedSum(const std::vector<Geometry> &geometry);
    double treeSum(const std::vector<Geometry> &geometry);
    void cellCandidates(int cell, const std::vector<Geometry> &geometry);

    QVector<QPointF> m_points;
    bool m_prune;
    int m_evaluations = 0;
    std::vector<Geometry> m_geometry; // of the drawing evaluated last
    std::unique_ptr<DrawingEntityTree> m_tree;
    // The grid over the points' bounding box.
    double m_x0 = 0, m_y0 = 0, m_cell = 1;
    int m_nx = 1, m_ny = 1;
    bool m_allFinite = true;
    // Per evaluation: for each cell the start of its candidate list in
    // m_candidates (-1 until a point falls in it) and its length.
    QVector<int> m_cellStart;
    QVector<int> m_cellCount;
    QVector<int> m_candidates;
};

// Distances of many points to one drawing: the entities' geometry is made
// once, and an entity whose bounding box lies farther than the nearest
// distance found so far is skipped (trace points come in order, so the search
// starts at the entity nearest to the previous point); a large drawing is
// searched through the tree of its boxes. Gives exactly what
// distanceToDrawing gives.
class DrawingDistance {
public:
    explicit DrawingDistance(const DxfDrawing &drawing);
    ~DrawingDistance();

    bool isEmpty() const { return m_geometry.empty(); }
    double operator()(double x, double y);

private:
    std::vector<DrawingFitError::Geometry> m_geometry;
    size_t m_last = 0;
    double m_scale = 0; // the largest magnitude of a box coordinate
    std::unique_ptr<DrawingEntityTree> m_tree; // for a large drawing only
};

struct RotationFit {
    double angle = 0; // degrees turned in all, in [0, 360)
    double error = 0;
};

// Set from another thread to stop a search between two trials; the drawing is
// then left somewhere on the way.
using FitCancel = std::atomic<bool>;

// Turns the drawing about centre to the orientation of least error: first
// upside down or not, then by steps halving from 90 degrees to below 0.001.
RotationFit fitRotation(
    DxfDrawing &drawing, const QPointF &centre, DrawingFitError &error, const FitCancel *cancel = nullptr);
struct ShiftFit {
    QPointF shift; // how far the drawing moved
    double error = 0;
};

// Shifts the drawing vertically, then horizontally, by steps halving from one
// millimetre (unitFactor display units) while above a thousandth of a
// micrometre, whatever the display unit; a step that keeps
// succeeding in one direction doubles, so a drawing far off is reached in a
// few dozen trials.
ShiftFit fitShift(DxfDrawing &drawing, double unitFactor, DrawingFitError &error, const FitCancel *cancel = nullptr);

struct Registration {
    double angle = 0; // degrees the drawing was turned
    QPointF shift; // how far the shifts moved it after turning
    double error = 0;
    bool cancelled = false; // stopped by the cancel flag: the drawing is of no use
};

// The diagonal of the box around the drawing's lines, circles, arcs and
// ellipses; 0 for an empty drawing.
double drawingExtent(const DxfDrawing &drawing);

// How far the fit may pull the two picked points apart before the picks are
// taken as not belonging together, in display units: what picks as good as
// the screen allows need (kPickPixels pixels of pixelSpan, the plot length a
// pixel spanned at the picks), and no less than kPartShare of the drawing's
// extent, since the part itself may lie that far off its drawing at the
// picked point; never less than a millimetre (unitFactor display units),
// which picks a few trace points off a small part need.
double picksApartLimit(const DxfDrawing &drawing, double pixelSpan, double unitFactor);
constexpr double kPickPixels = 20;
constexpr double kPartShare = 0.05;

// How far the shift search moved the picked points apart.
double picksApart(const Registration &registration);
// Whether a registration kept the two picked points within limit of each
// other. Picks a few trace points off need a shift of that order; picks that
// do not belong together pull the drawing farther.
bool registrationKeepsPicks(const Registration &registration, double limit);

// The whole registration: drawingPoint is moved onto tracePoint, then the
// drawing is turned about tracePoint and shifted to fit the points.
Registration registerDrawing(DxfDrawing &drawing, const QPointF &tracePoint, const QPointF &drawingPoint,
    const QVector<QPointF> &points, double unitFactor, bool prune = true, const FitCancel *cancel = nullptr);
