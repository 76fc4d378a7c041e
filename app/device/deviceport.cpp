#include "device/deviceport.h"

#include "device/portcandidates.h"

#include <QDebug>
#include <QMetaType>
#include <QMutexLocker>
#include <QTimer>

// No mutex is held while a signal is emitted or the port is called: the slots
// reached from our signals write again, and the port may report an error from
// inside a write, which would deadlock on a non-recursive mutex.

DevicePort::DevicePort()
{
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    QMetaObject::invokeMethod(this, "setupPort", Qt::QueuedConnection);
}

DevicePort::~DevicePort()
{
    running = false;
    if (serialPort) {
        serialPort->disconnect(this);
        if (serialPort->isOpen())
            serialPort->close();
    }
    if (reconnectTimer)
        reconnectTimer->stop();
    delete serialPort;
    delete reconnectTimer;
}

void DevicePort::setupPort()
{
    serialPort = new QSerialPort;
    reconnectTimer = new QTimer;
    connect(serialPort, &QSerialPort::readyRead, this, &DevicePort::readyRead);
    connect(serialPort, &QSerialPort::errorOccurred, this, &DevicePort::error);
    connect(serialPort, &QSerialPort::bytesWritten, this, &DevicePort::onBytesWritten);
    connect(reconnectTimer, &QTimer::timeout, this, &DevicePort::checkDevice);
    reconnectTimer->start(kReconnectIntervalMs);
    running = true;
    findAndOpenPort();
}

void DevicePort::findAndOpenPort()
{
    const QList<PortCandidate> candidates = PortCandidates::instance().availablePorts();
    for (const PortCandidate &candidate : candidates) {
        if (!candidate.qualifies())
            continue;
        serialPort->setPortName(candidate.systemLocation);
        serialPort->setBaudRate(kBaudRate, QSerialPort::AllDirections);
        serialPort->setDataBits(QSerialPort::Data8);
        serialPort->setParity(QSerialPort::NoParity);
        serialPort->setStopBits(QSerialPort::OneStop);
        serialPort->setFlowControl(QSerialPort::NoFlowControl);
        if (serialPort->open(QIODevice::ReadWrite)) {
            m_portName = candidate.portName.toStdString();
            Q_EMIT portOpened();
            return;
        }
        Q_EMIT portLost();
    }
    Q_EMIT portLost();
}

void DevicePort::checkDevice()
{
    if (serialPort && !serialPort->isOpen())
        findAndOpenPort();
}

bool DevicePort::isOpen() const
{
    return serialPort && serialPort->isOpen();
}

void DevicePort::write(const std::string &command)
{
    // An empty command would be accepted as 0 bytes, and no bytesWritten
    // would ever confirm it, leaving the queue stalled.
    if (command.empty())
        return;
    if (!isOpen()) {
        Q_EMIT portLost();
        if (serialPort)
            serialPort->close();
        return;
    }
    const QByteArray bytes(command.data(), int(command.size()));
    bool post = false;
    {
        QMutexLocker lock(&txMutex);
        txQueue.append(bytes);
        post = !writing;
    }
    if (post)
        QMetaObject::invokeMethod(this, "writeNext", Qt::QueuedConnection);
}

void DevicePort::writeNext()
{
    if (!isOpen())
        return;
    QByteArray next;
    {
        QMutexLocker lock(&txMutex);
        if (txQueue.isEmpty())
            return;
        writing = true;
        next = txQueue.takeFirst();
    }
    writeEntry(next);
}

void DevicePort::onBytesWritten(qint64 bytes)
{
    // Every notification moves the queue on by one command, whatever its count.
    Q_UNUSED(bytes)
    const bool open = isOpen();
    QByteArray next;
    {
        QMutexLocker lock(&txMutex);
        if (txQueue.isEmpty() || !open) {
            writing = false;
            return;
        }
        next = txQueue.takeFirst();
    }
    writeEntry(next);
}

void DevicePort::writeEntry(const QByteArray &bytes)
{
    const qint64 written = serialPort->write(bytes);
    if (written < 0) {
        qDebug().noquote() << QStringLiteral("Ошибка записи: ") + serialPort->errorString();
        QMutexLocker lock(&txMutex);
        writing = false;
        return;
    }
    if (written == 0) {
        // Nothing was taken, so no bytesWritten will follow: count the write
        // as finished and go on with the queue from the event loop.
        QMetaObject::invokeMethod(this, "onBytesWritten", Qt::QueuedConnection, Q_ARG(qint64, 0));
    }
}

void DevicePort::readyRead()
{
    if (!isOpen())
        return;
    deliver(serialPort->readAll());
}

void DevicePort::deliver(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    {
        QMutexLocker lock(&rxMutex);
        rxBuffer.remove(0, rxHead);
        rxHead = 0;
        rxBuffer.append(bytes);
    }
    Q_EMIT parseIncomingData();
}

void DevicePort::error(QSerialPort::SerialPortError error)
{
    if (!serialPort || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    // A failed open reports its error too; the search itself reports that
    // loss, so only errors of an open port tear it down.
    if (!serialPort->isOpen())
        return;
    qDebug() << "Serial port error:" << error << serialPort->errorString();
    serialPort->close();
    {
        QMutexLocker txLock(&txMutex);
        QMutexLocker rxLock(&rxMutex);
        txQueue.clear();
        rxBuffer.clear();
        rxHead = 0;
        writing = false;
    }
    Q_EMIT portLost();
}

int DevicePort::bytesAvailable() const
{
    QMutexLocker lock(&rxMutex);
    return rxBuffer.size() - rxHead;
}

// Taking bytes advances a read offset instead of moving the rest of the
// buffer for every byte; the consumed head is dropped when bytes are appended
// and when the buffer runs empty.
QByteArray DevicePort::takeBytes(unsigned n)
{
    QMutexLocker lock(&rxMutex);
    const int count = int(qMin<unsigned>(n, unsigned(rxBuffer.size() - rxHead)));
    const QByteArray head = rxBuffer.mid(rxHead, count);
    consume(count);
    return head;
}

std::string DevicePort::takeString(unsigned n)
{
    const QByteArray head = takeBytes(n);
    return std::string(head.constData(), size_t(head.size()));
}

quint8 DevicePort::takeByte()
{
    QMutexLocker lock(&rxMutex);
    if (rxHead >= rxBuffer.size())
        return 0;
    const quint8 b = quint8(rxBuffer.at(rxHead));
    consume(1);
    return b;
}

quint8 DevicePort::byteAt(int i) const
{
    QMutexLocker lock(&rxMutex);
    if (i < 0 || i >= rxBuffer.size() - rxHead)
        return 0;
    return quint8(rxBuffer.at(rxHead + i));
}

void DevicePort::consume(int count)
{
    rxHead += count;
    if (rxHead >= rxBuffer.size()) {
        rxBuffer.clear();
        rxHead = 0;
    }
}
