#pragma once

#include "traces/abstracttrace.h"

// A minimal concrete trace for tests: its finishing step multiplies Y by 10,
// so the order of the stages shows in the processed values.
class TestTrace : public AbstractTrace {
public:
    explicit TestTrace(int channels = 2)
        : AbstractTrace(channels)
    {
    }
    TestTrace(const TestTrace &) = default;

    void processData() override
    {
        ++finishCount;
        if (processedData->size() > 1)
            for (double &y : (*processedData)[1])
                y *= 10;
    }
    AbstractTrace *clone() const override { return new TestTrace(*this); }

    int finishCount = 0;
};

// Point processor: Y *= factor.
class ScaleY : public IDataSinglePointProcessor {
public:
    explicit ScaleY(double factor)
        : factor(factor)
    {
    }
    void process(QVector<double> &point) override
    {
        if (point.size() > 1)
            point[1] *= factor;
    }
    double factor;
};

// Post-processor: Y += delta over the whole trace.
class AddY : public IDataPostProcessor {
public:
    explicit AddY(double delta)
        : IDataPostProcessor("add")
        , delta(delta)
    {
    }
    void process(TData &data) override
    {
        if (data.size() > 1)
            for (double &y : data[1])
                y += delta;
    }
    double delta;
};
