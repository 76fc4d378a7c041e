#include "plot/axisrange.h"

#include <algorithm>
#include <cmath>

QCPRange paddedRange(double min, double max, double margin)
{
    const double pad = margin * (max - min);
    return QCPRange(min - pad, max + pad);
}

void widenFlat(double &min, double &max)
{
    if (std::abs(max - min) * 1e12 <= std::min(std::abs(max), std::abs(min)))
        max += 1;
}
