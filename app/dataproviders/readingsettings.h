#pragma once

#include "traces/contourtrace.h"
#include "traces/idatapostprocessor.h"
#include "traces/processors.h"

#include <QList>

class Settings;

// What a reading takes from the settings record, copied on the GUI thread
// when the reading starts. The worker reads only this copy, never the record
// that the settings dialog, the quick settings or the instrument may change
// meanwhile, so one reading uses one consistent set of values.
struct ReadingSettings {
    // Conversion of contour points and the contour finishing steps.
    PointCalibration calibration;
    ContourSteps steps;
    // Contour fields a file's header may leave out.
    int needlePressing = 1; // 0 upper needle, 1 lower needle
    double toolHeadRadiusDown = 0;
    double toolHeadRadiusUp = 0;
    double doubleSidedProbeHigh = 0;
    double needleBias = 0;
    double roughnessRatio = 0;
    int measurementMode = 0;
    // Profile fields a file's header may leave out, and the median.
    double speed = 0; // mm/s of the speed index
    double cutOff = 0; // µm of the filter index
    int medianWindow = 3;
    bool medianEnabled = false;
    // The post-processors of additional traces read with their main trace;
    // made from the settings with the copy, shared by every such trace.
    QList<PostProcessorPtr> additionalChain;

    static ReadingSettings fromSettings(const Settings &settings);
};
