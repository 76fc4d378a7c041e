#include "tracelist.h"

#include "settings/common.h"
#include "settings/logger.h"
#include "settings/settings.h"
#include "tracememory.h"
#include "traces/contourtrace.h"
#include "traces/profiletrace.h"
#include "traces/tracejoin.h"
#include "traces/tracewriter.h"
#include "ui_tracelist.h"
#include "widgets/paramsdialog.h"
#include "widgets/prompts.h"
#include "widgets/testsensorwidget.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

bool isProfileKind(const AbstractTrace *trace)
{
    return trace && isProfileTraceKind(trace->traceType);
}

// The trace as a profile trace when it is one of the profile kinds.
ProfileTrace *asProfile(AbstractTrace *trace)
{
    return isProfileKind(trace) ? dynamic_cast<ProfileTrace *>(trace) : nullptr;
}

bool isContourKind(const AbstractTrace *trace)
{
    return trace && isContourTraceKind(trace->traceType);
}

int itemId(const QTreeWidgetItem *item)
{
    if (!item)
        return -1;
    bool ok = false;
    const int id = item->data(0, Qt::UserRole).toInt(&ok);
    return ok ? id : -1;
}

struct LengthUnit {
    QString text;
    double factor; // display units per µm
};

// The unit of the length label; values the settings dialog never stores
// read as its default, millimetres.
LengthUnit lengthUnit(int axisUnit)
{
    switch (axisUnit) {
    case 1:
        return { QStringLiteral(" мкм"), 1 };
    case 2:
        return { QStringLiteral(" нм"), 1000 };
    default:
        return { QStringLiteral(" мм"), 0.001 };
    }
}

} // namespace

TraceList::TraceList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::traceList)
{
    ui->setupUi(this);

    QTreeWidget *tracesTree = ui->tracesListTreeWidget;
    tracesTree->setContextMenuPolicy(Qt::CustomContextMenu);
    tracesTree->setSelectionMode(QAbstractItemView::SingleSelection);
    tracesTree->setFont(Common::kMonospaceFont);

    QTreeWidget *paramsTree = ui->paramsListTreeWidget;
    paramsTree->setHeaderLabels(
        { QStringLiteral("Параметр"), QStringLiteral("Значение"), QStringLiteral("Ед. измерения") });
    paramsTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    paramsTree->setContextMenuPolicy(Qt::CustomContextMenu);

    setInfoVisible(false);

    connect(tracesTree, &QTreeWidget::customContextMenuRequested, this, &TraceList::tracesListMenuRequested);
    connect(tracesTree, &QTreeWidget::itemSelectionChanged, this, &TraceList::tracesListItemSelectionChanged);
    connect(tracesTree, &QTreeWidget::itemChanged, this, &TraceList::tracesListItemChanged);
    connect(paramsTree, &QTreeWidget::customContextMenuRequested, this, &TraceList::paramsListMenuRequested);
    connect(ui->filterComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &TraceList::onFilterIndexChanged);

    applySensorTestMode();
}

TraceList::~TraceList()
{
    // Signals from the trees must not reach a half-destroyed list.
    ui->tracesListTreeWidget->disconnect(this);
    const QList<AbstractTrace *> listed = traces.values();
    QSet<AbstractTrace *> owned;
    for (AbstractTrace *trace : listed) {
        owned.insert(trace);
        if (auto *profile = dynamic_cast<ProfileTrace *>(trace))
            for (ProfileTrace *child : qAsConst(profile->additionalTraces))
                owned.insert(child);
    }
    owned.remove(acquiringTrace);
    owned.remove(nullptr);
    traces.clear();
    qDeleteAll(owned);
    delete ui;
    releaseTraceMemory();
}

