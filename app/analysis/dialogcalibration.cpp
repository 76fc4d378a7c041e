#include "analysis/dialogcalibration.h"

#include "analysis/contouranalisiswidget.h"
#include "widgets/calibrationtoolswidget.h"
#include "widgets/prompts.h"
#include "widgets/usersdialog.h"

#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

DialogCalibration::DialogCalibration(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Калибровка"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

void DialogCalibration::setWidget(ContourAnalisisWidget *widget)
{
    calibrationWidget = widget;
    // The tools emit this once they have saved or discarded: nothing is left
    // to ask, so it goes straight to the base close.
    connect(widget, &ContourAnalisisWidget::closeDialogCalibration, this, [this] { QDialog::reject(); });
}

ContourAnalisisWidget *DialogCalibration::widget() const
{
    return calibrationWidget;
}

void DialogCalibration::reject()
{
    CalibrationToolsWidget *tools
        = calibrationWidget ? calibrationWidget->findChild<CalibrationToolsWidget *>(QStringLiteral("calibrationTools")) : nullptr;
    if (!tools || tools->dataSaved) {
        QDialog::reject();
        return;
    }
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Несохранённые изменения"));
    box.setText(QStringLiteral("Данные калибровки не сохранены"));
    box.setInformativeText(QStringLiteral("Вы хотите сохранить изменённые калибровочные данные?"));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
    box.button(QMessageBox::Save)->setText(QStringLiteral("Сохранить"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Не сохранять"));
    Prompts::instance().execMessageBox(&box);
    // Escape and the box's close button give Cancel, as "Не сохранять" does.
    // The dialog closes when the tools announce the save or the discard; a
    // save the operator abandons leaves it open with its edits.
    if (box.clickedButton() == box.button(QMessageBox::Save))
        tools->clickSave();
    else
        tools->clickDiscard();
}

void DialogCalibration::run(QWidget *parent, const QSize &size, const QList<AbstractTrace *> &traces)
{
    auto *dialog = new DialogCalibration(parent);
    dialog->resize(size);
    auto *layout = new QVBoxLayout;
    auto *window = new ContourAnalisisWidget(dialog, true);
    window->setTraces(traces.toVector());
    layout->addWidget(window);
    dialog->setWidget(window);
    dialog->setLayout(layout);
    Prompts::instance().execDialog(dialog);
    delete dialog;
}

void DialogCalibration::installRunner()
{
    ContourCalibration::setRunner(&DialogCalibration::run);
}
