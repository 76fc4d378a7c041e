#include "algos/samplinglengths.h"

#include "algos/profilespan.h"

#include <cmath>

namespace Algos {

QVector<TData> splitToSamplingLengths(const TData &profile, double l)
{
    return detail::splitByInterval(profile, detail::samplingIntervals(profile, l));
}

int samplingLengthCount(const TData &profile, double l)
{
    const double length = detail::profileLength(profile);
    for (int i = 1; i <= 5; ++i) {
        if (i * l > length)
            return i - 1;
    }
    return 5;
}

} // namespace Algos
