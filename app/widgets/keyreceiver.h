#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>

class QAbstractButton;

// Application-wide key filter that lets the keyboard press and release the
// control panel's buttons: a mapped key's press emits the button's pressed(),
// its release the button's released(). It emits the signals itself rather
// than clicking, so the panel's handlers run whether or not the button is
// enabled or visible. Blocking the receiver's signals switches it off.
class KeyReceiver : public QObject {
    Q_OBJECT

public:
    explicit KeyReceiver(QObject *parent = nullptr);

    // The object name Qt gives the main window's top-level window object.
    static constexpr const char *kMainWindowObjectName = "MainWindowWindow";

    // Whether Ctrl was held in the last key event seen (also while switched off).
    bool ctrlPressed = false;
    // Qt key code to button; replaced whole by the panel. The buttons are not owned.
    QMap<int, QAbstractButton *> keyMap;

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void ctrlStateChanged(bool pressed);

private:
    // Presses this receiver handled whose release it has not seen yet, with
    // the button each one pressed. Their releases are always handled, so an
    // axis never keeps moving after its key was let go.
    QMap<int, QPointer<QAbstractButton>> m_held;
};
