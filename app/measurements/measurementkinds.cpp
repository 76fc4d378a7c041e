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
#include "measurements/additionalgeometryselection.h"
#include "measurements/agtextplacement.h"
#include "measurements/clickdistacemeasurement.h"
#include "measurements/curvaturemeasurement.h"
#include "measurements/errormeasurement.h"
#include "measurements/radiusdisplacementerrormeasurement.h"
#include "measurements/roughnessmeasurement.h"
#include "measurements/intersections.h"
#include "measurements/thread.h"

namespace {

// A parallel copy of a click line: it reads any click line's coefficients and
// builds a finished line of class Line.
template <typename Line> LineCopier lineCopier()
{
    LineCopier copier;
    copier.coefficients = [](const Measurement *m) {
        const auto *line = qobject_cast<const ClickDistaceMeasurement *>(m);
        return line ? line->coefficients : QVector<double>();
    };
    copier.create = [](PlotWidget *plot, const QVector<double> &coefficients) -> Measurement * {
        return new Line(plot, coefficients);
    };
    return copier;
}

} // namespace

void registerMeasurementKinds(MeasurementKindTable &table)
{
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
    table.creators[REGULAR_RADIUS] = [](const MeasurementContext &c) { return new RegularRadiusMeasurement(c.plot); };
    table.creators[ARCS_RADIUS] = [](const MeasurementContext &c) { return new ArcsRadiusMeasurement(c.plot); };
    table.creators[CIRCUMF_AG] = [](const MeasurementContext &c) { return new CircumfAGMeasurement(c.plot); };
    table.creators[CIRCUMF_AG_SPECIFIED]
        = [](const MeasurementContext &c) { return new CircumfAGSpecified(c.plot, c.radius); };
    table.creators[CLICK_HORIZONTAL_LINE] = [](const MeasurementContext &c) { return new ClickHorizontalLine(c.plot); };
    table.creators[CLICK_VERTICAL_LINE] = [](const MeasurementContext &c) { return new ClickVerticalLine(c.plot); };
    table.creators[CLICK_DOUBLE_LINE] = [](const MeasurementContext &c) { return new ClickDoubleLine(c.plot); };
    table.creators[CLICK_POINT] = [](const MeasurementContext &c) { return new ClickPoint(c.plot); };
    table.creators[MIDDLE_POINT] = [](const MeasurementContext &c) { return new MiddlePoint(c.plot); };
    table.creators[THREAD] = [](const MeasurementContext &c) { return new Thread(c.plot); };
    table.creators[FIND_MAX_POINT] = [](const MeasurementContext &c) { return new FindMaxPoint(c.plot); };
    table.creators[FIND_MIN_POINT] = [](const MeasurementContext &c) { return new FindMinPoint(c.plot); };
    table.creators[AG_TEXT_PLACEMENT]
        = [](const MeasurementContext &c) { return new AgTextPlacement(c.parentWidget, c.plot); };
    table.intersections[IntersectionKind::CircleCircle] = circleCircleIntersection;
    table.intersections[IntersectionKind::CircleLine] = circleLineIntersection;
    table.intersections[IntersectionKind::CircleVerticalLine] = circleVerticalLineIntersection;
    table.intersections[IntersectionKind::VerticalLineLine] = verticalLineLineIntersection;
    table.intersections[IntersectionKind::LineLine] = lineLineIntersection;
    table.lineCopiers[CLICK_HORIZONTAL_LINE] = lineCopier<ClickHorizontalLine>();
    table.lineCopiers[CLICK_VERTICAL_LINE] = lineCopier<ClickVerticalLine>();
    table.lineCopiers[CLICK_DOUBLE_LINE] = lineCopier<ClickDoubleLine>();

    // Drawing comparison.
    // An import that gave no drawing (cancelled, unreadable, nothing to draw)
    // creates nothing.
    table.creators[COMPARE_PLANE_DXF] = [](const MeasurementContext &c) -> Measurement * {
        auto *comparison = new ComparePlaneDXF(c.drawingHost, c.plot);
        if (comparison->hasDrawing())
            return comparison;
        delete comparison;
        return nullptr;
    };

    // Deviations and roughness.
    table.creators[RMSE] = [](const MeasurementContext &c) { return new RMSEMeasurement(c.plot); };
    table.creators[ERROR_PLANE] = [](const MeasurementContext &c) { return new ErrorPlane(c.plot); };
    table.creators[RDEM] = [](const MeasurementContext &c) { return new RDEMeasurement(c.plot); };
    table.creators[RDEM_SPECIFIED] = [](const MeasurementContext &c) { return new RDEMSpecified(c.plot, c.radius); };
    table.creators[RADIUS_DISPLACEMENT_FILTER_ERROR]
        = [](const MeasurementContext &c) { return new RadiusDisplacementFilterErrorMeasurement(c.plot); };
    table.creators[RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT] = [](const MeasurementContext &c) {
        return new RadiusDisplacementErrorMeasurementByTwoSegment(c.plot, c.segmentCount); };
    table.creators[RDEM_FILTER_BY_TWO_SEGMENT]
        = [](const MeasurementContext &c) { return new RDEMFiterByTwoSegment(c.plot, c.segmentCount); };
    table.creators[RDEM_WITH_POLAR_GRAPH] = [](const MeasurementContext &c) { return new RDEMWithPolarGraph(c.plot); };
    table.creators[RA] = [](const MeasurementContext &c) { return new RAMeasurement(c.plot, c.traces); };
    table.creators[RZ] = [](const MeasurementContext &c) { return new RZMeasurement(c.plot, c.traces); };
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

int minimumSegmentPoints(int kind)
{
    switch (kind) {
    case REGULAR_RADIUS:
    case ARCS_RADIUS:
    case RDEM:
    case RDEM_SPECIFIED:
    case RADIUS_DISPLACEMENT_FILTER_ERROR:
    case RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT:
    case RDEM_FILTER_BY_TWO_SEGMENT:
    case RDEM_WITH_POLAR_GRAPH:
    case CIRCUMF_AG:
    case CIRCUMF_AG_SPECIFIED:
        return 3;
    case VERTICAL_DISTANCE:
    case HORIZONTAL_DISTANCE:
    case MAX_MIN_DISTANCE:
    case DIRECT_DISTANCE:
    case VERTICAL_ANGLE:
    case HORIZONTAL_ANGLE:
    case REGULAR_ANGLE:
    case LAY_FLAT:
    case LAY_FLAT_BY_TWO:
    case MEAN_HEIGHT:
    case RMSE:
    case AVG_DIAMETER:
    case RA:
    case RZ:
    case ERROR_PLANE:
        return 2;
    case FIND_MAX_POINT:
    case FIND_MIN_POINT:
        return 1;
    default:
        return 0;
    }
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
