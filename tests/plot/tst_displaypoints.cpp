// The points the windows draw: the profile window's while a trace arrives,
// the contour window's with its levelling, and a level read on a plot.

#include "support/testmain.h"

#include "plot/displaypoints.h"

#include <cmath>

Q_DECLARE_METATYPE(TData)

class TestDisplayPoints : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void points_data()
    {
        QTest::addColumn<TData>("raw");
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("factor");
        QTest::addColumn<TData>("expected");
        const TData xyz { { 0, 1000, 2000 }, { 10, 20, 30 }, { 500, -1000, 0 } };
        // Y + Z / 1000, then scaled: by hand.
        QTest::newRow("contour in mm") << xyz << int(CONTOUR) << 0.001
                                       << TData { { 0, 1, 2 }, { 0.0105, 0.019, 0.03 } };
        QTest::newRow("contour profile in µm")
            << xyz << int(CONTOURPROF) << 1.0 << TData { { 0, 1000, 2000 }, { 10.5, 19, 30 } };
        // A profile's further channels are not its points.
        QTest::newRow("profile in nm") << xyz << int(PROFILE) << 1000.0 << TData { { 0, 1e6, 2e6 }, { 1e4, 2e4, 3e4 } };
        QTest::newRow("contour without Z")
            << TData { { 1, 2 }, { 3, 4 } } << int(CONTOUR) << 1.0 << TData { { 1, 2 }, { 3, 4 } };
        QTest::newRow("shorter Z reaches its points only")
            << TData { { 1, 2 }, { 3, 4 }, { 1000 } } << int(CONTOUR) << 1.0 << TData { { 1, 2 }, { 4, 4 } };
        QTest::newRow("one channel") << TData { { 1, 2 } } << int(PROFILE) << 1.0 << TData(2);
    }
    void points()
    {
        QFETCH(TData, raw);
        QFETCH(int, kind);
        QFETCH(double, factor);
        QFETCH(TData, expected);
        const TData shown = rawDisplayPoints(raw, kind, factor);
        QCOMPARE(shown.size(), 2);
        for (int c = 0; c < 2; ++c) {
            QCOMPARE(shown[c].size(), expected[c].size());
            for (int i = 0; i < expected[c].size(); ++i)
                QVERIFY2(qFuzzyCompare(1 + shown[c][i], 1 + expected[c][i]),
                    qPrintable(QStringLiteral("channel %1 point %2: %3").arg(c).arg(i).arg(shown[c][i])));
        }
    }

    // Scaled first, then turned about the centre in display units: by hand,
    // a quarter turn about (1, 0) takes (2, 0) to (1, 1) and (1, 1) to (0, 0).
    void levelledPoints()
    {
        const TData processed { { 2000, 1000, 5000 }, { 0, 1000 } }; // X longer than Y
        const TData plain = levelledDisplayPoints(processed, 0.001, false, 1, 0, M_PI / 2);
        QCOMPARE(plain, TData({ { 2, 1 }, { 0, 1 } }));
        const TData turned = levelledDisplayPoints(processed, 0.001, true, 1, 0, M_PI / 2);
        QCOMPARE(turned.at(0).size(), 2);
        const double expected[2][2] = { { 1, 0 }, { 1, 0 } }; // x of both, y of both
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 2; ++i)
                QVERIFY2(std::abs(turned[c][i] - expected[c][i]) < 1e-6, qPrintable(QString::number(turned[c][i])));
        QCOMPARE(levelledDisplayPoints(TData { { 1 } }, 1, false, 0, 0, 0), TData({ {}, {} }));
    }

    void levelInMicrometres_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("expected");
        QTest::newRow("mm") << 0 << 12.5;
        QTest::newRow("µm") << 1 << 0.0125;
        QTest::newRow("nm") << 2 << 0.0000125;
        QTest::newRow("unknown counts as µm") << 7 << 0.0125;
    }
    void levelInMicrometres()
    {
        QFETCH(int, unit);
        QFETCH(double, expected);
        QVERIFY(qFuzzyCompare(::levelInMicrometres(0.0125, unit), expected));
    }
};

VANTOR_TEST_MAIN(TestDisplayPoints)
#include "tst_displaypoints.moc"
