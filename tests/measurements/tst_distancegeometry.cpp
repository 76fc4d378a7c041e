#include "support/testmain.h"
#include "measurements/dimensionfixtures.h"

#include "measurements/distanceanglegeometry.h"

using namespace DimensionGeometry;

Q_DECLARE_METATYPE(QPointF)

namespace {

// Two parallel runs of slope 0.1, y = 1 + 0.1 x over x = 0..8 and y = 3 + 0.1 x
// over x = 20..28, with a rough middle between them. The noise is symmetric
// about the middle of each run and sums to zero, so the least-squares line of
// each run is exactly its straight line.
QCPCurveDataContainer twoParallelRuns()
{
    const double noise[] = { 0.02, -0.01, -0.01, 0, 0, 0, -0.01, -0.01, 0.02 };
    return sampledLine(0, 28, [&](int x) {
        if (x <= 8)
            return 1 + 0.1 * x + noise[x];
        if (x >= 20)
            return 3 + 0.1 * x + noise[x - 20];
        return 7.0 * (x % 3);
    });
}

} // namespace

class TestDistanceGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A step of known height between two picked points; the label side follows
    // where the dimension line stands relative to the left point.
    void verticalStep_data()
    {
        QTest::addColumn<QPointF>("left");
        QTest::addColumn<QPointF>("right");
        QTest::addColumn<double>("px");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("alignment");
        QTest::newRow("rising step, line right of it") << QPointF(1, 2) << QPointF(3, 5) << 4.0 << 3.0 << 0x44;
        QTest::newRow("falling step, line left of it") << QPointF(1, 5) << QPointF(3, 2) << 0.0 << 3.0 << 0x24;
        QTest::newRow("line through the left point") << QPointF(1, 2) << QPointF(3, 5) << 1.0 << 3.0 << 0x44;
        QTest::newRow("same point twice") << QPointF(2, 2) << QPointF(2, 2) << 5.0 << 0.0 << 0x44;
    }
    void verticalStep()
    {
        QFETCH(QPointF, left);
        QFETCH(QPointF, right);
        QFETCH(double, px);
        QFETCH(double, value);
        QFETCH(int, alignment);
        const Dimension d = verticalDimension(left, right, px);
        QCOMPARE(d.value, value);
        QCOMPARE(d.labelAlignment, alignment);
        QCOMPARE(d.labelRotation, 90.0);
        QCOMPARE(d.labelPosition, QPointF(px, (left.y() + right.y()) / 2));
        QCOMPARE(d.extension1, QLineF(left, QPointF(px, left.y())));
        QCOMPARE(d.extension2, QLineF(right, QPointF(px, right.y())));
        QCOMPARE(d.dimensionLine, QLineF(px, left.y(), px, right.y()));
        QCOMPARE(d.reper0, left);
        QCOMPARE(d.reper1, right);
    }

    void horizontalLength_data()
    {
        QTest::addColumn<double>("py");
        QTest::addColumn<int>("alignment");
        QTest::newRow("line below the left point") << 1.0 << 0x24;
        QTest::newRow("line at the left point") << 2.0 << 0x24;
        QTest::newRow("line above") << 9.0 << 0x44;
    }
    void horizontalLength()
    {
        QFETCH(double, py);
        QFETCH(int, alignment);
        const QPointF left(1, 2), right(4.5, 5);
        const Dimension d = horizontalDimension(left, right, py);
        QCOMPARE(d.value, 3.5);
        QCOMPARE(d.labelAlignment, alignment);
        QCOMPARE(d.labelRotation, 0.0);
        QCOMPARE(d.labelPosition, QPointF(2.75, py));
        QCOMPARE(d.extension1, QLineF(left, QPointF(1, py)));
        QCOMPARE(d.extension2, QLineF(right, QPointF(4.5, py)));
        QCOMPARE(d.dimensionLine, QLineF(1, py, 4.5, py));
    }

    // The dimension line runs parallel to the measured points through the
    // label's foot on their normal; its side decides the label's alignment.
    void directDistance_data()
    {
        QTest::addColumn<QPointF>("left");
        QTest::addColumn<QPointF>("right");
        QTest::addColumn<QPointF>("label");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rotation");
        QTest::addColumn<int>("alignment");
        QTest::newRow("level, label above")
            << QPointF(0, 0) << QPointF(4, 0) << QPointF(2, 3) << QPointF(0, 3) << 4.0 << 0.0 << 0x44;
        QTest::newRow("level, label below, past the end")
            << QPointF(0, 0) << QPointF(4, 0) << QPointF(7, -2) << QPointF(0, -2) << 4.0 << 0.0 << 0x24;
        // Normal (-4, 3) / 5; the label two units along it.
        QTest::newRow("3-4-5, label on the normal")
            << QPointF(1, 1) << QPointF(4, 5) << QPointF(1 - 1.6 + 1.5, 1 + 1.2 + 2) << QPointF(-1.6, 1.2) << 5.0
            << 360 - std::atan2(4, 3) * 180 / M_PI << 0x44;
        QTest::newRow("label on the segment")
            << QPointF(0, 0) << QPointF(0, 2) << QPointF(0, 1) << QPointF(0, 0) << 2.0 << 270.0 << 0x44;
        QTest::newRow("same point twice")
            << QPointF(3, 3) << QPointF(3, 3) << QPointF(5, 8) << QPointF(0, 0) << 0.0 << 0.0 << 0x44;
    }
    void directDistance()
    {
        QFETCH(QPointF, left);
        QFETCH(QPointF, right);
        QFETCH(QPointF, label);
        QFETCH(QPointF, offset);
        QFETCH(double, value);
        QFETCH(double, rotation);
        QFETCH(int, alignment);
        const Dimension d = directDimension(left, right, label);
        QCOMPARE_REL(d.value, value, 1e-12);
        QCOMPARE(d.labelAlignment, alignment);
        QCOMPARE_REL(d.labelRotation, rotation, 1e-12);
        QCOMPARE_LINE(d.extension1, QLineF(left, left + offset), 1e-12);
        QCOMPARE_LINE(d.extension2, QLineF(right, right + offset), 1e-12);
        QCOMPARE_LINE(d.dimensionLine, QLineF(left + offset, right + offset), 1e-12);
        QCOMPARE_POINT(d.labelPosition, (left + right) / 2 + offset, 1e-12);
    }

    // Far from the origin single precision resolves only 1/64 µm; the value
    // still shows its four decimals right.
    void valuesKeepTheirDecimalsFarFromTheOrigin()
    {
        const QPointF left(199999.5, 200000.0), right(200000.1234, 200000.4321);
        QCOMPARE(QString::number(verticalDimension(left, right, 0).value, 'f', 4), QStringLiteral("0.4321"));
        QCOMPARE(QString::number(horizontalDimension(left, right, 0).value, 'f', 4), QStringLiteral("0.6234"));
        QCOMPARE(QString::number(directDimension(left, right, {}).value, 'f', 4), QStringLiteral("0.7585"));
    }

    // Highest minus lowest: the first of equal extremes wins, the range end is
    // exclusive and clamped to the data.
    void highestLowest_data()
    {
        QTest::addColumn<quint64>("begin");
        QTest::addColumn<quint64>("end");
        QTest::addColumn<QPointF>("highest");
        QTest::addColumn<QPointF>("lowest");
        QTest::newRow("ties, the last point excluded") << quint64(0) << quint64(6) << QPointF(11, 3) << QPointF(12, -1);
        QTest::newRow("end past the data") << quint64(0) << quint64(99) << QPointF(16, 9) << QPointF(12, -1);
        QTest::newRow("end excludes the last") << quint64(3) << quint64(5) << QPointF(13, 3) << QPointF(14, -1);
        QTest::newRow("one point") << quint64(2) << quint64(3) << QPointF(12, -1) << QPointF(12, -1);
    }
    void highestLowest()
    {
        QFETCH(quint64, begin);
        QFETCH(quint64, end);
        QFETCH(QPointF, highest);
        QFETCH(QPointF, lowest);
        const auto data = curveData({ 10, 11, 12, 13, 14, 15, 16 }, { 0, 3, -1, 3, -1, 2, 9 });
        const auto d = highestLowestDimension(clampedRange(&data, begin, end), 20);
        QVERIFY(d);
        QCOMPARE(d->reper0, highest);
        QCOMPARE(d->reper1, lowest);
        QCOMPARE(d->value, highest.y() - lowest.y());
        QCOMPARE(d->extension1, QLineF(highest, QPointF(20, highest.y())));
        QCOMPARE(d->extension2, QLineF(lowest, QPointF(20, lowest.y())));
        QCOMPARE(d->dimensionLine, QLineF(20, highest.y(), 20, lowest.y()));
        QCOMPARE(d->labelPosition, QPointF(20, (highest.y() + lowest.y()) / 2));
        QCOMPARE(d->labelAlignment, 0x44);
        QCOMPARE(highestLowestDimension(clampedRange(&data, begin, end), 0)->labelAlignment, 0x24);
    }

    void emptyRangesGiveNothing_data()
    {
        QTest::addColumn<quint64>("begin");
        QTest::addColumn<quint64>("end");
        QTest::newRow("begin equals end") << quint64(2) << quint64(2);
        QTest::newRow("both past the data") << quint64(7) << quint64(9);
        QTest::newRow("reversed") << quint64(4) << quint64(1);
    }
    void emptyRangesGiveNothing()
    {
        QFETCH(quint64, begin);
        QFETCH(quint64, end);
        const auto data = curveData({ 0, 1, 2, 3, 4, 5 }, { 0, 1, 0, 1, 0, 1 });
        QVERIFY(clampedRange(&data, begin, end).isEmpty());
        QVERIFY(!highestLowestDimension(clampedRange(&data, begin, end), 0));
        QVERIFY(!segmentLine(&data, begin, end));
        QVERIFY(clampedRange(nullptr, 0, 3).isEmpty());
    }

    // Mean height: each line's height at the middle of its segment. The second
    // segment ends at the data's end, so its far point is the last point.
    void meanHeightOfTwoParallelRuns()
    {
        const auto data = twoParallelRuns();
        const auto s1 = segmentLine(&data, 0, 9), s2 = segmentLine(&data, 20, 29);
        QVERIFY(s1 && s2);
        QCOMPARE_REL(s1->fit.coefficient(0), 1.0, 1e-12);
        QCOMPARE_REL(s1->fit.coefficient(1), 0.1, 1e-12);
        QCOMPARE(s1->atEnd, QPointF(9, 0));
        QCOMPARE(s2->atEnd.x(), 28.0);
        QCOMPARE(s2->last.x(), 28.0);

        const auto a = meanHeightSide(*s1, 30), b = meanHeightSide(*s2, 30);
        QVERIFY(a && b);
        QCOMPARE_POINT(a->reper, QPointF(4.5, 1.45), 1e-12);
        QCOMPARE_POINT(b->reper, QPointF(24, 5.4), 1e-12);
        QCOMPARE_LINE(a->line, QLineF(4.5, 1.45, 30, 1.45), 1e-12);
        const Dimension d = heightBetween(*a, *b, 30);
        QCOMPARE_REL(d.value, 3.95, 1e-12);
        QCOMPARE_LINE(d.dimensionLine, QLineF(30, 1.45, 30, 5.4), 1e-12);
        QCOMPARE_POINT(d.labelPosition, QPointF(30, (1.45 + 5.4) / 2), 1e-12);
        QCOMPARE(d.labelRotation, 90.0);
        QCOMPARE(d.labelAlignment, 0x44);
    }

    // Average diameter: both heights at the label's x, so two parallel lines
    // give their distance wherever the label is; each line is drawn over its
    // segment.
    void averageDiameterOfTwoParallelRuns_data()
    {
        QTest::addColumn<double>("px");
        QTest::newRow("between") << 14.0;
        QTest::newRow("left of both") << -50.0;
        QTest::newRow("right of both") << 80.0;
    }
    void averageDiameterOfTwoParallelRuns()
    {
        QFETCH(double, px);
        const auto data = twoParallelRuns();
        const auto s1 = segmentLine(&data, 0, 9), s2 = segmentLine(&data, 20, 29);
        const auto a = averageDiameterSide(*s1, px), b = averageDiameterSide(*s2, px);
        QVERIFY(a && b);
        QCOMPARE_LINE(a->line, QLineF(0, 1, 9, 1.9), 1e-12);
        QCOMPARE_LINE(b->line, QLineF(20, 5, 28, 5.8), 1e-12);
        QCOMPARE_POINT(a->reper, QPointF(0, 1), 1e-12);
        const Dimension d = heightBetween(*a, *b, px);
        QCOMPARE_REL(d.value, 2.0, 1e-12);
        QCOMPARE_LINE(d.dimensionLine, QLineF(px, 1 + 0.1 * px, px, 3 + 0.1 * px), 1e-12);
    }

    // A segment whose points all share one x defines no line: neither kind
    // gets a height from it.
    void segmentWithoutLine()
    {
        const auto data = curveData({ 5, 5, 5 }, { 1, 2, 3 });
        QVERIFY(!segmentLine(&data, 0, 3));
        SegmentLine broken;
        broken.fit = Algos::RMS(QVector<double> { qInf(), 1 });
        QVERIFY(!meanHeightSide(broken, 0));
        QVERIFY(!averageDiameterSide(broken, 0));
    }
};

VANTOR_TEST_MAIN(TestDistanceGeometry)
#include "tst_distancegeometry.moc"
