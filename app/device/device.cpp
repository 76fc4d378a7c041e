#include "device/device.h"

#include "device/devicecommands.h"
#include "device/deviceport.h"
#include "settings/common.h"
#include "settings/logger.h"

#include <QDebug>
#include <QTimer>

namespace {

// Smallest x, largest x, highest and lowest probe reading of the
// demonstration cycle, before anything was seen.
QList<QList<int>> initialDemoExtremes()
{
    return { { 1000000000, 0, 0 }, { 0, 0, 0 }, { -1000000000 }, { 1000000000 } };
}

} // namespace

const QMap<int, QString> kSpeedNames = {
    { 0, QStringLiteral("0.25 мм/c") },
    { 1, QStringLiteral("0.50 мм/c") },
    { 2, QStringLiteral("1.00 мм/c") },
    { 3, QStringLiteral("2.00 мм/c") },
};

Device::Device()
    : m_deviceType(Settings::instance().device_type)
    , m_powerPressing(Settings::instance().power_pressing)
    , m_needlePressing(Settings::instance().needlePressing())
    , m_tracing(std::make_shared<std::atomic_bool>(false))
    , m_demoExtremes(initialDemoExtremes())
    , m_port(new DevicePort)
    , m_answerTimer(new QTimer(this))
{
    m_answerTimer->setSingleShot(true);
    m_answerTimer->setInterval(kStopAnswerTimeoutMs);
    connect(m_answerTimer, &QTimer::timeout, this, &Device::onNoAnswer);
    connect(m_port, &DevicePort::parseIncomingData, this, &Device::parseIncomingData, Qt::DirectConnection);
    connect(m_port, &DevicePort::portLost, this, &Device::onPortLost, Qt::DirectConnection);
    connect(m_port, &DevicePort::portOpened, this, &Device::openDevice, Qt::DirectConnection);
}

Device::~Device()
{
    m_port->disconnect(this);
    delete m_port;
}

E_ANALISIS_TYPE Device::type()
{
    if (m_deviceType >= CONTOUR && m_deviceType <= ADDITIONAL_TRACE)
        return E_ANALISIS_TYPE(m_deviceType);
    return CONTOUR;
}

void Device::send(const std::string &command)
{
    m_port->write(command);
}

void Device::openDevice()
{
    m_parserState = 0;
    identify();
    Q_EMIT deviceOpened();
}

void Device::identify()
{
    if (m_port->isOpen())
        send("CP");
    else
        Q_EMIT deviceLost();
}

void Device::startTracing()
{
    // A reading that has not ended yet (a profile trace waiting for its
    // sample block) ends here, so that its reader never takes the next
    // trace's points for its own.
    endTracing(TraceRestarted);
    m_tracing->store(true);
}

void Device::endTracing(TraceEnd how)
{
    m_answerTimer->stop();
    if (m_tracing->exchange(false))
        Q_EMIT tracingEnded(how);
}

void Device::onNoAnswer()
{
    if (!tracing())
        return;
    logger.log(Logger::WARNING,
        "The instrument sent nothing for " + std::to_string(kStopAnswerTimeoutMs)
            + " ms after the stop; the trace is ended without its data");
    // Whatever arrives late is not taken for the rest of a trace.
    m_parserState = 1;
    Q_EMIT pushButtonStopTrace();
    endTracing(NoAnswer);
}

void Device::onPortLost()
{
    Q_EMIT deviceLost();
    if (tracing()) {
        Q_EMIT pushButtonStopTrace();
        endTracing(LinkLost);
    }
    m_parserState = 0;
}

void Device::initDevice()
{
    sendInitCommands();
    Q_EMIT newDeviceType(m_deviceType);
    Settings::instance().device_type = m_deviceType;
    Settings::instance().save();
}

void Device::sendInitCommands()
{
    // Far outside any alarm or status byte, so the first contour record
    // always counts as a change.
    m_lastAlarm = 1000000;
    m_lastStatus = 1000000;
    m_pointCounter = 0;
    m_demoStep = -1;
    m_forwardPoints = false;

    send("CM");
    const Settings &settings = Settings::instance();
    changePresingPower(settings.needlePressing(), settings.power_pressing);
    m_demoExtremes = { { 1000000000, 0, 0 }, { 0, 0, 0 }, { -1000000000 }, { 1000000000 } };
    m_divisor = 1;
    if (m_deviceType == PROFILE) {
        send("Cq");
        setFilter(settings.filterIndex());
        setTraceLength(settings.trace_length);
    }
    setSpeed(settings.speedIndex());
}

