#include "support/freshsettings.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "support/testtrace.h"

#include "settings/settings.h"
#include "widgets/editablelist.h"
#include "widgets/usersdialog.h"

#include "settingstesthelpers.h"
#include "widgettesthelpers.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

using namespace SettingsTest;
using namespace WidgetTest;

namespace {

enum Mode { Consoles = 0, Controllers = 1 };

void requestContextMenu(QListWidget &list, int row)
{
    const QPoint pos = centreOf(list, row);
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list.viewport(), &event);
}

Settings stored()
{
    return Settings::load(QString::fromLatin1(Settings::kFileName));
}

} // namespace

// The controllers and consoles dialog.
class TestUsersDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<UsersDialog> dialog;
    EditableList *list = nullptr;
    QPushButton *addButton = nullptr;

    void open(int mode, const QList<AbstractTrace *> &traces = {})
    {
        dialog = std::make_unique<UsersDialog>(mode, traces);
        list = dialog->findChild<EditableList *>("listWidget");
        addButton = dialog->findChild<QPushButton *>("addPushButton");
        QVERIFY(list && addButton);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
    }

    void pressButton(QDialogButtonBox::StandardButton which)
    {
        auto *box = dialog->findChild<QDialogButtonBox *>("buttonBox");
        QTest::mouseClick(box->button(which), Qt::LeftButton);
    }

    // Starts from controllers A, B, C (current B) and consoles A, B, C
    // (current B, with values of its own) in memory and in the file.
    static void seed()
    {
        Settings &s = freshSettings();
        s.controllers = QStringList { "A", "B", "C" };
        s.current_controller_name = "B";
        s.consoles = { console("A", 21, 22, 23, 1, 5), console("B", 31, 32, 33, 2, 6), console("C", 41, 42, 43, 3, 7) };
        s.current_console = console("B", 90, 91, 92, 9, 9.5);
        QVERIFY(s.save());
    }

    void deleteRow(int row)
    {
        click(*list, row);
        QTest::keyClick(list, Qt::Key_Delete);
    }

    void renameRow(int row, const QString &name)
    {
        doubleClick(*list, row);
        QLineEdit *editor = openEditor(*list);
        QVERIFY(editor);
        typeAndConfirm(editor, name);
    }

