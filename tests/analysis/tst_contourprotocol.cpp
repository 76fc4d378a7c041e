// The contour window's measurement protocol: report mode on the plot and in
// the tree, the report data gathered from the tree, and the file written
// through the save question, on traces read from files the test writes and
// measurements placed with the mouse.

#include "analysis/contouranalisiswidget.h"
#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"

#include "support/contourtestplot.h"
#include "support/fakemeasurement.h"
#include "support/freshsettings.h"
#include "support/goldenreport.h"
#include "support/neutralcalibration.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>
#include <cmath>

namespace {

// A contour in µm: a flat run, a round bump of 2 mm radius, a flat run.
double bump(double x)
{
    const double d = x - 5000, r = 2000;
    return std::abs(d) < r ? std::sqrt(r * r - d * d) : 0.0;
}

std::unique_ptr<ContourTrace> contourFile(const QString &name)
{
    ContourTrace trace;
    trace.creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    trace.controllerName = QStringLiteral("Иванов");
    for (int i = 0; i < 251; ++i) {
        QVector<double> p { i * 40.0, bump(i * 40.0), 0 };
        trace.addPoint(p);
    }
    return roundTrip<ContourTrace>(trace, name);
}

void arm(ContourAnalisisWidget &w, const char *action, const char *button)
{
    QWidget *b = w.findChild<QToolBar *>("toolBar")->widgetForAction(w.findChild<QAction *>(action));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
    auto *kind = w.findChild<QPushButton *>(button);
    QVERIFY(kind && kind->isVisible());
    QTest::mouseClick(kind, Qt::LeftButton);
}

// The largest height over points from..to, its label placed above the trace.
Measurement *placeHeight(ContourAnalisisWidget &w, int from, int to)
{
    arm(w, "actionDistance", "pushButtonMinMaxDistance");
    PlotWidget *plot = w.plot();
    ContourTest::drag(plot, w.traceCurve(0), from, to);
    const QPoint label = ContourTest::pixelOfPoint(plot, w.traceCurve(0), (from + to) / 2) + QPoint(0, -60);
    ContourTest::moveAt(plot, label);
    ContourTest::pressAt(plot, label);
    ContourTest::releaseAt(plot, label);
    return w.measurementsManager()->measurementList().last();
}

// A fake of that type code placed on points from..to, showing value.
FakeMeasurement *placeFake(ContourAnalisisWidget &w, E_MEASUREMENTS kind, int type, const char *action,
    const char *button, int from, int to, double value)
{
    MeasurementsManager *manager = w.measurementsManager();
    FakeMeasurement *made = nullptr;
    manager->kindTable().creators[kind] = [type, manager, &made](const MeasurementContext &c) {
        made = new FakeMeasurement(type, c.plot, 0, QStringLiteral("Фейк %1").arg(type));
        made->needsSegment = !manager->segmentSelectionDisabled();
        return made;
    };
    arm(w, action, button);
    ContourTest::drag(w.plot(), w.traceCurve(0), from, to);
    const QPoint end = ContourTest::pixelOfPoint(w.plot(), w.traceCurve(0), to);
    ContourTest::pressAt(w.plot(), end);
    ContourTest::releaseAt(w.plot(), end);
    if (made) {
        made->setValue(value);
        Q_EMIT made->measumentChanged();
    }
    return made;
}

QStringList keysWith(const ReportData &data, const QString &part)
{
    QStringList keys;
    for (const QString &k : data.keys())
        if (k.contains(part))
            keys << k;
    return keys;
}

} // namespace

class TestContourProtocol : public QObject {
    Q_OBJECT

    std::unique_ptr<ContourTrace> trace;
    std::unique_ptr<ContourAnalisisWidget> w;
    QList<Measurement *> heights;
    QList<FakeMeasurement *> fakes;