QTreeWidgetItem *TraceList::newTraceItem(const QString &title, int id, bool checked) const
{
    auto *item = new QTreeWidgetItem;
    item->setText(0, title);
    item->setData(0, Qt::UserRole, id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    item->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

void TraceList::addMainTrace(AbstractTrace *trace)
{
    if (!trace)
        return;
    ui->tracesListTreeWidget->addTopLevelItem(
        newTraceItem(QFileInfo(trace->filePath()).completeBaseName(), trace->id, true));
    traces[trace->id] = trace;
    logger.log(Logger::INFO, "End of adding new trace");
}

QTreeWidgetItem *TraceList::lastProfileItem() const
{
    const QTreeWidget *tree = ui->tracesListTreeWidget;
    for (int i = tree->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *item = tree->topLevelItem(i);
        const AbstractTrace *trace = traces.value(itemId(item));
        if (trace && trace->traceType == PROFILE)
            return item;
    }
    return nullptr;
}

void TraceList::addAdditionalTrace(AbstractTrace *trace, bool fromFile)
{
    if (!trace)
        return;
    auto *child = dynamic_cast<ProfileTrace *>(trace);
    // A run read from a file already knows its main trace; an acquired run
    // belongs to the last profile measured.
    QTreeWidgetItem *parentItem = nullptr;
    if (child && child->parentTrace) {
        QTreeWidgetItem *item = findItem(child->parentTrace->id);
        if (item && !item->parent())
            parentItem = item;
    }
    if (!parentItem)
        parentItem = lastProfileItem();
    if (!parentItem) {
        logger.log(Logger::WARNING,
            "Additional trace " + std::to_string(trace->id + 1) + " has no profile trace to join; listed on its own");
        addMainTrace(trace);
        return;
    }
    if (!fromFile) {
        auto *main = dynamic_cast<ProfileTrace *>(traces.value(itemId(parentItem)));
        if (main && child && child->parentTrace != main)
            main->addAdditionalTrace(child);
    }
    const QString title = QStringLiteral("Доп. трасса %1").arg(parentItem->childCount() + 1);
    parentItem->addChild(newTraceItem(title, trace->id, !fromFile));
    traces[trace->id] = trace;
}

void TraceList::tracesListItemChanged(QTreeWidgetItem *item, int column)
{
    if (column != 0)
        return;
    const int id = itemId(item);
    if (id >= 0)
        Q_EMIT setGraphVisible(id, item->checkState(0) == Qt::Checked);
}

void TraceList::hideProfileTraces()
{
    QTreeWidget *tree = ui->tracesListTreeWidget;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = tree->topLevelItem(i);
        const AbstractTrace *trace = traces.value(itemId(item));
        if (trace && trace->traceType == PROFILE)
            item->setCheckState(0, Qt::Unchecked);
        for (int c = 0; c < item->childCount(); ++c) {
            if (traces.contains(itemId(item->child(c))))
                item->child(c)->setCheckState(0, Qt::Unchecked);
        }
    }
}

QTreeWidgetItem *TraceList::findItem(int id) const
{
    if (id < 0)
        return nullptr;
    QTreeWidgetItemIterator it(ui->tracesListTreeWidget);
    for (; *it; ++it) {
        if (itemId(*it) == id)
            return *it;
    }
    return nullptr;
}

void TraceList::selectTrace(int id)
{
    QTreeWidgetItem *item = findItem(id);
    if (!item)
        return;
    QTreeWidget *tree = ui->tracesListTreeWidget;
    tree->clearSelection();
    tree->setCurrentItem(item);
    item->setSelected(true);
    tree->scrollToItem(item);
}

int TraceList::entryOfFile(const QString &path) const
{
    if (path.isEmpty())
        return -1;
    // The same file reached by another spelling of its path (a link, "..")
    // is the same file.
    auto samePath = [](const QString &a, const QString &b) {
        const QFileInfo first(a);
        const QFileInfo second(b);
        const QString canonical = first.canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical == second.canonicalFilePath();
        return QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath());
    };
    for (AbstractTrace *trace : traces) {
        if (!trace || trace == acquiringTrace || trace->filePath().isEmpty() || !samePath(path, trace->filePath()))
            continue;
        auto *run = dynamic_cast<ProfileTrace *>(trace);
        AbstractTrace *entry = run && run->parentTrace && traces.value(run->parentTrace->id) == run->parentTrace
            ? run->parentTrace
            : trace;
        if (findItem(entry->id))
            return entry->id;
    }
    return -1;
}

