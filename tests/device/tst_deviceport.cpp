#include "support/testmain.h"

#include "device/deviceport.h"
#include "support/simulatedinstrument.h"

#include <QSignalSpy>

namespace {

// Records the order of the transport's open and loss reports.
QStringList *recordEvents(DevicePort &port, QObject *context)
{
    auto *events = new QStringList;
    QObject::connect(&port, &DevicePort::portLost, context, [events] { events->append("lost"); });
    QObject::connect(&port, &DevicePort::portOpened, context, [events] { events->append("opened"); });
    return events;
}

PortCandidate withoutProductId(PortCandidate c)
{
    c.hasProductIdentifier = false;
    return c;
}

} // namespace

class TestDevicePort : public QObject {
    Q_OBJECT

private:
    // A transport opened on a silent simulated instrument.
    struct OpenLine {
        SimulatedInstrument sim;
        ScriptedPortCandidates ports { [this] { return QList<PortCandidate> { sim.candidate() }; } };
        DevicePort port;
        OpenLine() { sim.setAnswering(false); }
        bool open()
        {
            return QTest::qWaitFor([this] { return port.isOpen(); }, 10000);
        }
    };

private Q_SLOTS:
    void withoutPortsEverySearchReportsOneLoss()
    {
        ScriptedPortCandidates ports([] { return QList<PortCandidate> {}; });
        DevicePort port;
        QSignalSpy lost(&port, &DevicePort::portLost);
        QVERIFY(!port.isRunning());
        QTRY_COMPARE(ports.searches(), 1);
        QVERIFY(port.isRunning());
        QCOMPARE(lost.count(), 1);
        port.checkDevice();
        QCOMPARE(lost.count(), 2);
        QVERIFY(!port.isOpen());
        QCOMPARE(port.portName(), std::string());
    }

    void searchOpensFirstQualifyingPortAndStops()
    {
        SimulatedInstrument sim;
        SimulatedInstrument other;
        sim.setAnswering(false);
        other.setAnswering(false);
        // The first entry points at a working line but lacks a product
        // identifier, so it must be skipped; the last is never reached.
        ScriptedPortCandidates ports([&] {
            return QList<PortCandidate> { withoutProductId(other.candidate()),
                ScriptedPortCandidates::missingPort("ttyMISSING"), sim.candidate(), other.candidate() };
        });
        DevicePort port;
        std::unique_ptr<QStringList> events(recordEvents(port, this));
        QTRY_VERIFY(port.isOpen());
        QCOMPARE(*events, (QStringList { "lost", "opened" }));
        QCOMPARE(QString::fromStdString(port.portName()), sim.candidate().portName);

        port.write("CP");
        QVERIFY(sim.waitForCommands(1));
        QCOMPARE(sim.commands(), QList<QByteArray> { "CP" });
        QVERIFY(other.commands().isEmpty());
    }

    void burstOfCommandsArrivesWholeAndInOrder()
    {
        OpenLine line;
        QVERIFY(line.open());
        QList<QByteArray> expected;
        const QList<QByteArray> kinds { "CM", "PS3", "DX+", "PL5", "Ka00800", "R0150", "Pd2", "SX1", "PR1" };
        for (int i = 0; i < 400; ++i) {
            const QByteArray command = kinds.at(i % kinds.size());
            expected.append(command);
            line.port.write(command.toStdString());
            // Some commands go out while an earlier write is still in flight.
            if (i % 37 == 0)
                QCoreApplication::processEvents();
        }
        // A marker behind the burst: nothing else arrived before it.
        line.port.write("CP");
        QVERIFY(line.sim.waitForCommands(expected.size() + 1));
        QCOMPARE(line.sim.commands(), expected + QList<QByteArray> { "CP" });
    }

    void emptyCommandNeverStallsTheQueue()
    {
        OpenLine line;
        QVERIFY(line.open());
        line.port.write("");
        QCoreApplication::processEvents(); // a write step it posted runs before the next command
        line.port.write("CM");
        QVERIFY(line.sim.waitForCommands(1));
        line.port.write("");
        line.port.write("CA");
        QVERIFY(line.sim.waitForCommands(2));
        QCOMPARE(line.sim.commands(), (QList<QByteArray> { "CM", "CA" }));
    }

