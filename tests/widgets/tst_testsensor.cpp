#include "support/fuzzy.h"
#include "support/freshsettings.h"
#include "support/logtext.h"
#include "support/testmain.h"
#include "support/tracefiles.h"
#include "support/windowshot.h"

#include "report/reportdata.h"
#include "settings/settings.h"
#include "widgets/testsensorwidget.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>

namespace {

const QString kDash = QStringLiteral("—");
const QStringList kReferenceTexts = { "4.19", "1.08", "0.297", "0.07", "0.016", "0" };

// One row of the card as the operator sees it.
struct Row {
    QString value;
    bool pass;
    bool operator==(const Row &o) const { return value == o.value && pass == o.pass; }
};

struct Card {
    TestSensorWidget widget;
    QTreeWidget *table = widget.findChild<QTreeWidget *>("raStandardTreeWidget");
    QLabel *grade = widget.findChild<QLabel *>("categorLabel");

    QVector<Row> rows() const
    {
        QVector<Row> out;
        for (int i = 0; i < table->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = table->topLevelItem(i);
            out.append({ item->text(1), item->data(2, Qt::UserRole).toBool() });
        }
        return out;
    }
    // The icon must say what the flag says.
    bool iconsAgree() const
    {
        const QImage apply = widget.style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(16).toImage();
        const QImage cancel = widget.style()->standardIcon(QStyle::SP_DialogCancelButton).pixmap(16).toImage();
        for (int i = 0; i < table->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = table->topLevelItem(i);
            const QImage shown = item->icon(2).pixmap(16).toImage();
            if (shown != (item->data(2, Qt::UserRole).toBool() ? apply : cancel))
                return false;
        }
        return true;
    }
};

QVector<Row> untouched()
{
    return QVector<Row>(6, Row { kDash, false });
}

} // namespace

