#include "support/freshsettings.h"
#include "support/logtext.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "settings/settings.h"
#include "traces/nonlinearity.h"
#include "widgets/colorpickerwidget.h"
#include "widgets/settingsdialog.h"

#include "settingstesthelpers.h"
#include "widgettesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBox>

using namespace SettingsTest;
using namespace WidgetTest;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A reference contour over [0, 10] mm: a header line, then X, Y, Z rows.
QByteArray contourFile()
{
    QByteArray text = "Контур\tэталон\n";
    for (int i = 0; i <= 100; ++i)
        text += QByteArray::number(i * 0.1) + '\t' + QByteArray::number(0.002 * i) + "\t1000\n";
    return text;
}

// A profile trace: X, Y rows only.
QByteArray profileFile()
{
    QByteArray text;
    for (int i = 0; i <= 100; ++i)
        text += QByteArray::number(i * 0.5) + '\t' + QByteArray::number(0.3 * (i % 7)) + '\n';
    return text;
}

} // namespace

// The settings dialog: its pages, what OK and Cancel store, what applies at
// once, and the building of the non-linearity table.
class TestSettingsDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<SettingsDialog> dialog;

    template <typename T> T *child(const QString &name) const
    {
        T *w = dialog->findChild<T *>(name);
        if (!w)
            qWarning("no %s", qPrintable(name));
        return w;
    }

    void open()
    {
        dialog = std::make_unique<SettingsDialog>(nullptr, QList<AbstractTrace *> {});
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
    }

    void showPageOf(QWidget *w) { SettingsTest::showPageOf(dialog.get(), w); }

    void press(QDialogButtonBox::StandardButton which)
    {
        QTest::mouseClick(child<QDialogButtonBox>("buttonBox")->button(which), Qt::LeftButton);
    }

    // Picks the file in the chooser; a message may follow.
    void choose(ScriptedPrompts &prompts, const QString &path, bool thenMessage = false)
    {
        prompts.expect(ScriptedPrompts::OpenFile, path);
        if (thenMessage)
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        auto *button = child<QPushButton>("chooseNonLinearityDataPushButton");
        showPageOf(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QString status() { return child<QLabel>("nonLinearityDataStatusLable")->text(); }

private Q_SLOTS:
    void init()
    {
        Settings &s = freshSettings();
        QVERIFY(s.save());
        QDir(NonLinearity::kDirName).removeRecursively();
        QFile::remove(NonLinearity::kDirName);
    }
    void cleanup() { dialog.reset(); }

    void pages()
    {
        Settings::instance().is_developer_mode = true;
        open();
        QCOMPARE(dialog->windowTitle(), QString("Параметры"));
        auto *toolBox = child<QToolBox>("toolBox");
        QCOMPARE(toolBox->count(), 4);
        const QStringList names { "page", "page_2", "pageStandartization", "page_3" };
        const QStringList titles { "Прибор", "Отображение", "Стандартизация", "Сервис" };
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(toolBox->widget(i)->objectName(), names[i]);
            QCOMPARE(toolBox->itemText(i), titles[i]);
        }
        QCOMPARE(toolBox->currentIndex(), 2);
        QVERIFY(saveScreenshot(dialog.get(), "settings_dialog_standartization"));
        const QStringList shots { "settings_dialog_device", "settings_dialog_view", "", "settings_dialog_service" };
        Settings::instance().device_type = 0;
        Settings::instance().preferenses.non_linearity = true;
        dialog.reset();
        open();
        toolBox = child<QToolBox>("toolBox");
        for (int i : { 0, 1, 3 }) {
            toolBox->setCurrentIndex(i);
            QCoreApplication::processEvents(); // the page's layout, before the picture
            QVERIFY(saveScreenshot(dialog.get(), shots[i]));
        }
    }

    void editorsShowTheSettings()
    {
        Settings &s = Settings::instance();
        s.device_type = 0;
        s.angles_in_deg = true;
        s.preferenses.alternative_measurement = true;
        s.preferenses.non_linearity = true;
        s.axis_unit = 2;
        s.alternative_managment = true;
        s.power_pressing = 1;
        s.preferenses.standartisation_value = 1;
        s.preferenses.is_ask_before_change_filter = false;
        s.factory_name = "Цех 5";
        s.scale_x_resolution = 3;
        s.scale_z_resolution = 4;
        s.scale_r_resolution = 5;
        s.demo_regime = true;
        s.test_sensor_mode = true;
        s.preferenses.graph_color = "#112233";
        s.preferenses.selected_graph_color = "#445566";
        s.preferenses.visual_objects_color = "#778899";
        open();
        QVERIFY(child<QCheckBox>("anglesInDoubleCB")->isChecked());
        QVERIFY(child<QCheckBox>("alternativeMeasurementCB")->isChecked());
        QVERIFY(child<QCheckBox>("nonLinearityCheckBox")->isChecked());
        QCOMPARE(child<QComboBox>("axisUnit")->currentText(), QString("нанометрах"));
        QVERIFY(child<QCheckBox>("alternativeControlCheckBox")->isChecked());
        QCOMPARE(child<QComboBox>("pressingPowerComboBox")->currentText(), QString("10 мН (1 грамм)"));
        QCOMPARE(child<QComboBox>("standartisationComboBox")->currentText(), QString("ISO 4288"));
        QVERIFY(!child<QCheckBox>("askBeforeChangeFilterCheckBox")->isChecked());
        QCOMPARE(child<QLineEdit>("facoryNameLineEdit")->text(), QString("Цех 5"));
        QCOMPARE(child<QSpinBox>("scaleXResolutionSpinBox")->value(), 3);
        QCOMPARE(child<QSpinBox>("scaleZResolutionSpinBox")->value(), 4);
        QCOMPARE(child<QSpinBox>("scaleRResolutionSpinBox")->value(), 5);
        QVERIFY(child<QCheckBox>("demoCheckBox")->isChecked());
        QVERIFY(child<QCheckBox>("sensorTestCheckBox")->isChecked());
        QCOMPARE(status(), QString("Файл не найден"));
        QCOMPARE(child<ColorPickerWidget>("graphColorWidget")->color, QColor("#112233"));
        QCOMPARE(child<ColorPickerWidget>("graphSelectionColorWidget")->color, QColor("#445566"));
        QCOMPARE(child<ColorPickerWidget>("visualObjectColorWidget")->color, QColor("#778899"));
        // Filling the editors saved nothing.
        QCOMPARE(storedValue("servise/factory_name"), QString("Завод"));
    }

    // Every field edited through its widget: OK stores it, Cancel does not.
    void fields_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("accept");
        struct Row {
            int deviceType;
            const char *widget, *edit, *key, *stored;
        };
        const Row rows[] = {
            { 0, "pressingPowerComboBox", "down 2", "device/power_pressing", "3" },
            { 0, "alternativeControlCheckBox", "click", "device/alternative_managment", "true" },
            { 0, "nonLinearityCheckBox", "click", "preferenses/non_linearity", "true" },
            { 2, "alternativeMeasurementCB", "click", "preferenses/alternative_measurement", "true" },
            { 2, "anglesInDoubleCB", "click", "view/angles_in_deg", "true" },
            { 2, "axisUnit", "down 1", "view/axis_unit", "1" },
            { 2, "standartisationComboBox", "down 1", "preferenses/standartisation_value", "1" },
            { 2, "askBeforeChangeFilterCheckBox", "click", "preferenses/is_ask_before_change_filter", "false" },
            { 2, "demoCheckBox", "click", "servise/demo_regime", "true" },
            { 2, "sensorTestCheckBox", "click", "servise/test_sensor_mode", "true" },
            { 2, "scaleXResolutionSpinBox", "type 5", "servise/scale_x_resolution", "5" },
            { 2, "scaleZResolutionSpinBox", "type 17", "servise/scale_z_resolution", "17" },
            { 2, "scaleRResolutionSpinBox", "type 9", "servise/scale_r_resolution", "9" },
        };
        for (const Row &r : rows) {
            for (bool accept : { true, false }) {
                QTest::addRow("%s %s", r.widget, accept ? "OK" : "Cancel")
                    << r.deviceType << r.widget << r.edit << r.key << r.stored << accept;
            }
        }
    }

    void fields()
    {
        QFETCH(int, deviceType);
        QFETCH(QString, widget);
        QFETCH(QString, edit);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(bool, accept);
        Settings::instance().device_type = deviceType;
        Settings::instance().is_developer_mode = true;
        QVERIFY(Settings::instance().save());
        const QString before = storedValue(key);
        QVERIFY(before != stored);

        open();
        auto *w = child<QWidget>(widget);
        QVERIFY(w && !w->isHidden());
        showPageOf(w);
        const QString verb = edit.section(' ', 0, 0);
        const QString arg = edit.section(' ', 1);
        if (verb == "click") {
            auto *box = qobject_cast<QCheckBox *>(w);
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        } else if (verb == "down") {
            w->setFocus();
            for (int i = 0; i < arg.toInt(); ++i)
                QTest::keyClick(w, Qt::Key_Down);
        } else {
            auto *spin = qobject_cast<QSpinBox *>(w);
            spin->setFocus();
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, arg);
        }
        press(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
        QCOMPARE(storedValue(key), accept ? stored : before);
    }

    // What loadSettings put in a hidden editor is what OK writes back.
    void hiddenEditorsKeepTheirValues()
    {
        Settings &s = Settings::instance();
        s.device_type = 2;
        s.is_developer_mode = false;
        s.demo_regime = true;
        s.scale_z_resolution = 6;
        s.power_pressing = 4;
        s.alternative_managment = true;
        QVERIFY(s.save());
        open();
        QVERIFY(child<QWidget>("demoCheckBox")->isHidden());
        QVERIFY(child<QWidget>("pressingPowerComboBox")->isHidden());
        press(QDialogButtonBox::Ok);
        QCOMPARE(storedValue("servise/demo_regime"), QString("true"));
        QCOMPARE(storedValue("servise/scale_z_resolution"), QString("6"));
        QCOMPARE(storedValue("device/power_pressing"), QString("4"));
        QCOMPARE(storedValue("device/alternative_managment"), QString("true"));
        QVERIFY(logText().contains("Accept settings"));
    }

    void visibility_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<bool>("nonLinearity");
        QTest::addColumn<QString>("firstButton");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QStringList>("shown");
        const QStringList contourOnly { "consoleButton", "alternativeControlCheckBox", "pressingPowerLabel",
            "pressingPowerComboBox", "nonLinearityCheckBox" };
        const QStringList profileOnly { "askBeforeChangeFilterCheckBox", "paramsSettingsPushButton" };
        const QStringList table { "chooseNonLinearityDataPushButton", "nonLinearityDataStatusLable" };
        QTest::newRow("profile") << 2 << false << "Калибровка" << contourOnly + table << profileOnly;
        QTest::newRow("profile, high precision") << 2 << true << "Калибровка" << contourOnly << profileOnly + table;
        QTest::newRow("contour") << 0 << false << "Настройка консоли" << profileOnly + table << contourOnly;
        QTest::newRow("contour, high precision")
            << 0 << true << "Настройка консоли" << profileOnly << contourOnly + table;
    }

    void visibility()
    {
        QFETCH(int, deviceType);
        QFETCH(bool, nonLinearity);
        QFETCH(QString, firstButton);
        QFETCH(QStringList, hidden);
        QFETCH(QStringList, shown);
        Settings::instance().device_type = deviceType;
        Settings::instance().preferenses.non_linearity = nonLinearity;
        open();
        QCOMPARE(child<QPushButton>("consoleSettingsButton")->text(), firstButton);
        for (const QString &name : hidden)
            QVERIFY2(child<QWidget>(name)->isHidden(), qPrintable(name));
        for (const QString &name : shown)
            QVERIFY2(!child<QWidget>(name)->isHidden(), qPrintable(name));
    }

    // The high-precision switch, the three colours and the organisation name
    // apply at once; "Отмена" and Escape give them back in memory and in the
    // file, byte for byte (a file the program wrote, one written by hand,
    // none at all), also after the save that follows anywhere next; OK
    // stores them.
    void applyAtOnceUntilCancel_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("closeBy");
        QTest::addColumn<QString>("file");
        const char *const rows[][3] = {
            { "nonLinearityCheckBox", "preferenses/non_linearity", "true" },
            { "graphColorWidget", "preferenses/graph_color", "#12abef" },
            { "graphSelectionColorWidget", "preferenses/selected_graph_color", "#12abef" },
            { "visualObjectColorWidget", "preferenses/visual_objects_color", "#12abef" },
            { "facoryNameLineEdit", "servise/factory_name", "Zavod 7" },
        };
        for (const auto &row : rows) {
            for (const char *closeBy : { "Cancel", "Escape", "OK" }) {
                QTest::addRow("%s %s", row[0], closeBy)
                    << row[0] << row[1] << QString::fromUtf8(row[2]) << closeBy << "saved";
            }
            for (const char *file : { "by hand", "none" }) {
                QTest::addRow("%s Cancel, file %s", row[0], file)
                    << row[0] << row[1] << QString::fromUtf8(row[2]) << "Cancel" << file;
            }
        }
    }

    void applyAtOnceUntilCancel()
    {
        QFETCH(QString, widget);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, closeBy);
        QFETCH(QString, file);
        Settings &s = Settings::instance();
        if (file == "saved") {
            s.device_type = 0;
            QVERIFY(s.save());
        } else if (file == "by hand") {
            writeFile(Settings::kFileName, "[device]\ndevice_type=0\n\n[servise]\nfactory_name=Hand\n");
            s = Settings::load(Settings::kFileName);
        } else {
            QFile::remove(Settings::kFileName);
            s.device_type = 0;
        }
        const QByteArray before = fileBytes(Settings::kFileName);
        const bool existed = QFile::exists(Settings::kFileName);
        const auto inMemory = [&s, &key]() -> QString {
            if (key == "preferenses/non_linearity")
                return s.preferenses.non_linearity ? "true" : "false";
            if (key == "preferenses/graph_color")
                return s.preferenses.graph_color;
            if (key == "preferenses/selected_graph_color")
                return s.preferenses.selected_graph_color;
            if (key == "preferenses/visual_objects_color")
                return s.preferenses.visual_objects_color;
            return s.factory_name;
        };
        const QString valueBefore = inMemory();

        open();
        ScriptedPrompts prompts;
        auto *w = child<QWidget>(widget);
        showPageOf(w);
        if (auto *box = qobject_cast<QCheckBox *>(w)) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
            QVERIFY(!child<QWidget>("chooseNonLinearityDataPushButton")->isHidden());
        } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, value);
        } else {
            prompts.expect(ScriptedPrompts::Color, QColor(value));
            QTest::mouseClick(w, Qt::LeftButton);
            QVERIFY(prompts.allAnswered());
        }
        QCOMPARE(inMemory(), value);

        if (closeBy == "Escape")
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            press(closeBy == "OK" ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
        QVERIFY(dialog->isHidden());
        if (closeBy == "OK") {
            QCOMPARE(inMemory(), value);
            QCOMPARE(storedValue(key), value);
            return;
        }
        QCOMPARE(inMemory(), valueBefore);
        QCOMPARE(QFile::exists(Settings::kFileName), existed);
        QCOMPARE(fileBytes(Settings::kFileName), before);
        if (file == "saved") {
            // The main window refreshes its panels after the dialog, and the
            // next change anywhere saves the whole record.
            QVERIFY(s.save());
            QCOMPARE(fileBytes(Settings::kFileName), before);
        }
    }

    void handlersLog()
    {
        Settings::instance().device_type = 0;
        open();
        auto *control = child<QCheckBox>("alternativeControlCheckBox");
        showPageOf(control);
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
        auto *power = child<QComboBox>("pressingPowerComboBox");
        power->setFocus();
        QTest::keyClick(power, Qt::Key_Down);
        auto *angles = child<QCheckBox>("anglesInDoubleCB");
        showPageOf(angles);
        QTest::mouseClick(angles, Qt::LeftButton, {}, QPoint(8, angles->height() / 2));
        auto *unit = child<QComboBox>("axisUnit");
        unit->setFocus();
        QTest::keyClick(unit, Qt::Key_Down);
        const QString log = logText();
        for (const char *line : { "alternativeManagementCheckBox turned on", "alternativeManagementCheckBox turned off",
                 "needlePressingComboBox change value to 20 мН (2 грамм)", "anglesInDoubleCB turned on",
                 "axisUnit change value to микрометрах" })
            QVERIFY2(log.contains(QString::fromUtf8(line)), line);
    }

    void paramsChooser()
    {
        open();
        ScriptedPrompts prompts;
        QWidget *parent = nullptr;
        bool helpButton = true;
        prompts.expect(ScriptedPrompts::Dialog, QDialog::Rejected, [&](QObject *subject) {
            auto *d = qobject_cast<QDialog *>(subject);
            parent = d->parentWidget();
            helpButton = d->windowFlags() & Qt::WindowContextHelpButtonHint;
            return QVariant(int(QDialog::Rejected));
        });
        auto *button = child<QPushButton>("paramsSettingsPushButton");
        showPageOf(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().first().text, QString("ParamsDialog"));
        QCOMPARE(parent, dialog.get());
        QVERIFY(!helpButton);
    }

    void tableFromAContourFile()
    {
        Settings::instance().preferenses.non_linearity = true;
        writeFile("reference.txt", contourFile());
        open();
        QCOMPARE(status(), QString("Файл не найден"));
        ScriptedPrompts prompts;
        choose(prompts, QDir::current().absoluteFilePath("reference.txt"));
        QCOMPARE(prompts.calls().first().title, QString("Открыть трассу"));
        QCOMPARE(status(), QString("Файл найден"));
        QFile table(NonLinearity::kFilePath);
        QVERIFY(table.open(QIODevice::ReadOnly));
        const TData rows = NonLinearity::readTableRows(&table);
        QCOMPARE(rows[0].size(), 101);
        QCOMPARE(rows[0].last(), 10.0);
    }

    // A profile trace, a file without rows, a missing file: the table in
    // force stays; the first two are told, the last says nothing.
    void wrongFilesKeepTheTable_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("told");
        QTest::newRow("profile trace") << profileFile() << true;
        QTest::newRow("one contour row") << QByteArray("1\t2\t3\n") << true;
        QTest::newRow("missing file") << QByteArray() << false;
    }

    void wrongFilesKeepTheTable()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, told);
        Settings::instance().preferenses.non_linearity = true;
        QDir().mkpath(NonLinearity::kDirName);
        writeFile(NonLinearity::kFilePath, "0\t1\n10\t2\n");
        if (!content.isEmpty())
            writeFile("wrong.txt", content);
        else
            QFile::remove("wrong.txt");
        open();
        ScriptedPrompts prompts;
        choose(prompts, QDir::current().absoluteFilePath("wrong.txt"), told);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        QCOMPARE(fileBytes(NonLinearity::kFilePath), QByteArray("0\t1\n10\t2\n"));
        QCOMPARE(status(), QString("Файл найден"));
    }

    void cancelledChooser()
    {
        Settings::instance().preferenses.non_linearity = true;
        open();
        child<QLabel>("nonLinearityDataStatusLable")->setText("как было");
        ScriptedPrompts prompts;
        choose(prompts, QString());
        QVERIFY(prompts.allAnswered());
        QCOMPARE(status(), QString("как было"));
        QVERIFY(!QFile::exists(NonLinearity::kFilePath));
    }

    // The table's folder cannot be made: the operator is told, the status
    // stays "not found".
    void failedTableWrite()
    {
        Settings::instance().preferenses.non_linearity = true;
        writeFile(NonLinearity::kDirName, "a file where the folder goes");
        writeFile("reference.txt", contourFile());
        open();
        ScriptedPrompts prompts;
        choose(prompts, QDir::current().absoluteFilePath("reference.txt"), true);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().last().text, QString("Не удалось записать таблицу нелинейности"));
        QCOMPARE(status(), QString("Файл не найден"));
        QVERIFY(logText().contains("Non-linearity table not written"));
        QFile::remove(NonLinearity::kDirName);
    }
};

VANTOR_TEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
