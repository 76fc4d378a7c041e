#include "support/testmain.h"

#include "dataproviders/filedataprovider.h"
#include "device/device.h"
#include "device/devicecommands.h"
#include "device/deviceport.h"
#include "support/simulatedinstrument.h"
#include "traces/contourtrace.h"

#include <QSignalSpy>
#include <cstring>
#include <functional>

using Action = std::function<void(Device &)>;
using Commands = QList<QByteArray>;
Q_DECLARE_METATYPE(Action)

namespace {

// A device on a simulated instrument of the given kind, identified and
// initialised.
struct Bench {
    SimulatedInstrument sim;
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    Device device;

    explicit Bench(SimulatedInstrument::Kind kind)
        : sim(kind)
    {
    }
};

QByteArray littleEndian(qint32 v)
{
    QByteArray b(4, 0);
    std::memcpy(b.data(), &v, 4); // the test machine is little-endian
    return b;
}

} // namespace

class TestDevice : public QObject {
    Q_OBJECT

private:
    // Every test starts from the built-in defaults, whatever an earlier run saved.
    Settings m_defaults = Settings::load(QString());

private Q_SLOTS:
    void init()
    {
        Settings::instance() = m_defaults;
        Settings::instance().save();
    }

    void startupSequence_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("measurementMode");
        QTest::addColumn<bool>("pressingChanged");
        QTest::addColumn<bool>("unrecognisedFirst");
        QTest::addColumn<Commands>("expected");
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<int>("parserState");

