#pragma once

#include "dataproviders/readingsettings.h"

#include <QFuture>
#include <QObject>
#include <QString>
#include <atomic>

class AbstractTrace;
class QThreadPool;

// The source that fills one trace (a trace file or the instrument). start()
// runs the reading on a worker of Qt's global thread pool, or of the pool a
// provider names for itself; progress reaches the windows through the five
// signals, queued into their thread.
//
// From start() until dataReadFinished has been delivered the trace belongs to
// the provider: other code reads only the raw values of points announced by
// dataBatchReady, through AbstractTrace::rawPoints(), and changes nothing.
// The provider must outlive its worker: an owner deletes it only after
// dataReadFinished has been delivered, or after waitForFinished().
class DataProvider : public QObject {
    Q_OBJECT

public:
    explicit DataProvider(const QString &name);
    ~DataProvider() override;

    // Stores the trace (not owned; must not be null), copies the settings the
    // reading needs and sets the trace up (both on the calling thread, the
    // GUI thread), then starts the worker. Returns at once.
    void start(AbstractTrace *trace);

    QString name() const { return m_name; }
    // What the last obtainData() returned; false until then, and false for a
    // reading that an exception ended.
    bool result() const { return m_result.load(); }
    // Whether an exception ended the reading (out of memory, most likely):
    // dataReadError has told why, and the trace is only a part of one.
    bool failed() const { return m_failed.load(); }
    // The text of the last dataReadError, empty without one. Written by the
    // worker before the signal; read once the reading has ended.
    QString error() const { return m_error; }
    AbstractTrace *trace() const { return m_trace; }

    // Blocks until the worker has finished (returns at once when not started).
    void waitForFinished();
    // True from start() until the worker has returned.
    bool isRunning() const { return m_future.isRunning(); }
    // Tells the worker that nobody takes the trace any more: it ends as soon as
    // it can and skips the post-processing. For an owner about to wait for
    // the worker and delete the provider. The base version only marks it.
    virtual void cancel() { m_abandoned = true; }
    // Deletes the provider from its own thread's event loop once its worker
    // has returned (at the next pass when it never started or has ended).
    // For an owner that lets go of a provider whose reading may still run.
    void deleteWhenFinished();

Q_SIGNALS:
    void dataReadStarted();
    void dataBatchReady(int from, int count);
    void dataReadFinished();
    void dataReadError(QString s);
    void dataReset();

protected:
    // Sets up on the thread that starts the reading, before the worker runs,
    // what the windows read as soon as the reading starts (the trace's name
    // and file path). The base version does nothing.
    virtual void setUpTrace() { }
    // Sets the trace up before reading (worker thread): its point processors.
    virtual void prepare() = 0;
    // Fills the trace with AbstractTrace::addPoint, announcing appended points
    // in ascending, non-overlapping batches; returns true when the trace is
    // complete. On failure emits dataReadError and returns false. Must return
    // in finite time. An exception it (or the set-up and post-processing)
    // throws ends the reading as failed(): dataReadError, then
    // dataReadFinished. The base version announces an empty batch.
    virtual bool obtainData();
    // The settings copied when the reading started; the worker reads these.
    const ReadingSettings &readingSettings() const { return m_settings; }
    // Keeps the message as error() and emits dataReadError with it.
    void reportError(const QString &message);
    // Whether cancel() was called.
    bool isCancelled() const { return m_abandoned; }
    // The pool whose thread runs the worker; Qt's global pool by default. A
    // reader that spends its time waiting takes a thread of its own, so that
    // it keeps no pool thread from the work that computes.
    virtual QThreadPool *workerPool() const;

private:
    void run();

    QString m_name;
    std::atomic_bool m_result { false };
    std::atomic_bool m_abandoned { false };
    std::atomic_bool m_failed { false };
    QString m_error;
    ReadingSettings m_settings;
    bool m_started = false;
    AbstractTrace *m_trace = nullptr;
    QFuture<void> m_future;
};
