#include "support/testmain.h"

#include "device/device.h"
#include "device/termitedialog.h"
#include "support/simulatedinstrument.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {

// A terminal on a device identified by a simulated instrument that only
// records what it receives after the start-up.
struct Bench {
    SimulatedInstrument sim { SimulatedInstrument::Profile };
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    Device device;
    TermiteDialog dialog { nullptr, &device };

    Bench()
    {
        sim.waitForCommands(6);
        QTRY_COMPARE(device.parserState(), 1);
        sim.setAnswering(false);
        sim.clearCommands();
        dialog.show();
    }

    QTextEdit *input() { return dialog.findChild<QTextEdit *>("enterTextEdit"); }
    QPlainTextEdit *display() { return dialog.findChild<QPlainTextEdit *>("displayPlainTextEdit"); }
    QPushButton *button(const char *name) { return dialog.findChild<QPushButton *>(name); }

    // A marker command sent behind the test's action shows that nothing else went out.
    QList<QByteArray> commandsThenMarker()
    {
        const int markers = sim.commands().count("DZ9");
        device.sendRawText(QStringLiteral("DZ9"));
        SimulatedInstrument::waitFor([this, markers] { return sim.commands().count("DZ9") > markers; });
        return sim.commands();
    }
};

} // namespace

class TestTermiteDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void form()
    {
        Bench b;
        QCOMPARE(b.dialog.windowTitle(), QStringLiteral("Termite"));
        QCOMPARE(b.dialog.size(), QSize(350, 363));
        QVERIFY(!b.button("startPushButton")->isEnabled());
        QVERIFY(b.button("stopPushButton")->isEnabled());
        QVERIFY(b.display()->isReadOnly());
        QVERIFY(b.input()->maximumHeight() <= 30);
        QDir().mkpath(qEnvironmentVariable("VANTOR_BINARY_DIR") + "/screenshots");
        QTest::keyClicks(b.input(), "CP");
        QTest::keyClick(b.input(), Qt::Key_Return);
        QTest::keyClicks(b.input(), "DZ0");
        b.dialog.grab().save(qEnvironmentVariable("VANTOR_BINARY_DIR") + "/screenshots/termite_dialog.png");
    }

    void enterSendsTheTypedLine()
    {
        Bench b;
        QTest::keyClicks(b.input(), "CP");
        QTest::keyClick(b.input(), Qt::Key_Return);
        QCOMPARE(b.commandsThenMarker(), (QList<QByteArray> { "CP", "DZ9" }));
        QCOMPARE(b.display()->toPlainText(), QStringLiteral("CP\n"));
        QVERIFY(b.input()->toPlainText().isEmpty());

        // A second line goes on a line of its own.
        b.sim.clearCommands();
        QTest::keyClicks(b.input(), "DZ1");
        QTest::keyClick(b.input(), Qt::Key_Enter);
        QCOMPARE(b.commandsThenMarker(), (QList<QByteArray> { "DZ1", "DZ9" }));
        QCOMPARE(b.display()->toPlainText(), QStringLiteral("CP\nDZ1\n"));
    }

    void pastedTextGoesOnceWithoutItsLineFeed()
    {
        Bench b;
        b.input()->insertPlainText(QStringLiteral("DZ0\nDZ1"));
        QCOMPARE(b.commandsThenMarker(), (QList<QByteArray> { "DZ0", "DZ1", "DZ9" }));
        QCOMPARE(b.display()->toPlainText(), QStringLiteral("DZ0\nDZ1"));
        QVERIFY(b.input()->toPlainText().isEmpty());
    }

    void emptyInputSendsNothing_data()
    {
        QTest::addColumn<bool>("pressEnterKey");
        QTest::newRow("button") << false;
        QTest::newRow("Enter key") << true;
    }

    void emptyInputSendsNothing()
    {
        QFETCH(bool, pressEnterKey);
        Bench b;
        if (pressEnterKey)
            QTest::keyClick(b.input(), Qt::Key_Return);
        else
            QTest::mouseClick(b.button("enterPushButton"), Qt::LeftButton);
        QCOMPARE(b.commandsThenMarker(), (QList<QByteArray> { "DZ9" }));
        QVERIFY(b.display()->toPlainText().isEmpty());
        QVERIFY(b.input()->toPlainText().isEmpty());
    }

    void capturingAndClearing()
    {
        Bench b;
        Q_EMIT b.device.rowDataFromDevice(QStringLiteral("one "));
        QTRY_COMPARE(b.display()->toPlainText(), QStringLiteral("one "));

        // Stopped: text is dropped, not held back until the next start.
        QTest::mouseClick(b.button("stopPushButton"), Qt::LeftButton);
        QVERIFY(!b.button("stopPushButton")->isEnabled());
        QVERIFY(b.button("startPushButton")->isEnabled());
        Q_EMIT b.device.rowDataFromDevice(QStringLiteral("dropped "));
        QTest::mouseClick(b.button("startPushButton"), Qt::LeftButton);
        // Text captured after the new start shows with nothing before it.
        Q_EMIT b.device.rowDataFromDevice(QStringLiteral("again "));
        QTRY_COMPARE(b.display()->toPlainText(), QStringLiteral("one again "));

        // Clearing keeps capturing: text collected just before the clear still shows.
        Q_EMIT b.device.rowDataFromDevice(QStringLiteral("two"));
        QTest::mouseClick(b.button("clearPushButton"), Qt::LeftButton);
        QTRY_COMPARE(b.display()->toPlainText(), QStringLiteral("two"));
        QVERIFY(b.button("stopPushButton")->isEnabled());
    }
};

VANTOR_TEST_MAIN(TestTermiteDialog)
#include "tst_termitedialog.moc"
