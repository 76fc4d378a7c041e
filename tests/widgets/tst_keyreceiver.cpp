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

// A top-level window named as the main window, with two mapped buttons, a
// plain widget that holds the focus and a line edit; the receiver is
// installed on the application for as long as the fixture lives.
struct MainWindowFixture {
    QWidget window;
    QPushButton *right = new QPushButton(QStringLiteral("→"), &window);
    QPushButton *start = new QPushButton(QStringLiteral("ТРАССА"), &window);
    KeyLog *log = new KeyLog(&window);
    QLineEdit *edit = new QLineEdit(QStringLiteral("abc"), &window);
    KeyReceiver receiver;
    QSignalSpy rightPressed { right, &QAbstractButton::pressed };
    QSignalSpy rightReleased { right, &QAbstractButton::released };
    QSignalSpy rightClicked { right, &QAbstractButton::clicked };
    QSignalSpy startPressed { start, &QAbstractButton::pressed };
    QSignalSpy startReleased { start, &QAbstractButton::released };
    QSignalSpy ctrl { &receiver, &KeyReceiver::ctrlStateChanged };

    MainWindowFixture()
    {
        window.setObjectName(QStringLiteral("MainWindow"));
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(right);
        layout->addWidget(start);
        layout->addWidget(log);
        layout->addWidget(edit);
        receiver.keyMap = { { Qt::Key_Right, right }, { Qt::Key_Return, start } };
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

    // Disabled or hidden buttons are still driven: the panel's own handlers decide.
    void drivesDisabledButtons()
    {
        MainWindowFixture f;
        QVERIFY(f.active());
        f.right->setEnabled(false);
        f.right->hide();
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
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
        QTest::newRow("modal dialog opened in between") << "modal";
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
        } else if (between == "remapped") {
            f.receiver.keyMap = { { Qt::Key_Right, f.start } };
        } else {
            dialog.hide();
            dialog.setModal(true);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            target = dialog.windowHandle();
        }

        QTest::keyRelease(target, Qt::Key_Right);
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
        QCOMPARE(f.startPressed.count(), 1);
        QCOMPARE(f.startReleased.count(), 1);
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
