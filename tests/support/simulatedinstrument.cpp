#include "support/simulatedinstrument.h"

#include "support/pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

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

namespace InstrumentReplies {

namespace {

void appendBigEndian(QByteArray &out, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void appendLittleEndian(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray identification(const QByteArray &text)
{
    return text.leftJustified(20, ' ', true);
}

QByteArray consoleHeight(quint16 value)
{
    QByteArray out("Z");
    appendBigEndian(out, value, 2);
    return out;
}

QByteArray streamStart(quint16 divisor)
{
    QByteArray out("ST");
    appendLittleEndian(out, divisor, 2);
    return out;
}

QByteArray streamSample(quint16 value)
{
    QByteArray out("B");
    appendBigEndian(out, value, 2);
    return out;
}

QByteArray streamEnd()
{
    return QByteArray("\x00\x00\x00\x01", 4);
}

QByteArray blockCount(quint32 count)
{
    QByteArray out;
    appendBigEndian(out, count, 3);
    return out;
}

QByteArray sampleBlock(const ProfileRun &run)
{
    const qint64 count = run.blockCount >= 0 ? run.blockCount : (qint64(run.block.size()) + 513) * 8;
    QByteArray out = blockCount(quint32(count));
    out.append("sc:"); // three bytes before the scale
    appendLittleEndian(out, run.blockScale, 3);
    appendLittleEndian(out, run.blockDivisor, 2);
    out.append("hd"); // two bytes after the divisor
    out.append("ld"); // the block's lead-in
    for (quint16 v : run.block)
        appendBigEndian(out, v, 2);
    return out;
}

QByteArray profileTrace(const ProfileRun &run)
{
    QByteArray out = streamStart(run.streamDivisor);
    for (quint16 v : run.live)
        out += streamSample(v);
    if (run.stopsBeforeBlock)
        return out;
    out += streamEnd();
    out += sampleBlock(run);
    return out;
}

QByteArray parameters(const QVector<qint32> &values)
{
    QByteArray out("AAA");
    for (int i = 0; i < 30; ++i)
        appendLittleEndian(out, quint32(values.value(i)), 4);
    return out;
}

QByteArray contourRecord(const ContourRecord &record)
{
    QByteArray out("B");
    appendLittleEndian(out, quint32(record.probe), 4);
    appendLittleEndian(out, quint32(record.console), 4);
    appendLittleEndian(out, record.x, 3);
    out.append(char(record.status));
    out.append(char(record.alarm));
    return out;
}

} // namespace InstrumentReplies

using namespace InstrumentReplies;

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
    for (int i = 0; i < 5; ++i)
        m_profileRun.live.append(quint16(1000 + 10 * i));
    for (int i = 0; i < 300; ++i)
        m_profileRun.block.append(quint16(2000 + i));
    m_calibrationTexts
        = { "Stage 1: max\n", "Stage 2: min\n", "Stage 3\n", "Stage 4\n", "Stage 5\n", "Stage 6: done\n" };
    m_parameters = QVector<qint32>(30, 0);
    m_parameters[0] = 1000000;
    m_parameters[1] = 1000000;
    setContourRun(1000, defaultContourRecord);
    m_replyDelayMs = qMax(0, qEnvironmentVariableIntValue("VANTOR_SIM_REPLY_DELAY_MS"));
    openLine();
}

ContourRecord SimulatedInstrument::defaultContourRecord(int i)
{
    ContourRecord r;
    r.x = quint32(100 + 10 * i);
    r.probe = 5000 + (i % 100) * 3;
    r.console = 20000 - i % 7;
    return r;
}

void SimulatedInstrument::setContourRun(int count, std::function<ContourRecord(int)> record)
{
    m_contourCount = count;
    m_contourRecord = std::move(record);
}

void SimulatedInstrument::startContourRun()
{
    auto next = std::make_shared<int>(0);
    // A paced line takes a few records at a time, so that a stop ends the
    // stream where the line is.
    const int perChunk = m_lineRate > 0 ? qBound(1, m_lineRate / 100 / 14, 2048) : 2048;
    m_producer = [this, next, perChunk]() {
        QByteArray chunk;
        const int end = qMin(m_contourCount, *next + perChunk);
        for (; *next < end; ++*next)
            chunk += contourRecord(m_contourRecord(*next));
        return chunk;
    };
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

QByteArray SimulatedInstrument::profileTail() const
{
    return m_profileRun.stopsBeforeBlock ? QByteArray() : streamEnd() + sampleBlock(m_profileRun);
}

void SimulatedInstrument::startPacedProfileRun()
{
    auto next = std::make_shared<int>(-1);
    m_profileStreaming = true;
    m_producer = [this, next]() {
        const int i = (*next)++;
        if (i < 0)
            return streamStart(m_profileRun.streamDivisor);
        if (i < m_profileRun.live.size())
            return streamSample(m_profileRun.live.at(i));
        m_profileStreaming = false;
        return i == m_profileRun.live.size() ? profileTail() : QByteArray();
    };
}

void SimulatedInstrument::setSilent(bool on)
{
    m_silent = on;
    if (!on)
        return;
    m_producer = nullptr;
    m_profileStreaming = false;
    m_out.clear();
    m_outHead = 0;
}

void SimulatedInstrument::setLineRate(int bytesPerSecond)
{
    m_lineRate = qMax(0, bytesPerSecond);
    if (m_lineRate == 0) {
        m_pace.reset();
        flush();
        return;
    }
    if (!m_pace) {
        m_pace = std::make_unique<QTimer>();
        m_pace->setInterval(10);
        connect(m_pace.get(), &QTimer::timeout, this, [this] {
            m_budget = qMax<qint64>(1, m_lineRate / 100);
            flush();
        });
        m_pace->start();
    }
}

void SimulatedInstrument::pullCable()
{
    ++m_lineGeneration;
    m_producer = nullptr;
    m_profileStreaming = false;
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

bool SimulatedInstrument::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

bool SimulatedInstrument::waitForCommands(int count, int timeoutMs)
{
    return waitFor([this, count] { return m_commands.size() >= count; }, timeoutMs);
}

bool SimulatedInstrument::waitForMarker(const QByteArray &marker, int timeoutMs)
{
    const bool arrived = waitFor([this, &marker] { return m_commands.contains(marker); }, timeoutMs);
    m_commands.removeAll(marker);
    return arrived;
}

bool SimulatedInstrument::waitUntilSent(int timeoutMs)
{
    return waitFor([this] { return pendingBytes() == 0 && !m_producer; }, timeoutMs);
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
        later([this, command] { react(command); });
        Q_EMIT commandReceived(command);
    }
}

void SimulatedInstrument::replyTo(const QByteArray &command, const QByteArray &reply)
{
    m_scripted[command].append(reply);
}

void SimulatedInstrument::react(const QByteArray &command)
{
    if (m_silent)
        return;
    if (command == "CC" && m_silentAfterStop) {
        m_silentAfterStop = false;
        setSilent(true);
        return;
    }
    auto scripted = m_scripted.find(command);
    if (scripted != m_scripted.end() && !scripted->isEmpty()) {
        sendNow(scripted->takeFirst());
        return;
    }
    if (!m_answering)
        return;
    if (command == "CP") {
        QByteArray text = m_identification;
        if (text.isEmpty())
            text = m_kind == Profile ? "VANTOR OK" : "Brix_582_V3 ready";
        sendNow(identification(text));
    } else if (command == "CT") {
        if (!m_consoleHeights.isEmpty())
            sendNow(consoleHeight(m_consoleHeights.takeFirst()));
    } else if (m_kind == Profile) {
        if (command == "CS" && m_lineRate > 0) {
            startPacedProfileRun();
            flush();
        } else if (command == "CS") {
            sendNow(profileTrace(m_profileRun));
        } else if (command == "CC" && m_profileStreaming) {
            // Stopped during the live samples: the trace ends where it is.
            m_profileStreaming = false;
            m_producer = nullptr;
            sendNow(profileTail());
        } else if (command.startsWith("Ka")) {
            for (const QByteArray &text : qAsConst(m_calibrationTexts))
                sendNow(text);
        }
    } else {
        if (command == "CO") {
            sendNow(parameters(m_parameters));
        } else if (command.startsWith('O') && command.size() == 121) {
            for (int i = 0; i < 30; ++i) {
                qint32 v = 0;
                for (int b = 3; b >= 0; --b)
                    v = qint32((quint32(v) << 8) | quint8(command.at(1 + 4 * i + b)));
                m_parameters[i] = v;
            }
        } else if (command == "CS" || command == "Cs" || command == "CL") {
            startContourRun();
            flush();
        } else if (command == "CC") {
            m_producer = nullptr;
        } else if (command == "CK") {
            for (const ContourRecord &r : qAsConst(m_calibrationRecords))
                sendNow(contourRecord(r));
        }
    }
}

void SimulatedInstrument::later(std::function<void()> action)
{
    if (m_replyDelayMs == 0) {
        action();
        return;
    }
    const int line = m_lineGeneration;
    QTimer::singleShot(m_replyDelayMs, this, [this, line, action = std::move(action)] {
        if (line == m_lineGeneration)
            action();
    });
}

void SimulatedInstrument::send(const QByteArray &bytes)
{
    later([this, bytes] { sendNow(bytes); });
}

void SimulatedInstrument::sendNow(const QByteArray &bytes)
{
    if (!isConnected() || m_silent)
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
    // A running stream keeps the line full but the buffer small; a paced
    // line takes only what the current tick allows.
    const qint64 window = m_lineRate > 0 ? m_budget : 65536;
    while (m_producer && pendingBytes() < window) {
        const QByteArray chunk = m_producer();
        if (chunk.isEmpty()) {
            m_producer = nullptr;
            break;
        }
        m_out.remove(0, m_outHead);
        m_outHead = 0;
        m_out.append(chunk);
    }
    const qint64 allowed = m_lineRate > 0 ? qMin(m_budget, pendingBytes()) : pendingBytes();
    const qint64 taken = allowed > 0 ? m_pty->write(m_out.constData() + m_outHead, allowed) : 0;
    if (taken > 0) {
        m_outHead += int(taken);
        if (m_lineRate > 0)
            m_budget -= taken;
    }
    if (m_outHead >= m_out.size()) {
        m_out.clear();
        m_outHead = 0;
    }
    // A paced line waits for its next tick rather than for the line.
    const bool more = pendingBytes() > 0 || m_producer;
    m_writeNotifier->setEnabled(more && (m_lineRate == 0 || m_budget > 0));
}
