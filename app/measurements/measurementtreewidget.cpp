#include "measurements/measurementtreewidget.h"

#include "measurements/measurement.h"
#include "settings/common.h"
#include "widgets/prompts.h"

#include <QDebug>
#include <QDropEvent>
#include <QHeaderView>
#include <QMenu>

namespace {

constexpr int kNominalColumn = 2;
constexpr int kToleranceColumn = 3;
constexpr int kDeviationColumn = 4;

QString numberText(double v)
{
    return QString::number(v, 'g', 6);
}

void setNumber(QTreeWidgetItem *item, int column, double v)
{
    item->setText(column, numberText(v));
    item->setData(column, Qt::UserRole, v);
}

// Where a drop at pos lands relative to the item's rectangle: on the item
// only for items that accept drops and away from their edges.
enum class DropAt { Above, Below, On };

DropAt dropPosition(const QPoint &pos, const QRect &rect, bool dropEnabled)
{
    if (!dropEnabled)
        return pos.y() < rect.center().y() ? DropAt::Above : DropAt::Below;
    const int margin = qBound(2, qRound(qreal(rect.height()) / 5.5), 12);
    if (pos.y() - rect.top() < margin)
        return DropAt::Above;
    if (rect.bottom() - pos.y() < margin)
        return DropAt::Below;
    return DropAt::On;
}

} // namespace

QWidget *NoEditDelegate::createEditor(QWidget *, const QStyleOptionViewItem &, const QModelIndex &) const
{
    return nullptr;
}

MeasurementTreeWidget::MeasurementTreeWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    setupContextMenu();
    createSections();
}

void MeasurementTreeWidget::setupContextMenu()
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    equidistantKinds = { { QStringLiteral("Горизонтальная прямая"), CLICK_HORIZONTAL_LINE },
        { QStringLiteral("Вертикальная прямая"), CLICK_VERTICAL_LINE },
        { QStringLiteral("Прямая по двум точкам"), CLICK_DOUBLE_LINE } };
    connect(this, &QWidget::customContextMenuRequested, this, &MeasurementTreeWidget::showContextMenu);
}

void MeasurementTreeWidget::createSections()
{
    const auto section = [this](const QString &title, const QString &icon) {
        auto *item = new QTreeWidgetItem;
        item->setText(0, title);
        item->setIcon(0, QIcon(icon));
        item->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled | Qt::ItemIsEnabled);
        addTopLevelItem(item);
        return item;
    };
    lengthsSection = section(sectionTitle(Lengths), QStringLiteral(":/icons/icons/hdist.png"));
    deviationsSection = section(sectionTitle(Deviations), QStringLiteral(":/icons/icons/lineerr.png"));
    anglesSection = section(sectionTitle(Angles), QStringLiteral(":/icons/icons/angle.png"));
    radiiSection = section(sectionTitle(Radii), QStringLiteral(":/icons/icons/rad.png"));
    roughnessSection = section(sectionTitle(Roughness), QStringLiteral(":/icons/icons/Ra.png"));
    geometrySection = section(sectionTitle(Geometry), QStringLiteral(":/icons/icons/Horizontal_line.png"));

    setupHeader();
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setFont(Common::kMonospaceFont);
    expandAll();
    invisibleRootItem()->setFlags(invisibleRootItem()->flags() | Qt::ItemIsDropEnabled);
}

