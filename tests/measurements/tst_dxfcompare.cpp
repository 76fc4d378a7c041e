// The drawing comparison element on a real plot: import through the prompts
// object, the two registration clicks as real mouse events, the drawing's
// plot items, and the failures.
#include "support/contourtestplot.h"
#include "support/contourwindowstandin.h"
#include "support/fakedrawinghost.h"
#include "support/fuzzy.h"
#include "support/logtext.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "dxftestfiles.h"
#include "measurements/compareplanedxf.h"
#include "measurements/dxffit.h"
#include "settings/settings.h"

#include <QTemporaryDir>
#include <QThreadPool>

#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>

using namespace ContourTest;

namespace {

// A contour plot holding the outline's trace, sampled coarser than a pixel so
// that a click on a point of it takes exactly that point.
struct Bench {
    explicit Bench(double factor = 1, ScriptedPrompts *shared = nullptr)
        : factor(factor)
        , ownPrompts(shared ? nullptr : new ScriptedPrompts)
        , prompts(shared ? *shared : *ownPrompts)
    {
        plot.resize(900, 600);
        plot.setInteractions(PlotWidget::iRangeSelection);
        points = DxfOutline::trace(0.2, factor);
        trace = new QCPCurve(plot.xAxis, plot.yAxis);
        trace->setPen(QPen(QColor(Settings::instance().preferenses.graph_color), 1));
        for (const QPointF &p : qAsConst(points))
            trace->addData(p.x(), p.y());
        fitAxes(&plot);
    }

    QString writeFile(const QString &name, const QByteArray &text)
    {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return f.fileName();
    }

    // The element, after the file question answered with path (and a message
    // acknowledged when one is expected).
    ComparePlaneDXF *import(const QString &path, bool message = false)
    {
        prompts.expect(ScriptedPrompts::OpenFile, path);
        if (message)
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        auto *element = new ComparePlaneDXF(&host, &plot);
        fitAxes(&plot);
        return element;
    }

    void click(const QPointF &at)
    {
        move(&plot, at);
        press(&plot, at);
        release(&plot, at);
    }

    double meanDistance() const { return drawingFitError(plotDrawing(&plot)->drawing, points) / points.size(); }

    double factor;
    QTemporaryDir dir;
    std::unique_ptr<ScriptedPrompts> ownPrompts;
    ScriptedPrompts &prompts;
    PlotWidget plot;
    FakeDrawingHost host;
    QCPCurve *trace = nullptr;
    QVector<QPointF> points;
};

const QPointF kShift(8, -6);

// The outline as one polyline of segments about `spacing` millimetres long,
// turned about the origin by degrees and shifted: a drawing of more entities
// than are registered inside the click.
QByteArray denseOutline(double spacing, double degrees, const QPointF &shift)
{
    QVector<QPointF> vertices;
    for (const QPointF &p : DxfOutline::trace(spacing, 1))
        vertices << DxfOutline::turned(p, degrees, shift);
    return DxfText::file(DxfText::polyline(vertices, 0));
}

// After a cancelled or failed registration: the drawing and its markers as
// they were, the element waiting for the first click again, the busy window
// gone; the next two clicks then register the drawing.
void checkWaitsAgainThenRegisters(Bench &bench, ComparePlaneDXF *element, const QVector<QVector<double>> &params,
    int markers, const QSignalSpy &finished, const QSignalSpy &status)
{
    QCOMPARE(plotDrawing(&bench.plot)->drawing.dxfEntityParams, params);
    QCOMPARE(element->registrationStage, qint16(0));
    QCOMPARE(element->markerCount, markers);
    QVERIFY(!element->isFinished());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(status.last().first().toString(), QStringLiteral("Выберите первую точку на трассе"));
    QVERIFY(!bench.host.busy());

    bench.click(QPointF(0, 0));
    bench.click(kShift);
    QTRY_VERIFY_WITH_TIMEOUT(!element->isRegistering(), 30000);
    QVERIFY(element->isFinished());
    QVERIFY2(bench.meanDistance() < 0.001, qPrintable(QString::number(bench.meanDistance())));
}

// A registration search that fails as told, for as long as it is installed.
struct FailingSearch {
    enum Failure { OutOfMemory, Error };
    explicit FailingSearch(Failure f)
    {
        failure() = f;
        ComparePlaneDXF::registrationSearch = [](DxfDrawing &, const QPointF &, const QPointF &,
                                                  const QVector<QPointF> &, double, bool,
                                                  const FitCancel *) -> Registration {
            if (failure() == OutOfMemory)
                throw std::bad_alloc();
            throw std::runtime_error("search failed");
        };
    }
    ~FailingSearch() { ComparePlaneDXF::registrationSearch = &registerDrawing; }
    static Failure &failure()
    {
        static Failure f = OutOfMemory;
        return f;
    }
};

} // namespace

