#include "analysis/analisyswidget.h"

#include "algos/threadhandoff.h"
#include "dataproviders/dataprovider.h"
#include "settings/logger.h"
#include "traces/abstracttrace.h"

AnalisysWidget::AnalisysWidget(const QString &name)
    : QMainWindow(nullptr)
    , m_name(name)
{
    qRegisterMetaType<DataSaveFormat>("DataSaveFormat");
}

AnalisysWidget::~AnalisysWidget()
{
    if (m_dataProvider) {
        disconnect(m_dataProvider, nullptr, this, nullptr);
        // The worker may still be filling a trace the window's children own;
        // it is told to end first, so that the wait is short.
        m_dataProvider->cancel();
        m_dataProvider->waitForFinished();
        delete m_dataProvider;
    }
}

void AnalisysWidget::setDataProvider(DataProvider *provider)
{
    if (m_dataProvider == provider)
        return;
    if (m_dataProvider) {
        // Nothing the old provider emits or has queued reaches the window
        // any more; its worker may still run, so it goes once it has ended.
        disconnect(m_dataProvider, nullptr, this, nullptr);
        m_dataProvider->deleteWhenFinished();
    }
    m_dataProvider = provider;
    if (!provider)
        return;
    // Each signal reaches the window's slot only while its provider is the
    // current one: a call the old provider queued before it was replaced is
    // dropped (disconnecting does not withdraw calls already queued). The
    // slots still see the provider as their sender.
    connect(provider, &DataProvider::dataReadStarted, this, [this, provider] {
        takeOver(provider);
        if (provider == m_dataProvider)
            dataReadStarted();
    });
    connect(provider, &DataProvider::dataReadFinished, this, [this, provider] {
        takeOver(provider);
        if (provider == m_dataProvider)
            dataReadFinished();
    });
    connect(provider, &DataProvider::dataBatchReady, this, [this, provider](int from, int count) {
        takeOver(provider);
        if (provider == m_dataProvider)
            dataBatchReady(from, count);
    });
    connect(provider, &DataProvider::dataReset, this, [this, provider] {
        takeOver(provider);
        if (provider == m_dataProvider)
            dataReset();
    });
    connect(provider, &DataProvider::dataReadError, this, [this, provider](const QString &error) {
        takeOver(provider);
        if (provider == m_dataProvider)
            dataReadError(error);
    });
}

bool AnalisysWidget::startReading(unsigned traceType)
{
    if (!m_dataProvider)
        return false;
    AbstractTrace *trace = makeTrace(traceType);
    if (!trace) {
        logger.log(Logger::WARNING, "No trace made for trace type " + std::to_string(traceType));
        return false;
    }
    m_dataProvider->start(trace);
    return true;
}

AbstractTrace *AnalisysWidget::makeTrace(unsigned traceType)
{
    Q_UNUSED(traceType)
    return nullptr;
}
