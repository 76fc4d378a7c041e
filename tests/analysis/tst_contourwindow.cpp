// The contour window on traces read from files the test writes: curves and
// units, automatic scaling, the zoom and pan tools, the tool bar with its
// frames and buttons, the measurement tree, and calibration mode.

#include "algos/profileutils.h"
#include "analysis/contouranalisiswidget.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "plot/adaptivecurve.h"
#include "plot/plotwidget.h"
#include "plot/suffixaxisticker.h"
#include "settings/settings.h"

#include "support/contourtestplot.h"
#include "support/fakemeasurement.h"
#include "support/freshsettings.h"
#include "support/neutralcalibration.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include <QDoubleSpinBox>
#include <QFrame>
#include <QInputDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <functional>

namespace {

// A contour in µm: a flat run, a round bump of 2 mm radius, a flat run.
double bump(double x)
{
    const double c = 5000, r = 2000;
    const double d = x - c;
    return std::abs(d) < r ? std::sqrt(r * r - d * d) : 0.0;
}

std::unique_ptr<ContourTrace> contourFromFile(const QString &name, int points,
    const std::function<double(double)> &f, double step = 10)
{
    useNeutralContourCalibration();
    ContourTrace trace;
    trace.creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    for (int i = 0; i < points; ++i) {
        QVector<double> p { i * step, f(i * step), 0 };
        trace.addPoint(p);
    }
    return roundTrip<ContourTrace>(trace, name);
}

TraceFilePtr<ProfileTrace> profileFromFile(const QString &name, double amplitude)
{
    std::unique_ptr<ProfileTrace> source(sineProfile(amplitude, 2000));
    return roundTrip<ProfileTrace>(*source, name);
}

QVector<QPointF> curvePoints(const QCPCurve *curve)
{
    QVector<QPointF> points;
    for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
        points << QPointF(it->key, it->value);
    return points;
}

QAction *action(ContourAnalisisWidget &w, const QString &name)
{
    return w.findChild<QAction *>(name);
}

QPushButton *button(ContourAnalisisWidget &w, const QString &name)
{
    return w.findChild<QPushButton *>(name);
}

// The operator clicks the action's button on the left tool bar.
void clickAction(ContourAnalisisWidget &w, const QString &name)
{
    QWidget *b = w.findChild<QToolBar *>("toolBar")->widgetForAction(action(w, name));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

void clickButton(ContourAnalisisWidget &w, const QString &name)
{
    QPushButton *b = button(w, name);
    QVERIFY(b);
    QVERIFY2(b->isVisible(), qPrintable(name + " not shown"));
    QTest::mouseClick(b, Qt::LeftButton);
}

void wheel(PlotWidget *plot, int delta)
{
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    QWheelEvent e(at, plot->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &e);
}

void showWindow(ContourAnalisisWidget &w)
{
    w.resize(1280, 760);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// Pixels per display unit on each axis.
double pixelsPerUnit(const QCPAxis *axis)
{
    return std::abs(axis->coordToPixel(axis->range().upper) - axis->coordToPixel(axis->range().lower))
        / axis->range().size();
}

struct KindRow {
    const char *button;
    E_MEASUREMENTS kind;
    const char *action;
    int typeCode;
};

// Every measurement button with its kind, its tool-bar action and the type
// code its kind reports to the tree.
const KindRow kKindRows[] = {
    { "pushButtonLayFlatByTwo", LAY_FLAT_BY_TWO, "actionLayFlat", 10 },
    { "pushButtonlayFlat", LAY_FLAT, "actionLayFlat", 9 },
    { "pushButtonVerticalDistance", VERTICAL_DISTANCE, "actionDistance", 0 },
    { "pushButtonMinMaxDistance", MAX_MIN_DISTANCE, "actionDistance", 2 },
    { "pushButtonHorisontalDistance", HORIZONTAL_DISTANCE, "actionDistance", 1 },
    { "pushButtonDirectDistance", DIRECT_DISTANCE, "actionDistance", 3 },
    { "pushButtonMeanHeight", MEAN_HEIGHT, "actionDistance", 11 },
    { "pushButtonDirectAngle", REGULAR_ANGLE, "actionAngle", 6 },
    { "pushButtonHHorizonAngle", HORIZONTAL_ANGLE, "actionAngle", 5 },
    { "pushButtonVHorizonAngle", VERTICAL_ANGLE, "actionAngle", 4 },
    { "pushButtonMultiRadius", ARCS_RADIUS, "actionRadius", 8 },
    { "pushButtonRadius", REGULAR_RADIUS, "actionRadius", 7 },
    { "pushButtonRadiusErrorFilterMultypleSegments", RDEM_FILTER_BY_TWO_SEGMENT, "actionErrors", 13 },
    { "pushButtonRadiusErrorByTwoSegment", RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT, "actionErrors", 13 },
    { "pushButtonRMSE", RMSE, "actionErrors", 12 },
    { "pushButtonRadiusError", RDEM, "actionErrors", 13 },
    { "pushButtonRDESpecified", RDEM_SPECIFIED, "actionErrors", 13 },
    { "pushButtonRadiusErrorFilter", RADIUS_DISPLACEMENT_FILTER_ERROR, "actionErrors", 13 },
    { "pushButtonRadiusErrorWithRadianGraph", RDEM_WITH_POLAR_GRAPH, "actionErrors", 18 },
    { "pushButtonCalculateRA", RA, "actionR", 20 },
    { "pushButtonCalculateRZ", RZ, "actionR", 21 },
    { "pushButtonAddGeomHorizontalLine", CLICK_HORIZONTAL_LINE, "actionLineAdditionalGeometry", 24 },
    { "pushButtonAddGeomPoint", CLICK_POINT, "actionLineAdditionalGeometry", 27 },
    { "pushButtonAddGoemMiddlePoint", MIDDLE_POINT, "actionLineAdditionalGeometry", 28 },
    { "pushButtonAddGeomThread", THREAD, "actionLineAdditionalGeometry", 29 },
    { "pushButtonAddGeomDoubleClickLine", CLICK_DOUBLE_LINE, "actionLineAdditionalGeometry", 26 },
    { "pushButtonAddGeomVerticlaLine", CLICK_VERTICAL_LINE, "actionLineAdditionalGeometry", 25 },
    { "pushButtonFindMaxPoint", FIND_MAX_POINT, "actionLineAdditionalGeometry", 30 },
    { "pushButtonFindMinPoint", FIND_MIN_POINT, "actionLineAdditionalGeometry", 31 },
    { "pushButtonAddGeomText", AG_TEXT_PLACEMENT, "actionLineAdditionalGeometry", 32 },
    { "pushButtonCircumSelect", CIRCUMF_AG, "actionCircumferenceAdditionalGeometry", 22 },
    { "pushButtonAGCircumSpecified", CIRCUMF_AG_SPECIFIED, "actionCircumferenceAdditionalGeometry", 23 },
    { "pushButtonDXFPlane", COMPARE_PLANE_DXF, "actionDXF", 33 },
    { "pushButtonErrorPlane", ERROR_PLANE, "actionDXF", 34 },
};

const char *frameOf(const QString &actionName)
{
    static const QMap<QString, const char *> frames {
        { "actionScale", "frameScale" },
        { "actionLayFlat", "frameLayFlat" },
        { "actionDistance", "frameDistance" },
        { "actionAngle", "frameAngle" },
        { "actionRadius", "frameRadius" },
        { "actionErrors", "frameErrors" },
        { "actionR", "frameR" },
        { "actionLineAdditionalGeometry", "frameAddGeomLine" },
        { "actionCircumferenceAdditionalGeometry", "frameAddGeomCircumference" },
        { "actionDXF", "frameDXF" },
    };
    return frames.value(actionName);
}

// Every kind of this window's manager becomes a fake of the kind's type code,
// so the window's wiring is driven the same way for every button, whether or
// not the program's own kind is built yet. The fakes finish on the press after
// their segment is selected (at once for kinds that select no segment).
QList<FakeMeasurement *> &fakeKinds(ContourAnalisisWidget &w)
{
    static QList<FakeMeasurement *> made;
    made.clear();
    MeasurementsManager *manager = w.measurementsManager();
    MeasurementKindTable &table = manager->kindTable();
    for (const KindRow &row : kKindRows) {
        const int type = row.typeCode;
        table.creators[row.kind] = [type, manager](const MeasurementContext &c) {
            auto *m = new FakeMeasurement(type, c.plot, 0, QStringLiteral("Фейк %1").arg(type));
            m->needsSegment = !manager->segmentSelectionDisabled();
            made << m;
            return m;
        };
    }
    return made;
}

// Opens the action's frame, clicks the button and answers its question.
void armFromButton(ContourAnalisisWidget &w, ScriptedPrompts &prompts, const KindRow &row)
{
    clickAction(w, row.action);
    if (row.kind == RDEM_FILTER_BY_TWO_SEGMENT || row.kind == RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT)
        prompts.expect(ScriptedPrompts::Int, 3);
    if (row.kind == RDEM_SPECIFIED || row.kind == CIRCUMF_AG_SPECIFIED)
        prompts.expect(ScriptedPrompts::Dialog, QDialog::Accepted);
    if (row.kind == ERROR_PLANE)
        Q_EMIT w.measurementsManager()->enableButton(true);
    clickButton(w, row.button);
}

// Press, move and release along trace 0, then a click that ends placing.
void placeOnTrace(ContourAnalisisWidget &w, int from, int to)
{
    PlotWidget *plot = w.plot();
    ContourTest::drag(plot, w.traceCurve(0), from, to);
    const QPoint end = ContourTest::pixelOfPoint(plot, w.traceCurve(0), to);
    ContourTest::pressAt(plot, end);
    ContourTest::releaseAt(plot, end);
}

} // namespace

class TestContourWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        freshSettings();
        useNeutralContourCalibration();
    }

