#pragma once

#include <qcustomplot.h>

#include <QVector>
#include <cmath>

// A trapezoidal thread profile: each pitch starts with a groove bottom of the
// given width at y 0, rises along a flank to a crest of the given width at the
// height, and falls back; both flanks have the same run. The whole profile can
// be sheared by a slope (y += slope·x), as a thread measured on a tilted part.
struct ThreadProfile {
    double pitch = 1;
    double height = 0.5;
    double crest = 0.25;
    double groove = 0.25;
    double slope = 0;
    double offset = 0;

    double flank() const { return (pitch - crest - groove) / 2; }

    double value(double x) const
    {
        const double u = x - pitch * std::floor(x / pitch);
        const double f = flank();
        double y;
        if (u < groove)
            y = 0;
        else if (u < groove + f)
            y = height * (u - groove) / f;
        else if (u < groove + f + crest)
            y = height;
        else
            y = height * (pitch - u) / f;
        return y + slope * x + offset;
    }

    // The height above the groove bottom at which crests and grooves are
    // equally wide: crest + 2f(1 - y/H) = groove + 2f·y/H.
    double meanDiameterHeight() const { return height * (crest - groove + 2 * flank()) / (4 * flank()); }

    // Whole pitches from x 0, count points evenly spaced.
    QVector<QCPCurveData> sample(int pitches, int count) const
    {
        QVector<QCPCurveData> d;
        d.reserve(count);
        const double length = pitches * pitch;
        for (int i = 0; i < count; ++i) {
            const double x = length * i / (count - 1);
            d << QCPCurveData(i, x, value(x));
        }
        return d;
    }
};
