#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "widgets/editablelist.h"

#include "widgettesthelpers.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>

using namespace WidgetTest;

namespace {

void requestContextMenu(QListWidget &list, const QPoint &pos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, list.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(list.viewport(), &event);
}

// The texts of the actions a menu offers (separators left out).
QStringList actionTexts(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        if (!a->isSeparator())
            out << a->text();
    return out;
}

} // namespace

// The name list of the controllers, consoles and console-selection dialogs.
class TestEditableList : public QObject {
    Q_OBJECT

    std::unique_ptr<EditableList> list;

    void fill(const QStringList &names)
    {
        for (const QString &name : names) {
            auto *item = new QListWidgetItem(name, list.get());
            item->setFlags(item->flags() | Qt::ItemIsEditable);
        }
    }

private Q_SLOTS:
    void init()
    {
        list = std::make_unique<EditableList>();
        list->resize(240, 200);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        list->activateWindow();
    }
    void cleanup() { list.reset(); }

    // Adds without typing: the first keeps the name, each further one gets
    // the smallest free counter, also when an editor is left with Escape.
    void addsKeepNamesUnique()
    {
        list->addEditableItem("Новая консоль");
        QLineEdit *editor = openEditor(*list);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString("Новая консоль"));
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(editorClosed(*list));

        list->addEditableItem("Новая консоль");
        QTest::keyClick(openEditor(*list), Qt::Key_Return);
        QVERIFY(editorClosed(*list));
        QCOMPARE(texts(*list), QStringList({ "Новая консоль", "Новая консоль1" }));

        list->addEditableItem("Новая консоль");
        QTest::keyClick(openEditor(*list), Qt::Key_Escape);
        QVERIFY(editorClosed(*list));
        QCOMPARE(texts(*list), QStringList({ "Новая консоль", "Новая консоль1", "Новая консоль2" }));
        QVERIFY(!list->editedItem);
        QVERIFY(list->editedItemText.isEmpty());
        // Adding does not select: the owner's "choose" stays disabled.
        QVERIFY(list->selectedItems().isEmpty());
    }

    // Every way of opening an editor checks the name when it closes.
    void editedNameIsNonEmptyAndUnique_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");

        const QStringList abc { "A", "B", "C" };
        QTest::newRow("cleared: old text back") << abc << 0 << "double click"
                                                << "" << abc;
        QTest::newRow("own name stays") << abc << 1 << "double click"
                                        << "B" << abc;
        QTest::newRow("fresh name") << abc << 1 << "double click"
                                    << "Щуп 2" << QStringList({ "A", "Щуп 2", "C" });
        QTest::newRow("another's name: 1") << abc << 0 << "double click"
                                           << "B" << QStringList({ "B1", "B", "C" });
        QTest::newRow("1 taken too: 2") << QStringList({ "A", "B", "B1" }) << 0 << "double click"
                                        << "B" << QStringList({ "B2", "B", "B1" });
        // Names typed through the edit key or "Переименовать" follow the same
        // rule, so two records can never share a name.
        QTest::newRow("edit key: clash") << abc << 2 << "edit key"
                                         << "A" << QStringList({ "A", "B", "A1" });
        QTest::newRow("edit key: cleared") << abc << 2 << "edit key"
                                           << "" << abc;
        QTest::newRow("rename: clash") << abc << 1 << "rename"
                                       << "C" << QStringList({ "A", "C1", "C" });
        QTest::newRow("rename: cleared") << abc << 1 << "rename"
                                         << "" << abc;
        // Two items loaded under one name: emptying one gives the bare counter.
        QTest::newRow("cleared, old text clashes") << QStringList({ "X", "X" }) << 1 << "double click"
                                                   << "" << QStringList({ "X", "1" });
    }
    void editedNameIsNonEmptyAndUnique()
    {
        QFETCH(QStringList, names);
        QFETCH(int, row);
        QFETCH(QString, how);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        fill(names);

        ScriptedPrompts prompts;
        const QPoint at = centreOf(*list, row);
        if (how == "double click") {
            doubleClick(*list, row);
        } else if (how == "edit key") {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::keyClick(list.get(), Qt::Key_F2);
        } else {
            QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
            prompts.expect(ScriptedPrompts::Menu, "Переименовать");
            requestContextMenu(*list, at);
            QVERIFY(prompts.allAnswered());
        }
        QLineEdit *editor = openEditor(*list);
        QVERIFY(editor);
        QCOMPARE(editor->text(), names.at(row));
        typeAndConfirm(editor, typed);
        QCOMPARE(texts(*list), expected);
        QVERIFY(!list->editedItem);
    }

    // Leaving an editor by clicking another item closes it and checks it.
    void clickElsewhereChecksTheName()
    {
        fill({ "A", "B" });
        doubleClick(*list, 0);
        QLineEdit *editor = openEditor(*list);
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "B");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centreOf(*list, 1));
        QVERIFY(editorClosed(*list));
        QCOMPARE(texts(*list), QStringList({ "B1", "B" }));
    }

    // The owner's actions come first; empty space gives no menu at all (the
    // scripted prompts fail on any question not expected).
    void contextMenu()
    {
        fill({ "A", "B" });
        QAction calibrate("Откалибровать");
        int calibrations = 0;
        connect(&calibrate, &QAction::triggered, [&calibrations] { ++calibrations; });
        list->extraActions.append(&calibrate);

        ScriptedPrompts prompts;
        QStringList offered;
        prompts.expect(ScriptedPrompts::Menu, QVariant(), [&offered](QObject *subject) {
            auto *menu = qobject_cast<QMenu *>(subject);
            offered = actionTexts(menu);
            return QVariant::fromValue(menu->actions().first());
        });
        const QPoint second = centreOf(*list, 1);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, second);
        requestContextMenu(*list, second);
        QCOMPARE(offered, QStringList({ "Откалибровать", "Переименовать", "Удалить" }));
        QCOMPARE(calibrations, 1);

        const QPoint below(10, list->viewport()->height() - 5);
        QVERIFY(!list->itemAt(below));
        requestContextMenu(*list, below);
        QCOMPARE(prompts.unexpectedCount(), 0);
        // The action belongs to its owner and outlives the menu.
        QCOMPARE(list->extraActions.size(), 1);
        QCOMPARE(calibrate.text(), QString("Откалибровать"));
    }

    // "Удалить" removes the item the operator right-clicked (it became current).
    void removeFromMenu()
    {
        fill({ "A", "B", "C" });
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Menu, "Удалить");
        const QPoint at = centreOf(*list, 1);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
        requestContextMenu(*list, at);
        QCOMPARE(texts(*list), QStringList({ "A", "C" }));

        list->setCurrentItem(nullptr);
        list->removeCurrent();
        QCOMPARE(list->count(), 2);
    }

    // An item removed while its new name is being typed leaves nothing
    // tracked behind for the next editor to trip over.
    void removingTheEditedItemForgetsIt()
    {
        fill({ "A" });
        list->addEditableItem("Новая консоль");
        QVERIFY(openEditor(*list));
        delete list->takeItem(1);
        QVERIFY(!list->editedItem);
        QVERIFY(editorClosed(*list));
        QCOMPARE(texts(*list), QStringList({ "A" }));
    }
};

VANTOR_TEST_MAIN(TestEditableList)
#include "tst_editablelist.moc"
