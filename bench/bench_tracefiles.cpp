#include "benchsupport.h"
#include "dataproviders/filedataprovider.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "traces/tracereaders.h"
#include "traces/tracewriter.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kPoints = 1000000;

// A contour as the instrument delivers it: X up to two million with
// fractions, Y a wavy probe reading, Z a slowly moving console height.
TData contourData()
{
    TData data(3);
    for (auto &channel : data)
        channel.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        data[0].append(i * 2.000000123);
        data[1].append(1500.0 * std::sin(i * 0.001) + 0.37 * (i % 17));
        data[2].append(12.5 + i * 1e-4);
    }
    return data;
}

QByteArray contourText()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    buffer.write("trace_type:CONTOUR\nneedle_pressing:d\ncontroler_name:bench\n"
                 "creation_date:01-01-2024 00:00:00\npoint_count:1000000\n");
    TraceWriter::writePointLines(buffer, contourData(), 3);
    return buffer.data();
}

} // namespace

// Parsing the point block of a 1,000,000-point native contour file from bytes.
static void BM_ParseNativeContour(benchmark::State &state)
{
    const QByteArray text = contourText();
    for (auto _ : state) {
        TraceFormat::LineCursor cursor(text.constData(), text.constData() + text.size());
        const TraceFormat::Header header = TraceFormat::readHeader(cursor);
        QVector<double> point;
        double sum = 0;
        TraceFormat::readPointBlock(cursor, header, TraceFormat::integerOrZero(header.value("point_count")), 3, point,
            [&](QVector<double> &p) { sum += p[0] + p[1] + p[2]; });
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_ParseNativeContour)->Unit(benchmark::kMillisecond);

// Formatting the point block of a 1,000,000-point contour in memory.
static void BM_FormatNativeContour(benchmark::State &state)
{
    const TData data = contourData();
    qint64 bytes = 0;
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        TraceWriter::writePointLines(buffer, data, 3);
        bytes = buffer.size();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}
BENCHMARK(BM_FormatNativeContour)->Unit(benchmark::kMillisecond);

namespace {

std::unique_ptr<ContourTrace> contourTrace()
{
    auto trace = std::make_unique<ContourTrace>();
    const TData data = contourData();
    QVector<double> point(3);
    for (int i = 0; i < kPoints; ++i) {
        point = { data[0][i], data[1][i], data[2][i] };
        trace->addPoint(point);
    }
    return trace;
}

} // namespace

// Writing a 1,000,000-point native contour file to disk.
static void BM_WriteNativeContourFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("contour.txt");
    const auto trace = contourTrace();
    for (auto _ : state)
        benchmark::DoNotOptimize(TraceWriter::saveTraceFile(path, *trace));
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
}
BENCHMARK(BM_WriteNativeContourFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading a 1,000,000-point native contour file through the file data
// provider: parsing, the point conversion and the trace's storage. The
// finishing step's smoothing and tip compensation are switched off, so the
// figure is the reading itself.
static void BM_ReadNativeContourFile(benchmark::State &state)
{
    Settings::instance().is_disabled_gauss_filter = false;
    Settings::instance().is_disabled_radius_elimination = false;
    QTemporaryDir dir;
    const QString path = dir.filePath("contour.txt");
    TraceWriter::saveTraceFile(path, *contourTrace());
    for (auto _ : state) {
        ContourTrace trace;
        FileDataProvider provider(path);
        provider.start(&trace);
        provider.waitForFinished();
        benchmark::DoNotOptimize(trace.pointCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
}
BENCHMARK(BM_ReadNativeContourFile)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

// A native profile file of a million points (X 0.1 µm apart, Y a wavy
// height), written once per run.
QString profileFile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath("profile.txt");
    ProfileTrace trace;
    TData data(2);
    data[0].reserve(kPoints);
    data[1].reserve(kPoints);
    QVector<double> point(2);
    for (int i = 0; i < kPoints; ++i) {
        point = { i * 0.1, 1.5 * std::sin(i * 0.0078) + 4 * std::sin(i * 0.0000897) + 1e-5 * i + 20 };
        trace.addPoint(point);
    }
    trace.cutOff = 800;
    trace.speed = 0.5;
    if (!TraceWriter::saveTraceFile(path, trace))
        qFatal("benchmark file not written");
    return path;
}

} // namespace

// Reading a 1,000,000-point native profile file through the file data
// provider into a profile trace (no processors: the reading itself).
static void BM_ReadNativeProfileFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = profileFile(dir);
    for (auto _ : state) {
        ProfileTrace trace;
        FileDataProvider provider(path);
        provider.start(&trace);
        provider.waitForFinished();
        if (trace.pointCount() != kPoints)
            state.SkipWithError("the file was not read whole");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
}
BENCHMARK(BM_ReadNativeProfileFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The simplest program for the same job, as the yardstick of the one above:
// the file read whole with fread, header lines skipped, every number parsed
// with std::from_chars and the points stored in two vectors.
static void BM_FromCharsProfileFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(profileFile(dir));
    for (auto _ : state) {
        std::vector<double> xs, ys;
        if (!BenchSupport::readColumnsFromChars(path.constData(), xs, ys))
            state.SkipWithError("short read");
        if (xs.size() != size_t(kPoints))
            state.SkipWithError("the file was not read whole");
        benchmark::DoNotOptimize(xs.data());
        benchmark::DoNotOptimize(ys.data());
    }
}
BENCHMARK(BM_FromCharsProfileFile)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
