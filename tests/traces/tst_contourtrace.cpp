#include "settings/settings.h"
#include "support/fuzzy.h"
#include "support/testmain.h"
#include "traces/contourtrace.h"

#include <QtTest>
#include <cmath>
#include <memory>

namespace {

// A contour trace of the given points (no processors), finished as after a
// reading: post-processors and finishing step on the processed data.
std::unique_ptr<ContourTrace> makeTrace(const QVector<double> &x, const QVector<double> &y, QVector<double> z = {})
{
    if (z.isEmpty()) {
        for (int i = 0; i < x.size(); ++i) {
            z.append(100 + i);
        }
    }
    auto trace = std::make_unique<ContourTrace>(TData { x, y, z });
    trace->tool_head_radius_down = 5;
    trace->tool_head_radius_up = 5;
    return trace;
}

void setSteps(bool smoothing, bool tipCompensation)
{
    Settings::instance().is_disabled_gauss_filter = smoothing;
    Settings::instance().is_disabled_radius_elimination = tipCompensation;
}

} // namespace

class TestContourTrace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void unsuitableDataPassesUnchanged();
    void spreadsRepeatedX();
    void tipEnvelope_data();
    void tipEnvelope();
    void tipCompensationUsesTheNeedleInUse();
    void upperNeedleOffsetsDoNotAccumulate();
    void smoothingKeepsChannelsAligned();
    void measurementModeOneIsNeverSmoothed();
    void cloneCopiesCalibration();
};

void TestContourTrace::init()
{
    setSteps(false, false);
}

void TestContourTrace::unsuitableDataPassesUnchanged()
{
    setSteps(true, true);
    ContourTrace trace;
    trace.needle_pressing = 0;
    trace.needle_bias = 1;
    const TData twoChannels { { 0, 0, 1 }, { 1, 2, 3 } };
    *trace.processedData = twoChannels;
    trace.processData();
    QCOMPARE(*trace.processedData, twoChannels);

    const TData empty { {}, {}, {} };
    *trace.processedData = empty;
    trace.processData();
    QCOMPARE(*trace.processedData, empty);
}

void TestContourTrace::spreadsRepeatedX()
{
    auto trace = makeTrace({ 0, 0, 0, 3 }, { 1, 2, 3, 4 });
    trace->recalculate();
    QCOMPARE(*trace->processedData, (TData { { 0, 1, 2, 3 }, { 1, 2, 3, 4 }, { 100, 101, 102, 103 } }));
    QCOMPARE(trace->rawData->at(0), (QVector<double> { 0, 0, 0, 3 }));
}

void TestContourTrace::tipEnvelope_data()
{
    QTest::addColumn<QVector<double>>("x");
    QTest::addColumn<QVector<double>>("y");
    QTest::addColumn<double>("r");
    QTest::addColumn<bool>("lower");
    QTest::addColumn<QVector<double>>("expected");
    QTest::newRow("zero radius keeps Y") << QVector<double> { 0, 1, 2 } << QVector<double> { 3, -1, 4 } << 0.0 << true
                                         << QVector<double> { 3, -1, 4 };
    QTest::newRow("flat, each own term lowest") << QVector<double> { 0, 0.5, 1 } << QVector<double> { 0, 0, 0 } << 1.0
                                                << true << QVector<double> { -1, -1, -1 };
    // R0 = min(0 - 5, 10 - 4), R1 = min(0 - 4, 10 - 5).
    QTest::newRow("step, lower needle") << QVector<double> { 0, 3 } << QVector<double> { 0, 10 } << 5.0 << true
                                        << QVector<double> { -5, -4 };
    // R0 = max(0 + 5, 10 + 4), R1 = max(0 + 4, 10 + 5).
    QTest::newRow("step, upper needle") << QVector<double> { 0, 3 } << QVector<double> { 0, 10 } << 5.0 << false
                                        << QVector<double> { 14, 15 };
    QTest::newRow("points beyond the radius do not count")
        << QVector<double> { 0, 10, 20 } << QVector<double> { 0, -50, 0 } << 5.0 << true
        << QVector<double> { -5, -55, -5 };
    // X steps back: the last point is outside every window the scan built,
    // so it keeps its own term instead of an endless value.
    QTest::newRow("X stepping back") << QVector<double> { 0, 10, 2 } << QVector<double> { 1, 1, 1 } << 1.0 << true
                                     << QVector<double> { 0, 0, 0 };
}

void TestContourTrace::tipEnvelope()
{
    QFETCH(QVector<double>, x);
    QFETCH(QVector<double>, y);
    QFETCH(double, r);
    QFETCH(bool, lower);
    QFETCH(QVector<double>, expected);
    const QVector<double> result = ::tipEnvelope(x, y, r, lower);
    QCOMPARE(result.size(), expected.size());
    for (int i = 0; i < result.size(); ++i) {
        QCOMPARE_REL(result[i], expected[i], 1e-12);
    }
}

