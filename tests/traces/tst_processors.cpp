#include "algos/gaussfilter.h"
#include "settings/settings.h"
#include "support/fuzzy.h"
#include "support/testmain.h"
#include "support/neutralcalibration.h"
#include "traces/contourtrace.h"
#include "traces/nonlinearity.h"
#include "traces/processors.h"

#include <QtTest>
#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(PostProcessorPtr)

namespace {

TData waveProfile(int count)
{
    QVector<double> x(count), y(count);
    for (int i = 0; i < count; ++i) {
        x[i] = 2.0 * i;
        y[i] = std::sin(x[i] / 40) + 0.2 * std::sin(x[i] / 3);
    }
    return TData { x, y };
}

QStringList names(const QList<PostProcessorPtr> &chain)
{
    QStringList out;
    for (const auto &p : chain) {
        out << p->name;
    }
    return out;
}

} // namespace

class TestProcessors : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void shortCutOffs_data();
    void shortCutOffs();
    void labels_data();
    void labels();
    void zeronators();
    void threadAngle_data();
    void threadAngle();
    void medianFilterActsOnYOnly();
    void filtersUseTheirBands_data();
    void filtersUseTheirBands();
    void filtersOnEmptyData();
    void contourConversion_data();
    void contourConversion();
    void contourConversionKeepsItsCalibration();
    void recalculationUsesNewCalibration();
    void additionalTraceChain_data();
    void additionalTraceChain();
};

void TestProcessors::init()
{
    useNeutralContourCalibration();
}

void TestProcessors::shortCutOffs_data()
{
    QTest::addColumn<double>("longCutOff");
    QTest::addColumn<double>("expected");
    QTest::newRow("80") << 80.0 << 2.6666666666666665;
    QTest::newRow("250") << 250.0 << 2.5;
    QTest::newRow("800") << 800.0 << 2.6666666666666665;
    QTest::newRow("2500") << 2500.0 << 8.3333333333333339;
    QTest::newRow("8000") << 8000.0 << 26.666666666666668;
}

void TestProcessors::shortCutOffs()
{
    QFETCH(double, longCutOff);
    QFETCH(double, expected);
    QCOMPARE(shortCutOff(longCutOff), expected);
}

void TestProcessors::labels_data()
{
    QTest::addColumn<PostProcessorPtr>("processor");
    QTest::addColumn<QString>("label");
    QTest::newRow("median") << PostProcessorPtr(new DataMedianFilterProcessor(5)) << "Median5";
    QTest::newRow("angle") << PostProcessorPtr(new ThreadAngleCompensationProcessor(30)) << "Angle 30";
    QTest::newRow("angle, fraction") << PostProcessorPtr(new ThreadAngleCompensationProcessor(1.0 / 3))
                                     << "Angle 0.333333";
    QTest::newRow("roughness") << PostProcessorPtr(new FilterRoughnessProfileProcessor(800)) << "Filter 800";
    QTest::newRow("waviness") << PostProcessorPtr(new FilterWaveProfileProcessor(2500)) << "Filter 2500";
    QTest::newRow("y") << PostProcessorPtr(new YZeronator) << "YZeronator";
    QTest::newRow("x") << PostProcessorPtr(new XZeronator) << "XZeronator";
    QTest::newRow("non-linearity") << PostProcessorPtr(new NonLinearityEliminationProcessor)
                                   << "NonLinearityEliminationProcessor";
}

void TestProcessors::labels()
{
    QFETCH(PostProcessorPtr, processor);
    QFETCH(QString, label);
    QCOMPARE(processor->name, label);
}

void TestProcessors::zeronators()
{
    TData data { { 3, 4, 6 }, { 5, 2, 7 }, { 1, 1, 1 } };
    YZeronator().process(data);
    QCOMPARE(data, (TData { { 3, 4, 6 }, { 3, 0, 5 }, { 1, 1, 1 } }));
    XZeronator().process(data);
    QCOMPARE(data, (TData { { 0, 1, 3 }, { 3, 0, 5 }, { 1, 1, 1 } }));

    // Empty channels, or too few of them, are left alone.
    for (TData empty : { TData { {}, {} }, TData() }) {
        const TData before = empty;
        YZeronator().process(empty);
        XZeronator().process(empty);
        QCOMPARE(empty, before);
    }
    TData onlyX { { 1, 2 } };
    YZeronator().process(onlyX);
    QCOMPARE(onlyX, (TData { { 1, 2 } }));
}

