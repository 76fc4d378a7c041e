#pragma once

#include "algos/fitting.h"
#include "algos/tracetypes.h"

// Parameters resting on the distribution of profile heights: material length
// and ratio at a level, the material-ratio curves, the core-roughness family
// (Rk, Rpk, Rvk, Mr1, Mr2), the amplitude-density curve and Dp. Heights and
// levels in micrometres, ratios in percent. A curve that cannot be built is
// empty, a value that cannot be computed is 0.
namespace Algos {

// Total length of the closed runs of points above `level` (a run still open at
// the last point adds nothing; a point exactly at the level changes nothing).
double materialLength(const TData &profile, double level);

// Mean material length over the sampling lengths.
double etaP(TData profile, double l, double level);

// Mean relative material length over the sampling lengths, in percent.
double tp(TData profile, double l, double level);

// Material-ratio curve at 100 equally spaced levels from the lowest height
// upwards (the highest height itself is not a level): channel 0 the share of
// points at or above the level (ascending), channel 1 the level (descending).
// Two empty channels for a flat or empty profile.
TData materialRatioCurve(const TData &profile);

// Material-ratio curve of every height: all heights sorted from the highest
// down, each at the middle of its share, Mr = (i + 0.5) / N * 100. The
// core-roughness family is computed on it. Two empty channels for a flat or
// empty profile.
TData heightMaterialRatioCurve(const TData &profile);

// The core line of a material-ratio curve (channel 0 Mr ascending, channel 1
// height descending): the least-squares line (Mr → height) over the 40 % window
// of the curve whose secant is the least steep, the first of equal ones. Not
// valid when no window of the curve spans 40 %.
RMS rkCoreLine(const TData &curve);
// Lets go of the curve whose core line was found last (the next call finds
// it again), so that a curve no longer used is not held.
void forgetCoreLine();

// The core-roughness family on a material-ratio curve. Rk is the height
// difference of the core line between Mr 0 % and 100 %; Mr1 and Mr2 are where
// the curve crosses those two heights; Rpk and Rvk are the heights of the
// triangles whose areas equal the peak area above and the valley area below
// the core. All 0 without a core line.
double Rk(const TData &curve);
double Rpk(const TData &curve);
double Rvk(const TData &curve);
double Mr1(const TData &curve);
double Mr2(const TData &curve);

// Percentage of the first histogram window whose centre lies above `level`.
double Dp(const TData &histogram, double level);

// Amplitude-density curve: channel 0 the centre of each height window,
// channel 1 the percentage of points inside it (bounds included). The windows
// grow by 1 % of the range up to density + 1 % wide and then slide to the top.
TData amplitudeDensity(const TData &profile, int density, double minLevel, double maxLevel);
TData amplitudeDensity(const TData &profile, int density);

// The amplitude-density curve of the points strictly inside a rectangle, over
// the rectangle's height range clipped to the profile's own.
TData amplitudeDensityInRect(const TData &profile, int density, const double xRange[2], const double yRange[2]);
// The same over n points kept elsewhere: point i at (x[i * stride], y[i * stride]).
TData amplitudeDensityInRect(const double *x, const double *y, int n, int stride, int density, const double xRange[2],
    const double yRange[2]);

// Share (0 … 1) of points more than `level` above one mean line of the whole profile.
double fractionAboveLevel(TData profile, double level);

} // namespace Algos
