// The measurement tree: sections, rows, means, calibration columns, menus,
// drops and the export the window reads back.

#include "support/contourwindowstandin.h"
#include "support/fakemeasurement.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "measurements/measurementtreewidget.h"

#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <cmath>
#include <memory>
#include <vector>

using namespace ContourTest;

namespace {

const QStringList kSections = { "ДЛИНЫ", "ОТКЛОНЕНИЯ", "УГЛЫ", "РАДИУСЫ", "ШЕРОХОВАТОСТИ", "ДОП. ГЕОМЕТРИИ" };

// The application delivers a drop only inside a drag it runs itself (a
// nested event loop); the drop handler is handed the same event directly.
class DropTree : public MeasurementTreeWidget {
public:
    using MeasurementTreeWidget::dropEvent;
};

// A tree on its own with measurements of chosen type codes, captions and values.
struct TreeBench {
    TreeBench()
    {
        plot.resize(400, 300);
        tree.resize(420, 600);
        tree.setColumnCount(2);
    }
    ~TreeBench() { measurements.clear(); }

    FakeMeasurement *add(int type, double value, const QString &caption = QStringLiteral("Фейк"))
    {
        auto *m = new FakeMeasurement(type, &plot, 0, caption);
        m->setValue(value);
        measurements.emplace_back(m);
        rows[m->id()] = tree.addMeasurementItem(m);
        return m;
    }
    QTreeWidgetItem *row(const Measurement *m) const { return rows.value(m->id()); }
    QTreeWidgetItem *section(int i) const { return tree.topLevelItem(i); }

    // A right-click on an item, answered by the scripted prompts.
    void contextMenuOn(QTreeWidgetItem *item)
    {
        tree.scrollToItem(item);
        QContextMenuEvent event(QContextMenuEvent::Mouse, tree.visualItemRect(item).center());
        QApplication::sendEvent(tree.viewport(), &event);
    }

    // Drops the item onto a point of the target's rectangle: its top edge
    // (above), its middle (on) or its bottom edge (below).
    enum Where { Above, On, Below };
    void drop(QTreeWidgetItem *dragged, QTreeWidgetItem *target, Where where)
    {
        tree.setCurrentItem(dragged);
        const QRect r = tree.visualItemRect(target);
        const int y = where == Above ? r.top() + 1 : where == Below ? r.bottom() - 1 : r.center().y();
        QMimeData mime;
        mime.setData(QStringLiteral("application/x-qabstractitemmodeldatalist"), QByteArray());
        QDropEvent event(QPointF(r.center().x(), y), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        tree.dropEvent(&event);
    }

    PlotWidget plot;
    DropTree tree;
    std::vector<std::unique_ptr<FakeMeasurement>> measurements;
    QMap<int, QTreeWidgetItem *> rows;
};

QStringList titles(const std::vector<MeasurementGroupRecord> &groups)
{
    QStringList t;
    for (const MeasurementGroupRecord &g : groups)
        t << QString::fromStdString(g.title);
    return t;
}

QList<int> childIds(QTreeWidgetItem *section)
{
    QList<int> ids;
    for (int i = 0; i < section->childCount(); ++i)
        ids << section->child(i)->data(0, Qt::UserRole).toInt();
    return ids;
}

} // namespace

class TestMeasurementTree : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sectionsAndRows();
    void sectionOfTypeCode_data();
    void sectionOfTypeCode();
    void sectionMeans_data();
    void sectionMeans();
    void calibrationColumns();
    void menus();
    void clearEndsWithoutAnAnswer();
    void drops();
    void exportAfterReordering();
    void screenshots();
};

void TestMeasurementTree::initTestCase()
{
    qRegisterMetaType<E_MEASUREMENTS>();
}

