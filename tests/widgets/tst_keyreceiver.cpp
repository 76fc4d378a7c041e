#include "support/testmain.h"

#include "widgets/keyreceiver.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <memory>

namespace {

// A top-level window named as the main window, with two mapped buttons and a
// line edit that holds the focus; the receiver is installed on the
// application for as long as the fixture lives.
struct MainWindowFixture {
    QWidget window;
    QPushButton *right = new QPushButton(QStringLiteral("→"), &window);
    QPushButton *start = new QPushButton(QStringLiteral("ТРАССА"), &window);
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
        layout->addWidget(edit);
        receiver.keyMap = { { Qt::Key_Right, right }, { Qt::Key_Return, start } };
        window.show();
        window.activateWindow();
        edit->setFocus();
        edit->setCursorPosition(0);
        qApp->installEventFilter(&receiver);
    }
    ~MainWindowFixture() { qApp->removeEventFilter(&receiver); }

    QWindow *handle() const { return window.windowHandle(); }
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
        QVERIFY(QTest::qWaitForWindowActive(&f.window));

        QTest::keyPress(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QVERIFY(f.right->isDown());
        QCOMPARE(f.edit->cursorPosition(), 0); // the handled press never reached the focused edit
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

        QTest::keyClick(f.handle(), Qt::Key_Return);
        QCOMPARE(f.startPressed.count(), 1);
        QCOMPARE(f.startReleased.count(), 1);
    }

    // Disabled or hidden buttons are still driven: the panel's own handlers decide.
    void drivesDisabledButtons()
    {
        MainWindowFixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.right->setEnabled(false);
        f.right->hide();
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    void switchedOffPassesKeysOn()
    {
        MainWindowFixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.receiver.blockSignals(true);

        QTest::keyClick(f.handle(), Qt::Key_Right);
        QCOMPARE(f.edit->cursorPosition(), 1);
        QTest::keyClick(f.handle(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(f.edit->cursorPosition(), 3); // Ctrl+Right: to the end of the word
        QCOMPARE(f.rightPressed.count(), 0);
        QCOMPARE(f.rightReleased.count(), 0);
        QCOMPARE(f.ctrl.count(), 0);

        QTest::keyPress(f.handle(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(f.receiver.ctrlPressed); // still follows the keys
        QTest::keyRelease(f.handle(), Qt::Key_A, Qt::NoModifier);
        QVERIFY(!f.receiver.ctrlPressed);
        QCOMPARE(f.ctrl.count(), 0);

        f.receiver.blockSignals(false);
        QTest::keyClick(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    void ctrlState()
    {
        MainWindowFixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
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
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QSignalSpy editReturn(f.edit, &QLineEdit::returnPressed);
        QTest::keyClick(f.handle(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(f.startPressed.count(), 0);
        QCOMPARE(f.startReleased.count(), 0);
        QCOMPARE(editReturn.count(), 1);
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
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QWidget dialog;
        dialog.setObjectName(QStringLiteral("Loader"));
        dialog.show();

        QTest::keyPress(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightPressed.count(), 1);
        QWindow *target = f.handle();
        if (between == "dialog")
            target = dialog.windowHandle();
        else if (between == "blocked")
            f.receiver.blockSignals(true);
        else
            f.receiver.keyMap = { { Qt::Key_Right, f.start } };

        QTest::keyRelease(target, Qt::Key_Right);
        QCOMPARE(f.rightReleased.count(), 1);
        QVERIFY(!f.right->isDown());
        QCOMPARE(f.startReleased.count(), 0);
        // A second release (from anywhere) does not release again.
        f.receiver.blockSignals(false);
        QTest::keyRelease(dialog.windowHandle(), Qt::Key_Right);
        QCOMPARE(f.rightReleased.count(), 1);
    }

    // A release whose press the receiver did not handle (pressed while it was
    // off) is handled only at the main window's window object.
    void unhandledPressReleasedOnlyAtMainWindow()
    {
        MainWindowFixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QWidget dialog;
        dialog.setObjectName(QStringLiteral("Loader"));
        dialog.show();

        f.receiver.blockSignals(true);
        QTest::keyPress(f.handle(), Qt::Key_Right);
        f.receiver.blockSignals(false);
        QTest::keyRelease(dialog.windowHandle(), Qt::Key_Right);
        QCOMPARE(f.rightReleased.count(), 0);
        QTest::keyRelease(f.handle(), Qt::Key_Right);
        QCOMPARE(f.rightReleased.count(), 1);
        QCOMPARE(f.rightPressed.count(), 0);
    }
};

VANTOR_TEST_MAIN(TestKeyReceiver)
#include "tst_keyreceiver.moc"
