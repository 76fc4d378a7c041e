#pragma once

#include <QVector>

// Trace data: one vector per channel. Channel 0 is the position along the
// trace (X), 1 the probe reading (Y), 2 the console height (Z, contour traces).
using TData = QVector<QVector<double>>;

// Trace kinds; the same codes in memory, in the windows and in the
// instrument link. Trace files carry the names.
enum E_ANALISIS_TYPE { CONTOUR = 0, CONTOURPROF = 1, PROFILE = 2, ADDITIONAL_TRACE = 3 };

// The kinds a profile trace has, and those a contour trace has.
inline bool isProfileTraceKind(int type)
{
    return type == PROFILE || type == ADDITIONAL_TRACE;
}
inline bool isContourTraceKind(int type)
{
    return type == CONTOUR || type == CONTOURPROF;
}