void TestContourTrace::tipCompensationUsesTheNeedleInUse()
{
    setSteps(false, true);
    auto trace = makeTrace({ 0, 3 }, { 0, 10 });
    trace->tool_head_radius_down = 5;
    trace->tool_head_radius_up = 1;
    trace->recalculate();
    QCOMPARE(trace->processedData->at(1), (QVector<double> { -5, -4 }));
    QCOMPARE(trace->processedData->at(2), (QVector<double> { 100, 101 }));

    setSteps(false, false);
    trace->recalculate();
    QCOMPARE(trace->processedData->at(1), (QVector<double> { 0, 10 }));
}

void TestContourTrace::upperNeedleOffsetsDoNotAccumulate()
{
    setSteps(false, true);
    auto trace = makeTrace({ 0, 3 }, { 0, 10 });
    trace->needle_pressing = 0;
    trace->tool_head_radius_up = 5;
    trace->needle_bias = 0.5;
    trace->double_sided_probe_high = 22;
    for (int run = 0; run < 2; ++run) {
        trace->recalculate();
        QCOMPARE(*trace->processedData, (TData { { 500, 503 }, { 22014, 22015 }, { 100, 101 } }));
    }
}

void TestContourTrace::smoothingKeepsChannelsAligned()
{
    // 0.1 apart over 200 with a ripple of wavelength 2: the smoothing at the
    // tip radius 20 removes it and trims 10 from each end of every channel.
    setSteps(true, false);
    QVector<double> x, y, z;
    for (int i = 0; i <= 2000; ++i) {
        x.append(0.1 * i);
        y.append(4 + std::sin(3.141592653589793 * x.last()));
        z.append(i);
    }
    auto trace = makeTrace(x, y, z);
    trace->tool_head_radius_down = 30; // the short cut-off is min(20, r)
    trace->recalculate();
    const TData &d = *trace->processedData;
    QCOMPARE(d.size(), 3);
    QCOMPARE(d[0].size(), 1801);
    QCOMPARE(d[1].size(), d[0].size());
    QCOMPARE(d[2].size(), d[0].size());
    QCOMPARE_REL(d[0].first(), 10.0, 1e-12);
    QCOMPARE_REL(d[0].last(), 190.0, 1e-12);
    QCOMPARE(d[2].first(), 100.0); // Z of the first kept point
    QCOMPARE(d[2].last(), 1900.0);
    for (double v : d[1]) {
        QVERIFY2(std::abs(v - 4) < 0.01, qPrintable(QString::number(v))); // ripple of 1 gone
    }

    std::unique_ptr<AbstractTrace> copy(trace->clone());
    QCOMPARE(*copy->processedData, d);
    QCOMPARE(*copy->rawData, *trace->rawData);
    copy->recalculate();
    QCOMPARE(*copy->processedData, d);
}

void TestContourTrace::measurementModeOneIsNeverSmoothed()
{
    setSteps(true, false);
    QVector<double> x, y;
    for (int i = 0; i < 500; ++i) {
        x.append(0.5 * i);
        y.append((i % 2) ? 1.0 : -1.0);
    }
    auto trace = makeTrace(x, y);
    trace->measurement_mode = 1;
    trace->recalculate();
    QCOMPARE(trace->processedData->at(0), x);
    QCOMPARE(trace->processedData->at(1), y);
}

void TestContourTrace::cloneCopiesCalibration()
{
    auto trace = makeTrace({ 0, 1 }, { 2, 3 });
    trace->tool_head_radius_down = 1.5;
    trace->tool_head_radius_up = 2.5;
    trace->double_sided_probe_high = 21;
    trace->rack_perpendicular = 0.25;
    trace->roughness_ratio = 6.2;
    trace->needle_bias = 0.1;
    trace->x_axis_compression_ratio = 1.01;
    trace->y_axis_compression_ratio = 0.99;
    trace->displacement_coefficient = 0.003;
    trace->measurement_mode = 1;
    trace->needle_pressing = 0;
    std::unique_ptr<AbstractTrace> base(trace->clone());
    auto *copy = dynamic_cast<ContourTrace *>(base.get());
    QVERIFY(copy);
    QCOMPARE(copy->id, trace->id);
    QCOMPARE(copy->tool_head_radius_down, 1.5);
    QCOMPARE(copy->tool_head_radius_up, 2.5);
    QCOMPARE(copy->double_sided_probe_high, 21.0);
    QCOMPARE(copy->rack_perpendicular, 0.25);
    QCOMPARE(copy->roughness_ratio, 6.2);
    QCOMPARE(copy->needle_bias, 0.1);
    QCOMPARE(copy->x_axis_compression_ratio, 1.01);
    QCOMPARE(copy->y_axis_compression_ratio, 0.99);
    QCOMPARE(copy->displacement_coefficient, 0.003);
    QCOMPARE(copy->measurement_mode, 1);
    QCOMPARE(copy->needle_pressing, 0);
    QCOMPARE(copy->channelCount(), 3);
}

VANTOR_TEST_MAIN(TestContourTrace)
#include "tst_contourtrace.moc"
