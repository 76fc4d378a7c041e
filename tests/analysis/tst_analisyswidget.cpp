#include "support/testmain.h"

#include "analysis/analisyswidget.h"
#include "dataproviders/dataprovider.h"
#include "support/testtrace.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QSemaphore>
#include <memory>

namespace {

// A provider whose worker announces one batch, then waits until the test
// lets it go, optionally reports an error, and ends.
class GatedProvider : public DataProvider {
public:
    explicit GatedProvider(const QString &error = QString())
        : DataProvider(QStringLiteral("gated"))
        , m_error(error)
    {
    }
    ~GatedProvider() override { ++destroyed; }

    QSemaphore gate;
    static int destroyed;

protected:
    void prepare() override { }
    bool obtainData() override
    {
        QVector<double> point { 1.0, 2.0 };
        trace()->addPoint(point);
        Q_EMIT dataBatchReady(0, 1);
        gate.acquire();
        if (!m_error.isEmpty()) {
            Q_EMIT dataReadError(m_error);
            return false;
        }
        return true;
    }

private:
    QString m_error;
};
int GatedProvider::destroyed = 0;

// A window that records what reaches its slots, with the sender seen.
class RecordingWindow : public AnalisysWidget {
public:
    RecordingWindow()
        : AnalisysWidget(QStringLiteral("ПРОФИЛЬ"))
    {
    }
    AbstractTrace *makeTrace(unsigned traceType) override
    {
        if (traceType > 3)
            return nullptr;
        traces.push_back(std::make_unique<TestTrace>());
        return traces.back().get();
    }
    void enterReportMode() override { }
    void leaveReportMode() override { }
    void saveReport(QWidget *) override { }
    void saveData(DataSaveFormat) override { }
    void dataReadStarted() override { record("started"); }
    void dataBatchReady(int from, int count) override { record(QStringLiteral("batch %1 %2").arg(from).arg(count)); }
    void dataReadFinished() override { record("finished"); }
    void dataReadError(QString error) override { record("error " + error); }
    void dataReset() override { record("reset"); }

    void record(const QString &what)
    {
        calls << what;
        senders << sender();
    }

    QStringList calls;
    QList<QObject *> senders;
    // Kept outside the window, as the program's traces live in child widgets
    // that go only after the base has waited for the worker.
    static std::vector<std::unique_ptr<TestTrace>> traces;
};

std::vector<std::unique_ptr<TestTrace>> RecordingWindow::traces;

} // namespace

class TestAnalisysWidget : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        GatedProvider::destroyed = 0;
        RecordingWindow::traces.clear();
    }

    void readingReachesTheSlotsInOrder()
    {
        RecordingWindow window;
        QCOMPARE(window.name(), QStringLiteral("ПРОФИЛЬ"));
        QVERIFY(!window.dataProvider());
        QVERIFY(!window.startReading(2)); // no provider yet

        auto *provider = new GatedProvider(QStringLiteral("Error in x.txt"));
        window.setDataProvider(provider);
        QCOMPARE(window.dataProvider(), provider);
        QVERIFY(window.startReading(2));
        provider->gate.release();
        QTRY_COMPARE(window.calls,
                     (QStringList { "started", "batch 0 1", "error Error in x.txt", "finished" }));
        for (QObject *s : window.senders)
            QCOMPARE(s, static_cast<QObject *>(provider));
        QCOMPARE(window.traces.front()->rawPoints(0, 1).value(0).size(), 1);
    }

    void replacedProviderNeverReachesTheWindowAndGoesOnceEnded()
    {
        RecordingWindow window;
        auto *old = new GatedProvider;
        QPointer<DataProvider> oldAlive(old);
        window.setDataProvider(old);
        QVERIFY(window.startReading(2));
        // Wait without running the event loop: the start and the batch are
        // queued for the window but not yet delivered.
        QElapsedTimer waited;
        waited.start();
        while (old->trace()->rawPoints(0, 1).value(0).isEmpty() && waited.elapsed() < 5000)
            QThread::msleep(1);
        QVERIFY(window.calls.isEmpty());

        auto *next = new GatedProvider;
        window.setDataProvider(next);
        QCoreApplication::processEvents();
        // The old worker still runs: its provider is alive and its trace intact.
        QVERIFY(oldAlive);
        QCOMPARE(GatedProvider::destroyed, 0);
        old->gate.release();
        QTRY_VERIFY(!oldAlive);
        QCOMPARE(GatedProvider::destroyed, 1);
        QVERIFY(window.calls.isEmpty());

        // The new provider's reading arrives as usual.
        QVERIFY(window.startReading(0));
        next->gate.release();
        QTRY_COMPARE(window.calls, (QStringList { "started", "batch 0 1", "finished" }));
    }

    void providerThatNeverStartedIsDeletedOnReplacement()
    {
        RecordingWindow window;
        QPointer<DataProvider> first(new GatedProvider);
        window.setDataProvider(first);
        window.setDataProvider(new GatedProvider);
        QTRY_VERIFY(!first);
    }

    void noTraceNoReading()
    {
        RecordingWindow window;
        auto *provider = new GatedProvider;
        window.setDataProvider(provider);
        QVERIFY(!window.startReading(7));
        QVERIFY(!provider->isRunning());
        // Had a reading run anyway, all it sent is queued once it has ended.
        provider->waitForFinished();
        QCoreApplication::processEvents();
        QVERIFY(window.calls.isEmpty());
    }

    void windowWaitsForItsRunningProvider()
    {
        QSemaphore *gate = nullptr;
        {
            RecordingWindow window;
            auto *provider = new GatedProvider;
            gate = &provider->gate;
            window.setDataProvider(provider);
            QVERIFY(window.startReading(2));
            QTRY_VERIFY(!provider->trace()->rawPoints(0, 1).value(0).isEmpty());
            gate->release();
        }
        QCOMPARE(GatedProvider::destroyed, 1);
    }
};

VANTOR_TEST_MAIN(TestAnalisysWidget)
#include "tst_analisyswidget.moc"
