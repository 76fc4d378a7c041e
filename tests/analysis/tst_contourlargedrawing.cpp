// A drawing as large as the reader accepts, in the contour window with real
// mouse events: every end of it can be picked for the registration, far end
// included, and "Отмена" pressed once the search has ended, before its result
// is applied, leaves the drawing where it was.

#include "analysis/contouranalisiswidget.h"
#include "measurements/compareplanedxf.h"
#include "measurements/dxffit.h"
#include "measurements/measurementsmanager.h"
#include "plot/plotwidget.h"
#include "settings/settings.h"
#include "widgets/loader.h"

#include "measurements/dxftestfiles.h"
#include "support/contourtestplot.h"
#include "support/freshsettings.h"
#include "support/neutralcalibration.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "support/tracefiles.h"
#include "support/windowshot.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QToolBar>
#include <cmath>

using ContourTest::moveAt;
using ContourTest::pixelOf;
using ContourTest::pressAt;
using ContourTest::releaseAt;

namespace {

// The outline of a part in millimetres: flat to 3 mm, a half circle of 2 mm
// radius about 5 mm, flat from 7 mm to 10 mm; at s millimetres along it.
constexpr double kOutlineLength = 6 + 2 * M_PI;

QPointF outlineAt(double s)
{
    if (s <= 3)
        return QPointF(s, 0);
    if (s >= 3 + 2 * M_PI)
        return QPointF(7 + (s - 3 - 2 * M_PI), 0);
    const double phi = M_PI - (s - 3) / 2;
    return QPointF(5 + 2 * std::cos(phi), 2 * std::sin(phi));
}

// The contour in µm, 251 points along x.
double bump(double x)
{
    const double d = x - 5000, r = 2000;
    return std::abs(d) < r ? std::sqrt(r * r - d * d) : 0.0;
}

// The outline as one polyline of kMaxDxfEntities segments, shifted by
// `shift` millimetres: the largest drawing the reader accepts.
QByteArray largeOutline(const QPointF &shift)
{
    QVector<QPointF> vertices;
    vertices.reserve(kMaxDxfEntities + 1);
    for (int i = 0; i <= kMaxDxfEntities; ++i)
        vertices << outlineAt(kOutlineLength * i / kMaxDxfEntities) + shift;
    return DxfText::file(DxfText::polyline(vertices, 0));
}

const QPointF kShift(-0.3, 1.0); // mm: above the trace, its far end within view

struct Window {
    std::unique_ptr<ContourTrace> trace;
    ContourAnalisisWidget w;
    ScriptedPrompts prompts;
    QTemporaryDir dir;

    Window()
    {
        useNeutralContourCalibration();
        ContourTrace source;
        for (int i = 0; i < 251; ++i) {
            QVector<double> p { i * 40.0, bump(i * 40.0), 0 };
            source.addPoint(p);
        }
        trace = roundTrip<ContourTrace>(source, "bump.trace");
        w.resize(1280, 760);
        w.show();
        QApplication::setActiveWindow(&w);
        w.setTraces({ trace.get() });
    }
    PlotWidget *plot() { return w.plot(); }
    QString status() { return w.findChild<QStatusBar *>()->currentMessage(); }
    void click(const QPoint &at)
    {
        moveAt(plot(), at);
        pressAt(plot(), at);
        releaseAt(plot(), at);
    }
    // The operator opens the DXF frame, clicks the import button, then the
    // plot, and answers the file question.
    ComparePlaneDXF *import()
    {
        QFile f(dir.filePath("large.dxf"));
        if (!f.open(QIODevice::WriteOnly))
            return nullptr;
        f.write(largeOutline(kShift));
        f.close();
        QTest::mouseClick(w.findChild<QToolBar *>("toolBar")->widgetForAction(w.findChild<QAction *>("actionDXF")),
            Qt::LeftButton);
        QTest::mouseClick(w.findChild<QPushButton *>("pushButtonDXFPlane"), Qt::LeftButton);
        prompts.expect(ScriptedPrompts::OpenFile, f.fileName());
        click(pixelOf(plot(), 1000, 0));
        return qobject_cast<ComparePlaneDXF *>(w.measurementsManager()->currentMeasurement());
    }
    // The trace's last point, then the mouse onto the drawing's far end.
    void pickFarEnd()
    {
        click(pixelOf(plot(), 10000, 0));
        moveAt(plot(), pixelOf(plot(), farEnd()));
    }
    bool onePixelApart(const QPointF &a, const QPointF &b)
    {
        const QPointF d(plot()->xAxis->coordToPixel(a.x()) - plot()->xAxis->coordToPixel(b.x()),
            plot()->yAxis->coordToPixel(a.y()) - plot()->yAxis->coordToPixel(b.y()));
        return std::hypot(d.x(), d.y()) <= 1;
    }
    static QPointF farEnd() { return (outlineAt(kOutlineLength) + kShift) * 1000; }
    double meanDistance()
    {
        QVector<QPointF> points;
        for (int i = 0; i < 251; ++i)
            points << QPointF(i * 40.0, bump(i * 40.0));
        return drawingFitError(plotDrawing(plot())->drawing, points) / points.size();
    }
};

} // namespace

