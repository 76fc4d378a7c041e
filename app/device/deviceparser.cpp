// The reply parser: a byte-count state machine over the transport's receive
// buffer. Each state waits for the number of bytes its reply needs, then its
// handler takes them and moves the state on.

#include "device/device.h"

#include "device/deviceport.h"
#include "settings/logger.h"

#include <QDebug>
#include <QTimer>

namespace {

constexpr quint8 kSampleStart = 'B';
constexpr quint8 kConsoleHeightStart = 'Z';
constexpr int kStreamEndMarker[4] = { 0x00, 0x00, 0x00, 0x01 };
constexpr int kPointLimit = 2000000;
constexpr int kMinConsoleHeight = 10;
const QByteArray kCalibrationEnd = "Stage 6";

} // namespace

const QMap<int, int> Device::kReplyLengths = {
    { 0, kIdentificationLength }, // identification text
    { 1, 3 }, // console height
    { 2, 4 }, // profile stream sample plus one byte look-ahead
    { 3, 4 }, // profile stream start
    { 4, 3 }, // sample block count
    { 5, 6 }, // sample block scale
    { 6, 4 }, // sample block header
    { 7, 2 }, // sample block: its lead-in, then one sample at a time
    { 8, 1 }, // calibration progress text
    { 9, 3 }, // parameter header
    { 10, 120 }, // device parameters
    { 11, 14 }, // contour record
};

int Device::replyLength(int state) const
{
    return kReplyLengths.value(state, 0);
}

void Device::parseIncomingData()
{
    // A receiver of our signals that runs the event loop may deliver more
    // bytes; the running loop below takes them.
    // The instrument is answering.
    if (m_answerTimer->isActive())
        m_answerTimer->start();
    if (m_parsing)
        return;
    m_parsing = true;
    for (;;) {
        const int available = m_port->bytesAvailable();
        const int state = m_parserState;
        if (available == 0 || available < replyLength(state))
            break;
        dispatchReply();
        // A handler that took nothing and kept its state is waiting for more
        // bytes; running it again would never end.
        if (m_port->bytesAvailable() == available && m_parserState == state)
            break;
    }
    m_parsing = false;
}

void Device::dispatchReply()
{
    switch (m_parserState) {
    case 0:
        parseIdentification();
        break;
    case 1:
        parseConsoleHeight();
        break;
    case 2:
        parseProfileStream();
        break;
    case 3:
        parseStreamStart();
        break;
    case 4:
        parseBlockCount();
        break;
    case 5:
        parseBlockScale();
        break;
    case 6:
        parseBlockHeader();
        break;
    case 7:
        parseSampleBlock();
        break;
    case 8:
        parseCalibrationText();
        break;
    case 9:
        parseParamsHeader();
        break;
    case 10:
        parseDeviceParams();
        break;
    case 11:
        parseContourRecord(Settings::instance().demo_regime);
        break;
    default:
        break;
    }
}

quint32 Device::takeBigEndian(int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | m_port->takeByte();
    return value;
}

quint32 Device::takeLittleEndian(int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= quint32(m_port->takeByte()) << (8 * i);
    return value;
}

int Device::takeDivisor(const char *what)
{
    const int divisor = int(takeLittleEndian(2));
    if (divisor != 0)
        return divisor;
    logger.log(Logger::WARNING, std::string("The instrument sent a zero ") + what + " divisor; 1 is used");
    return 1;
}

void Device::parseIdentification()
{
    const QString text = QString::fromStdString(m_port->takeString(kIdentificationLength));
    qDebug() << "Received:" << text;
    if (text.contains(QLatin1String(kProfileIdentification))) {
        m_deviceType = PROFILE;
        m_parserState = 1;
        initDevice();
    } else if (text.contains(QLatin1String(kContourIdentification))) {
        setDeviceType(Settings::instance().measurement_mode == 2 ? CONTOURPROF : CONTOUR);
        m_parserState = 9;
        m_paramsRetries = 0;
        send("CO");
        initDevice();
    } else {
        send("CP");
    }
}

void Device::parseConsoleHeight()
{
    if (m_port->takeByte() != kConsoleHeightStart)
        return;
    send("CT");
    const int v = int(takeBigEndian(2));
    Q_EMIT setBarValue(65535 - v);
    m_consoleHeight = v;
}

void Device::parseProfileStream()
{
    if (m_port->byteAt(0) == kSampleStart && m_port->byteAt(3) == kSampleStart) {
        parseStreamSample();
        return;
    }
    // The end marker is compared as a whole, so that the bytes of a last
    // sample just before it cannot swallow part of it; anything else is
    // dropped one byte at a time until the stream is back in step.
    for (int i = 0; i < 4; ++i) {
        if (m_port->byteAt(i) != kStreamEndMarker[i]) {
            m_port->takeByte();
            return;
        }
    }
    m_port->takeBytes(4);
    m_parserState = 4;
    Q_EMIT dataReset();
}

void Device::parseStreamSample()
{
    m_port->takeByte();
    const int v = int(takeBigEndian(2));
    Q_EMIT setBarValue(65535 - v);
    const double x = double(m_pointCounter) * 500.0 / 12.5 / double(m_divisor) * 1000.0;
    Q_EMIT dataRecieved(v, 0, x, kProfileBatch);
    ++m_pointCounter;
}

void Device::parseStreamStart()
{
    if (m_port->takeByte() != 'S')
        return;
    if (m_port->takeByte() != 'T')
        return;
    m_pointCounter = 0;
    m_divisor = takeDivisor("stream");
    m_parserState = 2;
}

