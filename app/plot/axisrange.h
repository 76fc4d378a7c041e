#pragma once

#include <qcustomplot.h>

// The range from min to max widened at each end by margin times its span
// (0.05 adds 5 % of the span below and above).
QCPRange paddedRange(double min, double max, double margin);

// A span of zero would give an axis range the plot refuses: such a range is
// widened to one display unit.
void widenFlat(double &min, double &max);
