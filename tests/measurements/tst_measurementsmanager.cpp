// The measurement manager through the contour window's stand-in: real mouse
// events on a real plot of contour traces, with fake kinds in its tables.

#include "support/contourwindowstandin.h"
#include "support/fakemeasurement.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "measurements/plotsegmentselection.h"
#include "measurements/reperpoint.h"
#include "settings/settings.h"

#include <QPushButton>
#include <QSignalSpy>
#include <cmath>
#include <memory>

using namespace ContourTest;

namespace {

QString captionOf(int kind)
{
    using namespace MeasurementCaption;
    switch (kind) {
    case CIRCUMF_AG:
    case CIRCUMF_AG_SPECIFIED:
        return kCircle;
    case CLICK_HORIZONTAL_LINE:
        return kHorizontalLine;
    case CLICK_VERTICAL_LINE:
        return kVerticalLine;
    case CLICK_DOUBLE_LINE:
        return kTwoPointLine;
    case THREAD:
        return kThread;
    case COMPARE_PLANE_DXF:
        return kDrawing;
    case AG_TEXT_PLACEMENT:
        return QStringLiteral("Текст");
    default:
        return QStringLiteral("Фейк %1").arg(kind);
    }
}

int typeCodeOf(int kind)
{
    return kind >= 14 && kind <= 17 ? 13 : kind;
}

bool isElement(int kind)
{
    return (kind >= 22 && kind <= 29) || kind == 32;
}

// Distance kinds carry two points, angle, radius and extremum kinds one.
int pointCountOf(int kind)
{
    if (kind <= 3)
        return 2;
    if ((kind >= 4 && kind <= 8) || kind == 30 || kind == 31)
        return 1;
    return 0;
}

FakeMeasurement *makeFake(int kind, PlotWidget *plot)
{
    auto *m = new FakeMeasurement(typeCodeOf(kind), plot, pointCountOf(kind), captionOf(kind));
    m->isMeasurement = !isElement(kind);
    m->needsSegment = !isElement(kind) && kind != COMPARE_PLANE_DXF;
    return m;
}

struct IntersectionCall {
    IntersectionKind kind;
    Measurement *a;
    Measurement *b;
};

// A stand-in on two traces with a fake for every kind, fake intersection
// functions (each returns its own points) and fake line copies.
struct Window {
    Window()
        : w({ makeTrace(100, 0, 1, [](double x) { return 10 + 5 * std::sin(x / 8); }),
            makeTrace(100, 0, 1, [](double x) { return -10 + 0.1 * x; }) })
    {
        MeasurementKindTable &t = w.manager()->kindTable();
        for (int kind = 0; kind <= ERROR_PLANE; ++kind)
            t.creators[kind] = [this, kind](const MeasurementContext &c) {
                contexts << c;
                return makeFake(kind, c.plot);
            };
        const QList<QPair<IntersectionKind, QList<QPointF>>> answers
            = { { IntersectionKind::CircleCircle, { { 1, 1 }, { 2, 2 } } },
                  { IntersectionKind::CircleLine, { { 3, 3 }, { 4, 4 } } },
                  { IntersectionKind::CircleVerticalLine, { { 5, 5 }, { 6, 6 } } },
                  { IntersectionKind::VerticalLineLine, { { 7, 7 } } }, { IntersectionKind::LineLine, { { 8, 8 } } } };
        for (const auto &answer : answers) {
            const IntersectionKind k = answer.first;
            const QList<QPointF> points = answer.second;
            t.intersections[k] = [this, k, points](Measurement *a, Measurement *b) {
                calls.append({ k, a, b });
                return points;
            };
        }
        for (int kind : { 24, 25, 26 }) {
            LineCopier copier;
            copier.coefficients = [](const Measurement *m) {
                const auto *fake = dynamic_cast<const FakeMeasurement *>(m);
                return fake ? fake->coefficients : QVector<double>();
            };
            copier.create = [kind](PlotWidget *plot, const QVector<double> &coefficients) {
                FakeMeasurement *m = makeFake(kind, plot);
                m->coefficients = coefficients;
                m->finish();
                return m;
            };
            t.lineCopiers[kind] = copier;
        }
    }

