// The reply parser: a byte-count state machine over the transport's receive
// buffer. Each state waits for the number of bytes its reply needs, then its
// handler takes them and moves the state on.

#include "device/device.h"

#include "device/deviceport.h"

#include <QDebug>

const QMap<int, int> Device::kReplyLengths = {
    { 0, kIdentificationLength }, // identification text
    { 1, 3 }, // console height
    { 2, 4 }, // profile stream sample plus one byte look-ahead
    { 3, 4 }, // profile stream start
    { 4, 3 }, // sample block count
    { 5, 6 }, // sample block scale
    { 6, 4 }, // sample block header
    { 8, 1 }, // calibration progress text
    { 9, 3 }, // parameter header
    { 10, 120 }, // device parameters
    { 11, 14 }, // contour record
};

int Device::replyLength(int state) const
{
    if (state == 7)
        return m_blockLength;
    return kReplyLengths.value(state, 0);
}

void Device::parseIncomingData()
{
    for (;;) {
        const int available = m_port->bytesAvailable();
        const int state = m_parserState;
        if (available == 0 || available < replyLength(state))
            return;
        dispatchReply();
        // A handler that took nothing and kept its state is waiting for more
        // bytes; running it again would never end.
        if (m_port->bytesAvailable() == available && m_parserState == state)
            return;
    }
}

void Device::dispatchReply()
{
    switch (m_parserState) {
    case 0:
        parseIdentification();
        break;
    default:
        break;
    }
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
