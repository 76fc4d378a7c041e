// Extremum points and text labels: the extremum of a range of curve data, the
// elements placed on a plot with real mouse events, and the text asked for
// through the prompts object.
#include "settings/common.h"
#include "support/contourwindowstandin.h"
#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "geometryfixtures.h"
#include "measurements/additionalgeometryselection.h"
#include "measurements/agtextplacement.h"
#include "measurements/circlegeometry.h"
#include "measurements/reperpoint.h"

#include <QSignalSpy>

namespace {

// x 0 to 19; y 1, 5, 5, 2 at indices 10 to 13; higher and lower decoys around.
ContourTrace *extremaTrace()
{
    QVector<QPointF> p;
    const QVector<double> y { 0, 3, -3, 8, 0, -8, 0, 3, -3, 0, 1, 5, 5, 2, 0, 9, -9, 0, 3, -3 };
    for (int i = 0; i < y.size(); ++i)
        p << QPointF(i, y[i]);
    return ContourTest::makeTrace(p);
}

} // namespace

class TestExtremum : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void extremumIndex_data()
    {
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<int>("begin");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("minimum");

        // Indices 0-9 hold decoys higher and lower than anything in the range.
        QVector<double> v(10, 0.0);
        v[3] = 100;
        v[7] = -100;
        v << 1 << 5 << 5 << 2 << -50 << 50;
        QTest::newRow("equal values: the first wins") << v << 10 << 14 << 11 << 10;
        QTest::newRow("one point") << v << 10 << 11 << 10 << 10;
        QTest::newRow("range reaching the end") << v << 12 << 16 << 15 << 14;
        QTest::newRow("empty range") << v << 12 << 12 << -1 << -1;
        QTest::newRow("equal lows: the first wins") << QVector<double> { 3, -1, 0, -1 } << 0 << 4 << 0 << 1;
    }

    void extremumIndex()
    {
        QFETCH(QVector<double>, values);
        QFETCH(int, begin);
        QFETCH(int, end);
        QFETCH(int, maximum);
        QFETCH(int, minimum);
        QVector<QCPCurveData> d;
        for (int i = 0; i < values.size(); ++i)
            d << QCPCurveData(i, i, values[i]);
        const QCPCurveData *first = d.constData() + begin;
        const QCPCurveData *last = d.constData() + end;
        const int offsetMax = Geometry::extremumIndex(first, last, true);
        const int offsetMin = Geometry::extremumIndex(first, last, false);
        QCOMPARE(offsetMax < 0 ? -1 : begin + offsetMax, maximum);
        QCOMPARE(offsetMin < 0 ? -1 : begin + offsetMin, minimum);
    }

    // A drag from point `from` to point `to` selects [from, to); the point
    // follows the extremum of the range and stays there after the release.
    void extremumElements_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QPointF>("expected");
        QTest::newRow("maximum: the first of equal values") << int(FIND_MAX_POINT) << 10 << 14 << QPointF(11, 5);
        QTest::newRow("minimum") << int(FIND_MIN_POINT) << 10 << 14 << QPointF(10, 1);
        QTest::newRow("maximum of one point") << int(FIND_MAX_POINT) << 10 << 11 << QPointF(10, 1);
        QTest::newRow("minimum of one point") << int(FIND_MIN_POINT) << 10 << 11 << QPointF(10, 1);
        QTest::newRow("minimum dragged backwards") << int(FIND_MIN_POINT) << 18 << 12 << QPointF(16, -9);
    }

    void extremumElements()
    {
        QFETCH(int, kind);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QPointF, expected);
        ContourWindowStandIn w({ extremaTrace() });
        w.arm(kind);
        w.drag(0, from, to);
        auto *m = qobject_cast<AdditionalGeometrySelection *>(w.manager()->measurementList().value(0));
        QVERIFY(m && m->isFinished());
        QVERIFY(m->reperPoints.at(0)->isVisible());
        QCOMPARE(m->reperPoints.at(0)->position(), expected);
        QCOMPARE(m->valueText(), QString());
        QCOMPARE(w.rowOf(m)->parent()->text(0), QStringLiteral("ДОП. ГЕОМЕТРИИ"));
        QVERIFY(w.plot()->selectionMarker() && w.plot()->selectionMarker()->visible());
    }

    // Press and release on one point select nothing: no element is placed
    // and the kind stays armed.
    void extremumOfNoRange()
    {
        ContourWindowStandIn w({ extremaTrace() });
        w.arm(FIND_MAX_POINT);
        w.click(w.tracePoint(0, 11));
        QVERIFY(w.manager()->measurementList().isEmpty());
        QVERIFY(!w.manager()->currentMeasurement());
        QCOMPARE(w.manager()->currentKind(), int(FIND_MAX_POINT));
    }

    // The text is asked for on a release and placed there; a cancelled entry
    // leaves the label waiting and the next release asks again; a text of
    // blanks is a text.
    void textLabel()
    {
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Text, QString()).expect(ScriptedPrompts::Text, QStringLiteral("   "));
        ContourWindowStandIn w({ extremaTrace() });
        w.arm(AG_TEXT_PLACEMENT);
        const QPointF at(6, 4);
        w.click(at);
        auto *t = qobject_cast<AgTextPlacement *>(w.manager()->currentMeasurement());
        QVERIFY(t);
        QVERIFY(!t->isFinished());
        QCOMPARE(t->textItem->position->coords(), QPointF(0, 0));
        QVERIFY(!w.plot()->selectionMarker() || !w.plot()->selectionMarker()->visible());

        QSignalSpy finished(t, &Measurement::measumentFinished);
        w.click(at);
        QVERIFY(t->isFinished());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(t->textItem->text(), QStringLiteral("   "));
        QCOMPARE(t->textItem->color(), QColor(Qt::black));
        // Within a pixel of the release.
        const QPointF placed = t->textItem->position->coords();
        QVERIFY(std::abs(w.plot()->xAxis->coordToPixel(placed.x()) - w.plot()->xAxis->coordToPixel(at.x())) <= 1);
        QVERIFY(std::abs(w.plot()->yAxis->coordToPixel(placed.y()) - w.plot()->yAxis->coordToPixel(at.y())) <= 1);
        QVERIFY(!w.plot()->testAttribute(Qt::WA_SetCursor));
        QCOMPARE(w.rowOf(t)->text(0), QStringLiteral("Текст"));

        QCOMPARE(prompts.calls().size(), 2);
        QCOMPARE(prompts.calls().at(0).title, QStringLiteral("Введите текст"));
        QCOMPARE(prompts.calls().at(0).text, QStringLiteral("Текст:"));
        QVERIFY(prompts.allAnswered());

        // Large for a protocol, then back to the font it had.
        const QFont normal = t->textItem->font();
        QCOMPARE(normal, Common::kMonospaceFont);
        t->setLargeFont(true);
        QCOMPARE(t->textItem->font().pointSize(), 20);
        QCOMPARE(t->textItem->font().family(), QStringLiteral("MS Shell Dlg 2"));
        t->setLargeFont(false);
        QCOMPARE(t->textItem->font(), normal);
    }
};

VANTOR_TEST_MAIN(TestExtremum)
#include "tst_extremum.moc"
