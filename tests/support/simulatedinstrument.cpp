#include "support/simulatedinstrument.h"

#include "support/pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QThread>

ScriptedPortCandidates::ScriptedPortCandidates(std::function<QList<PortCandidate>()> list)
    : m_list(std::move(list))
    , m_previous(PortCandidates::install(this))
{
}

ScriptedPortCandidates::~ScriptedPortCandidates()
{
    PortCandidates::install(m_previous);
}

QList<PortCandidate> ScriptedPortCandidates::availablePorts() const
{
    ++m_searches;
    return m_list();
}

PortCandidate ScriptedPortCandidates::missingPort(const QString &name)
{
    PortCandidate c;
    c.portName = name;
    c.systemLocation = QStringLiteral("/nonexistent/") + name;
    c.isNull = false;
    c.hasVendorIdentifier = true;
    c.hasProductIdentifier = true;
    return c;
}

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A prefix followed by decimal digits, without terminator: the digits end
// at the first other byte or, as commands arrive whole, at the end of what
// was received.
int digitsCommandLength(const QByteArray &bytes, int prefixLength)
{
    int i = prefixLength;
    while (i < bytes.size() && isDigit(bytes.at(i)))
        ++i;
    if (i == prefixLength && i >= bytes.size())
        return 0;
    return i;
}

int fixedLength(const QByteArray &bytes, int length)
{
    return bytes.size() >= length ? length : 0;
}

} // namespace

int SimulatedInstrument::commandLength(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return 0;
    switch (bytes.at(0)) {
    case 'C':
        return fixedLength(bytes, 2);
    case 'D':
        return fixedLength(bytes, 3);
    case 'K':
        return fixedLength(bytes, 7);
    case 'R':
        return fixedLength(bytes, 5);
    case 'O':
        return fixedLength(bytes, 121);
    case 'S':
        if (bytes.size() < 2)
            return 0;
        return bytes.at(1) == 'X' ? digitsCommandLength(bytes, 2) : 1;
    case 'P':
        if (bytes.size() < 2)
            return 0;
        switch (bytes.at(1)) {
        case 'R':
        case 'L':
            return fixedLength(bytes, 3);
        case 'd':
        case 'u':
        case 'F':
        case 'S':
            return digitsCommandLength(bytes, 2);
        default:
            return 1;
        }
    default:
        return 1;
    }
}

SimulatedInstrument::SimulatedInstrument(Kind kind, QObject *parent)
    : QObject(parent)
    , m_kind(kind)
{
    openLine();
}

SimulatedInstrument::~SimulatedInstrument() = default;

void SimulatedInstrument::openLine()
{
    m_pty = std::make_unique<PseudoTerminal>();
    m_in.clear();
    m_out.clear();
    m_outHead = 0;
    if (!m_pty->isOpen())
        return;
    m_readNotifier = std::make_unique<QSocketNotifier>(m_pty->masterFd(), QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &SimulatedInstrument::onReadable);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_pty->masterFd(), QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &SimulatedInstrument::onWritable);
}

bool SimulatedInstrument::isConnected() const
{
    return m_pty && m_pty->isOpen();
}

QString SimulatedInstrument::slavePath() const
{
    return isConnected() ? m_pty->slavePath() : QString();
}

PortCandidate SimulatedInstrument::candidate() const
{
    PortCandidate c;
    c.systemLocation = slavePath();
    c.portName = c.systemLocation.mid(c.systemLocation.lastIndexOf('/') + 1);
    c.isNull = !isConnected();
    c.hasVendorIdentifier = isConnected();
    c.hasProductIdentifier = isConnected();
    return c;
}

void SimulatedInstrument::pullCable()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_pty)
        m_pty->close();
}

void SimulatedInstrument::plugIn()
{
    pullCable();
    openLine();
}

bool SimulatedInstrument::waitForCommands(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_commands.size() < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

bool SimulatedInstrument::waitUntilSent(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (pendingBytes() > 0) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

void SimulatedInstrument::onReadable()
{
    if (!isConnected())
        return;
    m_in.append(m_pty->readAvailable());
    int length = 0;
    while ((length = commandLength(m_in)) > 0) {
        const QByteArray command = m_in.left(length);
        m_in.remove(0, length);
        m_commands.append(command);
        for (int prefix = 1; prefix <= 2 && prefix <= command.size(); ++prefix)
            m_lastArguments.insert(command.left(prefix), command.mid(prefix));
        react(command);
        Q_EMIT commandReceived(command);
    }
}

void SimulatedInstrument::replyTo(const QByteArray &command, const QByteArray &reply)
{
    m_scripted[command].append(reply);
}

void SimulatedInstrument::react(const QByteArray &command)
{
    auto scripted = m_scripted.find(command);
    if (scripted != m_scripted.end() && !scripted->isEmpty()) {
        send(scripted->takeFirst());
        return;
    }
    if (!m_answering)
        return;
    if (command == "CP") {
        QByteArray text = m_identification;
        if (text.isEmpty())
            text = m_kind == Profile ? "VANTOR OK" : "Brix_582_V3 ready";
        send(text.leftJustified(20, ' ', true));
    }
}

void SimulatedInstrument::send(const QByteArray &bytes)
{
    if (!isConnected())
        return;
    m_out.append(bytes);
    flush();
}

void SimulatedInstrument::onWritable()
{
    flush();
}

void SimulatedInstrument::flush()
{
    if (!isConnected())
        return;
    const qint64 taken = m_pty->write(m_out.constData() + m_outHead, m_out.size() - m_outHead);
    if (taken > 0)
        m_outHead += int(taken);
    if (m_outHead >= m_out.size()) {
        m_out.clear();
        m_outHead = 0;
    }
    m_writeNotifier->setEnabled(pendingBytes() > 0);
}
