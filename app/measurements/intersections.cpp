#include "measurements/intersections.h"

#include "measurements/circlegeometry.h"
#include "measurements/clickdistacemeasurement.h"
#include "measurements/curvaturemeasurement.h"
#include "plot/plotwidget.h"

#include <optional>

namespace {

const QString kCircleCaption = QStringLiteral("Окружность");
const QString kVerticalCaption = QStringLiteral("Вертикальная прямая");

std::optional<Geometry::Circle> circleOf(Measurement *m)
{
    if (auto *c = qobject_cast<CircumfAGMeasurement *>(m))
        return Geometry::Circle { c->centre, c->circleRadius };
    if (auto *c = qobject_cast<CircumfAGSpecified *>(m))
        return Geometry::Circle { c->centre, c->circleRadius };
    return std::nullopt;
}

std::optional<Geometry::Line> lineOf(Measurement *m)
{
    auto *line = qobject_cast<ClickDistaceMeasurement *>(m);
    if (!line || line->coefficients.size() < 2)
        return std::nullopt;
    return Geometry::Line { line->coefficients[0], line->coefficients[1] };
}

// The x of a vertical line.
std::optional<double> verticalOf(Measurement *m)
{
    if (auto line = lineOf(m))
        return line->offset;
    return std::nullopt;
}

bool captioned(Measurement *m, const QString &caption)
{
    return m && m->name() == caption;
}

} // namespace

QList<QPointF> circleCircleIntersection(Measurement *a, Measurement *b)
{
    const auto ca = circleOf(a), cb = circleOf(b);
    if (!ca || !cb)
        return {};
    return Geometry::circleCircle(*ca, *cb);
}

QList<QPointF> verticalLineLineIntersection(Measurement *a, Measurement *b)
{
    const bool firstIsVertical = captioned(a, kVerticalCaption);
    const auto x = verticalOf(firstIsVertical ? a : b);
    const auto line = lineOf(firstIsVertical ? b : a);
    if (!x || !line)
        return {};
    return Geometry::verticalLineLine(*x, *line);
}

QList<QPointF> circleVerticalLineIntersection(Measurement *a, Measurement *b)
{
    const bool firstIsCircle = captioned(a, kCircleCaption);
    const auto circle = circleOf(firstIsCircle ? a : b);
    const auto x = verticalOf(firstIsCircle ? b : a);
    if (!circle || !x)
        return {};
    return Geometry::circleVerticalLine(*circle, *x);
}

QList<QPointF> circleLineIntersection(Measurement *a, Measurement *b)
{
    const bool firstIsCircle = captioned(a, kCircleCaption);
    const auto circle = circleOf(firstIsCircle ? a : b);
    const auto line = lineOf(firstIsCircle ? b : a);
    if (!circle || !line)
        return {};
    return Geometry::circleLine(*circle, *line);
}

QList<QPointF> lineLineIntersection(Measurement *l1, Measurement *l2)
{
    const auto a = lineOf(l1), b = lineOf(l2);
    if (!a || !b)
        return {};
    return Geometry::lineLine(*a, *b);
}
