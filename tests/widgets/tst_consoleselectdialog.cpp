#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "settings/settings.h"
#include "widgets/consoleselectdialog.h"
#include "widgets/editablelist.h"

#include "widgettesthelpers.h"

#include <QFileInfo>
#include <QPushButton>

using namespace WidgetTest;

// The dialog that picks the console a calibration is stored into.
class TestConsoleSelectDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<ConsoleSelectDialog> dialog;
    EditableList *list = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *selectButton = nullptr;
    QPushButton *cancelButton = nullptr;

    // Settings with these consoles, written to the file, and a dialog over them.
    void open(const QList<ConsoleParams> &consoles, const QString &current)
    {
        Settings &s = Settings::instance();
        s.consoles = consoles;
        s.current_console = console(current, 77, 78, 79, 1.5, 8);
        QVERIFY(s.save());
        dialog = std::make_unique<ConsoleSelectDialog>();
        list = dialog->findChild<EditableList *>("listWidget");
        addButton = dialog->findChild<QPushButton *>("addPushButton");
        selectButton = dialog->findChild<QPushButton *>("selectPushButton");
        cancelButton = dialog->findChild<QPushButton *>("cancelPushButton");
        QVERIFY(list && addButton && selectButton && cancelButton);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
    }

    void add()
    {
        QTest::mouseClick(addButton, Qt::LeftButton);
        QVERIFY(openEditor(*list));
    }

    void confirmEditor()
    {
        QLineEdit *editor = openEditor(*list);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(editorClosed(*list));
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove("settings.ini");
        Settings::instance() = Settings::load("no-such.ini");
    }
    void cleanup()
    {
        dialog.reset();
        list = nullptr;
    }

    void layout()
    {
        open({ console("Консоль 1", 25), console("Консоль 2", 30) }, "Консоль 1");
        QCOMPARE(dialog->windowTitle(), QString("Выбор консоли"));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowContextHelpButtonHint));
        QCOMPARE(texts(*list), QStringList({ "Консоль 1", "Консоль 2" }));
        QCOMPARE(dialog->loadedNames.size(), 2);
        QCOMPARE(addButton->text(), QString("Добавить"));
        QCOMPARE(selectButton->text(), QString("Выбрать"));
        QCOMPARE(cancelButton->text(), QString("Отмена"));
        QVERIFY(!selectButton->isEnabled());
        click(*list, 1);
        QVERIFY(saveScreenshot(dialog.get(), "console_select_dialog"));
    }

    // The first console: added, kept under its offered name, picked.
    void firstConsoleGetsTheDefaults()
    {
        open({}, "No console");
        QVERIFY(!selectButton->isEnabled());
        add();
        confirmEditor();
        // Adding does not select the new console.
        QVERIFY(!selectButton->isEnabled());
        click(*list, 0);
        QVERIFY(selectButton->isEnabled());
        QTest::mouseClick(selectButton, Qt::LeftButton);

        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->selectedConsoleName, QString("Новая консоль"));
        const Settings &s = Settings::instance();
        QCOMPARE(describe(s.consoles), QStringList({ "Новая консоль 20 20 22 0 6.2" }));
        // Only the name of the current console changes; its values are the
        // caller's to store.
        QCOMPARE(describe(s.current_console), QString("Новая консоль 77 78 79 1.5 8"));
        const Settings saved = Settings::load("settings.ini");
        QCOMPARE(describe(saved.consoles), QStringList({ "Новая консоль 20 20 22 0 6.2" }));
        QCOMPARE(saved.current_console.name, QString("Новая консоль"));
    }

    // A second add, pressed while the first editor is open, closes that
    // editor first; the names stay distinct.
    void twoAdds()
    {
        open({}, "No console");
        add();
        add();
        confirmEditor();
        QCOMPARE(texts(*list), QStringList({ "Новая консоль", "Новая консоль1" }));
        click(*list, 1);
        QTest::mouseClick(selectButton, Qt::LeftButton);
        QCOMPARE(dialog->selectedConsoleName, QString("Новая консоль1"));
        QCOMPARE(Settings::load("settings.ini").consoles.size(), 2);
    }

    // A renamed console keeps its values; the picked one becomes current.
    void renameThenPickAnother()
    {
        open({ console("A", 25, 26), console("B", 30, 31) }, "A");
        doubleClick(*list, 0);
        typeAndConfirm(openEditor(*list), "Щуп 7");
        click(*list, 1);
        QTest::mouseClick(selectButton, Qt::LeftButton);

        QCOMPARE(dialog->selectedConsoleName, QString("B"));
        const QStringList expected { "Щуп 7 25 26 22 0 6.2", "B 30 31 22 0 6.2" };
        QCOMPARE(describe(Settings::instance().consoles), expected);
        const Settings saved = Settings::load("settings.ini");
        QCOMPARE(describe(saved.consoles), expected);
        QCOMPARE(saved.current_console.name, QString("B"));
    }

    // Of two records under one name, the later one's values go on.
    void duplicateNamesKeepTheLaterRecord()
    {
        open({ console("A", 25), console("A", 40) }, "A");
        click(*list, 0);
        QTest::mouseClick(selectButton, Qt::LeftButton);
        QCOMPARE(describe(Settings::instance().consoles), QStringList({ "A 40 20 22 0 6.2", "A 40 20 22 0 6.2" }));
    }

    void deleteKeyRemovesTheCurrentConsole()
    {
        open({ console("A", 25), console("B", 30), console("C", 35) }, "A");
        click(*list, 1);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(texts(*list), QStringList({ "A", "C" }));
        QStringList loaded = dialog->loadedNames.values();
        loaded.sort();
        QCOMPARE(loaded, QStringList({ "A", "C" }));
        QCOMPARE(dialog->isVisible(), true);

        click(*list, 1);
        QTest::mouseClick(selectButton, Qt::LeftButton);
        QCOMPARE(
            describe(Settings::load("settings.ini").consoles), QStringList({ "A 25 20 22 0 6.2", "C 35 20 22 0 6.2" }));

        // Without a current item the key does nothing.
        open({ console("A", 25) }, "A");
        list->setCurrentItem(nullptr);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->count(), 1);
    }

    // "Отмена" and Escape after adds, renames and deletions: the consoles and
    // the file stay as they were.
    void cancelKeepsEverything_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Отмена") << false;
        QTest::newRow("Escape") << true;
    }
    void cancelKeepsEverything()
    {
        QFETCH(bool, escape);
        const QList<ConsoleParams> consoles { console("A", 25), console("B", 30) };
        open(consoles, "A");
        QFile file("settings.ini");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        doubleClick(*list, 0);
        typeAndConfirm(openEditor(*list), "Z");
        click(*list, 1);
        QTest::keyClick(list, Qt::Key_Delete);
        add();
        confirmEditor();
        if (escape)
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(cancelButton, Qt::LeftButton);

        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(dialog->selectedConsoleName.isEmpty());
        QCOMPARE(describe(Settings::instance().consoles), describe(consoles));
        QCOMPARE(Settings::instance().current_console.name, QString("A"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    // "Выбрать" is enabled exactly while an item is selected.
    void selectFollowsTheSelection()
    {
        open({ console("A", 25), console("B", 30) }, "A");
        QVERIFY(!selectButton->isEnabled());
        click(*list, 0);
        QVERIFY(selectButton->isEnabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(*list, 0));
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(!selectButton->isEnabled());
        click(*list, 1);
        QVERIFY(selectButton->isEnabled());
        list->clearSelection();
        QVERIFY(!selectButton->isEnabled());
    }
};

VANTOR_TEST_MAIN(TestConsoleSelectDialog)
#include "tst_consoleselectdialog.moc"
