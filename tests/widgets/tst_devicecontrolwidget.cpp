#include "support/scriptedprompts.h"
#include "support/simulatedinstrument.h"
#include "support/testmain.h"
#include "screenshot.h"

#include "dataproviders/devicedataprovider.h"
#include "device/devicecommands.h"
#include "device/deviceport.h"
#include "settings/common.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/keyreceiver.h"
#include "widgets/loader.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include <vector>

using namespace InstrumentReplies;
using Commands = QList<QByteArray>;

namespace {

QByteArray lengthCommand(int mm)
{
    return QByteArray::fromStdString(DeviceCommands::traceLengthCommand(mm));
}

ContourRecord contourAlarm(quint8 alarm, quint8 status = 0)
{
    ContourRecord r;
    r.alarm = alarm;
    r.status = status;
    return r;
}

// A panel inside a window named as the main window, on a simulated
// instrument. Every trace the panel starts is kept here and, when asked,
// started on a trace of the right kind.
struct Bench {
    SimulatedInstrument sim;
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    QWidget host;
    DeviceControlWidget *panel = nullptr;
    std::vector<std::unique_ptr<AbstractTrace>> traces;
    std::vector<std::unique_ptr<DataProvider>> providers;
    QList<int> traceTypes;
    QStringList statusTexts;
    QSignalSpy newType;
    QSignalSpy fastSettings;
    QSignalSpy locks;
    QSignalSpy unlocks;
    bool startProviders = false;

    explicit Bench(SimulatedInstrument::Kind kind)
        : sim(kind)
        , panel(new DeviceControlWidget(&host))
        , newType(panel, &DeviceControlWidget::newDeviceType)
        , fastSettings(panel, &DeviceControlWidget::enableFastSettings)
        , locks(panel, &DeviceControlWidget::lockButtons)
        , unlocks(panel, &DeviceControlWidget::unlockButtons)
    {
        host.setObjectName(QStringLiteral("MainWindow"));
        auto *layout = new QVBoxLayout(&host);
        layout->addWidget(panel);
        QObject::connect(panel, &DeviceControlWidget::statusBarText, [this](QString t) { statusTexts.append(t); });
        QObject::connect(panel, &DeviceControlWidget::newTrace, [this](DataProvider *p, E_ANALISIS_TYPE type) {
            providers.emplace_back(p);
            traceTypes.append(type);
            if (type == CONTOUR || type == CONTOURPROF)
                traces.emplace_back(new ContourTrace);
            else
                traces.emplace_back(new ProfileTrace);
            AbstractTrace *trace = traces.back().get();
            // As the window does: the live points give way to the sample block.
            QObject::connect(p, &DataProvider::dataReset, [trace] { trace->clearPoints(); });
            if (startProviders)
                p->start(trace);
        });
    }
    ~Bench()
    {
        // The workers end once the instrument no longer traces.
        sim.pullCable();
        providers.clear();
    }

    // Waits for the identification and the start-up commands, then forgets them.
    bool ready()
    {
        const int state = sim.kind() == SimulatedInstrument::Profile ? 1 : 11;
        const int before = newType.count();
        if (!SimulatedInstrument::waitFor(
                [&] { return panel->device.parserState() == state && newType.count() > before; }, 10000))
            return false;
        panel->device.sendRawText(QStringLiteral("DZ9")); // behind the start-up commands
        if (!sim.waitForMarker("DZ9"))
            return false;
        sim.clearCommands();
        return true;
    }

    template <typename T> T *child(const char *name) const { return panel->findChild<T *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    bool commandsEndWith(const Commands &tail, int timeoutMs = 10000)
    {
        return SimulatedInstrument::waitFor(
            [&] {
                const Commands c = sim.commands();
                return c.size() >= tail.size() && c.mid(c.size() - tail.size()) == tail;
            },
            timeoutMs);
    }
    // Whether the commands recorded are these; a marker sent behind the
    // test's action shows that everything it sent has arrived.
    bool commandsAre(const Commands &expected)
    {
        panel->device.sendRawText(QStringLiteral("DZ9"));
        return sim.waitForMarker("DZ9") && sim.commands() == expected;
    }
    QString portName() const { return QString::fromStdString(panel->device.port()->portName()); }
};

QString commandList(const Commands &c)
{
    QStringList out;
    for (const QByteArray &b : c)
        out << QString::fromLatin1(b.toPercentEncoding());
    return out.join(' ');
}

} // namespace

Q_DECLARE_METATYPE(Commands)

class TestDeviceControlWidget : public QObject {
    Q_OBJECT

private:
    Settings m_defaults = Settings::load(QString());

private Q_SLOTS:
    void initTestCase() { QLoggingCategory::setFilterRules("default.debug=false"); }

