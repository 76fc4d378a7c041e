#include "dataproviders/devicedataprovider.h"

#include "device/device.h"
#include "device/deviceport.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/processors.h"


DeviceDataProvider::DeviceDataProvider(Device *device)
    : DataProvider(QString::fromStdString(device->port()->portName()))
    , device(device)
    , m_tracing(device->tracingFlag())
{
    dataConnection
        = connect(device, &Device::dataRecieved, this, &DeviceDataProvider::onDataRecieved, Qt::DirectConnection);
    connect(device, &Device::dataReset, this, &DeviceDataProvider::onDataReset);
    // The instrument reports a lost link before it clears its tracing flag,
    // so the mark is set before the worker can see the end.
    connect(device, &Device::deviceLost, this, [this] {
        if (m_tracing->load())
            m_interrupted = true;
    });
    connect(device, &Device::tracingEnded, this, &DeviceDataProvider::wake, Qt::DirectConnection);
}

DeviceDataProvider::~DeviceDataProvider()
{
    disconnect(dataConnection);
    cancel();
    waitForFinished();
}

void DeviceDataProvider::cancel()
{
    DataProvider::cancel();
    wake();
}

void DeviceDataProvider::wake()
{
    // Taking the lock orders the change the worker waits for (made before
    // this call) with its test of the condition.
    { const std::lock_guard<std::mutex> lock(m_mutex); }
    m_wake.notify_all();
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
    wake();
}

bool DeviceDataProvider::obtainData()
{
    {
        // The GUI thread sets the trace up at its next pass of the event
        // loop; the trace ends when the instrument clears its tracing flag.
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return isCancelled() || (m_prepared && !m_tracing->load()); });
    }
    // Once the instrument has ended the trace the GUI thread appends no more
    // points (it tests the flag first); cutting the feed makes that final.
    if (dataConnection)
        disconnect(dataConnection);
    // A profile trace holds measured values only once its sample block has
    // arrived; a link lost before then leaves the live samples, raw counts.
    const int kind = trace()->traceType;
    return !(m_interrupted && isProfileTraceKind(kind));
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