        QTest::newRow("profile") << int(SimulatedInstrument::Profile) << 0 << false << false
                                 << Commands { "CP", "CM", "Cq", "PF2", "PL1", "PS0" } << 2 << 1;
        QTest::newRow("profile, pressing changed")
            << int(SimulatedInstrument::Profile) << 0 << true << false
            << Commands { "CP", "CM", "Pu3", "Cq", "PF2", "PL1", "PS0" } << 2 << 1;
        QTest::newRow("profile after an unrecognised reply")
            << int(SimulatedInstrument::Profile) << 0 << false << true
            << Commands { "CP", "CP", "CM", "Cq", "PF2", "PL1", "PS0" } << 2 << 1;
        QTest::newRow("contour") << int(SimulatedInstrument::Contour) << 0 << false << false
                                 << Commands { "CP", "PR0", "CO", "CM", "SX0" } << 0 << 11;
        QTest::newRow("contour with profile mode") << int(SimulatedInstrument::Contour) << 2 << false << false
                                                   << Commands { "CP", "PR1", "CO", "CM", "SX0" } << 1 << 11;
        QTest::newRow("contour, pressing changed") << int(SimulatedInstrument::Contour) << 0 << true << false
                                                   << Commands { "CP", "PR0", "CO", "CM", "Pu3", "SX0" } << 0 << 11;
    }

    void startupSequence()
    {
        QFETCH(int, kind);
        QFETCH(int, measurementMode);
        QFETCH(bool, pressingChanged);
        QFETCH(bool, unrecognisedFirst);
        QFETCH(Commands, expected);
        QFETCH(int, deviceType);
        QFETCH(int, parserState);

        Settings::instance().measurement_mode = measurementMode;
        Bench bench { SimulatedInstrument::Kind(kind) };
        bench.sim.setAnswering(true);
        if (unrecognisedFirst)
            bench.sim.replyTo("CP", QByteArray(20, 'x'));
        QSignalSpy opened(&bench.device, &Device::deviceOpened);
        QSignalSpy newType(&bench.device, &Device::newDeviceType);
        if (pressingChanged) {
            // The settings changed after the device filled its pressing cache.
            Settings::instance().needle_pressing = MovementSettings::UP;
            Settings::instance().power_pressing = 3;
        }

        // The start-up has ended; a marker behind it shows that nothing else was sent.
        QVERIFY(SimulatedInstrument::waitFor([&] { return bench.device.parserState() == parserState; }, 10000));
        bench.device.port()->write("DZ0");
        QVERIFY(bench.sim.waitForCommands(expected.size() + 1));
        QCOMPARE(bench.sim.commands(), expected + Commands { "DZ0" });
        QCOMPARE(opened.count(), 1);
        QCOMPARE(newType.count(), 1);
        QCOMPARE(newType.at(0).at(0).toInt(), deviceType);
        QCOMPARE(bench.device.deviceType(), deviceType);
        QCOMPARE(bench.device.parserState(), parserState);
        QCOMPARE(Settings::load(Settings::kFileName).device_type, deviceType);
    }

    void commandEncodings_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<Commands>("expected");
        QTest::addColumn<int>("tracing"); // -1: not checked

        auto row = [](const char *name, Action action, Commands expected, int tracing = -1) {
            QTest::newRow(name) << action << expected << tracing;
        };
        auto settings = [] { return &Settings::instance(); };

        row("moveX 0", [](Device &d) { d.moveX(0); }, { "DX0" });
        row("moveX +", [](Device &d) { d.moveX(1); }, { "DX-" });
        row("moveX -", [](Device &d) { d.moveX(-7); }, { "DX+" });
        row("moveY",
            [](Device &d) {
                d.moveY(0);
                d.moveY(3);
                d.moveY(-1);
            },
            { "DY0", "DY+", "DY-" });
        row("moveZ",
            [](Device &d) {
                d.moveZ(0);
                d.moveZ(1);
                d.moveZ(-1);
            },
            { "DZ0", "DZ+", "DZ-" });
        row("autoMinMaxCalib", [](Device &d) { d.autoMinMaxCalib(); }, { "CV" });
        row("identify", [](Device &d) { d.identify(); }, { "CP" });
        row("filter longest", [](Device &d) { d.setFilter(0); }, { "PF1" });
        row("filter shortest", [](Device &d) { d.setFilter(4); }, { "PF5" });
        row("trace length 0", [](Device &d) { d.setTraceLength(0); }, { "PL0" });
        row("trace length 5", [](Device &d) { d.setTraceLength(5); }, { "PL5" });
        row("trace length 10", [](Device &d) { d.setTraceLength(10); }, { "PL:" });
        row("trace length 12", [](Device &d) { d.setTraceLength(12); }, { "PL<" });
        row("speed, profile", [](Device &d) { d.setSpeed(3); }, { "PS3" });
        row("speed, contour",
            [](Device &d) {
                d.setDeviceType(0);
                d.setSpeed(2);
            },
            { "PR0", "SX2" });
        row("contour profile mode", [](Device &d) { d.setDeviceType(1); }, { "PR1" });
        row("cancelOperation", [](Device &d) { d.cancelOperation(); }, { "CC", "CA" });
        row("resetCalibration", [](Device &d) { d.resetCalibration(); }, { "Ke00000" });
        row("raw text", [](Device &d) { d.sendRawText("CS\n"); }, { "CS" });
        row("raw text keeps carriage returns", [](Device &d) { d.sendRawText("CM\r\nCA"); }, { "CM", "\r", "CA" });
        row("raw text of line feeds only", [](Device &d) { d.sendRawText("\n\n"); }, {});
        row("changeResolutionScaling", [](Device &d) { d.changeResolutionScaling(); }, {});

        auto calibration = [settings](double ra) {
            return [settings, ra](Device &d) {
                settings()->calibration_Ra_value = ra;
                d.calibration();
            };
        };
        row("calibration 0.8", calibration(0.8), { "Ka00800" });
        row("calibration 1.25", calibration(1.25), { "Ka01250" });
        row("calibration 0.5", calibration(0.5), { "Ka00500" });
        row("calibration 2.01", calibration(2.01), { "Ka02010" });
        row("calibration 4.35", calibration(4.35), { "Ka04350" });
        row("calibration 99.999", calibration(99.999), { "Ka99999" });
        row("calibration above the field", calibration(150), { "Ka99999" });
        row("calibration negative", calibration(-1), { "Ka00000" });
        row("calibration, contour",
            [](Device &d) {
                d.setDeviceType(0);
                d.calibration();
            },
            { "PR0", "CK" });

        auto mm = [](double v) { return [v](Device &d) { d.setMMPerRotation(v); }; };
        row("mm/rot 1", mm(1), { "R0100" });
        row("mm/rot 1.5", mm(1.5), { "R0150" });
        row("mm/rot 0.25", mm(0.25), { "R0025" });
        row("mm/rot 12.5", mm(12.5), { "R1250" });
        row("mm/rot 10", mm(10), { "R1000" });
        row("mm/rot 2.01", mm(2.01), { "R0201" });
        row("mm/rot 0.125", mm(0.125), { "R0012" });
        row("mm/rot 99.99", mm(99.99), { "R9999" });
        row("mm/rot above the field", mm(100), { "R9999" });
        row("mm/rot negative", mm(-3), { "R0000" });

        auto press = [](MovementSettings::E_NEEDLE_PRESSING n, int p) {
            return [n, p](Device &d) { d.changePresingPower(n, p); };
        };
        row("pressing up 3", press(MovementSettings::UP, 3), { "Pu3" });
        row("pressing down 2", press(MovementSettings::DOWN, 2), { "Pd2" });
        row("pressing unchanged", press(MovementSettings::DOWN, 1), {});
        row("pressing twice",
            [](Device &d) {
                d.changePresingPower(MovementSettings::DOWN, 4);
                d.changePresingPower(MovementSettings::DOWN, 4);
            },
            { "Pd4" });

        auto start = [settings](int type, int mode, bool started) {
            return [settings, type, mode, started](Device &d) {
                settings()->device_type = type;
                settings()->measurement_mode = mode;
                d.startTrace(started);
            };
        };
        row("start, profile", start(2, 0, true), { "CS" }, 1);
        row("start, type 3", start(3, 0, true), { "CS" }, 1);
        row("start, contour mode 0", start(0, 0, true), { "CS" }, 1);
        row("start, contour mode 1", start(0, 1, true), { "Cs" }, 1);
        row("start, contour mode 2", start(1, 2, true), { "CS" }, 1);
        row("start, contour mode 3", start(0, 3, true), { "CL" }, 1);
        row("start, contour mode 5", start(0, 5, true), {}, 1);
        row("start, unknown type", start(7, 0, true), {}, 1);
        row("start not started", start(2, 0, false), { "CS" }, 0);
        row(
            "stop while idle", [](Device &d) { d.stopTrace(); }, {}, 0);
        row(
            "stop, profile",
            [start](Device &d) {
                start(2, 0, true)(d);
                d.stopTrace();
            },
            { "CS", "CC", "CV" }, 1);
        row(
            "stop, contour",
            [start](Device &d) {
                start(0, 0, true)(d);
                d.stopTrace();
            },
            { "CS", "CC", "CA" }, 0);

        // x ratio 1.0, y ratio 0.98, displacement 0.0123, rack 1.239.
        QByteArray upload = "O";
        for (qint32 v : { 1000000, 980000, 12300, 123 })
            upload += littleEndian(v);
        upload += QByteArray(26 * 4, 0);
        row("upload",
            [settings](Device &d) {
                settings()->x_axis_compression_ratio = 1.0;
                settings()->y_axis_compression_ratio = 0.98;
                settings()->displacement_coefficient = 0.0123;
                settings()->rack_prpendicular = 1.239;
                d.uploadDeviceParams();
            },
            { upload });
        QByteArray negative = "O" + littleEndian(-1050000) + littleEndian(INT32_MAX) + littleEndian(INT32_MIN)
            + littleEndian(-250) + QByteArray(26 * 4, 0);
        row("upload, signs and bounds",
            [settings](Device &d) {
                settings()->x_axis_compression_ratio = -1.05;
                settings()->y_axis_compression_ratio = 1e9;
                settings()->displacement_coefficient = -1e9;
                settings()->rack_prpendicular = -2.5;
                d.uploadDeviceParams();
            },
            { negative });
    }

    void commandEncodings()
    {
        QFETCH(Action, action);
        QFETCH(Commands, expected);
        QFETCH(int, tracing);

        Bench bench(SimulatedInstrument::Profile);
        QVERIFY(bench.sim.waitForCommands(6));
        QTRY_COMPARE(bench.device.parserState(), 1);
        bench.sim.setAnswering(false);
        bench.sim.clearCommands();

        action(bench.device);
        // A marker after the action shows that nothing else was sent.
        bench.device.port()->write("DZ0");
        QVERIFY(bench.sim.waitForCommands(expected.size() + 1));
        QCOMPARE(bench.sim.commands(), expected + Commands { "DZ0" });
        if (tracing >= 0)
            QCOMPARE(bench.device.tracing(), bool(tracing));
    }

    void calibrationStateDependsOnInstrument()
    {
        Bench bench(SimulatedInstrument::Contour);
        QTRY_COMPARE(bench.device.parserState(), 11);
        bench.device.calibration();
        QCOMPARE(bench.device.parserState(), 11);
        bench.device.setDeviceType(2);
        bench.device.calibration();
        QCOMPARE(bench.device.parserState(), 8);
    }

    void pressingIsStoredInSettings()
    {
        Bench bench(SimulatedInstrument::Profile);
        QTRY_COMPARE(bench.device.parserState(), 1);
        bench.device.changePresingPower(MovementSettings::UP, 4);
        const Settings saved = Settings::load(Settings::kFileName);
        QCOMPARE(saved.needle_pressing, int(MovementSettings::UP));
        QCOMPARE(saved.power_pressing, 4);
    }

    // settings.ini holds the needle as an int: 0 is the upper needle and any
    // other value the lower one, for the instrument and for traces alike.
    void needleFromTheSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("lower");
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("2") << QByteArray("2") << true;
        QTest::newRow("-1") << QByteArray("-1") << true;
        QTest::newRow("5") << QByteArray("5") << true;
        QTest::newRow("not a number reads as 0") << QByteArray("x") << false;
    }

    void needleFromTheSettingsFile()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, lower);
        QFile file(Settings::kFileName);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[movement]\nneedle_pressing=" + stored + "\n");
        file.close();
        Settings::instance() = Settings::load(Settings::kFileName);
        const int value = Settings::instance().needle_pressing;
        Settings::instance().tool_head_radius_down = 7;
        Settings::instance().tool_head_radius_up = 3;

        {
            Bench bench(SimulatedInstrument::Contour);
            // A new force after the device filled its cache: start-up sends
            // the pressing command with the needle the file names.
            Settings::instance().power_pressing = 3;
            const Commands expected { "CP", "PR0", "CO", "CM", lower ? "Pd3" : "Pu3", "SX0" };
            QVERIFY(SimulatedInstrument::waitFor([&] { return bench.device.parserState() == 11; }, 10000));
            bench.device.port()->write("DZ0"); // a marker: nothing else was sent before it
            QVERIFY(bench.sim.waitForCommands(expected.size() + 1));
            QCOMPARE(bench.sim.commands(), expected + Commands { "DZ0" });
        }

        // A contour file without a needle entry takes the needle of the
        // settings (the device stored the needle it sent; the stored value
        // goes back in).
        Settings::instance().needle_pressing = value;
        QFile trace("needle.txt");
        QVERIFY(trace.open(QIODevice::WriteOnly | QIODevice::Truncate));
        trace.write("trace_type:CONTOUR\npoint_count:1\n1\t2\t3\t\n");
        trace.close();
        ContourTrace read;
        FileDataProvider provider(trace.fileName());
        provider.start(&read);
        provider.waitForFinished();
        QVERIFY(provider.result());
        QCOMPARE(read.needle_pressing, lower ? 1 : 0);
        QCOMPARE(read.tipRadius(), lower ? 7.0 : 3.0);

        // A trace given the stored value as it stands reads it the same way.
        ContourTrace direct;
        direct.needle_pressing = value;
        direct.tool_head_radius_down = 7;
        direct.tool_head_radius_up = 3;
        QCOMPARE(direct.lowerNeedle(), lower);
        QCOMPARE(direct.tipRadius(), lower ? 7.0 : 3.0);
    }

    void scaledValueBounds_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("scale");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("typical") << 1.239 << 100.0 << qint64(123);
        QTest::newRow("rounding below a whole number") << 2.01 << 1000.0 << qint64(2010);
        QTest::newRow("negative truncates toward zero") << -1.239 << 100.0 << qint64(-123);
        QTest::newRow("negative rounding") << -2.01 << 1000.0 << qint64(-2010);
        QTest::newRow("above") << 5e9 << 1.0 << qint64(10000);
        QTest::newRow("below") << -5e9 << 1.0 << qint64(-10000);
        QTest::newRow("nan") << qQNaN() << 1.0 << qint64(0);
        QTest::newRow("infinite") << qInf() << 1.0 << qint64(0);
    }

    void scaledValueBounds()
    {
        QFETCH(double, value);
        QFETCH(double, scale);
        QFETCH(qint64, expected);
        QCOMPARE(qint64(DeviceCommands::scaledValue(value, scale, -10000, 10000)), expected);
    }

    void speedNames()
    {
        QCOMPARE(kSpeedNames.keys(), (QList<int> { 0, 1, 2, 3 }));
        QCOMPARE(kSpeedNames.value(0), QStringLiteral("0.25 мм/c"));
        QCOMPARE(kSpeedNames.value(3), QStringLiteral("2.00 мм/c"));
        QVERIFY(kSpeedNames.value(1).endsWith(QLatin1Char('c'))); // Latin letter
    }

    void lostLineEndsTraceAndReconnectIdentifiesAgain()
    {
        Bench bench(SimulatedInstrument::Profile);
        QTRY_COMPARE(bench.device.parserState(), 1);
        bench.device.startTrace(true);
        QVERIFY(bench.device.tracing());
        QSignalSpy lost(&bench.device, &Device::deviceLost);
        QSignalSpy stop(&bench.device, &Device::pushButtonStopTrace);
        QSignalSpy opened(&bench.device, &Device::deviceOpened);

        bench.sim.pullCable();
        QTRY_VERIFY(lost.count() >= 1);
        QCOMPARE(stop.count(), 1);
        QVERIFY(!bench.device.tracing());
        QCOMPARE(bench.device.parserState(), 0);

        bench.sim.clearCommands();
        bench.sim.plugIn();
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 2 * DevicePort::kReconnectIntervalMs + 3000);
        QVERIFY(bench.sim.waitForCommands(6));
        QCOMPARE(bench.sim.commands(), (Commands { "CP", "CM", "Cq", "PF2", "PL1", "PS0" }));
        QCOMPARE(stop.count(), 1);
    }
};

VANTOR_TEST_MAIN(TestDevice)
#include "tst_device.moc"
