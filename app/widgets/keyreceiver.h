#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

class QAbstractButton;
class QWidget;

// Application-wide key filter that lets the keyboard press and release the
// control panel's buttons: a mapped key's press emits the button's pressed(),
// its release the button's released(). Blocking the receiver's signals
// switches it off.
//
// A key drives the instrument only when the operator is at the main window:
// its press must reach the main window while no modal dialog, message box,
// file dialog, menu or other popup is open, and the widget with the focus
// must not take that key for itself (an editable field takes them all, a
// combo box its arrows). Everywhere else the key does what it does there.
// The priority keys (the stop key) act from every widget of the main window.
// A key whose button is disabled acts nowhere: at the main window it is
// swallowed and nothing is sent.
//
// One hold of a key is one press and one release of its button. The window
// system repeats a held key as releases each followed by a press with the
// same time stamp, and on a busy machine that press may come late; so a
// release is acted on only once a short grace has passed without a press of
// its stamp. The release of a press acted on is handled wherever it lands.
// When that release can no longer be seen (the application or the main
// window loses activation, a modal dialog or a popup opens, the button is
// disabled or hidden) the button is released at once, so an axis never keeps
// moving after the operator has left it; a release-action key (the trace
// start) is cancelled then instead.
class KeyReceiver : public QObject {
    Q_OBJECT

public:
    explicit KeyReceiver(QObject *parent = nullptr);

    // The object name of the main window, and the one Qt gives its top-level
    // window object.
    static constexpr const char *kMainWindowName = "MainWindow";
    static constexpr const char *kMainWindowObjectName = "MainWindowWindow";
    // How long a release waits for the press that would make it a repeat.
    static constexpr int kReleaseGraceMs = 50;

    // Whether Ctrl was held at the last key event seen (also while switched off).
    bool ctrlPressed = false;
    // Qt key code to button; replaced whole by the panel. The buttons are not owned.
    QMap<int, QAbstractButton *> keyMap;
    // Keys that act from every widget of the main window, editable fields
    // included, while their button is enabled.
    QSet<int> priorityKeys;
    // Keys whose button acts on its release: a release that can no longer
    // be seen cancels the press instead of acting.
    QSet<int> releaseActionKeys;

    // Whether Ctrl is held on the keyboard right now, asked of the window
    // system rather than taken from the last key event, which a dialog or
    // another program may have swallowed.
    static bool ctrlHeld();
    // Whether a key delivered to watched is at the main window, with nothing
    // open in front of it.
    static bool atMainWindow(QObject *watched);
    // Whether the widget takes typed keys for itself: a field being edited
    // or a list to choose from.
    static bool takesTypedKeys(const QWidget *widget);
    // Whether a release is waiting out its grace.
    bool releasePending() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void ctrlStateChanged(bool pressed);

private:
    struct Held {
        QPointer<QAbstractButton> button;
        // Whether the button was shown at the press: a hidden button still
        // drives its axis, one hidden while held lets it go.
        bool shown = false;
        // A release seen, waiting out the grace since its time stamp came.
        bool releasing = false;
        unsigned long releaseStamp = 0;
        QElapsedTimer releaseSeen;
    };

    bool handlePress(QObject *watched, int key, unsigned long stamp);
    void handleRelease(int key, unsigned long stamp);
    // Lets the held key go: its button is released; a release-action key's
    // release runs only when it was seen and its button is enabled. A key
    // let go unseen may still be down: its repeats and release are swallowed.
    void letGo(int key, bool seen);
    void releaseDue();
    // Lets go every held key whose release can no longer be seen.
    void letGoUnseeable(QObject *watched, QEvent *event);

    // Presses acted on whose release has not been acted on, with their button.
    QMap<int, Held> m_held;
    // Keys let go while perhaps still down.
    QSet<int> m_lost;
    // The time stamp of the last release of each key not held, to tell the
    // window system's repeats from new presses.
    QMap<int, unsigned long> m_lastRelease;
    QTimer m_grace;
};
