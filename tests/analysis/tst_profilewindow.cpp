#include "support/fuzzy.h"
#include "support/simulatedinstrument.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include "profilewindowfixture.h"
#include "plot/plottesthelpers.h"

#include "device/devicecommands.h"
#include "plot/adaptivecurve.h"
#include "plot/plotwidget.h"
#include "traces/nonlinearity.h"
#include "traces/processors.h"
#include "widgets/autounfocusspinbox.h"
#include "widgets/devicecontrolwidget.h"
#include "widgets/fastsettingswidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPointer>
#include <QSet>
#include <QTreeWidget>
#include <functional>
#include <QSemaphore>
#include <cmath>

namespace {

QString processorName(const PostProcessorPtr &p)
{
    const IDataPostProcessor *raw = p.get();
    if (dynamic_cast<const NonLinearityEliminationProcessor *>(raw))
        return QStringLiteral("nonlinearity");
    if (dynamic_cast<const DataMedianFilterProcessor *>(raw))
        return QStringLiteral("median");
    if (dynamic_cast<const ThreadAngleCompensationProcessor *>(raw))
        return QStringLiteral("thread");
    if (dynamic_cast<const FilterRoughnessProfileProcessor *>(raw))
        return QStringLiteral("roughness");
    if (dynamic_cast<const FilterWaveProfileProcessor *>(raw))
        return QStringLiteral("waviness");
    if (dynamic_cast<const YZeronator *>(raw))
        return QStringLiteral("zero");
    return QStringLiteral("?");
}

QStringList processorNames(const AbstractTrace &trace)
{
    QStringList names;
    for (const PostProcessorPtr &p : trace.postProcessors)
        names << processorName(p);
    return names;
}

double minimum(const QVector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

double mean(const QVector<double> &v)
{
    return std::accumulate(v.begin(), v.end(), 0.0) / v.size();
}

// A profile of 6 mm: a 2 µm sine of 80 µm wavelength and a 3 µm wave of
// 3 mm on a 10 µm rise.
void fillProfile(AbstractTrace &trace)
{
    for (int i = 0; i <= 6000; ++i) {
        QVector<double> p { double(i),
            2 * std::sin(2 * M_PI * i / 80) + 3 * std::sin(2 * M_PI * i / 3000) + 10.0 * i / 6000 + 5 };
        trace.addPoint(p);
    }
}

void fillContour(AbstractTrace &trace)
{
    for (int i = 0; i <= 200; ++i) {
        QVector<double> p { i * 10.0, i * 2.0, 0.0 };
        trace.addPoint(p);
    }
}

// What the provider's worker does once the points are in.
void finishReading(AbstractTrace &trace)
{
    trace.applyPostProcessors();
    trace.processData();
}

QString writeProfileFile(const QString &name, int points = 6001, double step = 1)
{
    std::unique_ptr<ProfileTrace> trace(sineProfile(1.0, (points - 1) * step, 800, step));
    const QString path = QDir::current().absoluteFilePath(name);
    if (!TraceWriter::saveTraceFile(path, *trace))
        qWarning("not written: %s", qPrintable(path));
    return path;
}

QString writeContourFile(const QString &name)
{
    std::unique_ptr<ContourTrace> trace(slopeContour(400, 10, 0.3));
    trace->setTraceType(CONTOUR);
    const QString path = QDir::current().absoluteFilePath(name);
    if (!TraceWriter::saveTraceFile(path, *trace))
        qWarning("not written: %s", qPrintable(path));
    return path;
}

// Pixels of the plot as last replotted (a grab paints the plot's buffers,
// it does not replot) that pass the test, inside its axis rectangle clear of
// the tick marks.
int plotPixels(PlotWidget *plot, const std::function<bool(QRgb)> &test)
{
    const QImage image = plot->grab().toImage();
    const QRect inner = plot->axisRect()->rect().adjusted(8, 8, -8, -8);
    int count = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    return count;
}

bool dark(QRgb c)
{
    return qGray(c) < 100;
}

// The histogram's translucent green.
bool green(QRgb c)
{
    return qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 40;
}
// A file provider whose reading waits, after the start notice, until the
// test opens the gate: the window is seen mid-reading however fast the file
// itself would be read.
class GatedFileProvider : public FileDataProvider {
public:
    using FileDataProvider::FileDataProvider;
    QSemaphore gate;

protected:
    bool obtainData() override
    {
        gate.acquire();
        return FileDataProvider::obtainData();
    }
};

} // namespace

class TestProfileWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Settings &s = defaultSettings();
        s.is_disabled_gauss_filter = false;
        s.is_disabled_radius_elimination = false;
        QDir(NonLinearity::kDirName).removeRecursively();
    }

    // The form: plots, panels in their boxes, the nine actions in the
    // toolbar's order, the controls with their ranges and the settings' values.
    void form()
    {
        Settings &s = Settings::instance();
        s.preferenses.histogramm_density_value = 17;
        s.preferenses.meadian_filter = true;
        s.preferenses.meadian_filter_value = 7;
        s.preferenses.thread_angle_compensation = false;
        s.preferenses.thread_angle_compensation_value = 12.25;
        s.preferenses.profile_filter_mode = 2;
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;

        QCOMPARE(w.name(), QStringLiteral("ПРОФИЛЬ"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Form"));
        for (const char *name : { "plotMain", "plotHist", "plotRMR" })
            QVERIFY2(f.child<PlotWidget>(name), name);
        QCOMPARE(f.child<PlotWidget>("plotMain"), w.mainPlot());
        QCOMPARE(f.child<PlotWidget>("plotHist")->minimumSize(), QSize(200, 250));
        QCOMPARE(w.mainPlot()->minimumHeight(), 250);
        const QList<std::pair<const char *, QString>> boxes { { "groupBox", "ТРАССЫ" },
            { "groupBox_3", "БЫСТРЫЕ НАСТРОЙКИ" }, { "groupBox_2", "УПРАВЛЕНИЕ" } };
        for (const auto &[name, title] : boxes)
            QCOMPARE(f.child<QGroupBox>(name)->title(), title);
        QCOMPARE(w.traceList()->parentWidget(), f.child<QGroupBox>("groupBox"));
        QCOMPARE(w.fastSettingsWidget()->parentWidget(), f.child<QGroupBox>("groupBox_3"));
        QCOMPARE(w.deviceControlWidget()->parentWidget(), f.child<QGroupBox>("groupBox_2"));
        QCOMPARE(f.child<QGroupBox>("groupBox_2")->minimumWidth(), 400);

        struct Action {
            const char *name;
            QString text;
            QString tip;
            bool checkable;
        };
        const QList<Action> actions { { "actionReset", "RST", "Сбросить", false },
            { "actionPAN", "Перемещение", "Перемещение", true }, { "actionPTS", "PTS", "Показать точки", true },
            { "actionRLine", "R-LN", "R-линия", true }, { "actionRFit", "R-FT", "Спрямить по R-линии", true },
            { "actionSelectionZoom", "| + |", "Приближение выделения", true },
            { "actionMarkers", "| S |", "Выделение", true }, { "actionCut", "| C |", "Вырезать выделение", false },
            { "actionToMeasurement", "В ИЗМЕРЕНИЯ", "Открыть трассу для измерений", false } };
        const QList<QAction *> tools = w.toolActions();
        QCOMPARE(tools.size(), actions.size());
        for (int i = 0; i < actions.size(); ++i) {
            QAction *a = tools.at(i);
            QCOMPARE(a->objectName(), QString::fromLatin1(actions[i].name));
            QCOMPARE(a->text(), actions[i].text);
            QCOMPARE(a->toolTip(), actions[i].tip);
            QCOMPARE(a->isCheckable(), actions[i].checkable);
            QCOMPARE(a->icon().isNull(), i == 8);
            QVERIFY(a->isEnabled());
            QVERIFY(!a->isChecked());
        }
        auto *toolBar = f.child<QToolBar>("toolBar");
        QVERIFY(!toolBar->isMovable());
        QCOMPARE(toolBar->iconSize(), QSize(32, 32));
        QCOMPARE(toolBar->contextMenuPolicy(), Qt::PreventContextMenu);
        QStringList order;
        for (QAction *a : toolBar->actions())
            order << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
        QCOMPARE(order.mid(0, 10),
            (QStringList { "actionReset", "actionPAN", "actionPTS", "actionRLine", "actionRFit", "actionSelectionZoom",
                "actionMarkers", "actionCut", "|", "actionToMeasurement" }));

        QCOMPARE(w.histogramDensitySpinBox->minimum(), 1);
        QCOMPARE(w.histogramDensitySpinBox->maximum(), 50);
        QCOMPARE(w.histogramDensitySpinBox->suffix(), QStringLiteral("%"));
        QCOMPARE(w.histogramDensitySpinBox->value(), 17);
        QCOMPARE(w.medianFilterCheckBox->text(), QStringLiteral("Медианный фильтр"));
        QVERIFY(w.medianFilterCheckBox->isChecked());
        QCOMPARE(w.medianFilterSpinBox->minimum(), 3);
        QCOMPARE(w.medianFilterSpinBox->maximum(), 50);
        QCOMPARE(w.medianFilterSpinBox->suffix(), QStringLiteral(" точек"));
        QCOMPARE(w.medianFilterSpinBox->value(), 7);
        QVERIFY(w.medianFilterSpinBox->isEnabled());
        QCOMPARE(w.threadCompensationCheckBox->text(), QStringLiteral("Компенсация угла резьбы"));
        QVERIFY(!w.threadCompensationCheckBox->isChecked());
        QCOMPARE(w.threadAngleSpinBox->maximum(), 70.0);
        QCOMPARE(w.threadAngleSpinBox->decimals(), 2);
        QCOMPARE(w.threadAngleSpinBox->singleStep(), 0.01);
        QCOMPARE(w.threadAngleSpinBox->suffix(), QStringLiteral(" °"));
        QCOMPARE(w.threadAngleSpinBox->value(), 12.25);
        QVERIFY(!w.threadAngleSpinBox->isEnabled());
        QCOMPARE(w.profileModeComboBox->count(), 3);
        QCOMPARE(w.profileModeComboBox->itemText(1), QStringLiteral("Профиль шероховатости"));
        QCOMPARE(w.profileModeComboBox->currentIndex(), 2);
        // Setting the controls up ran none of their handlers.
        QVERIFY(!QFile::exists(Settings::kFileName)
            || Settings::load(Settings::kFileName).preferenses.meadian_filter_value != 7);

        // Axis labels in the unit; the side plots in percent.
        QCOMPARE(w.mainPlot()->xAxis->label(), QStringLiteral(" мм"));
        QCOMPARE(w.histogramPlot()->xAxis->label(), QStringLiteral("%"));
        QVERIFY(!w.mainPlot()->yAxis2->visible());
        QVERIFY(!w.materialRatioPlot()->yAxis->visible());
        QCOMPARE(w.mainPlot()->yAxis->numberFormat(), QStringLiteral("f"));
        QCOMPARE(w.mainPlot()->yAxis->numberPrecision(), 3);
    }

    // Device types: the settings' type at construction, then the panel's report.
    void deviceTypeVisibility_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("contour");
        QTest::newRow("1 contour") << 1 << true;
        QTest::newRow("2 profile") << 2 << false;
        QTest::newRow("5 counts as profile") << 5 << false;
    }
    void deviceTypeVisibility()
    {
        QFETCH(int, type);
        QFETCH(bool, contour);
        Settings::instance().device_type = type;
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;
        QCOMPARE(!w.threadCompensationCheckBox->isHidden(), contour);
        QCOMPARE(!w.threadAngleSpinBox->isHidden(), contour);
        QCOMPARE(!w.profileModeComboBox->isHidden(), !contour);

        // The panel reports the other kind: the controls follow, the type goes on.
        const int other = contour ? 3 : 0;
        QSignalSpy reemitted(&w, &ProfileAnalisisWidget::newDeviceType);
        Q_EMIT w.deviceControlWidget()->newDeviceType(other);
        QCOMPARE(reemitted.size(), 1);
        QCOMPARE(reemitted.at(0).at(0).toInt(), other);
        QCOMPARE(!w.threadCompensationCheckBox->isHidden(), !contour);
        QCOMPARE(!w.profileModeComboBox->isHidden(), contour);
    }

    // The chain a new trace gets and the one a rebuild gives it, and what
    // each does to the points.
    void processingChain_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("median");
        QTest::addColumn<bool>("thread");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("nonLinearity");
        QTest::addColumn<QStringList>("created");
        QTest::addColumn<QStringList>("rebuilt");

        QTest::newRow("profile, primary")
            << int(PROFILE) << false << false << 0 << false << QStringList { "zero" } << QStringList { "zero" };
        QTest::newRow("profile, roughness, median")
            << int(PROFILE) << true << false << 1 << false << QStringList { "median", "roughness", "zero" }
            << QStringList { "median", "zero", "roughness" };
        QTest::newRow("additional, waviness, thread, non-linearity")
            << int(ADDITIONAL_TRACE) << false << true << 2 << true << QStringList { "thread", "waviness", "zero" }
            << QStringList { "thread", "zero", "waviness" };
        QTest::newRow("contour, thread, roughness mode ignored")
            << int(CONTOUR) << false << true << 1 << false << QStringList { "thread" } << QStringList { "thread" };
        QTest::newRow("contour, non-linearity, median")
            << int(CONTOUR) << true << false << 0 << true << QStringList { "nonlinearity", "median" }
            << QStringList { "nonlinearity", "median" };
        QTest::newRow("contourprof, non-linearity")
            << int(CONTOURPROF) << false << false << 0 << true << QStringList {} << QStringList { "nonlinearity" };
    }
    void processingChain()
    {
        QFETCH(int, kind);
        QFETCH(bool, median);
        QFETCH(bool, thread);
        QFETCH(int, mode);
        QFETCH(bool, nonLinearity);
        QFETCH(QStringList, created);
        QFETCH(QStringList, rebuilt);

        // A table that lifts every point by 1.
        QDir().mkpath(NonLinearity::kDirName);
        {
            QFile table(NonLinearity::kFilePath);
            QVERIFY(table.open(QIODevice::WriteOnly));
            table.write("-100000\t1\n100000\t1\n");
        }
        Settings::instance().preferenses.non_linearity = nonLinearity;
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;
        w.medianFilterCheckBox->setChecked(median);
        w.threadCompensationCheckBox->setChecked(thread);
        w.threadAngleSpinBox->setValue(60);
        w.profileModeComboBox->setCurrentIndex(mode);

        std::unique_ptr<AbstractTrace> trace(w.makeTrace(unsigned(kind)));
        QVERIFY(trace);
        QCOMPARE(trace->traceType, kind);
        QCOMPARE(processorNames(*trace), created);
        const bool profile = kind == PROFILE || kind == ADDITIONAL_TRACE;
        QCOMPARE(bool(dynamic_cast<ProfileTrace *>(trace.get())), profile);
        if (profile)
            fillProfile(*trace);
        else
            fillContour(*trace);
        const TData raw = *trace->rawData;

        auto checkPoints = [&](const QStringList &chain) {
            const TData &out = *trace->processedData;
            const int filterAt = std::max(chain.indexOf("roughness"), chain.indexOf("waviness"));
            // The thread compensation scales X once (a filter trims the ends).
            if (filterAt < 0) {
                const double xScale = chain.contains("thread") ? 0.5 : 1.0;
                QCOMPARE_REL(out[0].last() - out[0].first(), (raw[0].last() - raw[0].first()) * xScale, 1e-9);
            }
            if (!profile) {
                // The table's correction of 1 where it applies.
                const double lift = chain.contains("nonlinearity") ? 1 : 0;
                QCOMPARE_REL(out[1][50], raw[1][50] - lift, 1e-9);
                return;
            }
            // Zeroed last: the lowest point is 0; filtered after the zero
            // shift: the profile lies about its mean line.
            if (filterAt < 0 || chain.indexOf("zero") > filterAt)
                QCOMPARE_REL(minimum(out[1]), 0.0, 1e-9);
            else
                QVERIFY2(std::abs(mean(out[1])) < 0.2 && minimum(out[1]) < -0.5,
                    qPrintable(QStringLiteral("mean %1, min %2").arg(mean(out[1])).arg(minimum(out[1]))));
        };
        finishReading(*trace);
        checkPoints(created);

        w.addGraphHolder(trace.get());
        w.reprocessTraces();
        QCOMPARE(processorNames(*trace), rebuilt);
        checkPoints(rebuilt);
        QCOMPARE(w.graphHolders.value(trace->id)->curve()->dataCount(), trace->processedData->at(0).size());
        w.onTraceDeleted(trace->id);
        QVERIFY(w.graphHolders.isEmpty());
    }

    void unknownKindIsRefused()
    {
        ProfileWindowFixture f;
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QVERIFY(!f.window->makeTrace(4));
        QVERIFY(f.prompts.allAnswered());
        QCOMPARE(f.prompts.calls().first().text, QStringLiteral("Неизвестный тип трассы: 4. Трасса не прочитана."));

        // Through a reading: nothing starts, the window stays usable.
        auto *provider = new FileDataProvider(writeProfileFile("unknown.txt"));
        f.window->setDataProvider(provider);
        f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        QVERIFY(!f.window->startReading(9));
        QVERIFY(!provider->isRunning());
        // Had a reading run anyway, all it sent is queued once it has ended.
        provider->waitForFinished();
        QCoreApplication::processEvents();
        QVERIFY(f.list()->traces.isEmpty());
        QVERIFY(f.action("actionPAN")->isEnabled());
    }

    // Automatic paths in the program's folder; two readings in one second
    // share a path.
    void automaticPath()
    {
        ProfileWindowFixture f;
        Settings::instance().default_trace_file_name = QStringLiteral("Вал");
        std::unique_ptr<AbstractTrace> a(f.window->makeTrace(PROFILE));
        std::unique_ptr<AbstractTrace> b(f.window->makeTrace(PROFILE));
        const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/Профили");
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QRegularExpression(QRegularExpression::escape(folder) + QStringLiteral("/Вал_\\d{4}(_\\d\\d){5}\\.txt"))
                    .match(a->filePath())
                    .hasMatch());
        QVERIFY(a->name().isEmpty());
        if (a->creationDate.toSecsSinceEpoch() == b->creationDate.toSecsSinceEpoch())
            QCOMPARE(a->filePath(), b->filePath());
    }

    // The plot tools with real clicks on the toolbar.
    void toolsAreExclusive()
    {
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(f.read(writeProfileFile("tools.txt"), PROFILE));
        PlotWidget *plot = f.window->mainPlot();
        TraceGraphsHolder *holder = f.window->graphHolders.first();
        QVERIFY(!f.action("actionCut")->isEnabled());
        QVERIFY(!f.action("actionRFit")->isEnabled());

        f.click("actionMarkers");
        QVERIFY(f.action("actionMarkers")->isChecked());
        QCOMPARE(int(plot->interactions()), 0x308);
        QCOMPARE(plot->selectionRectMode(), PlotWidget::srmSelectRealtime);
        QVERIFY(f.action("actionCut")->isEnabled());
        QCOMPARE(holder->curve()->selectable(), QCP::stDataRange);

        f.click("actionPAN");
        QVERIFY(!f.action("actionMarkers")->isChecked());
        QVERIFY(!f.action("actionCut")->isEnabled());
        QCOMPARE(int(plot->interactions()), int(PlotWidget::iRangeDrag | PlotWidget::iRangeZoom));
        QCOMPARE(plot->selectionRectMode(), PlotWidget::srmNone);
        QCOMPARE(plot->cursor().shape(), Qt::OpenHandCursor);

        // Pan off keeps drag and zoom until another tool sets the interactions.
        f.click("actionPAN");
        QCOMPARE(int(plot->interactions()), int(PlotWidget::iRangeDrag | PlotWidget::iRangeZoom));
        QCOMPARE(plot->cursor().shape(), Qt::ArrowCursor);

        f.click("actionSelectionZoom");
        QCOMPARE(plot->selectionRectMode(), PlotWidget::srmZoom);
        f.click("actionPAN");
        QVERIFY(!f.action("actionSelectionZoom")->isChecked());
        f.click("actionSelectionZoom");
        QVERIFY(!f.action("actionPAN")->isChecked());
        f.click("actionMarkers");
        QVERIFY(!f.action("actionSelectionZoom")->isChecked());
        QCOMPARE(plot->selectionRectMode(), PlotWidget::srmSelectRealtime);

        // A drag selects a range of the curve; "| C |" crops the trace to it.
        const int before = f.list()->traces.first()->rawData->at(0).size();
        const QRect rect = plot->axisRect()->rect();
        const QPoint from(rect.left() + rect.width() / 4, rect.top() + 5);
        const QPoint to(rect.left() + rect.width() / 2, rect.bottom() - 5);
        const double left = plot->xAxis->pixelToCoord(from.x()) * 1000;
        const double right = plot->xAxis->pixelToCoord(to.x()) * 1000;
        PlotTest::press(plot, from);
        PlotTest::move(plot, (from + to) / 2, Qt::LeftButton);
        PlotTest::move(plot, to, Qt::LeftButton);
        PlotTest::release(plot, to);
        QVERIFY(!holder->curve()->selection().isEmpty());
        // Points are 1 µm apart from 0, so a point's index is its X.
        const QCPDataRange selected = holder->curve()->selection().dataRange(0);
        QVERIFY(selected.size() > 100 && selected.size() < before / 2);
        QVERIFY(std::abs(selected.end() - 1 - right) < 0.02 * (right - left));
        f.click("actionCut");
        // The trace keeps the selected points, both ends included.
        const QVector<double> &x = f.list()->traces.first()->rawData->at(0);
        QCOMPARE(x.size(), selected.size());
        QCOMPARE(x.first(), double(selected.begin()));
        QCOMPARE(x.last(), double(selected.end() - 1));
        f.click("actionMarkers");
        QVERIFY(!f.action("actionCut")->isEnabled());
        QCOMPARE(int(plot->interactions()), int(PlotWidget::iSelectPlottables));
    }

    void rLineAndStraightening()
    {
        ProfileWindowFixture f;
        QVERIFY(f.read(writeProfileFile("rline.txt"), PROFILE));
        TraceGraphsHolder *holder = f.window->graphHolders.first();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

        f.click("actionRLine");
        QVERIFY(f.action("actionRFit")->isEnabled());
        QVERIFY(holder->mRLine && !holder->mRFit);
        f.click("actionRFit");
        QVERIFY(holder->mRLine && holder->mRFit);
        // R-LN off takes straightening off first, then disables it.
        f.click("actionRLine");
        QVERIFY(!f.action("actionRFit")->isChecked());
        QVERIFY(!f.action("actionRFit")->isEnabled());
        QVERIFY(!holder->mRLine && !holder->mRFit);

        // With no visible trace the R-FT action keeps its state.
        f.window->onSetGraphVisible(holder->trace()->id, false);
        f.click("actionRLine");
        QVERIFY(!f.action("actionRFit")->isEnabled());
    }

    // Reset: the visible curves' extent with 5 % on every side.
    void rescaleMargins()
    {
        ProfileWindowFixture f;
        QVERIFY(f.read(writeProfileFile("rescale.txt", 2001, 2), PROFILE));
        PlotWidget *plot = f.window->mainPlot();
        plot->xAxis->setRange(-50, 50);
        f.click("actionReset");
        const TData &data = *f.list()->traces.first()->processedData;
        const double kmin = data[0].first() / 1000, kmax = data[0].last() / 1000;
        const double vmin = minimum(data[1]) / 1000, vmax = *std::max_element(data[1].begin(), data[1].end()) / 1000;
        QCOMPARE_REL(plot->xAxis->range().lower, kmin - 0.05 * (kmax - kmin), 1e-9);
        QCOMPARE_REL(plot->xAxis->range().upper, kmax + 0.05 * (kmax - kmin), 1e-9);
        QCOMPARE_REL(plot->yAxis->range().lower, vmin - 0.05 * (vmax - vmin), 1e-9);
        QCOMPARE_REL(plot->yAxis->range().upper, vmax + 0.05 * (vmax - vmin), 1e-9);
        // The side plots follow the value range.
        QCOMPARE(f.window->materialRatioPlot()->yAxis->range(), plot->yAxis->range());
    }

    // A click on the material-ratio plot sets the level of every profile
    // trace in µm, whatever the display unit.
    void materialRatioLevel_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("clicked");
        QTest::addColumn<double>("level");
        QTest::newRow("mm") << 0 << 0.0125 << 12.5;
        QTest::newRow("µm") << 1 << 3.5 << 3.5;
        QTest::newRow("nm") << 2 << 2500.0 << 2.5;
        QTest::newRow("unknown unit: µm") << 7 << 3.5 << 3.5;
    }
    void materialRatioLevel()
    {
        QFETCH(int, unit);
        QFETCH(double, clicked);
        QFETCH(double, level);
        Settings::instance().axis_unit = unit;
        ProfileWindowFixture f;
        if (unit > 2)
            QCOMPARE(f.window->mainPlot()->yAxis->label(), QStringLiteral(" "));
        const QString path = writeProfileFile("ratio.txt");
        QVERIFY(f.read(path, PROFILE));
        QVERIFY(f.read(path, PROFILE));
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        PlotWidget *ratio = f.window->materialRatioPlot();
        // Shift the value range so that the clicked value falls on a whole pixel.
        QCPAxis *y = f.window->mainPlot()->yAxis;
        y->setRange(0, 2 * clicked);
        f.window->mainPlot()->replot();
        ratio->replot();
        const int pixel = int(std::round(ratio->yAxis->coordToPixel(clicked)));
        const double shift = clicked - ratio->yAxis->pixelToCoord(pixel);
        y->setRange(y->range().lower + shift, y->range().upper + shift);
        ratio->replot();
        const QPoint at(int(ratio->xAxis->coordToPixel(50)), pixel);
        QTest::mouseClick(ratio, Qt::LeftButton, {}, at);
        for (AbstractTrace *trace : qAsConst(f.list()->traces))
            QCOMPARE_REL(static_cast<ProfileTrace *>(trace)->level, level, 1e-9);
        QCOMPARE(f.list()->traces.size(), 2);
        // The right button does nothing.
        for (AbstractTrace *trace : qAsConst(f.list()->traces))
            static_cast<ProfileTrace *>(trace)->level = 0;
        QTest::mouseClick(ratio, Qt::RightButton, {}, at);
        QCOMPARE(static_cast<ProfileTrace *>(f.list()->traces.first())->level, 0.0);
    }

    // Locks of the control panel: the tools and the processing controls.
    void locks()
    {
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;
        w.medianFilterCheckBox->setChecked(false);
        f.action("actionPTS")->setChecked(true);
        QSignalSpy locked(&w, &ProfileAnalisisWidget::lockButtons);
        QSignalSpy unlocked(&w, &ProfileAnalisisWidget::unlockButtons);
        Q_EMIT w.deviceControlWidget()->lockButtons();
        QCOMPARE(locked.size(), 1);
        for (QAction *a : w.toolActions())
            QVERIFY(!a->isEnabled() && !a->isChecked());
        for (QWidget *c : std::initializer_list<QWidget *> { w.medianFilterCheckBox, w.medianFilterSpinBox,
                 w.threadCompensationCheckBox, w.threadAngleSpinBox, w.profileModeComboBox })
            QVERIFY(!c->isEnabled());
        Q_EMIT w.deviceControlWidget()->unlockButtons();
        QCOMPARE(unlocked.size(), 1);
        for (QAction *a : w.toolActions())
            QCOMPARE(a->isEnabled(), a->objectName() != "actionCut" && a->objectName() != "actionRFit");
        QVERIFY(w.medianFilterCheckBox->isEnabled());
        QVERIFY(!w.medianFilterSpinBox->isEnabled());
        QVERIFY(w.profileModeComboBox->isEnabled());
    }

    // The handlers save their setting and rebuild the shown traces.
    void processingControlsRebuild()
    {
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(f.read(writeProfileFile("controls.txt"), PROFILE));
        AbstractTrace *trace = f.list()->traces.first();
        QCOMPARE(processorNames(*trace), QStringList { "zero" });

        QTest::mouseClick(w.medianFilterCheckBox, Qt::LeftButton);
        QCOMPARE(processorNames(*trace), (QStringList { "median", "zero" }));
        QVERIFY(w.medianFilterSpinBox->isEnabled());
        QVERIFY(static_cast<ProfileTrace *>(trace)->medianEnabled);
        w.medianFilterSpinBox->setValue(9);
        QCOMPARE(std::static_pointer_cast<DataMedianFilterProcessor>(trace->postProcessors.first())->window, 9);
        w.profileModeComboBox->setCurrentIndex(1);
        QCOMPARE(processorNames(*trace), (QStringList { "median", "zero", "roughness" }));
        w.histogramDensitySpinBox->setValue(30);
        QCOMPARE(w.graphHolders.first()->mHistogramDensity, 30);

        const Settings saved = Settings::load(Settings::kFileName);
        QVERIFY(saved.preferenses.meadian_filter);
        QCOMPARE(saved.preferenses.meadian_filter_value, 9);
        QCOMPARE(saved.preferenses.profile_filter_mode, 1);
        QCOMPARE(saved.preferenses.histogramm_density_value, 30);
    }

    // With the upload flag set, two settings changes send one upload.
    void settingsChangedUploadsOnce()
    {
        SimulatedInstrument sim(SimulatedInstrument::Profile);
        ScriptedPortCandidates ports { [&sim] {
            return sim.isConnected() ? QList<PortCandidate> { sim.candidate() } : QList<PortCandidate> {};
        } };
        ProfileWindowFixture f;
        Device &device = f.window->deviceControlWidget()->device;
        QVERIFY(SimulatedInstrument::waitFor([&] { return device.parserState() == 1; }, 10000));
        device.sendRawText(QStringLiteral("DZ9")); // behind the start-up commands
        QVERIFY(sim.waitForMarker("DZ9"));
        sim.clearCommands();

        Settings::instance().upload_device_settings = true;
        f.window->settingsChanged();
        QVERIFY(!Settings::instance().upload_device_settings);
        QVERIFY(!Settings::load(Settings::kFileName).upload_device_settings);
        f.window->settingsChanged();
        device.sendRawText(QStringLiteral("DZ9")); // behind whatever the changes sent
        QVERIFY(sim.waitForMarker("DZ9"));
        int uploads = 0;
        for (const QByteArray &command : sim.commands())
            uploads += command.startsWith('O') ? 1 : 0;
        QCOMPARE(uploads, 1);
        const QList<QByteArray> commands = sim.commands();
        const auto upload
            = std::find_if(commands.begin(), commands.end(), [](const QByteArray &c) { return c.startsWith('O'); });
        QCOMPARE(upload->size(), DeviceCommands::kUploadCommandSize);
        QCOMPARE(DeviceCommands::kUploadCommandSize, 121);
        sim.pullCable();
    }

    // A provider replaced while a large file streams in: the old reading's
    // trace is dropped, nothing of it arrives later, the new one ends normally.
    // The file is long enough to be still streaming well after its first
    // points are drawn.
    void providerReplacedWhileStreaming()
    {
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;
        const QString large = writeProfileFile("large.txt", 4000001, 0.05);
        const QString small = writeProfileFile("small.txt");
        QPointer<DataProvider> first = new FileDataProvider(large);
        w.setDataProvider(first);
        QVERIFY(w.startReading(PROFILE));
        QTRY_VERIFY(!w.graphHolders.isEmpty() && w.graphHolders.first()->curve()->dataCount() > 0);
        const int firstId = w.graphHolders.firstKey();

        QSignalSpy ended(&w, &ProfileAnalisisWidget::unlockButtons);
        w.setDataProvider(new FileDataProvider(small));
        QVERIFY(w.startReading(PROFILE));
        QVERIFY(ended.wait(20000));
        QTRY_VERIFY_WITH_TIMEOUT(!first, 20000);
        // The old worker has ended, so all it sent is queued already.
        QCoreApplication::processEvents();
        QCOMPARE(w.graphHolders.size(), 1);
        QVERIFY(!w.graphHolders.contains(firstId));
        QCOMPARE(f.list()->traces.size(), 1);
        QCOMPARE(f.list()->traces.first()->rawData->at(0).size(), 6001);
        QCOMPARE(w.graphHolders.first()->curve()->dataCount(), 6001);
        QVERIFY(!w.isAcquiring);
        QVERIFY(f.action("actionPAN")->isEnabled());
        QVERIFY(w.medianFilterCheckBox->isEnabled());
    }

    // While a file is read the processing controls are disabled.
    void processingControlsDisabledWhileReading()
    {
        ProfileWindowFixture f;
        ProfileAnalisisWidget &w = *f.window;
        QSignalSpy started(&w, &ProfileAnalisisWidget::lockButtons);
        QSignalSpy ended(&w, &ProfileAnalisisWidget::unlockButtons);
        auto *provider = new GatedFileProvider(writeProfileFile("busy.txt", 200001, 0.5));
        w.setDataProvider(provider);
        QVERIFY(w.startReading(PROFILE));
        QVERIFY(started.wait(5000));
        QVERIFY(!w.medianFilterCheckBox->isEnabled());
        QVERIFY(!w.profileModeComboBox->isEnabled());
        QVERIFY(w.isAcquiring);
        provider->gate.release();
        QVERIFY(ended.wait(20000));
        QVERIFY(w.medianFilterCheckBox->isEnabled());
        QVERIFY(w.profileModeComboBox->isEnabled());
    }

    // The last trace deleted with Delete or unticked: neither its curve nor
    // its histogram stays on the screen.
    void lastTraceLeavesThePlots_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("deleted") << true;
        QTest::newRow("unticked") << false;
    }
    void lastTraceLeavesThePlots()
    {
        QFETCH(bool, deleted);
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QVERIFY(f.read(writeProfileFile("only.txt"), PROFILE));
        f.window->updateParamPlots();
        PlotWidget *main = f.window->mainPlot();
        PlotWidget *hist = f.window->histogramPlot();
        QVERIFY(plotPixels(main, dark) > 100);
        QVERIFY(plotPixels(hist, green) > 100);

        auto *tree = f.list()->findChild<QTreeWidget *>(QStringLiteral("tracesListTreeWidget"));
        QTreeWidgetItem *item = tree->topLevelItem(0);
        QVERIFY(item);
        QSignalSpy mainDrawn(main, &QCustomPlot::afterReplot);
        QSignalSpy histDrawn(hist, &QCustomPlot::afterReplot);
        if (deleted) {
            QVERIFY(item->isSelected());
            tree->setFocus();
            QTest::keyClick(tree, Qt::Key_Delete);
            QTRY_VERIFY(f.list()->traces.isEmpty());
        } else {
            item->setCheckState(0, Qt::Unchecked);
        }
        QVERIFY(mainDrawn.count() > 0);
        QVERIFY(histDrawn.count() > 0);
        QCOMPARE(plotPixels(main, dark), 0);
        QCOMPARE(plotPixels(hist, green), 0);
        // Nothing left to save or to measure either way.
        if (deleted) {
            f.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
            f.window->saveData(DataSaveFormat::SOURCE_FORMAT);
            QCOMPARE(f.prompts.calls().last().text,
                QStringLiteral("Нет трассы для сохранения, для начала откройте или измерьте трассу"));
        }
        saveWindowShot(f.window.get(), deleted ? QStringLiteral("profile_window_last_trace_deleted")
                                               : QStringLiteral("profile_window_last_trace_hidden"));
    }

    // The end of a reading draws the main plot once (a file shorter than a
    // batch is not drawn while it streams), and that drawing is the window's
    // final state: the trace read is selected and shown in the selected pen,
    // and the side plots show its histogram.
    void endOfReadingDrawsOnce()
    {
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        PlotWidget *main = f.window->mainPlot();
        QSignalSpy mainDrawn(main, &QCustomPlot::afterReplot);
        QVERIFY(f.read(writeProfileFile("once.txt", 400), PROFILE));
        QCOMPARE(mainDrawn.count(), 1);
        const QColor selected(Settings::instance().preferenses.selected_graph_color);
        QVERIFY(plotPixels(main, [&selected](QRgb c) {
            return std::abs(qRed(c) - selected.red()) < 40 && std::abs(qGreen(c) - selected.green()) < 40
                && std::abs(qBlue(c) - selected.blue()) < 40;
        }) > 100);
        QVERIFY(plotPixels(f.window->histogramPlot(), green) > 100);
    }

    // A nearly flat trace: five points whose Y differ in their last digits
    // (a tenth of a picometre). Every tick label differs, and reads the value
    // in millimetres.
    void flatTraceTickLabels()
    {
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("flat.dat"));
        {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("0 -17.2519464290 0\n1 -17.2519464291 0\n2 -17.2519464289 0\n3 -17.2519464292 0\n"
                      "4 -17.2519464290 0\n");
        }
        ProfileWindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(f.read(path, CONTOUR));
        PlotWidget *plot = f.window->mainPlot();
        plot->replot();
        const QVector<QString> labels = plot->yAxis->tickVectorLabels();
        QVERIFY(labels.size() >= 2);
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
        const QVector<double> ticks = plot->yAxis->tickVector();
        for (int i = 0; i < labels.size(); ++i) {
            bool ok = false;
            const double value = QLocale().toDouble(labels.at(i), &ok);
            QVERIFY2(ok, qPrintable(labels.at(i)));
            QVERIFY2(std::abs(value - ticks.at(i)) < 1e-15, qPrintable(labels.at(i)));
            QVERIFY(std::abs(value + 0.017251946429) < 1e-12);
        }
        QCOMPARE(plot->yAxis->label().trimmed(), QStringLiteral("мм"));
        saveWindowShot(f.window.get(), QStringLiteral("profile_window_flat_trace"));
    }

    void screenshots()
    {
        {
            ProfileWindowFixture f;
            f.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
            QVERIFY(f.read(writeProfileFile("shot.txt", 8001, 1), PROFILE));
            f.click("actionRLine");
            f.window->updateParamPlots();
            QCoreApplication::processEvents(); // queued layouts and replots, before the picture
            QTRY_VERIFY(!f.window->histogramPlot()->graph(0)->data()->isEmpty());
            saveWindowShot(f.window.get(), QStringLiteral("profile_window_profile"));
        }
        {
            Settings::instance().device_type = 0;
            ProfileWindowFixture f;
            f.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
            QVERIFY(f.read(writeContourFile("contour.txt"), CONTOUR));
            QCoreApplication::processEvents(); // queued layouts and replots, before the picture
            saveWindowShot(f.window.get(), QStringLiteral("profile_window_contour"));
        }
    }
};

VANTOR_TEST_MAIN(TestProfileWindow)
#include "tst_profilewindow.moc"