    void cleanup() { QApplication::setActiveWindow(nullptr); }

    void clonesCurvesAndPens()
    {
        auto a = contourFromFile("a.trace", 500, bump);
        auto b = contourFromFile("b.trace", 300, [](double x) { return 0.1 * x; });
        Settings::instance().preferenses.graph_color = "#123456";
        ContourAnalisisWidget w;
        QCOMPARE(w.name(), QStringLiteral("КОНТУР"));
        w.setTraces({ a.get(), nullptr, b.get() });

        QCOMPARE(w.traceCount(), 2);
        QVERIFY(w.trace(0) != a.get() && w.trace(1) != b.get());
        QCOMPARE(w.plot()->curveCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(w.plot()->curve(i), w.traceCurve(i));
            QVERIFY(qobject_cast<AdaptiveCurve *>(w.traceCurve(i)));
            QCOMPARE(w.traceCurve(i)->pen().color(), QColor("#123456"));
            QCOMPARE(w.traceCurve(i)->pen().widthF(), 2.0);
        }
        const QVector<QPointF> before = curvePoints(w.traceCurve(0));
        QCOMPARE(before.size(), 500);
        // Trace units are µm, the default display unit mm.
        QCOMPARE(before[250].x(), (*a->processedData)[0][250] * 0.001);
        QCOMPARE(before[250].y(), (*a->processedData)[1][250] * 0.001);

        // The sources can change and go: the window redraws from its clones.
        (*a->processedData)[1].fill(-7);
        a.reset();
        b.reset();
        w.recalcAllMeasurements();
        QCOMPARE(curvePoints(w.traceCurve(0)), before);
        QCOMPARE(w.measurementsManager()->measurementList().size(), 0);
    }

