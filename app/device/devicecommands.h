#pragma once

#include <cstdint>
#include <string>

// Encodings of the instrument commands that carry numbers. Plain functions,
// so each encoding can be checked without a port.
namespace DeviceCommands {

// value × scale truncated toward zero, then clamped to [lo, hi]. A small
// tolerance is added before truncating so that a product that lands just
// below a whole number through rounding (2.01 × 1000 = 2009.9999…) keeps the
// value the operator typed. Non-finite values give 0 (clamped).
int64_t scaledValue(double value, double scale, int64_t lo, int64_t hi);

// "Ka" + the reference Ra in nanometres, five digits padded with zeros.
std::string calibrationCommand(double referenceRa);

// "R" + millimetres per rotation in hundredths: four digits, two of them
// before the decimal point (1 -> R0100, 12.5 -> R1250).
std::string mmPerRotationCommand(double value);

// "PL" + one byte: 48 + length, so lengths 0..9 read as the digits.
std::string traceLengthCommand(int length);

// "O" + 30 little-endian signed 32-bit values: the two axis compression
// ratios and the displacement coefficient in millionths, the rack
// perpendicularity in hundredths, then 26 zeros. 121 bytes in all.
std::string uploadParamsCommand(double xCompression, double yCompression, double displacement, double rack);

constexpr int kUploadValueCount = 30;
constexpr int kUploadCommandSize = 1 + 4 * kUploadValueCount;

} // namespace DeviceCommands