void TraceList::releaseDeleteShortcuts()
{
    // The shortcut whose activation removed the selected item may be among
    // them, so none is deleted while its signal may still be running.
    for (QShortcut *shortcut : qAsConst(deleteShortcuts)) {
        shortcut->setEnabled(false);
        shortcut->deleteLater();
    }
    deleteShortcuts.clear();
}

void TraceList::tracesListItemSelectionChanged()
{
    const QList<QTreeWidgetItem *> selected = ui->tracesListTreeWidget->selectedItems();
    if (selected.isEmpty()) {
        selectedTrace = nullptr;
        setInfoVisible(false);
    }
    const QList<int> ids = traces.keys();
    for (int id : ids)
        Q_EMIT setGraphSelected(id, false);
    releaseDeleteShortcuts();

    for (QTreeWidgetItem *item : selected) {
        const int id = itemId(item);
        if (!traces.contains(id))
            continue;
        selectedTrace = traces.value(id);
        if (selectedTrace == acquiringTrace) {
            item->setSelected(false); // the selection change that follows clears selectedTrace
            return;
        }
        if (isProfileKind(selectedTrace))
            showTraceParams(id);
        else
            clearTraceParams();
        Q_EMIT setGraphSelected(id, true);

        auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Delete), this);
        shortcut->setContext(Qt::WindowShortcut);
        deleteShortcuts.append(shortcut);
        // The item is looked up when the key is pressed: by then it may be gone.
        connect(shortcut, &QShortcut::activated, this, [this, id] {
            if (QTreeWidgetItem *current = findItem(id))
                removeTraceItem(current, id);
        });
    }
}

void TraceList::setInfoVisible(bool visible)
{
    ui->filterLabel->setVisible(visible);
    ui->filterComboBox->setVisible(visible);
    ui->speedLable->setVisible(visible);
    ui->speedValueLable->setVisible(visible);
    ui->traceLenghtLabel->setVisible(visible);
    ui->traceLengthValuLabel->setVisible(visible);
    ui->paramsListTreeWidget->setVisible(visible);
}

void TraceList::applySensorTestMode()
{
    const bool sensorTest = Settings::instance().test_sensor_mode;
    ui->testSensorWidget->setVisible(sensorTest);
    ui->tracesListTreeWidget->setVisible(!sensorTest);
    if (sensorTest)
        ui->paramsListTreeWidget->setVisible(false);
}

void TraceList::clearTraceParams()
{
    // A contour trace has none of the profile's values: nothing of the trace
    // shown before may stay.
    ui->paramsListTreeWidget->clear();
    ui->speedValueLable->clear();
    ui->traceLengthValuLabel->clear();
    setInfoVisible(false);
}

ProfileTrace *TraceList::listedProfileTrace(int id) const
{
    return asProfile(traces.value(id));
}

