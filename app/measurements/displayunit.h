#pragma once

#include <QString>

// The contour plot shows lengths in the unit chosen by Settings::axis_unit:
// 0 millimetres, 1 micrometres, 2 nanometres. Measurements keep some values in
// millimetres and convert with these; any other unit code counts as millimetres.
namespace DisplayUnit {

// Factor from millimetres to the unit: 1, 1000 or 1000000.
double factor(int axisUnit);
// "мм", "мкм" or "нм".
QString text(int axisUnit);
// The same for the unit the settings hold now.
double currentFactor();
QString currentText();
// The unit text of the unit the settings hold now; a unit code outside 0..2
// leaves previous as it was (a label keeps the suffix it had).
QString currentTextOr(const QString &previous);

} // namespace DisplayUnit
