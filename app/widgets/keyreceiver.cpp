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

// The keys a list to choose from moves its choice with.
bool isChoiceKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

// The widget with the focus, or one it belongs to, takes the key: an
// editable field any key, a combo box its choice keys, the menu bar
// (keyboard navigation of the menus, as after Alt) any key.
bool focusTakesKey(int key)
{
    for (const QWidget *w = QApplication::focusWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (isEditableField(w) || qobject_cast<const QMenuBar *>(w))
            return true;
        if (qobject_cast<const QComboBox *>(w) && isChoiceKey(key))
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

bool mainWindowActive()
{
    const QWidget *active = QApplication::activeWindow();
    return active && active->objectName() == QLatin1String(KeyReceiver::kMainWindowName);
}

} // namespace

KeyReceiver::KeyReceiver(QObject *parent)
    : QObject(parent)
{
    m_grace.setSingleShot(true);
    // The grace's end is looked at once more after the events already
    // queued have been handled, so a late press that arrived meanwhile
    // still counts.
    connect(&m_grace, &QTimer::timeout, this, [this] { QTimer::singleShot(0, this, [this] { releaseDue(); }); });
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
    return !active || active->objectName() == QLatin1String(kMainWindowName);
}

bool KeyReceiver::takesTypedKeys(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (isEditableField(w) || qobject_cast<const QComboBox *>(w))
            return true;
    }
    return false;
}

bool KeyReceiver::releasePending() const
{
    for (const Held &held : m_held)
        if (held.releasing)
            return true;
    return false;
}

bool KeyReceiver::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
        if (!m_held.isEmpty())
            letGoUnseeable(watched, event);
        return QObject::eventFilter(watched, event);
    }

    // A key event carries the modifiers as they are after it (Qt flips a
    // modifier key's own flag), so the panel's caption follows Ctrl.
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    ctrlPressed = keyEvent->modifiers().testFlag(Qt::ControlModifier);
    Q_EMIT ctrlStateChanged(ctrlPressed);

    const int key = keyEvent->key();
    // Repeats Qt recognised belong to the press they repeat: those of a key
    // acted on do nothing and reach no widget; those of any other key stay
    // with the widgets.
    if (keyEvent->isAutoRepeat())
        return m_held.contains(key) || m_lost.contains(key) || QObject::eventFilter(watched, event);

    const unsigned long stamp = keyEvent->timestamp();
    if (type == QEvent::KeyPress)
        return handlePress(watched, key, stamp) || QObject::eventFilter(watched, event);

    // The release of a press acted on is handled wherever it is delivered
    // first, even while switched off, so a jog always stops. A release whose
    // press went elsewhere (a dialog closed with Return, a menu entry chosen
    // with it) is not the operator's command here.
    if (m_held.contains(key)) {
        handleRelease(key, stamp);
        return true;
    }
    m_lastRelease.insert(key, stamp);
    return m_lost.contains(key) || QObject::eventFilter(watched, event);
}

bool KeyReceiver::handlePress(QObject *watched, int key, unsigned long stamp)
{
    const auto held = m_held.find(key);
    if (held != m_held.end()) {
        // Pressed again before any release, or right after a release with
        // its time stamp: the window system repeating the held key.
        if (!held->releasing)
            return true;
        if (stamp != 0 && stamp == held->releaseStamp) {
            held->releasing = false;
            return true;
        }
        // A new keystroke: the release before it was real.
        letGo(key, true);
    } else if (stamp != 0 && m_lastRelease.contains(key) && m_lastRelease.value(key) == stamp) {
        // A repeat of a key held down while its press went elsewhere (to a
        // dialog that then closed), or of a key let go while still down.
        return m_lost.contains(key);
    }
    m_lost.remove(key);

    QAbstractButton *button = keyMap.value(key);
    if (!button || signalsBlocked() || !atMainWindow(watched))
        return false;
    const bool enabled = button->isEnabled();
    if (focusTakesKey(key) && !(enabled && priorityKeys.contains(key)))
        return false;
    // At the main window a key whose button is disabled does nothing.
    if (!enabled)
        return true;
    Held &h = m_held[key];
    h.button = button;
    h.shown = button->isVisible();
    button->setDown(true);
    Q_EMIT button->pressed();
    return true;
}

void KeyReceiver::handleRelease(int key, unsigned long stamp)
{
    Held &held = m_held[key];
    if (held.releasing)
        return;
    // Without a time stamp no repeat can be told by it: the release is real.
    if (stamp == 0) {
        letGo(key, true);
        return;
    }
    held.releasing = true;
    held.releaseStamp = stamp;
    held.releaseSeen.start();
    if (!m_grace.isActive())
        m_grace.start(kReleaseGraceMs);
}

void KeyReceiver::releaseDue()
{
    int wait = -1;
    for (const int key : m_held.keys()) {
        const auto held = m_held.constFind(key);
        if (held == m_held.constEnd() || !held->releasing)
            continue;
        const qint64 left = kReleaseGraceMs - held->releaseSeen.elapsed();
        if (left <= 0)
            letGo(key, true);
        else if (wait < 0 || left < wait)
            wait = int(left);
    }
    if (wait >= 0 && !m_grace.isActive())
        m_grace.start(wait);
}

void KeyReceiver::letGo(int key, bool seen)
{
    const Held held = m_held.take(key);
    seen = seen || held.releasing;
    if (!seen)
        m_lost.insert(key);
    QAbstractButton *button = held.button;
    if (!button)
        return;
    button->setDown(false);
    if (!releaseActionKeys.contains(key) || (seen && button->isEnabled()))
        Q_EMIT button->released();
}

void KeyReceiver::letGoUnseeable(QObject *watched, QEvent *event)
{
    bool all = false;
    switch (event->type()) {
    case QEvent::WindowBlocked:
        all = true;
        break;
    case QEvent::Show: {
        const auto *w = qobject_cast<QWidget *>(watched);
        all = w && w->isWindow() && (w->windowType() == Qt::Popup || w->isModal());
        break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::ApplicationDeactivate:
    case QEvent::ApplicationStateChange:
        all = !mainWindowActive() || QGuiApplication::applicationState() != Qt::ApplicationActive;
        break;
    case QEvent::EnabledChange:
    case QEvent::Hide:
    case QEvent::HideToParent:
        break;
    default:
        return;
    }
    for (const int key : m_held.keys()) {
        // A button's release may have let other keys go meanwhile.
        const auto held = m_held.constFind(key);
        if (held == m_held.constEnd())
            continue;
        const QAbstractButton *button = held->button;
        if (all || !button || !button->isEnabled() || (held->shown && !button->isVisible()))
            letGo(key, false);
    }
}