    // Two heights, a deviation, a radius, a roughness and an additional
    // point, in that order.
    void placeAll()
    {
        heights << placeHeight(*w, 80, 120) << placeHeight(*w, 60, 100);
        fakes << placeFake(*w, RMSE, 12, "actionErrors", "pushButtonRMSE", 130, 150, 0.0123)
              << placeFake(*w, REGULAR_RADIUS, 7, "actionRadius", "pushButtonRadius", 150, 170, 2.0005)
              << placeFake(*w, RA, 20, "actionR", "pushButtonCalculateRA", 170, 190, 0.8)
              << placeFake(*w, CLICK_POINT, 27, "actionLineAdditionalGeometry", "pushButtonAddGeomPoint", 200, 210, 1);
        QCOMPARE(w->measurementsManager()->measurementList().size(), 6);
        for (Measurement *m : w->measurementsManager()->measurementList())
            QVERIFY(m && m->isFinished());
    }

private Q_SLOTS:
    void init()
    {
        Settings &s = freshSettings();
        useNeutralContourCalibration();
        s.current_controller_name = QStringLiteral("Петров");
        s.factory_name = QStringLiteral("Завод");
        trace = contourFile("protocol.trace");
        w = std::make_unique<ContourAnalisisWidget>();
        w->resize(1280, 760);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        heights.clear();
        fakes.clear();
    }

    void cleanup() { w.reset(); }