void TestProcessors::threadAngle_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("factor");
    QTest::newRow("0 keeps X") << 0.0 << 1.0;
    QTest::newRow("60 halves X") << 60.0 << 0.5;
    QTest::newRow("30") << 30.0 << std::sqrt(3.0) / 2;
}

void TestProcessors::threadAngle()
{
    QFETCH(double, angle);
    QFETCH(double, factor);
    TData data { { 0, 2, 10 }, { 1, 2, 3 } };
    ThreadAngleCompensationProcessor(angle).process(data);
    QCOMPARE(data[1], (QVector<double> { 1, 2, 3 }));
    const QVector<double> x { 0, 2, 10 };
    for (int i = 0; i < 3; ++i) {
        QCOMPARE_REL(data[0][i], x[i] * factor, 1e-15);
    }
    TData empty { {}, {} };
    ThreadAngleCompensationProcessor(angle).process(empty);
    QCOMPARE(empty, (TData { {}, {} }));
}

void TestProcessors::medianFilterActsOnYOnly()
{
    TData data { { 0, 1, 2, 3, 4 }, { 5, 1, 9, 2, 7 } };
    DataMedianFilterProcessor(3).process(data);
    QCOMPARE(data, (TData { { 0, 1, 2, 3, 4 }, { 1, 5, 2, 7, 7 } }));
}

void TestProcessors::filtersUseTheirBands_data()
{
    QTest::addColumn<bool>("waviness");
    QTest::addColumn<double>("cutOff");
    QTest::addColumn<double>("shortCutoff");
    QTest::newRow("roughness 80") << false << 80.0 << 2.6666666666666665;
    QTest::newRow("roughness 250") << false << 250.0 << 2.5;
    QTest::newRow("roughness 800") << false << 800.0 << 2.6666666666666665;
    QTest::newRow("roughness 2500") << false << 2500.0 << 2500.0 / 300;
    QTest::newRow("waviness 800") << true << 800.0 << 1600 - 2.6666666666666665;
    QTest::newRow("waviness 250") << true << 250.0 << 500 - 2.5;
}

void TestProcessors::filtersUseTheirBands()
{
    QFETCH(bool, waviness);
    QFETCH(double, cutOff);
    QFETCH(double, shortCutoff);
    const TData input = waveProfile(3000);
    TData data = input;
    if (waviness) {
        FilterWaveProfileProcessor(cutOff).process(data);
    } else {
        FilterRoughnessProfileProcessor(cutOff).process(data);
    }
    const TData expected = Algos::gaussFilter(input, cutOff, shortCutoff);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(data, expected);
    QVERIFY(data[0].size() < input[0].size()); // trimmed by half a cut-off at each end
}

void TestProcessors::filtersOnEmptyData()
{
    TData data { {}, {} };
    FilterRoughnessProfileProcessor(800).process(data);
    QVERIFY(data.isEmpty());
    TData wave { {}, {} };
    FilterWaveProfileProcessor(800).process(wave);
    QVERIFY(wave.isEmpty());
}

void TestProcessors::contourConversion_data()
{
    QTest::addColumn<double>("xRatio");
    QTest::addColumn<double>("yRatio");
    QTest::addColumn<double>("displacement");
    QTest::addColumn<double>("rackAngle");
    QTest::addColumn<QVector<double>>("point");
    QTest::addColumn<QVector<double>>("expected");
    QTest::newRow("identity calibration adds the console height")
        << 1.0 << 1.0 << 0.0 << 0.0 << QVector<double> { 4, 2, 3000 } << QVector<double> { 4, 5, 3000 };
    QTest::newRow("ratios and displacement")
        << 2.0 << 3.0 << 0.01 << 0.0 << QVector<double> { 10, 2, 1000 } << QVector<double> { 10, 7, 1000 };
    // y is scaled and raised before the rack tilt moves x by sin(a) * y.
    QTest::newRow("rack at 90 degrees") << 1.0 << 1.0 << 0.0 << 90.0 << QVector<double> { 7, 2, 0 }
                                        << QVector<double> { 5, 0, 0 };
    QTest::newRow("rack at 30 degrees, raised") << 1.0 << 2.0 << 0.0 << 30.0 << QVector<double> { 0, 1, 2000 }
                                                << QVector<double> { -2, 2 * std::sqrt(3.0), 2000 };
    QTest::newRow("short point untouched")
        << 2.0 << 2.0 << 1.0 << 10.0 << QVector<double> { 1, 2 } << QVector<double> { 1, 2 };
}

