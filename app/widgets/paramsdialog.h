#pragma once

#include <QDialog>

class QListWidget;

namespace Ui {
class ParamsDialog;
}

// Chooses which surface-texture parameters are displayed, and in which order:
// the displayed list on the left, the others on the right. Names move with
// the arrow buttons or by dragging, within a list and between the lists. Only
// "Ок" writes both lists back into the settings.
class ParamsDialog : public QDialog {
    Q_OBJECT

public:
    explicit ParamsDialog(QWidget *parent = nullptr);
    ~ParamsDialog() override;

public Q_SLOTS:
    void moveToDisabled();
    void moveToEnabled();

private:
    void onOkReleased();
    static void moveSelected(QListWidget *from, QListWidget *to);

    Ui::ParamsDialog *ui;
};
