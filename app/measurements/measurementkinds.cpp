// Registration of the measurement kinds.
//
// A kind joins the program by one line in registerMeasurementKinds() below,
// in its family's block (include its header above):
//   table.creators[MAX_MIN_DISTANCE] = [](const MeasurementContext &c) {
//       return new MaxMinDistanceMeasurement(c.plot); };
// Intersection functions go into table.intersections[IntersectionKind::...],
// parallel copies of line elements into table.lineCopiers[kind].
// The manager copies the table once per contour plot; nothing registers
// itself statically (the linker would drop unreferenced objects of the
// static library).

#include "measurements/measurementkinds.h"

#include "measurements/compareplanedxf.h"
#include "measurements/measurement.h"

void registerMeasurementKinds(MeasurementKindTable &table)
{
    Q_UNUSED(table)
    // Distances, angles and levelling.

    // Radii, circles, click lines and points, thread, extremum points, text,
    // intersections and parallel copies.

    // Drawing comparison.
    table.creators[COMPARE_PLANE_DXF] = [](const MeasurementContext &c) {
        return new ComparePlaneDXF(c.parentWidget, c.plot); };

    // Deviations and roughness.
}

const MeasurementKindTable &standardMeasurementKinds()
{
    static const MeasurementKindTable table = [] {
        MeasurementKindTable t;
        registerMeasurementKinds(t);
        return t;
    }();
    return table;
}

namespace {

const QString kCircle = QStringLiteral("Окружность");
const QString kHorizontal = QStringLiteral("Горизонтальная прямая");
const QString kVertical = QStringLiteral("Вертикальная прямая");
const QString kTwoPoint = QStringLiteral("Прямая по двум точкам");
const QString kThread = QStringLiteral("Средний диаметр");

bool isSlopedLine(const QString &caption)
{
    return caption == kHorizontal || caption == kTwoPoint || caption == kThread;
}

bool lineLinePair(const QString &a, const QString &b)
{
    // Two horizontal lines and two thread lines never cross here.
    if (a == kTwoPoint)
        return isSlopedLine(b);
    if (b == kTwoPoint)
        return isSlopedLine(a);
    return (a == kThread && b == kHorizontal) || (a == kHorizontal && b == kThread);
}

} // namespace

bool intersectionKindFor(const QString &a, const QString &b, IntersectionKind *kind)
{
    IntersectionKind k;
    if (a == kCircle && b == kCircle)
        k = IntersectionKind::CircleCircle;
    else if ((a == kCircle && isSlopedLine(b)) || (b == kCircle && isSlopedLine(a)))
        k = IntersectionKind::CircleLine;
    else if ((a == kCircle && b == kVertical) || (b == kCircle && a == kVertical))
        k = IntersectionKind::CircleVerticalLine;
    else if ((a == kVertical && isSlopedLine(b)) || (b == kVertical && isSlopedLine(a)))
        k = IntersectionKind::VerticalLineLine;
    else if (lineLinePair(a, b))
        k = IntersectionKind::LineLine;
    else
        return false;
    if (kind)
        *kind = k;
    return true;
}
