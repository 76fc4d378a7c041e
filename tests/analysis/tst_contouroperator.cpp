// The contour window as an operator meets it, with the program's own
// measurement kinds, real mouse events and the scripted prompts object: the
// drawing import (no drag left behind, drawn at once, a failed import leaves
// the window as it was), circle values, angle texts, clicks without a drag,
// deviation captions and ruler labels, a drag to the last point, the label
// font around a protocol, and the protocol itself rendered in Chromium.

#include "analysis/contouranalisiswidget.h"
#include "measurements/anglemeasurement.h"
#include "measurements/compareplanedxf.h"
#include "measurements/dxfdrawing.h"
#include "measurements/errormeasurement.h"
#include "measurements/measurement.h"
#include "measurements/measurementsmanager.h"
#include "measurements/measurementtreewidget.h"
#include "measurements/plotsegmentselection.h"
#include "plot/adaptivecurve.h"
#include "plot/errorgraph.h"
#include "plot/plotlabel.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"

#include "measurements/dxftestfiles.h"
#include "support/contourtestplot.h"
#include "support/freshsettings.h"
#include "support/logtext.h"
#include "support/neutralcalibration.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "support/tracefiles.h"

#include <QFrame>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <cmath>
#include <functional>

using ContourTest::moveAt;
using ContourTest::pixelOf;
using ContourTest::pixelOfPoint;
using ContourTest::pressAt;
using ContourTest::releaseAt;

namespace {

// A contour in µm, 251 points 40 µm apart: flat to 3 mm, a half circle of
// 2 mm radius centred at 5 mm, flat from 7 mm to 10 mm.
double bump(double x)
{
    const double d = x - 5000, r = 2000;
    return std::abs(d) < r ? std::sqrt(r * r - d * d) : 0.0;
}

std::unique_ptr<ContourTrace> contourFile(const QString &name, const std::function<double(double)> &f,
    int points = 251, double step = 40)
{
    useNeutralContourCalibration();
    ContourTrace trace;
    trace.creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    trace.controllerName = QStringLiteral("Иванов");
    for (int i = 0; i < points; ++i) {
        QVector<double> p { i * step, f(i * step), 0 };
        trace.addPoint(p);
    }
    return roundTrip<ContourTrace>(trace, name);
}

// The bump's outline as drawn, in millimetres, lifted by `lift`: with none
// it lies on the trace.
QByteArray bumpDrawing(double lift = 0)
{
    return DxfText::file(DxfText::line(0, lift, 3, lift) + DxfText::arc(5, lift, 2, 0, 180)
        + DxfText::line(7, lift, 10, lift));
}

// The machined outline of the drawing tests traced, scale times its size,
// a point every 40 µm times scale.
std::unique_ptr<ContourTrace> outlineFile(const QString &name, double scale = 1)
{
    useNeutralContourCalibration();
    ContourTrace trace;
    trace.creationDate = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    for (const QPointF &p : DxfOutline::trace(0.04, 1000 * scale)) {
        QVector<double> point { p.x(), p.y(), 0 };
        trace.addPoint(point);
    }
    return roundTrip<ContourTrace>(trace, name);
}

// The outline's drawing, scale times its size, turned about the origin by
// degrees and then shifted (millimetres).
QByteArray outlineDrawing(double scale, double degrees, const QPointF &shift)
{
    QByteArray entities;
    for (const DxfOutline::Piece &p : DxfOutline::pieces()) {
        if (p.isArc) {
            const QPointF c = DxfOutline::turned(QPointF(p.a, p.b) * scale, degrees, shift);
            entities += DxfText::arc(c.x(), c.y(), p.c * scale, p.start + degrees, p.end + degrees);
        } else {
            const QPointF a = DxfOutline::turned(QPointF(p.a, p.b) * scale, degrees, shift);
            const QPointF b = DxfOutline::turned(QPointF(p.c, p.d) * scale, degrees, shift);
            entities += DxfText::line(a.x(), a.y(), b.x(), b.y());
        }
    }
    return DxfText::file(entities);
}

// The largest difference between two drawings' parameters.
double largestDifference(const QVector<QVector<double>> &a, const QVector<QVector<double>> &b)
{
    if (a.size() != b.size())
        return HUGE_VAL;
    double largest = 0;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return HUGE_VAL;
        for (int k = 0; k < a[i].size(); ++k)
            largest = std::max(largest, std::abs(a[i][k] - b[i][k]));
    }
    return largest;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return f.fileName();
}

struct Window {
    std::unique_ptr<ContourTrace> trace;
    ContourAnalisisWidget w;

    explicit Window(std::unique_ptr<ContourTrace> t)
        : trace(std::move(t))
    {
        w.resize(1280, 760);
        w.show();
        QApplication::setActiveWindow(&w);
        w.setTraces({ trace.get() });
    }
    PlotWidget *plot() { return w.plot(); }
    QCPCurve *curve() { return w.traceCurve(0); }
    MeasurementsManager *manager() { return w.measurementsManager(); }
    QString status() { return w.findChild<QStatusBar *>()->currentMessage(); }
    QPushButton *button(const char *name) { return w.findChild<QPushButton *>(name); }
    QAction *action(const char *name) { return w.findChild<QAction *>(name); }

    void openFrame(const char *actionName)
    {
        QWidget *b = w.findChild<QToolBar *>("toolBar")->widgetForAction(action(actionName));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // The operator opens the group's frame and clicks the kind's button.
    void arm(const char *actionName, const char *buttonName)
    {
        openFrame(actionName);
        QPushButton *kind = button(buttonName);
        QVERIFY(kind && kind->isVisible() && kind->isEnabled());
        QTest::mouseClick(kind, Qt::LeftButton);
    }
    QPoint pixel(int i) { return pixelOfPoint(plot(), curve(), i); }
    // A click at a pixel, the mouse brought there first.
    void clickAt(const QPoint &at)
    {
        moveAt(plot(), at);
        pressAt(plot(), at);
        releaseAt(plot(), at);
    }
    // Drag along the trace from point `from` to `to`, then place the label
    // with a click at labelOffset pixels from the middle point.
    Measurement *place(int from, int to, QPoint labelOffset = QPoint(0, -80))
    {
        ContourTest::drag(plot(), curve(), from, to);
        clickAt(pixel((from + to) / 2) + labelOffset);
        const QList<Measurement *> &list = manager()->measurementList();
        return list.isEmpty() ? nullptr : list.last();
    }
    // Imports the drawing through the file question and registers it: the
    // trace point at 3 mm, then the drawing's line end there.
    // Imports the drawing through the file question: the element waits for
    // the registration's picks.
    ComparePlaneDXF *importDrawing(ScriptedPrompts &prompts, const QString &path)
    {
        arm("actionDXF", "pushButtonDXFPlane");
        prompts.expect(ScriptedPrompts::OpenFile, path);
        clickAt(pixel(75));
        return qobject_cast<ComparePlaneDXF *>(manager()->currentMeasurement());
    }
    ComparePlaneDXF *importAndRegister(ScriptedPrompts &prompts, const QString &path)
    {
        auto *element = importDrawing(prompts, path);
        if (!element)
            return nullptr;
        clickAt(pixel(75));
        clickAt(pixelOf(plot(), 3, 0));
        return element;
    }
    // Section texts and rows (caption and value) as the tree shows them.
    QStringList treeText()
    {
        QStringList text;
        for (const MeasurementGroupRecord &g : MeasurementTreeWidget::exportTree(w.tree())) {
            text << QString::fromStdString(g.title) + '|' + QString::fromStdString(g.value);
            for (const MeasurementItemRecord &r : g.items)
                text << "  " + QString::fromStdString(r.name) + '|' + QString::fromStdString(r.value);
        }
        return text;
    }
    int rowCount()
    {
        int n = 0;
        for (int s = 0; s < w.tree()->topLevelItemCount(); ++s)
            n += w.tree()->topLevelItem(s)->childCount();
        return n;
    }
};

// Pixels of the plot whose colour is the drawing's (the program's colour of
// visual objects), inside the box of data coordinates given.
int drawingPixels(PlotWidget *plot, const QImage &image, const QRectF &box)
{
    const QColor target(Settings::instance().preferenses.visual_objects_color);
    const QRect pixels = QRect(pixelOf(plot, box.left(), box.bottom()), pixelOf(plot, box.right(), box.top()))
                             .normalized()
                             .intersected(image.rect());
    int n = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - target.red()) < 40 && std::abs(c.green() - target.green()) < 40
                && std::abs(c.blue() - target.blue()) < 40)
                ++n;
        }
    }
    return n;
}

