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
//
// A key drives the instrument only when the operator is at the main window:
// its press must reach the main window while no modal dialog, message box,
// file dialog, menu or other popup is open and no editable field has the
// focus. Everywhere else the key does what it does there. The release of a
// press acted on is always handled, wherever it lands, so an axis never keeps
// moving after its key was let go; any other release is left alone.
class KeyReceiver : public QObject {
    Q_OBJECT

public:
    explicit KeyReceiver(QObject *parent = nullptr);

    // The object name of the main window, and the one Qt gives its top-level
    // window object.
    static constexpr const char *kMainWindowName = "MainWindow";
    static constexpr const char *kMainWindowObjectName = "MainWindowWindow";

    // Whether Ctrl was held at the last key event seen (also while switched off).
    bool ctrlPressed = false;
    // Qt key code to button; replaced whole by the panel. The buttons are not owned.
    QMap<int, QAbstractButton *> keyMap;

    // Whether Ctrl is held on the keyboard right now, asked of the window
    // system rather than taken from the last key event, which a dialog or
    // another program may have swallowed.
    static bool ctrlHeld();
    // Whether a key delivered to watched may drive the instrument now.
    static bool atMainWindow(QObject *watched);

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void ctrlStateChanged(bool pressed);

private:
    // Presses this receiver handled whose release it has not seen yet, with
    // the button each one pressed.
    QMap<int, QPointer<QAbstractButton>> m_held;
    // The time stamp of the last release of each key whose press was not
    // this receiver's, to tell the window system's repeats from new presses.
    QMap<int, ulong> m_foreignRelease;
};