class TestDxfCompare : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each test starts in millimetres, also after one in micrometres failed
    // before it could switch back.
    void init() { Settings::instance().axis_unit = 0; }
    void registration_data();
    void registration();
    void throughTheContourWindow();
    void oneItemPaintsTheEntities();
    void failedImportWaits_data();
    void failedImportWaits();
    void everyEntityHasItsMarkers();
    void largeDrawingRegistersBehindTheBusyWindow();
    void cancelLeavesTheDrawingWhereItWas_data();
    void cancelLeavesTheDrawingWhereItWas();
    void failedSearchIsReported_data();
    void failedSearchIsReported();
    void oneDrawingPerPlot();
    void followsTheDisplayUnit();
    void sameRegistrationInEitherUnit();
    void picksApartAreReported();
};

// The outline as a DXF turned by a known angle and shifted; after the two
// clicks the drawing lies on the trace and its first edge is level again.
void TestDxfCompare::registration_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<double>("factor");
    QTest::newRow("8°, mm") << 8.0 << 1.0;
    QTest::newRow("upside down, mm") << 187.0 << 1.0;
    QTest::newRow("-5°, µm") << -5.0 << 1000.0;
}

void TestDxfCompare::registration()
{
    QFETCH(double, degrees);
    QFETCH(double, factor);
    Settings::instance().axis_unit = factor == 1 ? 0 : 1;

    Bench bench(factor);
    std::unique_ptr<ComparePlaneDXF> element(
        bench.import(bench.writeFile("outline.dxf", DxfOutline::dxf(degrees, kShift))));
    QSignalSpy status(element.get(), &Measurement::statusText);
    QSignalSpy finished(element.get(), &Measurement::measumentFinished);
    QCOMPARE(bench.prompts.calls().size(), 1);
    QCOMPARE(bench.prompts.calls().first().title, QStringLiteral("Импортировать чертёж"));
    QCOMPARE(element->name(), QStringLiteral("Чертёж DXF"));
    QCOMPARE(plotDrawing(&bench.plot)->drawing.size(), DxfOutline::pieces().size());
    QCOMPARE(element->markerCount, 6 * 12 + 2 * 13);

    const QPointF onTrace = QPointF(5, 3) * factor;
    const QPointF onDrawing = DxfOutline::turned(QPointF(5, 3), degrees, kShift) * factor;
    bench.click(onTrace);
    QCOMPARE(element->registrationStage, qint16(1));
    QCOMPARE(element->tracePoint, onTrace);
    bench.click(onDrawing);
    QCOMPARE(element->registrationStage, qint16(2));
    QCOMPARE_REL(element->drawingPoint.x(), onDrawing.x(), 1e-12);
    QCOMPARE_REL(element->drawingPoint.y(), onDrawing.y(), 1e-12);

    QVERIFY(element->isFinished());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(element->markerCount, 0);
    QVERIFY(element->reperPoints.isEmpty());
    QStringList texts;
    for (const auto &args : qAsConst(status))
        texts << args.first().toString();
    QVERIFY(texts.contains(QStringLiteral("Выберите соответствующую ей точку на чертеже")));
    QCOMPARE(texts.last(), QString());

    QVERIFY2(bench.meanDistance() < 0.001 * factor, qPrintable(QString::number(bench.meanDistance())));
    const QVector<double> first = plotDrawing(&bench.plot)->drawing.dxfEntityParams[0];
    QVERIFY(std::abs(first[0]) < 0.01 * factor && std::abs(first[1]) < 0.01 * factor);
    QVERIFY(std::abs(first[2] - 4 * factor) < 0.01 * factor && std::abs(first[3]) < 0.01 * factor);

    // Further presses change nothing.
    const auto params = plotDrawing(&bench.plot)->drawing.dxfEntityParams;
    bench.click(onDrawing);
    QCOMPARE(plotDrawing(&bench.plot)->drawing.dxfEntityParams, params);

    fitAxes(&bench.plot);
    saveScreenshot(&bench.plot, QStringLiteral("dxf_registered_%1").arg(QTest::currentDataTag()).replace(' ', '_'));
    Settings::instance().axis_unit = 0;
}

