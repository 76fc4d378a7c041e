#include "support/testmain.h"

#include "widgets/keyreceiver.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

namespace {

// A focusable widget that notes every key it is given.
class KeyLog : public QWidget {
public:
    explicit KeyLog(QWidget *parent)
        : QWidget(parent)
    {
        setFocusPolicy(Qt::StrongFocus);
        setMinimumSize(40, 20);
    }
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *e) override { keys << e->key(); }
};

// A top-level window named as the main window, with three mapped buttons (a
// jog, a start acting on its release and a stop acting from every widget), a
// plain widget that holds the focus, a line edit and a combo box; the
// receiver is installed on the application for as long as the fixture lives.
struct MainWindowFixture {
    QWidget window;
    QPushButton *right = new QPushButton(QStringLiteral("→"), &window);
    QPushButton *start = new QPushButton(QStringLiteral("ТРАССА"), &window);
    QPushButton *stop = new QPushButton(QStringLiteral("СТОП"), &window);
    KeyLog *log = new KeyLog(&window);
    QLineEdit *edit = new QLineEdit(QStringLiteral("abc"), &window);
    QComboBox *choice = new QComboBox(&window);
    KeyReceiver receiver;
    QSignalSpy rightPressed { right, &QAbstractButton::pressed };
    QSignalSpy rightReleased { right, &QAbstractButton::released };
    QSignalSpy rightClicked { right, &QAbstractButton::clicked };
    QSignalSpy startPressed { start, &QAbstractButton::pressed };
    QSignalSpy startReleased { start, &QAbstractButton::released };
    QSignalSpy stopPressed { stop, &QAbstractButton::pressed };
    QSignalSpy stopReleased { stop, &QAbstractButton::released };
    QSignalSpy ctrl { &receiver, &KeyReceiver::ctrlStateChanged };

    MainWindowFixture()
    {
        window.setObjectName(QStringLiteral("MainWindow"));
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(right);
        layout->addWidget(start);
        layout->addWidget(stop);
        layout->addWidget(log);
        layout->addWidget(edit);
        layout->addWidget(choice);
        choice->addItems({ QStringLiteral("8 мм"), QStringLiteral("2.5 мм"), QStringLiteral("0.8 мм") });
        receiver.keyMap = { { Qt::Key_Right, right }, { Qt::Key_Up, right }, { Qt::Key_Return, start },
            { Qt::Key_Space, stop } };
        receiver.priorityKeys = { Qt::Key_Space };
        receiver.releaseActionKeys = { Qt::Key_Return };
        window.show();
        window.activateWindow();
        log->setFocus();
        edit->setCursorPosition(0);
        qApp->installEventFilter(&receiver);
    }
    ~MainWindowFixture() { qApp->removeEventFilter(&receiver); }

    QWindow *handle() const { return window.windowHandle(); }
    bool active()
    {
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    // A key event with the time stamp the window system gave it.
    void send(QEvent::Type type, Qt::Key key, ulong stamp, bool repeat = false)
    {
        QKeyEvent e(type, key, Qt::NoModifier, QString(), repeat);
        e.setTimestamp(stamp);
        QCoreApplication::sendEvent(handle(), &e);
    }
    // Every release seen has waited out its grace.
    bool settled()
    {
        return QTest::qWaitFor([this] { return !receiver.releasePending(); });
    }
};

void autoRepeat(QWindow *window, bool press, Qt::Key key)
{
    QTest::simulateEvent(window, press, key, Qt::NoModifier, QString(), true);
}

} // namespace

