#pragma once

#include "algos/tracetypes.h"

// The points of a trace as the profile window draws them while they arrive:
// [0] X and [1] Y of the given raw points times the unit factor (display
// units per micrometre). A contour's third channel is added to its Y in
// thousandths before scaling, as the contour point conversion does. Fewer
// than two channels give two empty channels.
TData rawDisplayPoints(const TData &raw, int traceType, double unitFactor);

// The processed points of a trace as the contour window draws them: [0] X and
// [1] Y times the unit factor and, when rotated, turned by angle (radians)
// about the centre (display units), as the levelling shows them. Points
// beyond the shorter of the two channels are left out.
TData levelledDisplayPoints(
    const TData &processed, double unitFactor, bool rotated, double centreX, double centreY, double angle);

// A level read on a plot in the axis unit of the settings (0 mm, 1 µm, 2 nm),
// in micrometres; any other unit counts as micrometres.
double levelInMicrometres(double level, int axisUnit);
