#pragma once

class ProfileTrace;
class QString;
class QWidget;

// What the cut-off check of a profile trace needs of the profile window:
// asking the operator, switching the instrument's roughness filter, and giving
// the trace its new cut-off. The key receiver (the application-wide key filter that drives the
// instrument) leaves the keys to the question by itself while it is open.
class IFilterControl {
public:
    virtual ~IFilterControl() = default;

    // The operator's answer: whether to change the cut-off, and whether that
    // answer is to be kept for later checks instead of asking again.
    struct Answer {
        bool accepted = false;
        bool remembered = false;
    };
    // Asks, in a window over parent, whether to switch the trace named
    // traceTitle to the recommended cut-off (µm).
    virtual Answer askFilterChange(QWidget *parent, int cutOff, const QString &traceTitle) = 0;

    // Applies an index into Common::kCutOffLengths: stores it in the settings,
    // sends the filter command to the instrument, saves the settings and shows
    // it in the panel's filter box.
    virtual void setFilterIndex(int index) = 0;

    // Gives the trace the cut-off (µm) exactly as the trace list's filter box
    // does: the trace's file is rewritten and its parameters recomputed.
    virtual void setTraceCutOff(ProfileTrace *trace, double cutOff) = 0;
};
