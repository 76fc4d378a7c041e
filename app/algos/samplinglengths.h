#pragma once

#include "algos/tracetypes.h"

#include <QVector>

namespace Algos {

// Divides a profile into at most five sampling lengths of length l: the first
// starts at the first X, and with two or more the last ends at the last X with
// equal gaps between them. Points in the gaps (or beyond the single sampling
// length when only one fits) belong to none. A profile shorter than l gives
// one sampling length holding every point.
QVector<TData> splitToSamplingLengths(const TData &profile, double l);

// Whole sampling lengths in the profile, 0 … 5.
int samplingLengthCount(const TData &profile, double l);

} // namespace Algos
