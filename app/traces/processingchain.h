#pragma once

#include "traces/idatapostprocessor.h"

#include <QList>

class Settings;

// The processing the profile window's toolbar selects for its traces. The
// toolbar's controls mirror the settings, so a state can come from either.
struct ProcessingState {
    bool medianFilter = false;
    int medianWindow = 3; // points
    bool threadCompensation = false;
    double threadAngle = 0; // degrees
    int profileMode = 0; // 0 primary profile, 1 roughness, 2 waviness
    bool nonLinearity = false;
};

// The state the settings hold.
ProcessingState processingStateOf(const Settings &settings);

// When a chain is made: for a new trace before it is read, or to rebuild the
// chain of a trace already shown after the toolbar changed.
enum class ChainStage { Creation, Rebuild };

// The post-processors of a trace of the given kind, in the order they run.
// At creation: the non-linearity correction (CONTOUR only), the median filter,
// the thread-angle compensation, then for profile kinds the roughness or
// waviness filter of the mode with the long cut-off cutOff, and the zeroing
// of Y. A rebuild differs in three ways: the correction applies to CONTOURPROF
// too, the zeroing of Y runs before the filter, and cutOff is the trace's own.
QList<PostProcessorPtr> processingChain(const ProcessingState &state, int traceType, double cutOff, ChainStage stage);