void TestMeasurementTree::sectionsAndRows()
{
    TreeBench b;
    QCOMPARE(b.tree.topLevelItemCount(), 6);
    for (int i = 0; i < 6; ++i) {
        QTreeWidgetItem *s = b.section(i);
        QCOMPARE(s->text(0), kSections.at(i));
        QVERIFY(!s->icon(0).isNull());
        QVERIFY(s->flags() & Qt::ItemIsDropEnabled);
        QCOMPARE(s->textAlignment(1) & Qt::AlignHorizontal_Mask, int(Qt::AlignRight));
    }
    QCOMPARE(b.tree.selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(b.tree.dragDropMode(), QAbstractItemView::InternalMove);

    FakeMeasurement *m = b.add(6, 12.5, QStringLiteral("Угол"));
    QTreeWidgetItem *row = b.row(m);
    QCOMPARE(row->parent(), b.tree.sectionItem(MeasurementTreeWidget::Angles));
    QCOMPARE(row->text(0), QStringLiteral("Угол"));
    QCOMPARE(row->data(0, Qt::UserRole).toInt(), m->id());
    QCOMPARE(row->text(1), QStringLiteral("12.5000мм"));
    QCOMPARE(row->data(1, Qt::UserRole).toDouble(), 12.5);
    QVERIFY(!(row->flags() & Qt::ItemIsDropEnabled));
    QVERIFY(row->flags() & Qt::ItemIsDragEnabled);

    m->setValue(13);
    b.tree.updateMeasurementItem(row, m);
    QCOMPARE(row->text(1), QStringLiteral("13.0000мм"));
    QCOMPARE(row->data(1, Qt::UserRole).toDouble(), 13.0);
}

void TestMeasurementTree::sectionOfTypeCode_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("section");
    QTest::addColumn<bool>("known");
    const QMap<int, QString> sections
        = { { 0, "ДЛИНЫ" }, { 1, "ДЛИНЫ" }, { 2, "ДЛИНЫ" }, { 3, "ДЛИНЫ" }, { 11, "ДЛИНЫ" }, { 19, "ДЛИНЫ" },
              { 4, "УГЛЫ" }, { 5, "УГЛЫ" }, { 6, "УГЛЫ" }, { 7, "РАДИУСЫ" }, { 8, "РАДИУСЫ" }, { 12, "ОТКЛОНЕНИЯ" },
              { 13, "ОТКЛОНЕНИЯ" }, { 15, "ОТКЛОНЕНИЯ" }, { 16, "ОТКЛОНЕНИЯ" }, { 17, "ОТКЛОНЕНИЯ" },
              { 18, "ОТКЛОНЕНИЯ" }, { 34, "ОТКЛОНЕНИЯ" }, { 20, "ШЕРОХОВАТОСТИ" }, { 21, "ШЕРОХОВАТОСТИ" } };
    for (int type = -1; type <= 36; ++type) {
        const bool geometry = type >= 22 && type <= 33;
        const bool known = geometry || sections.contains(type);
        const QString section = geometry ? QStringLiteral("ДОП. ГЕОМЕТРИИ") : sections.value(type, "ДЛИНЫ");
        QTest::addRow("%d", type) << type << section << known;
    }
}

void TestMeasurementTree::sectionOfTypeCode()
{
    QFETCH(int, type);
    QFETCH(QString, section);
    QFETCH(bool, known);
    TreeBench b;
    if (!known)
        QTest::ignoreMessage(QtDebugMsg, "error: do not know which measurement list to put item, use distances list");
    FakeMeasurement *m = b.add(type, 1);
    QCOMPARE(b.row(m)->parent()->text(0), section);
}

void TestMeasurementTree::sectionMeans_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QString>("mean");
    QTest::newRow("empty") << QList<int>() << QList<double>() << QString();
    QTest::newRow("1 and 2") << QList<int> { 0, 2 } << QList<double> { 1.0, 2.0 } << QStringLiteral("1.5000");
    QTest::newRow("a third") << QList<int> { 3 } << QList<double> { 1.0 / 3 } << QStringLiteral("0.3333");
    QTest::newRow("signs") << QList<int> { 0, 1, 11 } << QList<double> { -1, 2, 5.5 } << QStringLiteral("2.1667");
}

void TestMeasurementTree::sectionMeans()
{
    QFETCH(QList<int>, types);
    QFETCH(QList<double>, values);
    QFETCH(QString, mean);
    TreeBench b;
    for (int i = 0; i < types.size(); ++i)
        b.add(types.at(i), values.at(i));
    // Two deviation kinds share one mean.
    b.add(12, 1.0);
    b.add(16, 4.0);
    b.tree.updateSectionSummaries();
    QCOMPARE(b.section(0)->text(1), mean);
    QCOMPARE(b.section(1)->text(1), QStringLiteral("2.5000"));
    QCOMPARE(b.section(2)->text(1), QString());
}

