#pragma once

#include "algos/fitting.h"

#include <functional>
#include <vector>

class QCPCurveData;

// The mean-diameter line of a thread profile: the straight line for which the
// pieces of the profile between consecutive crossings of the line are as equal
// in length as a coordinate descent (tilting and shifting the line) can make
// them. The line is an Algos::RMS: coefficient 0 the intercept, 1 the slope.
namespace ThreadFit {

// The error of a line that crosses too little of the profile, or too
// differently from the first evaluation.
constexpr double kNoFit = 1e100;

// Caps that keep the descent finite whatever the profile: the trials of one
// pass (a pass needs 39 failed trials plus its improving ones) and the cycles
// of one fit (each must improve on the previous).
constexpr int kMaxTrialsPerPass = 5000;
constexpr int kMaxCycles = 200;

// Error of the line against the points [first, end): the profile is cut into
// pieces at every point that lies strictly on the other side of the line than
// the start of its piece (the piece length is the straight distance between
// the two cut points; the last point is never examined). The first piece (up
// to the first crossing) is dropped, and the last one too when an odd number
// is left, so the pieces pair up as crest and groove. The error is the sum of
// the pieces' distances from their mean.
//
// referenceCount -1 means this is the first evaluation: it then receives the
// number of pieces after the first was dropped. Later evaluations whose count
// differs from it by 3 or more give kNoFit, as do fewer than 2 points and a
// line that crosses nothing. pieces is scratch space, reused between calls.
double fitError(const QCPCurveData *first, const QCPCurveData *end, const Algos::RMS &line, int &referenceCount,
    std::vector<double> &pieces);

// Turns the line by degrees (positive clockwise in the usual plot orientation)
// about its midpoint over [xFirst, xLast], keeping the keys of its two ends.
void rotateLine(Algos::RMS &line, double xFirst, double xLast, double degrees);
// Moves the line up by step.
void shiftLine(Algos::RMS &line, double step);

// Called after every move of the line, so that a drawing can follow it.
using LineMoved = std::function<void(const Algos::RMS &line)>;

// The whole fit over the points [first, end): the least-squares line of the
// points, then cycles of a tilting pass (steps from 10 degrees) and a shifting
// pass (steps from 10 units), each trying ±step, keeping an improvement and
// shrinking the step by 0.7 on a failure down to 1e-5, for as long as a cycle
// lowers the error. referenceCount (when given) receives the piece count of
// the first evaluation.
Algos::RMS fitLine(
    const QCPCurveData *first, const QCPCurveData *end, int *referenceCount = nullptr, const LineMoved &moved = {});

} // namespace ThreadFit
