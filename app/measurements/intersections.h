#pragma once

#include <QList>
#include <QPointF>

class Measurement;

// Crossings of two finished elements of additional geometry, read from their
// members: a circle ("Окружность", kinds 22 and 23) by its centre and radius,
// a vertical line ("Вертикальная прямая") by its x, every other line
// (horizontal, two-point, thread) as y = coefficients[0]·x + coefficients[1].
// Where the order of the two is free, the first argument's caption tells which
// is which. An element of another class than the caption promises gives no
// point.
QList<QPointF> circleCircleIntersection(Measurement *a, Measurement *b);
QList<QPointF> verticalLineLineIntersection(Measurement *a, Measurement *b);
QList<QPointF> circleVerticalLineIntersection(Measurement *a, Measurement *b);
QList<QPointF> circleLineIntersection(Measurement *a, Measurement *b);
QList<QPointF> lineLineIntersection(Measurement *l1, Measurement *l2);