    MeasurementsManager *manager() const { return w.manager(); }
    FakeMeasurement *current() const { return static_cast<FakeMeasurement *>(manager()->currentMeasurement()); }
    FakeMeasurement *last() const { return static_cast<FakeMeasurement *>(manager()->measurementList().last()); }

    // A finished element of a click kind: a press creates it, the next one finishes it.
    FakeMeasurement *placeElement(int kind, const QPointF &at = QPointF(50, 30))
    {
        w.arm(kind);
        // The circles take a stretch of the trace; a click alone places nothing.
        if (minimumSegmentPoints(kind) > 0)
            w.drag(0, 10, 20);
        else
            w.click(at);
        FakeMeasurement *m = current();
        w.click(at);
        return m;
    }

    // A finished segment kind: a drag along trace 0, then a press places it.
    FakeMeasurement *placeMeasurement(int kind, int from = 10, int to = 20)
    {
        w.arm(kind);
        w.drag(0, from, to);
        FakeMeasurement *m = current();
        w.click(QPointF(50, 30));
        return m;
    }

    ContourWindowStandIn w;
    QList<MeasurementContext> contexts;
    QList<IntersectionCall> calls;
};

} // namespace

class TestMeasurementsManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void setKindEffects_data();
    void setKindEffects();
    void pressCycle();
    void unlistedFinishedIsDeletedByTheNextPress();
    void escape();
    void newKindDropsTheUnfinished();
    void droppedWithoutAnAnswerIsStillDeletedOnce();
    void removalAndTheDrawingButton();
    void parameterConversion_data();
    void parameterConversion();
    void wiring();
    void handlerOrder();
    void intersections_data();
    void intersections();
    void intersectionPairs();
    void equidistant();
    void equidistantReplacesTheCurrent();
    void destructionDeletesEachOnce();
};

void TestMeasurementsManager::initTestCase()
{
    qRegisterMetaType<Measurement *>();
}

void TestMeasurementsManager::init()
{
    Settings::instance().preferenses.alternative_measurement = false;
    Settings::instance().axis_unit = 0;
}

void TestMeasurementsManager::setKindEffects_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("alternative");
    QTest::addColumn<bool>("onlyRangeSelection");
    QTest::addColumn<bool>("markerVisible");
    QTest::addColumn<bool>("segmentSelection");
    QTest::newRow("2") << 2 << false << true << true << true;
    QTest::newRow("24 click line") << 24 << false << true << true << false;
    QTest::newRow("32 text") << 32 << false << false << false << false;
    QTest::newRow("35 none") << 35 << false << false << false << false;
    for (int kind : { 0, 1, 3 }) {
        QTest::addRow("%d by clicks", kind) << kind << false << true << true << false;
        QTest::addRow("%d by segments", kind) << kind << true << true << true << true;
    }
}

