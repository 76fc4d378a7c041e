#include "support/testmain.h"

#include "settings/savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSaveFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void replacesTheFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        QVERIFY(SaveFile::write(path, QByteArray("first")));
        QVERIFY(SaveFile::write(path, QByteArray("second")));
        QCOMPARE(readFile(path), QByteArray("second"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.txt"});
    }

    void refusalsKeepTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        QVERIFY(SaveFile::write(path, QByteArray("old")));

        QString why;
        QVERIFY(!SaveFile::write(path, [](QIODevice &d) { d.write("partial"); return false; }, &why));
        QCOMPARE(readFile(path), QByteArray("old"));

        QVERIFY(!SaveFile::write(dir.filePath("missing/out.txt"), QByteArray("x"), &why));
        QVERIFY(!why.isEmpty());
    }

    // The disk refusing the data: whether the refusal comes in the middle or
    // only with the last buffered bytes, the save fails and the old file stays.
    void diskFullKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("nothing fits") << 4;
        QTest::newRow("half fits") << 50000;
        QTest::newRow("all but the last bytes fit") << 99990;
    }
    void diskFullKeepsTheOldFile()
    {
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString path = dir.filePath("kept.txt");
        QVERIFY(SaveFile::write(path, QByteArray("old content\n")));

        // Written in small pieces, so the last ones wait in the device's buffer
        // until the file is closed.
        const auto writeAll = [](QIODevice &d) {
            const QByteArray piece(1000, 'x');
            for (int i = 0; i < 100; ++i) {
                if (d.write(piece) != piece.size())
                    return false;
            }
            return true;
        };
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = rlim_t(limit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = SaveFile::write(path, writeAll);
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(!written);
        QCOMPARE(readFile(path), QByteArray("old content\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.txt"});
    }
};

VANTOR_TEST_MAIN(TestSaveFile)
#include "tst_savefile.moc"
