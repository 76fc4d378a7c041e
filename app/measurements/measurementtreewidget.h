#pragma once

#include "measurements/measurementkinds.h"

#include <QMap>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <string>
#include <vector>

class Measurement;

// A row of the tree as the window reads it back.
struct MeasurementItemRecord {
    std::string name;
    std::string value;
    QTreeWidgetItem *item = nullptr; // not owned
    int id = 0;
};

// A section of the tree with its mean and its rows, in tree order.
struct MeasurementGroupRecord {
    std::string title;
    std::string value;
    std::vector<MeasurementItemRecord> items;
    QTreeWidgetItem *item = nullptr; // the section's row, not owned
};

// A delegate that never opens an editor.
class NoEditDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The results beside the contour plot: six sections, one row per listed
// measurement (caption, value text; id and value as Qt::UserRole data), the
// mean of each section in its row. Rows move within their section and
// sections between sections by dragging. The tree does not talk to the
// manager: the window adds and refreshes rows and answers the signals.
class MeasurementTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    enum Section { Lengths, Deviations, Angles, Radii, Roughness, Geometry };

    explicit MeasurementTreeWidget(QWidget *parent = nullptr);

    // A new last row of the measurement's section.
    QTreeWidgetItem *addMeasurementItem(Measurement *m);
    void updateMeasurementItem(QTreeWidgetItem *item, Measurement *m);
    // Each section's mean of its rows' values (not in calibration mode).
    void updateSectionSummaries();
    // Set once, before any row exists.
    void setCalibrationMode(bool on);
    bool isCalibrationMode() const { return calibrationMode; }
    QTreeWidgetItem *sectionItem(Section s) const;
    // The title of a section ("ДЛИНЫ", "ОТКЛОНЕНИЯ", ...).
    static QString sectionTitle(Section s);

    static std::vector<MeasurementGroupRecord> exportTree(QTreeWidget *tree);
    // The section of a type code; false (and Lengths) for a code without one.
    static Section sectionForType(int type, bool *known = nullptr);

Q_SIGNALS:
    void deleteMeasurement(int index);
    void equidistant(int index, E_MEASUREMENTS type, double distance);

protected:
    void dropEvent(QDropEvent *event) override;

private:
    void setupContextMenu();
    void createSections();
    // Columns as wide as their contents, the last one filling the rest.
    void setupHeader();
    void showContextMenu(const QPoint &pos);
    void clearSection(QTreeWidgetItem *section);
    void deleteItem(QTreeWidgetItem *item);
    void askEquidistant(QTreeWidgetItem *item);
    void writeCalibrationColumns(QTreeWidgetItem *item, Measurement *m);

    QTreeWidgetItem *lengthsSection = nullptr;
    QTreeWidgetItem *deviationsSection = nullptr;
    QTreeWidgetItem *anglesSection = nullptr;
    QTreeWidgetItem *radiiSection = nullptr;
    QTreeWidgetItem *roughnessSection = nullptr;
    QTreeWidgetItem *geometrySection = nullptr;
    bool calibrationMode = false;
    QMap<QString, E_MEASUREMENTS> equidistantKinds;
};