void TestMeasurementsManager::setKindEffects()
{
    QFETCH(int, kind);
    QFETCH(bool, alternative);
    QFETCH(bool, onlyRangeSelection);
    QFETCH(bool, markerVisible);
    QFETCH(bool, segmentSelection);
    Settings::instance().preferenses.alternative_measurement = alternative;
    Window win;
    PlotWidget *plot = win.w.plot();
    const PlotWidget::Interactions present(PlotWidget::iRangeDrag | PlotWidget::iRangeZoom);
    plot->setInteractions(present);

    win.w.arm(kind);
    const PlotWidget::Interactions expected = onlyRangeSelection ? PlotWidget::Interactions(PlotWidget::iRangeSelection)
                                                                 : present | PlotWidget::iRangeSelection;
    QCOMPARE(plot->interactions(), expected);
    QVERIFY(plot->selectionMarker());
    QCOMPARE(plot->selectionMarker()->visible(), markerVisible);
    QCOMPARE(win.manager()->selection()->isEnabled(), segmentSelection);
    QCOMPARE(win.manager()->segmentSelectionDisabled(), !segmentSelection);
    QCOMPARE(plot->cursor().shape(), kind == 32 ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void TestMeasurementsManager::pressCycle()
{
    Window win;
    QSignalSpy changed(win.manager(), &MeasurementsManager::measurementChanged);
    win.w.arm(MAX_MIN_DISTANCE);

    win.w.press(win.w.tracePoint(0, 10));
    FakeMeasurement *first = win.current();
    QVERIFY(first);
    QCOMPARE(changed.count(), 1);
    QVERIFY(win.w.rowOf(first));
    QCOMPARE(win.w.rowOf(first)->parent(), win.w.tree()->sectionItem(MeasurementTreeWidget::Lengths));

    // While it is placed, presses create nothing.
    first->finishOnPress = false;
    for (int i = 11; i <= 20; ++i)
        win.w.move(win.w.tracePoint(0, i), Qt::LeftButton);
    win.w.release(win.w.tracePoint(0, 20));
    QCOMPARE(first->segment(0)->end, quint64(20));
    // Its row follows every recalculation.
    QCOMPARE(win.w.rowOf(first)->data(1, Qt::UserRole).toDouble(), 10.0);
    win.w.click(QPointF(40, 30));
    win.w.click(QPointF(60, 30));
    QCOMPARE(win.manager()->measurementList().size(), 1);
    QCOMPARE(win.current(), first);

    first->finish();
    // After it finished, the next press forgets it and creates the next one.
    win.w.press(win.w.tracePoint(0, 40));
    FakeMeasurement *second = win.current();
    QVERIFY(second && second != first);
    QCOMPARE(second->id(), first->id() + 1);
    QCOMPARE(win.manager()->measurementList(), QList<Measurement *>({ first, second }));
    QCOMPARE(win.manager()->measurementById(first->id()), first);
    QVERIFY(!win.manager()->measurementById(12345));
    QCOMPARE(win.w.rowCount(), 2);
}

void TestMeasurementsManager::unlistedFinishedIsDeletedByTheNextPress()
{
    Window win;
    win.w.arm(LAY_FLAT);
    win.w.drag(0, 10, 20);
    QPointer<FakeMeasurement> levelling = win.current();
    QVERIFY(levelling);
    QVERIFY(win.manager()->measurementList().isEmpty());
    QCOMPARE(win.w.rowCount(), 0);
    win.w.click(QPointF(50, 30)); // finishes it
    QVERIFY(levelling->isFinished());
    win.w.press(win.w.tracePoint(0, 30));
    QVERIFY(!levelling);
    QVERIFY(win.current());
    QVERIFY(win.manager()->measurementList().isEmpty());
}

void TestMeasurementsManager::escape()
{
    Window win;
    PlotWidget *plot = win.w.plot();
    QSignalSpy dropped(win.manager(), &MeasurementsManager::deleteMeasurement);

    // Nothing to drop: nothing happens.
    win.w.pressEscape();
    QCOMPARE(dropped.count(), 0);

    win.w.arm(REGULAR_ANGLE);
    win.w.press(win.w.tracePoint(0, 10));
    QPointer<FakeMeasurement> angle = win.current();
    const int id = angle->id();
    win.w.move(win.w.tracePoint(0, 14), Qt::LeftButton);
    const int deletedBefore = FakeMeasurement::deletedCount();
    plot->setSelectionRectMode(PlotWidget::srmSelect);
    const PlotWidget::Interactions flags = plot->interactions();

    win.w.pressEscape();
    QCOMPARE(dropped.count(), 1);
    QVERIFY(!angle);
    QCOMPARE(FakeMeasurement::deletedCount(), deletedBefore + 1);
    QVERIFY(!win.w.rowOf(id));
    QVERIFY(win.manager()->measurementList().isEmpty());
    QVERIFY(!win.manager()->currentMeasurement());
    // The plot's modes are back, with a visible marker.
    QCOMPARE(plot->selectionRectMode(), PlotWidget::srmSelect);
    QCOMPARE(plot->interactions(), flags);
    QVERIFY(plot->selectionMarker() && plot->selectionMarker()->visible());

    // A finished measurement stays.
    FakeMeasurement *placed = win.placeMeasurement(REGULAR_ANGLE);
    win.w.pressEscape();
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(win.manager()->measurementById(placed->id()), placed);

    // An unlisted one (levelling) is deleted by the manager itself.
    win.w.arm(LAY_FLAT);
    win.w.press(win.w.tracePoint(0, 50));
    QPointer<FakeMeasurement> levelling = win.current();
    QVERIFY(levelling && levelling != placed);
    win.w.pressEscape();
    QVERIFY(!levelling);
    QCOMPARE(FakeMeasurement::doubleDeletes(), 0);
}

void TestMeasurementsManager::newKindDropsTheUnfinished()
{
    Window win;
    QSignalSpy dropped(win.manager(), &MeasurementsManager::deleteMeasurement);
    win.w.arm(VERTICAL_ANGLE);
    win.w.press(win.w.tracePoint(0, 10));
    QPointer<FakeMeasurement> angle = win.current();
    const int id = angle->id();

    // Re-arming the same kind keeps it.
    win.w.arm(VERTICAL_ANGLE);
    QVERIFY(angle);
    QCOMPARE(dropped.count(), 0);

    win.w.arm(CLICK_HORIZONTAL_LINE);
    QCOMPARE(dropped.count(), 1);
    QVERIFY(!angle);
    QVERIFY(!win.w.rowOf(id));
    QVERIFY(!win.manager()->selection()->isEnabled());
    QVERIFY(win.w.plot()->selectionMarker()->visible());
}

void TestMeasurementsManager::droppedWithoutAnAnswerIsStillDeletedOnce()
{
    // A window that does not answer deleteMeasurement.
    QWidget parent;
    auto *plot = new PlotWidget(&parent);
    plot->resize(600, 400);
    std::unique_ptr<ContourTrace> trace(makeTrace(50, 0, 1, [](double x) { return x; }));
    addTraceCurve(plot, trace.get());
    fitAxes(plot);
    MeasurementsManager manager(plot, &parent);
    manager.setTraces({ trace.get() });
    manager.kindTable().creators[MAX_MIN_DISTANCE]
        = [](const MeasurementContext &c) { return makeFake(MAX_MIN_DISTANCE, c.plot); };
    manager.setKind(MAX_MIN_DISTANCE, true, false, QString());
    pressAt(plot, pixelOf(plot, 10, 10));
    QPointer<Measurement> m = manager.currentMeasurement();
    QCOMPARE(manager.measurementList().size(), 1);

    const int doubles = FakeMeasurement::doubleDeletes();
    manager.setKind(REGULAR_ANGLE, true, false, QString());
    QVERIFY(!m);
    QVERIFY(manager.measurementList().isEmpty());
    QVERIFY(!manager.currentMeasurement());
    QCOMPARE(FakeMeasurement::doubleDeletes(), doubles);
}

void TestMeasurementsManager::removalAndTheDrawingButton()
{
    Window win;
    QSignalSpy button(win.manager(), &MeasurementsManager::enableButton);
    QVERIFY(!win.w.errorPlaneButton()->isEnabled());

    win.w.arm(COMPARE_PLANE_DXF);
    win.w.click(QPointF(50, 30));
    FakeMeasurement *drawing = win.current();
    QVERIFY(drawing);
    QCOMPARE(button.count(), 1);
    QCOMPARE(button.at(0).at(0).toBool(), true);
    QVERIFY(win.w.errorPlaneButton()->isEnabled());
    QCOMPARE(win.manager()->currentKind(), int(NO_MEASUREMENT));

    // Until a kind is armed again, presses create nothing.
    drawing->finish();
    win.w.click(QPointF(60, 30));
    QVERIFY(!win.manager()->currentMeasurement());
    QCOMPARE(win.manager()->measurementList().size(), 1);

    // Removal by id; an unknown id changes nothing.
    win.manager()->removeMeasurement(987654);
    QCOMPARE(win.manager()->measurementList().size(), 1);
    win.w.deleteMeasurement(drawing->id());
    QVERIFY(win.manager()->measurementList().isEmpty());
    QCOMPARE(button.count(), 2);
    QCOMPARE(button.at(1).at(0).toBool(), false);
    QVERIFY(!win.w.errorPlaneButton()->isEnabled());
}

void TestMeasurementsManager::parameterConversion_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("radius");
    QTest::addColumn<int>("count");
    QTest::newRow("14 radius") << 14 << "2.500" << 2.5 << 0;
    QTest::newRow("23 radius") << 23 << "0.125" << 0.125 << 0;
    QTest::newRow("23 no number") << 23 << "abc" << 0.0 << 0;
    QTest::newRow("16 count") << 16 << "4" << 0.0 << 4;
    QTest::newRow("17 count") << 17 << "12" << 0.0 << 12;
    QTest::newRow("17 not decimal") << 17 << "0x10" << 0.0 << 0;
    QTest::newRow("7 ignores the text") << 7 << "3" << 0.0 << 0;
}

void TestMeasurementsManager::parameterConversion()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(double, radius);
    QFETCH(int, count);
    Window win;
    win.w.arm(kind, text);
    win.w.press(win.w.tracePoint(0, 10));
    QCOMPARE(win.contexts.size(), 1);
    const MeasurementContext &c = win.contexts.first();
    QCOMPARE(c.radius, radius);
    QCOMPARE(c.segmentCount, count);
    QCOMPARE(c.plot, win.w.plot());
    QCOMPARE(c.parentWidget, static_cast<QWidget *>(&win.w));
    QCOMPARE(c.traces.size(), 2);
    QCOMPARE(c.traces.at(0), win.w.trace(0));
}

