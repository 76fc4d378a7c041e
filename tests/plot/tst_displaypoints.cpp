// The points the profile window draws while a trace arrives.

#include "support/testmain.h"

#include "plot/displaypoints.h"

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
        QTest::newRow("contour profile in µm") << xyz << int(CONTOURPROF) << 1.0
                                               << TData { { 0, 1000, 2000 }, { 10.5, 19, 30 } };
        // A profile's further channels are not its points.
        QTest::newRow("profile in nm") << xyz << int(PROFILE) << 1000.0
                                       << TData { { 0, 1e6, 2e6 }, { 1e4, 2e4, 3e4 } };
        QTest::newRow("contour without Z") << TData { { 1, 2 }, { 3, 4 } } << int(CONTOUR) << 1.0
                                           << TData { { 1, 2 }, { 3, 4 } };
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
};

VANTOR_TEST_MAIN(TestDisplayPoints)
#include "tst_displaypoints.moc"
