#pragma once

#include <QListWidget>
#include <QPointer>
#include <QString>
#include <QVector>

class QAction;

// The name list of the dialogs that edit named records (controllers,
// consoles). Items are renamed in place; a context menu offers the owner's
// actions, "Переименовать" and "Удалить". Whenever an item's editor closes,
// however it was opened, the item's name is made non-empty and unique within
// the list, so two records can never end up under one name.
class EditableList : public QListWidget {
    Q_OBJECT

public:
    explicit EditableList(QWidget *parent = nullptr);

    // Appends an editable item with that text, opens its editor at once and
    // tracks it. Returns the new item (owned by the list).
    QListWidgetItem *addEditableItem(const QString &name);

    // Actions put at the top of the context menu by the owner, in order.
    // The list neither creates nor deletes them.
    QVector<QAction *> extraActions;
    // The item whose name is checked when its editor closes, and its text
    // from before the edit.
    QListWidgetItem *editedItem = nullptr;
    QString editedItemText;

    // The name an edit of `item` ends with: the typed text, or the old text
    // when it was emptied; on a clash with another item the typed text
    // followed by the smallest counter (1, 2, ...) that no other item shows.
    QString uniqueName(const QListWidgetItem *item, const QString &typed, const QString &oldText) const;

public Q_SLOTS:
    void onItemDoubleClicked(QListWidgetItem *item);
    void onEditorClosed(QWidget *editor);
    void onContextMenu(const QPoint &pos);
    // Opens the editor on every selected item.
    void renameSelected();
    // Removes and deletes the current item; nothing without one.
    void removeCurrent();

protected:
    // Every editor that opens, whatever its trigger (double click, the
    // platform's edit key, "Переименовать", an add), tracks its item.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    void track(QListWidgetItem *item, QWidget *editor);
    void clearTracking();
    void forgetRemovedRows(const QModelIndex &parent, int first, int last);

    // The editor of the tracked item once it is open; an editor of another
    // item closing leaves the tracked one alone.
    QPointer<QWidget> m_editedEditor;
};
