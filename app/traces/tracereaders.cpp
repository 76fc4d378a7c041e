#include "traces/tracereaders.h"

#include "algos/inchunks.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace TraceFormat {

namespace {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Parses a real at p; on success returns the end of the number, else null.
// The number must end at `end` or at white space.
inline const char *realAt(const char *p, const char *end, double &value)
{
    if (p < end && *p == '+' && p + 1 < end && *(p + 1) != '-' && *(p + 1) != '+')
        ++p;
    double v = 0;
    const auto result = std::from_chars(p, end, v, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(v))
        return nullptr;
    if (result.ptr != end && !isSpace(*result.ptr))
        return nullptr;
    value = v;
    return result.ptr;
}

inline const char *skipSpace(const char *p, const char *end)
{
    while (p < end && isSpace(*p))
        ++p;
    return p;
}

inline const char *skipToken(const char *p, const char *end)
{
    while (p < end && !isSpace(*p))
        ++p;
    return p;
}

inline Bytes makeBytes(const char *begin, const char *end)
{
    Bytes b;
    b.begin = begin;
    b.end = end;
    return b;
}

} // namespace

Bytes trimmed(Bytes text)
{
    const char *b = text.begin;
    const char *e = text.end;
    while (b < e && isSpace(*b))
        ++b;
    while (e > b && isSpace(*(e - 1)))
        --e;
    return makeBytes(b, e);
}

bool LineCursor::next(Bytes &line)
{
    if (m_pos >= m_end)
        return false;
    const void *nl = std::memchr(m_pos, '\n', size_t(m_end - m_pos));
    const char *lineEnd = nl ? static_cast<const char *>(nl) : m_end;
    m_unended = !nl;
    line = makeBytes(m_pos, lineEnd);
    m_pos = nl ? lineEnd + 1 : m_end;
    return true;
}

int LineCursor::nextLines(std::vector<Bytes> &lines, int max)
{
    lines.clear();
    Bytes line;
    while (int(lines.size()) < max && next(line))
        lines.push_back(line);
    return int(lines.size());
}

StreamLineCursor::StreamLineCursor(QIODevice &device, int chunkSize)
    : m_device(device)
    , m_buffer(size_t(std::max(chunkSize, 16)))
{
}

bool StreamLineCursor::fill()
{
    if (m_atDeviceEnd)
        return false;
    // The unread bytes move to the front; a line longer than the whole
    // window makes the window larger.
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_filled - m_pos);
        m_filled -= m_pos;
        m_pos = 0;
    }
    if (m_filled == m_buffer.size())
        m_buffer.resize(m_buffer.size() * 2);
    const qint64 got = m_device.read(m_buffer.data() + m_filled, qint64(m_buffer.size() - m_filled));
    if (got <= 0) {
        m_atDeviceEnd = true;
        return false;
    }
    m_filled += size_t(got);
    return true;
}

bool StreamLineCursor::atEnd()
{
    while (m_pos >= m_filled) {
        if (!fill())
            return true;
    }
    return false;
}

bool StreamLineCursor::next(Bytes &line)
{
    for (;;) {
        const char *begin = m_buffer.data() + m_pos;
        const char *end = m_buffer.data() + m_filled;
        if (const void *nl = std::memchr(begin, '\n', size_t(end - begin))) {
            m_unended = false;
            line = makeBytes(begin, static_cast<const char *>(nl));
            m_pos = size_t(static_cast<const char *>(nl) + 1 - m_buffer.data());
            return true;
        }
        if (!fill()) {
            // The last line has no line feed.
            if (m_pos >= m_filled)
                return false;
            m_unended = true;
            line = makeBytes(m_buffer.data() + m_pos, m_buffer.data() + m_filled);
            m_pos = m_filled;
            return true;
        }
    }
}

