// Draws the program's icons: simple pictograms in one style (dark strokes,
// blue for the measured element, red for a highlighted point or a held jog
// button) on a transparent 48 x 48 canvas, written as PNG into the folder given
// on the command line, plus favicon.ico.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <cstdio>
#include <functional>
#include <map>

namespace {

const int kSize = 48;
const QColor kInk(0x26, 0x32, 0x38);
const QColor kBlue(0x15, 0x65, 0xc0);
const QColor kRed(0xd3, 0x2f, 0x2f);
const QColor kGreen(0x2e, 0x7d, 0x32);
const QColor kLight(0xcf, 0xd8, 0xdc);

using Draw = std::function<void(QPainter &)>;

QPen pen(const QColor &color, double width = 3.0, Qt::PenStyle style = Qt::SolidLine)
{
    return QPen(color, width, style, Qt::RoundCap, Qt::RoundJoin);
}

void line(
    QPainter &p, QPointF a, QPointF b, const QColor &color, double width = 3.0, Qt::PenStyle style = Qt::SolidLine)
{
    p.setPen(pen(color, width, style));
    p.drawLine(a, b);
}

void dot(QPainter &p, QPointF c, double r, const QColor &color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
}

void arrowHead(QPainter &p, QPointF from, QPointF to, const QColor &color, double size = 8.0)
{
    const double angle = qAtan2(to.y() - from.y(), to.x() - from.x());
    const QPointF left = to - QPointF(size * qCos(angle - 0.45), size * qSin(angle - 0.45));
    const QPointF right = to - QPointF(size * qCos(angle + 0.45), size * qSin(angle + 0.45));
    p.setPen(pen(color, 1.0));
    p.setBrush(color);
    p.drawPolygon(QPolygonF({ to, left, right }));
    p.setBrush(Qt::NoBrush);
}

// A line ending in an arrow head (at both ends when `both`).
void arrow(
    QPainter &p, QPointF a, QPointF b, const QColor &color, bool both = false, double width = 2.5, double head = 8.0)
{
    const double angle = qAtan2(b.y() - a.y(), b.x() - a.x());
    const QPointF shift(head * 0.6 * qCos(angle), head * 0.6 * qSin(angle));
    line(p, both ? a + shift : a, b - shift, color, width);
    arrowHead(p, a, b, color, head);
    if (both)
        arrowHead(p, b, a, color, head);
}

// A bold block arrow from a to b, as on the jog buttons.
void blockArrow(QPainter &p, QPointF a, QPointF b, const QColor &color)
{
    arrow(p, a, b, color, false, 6.0, 16.0);
}

void text(QPainter &p, const QRectF &box, const QString &s, int pixelSize, const QColor &color, bool bold = true,
    Qt::Alignment align = Qt::AlignCenter)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, align, s);
}

// A roughness-like profile across the box.
QPolygonF profilePoints(double left, double right, double mid, double amplitude)
{
    static const double kShape[] = { 0.1, -0.5, 0.3, -0.9, 0.2, -0.3, 0.8, -0.2, 0.5, -0.6, 0.0, 1.0, -0.4, 0.4, -0.1 };
    const int n = int(sizeof(kShape) / sizeof(kShape[0]));
    QPolygonF points;
    for (int i = 0; i < n; ++i)
        points << QPointF(left + (right - left) * i / (n - 1), mid + amplitude * kShape[i]);
    return points;
}

void profile(
    QPainter &p, double mid = 26, double amplitude = 9, const QColor &color = kInk, double left = 5, double right = 43)
{
    p.setPen(pen(color, 2.5));
    p.drawPolyline(profilePoints(left, right, mid, amplitude));
}

// A closed wavy contour around a circle, for the deviation-from-circle icons.
void wavyCircle(QPainter &p, QPointF c, double r, const QColor &color, double from = 0, double span = 360)
{
    QPolygonF points;
    for (int i = 0; i <= 72; ++i) {
        const double a = qDegreesToRadians(from + span * i / 72.0);
        const double rr = r + 1.8 * qSin(7 * a) + 1.0 * qSin(13 * a);
        points << QPointF(c.x() + rr * qCos(a), c.y() - rr * qSin(a));
    }
    p.setPen(pen(color, 2.5));
    p.drawPolyline(points);
}

