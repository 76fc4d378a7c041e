#pragma once

#include "settings/settings.h"

// Calibration values under which the contour conversion and the finishing
// step leave the points easy to predict: no scaling, no displacement, no
// rack correction, and neither Gauss smoothing nor tip-radius elimination.
inline void useNeutralContourCalibration()
{
    Settings &s = Settings::instance();
    s.x_axis_compression_ratio = 1;
    s.y_axis_compression_ratio = 1;
    s.displacement_coefficient = 0;
    s.rack_prpendicular = 0;
    s.is_disabled_gauss_filter = false;
    s.is_disabled_radius_elimination = false;
}