class TestContourLargeDrawing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        freshSettings();
        Settings::instance().axis_unit = 1; // µm
    }
    void cleanup() { QApplication::setActiveWindow(nullptr); }

    // The selection marker lands on the drawing's last vertex, the end of
    // its 100,000th segment; the click there registers the drawing onto the
    // trace.
    void farEndIsPicked()
    {
        Window win;
        ComparePlaneDXF *element = win.import();
        QVERIFY(element && element->hasDrawing());
        QCOMPARE(plotDrawing(win.plot())->drawing.size(), kMaxDxfEntities);
        QCOMPARE(element->markerCount, 12 * kMaxDxfEntities);

        win.pickFarEnd();
        QCOMPARE(win.status(), QStringLiteral("Выберите соответствующую ей точку на чертеже"));
        QCOMPARE(win.plot()->selectedCurve(), element->markers());
        // Markers lie 12 nm apart there: the one picked is within the
        // cursor's pixel, on the last segment.
        const int index = int(win.plot()->selectedDataIndex());
        const QPointF picked(curveKeyAt(element->markers(), index), curveValueAt(element->markers(), index));
        QVERIFY(win.onePixelApart(picked, Window::farEnd()));
        ContourTest::saveScreenshot(&win.w, "contour_large_drawing_far_end");

        pressAt(win.plot(), pixelOf(win.plot(), Window::farEnd()));
        releaseAt(win.plot(), pixelOf(win.plot(), Window::farEnd()));
        QVERIFY(win.onePixelApart(element->drawingPoint, Window::farEnd()));
        QTRY_VERIFY_WITH_TIMEOUT(!element->isRegistering(), 60000);
        QVERIFY(element->isFinished());
        QVERIFY(!element->markers());
        QVERIFY2(win.meanDistance() < 1, qPrintable(QString::number(win.meanDistance())));
        ContourTest::saveScreenshot(&win.w, "contour_large_drawing_registered");
    }

    // "Отмена" pressed after the search has ended, while its result waits to
    // be applied: the drawing stays where it was, its markers stay pickable
    // at the next second click, and a registration after that goes through.
    void cancelBeforeTheResultIsAppliedLeavesTheDrawing()
    {
        Window win;
        ComparePlaneDXF *element = win.import();
        QVERIFY(element);
        const auto params = plotDrawing(win.plot())->drawing.dxfEntityParams;
        win.pickFarEnd();
        pressAt(win.plot(), pixelOf(win.plot(), Window::farEnd()));
        releaseAt(win.plot(), pixelOf(win.plot(), Window::farEnd()));
        QVERIFY(element->isRegistering());
        QThreadPool::globalInstance()->waitForDone();
        // The window's busy window lies over it and says what happens.
        auto *loader = win.w.findChild<Loader *>();
        QVERIFY(loader && loader->isVisible());
        QCOMPARE(loader->parentWidget(), &win.w);
        QCOMPARE(loader->findChild<QLabel *>(QStringLiteral("titleLabel"))->text(),
            QStringLiteral("Идёт совмещение чертежа"));
        saveWindowShot(loader, QStringLiteral("dxf_registering_busy_window"));
        QTest::mouseClick(loader->findChild<QPushButton *>(QStringLiteral("cancelButton")), Qt::LeftButton);
        QTRY_VERIFY(!element->isRegistering());

        QCOMPARE(plotDrawing(win.plot())->drawing.dxfEntityParams, params);
        QCOMPARE(element->registrationStage, qint16(0));
        QVERIFY(!element->isFinished());
        QCOMPARE(element->markerCount, 12 * kMaxDxfEntities);
        QCOMPARE(win.status(), QStringLiteral("Выберите первую точку на трассе"));
        QTRY_VERIFY(win.w.findChildren<Loader *>().isEmpty());
        ContourTest::saveScreenshot(&win.w, "contour_large_drawing_cancelled");

        win.pickFarEnd();
        QCOMPARE(win.plot()->selectedCurve(), element->markers());
        pressAt(win.plot(), pixelOf(win.plot(), Window::farEnd()));
        releaseAt(win.plot(), pixelOf(win.plot(), Window::farEnd()));
        QTRY_VERIFY_WITH_TIMEOUT(!element->isRegistering(), 60000);
        QVERIFY(element->isFinished());
        QVERIFY2(win.meanDistance() < 1, qPrintable(QString::number(win.meanDistance())));
    }
};

VANTOR_TEST_MAIN(TestContourLargeDrawing)
#include "tst_contourlargedrawing.moc"
