// The thread element placed with a real click on a thread trace.
#include "support/contourwindowstandin.h"
#include "support/testmain.h"

#include "measurements/thread.h"
#include "measurements/threadfit.h"
#include "threadprofile.h"

namespace {

// 10 pitches of a trapezoidal thread with narrow crests, 2001 points.
ContourTrace *threadTrace()
{
    ThreadProfile thread;
    thread.crest = 0.1;
    thread.groove = 0.3;
    QVector<QPointF> p;
    for (const QCPCurveData &d : thread.sample(10, 2001))
        p << QPointF(d.key, d.value);
    return ContourTest::makeTrace(p);
}

bool near(const QPointF &a, const QPointF &b)
{
    return std::abs(a.x() - b.x()) < 1e-6 && std::abs(a.y() - b.y()) < 1e-6;
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

} // namespace

class TestThread : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { previousHandler = qInstallMessageHandler(quiet); }
    void cleanup() { qInstallMessageHandler(previousHandler); }

    // One click fits the line to the whole clicked curve and finishes.
    void clickFitsTheWholeCurve()
    {
        ContourWindowStandIn w({ threadTrace() });
        w.arm(THREAD);
        const int itemsBefore = w.plot()->itemCount();
        const QPointF p = w.tracePoint(0, 700);
        w.move(p);
        w.move(p);
        w.click(p);
        auto *t = qobject_cast<Thread *>(w.manager()->measurementList().value(0));
        QVERIFY(t && t->isFinished());
        QVERIFY(!t->isMeasurement);
        QCOMPARE(w.rowOf(t)->parent()->text(0), QStringLiteral("ДОП. ГЕОМЕТРИИ"));

        const auto data = w.traceCurve(0)->data();
        const Algos::RMS expected = ThreadFit::fitLine(data->constBegin(), data->constEnd());
        QCOMPARE(t->coefficients, QVector<double>({ expected.coefficient(1), expected.coefficient(0) }));
        // Crests a third as wide as grooves: the line sits below the middle.
        QVERIFY(std::abs(t->coefficients[1] - 1.0 / 6) < 0.01);
        QVERIFY(!t->line->visible());
        const double xFirst = data->constBegin()->key, xLast = (data->constEnd() - 1)->key;
        // Across the curve, drawn in single precision.
        QVERIFY(near(t->fittedLine->start->coords(), QPointF(xFirst, expected.value(xFirst))));
        QVERIFY(near(t->fittedLine->end->coords(), QPointF(xLast, expected.value(xLast))));

        // It never recomputes, and deleting it takes both its lines away.
        w.recalcAllMeasurements();
        QVERIFY(near(t->fittedLine->start->coords(), QPointF(xFirst, expected.value(xFirst))));
        w.deleteMeasurement(t->id());
        QCOMPARE(w.plot()->itemCount(), itemsBefore);
    }

    // A right-button release, and a release while the plot names no curve,
    // leave the element waiting.
    void releasesThatDoNothing()
    {
        ContourWindowStandIn w({ threadTrace() });
        w.arm(THREAD);
        const QPointF away(5, 3);
        w.click(away);
        auto *t = qobject_cast<Thread *>(w.manager()->currentMeasurement());
        QVERIFY(t);
        QVERIFY(!w.plot()->selectedCurve());
        QVERIFY(!t->isFinished());

        const QPointF p = w.tracePoint(0, 300);
        w.move(p);
        w.move(p);
        w.release(p, Qt::RightButton);
        QVERIFY(!t->isFinished());
        w.release(p);
        QVERIFY(t->isFinished());
    }

private:
    QtMessageHandler previousHandler = nullptr;
};

VANTOR_TEST_MAIN(TestThread)
#include "tst_thread.moc"