void Device::parseBlockCount()
{
    m_blockCount = int(takeBigEndian(3));
    m_parserState = 5;
}

void Device::parseBlockScale()
{
    m_port->takeBytes(3);
    m_blockScale = int(takeLittleEndian(3));
    m_parserState = 6;
}

void Device::parseBlockHeader()
{
    m_divisor = takeDivisor("block");
    m_port->takeBytes(2);
    m_blockLength = (m_blockCount / 8 - 513) * 2;
    m_blockBytesRead = 0;
    m_pointCounter = 0;
    if (m_blockLength <= 0) {
        qDebug() << "Empty sample block, count" << m_blockCount;
        endProfileTrace();
        return;
    }
    m_blockLeadInPending = true;
    m_parserState = 7;
}

void Device::parseSampleBlock()
{
    // The block may arrive in several chunks: its lead-in is skipped once,
    // then every whole sample that has arrived is read.
    if (m_blockLeadInPending) {
        m_port->takeBytes(2);
        m_blockLeadInPending = false;
    }
    while (m_blockBytesRead < m_blockLength && m_port->bytesAvailable() >= 2) {
        const double v = takeBigEndian(2);
        const double probe = v * double(m_blockScale) * 1e-8;
        const double x = double(m_pointCounter) / double(m_divisor) * 1000.0;
        Q_EMIT dataRecieved(probe, 0, x, kBlockBatch);
        ++m_pointCounter;
        m_blockBytesRead += 2;
    }
    if (m_blockBytesRead >= m_blockLength)
        endProfileTrace();
}

void Device::endProfileTrace()
{
    m_parserState = 1;
    Q_EMIT pushButtonStopTrace();
    endTracing(TraceWhole);
}

void Device::parseCalibrationText()
{
    const QByteArray bytes = m_port->takeBytes(unsigned(m_port->bytesAvailable()));
    qDebug() << QString::fromUtf8(bytes);
    // The end of the calibration may be split across two arrivals, so the
    // end of the previous arrival is searched together with this one.
    const QByteArray searched = m_calibrationTail + bytes;
    if (searched.contains(kCalibrationEnd)) {
        m_calibrationTail.clear();
        m_parserState = 1;
        setTraceLength(Settings::instance().trace_length);
        return;
    }
    m_calibrationTail = searched.right(kCalibrationEnd.size() - 1);
}

void Device::parseParamsHeader()
{
    for (int i = 0; i < 3; ++i) {
        if (m_port->takeByte() != 'A') {
            if (++m_paramsRetries > kParamsHeaderRetries) {
                m_parserState = 11;
                m_pointCounter = 0;
            }
            return;
        }
    }
    m_parserState = 10;
}

void Device::parseDeviceParams()
{
    qint32 p[30];
    for (int i = 0; i < 30; ++i) {
        p[i] = qint32(takeLittleEndian(4));
        qDebug().noquote() << QStringLiteral("Param_%1: %2").arg(i).arg(p[i]);
    }
    m_parserState = 11;

    // The record is taken whole or not at all.
    const double x = p[0] / 1000000.0;
    const double y = p[1] / 1000000.0;
    qDebug() << "x_axis_compression_ratio: " << x;
    qDebug() << "y_axis_compression_ratio: " << y;
    auto inRange = [](double ratio) { return ratio >= 0.95 && ratio <= 1.05; };
    if (!inRange(x) || !inRange(y)) {
        qDebug() << "Device parameters out of range, not taken";
        return;
    }
    Settings &settings = Settings::instance();
    settings.x_axis_compression_ratio = x;
    settings.y_axis_compression_ratio = y;
    settings.displacement_coefficient = p[2] / 1000000.0;
    settings.rack_prpendicular = p[3] / 100.0;
    settings.save();
}

bool Device::isPointValid(int probe, int console, int x, int maxX)
{
    return probe <= kPointLimit && console >= kMinConsoleHeight && x <= kPointLimit && x >= maxX;
}

void Device::parseContourRecord(bool demo)
{
    if (m_port->takeByte() != kSampleStart)
        return;
    m_probeHeight = qint32(takeLittleEndian(4));
    m_consoleHeight = qint32(takeLittleEndian(4));
    m_xPosition = int(takeLittleEndian(3));
    const int status = m_port->takeByte();
    const int alarm = m_port->takeByte();

    if ((alarm == 10 || alarm == 110) && status == 109)
        send("CA");

    if (!demo) {
        if (alarm != m_lastAlarm) {
            m_lastAlarm = alarm;
            m_lastStatus = status;
            m_forwardPoints = handleAlarm(alarm, status);
        } else if (status != m_lastStatus) {
            m_lastStatus = status;
            m_forwardPoints = handleAlarm(alarm, status);
        }
    } else {
        runDemoStep(alarm);
        if (alarm != m_lastAlarm) {
            m_lastAlarm = alarm;
            m_lastStatus = status;
            handleDemoAlarm(alarm);
        } else if (status != m_lastStatus) {
            m_lastStatus = status;
        }
    }

    const bool valid = isPointValid(m_probeHeight, m_consoleHeight, m_xPosition, m_pointCounter);
    Q_EMIT setBarValue(m_consoleHeight);
    if (valid && m_forwardPoints) {
        const double probe = m_deviceType == CONTOURPROF ? 0.0 : double(m_probeHeight);
        Q_EMIT dataRecieved(probe, m_consoleHeight, m_xPosition, kContourBatch);
    }
    // A record that fails the test (a glitch far beyond the trace) must not
    // hold back every later point.
    if (valid && m_xPosition > m_pointCounter)
        m_pointCounter = m_xPosition;
}
