#include "support/testmain.h"

#include "mainwindow.h"
#include "settings/common.h"
#include "tracememory.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleByDeviceType_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QString>("title");
        QTest::newRow("2") << 2 << "Профилометр модели Vantor";
        QTest::newRow("3") << 3 << "Профилометр модели Vantor";
        QTest::newRow("1") << 1 << "Ортана";
        QTest::newRow("5") << 5 << "Ортана";
    }
    void titleByDeviceType()
    {
        QFETCH(int, deviceType);
        QFETCH(QString, title);
        QCOMPARE(MainWindow::titleForDeviceType(deviceType), title);
    }

    // A block of trace size (a million points of one channel) comes from the
    // heap, not from a mapping of its own that would be handed back to the
    // system when the trace is freed.
    void traceSizedBlocksComeFromTheHeap()
    {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
        QSKIP("a sanitizer's allocator takes no allocator settings");
#elif defined(__GLIBC__)
        QVERIFY(keepTraceMemory());
        const size_t mapped = mallinfo2().hblks;
        void *block = std::malloc(8 << 20);
        QVERIFY(block);
        std::memset(block, 1, 8 << 20);
        static void *volatile kept;
        kept = block;
        const size_t mappedWithBlock = mallinfo2().hblks;
        std::free(kept);
        QCOMPARE(mappedWithBlock, mapped);
#else
        QSKIP("the C library has no allocator settings");
#endif
    }

    // The real program: it starts headless in a fresh folder, logs
    // "Start Programm" to a new file under logs/, and exits cleanly when its
    // window is closed.
    void programStartsAndStops()
    {
        const QString binary = qEnvironmentVariable("VANTOR_BINARY_DIR") + "/vantor";
        if (!QFile::exists(binary))
            QSKIP("the program is not built beside the tests");
        QTemporaryDir dir;
        QFile ini(dir.filePath("settings.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[device]\ndevice_type=5\n");
        ini.close();

        QProcess program;
        program.setWorkingDirectory(dir.path());
        program.start(binary, {"-platform", "offscreen"});
        QVERIFY(program.waitForStarted(10000));

        QString logText;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     const QStringList logs = QDir(dir.filePath("logs")).entryList(QDir::Files);
                                     if (logs.size() != 1)
                                         return false;
                                     QFile f(dir.filePath("logs/" + logs.first()));
                                     f.open(QIODevice::ReadOnly);
                                     logText = QString::fromUtf8(f.readAll());
                                     return logText.contains("INFO: Start Programm");
                                 }()),
                                 15000);

        ::kill(program.processId(), SIGTERM);   // closes the main window
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(program.readAllStandardError().indexOf("Error opening log file.") < 0);
    }
};

VANTOR_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
