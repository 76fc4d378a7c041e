#include "measurements/dxfdrawing.h"

#include "measurements/displayunit.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPair>

#include <cmath>

void DxfDrawing::append(const QString &type, const QVector<double> &params)
{
    dxfEntityTypes.append(type);
    dxfEntityParams.append(params);
}

void DxfDrawing::clear()
{
    dxfEntityTypes.clear();
    dxfEntityParams.clear();
}

double displayUnitFactor()
{
    return DisplayUnit::currentFactor();
}

bool isArcParams(const QVector<double> &params)
{
    return params.size() >= 5 && params[3] >= 0;
}

double normalizedDegrees(double degrees)
{
    double r = std::fmod(degrees, 360.0);
    if (r < 0)
        r += 360.0;
    if (r >= 360.0) // a tiny negative remainder rounds up to 360
        r = 0.0;
    return r + 0.0; // no negative zero
}

double arcSpanDegrees(double start, double end)
{
    const double span = normalizedDegrees(end - start);
    return span > 0 ? span : 360.0;
}

namespace {

// Quarter turns give exact values, so a drawing turned by 90 or 180 degrees
// keeps its horizontal and vertical edges exactly so.
bool quarterTurn(double degrees, int *quarter)
{
    const double q = normalizedDegrees(degrees);
    if (q == 0.0 || q == 90.0 || q == 180.0 || q == 270.0) {
        *quarter = int(q) / 90;
        return true;
    }
    return false;
}

} // namespace

double cosDegrees(double degrees)
{
    static const double kCos[] = { 1.0, 0.0, -1.0, 0.0 };
    int quarter = 0;
    if (quarterTurn(degrees, &quarter))
        return kCos[quarter];
    return std::cos(normalizedDegrees(degrees) * M_PI / 180.0);
}

double sinDegrees(double degrees)
{
    static const double kSin[] = { 0.0, 1.0, 0.0, -1.0 };
    int quarter = 0;
    if (quarterTurn(degrees, &quarter))
        return kSin[quarter];
    return std::sin(normalizedDegrees(degrees) * M_PI / 180.0);
}

namespace {

// Lines of a byte buffer, without their line ends (LF or CRLF) and without
// surrounding blanks.
class LineReader {
public:
    explicit LineReader(const QByteArray &bytes)
        : m_p(bytes.constData())
        , m_end(bytes.constData() + bytes.size())
    {
        if (bytes.startsWith("\xEF\xBB\xBF")) // a UTF-8 byte order mark
            m_p += 3;
    }

    bool next(QByteArray *line)
    {
        if (m_p >= m_end)
            return false;
        ++m_number;
        const char *b = m_p;
        const char *e = static_cast<const char *>(memchr(m_p, '\n', size_t(m_end - m_p)));
        if (!e)
            e = m_end;
        m_p = e < m_end ? e + 1 : m_end;
        while (b < e && (*b == ' ' || *b == '\t'))
            ++b;
        while (e > b && (e[-1] == '\r' || e[-1] == ' ' || e[-1] == '\t'))
            --e;
        *line = QByteArray(b, int(e - b));
        return true;
    }

    // The number of the line last returned, counted from 1.
    int lineNumber() const { return m_number; }

private:
    const char *m_p;
    const char *m_end;
    int m_number = 0;
};

// A group code line: an integer of at most six digits, maybe negative.
bool parseGroupCode(const QByteArray &line, int *code)
{
    int i = line.startsWith('-') ? 1 : 0;
    if (line.size() <= i || line.size() - i > 6)
        return false;
    int value = 0;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    *code = line.startsWith('-') ? -value : value;
    return true;
}

bool sane(double v)
{
    return std::isfinite(v) && std::abs(v) <= kMaxDxfValue;
}

// The text of a file's line as the operator's message quotes it: printable
// characters only, and not too many of them.
QString quoted(const QByteArray &text)
{
    constexpr int kMaxQuoted = 40;
    QString shown = QString::fromUtf8(text.left(kMaxQuoted));
    for (QChar &c : shown)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (text.size() > kMaxQuoted)
        shown += QStringLiteral("…");
    return QStringLiteral("«") + shown + QStringLiteral("»");
}

// What is wrong with a number read for group code `code`; empty when nothing.
QString numberProblem(int code, const QByteArray &text, bool parsed, double v)
{
    const QString where = QStringLiteral(" (код %1)").arg(code);
    if (!parsed)
        return quoted(text) + QStringLiteral(" не является числом") + where;
    if (!std::isfinite(v))
        return quoted(text) + QStringLiteral(" не является конечным числом") + where;
    if (std::abs(v) > kMaxDxfValue) {
        const bool coordinate = code == 10 || code == 20 || code == 11 || code == 21;
        return (coordinate ? QStringLiteral("координата ") : QStringLiteral("число ")) + quoted(text)
            + QStringLiteral(" по модулю больше %1").arg(QLocale().toString(kMaxDxfValue, 'f', 0))
            + (coordinate ? QStringLiteral(" мм") : QString()) + where;
    }
    return QString();
}

// Where each code the entities read keeps its last value.
int valueSlot(int code)
{
    switch (code) {
    case 10:
        return 0;
    case 20:
        return 1;
    case 11:
        return 2;
    case 21:
        return 3;
    case 40:
        return 4;
    case 50:
        return 5;
    case 51:
        return 6;
    case 70:
        return 7;
    case 90:
        return 8;
    default:
        return -1;
    }
}
constexpr int kValueSlots = 9;

// The group pairs of one entity, from its code 0 to the next. Only the last
// value of each code and, in order, the vertices (10 then 20) are kept, so an
// entity of any length takes room only for the vertices a drawing may hold.
class EntityReader {
public:
    EntityReader(double unitFactor, DxfDrawing *out)
        : m_factor(unitFactor)
        , m_out(out)
    {
    }