// Kind 33 armed in the contour window: a press creates the element, which asks
// for the file; the next two presses register the drawing. Deleting the
// element disables the deviation button and takes the drawing away.
void TestDxfCompare::throughTheContourWindow()
{
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    QFile file(dir.filePath("outline.dxf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(DxfOutline::dxf(-9, QPointF(4, 5)));
    file.close();
    const QVector<QPointF> points = DxfOutline::trace(0.2, 1);
    ContourWindowStandIn w({ makeTrace(points) });
    w.plot()->curve(0)->setPen(QPen(QColor(Settings::instance().preferenses.graph_color), 1));
    w.arm(COMPARE_PLANE_DXF);

    prompts.expect(ScriptedPrompts::OpenFile, file.fileName());
    w.click(QPointF(1, 0));
    QVERIFY(prompts.allAnswered());
    QCOMPARE(w.manager()->measurementList().size(), 1);
    auto *element = qobject_cast<ComparePlaneDXF *>(w.manager()->measurementList().first());
    QVERIFY(element);
    QVERIFY(w.errorPlaneButton()->isEnabled());
    QCoreApplication::processEvents();
    QCOMPARE(w.statusMessage(), QStringLiteral("Выберите первую точку на трассе"));
    QCOMPARE(w.rowOf(element)->text(0), QStringLiteral("Чертёж DXF"));
    QCOMPARE(w.rowOf(element)->parent()->text(0), QStringLiteral("ДОП. ГЕОМЕТРИИ"));
    fitAxes(w.plot());
    w.screenshot(QStringLiteral("dxf_imported"));

    const QPointF onTrace(9, 3);
    w.move(onTrace);
    w.click(onTrace);
    QCOMPARE(w.statusMessage(), QStringLiteral("Выберите соответствующую ей точку на чертеже"));
    const QPointF onDrawing = DxfOutline::turned(onTrace, -9, QPointF(4, 5));
    w.move(onDrawing);
    w.click(onDrawing);
    QVERIFY(element->isFinished());
    QCOMPARE(w.statusMessage(), QString());
    const double mean = drawingFitError(plotDrawing(w.plot())->drawing, points) / points.size();
    QVERIFY2(mean < 0.001, qPrintable(QString::number(mean)));
    fitAxes(w.plot());
    w.screenshot(QStringLiteral("dxf_registered_in_window"));

    w.deleteMeasurement(element->id());
    QVERIFY(!w.errorPlaneButton()->isEnabled());
    QCOMPARE(distanceToDrawing(w.plot(), 9, 3), 1e100);
}

// One plot item paints every entity of a drawing where it stands: lines, arcs
// (one through 0° as well), circles and ellipses; a second import is a
// drawing of its own, with its own item. Deleting the element takes the item
// and the markers off the plot.
void TestDxfCompare::oneItemPaintsTheEntities()
{
    Bench bench;
    bench.plot.xAxis->setRange(-3, 11);
    bench.plot.yAxis->setRange(-3, 10);
    const int items = bench.plot.itemCount(), curves = bench.plot.plottableCount();
    std::unique_ptr<ComparePlaneDXF> element(bench.import(bench.writeFile("items.dxf",
        DxfText::file(DxfText::line(0, 0, 10, 5) + DxfText::arc(0, 0, 2, 0, 90) + DxfText::arc(1, 1, 1, 300, 60)
            + DxfText::circle(3, 3, 1) + DxfText::ellipse(5, 5, 0, 4, 0.5)))));
    QCOMPARE(bench.plot.itemCount(), items + 1);
    QCOMPARE(bench.plot.plottableCount(), curves + 1); // the markers
    QVERIFY(plotDrawing(&bench.plot)->item);
    QCOMPARE(plotDrawing(&bench.plot)->item->layer()->name(), QStringLiteral("overlay"));
    QCOMPARE(element->markerCount, 12 + 13 + 13 + 26 + 26);
    std::unique_ptr<ComparePlaneDXF> second(
        bench.import(bench.writeFile("more.dxf", DxfText::file(DxfText::line(-2, 8, 2, 8)))));
    bench.plot.xAxis->setRange(-3, 11);
    bench.plot.yAxis->setRange(-3, 10);
    QCOMPARE(bench.plot.itemCount(), items + 2);
    QCOMPARE(second->markerCount, 12);
    QCOMPARE(second->drawingData()->drawing.size(), 1);
    QCOMPARE(element->drawingData()->drawing.size(), 5);

    // The markers are hidden so that only the drawing's own pixels count.
    element->markers()->setVisible(false);
    second->markers()->setVisible(false);
    const QImage image = bench.plot.toPixmap().toImage();
    const QColor colour(Settings::instance().preferenses.visual_objects_color);
    auto drawnNear = [&](double x, double y) {
        const QPoint at = pixelOf(&bench.plot, x, y);
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                const QColor c = image.pixelColor(at + QPoint(dx, dy));
                if (std::abs(c.red() - colour.red()) < 60 && std::abs(c.green() - colour.green()) < 60
                    && std::abs(c.blue() - colour.blue()) < 60)
                    return true;
            }
        }
        return false;
    };
    const double r45 = std::sqrt(2.0);
    QVERIFY(drawnNear(5, 2.5)); // the line's middle
    QVERIFY(drawnNear(r45, r45)); // the arc from 0° to 90° at 45°
    QVERIFY(!drawnNear(-r45, -r45)); // ... but not at 225°
    QVERIFY(drawnNear(1 + std::sqrt(0.75), 1.5)); // the arc from 300° to 60° at 30°
    QVERIFY(!drawnNear(0, 1)); // ... but not at 180°
    QVERIFY(drawnNear(3, 4) && drawnNear(3, 2)); // the circle's top and bottom
    QVERIFY(drawnNear(7, 5) && drawnNear(5, 9)); // the ellipse, 2 by 4
    QVERIFY(drawnNear(0, 8)); // the second file's line
    QVERIFY(!drawnNear(8, 8));
    saveScreenshot(&bench.plot, QStringLiteral("dxf_one_item"));

    // Deleting the first leaves the second's drawing as it was.
    element.reset();
    QCOMPARE(bench.plot.itemCount(), items + 1);
    QCOMPARE(bench.plot.plottableCount(), curves + 1); // the second element's markers
    QCOMPARE(distanceToDrawing(&bench.plot, 0, 8.5), 0.5);
    QVERIFY(distanceToDrawing(&bench.plot, 10, 5) > 3);
    second.reset();
    QCOMPARE(bench.plot.itemCount(), items);
    QCOMPARE(bench.plot.plottableCount(), curves);
    QVERIFY(!plotDrawing(&bench.plot));
    QCOMPARE(distanceToDrawing(&bench.plot, 0, 0), 1e100);
}