void TraceList::showTraceParams(int id)
{
    ProfileTrace *trace = listedProfileTrace(id);
    if (!trace)
        return;
    QTreeWidget *params = ui->paramsListTreeWidget;
    params->clear();
    setInfoVisible(true);

    ui->speedValueLable->setText(QString::number(trace->speed, 'g', 6) + QStringLiteral(" мм/с"));
    {
        const QSignalBlocker blocker(ui->filterComboBox);
        ui->filterComboBox->setCurrentIndex(Common::kCutOffLengths.indexOf(trace->cutOff));
    }
    const LengthUnit unit = lengthUnit(Settings::instance().axis_unit);

    const TData &data = *trace->processedData;
    if (data.size() < 2 || data.at(0).isEmpty() || data.at(1).isEmpty()) {
        ui->traceLengthValuLabel->setText(QStringLiteral("0") + unit.text);
        return;
    }
    const double length = (data.at(0).last() - data.at(0).first()) * unit.factor;
    ui->traceLengthValuLabel->setText(QString::number(length, 'g', 6) + unit.text);

    const UserPreferences &prefs = Settings::instance().preferenses;
    QList<QTreeWidgetItem *> rows;
    rows.reserve(prefs.enabled_params_count);
    for (int i = 0; i < prefs.enabled_params_count; ++i) {
        const QString name = prefs.enabled_params.value(i);
        auto *row = new QTreeWidgetItem;
        row->setText(0, name);
        row->setTextAlignment(0, Qt::AlignCenter);
        row->setText(1, trace->results.value(name).text());
        row->setText(2, paramUnit(name));
        rows.append(row);
    }
    params->addTopLevelItems(rows);
    // The table lays its rows out later; a paint that comes first (the part
    // a closing dialog uncovers) would do it and drop the repaint of the
    // rest, which would keep showing the rows of before.
    params->viewport()->update();
}

void TraceList::runSensorTest(AbstractTrace *trace)
{
    if (ProfileTrace *profile = asProfile(trace))
        ui->testSensorWidget->checkTrace(profile);
}

ReportData TraceList::sensorTestReportData() const
{
    return ui->testSensorWidget->reportData();
}

void TraceList::recalcParams()
{
    if (Settings::instance().test_sensor_mode)
        ui->testSensorWidget->checkTrace(asProfile(selectedTrace));
    const QList<AbstractTrace *> listed = traces.values();
    for (AbstractTrace *trace : listed) {
        ProfileTrace *profile = asProfile(trace);
        if (!profile)
            continue;
        profile->clearProfileCache();
        recalcAllParams(extraArgs, profile);
        if (trace == selectedTrace)
            showTraceParams(trace->id);
    }
}

void TraceList::recalcParamsIfAny()
{
    if (!traces.isEmpty())
        recalcParams();
}

void TraceList::refresh()
{
    recalcParamsIfAny();
    applySensorTestMode();
}

void TraceList::updateDpParam()
{
    const QList<AbstractTrace *> listed = traces.values();
    for (AbstractTrace *trace : listed) {
        if (ProfileTrace *profile = asProfile(trace))
            recalcDpParam(extraArgs, profile);
    }
    if (selectedTrace)
        showTraceParams(selectedTrace->id);
}

void TraceList::setMedianFilter(bool enabled, int points)
{
    const QList<AbstractTrace *> listed = traces.values();
    for (AbstractTrace *trace : listed) {
        ProfileTrace *profile = asProfile(trace);
        if (!profile)
            continue;
        profile->medianEnabled = enabled;
        profile->medianWindow = points;
        profile->clearProfileCache();
    }
    if (ProfileTrace *selected = asProfile(selectedTrace)) {
        recalcAllParams(extraArgs, selected);
        showTraceParams(selected->id);
    }
}

void TraceList::rewriteTraceFile(ProfileTrace *main)
{
    // A trace whose own save failed has no file to keep as it was.
    const bool hadFile = QFileInfo::exists(main->filePath());
    if (saveTraceFile(main->filePath(), main))
        return;
    if (!hadFile) {
        logger.log(Logger::ERROR, "Trace file not written, the trace has none: " + main->filePath().toStdString());
        Prompts::instance().critical(this, QStringLiteral("Ошибка"),
            QStringLiteral("Трасса не сохранена в файл, изменение осталось только в программе:\n%1")
                .arg(main->filePath()));
        return;
    }
    logger.log(Logger::ERROR, "Trace file not rewritten, the old one stays: " + main->filePath().toStdString());
    Prompts::instance().critical(this, QStringLiteral("Ошибка"),
        QStringLiteral("Не удалось перезаписать файл трассы:\n%1\nФайл остался прежним.").arg(main->filePath()));
}