void TestMeasurementTree::calibrationColumns()
{
    TreeBench b;
    b.tree.setCalibrationMode(true);
    QCOMPARE(b.tree.headerItem()->text(0), QStringLiteral("ИЗМЕРЕНИЕ"));
    QCOMPARE(b.tree.headerItem()->text(1), QStringLiteral("ЗНАЧЕНИЕ"));
    QCOMPARE(b.tree.columnCount(), 2);
    for (int column : { 0, 1 }) {
        QAbstractItemDelegate *d = b.tree.itemDelegateForColumn(column);
        QVERIFY(qobject_cast<NoEditDelegate *>(d));
        QVERIFY(!d->createEditor(&b.tree, QStyleOptionViewItem(), QModelIndex()));
    }

    struct Case {
        double nominal, tolerance, value;
    };
    // Deviation on adding: value - nominal; on refreshing: |T * (value - N)|.
    const QList<Case> cases = { { 90, 1, 90.25 }, { 45, 0.5, 44 }, { 0, 2, -3 }, { 1e-7, 1, 1e-7 } };
    for (const Case &c : cases) {
        auto *m = new FakeMeasurement(6, &b.plot);
        b.measurements.emplace_back(m);
        m->nominalValue = c.nominal;
        m->toleranceValue = c.tolerance;
        m->setValue(c.value);
        QTreeWidgetItem *row = b.tree.addMeasurementItem(m);
        QCOMPARE(row->text(2), QString::number(c.nominal, 'g', 6));
        QCOMPARE(row->text(3), QString::number(c.tolerance, 'g', 6));
        QCOMPARE(row->data(4, Qt::UserRole).toDouble(), c.value - c.nominal);
        b.tree.updateMeasurementItem(row, m);
        QCOMPARE(row->data(4, Qt::UserRole).toDouble(), std::abs(c.tolerance * (c.value - c.nominal)));
        QCOMPARE(row->text(4), QString::number(std::abs(c.tolerance * (c.value - c.nominal)), 'g', 6));
    }

    // While placing, nominal and tolerance follow the measurement; once it
    // is finished the texts stay and the deviation is taken from them.
    auto *m = new FakeMeasurement(6, &b.plot);
    b.measurements.emplace_back(m);
    m->needsSegment = false;
    m->nominalValue = 45;
    m->setValue(40);
    QTreeWidgetItem *row = b.tree.addMeasurementItem(m);
    m->nominalValue = 90;
    m->toleranceValue = 0.5;
    b.tree.updateMeasurementItem(row, m);
    QCOMPARE(row->text(2), QStringLiteral("90"));
    QCOMPARE(row->data(4, Qt::UserRole).toDouble(), 25.0);
    m->finish();
    m->nominalValue = 135;
    m->toleranceValue = 1;
    row->setText(3, QStringLiteral("2"));
    b.tree.updateMeasurementItem(row, m);
    QCOMPARE(row->text(2), QStringLiteral("90"));
    QCOMPARE(row->data(4, Qt::UserRole).toDouble(), 100.0);

    // Section rows are left alone in calibration mode.
    b.section(2)->setText(1, QStringLiteral("x"));
    b.tree.updateSectionSummaries();
    QCOMPARE(b.section(2)->text(1), QStringLiteral("x"));
}

