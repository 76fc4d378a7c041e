#include "widgets/paramsdialog.h"

#include "settings/settings.h"
#include "ui_paramsdialog.h"

#include <QSet>

namespace {

void fillList(QListWidget *list, const QMap<int, QString> &names, int count)
{
    for (int i = 0; i < count; ++i)
        list->addItem(names.value(i));
}

// Stores the list's names in their order, each name once: a name already
// stored (earlier in this list, or in a list stored before) is left out, so
// a copy made by dragging with Ctrl never shows a parameter twice.
void storeList(const QListWidget *list, QMap<int, QString> &names, int &count, QSet<QString> &stored)
{
    names.clear();
    for (int i = 0; i < list->count(); ++i) {
        const QString name = list->item(i)->text();
        if (stored.contains(name))
            continue;
        stored.insert(name);
        names.insert(names.size(), name);
    }
    count = names.size();
}

} // namespace

ParamsDialog::ParamsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ParamsDialog)
{
    ui->setupUi(this);
    connect(ui->moveToDisabledButton, &QPushButton::clicked, this, &ParamsDialog::moveToDisabled);
    connect(ui->moveToEnabledButton, &QPushButton::clicked, this, &ParamsDialog::moveToEnabled);
    connect(ui->okButton, &QPushButton::released, this, &ParamsDialog::onOkReleased);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    const UserPreferences &p = Settings::instance().preferenses;
    fillList(ui->enabledListWidget, p.enabled_params, p.enabled_params_count);
    fillList(ui->disabledListWidget, p.disabled_params, p.disabled_params_count);
    setWindowTitle(QStringLiteral("Настройки"));
}

ParamsDialog::~ParamsDialog()
{
    delete ui;
}

void ParamsDialog::moveSelected(QListWidget *from, QListWidget *to)
{
    const QList<QListWidgetItem *> selected = from->selectedItems();
    for (QListWidgetItem *item : selected)
        to->addItem(from->takeItem(from->row(item)));
}

void ParamsDialog::moveToDisabled()
{
    moveSelected(ui->enabledListWidget, ui->disabledListWidget);
}

void ParamsDialog::moveToEnabled()
{
    moveSelected(ui->disabledListWidget, ui->enabledListWidget);
}

void ParamsDialog::onOkReleased()
{
    Settings &s = Settings::instance();
    // The displayed list is stored first, so a name in both lists stays shown.
    QSet<QString> stored;
    storeList(ui->enabledListWidget, s.preferenses.enabled_params, s.preferenses.enabled_params_count, stored);
    storeList(ui->disabledListWidget, s.preferenses.disabled_params, s.preferenses.disabled_params_count, stored);
    s.save();
    accept();
}