int StreamLineCursor::nextLines(std::vector<Bytes> &lines, int max)
{
    lines.clear();
    // The first line may refill the window; the others are the whole lines
    // the window already holds, so the window stays as it is.
    Bytes line;
    if (max <= 0 || !next(line))
        return 0;
    lines.push_back(line);
    const char *end = m_buffer.data() + m_filled;
    while (int(lines.size()) < max) {
        const char *begin = m_buffer.data() + m_pos;
        const void *nl = std::memchr(begin, '\n', size_t(end - begin));
        if (!nl)
            break;
        lines.push_back(makeBytes(begin, static_cast<const char *>(nl)));
        m_pos = size_t(static_cast<const char *>(nl) + 1 - m_buffer.data());
    }
    return int(lines.size());
}

void StreamLineCursor::skip(const QByteArray &prefix)
{
    while (m_filled - m_pos < size_t(prefix.size()) && fill()) { }
    if (m_filled - m_pos >= size_t(prefix.size())
        && std::memcmp(m_buffer.data() + m_pos, prefix.constData(), size_t(prefix.size())) == 0)
        m_pos += size_t(prefix.size());
}

bool parseReal(Bytes token, double &value)
{
    if (token.isEmpty())
        return false;
    double v = 0;
    const char *end = realAt(token.begin, token.end, v);
    if (end != token.end)
        return false;
    value = v;
    return true;
}

bool parseInteger(Bytes token, qint64 &value)
{
    const char *p = token.begin;
    if (p < token.end && *p == '+' && p + 1 < token.end && *(p + 1) != '-')
        ++p;
    qint64 v = 0;
    const auto result = std::from_chars(p, token.end, v, 10);
    if (result.ec != std::errc() || result.ptr != token.end || p == token.end)
        return false;
    value = v;
    return true;
}

double realOrZero(const QByteArray &text)
{
    double v = 0;
    return parseReal(trimmed(makeBytes(text.constData(), text.constData() + text.size())), v) ? v : 0.0;
}

qint64 integerOrZero(const QByteArray &text)
{
    qint64 v = 0;
    return parseInteger(trimmed(makeBytes(text.constData(), text.constData() + text.size())), v) ? v : 0;
}

int readValues(Bytes line, int count, double *values)
{
    int bad = 0;
    const char *p = line.begin;
    const char *end = line.end;
    for (int i = 0; i < count; ++i) {
        p = skipSpace(p, end);
        if (p == end) {
            for (; i < count; ++i)
                values[i] = 0.0;
            break;
        }
        double v = 0;
        if (const char *next = realAt(p, end, v)) {
            values[i] = v;
            p = next;
        } else {
            values[i] = 0.0;
            ++bad;
            p = skipToken(p, end);
        }
    }
    return bad;
}

void readLineValues(const std::vector<Bytes> &lines, int count, int width, double *values)
{
    // Lines of a file are a few tens of bytes: fewer than this many are
    // parsed on the calling thread alone.
    constexpr int kMinLinesChunk = 1 << 12;
    const int n = int(lines.size());
    Algos::forEachChunk(n, Algos::chunkCount(n, kMinLinesChunk), [&](int, int first, int last) {
        for (int i = first; i < last; ++i)
            readValues(lines[size_t(i)], count, values + size_t(i) * size_t(width));
    });
}

QByteArray kindName(int kind)
{
    switch (kind) {
    case 1:
        return QByteArrayLiteral("CONTOURPROF");
    case 2:
        return QByteArrayLiteral("PROFILE");
    case 3:
        return QByteArrayLiteral("ADDITIONAL_TRACE");
    default:
        return QByteArrayLiteral("CONTOUR");
    }
}

int kindFromName(const QByteArray &name)
{
    if (name == "CONTOURPROF")
        return 1;
    if (name == "PROFILE")
        return 2;
    if (name == "ADDITIONAL_TRACE")
        return 3;
    return 0;
}

QByteArray firstLineKind(const QByteArray &firstLine)
{
    QByteArray kind = firstLine;
    kind.replace('\n', QByteArray());
    kind.replace('\r', QByteArray());
    kind.replace("trace_type:", QByteArray());
    return kind;
}

