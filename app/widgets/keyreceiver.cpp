#include "widgets/keyreceiver.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWindow>

namespace {

// A field that takes typed keys for itself: there Return, Space, the arrows
// and the page keys edit or confirm the text.
bool isEditableField(const QWidget *w)
{
    if (auto *edit = qobject_cast<const QLineEdit *>(w))
        return !edit->isReadOnly();
    if (auto *spin = qobject_cast<const QAbstractSpinBox *>(w))
        return !spin->isReadOnly();
    if (auto *combo = qobject_cast<const QComboBox *>(w))
        return combo->isEditable();
    if (auto *text = qobject_cast<const QTextEdit *>(w))
        return !text->isReadOnly();
    if (auto *text = qobject_cast<const QPlainTextEdit *>(w))
        return !text->isReadOnly();
    return false;
}

// The focus is in an editable field, or in the menu bar (keyboard navigation
// of the menus, as after Alt).
bool focusTakesKeys()
{
    for (const QWidget *w = QApplication::focusWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (isEditableField(w) || qobject_cast<const QMenuBar *>(w))
            return true;
    }
    return false;
}

bool belongsToMainWindow(QObject *watched)
{
    if (auto *window = qobject_cast<QWindow *>(watched))
        return window->objectName() == QLatin1String(KeyReceiver::kMainWindowObjectName);
    if (auto *widget = qobject_cast<QWidget *>(watched))
        return widget->window()->objectName() == QLatin1String(KeyReceiver::kMainWindowName);
    return false;
}

} // namespace

KeyReceiver::KeyReceiver(QObject *parent)
    : QObject(parent)
{
}

bool KeyReceiver::ctrlHeld()
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

bool KeyReceiver::atMainWindow(QObject *watched)
{
    if (!belongsToMainWindow(watched))
        return false;
    // Anything open in front of the main window takes the keys, even when
    // the window system still delivers them to the main window first.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || QGuiApplication::modalWindow())
        return false;
    const QWidget *active = QApplication::activeWindow();
    if (active && active->objectName() != QLatin1String(kMainWindowName))
        return false;
    return !focusTakesKeys();
}

bool KeyReceiver::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);

    // A key event carries the modifiers as they are after it (Qt flips a
    // modifier key's own flag), so the panel's caption follows Ctrl.
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    ctrlPressed = keyEvent->modifiers().testFlag(Qt::ControlModifier);
    Q_EMIT ctrlStateChanged(ctrlPressed);

    const int key = keyEvent->key();
    // The window system repeats a held key as releases each followed by a
    // press with the same time stamp. Qt does not always mark them as
    // repeats (the press may not have arrived yet when it looks), so a key
    // held down while a dialog closed would repeat on the main window as new
    // keystrokes: a press stamped like the last release of its key that was
    // not this receiver's counts as a repeat.
    const ulong stamp = keyEvent->timestamp();
    bool repeat = keyEvent->isAutoRepeat();
    if (type == QEvent::KeyPress && !repeat && stamp != 0 && !m_held.contains(key))
        repeat = m_foreignRelease.value(key, 0) == stamp;
    if (type == QEvent::KeyRelease && !m_held.contains(key))
        m_foreignRelease.insert(key, stamp);
    // Repeats of a key this receiver holds belong to its press: they
    // neither repeat the action nor reach a widget. Repeats of any other
    // key (held down while a dialog closed) stay with the widgets.
    if (repeat)
        return m_held.contains(key) || QObject::eventFilter(watched, event);

    if (type == QEvent::KeyPress) {
        QAbstractButton *button = keyMap.value(key);
        if (!button || signalsBlocked() || m_held.contains(key) || !atMainWindow(watched))
            return QObject::eventFilter(watched, event);
        m_held.insert(key, button);
        button->setDown(true);
        Q_EMIT button->pressed();
        return true;
    }

    // The release of a press handled here is handled wherever it is
    // delivered first, even while switched off, so a jog always stops. A
    // release whose press went elsewhere (a dialog closed with Return, a
    // menu entry chosen with it) is not the operator's command here.
    if (!m_held.contains(key))
        return QObject::eventFilter(watched, event);
    const QPointer<QAbstractButton> button = m_held.take(key);
    if (button) {
        button->setDown(false);
        Q_EMIT button->released();
    }
    return true;
}
