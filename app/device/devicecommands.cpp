#include "device/devicecommands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace DeviceCommands {

namespace {

// Far above the rounding error of any product we send, far below the
// smallest step the instrument resolves.
constexpr double kTruncationTolerance = 1e-6;

std::string zeroPadded(int64_t value, int digits)
{
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", digits, static_cast<long long>(value));
    return text;
}

void appendLittleEndian32(std::string &out, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((u >> shift) & 0xFF));
}

} // namespace

int64_t scaledValue(double value, double scale, int64_t lo, int64_t hi)
{
    const double scaled = value * scale;
    if (!std::isfinite(scaled))
        return std::clamp<int64_t>(0, lo, hi);
    const double truncated = std::trunc(scaled + std::copysign(kTruncationTolerance, scaled));
    if (truncated <= double(lo))
        return lo;
    if (truncated >= double(hi))
        return hi;
    return static_cast<int64_t>(truncated);
}

std::string calibrationCommand(double referenceRa)
{
    return "Ka" + zeroPadded(scaledValue(referenceRa, 1000, 0, 99999), 5);
}

std::string mmPerRotationCommand(double value)
{
    return "R" + zeroPadded(scaledValue(value, 100, 0, 9999), 4);
}

std::string traceLengthCommand(int length)
{
    const int clamped = std::clamp(length, 0, 255 - '0');
    return std::string("PL") + static_cast<char>('0' + clamped);
}

std::string uploadParamsCommand(double xCompression, double yCompression, double displacement, double rack)
{
    const int64_t lo = INT32_MIN;
    const int64_t hi = INT32_MAX;
    const int32_t values[4] = {
        int32_t(scaledValue(xCompression, 1000000, lo, hi)),
        int32_t(scaledValue(yCompression, 1000000, lo, hi)),
        int32_t(scaledValue(displacement, 1000000, lo, hi)),
        int32_t(scaledValue(rack, 100, lo, hi)),
    };
    std::string command = "O";
    command.reserve(kUploadCommandSize);
    for (int i = 0; i < kUploadValueCount; ++i)
        appendLittleEndian32(command, i < 4 ? values[i] : 0);
    return command;
}

} // namespace DeviceCommands
