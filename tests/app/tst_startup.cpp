#include "support/testmain.h"

#include "mainwindow.h"
#include "settings/common.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

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
