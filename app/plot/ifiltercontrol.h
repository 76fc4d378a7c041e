#pragma once

class ProfileTrace;

// What the cut-off check of a profile trace needs of the profile window:
// switching the instrument's roughness filter, and giving the trace its new
// cut-off. The key receiver (the application-wide key filter that drives the
// instrument) leaves the keys to the question by itself while it is open.
class IFilterControl {
public:
    virtual ~IFilterControl() = default;

    // Applies an index into Common::kCutOffLengths: stores it in the settings,
    // sends the filter command to the instrument, saves the settings and shows
    // it in the panel's filter box.
    virtual void setFilterIndex(int index) = 0;

    // Gives the trace the cut-off (µm) exactly as the trace list's filter box
    // does: the trace's file is rewritten and its parameters recomputed.
    virtual void setTraceCutOff(ProfileTrace *trace, double cutOff) = 0;
};
