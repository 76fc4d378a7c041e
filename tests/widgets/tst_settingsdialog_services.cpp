#include "support/freshsettings.h"
#include "support/scriptedprompts.h"
#include "support/simulatedinstrument.h"
#include "support/testmain.h"
#include "support/testtrace.h"

#include "device/device.h"
#include "settings/settings.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/settingsdialog.h"
#include "widgets/usersdialog.h"

#include "settingstesthelpers.h"
#include "widgettesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolBox>
#include <QVBoxLayout>

using namespace SettingsTest;
using namespace WidgetTest;

namespace {

// A main window stand-in holding the control panel on a simulated profile
// instrument, as the profile window holds it.
struct Instrument {
    SimulatedInstrument sim { SimulatedInstrument::Profile };
    ScriptedPortCandidates ports { [this] {
        return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
    } };
    QWidget window;
    DeviceControlWidget *panel = new DeviceControlWidget(&window);

    Instrument()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(panel);
    }
    ~Instrument() { sim.pullCable(); }

    // Waits for the identification and the start-up, then forgets its commands.
    bool ready()
    {
        if (!SimulatedInstrument::waitFor([this] { return panel->device.parserState() == 1; }, 10000))
            return false;
        panel->device.sendRawText(QStringLiteral("DZ9")); // behind the start-up commands
        if (!sim.waitForMarker("DZ9"))
            return false;
        sim.setAnswering(false);
        sim.clearCommands();
        return true;
    }

    // A marker sent behind the test's action shows that nothing else went out.
    QList<QByteArray> commandsThenMarker()
    {
        const int markers = sim.commands().count("DZ9");
        panel->device.sendRawText(QStringLiteral("DZ9"));
        SimulatedInstrument::waitFor([this, markers] { return sim.commands().count("DZ9") > markers; });
        return sim.commands();
    }
};

} // namespace

// The service functions of the settings dialog: the password-guarded
// dialogs, the probe calibrations, the developer mode and the terminal.
class TestSettingsDialogServices : public QObject {
    Q_OBJECT

    std::unique_ptr<SettingsDialog> dialog;
    // Made by the tests that need one; the dialog goes first.
    std::unique_ptr<Instrument> instrument;

    template <typename T> T *child(const QString &name) const { return dialog->findChild<T *>(name); }

    void open(QWidget *parent = nullptr, const QList<AbstractTrace *> &traces = {})
    {
        dialog = std::make_unique<SettingsDialog>(parent, traces);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
    }

    void clickOnItsPage(const QString &name)
    {
        auto *button = child<QPushButton>(name);
        QVERIFY(button);
        showPageOf(dialog.get(), button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QList<QWidget *> serviceWidgets() const
    {
        QList<QWidget *> out;
        for (const char *name : { "scaleXResolutionSpinBox", "scaleZResolutionSpinBox", "scaleRResolutionSpinBox",
                 "scaleXResolutionLabel", "scaleZResolutionLabel", "scaleRResolutionLabel", "demoCheckBox",
                 "sensorTestCheckBox", "termitePushButton", "termteLabel" })
            out << child<QWidget>(name);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        Settings &s = freshSettings();
        s.device_type = 0;
        s.controllers = QStringList { "A" };
        QVERIFY(s.save());
    }
    void cleanup()
    {
        dialog.reset();
        instrument.reset();
    }

    // Only "9047" opens the controllers or the consoles dialog; anything else
    // opens nothing and says nothing.
    void usersDialogPassword_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QVariant>("entry");
        QTest::addColumn<QString>("opens");
        for (const auto &b :
            { std::make_pair("openUsersDialog", "Контроллеры"), std::make_pair("consoleButton", "Консоли") }) {
            QTest::addRow("%s right", b.first) << b.first << QVariant("9047") << b.second;
            QTest::addRow("%s wrong", b.first) << b.first << QVariant("9048") << "";
            QTest::addRow("%s longer", b.first) << b.first << QVariant("90470") << "";
            QTest::addRow("%s empty", b.first) << b.first << QVariant("") << "";
            QTest::addRow("%s cancelled", b.first) << b.first << QVariant() << "";
        }
    }

    void usersDialogPassword()
    {
        QFETCH(QString, button);
        QFETCH(QVariant, entry);
        QFETCH(QString, opens);
        TestTrace trace;
        open(nullptr, { &trace });
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Text, entry);
        // What the opened dialog was given, seen while it runs.
        bool shown = false;
        QWidget *parent = nullptr;
        QList<AbstractTrace *> given;
        bool helpButton = true;
        if (!opens.isEmpty()) {
            prompts.expect(ScriptedPrompts::Dialog, QVariant(), [&](QObject *subject) {
                auto *users = qobject_cast<UsersDialog *>(subject);
                shown = users != nullptr;
                if (users) {
                    parent = users->parentWidget();
                    given = users->traces;
                    helpButton = users->windowFlags() & Qt::WindowContextHelpButtonHint;
                }
                return QVariant(int(QDialog::Rejected));
            });
        }
        clickOnItsPage(button);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        QCOMPARE(prompts.calls().first().title, QString("Сервис-пароль"));
        QCOMPARE(prompts.calls().first().text, QString("Сервис-пароль:"));
        if (opens.isEmpty())
            return;
        QVERIFY(shown);
        QCOMPARE(prompts.calls().last().title, opens);
        QCOMPARE(parent, dialog.get());
        QCOMPARE(given, QList<AbstractTrace *>({ &trace }));
        QVERIFY(!helpButton);
    }

