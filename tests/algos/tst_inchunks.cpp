#include "algos/inchunks.h"
#include "support/testmain.h"

#include <QtTest>

#include <array>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

class TestInChunks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void throwingChunks_data();
    void throwingChunks();
};

void TestInChunks::throwingChunks_data()
{
    QTest::addColumn<QVector<int>>("throwing");
    QTest::addColumn<QString>("delivered");

    QTest::newRow("the calling thread's chunk") << QVector<int> { 0 } << "chunk 0";
    QTest::newRow("a chunk on the pool") << QVector<int> { 3 } << "chunk 3";
    // Chunk 3 throws at once, chunk 1 after the others have slept: the
    // lowest chunk's exception comes back, whichever was thrown first.
    QTest::newRow("two chunks, the lowest one's comes back") << QVector<int> { 1, 3 } << "chunk 1";
    QTest::newRow("every chunk") << QVector<int> { 0, 1, 2, 3 } << "chunk 0";
}

// A chunk that throws leaves the pass by its exception, but only once every
// other run has ended: they use the pass's work and frame. The runs that did
// not throw take their time, so a pass that left early would find them
// unfinished. The chunks only record what they were given (a check on a pool
// thread could not fail the test); it is checked here, on the test's thread.
void TestInChunks::throwingChunks()
{
    QFETCH(QVector<int>, throwing);
    QFETCH(QString, delivered);
    constexpr int kChunks = 4;
    std::array<std::atomic_int, kChunks> entered {};
    std::array<std::atomic_bool, kChunks> ended {};
    std::array<std::atomic_int, kChunks> firsts {}, lasts {};
    QString caught;
    try {
        Algos::forEachChunk(4000, kChunks, [&](int chunk, int first, int last) {
            ++entered[size_t(chunk)];
            firsts[size_t(chunk)] = first;
            lasts[size_t(chunk)] = last;
            if (throwing.contains(chunk)) {
                if (chunk == 1)
                    std::this_thread::sleep_for(std::chrono::milliseconds(60));
                throw std::runtime_error("chunk " + std::to_string(chunk));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ended[size_t(chunk)] = true;
        });
    } catch (const std::runtime_error &e) {
        caught = QString::fromStdString(e.what());
    }
    QCOMPARE(caught, delivered);
    for (int c = 0; c < kChunks; ++c) {
        QCOMPARE(entered[size_t(c)].load(), 1);
        QCOMPARE(ended[size_t(c)].load(), !throwing.contains(c));
        // Consecutive, non-empty runs that cover the items 0 … 3999.
        QVERIFY(firsts[size_t(c)].load() < lasts[size_t(c)].load());
        QCOMPARE(firsts[size_t(c)].load(), c == 0 ? 0 : lasts[size_t(c - 1)].load());
    }
    QCOMPARE(lasts[kChunks - 1].load(), 4000);
}

VANTOR_TEST_MAIN(TestInChunks)
#include "tst_inchunks.moc"
