#include "support/fuzzy.h"
#include "support/testmain.h"

#include "algos/profileutils.h"
#include "settings/settings.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(TData)

namespace {

TData profile(const QVector<double> &x, const QVector<double> &y)
{
    return { x, y };
}

QVector<double> indexes(int n)
{
    QVector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = i;
    return x;
}

// The median filter written the slow, obvious way: pad, then sort every window.
QVector<double> referenceMedian(int window, const QVector<double> &y)
{
    const int n = y.size();
    const int c = window / 2;
    QVector<double> s;
    for (int i = 1; i <= c; ++i)
        s << y[i];
    s << y;
    for (int i = 0; i < c; ++i)
        s << y[n - 1 - i];
    QVector<double> out(n);
    for (int j = 0; j < n; ++j) {
        QVector<double> w = s.mid(j, window);
        std::sort(w.begin(), w.end(),
            [](double a, double b) { return std::isnan(a) ? false : (std::isnan(b) ? true : a < b); });
        out[j] = w[window / 2];
    }
    return out;
}

bool sameValues(const QVector<double> &a, const QVector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    return true;
}

} // namespace

class TestProfileUtils : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void medianFilter_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<QVector<double>>("y");
        QTest::addColumn<QVector<double>>("expected");

        QTest::newRow("odd window, padded edges")
            << 3 << QVector<double>({ 5, 1, 9, 2, 7 }) << QVector<double>({ 1, 5, 2, 7, 7 });
        QTest::newRow("even window takes the upper middle")
            << 4 << QVector<double>({ 4, 1, 3, 2 }) << QVector<double>({ 3, 3, 3, 2 });
        // padded {1, 9, 5, 1, 9, 2, 7, 7, 2}
        QTest::newRow("window equal to the point count")
            << 5 << QVector<double>({ 5, 1, 9, 2, 7 }) << QVector<double>({ 5, 5, 5, 7, 7 });
        QTest::newRow("window 1 changes nothing") << 1 << QVector<double>({ 5, 1, 9 }) << QVector<double>({ 5, 1, 9 });
        QTest::newRow("more window than points") << 5 << QVector<double>({ 5, 1, 9 }) << QVector<double>({ 5, 1, 9 });
        QTest::newRow("window 0 changes nothing") << 0 << QVector<double>({ 5, 1, 9 }) << QVector<double>({ 5, 1, 9 });
        QTest::newRow("negative window changes nothing")
            << -3 << QVector<double>({ 5, 1, 9 }) << QVector<double>({ 5, 1, 9 });
        QTest::newRow("no points") << 3 << QVector<double>() << QVector<double>();
    }

    void medianFilter()
    {
        QFETCH(int, window);
        QFETCH(QVector<double>, y);
        QFETCH(QVector<double>, expected);
        const QVector<double> x = indexes(y.size());
        const QVector<double> z(y.size(), 42);
        TData data { x, y, z };
        Algos::medianFilter(window, data);
        QCOMPARE(data.at(1), expected);
        QCOMPARE(data.at(0), x);
        QCOMPARE(data.at(2), z);
    }

    // The sliding sorted window against sorting every window, with many
    // repeated values (and once a NaN) so that removals hit duplicates.
    void medianFilterMatchesSortingEveryWindow()
    {
        QRandomGenerator rng(7);
        for (int window : { 2, 3, 5, 8, 21, 50 }) {
            for (int round = 0; round < 5; ++round) {
                const int n = window + int(rng.bounded(200));
                QVector<double> y(n);
                for (double &v : y)
                    v = double(rng.bounded(10)) - 5;
                if (round == 4)
                    y[n / 2] = std::numeric_limits<double>::quiet_NaN();
                TData data { indexes(n), y };
                Algos::medianFilter(window, data);
                QVERIFY2(sameValues(data.at(1), referenceMedian(window, y)),
                    qPrintable(QString("window %1, round %2").arg(window).arg(round)));
            }
        }
    }

    void medianFilterWithoutYChannel()
    {
        TData data { QVector<double>({ 1, 2, 3 }) };
        Algos::medianFilter(3, data);
        QCOMPARE(data.size(), 1);
    }

    void interpolate_data()
    {
        QTest::addColumn<TData>("input");
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<QVector<double>>("expected");

        QTest::newRow("inside, before and beyond the ends")
            << profile({ 0, 1, 2 }, { 0, 10, 20 }) << QVector<double>({ -1, 0.5, 2, 5 })
            << QVector<double>({ -10, 5, 20, 20 });
        QTest::newRow("queries on the points")
            << profile({ 0, 1, 3 }, { 4, 6, 2 }) << QVector<double>({ 0, 1, 3 }) << QVector<double>({ 4, 6, 2 });
        QTest::newRow("single point") << profile({ 1 }, { 7 }) << QVector<double>({ 0, 1, 2 })
                                      << QVector<double>({ 7, 7, 7 });
        // Zero-width segments: the segment's first Y instead of 0/0.
        QTest::newRow("repeated first X")
            << profile({ 0, 0, 1 }, { 5, 7, 9 }) << QVector<double>({ -1, 0, 0.5 }) << QVector<double>({ 5, 5, 8 });
        QTest::newRow("repeated inner X") << profile({ 0, 1, 1, 2 }, { 0, 10, 20, 30 })
                                          << QVector<double>({ 0.5, 1, 1.5, 2 }) << QVector<double>({ 5, 10, 25, 30 });
        QTest::newRow("every X equal") << profile({ 3, 3, 3 }, { 1, 2, 3 }) << QVector<double>({ 2, 3, 4 })
                                       << QVector<double>({ 1, 1, 3 });
        QTest::newRow("no queries") << profile({ 0, 1 }, { 0, 1 }) << QVector<double>() << QVector<double>();
    }

    void interpolate()
    {
        QFETCH(TData, input);
        QFETCH(QVector<double>, x);
        QFETCH(QVector<double>, expected);
        const TData result = Algos::interpolate(input, x);
        QCOMPARE(result.size(), 2);
        QCOMPARE(result.at(0), x);
        QCOMPARE(result.at(1).size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE_REL(result.at(1).at(i), expected.at(i), 1e-12);
    }

    void interpolateRefusesUnsuitableProfiles_data()
    {
        QTest::addColumn<TData>("input");
        QTest::newRow("no channels") << TData();
        QTest::newRow("empty channels") << profile({}, {});
        QTest::newRow("unequal lengths") << profile({ 0, 1 }, { 0 });
        QTest::newRow("three channels") << TData({ { 0, 1 }, { 0, 1 }, { 0, 1 } });
    }

    void interpolateRefusesUnsuitableProfiles()
    {
        QFETCH(TData, input);
        QVERIFY(Algos::interpolate(input, { 0, 1 }).isEmpty());
    }

    void spreadEqualValues_data()
    {
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<QVector<double>>("expected");
        QTest::newRow("run, then a run at the end")
            << QVector<double>({ 0, 0, 0, 3, 3 }) << QVector<double>({ 0, 1, 2, 3, 3 });
        QTest::newRow("runs in the middle")
            << QVector<double>({ 1, 2, 2, 4, 4, 4, 7 }) << QVector<double>({ 1, 2, 3, 4, 5, 6, 7 });
        QTest::newRow("descending") << QVector<double>({ 4, 4, 0 }) << QVector<double>({ 4, 2, 0 });
        QTest::newRow("distinct") << QVector<double>({ 1, 5, 2 }) << QVector<double>({ 1, 5, 2 });
        QTest::newRow("one value") << QVector<double>({ 2 }) << QVector<double>({ 2 });
        QTest::newRow("empty") << QVector<double>() << QVector<double>();
    }

    void spreadEqualValues()
    {
        QFETCH(QVector<double>, x);
        QFETCH(QVector<double>, expected);
        QCOMPARE(Algos::spreadEqualValues(x), expected);
    }

    void trimEdges_data()
    {
        QTest::addColumn<double>("cut");
        QTest::addColumn<QVector<double>>("keptX");
        QTest::newRow("cut 4 keeps 2..8") << 4.0 << QVector<double>({ 2, 3, 4, 5, 6, 7, 8 });
        QTest::newRow("cut 9 keeps 4.5..5.5") << 9.0 << QVector<double>({ 5 });
        QTest::newRow("cut 10 leaves nothing") << 10.0 << QVector<double>();
        QTest::newRow("cut longer than the profile") << 12.0 << QVector<double>();
    }

    void trimEdges()
    {
        QFETCH(double, cut);
        QFETCH(QVector<double>, keptX);
        const QVector<double> x = indexes(11);
        QVector<double> y;
        for (double v : x)
            y << 2 * v;
        const TData input { x, y, QVector<double>(11, 1) };
        const TData result = Algos::trimEdges(input, cut);
        if (keptX.isEmpty()) {
            QCOMPARE(result, input); // unchanged, with all its channels
            return;
        }
        QCOMPARE(result.size(), 2);
        QCOMPARE(result.at(0), keptX);
        for (int i = 0; i < keptX.size(); ++i)
            QCOMPARE(result.at(1).at(i), 2 * keptX.at(i));
    }

    void trimEdgesOfEmptyProfile()
    {
        QCOMPARE(Algos::trimEdges(TData(), 1), TData());
        QCOMPARE(Algos::trimEdges(profile({}, {}), 1), profile({}, {}));
    }

    void subtractMovingAverage()
    {
        // Point 0 averages itself (point 1 is not less than 1 ahead), point 1
        // averages 0 and 1, point 2 averages 1 and 2.
        const TData r = Algos::subtractMovingAverage(profile({ 0, 1, 2 }, { 3, 6, 12 }), 1);
        QCOMPARE(r.at(0), QVector<double>({ 0, 1, 2 }));
        QCOMPARE(r.at(1), QVector<double>({ 0, 1.5, 3 }));
        QVERIFY(Algos::subtractMovingAverage(TData({ { 0, 1 } }), 1).isEmpty());
    }

    void subtractMovingAverageMatchesDirectMeans()
    {
        QRandomGenerator rng(3);
        QVector<double> x, y;
        double pos = 0;
        for (int i = 0; i < 300; ++i) {
            pos += 0.25 * rng.bounded(3); // steps 0, 0.25, 0.5: repeated X included
            x << pos;
            y << rng.bounded(100.0);
        }
        const double h = 1.0;
        const TData r = Algos::subtractMovingAverage({ x, y }, h);
        for (int i = 0; i < x.size(); ++i) {
            double sum = 0;
            int count = 0;
            for (int j = 0; j < x.size(); ++j) {
                if (x[i] - x[j] <= h && x[j] - x[i] < h) {
                    sum += y[j];
                    ++count;
                }
            }
            QCOMPARE_REL(r.at(1).at(i), y[i] - sum / count, 1e-9);
        }
    }

    void recommendedCutoff_data()
    {
        QTest::addColumn<int>("standard");
        QTest::addColumn<double>("ra");
        QTest::addColumn<int>("cutoff");
        QTest::newRow("GOST 0.01") << 0 << 0.01 << 80;
        QTest::newRow("GOST 0.025") << 0 << 0.025 << 250;
        QTest::newRow("GOST 0.4") << 0 << 0.4 << 800;
        QTest::newRow("GOST 3.19") << 0 << 3.19 << 800;
        QTest::newRow("GOST 3.2") << 0 << 3.2 << 2500;
        QTest::newRow("GOST 12.5") << 0 << 12.5 << 8000;
        QTest::newRow("ISO 0.019") << 1 << 0.019 << 80;
        QTest::newRow("ISO 0.025") << 1 << 0.025 << 250;
        QTest::newRow("ISO 0.1") << 1 << 0.1 << 800;
        QTest::newRow("ISO 0.4") << 1 << 0.4 << 800;
        QTest::newRow("ISO 2") << 1 << 2.0 << 2500;
        QTest::newRow("ISO 10") << 1 << 10.0 << 8000;
        QTest::newRow("unknown standard") << 2 << 0.4 << 0;
        QTest::newRow("negative standard") << -1 << 0.4 << 0;
    }

    void recommendedCutoff()
    {
        QFETCH(int, standard);
        QFETCH(double, ra);
        QFETCH(int, cutoff);
        int &field = Settings::instance().preferenses.standartisation_value;
        const int saved = field;
        field = standard;
        const int result = Algos::recommendedCutoff(ra);
        field = saved;
        QCOMPARE(result, cutoff);
    }

    void rotationsAndDistances()
    {
        const QPointF p(0.1, -7.3);
        const QPointF same = Algos::rotatePoint(1.5f, 2.5f, 0.0f, p);
        QCOMPARE(same.x(), p.x());
        QCOMPARE(same.y(), p.y());

        const QPointF quarter = Algos::rotatePoint(1.0f, 1.0f, float(M_PI / 2), QPointF(2, 1));
        QVERIFY(std::abs(quarter.x() - 1.0) < 1e-6);
        QVERIFY(std::abs(quarter.y() - 2.0) < 1e-6);

        const QVector<double> v = Algos::rotateVector(1, 0, 90);
        QVERIFY(std::abs(v[0]) < 1e-12);
        QCOMPARE_REL(v[1], 1.0, 1e-12);

        QCOMPARE(Algos::squaredDistance(1, 2, 4, 6), 25.0);

        const TData reference { { 0, 10 }, { 0, 0 } };
        const TData points { { 0, 3, 9 }, { 4, 4, 0 } };
        QCOMPARE_REL(Algos::sumOfNearestDistances(reference, points), 4.0 + 5.0 + 1.0, 1e-12);
        QCOMPARE(Algos::sumOfNearestDistances(TData { {}, {} }, TData { { 1 }, { 1 } }),
            std::sqrt(std::numeric_limits<double>::max()));
        QCOMPARE(Algos::sumOfNearestDistances(reference, TData()), 0.0);

        QVector<double> values { 1, -2 };
        Algos::addToAll(values, 0.5);
        QCOMPARE(values, QVector<double>({ 1.5, -1.5 }));
    }

    void isPowerOfTwo()
    {
        for (int n : { 1, 2, 4, 1024, 1 << 30 })
            QVERIFY2(Algos::isPowerOfTwo(n), qPrintable(QString::number(n)));
        for (int n : { 0, -2, 3, 6, 1023, std::numeric_limits<int>::min() })
            QVERIFY2(!Algos::isPowerOfTwo(n), qPrintable(QString::number(n)));
    }
};

VANTOR_TEST_MAIN(TestProfileUtils)
#include "tst_profileutils.moc"