void Device::moveX(int val)
{
    send(val == 0 ? "DX0" : val < 0 ? "DX+" : "DX-");
}

void Device::moveY(int val)
{
    send(val == 0 ? "DY0" : val < 0 ? "DY-" : "DY+");
}

void Device::moveZ(int val)
{
    send(val == 0 ? "DZ0" : val < 0 ? "DZ-" : "DZ+");
}

void Device::autoMinMaxCalib()
{
    logger.log(Logger::INFO, "autoMaxCalib");
    send("CV");
}

void Device::calibration()
{
    logger.log(Logger::INFO, "Calibration");
    if (m_deviceType == PROFILE) {
        m_parserState = 8;
        m_calibrationTail.clear();
        send(DeviceCommands::calibrationCommand(Settings::instance().calibration_Ra_value));
    } else {
        send("CK");
    }
}

void Device::startTrace(bool trace_started)
{
    qDebug() << "trace_started: " << trace_started;
    logger.log(Logger::INFO, "startTrace");
    if (trace_started)
        startTracing();
    m_pointCounter = 0;
    const Settings &settings = Settings::instance();
    switch (settings.device_type) {
    case CONTOUR:
    case CONTOURPROF:
        switch (settings.measurement_mode) {
        case 0:
        case 2:
            send("CS");
            break;
        case 1:
            send("Cs");
            break;
        case 3:
            send("CL");
            break;
        default:
            break;
        }
        break;
    case PROFILE:
    case ADDITIONAL_TRACE:
        send("CS");
        if (trace_started)
            m_parserState = 3;
        break;
    default:
        break;
    }
    if (!trace_started)
        endTracing(TraceStopped);
}

void Device::startTrace()
{
    startTrace(true);
}

void Device::stopTrace()
{
    if (!tracing())
        return;
    logger.log(Logger::INFO, "stopTrace");
    send("CC");
    if (Common::isProfileDevice(Settings::instance().device_type)) {
        // A profile trace ends when its sample block has arrived; an
        // instrument that sends nothing at all does not keep it running.
        send("CV");
        m_answerTimer->start();
    } else {
        send("CA");
        endTracing(TraceStopped);
    }
}

void Device::setSpeed(int spd)
{
    logger.log(Logger::INFO, "setspeed with value " + std::to_string(spd));
    send((m_deviceType == PROFILE ? "PS" : "SX") + std::to_string(spd));
}

void Device::changePresingPower(MovementSettings::E_NEEDLE_PRESSING needle_pressing, int power_pressing)
{
    if (needle_pressing == m_needlePressing && power_pressing == m_powerPressing)
        return;
    m_needlePressing = needle_pressing;
    m_powerPressing = power_pressing;
    const std::string command
        = std::string("P") + (needle_pressing == MovementSettings::DOWN ? "d" : "u") + std::to_string(power_pressing);
    logger.log(Logger::INFO, "changePresingPower to value: " + command);
    send(command);
    Settings &settings = Settings::instance();
    settings.power_pressing = power_pressing;
    settings.needle_pressing = needle_pressing;
    settings.save();
}

void Device::changeResolutionScaling() { }

void Device::setMMPerRotation(double value)
{
    send(DeviceCommands::mmPerRotationCommand(value));
}

void Device::setFilter(int index)
{
    send("PF" + std::to_string(index + 1));
}

void Device::setDeviceType(int type)
{
    m_deviceType = type;
    send(type == CONTOURPROF ? "PR1" : "PR0");
}

void Device::setTraceLength(int length)
{
    send(DeviceCommands::traceLengthCommand(length));
}

void Device::cancelOperation()
{
    send("CC");
    send("CA");
}

void Device::resetCalibration()
{
    send("Ke00000");
}

void Device::sendRawText(QString text)
{
    text.remove(QLatin1Char('\n'));
    send(text.toStdString());
}

void Device::uploadDeviceParams()
{
    qDebug() << "UPLOAD DATA TO CONTOUROGRAPH";
    const Settings &s = Settings::instance();
    const std::string command = DeviceCommands::uploadParamsCommand(
        s.x_axis_compression_ratio, s.y_axis_compression_ratio, s.displacement_coefficient, s.rack_prpendicular);
    qDebug() << "Device params" << s.x_axis_compression_ratio << s.y_axis_compression_ratio
             << s.displacement_coefficient << s.rack_prpendicular;
    qDebug() << "Upload size" << command.size();
    send(command);
}