void TestMeasurementsManager::wiring()
{
    Window win;
    FakeMeasurement *first = win.placeMeasurement(MAX_MIN_DISTANCE);
    win.w.arm(REGULAR_RADIUS);
    win.w.press(win.w.tracePoint(0, 50));
    FakeMeasurement *placing = win.current();

    // The forwarder names the emitter, not whichever is current.
    QSignalSpy changed(win.manager(), &MeasurementsManager::measurementChanged);
    Q_EMIT first->measumentChanged();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<Measurement *>(), first);

    // Status texts and levelling results pass through to the window.
    Q_EMIT placing->statusText(QStringLiteral("Расположите значение"));
    QCOMPARE(win.w.statusMessage(), QStringLiteral("Расположите значение"));
    Q_EMIT placing->setNewAngleAndCenterRot(0.25, QPointF(3, 4));
    QCOMPARE(win.w.levellingAngle(), 0.25);
    QCOMPARE(win.w.levellingCentre(), QPointF(3, 4));

    // Changed trace data recalculates every listed measurement.
    changed.clear();
    const int before = first->calculateCount;
    Q_EMIT placing->graphDataChanged();
    QCOMPARE(first->calculateCount, before + 1);
    QCOMPARE(changed.count(), 2);

    // stopSelection switches the selection off; finishing switches it on again.
    Q_EMIT placing->stopSelection();
    QVERIFY(!win.manager()->selection()->isEnabled());
    placing->finish();
    QVERIFY(win.manager()->selection()->isEnabled());

    // The next measurement no longer receives the selection of the last one.
    const quint64 end = first->segment(0)->end;
    win.w.arm(MAX_MIN_DISTANCE);
    win.w.drag(1, 30, 40);
    QCOMPARE(first->segment(0)->end, end);
    QCOMPARE(win.current()->segment(0)->curve.data(), win.w.traceCurve(1));
}

