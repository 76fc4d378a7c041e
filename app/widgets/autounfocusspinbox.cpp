#include "widgets/autounfocusspinbox.h"

#include <QLineEdit>
#include <QTimer>

AutoUnfocusSpinBox::AutoUnfocusSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
    connect(this, QOverload<int>::of(&QSpinBox::valueChanged), this, &AutoUnfocusSpinBox::onValueChanged);
}

void AutoUnfocusSpinBox::onValueChanged(int)
{
    deselectAndMoveCursor();
    // The focus goes only after the change that caused the signal has been
    // handled completely.
    QTimer::singleShot(0, this, [this] { clearFocus(); });
}

void AutoUnfocusSpinBox::deselectAndMoveCursor()
{
    if (QLineEdit *edit = lineEdit()) {
        edit->deselect();
        edit->setCursorPosition(edit->text().length());
    }
}
