// The calibration dialog as the settings and consoles dialogs run it: a
// contour window in calibration mode on traces read from files, a tip radius
// typed into the tools, and the question asked when unsaved values would be
// lost.

#include "algos/profileutils.h"
#include "analysis/contouranalisiswidget.h"
#include "analysis/dialogcalibration.h"
#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"
#include "widgets/calibrationtoolswidget.h"
#include "widgets/usersdialog.h"

#include "support/contourtestplot.h"
#include "support/fakemeasurement.h"
#include "support/freshsettings.h"
#include "support/neutralcalibration.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

namespace {

// A contour in µm rising by 0.1 per µm, with a round bump of 2 mm radius on it.
double slopedBump(double x)
{
    const double d = x - 5000, r = 2000;
    return 0.1 * x + (std::abs(d) < r ? std::sqrt(r * r - d * d) : 0.0);
}

std::unique_ptr<ContourTrace> contourFile(const QString &name)
{
    ContourTrace trace;
    trace.creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    trace.tool_head_radius_down = 30;
    for (int i = 0; i < 1001; ++i) {
        QVector<double> p { i * 10.0, slopedBump(i * 10.0), 0 };
        trace.addPoint(p);
    }
    return roundTrip<ContourTrace>(trace, name);
}

void clickToolBarAction(ContourAnalisisWidget *w, const char *action)
{
    QWidget *b = w->findChild<QToolBar *>("toolBar")->widgetForAction(w->findChild<QAction *>(action));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Opens the action's frame and presses the kind's button.
void arm(ContourAnalisisWidget *w, const char *action, const char *button)
{
    clickToolBarAction(w, action);
    auto *b = w->findChild<QPushButton *>(button);
    QVERIFY(b && b->isVisible());
    QTest::mouseClick(b, Qt::LeftButton);
}

QPointF rotatedPoint(ContourAnalisisWidget *w, int i)
{
    const TData &d = *w->trace(0)->processedData;
    const double f = w->unitFactorValue();
    const QPointF c = w->currentRotationCentre();
    return Algos::rotatePoint(float(c.x()), float(c.y()), float(w->currentLevellingAngle()),
        QPointF(d[0][i] * f, d[1][i] * f));
}

QPointF drawnPoint(ContourAnalisisWidget *w, int i)
{
    const QCPCurveData &p = *(w->traceCurve(0)->data()->constBegin() + i);
    return QPointF(p.key, p.value);
}

bool near(const QPointF &a, const QPointF &b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9;
}

QDoubleSpinBox *tipRadius(DialogCalibration *d)
{
    return d->findChild<QDoubleSpinBox *>("downHeadRadiusSpinBox");
}

// Types one step up into the lower tip radius: 30 -> 31 µm.
void raiseTipRadius(DialogCalibration *d)
{
    QDoubleSpinBox *spin = tipRadius(d);
    QVERIFY(spin && spin->isVisible());
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    QCOMPARE(spin->value(), 31.0);
}

// The title bar's close button: the dialog's reject path.
void closeByTitleBar(DialogCalibration *d)
{
    d->close();
}

// Escape where the operator's focus is (the tools' editor after a change).
void pressEscape(DialogCalibration *d)
{
    QWidget *target = QApplication::focusWidget();
    QTest::keyClick(target && d->isAncestorOf(target) ? target : d, Qt::Key_Escape);
}

// What a test does while the dialog is open; the dialog is shown first.
using WhileOpen = std::function<void(DialogCalibration *)>;

} // namespace

class TestCalibrationDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<ContourTrace> trace;
    QPointer<DialogCalibration> lastDialog;
    int lastResult = -1;

    // Runs the calibration as the settings dialog does, through the installed
    // runner, and gives the open dialog to `whileOpen`.
    void runCalibration(ScriptedPrompts &prompts, const WhileOpen &whileOpen)
    {
        prompts.expect(ScriptedPrompts::Dialog, QVariant(), [this, whileOpen](QObject *subject) {
            auto *d = qobject_cast<DialogCalibration *>(subject);
            lastDialog = d;
            if (!d)
                return QVariant(int(QDialog::Rejected));
            d->show();
            QApplication::setActiveWindow(d);
            if (!QTest::qWaitForWindowExposed(d))
                qWarning("calibration dialog not exposed");
            whileOpen(d);
            lastResult = d->isVisible() ? -1 : d->result();
            return QVariant(d->result());
        });
        QWidget opener;
        ContourCalibration::run(&opener, { trace.get() });
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        QVERIFY2(lastDialog.isNull(), "the dialog outlives the calibration");
    }

private Q_SLOTS:
    void initTestCase() { DialogCalibration::installRunner(); }

    void init()
    {
        Settings &s = freshSettings();
        useNeutralContourCalibration();
        s.is_disabled_radius_elimination = true; // the tip radius is removed
        s.tool_head_radius_down = 30;
        s.angles_in_deg = false;
        ConsoleParams console;
        console.name = QStringLiteral("Консоль 1");
        s.consoles = { console };
        s.current_console = console;
        s.current_console.tool_head_radius_down = 30;
        trace = contourFile("calibration.trace");
        lastResult = -1;
    }

