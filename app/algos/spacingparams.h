#pragma once

#include "algos/tracetypes.h"

// Spacing, slope and peak-count parameters of a profile (X ascending, Y, in
// micrometres) over sampling lengths of length l. A value that cannot be
// computed is 0.
namespace Algos {

// Profile elements: a stretch below the mean line followed by one above it,
// counted when wider than 1 % of l and higher than 10 % of Rz; a smaller one
// merges into the next.
double RSm(TData profile, double l); // mean element width, one mean line over the whole profile
double Rc(TData profile, double l); // mean element height, elements per sampling length

// Slopes dY/dX of the raw profile, shown in degrees (the ratio scaled by 180/π).
double RDeltaQ(TData profile, double l); // root mean square slope
double RDeltaA(TData profile, double l); // arithmetic mean slope
double lambdaQ(TData profile, double l); // 2π Rq / RΔq (slope in radians)
double lambdaA(TData profile, double l); // 2π Ra / RΔa

double S(TData profile); // mean spacing of local peaks of the raw profile

// Downward crossings of the mean line per sampling length, as a count per
// 10000 µm (per centimetre) of the sampling length's extent.
double D(TData profile, double l);

double polylineLength(const TData &profile); // developed length of the raw profile
double L0(TData profile, double l); // mean developed length of the sampling lengths
double l0(TData profile, double l); // mean developed length per unit of extent

// Runs of points above `level` about one mean line, per 10000 µm.
double crossingDensity(TData profile, double level);

} // namespace Algos