    void noTraceOnlyWarns()
    {
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        w->saveReport(w.get());
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().size(), 1);
        QCOMPARE(prompts.calls().at(0).title, QStringLiteral("Ошибка печати отчёта"));
        QCOMPARE(prompts.calls().at(0).text, QStringLiteral("Нет трасс для сохранения отчёта"));
    }

    void withoutMeasurementsEveryCountIsZero()
    {
        w->setTraces({ trace.get() });
        w->findChild<QLineEdit *>("detailNameEdit")->setText("Вал 7");
        w->findChild<QTextEdit *>("commentTextEdit")->setPlainText("Без замечаний");
        const ReportData data = w->reportData();
        for (const char *group : { "distance", "error", "angle", "radius", "roughness" })
            QCOMPARE(data.value(QString(group) + "_count"), QStringLiteral("0"));
        QCOMPARE(data.size(), 14); // five texts, four trace keys, five counts
        for (const char *group : { "distance", "error", "angle", "radius", "roughness" })
            QVERIFY(!data.contains(QString(group) + "_name"));
        QCOMPARE(data.value("part_name"), QStringLiteral("Вал 7"));
        QCOMPARE(data.value("comment"), QStringLiteral("Без замечаний"));
        QCOMPARE(data.value("controller_name"), QStringLiteral("Петров"));
        QCOMPARE(data.value("factory_name"), QStringLiteral("Завод"));
        QCOMPARE(data.value("traces_count"), QStringLiteral("1"));
        QCOMPARE(data.value("traces[0].id"), QString::number(trace->id + 1));
        QCOMPARE(data.value("traces[0].trace_author"), QStringLiteral("Иванов"));
        QCOMPARE(data.value("traces[0].creation_date"), QStringLiteral("14-03-2026 09:30:00"));
        QVERIFY(QRegularExpression("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d$").match(data.value("date")).hasMatch());
    }

    // Four reported sections and one additional point: designations on the
    // labels and numbered rows in report mode, exact keys in the data, and
    // everything back afterwards.
    void reportModeAndData()
    {
        w->setTraces({ trace.get() });
        placeAll();
        QTreeWidgetItem *h1 = w->rowOf(heights[0]->id());
        QTreeWidgetItem *h2 = w->rowOf(heights[1]->id());
        const QString h1Value = h1->text(1), h2Value = h2->text(1);
        const QString heightName = heights[0]->name();
        const QString pointLabel = fakes[3]->labelText;

        w->enterReportMode();
        QCOMPARE(heights[0]->labelText, QStringLiteral("L_1"));
        QCOMPARE(heights[1]->labelText, QStringLiteral("L_2"));
        QCOMPARE(h1->text(0), "1 " + heightName);
        QCOMPARE(h2->text(0), "2 " + heightName);
        QCOMPARE(fakes[0]->shownLabel, QStringLiteral("E_1"));
        QCOMPARE(fakes[1]->shownLabel, QStringLiteral("R_1"));
        QCOMPARE(fakes[2]->shownLabel, QStringLiteral("r_1"));
        QCOMPARE(fakes[3]->labelText, pointLabel); // additional geometry keeps its label
        for (FakeMeasurement *f : fakes)
            QVERIFY(f->largeFont);
        QVERIFY(!w->plot()->selectionMarker() || !w->plot()->selectionMarker()->visible());
        ContourTest::saveScreenshot(w.get(), "contour_window_report_mode");

        const ReportData data = w->reportData();
        const QMap<QString, QString> expected {
            { "distance[0].name", "L_1 " + heightName }, { "distance[0].value", h1Value },
            { "distance[1].name", "L_2 " + heightName }, { "distance[1].value", h2Value },
            { "error[0].name", "E_1 Фейк 12" }, { "error[0].value", "0.0123мм" },
            { "radius[0].name", "R_1 Фейк 7" }, { "radius[0].value", "2.0005мм" },
            { "roughness[0].name", "r_1 Фейк 20" }, { "roughness[0].value", "0.8000мм" },
            { "distance_count", "2" }, { "error_count", "1" }, { "angle_count", "0" },
            { "radius_count", "1" }, { "roughness_count", "1" },
            { "distance_name", "ДЛИНЫ" }, { "error_name", "ОТКЛОНЕНИЯ" }, { "radius_name", "РАДИУСЫ" },
            { "roughness_name", "ШЕРОХОВАТОСТИ" },
        };
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(data.value(it.key()), it.value());
        QStringList groupKeys;
        for (const char *g : { "distance", "error", "angle", "radius", "roughness" })
            groupKeys << keysWith(data, g);
        groupKeys.sort();
        QStringList expectedKeys = expected.keys();
        expectedKeys.sort();
        QCOMPARE(groupKeys, expectedKeys);

        const int calculations = fakes[0]->calculateCount;
        w->leaveReportMode();
        QVERIFY(heights[0]->labelText.isEmpty() && heights[1]->labelText.isEmpty());
        QCOMPARE(h1->text(0), heightName);
        QCOMPARE(h1->text(1), h1Value);
        QCOMPARE(w->rowOf(fakes[0]->id())->text(0), QStringLiteral("Фейк 12"));
        QVERIFY(fakes[0]->labelText.isEmpty());
        QVERIFY(fakes[0]->calculateCount > calculations);
        for (FakeMeasurement *f : fakes)
            QVERIFY(!f->largeFont);
    }

    // The typed name gets ".html" unless it ends in it already; the folder
    // is remembered with a trailing "/" and the written file is opened.
    void savesAndOpensTheProtocol_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("bare name") << "protocol"
                                   << "protocol.html";
        QTest::newRow("with its extension") << "protocol.html"
                                            << "protocol.html";
        QTest::newRow("extension in capitals") << "protocol.HTML"
                                               << "protocol.HTML";
        QTest::newRow("another dot") << "protocol.v2"
                                     << "protocol.v2.html";
    }
    void savesAndOpensTheProtocol()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QTemporaryDir dir;
        w->setTraces({ trace.get() });
        placeAll();
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::SaveFile, dir.filePath(typed));
        prompts.expect(ScriptedPrompts::Url, true);
        w->saveReport(w.get());
        QVERIFY(prompts.allAnswered());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { written });
        const QString path = dir.filePath(written);
        QCOMPARE(prompts.calls().at(0).title, QStringLiteral("Сохранить отчет"));
        QCOMPARE(prompts.calls().at(1).title, QUrl::fromLocalFile(path).toString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        for (const char *text : { "L_1", "L_2", "E_1", "R_1", "r_1", "Петров", "data:image/png;base64" })
            QVERIFY2(html.contains(QString::fromUtf8(text)), text);
        QCOMPARE(Settings::instance().preferenses.save_report_folder, dir.path() + '/');
        QCOMPARE(Settings::load(Settings::kFileName).preferenses.save_report_folder, dir.path() + '/');
        QVERIFY(heights[0]->labelText.isEmpty());
        QCOMPARE(w->rowOf(heights[0]->id())->text(0), heights[0]->name());
    }

    void cancelledQuestionChangesNothing()
    {
        w->setTraces({ trace.get() });
        Settings::instance().preferenses.save_report_folder = "/before/";
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::SaveFile, QString());
        w->saveReport(w.get());
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().size(), 1);
        QCOMPARE(Settings::instance().preferenses.save_report_folder, QStringLiteral("/before/"));
    }

    // A protocol that could not be written is reported and not opened, and
    // report mode is left all the same.
    void unwritableFolderIsReported()
    {
        QTemporaryDir dir;
        w->setTraces({ trace.get() });
        placeAll();
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::SaveFile, dir.filePath("missing/folder/protocol"));
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        w->saveReport(w.get());
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        QCOMPARE(prompts.calls().at(1).title, QStringLiteral("Ошибка печати отчёта"));
        QVERIFY(prompts.calls().at(1).text.contains("protocol.html"));
        QVERIFY(!QFile::exists(dir.filePath("missing/folder/protocol.html")));
        QVERIFY(heights[0]->labelText.isEmpty());
        QVERIFY(!fakes[0]->largeFont);
    }

    // The protocol takes values from the measurements and titles from the
    // sections themselves: what the tree happens to show does not matter.
    void dataComesFromTheMeasurements()
    {
        w->setTraces({ trace.get() });
        placeAll();
        w->rowOf(heights[0]->id())->setText(1, QStringLiteral("999 мм"));
        w->tree()->sectionItem(MeasurementTreeWidget::Lengths)->setText(0, QStringLiteral("Длины (2)"));
        w->tree()->sectionItem(MeasurementTreeWidget::Radii)->setText(0, QStringLiteral("ДЛИНЫ"));
        const ReportData data = w->reportData();
        QCOMPARE(data.value("distance_count"), QStringLiteral("2"));
        QCOMPARE(data.value("distance_name"), QStringLiteral("ДЛИНЫ"));
        QCOMPARE(data.value("distance[0].value"), heights[0]->valueText());
        QCOMPARE(data.value("radius_count"), QStringLiteral("1"));
        QCOMPARE(data.value("radius_name"), QStringLiteral("РАДИУСЫ"));
        QCOMPARE(data.value("radius[0].value"), QStringLiteral("2.0005мм"));
    }

    // The whole written protocol of a fixed set of measurements against the
    // golden page (masked: the protocol's own date and the trace's id).
    void protocolMatchesGolden()
    {
        QTemporaryDir dir;
        w->setTraces({ trace.get() });
        w->findChild<QLineEdit *>("detailNameEdit")->setText("Вал 7 & <втулка>");
        w->findChild<QTextEdit *>("commentTextEdit")->setPlainText("Без замечаний & <нет>");
        placeAll();
        QVERIFY(placeFake(*w, REGULAR_ANGLE, 4, "actionAngle", "pushButtonDirectAngle", 20, 40, 45.5));
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::SaveFile, dir.filePath("golden"));
        prompts.expect(ScriptedPrompts::Url, true);
        w->saveReport(w.get());
        QVERIFY(prompts.allAnswered());
        QString page = GoldenReport::withPlotPlaceholder(GoldenReport::fileText(dir.filePath("golden.html")));
        page.replace(QRegularExpression("(<th width=\"20%\">)[^<]*(</th>)"), "\\1@DATE@\\2");
        page.replace(QStringLiteral("Трасса %1<").arg(trace->id + 1), QStringLiteral("Трасса @ID@<"));
        QVERIFY(GoldenReport::matches(page, QStringLiteral("contour_protocol.html")));
    }
};

VANTOR_TEST_MAIN(TestContourProtocol)
#include "tst_contourprotocol.moc"
