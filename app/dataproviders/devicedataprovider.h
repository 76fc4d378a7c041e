#pragma once

#include "dataproviders/dataprovider.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class Device;

// The trace being measured by the instrument. To a window it behaves like a
// file provider; but the points are appended on the GUI thread as the
// instrument object reports them, and the worker only waits until the
// instrument has ended the trace, then post-processes it.
//
// The trace is set up on the GUI thread before its first point is appended:
// at that point, or when the worker asks for it (whichever comes first, and
// before dataReadStarted reaches the windows). The worker goes on only once
// that is done, so the two threads never write the trace at the same time.
//
// The worker sleeps on a condition that the set-up, the end of the trace
// (the instrument clearing its tracing flag) and cancel() signal; it never
// polls. A profile trace that ends because the link was lost, before its
// sample block (which carries the measured values) has arrived, is
// incomplete: the reading's result is then false.
class DeviceDataProvider : public DataProvider {
    Q_OBJECT

public:
    // The device is not owned and must outlive the provider.
    explicit DeviceDataProvider(Device *device);
    // Cancels the reading and returns once the worker has finished, which it
    // does as soon as it wakes: an abandoned trace is not post-processed.
    ~DeviceDataProvider() override;

    // Ends the worker's wait at once (GUI thread).
    void cancel() override;

    // Points appended since the start or the last restart (GUI thread).
    int pointCount() const { return m_pointCount; }
    // Whether the link was lost while the trace was being measured.
    bool interrupted() const { return m_interrupted.load(); }

protected:
    void prepare() override;
    bool obtainData() override;

private Q_SLOTS:
    void onDataRecieved(double probeHight, double consoleHight, double xpos, int kBatchNotificationSize);
    void onDataReset();
    void prepareTrace();

private:
    // Wakes the worker to test its condition again.
    void wake();

    QPointer<Device> device;
    std::shared_ptr<const std::atomic_bool> m_tracing;
    int m_pointCount = 0;
    QMetaObject::Connection dataConnection;
    // The worker's condition: set up, and the trace ended or the reading
    // cancelled. Each change to it is followed by wake(), which takes m_mutex,
    // so no wake-up is lost.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic_bool m_prepared { false };
    std::atomic_bool m_interrupted { false };
};
