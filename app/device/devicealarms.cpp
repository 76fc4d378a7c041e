// Reactions to the status and alarm bytes of contour records, the progress
// texts of the instrument's calibration and circle search, and the
// demonstration cycle that retraces the span of a first trace without end.

#include "device/device.h"

#include <QDebug>
#include <cstdlib>

bool Device::handleAlarm(int alarm, int status)
{
    qDebug() << "ALARM BYTE: " << alarm << " Status: " << status;
    switch (alarm) {
    case 0:
        Q_EMIT normalStatus();
        return false;
    case 1:
    case 101:
        send("CA");
        Q_EMIT pushButtonStopTrace();
        return false;
    case 2:
    case 102:
        Q_EMIT pushButtonStartTrace();
        return true;
    case 3:
    case 103:
        Q_EMIT needCalibration();
        return false;
    case 4:
        send("CA");
        endTracing(TraceCrashed);
        Q_EMIT crashDevice();
        return false;
    case 5:
    case 7:
    case 9:
    case 105:
    case 107:
    case 108:
    case 109:
        Q_EMIT prepareTrace();
        return false;
    case 6:
    case 100:
    case 106:
        Q_EMIT prepareTrace();
        return true;
    case 8:
        circleSearchProgress(status);
        Q_EMIT prepareTrace();
        return false;
    case 10:
        calibrationProgress(status);
        Q_EMIT prepareTrace();
        return false;
    case 110:
        Q_EMIT prepareTrace();
        if (status == 109)
            send("CA");
        return false;
    default:
        return false;
    }
}

void Device::calibrationProgress(int status)
{
    QString text;
    switch (status) {
    case 1:
        Q_EMIT openLoader(QStringLiteral("Идёт калибровка"));
        text = QStringLiteral("Отвод контурографа от поверхности");
        break;
    case 2:
        text = QStringLiteral("Поиск максимума показания датчика");
        break;
    case 3:
        text = QStringLiteral("Поиск минимума показания датчика");
        break;
    case 4:
        text = QStringLiteral("Настройка силы прижима иглы");
        break;
    case 5:
        text = QStringLiteral("Подвод контурографа к поверхности до касания");
        break;
    case 107:
        text = QStringLiteral("Отвод контурографа от поверхности");
        break;
    case 108:
        text = QStringLiteral("Опускание контурографа до центра диапазона датчика");
        break;
    case 109:
        text = QStringLiteral("Калибровка завершена");
        break;
    default:
        text = QStringLiteral("Калибровка датчика");
        break;
    }
    Q_EMIT setStatusProgressBar(status * 100 / 109, text);
}

void Device::circleSearchProgress(int status)
{
    QString text;
    if (status > 94) {
        text = QStringLiteral("Перемещение на центр");
    } else {
        if (status == 1)
            Q_EMIT openLoader(QStringLiteral("Идёт поиск минимума"));
        text = QStringLiteral("Поиск центра окружности");
    }
    Q_EMIT setStatusProgressBar(status, text);
}

void Device::handleDemoAlarm(int alarm)
{
    qDebug() << "ALARM BYTE: " << alarm;
    if (alarm == 1) {
        send("CA");
        Q_EMIT pushButtonStopTrace();
        // Only the end of a trace starts the return: before the first trace
        // no span is known, and restarting from there would start and stop
        // for ever.
        if (m_demoStep == 0 || m_demoStep == 3)
            m_demoStep = 1;
    } else if (alarm == 0) {
        Q_EMIT normalStatus();
    } else if (alarm >= 5 && alarm <= 9) {
        Q_EMIT prepareTrace();
    }
}

void Device::runDemoStep(int alarm)
{
    switch (m_demoStep) {
    case -1:
        if (alarm == 2) {
            Q_EMIT pushButtonStartTrace();
            m_forwardPoints = true;
            m_demoStep = 0;
        }
        break;
    case 0:
        demoTrackExtremes();
        break;
    case 1: {
        const double highest = m_demoExtremes[2][0];
        const double lowest = m_demoExtremes[3][0];
        const double threshold = highest + 0.1 * std::abs(highest - lowest);
        if (m_probeHeight < threshold) {
            moveZ(1);
            break;
        }
        moveZ(0);
        if (m_xPosition > m_demoExtremes[0][0]) {
            moveX(-1);
            break;
        }
        moveX(0);
        Q_EMIT deleteAllTrace();
        m_demoStep = 2;
        break;
    }
    case 2:
        Q_EMIT pushButtonStartTrace();
        m_forwardPoints = true;
        m_demoStep = 3;
        break;
    case 3:
        m_demoStep = demoCheckEnd();
        break;
    default:
        break;
    }
}

void Device::demoTrackExtremes()
{
    const int x = m_xPosition;
    const int console = m_consoleHeight;
    const int probe = m_probeHeight;
    if (x < m_demoExtremes[0][0])
        m_demoExtremes[0] = { x, console, probe };
    if (x > m_demoExtremes[1][0])
        m_demoExtremes[1] = { x, console, probe };
    if (probe > m_demoExtremes[2][0])
        m_demoExtremes[2][0] = probe;
    if (probe < m_demoExtremes[3][0])
        m_demoExtremes[3][0] = probe;
}

int Device::demoCheckEnd()
{
    if (m_xPosition < m_demoExtremes[1][0])
        return 3;
    send("CA");
    Q_EMIT pushButtonStopTrace();
    return 1;
}
