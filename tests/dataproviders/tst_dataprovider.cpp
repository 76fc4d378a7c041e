#include "support/testmain.h"
#include "support/testtrace.h"

#include "dataproviders/dataprovider.h"

#include <QSignalSpy>
#include <atomic>
#include <functional>
#include <new>
#include <stdexcept>

namespace {

double rawY(int i)
{
    return 0.25 * i - 3;
}

// Provider with the base obtainData().
class BaseProvider : public DataProvider {
public:
    BaseProvider()
        : DataProvider("base")
    {
    }

protected:
    void prepare() override { trace()->setName(name()); }
};

// Streams `points` generated points, announcing every `batch` points, and
// fails with an error before point `failAt` when failAt >= 0.
class StreamProvider : public DataProvider {
public:
    StreamProvider(int points, int batch, int failAt = -1)
        : DataProvider("stream.txt")
        , m_points(points)
        , m_batch(batch)
        , m_failAt(failAt)
    {
    }

protected:
    void prepare() override
    {
        trace()->setName(name());
        trace()->clearPointProcessors();
        trace()->addPointProcessor(std::make_shared<ScaleY>(2));
    }

    bool obtainData() override
    {
        int announced = 0;
        for (int i = 0; i < m_points; ++i) {
            if (i == m_failAt) {
                Q_EMIT dataReadError(QStringLiteral("Ошибка чтения"));
                return false;
            }
            QVector<double> p { double(i), rawY(i) };
            trace()->addPoint(p);
            if (i + 1 - announced == m_batch) {
                Q_EMIT dataBatchReady(announced, m_batch);
                announced = i + 1;
            }
        }
        return true;
    }

private:
    int m_points;
    int m_batch;
    int m_failAt;
};

// Streams its points, then throws what it is given: an exception raised
// while reading, at the set-up or in the post-processing.
class ThrowingProvider : public StreamProvider {
public:
    enum Where { Reading, SetUp };
    ThrowingProvider(std::function<void()> raise, Where where = Reading)
        : StreamProvider(700, 500)
        , m_raise(std::move(raise))
        , m_where(where)
    {
    }

protected:
    void prepare() override
    {
        StreamProvider::prepare();
        if (m_where == SetUp)
            m_raise();
    }
    bool obtainData() override
    {
        StreamProvider::obtainData();
        m_raise();
        return true;
    }

private:
    std::function<void()> m_raise;
    Where m_where;
};

// Receives the provider's signals in the GUI thread, as a window does, and
// reads every announced batch while the worker may still be appending.
class Receiver : public QObject {
public:
    Receiver(DataProvider &provider, AbstractTrace &trace)
        : m_trace(trace)
    {
        connect(&provider, &DataProvider::dataReadStarted, this, [this] { events << "started"; });
        connect(&provider, &DataProvider::dataBatchReady, this, [this](int from, int count) {
            events << QString("batch %1 %2").arg(from).arg(count);
            checkBatch(from, count);
        });
        connect(&provider, &DataProvider::dataReadError, this, [this](const QString &s) { events << "error " + s; });
        connect(&provider, &DataProvider::dataReadFinished, this, [this] {
            events << "finished";
            finished = true;
        });
    }

    void checkBatch(int from, int count)
    {
        if (from != nextFrom)
            batchesOk = false;
        nextFrom = from + count;
        const TData points = m_trace.rawPoints(from, count);
        if (points.size() != 2 || points.at(0).size() != count || points.at(1).size() != count) {
            batchesOk = false;
            return;
        }
        for (int k = 0; k < count; ++k)
            if (points.at(0).at(k) != from + k || points.at(1).at(k) != rawY(from + k))
                batchesOk = false;
        pointsRead += count;
    }

    QStringList events;
    bool finished = false;
    bool batchesOk = true;
    int nextFrom = 0;
    int pointsRead = 0;

private:
    AbstractTrace &m_trace;
};

} // namespace

Q_DECLARE_METATYPE(std::function<void()>)

