#pragma once

#include "measurements/measurementtreewidget.h"
#include "report/reportdata.h"

#include <QDateTime>
#include <QVector>
#include <functional>

class AbstractTrace;
class Measurement;

// A section of the measurement tree that the protocol reports: its group name
// in the report's keys and the prefix of its measurements' designations
// (L_1, α_2, ...). The additional geometry is not reported.
struct ProtocolGroup {
    MeasurementTreeWidget::Section section;
    const char *key;
    QString prefix;
};

// The reported groups in the order of their tables: distance, error, angle,
// radius, roughness.
const QVector<ProtocolGroup> &protocolGroups();

// The index in protocolGroups() of a section row of the tree; -1 for the
// additional geometry and any row that is not a section of a measurement tree.
int protocolGroupOf(QTreeWidget *tree, const QTreeWidgetItem *sectionRow);

// What the protocol writes that is not in the measurements: the part name and
// the comment typed in the window, and the time of writing.
struct ProtocolHeader {
    QString partName;
    QString comment;
    QDateTime date;
};

// The data of the measurement protocol: the header, the controller and the
// organisation of the settings, one row per trace (id + 1, author, date), and
// per reported group one row per measurement in the order the tree arranges
// them, named by designation, with the value text of the measurement that
// measurementOf finds for the row's id (empty when none: the row still counts)
// and the group's title taken from its section. Counts are written for every
// group, titles for groups with rows.
ReportData protocolData(const ProtocolHeader &header, const QVector<AbstractTrace *> &traces,
    MeasurementTreeWidget *tree, const std::function<const Measurement *(int id)> &measurementOf);
