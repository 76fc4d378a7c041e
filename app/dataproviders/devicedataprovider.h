#pragma once

#include "dataproviders/dataprovider.h"
#include "device/device.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

// The trace being measured by the instrument. To a window it behaves like a
// file provider; but the points are appended on the GUI thread as the
// instrument object reports them, and the worker only waits until the
// instrument has ended the trace, then post-processes it.
//
// A provider follows one reading of the instrument: the one under way when
// its trace is set up, so the instrument is started before the provider (the
// control panel does so). Set up with no reading under way, it ends at once
// with no points; it does not wait for a later reading. The end of the
// reading is latched on the GUI thread the moment the instrument clears its
// tracing flag, and the point feed is cut there and then, so a trace started
// right after it (by the operator or at the instrument) never adds to this
// one, however late the worker wakes.
//
// The trace is set up on the GUI thread before its first point is appended:
// at that point, when the worker asks for it or when the reading ends
// (whichever comes first, and before dataReadStarted reaches the windows).
// The worker goes on only once that is done, so the two threads never write
// the trace at the same time.
//
// The worker runs in a pool of one thread of the provider's own, not in Qt's
// global pool: it spends the whole acquisition waiting, and the pool's threads are
// left to the work that computes (reading a file, fitting a drawing). It
// sleeps on a condition that the set-up, the end of the reading and cancel()
// signal; it never polls. A profile trace cut short (the link lost, the
// instrument silent after a stop, a new trace started) before its sample
// block, which carries the measured values, has arrived is incomplete: the
// reading's result is then false.
class DeviceDataProvider : public DataProvider {
    Q_OBJECT

public:
    // The device is not owned and must outlive the provider.
    explicit DeviceDataProvider(Device *device);
    // Cancels the reading and returns once the worker has finished, which it
    // does as soon as it wakes: an abandoned trace is not post-processed.
    ~DeviceDataProvider() override;

    // Cuts the point feed and ends the worker's wait at once (GUI thread).
    void cancel() override;

    // Points appended since the start or the last restart (GUI thread).
    int pointCount() const { return m_pointCount; }
    // Whether the reading this provider follows has ended; once it has, the
    // worker only post-processes the trace and reports the end.
    bool hasEnded() const { return m_ended.load(); }
    // How the reading ended; meaningful once it has.
    Device::TraceEnd end() const { return Device::TraceEnd(m_end.load()); }
    // Whether the reading was cut short: the link was lost, the instrument
    // sent nothing after a stop, or a new trace began before it had ended.
    bool interrupted() const;

protected:
    void prepare() override;
    bool obtainData() override;
    QThreadPool *workerPool() const override { return m_workerPool.get(); }

private Q_SLOTS:
    void onDataRecieved(double probeHight, double consoleHight, double xpos, int kBatchNotificationSize);
    void onDataReset();
    void prepareTrace();

private:
    // Latches the end of the reading (GUI thread): no more points or
    // restarts reach the provider, and the worker is let go.
    void endReading(Device::TraceEnd how);
    // Wakes the worker to test its condition again.
    void wake();

    QPointer<Device> device;
    std::shared_ptr<const std::atomic_bool> m_tracing;
    int m_pointCount = 0;
    QMetaObject::Connection dataConnection;
    QMetaObject::Connection resetConnection;
    std::unique_ptr<QThreadPool> m_workerPool;
    // The worker's condition: set up, and the reading ended or cancelled.
    // Each change to it is followed by wake(), which takes m_mutex, so no
    // wake-up is lost.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic_bool m_prepared { false };
    std::atomic_bool m_ended { false };
    std::atomic_int m_end { Device::TraceStopped };
};