    void start()
    {
        m_active = true;
        m_subclasses = 0;
        for (int i = 0; i < kValueSlots; ++i)
            m_seen[i] = false;
        m_vertices.clear();
        m_vertexCount = 0;
        m_vertexX = 0;
        m_firstBadVertex = -1;
    }

    // The value of a pair; line is the value's line in the text.
    void add(int code, const QByteArray &value, int line)
    {
        if (!m_active)
            return;
        if (code == 100) {
            m_subclasses |= subclassBit(value);
            return;
        }
        const int slot = valueSlot(code);
        if (slot < 0)
            return;
        bool ok = false;
        double v = value.toDouble(&ok);
        if (!ok)
            v = 0;
        m_seen[slot] = true;
        m_values[slot] = v;
        m_lines[slot] = line;
        // Only a value the entity turns out to use refuses the drawing: what
        // is wrong is noted here and reported when it is used.
        m_problems[slot] = ok && sane(v) ? QString() : numberProblem(code, value, ok, v);
        if (code == 10 || code == 20) {
            // A bad coordinate spoils a polyline only when it belongs to one
            // of the vertices its count takes: note where it came.
            if (!m_problems[slot].isEmpty() && m_firstBadVertex < 0) {
                m_firstBadVertex = m_vertexCount;
                m_firstBadVertexError = { line, m_problems[slot] };
            }
            if (code == 10) {
                m_vertexX = v;
            } else {
                if (m_vertexCount < kMaxStoredVertices)
                    m_vertices.append(QPointF(m_vertexX, v));
                ++m_vertexCount;
            }
        }
    }

    // Turns what was read into drawing entities; an entity with a number out
    // of bounds adds nothing. Once the drawing would hold more than
    // kMaxDxfEntities entities, nothing more is added and tooMany() is true.
    void finish()
    {
        if (!m_active)
            return;
        m_active = false;
        m_bad = false;
        if (m_subclasses & kCircle)
            finishCircle(m_subclasses & kArc);
        else if (m_subclasses & kLine)
            finishLine();
        else if (m_subclasses & kEllipse)
            finishEllipse();
        else if (m_subclasses & kPolyline)
            finishPolyline();
    }

    bool tooMany() const { return m_tooMany; }
    // The first value of a drawn entity that refused the text.
    const DxfParseError &error() const { return m_error; }

private:
    enum Subclass { kLine = 1, kCircle = 2, kArc = 4, kEllipse = 8, kPolyline = 16 };
    // The most vertices kept: a polyline that takes more exceeds the bound,
    // so any further ones are only counted.
    static constexpr qint64 kMaxStoredVertices = qint64(kMaxDxfEntities) + 2;

    static int subclassBit(const QByteArray &name)
    {
        if (name == "AcDbLine")
            return kLine;
        if (name == "AcDbCircle")
            return kCircle;
        if (name == "AcDbArc")
            return kArc;
        if (name == "AcDbEllipse")
            return kEllipse;
        if (name == "AcDbPolyline")
            return kPolyline;
        return 0;
    }

    // The last value of a code (0 when it did not occur); one that does not
    // parse or lies out of bounds refuses the text.
    double last(int code)
    {
        const int slot = valueSlot(code);
        if (!m_seen[slot])
            return 0.0;
        if (!m_problems[slot].isEmpty())
            refuse({ m_lines[slot], m_problems[slot] });
        return m_values[slot];
    }

    // Of the entity's bad values, the one on the earliest line is reported.
    void refuse(const DxfParseError &error)
    {
        m_bad = true;
        if (!m_error.isError() || error.line < m_error.line)
            m_error = error;
    }