void MeasurementTreeWidget::setupHeader()
{
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

QTreeWidgetItem *MeasurementTreeWidget::sectionItem(Section s) const
{
    switch (s) {
    case Lengths:
        return lengthsSection;
    case Deviations:
        return deviationsSection;
    case Angles:
        return anglesSection;
    case Radii:
        return radiiSection;
    case Roughness:
        return roughnessSection;
    case Geometry:
        return geometrySection;
    }
    return lengthsSection;
}

QString MeasurementTreeWidget::sectionTitle(Section s)
{
    switch (s) {
    case Lengths:
        return QStringLiteral("ДЛИНЫ");
    case Deviations:
        return QStringLiteral("ОТКЛОНЕНИЯ");
    case Angles:
        return QStringLiteral("УГЛЫ");
    case Radii:
        return QStringLiteral("РАДИУСЫ");
    case Roughness:
        return QStringLiteral("ШЕРОХОВАТОСТИ");
    case Geometry:
        return QStringLiteral("ДОП. ГЕОМЕТРИИ");
    }
    return QString();
}

MeasurementTreeWidget::Section MeasurementTreeWidget::sectionForType(int type, bool *known)
{
    Section s = Lengths;
    bool found = true;
    switch (type) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 11:
    case 19:
        s = Lengths;
        break;
    case 4:
    case 5:
    case 6:
        s = Angles;
        break;
    case 7:
    case 8:
        s = Radii;
        break;
    case 12:
    case 13:
    case 15:
    case 16:
    case 17:
    case 18:
    case 34:
        s = Deviations;
        break;
    case 20:
    case 21:
        s = Roughness;
        break;
    default:
        if (type >= 22 && type <= 33)
            s = Geometry;
        else
            found = false;
    }
    if (known)
        *known = found;
    return s;
}

QTreeWidgetItem *MeasurementTreeWidget::addMeasurementItem(Measurement *m)
{
    bool known = false;
    const Section s = sectionForType(m->type(), &known);
    if (!known)
        qDebug() << "error: do not know which measurement list to put item, use distances list";
    auto *item = new QTreeWidgetItem;
    item->setText(0, m->name());
    item->setData(0, Qt::UserRole, m->id());
    item->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    item->setText(1, m->valueText());
    item->setData(1, Qt::UserRole, m->value());
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEnabled);
    if (calibrationMode) {
        setNumber(item, kNominalColumn, m->nominal());
        setNumber(item, kToleranceColumn, m->tolerance());
        setNumber(item, kDeviationColumn, m->value() - m->nominal());
    }
    sectionItem(s)->addChild(item);
    return item;
}

void MeasurementTreeWidget::updateMeasurementItem(QTreeWidgetItem *item, Measurement *m)
{
    if (!item || !m)
        return;
    item->setText(1, m->valueText());
    item->setData(1, Qt::UserRole, m->value());
    if (calibrationMode)
        writeCalibrationColumns(item, m);
}

void MeasurementTreeWidget::writeCalibrationColumns(QTreeWidgetItem *item, Measurement *m)
{
    // Nominal and tolerance follow the measurement while it is placed; once
    // it is finished, texts already there are kept.
    const auto refresh = [&](int column, double v) {
        if (item->text(column).isEmpty() || !m->isFinished()) {
            setNumber(item, column, v);
            return v;
        }
        return item->text(column).toDouble();
    };
    const double nominal = refresh(kNominalColumn, m->nominal());
    const double tolerance = refresh(kToleranceColumn, m->tolerance());
    setNumber(item, kDeviationColumn, std::abs(tolerance * (m->value() - nominal)));
}

void MeasurementTreeWidget::updateSectionSummaries()
{
    if (calibrationMode)
        return;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *section = topLevelItem(i);
        const int n = section->childCount();
        if (n == 0) {
            section->setText(1, QString());
            continue;
        }
        double sum = 0;
        for (int c = 0; c < n; ++c)
            sum += section->child(c)->data(1, Qt::UserRole).toDouble();
        section->setText(1, QString::number(sum / n, 'f', 4));
    }
}

void MeasurementTreeWidget::setCalibrationMode(bool on)
{
    calibrationMode = on;
    if (on) {
        setHeader(new QHeaderView(Qt::Horizontal, this));
        setupHeader();
        setColumnCount(2);
        setHeaderLabels({ QStringLiteral("ИЗМЕРЕНИЕ"), QStringLiteral("ЗНАЧЕНИЕ") });
        setItemDelegateForColumn(0, new NoEditDelegate(this));
        setItemDelegateForColumn(1, new NoEditDelegate(this));
    } else {
        setColumnCount(2);
    }
}

