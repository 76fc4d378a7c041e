#include "traces/processors.h"

#include "algos/gaussfilter.h"
#include "algos/profileutils.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/processingchain.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

QString numberText(double value)
{
    return QString::number(value, 'g', 6);
}

bool hasChannels(const TData &data, int count)
{
    return data.size() >= count;
}

} // namespace

double shortCutOff(double longCutOff)
{
    if (longCutOff == 80.0) {
        return 8.0 / 3.0;
    }
    if (longCutOff == 250.0) {
        return 2.5;
    }
    return longCutOff / 300.0;
}

DataMedianFilterProcessor::DataMedianFilterProcessor(int window)
    : IDataPostProcessor(QStringLiteral("Median") + QString::number(window))
    , window(window)
{
}

void DataMedianFilterProcessor::process(TData &data)
{
    if (!hasChannels(data, 2) || window < 1) {
        return;
    }
    Algos::medianFilter(window, data);
}

ThreadAngleCompensationProcessor::ThreadAngleCompensationProcessor(double angle)
    : IDataPostProcessor(QStringLiteral("Angle ") + numberText(angle))
    , angle(angle)
{
}

void ThreadAngleCompensationProcessor::process(TData &data)
{
    if (!hasChannels(data, 1)) {
        return;
    }
    const double factor = std::cos(angle * kDegreesToRadians);
    for (double &x : data[0]) {
        x *= factor;
    }
}

FilterRoughnessProfileProcessor::FilterRoughnessProfileProcessor(double cutOff)
    : IDataPostProcessor(QStringLiteral("Filter ") + numberText(cutOff))
    , cutOff(cutOff)
{
}

void FilterRoughnessProfileProcessor::process(TData &data)
{
    data = Algos::gaussFilter(data, cutOff, shortCutOff(cutOff));
}

FilterWaveProfileProcessor::FilterWaveProfileProcessor(double cutOff)
    : IDataPostProcessor(QStringLiteral("Filter ") + numberText(cutOff))
    , cutOff(cutOff)
{
}

void FilterWaveProfileProcessor::process(TData &data)
{
    data = Algos::gaussFilter(data, cutOff, 2 * cutOff - shortCutOff(cutOff));
}

YZeronator::YZeronator()
    : IDataPostProcessor(QStringLiteral("YZeronator"))
{
}

void YZeronator::process(TData &data)
{
    if (!hasChannels(data, 2) || data[1].isEmpty()) {
        return;
    }
    const double lowest = *std::min_element(data[1].cbegin(), data[1].cend());
    for (double &y : data[1]) {
        y -= lowest;
    }
}

XZeronator::XZeronator()
    : IDataPostProcessor(QStringLiteral("XZeronator"))
{
}

void XZeronator::process(TData &data)
{
    if (!hasChannels(data, 1) || data[0].isEmpty()) {
        return;
    }
    const double first = data[0].first();
    for (double &x : data[0]) {
        x -= first;
    }
}

PointCalibration PointCalibration::fromSettings(const Settings &settings)
{
    return { settings.x_axis_compression_ratio, settings.y_axis_compression_ratio, settings.displacement_coefficient,
        settings.rack_prpendicular };
}

void convertContourPoint(QVector<double> &point, const PointCalibration &calibration)
{
    if (point.size() < 3) {
        return;
    }
    double x = point[0];
    double y = point[1];
    const double z = point[2];
    y *= calibration.yRatio;
    x *= calibration.xRatio;
    x -= z * calibration.displacement;
    y += z / 1000;
    const double a = calibration.rackAngle * kDegreesToRadians;
    x -= std::sin(a) * y;
    y *= std::cos(a);
    point[0] = x;
    point[1] = y;
}

ContourConversionPointProcessor::ContourConversionPointProcessor()
    : ContourConversionPointProcessor(PointCalibration::fromSettings(Settings::instance()))
{
}

ContourConversionPointProcessor::ContourConversionPointProcessor(const PointCalibration &calibration)
    : calibration(calibration)
{
}

void ContourConversionPointProcessor::process(QVector<double> &point)
{
    convertContourPoint(point, calibration);
}

void renewContourConversion(AbstractTrace &trace)
{
    for (PointProcessorPtr &processor : trace.pointProcessors) {
        if (dynamic_cast<ContourConversionPointProcessor *>(processor.get()))
            processor = std::make_shared<ContourConversionPointProcessor>();
    }
}

QList<PostProcessorPtr> additionalTracePostProcessors(const Settings &settings)
{
    // The bounded index view keeps a damaged filter index inside the table.
    return processingChain(
        processingStateOf(settings), ADDITIONAL_TRACE, Common::cutOffLength(settings.filterIndex()), ChainStage::Creation);
}
