#pragma once

#include <QSpinBox>

// An integer spin box that gives up the keyboard focus after every change of
// its value, so that the keys typed next go back to the window (and to the
// keyboard control of the instrument).
class AutoUnfocusSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit AutoUnfocusSpinBox(QWidget *parent = nullptr);

public Q_SLOTS:
    void onValueChanged(int value);

private:
    void deselectAndMoveCursor();
};
