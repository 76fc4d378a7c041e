#pragma once

#include <QByteArray>
#include <QHash>
#include <QVector>
#include <QtGlobal>

#include <algorithm>
#include <utility>
#include <vector>

class QIODevice;

// Byte-level parsing of the trace files the program reads: the native text
// format (header lines and tab-terminated point lines), plain number columns
// and the fixed-layout ".Vantor" binary. Everything here works on bytes the
// caller holds, decodes numbers straight from them and never reads outside
// the given range, so a malformed file can only give fewer or zero values.
namespace TraceFormat {

// A range of bytes inside a buffer that the caller keeps alive.
struct Bytes {
    const char *begin = nullptr;
    const char *end = nullptr;

    bool isEmpty() const { return begin == end; }
    qint64 size() const { return end - begin; }
    QByteArray toByteArray() const { return QByteArray(begin, int(size())); }
};

// The range without white space (blanks, tabs, CR, LF, VT, FF) at both ends.
Bytes trimmed(Bytes text);

// Walks a buffer line by line. A line is returned without its line feed; a
// carriage return before it stays (trimming and number splitting drop it).
// A buffer ending in a line feed has no empty last line.
class LineCursor {
public:
    LineCursor() = default;
    LineCursor(const char *begin, const char *end)
        : m_pos(begin)
        , m_end(end)
    {
    }

    bool atEnd() const { return m_pos >= m_end; }
    bool next(Bytes &line);
    // The next lines, up to max of them, as next() gives them one by one;
    // returns how many.
    int nextLines(std::vector<Bytes> &lines, int max);
    // Whether the last line given ends where the buffer ends, without a line
    // feed: in a file cut short, the part of a line.
    bool lastLineUnended() const { return m_unended; }

private:
    const char *m_pos = nullptr;
    const char *m_end = nullptr;
    bool m_unended = false;
};

// Walks a device line by line as LineCursor walks a buffer, holding only a
// window of the device's bytes: a long file is parsed as it is read, never
// held whole. A line stays valid until the next call of next() or atEnd().
class StreamLineCursor {
public:
    explicit StreamLineCursor(QIODevice &device, int chunkSize = 1 << 20);

    bool atEnd();
    bool next(Bytes &line);
    // The next lines, up to max of them, as next() gives them one by one, all
    // valid until the next call; fewer than max (but at least one) where the
    // window ends before them, none at the end of the device. Returns how many.
    int nextLines(std::vector<Bytes> &lines, int max);
    // Skips the bytes of prefix when the device's unread bytes begin with it.
    void skip(const QByteArray &prefix);
    // Whether the last line given ends where the device ends, without a line
    // feed.
    bool lastLineUnended() const { return m_unended; }

private:
    // Keeps the unread bytes, reads more after them; false at the end of the
    // device.
    bool fill();

    QIODevice &m_device;
    std::vector<char> m_buffer;
    size_t m_pos = 0;
    size_t m_filled = 0;
    bool m_atDeviceEnd = false;
    bool m_unended = false;
};

// The whole token as a finite real ("1.5", "-2e-3", "+4", ".5"). Anything
// else (letters, a decimal comma, "nan", "inf", a value out of the double
// range, trailing bytes) is refused.
bool parseReal(Bytes token, double &value);

// The whole token as a decimal integer, optionally signed.
bool parseInteger(Bytes token, qint64 &value);

// Header values: a text that is not a finite number gives 0.
double realOrZero(const QByteArray &text);
qint64 integerOrZero(const QByteArray &text);

// Splits a line at white space and stores its first `count` values; a value
// that is missing because the line ends is 0, as is a value that is not a
// number. Returns how many of the first `count` tokens were not numbers.
int readValues(Bytes line, int count, double *values);

// readValues of every line into its own row of `width` values (width at
// least count; the values past count are left as they are), the lines cut
// into chunks parsed on several threads.
void readLineValues(const std::vector<Bytes> &lines, int count, int width, double *values);

// Trace kind names as the files carry them: "CONTOUR" 0, "CONTOURPROF" 1,
// "PROFILE" 2, "ADDITIONAL_TRACE" 3; any other name reads as 0.
QByteArray kindName(int kind);
int kindFromName(const QByteArray &name);

// The kind named by a file's first line: the line without its line feeds,
// carriage returns and every "trace_type:" in it ("PROFILE" for a native
// profile file; a byte-order mark or blanks make it match no kind).
QByteArray firstLineKind(const QByteArray &firstLine);

// One block header of the native text format.
struct Header {
    QHash<QByteArray, QByteArray> entries; // trimmed key -> trimmed value; a repeated key keeps its last value
    bool endedAtLine = false; // the header ended at a line without a colon, not at the end of the file
    Bytes endLine; // that line: the block's first point line

