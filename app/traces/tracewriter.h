#pragma once

#include "algos/tracetypes.h"

#include <QByteArray>
#include <QString>

class QIODevice;
class AbstractTrace;
class ContourTrace;
class ProfileTrace;

// Writers of the two trace-file kinds the program produces: the native text
// format (header lines and the raw points, additional traces after a PROFILE
// trace) and plain coordinates (processed X and Y). Files are replaced only
// when the whole write succeeded; a failure is logged at ERROR and returned.
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

// Header blocks, one "key:value" line each. traceHeader gives "trace_type",
// the block of the trace's class, "controler_name" and "creation_date"; the
// kind written always belongs to the trace's class, so the file reads back
// into a trace of the same class.
QByteArray contourHeader(const ContourTrace &trace);
QByteArray profileHeader(const ProfileTrace &trace);
QByteArray traceHeader(const AbstractTrace &trace);

// "point_count:" and one line per raw point with every channel of the trace.
bool writeTracePoints(QIODevice &device, const AbstractTrace &trace);
// One line per processed point: X and Y, each followed by a tab.
bool writeProcessedPoints(QIODevice &device, const AbstractTrace &trace);

// The native text file of a trace; a PROFILE trace carries its additional
// traces after its own points.
bool saveTraceFile(const QString &path, const AbstractTrace &trace);
// The coordinates file of a trace: its processed (x, y) pairs, no header.
bool savePointsFile(const QString &path, const AbstractTrace &trace);

} // namespace TraceWriter