// A cancelled question stays silent; a file that cannot be read or holds
// nothing to draw is reported. Either way the element waits, unfinished, and
// presses do nothing.
void TestDxfCompare::failedImportWaits_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("reported");
    QTest::newRow("cancelled") << QString() << QByteArray() << false;
    QTest::newRow("missing file") << QStringLiteral("missing.dxf") << QByteArray() << true;
    QTest::newRow("points only") << QStringLiteral("points.dxf") << DxfText::file(DxfText::point(1, 1)) << true;
    QTest::newRow("garbage") << QStringLiteral("garbage.dxf") << QByteArray("\x7f\x45\x4c\x46\x02\x01\n\n") << true;
    QTest::newRow("one entity too many") << QStringLiteral("huge.dxf")
                                         << DxfText::file(DxfText::longPolyline(kMaxDxfEntities + 2)) << true;
}

void TestDxfCompare::failedImportWaits()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, text);
    QFETCH(bool, reported);

    Bench bench;
    QString path;
    if (!file.isEmpty())
        path = text.isEmpty() ? bench.dir.filePath(file) : bench.writeFile(file, text);
    const int items = bench.plot.itemCount();
    std::unique_ptr<ComparePlaneDXF> element(bench.import(path, reported));
    QCOMPARE(bench.plot.itemCount(), items); // nothing drawn
    QVERIFY(bench.prompts.allAnswered());
    QCOMPARE(bench.prompts.unexpectedCount(), 0);
    if (reported)
        QVERIFY(bench.prompts.calls().last().text.contains(file));

    bench.click(bench.points[10]);
    bench.click(bench.points[20]);
    QCOMPARE(element->registrationStage, qint16(0));
    QVERIFY(!element->isFinished());
    QVERIFY(!plotDrawing(&bench.plot));
}

