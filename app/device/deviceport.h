#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSerialPort>
#include <string>

class QTimer;

// Byte transport between the instrument object and the instrument's serial
// port. Finds the port among the candidates, opens it at 460800 baud 8N1
// without flow control, searches again every 2000 ms while no port is open,
// buffers received bytes for the reply parser and writes queued commands one
// at a time. It knows nothing of the protocol. Everything runs on the GUI
// thread; the port is set up on the first pass of the event loop.
class DevicePort : public QObject {
    Q_OBJECT

public:
    static constexpr qint32 kBaudRate = 460800;
    static constexpr int kReconnectIntervalMs = 2000;

    DevicePort();
    ~DevicePort() override;

    // Queues one command. With no open port the command is dropped and the
    // loss is reported; an empty command is dropped silently.
    void write(const std::string &command);

    bool isOpen() const;
    bool isRunning() const { return running; }
    // The system name of the port opened last; kept after the port is lost.
    std::string portName() const { return m_portName; }

    // Receive buffer, read by the reply parser on the GUI thread.
    int bytesAvailable() const;
    // The first n bytes (all if fewer are buffered), removed from the buffer.
    std::string takeString(unsigned n);
    QByteArray takeBytes(unsigned n);
    // The first byte, removed; 0 when the buffer is empty.
    quint8 takeByte();
    // The byte at index i, left in the buffer; 0 when i is outside it.
    quint8 byteAt(int i) const;

    // Appends bytes received from the line and hands them to the parser.
    // readyRead feeds it; tests feed the parser through it directly.
    void deliver(const QByteArray &bytes);

Q_SIGNALS:
    void parseIncomingData();
    void portLost();
    void portOpened();

public Q_SLOTS:
    void onBytesWritten(qint64 bytes);
    void readyRead();
    void error(QSerialPort::SerialPortError error);
    void checkDevice();

private:
    Q_INVOKABLE void setupPort();
    Q_INVOKABLE void writeNext();
    void findAndOpenPort();
    void writeEntry(const QByteArray &bytes);
    void consume(int count); // rxMutex held

    QSerialPort *serialPort = nullptr;
    QTimer *reconnectTimer = nullptr;
    QByteArray rxBuffer;
    int rxHead = 0; // bytes of rxBuffer already taken
    mutable QMutex rxMutex;
    QMutex txMutex; // taken before rxMutex where both are needed
    bool writing = false;
    QList<QByteArray> txQueue;
    std::string m_portName;
    bool running = false;
};
