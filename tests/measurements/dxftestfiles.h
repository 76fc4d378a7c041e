#pragma once

#include <QByteArray>
#include <QPointF>
#include <QVector>

#include <cmath>

// Small DXF texts for the drawing tests, written the way drawing programs
// write them: right-aligned group codes, subclass markers, handles and layers.
namespace DxfText {

inline QByteArray num(double v)
{
    return QByteArray::number(v, 'g', 17);
}

inline QByteArray pair(int code, const QByteArray &value)
{
    return QByteArray::number(code).rightJustified(3, ' ') + '\n' + value + '\n';
}

inline QByteArray entityStart(const QByteArray &name, const QByteArray &subclass)
{
    return pair(0, name) + pair(5, "2A") + pair(100, "AcDbEntity") + pair(8, "0") + pair(100, subclass);
}

inline QByteArray line(double x1, double y1, double x2, double y2)
{
    return entityStart("LINE", "AcDbLine") + pair(10, num(x1)) + pair(20, num(y1)) + pair(30, "0.0") + pair(11, num(x2))
        + pair(21, num(y2)) + pair(31, "0.0");
}

inline QByteArray circle(double cx, double cy, double r, const QByteArray &beforeCentre = QByteArray())
{
    return entityStart("CIRCLE", "AcDbCircle") + beforeCentre + pair(10, num(cx)) + pair(20, num(cy)) + pair(30, "0.0")
        + pair(40, num(r));
}

inline QByteArray arc(double cx, double cy, double r, const QByteArray &start, const QByteArray &end)
{
    return entityStart("ARC", "AcDbCircle") + pair(10, num(cx)) + pair(20, num(cy)) + pair(30, "0.0") + pair(40, num(r))
        + pair(100, "AcDbArc") + pair(50, start) + pair(51, end);
}

inline QByteArray arc(double cx, double cy, double r, double start, double end)
{
    return arc(cx, cy, r, num(start), num(end));
}

inline QByteArray ellipse(double cx, double cy, double mx, double my, double ratio)
{
    return entityStart("ELLIPSE", "AcDbEllipse") + pair(10, num(cx)) + pair(20, num(cy)) + pair(30, "0.0")
        + pair(11, num(mx)) + pair(21, num(my)) + pair(31, "0.0") + pair(210, "0.0") + pair(220, "0.0")
        + pair(230, "1.0") + pair(40, num(ratio)) + pair(41, "0.0") + pair(42, "6.283185307179586");
}

inline QByteArray polyline(const QVector<QPointF> &vertices, int flags, bool withCount = true)
{
    QByteArray text = entityStart("LWPOLYLINE", "AcDbPolyline");
    if (withCount)
        text += pair(90, QByteArray::number(vertices.size()));
    text += pair(70, QByteArray::number(flags)) + pair(43, "0.0");
    for (const QPointF &v : vertices)
        text += pair(10, num(v.x())) + pair(20, num(v.y()));
    return text;
}

// A polyline of n vertices in small whole numbers, written quickly; with
// its vertex count when count is 0 or more.
inline QByteArray longPolyline(int n, int flags = 0, int count = -1)
{
    QByteArray text = pair(0, "LWPOLYLINE") + pair(100, "AcDbEntity") + pair(100, "AcDbPolyline");
    if (count >= 0)
        text += pair(90, QByteArray::number(count));
    text += pair(70, QByteArray::number(flags));
    text.reserve(text.size() + n * 16);
    for (int i = 0; i < n; ++i)
        text += " 10\n" + QByteArray::number(i % 1000) + "\n 20\n" + QByteArray::number(i % 7) + "\n";
    return text;
}

inline QByteArray point(double x, double y)
{
    return entityStart("POINT", "AcDbPoint") + pair(10, num(x)) + pair(20, num(y)) + pair(30, "0.0");
}

// A whole file: an optional HEADER section (closed by its own ENDSEC), then
// the ENTITIES section.
inline QByteArray file(const QByteArray &entities, bool header = false)
{
    QByteArray text;
    if (header)
        text += pair(0, "SECTION") + pair(2, "HEADER") + pair(9, "$ACADVER") + pair(1, "AC1015") + pair(9, "$INSUNITS")
            + pair(70, "4") + pair(0, "ENDSEC");
    text += pair(0, "SECTION") + pair(2, "ENTITIES") + entities + pair(0, "ENDSEC") + pair(0, "EOF");
    return text;
}

inline QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

} // namespace DxfText

// A machined outline in millimetres: shoulders, a chamfer and a round groove,
// with the DXF text of the outline turned and shifted, and points sampled
// along the outline itself (the trace a perfect part gives).
namespace DxfOutline {

struct Piece {
    bool isArc;
    double a, b, c, d; // line: x1, y1, x2, y2; arc: cx, cy, r, unused
    double start, end; // arc angles in degrees
};

inline QVector<Piece> pieces()
{
    return {
        { false, 0, 0, 4, 0, 0, 0 },
        { true, 4, 1, 1, 0, 270, 360 },
        { false, 5, 1, 5, 3, 0, 0 },
        { false, 5, 3, 9, 3, 0, 0 },
        { false, 9, 3, 10, 2, 0, 0 },
        { false, 10, 2, 14, 2, 0, 0 },
        { true, 16, 2, 2, 0, 180, 360 },
        { false, 18, 2, 22, 2, 0, 0 },
    };
}

inline QPointF turned(const QPointF &p, double degrees, const QPointF &shift)
{
    const double c = std::cos(degrees * M_PI / 180), s = std::sin(degrees * M_PI / 180);
    return QPointF(p.x() * c - p.y() * s, p.x() * s + p.y() * c) + shift;
}

// The DXF of the outline turned about the origin by degrees, then shifted.
inline QByteArray dxf(double degrees, const QPointF &shift)
{
    QByteArray entities;
    for (const Piece &p : pieces()) {
        if (p.isArc) {
            const QPointF c = turned(QPointF(p.a, p.b), degrees, shift);
            entities += DxfText::arc(c.x(), c.y(), p.c, p.start + degrees, p.end + degrees);
        } else {
            const QPointF a = turned(QPointF(p.a, p.b), degrees, shift);
            const QPointF b = turned(QPointF(p.c, p.d), degrees, shift);
            entities += DxfText::line(a.x(), a.y(), b.x(), b.y());
        }
    }
    return DxfText::file(entities);
}

// Points every `spacing` millimetres along the outline, times unitFactor.
inline QVector<QPointF> trace(double spacing, double unitFactor)
{
    QVector<QPointF> points;
    for (const Piece &p : pieces()) {
        const double length = p.isArc ? p.c * (p.end - p.start) * M_PI / 180 : std::hypot(p.c - p.a, p.d - p.b);
        const int n = std::max(1, int(length / spacing));
        for (int i = 0; i < n; ++i) {
            const double t = double(i) / n;
            QPointF q;
            if (p.isArc) {
                const double phi = (p.start + t * (p.end - p.start)) * M_PI / 180;
                q = QPointF(p.a + p.c * std::cos(phi), p.b + p.c * std::sin(phi));
            } else {
                q = QPointF(p.a + t * (p.c - p.a), p.b + t * (p.d - p.b));
            }
            points.append(q * unitFactor);
        }
    }
    return points;
}

} // namespace DxfOutline