    // A controller list accepted while the settings dialog is open stays
    // after its Cancel; the name typed and the switch ticked meanwhile do not.
    void acceptedControllersOutlastCancel()
    {
        open();
        auto *precision = child<QCheckBox>("nonLinearityCheckBox");
        showPageOf(dialog.get(), precision);
        QTest::mouseClick(precision, Qt::LeftButton, {}, QPoint(8, precision->height() / 2));
        auto *name = child<QLineEdit>("facoryNameLineEdit");
        showPageOf(dialog.get(), name);
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, "Zavod 7");
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Text, QVariant("9047"));
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [](QObject *subject) {
            auto *users = qobject_cast<UsersDialog *>(subject);
            users->findChild<QPushButton *>("addPushButton")->click();
            users->accept();
            return QVariant(int(QDialog::Accepted));
        });
        clickOnItsPage("openUsersDialog");
        QVERIFY(prompts.allAnswered());
        QCOMPARE(storedValue("controllers/count"), QString("2"));

        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        const Settings stored = Settings::load(Settings::kFileName);
        QCOMPARE(stored.controllers, (QStringList { "A", "Новый контролёр" }));
        QCOMPARE(stored.factory_name, QString("Завод"));
        QVERIFY(!stored.preferenses.non_linearity);
        QCOMPARE(Settings::instance().controllers, stored.controllers);
        QCOMPARE(Settings::instance().factory_name, QString("Завод"));
        QVERIFY(!Settings::instance().preferenses.non_linearity);
    }

    void contourCalibrationWithoutTraces()
    {
        FakeCalibration calibration;
        open();
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        clickOnItsPage("consoleSettingsButton");
        QCOMPARE(prompts.calls().size(), 1);
        QCOMPARE(prompts.calls().first().title, QString("Ошибка"));
        QCOMPARE(prompts.calls().first().text,
            QString("Нет трассы для калибровки. Откройте или запишите хотя бы одну трассу"));
        QVERIFY(calibration.runs.isEmpty());
    }

    void contourCalibrationPassword_data()
    {
        QTest::addColumn<QVariant>("entry");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<bool>("refused");
        QTest::newRow("right") << QVariant("9047") << true << false;
        QTest::newRow("wrong") << QVariant("1234") << false << true;
        QTest::newRow("empty") << QVariant("") << false << false;
        QTest::newRow("cancelled") << QVariant() << false << false;
    }

    void contourCalibrationPassword()
    {
        QFETCH(QVariant, entry);
        QFETCH(bool, runs);
        QFETCH(bool, refused);
        TestTrace first;
        TestTrace second;
        FakeCalibration calibration;
        open(nullptr, { &first, &second });
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Text, entry);
        if (refused)
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        clickOnItsPage("consoleSettingsButton");
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        QCOMPARE(prompts.calls().first().title, QString("Система безопасности"));
        QCOMPARE(prompts.calls().first().text, QString("Введите пароль из руководства по эксплуатации"));
        if (refused) {
            QCOMPARE(prompts.calls().last().title, QString("Неверный пароль"));
            QCOMPARE(prompts.calls().last().text, QString("Пароль указан в руководстве по эксплуатации"));
        }
        QCOMPARE(calibration.runs.size(), runs ? 1 : 0);
        QVERIFY(dialog->isVisible());
        if (!runs)
            return;
        const FakeCalibration::Run &run = calibration.runs.first();
        QCOMPARE(run.parent, dialog.get());
        QCOMPARE(run.traces, QList<AbstractTrace *>({ &first, &second }));
        QCOMPARE(run.size, ContourCalibration::dialogSize(dialog->screen()->availableGeometry()));
    }

    // The calibration window forces decimal degrees while it is open and
    // gives the operator's choice back when it goes; the editors are
    // refreshed only then, so OK stores the operator's choice and what the
    // calibration changed for good.
    void editorsRefreshAfterTheCalibrationWindowHasGone()
    {
        TestTrace trace;
        FakeCalibration calibration;
        calibration.during = [] {
            Settings &s = Settings::instance();
            s.angles_in_deg = true; // forced while open
            s.axis_unit = 1;
            s.angles_in_deg = false; // given back when destroyed
        };
        open(nullptr, { &trace });
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Text, "9047");
        clickOnItsPage("consoleSettingsButton");
        QCOMPARE(calibration.runs.size(), 1);
        QVERIFY(!child<QCheckBox>("anglesInDoubleCB")->isChecked());
        QCOMPARE(child<QComboBox>("axisUnit")->currentIndex(), 1);
        dialog->accept();
        QCOMPARE(storedValue("view/angles_in_deg"), QString("false"));
        QCOMPARE(storedValue("view/axis_unit"), QString("1"));
    }

    // A profile instrument: "Калибровка" asks for the reference Ra without a
    // password; "Принять" stores and saves it and starts the calibration.
    void referenceRaCalibration_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("Принять") << true;
        QTest::newRow("Отмена") << false;
    }

    void referenceRaCalibration()
    {
        QFETCH(bool, accept);
        Settings::instance().device_type = 2;
        instrument = std::make_unique<Instrument>();
        QVERIFY(instrument->ready());
        open(&instrument->window);
        QCOMPARE(child<QPushButton>("consoleSettingsButton")->text(), QString("Калибровка"));

        ScriptedPrompts prompts;
        double offered = 0;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [&](QObject *subject) {
            auto *ra = qobject_cast<QDialog *>(subject);
            ra->show();
            auto *spin = ra->findChild<QDoubleSpinBox *>();
            offered = spin->value();
            spin->setFocus();
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, "0,5");
            auto buttons = ra->findChildren<QPushButton *>();
            for (QPushButton *b : buttons)
                if (b->text() == (accept ? "Принять" : "Отмена"))
                    QTest::mouseClick(b, Qt::LeftButton);
            return QVariant(ra->result());
        });
        clickOnItsPage("consoleSettingsButton");
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().size(), 1);
        QCOMPARE(prompts.calls().first().title, QString("Калибровка"));
        QCOMPARE(offered, 1.0);
        if (accept) {
            QCOMPARE(Settings::instance().calibration_Ra_value, 0.5);
            QCOMPARE(storedValue("calibration/calibration_Ra_value"), QString("0.5"));
            QCOMPARE(instrument->commandsThenMarker(), (QList<QByteArray> { "Ka00500", "DZ9" }));
        } else {
            QCOMPARE(Settings::instance().calibration_Ra_value, 1.0);
            QCOMPARE(storedValue("calibration/calibration_Ra_value"), QString("1"));
            QCOMPARE(instrument->commandsThenMarker(), (QList<QByteArray> { "DZ9" }));
        }
    }

    // The code shows the service controls and is stored at once; one more
    // character hides them again. Cancel gives the name back, not the mode.
    void developerCode()
    {
        open();
        for (QWidget *w : serviceWidgets())
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
        auto *name = child<QLineEdit>("facoryNameLineEdit");
        child<QToolBox>("toolBox")->setCurrentIndex(3);
        name->setFocus();
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Backspace);
        QTest::keyClicks(name, "594");
        for (QWidget *w : serviceWidgets())
            QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
        QCOMPARE(storedValue("servise/is_developer_mode"), QString("true"));
        QCOMPARE(storedValue("servise/factory_name"), QString("594"));

        QTest::keyClicks(name, "1");
        for (QWidget *w : serviceWidgets())
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
        QCOMPARE(storedValue("servise/is_developer_mode"), QString("false"));
        QCOMPARE(storedValue("servise/factory_name"), QString("5941"));

        // Cancel gives the name back; the developer mode stays as typed.
        QTest::keyClick(name, Qt::Key_Backspace);
        QCOMPARE(storedValue("servise/is_developer_mode"), QString("true"));
        dialog->reject();
        QCOMPARE(Settings::instance().factory_name, QString("Завод"));
        QCOMPARE(storedValue("servise/factory_name"), QString("Завод"));
        QVERIFY(Settings::instance().is_developer_mode);
        QCOMPARE(storedValue("servise/is_developer_mode"), QString("true"));
    }

    void developerModeOpensWithTheServiceControls()
    {
        Settings::instance().is_developer_mode = true;
        open();
        for (QWidget *w : serviceWidgets())
            QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    }

    // "Термит" opens the terminal on the instrument of the main window.
    void terminal()
    {
        Settings::instance().is_developer_mode = true;
        instrument = std::make_unique<Instrument>();
        QVERIFY(instrument->ready());
        open(&instrument->window);
        ScriptedPrompts prompts;
        QWidget *parent = nullptr;
        bool exposed = false;
        bool shot = false;
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [&](QObject *subject) -> QVariant {
            auto *terminal = qobject_cast<QDialog *>(subject);
            parent = terminal->parentWidget();
            terminal->show();
            exposed = QTest::qWaitForWindowExposed(terminal);
            auto *input = terminal->findChild<QTextEdit *>("enterTextEdit");
            QTest::keyClicks(input, "CP");
            QTest::keyClick(input, Qt::Key_Return);
            QTest::keyClicks(input, "DZ0");
            shot = saveScreenshot(terminal, "settings_dialog_terminal");
            return QVariant(int(QDialog::Rejected));
        });
        clickOnItsPage("termitePushButton");
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().first().title, QString("Termite"));
        QVERIFY(exposed);
        QVERIFY(shot);
        QCOMPARE(parent, dialog.get());
        QCOMPARE(instrument->commandsThenMarker(), (QList<QByteArray> { "CP", "DZ9" }));
    }
};

VANTOR_TEST_MAIN(TestSettingsDialogServices)
#include "tst_settingsdialog_services.moc"
