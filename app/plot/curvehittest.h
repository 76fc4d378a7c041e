#pragma once

#include <QPointF>
#include <QVariant>

class QCPCurve;
class QCustomPlot;
class QPoint;

// The curve's hit test (QCPCurve::selectTest) with the same result: the
// smallest pixel distance from pos to the curve's data points and, when the
// curve draws a line, to its line segments, and in details the index of the
// data point nearest to pos (first of equally near ones); -1 for no hit.
//
// The library walks every point and every segment. Where the keys ascend on a
// linear key axis, this searches outward from the cursor's key instead and
// stops once the key distance alone exceeds the best distance found, so a
// mouse move over a long trace costs a few hundred points. Curves of other
// kinds, and views where the search could not prove its answer, go to the
// library's test.
double curveHitTest(const QCPCurve *curve, const QPointF &pos, bool onlySelectable, QVariant *details = nullptr);

// The search behind curveHitTest, for a position inside the curve's axis
// rectangle: true with the distance and the nearest point's index when it
// could prove its answer, false when only the library's walk can tell.
bool searchCurveHit(const QCPCurve *curve, const QPointF &pos, double *distance, int *index);

// Index of the point of the curve nearest to a pixel, or -1.
int nearestPointIndex(QCPCurve *curve, const QPoint &pixel);
// Of the plot's first curveCount curves, the one whose nearest point is
// nearest to the pixel, or null.
QCPCurve *nearestCurve(QCustomPlot *plot, int curveCount, const QPoint &pixel);
