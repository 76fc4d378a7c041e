#include "dataproviders/dataprovider.h"

#include "algos/threadhandoff.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/abstracttrace.h"
#include "traces/contourtrace.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

#include <exception>
#include <new>

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
    // The worker lets no exception out; should one reach the future all the
    // same, it ends here rather than on the caller's thread, where it could
    // be thrown out of a slot or a destructor.
    try {
        m_future.waitForFinished();
    } catch (...) {
        logger.log(Logger::ERROR, "Reading of " + m_name.toStdString() + " ended by an exception");
    }
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

void DataProvider::reportError(const QString &message)
{
    m_error = message;
    Q_EMIT dataReadError(message);
}

bool DataProvider::obtainData()
{
    Q_EMIT dataBatchReady(0, 0);
    return true;
}

namespace {

// The operator's message for an exception that ended a reading: in Russian,
// naming the cause (out of memory says so).
QString exceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Недостаточно памяти для чтения трассы. Трасса не загружена.");
    } catch (const std::exception &e) {
        return QStringLiteral("Ошибка при чтении трассы: %1. Трасса не загружена.").arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("Неизвестная ошибка при чтении трассы. Трасса не загружена.");
    }
}

} // namespace

void DataProvider::run()
{
    takeOver(this);
    try {
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
    } catch (...) {
        // Out of memory on a large file or a long trace, most likely: the
        // reading ends as a failed one, and the windows drop its trace.
        m_result = false;
        m_failed = true;
        // A literal needs no memory; the message naming the cause may.
        QString message = QStringLiteral("Недостаточно памяти для чтения трассы. Трасса не загружена.");
        try {
            message = exceptionMessage(std::current_exception());
            logger.log(Logger::ERROR, "Reading of " + m_name.toStdString() + " failed: " + message.toStdString());
        } catch (...) {
        }
        handOff(this);
        reportError(message);
    }
    handOff(this);
    Q_EMIT dataReadFinished();
    // What direct receivers of the notice did on this thread is handed over
    // too (the wait for the worker takes it over).
    handOff(this);
}