class TestKeyReceiver : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        MainWindowFixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QCOMPARE(f.handle()->objectName(), QStringLiteral("MainWindowWindow"));
    }

    // One press and one release of the mapped button for a held key; the
    // auto-repeats in between do nothing and no widget sees the key.
    void heldKeyPressesAndReleasesOnce()
    {
        MainWindowFixture f;
        QVERIFY(f.active());

        QTest::keyPress(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QVERIFY(f.right->isDown());
        for (int i = 0; i < 3; ++i) {
            autoRepeat(f.handle(), false, Qt::Key_Right);
            autoRepeat(f.handle(), true, Qt::Key_Right);
        }
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 0);
        QVERIFY(f.right->isDown());

        QTest::keyRelease(f.handle(), Qt::Key_Right);
        // The release waits out its grace for a press that would make it a repeat.
        QCOMPARE(f.rightReleased.count(), 0);
        QVERIFY(f.settled());
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
        QVERIFY(!f.right->isDown());
        QCOMPARE(f.rightClicked.count(), 0);
        QCOMPARE(f.log->keys, QList<int>());

        // Sent straight to the focused widget as well as through the window.
        QTest::keyClick(f.log, Qt::Key_Return);
        QCOMPARE(f.startPressed.count(), 1);
        QCOMPARE(f.startReleased.count(), 1);
        QCOMPARE(f.log->keys, QList<int>());
    }

    // A disabled button is never driven: its key is swallowed at the main
    // window and reaches no widget. A hidden one is still driven (the
    // profile instrument's jogs have no buttons on the panel).
    void disabledButtonsAreNotDriven()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        f.right->setEnabled(false);
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QVERIFY(f.settled());
        QCOMPARE(f.rightPressed.count() + f.rightReleased.count(), 0);
        QCOMPARE(f.log->keys, QList<int>());

        f.right->setEnabled(true);
        f.right->hide();
        QTest::qWait(2); // a new keystroke, not a repeat
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QVERIFY(f.settled());
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    // The stop key acts from every widget while its button is enabled; a
    // field keeps it otherwise. A combo box keeps the keys that move its
    // choice, and only those.
    void stopKeyAndChoiceKeys()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        f.edit->setFocus();
        f.edit->selectAll();
        QTest::keyClick(f.handle(), Qt::Key_Space);
        QVERIFY(f.settled());
        QCOMPARE(f.stopPressed.count(), 1);
        QCOMPARE(f.stopReleased.count(), 1);
        QCOMPARE(f.edit->text(), QStringLiteral("abc"));

        f.stop->setEnabled(false);
        QTest::keyClick(f.handle(), Qt::Key_Space);
        QCOMPARE(f.edit->text(), QStringLiteral(" "));
        QCOMPARE(f.stopPressed.count(), 1);

        f.choice->setFocus();
        QTest::qWait(2);
        QTest::keyClick(f.handle(), Qt::Key_Down);
        QCOMPARE(f.choice->currentIndex(), 1);
        QTest::keyClick(f.handle(), Qt::Key_Up);
        QCOMPARE(f.choice->currentIndex(), 0);
        QCOMPARE(f.rightPressed.count(), 0);
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QVERIFY(f.settled());
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
        QCOMPARE(f.choice->currentIndex(), 0);
    }

    void switchedOffPassesKeysOn()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        f.receiver.blockSignals(true);

        QTest::keyClick(f.handle(), Qt::Key_Right);
        QCOMPARE(f.log->keys, QList<int> { Qt::Key_Right });
        QCOMPARE(f.rightPressed.count(), 0);
        QCOMPARE(f.rightReleased.count(), 0);
        QCOMPARE(f.ctrl.count(), 0);

        QTest::keyPress(f.handle(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(f.receiver.ctrlPressed); // still follows the keys
        QTest::keyRelease(f.handle(), Qt::Key_A, Qt::NoModifier);
        QVERIFY(!f.receiver.ctrlPressed);
        QCOMPARE(f.ctrl.count(), 0);

        f.receiver.blockSignals(false);
        // A new keystroke comes at least a millisecond after the last
        // release: one with the same time stamp would be a repeat.
        QTest::qWait(2);
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QVERIFY(f.settled());
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    void ctrlState()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        QTest::keyPress(f.handle(), Qt::Key_B, Qt::ControlModifier);
        QVERIFY(f.receiver.ctrlPressed);
        QCOMPARE(f.ctrl.last().at(0).toBool(), true);
        // Qt reports a Ctrl release without the Ctrl modifier (a modifier
        // key's own event carries its state flipped).
        QTest::keyRelease(f.handle(), Qt::Key_Control, Qt::ControlModifier);
        QVERIFY(!f.receiver.ctrlPressed);
        QCOMPARE(f.ctrl.last().at(0).toBool(), false);
    }

    void keypadEnterIsNotMapped()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        QTest::keyClick(f.handle(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(f.startPressed.count(), 0);
        QCOMPARE(f.startReleased.count(), 0);
        QCOMPARE(f.log->keys, QList<int> { Qt::Key_Enter });
    }

    // Where the operator is not at the main window the keys do what they do
    // there, also when the window system hands them to the main window's
    // window first: a field being edited, a modal dialog, a popup menu, the
    // menu bar, another window in front.
    void keysLeftWhereTheOperatorIs_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("line edit") << "edit";
        QTest::newRow("spin box") << "spin";
        QTest::newRow("editable combo box") << "combo";
        QTest::newRow("modal dialog") << "modal";
        QTest::newRow("popup menu") << "popup";
        QTest::newRow("menu bar") << "menubar";
        QTest::newRow("another window in front") << "other";
    }
    void keysLeftWhereTheOperatorIs()
    {
        QFETCH(QString, situation);
        MainWindowFixture f;
        QVERIFY(f.active());
        auto *spin = new QSpinBox(&f.window);
        auto *combo = new QComboBox(&f.window);
        combo->setEditable(true);
        combo->addItem(QStringLiteral("abc"));
        auto *bar = new QMenuBar(&f.window);
        QMenu *barMenu = bar->addMenu(QStringLiteral("Файл"));
        barMenu->addAction(QStringLiteral("Открыть"));
        f.window.layout()->addWidget(spin);
        f.window.layout()->addWidget(combo);
        f.window.layout()->setMenuBar(bar);
        QCoreApplication::processEvents(); // the new widgets are shown
        QDialog dialog(&f.window);
        QMenu popup;
        popup.addAction(QStringLiteral("Открыть"));
        QWidget other;
        other.setObjectName(QStringLiteral("Terminal"));

        // Keys are sent where the window system would deliver them: to the
        // main window's window unless another window has the focus.
        QWindow *target = f.handle();
        if (situation == "edit") {
            f.edit->setFocus();
        } else if (situation == "spin") {
            spin->setFocus();
        } else if (situation == "combo") {
            combo->setFocus();
        } else if (situation == "modal") {
            dialog.setModal(true);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        } else if (situation == "popup") {
            popup.popup(f.window.mapToGlobal(QPoint(10, 10)));
            QVERIFY(QTest::qWaitForWindowExposed(&popup));
        } else if (situation == "menubar") {
            bar->setFocus();
        } else {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        if (situation == "spin" || situation == "combo" || situation == "menubar" || situation == "edit")
            QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != f.log);
        for (Qt::Key key : { Qt::Key_Right, Qt::Key_Return }) {
            QTest::keyPress(target, key);
            QTest::keyRelease(target, key);
        }
        QCOMPARE(f.rightPressed.count() + f.rightReleased.count(), 0);
        QCOMPARE(f.startPressed.count() + f.startReleased.count(), 0);
        if (situation == "edit")
            QCOMPARE(f.edit->cursorPosition(), 1); // the field took Right
        popup.close();
        dialog.close();
        other.close();

        // Back at the main window with the focus on a plain widget the keys
        // drive the buttons again.
        QVERIFY(f.active());
        f.log->setFocus();
        QTest::qWait(2); // a new keystroke, not a repeat
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QVERIFY(f.settled());
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    // The release of a handled press is handled wherever it is delivered:
    // at another top-level window, after the receiver was switched off, or
    // after the map was replaced. It always releases the button it pressed,
    // exactly once.
    void releaseOfAHandledPressAlwaysArrives_data()
    {
        QTest::addColumn<QString>("between");
        QTest::newRow("release at a dialog") << "dialog";
        QTest::newRow("switched off in between") << "blocked";
        QTest::newRow("map replaced in between") << "remapped";
    }
    void releaseOfAHandledPressAlwaysArrives()
    {
        QFETCH(QString, between);
        MainWindowFixture f;
        QDialog dialog(&f.window);
        dialog.setObjectName(QStringLiteral("Loader"));
        dialog.show();
        QVERIFY(f.active());

        QTest::keyPress(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QWindow *target = f.handle();
        if (between == "dialog") {
            target = dialog.windowHandle();
        } else if (between == "blocked") {
            f.receiver.blockSignals(true);
        } else {
            f.receiver.keyMap = { { Qt::Key_Right, f.start } };
        }

        QTest::keyRelease(target, Qt::Key_Right);
        QVERIFY(f.settled());
        QCOMPARE(f.rightReleased.count(), 1);
        QVERIFY(!f.right->isDown());
        QCOMPARE(f.startReleased.count(), 0);
        // A second release (from anywhere) does not release again.
        f.receiver.blockSignals(false);
        QTest::keyRelease(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    // The window system repeats a held key as release and press pairs with
    // one time stamp, which Qt does not always mark as repeats. A key held
    // down while a dialog closed (its press went to the dialog) repeats on
    // the main window that way: no repeat starts anything there.
    void repeatsOfAKeyPressedElsewhere()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        const auto send = [&](QEvent::Type type, ulong stamp) {
            QKeyEvent e(type, Qt::Key_Return, Qt::NoModifier);
            e.setTimestamp(stamp);
            QCoreApplication::sendEvent(f.handle(), &e);
        };
        send(QEvent::KeyRelease, 200); // the press went to the dialog
        send(QEvent::KeyPress, 200);
        send(QEvent::KeyRelease, 240);
        send(QEvent::KeyPress, 240);
        send(QEvent::KeyRelease, 280);
        QCOMPARE(f.startPressed.count(), 0);
        QCOMPARE(f.startReleased.count(), 0);
        // A new keystroke acts.
        send(QEvent::KeyPress, 900);
        send(QEvent::KeyRelease, 990);
        QVERIFY(f.settled());
        QCOMPARE(f.startPressed.count(), 1);
        QCOMPARE(f.startReleased.count(), 1);
    }

    // One hold is one press and one release, however the window system's
    // repeats come: marked as repeats, as release and press pairs with one
    // time stamp, or with the press arriving late on a busy machine. Two
    // keystrokes in quick succession stay two.
    void oneHoldIsOnePressAndOneRelease_data()
    {
        QTest::addColumn<QString>("repeats");
        QTest::addColumn<int>("keystrokes");
        QTest::newRow("marked repeats") << "marked" << 1;
        QTest::newRow("pairs with one stamp") << "pairs" << 1;
        QTest::newRow("pairs whose press comes 20 ms late") << "late" << 1;
        QTest::newRow("a second keystroke within the grace") << "again" << 2;
    }
    void oneHoldIsOnePressAndOneRelease()
    {
        QFETCH(QString, repeats);
        QFETCH(int, keystrokes);
        for (Qt::Key key : { Qt::Key_Right, Qt::Key_Return }) {
            MainWindowFixture f;
            QVERIFY(f.active());
            QSignalSpy pressed(f.receiver.keyMap.value(key), &QAbstractButton::pressed);
            QSignalSpy released(f.receiver.keyMap.value(key), &QAbstractButton::released);
            ulong stamp = 1000;
            f.send(QEvent::KeyPress, key, stamp);
            for (int i = 0; i < 5; ++i) {
                stamp += 33;
                if (repeats == "marked") {
                    f.send(QEvent::KeyRelease, key, stamp, true);
                    f.send(QEvent::KeyPress, key, stamp, true);
                } else if (repeats == "pairs") {
                    f.send(QEvent::KeyRelease, key, stamp);
                    f.send(QEvent::KeyPress, key, stamp);
                } else if (repeats == "late") {
                    f.send(QEvent::KeyRelease, key, stamp);
                    QTest::qWait(20);
                    f.send(QEvent::KeyPress, key, stamp);
                }
            }
            if (repeats == "again") {
                f.send(QEvent::KeyRelease, key, stamp + 60);
                f.send(QEvent::KeyPress, key, stamp + 75);
            }
            QCOMPARE(pressed.count(), keystrokes);
            QCOMPARE(released.count(), keystrokes - 1);
            f.send(QEvent::KeyRelease, key, stamp + 200);
            QVERIFY(f.settled());
            QCOMPARE(pressed.count(), keystrokes);
            QCOMPARE(released.count(), keystrokes);
            QCOMPARE(f.log->keys, QList<int>());
        }
    }

    // A held key whose release the program can no longer see is let go at
    // once: a jog's release runs (its axis stops), a start acting on its
    // release is cancelled. The key's repeats and its real release, wherever
    // they land, do nothing more; the next keystroke at the main window acts.
    void heldKeyLetGoWhenItsReleaseCannotBeSeen_data()
    {
        QTest::addColumn<QString>("situation");
        for (const char *s : { "application deactivated", "another window activated", "modal dialog opened",
                 "popup opened", "button disabled", "button hidden", "buttons' parent disabled" })
            QTest::newRow(s) << QString::fromLatin1(s);
    }
    void heldKeyLetGoWhenItsReleaseCannotBeSeen()
    {
        QFETCH(QString, situation);
        for (Qt::Key key : { Qt::Key_Right, Qt::Key_Return }) {
            MainWindowFixture f;
            auto *group = new QWidget(&f.window);
            f.window.layout()->addWidget(group);
            QAbstractButton *button = f.receiver.keyMap.value(key);
            button->setParent(group);
            button->show();
            QSignalSpy released(button, &QAbstractButton::released);
            QDialog dialog(&f.window);
            QMenu popup;
            popup.addAction(QStringLiteral("Открыть"));
            QWidget other;
            QVERIFY(f.active());

            QTest::keyPress(f.handle(), key);
            QVERIFY(button->isDown());
            QWindow *elsewhere = f.handle();
            if (situation == "application deactivated") {
                QApplication::setActiveWindow(nullptr);
            } else if (situation == "another window activated") {
                other.show();
                other.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&other));
                elsewhere = other.windowHandle();
            } else if (situation == "modal dialog opened") {
                dialog.open();
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
                elsewhere = dialog.windowHandle();
            } else if (situation == "popup opened") {
                popup.popup(f.window.mapToGlobal(QPoint(10, 10)));
                QVERIFY(QTest::qWaitForWindowExposed(&popup));
            } else if (situation == "button disabled") {
                button->setEnabled(false);
            } else if (situation == "button hidden") {
                button->hide();
            } else {
                group->setEnabled(false);
            }
            QVERIFY(!button->isDown());
            QCOMPARE(released.count(), key == Qt::Key_Return ? 0 : 1);

            autoRepeat(elsewhere, false, key);
            autoRepeat(elsewhere, true, key);
            QTest::keyRelease(elsewhere, key);
            QVERIFY(f.settled());
            QCOMPARE(released.count(), key == Qt::Key_Return ? 0 : 1);
            QCOMPARE(f.startReleased.count(), 0);
            QVERIFY(!popup.isVisible() || popup.activeAction() == nullptr);
            QVERIFY(dialog.result() != QDialog::Accepted);

            popup.close();
            dialog.reject();
            other.close();
            group->setEnabled(true);
            button->show();
            button->setEnabled(true);
            QVERIFY(f.active());
            QTest::qWait(2);
            QTest::keyClick(f.handle(), key);
            QVERIFY(f.settled());
            QCOMPARE(released.count(), key == Qt::Key_Return ? 1 : 2);
        }
    }

    // A release whose press the receiver did not act on is never acted on,
    // even when it lands on the main window: the press went to a dialog
    // (closed by it), to a field, or came while the receiver was off.
    void unhandledPressIsNeverReleased_data()
    {
        QTest::addColumn<QString>("pressedAt");
        QTest::newRow("dialog closed by the press") << "dialog";
        QTest::newRow("line edit") << "edit";
        QTest::newRow("switched off") << "blocked";
    }
    void unhandledPressIsNeverReleased()
    {
        QFETCH(QString, pressedAt);
        MainWindowFixture f;
        QVERIFY(f.active());
        QDialog dialog(&f.window);
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        QSignalSpy accepted(&dialog, &QDialog::accepted);

        if (pressedAt == "dialog") {
            dialog.open();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QTest::keyPress(dialog.windowHandle(), Qt::Key_Return);
            QCOMPARE(accepted.count(), 1);
            QVERIFY(f.active());
        } else if (pressedAt == "edit") {
            f.edit->setFocus();
            QSignalSpy returned(f.edit, &QLineEdit::returnPressed);
            QTest::keyPress(f.handle(), Qt::Key_Return);
            QCOMPARE(returned.count(), 1);
            f.log->setFocus();
        } else {
            f.receiver.blockSignals(true);
            QTest::keyPress(f.handle(), Qt::Key_Return);
            f.receiver.blockSignals(false);
        }
        QTest::keyRelease(f.handle(), Qt::Key_Return);
        QCOMPARE(f.startPressed.count(), 0);
        QCOMPARE(f.startReleased.count(), 0);
        QVERIFY(!f.start->isDown());
    }
};

VANTOR_TEST_MAIN(TestKeyReceiver)
#include "tst_keyreceiver.moc"
