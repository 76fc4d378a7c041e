#include "tracememory.h"

#include "support/sanitized.h"

#include "tracelist.h"
#include "traces/paramsmap.h"
#include "traces/profiletrace.h"

#include <QApplication>
#include <QtTest>

#include <atomic>
#include <cstdlib> // defines __GLIBC__ where the C library is glibc
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/resource.h>
#endif

namespace {

// The resident size of the process in MB, from /proc/self/status.
double residentMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::atof(line.c_str() + 6) / 1024;
    }
    return 0;
}

// A profile trace of a million points, as the test lists three of them.
ProfileTrace *millionPointTrace(int offset)
{
    auto *trace = new ProfileTrace();
    trace->setTraceType(PROFILE);
    TData points(2);
    for (int i = 0; i < 1000000; ++i) {
        points[0].append(i * 0.1);
        points[1].append(std::sin(i * 0.01) + offset);
    }
    trace->addPoints(points);
    return trace;
}

} // namespace

// The allocator settings of the program, checked in a process that makes
// them first thing, as the program's main() does: some of them only hold for
// threads started afterwards.
class TestTraceMemory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void traceSizedBlocksComeFromTheOneHeap()
    {
#if VANTOR_SANITIZED
        QSKIP("a sanitizer's allocator takes no allocator settings");
#elif defined(__GLIBC__)
        QVERIFY(keepTraceMemory());

        // A block of trace size (a million points of one channel) comes from
        // the heap, not from a mapping of its own that would be handed back
        // to the system when the trace is freed.
        static void *volatile kept;
        const size_t mapped = mallinfo2().hblks;
        kept = std::malloc(8 << 20);
        QVERIFY(kept);
        const size_t mappedWithBlock = mallinfo2().hblks;
        std::free(kept);
        QCOMPARE(mappedWithBlock, mapped);

        // A trace freed by a reader thread that is still alive (a pool thread
        // waiting for its next job) leaves its pages to the next reader on
        // another thread: filling a block of the same size there faults in
        // (almost) no fresh page, where 8 MB of fresh pages are 2048 faults.
        const auto faultsFillingTraceBlock = [] {
            rusage before {}, after {};
            getrusage(RUSAGE_THREAD, &before);
            kept = std::malloc(8 << 20);
            std::memset(kept, 1, 8 << 20);
            getrusage(RUSAGE_THREAD, &after);
            std::free(kept);
            return after.ru_minflt - before.ru_minflt;
        };
        long second = 0;
        std::atomic_int step { 0 };
        std::thread reader([&] {
            faultsFillingTraceBlock();
            step = 1;
            while (step != 2)
                std::this_thread::yield();
        });
        while (step != 1)
            std::this_thread::yield();
        std::thread next([&] { second = faultsFillingTraceBlock(); });
        next.join();
        step = 2;
        reader.join();
        QVERIFY2(second < 256, qPrintable(QStringLiteral("%1 faults").arg(second)));
#else
        QSKIP("the C library has no allocator settings");
#endif
    }

    void lastTraceClosedHandsTheMemoryBack_data()
    {
        QTest::addColumn<bool>("closeTheList");
        QTest::newRow("the last trace removed from the list") << false;
        QTest::newRow("the list closed with its traces") << true;
    }

    // The memory the allocator keeps for the next trace goes back to the
    // system once the trace list holds no trace: three traces of a million
    // points listed and closed leave the program about as small as before,
    // within a tenth of what they took (one trace kept alive is more than
    // twice that).
    //
    // What the process makes once and keeps is made before the figure the
    // test starts from: the parameters of such a trace are computed (the
    // filter keeps the transform plans of each size for the life of the
    // process, some MB to tens of MB for 2^20 points, depending on the
    // processor's vector extensions), and a first trace list is made and
    // closed (the widgets' shared resources). Made within the measured span,
    // they would count as memory the list failed to hand back.
    void lastTraceClosedHandsTheMemoryBack()
    {
#if VANTOR_SANITIZED
        QSKIP("a sanitizer's allocator takes no allocator settings");
#elif defined(__GLIBC__)
        QFETCH(bool, closeTheList);
        {
            std::unique_ptr<ProfileTrace> once(millionPointTrace(0));
            ExtraArgs args;
            recalcAllParams(args, once.get());
            TraceList first;
        }
        releaseTraceMemory();
        const double before = residentMb();
        auto list = std::make_unique<TraceList>();
        QList<AbstractTrace *> listed;
        for (int t = 0; t < 3; ++t) {
            AbstractTrace *trace = millionPointTrace(t);
            list->addMainTrace(trace);
            listed << trace;
        }
        const double loaded = residentMb();
        QVERIFY2(loaded - before > 40, qPrintable(QString::number(loaded - before)));

        if (closeTheList) {
            list.reset();
        } else {
            for (AbstractTrace *trace : listed)
                list->removeTrace(trace);
            QVERIFY(list->traces.isEmpty());
        }
        const double closed = residentMb();
        QVERIFY2(closed - before < (loaded - before) / 10,
            qPrintable(QStringLiteral("%1 MB before, %2 MB with the traces, %3 MB after closing them")
                           .arg(before)
                           .arg(loaded)
                           .arg(closed)));
#else
        QSKIP("the C library has no allocator settings");
#endif
    }
};

int main(int argc, char *argv[])
{
    keepTraceMemory();
    // The trace list is a widget.
    QApplication app(argc, argv);
    TestTraceMemory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tracememory.moc"
