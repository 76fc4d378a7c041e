#pragma once

#include "dataproviders/filedataprovider.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "traces/tracewriter.h"

#include <QtTest>
#include <cmath>
#include <memory>

// Trace files written by a test and read back through the program's own
// reader, so a test works on traces exactly as the program loads them.

// A sine profile over [0, length] µm with the given Ra: a sine of amplitude A
// has Ra = 2A/π, and a wavelength of 80 µm passes every roughness cut-off of
// 250 µm and above unchanged.
inline ProfileTrace *sineProfile(double ra, double length, double cutOff = 800, double step = 1)
{
    auto *trace = new ProfileTrace();
    trace->setTraceType(PROFILE);
    trace->cutOff = cutOff;
    trace->speed = 0.5;
    trace->controllerName = QStringLiteral("No name");
    trace->creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    const double amplitude = ra * M_PI / 2;
    const int points = int(length / step) + 1;
    for (int i = 0; i < points; ++i) {
        const double x = i * step;
        QVector<double> p { x, amplitude * std::sin(2 * M_PI * x / 80) };
        trace->addPoint(p);
    }
    return trace;
}

// A contour trace of a straight slope, its file title given by path.
inline ContourTrace *slopeContour(int points, double step = 10, double slope = 0.1)
{
    auto *trace = new ContourTrace();
    trace->creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    for (int i = 0; i < points; ++i) {
        QVector<double> p { i * step, i * step * slope, 0 };
        trace->addPoint(p);
    }
    return trace;
}

// A trace read from a file owns nothing else in the program: the additional
// traces the reader attaches to a profile trace belong to whoever lists
// them. A trace handed over by the helpers below is deleted with those
// additional traces; release() hands both on, as the trace list takes them.
struct DeleteWithAdditionalTraces {
    void operator()(ProfileTrace *trace) const
    {
        if (trace)
            qDeleteAll(trace->additionalTraces);
        delete trace;
    }
};
template <typename T> struct TraceFileDeleter {
    using type = std::default_delete<T>;
};
template <> struct TraceFileDeleter<ProfileTrace> {
    using type = DeleteWithAdditionalTraces;
};
template <typename T> using TraceFilePtr = std::unique_ptr<T, typename TraceFileDeleter<T>::type>;

// Reads a trace file the way the program does and hands the trace over.
template <typename T> TraceFilePtr<T> readTraceFile(const QString &path)
{
    TraceFilePtr<T> trace(new T);
    FileDataProvider provider(path);
    provider.start(trace.get());
    provider.waitForFinished();
    QCoreApplication::processEvents();
    if (!provider.result())
        qWarning("trace file %s not read", qPrintable(path));
    return trace;
}

// Writes the trace (with its additional traces) to path and reads it back.
template <typename T> TraceFilePtr<T> roundTrip(const AbstractTrace &trace, const QString &path)
{
    if (!TraceWriter::saveTraceFile(path, trace))
        qWarning("trace file %s not written", qPrintable(path));
    return readTraceFile<T>(path);
}
