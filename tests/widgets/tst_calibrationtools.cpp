#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "dataproviders/filedataprovider.h"
#include "settings/settings.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "widgets/calibrationtoolswidget.h"
#include "widgets/editablelist.h"

#include "widgettesthelpers.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <vector>

using namespace WidgetTest;

namespace {

// The rows of the panel: label, editor, the settings field it edits and the
// contour-trace field that follows it (none for the two reference values).
struct Field {
    const char *label;
    const char *editor;
    double Settings::*setting;
    double ContourTrace::*trace;
};

const Field kFields[] = {
    { "downHeadRadiusLable", "downHeadRadiusSpinBox", &Settings::tool_head_radius_down,
        &ContourTrace::tool_head_radius_down },
    { "upperHeadRadiusLable", "upperHeadRadiusSpinBox", &Settings::tool_head_radius_up,
        &ContourTrace::tool_head_radius_up },
    { "doubleSidedProbeHighLabel", "doubleSidedProbeHighSpinBox", &Settings::double_sided_probe_high,
        &ContourTrace::double_sided_probe_high },
    { "needleBiasLabel", "needleBiasSpinBox", &Settings::needle_bias, &ContourTrace::needle_bias },
    { "rackPerpendicularLabel", "rackPerpendicularSpinBox", &Settings::rack_prpendicular,
        &ContourTrace::rack_perpendicular },
    { "referenceBallRadiusLabel", "referenceBallRadiusSpinBox", &Settings::reference_ball_radius, nullptr },
    { "roughnessReferenceValueLabel", "roughnessReferenceValueSpinBox", &Settings::roughness_reference_value, nullptr },
    { "roughnessRatioLabel", "roughnessRatioSpinBox", &Settings::roughness_ratio, &ContourTrace::roughness_ratio },
    { "xAxisCompressionRatioLabel", "xAxisCompressionRatioSpinBox", &Settings::x_axis_compression_ratio,
        &ContourTrace::x_axis_compression_ratio },
    { "yAxisCompressionRatioLabel", "yAxisCompressionRatioSpinBox", &Settings::y_axis_compression_ratio,
        &ContourTrace::y_axis_compression_ratio },
    { "displacementCoefficientLabel", "displacementCoefficientSpinBox", &Settings::displacement_coefficient,
        &ContourTrace::displacement_coefficient },
};

// Every calibration field of a contour trace, to show that it did not move.
QVector<double> traceFields(const ContourTrace *t)
{
    QVector<double> out;
    for (const Field &f : kFields)
        if (f.trace)
            out << t->*f.trace;
    return out;
}

// Active probe values that differ from every console's.
void setActiveProbeValues(Settings &s)
{
    s.tool_head_radius_down = 30;
    s.tool_head_radius_up = 31;
    s.double_sided_probe_high = 0.5;
    s.needle_bias = 0.125;
    s.roughness_ratio = 5.5;
}

} // namespace

