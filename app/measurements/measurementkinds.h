#pragma once

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPointF>
#include <QString>
#include <QVector>
#include <functional>

class AbstractTrace;
class Measurement;
class PlotWidget;
class QWidget;

// The measurement kinds the contour window offers; NO_MEASUREMENT arms none.
enum E_MEASUREMENTS {
    VERTICAL_DISTANCE = 0,
    HORIZONTAL_DISTANCE,
    MAX_MIN_DISTANCE,
    DIRECT_DISTANCE,
    VERTICAL_ANGLE,
    HORIZONTAL_ANGLE,
    REGULAR_ANGLE,
    REGULAR_RADIUS,
    ARCS_RADIUS,
    LAY_FLAT,
    LAY_FLAT_BY_TWO,
    MEAN_HEIGHT,
    RMSE,
    RDEM,
    RDEM_SPECIFIED,
    RADIUS_DISPLACEMENT_FILTER_ERROR,
    RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT,
    RDEM_FILTER_BY_TWO_SEGMENT,
    RDEM_WITH_POLAR_GRAPH,
    AVG_DIAMETER,
    RA,
    RZ,
    CIRCUMF_AG,
    CIRCUMF_AG_SPECIFIED,
    CLICK_HORIZONTAL_LINE,
    CLICK_VERTICAL_LINE,
    CLICK_DOUBLE_LINE,
    CLICK_POINT,
    MIDDLE_POINT,
    THREAD,
    FIND_MAX_POINT,
    FIND_MIN_POINT,
    AG_TEXT_PLACEMENT,
    COMPARE_PLANE_DXF,
    ERROR_PLANE,
    NO_MEASUREMENT
};
Q_DECLARE_METATYPE(E_MEASUREMENTS)

// The fewest points a selected stretch must hold for a kind that measures
// over stretches of a trace: 3 for the kinds that fit a circle, 1 for the
// extremum points, 2 for the others; 0 for the kinds that take points by
// clicks.
int minimumSegmentPoints(int kind);

// Captions (Measurement::name) that the manager and the tree compare.
namespace MeasurementCaption {
extern const QString kCircle; // "Окружность", kinds 22 and 23
extern const QString kHorizontalLine; // "Горизонтальная прямая", kind 24
extern const QString kVerticalLine; // "Вертикальная прямая", kind 25
extern const QString kTwoPointLine; // "Прямая по двум точкам", kind 26
extern const QString kThread; // "Средний диаметр", kind 29
extern const QString kDrawing; // "Чертёж DXF", kind 33
} // namespace MeasurementCaption

// Everything a kind's constructor may take besides the plot. The manager
// fills it on each creation.
class IDrawingHost;

struct MeasurementContext {
    PlotWidget *plot = nullptr;
    // The contour window, for the kinds that open dialogs (32).
    QWidget *parentWidget = nullptr;
    // What the drawing comparison (33) asks of the window.
    IDrawingHost *drawingHost = nullptr;
    // The window's traces (Ra and Rz take a copy).
    QVector<AbstractTrace *> traces;
    // The armed kind's parameter text converted: a radius (kinds 14 and 23)
    // and a segment count (kinds 16 and 17); 0 when the text is no number.
    double radius = 0;
    int segmentCount = 0;
    // The manager's levelling result, written by the levelling-by-two kind.
    double *levellingAngle = nullptr;
    QPointF *levellingCentre = nullptr;
};

using MeasurementCreator = std::function<Measurement *(const MeasurementContext &)>;

// The five ways two additional-geometry elements can cross.
enum class IntersectionKind { CircleCircle, CircleLine, CircleVerticalLine, VerticalLineLine, LineLine };

// The crossing points of two elements (plot coordinates), in the order the
// kind defines; the elements are not changed.
using IntersectionFunction = std::function<QList<QPointF>(Measurement *, Measurement *)>;

// A parallel copy of a line element of one kind.
struct LineCopier {
    // The element's [slope, offset] (for a vertical line [0, x]); empty when
    // the element is not a line of this kind.
    std::function<QVector<double>(const Measurement *)> coefficients;
    // A new, finished line element with these coefficients.
    std::function<Measurement *(PlotWidget *, const QVector<double> &)> create;
};

// What the manager can build: a creator per kind, the intersection functions
// and the line copies. Each manager holds its own copy of the program's table
// (tests put fakes into theirs).
struct MeasurementKindTable {
    QMap<int, MeasurementCreator> creators;
    QMap<IntersectionKind, IntersectionFunction> intersections;
    QMap<int, LineCopier> lineCopiers;
};

// The program's kinds, registered once (measurementkinds.cpp).
const MeasurementKindTable &standardMeasurementKinds();
void registerMeasurementKinds(MeasurementKindTable &table);

// Which intersection function serves a pair of element captions (in the
// order given); false when the pair has no crossing points to add.
bool intersectionKindFor(const QString &first, const QString &second, IntersectionKind *kind);