    void commandWhileClosedIsReportedAndDropped()
    {
        SimulatedInstrument sim;
        sim.setAnswering(false);
        bool plugged = false;
        ScriptedPortCandidates ports(
            [&] { return plugged ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {}; });
        DevicePort port;
        QTRY_COMPARE(ports.searches(), 1);
        QSignalSpy lost(&port, &DevicePort::portLost);
        port.write("CM");
        QCOMPARE(lost.count(), 1);

        plugged = true;
        port.checkDevice();
        QVERIFY(port.isOpen());
        port.write("CA");
        port.write("CP"); // a marker: nothing else arrived before it
        QVERIFY(sim.waitForCommands(2));
        QCOMPARE(sim.commands(), (QList<QByteArray> { "CA", "CP" }));
    }

    void receiveBufferTakeOperations()
    {
        OpenLine line;
        QVERIFY(line.open());
        QSignalSpy parse(&line.port, &DevicePort::parseIncomingData);
        line.sim.send(QByteArray("\x5A\x01\x02"
                                 "hello!"));
        QTRY_COMPARE(line.port.bytesAvailable(), 9);
        QVERIFY(parse.count() >= 1);

        QCOMPARE(int(line.port.byteAt(0)), 0x5A);
        QCOMPARE(int(line.port.byteAt(3)), int('h'));
        QCOMPARE(int(line.port.byteAt(9)), 0);
        QCOMPARE(int(line.port.byteAt(-1)), 0);
        QCOMPARE(int(line.port.takeByte()), 0x5A);
        QCOMPARE(line.port.takeBytes(2), QByteArray("\x01\x02", 2));
        QCOMPARE(QString::fromStdString(line.port.takeString(4)), QStringLiteral("hell"));
        QCOMPARE(QString::fromStdString(line.port.takeString(100)), QStringLiteral("o!"));
        QCOMPARE(line.port.bytesAvailable(), 0);
        QCOMPARE(int(line.port.takeByte()), 0);
        QCOMPARE(line.port.bytesAvailable(), 0);

        // Bytes appended after partial takes keep their order.
        line.port.deliver("abc");
        QCOMPARE(int(line.port.takeByte()), int('a'));
        line.port.deliver("de");
        QCOMPARE(QString::fromStdString(line.port.takeString(10)), QStringLiteral("bcde"));
    }

    void portErrors()
    {
        OpenLine line;
        QVERIFY(line.open());
        line.port.deliver("unparsed");
        QSignalSpy lost(&line.port, &DevicePort::portLost);

        line.port.error(QSerialPort::TimeoutError);
        line.port.error(QSerialPort::NoError);
        QVERIFY(line.port.isOpen());
        QCOMPARE(line.port.bytesAvailable(), 8);
        QCOMPARE(lost.count(), 0);

        line.port.error(QSerialPort::ResourceError);
        QVERIFY(!line.port.isOpen());
        QCOMPARE(line.port.bytesAvailable(), 0);
        QCOMPARE(lost.count(), 1);
    }

    void pulledCableIsReportedAndNewLineReopened()
    {
        SimulatedInstrument sim;
        sim.setAnswering(false);
        ScriptedPortCandidates ports(
            [&] { return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {}; });
        DevicePort port;
        QTRY_VERIFY(port.isOpen());
        const std::string firstName = port.portName();
        QSignalSpy lost(&port, &DevicePort::portLost);
        QSignalSpy opened(&port, &DevicePort::portOpened);

        sim.send("pending");
        QTRY_COMPARE(port.bytesAvailable(), 7);
        sim.pullCable();
        QTRY_VERIFY(lost.count() >= 1);
        QVERIFY(!port.isOpen());
        QCOMPARE(port.bytesAvailable(), 0);
        QCOMPARE(port.portName(), firstName);

        sim.plugIn();
        QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), 2 * DevicePort::kReconnectIntervalMs + 3000);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(QString::fromStdString(port.portName()), sim.candidate().portName);
        QCOMPARE(port.bytesAvailable(), 0);
        port.write("CM");
        QVERIFY(sim.waitForCommands(1));
        QCOMPARE(sim.commands(), QList<QByteArray> { "CM" });
    }
};

VANTOR_TEST_MAIN(TestDevicePort)
#include "tst_deviceport.moc"
