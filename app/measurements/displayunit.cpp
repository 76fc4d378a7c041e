#include "measurements/displayunit.h"

#include "settings/settings.h"

namespace DisplayUnit {

double factor(int axisUnit)
{
    switch (axisUnit) {
    case 1:
        return 1000.0;
    case 2:
        return 1000000.0;
    default:
        return 1.0;
    }
}

QString text(int axisUnit)
{
    switch (axisUnit) {
    case 1:
        return QStringLiteral("мкм");
    case 2:
        return QStringLiteral("нм");
    default:
        return QStringLiteral("мм");
    }
}

double currentFactor()
{
    return factor(Settings::instance().axis_unit);
}

QString currentText()
{
    return text(Settings::instance().axis_unit);
}

QString currentTextOr(const QString &previous)
{
    const int unit = Settings::instance().axis_unit;
    return unit >= 0 && unit <= 2 ? text(unit) : previous;
}

} // namespace DisplayUnit
