#pragma once

#include "dataproviders/dataprovider.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <memory>

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
class DeviceDataProvider : public DataProvider {
    Q_OBJECT

public:
    // The device is not owned and must outlive the provider.
    explicit DeviceDataProvider(Device *device);
    // Stops the worker's wait and returns once the worker has finished.
    ~DeviceDataProvider() override;

    // Points appended since the start or the last restart (GUI thread).
    int pointCount() const { return m_pointCount; }

    static constexpr int kPollIntervalMs = 500;

protected:
    void prepare() override;
    bool obtainData() override;

private Q_SLOTS:
    void onDataRecieved(double probeHight, double consoleHight, double xpos, int kBatchNotificationSize);
    void onDataReset();
    void prepareTrace();

private:
    QPointer<Device> device;
    std::shared_ptr<const std::atomic_bool> m_tracing;
    int m_pointCount = 0;
    QMetaObject::Connection dataConnection;
    std::atomic_bool waiting { false };
    // Set once by the destructor. The worker may reach its wait only after
    // the destructor has cleared waiting (it may even run on the deleting
    // thread), so it tests this flag too.
    std::atomic_bool m_stopping { false };
    std::atomic_bool m_prepared { false };
};
