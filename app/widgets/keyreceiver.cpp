#include "widgets/keyreceiver.h"

#include <QAbstractButton>
#include <QKeyEvent>

KeyReceiver::KeyReceiver(QObject *parent)
    : QObject(parent)
{
}

bool KeyReceiver::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);

    auto *keyEvent = static_cast<QKeyEvent *>(event);
    ctrlPressed = keyEvent->modifiers().testFlag(Qt::ControlModifier);
    Q_EMIT ctrlStateChanged(ctrlPressed);

    const int key = keyEvent->key();
    if (keyEvent->isAutoRepeat())
        return QObject::eventFilter(watched, event);

    if (type == QEvent::KeyPress) {
        QAbstractButton *button = keyMap.value(key);
        if (!button)
            return QObject::eventFilter(watched, event);
        if (signalsBlocked())
            return false;
        m_held.insert(key, button);
        button->setDown(true);
        Q_EMIT button->pressed();
        return true;
    }

    // A release whose press was handled here is handled wherever it is
    // delivered first, even while switched off.
    if (m_held.contains(key)) {
        const QPointer<QAbstractButton> button = m_held.take(key);
        if (button) {
            button->setDown(false);
            Q_EMIT button->released();
        }
        return true;
    }

    QAbstractButton *button = keyMap.value(key);
    if (!button || watched->objectName() != QLatin1String(kMainWindowObjectName))
        return QObject::eventFilter(watched, event);
    if (signalsBlocked())
        return false;
    button->setDown(false);
    Q_EMIT button->released();
    return true;
}
