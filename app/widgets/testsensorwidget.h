#pragma once

#include "traces/paramsmap.h"

#include <QMap>
#include <QString>
#include <QWidget>
#include <array>

class ProfileTrace;

namespace Ui {
class testSensorWidget;
}

// The test-sensor card: grades a roughness sensor by its Ra readings on six
// reference specimens. Each check enters one reading into the table, in the
// row of the first reference whose tolerance it meets, or else, marked as out
// of tolerance, in the row of the nearest reference. The count of references
// met gives the grade. The table is the whole state: reference and tolerance
// of a row are read back from its item data.
class TestSensorWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr std::array<double, 6> kReferenceRa { 4.19, 1.08, 0.297, 0.07, 0.016, 0 };
    // Accepted deviation from a reference, µm.
    static double tolerance(double reference);

    explicit TestSensorWidget(QWidget *parent = nullptr);
    ~TestSensorWidget() override;

    // Evaluates the trace's Ra and enters it; a null trace changes nothing.
    void checkTrace(ProfileTrace *trace);
    // Enters an Ra text as the evaluator gives it: a number, or the mean of a
    // trace with additional traces ("mean±spread(percent%)"). A text that holds
    // no finite reading (the message of a trace too short for its cut-off, a
    // not-a-number) changes no row and no grade; false then.
    bool checkRaText(const QString &text);
    // The texts of the test-sensor card report by their keys: the map the
    // report generator takes as its ReportData.
    QMap<QString, QString> reportData() const;

    ExtraArgs args;

private:
    void initTable();
    void enterValue(double ra);
    void markClosestReference(double ra);
    void updateGrade();
    void onSensorNumberChanged(int value);

    Ui::testSensorWidget *ui;
};