// Every marker of every entity is on the one markers curve, in key order,
// however many entities there are.
void TestDxfCompare::everyEntityHasItsMarkers()
{
    Bench bench;
    QByteArray circles;
    for (int i = 0; i < 100; ++i)
        circles += DxfText::circle(i, 0, 0.4);
    std::unique_ptr<ComparePlaneDXF> element(bench.import(bench.writeFile("circles.dxf", DxfText::file(circles))));
    QCOMPARE(plotDrawing(&bench.plot)->drawing.size(), 100);
    QCOMPARE(element->markerCount, 100 * 26);
    const auto data = element->markers()->data();
    QCOMPARE(data->size(), 100 * 26);
    QCOMPARE(data->constBegin()->key, -0.4);
    QCOMPARE((data->constEnd() - 1)->key, 99.4);
    for (auto it = data->constBegin() + 1; it != data->constEnd(); ++it)
        QVERIFY((it - 1)->key <= it->key);
}

// Two contour plots each hold their own drawing; deleting one element leaves
// the other plot's drawing and items alone.
void TestDxfCompare::oneDrawingPerPlot()
{
    Bench first;
    Bench second(1, &first.prompts);
    std::unique_ptr<ComparePlaneDXF> a(
        first.import(first.writeFile("a.dxf", DxfText::file(DxfText::line(0, 0, 1, 0)))));
    std::unique_ptr<ComparePlaneDXF> b(
        second.import(second.writeFile("b.dxf", DxfText::file(DxfText::circle(0, 0, 1) + DxfText::line(0, 5, 1, 5)))));
    QCOMPARE(plotDrawing(&first.plot)->drawing.size(), 1);
    QCOMPARE(plotDrawing(&second.plot)->drawing.size(), 2);
    QCOMPARE(distanceToDrawing(&first.plot, 0.5, 2), 2.0);
    QCOMPARE(distanceToDrawing(&second.plot, 0, 3), 2.0);

    const int secondItems = second.plot.itemCount();
    a.reset();
    QCOMPARE(distanceToDrawing(&first.plot, 0.5, 2), 1e100);
    QCOMPARE(distanceToDrawing(&second.plot, 0, 3), 2.0);
    QCOMPARE(second.plot.itemCount(), secondItems);
    QVERIFY(plotDrawing(&second.plot)->item);
    QCOMPARE(plotDrawing(&second.plot)->item->parentPlot(), &second.plot);
}

// After a change of the display unit the drawing and the registration point
// scale by the ratio of the unit factors, once, whatever point was registered.
void TestDxfCompare::followsTheDisplayUnit()
{
    Settings::instance().axis_unit = 0;
    Bench bench;
    std::unique_ptr<ComparePlaneDXF> element(
        bench.import(bench.writeFile("outline.dxf", DxfOutline::dxf(0, QPointF(0.5, 0.25)))));
    // The first point of the trace lies at x = 0: the factor cannot come from its x.
    bench.click(QPointF(0, 0));
    bench.click(QPointF(0.5, 0.25));
    QVERIFY(element->isFinished());
    const auto before = plotDrawing(&bench.plot)->drawing.dxfEntityParams;

    Settings::instance().axis_unit = 1;
    QCPCurveDataContainer scaled;
    for (const QPointF &p : qAsConst(bench.points))
        scaled.add(QCPCurveData(scaled.size(), p.x() * 1000, p.y() * 1000));
    bench.trace->data()->set(scaled);
    element->calculate();
    element->calculate();
    const auto after = plotDrawing(&bench.plot)->drawing.dxfEntityParams;
    for (int i = 0; i < before.size(); ++i) {
        const int lengths = plotDrawing(&bench.plot)->drawing.dxfEntityTypes[i] == DxfType::circle() ? 3 : 4;
        for (int k = 0; k < before[i].size(); ++k)
            QCOMPARE(after[i][k], k < lengths ? before[i][k] * 1000 : before[i][k]);
    }
    QCOMPARE(element->tracePoint, QPointF(0, 0));
    QCOMPARE(plotDrawing(&bench.plot)->unitFactor, 1000.0);
    Settings::instance().axis_unit = 0;
}

