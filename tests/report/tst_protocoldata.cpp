// The data of the contour measurement protocol, from a measurement tree and
// measurements standing alone.

#include "support/fakemeasurement.h"
#include "support/freshsettings.h"
#include "support/testmain.h"

#include "measurements/measurementtreewidget.h"
#include "report/protocoldata.h"
#include "traces/contourtrace.h"

#include <memory>

class TestProtocolData : public QObject {
    Q_OBJECT

    std::unique_ptr<PlotWidget> plot;
    std::unique_ptr<MeasurementTreeWidget> tree;
    QMap<int, FakeMeasurement *> byId;
    std::vector<std::unique_ptr<FakeMeasurement>> owned;

    FakeMeasurement *add(int type, double value)
    {
        owned.push_back(std::make_unique<FakeMeasurement>(type, plot.get(), 0, QStringLiteral("Фейк %1").arg(type)));
        FakeMeasurement *m = owned.back().get();
        m->setValue(value);
        byId.insert(m->id(), m);
        tree->addMeasurementItem(m);
        return m;
    }
    ReportData data(const QVector<AbstractTrace *> &traces = {})
    {
        const ProtocolHeader header { QStringLiteral("Вал 7"), QStringLiteral("Без замечаний"),
            QDateTime(QDate(2026, 3, 16), QTime(8, 5, 9)) };
        return protocolData(header, traces, tree.get(), [this](int id) { return byId.value(id); });
    }

private Q_SLOTS:
    void init()
    {
        Settings &s = freshSettings();
        s.current_controller_name = QStringLiteral("Петров");
        plot = std::make_unique<PlotWidget>();
        tree = std::make_unique<MeasurementTreeWidget>();
        byId.clear();
    }
    void cleanup()
    {
        tree.reset();
        owned.clear();
        plot.reset();
    }

    void headerAndTraces()
    {
        ContourTrace a, b;
        a.controllerName = QStringLiteral("Иванов");
        a.creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
        const ReportData d = data({ &a, &b });
        QCOMPARE(d.value("date"), QStringLiteral("16-03-2026 08:05:09"));
        QCOMPARE(d.value("part_name"), QStringLiteral("Вал 7"));
        QCOMPARE(d.value("comment"), QStringLiteral("Без замечаний"));
        QCOMPARE(d.value("controller_name"), QStringLiteral("Петров"));
        QCOMPARE(d.value("factory_name"), QStringLiteral("Завод"));
        QCOMPARE(d.value("traces_count"), QStringLiteral("2"));
        QCOMPARE(d.value("traces[0].id"), QString::number(a.id + 1));
        QCOMPARE(d.value("traces[1].id"), QString::number(b.id + 1));
        QCOMPARE(d.value("traces[0].trace_author"), QStringLiteral("Иванов"));
        QCOMPARE(d.value("traces[0].creation_date"), QStringLiteral("14-03-2026 09:30:00"));
        for (const ProtocolGroup &g : protocolGroups())
            QCOMPARE(d.value(QString::fromLatin1(g.key) + "_count"), QStringLiteral("0"));
        QCOMPARE(d.size(), 5 + 2 * 3 + 1 + 5);
    }

    // Rows in the order the tree arranges them, values from the measurements,
    // titles from the sections; the additional geometry is left out.
    void groupsFollowTheTreeAndTheMeasurements()
    {
        FakeMeasurement *first = add(0, 1.5); // ДЛИНЫ
        FakeMeasurement *second = add(2, 2.25); // ДЛИНЫ
        FakeMeasurement *radius = add(7, 3); // РАДИУСЫ
        add(27, 9); // ДОП. ГЕОМЕТРИИ
        // The operator moved the second length up and the radii to the top,
        // and a row shows a text its measurement does not give.
        QTreeWidgetItem *lengths = tree->sectionItem(MeasurementTreeWidget::Lengths);
        lengths->insertChild(0, lengths->takeChild(1));
        tree->insertTopLevelItem(
            0, tree->takeTopLevelItem(tree->indexOfTopLevelItem(tree->sectionItem(MeasurementTreeWidget::Radii))));
        lengths->child(1)->setText(1, QStringLiteral("999 мм"));
        lengths->setText(0, QStringLiteral("Длины (2)"));

        const ReportData d = data();
        const QMap<QString, QString> expected {
            { "distance[0].name", "L_1 " + second->name() },
            { "distance[0].value", second->valueText() },
            { "distance[1].name", "L_2 " + first->name() },
            { "distance[1].value", first->valueText() },
            { "radius[0].name", "R_1 " + radius->name() },
            { "radius[0].value", "3.0000мм" },
            { "distance_count", "2" },
            { "error_count", "0" },
            { "angle_count", "0" },
            { "radius_count", "1" },
            { "roughness_count", "0" },
            { "distance_name", "ДЛИНЫ" },
            { "radius_name", "РАДИУСЫ" },
        };
        QMap<QString, QString> groupKeys;
        for (auto it = d.cbegin(); it != d.cend(); ++it)
            if (it.key().contains("distance") || it.key().contains("error") || it.key().contains("angle")
                || it.key().contains("radius") || it.key().contains("roughness"))
                groupKeys.insert(it.key(), it.value());
        QCOMPARE(groupKeys, expected);
    }

    // A row whose measurement is gone keeps its number and has no value or caption.
    void rowWithoutAMeasurement()
    {
        add(12, 0.5);
        FakeMeasurement *gone = add(13, 0.25);
        FakeMeasurement *last = add(15, 0.125);
        byId.remove(gone->id());
        const ReportData d = data();
        QCOMPARE(d.value("error_count"), QStringLiteral("3"));
        QCOMPARE(d.value("error[1].name"), QStringLiteral("E_2"));
        QCOMPARE(d.value("error[1].value"), QString());
        QCOMPARE(d.value("error[2].name"), "E_3 " + last->name());
        QCOMPARE(d.value("error[2].value"), QStringLiteral("0.1250мм"));
    }

    void groupOfASectionRow()
    {
        QCOMPARE(protocolGroupOf(tree.get(), tree->sectionItem(MeasurementTreeWidget::Angles)), 2);
        QCOMPARE(protocolGroupOf(tree.get(), tree->sectionItem(MeasurementTreeWidget::Geometry)), -1);
        QCOMPARE(protocolGroupOf(tree.get(), nullptr), -1);
        QTreeWidget plain;
        QCOMPARE(protocolGroupOf(&plain, tree->sectionItem(MeasurementTreeWidget::Angles)), -1);
    }
};

VANTOR_TEST_MAIN(TestProtocolData)
#include "tst_protocoldata.moc"
