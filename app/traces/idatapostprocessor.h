#pragma once

#include "algos/tracetypes.h"

#include <QString>
#include <memory>

// A whole-trace processor: runs on a trace's processed data once all points
// are in, and again on every recalculation. A trace and its clones share the
// same processor objects, so processors are held through shared pointers.
class IDataPostProcessor {
public:
    explicit IDataPostProcessor(const QString &name = QString())
        : name(name)
    {
    }
    IDataPostProcessor(const IDataPostProcessor &) = delete;
    IDataPostProcessor &operator=(const IDataPostProcessor &) = delete;

    // Transforms the data in place. A kind that does not override it leaves
    // the data unchanged. Implementations must check that a channel exists
    // before indexing it.
    virtual void process(TData &data) { Q_UNUSED(data) }

    virtual ~IDataPostProcessor() = default;

    // A label for the kind; nothing depends on it.
    QString name;
};

using PostProcessorPtr = std::shared_ptr<IDataPostProcessor>;
