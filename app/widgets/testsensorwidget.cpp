#include "widgets/testsensorwidget.h"

#include "settings/logger.h"
#include "settings/settings.h"
#include "traces/profiletrace.h"
#include "ui_testsensorwidget.h"

#include <QStyle>
#include <cmath>
#include <limits>

namespace {

enum Column { ReferenceColumn = 0, ValueColumn = 1, PassColumn = 2 };

const QString kEmDash = QStringLiteral("—");

QString numberText(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

double TestSensorWidget::tolerance(double reference)
{
    return reference == 0 ? 0.012 : 0.05 * reference + 0.002;
}

TestSensorWidget::TestSensorWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::testSensorWidget)
{
    ui->setupUi(this);
    initTable();
    connect(ui->sensorNumberSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
        &TestSensorWidget::onSensorNumberChanged);
}

TestSensorWidget::~TestSensorWidget()
{
    delete ui;
}

void TestSensorWidget::initTable()
{
    QTreeWidget *table = ui->raStandardTreeWidget;
    table->setHeaderLabels(
        { QStringLiteral("Эталон"), QStringLiteral("Измеренное значение"), QStringLiteral("Вход в допуск") });
    table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->sensorNumberSpinBox->setValue(Settings::instance().sensor_number);

    const QIcon cancel = style()->standardIcon(QStyle::SP_DialogCancelButton);
    for (double reference : kReferenceRa) {
        auto *item = new QTreeWidgetItem(table);
        item->setText(ReferenceColumn, numberText(reference));
        item->setText(ValueColumn, kEmDash);
        item->setIcon(PassColumn, cancel);
        item->setData(ReferenceColumn, Qt::UserRole, reference);
        item->setData(ValueColumn, Qt::UserRole, tolerance(reference));
        item->setData(PassColumn, Qt::UserRole, false);
        for (int column = ReferenceColumn; column <= PassColumn; ++column)
            item->setTextAlignment(column, Qt::AlignHCenter | Qt::AlignVCenter);
    }
    // Room for the three column titles, so no title is cut where the card is
    // embedded in a narrow panel.
    int width = 2 * table->frameWidth() + table->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = ReferenceColumn; column <= PassColumn; ++column)
        width += table->header()->sectionSizeHint(column);
    table->setMinimumWidth(width);
}

void TestSensorWidget::checkTrace(ProfileTrace *trace)
{
    if (!trace)
        return;
    checkRaText(calcParam(args, trace, QStringLiteral("Ra")));
}

bool TestSensorWidget::checkRaText(const QString &text)
{
    // A trace with additional traces gives the mean of its runs before "±".
    const QString reading = text.section(QChar(0x00B1), 0, 0).trimmed();
    bool ok = false;
    const double ra = reading.toDouble(&ok);
    if (!ok || !std::isfinite(ra)) {
        logger.log(Logger::WARNING, "Test sensor: no Ra reading in \"" + text.toStdString() + "\", table unchanged");
        return false;
    }
    enterValue(ra);
    return true;
}

void TestSensorWidget::enterValue(double ra)
{
    QTreeWidget *table = ui->raStandardTreeWidget;
    bool entered = false;
    for (int row = 0; row < table->topLevelItemCount() && !entered; ++row) {
        QTreeWidgetItem *item = table->topLevelItem(row);
        const double reference = item->data(ReferenceColumn, Qt::UserRole).toDouble();
        const double tol = item->data(ValueColumn, Qt::UserRole).toDouble();
        if (tol > std::abs(ra - reference)) {
            item->setText(ValueColumn, numberText(ra));
            item->setIcon(PassColumn, style()->standardIcon(QStyle::SP_DialogApplyButton));
            item->setData(PassColumn, Qt::UserRole, true);
            entered = true;
        }
    }
    if (!entered)
        markClosestReference(ra);
    updateGrade();
}

void TestSensorWidget::markClosestReference(double ra)
{
    QTreeWidget *table = ui->raStandardTreeWidget;
    double best = std::numeric_limits<double>::max();
    QTreeWidgetItem *closest = nullptr;
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = table->topLevelItem(row);
        const double distance = std::abs(ra - item->data(ReferenceColumn, Qt::UserRole).toDouble());
        // ">=": of two references at the same distance the later, smaller one wins.
        if (best >= distance) {
            best = distance;
            closest = item;
        }
    }
    if (!closest)
        return;
    closest->setText(ValueColumn, numberText(ra));
    closest->setIcon(PassColumn, style()->standardIcon(QStyle::SP_DialogCancelButton));
    closest->setData(PassColumn, Qt::UserRole, false);
}

void TestSensorWidget::updateGrade()
{
    QTreeWidget *table = ui->raStandardTreeWidget;
    int passed = 0;
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
        if (table->topLevelItem(row)->data(PassColumn, Qt::UserRole).toBool())
            ++passed;
    }
    const int grade = passed > 4 ? 2 : passed > 2 ? 3 : 4;
    ui->categorLabel->setText(QStringLiteral("Разряд %1").arg(grade));
}

void TestSensorWidget::onSensorNumberChanged(int value)
{
    Settings &s = Settings::instance();
    s.sensor_number = value;
    s.save();
}

QMap<QString, QString> TestSensorWidget::reportData() const
{
    QString references;
    QString measured;
    QString passes;
    const QTreeWidget *table = ui->raStandardTreeWidget;
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = table->topLevelItem(row);
        references += item->text(ReferenceColumn) + ',';
        measured += item->text(ValueColumn) + ',';
        passes += (item->data(PassColumn, Qt::UserRole).toBool() ? QStringLiteral("1") : QStringLiteral("0")) + ',';
    }
    QMap<QString, QString> data;
    data["sensor_number"] = QString::number(Settings::instance().sensor_number);
    data["execution_grade"] = QString::number(ui->executionsComboBox->currentIndex() + 1);
    data["reference_values"] = references;
    data["measured_values"] = measured;
    data["in_tolerance"] = passes;
    return data;
}
