#include "traces/tracewriter.h"

#include <QIODevice>

#include <charconv>

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
    if (channels <= 0)
        return true;
    int count = data.at(0).size();
    for (int c = 1; c < channels; ++c)
        count = qMin(count, data.at(c).size());

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

} // namespace TraceWriter
