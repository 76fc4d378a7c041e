#pragma once

#include <qcustomplot.h>

#include <cmath>

// coord -> pixel along a linear axis, computed inline and anchored at the
// range's lower end so that large offsets keep their precision.
struct LinearAxisMap
{
    double lower = 0;
    double origin = 0;
    double scale = 0;
    double operator()(double coord) const { return origin + (coord - lower) * scale; }

    // False for a missing or non-linear axis, or a range that maps to no finite scale.
    static bool of(const QCPAxis *axis, LinearAxisMap *map)
    {
        if (!axis || axis->scaleType() != QCPAxis::stLinear)
            return false;
        const QCPRange range = axis->range();
        if (!(range.size() > 0))
            return false;
        map->lower = range.lower;
        map->origin = axis->coordToPixel(range.lower);
        map->scale = (axis->coordToPixel(range.upper) - map->origin) / range.size();
        return std::isfinite(map->origin) && std::isfinite(map->scale);
    }
};
