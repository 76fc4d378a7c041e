#include "dataproviders/readingsettings.h"

#include "settings/common.h"
#include "settings/settings.h"

ReadingSettings ReadingSettings::fromSettings(const Settings &s)
{
    ReadingSettings r;
    r.calibration = PointCalibration::fromSettings(s);
    r.steps = ContourSteps::fromSettings(s);
    r.needlePressing = int(s.needlePressing());
    r.toolHeadRadiusDown = s.tool_head_radius_down;
    r.toolHeadRadiusUp = s.tool_head_radius_up;
    r.doubleSidedProbeHigh = s.double_sided_probe_high;
    r.needleBias = s.needle_bias;
    r.roughnessRatio = s.roughness_ratio;
    r.measurementMode = s.measurement_mode;
    r.speed = kTraceSpeedValues.value(s.speedIndex());
    r.cutOff = Common::cutOffLength(s.filterIndex());
    r.medianWindow = s.preferenses.meadian_filter_value;
    r.medianEnabled = s.preferenses.meadian_filter;
    r.additionalChain = additionalTracePostProcessors(s);
    return r;
}