void arc(QPainter &p, QPointF c, double r, double startDeg, double spanDeg, const QColor &color, double width = 2.5,
    Qt::PenStyle style = Qt::SolidLine)
{
    p.setPen(pen(color, width, style));
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), int(startDeg * 16), int(spanDeg * 16));
}

void deviationFromCircle(QPainter &p)
{
    arc(p, { 24, 24 }, 15, 0, 360, kBlue, 2.0, Qt::DashLine);
    wavyCircle(p, { 24, 24 }, 15, kInk);
}

void angleIcon(QPainter &p, QPointF vertex, QPointF base, QPointF ray, bool dashedBase)
{
    line(p, vertex, base, kInk, 3.0, dashedBase ? Qt::DashLine : Qt::SolidLine);
    line(p, vertex, ray, kInk);
    const double a0 = qRadiansToDegrees(qAtan2(-(base.y() - vertex.y()), base.x() - vertex.x()));
    const double a1 = qRadiansToDegrees(qAtan2(-(ray.y() - vertex.y()), ray.x() - vertex.x()));
    double span = a1 - a0;
    if (span > 180)
        span -= 360;
    if (span < -180)
        span += 360;
    arc(p, vertex, 14, a0, span, kBlue);
}

void verticalDimension(QPainter &p, double top, double bottom, double x)
{
    arrow(p, { x, top + 1 }, { x, bottom - 1 }, kBlue, true);
}

void folder(QPainter &p)
{
    QPainterPath path;
    path.moveTo(5, 12);
    path.lineTo(18, 12);
    path.lineTo(22, 16);
    path.lineTo(43, 16);
    path.lineTo(43, 39);
    path.lineTo(5, 39);
    path.closeSubpath();
    p.setPen(pen(kInk, 2.5));
    p.setBrush(kLight);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
    line(p, { 5, 21 }, { 43, 21 }, kInk, 2.0);
}

void gear(QPainter &p, QPointF c, double r, const QColor &color)
{
    QPolygonF teeth;
    for (int i = 0; i < 32; ++i) {
        const double a = 2 * M_PI * i / 32;
        const double rr = (i % 4 < 2) ? r : r * 0.72;
        teeth << QPointF(c.x() + rr * qCos(a + M_PI / 32), c.y() + rr * qSin(a + M_PI / 32));
    }
    p.setPen(pen(color, 1.0));
    p.setBrush(color);
    p.drawPolygon(teeth);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, r * 0.32, r * 0.32);
    p.setBrush(Qt::NoBrush);
}

void magnifier(QPainter &p, QPointF c, double r, const QColor &color)
{
    p.setPen(pen(color, 3.0));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    line(p, c + QPointF(r * 0.72, r * 0.72), c + QPointF(r * 1.7, r * 1.7), color, 4.0);
}

void selectionRect(QPainter &p, const QRectF &r)
{
    p.setPen(pen(kBlue, 2.0, Qt::DashLine));
    p.drawRect(r);
}

void regressionLine(QPainter &p)
{
    const QPointF points[] = { { 8, 34 }, { 14, 28 }, { 19, 31 }, { 25, 23 }, { 31, 24 }, { 36, 16 }, { 41, 15 } };
    for (const QPointF &pt : points)
        dot(p, pt, 2.6, kInk);
    line(p, { 5, 35 }, { 44, 13 }, kBlue);
}

