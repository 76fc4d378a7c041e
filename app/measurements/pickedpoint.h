#pragma once

#include <QPointer>
#include <qcustomplot.h>

// A trace point picked on the plot: its data index on its curve (-1: none).
// The curve reads null once the plot has removed it.
struct PickedPoint {
    qint64 index = -1;
    QPointer<QCPCurve> curve;
};

// What one left release picks for a kind that picks two trace points, given
// how many it has picked already and whether the release ends a drag. A click
// picks the point under the cursor: the first, then the second. A press, drag
// and release picks both at once, the first under the press and the second
// under the release, while two are still to pick; with one left it picks
// nothing, so that it never replaces a picked point.
struct TwoPointRelease {
    bool first = false; // the first point is picked now...
    bool firstAtPress = false; // ...under the press rather than the release
    bool second = false; // the second point is picked now, under the release
};

inline TwoPointRelease twoPointRelease(int picked, bool drag)
{
    TwoPointRelease release;
    if (picked == 0) {
        release.first = true;
        release.firstAtPress = drag;
        release.second = drag;
    } else {
        release.second = !drag;
    }
    return release;
}