// The plot as its layers were last rendered: grab() paints the buffers
// without a new replot.
QImage shownPlot(PlotWidget *plot)
{
    return plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct KindRow {
    const char *action;
    const char *button;
    E_MEASUREMENTS kind;
};

const KindRow kSegmentKinds[] = {
    { "actionDistance", "pushButtonMinMaxDistance", MAX_MIN_DISTANCE },
    { "actionDistance", "pushButtonMeanHeight", MEAN_HEIGHT },
    { "actionDistance", "pushButtonVerticalDistance", VERTICAL_DISTANCE },
    { "actionDistance", "pushButtonHorisontalDistance", HORIZONTAL_DISTANCE },
    { "actionDistance", "pushButtonDirectDistance", DIRECT_DISTANCE },
    { "actionAngle", "pushButtonDirectAngle", REGULAR_ANGLE },
    { "actionAngle", "pushButtonHHorizonAngle", HORIZONTAL_ANGLE },
    { "actionAngle", "pushButtonVHorizonAngle", VERTICAL_ANGLE },
    { "actionRadius", "pushButtonMultiRadius", ARCS_RADIUS },
    { "actionRadius", "pushButtonRadius", REGULAR_RADIUS },
    { "actionLayFlat", "pushButtonLayFlatByTwo", LAY_FLAT_BY_TWO },
    { "actionLayFlat", "pushButtonlayFlat", LAY_FLAT },
    { "actionErrors", "pushButtonRMSE", RMSE },
    { "actionErrors", "pushButtonRadiusError", RDEM },
    { "actionErrors", "pushButtonRDESpecified", RDEM_SPECIFIED },
    { "actionErrors", "pushButtonRadiusErrorFilter", RADIUS_DISPLACEMENT_FILTER_ERROR },
    { "actionErrors", "pushButtonRadiusErrorByTwoSegment", RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT },
    { "actionErrors", "pushButtonRadiusErrorFilterMultypleSegments", RDEM_FILTER_BY_TWO_SEGMENT },
    { "actionErrors", "pushButtonRadiusErrorWithRadianGraph", RDEM_WITH_POLAR_GRAPH },
    { "actionR", "pushButtonCalculateRA", RA },
    { "actionR", "pushButtonCalculateRZ", RZ },
    { "actionLineAdditionalGeometry", "pushButtonFindMaxPoint", FIND_MAX_POINT },
    { "actionLineAdditionalGeometry", "pushButtonFindMinPoint", FIND_MIN_POINT },
    { "actionCircumferenceAdditionalGeometry", "pushButtonCircumSelect", CIRCUMF_AG },
    { "actionCircumferenceAdditionalGeometry", "pushButtonAGCircumSpecified", CIRCUMF_AG_SPECIFIED },
};

// Every kind of the window: the group action and the button that arm it
// (the average diameter has no button: its action arms it).
const KindRow kEveryKind[] = {
    { "actionDistance", "pushButtonVerticalDistance", VERTICAL_DISTANCE },
    { "actionDistance", "pushButtonHorisontalDistance", HORIZONTAL_DISTANCE },
    { "actionDistance", "pushButtonMinMaxDistance", MAX_MIN_DISTANCE },
    { "actionDistance", "pushButtonDirectDistance", DIRECT_DISTANCE },
    { "actionAngle", "pushButtonVHorizonAngle", VERTICAL_ANGLE },
    { "actionAngle", "pushButtonHHorizonAngle", HORIZONTAL_ANGLE },
    { "actionAngle", "pushButtonDirectAngle", REGULAR_ANGLE },
    { "actionRadius", "pushButtonRadius", REGULAR_RADIUS },
    { "actionRadius", "pushButtonMultiRadius", ARCS_RADIUS },
    { "actionLayFlat", "pushButtonlayFlat", LAY_FLAT },
    { "actionLayFlat", "pushButtonLayFlatByTwo", LAY_FLAT_BY_TWO },
    { "actionDistance", "pushButtonMeanHeight", MEAN_HEIGHT },
    { "actionErrors", "pushButtonRMSE", RMSE },
    { "actionErrors", "pushButtonRadiusError", RDEM },
    { "actionErrors", "pushButtonRDESpecified", RDEM_SPECIFIED },
    { "actionErrors", "pushButtonRadiusErrorFilter", RADIUS_DISPLACEMENT_FILTER_ERROR },
    { "actionErrors", "pushButtonRadiusErrorByTwoSegment", RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT },
    { "actionErrors", "pushButtonRadiusErrorFilterMultypleSegments", RDEM_FILTER_BY_TWO_SEGMENT },
    { "actionErrors", "pushButtonRadiusErrorWithRadianGraph", RDEM_WITH_POLAR_GRAPH },
    { "actionAvgDiameter", nullptr, AVG_DIAMETER },
    { "actionR", "pushButtonCalculateRA", RA },
    { "actionR", "pushButtonCalculateRZ", RZ },
    { "actionCircumferenceAdditionalGeometry", "pushButtonCircumSelect", CIRCUMF_AG },
    { "actionCircumferenceAdditionalGeometry", "pushButtonAGCircumSpecified", CIRCUMF_AG_SPECIFIED },
    { "actionLineAdditionalGeometry", "pushButtonAddGeomHorizontalLine", CLICK_HORIZONTAL_LINE },
    { "actionLineAdditionalGeometry", "pushButtonAddGeomVerticlaLine", CLICK_VERTICAL_LINE },
    { "actionLineAdditionalGeometry", "pushButtonAddGeomDoubleClickLine", CLICK_DOUBLE_LINE },
    { "actionLineAdditionalGeometry", "pushButtonAddGeomPoint", CLICK_POINT },
    { "actionLineAdditionalGeometry", "pushButtonAddGoemMiddlePoint", MIDDLE_POINT },
    { "actionLineAdditionalGeometry", "pushButtonAddGeomThread", THREAD },
    { "actionLineAdditionalGeometry", "pushButtonFindMaxPoint", FIND_MAX_POINT },
    { "actionLineAdditionalGeometry", "pushButtonFindMinPoint", FIND_MIN_POINT },
    { "actionLineAdditionalGeometry", "pushButtonAddGeomText", AG_TEXT_PLACEMENT },
    { "actionDXF", "pushButtonDXFPlane", COMPARE_PLANE_DXF },
    { "actionDXF", "pushButtonErrorPlane", ERROR_PLANE },
};

// Answers the question a kind asks when it is armed.
void expectParameter(ScriptedPrompts &prompts, E_MEASUREMENTS kind)
{
    if (kind == RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT || kind == RDEM_FILTER_BY_TWO_SEGMENT)
        prompts.expect(ScriptedPrompts::Int, 2);
    if (kind == RDEM_SPECIFIED || kind == CIRCUMF_AG_SPECIFIED)
        prompts.expect(ScriptedPrompts::Dialog, QDialog::Accepted);
}

// The fonts of every text item on the plot, in item order.
QList<QFont> labelFonts(PlotWidget *plot)
{
    QList<QFont> fonts;
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (auto *text = qobject_cast<QCPItemText *>(plot->item(i)))
            fonts << text->font();
    }
    return fonts;
}

// The visible labels of a ruler: each reads back to its tick's value (within
// the last decimal written) and carries the unit; each is drawn inside the
// plot, no two overlap, and none reaches into the graph between the two axis
// lines unless the plot has no room for it on the other side of the ruler.
// Returns how many show.
int checkRuler(const ErrorGraph *graph, const QString &unit, const QLocale &locale, PlotWidget *plot)
{
    const QCPAxis *x = plot->xAxis;
    const double axis0 = x->coordToPixel(graph->axisLine(0)->start->coords().x());
    const double axis1 = x->coordToPixel(graph->axisLine(1)->start->coords().x());
    const double lowest = std::min(graph->mAxisStart[0].y(), graph->mAxisStart[1].y());
    const double baseline = graph->mAxisEnd[1].y();
    QVector<QRectF> shown;
    for (int k = 0; k < graph->tickCount(); ++k) {
        const PlotLabel *label = graph->tickLabel(k);
        QString text = label->text();
        if (!text.endsWith(unit)) {
            qWarning() << "no unit:" << text;
            return -1;
        }
        text.chop(unit.size());
        text = text.trimmed();
        bool ok = false;
        const double read = locale.toDouble(text, &ok);
        const int decimals = text.contains(locale.decimalPoint()) ? text.size() - text.indexOf(locale.decimalPoint()) - 1 : 0;
        // The tick's value from where it stands along the ruler.
        const double f = (graph->tick(k)->start->coords().y() - baseline) / (lowest - baseline);
        const double value = graph->mMin + f * (graph->mMax - graph->mMin);
        if (!ok || text.contains('e') || std::abs(read - value) > 0.5 * std::pow(10.0, -decimals) + 1e-6 * (graph->mMax - graph->mMin)) {
            qWarning() << "label" << label->text() << "at tick value" << value;
            return -1;
        }
        if (!label->visible())
            continue;
        const QRectF box = label->drawnRect();
        const QRectF inside = plot->axisRect()->rect();
        if (!inside.contains(box)) {
            qWarning() << "label" << label->text() << box << "outside the plot" << inside;
            return -1;
        }
        for (const QRectF &other : shown) {
            if (other.intersects(box)) {
                qWarning() << "labels overlap:" << other << box;
                return -1;
            }
        }
        if (box.left() < std::max(axis0, axis1) && box.right() > std::min(axis0, axis1)) {
            const double ruler = x->coordToPixel(label->position->coords().x());
            const QRectF outside(2 * ruler - box.right(), box.top(), box.width(), box.height());
            if (inside.contains(outside)) {
                qWarning() << "label in the graph:" << box << axis0 << axis1;
                return -1;
            }
        }
        shown << box;
    }
    return shown.size();
}

void wheel(PlotWidget *plot, int delta)
{
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    QWheelEvent e(at, plot->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &e);
}