    void init()
    {
        Settings::instance() = m_defaults;
        Settings::instance().save();
    }

    void identification_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("type");
        QTest::newRow("profile") << int(SimulatedInstrument::Profile) << 2;
        QTest::newRow("contour after a stored profile type") << int(SimulatedInstrument::Contour) << 0;
    }
    void identification()
    {
        QFETCH(int, kind);
        QFETCH(int, type);
        Bench b { SimulatedInstrument::Kind(kind) };
        QVERIFY(b.ready());
        QCOMPARE(b.newType.last().at(0).toInt(), type);
        QCOMPARE(b.fastSettings.last().at(0).toBool(), true);
        QCOMPARE(b.statusTexts.first(), "Устройство " + b.portName() + " соединено");

        const bool profile = type == 2;
        for (const char *name : { "xplusButton", "xminusButton", "yplusButton", "yminusButton", "zplusButton",
                 "zminusButton", "autoMinMaxCalibButton", "calibrationPushButton" })
            QVERIFY2(b.button(name)->isVisibleTo(b.panel) == !profile, name);
        for (const char *name : { "traceLengthSpinBox", "traceLengthLabel", "filterComboBox", "filterLabel",
                 "additionalTracePushButton", "calibPushButton" })
            QVERIFY2(b.child<QWidget>(name)->isVisibleTo(b.panel) == profile, name);
        QCOMPARE(b.child<QProgressBar>("progressBar")->maximum(), profile ? 65535 : 1);
        QCOMPARE(b.panel->windowTitle(), QStringLiteral("УПРАВЛЕНИЕ"));
        QCOMPARE(b.child<QComboBox>("speedComboBox")->itemText(3), kSpeedNames.value(3));

        b.host.resize(360, 560);
        b.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.host));
        if (profile)
            b.sim.send(consoleHeight(40000));
        else
            b.panel->setupKeyReceiver();
        // The bar shows the height, the grid its new places, before the picture.
        QVERIFY(SimulatedInstrument::waitFor([&] { return !profile || b.panel->device.consoleHeight() == 40000; }));
        QCoreApplication::processEvents();
        QVERIFY(saveScreenshot(&b.host, profile ? "control_panel_profile" : "control_panel_contour"));
    }

    // A pulled cable disables the panel and the quick settings; a new line
    // brings both back.
    void cablePulledAndPluggedIn()
    {
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        b.statusTexts.clear();
        b.sim.pullCable();
        QVERIFY(SimulatedInstrument::waitFor([&] { return !b.panel->isEnabled(); }));
        QCOMPARE(b.statusTexts.last(), QStringLiteral("Устройство не найдено"));
        QCOMPARE(b.fastSettings.last().at(0).toBool(), false);

        b.sim.plugIn();
        QVERIFY(b.ready());
        QVERIFY(b.panel->isEnabled());
        QCOMPARE(b.fastSettings.last().at(0).toBool(), true);
        QVERIFY(b.statusTexts.contains("Устройство " + b.portName() + " соединено"));
    }

    void statusText()
    {
        {
            Bench b { SimulatedInstrument::Profile };
            QVERIFY(b.ready());
            b.sim.send(consoleHeight(40000));
            QVERIFY(SimulatedInstrument::waitFor([&] { return b.panel->device.consoleHeight() == 40000; }));
            QCOMPARE(b.child<QProgressBar>("progressBar")->value(), 65535 - 40000);
            b.statusTexts.clear();
            QVERIFY(SimulatedInstrument::waitFor([&] { return !b.statusTexts.isEmpty(); }, 10000));
            QCOMPARE(b.statusTexts.last(), "Устройство " + b.portName() + " с показателем z: 40000");
        }
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        const QString head = "Устройство " + b.portName() + " с показателями x: ";
        struct Row {
            qint32 probe;
            qint32 console;
            quint32 x;
            QString text;
        };
        const QList<Row> rows = {
            { -2500, 1000, 12345, head + "12.345мм , z1: -2.5 мм, z2: 0 мм" },
            { 7, 1001, 1, head + "0.001мм , z1: 0.007 мм, z2: 0.001001 мм" },
            { 123456789, 2500000, 0, head + "0мм , z1: 123457 мм, z2: 2.5 мм" },
        };
        for (const Row &row : rows) {
            ContourRecord r = contourAlarm(0);
            r.probe = row.probe;
            r.console = row.console;
            r.x = row.x;
            b.sim.send(contourRecord(r));
            QVERIFY(SimulatedInstrument::waitFor([&] { return b.panel->device.xPosition() == int(row.x); }));
            b.statusTexts.clear();
            QVERIFY(SimulatedInstrument::waitFor([&] { return !b.statusTexts.isEmpty(); }, 10000));
            QCOMPARE(b.statusTexts.last(), row.text);
        }
        // No text while the port is closed, at the next tick of the status timer.
        b.sim.pullCable();
        QVERIFY(SimulatedInstrument::waitFor([&] { return !b.panel->isEnabled(); }));
        b.statusTexts.clear();
        QTimer *statusTimer = nullptr;
        for (QTimer *t : b.panel->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
            if (t->interval() == DeviceControlWidget::kStatusIntervalMs)
                statusTimer = t;
        QVERIFY(statusTimer);
        QSignalSpy tick(statusTimer, &QTimer::timeout);
        QVERIFY(tick.wait(10000));
        QCOMPARE(b.statusTexts, QStringList { QStringLiteral("Устройство не найдено") }.mid(0, b.statusTexts.size()));
    }

    // "ТРАССА" on a profile instrument: the three parameters, then the start;
    // the provider handed over fills its trace; the end of the trace unlocks.
    void profileTraceStarted()
    {
        Bench b { SimulatedInstrument::Profile };
        ProfileRun run;
        for (int i = 0; i < 5; ++i)
            run.live.append(quint16(500 + i));
        for (int i = 0; i < 120; ++i)
            run.block.append(quint16(1000 + i));
        b.sim.setProfileRun(run);
        b.startProviders = true;
        QVERIFY(b.ready());

        b.click("startTraceButton");
        QCOMPARE(b.traceTypes, QList<int> { PROFILE });
        QCOMPARE(b.locks.count(), 1);
        QSignalSpy finished(b.providers.front().get(), &DataProvider::dataReadFinished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(b.sim.commands().mid(0, 4), (Commands { "PS0", "PF2", lengthCommand(2), "CS" }));
        QCOMPARE(b.traces.front()->pointCount(), 120);
        QVERIFY(b.unlocks.count() >= 1);
        QVERIFY(b.button("startTraceButton")->isEnabled());
        QVERIFY(!b.button("stopTraceButton")->isEnabled());

        // Another start makes another trace; an additional trace has type 3.
        b.panel->setEnableAdditionalTraceButton(true);
        b.startProviders = false;
        b.sim.setAnswering(false);
        b.click("additionalTracePushButton");
        QCOMPARE(b.traceTypes, (QList<int> { PROFILE, ADDITIONAL_TRACE }));
        // A start press during the trace sends only the parameters.
        Q_EMIT b.button("startTraceButton")->released();
        QCOMPARE(b.traceTypes.size(), 2);
    }

    void stop_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Commands>("stopCommands");
        QTest::addColumn<bool>("unlockedByStop");
        QTest::newRow("profile") << int(SimulatedInstrument::Profile) << Commands { "CC", "CV" } << false;
        QTest::newRow("contour") << int(SimulatedInstrument::Contour) << Commands { "CC", "CA" } << true;
    }
    void stop()
    {
        QFETCH(int, kind);
        QFETCH(Commands, stopCommands);
        QFETCH(bool, unlockedByStop);
        Bench b { SimulatedInstrument::Kind(kind) };
        QVERIFY(b.ready());
        b.sim.setAnswering(false); // the trace runs until stopped
        b.click("stopTraceButton"); // disabled: nothing
        b.click("startTraceButton");
        QVERIFY(b.commandsEndWith({ "CS" }));
        QVERIFY(!b.button("startTraceButton")->isEnabled());
        QVERIFY(b.button("stopTraceButton")->isEnabled());
        // Only a profile instrument's speed is locked during a trace.
        auto *speedBox = b.child<QComboBox>("speedComboBox");
        QCOMPARE(speedBox->isEnabled(), unlockedByStop);
        b.sim.clearCommands();

        b.click("stopTraceButton");
        QVERIFY(b.commandsAre(stopCommands));
        QVERIFY(!b.button("stopTraceButton")->isEnabled());
        QCOMPARE(b.button("startTraceButton")->isEnabled(), unlockedByStop);
        QCOMPARE(speedBox->isEnabled(), unlockedByStop);
        if (!unlockedByStop) {
            // The profile's sample block ends the trace and unlocks.
            ProfileRun run;
            run.live = { 1, 2 };
            run.block = { 3, 4, 5 };
            b.sim.send(InstrumentReplies::profileTrace(run));
            QVERIFY(SimulatedInstrument::waitFor([&] { return b.button("startTraceButton")->isEnabled(); }));
        }
        // A second stop does nothing.
        b.sim.clearCommands();
        Q_EMIT b.button("stopTraceButton")->released();
        QVERIFY(b.commandsAre({}));
    }

    // Alarm 4 ends the trace; alarm 3 turns the next start press into the
    // calibration.
    void crashAndCalibrationAlarms()
    {
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        b.sim.setAnswering(false);
        b.click("startTraceButton");
        QVERIFY(b.commandsEndWith({ "CS" }));

        b.sim.send(contourRecord(contourAlarm(4)));
        QVERIFY(b.commandsEndWith({ "CA" }));
        QVERIFY(SimulatedInstrument::waitFor([&] { return b.button("startTraceButton")->isEnabled(); }));
        QVERIFY(!b.button("stopTraceButton")->isEnabled());

        b.sim.send(contourRecord(contourAlarm(3)));
        QVERIFY(SimulatedInstrument::waitFor(
            [&] { return b.button("startTraceButton")->text() == QStringLiteral("Калибровка"); }));
        b.sim.clearCommands();
        b.click("startTraceButton");
        QVERIFY(b.commandsAre({ "SX0", "PF2", lengthCommand(2), "CK" }));
        QCOMPARE(b.button("startTraceButton")->text(), QStringLiteral("Трасса"));
        QCOMPARE(b.traceTypes.size(), 1);

        b.click("startTraceButton");
        QVERIFY(b.commandsEndWith({ "CS" }));
        QCOMPARE(b.traceTypes.size(), 2);
    }

    // The port lost mid-trace: the end-of-trace report arrives while the
    // panel is disabled. Once the port is back, "ТРАССА" starts a trace.
    void cablePulledMidTrace()
    {
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        b.sim.setContourRun(1000000, SimulatedInstrument::defaultContourRecord);
        b.startProviders = true;
        b.click("startTraceButton");
        QVERIFY(SimulatedInstrument::waitFor([&] { return b.panel->device.pointCounter() > 0; }));
        b.sim.pullCable();
        QVERIFY(SimulatedInstrument::waitFor([&] { return !b.panel->isEnabled(); }));
        QVERIFY(!b.panel->device.tracing());

        b.sim.plugIn();
        QVERIFY(b.ready());
        QVERIFY(b.button("startTraceButton")->isEnabled());
        b.startProviders = false;
        b.sim.setAnswering(false);
        b.click("startTraceButton");
        QVERIFY(b.commandsEndWith({ "CS" }));
        QCOMPARE(b.traceTypes.size(), 2);
        QVERIFY(b.button("stopTraceButton")->isEnabled());
    }

    void speedAndLength_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("key"); // a key on the speed list, or 0
        QTest::addColumn<int>("newLength"); // typed into the length box, or 0
        QTest::addColumn<Commands>("commands");
        QTest::addColumn<int>("expectedSpeed");
        QTest::addColumn<int>("expectedLength");
        QTest::addColumn<QString>("notification");

        const QString lengthChanged = QStringLiteral("Длина трассы была изменена");
        const QString speedChanged = QStringLiteral("Скорость была изменена");
        QTest::newRow("speed 0 at 15 mm")
            << 2 << 15 << int(Qt::Key_Home) << 0 << Commands { lengthCommand(10), "PS0" } << 0 << 10 << lengthChanged;
        QTest::newRow("speed 1 at 25 mm")
            << 2 << 25 << int(Qt::Key_Up) << 0 << Commands { lengthCommand(20), "PS1" } << 1 << 20 << lengthChanged;
        QTest::newRow("speed 3 at 25 mm")
            << 2 << 25 << int(Qt::Key_End) << 0 << Commands { "PS3" } << 3 << 25 << QString();
        QTest::newRow("speed 1 at 20 mm")
            << 0 << 10 << int(Qt::Key_Down) << 0 << Commands { "PS1" } << 1 << 10 << QString();
        QTest::newRow("25 mm at speed 1")
            << 1 << 10 << 0 << 25 << Commands { lengthCommand(25), "PS2" } << 2 << 25 << speedChanged;
        QTest::newRow("15 mm at speed 0")
            << 0 << 10 << 0 << 15 << Commands { lengthCommand(15), "PS1" } << 1 << 15 << speedChanged;
        QTest::newRow("25 mm at speed 0")
            << 0 << 10 << 0 << 25 << Commands { lengthCommand(25), "PS2" } << 2 << 25 << speedChanged;
        QTest::newRow("40 mm at speed 3")
            << 3 << 10 << 0 << 40 << Commands { lengthCommand(40) } << 3 << 40 << QString();
        QTest::newRow("10 mm at speed 0")
            << 0 << 5 << 0 << 10 << Commands { lengthCommand(10) } << 0 << 10 << QString();
    }
    void speedAndLength()
    {
        QFETCH(int, speed);
        QFETCH(int, length);
        QFETCH(int, key);
        QFETCH(int, newLength);
        QFETCH(Commands, commands);
        QFETCH(int, expectedSpeed);
        QFETCH(int, expectedLength);
        QFETCH(QString, notification);

        Settings::instance().current_speed = speed;
        Settings::instance().trace_length = length;
        Bench b { SimulatedInstrument::Profile };
        QVERIFY(b.ready());
        b.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.host));
        auto *speedBox = b.child<QComboBox>("speedComboBox");
        auto *lengthBox = b.child<QSpinBox>("traceLengthSpinBox");
        auto *label = b.child<QLabel>("warningMessageLabel");
        QCOMPARE(speedBox->currentIndex(), speed);
        QCOMPARE(lengthBox->value(), length);

        if (key)
            QTest::keyClick(speedBox, Qt::Key(key));
        else
            lengthBox->setValue(newLength);
        QVERIFY2(b.commandsAre(commands), qPrintable(commandList(b.sim.commands())));
        QCOMPARE(speedBox->currentIndex(), expectedSpeed);
        QCOMPARE(lengthBox->value(), expectedLength);
        const Settings saved = Settings::load(Settings::kFileName);
        QCOMPARE(saved.current_speed, expectedSpeed);
        QCOMPARE(saved.trace_length, expectedLength);
        QCOMPARE(b.panel->currentSpeed(), kTraceSpeedValues.at(expectedSpeed));
        if (notification.isEmpty()) {
            QVERIFY(label->text().isEmpty());
        } else {
            QCOMPARE(label->text(), "<font color='red'>" + notification + "</font>");
            QVERIFY(label->isVisible());
            if (QTest::currentDataTag() == QLatin1String("speed 0 at 15 mm"))
                QVERIFY(saveScreenshot(&b.host, "control_panel_notification"));
        }
    }

    // Shown 2000 ms at full opacity, then faded out over 1000 ms and hidden.
    // A second notification 500 ms later does not delay the fade of the
    // first, and no fade is left behind.
    void notificationFades()
    {
        Settings::instance().current_speed = 2;
        Settings::instance().trace_length = 30;
        Bench b { SimulatedInstrument::Profile };
        QVERIFY(b.ready());
        b.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.host));
        auto *label = b.child<QLabel>("warningMessageLabel");
        QTest::keyClick(b.child<QComboBox>("speedComboBox"), Qt::Key_Home);
        QElapsedTimer clock;
        clock.start();
        auto *effect = qobject_cast<QGraphicsOpacityEffect *>(label->graphicsEffect());
        QVERIFY(effect);
        // The panel's own timers set these times, so they are measured
        // rather than waited out: when the opacity first drops, counted from
        // the first notification.
        qint64 fadeStarted = -1;
        QObject::connect(effect, &QGraphicsOpacityEffect::opacityChanged, [&](qreal opacity) {
            if (opacity < 1.0 && fadeStarted < 0)
                fadeStarted = clock.elapsed();
        });
        QTest::qWait(500); // the operator's second change, half a second later
        const qint64 secondAt = clock.elapsed();
        b.child<QSpinBox>("traceLengthSpinBox")->setValue(15);
        QVERIFY(label->text().contains(QStringLiteral("Скорость была изменена")));
        QTRY_VERIFY_WITH_TIMEOUT(fadeStarted >= 0, 10000);
        QVERIFY(label->isVisible());
        // Full opacity for the whole display time (a coarse timer may fire up
        // to 5 % early); the fade is the first notification's, begun before
        // the second one's display time could be up.
        const qint64 shortest = DeviceControlWidget::kNotificationMs * 95 / 100;
        QVERIFY2(fadeStarted >= shortest, qPrintable(QString::number(fadeStarted)));
        QVERIFY2(fadeStarted < secondAt + shortest, qPrintable(QString::number(fadeStarted - secondAt)));
        QTRY_VERIFY_WITH_TIMEOUT(!label->isVisible(), 10000);
        QCOMPARE(effect->opacity(), 1.0);
        QTRY_VERIFY(b.panel->findChildren<QPropertyAnimation *>().isEmpty());
    }

    void setFilterIndex_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<Commands>("commands");
        QTest::newRow("the index shown") << 1 << Commands { "PF2" };
        QTest::newRow("another index") << 3 << Commands { "PF4", "PF4" };
    }
    void setFilterIndex()
    {
        QFETCH(int, index);
        QFETCH(Commands, commands);
        Bench b { SimulatedInstrument::Profile };
        QVERIFY(b.ready());
        b.panel->setFilterIndex(index);
        QVERIFY(b.commandsAre(commands));
        QCOMPARE(b.child<QComboBox>("filterComboBox")->currentIndex(), index);
        QCOMPARE(Settings::load(Settings::kFileName).spinbox_filter_length_index, index);
    }

    // The receiver installed on the application drives the panel from the
    // main window: press and release of each mapped key.
    void keyboard_data()
    {
        QTest::addColumn<bool>("alternative");
        QTest::addColumn<int>("key");
        QTest::addColumn<Commands>("commands");

        for (bool alternative : { false, true }) {
            const char *tag = alternative ? "alternative" : "usual";
            const QByteArray upDown = alternative ? "DY" : "DZ";
            const QByteArray pages = alternative ? "DZ" : "DY";
            auto row = [&](const char *name, Qt::Key key, Commands commands) {
                QTest::addRow("%s: %s", tag, name) << alternative << int(key) << commands;
            };
            row("Left", Qt::Key_Left, { "DX+", "DX0" });
            row("Right", Qt::Key_Right, { "DX-", "DX0" });
            row("Up", Qt::Key_Up, { upDown + "+", upDown + "0" });
            row("Down", Qt::Key_Down, { upDown + "-", upDown + "0" });
            row("Page Up", Qt::Key_PageUp, { pages + "+", pages + "0" });
            row("Page Down", Qt::Key_PageDown, { pages + "-", pages + "0" });
            row("Space without a trace", Qt::Key_Space, {});
            row("Return", Qt::Key_Return, { "SX0", "PF2", lengthCommand(2), "CS" });
            row("Enter", Qt::Key_Enter, {});
        }
    }
    void keyboard()
    {
        QFETCH(bool, alternative);
        QFETCH(int, key);
        QFETCH(Commands, commands);

        Settings::instance().alternative_managment = alternative;
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        KeyReceiver *receiver = b.panel->setupKeyReceiver();
        qApp->installEventFilter(receiver);
        b.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.host));
        b.sim.setAnswering(false);

        auto *grid = b.child<QGridLayout>("gridLayout");
        auto place = [&](const char *name) {
            int row, column, rs, cs;
            grid->getItemPosition(grid->indexOf(b.button(name)), &row, &column, &rs, &cs);
            return QPoint(column, row);
        };
        const int yColumn = alternative ? 1 : 5;
        const int zColumn = alternative ? 5 : 1;
        QCOMPARE(place("yplusButton"), QPoint(yColumn, 1));
        QCOMPARE(place("yminusButton"), QPoint(yColumn, 3));
        QCOMPARE(place("zplusButton"), QPoint(zColumn, 1));
        QCOMPARE(place("zminusButton"), QPoint(zColumn, 3));
        QCOMPARE(place("xminusButton"), QPoint(0, 2));
        QCOMPARE(place("xplusButton"), QPoint(4, 2));

        QTest::keyClick(b.host.windowHandle(), Qt::Key(key));
        QTRY_VERIFY(!receiver->releasePending());
        QVERIFY2(b.commandsAre(commands), qPrintable(commandList(b.sim.commands())));
        if (key == Qt::Key_Return) {
            // Space stops the trace Return started.
            b.sim.clearCommands();
            QTest::keyClick(b.host.windowHandle(), Qt::Key_Space);
            QTRY_VERIFY(!receiver->releasePending());
            QVERIFY(b.commandsAre({ "CC", "CA" }));
        }
    }

    void speedWithoutChoice()
    {
        Bench b { SimulatedInstrument::Profile };
        b.child<QComboBox>("speedComboBox")->setCurrentIndex(-1);
        QCOMPARE(b.panel->currentSpeed(), 0.0);
    }

    void applySettings()
    {
        Bench b { SimulatedInstrument::Profile };
        QVERIFY(b.ready());
        b.panel->applySettings(MovementSettings::UP, 3);
        QVERIFY(b.commandsAre({ "Pu3" }));
        const Settings saved = Settings::load(Settings::kFileName);
        QCOMPARE(saved.needle_pressing, int(MovementSettings::UP));
        QCOMPARE(saved.power_pressing, 3);
        b.panel->applySettings(MovementSettings::UP, 3);
        QVERIFY(b.commandsAre({ "Pu3" }));
    }

    // The receiver goes with the panel; Qt then skips it as a filter.
    void receiverGoesWithThePanel()
    {
        QPointer<KeyReceiver> receiver;
        {
            Bench b { SimulatedInstrument::Contour };
            receiver = b.panel->setupKeyReceiver();
            qApp->installEventFilter(receiver);
        }
        QVERIFY(receiver.isNull());
        QWidget window;
        window.setObjectName(QStringLiteral("MainWindow"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(window.windowHandle(), Qt::Key_Left);
    }

    // Jog icons follow the press: red while held, black again on release.
    void jogIcons()
    {
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        b.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.host));
        QPushButton *button = b.button("zplusButton");
        const QImage black = QIcon(":/icons/icons/kontur_up_black.png").pixmap(64, 48).toImage();
        const QImage red = QIcon(":/icons/icons/kontur_up_red.png").pixmap(64, 48).toImage();
        QCOMPARE(button->icon().pixmap(64, 48).toImage(), black);
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(button->icon().pixmap(64, 48).toImage(), red);
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(button->icon().pixmap(64, 48).toImage(), black);
        QVERIFY(b.commandsAre({ "DZ+", "DZ0" }));
        QTest::mouseClick(b.button("autoMinMaxCalibButton"), Qt::LeftButton);
        QVERIFY(b.commandsEndWith({ "CV" }));
    }

    // The busy window is opened after the report that asked for it has been
    // handled, follows the progress and closes at 100.
    void calibrationProgress()
    {
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        b.sim.setAnswering(false);
        ScriptedPrompts prompts;
        int questionsAtReport = -1;
        QObject::connect(&b.panel->device, &Device::openLoader, [&] { questionsAtReport = prompts.calls().size(); });
        QList<int> barSeen;
        bool lockedWhileOpen = false;
        QString title;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [&](QObject *subject) {
            auto *loader = qobject_cast<Loader *>(subject);
            title = loader->findChild<QLabel *>("titleLabel")->text();
            auto *bar = loader->findChild<QProgressBar *>("progressBar");
            QTimer::singleShot(0, [&] { b.sim.send(contourRecord(contourAlarm(10, 50))); });
            // Once the bar has moved (or, should it never move, after a while,
            // so the window still closes), the last stage follows.
            const auto lastStage = [&, bar] {
                if (!barSeen.isEmpty())
                    return;
                barSeen << bar->value();
                lockedWhileOpen = !b.button("calibrationPushButton")->isEnabled();
                b.sim.send(contourRecord(contourAlarm(10, 109)));
            };
            QObject::connect(bar, &QProgressBar::valueChanged, loader, lastStage);
            QTimer::singleShot(10000, loader, lastStage);
            return loader->exec();
        });
        b.click("calibrationPushButton");
        QVERIFY(b.commandsEndWith({ "CK" }));
        b.sim.send(contourRecord(contourAlarm(10, 1)));
        QVERIFY(SimulatedInstrument::waitFor([&] { return prompts.allAnswered(); }));
        QCOMPARE(questionsAtReport, 0);
        QCOMPARE(prompts.calls().size(), 1);
        QCOMPARE(title, QStringLiteral("Идёт калибровка"));
        QCOMPARE(barSeen, QList<int> { 50 * 100 / 109 });
        QVERIFY(lockedWhileOpen);
        QVERIFY(b.commandsEndWith({ "CA" })); // the instrument's last stage
        QTRY_VERIFY(b.panel->findChildren<Loader *>().isEmpty());
    }

    void calibrationCancelled()
    {
        Bench b { SimulatedInstrument::Contour };
        QVERIFY(b.ready());
        b.sim.setAnswering(false);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [&](QObject *subject) {
            auto *loader = qobject_cast<Loader *>(subject);
            loader->open();
            QTest::mouseClick(loader->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
            return loader->result();
        });
        b.click("calibrationPushButton");
        QVERIFY(b.commandsEndWith({ "CK" }));
        b.sim.send(contourRecord(contourAlarm(10, 1)));
        QVERIFY(SimulatedInstrument::waitFor([&] { return prompts.allAnswered(); }));
        QVERIFY(b.commandsEndWith({ "CC", "CA" }));
        QVERIFY(b.button("calibrationPushButton")->isEnabled());
        QVERIFY(b.button("startTraceButton")->isEnabled());
        QVERIFY(b.unlocks.count() >= 1);
        QTRY_VERIFY(b.panel->findChildren<Loader *>().isEmpty());
    }

    // With Ctrl held the profile calibration button resets the additional
    // calibration and asks nothing; without, the reference-Ra dialog runs and
    // its accepted value is sent. Ctrl is what the keyboard holds at the
    // click: a Ctrl press whose release the program never saw (it went to
    // another program) leaves no reset armed for a plain click.
    void profileCalibrationButton()
    {
        Bench b { SimulatedInstrument::Profile };
        QVERIFY(b.ready());
        qApp->installEventFilter(b.panel->setupKeyReceiver());
        b.host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.host));
        QPushButton *calib = b.button("calibPushButton");
        ScriptedPrompts prompts;

        QTest::keyPress(b.host.windowHandle(), Qt::Key_Control);
        QCOMPARE(calib->text(), QStringLiteral("Сброс доп. калибровки"));
        QTest::mouseClick(calib, Qt::LeftButton, Qt::ControlModifier);
        QVERIFY(b.commandsAre({ "Ke00000" }));
        QTest::keyRelease(b.host.windowHandle(), Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(calib->text(), QStringLiteral("Калибровка"));
        QCOMPARE(prompts.calls().size(), 0);

        // A cancelled dialog sends nothing and is gone afterwards; the
        // caption takes the state at the click.
        b.sim.clearCommands();
        QTest::keyPress(b.host.windowHandle(), Qt::Key_Control);
        QCOMPARE(calib->text(), QStringLiteral("Сброс доп. калибровки"));
        prompts.expect(ScriptedPrompts::Dialog, int(QDialog::Rejected));
        QTest::mouseClick(calib, Qt::LeftButton);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(calib->text(), QStringLiteral("Калибровка"));
        QVERIFY(b.commandsAre({}));
        QVERIFY(b.panel->findChildren<QDialog *>().isEmpty());

        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [](QObject *subject) {
            auto *dialog = qobject_cast<QDialog *>(subject);
            dialog->findChild<QDoubleSpinBox *>()->setValue(0.297);
            QTest::mouseClick(dialog->findChild<QPushButton *>("acceptButton"), Qt::LeftButton);
            return dialog->result();
        });
        QTest::mouseClick(calib, Qt::LeftButton);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().last().title, QStringLiteral("Калибровка"));
        QVERIFY(SimulatedInstrument::waitFor([&] { return !b.sim.commands().isEmpty(); }));
        QCOMPARE(b.sim.commands().first(), QByteArray("Ka00297"));
        QCOMPARE(Settings::load(Settings::kFileName).calibration_Ra_value, 0.297);
    }
};

VANTOR_TEST_MAIN(TestDeviceControlWidget)
#include "tst_devicecontrolwidget.moc"