    bool contains(const char *key) const { return entries.contains(QByteArray(key)); }
    QByteArray value(const char *key) const { return entries.value(QByteArray(key)); }
};

// The header of a trace block: trimmed lines up to the end of the buffer or
// the first line without a colon; each line splits at its first colon.
Header readHeader(LineCursor &cursor);
Header readHeader(StreamLineCursor &cursor);

// The header of an additional-trace block: as readHeader, except that only a
// line with exactly one colon gives an entry; a line with more colons is
// passed over and does not end the header. The block's "creation_date",
// whose time has colons of its own, is the one entry taken whole.
Header readAdditionalHeader(LineCursor &cursor);
Header readAdditionalHeader(StreamLineCursor &cursor);

// The number of point lines of a block whose header has no "point_count":
// the non-empty lines from the header's end line on, up to the first empty
// line or the end of the buffer. The cursor itself does not move.
qint64 countPointLines(const Header &header, LineCursor cursor);

// Reads up to `count` point lines of a block: the header's end line first
// when there is one, then the following lines, stopping early at the end of
// the buffer, or where stop() returns true (asked before each window of
// lines). Each line fills `point` (at least three values, the ones past
// `channels` 0) and calls onPoint(point). Returns the number of points read.
// The cursor is a LineCursor or a StreamLineCursor, which has just given the
// header's end line.
//
// A block that the end of the buffer cuts short may end in part of a line
// (a file cut at some byte): with its values cut or missing, that line is
// no point. A last line without a line feed that completes the block is.
template <typename Cursor, typename OnPoint, typename Stop>
qint64 readPointBlock(Cursor &cursor, const Header &header, qint64 count, int channels, QVector<double> &point,
    OnPoint &&onPoint, Stop &&stop)
{
    if (count <= 0 || channels <= 0)
        return 0;
    const int width = qMax(channels, 3);
    point.fill(0.0, width);
    qint64 done = 0;
    if (header.endedAtLine && !(count > 1 && cursor.lastLineUnended())) {
        point.fill(0.0);
        readValues(header.endLine, channels, point.data());
        onPoint(point);
        ++done;
    }
    // A line's values do not depend on any other line: the lines are taken
    // a window at a time and parsed on several threads, then handed on in
    // their order.
    constexpr int kLinesAtOnce = 1 << 14;
    std::vector<Bytes> lines;
    std::vector<double> values;
    while (done < count && !stop()) {
        int got = cursor.nextLines(lines, int(qMin<qint64>(count - done, kLinesAtOnce)));
        if (got > 0 && done + got < count && cursor.lastLineUnended()) {
            lines.pop_back();
            --got;
        }
        if (got == 0)
            break;
        values.assign(size_t(got) * size_t(width), 0.0);
        readLineValues(lines, channels, width, values.data());
        for (int i = 0; i < got; ++i) {
            std::copy_n(values.data() + size_t(i) * size_t(width), width, point.data());
            onPoint(point);
        }
        done += got;
    }
    return done;
}

template <typename Cursor, typename OnPoint>
qint64 readPointBlock(
    Cursor &cursor, const Header &header, qint64 count, int channels, QVector<double> &point, OnPoint &&onPoint)
{
    return readPointBlock(cursor, header, count, channels, point, std::forward<OnPoint>(onPoint), [] { return false; });
}

// Fixed-layout ".Vantor" binary, little-endian: the sample count N (int32)
// at byte 440, the X step (IEEE double) at 520, N int16 samples from 700,
// then an 80-byte block whose first 8 bytes are the height scale.
constexpr qint64 kVantorCountOffset = 440;
constexpr qint64 kVantorStepOffset = 520;
constexpr qint64 kVantorSamplesOffset = 700;
constexpr qint64 kVantorTailSize = 80;

struct VantorData {
    double step = 0;
    double scale = 0;
    QVector<qint16> samples;
};

enum class VantorStatus { Ok, Truncated, NegativeCount, TooLarge, NotFinite };

// Reads a ".Vantor" file front to back from the device's current position.
// Nothing is allocated for the samples before the device is known to hold
// them all; a file shorter than 780 + 2 N bytes is Truncated, a count whose
// samples no container could hold is TooLarge.
VantorStatus readVantor(QIODevice &device, VantorData &data);

} // namespace TraceFormat
