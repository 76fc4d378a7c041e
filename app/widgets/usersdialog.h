#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class AbstractTrace;
class QListWidgetItem;
class QModelIndex;
class QRect;

namespace Ui {
class UsersDialog;
}

// The modal contour calibration: a calibration window over clones of the
// given traces, run on top of its opener. Both the settings dialog and the
// consoles dialog start it through run(); the window itself is plugged in as
// the runner, which gets the opener as parent, the size to open at and the
// traces, and returns once the calibration window is closed and destroyed.
namespace ContourCalibration {
using Runner = std::function<void(QWidget *parent, const QSize &size, const QList<AbstractTrace *> &traces)>;

// Installs the runner (an empty one runs nothing); returns the one before.
Runner setRunner(Runner runner);
// 0.7 of the available area, each side rounded to the nearest pixel.
QSize dialogSize(const QRect &available);
// Runs the calibration at dialogSize() of the screen that shows opener.
void run(QWidget *opener, const QList<AbstractTrace *> &traces);
} // namespace ContourCalibration

// Edits the controller names (mode 1) or the consoles (mode 0) of the
// settings. The list is written into the settings, and saved, only when the
// dialog is accepted. In consoles mode the selected consoles can also be
// calibrated on the given traces; any other mode is an empty dialog that
// changes nothing.
class UsersDialog : public QDialog {
    Q_OBJECT

public:
    UsersDialog(int mode, QList<AbstractTrace *> traces, QWidget *parent = nullptr);
    ~UsersDialog() override;

    // Appends an item with that text as loaded from the settings.
    void addItem(const QString &name);
    void onAddReleased();
    void acceptControllers();
    void acceptConsoles();
    // Makes each selected console the current one in turn and calibrates it.
    void calibrateSelectedConsoles();

    int mode;
    QList<AbstractTrace *> traces; // not owned
    // The name each loaded item had in the settings; added items have none.
    QMap<QListWidgetItem *, QString> loadedNames;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setupControllers();
    void setupConsoles();
    void loadConsoles();
    void forgetRemovedItems(const QModelIndex &parent, int first, int last);

    std::unique_ptr<Ui::UsersDialog> ui;
};
