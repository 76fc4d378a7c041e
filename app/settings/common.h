#pragma once

#include <QFont>
#include <QMap>
#include <QPen>
#include <QString>
#include <QVector>

// Constants shared by every part of the program. All are built during static
// initialisation and never change afterwards.
namespace Common {

extern const QString kUnknownText;       // "неизвестно"
extern const QString kConfirmQuestion;   // "Вы уверены?"
extern const QString kOrganizationName;  // title of contour instruments
extern const QString kProductName;       // title of profile instruments
extern const QString kContourVersion;
extern const QString kProfilometerVersion;

extern const QFont kMonospaceFont;

extern const QPen kBlackPen;
extern const QPen kDarkGreenPen;
extern const QPen kGreenPen;
extern const QPen kRedPen;
extern const QPen kMagentaDashPen;
extern const QPen kBluePen;

// Roughness cut-off lengths in micrometres, longest first; indexed by the
// filter index of the settings (0 is 8000 µm, 4 is 80 µm).
extern const QVector<double> kCutOffLengths;

// The cut-off of a filter index, with indexes outside the table falling back
// to the default index 1 (2500 µm), so a damaged settings value never reads
// outside the table.
int validCutOffIndex(int index);
double cutOffLength(int index);

// True for device types that deliver profile traces (types 2 and 3).
bool isProfileDevice(int deviceType);

} // namespace Common

// Tracing speeds of the instrument in mm/s by speed index (0.25, 0.5, 1, 2):
// the speed list of the control panel and the default speed of trace files.
extern const QVector<double> kTraceSpeedValues;

// Index-to-name table of the 56 surface-texture parameters, in registry order.
extern const QMap<int, QString> kParamIndexNames;

extern const QString kDefaultGraphColor;          // "#0048ba"
extern const QString kDefaultSelectedGraphColor;  // "#ff0000"
extern const QString kDefaultVisualObjectsColor;  // "#9b870c"
