#pragma once

#include <QVector>
#include <QWidget>

#include <memory>
#include <optional>

#include "settings/settings.h"

class AbstractTrace;

namespace Ui {
class CalibrationToolsWidget;
}

// The probe-calibration editor beside the plot of a contour window in
// calibration mode. Every edit goes at once into the active calibration
// values of the settings and into every contour trace shown, so the window
// can redraw the corrected contour. "Сохранить" stores the probe values into
// the current console's record and writes the settings file, "Cохранить как"
// into a console the operator picks, "Отмена" puts back the values the
// calibration started with; each then asks the host to close.
class CalibrationToolsWidget : public QWidget {
    Q_OBJECT

public:
    explicit CalibrationToolsWidget(QWidget *parent = nullptr);
    ~CalibrationToolsWidget() override;

    // Prepares a calibration: hides the rows that wait for traces and, out of
    // developer mode, the instrument rows; loads the values; takes the
    // snapshot that "Отмена" restores; connects the editors and buttons.
    void init();
    // Keeps the traces (not owned) and shows the probe rows they need: the
    // tip of each needle used, the double-sided probe rows when both needles
    // were, the roughness ratio for a contour-and-profile trace. Rows shown
    // by an earlier call stay shown.
    void setTraces(const QVector<AbstractTrace *> &traces);

    // Press "Сохранить" or "Отмена", so the handler runs at once.
    void clickSave();
    void clickDiscard();

    // False from the first edit until a save, save-as or discard completes.
    bool dataSaved = true;
    QVector<AbstractTrace *> traces;

Q_SIGNALS:
    void closeDialogCalibration();
    void calibrationDataChanged(QVector<AbstractTrace *> traces);

public Q_SLOTS:
    // An editor changed: the sender names the settings field and the trace
    // field that take the value.
    void calibrationDataValueChangedManually(double val);
    void onSaveClicked();
    void onSaveAsClicked();
    void onDiscardClicked();

private:
    void hideDeveloperFields();
    void loadValues(Settings settings);
    void connectEditors();
    void setRowVisible(int row, bool visible);
    // Stores the probe values into the current console's records, asking for
    // the console first when askForConsole is set. Returns quietly when the
    // operator cancels the choice.
    void save(bool askForConsole);
    // Whether a compression ratio, the rack deviation or the displacement
    // coefficient differs from the snapshot (NaN differs from everything).
    bool instrumentParametersChanged(const Settings &settings) const;

    std::unique_ptr<Ui::CalibrationToolsWidget> ui;
    std::optional<Settings> m_snapshot;
};
