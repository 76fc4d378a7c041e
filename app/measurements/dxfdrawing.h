#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

class QByteArray;

// Type names of the drawing's entities. Circles and arcs share one type; an
// arc has a start angle of 0 or more, a full circle -1 for both angles.
namespace DxfType {
inline QString line()
{
    return QStringLiteral("AcDbLine");
}
inline QString circle()
{
    return QStringLiteral("AcDbCircle");
}
inline QString ellipse()
{
    return QStringLiteral("AcDbEllipse");
}
// Not a stored type: how an arc is placed once its circle stands.
inline QString arc()
{
    return QStringLiteral("AcDbArc");
}
} // namespace DxfType

// A drawing read from a DXF file: two parallel lists, one entry per entity in
// reading order. Parameters by type, lengths in display units:
//   line    [x1, y1, x2, y2]
//   circle  [cx, cy, r, startAngle, endAngle]  (-1, -1 for a full circle;
//           an arc has both angles in degrees within [0, 360), counter-
//           clockwise from +x, and runs from start to end, crossing 0 when
//           end < start)
//   ellipse [cx, cy, a, b]  (semi-axis a along x, b along y)
struct DxfDrawing {
    QVector<QString> dxfEntityTypes;
    QVector<QVector<double>> dxfEntityParams;

    int size() const { return dxfEntityTypes.size(); }
    bool isEmpty() const { return dxfEntityTypes.isEmpty(); }
    void append(const QString &type, const QVector<double> &params);
    void clear();
};

// Number of display units in a millimetre for the unit the settings hold now
// (the plot's own rule, DisplayUnit).
double displayUnitFactor();

// True for circle parameters that describe an arc.
bool isArcParams(const QVector<double> &params);
// An angle in degrees brought into [0, 360).
double normalizedDegrees(double degrees);
// Sweep of an arc from start to end, counter-clockwise, in (0, 360]; equal
// angles give a whole turn.
double arcSpanDegrees(double start, double end);
// cos and sin of an angle in degrees, exact at multiples of 90.
double cosDegrees(double degrees);
double sinDegrees(double degrees);

// The largest magnitude a number of a drawing may have in the file (its units
// are millimetres); a drawing with a larger or non-finite number is refused.
constexpr double kMaxDxfValue = 1e7;

// The most entities a drawing may hold, far above any part's drawing: a text
// that makes more is refused whole, so that its memory stays bounded.
constexpr int kMaxDxfEntities = 100000;

// Why a DXF text was refused: the line (counted from 1) and the cause, in
// words for the operator. line is 0 while nothing is wrong.
struct DxfParseError {
    int line = 0;
    QString cause;
    bool isError() const { return line > 0; }
};

// The entities of the ENTITIES section of a DXF text: lines, circles, arcs,
// ellipses and lightweight polylines (one line entity per edge). Every length
// is multiplied by unitFactor; other entities are skipped. Reads group-code /
// value pairs strictly; whatever the bytes, it ends without reading past them.
// A text that makes more than kMaxDxfEntities entities gives an empty drawing
// and sets *tooMany; reading stops as soon as it is known.
// A group code line that is no code, or a number of a drawn entity that does
// not parse, is not finite or lies beyond kMaxDxfValue, refuses the whole
// text: the drawing is empty and *error names the line and the cause.
DxfDrawing parseDxf(
    const QByteArray &bytes, double unitFactor, bool *tooMany = nullptr, DxfParseError *error = nullptr);

enum class DxfReadStatus { Ok, CannotOpen, CannotRead, NoEntities, TooManyEntities, Malformed };
// Reads the file at path into *drawing (which is left alone unless Ok). A
// Malformed text's line and cause go to *error.
DxfReadStatus readDxfFile(
    const QString &path, double unitFactor, DxfDrawing *drawing, DxfParseError *error = nullptr);
// The operator's text for a failed read, naming the file (and, for a
// malformed text, the line and the cause).
QString dxfReadErrorText(DxfReadStatus status, const QString &path, const DxfParseError &error = DxfParseError());

// Where the registration markers of one entity go: a line 2 at its ends and
// 10 along it; a circle or an ellipse 4 at its extremes and 22 around it; an
// arc 2 at its ends and 11 along it.
QVector<QPointF> entityMarkers(const QString &type, const QVector<double> &params);
// The same, appended to *markers.
void appendEntityMarkers(QVector<QPointF> *markers, const QString &type, const QVector<double> &params);