// A curved arrow turning about the centre, for the spindle jog buttons.
void rotation(QPainter &p, bool clockwise, const QColor &color)
{
    const QPointF c(24, 26);
    const double r = 14;
    arc(p, c, r, clockwise ? 200 : -20, clockwise ? -230 : 230, color, 5.0);
    const double endDeg = clockwise ? -30 : 210;
    const double a = qDegreesToRadians(endDeg);
    const QPointF end(c.x() + r * qCos(a), c.y() - r * qSin(a));
    // Direction of travel at the end of the arc, in screen coordinates (y down).
    const QPointF tangent = clockwise ? QPointF(qSin(a), qCos(a)) : QPointF(-qSin(a), -qCos(a));
    arrowHead(p, end - tangent * 6, end + tangent * 8, color, 14);
    line(p, { 24, 12 }, { 24, 40 }, kInk, 2.0, Qt::DashDotLine);
}

// The measuring table with an arrow over it.
void table(QPainter &p, bool forward, const QColor &color)
{
    p.setPen(pen(kInk, 2.0));
    p.setBrush(kLight);
    p.drawRect(QRectF(6, 32, 36, 7));
    p.setBrush(Qt::NoBrush);
    line(p, { 12, 39 }, { 12, 43 }, kInk, 2.5);
    line(p, { 36, 39 }, { 36, 43 }, kInk, 2.5);
    if (forward)
        blockArrow(p, { 6, 19 }, { 43, 19 }, color);
    else
        blockArrow(p, { 42, 19 }, { 5, 19 }, color);
}

// The stylus arm moved up or down over the surface.
void stylus(QPainter &p, bool up, const QColor &color)
{
    line(p, { 4, 43 }, { 44, 43 }, kInk, 2.5);
    p.setPen(pen(kInk, 1.5));
    p.setBrush(kLight);
    p.drawPolygon(QPolygonF({ QPointF(30, 22), QPointF(40, 22), QPointF(35, 34) }));
    p.setBrush(Qt::NoBrush);
    line(p, { 35, 6 }, { 35, 22 }, kInk, 3.0);
    if (up)
        blockArrow(p, { 16, 40 }, { 16, 4 }, color);
    else
        blockArrow(p, { 16, 4 }, { 16, 40 }, color);
}

void letteredCorner(QPainter &p, const QString &s, const QColor &color)
{
    text(p, QRectF(26, 28, 22, 20), s, 14, color);
}