void TestMeasurementTree::menus()
{
    TreeBench b;
    b.tree.show();
    QSignalSpy deleted(&b.tree, &MeasurementTreeWidget::deleteMeasurement);
    QSignalSpy copies(&b.tree, &MeasurementTreeWidget::equidistant);
    FakeMeasurement *circle = b.add(22, 0, QStringLiteral("Окружность"));
    FakeMeasurement *vertical = b.add(25, 0, QStringLiteral("Вертикальная прямая"));
    FakeMeasurement *horizontal = b.add(24, 0, QStringLiteral("Горизонтальная прямая"));
    b.tree.expandAll();

    ScriptedPrompts prompts;
    // A section without rows: no menu at all (an unexpected one would fail).
    b.contextMenuOn(b.section(2));
    QCOMPARE(prompts.calls().size(), 0);

    // A circle's row offers only "Удалить".
    QStringList offered;
    prompts.expect(ScriptedPrompts::Menu, QStringLiteral("Удалить"), [&](QObject *menu) {
        for (QAction *a : static_cast<QMenu *>(menu)->actions())
            offered << a->text();
        return QVariant::fromValue(static_cast<QMenu *>(menu)->actions().at(0));
    });
    b.contextMenuOn(b.row(circle));
    QCOMPARE(offered, QStringList({ "Удалить" }));
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(deleted.at(0).at(0).toInt(), circle->id());

    // "Эквидистанта" on a vertical line, 1.25 entered.
    prompts.expect(ScriptedPrompts::Menu, QStringLiteral("Эквидистанта"));
    prompts.expect(ScriptedPrompts::Double, 1.25);
    b.contextMenuOn(b.row(vertical));
    QCOMPARE(copies.count(), 1);
    QCOMPARE(copies.at(0).at(0).toInt(), vertical->id());
    QCOMPARE(copies.at(0).at(1).value<E_MEASUREMENTS>(), CLICK_VERTICAL_LINE);
    QCOMPARE(copies.at(0).at(2).toDouble(), 1.25);
    const ScriptedPrompts::Call asked = prompts.calls().last();
    QCOMPARE(asked.title, QStringLiteral("Эквидистанта"));
    QCOMPARE(asked.text, QStringLiteral("Длина эквидистанты:"));

    // Cancelled: nothing; a dismissed menu: nothing.
    prompts.expect(ScriptedPrompts::Menu, QStringLiteral("Эквидистанта"));
    prompts.expect(ScriptedPrompts::Double, QVariant());
    b.contextMenuOn(b.row(horizontal));
    prompts.expect(ScriptedPrompts::Menu, QString());
    b.contextMenuOn(b.row(horizontal));
    QCOMPARE(copies.count(), 1);
    QCOMPARE(deleted.count(), 1);

    // "Очистить" on a section announces each of its rows.
    connect(&b.tree, &MeasurementTreeWidget::deleteMeasurement, [&](int id) { delete b.rows.take(id); });
    prompts.expect(ScriptedPrompts::Menu, QStringLiteral("Очистить"));
    b.contextMenuOn(b.section(5));
    QCOMPARE(deleted.count(), 4);
    QCOMPARE(b.section(5)->childCount(), 0);
    QVERIFY(prompts.allAnswered());
    QCOMPARE(prompts.unexpectedCount(), 0);
}

void TestMeasurementTree::clearEndsWithoutAnAnswer()
{
    TreeBench b;
    b.tree.show();
    FakeMeasurement *first = b.add(4, 1);
    FakeMeasurement *second = b.add(5, 2);
    QSignalSpy deleted(&b.tree, &MeasurementTreeWidget::deleteMeasurement);
    ScriptedPrompts prompts;
    prompts.expect(ScriptedPrompts::Menu, QStringLiteral("Очистить"));
    b.contextMenuOn(b.section(2)); // nobody removes the rows
    QCOMPARE(deleted.count(), 2);
    QCOMPARE(deleted.at(0).at(0).toInt(), first->id());
    QCOMPARE(deleted.at(1).at(0).toInt(), second->id());
}

void TestMeasurementTree::drops()
{
    TreeBench b;
    b.tree.show();
    FakeMeasurement *a1 = b.add(4, 1);
    FakeMeasurement *a2 = b.add(5, 2);
    FakeMeasurement *a3 = b.add(6, 6);
    FakeMeasurement *l1 = b.add(0, 10);
    b.tree.expandAll();
    QTreeWidgetItem *lengths = b.tree.sectionItem(MeasurementTreeWidget::Lengths);
    QTreeWidgetItem *angles = b.tree.sectionItem(MeasurementTreeWidget::Angles);
    const QList<int> angleOrder = childIds(angles);

    // A row of "УГЛЫ" onto a row of "ДЛИНЫ": nothing moves.
    b.drop(b.row(a1), b.row(l1), TreeBench::Above);
    QCOMPARE(childIds(angles), angleOrder);
    QCOMPARE(childIds(lengths), QList<int>({ l1->id() }));
    // ... nor onto another section, or onto the section itself.
    b.drop(b.row(a1), lengths, TreeBench::On);
    b.drop(b.row(a1), angles, TreeBench::On);
    QCOMPARE(childIds(angles), angleOrder);

    // Above another row of its section: reordered, means refreshed.
    angles->setText(1, QStringLiteral("stale"));
    b.drop(b.row(a3), b.row(a1), TreeBench::Above);
    QCOMPARE(childIds(angles), QList<int>({ a3->id(), a1->id(), a2->id() }));
    QCOMPARE(angles->text(1), QStringLiteral("3.0000"));
    b.drop(b.row(a3), b.row(a2), TreeBench::Below);
    QCOMPARE(childIds(angles), QList<int>({ a1->id(), a2->id(), a3->id() }));

    // A section above another: the sections change places, rows go along.
    b.drop(angles, lengths, TreeBench::Above);
    QCOMPARE(b.tree.topLevelItem(0), angles);
    QCOMPARE(b.tree.topLevelItem(1), lengths);
    QCOMPARE(angles->childCount(), 3);
    // A section onto the middle of a section or onto a row: nothing.
    b.drop(lengths, angles, TreeBench::On);
    b.drop(lengths, b.row(a2), TreeBench::Above);
    QCOMPARE(b.tree.topLevelItem(0), angles);
    QCOMPARE(b.tree.topLevelItem(1), lengths);
    QCOMPARE(lengths->childCount(), 1);
}