void TestProcessors::contourConversion()
{
    QFETCH(double, xRatio);
    QFETCH(double, yRatio);
    QFETCH(double, displacement);
    QFETCH(double, rackAngle);
    QFETCH(QVector<double>, point);
    QFETCH(QVector<double>, expected);
    Settings &s = Settings::instance();
    s.x_axis_compression_ratio = xRatio;
    s.y_axis_compression_ratio = yRatio;
    s.displacement_coefficient = displacement;
    s.rack_prpendicular = rackAngle;
    ContourConversionPointProcessor().process(point);
    QCOMPARE(point.size(), expected.size());
    for (int i = 0; i < point.size(); ++i) {
        QVERIFY2(std::abs(point[i] - expected[i]) < 1e-12,
            qPrintable(QString("value %1: %2, expected %3").arg(i).arg(point[i]).arg(expected[i])));
    }
}

void TestProcessors::contourConversionKeepsItsCalibration()
{
    // A reading converts every point with the calibration of its start,
    // whatever the settings become meanwhile.
    ContourConversionPointProcessor processor;
    QVector<double> a { 3, 1, 0 };
    processor.process(a);
    Settings::instance().x_axis_compression_ratio = 4;
    QVector<double> b { 3, 1, 0 };
    processor.process(b);
    QCOMPARE(a[0], 3.0);
    QCOMPARE(b[0], 3.0);
    QVector<double> c { 3, 1, 0 };
    ContourConversionPointProcessor().process(c);
    QCOMPARE(c[0], 12.0);
}

void TestProcessors::recalculationUsesNewCalibration()
{
    ContourTrace trace;
    trace.x_axis_compression_ratio = 1; // the trace's own record stays as taken
    trace.addPointProcessor(std::make_shared<ContourConversionPointProcessor>());
    for (double x : { 1.0, 2.0, 4.0 }) {
        QVector<double> p { x, 0, 0 };
        trace.addPoint(p);
    }
    trace.recalculate();
    QCOMPARE(trace.processedData->at(0), (QVector<double> { 1, 2, 4 }));

    Settings::instance().x_axis_compression_ratio = 2;
    std::unique_ptr<AbstractTrace> clone(trace.clone());
    renewContourConversion(trace);
    trace.recalculate();
    QCOMPARE(trace.processedData->at(0), (QVector<double> { 2, 4, 8 }));
    // A clone made before keeps the processor it shared.
    clone->recalculate();
    QCOMPARE(clone->processedData->at(0), (QVector<double> { 1, 2, 4 }));
    QCOMPARE(trace.rawData->at(0), (QVector<double> { 1, 2, 4 }));
    QCOMPARE(trace.x_axis_compression_ratio, 1.0);
}

void TestProcessors::additionalTraceChain_data()
{
    QTest::addColumn<bool>("median");
    QTest::addColumn<bool>("angle");
    QTest::addColumn<int>("filterMode");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("nothing but zeroing") << false << false << 0 << 2 << QStringList { "YZeronator" };
    QTest::newRow("everything, roughness")
        << true << true << 1 << 2 << QStringList { "Median7", "Angle 12.5", "Filter 800", "YZeronator" };
    QTest::newRow("waviness at 80") << false << false << 2 << 4 << QStringList { "Filter 80", "YZeronator" };
    QTest::newRow("unknown filter mode") << false << false << 3 << 2 << QStringList { "YZeronator" };
    // A damaged index falls back to 2500 instead of reading outside the table.
    QTest::newRow("index beyond the table") << false << false << 1 << 17 << QStringList { "Filter 2500", "YZeronator" };
    QTest::newRow("negative index") << false << false << 2 << -1 << QStringList { "Filter 2500", "YZeronator" };
}

void TestProcessors::additionalTraceChain()
{
    QFETCH(bool, median);
    QFETCH(bool, angle);
    QFETCH(int, filterMode);
    QFETCH(int, filterIndex);
    QFETCH(QStringList, expected);
    Settings s = Settings::instance();
    s.preferenses.meadian_filter = median;
    s.preferenses.meadian_filter_value = 7;
    s.preferenses.thread_angle_compensation = angle;
    s.preferenses.thread_angle_compensation_value = 12.5;
    s.preferenses.profile_filter_mode = filterMode;
    s.spinbox_filter_length_index = filterIndex;
    const QList<PostProcessorPtr> chain = additionalTracePostProcessors(s);
    QCOMPARE(names(chain), expected);
    if (filterMode == 2 && !chain.isEmpty()) {
        QVERIFY(dynamic_cast<FilterWaveProfileProcessor *>(chain.first().get()));
    }
}

VANTOR_TEST_MAIN(TestProcessors)
#include "tst_processors.moc"