std::map<QString, Draw> icons()
{
    std::map<QString, Draw> m;
    m["1_1.png"] = [](QPainter &p) {
        p.setPen(pen(kInk, 2.0));
        p.drawRoundedRect(QRectF(4, 10, 40, 28), 4, 4);
        text(p, QRectF(4, 10, 40, 28), "1:1", 18, kInk);
    };
    m["2dot_line.png"] = [](QPainter &p) {
        line(p, { 9, 38 }, { 39, 10 }, kBlue);
        dot(p, { 9, 38 }, 4.5, kInk);
        dot(p, { 39, 10 }, 4.5, kInk);
    };
    m["angle.png"] = [](QPainter &p) { angleIcon(p, { 8, 38 }, { 44, 38 }, { 30, 8 }, false); };
    m["Circle.png"] = [](QPainter &p) {
        arc(p, { 24, 24 }, 16, 0, 360, kInk, 3.0);
        for (double a : { 200.0, 330.0, 90.0 })
            dot(p, { 24 + 16 * qCos(qDegreesToRadians(a)), 24 - 16 * qSin(qDegreesToRadians(a)) }, 4, kBlue);
    };
    m["Circle_input Radius.png"] = [](QPainter &p) {
        arc(p, { 22, 26 }, 16, 0, 360, kInk, 3.0);
        dot(p, { 22, 26 }, 2.5, kInk);
        arrow(p, { 22, 26 }, { 33.3, 14.7 }, kBlue);
        text(p, QRectF(30, 0, 18, 16), "R", 14, kBlue);
    };
    m["cutsel.png"] = [](QPainter &p) {
        profile(p, 26, 9, kLight);
        p.save();
        p.setClipRect(QRectF(15, 0, 18, 48));
        profile(p, 26, 9, kBlue);
        p.restore();
        line(p, { 15, 6 }, { 15, 42 }, kRed, 2.0, Qt::DashLine);
        line(p, { 33, 6 }, { 33, 42 }, kRed, 2.0, Qt::DashLine);
    };
    m["ddist.png"] = [](QPainter &p) {
        dot(p, { 8, 34 }, 4, kInk);
        dot(p, { 36, 8 }, 4, kInk);
        line(p, { 8, 34 }, { 14, 40 }, kInk, 1.5);
        line(p, { 36, 8 }, { 42, 14 }, kInk, 1.5);
        arrow(p, { 13, 39 }, { 41, 13 }, kBlue, true);
    };
    const Draw logo = [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
        p.setBrush(Qt::NoBrush);
        profile(p, 32, 6, Qt::white, 6, 42);
        p.setPen(pen(Qt::white, 1.5));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({ QPointF(21, 12), QPointF(29, 12), QPointF(25, 24) }));
        p.setBrush(Qt::NoBrush);
        line(p, { 25, 5 }, { 25, 12 }, Qt::white, 3.0);
    };
    m["favicon.png"] = logo;
    m["flat.png"] = [](QPainter &p) {
        line(p, { 4, 36 }, { 44, 22 }, kInk, 2.0, Qt::DashLine);
        profile(p, 22, 6, kInk);
        line(p, { 4, 38 }, { 44, 38 }, kBlue);
        arrow(p, { 40, 26 }, { 40, 35 }, kBlue, false, 2.0, 6);
    };
    m["flatByTwoSelection.png"] = [](QPainter &p) {
        profile(p, 24, 8, kInk);
        for (const QRectF &r : { QRectF(4, 12, 11, 24), QRectF(32, 12, 12, 24) }) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(21, 101, 192, 60));
            p.drawRect(r);
            p.setBrush(Qt::NoBrush);
        }
        line(p, { 4, 39 }, { 44, 39 }, kBlue);
    };
    m["flat_absent.png"] = [](QPainter &p) {
        profile(p, 22, 6, kInk);
        line(p, { 4, 38 }, { 44, 38 }, kBlue);
        line(p, { 8, 8 }, { 40, 42 }, kRed, 3.5);
    };
    m["hangle.png"] = [](QPainter &p) { angleIcon(p, { 8, 36 }, { 44, 36 }, { 38, 8 }, true); };
    m["hdist.png"] = [](QPainter &p) {
        line(p, { 8, 8 }, { 8, 40 }, kInk);
        line(p, { 40, 8 }, { 40, 40 }, kInk);
        arrow(p, { 9, 24 }, { 39, 24 }, kBlue, true);
    };
    m["Horizontal_line.png"] = [](QPainter &p) {
        line(p, { 4, 24 }, { 44, 24 }, kBlue, 3.5);
        dot(p, { 12, 24 }, 3.5, kInk);
        dot(p, { 36, 24 }, 3.5, kInk);
    };
    m["kontur_down_black.png"] = [](QPainter &p) { stylus(p, false, kInk); };
    m["kontur_down_red.png"] = [](QPainter &p) { stylus(p, false, kRed); };
    m["kontur_up_black.png"] = [](QPainter &p) { stylus(p, true, kInk); };
    m["kontur_up_red.png"] = [](QPainter &p) { stylus(p, true, kRed); };
    m["lineerr.png"] = [](QPainter &p) {
        line(p, { 4, 30 }, { 44, 18 }, kBlue, 2.0, Qt::DashLine);
        p.setPen(pen(kInk, 2.5));
        QPolygonF wave;
        for (int x = 4; x <= 44; x += 2)
            wave << QPointF(x, 30 - 12.0 * (x - 4) / 40 + 6 * qSin(x / 3.0));
        p.drawPolyline(wave);
        arrow(p, { 26, 24.6 }, { 26, 17 }, kRed, false, 2.0, 6);
    };
    m["Max_point.png"] = [](QPainter &p) {
        profile(p, 30, 10, kInk);
        dot(p, QPointF(5 + 38.0 * 3 / 14, 21), 4.5, kRed);
        arrow(p, QPointF(5 + 38.0 * 3 / 14, 13), QPointF(5 + 38.0 * 3 / 14, 3), kRed, false, 2.0, 6);
    };
    m["mbwd.png"] = [](QPainter &p) {
        blockArrow(p, { 40, 24 }, { 18, 24 }, kInk);
        line(p, { 8, 10 }, { 8, 38 }, kInk, 4.0);
    };
    m["mfwd.png"] = [](QPainter &p) {
        blockArrow(p, { 8, 24 }, { 30, 24 }, kInk);
        line(p, { 40, 10 }, { 40, 38 }, kInk, 4.0);
    };
    m["mup.png"] = [](QPainter &p) { blockArrow(p, { 24, 42 }, { 24, 5 }, kInk); };
    m["mdown.png"] = [](QPainter &p) { blockArrow(p, { 24, 5 }, { 24, 42 }, kInk); };
    m["mleft.png"] = [](QPainter &p) { blockArrow(p, { 42, 24 }, { 5, 24 }, kInk); };
    m["mright.png"] = [](QPainter &p) { blockArrow(p, { 5, 24 }, { 42, 24 }, kInk); };
    m["mupz.png"] = [](QPainter &p) {
        blockArrow(p, { 16, 42 }, { 16, 5 }, kInk);
        text(p, QRectF(24, 12, 24, 24), "Z", 22, kBlue);
    };
    m["mdownz.png"] = [](QPainter &p) {
        blockArrow(p, { 16, 5 }, { 16, 42 }, kInk);
        text(p, QRectF(24, 12, 24, 24), "Z", 22, kBlue);
    };
    m["mheight.png"] = [](QPainter &p) {
        profile(p, 10, 4, kInk, 4, 34);
        line(p, { 4, 40 }, { 34, 40 }, kInk);
        verticalDimension(p, 8, 40, 41);
    };
    m["MidLine.png"] = [](QPainter &p) {
        profile(p, 24, 11, kInk);
        line(p, { 3, 24 }, { 45, 24 }, kBlue, 2.5, Qt::DashLine);
    };
    m["mid_point.png"] = [](QPainter &p) {
        line(p, { 7, 36 }, { 41, 12 }, kInk);
        dot(p, { 7, 36 }, 3.5, kInk);
        dot(p, { 41, 12 }, 3.5, kInk);
        dot(p, { 24, 24 }, 5, kRed);
    };
    const Draw minMax = [](QPainter &p) {
        blockArrow(p, { 15, 26 }, { 15, 3 }, kInk);
        blockArrow(p, { 33, 22 }, { 33, 45 }, kInk);
    };
    m["min-max.png"] = minMax;
    m["min-max_Монтажная область 1.png"] = [](QPainter &p) {
        blockArrow(p, { 15, 26 }, { 15, 3 }, kBlue);
        blockArrow(p, { 33, 22 }, { 33, 45 }, kBlue);
    };
    m["Min_point.png"] = [](QPainter &p) {
        profile(p, 20, 10, kInk);
        dot(p, QPointF(5 + 38.0 * 11 / 14, 30), 4.5, kRed);
        arrow(p, QPointF(5 + 38.0 * 11 / 14, 36), QPointF(5 + 38.0 * 11 / 14, 46), kRed, false, 2.0, 6);
    };
    m["open.png"] = [](QPainter &p) {
        folder(p);
        arrow(p, { 30, 35 }, { 30, 3 }, kBlue, false, 3.0, 9);
    };
    m["pan.png"] = [](QPainter &p) {
        arrow(p, { 24, 24 }, { 24, 3 }, kInk, false, 3.0);
        arrow(p, { 24, 24 }, { 24, 45 }, kInk, false, 3.0);
        arrow(p, { 24, 24 }, { 3, 24 }, kInk, false, 3.0);
        arrow(p, { 24, 24 }, { 45, 24 }, kInk, false, 3.0);
        dot(p, { 24, 24 }, 4, kBlue);
    };
    m["Point.png"] = [](QPainter &p) {
        line(p, { 24, 6 }, { 24, 42 }, kInk, 2.0);
        line(p, { 6, 24 }, { 42, 24 }, kInk, 2.0);
        dot(p, { 24, 24 }, 6, kBlue);
    };
    m["print.png"] = [](QPainter &p) {
        p.setPen(pen(kInk, 2.0));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(13, 4, 22, 14));
        p.setBrush(kLight);
        p.drawRoundedRect(QRectF(4, 16, 40, 18), 3, 3);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(13, 28, 22, 16));
        p.setBrush(Qt::NoBrush);
        line(p, { 17, 34 }, { 31, 34 }, kBlue, 2.0);
        line(p, { 17, 39 }, { 27, 39 }, kBlue, 2.0);
        dot(p, { 38, 22 }, 2, kGreen);
    };
    m["pts.png"] = [](QPainter &p) {
        const QPointF points[] = { { 8, 30 }, { 14, 18 }, { 20, 34 }, { 27, 12 }, { 33, 28 }, { 40, 20 } };
        for (const QPointF &pt : points)
            dot(p, pt, 3.5, kInk);
        dot(p, { 27, 12 }, 4.5, kBlue);
    };
    m["Ra.png"] = [](QPainter &p) {
        text(p, QRectF(0, 2, 48, 28), "Ra", 22, kInk);
        profile(p, 38, 5, kBlue);
    };
    m["Rz.png"] = [](QPainter &p) {
        text(p, QRectF(0, 2, 48, 28), "Rz", 22, kInk);
        profile(p, 38, 5, kBlue);
    };
    m["rad.png"] = [](QPainter &p) {
        arc(p, { 24, 36 }, 18, 0, 180, kInk, 3.0);
        dot(p, { 24, 36 }, 3, kInk);
        arrow(p, { 24, 36 }, { 36.7, 23.3 }, kBlue);
        text(p, QRectF(4, 30, 16, 16), "R", 13, kBlue);
    };
    m["radarc.png"] = [](QPainter &p) {
        arc(p, { 24, 38 }, 20, 15, 150, kInk, 3.0);
        for (double a : { 30.0, 90.0, 150.0 })
            dot(p, { 24 + 20 * qCos(qDegreesToRadians(a)), 38 - 20 * qSin(qDegreesToRadians(a)) }, 4, kBlue);
    };
    m["raderr.png"] = deviationFromCircle;
    m["raderFilter1.png"] = [](QPainter &p) {
        deviationFromCircle(p);
        letteredCorner(p, "F1", kGreen);
    };
    m["raderrFilter2.png"] = [](QPainter &p) {
        deviationFromCircle(p);
        letteredCorner(p, "F2", kGreen);
    };
    m["raderr_R.png"] = [](QPainter &p) {
        deviationFromCircle(p);
        letteredCorner(p, "R", kRed);
    };
    m["Rader_2zelect.png"] = [](QPainter &p) {
        wavyCircle(p, { 24, 30 }, 17, kInk, 0, 180);
        arc(p, { 24, 30 }, 20, 135, 35, kBlue, 4.0);
        arc(p, { 24, 30 }, 20, 10, 35, kBlue, 4.0);
    };
    m["Rader_2zelect_filter.png"] = [](QPainter &p) {
        wavyCircle(p, { 24, 30 }, 17, kInk, 0, 180);
        arc(p, { 24, 30 }, 20, 135, 35, kBlue, 4.0);
        arc(p, { 24, 30 }, 20, 10, 35, kBlue, 4.0);
        text(p, QRectF(14, 26, 20, 20), "F", 14, kGreen);
    };
    m["reset.png"] = [](QPainter &p) {
        arc(p, { 24, 24 }, 15, 60, 300, kInk, 4.0);
        const double a = qDegreesToRadians(60.0);
        const QPointF end(24 + 15 * qCos(a), 24 - 15 * qSin(a));
        arrowHead(p, end + QPointF(-6, -3), end + QPointF(8, 4), kInk, 12);
    };
    m["rline.png"] = regressionLine;
    m["rline_s.png"] = [](QPainter &p) {
        selectionRect(p, QRectF(4, 10, 40, 28));
        regressionLine(p);
    };
    m["save.png"] = [](QPainter &p) {
        QPainterPath path;
        path.moveTo(5, 5);
        path.lineTo(36, 5);
        path.lineTo(43, 12);
        path.lineTo(43, 43);
        path.lineTo(5, 43);
        path.closeSubpath();
        p.setPen(pen(kInk, 2.5));
        p.setBrush(kBlue);
        p.drawPath(path);
        p.setBrush(Qt::white);
        p.setPen(pen(kInk, 1.5));
        p.drawRect(QRectF(12, 5, 22, 13));
        p.drawRect(QRectF(11, 26, 26, 17));
        p.setBrush(kInk);
        p.drawRect(QRectF(27, 7, 4, 9));
        p.setBrush(Qt::NoBrush);
    };
    m["scale_x.png"] = [](QPainter &p) {
        line(p, { 5, 12 }, { 5, 36 }, kInk);
        line(p, { 43, 12 }, { 43, 36 }, kInk);
        arrow(p, { 7, 24 }, { 41, 24 }, kBlue, true, 3.0, 10);
    };
    m["scale_y.png"] = [](QPainter &p) {
        line(p, { 12, 5 }, { 36, 5 }, kInk);
        line(p, { 12, 43 }, { 36, 43 }, kInk);
        arrow(p, { 24, 7 }, { 24, 41 }, kBlue, true, 3.0, 10);
    };
    m["select.png"] = [](QPainter &p) {
        selectionRect(p, QRectF(4, 4, 30, 26));
        QPolygonF cursor({ QPointF(22, 18), QPointF(22, 44), QPointF(28, 38), QPointF(33, 46), QPointF(37, 44),
            QPointF(32, 36), QPointF(40, 35) });
        p.setPen(pen(kInk, 1.5));
        p.setBrush(Qt::white);
        p.drawPolygon(cursor);
        p.setBrush(Qt::NoBrush);
    };
    m["select_z.png"] = [](QPainter &p) {
        selectionRect(p, QRectF(4, 4, 34, 30));
        magnifier(p, { 26, 26 }, 9, kInk);
    };
    m["settings.png"] = [](QPainter &p) { gear(p, { 24, 24 }, 20, kInk); };
    m["Spine_left_black.png"] = [](QPainter &p) { rotation(p, false, kInk); };
    m["Spine_left_red.png"] = [](QPainter &p) { rotation(p, false, kRed); };
    m["Spine_right_black.png"] = [](QPainter &p) { rotation(p, true, kInk); };
    m["Spine_right_red.png"] = [](QPainter &p) { rotation(p, true, kRed); };
    m["table_back_black.png"] = [](QPainter &p) { table(p, false, kInk); };
    m["table_back_red.png"] = [](QPainter &p) { table(p, false, kRed); };
    m["table_fwd_black.png"] = [](QPainter &p) { table(p, true, kInk); };
    m["table_fwd_red.png"] = [](QPainter &p) { table(p, true, kRed); };
    m["text_placement.png"] = [](QPainter &p) {
        text(p, QRectF(16, 2, 32, 30), "T", 28, kInk);
        line(p, { 26, 30 }, { 10, 40 }, kBlue, 2.0);
        dot(p, { 9, 41 }, 4, kBlue);
    };
    m["vangle.png"] = [](QPainter &p) { angleIcon(p, { 12, 42 }, { 12, 4 }, { 40, 14 }, true); };
    m["vdist.png"] = [](QPainter &p) {
        line(p, { 8, 8 }, { 40, 8 }, kInk);
        line(p, { 8, 40 }, { 40, 40 }, kInk);
        verticalDimension(p, 8, 40, 24);
    };
    m["vdistmax.png"] = [](QPainter &p) {
        profile(p, 24, 14, kInk, 4, 34);
        line(p, { 14, 11.4 }, { 44, 11.4 }, kInk, 1.5, Qt::DashLine);
        line(p, { 24, 38 }, { 44, 38 }, kInk, 1.5, Qt::DashLine);
        verticalDimension(p, 11.4, 38, 40);
    };
    m["vdistmax1.png"] = [](QPainter &p) {
        line(p, { 4, 36 }, { 44, 36 }, kBlue);
        profile(p, 22, 10, kInk);
        arrow(p, QPointF(5 + 38.0 * 3 / 14, 35), QPointF(5 + 38.0 * 3 / 14, 14), kRed, true, 2.0, 6);
    };
    m["veltra.png"] = [](QPainter &p) {
        p.setPen(pen(kBlue, 4.0));
        p.drawEllipse(QPointF(24, 24), 20, 20);
        profile(p, 26, 7, kInk, 8, 40);
        dot(p, { 24, 10 }, 3.5, kRed);
    };
    m["Vertical_line.png"] = [](QPainter &p) {
        line(p, { 24, 4 }, { 24, 44 }, kBlue, 3.5);
        dot(p, { 24, 12 }, 3.5, kInk);
        dot(p, { 24, 36 }, 3.5, kInk);
    };
    m["Ресурс 5.png"] = [](QPainter &p) {
        p.setPen(pen(kInk, 2.0));
        p.drawRect(QRectF(5, 8, 38, 32));
        for (double y : { 16.0, 24.0, 32.0 })
            line(p, { 5, y }, { 43, y }, kInk, 1.5);
        line(p, { 20, 8 }, { 20, 40 }, kInk, 1.5);
    };
    m["Ресурс 6.png"] = [](QPainter &p) {
        p.setPen(pen(kInk, 2.0));
        p.setBrush(kLight);
        p.drawRect(QRectF(4, 16, 40, 16));
        p.setBrush(Qt::NoBrush);
        for (int x = 8; x <= 40; x += 4)
            line(p, { double(x), 16 }, { double(x), x % 8 == 0 ? 26.0 : 22.0 }, kInk, 1.5);
    };
    m["Ресурс 70.png"] = [](QPainter &p) {
        profile(p, 38, 4, kInk);
        p.setPen(pen(kInk, 1.5));
        p.setBrush(kLight);
        p.drawPolygon(QPolygonF({ QPointF(18, 18), QPointF(30, 18), QPointF(24, 33) }));
        p.setBrush(Qt::NoBrush);
        line(p, { 24, 4 }, { 24, 18 }, kBlue, 3.0);
    };
    m["Ресурс 71.png"] = [](QPainter &p) {
        line(p, { 6, 4 }, { 6, 42 }, kInk, 2.0);
        line(p, { 6, 42 }, { 44, 42 }, kInk, 2.0);
        profile(p, 24, 10, kBlue, 8, 42);
    };
    m["Эту иконку.png"] = [](QPainter &p) {
        p.setPen(pen(kBlue, 3.0));
        p.drawEllipse(QPointF(24, 24), 19, 19);
        text(p, QRectF(4, 4, 40, 40), "i", 26, kBlue);
    };
    return m;
}

QImage render(const Draw &draw, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(double(size) / kSize, double(size) / kSize);
    draw(painter);
    painter.end();
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create the output folder\n");
        return 1;
    }
    const auto all = icons();
    for (const auto &[name, draw] : all) {
        if (!render(draw, kSize).save(out.filePath(name), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    // The program icon as a Windows icon, from the same drawing as favicon.png.
    QImageWriter ico(out.filePath(QStringLiteral("favicon.ico")), "ico");
    if (!ico.write(render(all.at(QStringLiteral("favicon.png")), 32))) {
        std::fprintf(stderr, "cannot write favicon.ico: %s\n", qPrintable(ico.errorString()));
        return 1;
    }
    std::printf("%zu images written\n", all.size() + 1);
    return 0;
}
