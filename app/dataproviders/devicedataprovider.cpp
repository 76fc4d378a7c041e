#include "dataproviders/devicedataprovider.h"

#include "device/device.h"
#include "device/deviceport.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/processors.h"

#include <QThread>

DeviceDataProvider::DeviceDataProvider(Device *device)
    : DataProvider(QString::fromStdString(device->port()->portName()))
    , device(device)
    , m_tracing(device->tracingFlag())
{
    dataConnection
        = connect(device, &Device::dataRecieved, this, &DeviceDataProvider::onDataRecieved, Qt::DirectConnection);
    connect(device, &Device::dataReset, this, &DeviceDataProvider::onDataReset);
}

DeviceDataProvider::~DeviceDataProvider()
{
    m_stopping = true;
    waiting = false;
    disconnect(dataConnection);
    waitForFinished();
}

void DeviceDataProvider::prepare()
{
    // Worker thread: the set-up itself runs on the GUI thread. This call is
    // posted before dataReadStarted, so the windows see a prepared trace.
    QMetaObject::invokeMethod(this, "prepareTrace", Qt::QueuedConnection);
}

void DeviceDataProvider::prepareTrace()
{
    AbstractTrace *t = trace();
    if (m_prepared || !t)
        return;
    if (device)
        t->setName(QString::fromStdString(device->port()->portName()));
    t->clearPointProcessors();
    switch (t->traceType) {
    case CONTOUR:
    case CONTOURPROF:
        t->setTraceType(t->traceType);
        if (auto *contour = dynamic_cast<ContourTrace *>(t))
            contour->needle_pressing = Settings::instance().needlePressing();
        t->addPointProcessor(std::make_shared<ContourConversionPointProcessor>());
        break;
    case PROFILE:
    case ADDITIONAL_TRACE:
        t->setTraceType(t->traceType);
        break;
    default:
        break;
    }
    m_prepared = true;
}

bool DeviceDataProvider::obtainData()
{
    waiting = true;
    const auto keepWaiting = [this] { return waiting && !m_stopping; };
    // The GUI thread sets the trace up at its next pass of the event loop.
    while (!m_prepared && keepWaiting())
        QThread::msleep(1);
    if (m_tracing->load()) {
        while (m_tracing->load() && keepWaiting())
            QThread::msleep(kPollIntervalMs);
    }
    // Once the instrument has ended the trace the GUI thread appends no more
    // points (it tests the flag first); cutting the feed makes that final.
    if (dataConnection)
        disconnect(dataConnection);
    return true;
}

void DeviceDataProvider::onDataRecieved(double probeHight, double consoleHight, double xpos, int kBatchNotificationSize)
{
    if (!m_tracing->load() || !trace())
        return;
    if (!m_prepared)
        prepareTrace();
    QVector<double> point { xpos, probeHight, consoleHight };
    trace()->addPoint(point);
    ++m_pointCount;
    const int k = kBatchNotificationSize;
    if (k > 0 && m_pointCount % k == 0)
        Q_EMIT dataBatchReady(m_pointCount - k, k);
}

void DeviceDataProvider::onDataReset()
{
    if (!m_tracing->load())
        return;
    m_pointCount = 0;
    Q_EMIT dataReset();
}
