#include "support/testmain.h"

#include "report/reportgenerator.h"
#include "reportfixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace ReportFixtures;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The page with every embedded image's base64 text replaced by "@PLOT@", so a
// page can be compared with a golden file independently of the PNG encoder.
QByteArray withPlotPlaceholder(const QByteArray &page)
{
    QString text = QString::fromUtf8(page);
    text.replace(QRegularExpression(QStringLiteral("data:image/png;base64,[A-Za-z0-9+/=]*")), QStringLiteral("@PLOT@"));
    return text.toUtf8();
}

QString goldenPath(const QString &name)
{
    return qEnvironmentVariable("VANTOR_SOURCE_DIR") + "/tests/report/golden/" + name;
}

bool isValidUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0;
}

QString page(const QString &path)
{
    return QString::fromUtf8(readAll(path));
}

} // namespace

class TestReportGenerator : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // --- The page of each kind, byte for byte ------------------------------

    void golden_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<ReportData>("data");
        QTest::addColumn<QString>("golden");
        QTest::newRow("sensor test") << int(SENSOR_TEST_REPORT) << sensorTestData() << "sensor_test.html";
        QTest::newRow("measurement report")
            << int(MEASUREMENT_REPORT) << measurementReportData() << "measurement_report.html";
        QTest::newRow("plot") << int(PLOT_REPORT) << ReportData() << "plot_report.html";
        QTest::newRow("protocol") << int(MEASUREMENT_PROTOCOL) << measurementProtocolData()
                                  << "measurement_protocol.html";
    }
    void golden()
    {
        QFETCH(int, kind);
        QFETCH(ReportData, data);
        QFETCH(QString, golden);
        const QString file = path(golden);
        const QPixmap plot = plotPixmap();
        // The card carries the time of writing: written here with a fixed clock.
        const bool written = kind == SENSOR_TEST_REPORT ? ReportGenerator::sensorTestReport(data, file, fixedClock())
                                                        : ReportGenerator::generate(data, { plot }, file, kind);
        QVERIFY(written);

        const QByteArray bytes = readAll(file);
        QVERIFY(isValidUtf8(bytes));
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(QString::fromUtf8(withPlotPlaceholder(bytes)), QString::fromUtf8(readAll(goldenPath(golden))));

        // The one embedded image is the plot, pixel for pixel.
        const QList<QByteArray> pngs = embeddedPngs(bytes);
        QCOMPARE(pngs.size(), kind == SENSOR_TEST_REPORT ? 0 : 1);
        if (!pngs.isEmpty()) {
            QVERIFY(pngs.first().startsWith("\x89PNG\r\n\x1a\n"));
            const QImage image = QImage::fromData(pngs.first(), "PNG");
            QCOMPARE(image.size(), plotSize());
            QCOMPARE(image.convertToFormat(QImage::Format_RGB32), plot.toImage().convertToFormat(QImage::Format_RGB32));
        }
    }

    // Through the entry point, every kind writes and starts as the format says.
    void generateStartsEachKindRight_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<ReportData>("data");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("0") << 0 << sensorTestData() << QByteArray("<!doctype html>\n");
        QTest::newRow("1") << 1 << measurementReportData() << QByteArray("<!doctype html>\n");
        QTest::newRow("2") << 2 << ReportData() << QByteArray("<div class=\"plot\">\n<img ");
        QTest::newRow("3") << 3 << measurementProtocolData() << QByteArray("<!doctype html>\n");
    }
    void generateStartsEachKindRight()
    {
        QFETCH(int, kind);
        QFETCH(ReportData, data);
        QFETCH(QByteArray, start);
        const QString file = path(QStringLiteral("kind%1.html").arg(kind));
        QVERIFY(ReportGenerator::generate(data, { plotPixmap() }, file, kind));
        const QByteArray bytes = readAll(file);
        QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
        QVERIFY(isValidUtf8(bytes));
    }

    void sensorTestCardShowsTheShortLocalDate()
    {
        const QString file = path("card-date.html");
        QVERIFY(ReportGenerator::sensorTestReport(sensorTestData(), file, fixedClock()));
        QVERIFY(page(file).contains("<strong>Дата:</strong> 05.03.2024 14:07</div>"));
    }

    void styleBlocks()
    {
        QCOMPARE(ReportGenerator::measurementReportCss().size(), 504);
        const QString head = ReportGenerator::htmlHead("a<b & \"c\"", "    x{}\n");
        QVERIFY(head.contains("<title>a&lt;b &amp; &quot;c&quot;</title>"));
        QVERIFY(head.endsWith("    x{}\n  </style>\n</head>\n<body>\n"));
    }

    // --- The plot image ----------------------------------------------------

    void plotBlockTakesOnlyTheFirstPixmap()
    {
        const QPixmap first = plotPixmap(QSize(120, 80));
        const QString block = ReportGenerator::plotBlock({ first, plotPixmap(), plotPixmap() });
        const QList<QByteArray> pngs = embeddedPngs(block.toUtf8());
        QCOMPARE(pngs.size(), 1);
        QCOMPARE(QImage::fromData(pngs.first(), "PNG").size(), QSize(120, 80));
        QVERIFY(ReportGenerator::plotBlock({}).isEmpty());
    }

    void imageTagOfAnUnencodablePixmapKeepsTheBarePrefix()
    {
        QCOMPARE(ReportGenerator::imageTag(QPixmap(), QString()), QString("<img src=\"data:image/png;base64,\"  />"));
    }

    void noPlotMeansNoPlotDivision_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("3") << 3;
    }
    void noPlotMeansNoPlotDivision()
    {
        QFETCH(int, kind);
        const QString file = path(QStringLiteral("noplot%1.html").arg(kind));
        QVERIFY(ReportGenerator::generate(measurementProtocolData(), {}, file, kind));
        const QByteArray bytes = readAll(file);
        QVERIFY(!bytes.contains("<div class=\"plot\">"));
        QVERIFY(!bytes.contains("<img"));
        if (kind == PLOT_REPORT)
            QCOMPARE(bytes.size(), 0);
    }

    // --- Operator texts are escaped in every kind ---------------------------

    void escaping_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");

        const QStringList typed
            = { "<b>Вал</b>", "Смит & сын", "деталь \"А\"", "<script>alert(1)</script>", "&lt;уже&gt;" };
        const QList<QPair<int, QString>> keys = {
            { 0, "sensor_number" },
            { 0, "execution_grade" },
            { 0, "reference_values" },
            { 0, "measured_values" },
            { 1, "factory_name" },
            { 1, "detail_name" },
            { 1, "trace[0].controller_name" },
            { 1, "trace[0].filter" },
            { 1, "trace[0].trace_length" },
            { 1, "trace[0].speed" },
            { 1, "trace[0].creation_date" },
            { 1, "param[1].name" },
            { 1, "param[1].value" },
            { 3, "factory_name" },
            { 3, "part_name" },
            { 3, "date" },
            { 3, "controller_name" },
            { 3, "traces[0].creation_date" },
            { 3, "traces[0].id" },
            { 3, "traces[0].trace_author" },
            { 3, "comment" },
            { 3, "error_name" },
            { 3, "radius[1].name" },
            { 3, "radius[1].value" },
        };
        for (const auto &[kind, key] : keys) {
            for (int i = 0; i < typed.size(); ++i)
                QTest::addRow("%d %s #%d", kind, qPrintable(key), i) << kind << key << typed[i];
        }
    }
    void escaping()
    {
        QFETCH(int, kind);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        ReportData data = kind == SENSOR_TEST_REPORT ? sensorTestData()
            : kind == MEASUREMENT_REPORT             ? measurementReportData()
                                                     : measurementProtocolData();
        // The card's lists hold one entry per row, each followed by a comma.
        const bool listKey = key.endsWith("_values");
        data[key] = listKey ? typed + ",1.0," : typed;

        const QString file = path("escaping.html");
        QVERIFY(ReportGenerator::generate(data, {}, file, kind));
        const QString html = page(file);
        QVERIFY2(html.contains(typed.toHtmlEscaped()), qPrintable(html));
        QVERIFY2(!html.contains(typed), "the typed text went into the page unescaped");
    }

    // --- Test-sensor card --------------------------------------------------

    void toleranceMark_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("ok");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("TRUE with blanks") << "  TRUE " << true;
        QTest::newRow("Ok") << "Ok" << true;
        QTest::newRow("y") << "y" << true;
        QTest::newRow("yes") << "yes" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("no") << "no" << false;
        QTest::newRow("да") << "да" << false;
        QTest::newRow("blank entry") << "  " << false;
        QTest::newRow("1.0") << "1.0" << false;
    }
    void toleranceMark()
    {
        QFETCH(QString, flag);
        QFETCH(bool, ok);
        const ReportData data
            = { { "reference_values", "4.19," }, { "measured_values", "4.2," }, { "in_tolerance", flag + "," } };
        const QString file = path("mark.html");
        QVERIFY(ReportGenerator::sensorTestReport(data, file, fixedClock()));
        const QString mark = ok ? "<span class=\"ok\">&#10003;</span>" : "<span class=\"bad\">&#10007;</span>";
        QVERIFY(page(file).contains("<td>4.2</td>\n      <td>" + mark + "</td>"));
    }

    void sensorTestCardWithoutLists()
    {
        const QString file = path("emptycard.html");
        QVERIFY(ReportGenerator::sensorTestReport({}, file, fixedClock()));
        const QString html = page(file);
        QVERIFY(html.contains("<strong>Датчик №:</strong> \u2014</div>"));
        QVERIFY(html.contains("<strong>РИ:</strong> \u2014</div>"));
        QVERIFY(html.contains("  <tbody>\n  </tbody>\n"));
    }

    // --- Counts ------------------------------------------------------------

    void counts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<ReportData>("data");
        QTest::addColumn<QString>("fragment");
        QTest::addColumn<int>("rowCount");

        const QString emptyRow = "  <tr>\n" + QString("    <td></td>\n").repeated(5) + "  </tr>\n";
        QTest::newRow("missing trace row gives empty cells")
            << 1 << ReportData { { "trace_count", "2" }, { "trace[0].speed", "1" } } << emptyRow + "</table>\n"
            << 3 + 1;
        QTest::newRow("absent param_count: header row only")
            << 1 << ReportData { { "param[0].name", "Ra" } } << "<th>Значение</th>\n  </tr>\n</table>\n</body>" << 2;
        QTest::newRow("non-numeric count reads as 0")
            << 1 << ReportData { { "trace_count", "два" }, { "param_count", "-3" } }
            << "<th>Значение</th>\n  </tr>\n</table>\n</body>" << 2;
        QTest::newRow("protocol: traces without rows")
            << 3 << ReportData { { "traces_count", "x" } } << "<th width=\"50%\"></th>\n</tr>\n</table>\n"
            << 2;
    }
    void counts()
    {
        QFETCH(int, kind);
        QFETCH(ReportData, data);
        QFETCH(QString, fragment);
        QFETCH(int, rowCount);
        const QString file = path("counts.html");
        QVERIFY(ReportGenerator::generate(data, {}, file, kind));
        const QString html = page(file);
        QVERIFY2(html.contains(fragment), qPrintable(html));
        QCOMPARE(html.count("<tr>"), rowCount);
    }

    // --- Protocol group columns ---------------------------------------------

    void protocolColumns_data()
    {
        QTest::addColumn<QList<int>>("groupCounts");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("error and radius") << QList<int> { 0, 3, 0, 2, 0 } << "50%" << QStringList { "error", "radius" };
        QTest::newRow("all five") << QList<int> { 1, 1, 1, 1, 1 } << "20%"
                                  << QStringList { "distance", "error", "angle", "radius", "roughness" };
        QTest::newRow("three") << QList<int> { 2, 0, 1, 0, 4 } << "33%"
                               << QStringList { "distance", "angle", "roughness" };
        QTest::newRow("one") << QList<int> { 0, 0, 0, 0, 1 } << "100%" << QStringList { "roughness" };
        QTest::newRow("none") << QList<int> { 0, 0, 0, 0, -1 } << "" << QStringList {};
    }
    void protocolColumns()
    {
        QFETCH(QList<int>, groupCounts);
        QFETCH(QString, width);
        QFETCH(QStringList, order);
        const QStringList groups = { "distance", "error", "angle", "radius", "roughness" };
        ReportData data;
        for (int g = 0; g < groups.size(); ++g) {
            data[groups[g] + "_count"] = QString::number(groupCounts[g]);
            data[groups[g] + "_name"] = groups[g].toUpper();
        }
        const QString file = path("columns.html");
        QVERIFY(ReportGenerator::generate(data, {}, file, MEASUREMENT_PROTOCOL));
        const QString html = page(file);

        QCOMPARE(html.count("<td valign=\"top\" width=\"" + width + "\">"), order.size());
        QCOMPARE(html.count("<td valign=\"top\""), order.size());
        QCOMPARE(html.count("<table width=\"100%\"><tr>\n"), order.isEmpty() ? 0 : 1);
        int at = 0;
        for (const QString &group : order) {
            const int next = html.indexOf("<th colspan=\"2\">" + group.toUpper() + "</th>", at);
            QVERIFY2(next > at, qPrintable(group));
            at = next;
        }
    }

    // --- Refusals and failures ----------------------------------------------

    void refusalsLeaveTheOldFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<ReportData>("data");
        QTest::newRow("kind 4") << 4 << measurementReportData();
        QTest::newRow("kind -1") << -1 << measurementReportData();
        QTest::newRow("card lists of 2, 2 and 3") << 0
                                                  << ReportData { { "reference_values", "1,2," },
                                                         { "measured_values", "1,2," }, { "in_tolerance", "1,0,1," } };
    }
    void refusalsLeaveTheOldFile()
    {
        QFETCH(int, kind);
        QFETCH(ReportData, data);
        const QString file = path("old.html");
        QVERIFY(writeBytes(file, "older report"));
        QVERIFY(!ReportGenerator::generate(data, { plotPixmap() }, file, kind));
        QCOMPARE(readAll(file), QByteArray("older report"));

        const QString fresh = path("never-written.html");
        QVERIFY(!ReportGenerator::generate(data, { plotPixmap() }, fresh, kind));
        QVERIFY(!QFile::exists(fresh));
    }

    void missingFolderIsNotCreated()
    {
        const QString folder = path("no-such-folder");
        QVERIFY(!ReportGenerator::generate(measurementReportData(), {}, folder + "/r.html", MEASUREMENT_REPORT));
        QVERIFY(!QFileInfo::exists(folder));
    }

    void folderInPlaceOfTheFileFails()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("report.html");
        QVERIFY(QDir().mkdir(target));
        QVERIFY(!ReportGenerator::generate(measurementReportData(), {}, target, MEASUREMENT_REPORT));
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList { "report.html" });
    }

#ifdef Q_OS_UNIX
    // A write that fails part-way (here the process may not write more than a
    // few hundred bytes to a file) is reported, and the older report survives.
    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("report.html");
        QVERIFY(writeBytes(target, "older report"));

        rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 500;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written
            = ReportGenerator::generate(measurementReportData(), { plotPixmap() }, target, MEASUREMENT_REPORT);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!written);
        QCOMPARE(readAll(target), QByteArray("older report"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList { "report.html" });
    }
#endif

    void rewritingReplacesTheWholeFile()
    {
        const QString file = path("again.html");
        QVERIFY(writeBytes(file, QByteArray(100000, 'x')));
        QVERIFY(ReportGenerator::generate({}, {}, file, PLOT_REPORT));
        QCOMPARE(readAll(file).size(), 0);
    }
};

VANTOR_TEST_MAIN(TestReportGenerator)
#include "tst_reportgenerator.moc"
