// The data of the measurement report of a profile trace.

#include "support/freshsettings.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include "report/profilereport.h"
#include "settings/settings.h"
#include "traces/paramsmap.h"

#include <memory>

class TestProfileReport : public QObject {
    Q_OBJECT

    std::unique_ptr<ProfileTrace> main;
    std::vector<std::unique_ptr<ProfileTrace>> runs;
    ExtraArgs args;

private Q_SLOTS:
    void init()
    {
        Settings &s = freshSettings();
        s.preferenses.enabled_params
            = { { 0, QStringLiteral("Ra") }, { 1, QStringLiteral("Rz") }, { 2, QStringLiteral("Xyz") } };
        s.preferenses.enabled_params_count = 4;
        s.spinbox_filter_length_index = 1;
        // A 6 mm profile of Ra 1 µm with two further runs of it.
        main.reset(sineProfile(1.0, 6000, 800));
        runs.clear();
        for (int i = 0; i < 2; ++i) {
            runs.emplace_back(sineProfile(1.5 + i, 6000, 800));
            runs.back()->setTraceType(ADDITIONAL_TRACE);
            runs.back()->creationDate = QDateTime(QDate(2026, 3, 15), QTime(10, i));
            main->addAdditionalTrace(runs.back().get());
        }
        args = ExtraArgs();
    }
    void cleanup()
    {
        main->additionalTraces.clear();
        main.reset();
        runs.clear();
    }

    void rowsOfTheRunsAndTheParameters()
    {
        // The settings say 2.5 mm; the second run was given 0.25 mm.
        runs.back()->cutOff = 250;
        const QStringList filters { "0.8 мм", "0.8 мм", "0.25 мм" };
        // An additional trace gives its main trace's data.
        const ReportData data = profileReportData(runs.back().get(), args);
        QCOMPARE(data, profileReportData(main.get(), args));
        QCOMPARE(data.value("factory_name"), QStringLiteral("Завод"));
        QCOMPARE(data.value("detail_name"), QStringLiteral("Деталь"));
        QCOMPARE(data.value("trace_count"), QStringLiteral("3"));
        const QStringList dates { "14-03-2026 09:30:00", "15-03-2026 10:00:00", "15-03-2026 10:01:00" };
        for (int i = 0; i < 3; ++i) {
            const QString key = QStringLiteral("trace[%1].").arg(i);
            QCOMPARE(data.value(key + "controller_name"), QStringLiteral("No name"));
            // Each run's own cut-off, the one its values were computed with.
            QCOMPARE(data.value(key + "filter"), filters.at(i));
            QCOMPARE(data.value(key + "trace_length"), QStringLiteral("6 мм"));
            QCOMPARE(data.value(key + "speed"), QStringLiteral("0.5 мм/с"));
            QCOMPARE(data.value(key + "creation_date"), dates.at(i));
        }
        // The trace had no results: they were evaluated for the report.
        QCOMPARE(data.value("param_count"), QStringLiteral("4"));
        QCOMPARE(data.value("param[0].name"), QStringLiteral("Ra"));
        QCOMPARE(main->results.value("Ra").runs.size(), 3);
        QCOMPARE(data.value("param[0].value"), main->results.value("Ra").text() + QStringLiteral(" мкм"));
        QVERIFY(data.value("param[0].value").contains(QChar(0x00B1)));
        QVERIFY(data.value("param[1].value").endsWith(QStringLiteral(" мкм")));
        // A name without a formula, and a row beyond the names.
        QCOMPARE(data.value("param[2].value"), QStringLiteral(" "));
        QCOMPARE(data.value("param[3].name"), QString());
        QCOMPARE(data.size(), 3 + 5 * 3 + 1 + 2 * 4);
    }

    // The report writes the values the trace keeps, with their units,
    // however the parameter table happens to show them.
    void valuesComeFromTheTrace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<bool>("tooShort");
        QTest::addColumn<QString>("expected");
        // Mean 2, spread sqrt(((1.5-2)² + (2.5-2)²) / 2) = 0.5, 25 % of the mean.
        QTest::newRow("two runs") << "Ra" << QVector<double> { 1.5, 2.5 } << false << "2.000±0.500(25.00%) мкм";
        QTest::newRow("one run, degrees") << "RΔq(Δq)" << QVector<double> { 3.14159 } << false << "3.142 °";
        QTest::newRow("no unit") << "Rsk" << QVector<double> { -0.25 } << false << "-0.250 ";
        QTest::newRow("per centimetre") << "D" << QVector<double> { 122.5 } << false << "122.500 1/см";
        QTest::newRow("too short") << "Rz" << QVector<double> {} << true << "Недостаточная длина измерения мкм";
    }
    void valuesComeFromTheTrace()
    {
        QFETCH(QString, name);
        QFETCH(QVector<double>, values);
        QFETCH(bool, tooShort);
        QFETCH(QString, expected);
        Settings &s = Settings::instance();
        s.preferenses.enabled_params = { { 0, name } };
        s.preferenses.enabled_params_count = 1;
        ParamValue value;
        value.runs = values;
        value.tooShort = tooShort;
        main->results.insert(name, value);
        QCOMPARE(profileReportData(main.get(), args).value("param[0].value"), expected);
    }

    // Contour traces have none; an empty trace is 0 mm long; an additional
    // trace without a main trace reports alone.
    void tracesWithoutAMainProfile()
    {
        QVERIFY(profileReportData(nullptr, args).isEmpty());
        ContourTrace contour;
        QVERIFY(profileReportData(&contour, args).isEmpty());
        ProfileTrace orphan;
        orphan.setTraceType(ADDITIONAL_TRACE);
        const ReportData alone = profileReportData(&orphan, args);
        QCOMPARE(alone.value("trace_count"), QStringLiteral("1"));
        QCOMPARE(alone.value("trace[0].trace_length"), QStringLiteral("0 мм"));
    }
};

VANTOR_TEST_MAIN(TestProfileReport)
#include "tst_profilereport.moc"
