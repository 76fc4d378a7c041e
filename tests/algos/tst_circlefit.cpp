#include "support/fuzzy.h"
#include "support/testmain.h"

#include "algos/circlefit.h"

#include <qcustomplot.h>

#include <QRandomGenerator>
#include <cmath>

namespace {

// Points on a circle from angle a0 to a1 (degrees), count points, with an
// optional radial noise of the given amplitude.
QVector<QCPCurveData> arc(
    double cx, double cy, double r, double a0, double a1, int count, double noise = 0, quint32 seed = 1)
{
    QRandomGenerator rng(seed);
    QVector<QCPCurveData> d;
    for (int i = 0; i < count; ++i) {
        const double a = (a0 + (a1 - a0) * i / (count - 1)) * M_PI / 180;
        const double rr = r + noise * (2 * rng.generateDouble() - 1);
        d << QCPCurveData(i, cx + rr * std::cos(a), cy + rr * std::sin(a));
    }
    return d;
}

QVector<QCPCurveData> fromXY(const QVector<QPointF> &p)
{
    QVector<QCPCurveData> d;
    for (int i = 0; i < p.size(); ++i)
        d << QCPCurveData(i, p[i].x(), p[i].y());
    return d;
}

} // namespace

Q_DECLARE_METATYPE(QVector<QCPCurveData>)

class TestCircleFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void knownCircle_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("points");
        QTest::addColumn<double>("cx");
        QTest::addColumn<double>("cy");
        QTest::addColumn<double>("r");
        QTest::addColumn<double>("tolerance");

        QTest::newRow("eight points at 45 degrees") << arc(10, -5, 3, 0, 315, 8) << 10.0 << -5.0 << 3.0 << 1e-9;
        QTest::newRow("three points") << fromXY({ QPointF(0, 0), QPointF(2, 0), QPointF(0, 2) }) << 1.0 << 1.0
                                      << std::sqrt(2.0) << 1e-9;
        QTest::newRow("ten-degree arc far from the origin")
            << arc(100, 200, 50, 30, 40, 200) << 100.0 << 200.0 << 50.0 << 1e-6;
        QTest::newRow("noisy half circle") << arc(1, 2, 5, 0, 180, 2000, 0.01) << 1.0 << 2.0 << 5.0 << 1e-3;
        QTest::newRow("noisy full circle, micrometre noise in mm")
            << arc(-3, 4, 0.5, 0, 360, 5000, 0.001, 9) << -3.0 << 4.0 << 0.5 << 2e-4;
    }

    void knownCircle()
    {
        QFETCH(QVector<QCPCurveData>, points);
        QFETCH(double, cx);
        QFETCH(double, cy);
        QFETCH(double, r);
        QFETCH(double, tolerance);

        double centre[2] = { 0, 0 };
        double radius = 0;
        QVERIFY(Algos::fitCircle(points.constData(), points.constData() + points.size(), centre, &radius));
        QVERIFY2(
            std::abs(centre[0] - cx) <= tolerance * std::max(1.0, r), qPrintable(QString::number(centre[0], 'g', 17)));
        QVERIFY2(
            std::abs(centre[1] - cy) <= tolerance * std::max(1.0, r), qPrintable(QString::number(centre[1], 'g', 17)));
        QVERIFY2(std::abs(radius - r) <= tolerance * std::max(1.0, r), qPrintable(QString::number(radius, 'g', 17)));
    }

    // However the points are split into ranges, the circle is the same; an
    // empty range adds nothing.
    void rangesCombine()
    {
        const auto d = arc(4, 7, 2.5, 10, 130, 61, 0.02);
        const QCPCurveData *b = d.constData();
        const QCPCurveData *e = b + d.size();
        double whole[2], wholeR;
        QVERIFY(Algos::fitCircle(b, e, whole, &wholeR));

        double c[2], r;
        auto check = [&](bool ok) {
            QVERIFY(ok);
            QCOMPARE_REL(c[0], whole[0], 1e-9);
            QCOMPARE_REL(c[1], whole[1], 1e-9);
            QCOMPARE_REL(r, wholeR, 1e-9);
        };
        check(Algos::fitCircle(b, b + 30, b + 30, e, c, &r));
        check(Algos::fitCircle({ b + 40, b, b + 17 }, { e, b + 17, b + 40 }, c, &r));
        check(Algos::fitCircle({ b, b + 5 }, { e, b + 5 }, c, &r));
    }

    // No circle: reported, and no non-finite value passes as a circle.
    void degenerate_data()
    {
        QTest::addColumn<QVector<QCPCurveData>>("points");
        QTest::newRow("no point") << QVector<QCPCurveData>();
        QTest::newRow("two points") << fromXY({ QPointF(0, 0), QPointF(1, 1) });
        QTest::newRow("three collinear on an axis") << fromXY({ QPointF(0, 0), QPointF(1, 0), QPointF(2, 0) });
        QTest::newRow("three collinear, slanted and offset")
            << fromXY({ QPointF(10.1, 3.3), QPointF(10.4, 3.9), QPointF(10.7, 4.5) });
        QVector<QPointF> line;
        for (int i = 0; i < 500; ++i)
            line << QPointF(1e3 + 0.37 * i, -20 + 0.11 * i);
        QTest::newRow("many collinear") << fromXY(line);
        QTest::newRow("one place three times") << fromXY({ QPointF(2, 3), QPointF(2, 3), QPointF(2, 3) });
    }

    void degenerate()
    {
        QFETCH(QVector<QCPCurveData>, points);
        double centre[2] = { 1, 1 };
        double radius = 1;
        QVERIFY(!Algos::fitCircle(points.constData(), points.constData() + points.size(), centre, &radius));
        QVERIFY(std::isnan(centre[0]) && std::isnan(centre[1]) && std::isnan(radius));
    }

    void degenerateRanges()
    {
        double centre[2], radius;
        QVERIFY(!Algos::fitCircle(QVector<const QCPCurveData *>(), QVector<const QCPCurveData *>(), centre, &radius));
        const auto d = arc(0, 0, 1, 0, 90, 10);
        // A range whose end lies before its begin holds no point.
        QVERIFY(!Algos::fitCircle(d.constData() + 5, d.constData(), centre, &radius));
    }
};

VANTOR_TEST_MAIN(TestCircleFit)
#include "tst_circlefit.moc"