void TestMeasurementsManager::handlerOrder()
{
    // The manager's wiring: on a move the segment selection and the
    // reference-point controller act before the measurement being placed;
    // on a press the selection acts before the manager creates anything.
    Window win;
    FakeMeasurement *anchor = win.placeMeasurement(MAX_MIN_DISTANCE, 10, 30); // a point on trace point 29
    ReperPoint *anchorPoint = anchor->reperPoints.at(1);
    QCOMPARE(anchorPoint->position(), win.w.tracePoint(0, 29));

    bool selectingAtCreation = false;
    win.manager()->kindTable().creators[MAX_MIN_DISTANCE] = [&](const MeasurementContext &c) {
        selectingAtCreation = win.manager()->selection()->isSelecting();
        return makeFake(MAX_MIN_DISTANCE, c.plot);
    };
    win.w.arm(MAX_MIN_DISTANCE);
    win.w.press(win.w.tracePoint(0, 20));
    QVERIFY(selectingAtCreation);
    FakeMeasurement *m = win.current();
    quint64 endSeen = 0;
    bool highlightedSeen = false;
    m->onCalculate = [&] {
        endSeen = m->segments.isEmpty() ? 0 : m->segments.first().end;
        highlightedSeen = anchorPoint->isHighlighted();
    };
    for (int i = 21; i <= 29; ++i)
        win.w.move(win.w.tracePoint(0, i), Qt::LeftButton);
    QCOMPARE(endSeen, quint64(29));
    QVERIFY(highlightedSeen);
}

