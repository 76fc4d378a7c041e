#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

#include "settings/settings.h"

class QListWidgetItem;
class QModelIndex;

namespace Ui {
class ConsoleSelectDialog;
}

// Asks into which console a probe calibration goes. The operator may add,
// rename and delete consoles, then picks one with "Выбрать": the consoles
// list of the settings is rebuilt from the items (each loaded console keeps
// its probe values under its item's name, an added one gets the default
// values), the picked console becomes the current one by name and the
// settings file is written. "Отмена" leaves the consoles list as it was.
class ConsoleSelectDialog : public QDialog {
    Q_OBJECT

public:
    explicit ConsoleSelectDialog(QWidget *parent = nullptr);
    ~ConsoleSelectDialog() override;

    // The name of the picked console; empty until "Выбрать" completes.
    QString selectedConsoleName;
    // The console name each loaded item had in the settings. Items added in
    // the dialog have no entry; a removed item's entry goes with it.
    QMap<QListWidgetItem *, QString> loadedNames;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setupList();
    void setupConnections();
    void forgetRemovedItems(const QModelIndex &parent, int first, int last);

    void onSelectionChanged();
    void onAddClicked();
    void onSelectClicked();
    void onCancelClicked();

    std::unique_ptr<Ui::ConsoleSelectDialog> ui;
    QList<ConsoleParams> m_consolesAtOpen;
};