// The probe-calibration panel on contour traces read from files.
class TestCalibrationTools : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::vector<std::unique_ptr<AbstractTrace>> owned;
    std::unique_ptr<CalibrationToolsWidget> panel;

    // A trace file as the program writes it, read back through its provider.
    // spec: "CONTOUR d", "CONTOURPROF u", "PROFILE", ...
    AbstractTrace *traceFromFile(const QString &spec)
    {
        const QStringList parts = spec.split(' ');
        QByteArray text = "trace_type:" + parts.at(0).toLatin1() + "\n";
        std::unique_ptr<AbstractTrace> trace;
        if (parts.at(0) == "PROFILE") {
            text += "speed:0.5\nfilter:800\ncontroler_name:Иванов\naddittional_trace_count:0\n"
                    "point_count:3\n0\t0.1\t\n1\t0.2\t\n2\t0.1\t\n";
            trace = std::make_unique<ProfileTrace>();
        } else {
            text += "needle_pressing:" + parts.at(1).toLatin1()
                + "\ntool_head_radius_down:20\ntool_head_radius_up:20\nmeasurement_mode:0\n"
                  "controler_name:Иванов\npoint_count:4\n0\t0\t0\t\n100\t50\t0\t\n200\t80\t0\t\n300\t90\t0\t\n";
            trace = std::make_unique<ContourTrace>();
        }
        const QString path = dir.filePath(QStringLiteral("trace_%1.txt").arg(owned.size()));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return nullptr;
        file.close();
        FileDataProvider provider(path);
        provider.start(trace.get());
        provider.waitForFinished();
        if (!provider.result())
            return nullptr;
        owned.push_back(std::move(trace));
        return owned.back().get();
    }

    QVector<AbstractTrace *> tracesFromFiles(const QStringList &specs)
    {
        QVector<AbstractTrace *> out;
        for (const QString &spec : specs)
            out << traceFromFile(spec);
        return out;
    }

    void openPanel(bool developer)
    {
        Settings::instance().is_developer_mode = developer;
        panel = std::make_unique<CalibrationToolsWidget>();
        panel->init();
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
        panel->activateWindow();
    }

    QDoubleSpinBox *spin(const char *name) { return panel->findChild<QDoubleSpinBox *>(name); }
    template <typename T = QWidget> T *child(const char *name) { return panel->findChild<T *>(name); }
    bool shown(const char *name) { return !child(name)->isHidden(); }

    // The rows 0..10 whose label and editor are both shown, as "0 1 7".
    QString shownRows()
    {
        QStringList rows;
        for (int r = 0; r < 11; ++r) {
            const bool label = shown(kFields[r].label);
            if (label != shown(kFields[r].editor))
                return QStringLiteral("row %1 half shown").arg(r);
            if (label)
                rows << QString::number(r);
        }
        return rows.join(' ');
    }

    ContourTrace *contour(int i) { return dynamic_cast<ContourTrace *>(panel->traces.at(i)); }

    // A dialog handler that picks the list row (adding a console first when
    // row is -1) and presses "Выбрать", or presses "Отмена" when row is -2.
    static ScriptedPrompts::Handler pickConsole(int row)
    {
        return [row](QObject *subject) {
            auto *dialog = qobject_cast<QDialog *>(subject);
            dialog->show();
            auto *list = dialog->findChild<EditableList *>("listWidget");
            if (row == -2) {
                QTest::mouseClick(dialog->findChild<QPushButton *>("cancelPushButton"), Qt::LeftButton);
                return QVariant(dialog->result());
            }
            int pick = row;
            if (row == -1) {
                QTest::mouseClick(dialog->findChild<QPushButton *>("addPushButton"), Qt::LeftButton);
                QTest::keyClick(openEditor(*list), Qt::Key_Return);
                if (!editorClosed(*list))
                    qWarning("the new console's editor stayed open");
                pick = list->count() - 1;
            }
            click(*list, pick);
            QTest::mouseClick(dialog->findChild<QPushButton *>("selectPushButton"), Qt::LeftButton);
            return QVariant(dialog->result());
        };
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void init()
    {
        QFile::remove("settings.ini");
        QDir("settings.ini").removeRecursively();
        Settings::instance() = Settings::load("no-such.ini");
    }
    void cleanup()
    {
        panel.reset();
        owned.clear();
    }

    void formAsDesigned()
    {
        openPanel(true);
        QCOMPARE(panel->objectName(), QString("CalibrationToolsWidget"));
        QCOMPARE(child<QPushButton>("saveAsPushButton")->text().at(0), QChar('C')); // Latin C
        QCOMPARE(child<QPushButton>("savePushButton")->text(), QString("Сохранить"));
        QCOMPARE(child<QPushButton>("discardChangesPushButton")->text(), QString("Отмена"));
        QCOMPARE(spin("downHeadRadiusSpinBox")->decimals(), 0);
        QCOMPARE(spin("downHeadRadiusSpinBox")->suffix(), QString(" мкм"));
        QCOMPARE(spin("rackPerpendicularSpinBox")->suffix(), QString(" °"));
        QCOMPARE(spin("xAxisCompressionRatioSpinBox")->minimum(), 0.95);
        QCOMPARE(spin("xAxisCompressionRatioSpinBox")->singleStep(), 0.00001);
        QCOMPARE(spin("displacementCoefficientSpinBox")->decimals(), 6);
        QCOMPARE(spin("needleBiasSpinBox")->minimum(), -99.99);
        QVERIFY(panel->dataSaved);
    }

    void rowsFollowNeedlesAndKinds_data()
    {
        QTest::addColumn<QStringList>("traces");
        QTest::addColumn<QString>("rows");
        QTest::newRow("no traces") << QStringList() << "";
        QTest::newRow("lower needle only") << QStringList({ "CONTOUR d", "CONTOUR d" }) << "0";
        QTest::newRow("upper needle only") << QStringList({ "CONTOUR u" }) << "1";
        QTest::newRow("both needles") << QStringList({ "CONTOUR d", "CONTOUR u" }) << "0 1 2 3";
        QTest::newRow("contour and profile") << QStringList({ "CONTOURPROF d" }) << "0 7";
        QTest::newRow("profile trace left alone") << QStringList({ "PROFILE" }) << "";
    }
    void rowsFollowNeedlesAndKinds()
    {
        QFETCH(QStringList, traces);
        QFETCH(QString, rows);
        openPanel(false);
        QCOMPARE(shownRows(), QString());
        const QVector<AbstractTrace *> loaded = tracesFromFiles(traces);
        QVERIFY(!loaded.contains(nullptr));
        panel->setTraces(loaded);
        QCOMPARE(panel->traces, loaded);
        QCOMPARE(shownRows(), rows);
    }

    // Rows once shown stay: a later, smaller trace set hides nothing.
    void rowsAreNeverHidden()
    {
        openPanel(false);
        panel->setTraces(tracesFromFiles({ "CONTOUR d", "CONTOURPROF u" }));
        QCOMPARE(shownRows(), QString("0 1 2 3 7"));
        panel->setTraces(tracesFromFiles({ "CONTOUR d" }));
        QCOMPARE(shownRows(), QString("0 1 2 3 7"));
        panel->setTraces({});
        QCOMPARE(shownRows(), QString("0 1 2 3 7"));
    }

    void developerRows_data()
    {
        QTest::addColumn<bool>("developer");
        QTest::newRow("operator") << false;
        QTest::newRow("developer") << true;
    }
    void developerRows()
    {
        QFETCH(bool, developer);
        openPanel(developer);
        QCOMPARE(shownRows(), developer ? QString("4 8 9 10") : QString());
        QCOMPARE(shown("enableRadiusEliminationCheckBox"), developer);
        QCOMPARE(shown("enableGaussFilterCheckBox"), developer);
        QVERIFY(!shown("calibrationCirclePushButton"));
        QVERIFY(!shown("calibrationRoughnessPushButton"));

        panel->setTraces(tracesFromFiles({ "CONTOURPROF d", "CONTOUR u" }));
        QCOMPARE(shownRows(), developer ? QString("0 1 2 3 4 7 8 9 10") : QString("0 1 2 3 7"));
        panel->adjustSize();
        QVERIFY(saveScreenshot(panel.get(), developer ? "calibration_tools_developer" : "calibration_tools_operator"));
    }

    // With consoles the probe values shown are the current console's; the
    // rest always come from the active fields. Loading changes nothing.
    void loadsValues_data()
    {
        QTest::addColumn<bool>("withConsoles");
        QTest::newRow("no consoles: active fields") << false;
        QTest::newRow("consoles: current console") << true;
    }
    void loadsValues()
    {
        QFETCH(bool, withConsoles);
        Settings &s = Settings::instance();
        setActiveProbeValues(s);
        s.tool_head_radius_up = 3; // below the editor's range
        s.rack_prpendicular = 1.25;
        s.reference_ball_radius = 12.5;
        s.roughness_reference_value = 2.5;
        s.x_axis_compression_ratio = 1.01;
        s.y_axis_compression_ratio = 0.99;
        s.displacement_coefficient = 0.5;
        s.is_disabled_gauss_filter = false;
        s.is_disabled_radius_elimination = true;
        if (withConsoles) {
            s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
            s.consoles = { s.current_console };
        }
        openPanel(true);

        const QVector<double> probe
            = withConsoles ? QVector<double>({ 40, 41, 1.5, 0.25, 7.5 }) : QVector<double>({ 30, 5, 0.5, 0.125, 5.5 });
        QCOMPARE(spin("downHeadRadiusSpinBox")->value(), probe[0]);
        QCOMPARE(spin("upperHeadRadiusSpinBox")->value(), probe[1]);
        QCOMPARE(spin("doubleSidedProbeHighSpinBox")->value(), probe[2]);
        QCOMPARE(spin("needleBiasSpinBox")->value(), probe[3]);
        QCOMPARE(spin("roughnessRatioSpinBox")->value(), probe[4]);
        QCOMPARE(spin("rackPerpendicularSpinBox")->value(), 1.25);
        QCOMPARE(spin("referenceBallRadiusSpinBox")->value(), 12.5);
        QCOMPARE(spin("roughnessReferenceValueSpinBox")->value(), 2.5);
        QCOMPARE(spin("xAxisCompressionRatioSpinBox")->value(), 1.01);
        QCOMPARE(spin("yAxisCompressionRatioSpinBox")->value(), 0.99);
        QCOMPARE(spin("displacementCoefficientSpinBox")->value(), 0.5);
        QVERIFY(!child<QCheckBox>("enableGaussFilterCheckBox")->isChecked());
        QVERIFY(child<QCheckBox>("enableRadiusEliminationCheckBox")->isChecked());

        // The clamped display does not reach the record.
        QCOMPARE(s.tool_head_radius_up, 3.0);
        QCOMPARE(s.tool_head_radius_down, 30.0);
        QVERIFY(panel->dataSaved);
        QVERIFY(!QFile::exists("settings.ini"));
    }

    // One key press on a row's editor: its settings field and that field of
    // every contour trace take the new value, one change is announced, and
    // nothing is written.
    void keyInputEditsSettingAndTraces_data()
    {
        QTest::addColumn<int>("row");
        for (int r = 0; r < 11; ++r)
            QTest::newRow(kFields[r].editor) << r;
    }
    void keyInputEditsSettingAndTraces()
    {
        QFETCH(int, row);
        const Field &f = kFields[row];
        openPanel(true);
        panel->setTraces(tracesFromFiles({ "CONTOUR d", "CONTOURPROF u", "PROFILE" }));
        const QVector<double> before0 = traceFields(contour(0));
        const QVector<double> before1 = traceFields(contour(1));
        QList<QVector<AbstractTrace *>> changed;
        connect(panel.get(), &CalibrationToolsWidget::calibrationDataChanged,
            [&changed](const QVector<AbstractTrace *> &t) { changed << t; });

        QDoubleSpinBox *editor = spin(f.editor);
        const double old = editor->value();
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Up);
        const double value = editor->value();
        QVERIFY(value > old);

        QCOMPARE(Settings::instance().*f.setting, value);
        for (int i : { 0, 1 }) {
            if (f.trace)
                QCOMPARE(contour(i)->*f.trace, value);
            else
                QCOMPARE(traceFields(contour(i)), i == 0 ? before0 : before1);
        }
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0), panel->traces);
        QVERIFY(!panel->dataSaved);
        QVERIFY(!QFile::exists("settings.ini"));
    }

    // The switches act through the settings only; the traces keep their fields.
    void switchesToggleTheirFlags_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("Фильтр Гаусса") << "enableGaussFilterCheckBox";
        QTest::newRow("Устранение радиуса") << "enableRadiusEliminationCheckBox";
    }
    void switchesToggleTheirFlags()
    {
        QFETCH(QString, box);
        const bool gauss = box == "enableGaussFilterCheckBox";
        openPanel(true);
        panel->setTraces(tracesFromFiles({ "CONTOUR d", "CONTOUR u" }));
        const QVector<double> fields = traceFields(contour(0));
        QList<QVector<AbstractTrace *>> changed;
        connect(panel.get(), &CalibrationToolsWidget::calibrationDataChanged,
            [&changed](const QVector<AbstractTrace *> &t) { changed << t; });
        Settings &s = Settings::instance();
        QVERIFY(s.is_disabled_gauss_filter && s.is_disabled_radius_elimination);

        auto *checkBox = child<QCheckBox>(qPrintable(box));
        QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(8, checkBox->height() / 2));
        QVERIFY(!checkBox->isChecked());
        QCOMPARE(s.is_disabled_gauss_filter, !gauss);
        QCOMPARE(s.is_disabled_radius_elimination, gauss);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0), panel->traces);
        QCOMPARE(traceFields(contour(0)), fields);
        QVERIFY(!panel->dataSaved);

        QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(8, checkBox->height() / 2));
        QVERIFY(s.is_disabled_gauss_filter && s.is_disabled_radius_elimination);
        QCOMPARE(changed.count(), 2);
    }

    // Save with consoles: every record of the current name takes the active
    // probe values (also of rows never touched, whatever their editors show).
    void saveIntoTheCurrentConsole()
    {
        Settings &s = Settings::instance();
        setActiveProbeValues(s);
        s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
        s.consoles = { s.current_console, console("B", 50, 51, 2.5, 0.5, 8.5), s.current_console };
        openPanel(false);
        panel->setTraces(tracesFromFiles({ "CONTOUR d", "CONTOURPROF u" }));
        QCOMPARE(spin("upperHeadRadiusSpinBox")->value(), 41.0);
        QSignalSpy closed(panel.get(), &CalibrationToolsWidget::closeDialogCalibration);
        ScriptedPrompts prompts; // no question is expected

        QTest::keyClick(spin("downHeadRadiusSpinBox"), Qt::Key_Up); // 40 -> 41
        QTest::mouseClick(child<QPushButton>("savePushButton"), Qt::LeftButton);

        const QString saved = "A 41 31 0.5 0.125 5.5";
        const QStringList expected { saved, "B 50 51 2.5 0.5 8.5", saved };
        QCOMPARE(describe(s.consoles), expected);
        QCOMPARE(describe(s.current_console), saved);
        QVERIFY(panel->dataSaved);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!s.upload_device_settings);
        const Settings file = Settings::load("settings.ini");
        QCOMPARE(describe(file.consoles), expected);
        QCOMPARE(file.tool_head_radius_down, 41.0);
    }

    // A current console whose name no record has: no record changes, the
    // file is written all the same.
    void saveWithoutMatchingRecord()
    {
        Settings &s = Settings::instance();
        s.consoles = { console("B", 50, 51, 2.5, 0.5, 8.5) };
        s.current_console.name = "No console";
        openPanel(false);
        ScriptedPrompts prompts;
        panel->clickSave();
        QCOMPARE(describe(s.consoles), QStringList({ "B 50 51 2.5 0.5 8.5" }));
        QCOMPARE(describe(s.current_console), QString("No console 20 20 22 0 6.2"));
        QVERIFY(QFile::exists("settings.ini"));
        QVERIFY(panel->dataSaved);
    }

    // Without consoles, save asks for one first: the new console gets the
    // panel's values.
    void saveAsksForTheFirstConsole()
    {
        Settings &s = Settings::instance();
        setActiveProbeValues(s);
        openPanel(false);
        QTest::keyClick(spin("roughnessRatioSpinBox"), Qt::Key_Up); // 5.5 -> 5.501
        QSignalSpy closed(panel.get(), &CalibrationToolsWidget::closeDialogCalibration);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), pickConsole(-1));
        panel->clickSave();
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().at(0).title, QString("Выбор консоли"));

        const QString saved = "Новая консоль 30 31 0.5 0.125 5.501";
        QCOMPARE(describe(s.consoles), QStringList({ saved }));
        QCOMPARE(describe(s.current_console), saved);
        QCOMPARE(describe(Settings::load("settings.ini").consoles), QStringList({ saved }));
        QCOMPARE(Settings::load("settings.ini").current_console.name, QString("Новая консоль"));
        QVERIFY(panel->dataSaved);
        QCOMPARE(closed.count(), 1);
    }

    // Save-as asks even with consoles and stores into the console picked.
    void saveAsIntoAnotherConsole()
    {
        Settings &s = Settings::instance();
        setActiveProbeValues(s);
        s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
        s.consoles = { s.current_console, console("B", 50, 51, 2.5, 0.5, 8.5) };
        openPanel(false);
        QTest::keyClick(spin("downHeadRadiusSpinBox"), Qt::Key_Down); // 40 -> 39
        QSignalSpy closed(panel.get(), &CalibrationToolsWidget::closeDialogCalibration);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), pickConsole(1));
        QTest::mouseClick(child<QPushButton>("saveAsPushButton"), Qt::LeftButton);
        QVERIFY(prompts.allAnswered());

        const QStringList expected { "A 40 41 1.5 0.25 7.5", "B 39 31 0.5 0.125 5.5" };
        QCOMPARE(describe(s.consoles), expected);
        QCOMPARE(s.current_console.name, QString("B"));
        const Settings file = Settings::load("settings.ini");
        QCOMPARE(describe(file.consoles), expected);
        QCOMPARE(file.current_console.name, QString("B"));
        QCOMPARE(closed.count(), 1);
    }

    // A cancelled choice ends the save quietly: no file, no signal, still
    // unsaved; only the current console holds the values in memory.
    void cancelledChoiceSavesNothing_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("save, no console yet") << false;
        QTest::newRow("save as") << true;
    }
    void cancelledChoiceSavesNothing()
    {
        QFETCH(bool, saveAs);
        Settings &s = Settings::instance();
        setActiveProbeValues(s);
        if (saveAs) {
            s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
            s.consoles = { s.current_console };
        }
        const QStringList consoles = describe(s.consoles);
        openPanel(false);
        QTest::keyClick(spin("roughnessRatioSpinBox"), Qt::Key_Up);
        QSignalSpy closed(panel.get(), &CalibrationToolsWidget::closeDialogCalibration);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), pickConsole(-2));
        if (saveAs)
            panel->onSaveAsClicked();
        else
            panel->clickSave();

        QVERIFY(prompts.allAnswered());
        QVERIFY(!panel->dataSaved);
        QCOMPARE(closed.count(), 0);
        QVERIFY(!QFile::exists("settings.ini"));
        QCOMPARE(describe(s.consoles), consoles);
        QCOMPARE(s.current_console.roughness_ratio, s.roughness_ratio);
    }

    // The upload flag is raised by a saved change of an instrument parameter
    // against the starting values, not by the history of edits.
    void uploadFlag_data()
    {
        QTest::addColumn<QStringList>("keys"); // "<editor> up|down"
        QTest::addColumn<bool>("nanAtStart");
        QTest::addColumn<bool>("upload");
        QTest::newRow("tip radius only") << QStringList({ "downHeadRadiusSpinBox up" }) << false << false;
        QTest::newRow("x ratio and back")
            << QStringList({ "xAxisCompressionRatioSpinBox up", "xAxisCompressionRatioSpinBox down" }) << false
            << false;
        QTest::newRow("x ratio") << QStringList({ "xAxisCompressionRatioSpinBox up" }) << false << true;
        QTest::newRow("y ratio") << QStringList({ "yAxisCompressionRatioSpinBox down" }) << false << true;
        QTest::newRow("rack") << QStringList({ "rackPerpendicularSpinBox up" }) << false << true;
        QTest::newRow("displacement") << QStringList({ "displacementCoefficientSpinBox up" }) << false << true;
        QTest::newRow("NaN x ratio") << QStringList() << true << true;
    }
    void uploadFlag()
    {
        QFETCH(QStringList, keys);
        QFETCH(bool, nanAtStart);
        QFETCH(bool, upload);
        Settings &s = Settings::instance();
        s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
        s.consoles = { s.current_console };
        if (nanAtStart)
            s.x_axis_compression_ratio = std::nan("");
        openPanel(true);
        for (const QString &key : keys) {
            const QStringList parts = key.split(' ');
            QTest::keyClick(spin(qPrintable(parts.at(0))), parts.at(1) == "up" ? Qt::Key_Up : Qt::Key_Down);
        }
        ScriptedPrompts prompts;
        panel->clickSave();
        QCOMPARE(s.upload_device_settings, upload);
        QCOMPARE(Settings::load("settings.ini").upload_device_settings, upload);
        QVERIFY(panel->dataSaved);
    }

    // A settings file that cannot be written is reported, and the panel
    // stays open with its edits so the operator can save again.
    void failedWriteIsNotASave()
    {
        Settings &s = Settings::instance();
        s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
        s.consoles = { s.current_console };
        openPanel(false);
        QTest::keyClick(spin("downHeadRadiusSpinBox"), Qt::Key_Up);
        QSignalSpy closed(panel.get(), &CalibrationToolsWidget::closeDialogCalibration);
        QVERIFY(QDir().mkdir("settings.ini")); // a folder where the file should be

        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        panel->clickSave();
        QVERIFY(prompts.allAnswered());
        QVERIFY(!panel->dataSaved);
        QCOMPARE(closed.count(), 0);

        QVERIFY(QDir("settings.ini").removeRecursively());
        panel->clickSave();
        QVERIFY(panel->dataSaved);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(Settings::load("settings.ini").consoles.at(0).tool_head_radius_down, 41.0);
    }

    // Discard puts back all thirteen starting values, in memory only; the
    // consoles, the editors and the traces stay as they are.
    void discardRestoresTheStartingValues()
    {
        Settings &s = Settings::instance();
        const double start[] = { 21, 23, 24.5, 0.25, 1.5, 12.5, 2.5, 5.5, 1.01, 0.98, 0.125 };
        for (int r = 0; r < 11; ++r)
            s.*kFields[r].setting = start[r];
        s.is_disabled_gauss_filter = false;
        s.is_disabled_radius_elimination = true;
        s.current_console = console("A", 40, 41, 1.5, 0.25, 7.5);
        s.consoles = { s.current_console };
        openPanel(true);
        panel->setTraces(tracesFromFiles({ "CONTOUR d", "CONTOURPROF u" }));

        for (const Field &f : kFields)
            QTest::keyClick(spin(f.editor), Qt::Key_Up);
        for (const char *box : { "enableGaussFilterCheckBox", "enableRadiusEliminationCheckBox" })
            QTest::mouseClick(child(box), Qt::LeftButton, {}, QPoint(8, child(box)->height() / 2));
        QVERIFY(s.is_disabled_gauss_filter && !s.is_disabled_radius_elimination);
        const QVector<double> edited = traceFields(contour(1));
        const double editedRatio = spin("xAxisCompressionRatioSpinBox")->value();
        QSignalSpy closed(panel.get(), &CalibrationToolsWidget::closeDialogCalibration);

        ScriptedPrompts prompts;
        panel->clickDiscard();
        for (int r = 0; r < 11; ++r)
            QCOMPARE(s.*kFields[r].setting, start[r]);
        QVERIFY(!s.is_disabled_gauss_filter);
        QVERIFY(s.is_disabled_radius_elimination);
        QVERIFY(panel->dataSaved);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!QFile::exists("settings.ini"));
        QCOMPARE(describe(s.current_console), QString("A 40 41 1.5 0.25 7.5"));
        QCOMPARE(describe(s.consoles), QStringList({ "A 40 41 1.5 0.25 7.5" }));
        QCOMPARE(traceFields(contour(1)), edited);
        QCOMPARE(spin("xAxisCompressionRatioSpinBox")->value(), editedRatio);
    }
};

VANTOR_TEST_MAIN(TestCalibrationTools)
#include "tst_calibrationtools.moc"