    void units_data()
    {
        QTest::addColumn<QList<int>>("units");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("mm") << QList<int> { 0 } << 0.001 << " мм";
        QTest::newRow("µm") << QList<int> { 1 } << 1.0 << " мкм";
        QTest::newRow("nm") << QList<int> { 2 } << 1000.0 << " нм";
        QTest::newRow("unknown in a new window") << QList<int> { 3 } << 1.0 << "";
        QTest::newRow("negative in a new window") << QList<int> { -1 } << 1.0 << "";
        QTest::newRow("unknown keeps µm") << QList<int> { 1, 7 } << 1.0 << " мкм";
    }

    void units()
    {
        QFETCH(QList<int>, units);
        QFETCH(double, factor);
        QFETCH(QString, suffix);
        auto t = contourFromFile("u.trace", 100, bump, 100);
        Settings::instance().axis_unit = units.first();
        ContourAnalisisWidget w;
        w.setTraces({ t.get() });
        for (int unit : units.mid(1)) {
            Settings::instance().axis_unit = unit;
            w.recalcAllMeasurements();
        }
        QCOMPARE(w.unitFactorValue(), factor);
        QCOMPARE(w.unitSuffixText(), suffix);
        QCOMPARE(w.traceCurve(0)->data()->at(50)->key, (*t->processedData)[0][50] * factor);
        for (QCPAxis *axis : { w.plot()->xAxis, w.plot()->yAxis }) {
            auto ticker = axis->ticker().dynamicCast<SuffixAxisTicker>();
            QVERIFY(ticker);
            QCOMPARE(ticker->tickLabelSuffix(), suffix);
        }
        showWindow(w);
        const QString label = w.plot()->xAxis->tickVectorLabels().value(1);
        QVERIFY2(label.endsWith(suffix), qPrintable(label));
    }

    void contourAutoscaleKeepsOneScale_data()
    {
        QTest::addColumn<double>("height");
        QTest::newRow("wider than high") << 1.0;
        QTest::newRow("higher than wide") << 40.0;
    }