    // Room for n more entities within the bound.
    bool room(qint64 n)
    {
        if (m_tooMany || m_out->size() + n > kMaxDxfEntities) {
            m_tooMany = true;
            m_out->clear();
            return false;
        }
        return true;
    }

    void finishLine()
    {
        const double x1 = last(10), y1 = last(20), x2 = last(11), y2 = last(21);
        if (!m_bad && room(1))
            m_out->append(DxfType::line(), { x1 * m_factor, y1 * m_factor, x2 * m_factor, y2 * m_factor });
    }

    void finishCircle(bool arc)
    {
        const double cx = last(10), cy = last(20), r = last(40);
        double start = -1, end = -1;
        if (arc) {
            start = normalizedDegrees(last(50));
            end = normalizedDegrees(last(51));
        }
        if (!m_bad && r >= 0 && room(1))
            m_out->append(DxfType::circle(), { cx * m_factor, cy * m_factor, r * m_factor, start, end });
    }

    // The axes of the drawing's ellipses lie along x and y: the major axis
    // goes along whichever of them its end point leans to.
    void finishEllipse()
    {
        const double cx = last(10), cy = last(20), mx = last(11), my = last(21), ratio = last(40);
        if (m_bad || ratio < 0 || !room(1))
            return;
        const double major = std::hypot(mx, my) * m_factor;
        const double minor = ratio * major;
        const bool alongX = std::abs(mx) >= std::abs(my);
        m_out->append(
            DxfType::ellipse(), { cx * m_factor, cy * m_factor, alongX ? major : minor, alongX ? minor : major });
    }

    // Each pair of consecutive vertices becomes a line; a closed polyline
    // (flag bit 1) of three or more vertices also joins its last to its first.
    // A vertex count, when given, takes that many vertices.
    void finishPolyline()
    {
        const double count = last(90);
        const double flagsValue = last(70);
        if (m_bad) // both are checked before either becomes an integer
            return;
        const bool counted = count > 0;
        const qint64 taken = counted ? std::min(m_vertexCount, qint64(std::ceil(count))) : m_vertexCount;
        if (m_firstBadVertex >= 0 && (!counted || double(m_firstBadVertex) < count)) {
            refuse(m_firstBadVertexError);
            return;
        }
        const bool closed = (qint64(flagsValue) & 1) && taken >= 3;
        const qint64 edges = std::max<qint64>(taken - 1, 0) + (closed ? 1 : 0);
        if (!room(edges))
            return;
        // Within the bound, so every vertex taken was kept.
        for (int i = 0; i + 1 < taken; ++i)
            appendEdge(m_vertices[i], m_vertices[i + 1]);
        if (closed)
            appendEdge(m_vertices.first(), m_vertices[int(taken) - 1]);
    }

    void appendEdge(const QPointF &a, const QPointF &b)
    {
        m_out->append(DxfType::line(), { a.x() * m_factor, a.y() * m_factor, b.x() * m_factor, b.y() * m_factor });
    }

    const double m_factor;
    DxfDrawing *const m_out;
    bool m_active = false;
    bool m_bad = false;
    bool m_tooMany = false;
    int m_subclasses = 0;
    bool m_seen[kValueSlots] = {};
    double m_values[kValueSlots] = {};
    int m_lines[kValueSlots] = {};
    QString m_problems[kValueSlots];
    QVector<QPointF> m_vertices;
    qint64 m_vertexCount = 0; // vertices read, kept or not
    double m_vertexX = 0;
    qint64 m_firstBadVertex = -1;
    DxfParseError m_firstBadVertexError;
    DxfParseError m_error;
};

} // namespace

DxfDrawing parseDxf(const QByteArray &bytes, double unitFactor, bool *tooMany, DxfParseError *error)
{
    DxfDrawing drawing;
    EntityReader entity(unitFactor, &drawing);
    LineReader lines(bytes);
    bool inEntities = false;
    bool sectionStarts = false;
    DxfParseError refused;
    QByteArray codeLine, value;
    int code = 0;
    // Past a line that is no group code the pairs cannot be told apart: the
    // text is refused. A code without its value line ends the reading.
    while (lines.next(&codeLine)) {
        if (!parseGroupCode(codeLine, &code)) {
            refused = { lines.lineNumber(), quoted(codeLine) + QStringLiteral(" не является кодом группы") };
            break;
        }
        if (!lines.next(&value))
            break;
        if (!inEntities) {
            if (code == 0)
                sectionStarts = value == "SECTION";
            else if (code == 2 && sectionStarts && value == "ENTITIES")
                inEntities = true;
            else
                sectionStarts = false;
            continue;
        }
        if (code == 0) {
            entity.finish();
            if (value == "ENDSEC" || value == "EOF" || entity.tooMany() || entity.error().isError())
                break;
            entity.start();
        } else {
            entity.add(code, value, lines.lineNumber());
        }
    }
    entity.finish(); // an entity cut off by the end keeps what was read
    if (!refused.isError())
        refused = entity.error();
    if (refused.isError())
        drawing.clear();
    if (tooMany)
        *tooMany = entity.tooMany();
    if (error)
        *error = refused;
    return drawing;
}

