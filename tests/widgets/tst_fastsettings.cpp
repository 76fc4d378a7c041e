#include "support/freshsettings.h"
#include "support/testmain.h"
#include "support/windowshot.h"

#include "settings/settings.h"
#include "widgets/fastsettingswidget.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

Q_DECLARE_METATYPE(ConsoleParams)

namespace {

Settings saved()
{
    return Settings::load(QStringLiteral("settings.ini"));
}

ConsoleParams console(
    const QString &name, double down, double up = 20, double high = 22, double bias = 0, double ratio = 6.2)
{
    ConsoleParams c;
    c.name = name;
    c.tool_head_radius_down = down;
    c.tool_head_radius_up = up;
    c.double_sided_probe_high = high;
    c.needle_bias = bias;
    c.roughness_ratio = ratio;
    return c;
}

template <typename T> T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

void showActive(QWidget &w)
{
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

} // namespace

// The quick-settings panel: every edit reaches settings.ini at once.
class TestFastSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { freshSettings(); }

    void fileNameIsSavedAfterEveryKey()
    {
        FastSettingsWidget w;
        QVERIFY(!QFile::exists("settings.ini")); // filling the editors saves nothing
        showActive(w);
        auto *edit = child<QLineEdit>(w, "traceFileNameLineEdit");
        QCOMPARE(edit->placeholderText(), QString("Имя файла"));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(saved().default_trace_file_name, QString());

        const QString typed = QStringLiteral("Вал-7");
        for (int i = 0; i < typed.size(); ++i) {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(typed.at(i)), Qt::NoModifier);
            QCOMPARE(saved().default_trace_file_name, typed.left(i + 1));
        }
        QVERIFY(edit->hasFocus()); // the file name keeps the focus while typing
    }

    void needleDownIsStoredAndSentWithThePower()
    {
        Settings &s = freshSettings();
        s.device_type = 0;
        s.needle_pressing = 0;
        s.power_pressing = 3;
        FastSettingsWidget w;
        QList<QPair<int, int>> sent;
        connect(
            &w, &FastSettingsWidget::changePressingPower, [&sent](MovementSettings::E_NEEDLE_PRESSING n, int power) {
                sent.append({ int(n), power });
            });
        showActive(w);
        auto *combo = child<QComboBox>(w, "needlePressingComboBox");
        QCOMPARE(combo->currentText(), QString("Вверх"));
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentText(), QString("Вниз"));
        QCOMPARE(saved().needle_pressing, 1);
        QCOMPARE(sent, (QList<QPair<int, int>> { { 1, 3 } }));
        QVERIFY(!combo->hasFocus());
    }

    void measurementModeSetsDeviceType_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("deviceType");
        QTest::newRow("roughness") << 1 << 0;
        QTest::newRow("roughness sensor") << 2 << 1;
        QTest::newRow("additional axis") << 3 << 0;
    }
    void measurementModeSetsDeviceType()
    {
        QFETCH(int, mode);
        QFETCH(int, deviceType);
        Settings &s = freshSettings();
        s.device_type = 0;
        s.measurement_mode = mode - 1;
        FastSettingsWidget w;
        QList<int> sent;
        connect(&w, &FastSettingsWidget::setDeviceType, [&sent](int type) { sent.append(type); });
        showActive(w);
        auto *combo = child<QComboBox>(w, "measurementModeComboBox");
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentIndex(), mode);
        QCOMPARE(saved().measurement_mode, mode);
        QCOMPARE(sent, QList<int> { deviceType });
    }

    void rowsFollowTheDeviceType_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("shot");
        const QStringList always = { "traceFileNameLineEdit", "controllersComboBox" };
        QTest::newRow("roughness instrument") << 2 << (always + QStringList { "upperLabel" }) << "fastsettings_profile";
        QTest::newRow("contour instrument")
            << 0 << (always + QStringList { "needlePressingComboBox", "consoleComboBox", "measurementModeComboBox" })
            << "fastsettings_contour";
    }
    void rowsFollowTheDeviceType()
    {
        QFETCH(int, deviceType);
        QFETCH(QStringList, shown);
        QFETCH(QString, shot);
        Settings &s = freshSettings();
        s.device_type = deviceType;
        s.controllers = QStringList { "Иванов И.И.", "Петров П.П." };
        s.consoles = { console("Консоль 1", 20), console("Консоль 2", 25) };
        FastSettingsWidget w;
        w.resize(380, 200);
        showActive(w);
        const QStringList editors = { "upperLabel", "traceFileNameLineEdit", "controllersComboBox",
            "needlePressingComboBox", "consoleComboBox", "measurementModeComboBox", "mmPerRotationSpinBox" };
        for (const QString &name : editors) {
            QWidget *editor = w.findChild<QWidget *>(name);
            QVERIFY(editor);
            QCOMPARE(editor->isVisibleTo(&w), shown.contains(name));
        }
        // Each shown editor's label is shown with it, and its text is not cut.
        for (QLabel *label : w.findChildren<QLabel *>()) {
            if (label->isVisibleTo(&w) && !label->text().isEmpty())
                QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
        }
        saveWindowShot(&w, shot);
        // A later device type from the control panel re-arranges the rows.
        w.setInerface(deviceType == 2 ? 0 : 2);
        QCOMPARE(child<QWidget>(w, "consoleComboBox")->isVisibleTo(&w), deviceType == 2);
        QCOMPARE(child<QWidget>(w, "upperLabel")->isVisibleTo(&w), deviceType != 2);
    }

    void lockAndEnable()
    {
        freshSettings().device_type = 0;
        FastSettingsWidget w;
        const QStringList locked = { "needlePressingComboBox", "traceFileNameLineEdit", "controllersComboBox",
            "consoleComboBox", "measurementModeComboBox" };
        w.lockButtons();
        for (const QString &name : locked)
            QVERIFY2(!w.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
        QVERIFY(w.isEnabled());
        w.unlockButtons();
        for (const QString &name : locked)
            QVERIFY2(w.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
        w.enableFastSettings(false);
        QVERIFY(!child<QWidget>(w, "traceFileNameLineEdit")->isEnabled());
        w.enableFastSettings(true);
        QVERIFY(child<QWidget>(w, "traceFileNameLineEdit")->isEnabled());
    }

    void consolePreselectedOnlyWhenEqualInAllFields_data()
    {
        QTest::addColumn<ConsoleParams>("current");
        QTest::addColumn<int>("shown");
        QTest::newRow("equal to the third") << console("B", 30, 21) << 2;
        QTest::newRow("same name, other bias") << console("B", 30, 21, 22, 0.5) << 0;
        QTest::newRow("same values, other name") << console("C", 30, 21) << 0;
    }
    void consolePreselectedOnlyWhenEqualInAllFields()
    {
        QFETCH(ConsoleParams, current);
        QFETCH(int, shown);
        Settings &s = freshSettings();
        s.device_type = 0;
        s.consoles = { console("A", 10), console("B", 20), console("B", 30, 21) };
        s.current_console = current;
        s.controllers = QStringList { "A", "B" };
        s.current_controller_name = "B";
        FastSettingsWidget w;
        QCOMPARE(child<QComboBox>(w, "consoleComboBox")->currentIndex(), shown);
        QCOMPARE(child<QComboBox>(w, "controllersComboBox")->currentText(), QString("B"));
        QVERIFY(!QFile::exists("settings.ini"));
    }

    void refreshTakesTheFirstControllerForNoName()
    {
        Settings &s = freshSettings();
        FastSettingsWidget w;
        s.controllers = QStringList { "A", "B" };
        QCOMPARE(s.current_controller_name, QString("No name"));
        w.updateControllersAndConsoles();
        QCOMPARE(child<QComboBox>(w, "controllersComboBox")->currentText(), QString("A"));
        QCOMPARE(s.current_controller_name, QString("A"));
        QCOMPARE(saved().current_controller_name, QString("A"));

        s.controllers.clear();
        s.current_controller_name = "No name";
        w.updateControllersAndConsoles();
        QCOMPARE(child<QComboBox>(w, "controllersComboBox")->count(), 0);
        QCOMPARE(s.current_controller_name, QString("No name"));
    }

    // A recorded controller missing from the list (its item deleted, or the
    // file names one that is gone) gives way to the first controller, the one
    // the panel shows, in memory and in the file: at construction and on a
    // refresh.
    void aControllerNotInTheListGivesWay_data()
    {
        QTest::addColumn<bool>("refresh");
        QTest::newRow("construction") << false;
        QTest::newRow("refresh") << true;
    }

    void aControllerNotInTheListGivesWay()
    {
        QFETCH(bool, refresh);
        Settings &s = freshSettings();
        s.controllers = QStringList { "A", "B" };
        s.current_controller_name = refresh ? QStringLiteral("A") : QStringLiteral("Ушёл");
        FastSettingsWidget w;
        if (refresh) {
            s.current_controller_name = QStringLiteral("Ушёл");
            w.updateControllersAndConsoles();
        }
        QCOMPARE(child<QComboBox>(w, "controllersComboBox")->currentText(), QString("A"));
        QCOMPARE(s.current_controller_name, QString("A"));
        QCOMPARE(saved().current_controller_name, QString("A"));
    }

    // A refresh that leaves the current controller and console as they were
    // does not write the file: one written by hand stays byte for byte.
    void refreshWithoutChangeLeavesTheFile()
    {
        Settings &s = freshSettings();
        s.device_type = 0;
        s.controllers = QStringList { "A", "B" };
        s.current_controller_name = QStringLiteral("B");
        s.consoles = { console("X", 11), console("Y", 21) };
        s.current_console = s.consoles.at(1);
        s.tool_head_radius_down = 21;
        QVERIFY(s.save());
        QFile file(QStringLiteral("settings.ini"));
        QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Append));
        file.write("\n; written by hand\n");
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        FastSettingsWidget w;
        w.updateControllersAndConsoles();
        QCOMPARE(child<QComboBox>(w, "controllersComboBox")->currentText(), QString("B"));
        QCOMPARE(child<QComboBox>(w, "consoleComboBox")->currentText(), QString("Y"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void refreshMakesTheRememberedConsoleCurrent()
    {
        Settings &s = freshSettings();
        s.device_type = 0;
        FastSettingsWidget w;
        s.consoles = { console("X", 11, 12, 13, 14, 15), console("Y", 21, 22, 23, 24, 25) };
        s.current_console.name = "Y"; // values still those of the defaults
        w.updateControllersAndConsoles();
        QCOMPARE(child<QComboBox>(w, "consoleComboBox")->currentText(), QString("Y"));
        for (const Settings &r : { Settings(s), saved() }) {
            QCOMPARE(r.current_console.name, QString("Y"));
            QCOMPARE(r.tool_head_radius_down, 21.0);
            QCOMPARE(r.tool_head_radius_up, 22.0);
            QCOMPARE(r.double_sided_probe_high, 23.0);
            QCOMPARE(r.needle_bias, 24.0);
            QCOMPARE(r.roughness_ratio, 25.0);
        }
    }

    void theLastConsoleOfANameWins()
    {
        Settings &s = freshSettings();
        s.device_type = 0;
        s.consoles = { console("S", 1), console("T", 2), console("S", 3) };
        s.current_console = s.consoles.at(1);
        FastSettingsWidget w;
        showActive(w);
        auto *combo = child<QComboBox>(w, "consoleComboBox");
        QCOMPARE(combo->currentIndex(), 1);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(s.current_console.tool_head_radius_down, 3.0);
        QCOMPARE(s.tool_head_radius_down, 3.0);
        QCOMPARE(saved().tool_head_radius_down, 3.0);
        QVERIFY(!combo->hasFocus());
    }
};

VANTOR_TEST_MAIN(TestFastSettings)
#include "tst_fastsettings.moc"
