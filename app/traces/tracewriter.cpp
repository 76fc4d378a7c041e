#include "traces/tracewriter.h"

#include "settings/logger.h"
#include "settings/savefile.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "traces/tracereaders.h"

#include <QIODevice>

#include <charconv>
#include <functional>

namespace TraceWriter {

namespace {

// Point lines are gathered in a buffer of this size and written in one call.
constexpr int kWriteChunk = 1 << 20;

bool flush(QIODevice &device, QByteArray &buffer)
{
    const bool ok = buffer.isEmpty() || device.write(buffer) == buffer.size();
    buffer.clear();
    return ok;
}

// Points of the first `channels` channels: the shortest of them.
int pointCount(const TData &data, int channels)
{
    channels = qMin(channels, data.size());
    if (channels <= 0)
        return 0;
    int count = data.at(0).size();
    for (int c = 1; c < channels; ++c)
        count = qMin(count, data.at(c).size());
    return count;
}

void appendLine(QByteArray &out, const char *key, const QByteArray &value)
{
    out.append(key);
    out.append(':');
    out.append(value);
    out.append('\n');
}

bool write(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size();
}

// Ends a block without points with an empty line, so that the reader takes
// the next line as the next block's header.
bool endEmptyBlock(QIODevice &device, const AbstractTrace &trace)
{
    const TData &raw = *trace.rawData;
    return pointCount(raw, raw.size()) > 0 || write(device, QByteArray("\n"));
}

// Writes through a save file: the old file stays unless everything was written.
bool saveFile(const QString &path, const std::function<bool(QIODevice &)> &writeAll)
{
    QString why;
    if (SaveFile::write(path, writeAll, &why))
        return true;
    logger.log(Logger::ERROR, "Error saving file " + path.toStdString() + ": " + why.toStdString());
    return false;
}

} // namespace

void appendReal(QByteArray &out, double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    out.append(text, int(result.ptr - text));
}

QByteArray headerReal(double value)
{
    return QByteArray::number(value, 'g', 6);
}

bool writePointLines(QIODevice &device, const TData &data, int channels)
{
    channels = qMin(channels, data.size());
    const int count = pointCount(data, channels);
    QByteArray buffer;
    buffer.reserve(kWriteChunk + 256);
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < channels; ++c) {
            appendReal(buffer, data.at(c).at(i));
            buffer.append('\t');
        }
        buffer.append('\n');
        if (buffer.size() >= kWriteChunk && !flush(device, buffer))
            return false;
    }
    return flush(device, buffer);
}

QByteArray contourHeader(const ContourTrace &trace)
{
    QByteArray out;
    appendLine(out, "needle_pressing", trace.lowerNeedle() ? "d" : "u");
    appendLine(out, "tool_head_radius_down", headerReal(trace.tool_head_radius_down));
    appendLine(out, "tool_head_radius_up", headerReal(trace.tool_head_radius_up));
    appendLine(out, "double_sided_probe_high", headerReal(trace.double_sided_probe_high));
    appendLine(out, "needle_bias", headerReal(trace.needle_bias));
    appendLine(out, "rack_perpendicular", headerReal(trace.rack_perpendicular));
    appendLine(out, "x_axis_compression_ratio", headerReal(trace.x_axis_compression_ratio));
    appendLine(out, "y_axis_compression_ratio", headerReal(trace.y_axis_compression_ratio));
    appendLine(out, "displacement_coefficient", headerReal(trace.displacement_coefficient));
    appendLine(out, "roughness_ratio", headerReal(trace.roughness_ratio));
    appendLine(out, "measurement_mode", QByteArray::number(trace.measurement_mode));
    return out;
}

QByteArray profileHeader(const ProfileTrace &trace)
{
    QByteArray out;
    appendLine(out, "speed", headerReal(trace.speed));
    appendLine(out, "filter", headerReal(trace.cutOff));
    return out;
}

QByteArray traceHeader(const AbstractTrace &trace)
{
    QByteArray block;
    int kind = trace.traceType;
    if (const auto *contour = dynamic_cast<const ContourTrace *>(&trace)) {
        kind = kind == CONTOURPROF ? int(CONTOURPROF) : int(CONTOUR);
        block = contourHeader(*contour);
    } else if (const auto *profile = dynamic_cast<const ProfileTrace *>(&trace)) {
        kind = kind == ADDITIONAL_TRACE ? int(ADDITIONAL_TRACE) : int(PROFILE);
        block = profileHeader(*profile);
    }
    QByteArray out;
    appendLine(out, "trace_type", TraceFormat::kindName(kind));
    out.append(block);
    appendLine(out, "controler_name", trace.controllerName.toUtf8());
    appendLine(out, "creation_date", trace.creationDate.toLocalTime().toString("dd-MM-yyyy HH:mm:ss").toUtf8());
    return out;
}

bool writeTracePoints(QIODevice &device, const AbstractTrace &trace)
{
    const TData &raw = *trace.rawData;
    QByteArray count;
    appendLine(count, "point_count", QByteArray::number(pointCount(raw, raw.size())));
    return write(device, count) && writePointLines(device, raw, raw.size());
}

bool writeProcessedPoints(QIODevice &device, const AbstractTrace &trace)
{
    return writePointLines(device, *trace.processedData, 2);
}

bool saveTraceFile(const QString &path, const AbstractTrace &trace)
{
    return saveFile(path, [&trace](QIODevice &device) {
        if (!write(device, traceHeader(trace)))
            return false;
        const auto *profile = dynamic_cast<const ProfileTrace *>(&trace);
        if (!profile || profile->traceType == ADDITIONAL_TRACE)
            return writeTracePoints(device, trace);

        QByteArray count;
        appendLine(count, "addittional_trace_count", QByteArray::number(profile->additionalTraces.size()));
        if (!write(device, count) || !writeTracePoints(device, trace))
            return false;
        const int runs = profile->additionalTraces.size();
        // A header ends at its first line without a colon, normally the first
        // point line. A block without points followed by another block gets an
        // empty line instead, or its header would run on into the next one.
        if (runs > 0 && !endEmptyBlock(device, trace))
            return false;
        for (int r = 0; r < runs; ++r) {
            const ProfileTrace &additional = *profile->additionalTraces.at(r);
            if (!write(device, traceHeader(additional)) || !writeTracePoints(device, additional))
                return false;
            if (r + 1 < runs && !endEmptyBlock(device, additional))
                return false;
        }
        return true;
    });
}

bool savePointsFile(const QString &path, const AbstractTrace &trace)
{
    return saveFile(path, [&trace](QIODevice &device) { return writeProcessedPoints(device, trace); });
}

} // namespace TraceWriter
