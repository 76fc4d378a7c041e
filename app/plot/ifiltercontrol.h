#pragma once

class QObject;

// What the cut-off check of a profile trace needs of the instrument control
// panel: switching the roughness filter, and the key receiver (the
// application-wide key filter that drives the instrument). The receiver
// leaves the keys to the question by itself while it is open.
class IFilterControl {
public:
    virtual ~IFilterControl() = default;

    // Applies an index into Common::kCutOffLengths: stores it in the settings,
    // sends the filter command to the instrument, saves the settings and shows
    // it in the panel's filter box.
    virtual void setFilterIndex(int index) = 0;
};
