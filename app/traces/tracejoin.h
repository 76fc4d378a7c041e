#pragma once

#include "algos/tracetypes.h"

#include <QPair>

class AbstractTrace;

// Joining of two traces of one part taken in overlapping strokes: the right
// trace is shifted so that its start lies on the end of the left trace, found
// by a pattern search on the sum of nearest distances within the overlap, and
// the two are concatenated. Only X and Y of the processed data take part.

// The joined points (X, Y) of the left and right traces for an overlap in
// millimetres. Empty when the join is impossible: a trace with fewer than two
// points or an overlap zone without points.
TData stitchTraces(const AbstractTrace &left, const AbstractTrace &right, double overlap);
// The same on the processed data of the two traces.
TData stitchPoints(const TData &left, const TData &right, double overlap);

// The end of the left points and the start of the right points, each spanning
// less than `length` in X: (left zone, right zone). The left zone never holds
// the left trace's first point.
QPair<TData, TData> overlapZones(const TData &left, const TData &right, double length);

// Points of a zone spaced at least length/100 apart in X, the first always
// kept.
TData thinOutByStep(const TData &zone, double length);

// Moves `moving` on both axes, pass after pass, until the error no longer
// falls by a thousandth; returns the total (X shift, Y shift).
QPair<double, double> fitShift(const TData &fixed, TData &moving);

// Pattern search of one coordinate (0 X, 1 Y): moves `moving` to the shift of
// least error against `fixed`; returns (shift found, error reached).
QPair<double, double> fitShiftAlongAxis(TData &moving, const TData &fixed, int axis);

// The left points before the first X of the right points, then every right
// point.
TData mergeProfiles(const TData &left, const TData &right);

// Whether joined columns can become a trace: X and Y present, of one length
// and not empty.
bool isJoinedDataUsable(const TData &joined);

// The joined X and Y become the raw and the processed points of the trace; a
// third channel of the trace gets zeros.
void setJoinedPoints(AbstractTrace &trace, const TData &joined);
