#pragma once

#include "traces/tracetypes.h"

#include <QByteArray>

class QIODevice;

// Writers of the two trace-file kinds the program produces.
namespace TraceWriter {

// Appends the shortest text that reads back to exactly the same double
// ("2000000.5", "0.1", "1e-07"), with "." as decimal point whatever the locale.
void appendReal(QByteArray &out, double value);

// Header reals: six significant digits, the shorter of plain and exponent
// notation ("20", "6.2", "0.0001", "1.5e+06").
QByteArray headerReal(double value);

// One line per point: the value of each of the first `channels` channels
// followed by a tab, then a line feed. The number of lines is the point count
// of the shortest of those channels. Returns false when the device refuses
// a write.
bool writePointLines(QIODevice &device, const TData &data, int channels);

} // namespace TraceWriter