std::vector<MeasurementGroupRecord> MeasurementTreeWidget::exportTree(QTreeWidget *tree)
{
    std::vector<MeasurementGroupRecord> groups;
    if (!tree)
        return groups;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *section = tree->topLevelItem(i);
        MeasurementGroupRecord group;
        group.title = section->text(0).toStdString();
        group.value = section->text(1).toStdString();
        group.item = section;
        for (int c = 0; c < section->childCount(); ++c) {
            QTreeWidgetItem *row = section->child(c);
            MeasurementItemRecord record;
            record.name = row->text(0).toStdString();
            record.value = row->text(1).toStdString();
            record.item = row;
            record.id = row->data(0, Qt::UserRole).toInt();
            group.items.push_back(record);
        }
        groups.push_back(group);
    }
    return groups;
}

void MeasurementTreeWidget::showContextMenu(const QPoint &pos)
{
    QTreeWidgetItem *item = itemAt(pos);
    if (!item)
        return;
    QMenu menu(this);
    const QPoint global = viewport()->mapToGlobal(pos);
    if (!item->parent()) {
        if (item->childCount() == 0)
            return;
        QAction *clear = menu.addAction(QStringLiteral("Очистить"));
        if (Prompts::instance().execMenu(&menu, global) == clear)
            clearSection(item);
        return;
    }
    QAction *remove = menu.addAction(QStringLiteral("Удалить"));
    QAction *copy = nullptr;
    if (equidistantKinds.contains(item->text(0)))
        copy = menu.addAction(QStringLiteral("Эквидистанта"));
    QAction *chosen = Prompts::instance().execMenu(&menu, global);
    if (!chosen)
        return;
    if (chosen == remove)
        deleteItem(item);
    else if (chosen == copy)
        askEquidistant(item);
}

void MeasurementTreeWidget::clearSection(QTreeWidgetItem *section)
{
    // Each row present now is announced once, so clearing ends even when a
    // receiver leaves a row in place.
    QList<int> ids;
    for (int c = 0; c < section->childCount(); ++c)
        ids << section->child(c)->data(0, Qt::UserRole).toInt();
    for (int id : qAsConst(ids))
        Q_EMIT deleteMeasurement(id);
}

void MeasurementTreeWidget::deleteItem(QTreeWidgetItem *item)
{
    Q_EMIT deleteMeasurement(item->data(0, Qt::UserRole).toInt());
}

void MeasurementTreeWidget::askEquidistant(QTreeWidgetItem *item)
{
    const int id = item->data(0, Qt::UserRole).toInt();
    const E_MEASUREMENTS lineKind = equidistantKinds.value(item->text(0));
    bool ok = false;
    const double distance = Prompts::instance().getDouble(
        this, QStringLiteral("Эквидистанта"), QStringLiteral("Длина эквидистанты:"), 0, -10000, 10000, 2, &ok);
    if (ok)
        Q_EMIT equidistant(id, lineKind, distance);
}

void MeasurementTreeWidget::dropEvent(QDropEvent *event)
{
    QTreeWidgetItem *dragged = currentItem();
    QTreeWidgetItem *target = itemAt(event->pos());
    if (!dragged || !target || dragged == target) {
        event->ignore();
        return;
    }
    const QRect rect = visualItemRect(target);
    const DropAt where = dropPosition(event->pos(), rect, target->flags() & Qt::ItemIsDropEnabled);
    QTreeWidgetItem *parent = dragged->parent();
    const bool rows = parent && target->parent() == parent;
    const bool sections = !parent && !target->parent() && where != DropAt::On;
    if (!rows && !sections) {
        event->ignore();
        return;
    }
    // The item is moved here rather than by the library's drop, so the move
    // is the same with or without a drag in progress; the drag is then told
    // "copy", so that its source does not remove the moved rows once more.
    QTreeWidgetItem *root = rows ? parent : invisibleRootItem();
    const bool wasExpanded = dragged->isExpanded();
    root->removeChild(dragged);
    int index = root->indexOfChild(target);
    if (where == DropAt::Below)
        ++index;
    root->insertChild(index, dragged);
    dragged->setExpanded(wasExpanded);
    setCurrentItem(dragged);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (rows)
        updateSectionSummaries();
}
