#include "widgets/consoleselectdialog.h"
#include "ui_consoleselectdialog.h"

#include <QHash>
#include <QKeyEvent>

ConsoleSelectDialog::ConsoleSelectDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ConsoleSelectDialog>())
    , m_consolesAtOpen(Settings::instance().consoles)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setupList();
    setupConnections();
}

ConsoleSelectDialog::~ConsoleSelectDialog() = default;

void ConsoleSelectDialog::setupList()
{
    for (const ConsoleParams &console : qAsConst(m_consolesAtOpen)) {
        auto *item = new QListWidgetItem(console.name);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        ui->listWidget->addItem(item);
        loadedNames.insert(item, console.name);
    }
}

void ConsoleSelectDialog::setupConnections()
{
    connect(ui->listWidget, &QListWidget::itemSelectionChanged, this, &ConsoleSelectDialog::onSelectionChanged);
    connect(ui->addPushButton, &QPushButton::clicked, this, &ConsoleSelectDialog::onAddClicked);
    connect(ui->selectPushButton, &QPushButton::clicked, this, &ConsoleSelectDialog::onSelectClicked);
    connect(ui->cancelPushButton, &QPushButton::clicked, this, &ConsoleSelectDialog::onCancelClicked);
    // Whoever removes an item (the Delete key, the list's "Удалить"), its
    // loaded name goes with it.
    connect(ui->listWidget->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
        &ConsoleSelectDialog::forgetRemovedItems);
}

void ConsoleSelectDialog::forgetRemovedItems(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int row = first; row <= last; ++row)
        loadedNames.remove(ui->listWidget->item(row));
}

void ConsoleSelectDialog::onSelectionChanged()
{
    ui->selectPushButton->setEnabled(!ui->listWidget->selectedItems().isEmpty());
}

void ConsoleSelectDialog::onAddClicked()
{
    ui->listWidget->addEditableItem(QStringLiteral("Новая консоль"));
}

void ConsoleSelectDialog::onSelectClicked()
{
    QListWidgetItem *current = ui->listWidget->currentItem();
    if (!current)
        return;
    Settings &s = Settings::instance();

    // Of two records with one name the later one is kept.
    QHash<QString, ConsoleParams> byName;
    for (const ConsoleParams &console : qAsConst(s.consoles))
        byName.insert(console.name, console);

    s.consoles.clear();
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        QListWidgetItem *item = ui->listWidget->item(i);
        ConsoleParams console;
        const auto loaded = loadedNames.constFind(item);
        if (loaded != loadedNames.constEnd())
            console = byName.value(loaded.value(), console);
        console.name = item->text();
        s.consoles.append(console);
    }

    s.current_console.name = current->text();
    // A failed write is logged by the settings; the calibration panel writes
    // the file again right after and tells the operator when that fails.
    s.save();
    selectedConsoleName = current->text();
    accept();
}

void ConsoleSelectDialog::onCancelClicked()
{
    Settings::instance().consoles = m_consolesAtOpen;
    reject();
}

void ConsoleSelectDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        ui->listWidget->removeCurrent();
        return;
    }
    QDialog::keyPressEvent(event);
}