// The test-sensor card: where each Ra reading lands, the grade, the report data.
class TestTestSensor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { freshSettings(); }

    void freshCard()
    {
        Card c;
        QCOMPARE(c.table->topLevelItemCount(), 6);
        QCOMPARE(c.table->headerItem()->text(1), QString("Измеренное значение"));
        QCOMPARE(c.rows(), untouched());
        QVERIFY(c.iconsAgree());
        QCOMPARE(c.grade->text(), QString("Разряд 4"));
        static const double tolerances[] = { 0.2115, 0.056, 0.01685, 0.0055, 0.0028, 0.012 };
        for (int i = 0; i < 6; ++i) {
            const QTreeWidgetItem *item = c.table->topLevelItem(i);
            QCOMPARE(item->text(0), kReferenceTexts.at(i));
            QCOMPARE(item->data(0, Qt::UserRole).toDouble(), TestSensorWidget::kReferenceRa[i]);
            QCOMPARE_REL(item->data(1, Qt::UserRole).toDouble(), tolerances[i], 1e-12);
            QCOMPARE(item->textAlignment(1), int(Qt::AlignHCenter | Qt::AlignVCenter));
        }
        const ReportData expected { { "sensor_number", "1" }, { "execution_grade", "1" },
            { "reference_values", "4.19,1.08,0.297,0.07,0.016,0," }, { "measured_values", "—,—,—,—,—,—," },
            { "in_tolerance", "0,0,0,0,0,0," } };
        QCOMPARE(c.widget.reportData(), expected);
        QVERIFY(!QFile::exists("settings.ini")); // showing the stored number stores nothing
    }

    void readingLandsInOneRow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("pass");
        QTest::newRow("0.011 meets 0") << "0.011" << 5 << "0.011" << true;
        QTest::newRow("0.012 meets none, nearest 0.016") << "0.012" << 4 << "0.012" << false;
        QTest::newRow("0.013 meets none, nearest 0.016") << "0.013" << 4 << "0.013" << false;
        QTest::newRow("0.014 meets 0.016") << "0.014" << 4 << "0.014" << true;
        QTest::newRow("2.6 nearest 1.08") << "2.6" << 1 << "2.6" << false;
        QTest::newRow("0.008 meets 0 before its distance ties with 0.016") << "0.008" << 5 << "0.008" << true;
        QTest::newRow("0.1835 ties 0.297 and 0.07: the later row") << "0.1835" << 3 << "0.1835" << false;
        QTest::newRow("mean of runs") << "0.296±0.004(1.35%)" << 2 << "0.296" << true;
    }
    void readingLandsInOneRow()
    {
        QFETCH(QString, text);
        QFETCH(int, row);
        QFETCH(QString, shown);
        QFETCH(bool, pass);
        Card c;
        QVERIFY(c.widget.checkRaText(text));
        QVector<Row> expected = untouched();
        expected[row] = { shown, pass };
        QCOMPARE(c.rows(), expected);
        QVERIFY(c.iconsAgree());
    }

    // Texts that hold no reading leave the card as it was; the evaluator's
    // message must not pass as a reading of 0 on the reference 0.
    void textWithoutReadingChangesNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("too short") << "Недостаточная длина измерения";
        QTest::newRow("nan") << "nan";
        QTest::newRow("inf") << "inf";
        QTest::newRow("empty") << "";
        QTest::newRow("spread without a mean") << "±0.002";
    }
    void textWithoutReadingChangesNothing()
    {
        QFETCH(QString, text);
        Card c;
        for (const char *ra : { "4.19", "1.08", "0.297" })
            QVERIFY(c.widget.checkRaText(ra));
        const QVector<Row> before = c.rows();
        QCOMPARE(c.grade->text(), QString("Разряд 3"));
        QVERIFY(!c.widget.checkRaText(text));
        QVERIFY(logText().contains("WARNING: Test sensor: no Ra reading in \"" + text + "\""));
        QCOMPARE(c.rows(), before);
        QCOMPARE(c.grade->text(), QString("Разряд 3"));
    }

    void gradeCountsPasses_data()
    {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QString>("grade");
        QTest::newRow("five") << QStringList { "4.19", "1.08", "0.297", "0.07", "0.016" } << "Разряд 2";
        QTest::newRow("three") << QStringList { "4.19", "0.297", "0.016" } << "Разряд 3";
        QTest::newRow("two") << QStringList { "1.08", "0.07" } << "Разряд 4";
        QTest::newRow("four, one twice") << QStringList { "4.19", "4.2", "1.08", "0.297", "0.07" } << "Разряд 3";
    }
    void gradeCountsPasses()
    {
        QFETCH(QStringList, readings);
        QFETCH(QString, grade);
        Card c;
        for (const QString &ra : readings)
            QVERIFY(c.widget.checkRaText(ra));
        QCOMPARE(c.grade->text(), grade);
    }

    void laterReadingOutsideReplacesAPass()
    {
        Card c;
        for (const QString &ra : kReferenceTexts)
            QVERIFY(c.widget.checkRaText(ra));
        QCOMPARE(c.widget.reportData().value("in_tolerance"), QString("1,1,1,1,1,1,"));
        QVERIFY(c.widget.checkRaText("1.2"));
        QCOMPARE(c.rows().at(1), (Row { "1.2", false }));
        QVERIFY(c.iconsAgree());
        QCOMPARE(c.widget.reportData().value("in_tolerance"), QString("1,0,1,1,1,1,"));
        QCOMPARE(c.widget.reportData().value("measured_values"), QString("4.19,1.2,0.297,0.07,0.016,0,"));
        QCOMPARE(c.grade->text(), QString("Разряд 2"));
    }

    // Traces written to files, read back and evaluated by the program's own
    // parameter code.
    void tracesThroughTheEvaluator()
    {
        Card c;
        c.widget.checkTrace(nullptr);
        QCOMPARE(c.rows(), untouched());

        const auto rough = roundTrip<ProfileTrace>(*std::unique_ptr<ProfileTrace>(sineProfile(1.08, 4000)), "r108.txt");
        c.widget.checkTrace(rough.get());
        QCOMPARE(c.rows().at(1).pass, true);
        QCOMPARE_REL(c.rows().at(1).value.toDouble(), 1.08, 0.01);

        std::unique_ptr<ProfileTrace> main(sineProfile(0.07, 4000));
        std::unique_ptr<ProfileTrace> run(sineProfile(0.071, 4000));
        run->setTraceType(ADDITIONAL_TRACE);
        main->addAdditionalTrace(run.get());
        const auto withRuns = roundTrip<ProfileTrace>(*main, "r007.txt");
        QCOMPARE(withRuns->additionalTraces.size(), 1);
        QVERIFY(calcParam(c.widget.args, withRuns.get(), "Ra").contains(QChar(0x00B1)));
        c.widget.checkTrace(withRuns.get());
        QCOMPARE(c.rows().at(3).pass, true);
        QCOMPARE_REL(c.rows().at(3).value.toDouble(), 0.0705, 0.01);

        // 1000 µm is shorter than two cut-offs of 800 µm.
        const auto shortTrace
            = roundTrip<ProfileTrace>(*std::unique_ptr<ProfileTrace>(sineProfile(0.016, 1000)), "short.txt");
        const QVector<Row> before = c.rows();
        c.widget.checkTrace(shortTrace.get());
        QCOMPARE(c.rows(), before);
        QCOMPARE(c.rows().at(5), (Row { kDash, false }));

        c.widget.checkRaText("2.6");
        c.widget.checkRaText("0.016");
        c.widget.resize(600, 240);
        c.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.widget));
        QVERIFY(c.table->header()->length() <= c.table->viewport()->width());
        saveWindowShot(&c.widget, "testsensor_graded");
    }

    void sensorNumberAndExecutionGoIntoTheReport()
    {
        Card c;
        c.widget.show();
        c.widget.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&c.widget));
        auto *spin = c.widget.findChild<QSpinBox *>("sensorNumberSpinBox");
        QCOMPARE(spin->prefix(), QString("№ "));
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(spin, Qt::Key_7);
        QCOMPARE(spin->value(), 7);
        QCOMPARE(Settings::load("settings.ini").sensor_number, 7);
        auto *execution = c.widget.findChild<QComboBox *>("executionsComboBox");
        execution->setFocus();
        QTest::keyClick(execution, Qt::Key_Down);
        QCOMPARE(execution->currentText(), QString("И2"));
        QCOMPARE(c.widget.reportData().value("sensor_number"), QString("7"));
        QCOMPARE(c.widget.reportData().value("execution_grade"), QString("2"));
    }
};

VANTOR_TEST_MAIN(TestTestSensor)
#include "tst_testsensor.moc"