DxfReadStatus readDxfFile(const QString &path, double unitFactor, DxfDrawing *drawing, DxfParseError *error)
{
    // Drawings are text files of a few megabytes; a larger file is not read.
    constexpr qint64 kMaxFileSize = qint64(256) << 20;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return DxfReadStatus::CannotOpen;
    if (file.size() > kMaxFileSize)
        return DxfReadStatus::CannotRead;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return DxfReadStatus::CannotRead;
    bool tooMany = false;
    DxfParseError malformed;
    DxfDrawing read = parseDxf(bytes, unitFactor, &tooMany, &malformed);
    if (malformed.isError()) {
        if (error)
            *error = malformed;
        return DxfReadStatus::Malformed;
    }
    if (tooMany)
        return DxfReadStatus::TooManyEntities;
    if (read.isEmpty())
        return DxfReadStatus::NoEntities;
    *drawing = read;
    return DxfReadStatus::Ok;
}

QString dxfReadErrorText(DxfReadStatus status, const QString &path, const DxfParseError &error)
{
    const QString name = QDir::toNativeSeparators(path);
    switch (status) {
    case DxfReadStatus::CannotOpen:
        return QStringLiteral("Не удалось открыть файл %1").arg(name);
    case DxfReadStatus::CannotRead:
        return QStringLiteral("Не удалось прочитать файл %1").arg(name);
    case DxfReadStatus::NoEntities:
        return QStringLiteral("В файле %1 нет отрезков, окружностей, дуг, эллипсов или полилиний").arg(name);
    case DxfReadStatus::TooManyEntities:
        return QStringLiteral("В файле %1 больше %2 элементов чертежа: такой чертёж не загружается")
            .arg(name, QLocale().toString(kMaxDxfEntities));
    case DxfReadStatus::Malformed:
        return QStringLiteral("Чертёж %1 не загружен: в строке %2 %3")
            .arg(name, QString::number(error.line), error.cause);
    case DxfReadStatus::Ok:
        break;
    }
    return QString();
}

namespace {

void appendRoundMarkers(QVector<QPointF> *markers, double cx, double cy, double a, double b)
{
    *markers << QPointF(cx, cy + b) << QPointF(cx, cy - b) << QPointF(cx + a, cy) << QPointF(cx - a, cy);
    for (int i = 0; i <= 10; ++i) {
        const double x = cx - a + (2 * a / 10) * i;
        const double t = (i - 5) / 5.0; // (x - cx) / a, without dividing by a
        const double s = b * std::sqrt(std::max(0.0, 1 - t * t));
        *markers << QPointF(x, cy + s) << QPointF(x, cy - s);
    }
}

QPointF arcPoint(double cx, double cy, double r, double degrees)
{
    return QPointF(cx + r * cosDegrees(degrees), cy + r * sinDegrees(degrees));
}

} // namespace

void appendEntityMarkers(QVector<QPointF> *markers, const QString &type, const QVector<double> &params)
{
    if (params.size() < 4)
        return;
    if (type == DxfType::line()) {
        const QPointF a(params[0], params[1]), b(params[2], params[3]);
        *markers << a << b;
        // From the left end (the lower one of a vertical line) towards the other.
        const bool aFirst = a.x() < b.x() || (a.x() == b.x() && a.y() <= b.y());
        const QPointF from = aFirst ? a : b, to = aFirst ? b : a;
        for (int i = 0; i < 10; ++i)
            *markers << from + (to - from) * (i / 10.0);
    } else if (type == DxfType::ellipse()) {
        appendRoundMarkers(markers, params[0], params[1], params[2], params[3]);
    } else if (type == DxfType::circle() && !isArcParams(params)) {
        appendRoundMarkers(markers, params[0], params[1], params[2], params[2]);
    } else if ((type == DxfType::circle() || type == DxfType::arc()) && params.size() >= 5) {
        const double cx = params[0], cy = params[1], r = params[2];
        const double start = params[3], span = arcSpanDegrees(params[3], params[4]);
        *markers << arcPoint(cx, cy, r, start) << arcPoint(cx, cy, r, params[4]);
        for (int i = 0; i <= 10; ++i)
            *markers << arcPoint(cx, cy, r, start + i * span / 10);
    }
}

QVector<QPointF> entityMarkers(const QString &type, const QVector<double> &params)
{
    QVector<QPointF> markers;
    appendEntityMarkers(&markers, type, params);
    return markers;
}
