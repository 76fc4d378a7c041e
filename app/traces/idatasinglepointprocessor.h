#pragma once

#include <QVector>
#include <memory>

// A per-point processor: converts one point (one value per channel: [0] X,
// [1] Y, [2] Z for contour traces) in place as it is appended to a trace.
// Shared between a trace and its clones through shared pointers.
class IDataSinglePointProcessor {
public:
    IDataSinglePointProcessor() = default;
    IDataSinglePointProcessor(const IDataSinglePointProcessor &) = delete;
    IDataSinglePointProcessor &operator=(const IDataSinglePointProcessor &) = delete;
    virtual ~IDataSinglePointProcessor() = default;

    // Converts the point in place; the default leaves it unchanged.
    virtual void process(QVector<double> &point) { Q_UNUSED(point) }
};

using PointProcessorPtr = std::shared_ptr<IDataSinglePointProcessor>;