private Q_SLOTS:
    void init() { seed(); }
    void cleanup()
    {
        dialog.reset();
        list = nullptr;
    }

    void form_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("addShown");
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("controllers") << 1 << "Контроллеры" << QStringList { "A", "B", "C" } << true << QStringList {};
        QTest::newRow("consoles") << 0 << "Консоли" << QStringList { "A", "B", "C" } << false
                                  << QStringList { "Откалибровать" };
        QTest::newRow("other") << 7 << "Контроллеры" << QStringList {} << true << QStringList {};
    }

    void form()
    {
        QFETCH(int, mode);
        QFETCH(QString, title);
        QFETCH(QStringList, items);
        QFETCH(bool, addShown);
        QFETCH(QStringList, extra);
        open(mode);
        QCOMPARE(dialog->objectName(), QString("UsersDialog"));
        QCOMPARE(dialog->windowTitle(), title);
        QCOMPARE(texts(*list), items);
        QCOMPARE(addButton->isVisible(), addShown);
        QCOMPARE(addButton->text(), QString("Добавить"));
        QStringList extraTexts;
        for (const QAction *a : qAsConst(list->extraActions))
            extraTexts << a->text();
        QCOMPARE(extraTexts, extra);
        QCOMPARE(dialog->loadedNames.size(), items.size());
        if (mode != 7)
            QVERIFY(saveScreenshot(dialog.get(), mode == 0 ? "users_dialog_consoles" : "users_dialog_controllers"));

        // Whatever the mode, an accepted dialog of no mode changes nothing.
        if (mode == 7) {
            pressButton(QDialogButtonBox::Ok);
            QCOMPARE(Settings::instance().controllers, QStringList({ "A", "B", "C" }));
            QCOMPARE(stored().consoles.size(), 3);
        }
    }

    void consolesMenuOrder()
    {
        open(Consoles);
        ScriptedPrompts prompts;
        QStringList offered;
        prompts.expect(ScriptedPrompts::Menu, QVariant(), [&offered](QObject *subject) {
            for (const QAction *a : qobject_cast<QMenu *>(subject)->actions())
                offered << a->text();
            return QVariant::fromValue<QAction *>(nullptr);
        });
        requestContextMenu(*list, 0);
        QCOMPARE(offered, QStringList({ "Откалибровать", "Переименовать", "Удалить" }));
    }

    void addingTwoControllers()
    {
        open(Controllers);
        QTest::mouseClick(addButton, Qt::LeftButton);
        QLineEdit *editor = openEditor(*list);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(editorClosed(*list));
        QTest::mouseClick(addButton, Qt::LeftButton);
        editor = openEditor(*list);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(editorClosed(*list));
        QCOMPARE(texts(*list), QStringList({ "A", "B", "C", "Новый контролёр", "Новый контролёр1" }));
        // Added items have no loaded name.
        QCOMPARE(dialog->loadedNames.size(), 3);

        pressButton(QDialogButtonBox::Ok);
        QCOMPARE(stored().controllers, QStringList({ "A", "B", "C", "Новый контролёр", "Новый контролёр1" }));
        QCOMPARE(stored().current_controller_name, QString("B"));
    }

    // The current controller follows its item's new name; when its item
    // goes, the first remaining controller takes its place (as the quick
    // settings show it), and "No name" when all go.
    void currentController_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QStringList>("controllers");
        QTest::addColumn<QString>("current");
        QTest::newRow("rename current") << "rename 1" << QStringList { "A", "Борис", "C" } << "Борис";
        QTest::newRow("rename other") << "rename 0" << QStringList { "Борис", "B", "C" } << "B";
        QTest::newRow("delete current") << "delete 1" << QStringList { "A", "C" } << "A";
        QTest::newRow("delete other") << "delete 0" << QStringList { "B", "C" } << "B";
        QTest::newRow("delete all") << "delete all" << QStringList {} << "No name";
    }

    void currentController()
    {
        QFETCH(QString, edit);
        QFETCH(QStringList, controllers);
        QFETCH(QString, current);
        open(Controllers);
        if (edit == "delete all") {
            while (list->count() > 0)
                deleteRow(0);
        } else if (edit.startsWith("rename")) {
            renameRow(edit.back().digitValue(), "Борис");
        } else {
            deleteRow(edit.back().digitValue());
        }
        pressButton(QDialogButtonBox::Ok);
        QCOMPARE(Settings::instance().controllers, controllers);
        const Settings file = stored();
        QCOMPARE(file.controllers, controllers);
        QCOMPARE(file.current_controller_name, current);
    }

    void renamedConsoleKeepsItsValues()
    {
        open(Consoles);
        renameRow(1, "Бета");
        renameRow(0, "Альфа");
        pressButton(QDialogButtonBox::Ok);
        const Settings file = stored();
        QCOMPARE(describe(file.consoles),
            describe(QList<ConsoleParams> { console("Альфа", 21, 22, 23, 1, 5), console("Бета", 31, 32, 33, 2, 6),
                console("C", 41, 42, 43, 3, 7) }));
        // The current console takes the new name; its values are the ones in force.
        QCOMPARE(Settings::instance().current_console.name, QString("Бета"));
        QCOMPARE(Settings::instance().current_console.tool_head_radius_down, 90.0);
        QCOMPARE(file.current_console.name, QString("Бета"));
    }

    void deletingEveryConsole()
    {
        open(Consoles);
        while (list->count() > 0)
            deleteRow(0);
        pressButton(QDialogButtonBox::Ok);
        const Settings &s = Settings::instance();
        QVERIFY(s.consoles.isEmpty());
        QCOMPARE(describe(s.current_console), describe(console("No console", 90, 91, 92, 9, 9.5)));
        QSettings ini(QString::fromLatin1(Settings::kFileName), QSettings::IniFormat);
        QCOMPARE(ini.value("consoles/count").toString(), QString("0"));
        QCOMPARE(ini.value("consoles/current_console").toString(), QString("No console"));
    }

    // Of two consoles with one name the later one's values stay.
    void duplicateConsoleNames()
    {
        Settings &s = Settings::instance();
        s.consoles = { console("A", 1), console("A", 2) };
        open(Consoles);
        deleteRow(0);
        pressButton(QDialogButtonBox::Ok);
        QCOMPARE(describe(stored().consoles), describe(QList<ConsoleParams> { console("A", 2) }));
    }

    void cancelKeepsEverything_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("escape");
        QTest::newRow("controllers, Cancel") << 1 << false;
        QTest::newRow("controllers, Escape") << 1 << true;
        QTest::newRow("consoles, Cancel") << 0 << false;
        QTest::newRow("consoles, Escape") << 0 << true;
    }

    void cancelKeepsEverything()
    {
        QFETCH(int, mode);
        QFETCH(bool, escape);
        QFile file(QString::fromLatin1(Settings::kFileName));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        open(mode);
        renameRow(0, "Новое");
        deleteRow(2);
        QCOMPARE(list->count(), 2);
        if (escape)
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            pressButton(QDialogButtonBox::Cancel);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));

        const Settings &s = Settings::instance();
        QCOMPARE(s.controllers, QStringList({ "A", "B", "C" }));
        QCOMPARE(s.consoles.size(), 3);
        QCOMPARE(s.consoles.first().name, QString("A"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void deleteWithoutCurrentItem()
    {
        open(Controllers);
        list->setCurrentItem(nullptr);
        QTest::keyClick(dialog.get(), Qt::Key_Delete);
        QCOMPARE(texts(*list), QStringList({ "A", "B", "C" }));
        QVERIFY(dialog->isVisible());
    }

    // Each selected console becomes the current one, with its values in the
    // active fields, before its calibration runs on the dialog's traces.
    void calibrateSelectedConsoles()
    {
        TestTrace trace;
        FakeCalibration calibration;
        open(Consoles, { &trace });
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        click(*list, 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(*list, 0));

        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, "Откалибровать");
        requestContextMenu(*list, 0);
        QCOMPARE(prompts.unexpectedCount(), 0);

        QCOMPARE(calibration.runs.size(), 2);
        QCOMPARE(calibration.runs[0].currentConsole, QString("C"));
        QCOMPARE(calibration.runs[0].activeDown, 41.0);
        QCOMPARE(calibration.runs[0].activeRatio, 7.0);
        QCOMPARE(calibration.runs[1].currentConsole, QString("A"));
        QCOMPARE(calibration.runs[1].activeDown, 21.0);
        QCOMPARE(calibration.runs[0].parent, dialog.get());
        QCOMPARE(calibration.runs[0].traces, QList<AbstractTrace *>({ &trace }));
        const QRect available = dialog->screen()->availableGeometry();
        QCOMPARE(calibration.runs[0].size, QSize(qRound(available.width() * 0.7), qRound(available.height() * 0.7)));
        QCOMPARE(describe(Settings::instance().current_console), describe(console("A", 21, 22, 23, 1, 5)));
        // Choosing the console is not written to the file.
        QCOMPARE(stored().current_console.name, QString("B"));
        QVERIFY(dialog->isVisible());
    }

    // A console renamed here but not accepted has no record yet: only the
    // current console's name changes, its values stay; the pending rename
    // survives the calibration.
    void calibrateRenamedConsole()
    {
        FakeCalibration calibration;
        open(Consoles);
        renameRow(0, "Новая");
        click(*list, 0);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, "Откалибровать");
        requestContextMenu(*list, 0);
        QCOMPARE(calibration.runs.size(), 1);
        QCOMPARE(describe(Settings::instance().current_console), describe(console("Новая", 90, 91, 92, 9, 9.5)));
        QCOMPARE(calibration.runs[0].traces.size(), 0);

        pressButton(QDialogButtonBox::Ok);
        QCOMPARE(describe(stored().consoles),
            describe(QList<ConsoleParams> {
                console("Новая", 21, 22, 23, 1, 5), console("B", 31, 32, 33, 2, 6), console("C", 41, 42, 43, 3, 7) }));
    }

    // A save-as inside the calibration renames B, adds D and stores new
    // values; the list follows the record, so accepting keeps every stored value.
    void reloadAfterSaveAs()
    {
        FakeCalibration calibration;
        calibration.during = [] {
            Settings &s = Settings::instance();
            s.consoles = { console("A", 21, 22, 23, 1, 5), console("B2", 35, 36, 37, 4, 8),
                console("C", 41, 42, 43, 3, 7), console("D", 51) };
            s.current_console = s.consoles[1];
            s.save();
        };
        open(Consoles);
        click(*list, 1);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, "Откалибровать");
        requestContextMenu(*list, 1);
        QCOMPARE(texts(*list), QStringList({ "A", "B2", "C", "D" }));

        pressButton(QDialogButtonBox::Ok);
        QCOMPARE(describe(stored().consoles),
            describe(QList<ConsoleParams> { console("A", 21, 22, 23, 1, 5), console("B2", 35, 36, 37, 4, 8),
                console("C", 41, 42, 43, 3, 7), console("D", 51) }));
    }

    void calibrationSizeIsSevenTenthsRounded_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("size");
        QTest::newRow("1920x1040") << QRect(0, 0, 1920, 1040) << QSize(1344, 728);
        QTest::newRow("rounds to nearest") << QRect(0, 0, 1366, 768) << QSize(956, 538);
        QTest::newRow("offset screen") << QRect(1920, 40, 1280, 984) << QSize(896, 689);
    }

    void calibrationSizeIsSevenTenthsRounded()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, size);
        QCOMPARE(ContourCalibration::dialogSize(available), size);
    }

    void noRunnerRunsNothing()
    {
        const ContourCalibration::Runner previous = ContourCalibration::setRunner(nullptr);
        open(Consoles);
        click(*list, 0);
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, "Откалибровать");
        requestContextMenu(*list, 0);
        QCOMPARE(Settings::instance().current_console.name, QString("A"));
        QCOMPARE(texts(*list), QStringList({ "A", "B", "C" }));
        ContourCalibration::setRunner(previous);
    }
};

VANTOR_TEST_MAIN(TestUsersDialog)
#include "tst_usersdialog.moc"
