#pragma once

#include "traces/abstracttrace.h"

class Settings;

// The contour of a part: [0] X, [1] Y (probe), [2] Z (console height), with
// the probe calibration the trace was taken with. Its finishing step spreads
// repeated X values, smooths the outline, removes the stylus tip's radius and
// moves upper-needle traces into the lower needle's frame.
// The finishing steps of a contour trace that the settings switch, as they
// stood when copied. Both flags mean "the step runs" when true.
struct ContourSteps {
    bool smoothing = true; // is_disabled_gauss_filter
    bool tipRadiusElimination = true; // is_disabled_radius_elimination

    static ContourSteps fromSettings(const Settings &settings);
};

class ContourTrace : public AbstractTrace {
public:
    ContourTrace();
    // One point per row of the three columns X, Y, Z; no processors.
    explicit ContourTrace(const QVector<QVector<double>> &columns);
    ContourTrace(const ContourTrace &other);

    // The finishing step with the steps the settings switch on now (GUI
    // thread), or with steps copied before (a reading's worker).
    void processData() override;
    void processData(const ContourSteps &steps);
    AbstractTrace *clone() const override;

    // Gaussian low-pass of X and Y at min(20, tip radius); every channel,
    // Z included, keeps only the points the filter kept.
    void smoothGauss();
    // Replaces Y by the envelope that the stylus tip traced.
    void eliminateTipRadius();
    // The radius of the needle that touched the part.
    double tipRadius() const;
    // Whether the lower needle touched the part: needle_pressing other than 0.
    bool lowerNeedle() const;

    double tool_head_radius_down = 0;
    double tool_head_radius_up = 0;
    double double_sided_probe_high = 0;
    double rack_perpendicular = 0;
    double roughness_ratio = 0;
    double needle_bias = 0;
    double x_axis_compression_ratio = 1;
    double y_axis_compression_ratio = 1;
    double displacement_coefficient = 0;
    int measurement_mode = 0;
    int needle_pressing = 1; // 0 upper needle, any other value (1 as read or set) lower needle
};

// The surface under (lowerNeedle) or over the path of a round tip of radius r
// whose centre ran through the points (x, y): for each point the lowest
// y[m] - sqrt(r^2 - d^2) (highest y[m] + sqrt(r^2 - d^2) for the upper
// needle) over the points m within r of it along X. X must ascend.
QVector<double> tipEnvelope(const QVector<double> &x, const QVector<double> &y, double r, bool lowerNeedle);
