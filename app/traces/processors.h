#pragma once

#include "algos/tracetypes.h"
#include "traces/idatapostprocessor.h"
#include "traces/idatasinglepointprocessor.h"

#include <QList>

class AbstractTrace;
class Settings;

// Short cut-off lambda-s in micrometres belonging to a long cut-off lambda-c:
// 8/3 for 80, 2.5 for 250, otherwise lambda-c / 300.
double shortCutOff(double longCutOff);

// Median filter of the given window over Y; X and further channels stay.
class DataMedianFilterProcessor : public IDataPostProcessor {
public:
    explicit DataMedianFilterProcessor(int window);
    void process(TData &data) override;

    int window;
};

// Projects X onto the thread axis: every X is multiplied by cos(angle).
class ThreadAngleCompensationProcessor : public IDataPostProcessor {
public:
    explicit ThreadAngleCompensationProcessor(double angle);
    void process(TData &data) override;

    double angle; // degrees
};

// Replaces the data by its roughness profile: the band between
// shortCutOff(cutOff) and cutOff, trimmed by half a cut-off at each end.
class FilterRoughnessProfileProcessor : public IDataPostProcessor {
public:
    explicit FilterRoughnessProfileProcessor(double cutOff);
    void process(TData &data) override;

    double cutOff; // long cut-off, micrometres
};

// Replaces the data by its waviness: the band between cutOff and
// 2 * cutOff - shortCutOff(cutOff), trimmed by half a cut-off at each end.
class FilterWaveProfileProcessor : public IDataPostProcessor {
public:
    explicit FilterWaveProfileProcessor(double cutOff);
    void process(TData &data) override;

    double cutOff; // long cut-off, micrometres
};

// Moves Y so that its lowest point is 0.
class YZeronator : public IDataPostProcessor {
public:
    YZeronator();
    void process(TData &data) override;
};

// Moves X so that the trace starts at 0.
class XZeronator : public IDataPostProcessor {
public:
    XZeronator();
    void process(TData &data) override;
};

// The calibration of the contour point conversion, as it stood in the
// settings when copied.
struct PointCalibration {
    double xRatio = 1; // x_axis_compression_ratio
    double yRatio = 1; // y_axis_compression_ratio
    double displacement = 0; // displacement_coefficient
    double rackAngle = 0; // rack_prpendicular, degrees

    static PointCalibration fromSettings(const Settings &settings);
};

// Turns a raw contour point {x, y, z} into the contour's X and Y with the
// calibration it was made with: axis compression, console displacement,
// console height and the rack's deviation from vertical. Z is not changed.
// The calibration is a copy, so a reading on a worker thread converts every
// point with one set of values whatever the GUI thread changes meanwhile.
class ContourConversionPointProcessor : public IDataSinglePointProcessor {
public:
    // With the calibration now in the settings (GUI thread).
    ContourConversionPointProcessor();
    explicit ContourConversionPointProcessor(const PointCalibration &calibration);
    void process(QVector<double> &point) override;

    const PointCalibration calibration;
};

// Pure form of the contour point conversion, for a given calibration.
void convertContourPoint(QVector<double> &point, const PointCalibration &calibration);

// Gives the trace's contour conversion the calibration now in the settings
// (GUI thread), before a recalculation after a calibration change. The
// processor is replaced, not changed: clones and a reading still running keep
// the one they share.
void renewContourConversion(AbstractTrace &trace);

// The post-processors of an additional trace read from a profile file, from
// the given settings: median, thread-angle compensation, the filter of the
// profile filter mode (1 roughness, 2 waviness) and the zeroing of Y.
QList<PostProcessorPtr> additionalTracePostProcessors(const Settings &settings);
