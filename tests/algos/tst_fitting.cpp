#include "support/fuzzy.h"
#include "support/testmain.h"

#include "algos/fitting.h"

#include <qcustomplot.h>

#include <cmath>
#include <stdexcept>

namespace {

QVector<QCPCurveData> curveData(const QVector<double> &x, const QVector<double> &y)
{
    QVector<QCPCurveData> d;
    for (int i = 0; i < x.size(); ++i)
        d << QCPCurveData(i, x[i], y[i]);
    return d;
}

QVector<QPointF> points(const QVector<double> &x, const QVector<double> &y)
{
    QVector<QPointF> p;
    for (int i = 0; i < x.size(); ++i)
        p << QPointF(x[i], y[i]);
    return p;
}

void compareLine(const Algos::RMS &fit, double c0, double c1)
{
    QVERIFY(fit.isValid());
    QCOMPARE(fit.coefficients.size(), 2);
    QCOMPARE_REL(fit.coefficient(0), c0, 1e-9);
    QCOMPARE_REL(fit.coefficient(1), c1, 1e-9);
}

} // namespace

class TestFitting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The same three points in each of the four shapes give y = 1 + 2x.
    void lineFromEveryShape()
    {
        const QVector<double> x { 0, 1, 2 }, y { 1, 3, 5 };
        const auto d = curveData(x, y);
        const auto p = points(x, y);
        for (const Algos::RMS &fit :
            { Algos::RMS(x, y), Algos::RMS(TData { x, y }), Algos::RMS(d.constData(), d.constData() + d.size()),
                Algos::RMS(p.constData(), p.constData() + p.size()) }) {
            compareLine(fit, 1, 2);
            QCOMPARE_REL(fit.value(10), 21.0, 1e-12);
        }
    }

    // Exact data far from the origin, as on a long profile in micrometres.
    void lineOnManyPointsWithOffset()
    {
        QVector<double> x, y;
        for (int i = 0; i < 100000; ++i) {
            x << 5000 + 0.1 * i;
            y << 3 - 0.5 * x.last();
        }
        compareLine(Algos::RMS(x, y), 3, -0.5);
    }

    void lineOverTwoCurveRanges()
    {
        const QVector<double> x { 0, 1, 2, 3, 4, 5 }, y { 0.5, 1.7, 2.2, 3.9, 4.1, 5.8 };
        const auto d = curveData(x, y);
        const QCPCurveData *b = d.constData();
        const Algos::RMS whole(b, b + 6);
        const Algos::RMS split(b, b + 2, b + 2, b + 6);
        QCOMPARE_REL(split.coefficient(0), whole.coefficient(0), 1e-12);
        QCOMPARE_REL(split.coefficient(1), whole.coefficient(1), 1e-12);

        const Algos::RMS first(b, b + 4);
        for (const Algos::RMS &fit : { Algos::RMS(b, b + 4, nullptr, nullptr), Algos::RMS(b, b + 4, b + 4, b + 4),
                 Algos::RMS(b, b + 4, b + 4, nullptr) }) {
            QCOMPARE(fit.coefficient(0), first.coefficient(0));
            QCOMPARE(fit.coefficient(1), first.coefficient(1));
        }
    }

    void givenCoefficients()
    {
        Algos::RMS none;
        QVERIFY(!none.isValid());
        QVERIFY(std::isnan(none.value(1)));
        QVERIFY(std::isnan(none.coefficient(0)));
        none.setCoefficient(0, 5); // nothing to write
        QVERIFY(!none.isValid());

        Algos::RMS line(QVector<double> { 4, 0.5 });
        QVERIFY(line.isValid());
        QCOMPARE(line.value(2), 5.0);
        // Shifting a line by dy as the thread measurement does; copies stay apart.
        Algos::RMS copy = line;
        line.setCoefficient(0, line.coefficient(0) + 1);
        QCOMPARE(line.value(2), 6.0);
        QCOMPARE(copy.value(2), 5.0);
    }

    // Points that define no line leave the fitter not valid instead of valid
    // with infinite or NaN coefficients.
    void lineDegenerate_data()
    {
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<QVector<double>>("y");
        QTest::newRow("no point") << QVector<double>() << QVector<double>();
        QTest::newRow("one point") << QVector<double>({ 2 }) << QVector<double>({ 3 });
        QTest::newRow("vertical") << QVector<double>({ 0.1, 0.1, 0.1 }) << QVector<double>({ 1, 2, 3 });
        QTest::newRow("vertical far out") << QVector<double>({ 1e4 + 0.3, 1e4 + 0.3 }) << QVector<double>({ 0, 1 });
    }

    void lineDegenerate()
    {
        QFETCH(QVector<double>, x);
        QFETCH(QVector<double>, y);
        const Algos::RMS fit(x, y);
        QVERIFY(!fit.isValid());
        QVERIFY(std::isnan(fit.value(0)));
        const auto d = curveData(x, y);
        QVERIFY(!Algos::RMS(d.constData(), d.constData() + d.size()).isValid());
    }

    void polynomial_data()
    {
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<QVector<double>>("y");
        QTest::addColumn<int>("order");
        QTest::addColumn<QVector<double>>("expected");

        QTest::newRow("parabola 1 + x^2")
            << QVector<double>({ 0, 1, 2, 3 }) << QVector<double>({ 1, 2, 5, 10 }) << 2 << QVector<double>({ 1, 0, 1 });
        QTest::newRow("line through two points")
            << QVector<double>({ 1, 3 }) << QVector<double>({ 5, 1 }) << 1 << QVector<double>({ 7, -2 });
        QTest::newRow("constant") << QVector<double>({ 1, 2, 3 }) << QVector<double>({ 2, 4, 6 }) << 0
                                  << QVector<double>({ 4 });
        // Negative abscissae make odd power sums negative: pivots chosen by size.
        QVector<double> x, y;
        for (int i = -10; i <= 10; ++i) {
            const double v = 0.5 * i;
            x << v;
            y << 2 - v + 0.5 * v * v - 0.25 * v * v * v;
        }
        QTest::newRow("cubic over negative and positive x") << x << y << 3 << QVector<double>({ 2, -1, 0.5, -0.25 });
    }

    void polynomial()
    {
        QFETCH(QVector<double>, x);
        QFETCH(QVector<double>, y);
        QFETCH(int, order);
        QFETCH(QVector<double>, expected);

        QVector<double> out;
        QVERIFY(PolynomialRegression().fit(x, y, order, out));
        QCOMPARE(out.size(), expected.size());
        for (int i = 0; i < out.size(); ++i)
            QVERIFY2(std::abs(out[i] - expected[i]) < 1e-9,
                qPrintable(QString("c%1 = %2, expected %3").arg(i).arg(out[i], 0, 'g', 17).arg(expected[i])));

        // The range forms run the same fit.
        const auto d = curveData(x, y);
        const auto p = points(x, y);
        QVector<double> fromCurve, fromPoints;
        QVERIFY(PolynomialRegression().fit(d.constData(), d.constData() + d.size(), order, fromCurve));
        QVERIFY(PolynomialRegression().fit(p.constData(), p.constData() + p.size(), order, fromPoints));
        QCOMPARE(fromCurve, out);
        QCOMPARE(fromPoints, out);
    }

    void polynomialRefusals()
    {
        PolynomialRegression fitter;
        QVector<double> out { 42 };
        try {
            fitter.fit({ 0, 1, 2 }, { 0, 1, 2, 3 }, 1, out);
            QFAIL("no exception for arrays of different sizes");
        } catch (const std::runtime_error &e) {
            QCOMPARE(QString(e.what()), QStringLiteral("The size of x & y arrays are different"));
        }
        QCOMPARE(out, QVector<double>({ 42 }));

        // Nothing to fit, or no unique solution: false, output untouched.
        QVERIFY(!fitter.fit(QVector<double>(), QVector<double>(), 2, out));
        QVERIFY(!fitter.fit({ 0, 1 }, { 3, 4 }, 2, out)); // two x for three coefficients
        QVERIFY(!fitter.fit({ 2, 2, 2 }, { 1, 2, 3 }, 1, out)); // all x equal
        QVERIFY(!fitter.fit({ 1, 2 }, { 1, 2 }, -1, out));
        const QPointF *none = nullptr;
        QVERIFY(!fitter.fit(none, none, 2, out));
        QCOMPARE(out, QVector<double>({ 42 }));
    }

    // LSQ keeps an order-2 fit and evaluates the whole quadratic.
    void lsq()
    {
        const QVector<double> x { -1, 0, 1, 2, 3 };
        QVector<double> y;
        for (double v : x)
            y << 3 + 2 * v - v * v;
        const auto d = curveData(x, y);
        const auto p = points(x, y);
        for (const Algos::LSQ &fit : { Algos::LSQ(d.constData(), d.constData() + d.size()),
                 Algos::LSQ(p.constData(), p.constData() + p.size()) }) {
            QVERIFY(fit.isValid());
            QCOMPARE(fit.coefficients.size(), 3);
            QCOMPARE_REL(fit.value(4), 3 + 8 - 16.0, 1e-9);
        }
        QVERIFY(!Algos::LSQ().isValid());
        QVERIFY(!Algos::LSQ(p.constData(), p.constData() + 2).isValid());
        QCOMPARE(Algos::LSQ(QVector<double> { 1, 2 }).value(3), 7.0);
    }
};

VANTOR_TEST_MAIN(TestFitting)
#include "tst_fitting.moc"