void TestMeasurementTree::exportAfterReordering()
{
    TreeBench b;
    const std::vector<MeasurementGroupRecord> fresh = MeasurementTreeWidget::exportTree(&b.tree);
    QCOMPARE(titles(fresh), kSections);
    for (const MeasurementGroupRecord &g : fresh) {
        QVERIFY(g.items.empty());
        QVERIFY(g.value.empty());
    }

    b.tree.show();
    FakeMeasurement *r1 = b.add(7, 1.5, QStringLiteral("Радиус"));
    FakeMeasurement *r2 = b.add(8, 2.5, QStringLiteral("Радиус (A)"));
    b.tree.expandAll();
    b.tree.updateSectionSummaries();
    QTreeWidgetItem *radii = b.tree.sectionItem(MeasurementTreeWidget::Radii);
    b.drop(radii, b.section(0), TreeBench::Above);
    b.drop(b.row(r2), b.row(r1), TreeBench::Above);

    const std::vector<MeasurementGroupRecord> groups = MeasurementTreeWidget::exportTree(&b.tree);
    QCOMPARE(titles(groups).first(), QStringLiteral("РАДИУСЫ"));
    QCOMPARE(groups.size(), size_t(6));
    const MeasurementGroupRecord &g = groups.front();
    QCOMPARE(QString::fromStdString(g.value), QStringLiteral("2.0000"));
    QCOMPARE(g.items.size(), size_t(2));
    QCOMPARE(QString::fromStdString(g.items[0].name), QStringLiteral("Радиус (A)"));
    QCOMPARE(QString::fromStdString(g.items[0].value), QStringLiteral("2.5000мм"));
    QCOMPARE(g.items[0].id, r2->id());
    QCOMPARE(g.items[0].item, b.row(r2));
    QCOMPARE(g.items[1].id, r1->id());
}

void TestMeasurementTree::screenshots()
{
    for (bool calibration : { false, true }) {
        ContourWindowStandIn w(
            { makeTrace(200, 0, 0.5, [](double x) { return 10 + 5 * std::sin(x / 6); }) }, calibration);
        const QList<QPair<int, QString>> rows = { { 2, "Наибольшая высота" }, { 12, "Отклонение от прямой" },
            { 6, "Угол" }, { 7, "Радиус" }, { 20, "Ra" }, { 24, "Горизонтальная прямая" }, { 0, "Высота" } };
        std::vector<std::unique_ptr<FakeMeasurement>> kept;
        double value = 1.25;
        for (const auto &row : rows) {
            auto *m = new FakeMeasurement(row.first, w.plot(), 0, row.second);
            m->nominalValue = 1;
            m->setValue(value);
            value *= 2.5;
            kept.emplace_back(m);
            w.updateMeasurementItem(m);
        }
        w.tree()->expandAll();
        QCOMPARE(w.rowCount(), rows.size());
        // Captions are never cut, in either mode.
        QApplication::processEvents();
        const QFontMetrics metrics(w.tree()->font());
        for (const auto &row : rows)
            QVERIFY(w.tree()->header()->sectionSize(0) > metrics.horizontalAdvance(row.second));
        const QString path = w.screenshot(
            calibration ? QStringLiteral("measurement_tree_calibration") : QStringLiteral("measurement_tree"));
        QVERIFY(QFileInfo::exists(path));
    }
}

VANTOR_TEST_MAIN(TestMeasurementTree)
#include "tst_measurementtree.moc"
