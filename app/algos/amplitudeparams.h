#pragma once

#include "algos/tracetypes.h"

// Amplitude parameters of a profile (X ascending, Y, both in micrometres),
// evaluated over its sampling lengths of length l, each with its own
// least-squares mean line. The same functions serve the roughness, waviness
// and primary profiles. A value that cannot be computed is 0: no points, a
// profile shorter than l, a flat profile for the shape factors.
namespace Algos {

double Ra(TData profile, double l); // mean |z| over all points
double Rq(TData profile, double l); // root mean square of z
double Rsk(TData profile, double l); // skewness, mean z³ / Rq³
double Rku(TData profile, double l); // kurtosis, mean z⁴ / Rq⁴
double Rmax(TData profile, double l); // mean height range of the raw Y per sampling length
double Rz(TData profile, double l); // mean of (highest z - lowest z) per sampling length
double Rm(TData profile, double l); // same value as Rz
double Rp(TData profile, double l); // mean highest peak
double Rv(TData profile, double l); // mean deepest valley (positive)
double R3z(TData profile, double l); // mean of (third highest - third lowest z)
double Rz10(TData profile, double l); // mean of (5 highest mean - 5 lowest mean), sampling lengths of 10+ points
double Rt(TData profile); // height range about one mean line of the whole profile

} // namespace Algos