    void cleanup() { QApplication::setActiveWindow(nullptr); }

    // Unchanged values: Escape closes at once; decimal degrees are forced
    // only while the dialog is open, and the earlier format is written back.
    void closesUnchangedAndRestoresAngleFormat()
    {
        ScriptedPrompts prompts;
        QSize shownSize;
        runCalibration(prompts, [&](DialogCalibration *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Калибровка"));
            QVERIFY(!(d->windowFlags() & Qt::WindowContextHelpButtonHint));
            QVERIFY(qobject_cast<QVBoxLayout *>(d->layout()));
            QVERIFY(d->widget() && d->widget()->tree()->isCalibrationMode());
            QCOMPARE(d->widget()->traceCount(), 1);
            QVERIFY(Settings::instance().angles_in_deg);
            shownSize = d->size();
            pressEscape(d);
            QVERIFY(!d->isVisible());
        });
        const QRect available = QApplication::primaryScreen()->availableGeometry();
        QCOMPARE(shownSize.height(), ContourCalibration::dialogSize(available).height());
        QCOMPARE(lastResult, int(QDialog::Rejected));
        QVERIFY(!Settings::instance().angles_in_deg);
        QVERIFY(!Settings::load(Settings::kFileName).angles_in_deg);
    }

    // A distance and a levelling placed with the mouse, then a tip radius
    // typed into the tools: the curve is the reprocessed trace still
    // levelled, and the distance's row shows its new value.
    void tipRadiusRecomputesLevelledCurvesAndValues()
    {
        ScriptedPrompts prompts;
        runCalibration(prompts, [&](DialogCalibration *d) {
            ContourAnalisisWidget *w = d->widget();
            PlotWidget *plot = w->plot();
            arm(w, "actionDistance", "pushButtonMinMaxDistance");
            ContourTest::drag(plot, w->traceCurve(0), 400, 600);
            const QPoint off = ContourTest::pixelOfPoint(plot, w->traceCurve(0), 200) + QPoint(0, -40);
            ContourTest::moveAt(plot, off);
            ContourTest::pressAt(plot, off);
            ContourTest::releaseAt(plot, off);
            Measurement *height = w->measurementsManager()->measurementList().value(0);
            QVERIFY(height && height->isFinished());

            arm(w, "actionLayFlat", "pushButtonlayFlat");
            ContourTest::drag(plot, w->traceCurve(0), 100, 300);
            const double angle = w->currentLevellingAngle();
            QVERIFY(std::abs(angle + std::atan(0.1)) < 1e-3);
            const QCPRange xRange = plot->xAxis->range();
            const QString before = w->rowOf(height->id())->text(1);
            const double flatBefore = w->trace(0)->processedData->at(1).at(100);

            raiseTipRadius(d);
            // The lower tip sits one micrometre lower on the flat run.
            QVERIFY(std::abs(w->trace(0)->processedData->at(1).at(100) - (flatBefore - 1)) < 1e-9);
            QCOMPARE(w->currentLevellingAngle(), angle);
            for (int i : { 0, 100, 500, 800, 1000 })
                QVERIFY2(near(drawnPoint(w, i), rotatedPoint(w, i)), qPrintable(QString::number(i)));
            QVERIFY(std::abs(drawnPoint(w, 100).y() - drawnPoint(w, 300).y()) < 1e-6);
            QCOMPARE(plot->xAxis->range(), xRange);
            for (Measurement *m : w->measurementsManager()->measurementList())
                QCOMPARE(w->rowOf(m->id())->text(1), m->valueText());
            QVERIFY(w->rowOf(height->id())->text(1) != before);

            prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::Cancel);
            closeByTitleBar(d);
        });
    }

    // After a change Escape asks; each answer closes the dialog, and only
    // "Сохранить" keeps the typed radius.
    void escapeAsks_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<double>("radiusAfter");
        QTest::newRow("Не сохранять") << "discard" << 30.0;
        QTest::newRow("Escape в вопросе") << "escape" << 30.0;
        QTest::newRow("Сохранить") << "save" << 31.0;
    }
    void escapeAsks()
    {
        QFETCH(QString, answer);
        QFETCH(double, radiusAfter);
        ScriptedPrompts prompts;
        QList<QMessageBox *> asked;
        QStringList texts;
        runCalibration(prompts, [&](DialogCalibration *d) {
            raiseTipRadius(d);
            prompts.expect(ScriptedPrompts::MessageBox, QVariant(), [&](QObject *subject) {
                auto *box = qobject_cast<QMessageBox *>(subject);
                texts << box->windowTitle() << box->text() << box->informativeText()
                      << box->button(QMessageBox::Save)->text() << box->button(QMessageBox::Cancel)->text();
                texts << (box->parent() ? "with a parent" : "");
                if (answer == "escape") {
                    box->show();
                    QTest::keyClick(box, Qt::Key_Escape);
                } else {
                    QTest::mouseClick(box->button(answer == "save" ? QMessageBox::Save : QMessageBox::Cancel),
                        Qt::LeftButton);
                }
                return QVariant(0);
            });
            pressEscape(d);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(texts,
            QStringList({ "Несохранённые изменения", "Данные калибровки не сохранены",
                "Вы хотите сохранить изменённые калибровочные данные?", "Сохранить", "Не сохранять", "" }));
        QCOMPARE(lastResult, int(QDialog::Rejected));
        QCOMPARE(Settings::instance().tool_head_radius_down, radiusAfter);
        if (answer == "save") {
            QCOMPARE(Settings::load(Settings::kFileName).current_console.tool_head_radius_down, 31.0);
        }
    }

    // Saving without consoles asks for one; cancelling that choice keeps the
    // dialog open with its values, and the next close asks again.
    void cancelledConsoleChoiceKeepsTheDialogOpen()
    {
        Settings::instance().consoles.clear();
        ScriptedPrompts prompts;
        runCalibration(prompts, [&](DialogCalibration *d) {
            raiseTipRadius(d);
            prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::Save);
            prompts.expect(ScriptedPrompts::Dialog, QDialog::Rejected);
            closeByTitleBar(d);
            QVERIFY(d->isVisible());
            QCOMPARE(tipRadius(d)->value(), 31.0);
            QCOMPARE(Settings::instance().tool_head_radius_down, 31.0);

            prompts.expect(ScriptedPrompts::MessageBox, QMessageBox::Cancel);
            closeByTitleBar(d);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(prompts.calls().at(2).title, QStringLiteral("Выбор консоли"));
        QCOMPARE(Settings::instance().tool_head_radius_down, 30.0);
        QVERIFY(!Settings::instance().angles_in_deg);
    }

    // The tree's equidistant request makes exactly one parallel line in
    // calibration mode.
    void oneEquidistantOneLine()
    {
        ScriptedPrompts prompts;
        runCalibration(prompts, [&](DialogCalibration *d) {
            ContourAnalisisWidget *w = d->widget();
            MeasurementKindTable &table = w->measurementsManager()->kindTable();
            const QString caption = QStringLiteral("Горизонтальная прямая");
            table.creators[CLICK_HORIZONTAL_LINE] = [caption](const MeasurementContext &c) {
                auto *m = new FakeMeasurement(24, c.plot, 0, caption);
                m->needsSegment = false;
                m->coefficients = { 0, 1.5 };
                return m;
            };
            LineCopier copier;
            copier.coefficients = [](const Measurement *m) {
                const auto *fake = dynamic_cast<const FakeMeasurement *>(m);
                return fake ? fake->coefficients : QVector<double>();
            };
            copier.create = [caption](PlotWidget *plot, const QVector<double> &coefficients) {
                auto *m = new FakeMeasurement(24, plot, 0, caption);
                m->coefficients = coefficients;
                m->finish();
                return m;
            };
            table.lineCopiers[CLICK_HORIZONTAL_LINE] = copier;
            arm(w, "actionLineAdditionalGeometry", "pushButtonAddGeomHorizontalLine");
            const QPoint at = ContourTest::pixelOfPoint(w->plot(), w->traceCurve(0), 600) + QPoint(0, -30);
            for (int click = 0; click < 2; ++click) { // the first creates it, the second finishes it
                ContourTest::pressAt(w->plot(), at);
                ContourTest::releaseAt(w->plot(), at);
            }
            const QList<Measurement *> &list = w->measurementsManager()->measurementList();
            QCOMPARE(list.size(), 1);
            QTreeWidgetItem *row = w->rowOf(list.first()->id());
            QVERIFY(row);
            prompts.expect(ScriptedPrompts::Menu, QStringLiteral("Эквидистанта"));
            prompts.expect(ScriptedPrompts::Double, 0.5);
            QTreeWidget *tree = w->tree();
            tree->expandAll();
            Q_EMIT tree->customContextMenuRequested(tree->visualItemRect(row).center());
            QCOMPARE(list.size(), 2);
            QCOMPARE(static_cast<FakeMeasurement *>(list.last())->coefficients, QVector<double>({ 0, 2.0 }));
            QCOMPARE(w->tree()->sectionItem(MeasurementTreeWidget::Geometry)->childCount(), 2);
            closeByTitleBar(d);
        });
    }

    void screenshot()
    {
        ScriptedPrompts prompts;
        runCalibration(prompts, [&](DialogCalibration *d) {
            d->resize(1280, 800);
            QTRY_COMPARE(d->size(), QSize(1280, 800));
            QCoreApplication::processEvents(); // the new layout, before the picture
            ContourTest::saveScreenshot(d, "calibration_dialog");
            closeByTitleBar(d);
        });
    }
};

VANTOR_TEST_MAIN(TestCalibrationDialog)
#include "tst_calibrationdialog.moc"