void TraceList::onFilterIndexChanged(int index)
{
    ProfileTrace *trace = asProfile(selectedTrace);
    if (!trace || index < 0 || index >= Common::kCutOffLengths.size())
        return;
    setTraceCutOff(trace, Common::kCutOffLengths.at(index));
}

void TraceList::setTraceCutOff(ProfileTrace *trace, double cutOff)
{
    if (!asProfile(trace))
        return;
    trace->cutOff = cutOff;
    // The profiles kept were filtered with the old cut-off.
    trace->clearProfileCache();
    if (trace->traceType == PROFILE)
        rewriteTraceFile(trace);
    else if (trace->parentTrace)
        rewriteTraceFile(trace->parentTrace);
    // The curves are rebuilt with the new cut-off first, so that the length
    // shown is that of the curve drawn now.
    Q_EMIT recalculateTrace();
    recalcAllParams(extraArgs, trace);
    if (trace == selectedTrace)
        showTraceParams(trace->id);
    // A main trace's values take each of its runs with the run's own cut-off.
    if (ProfileTrace *main = trace->traceType == ADDITIONAL_TRACE ? trace->parentTrace : nullptr) {
        recalcAllParams(extraArgs, main);
        if (main == selectedTrace)
            showTraceParams(main->id);
    }
}

void TraceList::dispose(AbstractTrace *trace)
{
    if (!trace)
        return;
    if (trace == selectedTrace)
        selectedTrace = nullptr;
    if (trace != acquiringTrace)
        delete trace;
}

void TraceList::removeTraceItem(QTreeWidgetItem *item, int id)
{
    if (!item)
        return;
    if (item->parent())
        removeAdditionalTrace(item, id);
    else
        removeMainTrace(item, id);
    if (ui->tracesListTreeWidget->selectedItems().isEmpty())
        tracesListItemSelectionChanged();
    if (!traces.isEmpty())
        recalcParams();
    else
        releaseTraceMemory();
}

void TraceList::removeMainTrace(QTreeWidgetItem *item, int id)
{
    logger.log(Logger::INFO, "Remove main trace with ID " + std::to_string(id + 1));
    QList<AbstractTrace *> gone;
    for (int c = 0; c < item->childCount(); ++c) {
        const int childId = itemId(item->child(c));
        if (traces.contains(childId)) {
            gone.append(traces.take(childId));
            Q_EMIT traceDeleted(childId);
        }
    }
    qDeleteAll(item->takeChildren());
    AbstractTrace *main = traces.take(id);
    if (main)
        Q_EMIT traceDeleted(id);
    delete item;

    // The runs of a main trace go with it, listed or not.
    if (auto *profile = dynamic_cast<ProfileTrace *>(main)) {
        const QVector<ProfileTrace *> runs = profile->additionalTraces;
        for (ProfileTrace *run : runs) {
            if (!run)
                continue;
            profile->removeAdditionalTrace(run->id);
            run->parentTrace = nullptr;
            if (!gone.contains(run))
                gone.append(run);
        }
    }
    gone.append(main);
    for (AbstractTrace *trace : qAsConst(gone))
        dispose(trace);
}

void TraceList::removeAdditionalTrace(QTreeWidgetItem *item, int id)
{
    logger.log(Logger::INFO, "Remove additional trace with ID " + std::to_string(id + 1));
    if (!item->parent() || !traces.contains(id))
        return;
    AbstractTrace *trace = traces.value(id);
    if (ProfileTrace *main = listedProfileTrace(itemId(item->parent()))) {
        // The main trace's file changes only when it held this run.
        const bool held = main->removeAdditionalTrace(id);
        if (auto *run = dynamic_cast<ProfileTrace *>(trace))
            run->parentTrace = nullptr;
        if (held)
            rewriteTraceFile(main);
    }
    traces.remove(id);
    Q_EMIT traceDeleted(id);
    delete item;
    dispose(trace);
}

