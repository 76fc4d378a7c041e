// Saving the profile window's traces: which traces get a file, where an
// acquired trace is kept, what a write does to the trace, and the names the
// save questions offer.

#include "support/testmain.h"
#include "support/tracefiles.h"

#include "traces/tracesaving.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestTraceSaving : public QObject {
    Q_OBJECT

    // A main profile with two additional traces, a contour and an additional
    // trace whose main trace is gone, in list order.
    std::unique_ptr<ProfileTrace> main;
    std::vector<std::unique_ptr<ProfileTrace>> runs;
    std::unique_ptr<ContourTrace> contour;
    std::unique_ptr<ProfileTrace> orphan;
    QList<AbstractTrace *> all;

private Q_SLOTS:
    void init()
    {
        main.reset(sineProfile(1.0, 2000));
        runs.clear();
        for (int i = 0; i < 2; ++i) {
            runs.emplace_back(sineProfile(2.0, 2000));
            runs.back()->setTraceType(ADDITIONAL_TRACE);
            main->addAdditionalTrace(runs.back().get());
        }
        contour.reset(slopeContour(50));
        contour->setFilePath(QStringLiteral("/somewhere/contour.txt"));
        orphan.reset(sineProfile(3.0, 2000));
        orphan->setTraceType(ADDITIONAL_TRACE);
        all = { main.get(), runs[0].get(), runs[1].get(), contour.get(), orphan.get() };
    }
    void cleanup()
    {
        main->additionalTraces.clear();
        runs.clear();
    }

    void whichTracesGetAFile()
    {
        // A native file of a main trace holds its additional traces.
        QCOMPARE(
            TraceSaving::tracesToSave(all, true), (QList<AbstractTrace *> { main.get(), contour.get(), orphan.get() }));
        QCOMPARE(TraceSaving::tracesToSave(all, false), all);
        QCOMPARE(TraceSaving::tracesToSave({ nullptr, contour.get() }, true), QList<AbstractTrace *> { contour.get() });
    }

    void fileOwners()
    {
        QCOMPARE(TraceSaving::fileOwner(runs[1].get()), main.get());
        QCOMPARE(TraceSaving::fileOwner(main.get()), main.get());
        QCOMPARE(TraceSaving::fileOwner(orphan.get()), orphan.get());
        QCOMPARE(TraceSaving::fileOwner(contour.get()), contour.get());
        QCOMPARE(TraceSaving::fileOwner(nullptr), nullptr);
    }

    // A native file becomes the file of the trace and its runs and reads back
    // as them; a coordinates file is written but is not the trace's file.
    void writes()
    {
        QTemporaryDir dir;
        const QString native = dir.filePath(QStringLiteral("main.txt"));
        QVERIFY(TraceSaving::saveTrace(main.get(), native, true));
        for (AbstractTrace *t :
            { (AbstractTrace *)main.get(), (AbstractTrace *)runs[0].get(), (AbstractTrace *)runs[1].get() })
            QCOMPARE(t->filePath(), native);
        auto back = readTraceFile<ProfileTrace>(native);
        QCOMPARE(back->additionalTraces.size(), 2);
        QCOMPARE(*back->rawData, *main->rawData);

        const QString points = dir.filePath(QStringLiteral("contour.xy"));
        QVERIFY(TraceSaving::saveTrace(contour.get(), points, false));
        QCOMPARE(contour->filePath(), QStringLiteral("/somewhere/contour.txt"));
        const QList<QByteArray> lines = fileBytes(points).split('\n');
        QCOMPARE(lines.size() - 1, contour->processedData->at(0).size());

        QVERIFY(!TraceSaving::saveTrace(nullptr, points, true));
    }

    // A write that fails leaves the trace's file and the file there alone.
    void failedWriteChangesNothing()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("no/such/folder/main.txt"));
        const QString before = main->filePath();
        QVERIFY(!TraceSaving::saveTrace(main.get(), missing, true));
        QCOMPARE(main->filePath(), before);
        QCOMPARE(runs[0]->filePath(), before);
        QVERIFY(!QFileInfo::exists(missing));
    }

    void proposedNames()
    {
        const QDateTime at(QDate(2026, 3, 14), QTime(9, 30, 5));
        QCOMPARE(TraceSaving::proposedPath(QStringLiteral("/data/"), QStringLiteral("Вал"), at),
            QStringLiteral("/data/Вал_2026_03_14_09_30_05"));
        QCOMPARE(
            TraceSaving::folderOf(QStringLiteral("/data/reports/protocol.html")), QStringLiteral("/data/reports/"));
    }

    // Questions within one second never propose one path; a new second, or
    // another folder or name, starts without a counter.
    void successiveProposalsDiffer()
    {
        TraceSaving::ProposedPaths paths;
        const QDateTime at(QDate(2026, 3, 14), QTime(9, 30, 5, 100));
        const QDateTime sameSecond = at.addMSecs(800);
        const QString base = QStringLiteral("/data/Вал_2026_03_14_09_30_05");
        QCOMPARE(paths.next("/data/", "Вал", at), base);
        QCOMPARE(paths.next("/data/", "Вал", sameSecond), base + "_2");
        QCOMPARE(paths.next("/reports/", "Вал", sameSecond), QStringLiteral("/reports/Вал_2026_03_14_09_30_05"));
        QCOMPARE(paths.next("/data/", "Вал", sameSecond), base + "_3");
        QCOMPARE(paths.next("/data/", "Вал", at.addSecs(1)), QStringLiteral("/data/Вал_2026_03_14_09_30_06"));
        QCOMPARE(paths.next("/data/", "Вал", at.addSecs(1)), QStringLiteral("/data/Вал_2026_03_14_09_30_06_2"));
    }

    // A name whose trace file is there already (a trace acquired in that
    // second and saved on its own) is not proposed.
    void proposalsPassFilesThatAreThere()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        const QDateTime at(QDate(2026, 3, 14), QTime(9, 30, 5));
        const QString base = folder + QStringLiteral("Вал_2026_03_14_09_30_05");
        for (const QString &taken : { base + ".txt", base + "_2.txt" }) {
            QFile file(taken);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        TraceSaving::ProposedPaths paths;
        QCOMPARE(paths.next(folder, "Вал", at), base + "_3");
        QCOMPARE(paths.next(folder, "Вал", at), base + "_4");
    }

    void traceSuffix_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "/data/Вал_2026_03_14_09_30_05" << "/data/Вал_2026_03_14_09_30_05.txt";
        QTest::newRow("txt kept") << "/data/part.txt" << "/data/part.txt";
        QTest::newRow("other extension kept") << "/data/part.dat" << "/data/part.dat";
        QTest::newRow("dot in the folder only") << "/data/v1.2/part" << "/data/v1.2/part.txt";
        QTest::newRow("trailing dot") << "/data/part." << "/data/part.txt";
        QTest::newRow("nothing chosen") << "" << "";
    }
    void traceSuffix()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(TraceSaving::withTraceSuffix(chosen), written);
    }

    // The program's folder, or the working directory when that one cannot
    // hold the folder (here the program's folder is a plain file).
    void automaticFolder()
    {
        QTemporaryDir program;
        QCOMPARE(automaticTraceFolder(program.path()), program.path() + QStringLiteral("/Профили"));
        QVERIFY(QFileInfo(program.path() + QStringLiteral("/Профили")).isDir());

        QFile plain(QStringLiteral("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(automaticTraceFolder(QDir::current().absoluteFilePath("plain")),
            QDir::currentPath() + QStringLiteral("/Профили"));
        QVERIFY(QFileInfo(QStringLiteral("Профили")).isDir());
    }
};

VANTOR_TEST_MAIN(TestTraceSaving)
#include "tst_tracesaving.moc"