// A large drawing is registered off the GUI thread: the second click returns
// at once with the busy window up, and the result lands on the trace later.
void TestDxfCompare::largeDrawingRegistersBehindTheBusyWindow()
{
    Bench bench;
    std::unique_ptr<ComparePlaneDXF> element(
        bench.import(bench.writeFile("dense.dxf", denseOutline(0.05, 6, kShift))));
    QVERIFY(plotDrawing(&bench.plot)->drawing.size() > ComparePlaneDXF::kBackgroundEntities);
    QSignalSpy finished(element.get(), &Measurement::measumentFinished);
    QSignalSpy status(element.get(), &Measurement::statusText);

    // The outline's start, on the trace and on the drawing.
    bench.click(QPointF(0, 0));
    bench.click(kShift);
    QCOMPARE(element->registrationStage, qint16(2));
    QVERIFY(element->isRegistering());
    QVERIFY(bench.host.busy());
    // The busy window says what happens; the status bar no longer asks for a point.
    QCOMPARE(bench.host.busyText, QStringLiteral("Идёт совмещение чертежа"));
    QCOMPARE(status.last().first().toString(), QString());
    QCOMPARE(finished.count(), 0);
    bench.click(kShift); // ignored while the search runs

    QTRY_VERIFY_WITH_TIMEOUT(!element->isRegistering(), 30000);
    QCOMPARE(finished.count(), 1);
    QVERIFY(element->isFinished());
    QCOMPARE(element->markerCount, 0);
    QVERIFY2(bench.meanDistance() < 0.001, qPrintable(QString::number(bench.meanDistance())));
    QVERIFY(!bench.host.busy());
    QCOMPARE(bench.host.busyShown, 1);
    QVERIFY(!element->markers());
}

// "Отмена" of the busy window, pressed while the search runs or once it has
// ended but before its result is applied on the window's thread: the drawing
// and its markers stay where they were and the element waits for the first
// click again; a second registration then goes through. An element deleted
// while its search runs waits for it to stop.
void TestDxfCompare::cancelLeavesTheDrawingWhereItWas_data()
{
    QTest::addColumn<bool>("searchEnded");
    QTest::newRow("while the search runs") << false;
    QTest::newRow("before the result is applied") << true;
}

void TestDxfCompare::cancelLeavesTheDrawingWhereItWas()
{
    QFETCH(bool, searchEnded);
    Bench bench;
    std::unique_ptr<ComparePlaneDXF> element(
        bench.import(bench.writeFile("dense.dxf", denseOutline(0.05, 6, kShift))));
    QSignalSpy finished(element.get(), &Measurement::measumentFinished);
    QSignalSpy status(element.get(), &Measurement::statusText);
    const auto params = plotDrawing(&bench.plot)->drawing.dxfEntityParams;
    const int markers = element->markerCount;

    bench.click(QPointF(0, 0));
    bench.click(kShift);
    QVERIFY(element->isRegistering());
    if (searchEnded) {
        // The search ends in the pool; its result waits in the event queue.
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(element->isRegistering());
    }
    QVERIFY(bench.host.busy());
    bench.host.cancelBusy();
    QTRY_VERIFY_WITH_TIMEOUT(!element->isRegistering(), 30000);
    QVERIFY(element->markers() && !element->markers()->isPickable());
    checkWaitsAgainThenRegisters(bench, element.get(), params, markers, finished, status);
    if (QTest::currentTestFailed())
        return;

    std::unique_ptr<ComparePlaneDXF> other(
        bench.import(bench.writeFile("dense.dxf", denseOutline(0.05, 6, kShift))));
    bench.click(QPointF(0, 0));
    bench.click(kShift);
    QVERIFY(other->isRegistering());
    QVERIFY(bench.host.busy());
    other.reset();
    QVERIFY(!bench.host.busy());
}

// A search that throws (out of memory, or any other error), inside the click
// or off the window's thread, comes back as a message: the drawing and its
// markers stay, the element waits for the first click again, and a later
// registration goes through.
void TestDxfCompare::failedSearchIsReported_data()
{
    QTest::addColumn<bool>("large");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("text");
    const QString memory = QStringLiteral("Не удалось совместить чертёж с трассой: не хватило памяти. "
                                          "Чертёж оставлен на месте.");
    const QString other = QStringLiteral("Не удалось совместить чертёж с трассой. Чертёж оставлен на месте.");
    QTest::newRow("inside the click, out of memory") << false << int(FailingSearch::OutOfMemory) << memory;
    QTest::newRow("in the pool, out of memory") << true << int(FailingSearch::OutOfMemory) << memory;
    QTest::newRow("in the pool, another error") << true << int(FailingSearch::Error) << other;
}