void TraceList::removeTrace(AbstractTrace *trace)
{
    if (!trace)
        return;
    const int id = trace->id;
    QTreeWidget *tree = ui->tracesListTreeWidget;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = tree->topLevelItem(i);
        if (itemId(item) == id) {
            removeTraceItem(item, id);
            return;
        }
    }
}

void TraceList::dropTrace(AbstractTrace *trace)
{
    if (!trace)
        return;
    const int id = trace->id;
    if (trace == acquiringTrace)
        acquiringTrace = nullptr;
    // A run is detached first, so that its main trace's file stays as it is.
    if (auto *run = dynamic_cast<ProfileTrace *>(trace); run && run->parentTrace) {
        run->parentTrace->removeAdditionalTrace(id);
        run->parentTrace = nullptr;
    }
    if (QTreeWidgetItem *item = findItem(id); item && traces.value(id) == trace) {
        removeTraceItem(item, id);
        return;
    }
    traces.remove(id);
    dispose(trace);
    if (traces.isEmpty())
        releaseTraceMemory();
}

void TraceList::removeAllButAcquired()
{
    const QList<AbstractTrace *> listed = traces.values();
    for (AbstractTrace *trace : listed) {
        // A run removed with its main trace earlier in this loop is gone.
        if (trace != acquiringTrace && traces.value(trace->id) == trace)
            removeTrace(trace);
    }
}

bool TraceList::isContourOnly() const
{
    for (const AbstractTrace *trace : traces) {
        if (isProfileKind(trace))
            return false;
    }
    return true;
}

void TraceList::tracesListMenuRequested(QPoint pos)
{
    QTreeWidget *tree = ui->tracesListTreeWidget;
    const int id = itemId(tree->itemAt(pos));
    if (!traces.contains(id) || traces.value(id) == acquiringTrace)
        return;

    QMenu menu(this);
    QAction *removeAction = menu.addAction(QStringLiteral("Удалить трассу"));
    QAction *showAction = menu.addAction(QStringLiteral("Перейти к файлу трассы"));
    const bool contourOnly = isContourOnly();
    const QList<ConsoleParams> consoles = Settings::instance().consoles;
    QMap<QAction *, int> consoleActions;
    if (contourOnly && consoles.size() > 1) {
        QMenu *sub = menu.addMenu(QStringLiteral("Изменить консоль для трассы"));
        for (int i = 0; i < consoles.size(); ++i)
            consoleActions.insert(sub->addAction(consoles.at(i).name), i);
    }
    QAction *joinAction = nullptr;
    if (contourOnly && traces.size() > 1)
        joinAction = menu.addAction(QStringLiteral("Соединить трассы"));

    QAction *chosen = Prompts::instance().execMenu(&menu, tree->viewport()->mapToGlobal(pos));
    if (!chosen)
        return;
    if (chosen == removeAction)
        removeTraceItem(findItem(id), id);
    else if (chosen == showAction)
        showTraceFileInExplorer(id);
    else if (chosen == joinAction)
        joinTracesDialog(id);
    else if (consoleActions.contains(chosen))
        setTraceConsole(id, consoles.at(consoleActions.value(chosen)));
}

void TraceList::setTraceConsole(int id, const ConsoleParams &console)
{
    auto *trace = dynamic_cast<ContourTrace *>(traces.value(id));
    if (!trace)
        return;
    trace->tool_head_radius_down = console.tool_head_radius_down;
    trace->tool_head_radius_up = console.tool_head_radius_up;
    trace->double_sided_probe_high = console.double_sided_probe_high;
    trace->needle_bias = console.needle_bias;
    trace->roughness_ratio = console.roughness_ratio;
    Q_EMIT recalculateTrace();
}