class TestDataProvider : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void construction()
    {
        BaseProvider p;
        QCOMPARE(p.name(), QStringLiteral("base"));
        QVERIFY(!p.result());
        QVERIFY(p.trace() == nullptr);
        p.waitForFinished(); // not started: returns at once
    }

    void baseReadAnnouncesAnEmptyBatch()
    {
        TestTrace trace;
        BaseProvider p;
        Receiver r(p, trace);
        QSignalSpy batches(&p, &DataProvider::dataBatchReady);
        QSignalSpy finishedSpy(&p, &DataProvider::dataReadFinished);
        p.start(&trace);
        QTRY_VERIFY_WITH_TIMEOUT(r.finished, 10000);
        p.waitForFinished();

        QCOMPARE(r.events, QStringList({ "started", "batch 0 0", "finished" }));
        QCOMPARE(batches.count(), 1);
        QCOMPARE(batches.at(0), QVariantList({ 0, 0 }));
        QCOMPARE(finishedSpy.count(), 1);
        QVERIFY(p.result());
        QCOMPARE(p.trace(), static_cast<AbstractTrace *>(&trace));
        QCOMPARE(trace.name(), QStringLiteral("base"));
        QCOMPARE(trace.finishCount, 1);
    }

    void batchesOfFiveHundred_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("1200 points") << 1200 << QStringList({ "started", "batch 0 500", "batch 500 500", "finished" });
        QTest::newRow("exactly 1000") << 1000 << QStringList({ "started", "batch 0 500", "batch 500 500", "finished" });
        QTest::newRow("below one batch") << 499 << QStringList({ "started", "finished" });
    }

    // Ranges ascend without overlap; points after the last full batch are
    // read only after the end, when post-processing has run.
    void batchesOfFiveHundred()
    {
        QFETCH(int, points);
        QFETCH(QStringList, events);
        TestTrace trace;
        trace.addPostProcessor(std::make_shared<AddY>(1));
        StreamProvider p(points, 500);
        Receiver r(p, trace);
        p.start(&trace);
        QTRY_VERIFY_WITH_TIMEOUT(r.finished, 10000);

        QCOMPARE(r.events, events);
        QVERIFY(r.batchesOk);
        QVERIFY(p.result());
        QCOMPARE(trace.name(), QStringLiteral("stream.txt"));
        QCOMPARE(trace.pointCount(), points);
        QCOMPARE(trace.finishCount, 1);
        // raw -> point processor (x2) -> post-processor (+1) -> finishing step (x10)
        const int last = points - 1;
        QCOMPARE(trace.rawData->at(1).at(last), rawY(last));
        QCOMPARE(trace.convertedData->at(1).at(last), 2 * rawY(last));
        QCOMPARE(trace.processedData->at(1).at(last), (2 * rawY(last) + 1) * 10);
    }

    void failedReadStillFinishes()
    {
        TestTrace trace;
        trace.addPostProcessor(std::make_shared<AddY>(1));
        StreamProvider p(1200, 500, 700);
        Receiver r(p, trace);
        QSignalSpy errors(&p, &DataProvider::dataReadError);
        p.start(&trace);
        QTRY_VERIFY_WITH_TIMEOUT(r.finished, 10000);
        p.waitForFinished();

        QCOMPARE(r.events, QStringList({ "started", "batch 0 500", "error Ошибка чтения", "finished" }));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Ошибка чтения"));
        QVERIFY(!p.result());
        // What was read is post-processed and finished.
        QCOMPARE(trace.pointCount(), 700);
        QCOMPARE(trace.finishCount, 1);
        QCOMPARE(trace.processedData->at(1).at(699), (2 * rawY(699) + 1) * 10);
    }

    // An exception on the worker ends the reading as a failed one: the
    // error names the cause in Russian, the end is reported, nothing is
    // post-processed, and no wait throws it into the caller's thread.
    void exceptionEndsTheReadingAsFailed_data()
    {
        QTest::addColumn<std::function<void()>>("raise");
        QTest::addColumn<int>("where");
        QTest::addColumn<QStringList>("events");
        const std::function<void()> outOfMemory = [] { throw std::bad_alloc(); };
        const QString memory = "error Недостаточно памяти для чтения трассы. Трасса не загружена.";
        QTest::newRow("out of memory while reading")
            << outOfMemory << int(ThrowingProvider::Reading)
            << QStringList { "started", "batch 0 500", memory, "finished" };
        QTest::newRow("out of memory at the set-up")
            << outOfMemory << int(ThrowingProvider::SetUp) << QStringList { memory, "finished" };
        QTest::newRow("a standard exception")
            << std::function<void()>([] { throw std::runtime_error("bad block"); }) << int(ThrowingProvider::Reading)
            << QStringList { "started", "batch 0 500",
                   "error Ошибка при чтении трассы: bad block. Трасса не загружена.", "finished" };
        QTest::newRow("anything else") << std::function<void()>([] { throw 42; }) << int(ThrowingProvider::Reading)
                                       << QStringList { "started", "batch 0 500",
                                              "error Неизвестная ошибка при чтении трассы. Трасса не загружена.",
                                              "finished" };
    }
    void exceptionEndsTheReadingAsFailed()
    {
        QFETCH(std::function<void()>, raise);
        QFETCH(int, where);
        QFETCH(QStringList, events);
        TestTrace trace;
        ThrowingProvider p(raise, ThrowingProvider::Where(where));
        Receiver r(p, trace);
        p.start(&trace);
        QTRY_VERIFY_WITH_TIMEOUT(r.finished, 10000);
        p.waitForFinished();
        p.waitForFinished();
        QCOMPARE(r.events, events);
        QVERIFY(!p.result());
        QVERIFY(p.failed());
        QCOMPARE(trace.finishCount, 0);
    }

    // The GUI thread copies every announced batch while the worker keeps
    // appending (and reallocating) behind it.
    void readsEveryBatchWhileStreaming()
    {
        const int points = 400000;
        TestTrace trace;
        StreamProvider p(points, 500);
        Receiver r(p, trace);
        QSignalSpy batches(&p, &DataProvider::dataBatchReady);
        p.start(&trace);
        QTRY_VERIFY_WITH_TIMEOUT(r.finished, 60000);
        p.waitForFinished();

        QVERIFY(r.batchesOk);
        QCOMPARE(r.pointsRead, points);
        QCOMPARE(batches.count(), points / 500);
        QCOMPARE(trace.processedData->at(1).size(), points);
    }

    void startsOnce()
    {
        TestTrace first, second;
        BaseProvider p;
        Receiver r(p, first);
        p.start(&first);
        p.start(&second);
        QTRY_VERIFY_WITH_TIMEOUT(r.finished, 10000);
        p.waitForFinished();
        QCOMPARE(p.trace(), static_cast<AbstractTrace *>(&first));
        QCOMPARE(second.finishCount, 0);
        QCOMPARE(r.events.count("finished"), 1);
    }
};

VANTOR_TEST_MAIN(TestDataProvider)
#include "tst_dataprovider.moc"
