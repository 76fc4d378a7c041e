#pragma once

#include "traces/tracetypes.h"

// The points of a trace as the profile window draws them while they arrive:
// [0] X and [1] Y of the given raw points times the unit factor (display
// units per micrometre). A contour's third channel is added to its Y in
// thousandths before scaling, as the contour point conversion does. Fewer
// than two channels give two empty channels.
TData rawDisplayPoints(const TData &raw, int traceType, double unitFactor);
