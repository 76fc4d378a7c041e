#include "widgets/usersdialog.h"
#include "ui_usersdialog.h"

#include "settings/settings.h"

#include <QAction>
#include <QHash>
#include <QKeyEvent>
#include <QScreen>
#include <QtMath>

namespace ContourCalibration {
namespace {
Runner &installedRunner()
{
    static Runner runner;
    return runner;
}
} // namespace

Runner setRunner(Runner runner)
{
    Runner previous = std::move(installedRunner());
    installedRunner() = std::move(runner);
    return previous;
}

QSize dialogSize(const QRect &available)
{
    return QSize(qRound(available.width() * 0.7), qRound(available.height() * 0.7));
}

void run(QWidget *opener, const QList<AbstractTrace *> &traces)
{
    // A copy, so a runner that installs another one keeps running.
    const Runner runner = installedRunner();
    if (!runner)
        return;
    QScreen *screen = opener ? opener->screen() : nullptr;
    const QRect available = screen ? screen->availableGeometry() : QRect();
    runner(opener, dialogSize(available), traces);
}
} // namespace ContourCalibration

namespace {
QStringList consoleNames()
{
    QStringList names;
    for (const ConsoleParams &console : qAsConst(Settings::instance().consoles))
        names << console.name;
    return names;
}
} // namespace

UsersDialog::UsersDialog(int mode, QList<AbstractTrace *> traces, QWidget *parent)
    : QDialog(parent)
    , mode(mode)
    , traces(std::move(traces))
    , ui(std::make_unique<Ui::UsersDialog>())
{
    ui->setupUi(this);
    // Whoever removes an item (the Delete key, the list's "Удалить"), its
    // loaded name goes with it.
    connect(ui->listWidget->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &UsersDialog::forgetRemovedItems);

    if (mode == 0) {
        auto *calibrate = new QAction(QStringLiteral("Откалибровать"), this);
        connect(calibrate, &QAction::triggered, this, &UsersDialog::calibrateSelectedConsoles);
        ui->listWidget->extraActions.append(calibrate);
        setupConsoles();
    } else if (mode == 1) {
        setupControllers();
    }
}

UsersDialog::~UsersDialog() = default;

void UsersDialog::addItem(const QString &name)
{
    auto *item = new QListWidgetItem(name);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    ui->listWidget->addItem(item);
    loadedNames.insert(item, name);
}

void UsersDialog::setupControllers()
{
    for (const QString &name : qAsConst(Settings::instance().controllers))
        addItem(name);
    connect(ui->addPushButton, &QPushButton::released, this, &UsersDialog::onAddReleased);
    connect(this, &QDialog::accepted, this, &UsersDialog::acceptControllers);
}

void UsersDialog::onAddReleased()
{
    ui->listWidget->addEditableItem(QStringLiteral("Новый контролёр"));
}

void UsersDialog::setupConsoles()
{
    setWindowTitle(QStringLiteral("Консоли"));
    ui->addPushButton->hide();
    loadConsoles();
    connect(this, &QDialog::accepted, this, &UsersDialog::acceptConsoles);
}

void UsersDialog::loadConsoles()
{
    ui->listWidget->clear();
    loadedNames.clear();
    for (const ConsoleParams &console : qAsConst(Settings::instance().consoles))
        addItem(console.name);
}

void UsersDialog::forgetRemovedItems(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int row = first; row <= last; ++row)
        loadedNames.remove(ui->listWidget->item(row));
}

void UsersDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        ui->listWidget->removeCurrent();
        return;
    }
    QDialog::keyPressEvent(event);
}

void UsersDialog::acceptControllers()
{
    Settings &s = Settings::instance();
    const QString current = s.current_controller_name;
    s.controllers.clear();
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        QListWidgetItem *item = ui->listWidget->item(i);
        s.controllers.append(item->text());
        const auto loaded = loadedNames.constFind(item);
        if (loaded != loadedNames.constEnd() && loaded.value() == current)
            s.current_controller_name = item->text();
    }
    // With the current controller's item gone, the first remaining
    // controller is the current one, as the quick settings show it.
    if (s.controllers.isEmpty())
        s.current_controller_name = QStringLiteral("No name");
    else if (!s.controllers.contains(s.current_controller_name))
        s.current_controller_name = s.controllers.first();
    s.save();
}

void UsersDialog::acceptConsoles()
{
    Settings &s = Settings::instance();
    // Of two records with one name the later one is kept.
    QHash<QString, ConsoleParams> byName;
    for (const ConsoleParams &console : qAsConst(s.consoles))
        byName.insert(console.name, console);

    const QString current = s.current_console.name;
    s.consoles.clear();
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        QListWidgetItem *item = ui->listWidget->item(i);
        ConsoleParams console;
        const auto loaded = loadedNames.constFind(item);
        if (loaded != loadedNames.constEnd()) {
            if (loaded.value() == current)
                s.current_console.name = item->text();
            console = byName.value(loaded.value(), console);
        }
        console.name = item->text();
        s.consoles.append(console);
    }
    if (s.consoles.isEmpty())
        s.current_console.name = QStringLiteral("No console");
    s.save();
}

void UsersDialog::calibrateSelectedConsoles()
{
    // Names, not items: the list may be reloaded between two calibrations.
    QStringList selected;
    for (const QListWidgetItem *item : ui->listWidget->selectedItems())
        selected << item->text();

    for (const QString &name : qAsConst(selected)) {
        Settings &s = Settings::instance();
        const ConsoleParams *record = nullptr;
        for (const ConsoleParams &console : qAsConst(s.consoles))
            if (console.name == name)
                record = &console;
        if (record) {
            s.current_console = *record;
            s.tool_head_radius_down = record->tool_head_radius_down;
            s.tool_head_radius_up = record->tool_head_radius_up;
            s.double_sided_probe_high = record->double_sided_probe_high;
            s.needle_bias = record->needle_bias;
            s.roughness_ratio = record->roughness_ratio;
        } else {
            s.current_console.name = name;
        }

        const QStringList before = consoleNames();
        ContourCalibration::run(this, traces);
        // A save-as inside the calibration may have renamed, added or
        // deleted consoles. The items then no longer match the record, and
        // accepting would give stale names default probe values: the list
        // shows the record as it now is instead.
        if (consoleNames() != before)
            loadConsoles();
    }
}
