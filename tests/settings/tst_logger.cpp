#include "support/testmain.h"

#include "settings/logger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <fstream>

class TestLogger : public QObject
{
    Q_OBJECT

private:
    // The name of the i-th oldest log file made by makeFiles.
    static QString fileName(int i)
    {
        return QStringLiteral("2020_01_01_00_%1_%2.txt").arg(i / 60, 2, 10, QChar('0')).arg(i % 60, 2, 10, QChar('0'));
    }

    static void makeFiles(const QString &dir, int count)
    {
        QDir().mkpath(dir);
        for (int i = 0; i < count; ++i) {
            QFile f(dir + '/' + fileName(i));
            f.open(QIODevice::WriteOnly);
        }
    }

private Q_SLOTS:
    void levelNames_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("name");
        QTest::newRow("0") << 0 << "DEBUG";
        QTest::newRow("1") << 1 << "INFO";
        QTest::newRow("2") << 2 << "WARNING";
        QTest::newRow("3") << 3 << "ERROR";
        QTest::newRow("4") << 4 << "CRITICAL";
        QTest::newRow("7") << 7 << "UNKNOWN";
        QTest::newRow("-1") << -1 << "UNKNOWN";
    }
    void levelNames()
    {
        QFETCH(int, level);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(Logger::levelName(level)), name);
    }

    void processLogFileWritesFormattedLines()
    {
        // The process-wide logger opened its file under logs/ in the working directory.
        QVERIFY(logger.isOpen());
        QVERIFY(QRegularExpression("^logs/\\d{4}_\\d{2}_\\d{2}_\\d{2}_\\d{2}_\\d{2}\\.txt$")
                    .match(QString::fromStdString(logger.fileName())).hasMatch());
        logger.log(Logger::INFO, "Start Programm");
        logger.log(7, "odd level");
        QFile f(QString::fromStdString(logger.fileName()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 2);
        QVERIFY(QRegularExpression("^\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] INFO: Start Programm$")
                    .match(lines.at(lines.size() - 2)).hasMatch());
        QVERIFY(lines.last().endsWith("] UNKNOWN: odd level"));
    }

    void linesFromSeveralThreadsDoNotInterleave()
    {
        const qint64 before = QFile(QString::fromStdString(logger.fileName())).size();
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < 500; ++i)
                    logger.log(Logger::DEBUG, "thread " + std::to_string(t) + " line " + std::to_string(i));
            });
            threads.last()->start();
        }
        for (QThread *th : threads) {
            th->wait();
            delete th;
        }
        QFile f(QString::fromStdString(logger.fileName()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        f.seek(before);
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2000);
        const QRegularExpression shape("^\\[[^\\]]+\\] DEBUG: thread \\d line \\d+$");
        for (const QString &line : lines)
            QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
    }

    void rotation_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("left");
        QTest::newRow("200 files keep the newest 150") << 200 << 150;
        QTest::newRow("150 files stay") << 150 << 150;
        QTest::newRow("151 files lose one") << 151 << 150;
        QTest::newRow("empty") << 0 << 0;
    }
    void rotation()
    {
        QFETCH(int, files);
        QFETCH(int, left);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("logs");
        makeFiles(dir, files);
        QDir().mkpath(dir + "/keep_subdir");
        QFile inner(dir + "/keep_subdir/inner.txt");
        inner.open(QIODevice::WriteOnly);
        inner.close();

        Logger::rotate(dir.toStdString());

        const QStringList remaining = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(remaining.size(), left);
        if (files > left) {   // the oldest went, the newest stayed
            QCOMPARE(remaining.first(), fileName(files - left));
            QCOMPARE(remaining.last(), fileName(files - 1));
        }
        if (files == 200)
            QCOMPARE(remaining.first(), QStringLiteral("2020_01_01_00_00_50.txt"));
        // Subdirectories are neither listed nor entered.
        QVERIFY(QFile::exists(dir + "/keep_subdir/inner.txt"));
    }
};

VANTOR_TEST_MAIN(TestLogger)
#include "tst_logger.moc"
