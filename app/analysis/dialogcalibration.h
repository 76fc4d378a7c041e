#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSize>

class AbstractTrace;
class ContourAnalisisWidget;

// The modal dialog that hosts a contour window in calibration mode. It closes
// at once when the calibration values are saved; otherwise Escape or the
// close button asks whether to save or drop them, and the dialog closes only
// when the calibration tools report that they have done either.
class DialogCalibration : public QDialog {
    Q_OBJECT

public:
    explicit DialogCalibration(QWidget *parent = nullptr);

    // Keeps the hosted window (owned through the caller's layout) and lets its
    // closeDialogCalibration close the dialog without a question.
    void setWidget(ContourAnalisisWidget *widget);
    ContourAnalisisWidget *widget() const;

    void reject() override;

    // Runs a calibration on the traces: the dialog at that size with a
    // calibration-mode window, modal through the prompts object, destroyed
    // before returning. The settings and consoles dialogs both reach it
    // through installRunner().
    static void run(QWidget *parent, const QSize &size, const QList<AbstractTrace *> &traces);
    // Makes run() the calibration the settings and consoles dialogs start.
    static void installRunner();

private:
    QPointer<ContourAnalisisWidget> calibrationWidget;
};