void TestDxfCompare::failedSearchIsReported()
{
    QFETCH(bool, large);
    QFETCH(int, failure);
    QFETCH(QString, text);

    Bench bench;
    const QByteArray file = large ? denseOutline(0.05, 6, kShift) : DxfOutline::dxf(0, kShift);
    std::unique_ptr<ComparePlaneDXF> element(bench.import(bench.writeFile("outline.dxf", file)));
    QCOMPARE(plotDrawing(&bench.plot)->drawing.size() > ComparePlaneDXF::kBackgroundEntities, large);
    QSignalSpy finished(element.get(), &Measurement::measumentFinished);
    QSignalSpy status(element.get(), &Measurement::statusText);
    const auto params = plotDrawing(&bench.plot)->drawing.dxfEntityParams;
    const int markers = element->markerCount;
    {
        FailingSearch failing { FailingSearch::Failure(failure) };
        bench.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        bench.click(QPointF(0, 0));
        bench.click(kShift);
        QTRY_VERIFY_WITH_TIMEOUT(!element->isRegistering(), 30000);
    }
    QVERIFY(bench.prompts.allAnswered());
    QCOMPARE(bench.prompts.unexpectedCount(), 0);
    QCOMPARE(bench.prompts.calls().last().title, QStringLiteral("Чертёж DXF"));
    QCOMPARE(bench.prompts.calls().last().text, text);
    QVERIFY(logText().contains(QStringLiteral("DXF registration failed")));
    checkWaitsAgainThenRegisters(bench, element.get(), params, markers, finished, status);
}

// The outline drawn upside down, registered from picks an operator makes at
// the whole-trace view: the trace point one point before the corner at 4 mm,
// the drawing's corner marker. The same picks in the mm and the µm display
// leave the drawing at the same place, to 0.01 µm of mean deviation.
void TestDxfCompare::sameRegistrationInEitherUnit()
{
    QVector<double> meanMicrometres;
    for (const double factor : { 1.0, 1000.0 }) {
        Settings::instance().axis_unit = factor == 1 ? 0 : 1;
        Bench bench(factor);
        std::unique_ptr<ComparePlaneDXF> element(
            bench.import(bench.writeFile("outline.dxf", DxfOutline::dxf(180, QPointF(20, 4)))));
        bench.click(QPointF(3.8, 0) * factor);
        QCOMPARE(element->registrationStage, qint16(1));
        bench.click(QPointF(16, 4) * factor);
        QVERIFY(element->isFinished());
        meanMicrometres << bench.meanDistance() * 1000 / factor;
    }
    Settings::instance().axis_unit = 0;
    QVERIFY2(std::abs(meanMicrometres[0] - meanMicrometres[1]) < 0.01,
        qPrintable(QStringLiteral("%1 µm in mm, %2 µm in µm").arg(meanMicrometres[0]).arg(meanMicrometres[1])));
    QVERIFY(meanMicrometres[1] < 0.01);
}

// Picks that do not belong together (the trace's start, the drawing's point
// of the outline's middle): the fit would pull the drawing far from the
// picked points. That is reported, the drawing and its markers stay where
// they were, and two right picks then register it.
void TestDxfCompare::picksApartAreReported()
{
    Bench bench;
    std::unique_ptr<ComparePlaneDXF> element(bench.import(bench.writeFile("outline.dxf", DxfOutline::dxf(0, kShift))));
    QSignalSpy status(element.get(), &Measurement::statusText);
    QSignalSpy finished(element.get(), &Measurement::measumentFinished);
    const auto params = plotDrawing(&bench.plot)->drawing.dxfEntityParams;
    const int markers = element->markerCount;

    bench.click(QPointF(0, 0));
    bench.prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
    bench.click(QPointF(9, 3) + kShift);
    QVERIFY(bench.prompts.allAnswered());
    QCOMPARE(bench.prompts.calls().size(), 2);
    QCOMPARE(bench.prompts.calls().last().title, QStringLiteral("Чертёж DXF"));
    QVERIFY2(bench.prompts.calls().last().text.contains(QStringLiteral("не соответствуют")),
        qPrintable(bench.prompts.calls().last().text));
    QVERIFY(logText().contains(QStringLiteral("DXF registration failed: the fit moved the picked points")));
    checkWaitsAgainThenRegisters(bench, element.get(), params, markers, finished, status);
}

VANTOR_TEST_MAIN(TestDxfCompare)
#include "tst_dxfcompare.moc"