void TestMeasurementsManager::intersections_data()
{
    QTest::addColumn<int>("firstKind");
    QTest::addColumn<int>("secondKind");
    QTest::addColumn<int>("function"); // -1: none
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("pickable");
    const int none = -1;
    QTest::newRow("circle, horizontal") << 22 << 24 << int(IntersectionKind::CircleLine) << 2 << true;
    QTest::newRow("horizontal, circle") << 24 << 22 << int(IntersectionKind::CircleLine) << 2 << false;
    QTest::newRow("circle, circle") << 22 << 23 << int(IntersectionKind::CircleCircle) << 2 << false;
    QTest::newRow("circle, vertical") << 22 << 25 << int(IntersectionKind::CircleVerticalLine) << 2 << true;
    QTest::newRow("vertical, thread") << 25 << 29 << int(IntersectionKind::VerticalLineLine) << 1 << true;
    QTest::newRow("two-point, horizontal") << 26 << 24 << int(IntersectionKind::LineLine) << 1 << true;
    QTest::newRow("two-point, two-point") << 26 << 26 << int(IntersectionKind::LineLine) << 1 << true;
    QTest::newRow("thread, horizontal") << 29 << 24 << int(IntersectionKind::LineLine) << 1 << true;
    QTest::newRow("horizontal, horizontal") << 24 << 24 << none << 0 << true;
    QTest::newRow("vertical, vertical") << 25 << 25 << none << 0 << true;
    QTest::newRow("thread, thread") << 29 << 29 << none << 0 << true;
    QTest::newRow("circle, point") << 22 << 27 << none << 0 << true;
    QTest::newRow("circle, distance") << 22 << 3 << none << 0 << true;
}