void TraceList::showTraceFileInExplorer(int id)
{
    const AbstractTrace *trace = traces.value(id);
    if (!trace || trace->filePath().isEmpty())
        return;
    const QFileInfo file(trace->filePath());
    if (!file.isFile())
        return;
#ifdef Q_OS_WIN
    const QString parameters = QStringLiteral("/select,\"%1\"").arg(QDir::toNativeSeparators(file.absoluteFilePath()));
    ShellExecuteW(nullptr, L"open", L"explorer.exe", reinterpret_cast<LPCWSTR>(parameters.utf16()), nullptr, SW_SHOW);
#else
    Prompts::instance().openUrl(QUrl::fromLocalFile(file.absolutePath()));
#endif
}

void TraceList::joinTracesDialog(int id)
{
    if (!traces.contains(id))
        return;
    QDialog dialog(this);
    dialog.setWindowFlags(dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    dialog.setWindowTitle(QStringLiteral("Соединение трассы"));
    dialog.setModal(true);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Какую трассу присоединить справа?"), &dialog));
    // Each button carries the id of its trace: traces read from the
    // instrument share the port's name, so titles cannot tell them apart.
    auto *group = new QButtonGroup(&dialog);
    group->setExclusive(true);
    for (auto it = traces.constBegin(); it != traces.constEnd(); ++it) {
        if (it.key() == id || !isContourKind(it.value()))
            continue;
        auto *button = new QRadioButton(it.value()->name().remove(QStringLiteral(".txt")), &dialog);
        group->addButton(button, it.key());
        layout->addWidget(button);
    }
    auto *joinButton = new QPushButton(QStringLiteral("Соединить"), &dialog);
    layout->addWidget(joinButton);

    connect(joinButton, &QPushButton::clicked, &dialog, [this, id, group, &dialog] {
        Prompts &prompts = Prompts::instance();
        if (!group->checkedButton()) {
            prompts.warning(&dialog, QStringLiteral("Ошибка"), QStringLiteral("Ни одна трасса не выбрана!"));
            return;
        }
        const int rightId = group->checkedId();
        AbstractTrace *left = traces.value(id);
        AbstractTrace *right = traces.value(rightId);
        if (!left || !right) {
            prompts.warning(&dialog, QStringLiteral("Ошибка"), QStringLiteral("Выбранная трасса не найдена!"));
            return;
        }
        bool ok = false;
        const double overlap = prompts.getDouble(&dialog, QStringLiteral("Укажите нахлёст"),
            QStringLiteral("Введите длину нахлёста(мм):"), 10, 0.01, 1000, 2, &ok, 0.01);
        if (!ok)
            return;
        const TData data = stitchTraces(*left, *right, overlap);
        if (data.size() < 2 || data.at(0).isEmpty()) {
            logger.log(Logger::WARNING,
                "Traces " + std::to_string(id + 1) + " and " + std::to_string(rightId + 1)
                    + " not joined: no points in the overlap of " + std::to_string(overlap) + " mm");
            prompts.warning(&dialog, QStringLiteral("Ошибка"),
                QStringLiteral("Трассы не соединены: в зоне нахлёста нет точек. Укажите другой нахлёст."));
            return;
        }
        removeTrace(left);
        removeTrace(right);
        Q_EMIT createTrace(data);
        dialog.accept();
    });
    Prompts::instance().execDialog(&dialog);
}

void TraceList::paramsListMenuRequested(QPoint pos)
{
    QTreeWidget *params = ui->paramsListTreeWidget;
    if (!params->itemAt(pos))
        return;
    QMenu menu(this);
    QAction *chooseAction = menu.addAction(QStringLiteral("Отображённые параметры"));
    if (Prompts::instance().execMenu(&menu, params->viewport()->mapToGlobal(pos)) == chooseAction) {
        ParamsDialog dialog(this);
        dialog.setWindowFlags(dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint);
        dialog.setModal(true);
        Prompts::instance().execDialog(&dialog);
    }
    refresh();
}

bool TraceList::saveTraceFile(const QString &path, AbstractTrace *trace)
{
    return trace && TraceWriter::saveTraceFile(path, *trace);
}

bool TraceList::savePointsFile(const QString &path, AbstractTrace *trace)
{
    return trace && TraceWriter::savePointsFile(path, *trace);
}
