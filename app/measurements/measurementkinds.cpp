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

#include "measurements/anglemeasurement.h"
#include "measurements/compareplanedxf.h"
#include "measurements/distancemeasurement.h"
#include "measurements/levellingmeasurement.h"
#include "measurements/measurement.h"

void registerMeasurementKinds(MeasurementKindTable &table)
{
    Q_UNUSED(table)
    // Distances, angles and levelling.
    table.creators[VERTICAL_DISTANCE]
        = [](const MeasurementContext &c) { return new VerticalDistanceMeasurment(c.plot); };
    table.creators[HORIZONTAL_DISTANCE]
        = [](const MeasurementContext &c) { return new HorisontalDistanceMeasurment(c.plot); };
    table.creators[MAX_MIN_DISTANCE]
        = [](const MeasurementContext &c) { return new MaxMinDistanceMeasurement(c.plot); };
    table.creators[DIRECT_DISTANCE] = [](const MeasurementContext &c) { return new DirectDistanceMeasurement(c.plot); };
    table.creators[MEAN_HEIGHT] = [](const MeasurementContext &c) { return new MeanHeightMeasurement(c.plot); };
    table.creators[AVG_DIAMETER] = [](const MeasurementContext &c) { return new AvgDiametertMeasurement(c.plot); };
    table.creators[VERTICAL_ANGLE] = [](const MeasurementContext &c) { return new VerticalAngleMeasurement(c.plot); };
    table.creators[HORIZONTAL_ANGLE]
        = [](const MeasurementContext &c) { return new HorizontalAngleMeasurement(c.plot); };
    table.creators[REGULAR_ANGLE] = [](const MeasurementContext &c) { return new RegularAngleMeasurement(c.plot); };
    table.creators[LAY_FLAT] = [](const MeasurementContext &c) { return new LayFlatMeasurement(c.plot); };
    table.creators[LAY_FLAT_BY_TWO] = [](const MeasurementContext &c) {
        return new LayFlatByTwoMeasurement(c.plot, c.levellingAngle, c.levellingCentre);
    };

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

namespace MeasurementCaption {
const QString kCircle = QStringLiteral("Окружность");
const QString kHorizontalLine = QStringLiteral("Горизонтальная прямая");
const QString kVerticalLine = QStringLiteral("Вертикальная прямая");
const QString kTwoPointLine = QStringLiteral("Прямая по двум точкам");
const QString kThread = QStringLiteral("Средний диаметр");
const QString kDrawing = QStringLiteral("Чертёж DXF");
} // namespace MeasurementCaption

namespace {

using namespace MeasurementCaption;

bool isSlopedLine(const QString &caption)
{
    return caption == kHorizontalLine || caption == kTwoPointLine || caption == kThread;
}

bool lineLinePair(const QString &a, const QString &b)
{
    // Two horizontal lines and two thread lines never cross here.
    if (a == kTwoPointLine)
        return isSlopedLine(b);
    if (b == kTwoPointLine)
        return isSlopedLine(a);
    return (a == kThread && b == kHorizontalLine) || (a == kHorizontalLine && b == kThread);
}

} // namespace

bool intersectionKindFor(const QString &a, const QString &b, IntersectionKind *kind)
{
    IntersectionKind k;
    if (a == kCircle && b == kCircle)
        k = IntersectionKind::CircleCircle;
    else if ((a == kCircle && isSlopedLine(b)) || (b == kCircle && isSlopedLine(a)))
        k = IntersectionKind::CircleLine;
    else if ((a == kCircle && b == kVerticalLine) || (b == kCircle && a == kVerticalLine))
        k = IntersectionKind::CircleVerticalLine;
    else if ((a == kVerticalLine && isSlopedLine(b)) || (b == kVerticalLine && isSlopedLine(a)))
        k = IntersectionKind::VerticalLineLine;
    else if (lineLinePair(a, b))
        k = IntersectionKind::LineLine;
    else
        return false;
    if (kind)
        *kind = k;
    return true;
}
