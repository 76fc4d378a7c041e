// The mean-diameter line of a thread: its error measure, its two moves and the
// whole descent on profiles whose answer follows from their shape.
#include "support/fuzzy.h"
#include "support/testmain.h"

#include "geometryfixtures.h"
#include "measurements/threadfit.h"
#include "threadprofile.h"

#include <QRegularExpression>
#include <limits>

Q_DECLARE_METATYPE(QVector<QCPCurveData>)

namespace {

QStringList capturedDebug;

void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        capturedDebug << message;
}

// Unequal zig-zag about y = 0: the straight distances between consecutive
// points are √5, √8, √5, √13, √5, √5.
QVector<QCPCurveData> zigZag()
{
    return points({ { 0, 1 }, { 1, -1 }, { 3, 1 }, { 4, -1 }, { 7, 1 }, { 8, -1 }, { 9, 1 } });
}

double spread(const QVector<double> &pieces)
{
    double mean = 0;
    for (double p : pieces)
        mean += p;
    mean /= pieces.size();
    double sum = 0;
    for (double p : pieces)
        sum += std::abs(mean - p);
    return sum;
}

const Algos::RMS xAxisLine(QVector<double> { 0, 0 });

} // namespace

class TestThreadFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fitError_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("data");
        QTest::addColumn<int>("referenceIn");
        QTest::addColumn<double>("expected");
        QTest::addColumn<int>("referenceOut");

        const auto z = zigZag();
        const double r5 = std::sqrt(5.0), r8 = std::sqrt(8.0), r13 = std::sqrt(13.0);
        // The last point is never examined, so 5 pieces: the first (a partial
        // one) is dropped, 4 remain.
        QTest::newRow("first evaluation counts the pieces") << z << -1 << spread({ r8, r5, r13, r5 }) << 4;
        QTest::newRow("later evaluation within 2 of the count") << z << 2 << spread({ r8, r5, r13, r5 }) << 2;
        QTest::newRow("later evaluation 3 off the count") << z << 1 << ThreadFit::kNoFit << 1;
        // Without the last point: 3 pieces remain, the odd one is dropped, and
        // the count kept is the one before that.
        QTest::newRow("odd count drops the last piece") << z.mid(0, 6) << -1 << spread({ r8, r5 }) << 3;
        QTest::newRow("later odd count within 2 after the drop") << z.mid(0, 6) << 4 << spread({ r8, r5 }) << 4;
        // 3 pieces are within 2 of 5, but the 2 left after the drop are not.
        QTest::newRow("later odd count compared after the drop") << z.mid(0, 6) << 5 << ThreadFit::kNoFit << 5;
        QTest::newRow("one crossing leaves no piece: error 0")
            << points({ { 0, 1 }, { 1, 1 }, { 2, -1 }, { 3, -1 } }) << -1 << 0.0 << 0;
        QTest::newRow("line crossing nothing")
            << points({ { 0, 1 }, { 1, 2 }, { 2, 1 } }) << -1 << ThreadFit::kNoFit << -1;
        QTest::newRow("one point") << points({ { 0, 1 } }) << -1 << ThreadFit::kNoFit << -1;
        QTest::newRow("no point") << QVector<QCPCurveData>() << -1 << ThreadFit::kNoFit << -1;
    }

    void fitError()
    {
        QFETCH(QVector<QCPCurveData>, data);
        QFETCH(int, referenceIn);
        QFETCH(double, expected);
        QFETCH(int, referenceOut);

        int reference = referenceIn;
        std::vector<double> scratch;
        QCOMPARE_REL(
            ThreadFit::fitError(dataBegin(data), dataEnd(data), xAxisLine, reference, scratch), expected, 1e-12);
        QCOMPARE(reference, referenceOut);
    }

    void fitErrorOfALineThatIsNoLine()
    {
        const auto z = zigZag();
        int reference = -1;
        std::vector<double> scratch;
        QCOMPARE(ThreadFit::fitError(dataBegin(z), dataEnd(z), Algos::RMS(), reference, scratch), ThreadFit::kNoFit);
        const Algos::RMS nanLine(QVector<double> { std::numeric_limits<double>::quiet_NaN(), 1 });
        QCOMPARE(ThreadFit::fitError(dataBegin(z), dataEnd(z), nanLine, reference, scratch), ThreadFit::kNoFit);
    }

    // y = 0.5x + 1 over [0, 4]: the midpoint (2, 2) stays; a turn by s degrees
    // gives the slope sin(-s) + 0.5 cos(s).
    void rotateLine_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::newRow("30 degrees clockwise") << 30.0;
        QTest::newRow("10 degrees anticlockwise") << -10.0;
        QTest::newRow("no turn") << 0.0;
    }

    void rotateLine()
    {
        QFETCH(double, degrees);
        Algos::RMS line(QVector<double> { 1, 0.5 });
        ThreadFit::rotateLine(line, 0, 4, degrees);
        const double theta = -degrees * M_PI / 180;
        QCOMPARE_REL(line.coefficient(1), std::sin(theta) + 0.5 * std::cos(theta), 1e-12);
        QCOMPARE_REL(line.value(2), 2.0, 1e-12);
    }

    void shiftLine()
    {
        Algos::RMS line(QVector<double> { 1, 0.5 });
        ThreadFit::shiftLine(line, -0.25);
        QCOMPARE(line.coefficients, QVector<double>({ 0.75, 0.5 }));
    }

    // Trapezoidal threads: the fitted line crosses every flank where crests
    // and grooves are equally wide, parallel to the thread's own axis.
    void meanDiameterLine_data()
    {
        QTest::addColumn<double>("crest");
        QTest::addColumn<double>("groove");
        QTest::addColumn<double>("slope");
        QTest::addColumn<double>("offset");

        QTest::newRow("symmetric, crest as wide as groove") << 0.25 << 0.25 << 0.0 << 0.0;
        QTest::newRow("narrow crests: the line lies below the mean") << 0.1 << 0.3 << 0.0 << 0.0;
        QTest::newRow("wide crests: the line lies above the mean") << 0.35 << 0.05 << 0.0 << 0.0;
        QTest::newRow("narrow crests on a tilted, raised part") << 0.1 << 0.3 << 0.02 << 3.0;
    }

    void meanDiameterLine()
    {
        QFETCH(double, crest);
        QFETCH(double, groove);
        QFETCH(double, slope);
        QFETCH(double, offset);
        ThreadProfile thread;
        thread.crest = crest;
        thread.groove = groove;
        thread.slope = slope;
        thread.offset = offset;
        // 20 pitches of 1, height 0.5, a point every 0.001.
        const auto data = thread.sample(20, 20001);

        capturedDebug.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
        int reference = 0;
        const Algos::RMS line = ThreadFit::fitLine(dataBegin(data), dataEnd(data), &reference);
        qInstallMessageHandler(previous);

        // Two crossings per pitch, less the partial first piece.
        QVERIFY2(std::abs(reference - 39) <= 1, qPrintable(QString::number(reference)));
        // Half the height a flank climbs between two samples.
        const double sampleRise = thread.height * 0.001 / thread.flank();
        // The ends of the line (10 from the middle) within two sample rises.
        QVERIFY2(std::abs(line.coefficient(1) - slope) * 10 < 2 * sampleRise,
            qPrintable(QString::number(line.coefficient(1))));
        const double expected = offset + slope * 10 + thread.meanDiameterHeight();
        QVERIFY2(std::abs(line.value(10) - expected) < 3 * sampleRise,
            qPrintable(QStringLiteral("line at the middle %1, expected %2").arg(line.value(10)).arg(expected)));

        // Every improving trial writes its error to the debug output.
        const QRegularExpression improved(QStringLiteral("^Improved \\((positive|negative) step\\): \\S+$"));
        if (crest != groove) {
            QVERIFY(!capturedDebug.filter(QStringLiteral("Improved")).isEmpty());
            for (const QString &line : capturedDebug.filter(QStringLiteral("Improved")))
                QVERIFY2(improved.match(line).hasMatch(), qPrintable(line));
        }
    }

    // The least-squares line of one bump crosses it twice: no piece is left
    // after the first is dropped, the error is 0 at once, and nothing moves.
    void fewCrossingsKeepTheLeastSquaresLine()
    {
        const auto bump = sampled(-1, 1, 201, [](double x) { return 1 - x * x; });
        const Algos::RMS leastSquares(dataBegin(bump), dataEnd(bump));
        const Algos::RMS line = ThreadFit::fitLine(dataBegin(bump), dataEnd(bump));
        QCOMPARE(line.coefficients, leastSquares.coefficients);
    }

    // Degenerate curves end at once and leave what the least-squares fit gave.
    void degenerateCurvesEnd_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("data");
        QTest::newRow("no point") << QVector<QCPCurveData>();
        QTest::newRow("one point") << points({ { 1, 2 } });
        QTest::newRow("every point at one key") << points({ { 1, 0 }, { 1, 1 }, { 1, -1 }, { 1, 2 } });
    }

    void degenerateCurvesEnd()
    {
        QFETCH(QVector<QCPCurveData>, data);
        const Algos::RMS leastSquares(dataBegin(data), dataEnd(data));
        const Algos::RMS line = ThreadFit::fitLine(dataBegin(data), dataEnd(data));
        QCOMPARE(line.isValid(), leastSquares.isValid());
    }
};

VANTOR_TEST_MAIN(TestThreadFit)
#include "tst_threadfit.moc"