void TestMeasurementsManager::intersections()
{
    QFETCH(int, firstKind);
    QFETCH(int, secondKind);
    QFETCH(int, function);
    QFETCH(int, points);
    QFETCH(bool, pickable);
    Window win;
    FakeMeasurement *a = win.placeElement(firstKind, QPointF(30, 30));
    QVERIFY(a->isFinished());
    QVERIFY(win.calls.isEmpty());

    FakeMeasurement *b = nullptr;
    if (secondKind == DIRECT_DISTANCE) {
        Settings::instance().preferenses.alternative_measurement = true;
        b = win.placeMeasurement(secondKind);
    } else {
        b = win.placeElement(secondKind, QPointF(70, 30));
    }
    QVERIFY(b->isFinished());
    const int own = pointCountOf(secondKind);

    if (function < 0) {
        QVERIFY(win.calls.isEmpty());
    } else {
        QCOMPARE(win.calls.size(), 1);
        QCOMPARE(int(win.calls.at(0).kind), function);
        QCOMPARE(win.calls.at(0).a, a);
        QCOMPARE(win.calls.at(0).b, b);
    }
    QCOMPARE(b->reperPoints.size(), own + points);
    QCOMPARE(a->reperPoints.size(), pointCountOf(firstKind));
    // The new points are the last ones, in the function's order, announced.
    for (int i = 0; i < points; ++i) {
        ReperPoint *p = b->reperPoints.at(own + i);
        QVERIFY(p->isVisible());
        QVERIFY(win.manager()->controller()->contains(p));
        QCOMPARE(p->position().x(), p->position().y());
    }
    if (points > 1)
        QVERIFY(b->reperPoints.at(own)->position().x() < b->reperPoints.at(own + 1)->position().x());
    for (ReperPoint *p : win.manager()->controller()->points)
        QCOMPARE(p->isPickable(), pickable);
}

void TestMeasurementsManager::intersectionPairs()
{
    // Every listed element meets the finished one, in list order; ordinary
    // measurements never take part.
    Window win;
    FakeMeasurement *circle = win.placeElement(CIRCUMF_AG, QPointF(20, 30));
    win.placeMeasurement(MAX_MIN_DISTANCE);
    FakeMeasurement *vertical = win.placeElement(CLICK_VERTICAL_LINE, QPointF(40, 30));
    win.calls.clear();
    FakeMeasurement *line = win.placeElement(CLICK_HORIZONTAL_LINE, QPointF(60, 30));
    QCOMPARE(win.calls.size(), 2);
    QCOMPARE(win.calls.at(0).kind, IntersectionKind::CircleLine);
    QCOMPARE(win.calls.at(0).a, circle);
    QCOMPARE(win.calls.at(1).kind, IntersectionKind::VerticalLineLine);
    QCOMPARE(win.calls.at(1).a, vertical);
    QCOMPARE(line->reperPoints.size(), 3);
    QCOMPARE(line->reperPoints.last()->position(), QPointF(7, 7));

    // A pair without a registered function adds nothing.
    win.manager()->kindTable().intersections.remove(IntersectionKind::CircleLine);
    win.calls.clear();
    FakeMeasurement *second = win.placeElement(CLICK_HORIZONTAL_LINE, QPointF(80, 30));
    QCOMPARE(win.calls.size(), 1);
    QCOMPARE(second->reperPoints.size(), 1);
}

void TestMeasurementsManager::equidistant()
{
    Window win;
    FakeMeasurement *circle = win.placeElement(CIRCUMF_AG, QPointF(20, 30));
    FakeMeasurement *line = win.placeElement(CLICK_HORIZONTAL_LINE, QPointF(60, 30));
    line->coefficients = { 0, 5 };
    QSignalSpy changed(win.manager(), &MeasurementsManager::measurementChanged);
    win.calls.clear();

    win.w.addMeasurement(line->id(), CLICK_HORIZONTAL_LINE, 2.5);
    FakeMeasurement *above = win.last();
    QVERIFY(above != line);
    QCOMPARE(above->coefficients, QVector<double>({ 0, 7.5 }));
    QCOMPARE(above->name(), MeasurementCaption::kHorizontalLine);
    QVERIFY(win.w.rowOf(above));
    QVERIFY(changed.count() >= 1);
    QCOMPARE(changed.last().at(0).value<Measurement *>(), above);
    // Its crossings with the listed elements were added (two horizontal
    // lines never cross).
    QCOMPARE(win.calls.size(), 1);
    QCOMPARE(win.calls.at(0).a, circle);
    QCOMPARE(win.calls.at(0).b, above);
    QCOMPARE(above->reperPoints.size(), 2);

    win.w.addMeasurement(line->id(), CLICK_HORIZONTAL_LINE, -2.5);
    QCOMPARE(win.last()->coefficients, QVector<double>({ 0, 2.5 }));

    // Unknown ids and other kinds add nothing.
    const int count = win.manager()->measurementList().size();
    win.w.addMeasurement(424242, CLICK_HORIZONTAL_LINE, 1);
    win.w.addMeasurement(line->id(), CLICK_POINT, 1);
    QCOMPARE(win.manager()->measurementList().size(), count);

    // The tree's menu asks for the distance and the window makes the copy.
    ScriptedPrompts prompts;
    prompts.expect(ScriptedPrompts::Menu, QVariant(),
        [](QObject *menu) { return QVariant::fromValue<QObject *>(static_cast<QMenu *>(menu)->actions().at(1)); });
    prompts.expect(ScriptedPrompts::Double, 1.25);
    QTreeWidget *tree = win.w.tree();
    QTreeWidgetItem *row = win.w.rowOf(line);
    tree->scrollToItem(row);
    QContextMenuEvent event(QContextMenuEvent::Mouse, tree->visualItemRect(row).center());
    QApplication::sendEvent(tree->viewport(), &event);
    QVERIFY(prompts.allAnswered());
    QCOMPARE(win.last()->coefficients, QVector<double>({ 0, 6.25 }));
}