    void contourAutoscaleKeepsOneScale()
    {
        QFETCH(double, height);
        auto t = contourFromFile("c.trace", 400, [height](double x) { return height * bump(x); }, 25);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ t.get() });
        PlotWidget *plot = w.plot();
        QVERIFY(std::abs(pixelsPerUnit(plot->xAxis) / pixelsPerUnit(plot->yAxis) - 1) < 1e-3);
        // Every point lies inside, with the margin on the longer side.
        const QCPRange x = plot->xAxis->range(), y = plot->yAxis->range();
        QVERIFY(x.lower <= -0.49875 + 1e-9 && x.upper >= 10.47375 - 1e-9);
        QVERIFY(y.lower <= -0.1 * height + 1e-9 && y.upper >= 2.1 * height - 1e-9);
        QVERIFY(std::abs(x.size() - 10.9725) < 1e-9 || std::abs(y.size() - 2.2 * height) < 1e-9);
        QCOMPARE(button(w, "pushButtonResetScale")->icon().pixmap(32).toImage(),
            QIcon(":/icons/icons/1_1.png").pixmap(32).toImage());
    }

    void profileAutoscale_data()
    {
        QTest::addColumn<double>("ra");
        QTest::newRow("sine") << 1.0;
        QTest::newRow("flat") << 0.0;
    }

    void profileAutoscale()
    {
        QFETCH(double, ra);
        auto t = profileFromFile("p.trace", ra);
        ContourAnalisisWidget w;
        w.setTraces({ t.get() });
        const DataBoundsCheck b = bounds(w.traceCurve(0));
        const QCPRange x = w.plot()->xAxis->range(), y = w.plot()->yAxis->range();
        const double xSpan = b.maxKey - b.minKey;
        double ySpan = b.maxValue - b.minValue;
        if (ra == 0) {
            QCOMPARE(ySpan, 0.0);
            ySpan = 1; // a flat trace is shown one unit high
        }
        QCOMPARE(x.lower, b.minKey - 0.05 * xSpan);
        QCOMPARE(x.upper, b.maxKey + 0.05 * xSpan);
        QCOMPARE(y.lower, b.minValue - 0.2 * ySpan);
        QCOMPARE(y.upper, b.minValue + ySpan + 0.2 * ySpan);
        QCOMPARE(button(w, "pushButtonResetScale")->icon().pixmap(32).toImage(),
            QIcon(":/icons/icons/reset.png").pixmap(32).toImage());
    }

    void noTraces()
    {
        ContourAnalisisWidget w;
        showWindow(w);
        const QCPRange before = w.plot()->xAxis->range();
        w.setTraces({ nullptr });
        QCOMPARE(w.traceCount(), 0);
        QCOMPARE(w.plot()->curveCount(), 0);
        clickAction(w, "actionScale");
        QVERIFY(w.findChild<QFrame *>("frameScale")->isVisible());
        clickButton(w, "pushButtonResetScale");
        QVERIFY(!w.findChild<QFrame *>("frameScale")->isVisible());
        QVERIFY(!action(w, "actionScale")->isChecked());
        QCOMPARE(w.plot()->xAxis->range(), before);

        // A trace without points gets its curve, and the ranges computed from
        // no point at all are refused: the axes keep theirs.
        ContourAnalisisWidget other;
        showWindow(other);
        const QCPRange x0 = other.plot()->xAxis->range(), y0 = other.plot()->yAxis->range();
        ContourTrace empty;
        other.setTraces({ &empty });
        QCOMPARE(other.plot()->curveCount(), 1);
        QCOMPARE(other.traceCurve(0)->dataCount(), 0);
        QCOMPARE(other.plot()->xAxis->range(), x0);
        QCOMPARE(other.plot()->yAxis->range(), y0);
    }

    void scaleWheelStepPerTrace_data()
    {
        QTest::addColumn<int>("traceCount");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<double>("xFactor");
        QTest::addColumn<double>("yFactor");
        QTest::newRow("x, one trace") << 1 << "pushButtonScaleX" << 0.85 << 1.0;
        QTest::newRow("x, two traces") << 2 << "pushButtonScaleX" << 0.7225 << 1.0;
        QTest::newRow("y, two traces") << 2 << "pushButtonScaleY" << 1.0 << 0.7225;
    }

    void scaleWheelStepPerTrace()
    {
        QFETCH(int, traceCount);
        QFETCH(QString, tool);
        QFETCH(double, xFactor);
        QFETCH(double, yFactor);
        auto a = contourFromFile("a.trace", 300, bump);
        auto b = contourFromFile("b.trace", 300, [](double x) { return 0.2 * x; });
        QVector<AbstractTrace *> given { a.get() };
        if (traceCount == 2)
            given << b.get();
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces(given);
        clickAction(w, "actionScale");
        clickButton(w, tool);
        QVERIFY(!action(w, "actionScale")->isChecked());
        QVERIFY(!w.findChild<QFrame *>("frameScale")->isVisible());
        QVERIFY(!button(w, tool)->isCheckable());
        QCOMPARE(w.plot()->cursor().shape(), tool.endsWith('X') ? Qt::SizeHorCursor : Qt::SizeVerCursor);

        const double x0 = w.plot()->xAxis->range().size(), y0 = w.plot()->yAxis->range().size();
        wheel(w.plot(), 120);
        QCOMPARE(w.plot()->xAxis->range().size() / x0, xFactor);
        QCOMPARE(w.plot()->yAxis->range().size() / y0, yFactor);

        // Opening another frame switches the tool off: the plain cursor, the
        // button can be checked again, and the wheel does what it did before
        // the tool: it zooms both axes alike, once per notch, and a left drag
        // moves nothing.
        clickAction(w, "actionDistance");
        QCOMPARE(w.plot()->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(button(w, tool)->isCheckable());
        QVERIFY(!w.plot()->interactions().testFlag(PlotWidget::iRangeDrag));
        const QCPRange x1 = w.plot()->xAxis->range(), y1 = w.plot()->yAxis->range();
        wheel(w.plot(), 120);
        QVERIFY(qFuzzyCompare(w.plot()->xAxis->range().size() / x1.size(), 0.85));
        QVERIFY(qFuzzyCompare(w.plot()->yAxis->range().size() / y1.size(), 0.85));
    }

    void toolOffLeavesOtherWindowsAlone()
    {
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget first, second;
        for (ContourAnalisisWidget *w : { &first, &second }) {
            showWindow(*w);
            w->setTraces({ a.get() });
            clickAction(*w, "actionScale");
            clickButton(*w, "pushButtonScaleX");
        }
        clickAction(first, "actionScale"); // switches ScaleX off in the first window only
        const double before = second.plot()->xAxis->range().size();
        wheel(second.plot(), 120);
        QCOMPARE(second.plot()->xAxis->range().size() / before, 0.85);
    }

    void panWithPanTool()
    {
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        clickAction(w, "actionScale");
        clickButton(w, "pushButtonPAN");
        PlotWidget *plot = w.plot();
        QCOMPARE(plot->cursor().shape(), Qt::OpenHandCursor);
        QVERIFY(plot->interactions().testFlag(PlotWidget::iRangeDrag));
        QCOMPARE(plot->selectionRectMode(), PlotWidget::srmNone);
        // The library zooms both axes about the cursor.
        const double x0 = plot->xAxis->range().size(), y0 = plot->yAxis->range().size();
        wheel(plot, -120);
        QVERIFY(plot->xAxis->range().size() > x0 && plot->yAxis->range().size() > y0);
        // A left drag moves the view.
        const QCPRange before = plot->xAxis->range();
        const QPoint c(plot->width() / 2, plot->height() / 2);
        ContourTest::pressAt(plot, c);
        ContourTest::moveAt(plot, c + QPoint(40, 0), Qt::LeftButton);
        ContourTest::releaseAt(plot, c + QPoint(40, 0));
        QVERIFY(plot->xAxis->range().lower < before.lower);
    }

    void middleButtonPan_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("tool");
        QTest::newRow("no tool") << "" << "";
        QTest::newRow("pan") << "actionScale" << "pushButtonPAN";
        QTest::newRow("scale x") << "actionScale" << "pushButtonScaleX";
        QTest::newRow("scale y") << "actionScale" << "pushButtonScaleY";
        QTest::newRow("armed kind") << "actionDistance" << "pushButtonMinMaxDistance";
    }

    void middleButtonPan()
    {
        QFETCH(QString, action);
        QFETCH(QString, tool);
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        QList<FakeMeasurement *> &made = fakeKinds(w);
        if (!tool.isEmpty()) {
            clickAction(w, action);
            clickButton(w, tool);
        }
        PlotWidget *plot = w.plot();
        int presses = 0;
        connect(plot, &QCustomPlot::mousePress, this, [&presses] { ++presses; });
        const QCPRange x0 = plot->xAxis->range(), y0 = plot->yAxis->range();
        const QPoint start(300, 200), end(260, 230);
        ContourTest::pressAt(plot, start, Qt::MiddleButton);
        ContourTest::moveAt(plot, end, Qt::MiddleButton);
        ContourTest::releaseAt(plot, end, Qt::MiddleButton);
        // The view follows by the drag over the whole widget's size.
        QCOMPARE(plot->xAxis->range().lower, x0.lower + 40 * x0.size() / plot->width());
        QCOMPARE(plot->yAxis->range().lower, y0.lower + 30 * y0.size() / plot->height());
        QCOMPARE(presses, 0);
        QVERIFY(made.isEmpty());
        QVERIFY(w.measurementsManager()->measurementList().isEmpty());
    }

    void frameOpeningIsExclusive()
    {
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        const QList<QFrame *> frames = w.plot()->findChildren<QFrame *>(QRegularExpression("^frame"));
        QCOMPARE(frames.size(), 10);
        for (QFrame *f : frames)
            QVERIFY(!f->isVisible());
        QVERIFY(!button(w, "pushButtonMinMaxDistance")->isCheckable());

        clickAction(w, "actionDistance");
        QVERIFY(w.findChild<QFrame *>("frameDistance")->isVisible());
        const QList<QPushButton *> buttons = w.plot()->findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 39);
        for (QPushButton *b : buttons) {
            if (b->objectName() != "pushButtonResetScale")
                QVERIFY2(b->isCheckable(), qPrintable(b->objectName()));
        }
        QCOMPARE(w.measurementsManager()->currentKind(), int(NO_MEASUREMENT));

        clickAction(w, "actionAngle");
        QVERIFY(!action(w, "actionDistance")->isChecked());
        QVERIFY(!w.findChild<QFrame *>("frameDistance")->isVisible());
        QVERIFY(w.findChild<QFrame *>("frameAngle")->isVisible());
        clickAction(w, "actionAngle");
        for (QFrame *f : frames)
            QVERIFY(!f->isVisible());

        // The drawing-error button follows the drawing comparison.
        QPushButton *errorPlane = button(w, "pushButtonErrorPlane");
        QVERIFY(!errorPlane->isEnabled());
        Q_EMIT w.measurementsManager()->enableButton(true);
        QVERIFY(errorPlane->isEnabled());
        Q_EMIT w.measurementsManager()->enableButton(false);
        QVERIFY(!errorPlane->isEnabled());

        // The tree still reorders its rows and sections by dragging.
        QVERIFY(w.tree()->dragEnabled());
        QCOMPARE(w.tree()->dragDropMode(), QAbstractItemView::InternalMove);

        Q_EMIT w.measurementsManager()->statusText("Выберите участок");
        QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Выберите участок"));
    }

    void everyButtonPlacesItsKind_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kKindRows)); ++i)
            QTest::newRow(kKindRows[i].button) << i;
    }

    void everyButtonPlacesItsKind()
    {
        QFETCH(int, row);
        const KindRow &k = kKindRows[row];
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        QList<FakeMeasurement *> &made = fakeKinds(w);
        ScriptedPrompts prompts;
        armFromButton(w, prompts, k);
        QVERIFY(prompts.allAnswered());

        MeasurementsManager *manager = w.measurementsManager();
        QCOMPARE(manager->currentKind(), int(k.kind));
        QCOMPARE(manager->keepsInList(), k.kind != LAY_FLAT && k.kind != LAY_FLAT_BY_TWO);
        QVERIFY(!action(w, k.action)->isChecked());
        QVERIFY(!w.findChild<QFrame *>(frameOf(k.action))->isVisible());
        QVERIFY(!button(w, k.button)->isCheckable());
        QCOMPARE(action(w, k.action)->icon().pixmap(32).toImage(), button(w, k.button)->icon().pixmap(32).toImage());
        QVERIFY(w.plot()->interactions().testFlag(PlotWidget::iRangeSelection));

        const bool selectsSegment = !manager->segmentSelectionDisabled();
        placeOnTrace(w, 120, 180);
        QCOMPARE(made.size(), 1);
        FakeMeasurement *m = made.first();
        if (selectsSegment)
            QVERIFY(m->allSegmentsSelected());
        QVERIFY(m->isFinished());

        if (k.kind == LAY_FLAT || k.kind == LAY_FLAT_BY_TWO) {
            QVERIFY(manager->measurementList().isEmpty());
            QCOMPARE(w.tree()->topLevelItem(0)->childCount(), 0);
            return;
        }
        QTreeWidgetItem *rowItem = w.rowOf(m->id());
        QVERIFY(rowItem);
        QCOMPARE(rowItem->parent(), w.tree()->sectionItem(MeasurementTreeWidget::sectionForType(k.typeCode)));
        QCOMPARE(rowItem->text(0), m->name());

        if (k.kind == COMPARE_PLANE_DXF) {
            // One drawing per plot: the kind disarms itself and offers the
            // drawing error.
            QVERIFY(button(w, "pushButtonErrorPlane")->isEnabled());
            QCOMPARE(manager->currentKind(), int(NO_MEASUREMENT));
            return;
        }
        // A second measurement of the same kind: the kind stays armed.
        placeOnTrace(w, 40, 90);
        QCOMPARE(made.size(), 2);
        QCOMPARE(manager->measurementList().size(), 2);

        // Selecting the first row highlights its measurement alone.
        QVERIFY(w.tree()->selectedItems().isEmpty());
        made[0]->highlighted = made[1]->highlighted = true;
        w.tree()->scrollToItem(rowItem);
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
            w.tree()->visualItemRect(rowItem).center());
        QCOMPARE(w.tree()->selectedItems(), QList<QTreeWidgetItem *> { rowItem });
        QVERIFY(made[0]->highlighted);
        QVERIFY(!made[1]->highlighted);

        // Delete removes it, row and measurement.
        const int id = m->id();
        QTest::keyClick(&w, Qt::Key_Delete);
        QVERIFY(!w.rowOf(id));
        QVERIFY(!manager->measurementById(id));
        QCOMPARE(manager->measurementList().size(), 1);
        // The view may move the selection to a neighbour row: the plot shows
        // whatever the tree selects.
        const bool secondSelected = w.rowOf(made[1]->id())->isSelected();
        QCOMPARE(made[1]->highlighted, secondSelected);
        QCoreApplication::processEvents(); // the released shortcut goes
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(manager->measurementList().size(), secondSelected ? 0 : 1);
    }

    void deleteKeyOnSectionRowAndClearedSelection()
    {
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        QList<FakeMeasurement *> &made = fakeKinds(w);
        ScriptedPrompts prompts;
        armFromButton(w, prompts, kKindRows[3]);
        placeOnTrace(w, 100, 150);
        QCOMPARE(made.size(), 1);
        QTreeWidgetItem *section = w.tree()->sectionItem(MeasurementTreeWidget::Lengths);
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
            w.tree()->visualItemRect(section).center());
        QCOMPARE(w.tree()->selectedItems(), QList<QTreeWidgetItem *> { section });
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(w.measurementsManager()->measurementList().size(), 1);
        QVERIFY(!made[0]->highlighted);

        w.tree()->setCurrentItem(w.rowOf(made[0]->id()));
        QVERIFY(made[0]->highlighted);
        QTest::ignoreMessage(QtDebugMsg, "Selection empty");
        w.tree()->clearSelection();
        QVERIFY(!made[0]->highlighted);
        // Unknown ids change nothing.
        w.deleteMeasurement(9999);
        QCOMPARE(w.measurementsManager()->measurementList().size(), 1);
    }

    void parameterQuestions_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed"); // empty: cancelled
        QTest::addColumn<QString>("parameter");
        QTest::newRow("radius 1.5") << "pushButtonAGCircumSpecified" << "1.5" << "1.500";
        QTest::newRow("radius 1ю5") << "pushButtonRDESpecified" << "1ю5" << "1.500";
        QTest::newRow("radius cancelled") << "pushButtonAGCircumSpecified" << "" << "";
        QTest::newRow("segments 5") << "pushButtonRadiusErrorByTwoSegment" << "5" << "5";
        QTest::newRow("segments cancelled") << "pushButtonRadiusErrorFilterMultypleSegments" << "" << "";
    }

    void parameterQuestions()
    {
        QFETCH(QString, button);
        QFETCH(QString, typed);
        QFETCH(QString, parameter);
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        const bool radius = button.contains("Specified");
        const QString actionName = button.contains("Circum") ? "actionCircumferenceAdditionalGeometry" : "actionErrors";
        clickAction(w, actionName);

        ScriptedPrompts prompts;
        if (radius) {
            QString label;
            prompts.expect(ScriptedPrompts::Dialog, QDialog::Rejected, [&](QObject *subject) -> QVariant {
                auto *dialog = qobject_cast<QInputDialog *>(subject);
                label = dialog->labelText();
                if (typed.isEmpty())
                    return QDialog::Rejected;
                auto *spin = dialog->findChild<QDoubleSpinBox *>();
                spin->setFocus();
                spin->selectAll();
                // A Cyrillic letter on the period key of a Russian layout.
                for (const QChar c : typed) {
                    if (c.unicode() < 128)
                        QTest::keyClick(spin, c.toLatin1());
                    else
                        QTest::sendKeyEvent(QTest::Click, spin, Qt::Key_Period, QString(c), Qt::NoModifier);
                }
                dialog->accept();
                return dialog->result();
            });
            clickButton(w, button);
            QCOMPARE(label, QStringLiteral("Радиус в мм"));
        } else {
            prompts.expect(ScriptedPrompts::Int, typed.isEmpty() ? QVariant() : QVariant(typed.toInt()));
            clickButton(w, button);
        }
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.calls().first().title,
            radius ? QStringLiteral("Введите радиус вписанной окружности") : QStringLiteral("Введите число выделений"));

        MeasurementsManager *manager = w.measurementsManager();
        const Settings saved = Settings::load(Settings::kFileName);
        if (typed.isEmpty()) {
            QCOMPARE(manager->currentKind(), int(NO_MEASUREMENT));
            QVERIFY(w.findChild<QPushButton *>(button)->isCheckable());
            QVERIFY(!w.findChild<QPushButton *>(button)->isChecked());
            QVERIFY(action(w, actionName)->isChecked()); // the frame stays open for another choice
            if (radius)
                QCOMPARE(Settings::instance().preferenses.inscribed_circle_radius_measurement, 1.0);
            return;
        }
        QVERIFY(manager->currentKind() != int(NO_MEASUREMENT));
        QCOMPARE(manager->currentParameter(), parameter);
        if (radius) {
            QCOMPARE(Settings::instance().preferenses.inscribed_circle_radius_measurement, 1.5);
            QCOMPARE(saved.preferenses.inscribed_circle_radius_measurement, 1.5);
        }
    }

    void levellingAndReset()
    {
        auto a = contourFromFile("a.trace", 300, bump, 40);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        const QVector<QPointF> level = curvePoints(w.traceCurve(0));
        const QCPRange x0 = w.plot()->xAxis->range();

        // A levelling turns the drawn curve and reports angle and centre.
        QVector<double> keys, values;
        for (const QPointF &p : level) {
            keys << p.x() + 0.01 * p.y();
            values << p.y() - 0.01 * p.x();
        }
        w.traceCurve(0)->setData(keys, values);
        Q_EMIT w.measurementsManager()->setNewAngleAndCenterRot(-0.01, QPointF(1.5, 2.5));
        QCOMPARE(w.currentLevellingAngle(), -0.01);
        QCOMPARE(w.currentRotationCentre(), QPointF(1.5, 2.5));
        w.plot()->xAxis->setRange(2, 3);

        clickAction(w, "actionLayFlat");
        QTest::mouseClick(button(w, "pushButtonlayFlat"), Qt::LeftButton); // arms LAY_FLAT
        clickAction(w, "actionLayFlat");
        QVERIFY(button(w, "pushButtonlayFlat")->isCheckable());
        clickButton(w, "pushButtonRST");
        QCOMPARE(w.currentLevellingAngle(), 0.0);
        QCOMPARE(w.currentRotationCentre(), QPointF());
        QCOMPARE(curvePoints(w.traceCurve(0)), level);
        QCOMPARE(w.plot()->xAxis->range().lower, x0.lower);
        QCOMPARE(w.plot()->xAxis->range().upper, x0.upper);
        QVERIFY(button(w, "pushButtonlayFlat")->isCheckable());
        QVERIFY(!action(w, "actionLayFlat")->isChecked());
        QVERIFY(!w.findChild<QFrame *>("frameLayFlat")->isVisible());
    }

    // The program's own kinds, where they are built: a height across the
    // slope, then a levelling on it, then "Сбросить укладку".
    void realLevellingThenReset()
    {
        const MeasurementKindTable &kinds = standardMeasurementKinds();
        if (!kinds.creators.contains(LAY_FLAT) || !kinds.creators.contains(MAX_MIN_DISTANCE))
            QSKIP("the levelling and height kinds are not built in this tree");
        auto a = contourFromFile("slope.trace", 101, [](double x) { return 2000 + 0.5 * x; }, 100);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        const QVector<QPointF> sloped = curvePoints(w.traceCurve(0));

        ScriptedPrompts prompts;
        armFromButton(w, prompts, kKindRows[3]); // the largest height
        ContourTest::drag(w.plot(), w.traceCurve(0), 20, 80);
        ContourTest::move(w.plot(), QPointF(9, 3));
        ContourTest::press(w.plot(), QPointF(9, 3));
        ContourTest::release(w.plot(), QPointF(9, 3));
        Measurement *height = w.measurementsManager()->measurementList().value(0);
        QVERIFY(height && height->isFinished());
        QTreeWidgetItem *row = w.rowOf(height->id());
        QCOMPARE(row->parent(), w.tree()->sectionItem(MeasurementTreeWidget::Lengths));
        QCOMPARE(row->text(1), QStringLiteral("2.9500мм"));

        armFromButton(w, prompts, kKindRows[1]); // levelling on one segment
        ContourTest::drag(w.plot(), w.traceCurve(0), 10, 30);
        QVERIFY(std::abs(w.currentLevellingAngle() + std::atan(0.5)) < 1e-9);
        const QVector<QPointF> level = curvePoints(w.traceCurve(0));
        QVERIFY(std::abs(level[90].y() - level[10].y()) < 1e-6);
        QCOMPARE(w.measurementsManager()->measurementList().size(), 1); // the levelling is not listed
        QCOMPARE(row->text(1), QStringLiteral("0.0000мм"));

        clickAction(w, "actionLayFlat");
        clickButton(w, "pushButtonRST");
        QCOMPARE(w.currentLevellingAngle(), 0.0);
        QCOMPARE(curvePoints(w.traceCurve(0)), sloped);
        QCOMPARE(row->text(1), QStringLiteral("2.9500мм"));
    }

    void recalcAfterUnitChange()
    {
        auto a = contourFromFile("a.trace", 300, bump);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get() });
        QList<FakeMeasurement *> &made = fakeKinds(w);
        ScriptedPrompts prompts;
        armFromButton(w, prompts, kKindRows[3]);
        placeOnTrace(w, 100, 150);
        FakeMeasurement *m = made.first();
        m->setValue(0.05);
        const int updates = m->settingsUpdates, calculations = m->calculateCount;
        const double x = w.traceCurve(0)->data()->at(10)->key;

        Settings::instance().axis_unit = 1;
        m->setValue(50);
        w.recalcAllMeasurements();
        QCOMPARE(w.traceCurve(0)->data()->at(10)->key, x * 1000);
        QCOMPARE(m->settingsUpdates, updates + 1);
        QVERIFY(m->calculateCount >= calculations + 2); // redraw and recalculation
        QCOMPARE(w.rowOf(m->id())->text(1), m->valueText());
        QCOMPARE(w.tree()->sectionItem(MeasurementTreeWidget::Lengths)->text(1), QStringLiteral("50.0000"));
    }

    void calibrationMode()
    {
        Settings::instance().angles_in_deg = false;
        auto a = contourFromFile("a.trace", 300, bump);
        {
            ContourAnalisisWidget w(nullptr, true);
            QVERIFY(Settings::instance().angles_in_deg);
            w.setTraces({ a.get() });
            showWindow(w);
            QVERIFY(w.findChild<QWidget *>("calibrationTools")->isVisible());
            QVERIFY(!w.findChild<QWidget *>("detailNameEdit")->isVisible());
            QVERIFY(w.tree()->isCalibrationMode());
            QSignalSpy closing(&w, &ContourAnalisisWidget::closeDialogCalibration);
            // A calibration change redraws the traces with the levelling kept.
            Q_EMIT w.measurementsManager()->setNewAngleAndCenterRot(0.5, QPointF(5, 0));
            w.calibrationDataValueChangedManually({ w.trace(0) });
            const QPointF p0 = curvePoints(w.traceCurve(0)).first();
            const QPointF expected = Algos::rotatePoint(5, 0, 0.5, QPointF(0, 0));
            QVERIFY(std::abs(p0.x() - expected.x()) < 1e-6 && std::abs(p0.y() - expected.y()) < 1e-6);
            QVERIFY(closing.isEmpty());
        }
        QVERIFY(!Settings::instance().angles_in_deg);
        QVERIFY(!Settings::load(Settings::kFileName).angles_in_deg);
        QVERIFY(QFile::exists(Settings::kFileName));

        ContourAnalisisWidget normal;
        normal.setTraces({ a.get() });
        QVERIFY(normal.findChild<QWidget *>("calibrationTools")->isHidden());
        QCOMPARE(normal.findChild<QLineEdit *>("detailNameEdit")->text(),
            Settings::instance().default_trace_file_name);
    }

    void screenshots()
    {
        auto a = contourFromFile("a.trace", 400, bump, 25);
        auto b = contourFromFile("b.trace", 400, [](double x) { return 800 + 0.05 * x; }, 25);
        ContourAnalisisWidget w;
        showWindow(w);
        w.setTraces({ a.get(), b.get() });
        QList<FakeMeasurement *> &made = fakeKinds(w);
        ScriptedPrompts prompts;
        // One measurement into each section: distance, deviation, angle,
        // radius, roughness and additional geometry.
        for (int row : { 3, 14, 7, 11, 19, 30 }) {
            armFromButton(w, prompts, kKindRows[row]);
            placeOnTrace(w, 60 + 20 * made.size(), 120 + 20 * made.size());
            made.last()->setValue(1.25 * made.size());
            Q_EMIT made.last()->measumentChanged();
        }
        for (int s = 0; s < 6; ++s)
            QCOMPARE(w.tree()->topLevelItem(s)->childCount(), 1);
        ContourTest::saveScreenshot(&w, "contour_window_measurements");
        clickAction(w, "actionErrors");
        QVERIFY(w.findChild<QFrame *>("frameErrors")->isVisible());
        ContourTest::saveScreenshot(&w, "contour_window_errors_frame");
        clickAction(w, "actionLineAdditionalGeometry");
        ContourTest::saveScreenshot(&w, "contour_window_geometry_frame");
    }

private:
    struct DataBoundsCheck {
        double minKey = 1e300, maxKey = -1e300, minValue = 1e300, maxValue = -1e300;
    };
    static DataBoundsCheck bounds(const QCPCurve *curve)
    {
        DataBoundsCheck b;
        for (const QPointF &p : curvePoints(curve)) {
            b.minKey = std::min(b.minKey, p.x());
            b.maxKey = std::max(b.maxKey, p.x());
            b.minValue = std::min(b.minValue, p.y());
            b.maxValue = std::max(b.maxValue, p.y());
        }
        return b;
    }
};

VANTOR_TEST_MAIN(TestContourWindow)
#include "tst_contourwindow.moc"
