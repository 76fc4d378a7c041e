#include "dataproviders/devicedataprovider.h"

#include "device/deviceport.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/processors.h"

#include <QThreadPool>

DeviceDataProvider::DeviceDataProvider(Device *device)
    : DataProvider(QString::fromStdString(device->port()->portName()))
    , device(device)
    , m_tracing(device->tracingFlag())
    , m_workerPool(std::make_unique<QThreadPool>())
{
    m_workerPool->setMaxThreadCount(1);
    dataConnection
        = connect(device, &Device::dataRecieved, this, &DeviceDataProvider::onDataRecieved, Qt::DirectConnection);
    resetConnection = connect(device, &Device::dataReset, this, &DeviceDataProvider::onDataReset);
    connect(device, &Device::tracingEnded, this, &DeviceDataProvider::endReading, Qt::DirectConnection);
}

DeviceDataProvider::~DeviceDataProvider()
{
    cancel();
    waitForFinished();
}

void DeviceDataProvider::cancel()
{
    disconnect(dataConnection);
    disconnect(resetConnection);
    DataProvider::cancel();
    wake();
}

bool DeviceDataProvider::interrupted() const
{
    if (!m_ended)
        return false;
    const Device::TraceEnd how = end();
    return how == Device::LinkLost || how == Device::NoAnswer || how == Device::TraceRestarted;
}

void DeviceDataProvider::wake()
{
    // Taking the lock orders the change the worker waits for (made before
    // this call) with its test of the condition.
    { const std::lock_guard<std::mutex> lock(m_mutex); }
    m_wake.notify_all();
}

void DeviceDataProvider::endReading(Device::TraceEnd how)
{
    if (m_ended)
        return;
    m_end = how;
    m_ended = true;
    disconnect(dataConnection);
    disconnect(resetConnection);
    // A reading that ended before its trace was set up: the set-up is done
    // here, so the worker can finish without another pass of this thread.
    if (!m_prepared)
        prepareTrace();
    wake();
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
    const ReadingSettings &s = readingSettings();
    switch (t->traceType) {
    case CONTOUR:
    case CONTOURPROF:
        t->setTraceType(t->traceType);
        if (auto *contour = dynamic_cast<ContourTrace *>(t))
            contour->needle_pressing = s.needlePressing;
        t->addPointProcessor(std::make_shared<ContourConversionPointProcessor>(s.calibration));
        break;
    case PROFILE:
    case ADDITIONAL_TRACE:
        t->setTraceType(t->traceType);
        break;
    default:
        break;
    }
    m_prepared = true;
    // Set up with no reading under way: there is nothing to wait for.
    if (!m_tracing->load())
        endReading(Device::TraceStopped);
    wake();
}

bool DeviceDataProvider::obtainData()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return isCancelled() || (m_prepared && m_ended); });
    }
    if (isCancelled())
        return false;
    // A profile trace holds measured values only once its sample block has
    // arrived; a reading cut short before then leaves the live samples, raw
    // counts.
    const int kind = trace()->traceType;
    return !(interrupted() && isProfileTraceKind(kind));
}

void DeviceDataProvider::onDataRecieved(double probeHight, double consoleHight, double xpos, int kBatchNotificationSize)
{
    if (m_ended || !m_tracing->load() || !trace())
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
    if (m_ended || !m_tracing->load())
        return;
    m_pointCount = 0;
    Q_EMIT dataReset();
}