namespace {

enum class ColonRule { FirstColon, ExactlyOne };

template <typename Cursor> Header readHeaderWith(Cursor &cursor, ColonRule rule)
{
    Header header;
    Bytes line;
    while (cursor.next(line)) {
        const Bytes text = trimmed(line);
        const auto *colon = static_cast<const char *>(std::memchr(text.begin, ':', size_t(text.size())));
        if (!colon) {
            header.endedAtLine = true;
            header.endLine = text;
            break;
        }
        // A run's header passes over lines with further colons, except its
        // date, whose time holds two.
        if (rule == ColonRule::ExactlyOne && std::memchr(colon + 1, ':', size_t(text.end - colon - 1))
            && trimmed(makeBytes(text.begin, colon)).toByteArray() != "creation_date")
            continue;
        header.entries.insert(
            trimmed(makeBytes(text.begin, colon)).toByteArray(), trimmed(makeBytes(colon + 1, text.end)).toByteArray());
    }
    return header;
}

} // namespace

Header readHeader(LineCursor &cursor)
{
    return readHeaderWith(cursor, ColonRule::FirstColon);
}

Header readAdditionalHeader(LineCursor &cursor)
{
    return readHeaderWith(cursor, ColonRule::ExactlyOne);
}

Header readHeader(StreamLineCursor &cursor)
{
    return readHeaderWith(cursor, ColonRule::FirstColon);
}

Header readAdditionalHeader(StreamLineCursor &cursor)
{
    return readHeaderWith(cursor, ColonRule::ExactlyOne);
}

qint64 countPointLines(const Header &header, LineCursor cursor)
{
    if (!header.endedAtLine || trimmed(header.endLine).isEmpty())
        return 0;
    qint64 count = 1;
    Bytes line;
    while (cursor.next(line) && !trimmed(line).isEmpty())
        ++count;
    return count;
}

namespace {

template <typename T> T littleEndianAt(const char *p)
{
    return qFromLittleEndian<T>(p);
}

double doubleAt(const char *p)
{
    const quint64 bits = qFromLittleEndian<quint64>(p);
    double value = 0;
    static_assert(sizeof(value) == sizeof(bits), "IEEE double expected");
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

} // namespace

VantorStatus readVantor(QIODevice &device, VantorData &data)
{
    char head[kVantorSamplesOffset];
    if (device.read(head, kVantorSamplesOffset) != kVantorSamplesOffset)
        return VantorStatus::Truncated;
    const qint32 count = littleEndianAt<qint32>(head + kVantorCountOffset);
    const double step = doubleAt(head + kVantorStepOffset);
    if (count < 0)
        return VantorStatus::NegativeCount;
    if (count > (std::numeric_limits<int>::max() - 64) / 2)
        return VantorStatus::TooLarge;

    // The samples and the tail block must be there before anything is
    // allocated for them: the count is whatever the file says.
    const qint64 sampleBytes = 2 * qint64(count);
    if (device.bytesAvailable() < sampleBytes + kVantorTailSize)
        return VantorStatus::Truncated;

    QVector<qint16> samples(count);
    if (count > 0 && device.read(reinterpret_cast<char *>(samples.data()), sampleBytes) != sampleBytes)
        return VantorStatus::Truncated;
    for (qint16 &s : samples)
        s = qFromLittleEndian(s);

    char tail[kVantorTailSize];
    if (device.read(tail, kVantorTailSize) != kVantorTailSize)
        return VantorStatus::Truncated;
    const double scale = doubleAt(tail);

    // X runs up to (N - 1) step and Y up to 32768 scale: both must stay finite.
    if (!std::isfinite(step) || !std::isfinite(scale) || !std::isfinite(step * qMax(count - 1, 0))
        || !std::isfinite(scale * 32768.0))
        return VantorStatus::NotFinite;

    data.step = step;
    data.scale = scale;
    data.samples = std::move(samples);
    return VantorStatus::Ok;
}

} // namespace TraceFormat
