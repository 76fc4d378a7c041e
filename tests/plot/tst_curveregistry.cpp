#include "support/testmain.h"

#include "plot/curveregistry.h"

#include <qcustomplot.h>

#include <QRegularExpression>

namespace {

class DerivedCurve : public QCPCurve {
public:
    using QCPCurve::QCPCurve;
};

const char *kBadIndex = "QCPCurve* QCustomPlot::curve(int) const index out of bounds: %1";

} // namespace

class TestCurveRegistry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyPlot()
    {
        QCustomPlot plot;
        QCOMPARE(CurveRegistry::curveCount(&plot), 0);
        QVERIFY(CurveRegistry::curves(&plot).isEmpty());
        QCOMPARE(CurveRegistry::curve(&plot), static_cast<QCPCurve *>(nullptr)); // silent
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(kBadIndex).arg(0)));
        QCOMPARE(CurveRegistry::curve(&plot, 0), static_cast<QCPCurve *>(nullptr));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(kBadIndex).arg(-1)));
        QCOMPARE(CurveRegistry::curve(&plot, -1), static_cast<QCPCurve *>(nullptr));
        QCOMPARE(CurveRegistry::curveCount(nullptr), 0);
    }

    void creationOrderAndRemoval()
    {
        QCustomPlot plot;
        auto *a = new QCPCurve(plot.xAxis, plot.yAxis);
        auto *g = plot.addGraph(); // graphs are not curves
        auto *b = new DerivedCurve(plot.xAxis, plot.yAxis);
        auto *c = new QCPCurve(plot.xAxis, plot.yAxis);
        c->setVisible(false); // hidden curves are listed too
        new QCPBars(plot.xAxis, plot.yAxis);

        QCOMPARE(CurveRegistry::curves(&plot), QVector<QCPCurve *>({ a, b, c }));
        QCOMPARE(CurveRegistry::curve(&plot, 0), a);
        QCOMPARE(CurveRegistry::curve(&plot, 1), static_cast<QCPCurve *>(b));
        QCOMPARE(CurveRegistry::curve(&plot), c);
        QCOMPARE(CurveRegistry::indexOf(&plot, c), 2);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(kBadIndex).arg(3)));
        QCOMPARE(CurveRegistry::curve(&plot, 3), static_cast<QCPCurve *>(nullptr));

        QVERIFY(plot.removePlottable(b));
        QCOMPARE(CurveRegistry::curveCount(&plot), 2);
        QCOMPARE(CurveRegistry::curve(&plot, 1), c);
        QCOMPARE(CurveRegistry::indexOf(&plot, c), 1);

        QVERIFY(plot.removeGraph(g));
        QCOMPARE(CurveRegistry::curves(&plot), QVector<QCPCurve *>({ a, c }));

        // A plottable of another plot is refused and changes nothing.
        QCustomPlot other;
        auto *foreign = new QCPCurve(other.xAxis, other.yAxis);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("plottable not in list"));
        QVERIFY(!plot.removePlottable(foreign));
        QCOMPARE(CurveRegistry::curves(&plot), QVector<QCPCurve *>({ a, c }));
        QCOMPARE(CurveRegistry::indexOf(&plot, foreign), -1);

        // Removal by index and clearing keep the registry in step.
        QVERIFY(plot.removePlottable(0));
        QCOMPARE(CurveRegistry::curve(&plot), c);
        plot.clearPlottables();
        QCOMPARE(CurveRegistry::curveCount(&plot), 0);
    }
};

VANTOR_TEST_MAIN(TestCurveRegistry)
#include "tst_curveregistry.moc"