// The text of each table row of an HTML page, tags removed and blanks
// folded.
QStringList tableRows(const QString &html)
{
    QStringList rows;
    const QRegularExpression row(QStringLiteral("<tr[^>]*>(.*?)</tr>"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    for (auto it = row.globalMatch(html); it.hasNext();) {
        QString text = it.next().captured(1);
        text.replace(tag, QStringLiteral(" "));
        rows << text.simplified();
    }
    return rows;
}

} // namespace

class TestContourOperator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        freshSettings();
        useNeutralContourCalibration();
    }
    void cleanup() { QApplication::setActiveWindow(nullptr); }

    // The press that asks for the drawing never gets its release (the file
    // dialog takes it): the moves after it select nothing. The status bar
    // says what the click is for before it comes, and the drawing shows as
    // soon as it is imported.
    void importLeavesNoDragAndDrawsAtOnce()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "bump.dxf", bumpDrawing());
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        win.arm("actionDXF", "pushButtonDXFPlane");
        QCOMPARE(win.status(), QStringLiteral("Щёлкните по графику, чтобы выбрать файл чертежа DXF"));
        const QRectF arcBox(3.5, 1.2, 3, 1.2); // around the top of the half circle, clear of the trace
        QCOMPARE(drawingPixels(win.plot(), shownPlot(win.plot()), arcBox), 0);

        prompts.expect(ScriptedPrompts::OpenFile, path);
        moveAt(win.plot(), win.pixel(100));
        pressAt(win.plot(), win.pixel(100));
        QVERIFY(prompts.allAnswered());
        QVERIFY(qobject_cast<ComparePlaneDXF *>(win.manager()->currentMeasurement()));
        QVERIFY2(drawingPixels(win.plot(), shownPlot(win.plot()), arcBox) > 20, "the drawing is not drawn");

        for (int i = 101; i <= 140; i += 3)
            moveAt(win.plot(), win.pixel(i), Qt::NoButton);
        QVERIFY(win.curve()->selection().isEmpty());
        QVERIFY(!win.manager()->selection()->isSelecting());
        QCoreApplication::processEvents();
        QCOMPARE(win.status(), QStringLiteral("Выберите первую точку на трассе"));
        ContourTest::saveScreenshot(&win.w, "contour_operator_dxf_imported");

        // A lost release behind any other press ends the drag at the next
        // move without the button as well.
        win.arm("actionDistance", "pushButtonMinMaxDistance");
        pressAt(win.plot(), win.pixel(20));
        moveAt(win.plot(), win.pixel(30), Qt::LeftButton);
        const QCPDataSelection dragged = win.curve()->selection();
        QVERIFY(!dragged.isEmpty());
        moveAt(win.plot(), win.pixel(60), Qt::NoButton);
        QVERIFY(!win.manager()->selection()->isSelecting());
        QCOMPARE(win.curve()->selection(), dragged);
    }

    // A failed import lists nothing and leaves the tree, the status bar, the
    // armed kind and the tool bar as they were before the kind was chosen;
    // the message and the log give the reader's own text.
    void failedImportLeavesWindowAsBefore_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        // What the message must say besides the reader's text.
        QTest::addColumn<QStringList>("says");
        QTest::newRow("cancelled") << QString() << QByteArray() << QStringList();
        QTest::newRow("points only") << "points.dxf" << DxfText::file(DxfText::point(1, 1) + DxfText::point(2, 2))
                                     << QStringList { "нет отрезков" };
        QTest::newRow("corrupt") << "corrupt.dxf" << QByteArray("\x7f\x45\x4c\x46\x02\x01\n\n  0\nSECTION\n")
                                 << QStringList { "строке 1 ", "не является кодом группы" };
        QTest::newRow("missing") << "missing.dxf" << QByteArray() << QStringList { "Не удалось открыть" };
        // A malformed number anywhere refuses the whole drawing, the good
        // entities around it included.
        const QByteArray good = DxfText::line(0, 0, 3, 0) + DxfText::arc(5, 0, 2, 0, 180);
        QByteArray abc = DxfText::line(7, 0, 10, 0);
        abc.replace(DxfText::pair(11, "10"), DxfText::pair(11, "abc"));
        QTest::newRow("end x abc") << "abc.dxf" << DxfText::file(good + abc)
                                   << QStringList { "строке 68 ", "«abc» не является числом (код 11)" };
        QTest::newRow("coordinate 1e9 mm")
            << "far.dxf" << DxfText::file(good + DxfText::line(7, 0, 1e9, 0))
            << QStringList { "строке 68 ", "координата «1000000000» по модулю больше" };
    }
    void failedImportLeavesWindowAsBefore()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QStringList, says);
        QTemporaryDir dir;
        QString path;
        if (!file.isEmpty())
            path = text.isEmpty() ? dir.filePath(file) : writeFile(dir, file, text);

        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        // Something measured before, so the tree and the status bar hold text.
        win.arm("actionDistance", "pushButtonMinMaxDistance");
        QVERIFY(win.place(80, 120));
        win.openFrame("actionDXF");
        const QStringList treeBefore = win.treeText();
        const QString statusBefore = win.status();
        const int kindBefore = win.manager()->currentKind();
        const QImage iconBefore = win.action("actionDXF")->icon().pixmap(32).toImage();
        const int interactionsBefore = int(win.plot()->interactions());
        QVERIFY(!statusBefore.isEmpty());
        QCOMPARE(kindBefore, int(NO_MEASUREMENT));

        QTest::mouseClick(win.button("pushButtonDXFPlane"), Qt::LeftButton);
        QCOMPARE(win.manager()->currentKind(), int(COMPARE_PLANE_DXF));
        prompts.expect(ScriptedPrompts::OpenFile, path);
        if (!path.isEmpty())
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        moveAt(win.plot(), win.pixel(100));
        pressAt(win.plot(), win.pixel(100));
        releaseAt(win.plot(), win.pixel(100));
        QCoreApplication::processEvents();
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);

        QCOMPARE(win.treeText(), treeBefore);
        QCOMPARE(win.status(), statusBefore);
        QCOMPARE(win.manager()->currentKind(), kindBefore);
        QVERIFY(!win.manager()->currentMeasurement());
        QCOMPARE(win.manager()->measurementList().size(), 1);
        QVERIFY(win.button("pushButtonDXFPlane")->isCheckable());
        QVERIFY(!win.button("pushButtonErrorPlane")->isEnabled());
        QCOMPARE(win.action("actionDXF")->icon().pixmap(32).toImage(), iconBefore);
        QCOMPARE(int(win.plot()->interactions()), interactionsBefore);
        QVERIFY(!plotDrawing(win.plot()));
        if (!path.isEmpty()) {
            DxfDrawing unused;
            DxfParseError malformed;
            const QString cause
                = dxfReadErrorText(readDxfFile(path, displayUnitFactor(), &unused, &malformed), path, malformed);
            QCOMPARE(prompts.calls().last().text, cause);
            QVERIFY(logText().contains(cause));
            for (const QString &part : says)
                QVERIFY2(cause.contains(part), qPrintable(cause));
        }
        QVERIFY(!logText().contains("Can't open file"));

        // Escape and further clicks find nothing to clear and ask nothing.
        QTest::keyClick(&win.w, Qt::Key_Escape);
        win.clickAt(win.pixel(150));
        QCOMPARE(win.treeText(), treeBefore);
        QCOMPARE(prompts.unexpectedCount(), 0);
    }

    // The circle through a selection and the circle of a given radius show
    // their radius, in the display unit, in the tree.
    void circleKindsShowTheirRadius_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("radius");
        QTest::addColumn<QString>("text");
        QTest::newRow("through the selection, mm") << "pushButtonCircumSelect" << 0 << 2.0 << "2.0000мм";
        QTest::newRow("through the selection, µm") << "pushButtonCircumSelect" << 1 << 2000.0 << "2000.0000мкм";
        QTest::newRow("given radius, mm") << "pushButtonAGCircumSpecified" << 0 << 1.5 << "1.5000мм";
    }
    void circleKindsShowTheirRadius()
    {
        QFETCH(QString, buttonName);
        QFETCH(int, unit);
        QFETCH(double, radius);
        QFETCH(QString, text);
        Settings::instance().axis_unit = unit;
        Settings::instance().preferenses.inscribed_circle_radius_measurement = radius;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        if (buttonName == "pushButtonAGCircumSpecified")
            prompts.expect(ScriptedPrompts::Dialog, QDialog::Accepted);
        win.arm("actionCircumferenceAdditionalGeometry", qPrintable(buttonName));
        // The half circle's top: points 90 to 160.
        ContourTest::drag(win.plot(), win.curve(), 90, 160);
        Measurement *m = win.manager()->measurementList().value(0);
        QVERIFY(m && m->isFinished());
        QVERIFY2(std::abs(m->value() - radius) < 1e-6 * radius, qPrintable(QString::number(m->value(), 'g', 17)));
        QCOMPARE(m->valueText(), text);
        QCOMPARE(win.w.rowOf(m->id())->text(0), QStringLiteral("Окружность"));
        QCOMPARE(win.w.rowOf(m->id())->text(1), text);
    }

    // A fitted 10° flank reads 10° 0' 0'' in the tree, as its decimal value
    // reads 10.0000.
    void tenDegreeFlankReadsTenDegrees()
    {
        const double slope = std::tan(10 * M_PI / 180);
        Window win(contourFile("flank.trace", [slope](double x) { return slope * x; }, 201, 25));
        ScriptedPrompts prompts;
        win.arm("actionAngle", "pushButtonHHorizonAngle");
        Measurement *m = win.place(40, 160, QPoint(0, -150));
        QVERIFY(m && m->isFinished());
        QVERIFY2(std::abs(m->value() - 10) < 1e-6, qPrintable(QString::number(m->value(), 'g', 17)));
        QCOMPARE(win.w.rowOf(m->id())->text(1), QStringLiteral("10° 0' 0''"));
    }

    // A click without a drag places nothing for a kind that measures over a
    // stretch: no row, no measurement, and the kind stays armed, so the next
    // drag places one.
    void clickWithoutDragPlacesNothing_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kSegmentKinds)); ++i)
            QTest::newRow(kSegmentKinds[i].button) << i;
    }
    void clickWithoutDragPlacesNothing()
    {
        QFETCH(int, row);
        const KindRow &k = kSegmentKinds[row];
        // The plain distances take a stretch in the alternative mode only;
        // otherwise their points are two clicks.
        Settings::instance().preferenses.alternative_measurement = true;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        expectParameter(prompts, k.kind);
        win.arm(k.action, k.button);
        QVERIFY(prompts.allAnswered());
        QVERIFY(!win.manager()->segmentSelectionDisabled());

        win.clickAt(win.pixel(100));
        QCOMPARE(win.rowCount(), 0);
        QVERIFY(win.manager()->measurementList().isEmpty());
        QVERIFY(!win.manager()->currentMeasurement());
        QCOMPARE(win.manager()->currentKind(), int(k.kind));
        QVERIFY(!win.button(k.button)->isCheckable());
        QVERIFY(win.curve()->selection().isEmpty());

        // A click on the last point is a single point: still too short for
        // every kind but the extremum points.
        if (minimumSegmentPoints(k.kind) > 1) {
            win.clickAt(win.pixel(250));
            QVERIFY(!win.manager()->currentMeasurement());
        }

        ContourTest::drag(win.plot(), win.curve(), 90, 160);
        Measurement *m = win.manager()->currentMeasurement();
        QVERIFY(m);
        QVERIFY(m->segments.value(0).curve);
        QCOMPARE(m->segments.value(0).end - m->segments.value(0).begin, quint64(70));
    }

    // Every kind, given what it measures as an operator gives it (clicks on
    // the trace, one or two dragged stretches, a drawing), has either
    // finished or says that its value is to be placed; opening another tool
    // then keeps it, finished where it stands, with the value it showed.
    void valueKeptOnToolChange_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kEveryKind)); ++i)
            QTest::newRow(qPrintable(QString::number(kEveryKind[i].kind))) << i;
    }
    void valueKeptOnToolChange()
    {
        QFETCH(int, row);
        const KindRow &k = kEveryKind[row];
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        const int logBefore = logText().size();
        QPointer<Measurement> m;
        if (k.kind == COMPARE_PLANE_DXF || k.kind == ERROR_PLANE) {
            m = win.importAndRegister(prompts, writeFile(dir, "bump.dxf", bumpDrawing()));
            QVERIFY(m);
        }
        if (k.kind != COMPARE_PLANE_DXF) {
            expectParameter(prompts, k.kind);
            if (k.button)
                win.arm(k.action, k.button);
            else
                win.action(k.action)->setChecked(true);
            QCOMPARE(win.manager()->currentKind(), int(k.kind));
            switch (k.kind) {
            case VERTICAL_DISTANCE:
            case HORIZONTAL_DISTANCE:
            case DIRECT_DISTANCE:
            case CLICK_DOUBLE_LINE:
            case MIDDLE_POINT:
                win.clickAt(win.pixel(60));
                win.clickAt(win.pixel(190));
                break;
            case CLICK_HORIZONTAL_LINE:
            case CLICK_VERTICAL_LINE:
            case CLICK_POINT:
            case THREAD:
                win.clickAt(win.pixel(100));
                break;
            case AG_TEXT_PLACEMENT:
                prompts.expect(ScriptedPrompts::Text, QStringLiteral("Ø 12"));
                win.clickAt(win.pixel(100) + QPoint(0, -40));
                break;
            case REGULAR_ANGLE:
            case ARCS_RADIUS:
            case LAY_FLAT_BY_TWO:
            case MEAN_HEIGHT:
            case AVG_DIAMETER:
            case RADIUS_DISPLACEMENT_ERROR_BY_TWO_SEGMENT:
            case RDEM_FILTER_BY_TWO_SEGMENT:
                ContourTest::drag(win.plot(), win.curve(), 90, 110);
                ContourTest::drag(win.plot(), win.curve(), 140, 160);
                break;
            default:
                ContourTest::drag(win.plot(), win.curve(), 90, 160);
                break;
            }
            m = win.manager()->currentMeasurement();
        }
        QVERIFY(prompts.allAnswered());
        QVERIFY(m);
        if (!m->isFinished()) {
            QVERIFY(m->placingLabel);
            // Moving the mouse to place the value keeps the request in view.
            moveAt(win.plot(), win.pixel(125) + QPoint(0, -60));
            QVERIFY2(win.status().contains(QStringLiteral("Расположите значение")), qPrintable(win.status()));
        }
        const bool listed = k.kind != LAY_FLAT && k.kind != LAY_FLAT_BY_TWO;
        const QString shown = m->valueText();
        if (listed)
            QCOMPARE(win.w.rowOf(m->id())->text(1), shown);

        win.arm("actionScale", "pushButtonPAN");
        QVERIFY(m);
        QVERIFY(m->isFinished());
        QCOMPARE(m->valueText(), shown);
        if (listed) {
            QVERIFY(win.manager()->measurementList().contains(m));
            QCOMPARE(win.w.rowOf(m->id())->text(1), shown);
        }
        QVERIFY(!logText().mid(logBefore).contains(QStringLiteral("delete with value")));
    }

    // The deviation from the drawing, its stretch dragged: the status bar
    // asks for the value's place beside the value, and whatever the
    // operator turns to next keeps it; only Escape drops it.
    void deviationKeptAfterToolChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("zoom tool") << "zoom";
        QTest::newRow("another kind") << "kind";
        QTest::newRow("drawing import, cancelled") << "import";
        QTest::newRow("Escape") << "escape";
    }
    void deviationKeptAfterToolChange()
    {
        QFETCH(QString, change);
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        QVERIFY(win.importAndRegister(prompts, writeFile(dir, "bump.dxf", bumpDrawing())));
        win.arm("actionDXF", "pushButtonErrorPlane");
        ContourTest::drag(win.plot(), win.curve(), 180, 240);
        QPointer<Measurement> m = win.manager()->currentMeasurement();
        QVERIFY(qobject_cast<ErrorPlane *>(m));
        QVERIFY(!m->isFinished());
        QCOMPARE(win.status(), QStringLiteral("Расположите значение"));
        moveAt(win.plot(), win.pixel(210) + QPoint(0, 70));
        QCOMPARE(win.status(), "Отклонение от чертежа: " + m->valueText() + ". Расположите значение");
        const QString shown = m->valueText();
        const int id = m->id();
        const int plottables = win.plot()->plottableCount();
        const int logBefore = logText().size();

        if (change == "zoom") {
            win.arm("actionScale", "pushButtonPAN");
        } else if (change == "kind") {
            win.arm("actionDistance", "pushButtonHorisontalDistance");
        } else if (change == "import") {
            win.arm("actionDXF", "pushButtonDXFPlane");
            prompts.expect(ScriptedPrompts::OpenFile, QString());
            win.clickAt(win.pixel(100));
            QVERIFY(prompts.allAnswered());
        } else {
            QTest::keyClick(&win.w, Qt::Key_Escape);
            QVERIFY(!m);
            QVERIFY(!win.w.rowOf(id));
            QCOMPARE(win.plot()->plottableCount(), plottables - 1);
            return;
        }
        QVERIFY(m && m->isFinished());
        QVERIFY(win.manager()->measurementList().contains(m));
        QCOMPARE(win.w.rowOf(id)->text(1), shown);
        QCOMPARE(m->valueText(), shown);
        QCOMPARE(win.plot()->plottableCount(), plottables);
        QVERIFY(!logText().mid(logBefore).contains(QStringLiteral("delete with value")));
        ContourTest::saveScreenshot(&win.w, "contour_operator_deviation_kept_" + change);
    }

    // "Длина" on a straight trace 5 mm long: a drag from the first point to the
    // last takes both ends, the same as two clicks; a drag after the first
    // point is picked takes nothing.
    void lengthByDragOrClicks_data()
    {
        QTest::addColumn<QString>("gestures");
        QTest::newRow("drag") << "d0-250";
        QTest::newRow("clicks") << "c0 c250";
        QTest::newRow("drag backwards") << "d250-0";
        QTest::newRow("click, drag ignored, click") << "c0 d100-200 c250";
    }
    void lengthByDragOrClicks()
    {
        QFETCH(QString, gestures);
        Settings::instance().axis_unit = 1;
        // 5 mm along x, rising 1 mm.
        Window win(contourFile("straight.trace", [](double x) { return 0.2 * x; }, 251, 20));
        ScriptedPrompts prompts;
        win.arm("actionDistance", "pushButtonHorisontalDistance");
        for (const QString &g : gestures.split(' ')) {
            const QStringList ends = g.mid(1).split('-');
            const int from = ends.first().toInt();
            if (g.startsWith('c')) {
                win.clickAt(win.pixel(from));
            } else {
                moveAt(win.plot(), win.pixel(from));
                ContourTest::drag(win.plot(), win.curve(), from, ends.last().toInt());
            }
        }
        QCOMPARE(win.status(), QStringLiteral("Расположите значение"));
        win.clickAt(win.pixel(125) + QPoint(0, -80));
        Measurement *m = win.manager()->measurementList().value(0);
        QVERIFY(m && m->isFinished());
        QCOMPARE(m->valueText(), QStringLiteral("5000.0000мкм"));
        QCOMPARE(win.w.rowOf(m->id())->text(1), QStringLiteral("5000.0000мкм"));
        // Two more clicks, as the operator of the report gave: a second
        // length is begun, the first keeps its value.
        win.clickAt(win.pixel(10));
        win.clickAt(win.pixel(20));
        QCOMPARE(m->valueText(), QStringLiteral("5000.0000мкм"));
    }

    // Deleting the drawing's row deletes the deviations measured against
    // it, rows and graphs; other deviations stay.
    void deviationGoneWithItsDrawing()
    {
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        ComparePlaneDXF *drawing = win.importAndRegister(prompts, writeFile(dir, "bump.dxf", bumpDrawing()));
        QVERIFY(drawing && drawing->isFinished());
        const int drawingId = drawing->id();
        win.arm("actionErrors", "pushButtonRMSE");
        QPointer<Measurement> line = win.place(10, 60);
        win.arm("actionDXF", "pushButtonErrorPlane");
        QPointer<Measurement> first = win.place(180, 240);
        win.arm("actionDXF", "pushButtonErrorPlane");
        // The second one still being placed when the drawing goes.
        ContourTest::drag(win.plot(), win.curve(), 100, 150);
        QPointer<Measurement> second = win.manager()->currentMeasurement();
        QVERIFY(line && first && second && first->isFinished() && !second->isFinished());
        const int ids[] = { first->id(), second->id() };
        QPointer<QCPAbstractPlottable> graphs[] = { qobject_cast<ErrorMeasurement *>(first)->deviationGraph()->curve(),
            qobject_cast<ErrorMeasurement *>(second)->deviationGraph()->curve() };
        QVERIFY(graphs[0] && graphs[1]);

        QTreeWidgetItem *row = win.w.rowOf(drawingId);
        win.w.tree()->scrollToItem(row);
        QTest::mouseClick(
            win.w.tree()->viewport(), Qt::LeftButton, Qt::NoModifier, win.w.tree()->visualItemRect(row).center());
        QTest::keyClick(&win.w, Qt::Key_Delete);
        QVERIFY(!win.w.rowOf(drawingId));
        QVERIFY(!first && !second);
        for (int id : ids)
            QVERIFY(!win.w.rowOf(id));
        QVERIFY(!graphs[0] && !graphs[1]);
        // Nor is the stretch the second had selected still shown.
        QVERIFY(win.curve()->selection().isEmpty());
        QVERIFY(line);
        QCOMPARE(win.w.rowOf(line->id())->text(0), QStringLiteral("Отклонение от прямой"));
        QCOMPARE(win.manager()->measurementList(), QList<Measurement *>({ line.data() }));
        QVERIFY(!win.button("pushButtonErrorPlane")->isEnabled());
        QVERIFY(!plotDrawing(win.plot()));
        ContourTest::saveScreenshot(&win.w, "contour_operator_drawing_deleted");
    }

    // A levelling holds across every redraw but its reset: after a settings
    // OK, and after a change of the axis unit and back, the trace is drawn
    // level and two measurements keep the values the levelling gave them.
    void levellingKeptAcrossRedraws_data()
    {
        QTest::addColumn<bool>("unitChange");
        QTest::newRow("settings OK") << false;
        QTest::newRow("unit to µm and back") << true;
    }
    void levellingKeptAcrossRedraws()
    {
        QFETCH(bool, unitChange);
        const double slope = std::tan(10 * M_PI / 180);
        Window win(contourFile("tilted.trace", [slope](double x) { return slope * x; }, 201, 25));
        ScriptedPrompts prompts;
        win.arm("actionAngle", "pushButtonHHorizonAngle");
        Measurement *angle = win.place(40, 160, QPoint(0, -150));
        win.arm("actionDistance", "pushButtonMinMaxDistance");
        Measurement *height = win.place(20, 180, QPoint(0, -80));
        QVERIFY(angle && height && angle->isFinished() && height->isFinished());
        const QString tiltedAngle = angle->valueText(), tiltedHeight = height->valueText();

        win.arm("actionLayFlat", "pushButtonlayFlat");
        ContourTest::drag(win.plot(), win.curve(), 0, 200);
        QVERIFY2(win.status().startsWith(QStringLiteral("Укладка готова")), qPrintable(win.status()));
        const QString levelAngle = angle->valueText(), levelHeight = height->valueText();
        QVERIFY(levelAngle != tiltedAngle && levelHeight != tiltedHeight);
        auto level = [&win] {
            const auto *data = win.curve()->data().data();
            const double rise = (data->constEnd() - 1)->value - data->constBegin()->value;
            const double run = (data->constEnd() - 1)->key - data->constBegin()->key;
            return std::abs(rise) < 1e-6 * std::abs(run);
        };
        QVERIFY(level());

        if (unitChange) {
            Settings::instance().axis_unit = 1;
            win.w.recalcAllMeasurements();
            QVERIFY(level());
            QCOMPARE(angle->valueText(), levelAngle);
            Settings::instance().axis_unit = 0;
        }
        win.w.recalcAllMeasurements();
        QVERIFY(level());
        QCOMPARE(angle->valueText(), levelAngle);
        QCOMPARE(height->valueText(), levelHeight);
        QCOMPARE(win.w.rowOf(angle->id())->text(1), levelAngle);
        QCOMPARE(win.w.rowOf(height->id())->text(1), levelHeight);

        // Only the reset undoes it.
        win.openFrame("actionLayFlat");
        QTest::mouseClick(win.button("pushButtonRST"), Qt::LeftButton);
        QVERIFY(!level());
        QCOMPARE(angle->valueText(), tiltedAngle);
        QCOMPARE(height->valueText(), tiltedHeight);
    }

    // Waiting for the registration's picks, only a left click with no zoom
    // or pan tool on and no tool frame open picks: a drag of the pan tool
    // moves the view, a click with the pan tool on or beside an open frame
    // picks nothing. Once the tool is off and the frame closed, two clicks
    // register the drawing.
    void registrationPicksOnlyPlainClicks_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::newRow("pan drag") << "pan drag";
        QTest::newRow("click with the pan tool on") << "pan click";
        QTest::newRow("click with the scale frame open") << "frame click";
    }
    void registrationPicksOnlyPlainClicks()
    {
        QFETCH(QString, gesture);
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        QPointer<ComparePlaneDXF> element = win.importDrawing(prompts, writeFile(dir, "bump.dxf", bumpDrawing()));
        QVERIFY(element);
        QCoreApplication::processEvents();
        const QString firstPrompt = QStringLiteral("Выберите первую точку на трассе");
        QCOMPARE(win.status(), firstPrompt);

        if (gesture == "pan drag") {
            win.arm("actionScale", "pushButtonPAN");
            const QCPRange before = win.plot()->xAxis->range();
            const QPoint from = win.pixel(100) + QPoint(0, -150);
            moveAt(win.plot(), from);
            pressAt(win.plot(), from);
            for (int dx = 10; dx <= 60; dx += 10)
                moveAt(win.plot(), from + QPoint(dx, 5), Qt::LeftButton);
            releaseAt(win.plot(), from + QPoint(60, 5));
            QVERIFY(win.plot()->xAxis->range().lower != before.lower);
        } else if (gesture == "pan click") {
            win.arm("actionScale", "pushButtonPAN");
            win.clickAt(win.pixel(75));
        } else {
            win.openFrame("actionScale");
            QVERIFY(win.w.findChild<QFrame *>("frameScale")->isVisible());
            win.clickAt(win.pixel(200));
        }
        QVERIFY(element);
        QCOMPARE(element->registrationStage, qint16(0));
        QCOMPARE(win.status(), firstPrompt);

        // The tool off (as any frame's opening does it) and the frame closed.
        if (gesture != "frame click")
            win.openFrame("actionScale");
        win.openFrame("actionScale");
        QVERIFY(!win.w.findChild<QFrame *>("frameScale")->isVisible());
        win.clickAt(win.pixel(75));
        QCOMPARE(element->registrationStage, qint16(1));
        win.clickAt(pixelOf(win.plot(), 3, 0));
        QVERIFY(element->isFinished());
        QVERIFY(element->drawingData()->registered);
        ContourTest::saveScreenshot(&win.w, "contour_operator_registered_after_" + gesture.replace(' ', '_'));
    }

    // Another kind chosen between the two picks keeps the drawing where it
    // is, unregistered, with its row and markers; with the kind switched
    // off again, the status bar asks for the first pick and two clicks
    // register it.
    void toolMidRegistrationKeepsTheDrawing()
    {
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        QPointer<ComparePlaneDXF> element = win.importDrawing(prompts, writeFile(dir, "bump.dxf", bumpDrawing()));
        QVERIFY(element);
        win.clickAt(win.pixel(75));
        QCOMPARE(win.status(), QStringLiteral("Выберите соответствующую ей точку на чертеже"));
        const auto params = element->drawingData()->drawing.dxfEntityParams;

        win.arm("actionDistance", "pushButtonHorisontalDistance");
        QVERIFY(element);
        QVERIFY(win.manager()->measurementList().contains(element.data()));
        QVERIFY(win.w.rowOf(element->id()));
        QCOMPARE(element->drawingData()->drawing.dxfEntityParams, params);
        QVERIFY(element->markers() && !element->markers()->isPickable());
        QCOMPARE(element->registrationStage, qint16(0));
        QVERIFY(!win.status().contains(QStringLiteral("на чертеже")));
        // While the kind is armed, a click on the trace is the kind's.
        win.clickAt(win.pixel(75));
        QCOMPARE(element->registrationStage, qint16(0));

        win.openFrame("actionDistance"); // switches the kind off
        QVERIFY(win.manager()->measurementList().contains(element.data()));
        win.openFrame("actionDistance");
        QCOMPARE(win.manager()->currentKind(), int(NO_MEASUREMENT));
        QCOMPARE(win.status(), QStringLiteral("Выберите первую точку на трассе"));
        // Another kind armed now takes the clicks: the request goes, and
        // comes back once the kind is switched off.
        win.arm("actionDistance", "pushButtonHorisontalDistance");
        QCOMPARE(win.manager()->currentKind(), int(HORIZONTAL_DISTANCE));
        QVERIFY(win.status().isEmpty());
        win.openFrame("actionDistance");
        win.openFrame("actionDistance");
        QCOMPARE(win.manager()->currentKind(), int(NO_MEASUREMENT));
        QCOMPARE(win.status(), QStringLiteral("Выберите первую точку на трассе"));
        win.clickAt(win.pixel(75));
        QCOMPARE(element->registrationStage, qint16(1));
        win.clickAt(pixelOf(win.plot(), 3, 0));
        QVERIFY(element->isFinished());
        QVERIFY(element->drawingData()->registered);
    }

    // The outline's drawing turned by 20°, its picks taken after the pan
    // tool moved the view and was switched off and the view was reset: the
    // picks are where the clicks are, so the drawing registers as the same
    // picks register it in a fresh window. With the tool off, the cursor is
    // the plain one again and a left drag no longer moves the view.
    void picksAfterPanAndReset()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "turned.dxf", outlineDrawing(1, 20, QPointF(2, -5)));
        // The end of the drawing's first line, drawn at (4, 0) mm.
        const QPointF lineEnd = DxfOutline::turned(QPointF(4, 0), 20, QPointF(2, -5));
        auto registerIn = [&](bool panFirst) -> QVector<QVector<double>> {
            Window win(outlineFile("outline.trace"));
            ScriptedPrompts prompts;
            win.arm("actionDXF", "pushButtonDXFPlane");
            prompts.expect(ScriptedPrompts::OpenFile, path);
            // The file is asked for by a click far from the picks to come.
            win.clickAt(pixelOf(win.plot(), 20, 2));
            QPointer<ComparePlaneDXF> element = qobject_cast<ComparePlaneDXF *>(win.manager()->currentMeasurement());
            if (!element)
                return {};
            if (panFirst) {
                win.arm("actionScale", "pushButtonPAN");
                const QPoint from = pixelOf(win.plot(), 12, 6);
                moveAt(win.plot(), from);
                pressAt(win.plot(), from);
                for (int dx = 10; dx <= 80; dx += 10)
                    moveAt(win.plot(), from + QPoint(dx, dx / 2), Qt::LeftButton);
                releaseAt(win.plot(), from + QPoint(80, 40));
                // The scale frame's opening switches the tool off; its "1:1"
                // resets the view and closes the frame.
                win.openFrame("actionScale");
                QTest::mouseClick(win.button("pushButtonResetScale"), Qt::LeftButton);
                if (win.w.findChild<QFrame *>("frameScale")->isVisible()
                    || win.plot()->cursor().shape() != Qt::ArrowCursor) {
                    qWarning() << "the scale frame is open or the cursor not the plain one";
                    return {};
                }
                const QCPRange x = win.plot()->xAxis->range(), y = win.plot()->yAxis->range();
                const QPoint start = pixelOf(win.plot(), 12, 6);
                moveAt(win.plot(), start);
                pressAt(win.plot(), start);
                for (int dx = 10; dx <= 80; dx += 10)
                    moveAt(win.plot(), start + QPoint(dx, dx / 2), Qt::LeftButton);
                releaseAt(win.plot(), start + QPoint(80, 40));
                if (win.plot()->xAxis->range() != x || win.plot()->yAxis->range() != y) {
                    qWarning() << "a left drag moved the view with the tool off";
                    return {};
                }
            }
            win.clickAt(pixelOf(win.plot(), 4, 0));
            if (element->registrationStage != 1 || std::abs(element->tracePoint.x() - 4) > 0.05
                || std::abs(element->tracePoint.y()) > 0.05) {
                qWarning() << "the trace pick took" << element->tracePoint;
                return {};
            }
            win.clickAt(pixelOf(win.plot(), lineEnd));
            if (!prompts.allAnswered() || prompts.unexpectedCount() != 0 || !element->isFinished()
                || !element->drawingData()->registered) {
                qWarning() << "not registered:" << (prompts.calls().isEmpty() ? QString() : prompts.calls().last().text);
                return {};
            }
            ContourTest::saveScreenshot(&win.w, panFirst ? "contour_operator_registered_after_pan_and_reset"
                                                         : "contour_operator_registered_turned_outline");
            return element->drawingData()->drawing.dxfEntityParams;
        };
        const QVector<QVector<double>> fresh = registerIn(false);
        QVERIFY(!fresh.isEmpty());
        // The fresh registration lays the drawing on the trace: its first
        // line back along the x axis.
        QVERIFY2(std::abs(fresh[0][0]) < 0.02 && std::abs(fresh[0][1]) < 0.02 && std::abs(fresh[0][2] - 4) < 0.02
                && std::abs(fresh[0][3]) < 0.02,
            qPrintable(QStringLiteral("first line %1, %2 - %3, %4").arg(fresh[0][0]).arg(fresh[0][1]).arg(fresh[0][2]).arg(fresh[0][3])));
        const QVector<QVector<double>> afterPan = registerIn(true);
        QVERIFY(!afterPan.isEmpty());
        QVERIFY(largestDifference(afterPan, fresh) < 1e-9);
    }

    // A registration interrupted by a kind is paused each time, however
    // often: the trace pick is given back and, once the kind is switched
    // off, the status bar asks for the first pick again with the selection
    // marker shown, also in place of a length measured meanwhile.
    void registrationPausedEachTime_data()
    {
        QTest::addColumn<bool>("measureLength");
        QTest::newRow("nothing measured meanwhile") << false;
        QTest::newRow("a length measured meanwhile") << true;
    }
    void registrationPausedEachTime()
    {
        QFETCH(bool, measureLength);
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        // The bump's outline drawn 2 mm above the trace.
        const QByteArray raised = bumpDrawing(2);
        QPointer<ComparePlaneDXF> element = win.importDrawing(prompts, writeFile(dir, "raised.dxf", raised));
        QVERIFY(element);
        const auto params = element->drawingData()->drawing.dxfEntityParams;
        const QString firstPrompt = QStringLiteral("Выберите первую точку на трассе");
        for (int interruption = 1; interruption <= 2; ++interruption) {
            win.clickAt(win.pixel(75));
            QCOMPARE(element->registrationStage, qint16(1));
            QCOMPARE(win.status(), QStringLiteral("Выберите соответствующую ей точку на чертеже"));
            win.arm("actionDistance", "pushButtonHorisontalDistance");
            QCOMPARE(element->registrationStage, qint16(0));
            QVERIFY(!element->markers()->isPickable());
            QVERIFY2(!win.status().contains(QStringLiteral("чертеже")), qPrintable(win.status()));
            if (measureLength && interruption == 2) {
                win.clickAt(win.pixel(60));
                win.clickAt(win.pixel(190));
                win.clickAt(win.pixel(125) + QPoint(0, -80));
                Measurement *length = win.manager()->measurementList().last();
                QVERIFY(length->type() == HORIZONTAL_DISTANCE && length->isFinished());
                QVERIFY2(win.status().startsWith(QStringLiteral("Длина")), qPrintable(win.status()));
            }
            win.openFrame("actionDistance"); // switches the kind off
            win.openFrame("actionDistance");
            QCOMPARE(win.manager()->currentKind(), int(NO_MEASUREMENT));
            QCOMPARE(win.status(), firstPrompt);
            QVERIFY(win.plot()->selectionMarker() && win.plot()->selectionMarker()->visible());
            QCOMPARE(element->registrationStage, qint16(0));
        }
        QCOMPARE(element->drawingData()->drawing.dxfEntityParams, params);
        win.clickAt(win.pixel(75));
        win.clickAt(pixelOf(win.plot(), 3, 2));
        QVERIFY(prompts.allAnswered());
        QVERIFY(element->isFinished() && element->drawingData()->registered);
        QVERIFY(win.status().isEmpty());
    }

    // Escape while a drawing waits for its picks backs out of a pick, never
    // out of the drawing: before the first pick it leaves the drawing where
    // it is, after the trace pick it gives that pick back; an Escape that
    // closes the scale frame does only that. The drawing keeps its place,
    // row and markers, asks for the first pick, and two picks register it.
    void escapeKeepsTheDrawing_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("before the first pick") << "import";
        QTest::newRow("after the trace pick") << "trace pick";
        QTest::newRow("closing the scale frame") << "frame";
    }
    void escapeKeepsTheDrawing()
    {
        QFETCH(QString, when);
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        const QByteArray raised = bumpDrawing(2);
        QPointer<ComparePlaneDXF> element = win.importDrawing(prompts, writeFile(dir, "raised.dxf", raised));
        QVERIFY(element);
        const int id = element->id();
        const auto params = element->drawingData()->drawing.dxfEntityParams;
        const int markers = element->markerCount;
        QFrame *scaleFrame = win.w.findChild<QFrame *>("frameScale");
        if (when == "trace pick") {
            win.clickAt(win.pixel(75));
            QCOMPARE(element->registrationStage, qint16(1));
        } else if (when == "frame") {
            win.openFrame("actionScale");
            QVERIFY(scaleFrame->isVisible());
        }

        QTest::keyClick(&win.w, Qt::Key_Escape);
        QVERIFY(element);
        QVERIFY(win.manager()->measurementList().contains(element.data()));
        QVERIFY(win.w.rowOf(id));
        QCOMPARE(element->drawingData()->drawing.dxfEntityParams, params);
        QVERIFY(element->drawingData()->item && element->drawingData()->item->parentPlot() == win.plot());
        QVERIFY(element->markers() && element->markerCount == markers);
        QVERIFY(!element->markers()->isPickable());
        QCOMPARE(element->registrationStage, qint16(0));
        QVERIFY(!scaleFrame->isVisible());
        QCOMPARE(win.status(), QStringLiteral("Выберите первую точку на трассе"));

        win.clickAt(win.pixel(75));
        QCOMPARE(element->registrationStage, qint16(1));
        win.clickAt(pixelOf(win.plot(), 3, 2));
        QVERIFY(element->isFinished() && element->drawingData()->registered);
        QVERIFY(win.w.rowOf(id));
    }

    // A part ten times the outline's size (220 mm) at the whole-trace view,
    // where a pixel spans about a quarter of a millimetre: a trace pick
    // 1.5 mm (some six pixels) before the corner that the drawing's marker
    // names registers the drawing on the trace; picks of two different
    // features are refused, the message saying how far the fit pulled them
    // apart and how far it may.
    void largePartPickedAtWholeView_data()
    {
        QTest::addColumn<QPointF>("onTrace");
        QTest::addColumn<QPointF>("onDrawing"); // before the drawing's shift
        QTest::addColumn<bool>("registers");
        QTest::newRow("picks six pixels apart") << QPointF(38.5, 0) << QPointF(40, 0) << true;
        QTest::newRow("picks of different features") << QPointF(10, 0) << QPointF(90, 30) << false;
    }
    void largePartPickedAtWholeView()
    {
        QFETCH(QPointF, onTrace);
        QFETCH(QPointF, onDrawing);
        QFETCH(bool, registers);
        Settings::instance().axis_unit = 0;
        QTemporaryDir dir;
        Window win(outlineFile("large.trace", 10));
        ScriptedPrompts prompts;
        const QPointF shift(0, 40);
        QPointer<ComparePlaneDXF> element
            = win.importDrawing(prompts, writeFile(dir, "large.dxf", outlineDrawing(10, 0, shift)));
        QVERIFY(element);
        const auto params = element->drawingData()->drawing.dxfEntityParams;
        const double mmPerPixel = win.plot()->xAxis->range().size() / win.plot()->axisRect()->width();
        QVERIFY2(mmPerPixel > 0.2, qPrintable(QString::number(mmPerPixel)));

        win.clickAt(pixelOf(win.plot(), onTrace));
        QCOMPARE(element->registrationStage, qint16(1));
        if (!registers)
            prompts.expect(ScriptedPrompts::Message, QMessageBox::Ok);
        win.clickAt(pixelOf(win.plot(), onDrawing + shift));
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
        if (registers) {
            QVERIFY(element->isFinished() && element->drawingData()->registered);
            // Laid on the trace: the first line along the x axis from 0 to
            // 40 mm, within a tenth of a pixel.
            const QVector<double> first = element->drawingData()->drawing.dxfEntityParams.first();
            QVERIFY2(std::abs(first[0]) < 0.03 && std::abs(first[1]) < 0.03 && std::abs(first[2] - 40) < 0.03
                    && std::abs(first[3]) < 0.03,
                qPrintable(QStringLiteral("%1, %2 - %3, %4").arg(first[0]).arg(first[1]).arg(first[2]).arg(first[3])));
            return;
        }
        QVERIFY(!element->isFinished());
        QCOMPARE(element->registrationStage, qint16(0));
        QCOMPARE(element->drawingData()->drawing.dxfEntityParams, params);
        const QString text = prompts.calls().last().text;
        const QRegularExpression apart(QStringLiteral("не соответствуют друг другу \\(подгонка развела их на "
                                                      "(\\d+(,\\d+)?) мм, допустимо до (\\d+(,\\d+)?) мм\\)"));
        const QRegularExpressionMatch m = apart.match(text);
        QVERIFY2(m.hasMatch(), qPrintable(text));
        const double distance = QLocale().toDouble(m.captured(1)), limit = QLocale().toDouble(m.captured(3));
        // The limit follows the part: a twentieth of its 220 mm by 30 mm box.
        QVERIFY2(limit > 10 && limit < 12, qPrintable(text));
        QVERIFY2(distance > limit, qPrintable(text));
    }

    // After a change of the display unit, mm to µm and back, with a
    // deviation's magnified graph on the plot: the selection marker points
    // at the trace where the mouse left it, in the new unit, and the view is
    // fitted to the trace.
    void unitChangeLeavesNothingStale()
    {
        Settings::instance().axis_unit = 0;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        win.arm("actionErrors", "pushButtonRMSE");
        QPointer<Measurement> line = win.place(10, 60);
        QVERIFY(line && line->isFinished());
        moveAt(win.plot(), win.pixel(100));
        for (const int unit : { 1, 0 }) {
            Settings::instance().axis_unit = unit;
            win.w.recalcAllMeasurements();
            const double factor = unit == 1 ? 1000 : 1;
            // The view is fitted to the trace alone, 0 to 2 mm high, not to
            // the deviation's graph that reaches below it: centred on it.
            const QCPRange x = win.plot()->xAxis->range(), y = win.plot()->yAxis->range();
            QVERIFY2(x.lower < 0 && x.upper > 10 * factor && std::abs(y.center() - 1 * factor) < 0.01 * y.size(),
                qPrintable(QStringLiteral("unit %1: x %2…%3, y %4…%5").arg(unit).arg(x.lower).arg(x.upper).arg(y.lower).arg(y.upper)));
            QCPItemLine *marker = win.plot()->selectionMarker();
            QVERIFY(marker && marker->visible());
            const QPointF end = marker->end->coords();
            const QPointF endPixel(win.plot()->xAxis->coordToPixel(end.x()), win.plot()->yAxis->coordToPixel(end.y()));
            bool onTrace = false;
            for (auto it = win.curve()->data()->constBegin(); it != win.curve()->data()->constEnd(); ++it)
                onTrace = onTrace || (it->key == end.x() && it->value == end.y());
            // Where a move back to the last mouse position would aim it: the
            // axis labels of the new unit may shift the pixels a little.
            QVERIFY2(onTrace && (endPixel - QPointF(win.pixel(100))).manhattanLength() < 30,
                qPrintable(QStringLiteral("unit %1: the marker points at %2, %3").arg(unit).arg(end.x()).arg(end.y())));
            ContourTest::saveScreenshot(&win.w, QStringLiteral("contour_operator_unit_change_%1").arg(unit));
        }
    }

    // Two imports are two drawings: registering the second moves only it,
    // and deleting its row leaves the first, its deviation and the
    // deviation's row as they were; the status bar forgets a deleted
    // drawing's deviation.
    void twoDrawingsEachOnItsOwn()
    {
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        QPointer<ComparePlaneDXF> first = win.importAndRegister(prompts, writeFile(dir, "bump.dxf", bumpDrawing()));
        QVERIFY(first && first->isFinished());
        win.arm("actionDXF", "pushButtonErrorPlane");
        QPointer<Measurement> deviation = win.place(180, 240);
        QVERIFY(deviation && deviation->isFinished());
        const QString deviationText = deviation->valueText();
        const auto firstParams = first->drawingData()->drawing.dxfEntityParams;

        // The same outline drawn 2 mm higher, its first line's end at (3, 2).
        const QByteArray raised = bumpDrawing(2);
        QPointer<ComparePlaneDXF> second = win.importDrawing(prompts, writeFile(dir, "raised.dxf", raised));
        QVERIFY(second && second != first);
        win.clickAt(win.pixel(75));
        win.clickAt(pixelOf(win.plot(), 3, 2));
        QVERIFY(second->isFinished());
        QCOMPARE(first->drawingData()->drawing.dxfEntityParams, firstParams);
        // The second lies on the trace as the first does.
        const auto secondParams = second->drawingData()->drawing.dxfEntityParams;
        QCOMPARE(secondParams.size(), firstParams.size());
        for (int i = 0; i < secondParams.size(); ++i)
            for (int k = 0; k < 3; ++k)
                QVERIFY2(std::abs(secondParams[i][k] - firstParams[i][k]) < 0.01,
                    qPrintable(QStringLiteral("entity %1, number %2").arg(i).arg(k)));
        QCOMPARE(win.plot()->itemCount() >= 2, true);
        ContourTest::saveScreenshot(&win.w, "contour_operator_two_drawings");

        auto deleteRow = [&win](int id) {
            QTreeWidgetItem *row = win.w.rowOf(id);
            QVERIFY(row);
            win.w.tree()->scrollToItem(row);
            QTest::mouseClick(win.w.tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                win.w.tree()->visualItemRect(row).center());
            QTest::keyClick(&win.w, Qt::Key_Delete);
        };
        const int secondId = second->id();
        deleteRow(secondId);
        QVERIFY(!second && !win.w.rowOf(secondId));
        QVERIFY(first && deviation);
        QCOMPARE(first->drawingData()->drawing.dxfEntityParams, firstParams);
        QVERIFY(first->drawingData()->item && first->drawingData()->item->parentPlot() == win.plot());
        QCOMPARE(deviation->valueText(), deviationText);
        QCOMPARE(win.w.rowOf(deviation->id())->text(1), deviationText);
        QVERIFY(win.button("pushButtonErrorPlane")->isEnabled());
        win.w.recalcAllMeasurements();
        QCOMPARE(deviation->valueText(), deviationText);

        // The deviation says its value in the status bar; deleting its
        // drawing takes it, and the text, away.
        QVERIFY2(win.status().startsWith(QStringLiteral("Отклонение от чертежа")), qPrintable(win.status()));
        deleteRow(first->id());
        QVERIFY(!first && !deviation);
        QCOMPARE(win.status(), QString());
        QVERIFY(!win.button("pushButtonErrorPlane")->isEnabled());
    }

    // Labels near the plot's edge are drawn whole inside it: the ruler of a
    // deviation that runs to the trace's last point, at the default view in
    // mm, and an angle whose value is placed at the right edge.
    void labelsInsidePlot()
    {
        Settings::instance().axis_unit = 0;
        Window win(contourFile("wavy.trace", [](double x) { return 0.05 * x + 2 * std::sin(x / 300); }));
        ScriptedPrompts prompts;
        win.arm("actionErrors", "pushButtonRMSE");
        ContourTest::drag(win.plot(), win.curve(), 120, 250);
        win.clickAt(win.pixel(250) + QPoint(0, 120));
        auto *m = qobject_cast<ErrorMeasurement *>(win.manager()->measurementList().value(0));
        QVERIFY(m && m->isFinished());
        win.plot()->replot();
        QVERIFY(checkRuler(m->deviationGraph(), "мм", win.plot()->locale(), win.plot()) >= 2);

        win.arm("actionAngle", "pushButtonHHorizonAngle");
        ContourTest::drag(win.plot(), win.curve(), 200, 240);
        const QRect area = win.plot()->axisRect()->rect();
        win.clickAt(QPoint(area.right() - 3, area.top() + 40));
        auto *angle = qobject_cast<AngleMeasurement *>(win.manager()->measurementList().value(1));
        QVERIFY(angle && angle->isFinished());
        win.plot()->replot();
        auto *label = qobject_cast<PlotLabel *>(angle->label);
        QVERIFY(label);
        QVERIFY2(QRectF(area).contains(label->drawnRect()), qPrintable(QString("%1 %2 %3 %4")
            .arg(label->drawnRect().left()).arg(label->drawnRect().right()).arg(area.left()).arg(area.right())));
        // Not where its position alone would put it.
        QVERIFY(!QRectF(area).contains(label->naturalRect()));
        ContourTest::saveScreenshot(&win.w, "contour_operator_labels_at_the_edge");
    }

    // The deviation from a drawing and the deviation from a straight line
    // carry different captions.
    void deviationCaptionsDiffer()
    {
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        ComparePlaneDXF *drawing = win.importAndRegister(prompts, writeFile(dir, "bump.dxf", bumpDrawing()));
        QVERIFY(drawing && drawing->isFinished());
        win.arm("actionErrors", "pushButtonRMSE");
        Measurement *line = win.place(10, 60);
        win.arm("actionDXF", "pushButtonErrorPlane");
        Measurement *plane = win.place(180, 240);
        QVERIFY(line && plane && line != plane);
        QCOMPARE(win.w.rowOf(line->id())->text(0), QStringLiteral("Отклонение от прямой"));
        QCOMPARE(win.w.rowOf(plane->id())->text(0), QStringLiteral("Отклонение от чертежа"));
        QCOMPARE(win.w.rowOf(plane->id())->parent()->text(0), QStringLiteral("ОТКЛОНЕНИЯ"));
    }

    // The deviation graph's ruler: fixed-point labels in the display unit
    // that read back to their ticks, beside the graph and never overlapping,
    // also at the graph's end and zoomed out.
    void rulerLabels_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("mm") << 0 << "мм";
        QTest::newRow("µm") << 1 << "мкм";
    }
    void rulerLabels()
    {
        QFETCH(int, unit);
        QFETCH(QString, suffix);
        Settings::instance().axis_unit = unit;
        // A nearly straight run with micrometre deviations.
        Window win(contourFile("wavy.trace", [](double x) { return 0.05 * x + 2 * std::sin(x / 300); }));
        ScriptedPrompts prompts;
        win.arm("actionErrors", "pushButtonRMSE");
        auto *m = qobject_cast<ErrorMeasurement *>(win.place(20, 230, QPoint(0, 120)));
        QVERIFY(m && m->isFinished());
        const ErrorGraph *graph = m->deviationGraph();
        QVERIFY(graph->tickCount() >= 3);
        win.plot()->replot();
        ContourTest::saveScreenshot(&win.w, "contour_operator_ruler_" + QString::number(unit));
        QVERIFY(checkRuler(graph, suffix, win.plot()->locale(), win.plot()) >= 2);

        for (int i = 0; i < 6; ++i)
            wheel(win.plot(), -120);
        win.plot()->replot();
        ContourTest::saveScreenshot(&win.w, "contour_operator_ruler_zoomed_out_" + QString::number(unit));
        QVERIFY(checkRuler(graph, suffix, win.plot()->locale(), win.plot()) >= 1);
    }

    // A drag that reaches the trace's last point takes it in: the largest
    // height of a rising run ends at the last point.
    void dragToTheLastPoint()
    {
        Window win(contourFile("rise.trace", [](double x) { return 0.1 * x; }, 200, 25));
        ScriptedPrompts prompts;
        win.arm("actionDistance", "pushButtonMinMaxDistance");
        ContourTest::drag(win.plot(), win.curve(), 180, 199);
        const QCPDataSelection highlighted = win.curve()->selection();
        QCOMPARE(highlighted.dataRangeCount(), 1);
        QCOMPARE(highlighted.dataRange(0), QCPDataRange(180, 200));
        win.clickAt(win.pixel(190) + QPoint(-60, 0));
        Measurement *m = win.manager()->measurementList().value(0);
        QVERIFY(m && m->isFinished());
        QCOMPARE(m->segments.value(0).begin, quint64(180));
        QCOMPARE(m->segments.value(0).end, quint64(200));
        // 19 steps of 25 µm at a slope of 0.1, in mm.
        QVERIFY2(std::abs(m->value() - 19 * 25 * 0.1 / 1000) < 1e-9, qPrintable(QString::number(m->value(), 'g', 17)));
    }

    // The labels' font after a protocol is the font they had before it.
    void labelFontAfterProtocol()
    {
        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        win.arm("actionDistance", "pushButtonMinMaxDistance");
        win.place(80, 120);
        win.arm("actionRadius", "pushButtonRadius");
        win.place(90, 160);
        win.arm("actionAngle", "pushButtonHHorizonAngle");
        win.place(85, 95);
        const QList<QFont> before = labelFonts(win.plot());
        QVERIFY(before.size() >= 3);
        for (const QFont &f : before)
            QCOMPARE(f, before.first());

        prompts.expect(ScriptedPrompts::SaveFile, dir.filePath("protocol"));
        prompts.expect(ScriptedPrompts::Url, true);
        QTest::keyClick(&win.w, Qt::Key_P, Qt::ControlModifier);
        if (prompts.calls().isEmpty())
            win.w.saveReport(&win.w); // the shortcut belongs to the main window
        QVERIFY(prompts.allAnswered());
        QVERIFY(QFile::exists(dir.filePath("protocol.html")));
        QCOMPARE(labelFonts(win.plot()), before);
    }

    // The protocol the window writes, rendered by Chromium: every placed
    // measurement stands in a row with its caption, its value and its unit.
    void protocolInBrowser()
    {
        QString chromium = qEnvironmentVariable("VANTOR_CHROMIUM");
        if (chromium.isEmpty())
            chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty())
            QFAIL("Chromium is not installed: this test needs it (tools/setup.sh --tests installs it)");

        QTemporaryDir dir;
        Window win(contourFile("bump.trace", bump));
        ScriptedPrompts prompts;
        QVERIFY(win.importAndRegister(prompts, writeFile(dir, "bump.dxf", bumpDrawing())));
        QList<Measurement *> placed;
        win.arm("actionDistance", "pushButtonMinMaxDistance");
        placed << win.place(80, 120);
        win.arm("actionAngle", "pushButtonHHorizonAngle");
        placed << win.place(85, 95, QPoint(40, -60));
        win.arm("actionRadius", "pushButtonRadius");
        placed << win.place(90, 160);
        win.arm("actionDXF", "pushButtonErrorPlane");
        placed << win.place(180, 240);
        for (Measurement *m : placed)
            QVERIFY(m && m->isFinished());

        prompts.expect(ScriptedPrompts::SaveFile, dir.filePath("protocol"));
        prompts.expect(ScriptedPrompts::Url, true);
        win.w.saveReport(&win.w);
        QVERIFY(prompts.allAnswered());
        const QString page = dir.filePath("protocol.html");
        QVERIFY(QFile::exists(page));

        QTemporaryDir profile;
        QProcess browser;
        browser.start(chromium,
            { "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.path(), "--dump-dom",
                QUrl::fromLocalFile(page).toString() });
        if (!browser.waitForFinished(60000)) {
            browser.kill();
            browser.waitForFinished();
            QFAIL("Chromium did not finish within 60 s");
        }
        QCOMPARE(browser.exitCode(), 0);
        const QStringList rows = tableRows(QString::fromUtf8(browser.readAllStandardOutput()));
        QVERIFY2(!rows.isEmpty(), "no table rows in the rendered protocol");
        for (Measurement *m : placed) {
            const QString caption = m->name();
            const QString value = m->valueText();
            QVERIFY2(value.contains(QRegularExpression("\\d")) && value.endsWith(m == placed[1] ? "''" : "мм"),
                qPrintable(value));
            const bool found = std::any_of(rows.cbegin(), rows.cend(),
                [&](const QString &r) { return r.contains(caption) && r.contains(value); });
            QVERIFY2(found, qPrintable(caption + " " + value + " not in: " + rows.join(" / ")));
        }
    }
};

VANTOR_TEST_MAIN(TestContourOperator)
#include "tst_contouroperator.moc"
