#include "dataproviders/dataprovider.h"

#include "algos/threadhandoff.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/contourtrace.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

DataProvider::DataProvider(const QString &name)
    : m_name(name)
{
}

DataProvider::~DataProvider()
{
    takeOver(this);
}

void DataProvider::start(AbstractTrace *trace)
{
    Q_ASSERT_X(trace != nullptr, "DataProvider::start", "trace != nullptr");
    // A provider fills one trace once.
    if (!trace || m_started)
        return;
    m_trace = trace;
    m_started = true;
    m_settings = ReadingSettings::fromSettings(Settings::instance());
    setUpTrace();
    handOff(this);
    m_future = QtConcurrent::run(workerPool(), this, &DataProvider::run);
}

QThreadPool *DataProvider::workerPool() const
{
    return QThreadPool::globalInstance();
}

void DataProvider::waitForFinished()
{
    m_future.waitForFinished();
    takeOver(this);
}

void DataProvider::deleteWhenFinished()
{
    if (!m_started) {
        deleteLater();
        return;
    }
    // The watcher reports the end even of a future that has already ended.
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, &QObject::deleteLater);
    watcher->setFuture(m_future);
}

bool DataProvider::obtainData()
{
    Q_EMIT dataBatchReady(0, 0);
    return true;
}

void DataProvider::run()
{
    takeOver(this);
    prepare();
    handOff(this);
    Q_EMIT dataReadStarted();
    m_result = obtainData();
    // A failed read still leaves a consistent (partial or empty) trace;
    // an abandoned one is left as it is, nobody takes it.
    if (!m_abandoned) {
        m_trace->applyPostProcessors();
        // The contour steps are those of the reading's start.
        if (auto *contour = dynamic_cast<ContourTrace *>(m_trace))
            contour->processData(m_settings.steps);
        else
            m_trace->processData();
    }
    handOff(this);
    Q_EMIT dataReadFinished();
    // What direct receivers of the notice did on this thread is handed over
    // too (the wait for the worker takes it over).
    handOff(this);
}
