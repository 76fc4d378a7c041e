#pragma once

#include <QMap>
#include <QString>

// The display texts a report is written from. Keys are flat ("factory_name")
// or indexed as group + "[" + index + "]." + field ("trace[0].speed"); the row
// count of a group is stored as decimal text under its own key ("trace_count").
using ReportData = QMap<QString, QString>;

// The report kinds, passed to ReportGenerator::generate as an int.
enum E_REPORT_TYPE {
    SENSOR_TEST_REPORT = 0,
    MEASUREMENT_REPORT = 1,
    PLOT_REPORT = 2,
    MEASUREMENT_PROTOCOL = 3,
};
