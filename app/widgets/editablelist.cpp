#include "widgets/editablelist.h"

#include "widgets/prompts.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QMenu>

EditableList::EditableList(QWidget *parent)
    : QListWidget(parent)
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &EditableList::onContextMenu);
    connect(this, &QListWidget::itemDoubleClicked, this, &EditableList::onItemDoubleClicked);
    // The view's own closeEditor slot was connected first, so the typed text
    // has been committed to the item when onEditorClosed runs.
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, &EditableList::onEditorClosed);
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &EditableList::forgetRemovedRows);
}

QListWidgetItem *EditableList::addEditableItem(const QString &name)
{
    auto *item = new QListWidgetItem(name);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    addItem(item);
    track(item, nullptr);
    editItem(item);
    return item;
}

void EditableList::onItemDoubleClicked(QListWidgetItem *item)
{
    if (item)
        track(item, nullptr);
}

bool EditableList::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    const bool wasOpen = indexWidget(index) != nullptr;
    const bool handled = QListWidget::edit(index, trigger, event);
    if (handled && !wasOpen) {
        if (QWidget *editor = indexWidget(index))
            track(itemFromIndex(index), editor);
    }
    return handled;
}

void EditableList::track(QListWidgetItem *item, QWidget *editor)
{
    editedItem = item;
    editedItemText = item->text();
    m_editedEditor = editor;
}

void EditableList::clearTracking()
{
    editedItem = nullptr;
    editedItemText.clear();
    m_editedEditor = nullptr;
}

void EditableList::forgetRemovedRows(const QModelIndex &parent, int first, int last)
{
    if (!editedItem || parent.isValid())
        return;
    const int r = row(editedItem);
    if (r >= first && r <= last)
        clearTracking();
}

QString EditableList::uniqueName(const QListWidgetItem *item, const QString &typed, const QString &oldText) const
{
    const auto taken = [this, item](const QString &name) {
        if (name.isEmpty())
            return true;
        for (int i = 0; i < count(); ++i) {
            const QListWidgetItem *other = this->item(i);
            if (other != item && other->text() == name)
                return true;
        }
        return false;
    };
    QString candidate = typed.isEmpty() ? oldText : typed;
    for (int counter = 1; taken(candidate); ++counter)
        candidate = typed + QString::number(counter);
    return candidate;
}

void EditableList::onEditorClosed(QWidget *editor)
{
    if (!editedItem) {
        clearTracking();
        return;
    }
    // The editor of another item closing leaves the tracked edit running.
    if (m_editedEditor && editor != m_editedEditor)
        return;
    QListWidgetItem *item = editedItem;
    const QString name = uniqueName(item, item->text(), editedItemText);
    clearTracking();
    if (item->text() != name)
        item->setText(name);
}

void EditableList::onContextMenu(const QPoint &pos)
{
    if (!itemAt(pos))
        return;
    QMenu menu(this);
    for (QAction *a : extraActions)
        menu.addAction(a);
    QAction *rename = menu.addAction(QStringLiteral("Переименовать"));
    QAction *remove = menu.addAction(QStringLiteral("Удалить"));
    connect(rename, &QAction::triggered, this, &EditableList::renameSelected);
    connect(remove, &QAction::triggered, this, &EditableList::removeCurrent);

    // A menu run by Qt triggers the chosen action itself; a prompts object
    // that only names the choice leaves the triggering to us.
    QAction *triggered = nullptr;
    connect(&menu, &QMenu::triggered, this, [&triggered](QAction *a) { triggered = a; });
    QAction *chosen = Prompts::instance().execMenu(&menu, viewport()->mapToGlobal(pos));
    if (chosen && chosen != triggered && menu.actions().contains(chosen))
        chosen->trigger();
}

void EditableList::renameSelected()
{
    const QList<QListWidgetItem *> items = selectedItems();
    for (QListWidgetItem *item : items)
        editItem(item);
}

void EditableList::removeCurrent()
{
    delete takeItem(currentRow());
}