void TestMeasurementsManager::equidistantReplacesTheCurrent()
{
    Window win;
    FakeMeasurement *line = win.placeElement(CLICK_VERTICAL_LINE, QPointF(60, 30));
    line->coefficients = { 0, 60 };

    // An unfinished measurement is dropped first, as a change of kind drops it.
    win.w.arm(REGULAR_ANGLE);
    win.w.press(win.w.tracePoint(0, 10));
    QPointer<FakeMeasurement> angle = win.current();
    const int angleId = angle->id();
    win.w.addMeasurement(line->id(), CLICK_VERTICAL_LINE, 1);
    QVERIFY(!angle);
    QVERIFY(!win.w.rowOf(angleId));

    // With an unlisted kind armed the copy is listed all the same, and the
    // next press leaves it alone.
    win.w.arm(LAY_FLAT);
    win.w.press(win.w.tracePoint(0, 20));
    win.current()->finish();
    win.w.addMeasurement(line->id(), CLICK_VERTICAL_LINE, 2);
    QPointer<FakeMeasurement> copy = win.last();
    QCOMPARE(copy->coefficients, QVector<double>({ 0, 62 }));
    QVERIFY(win.w.rowOf(copy));
    win.w.press(win.w.tracePoint(0, 40));
    QVERIFY(copy);
    QCOMPARE(win.manager()->measurementById(copy->id()), copy.data());
    QCOMPARE(FakeMeasurement::doubleDeletes(), 0);
}

void TestMeasurementsManager::destructionDeletesEachOnce()
{
    FakeMeasurement::live().clear();
    const int doubles = FakeMeasurement::doubleDeletes();
    {
        Window win;
        win.placeMeasurement(MAX_MIN_DISTANCE);
        win.placeElement(CIRCUMF_AG);
        // A finished listed measurement that is still current.
        FakeMeasurement *current = win.placeMeasurement(REGULAR_ANGLE);
        QCOMPARE(win.manager()->currentMeasurement(), current);
        QCOMPARE(FakeMeasurement::live().size(), 3);
    }
    QVERIFY(FakeMeasurement::live().isEmpty());
    {
        // An unlisted one being placed.
        Window win;
        win.placeMeasurement(MAX_MIN_DISTANCE);
        win.w.arm(LAY_FLAT_BY_TWO);
        win.w.press(win.w.tracePoint(0, 10));
        QCOMPARE(FakeMeasurement::live().size(), 2);
    }
    QVERIFY(FakeMeasurement::live().isEmpty());
    QCOMPARE(FakeMeasurement::doubleDeletes(), doubles);
}

VANTOR_TEST_MAIN(TestMeasurementsManager)
#include "tst_measurementsmanager.moc"
