#include "support/testmain.h"
#include "support/fuzzy.h"

#include "algos/amplitudeparams.h"
#include "algos/materialratio.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/paramsmap.h"
#include "traces/profiletrace.h"

#include <QRegularExpression>
#include <cmath>
#include <memory>

namespace {

constexpr double kPi = 3.141592653589793;
const QString kTooShort = QStringLiteral("Недостаточная длина измерения");

// A measured-looking profile: two waves, a slow waviness and deterministic
// pseudo-random roughness, X in micrometres.
std::unique_ptr<ProfileTrace> surfaceTrace(double length, double step, double cutOff, unsigned seed)
{
    auto trace = std::make_unique<ProfileTrace>();
    trace->cutOff = cutOff;
    unsigned state = seed;
    const int n = static_cast<int>(length / step) + 1;
    for (int i = 0; i < n; ++i) {
        const double x = i * step;
        state = state * 1664525u + 1013904223u;
        const double noise = (state >> 8) / double(1 << 24) - 0.5;
        QVector<double> point { x,
            0.8 * std::sin(2 * kPi * x / 90) + 0.3 * std::sin(2 * kPi * x / 37 + 1) + 5 * std::sin(2 * kPi * x / 3000)
                + 0.2 * noise };
        trace->addPoint(point);
    }
    return trace;
}

// A trace of raw points Y = f(X) at X = 0, step, … length.
template <typename F> std::unique_ptr<ProfileTrace> trace(double length, double step, double cutOff, F f)
{
    auto t = std::make_unique<ProfileTrace>();
    t->cutOff = cutOff;
    for (int i = 0; i * step <= length; ++i) {
        QVector<double> point { i * step, f(i * step) };
        t->addPoint(point);
    }
    return t;
}

// Square wave ±a over X 0 … 1700 with cut-off 800: both sampling lengths,
// [0, 800] and [900, 1700], are even about their middles, so the primary
// profile's Pa is a to within 1e-5.
std::unique_ptr<ProfileTrace> squareWave(double a)
{
    return trace(1700, 2, 800, [a](double x) {
        const double r = std::fmod(x, 100);
        return r < 25 || r > 75 ? a : -a;
    });
}

void enableParams(const QMap<int, QString> &names)
{
    Settings::instance().preferenses.enabled_params = names;
    Settings::instance().preferenses.enabled_params_count = names.size();
}

} // namespace

class TestParams : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void registryHoldsEveryParameter()
    {
        QCOMPARE(paramsMap.size(), 56);
        for (auto it = kParamIndexNames.cbegin(); it != kParamIndexNames.cend(); ++it) {
            QVERIFY2(paramsMap.contains(it.value()), qPrintable(it.value()));
            const ParamInfo info = paramsMap.value(it.value());
            QVERIFY(info.calc);
            // Rows 0 … 29 roughness, 30 … 42 waviness, 43 … 55 primary.
            QCOMPARE(info.type, it.key() < 30 ? ROUGHNESS_PROFILE : it.key() < 43 ? WAVINESS_PROFILE : PRIMARY_PROFILE);
        }
        QCOMPARE(paramsMap.value("RΔq(Δq)").unit, QStringLiteral("°"));
        QCOMPARE(paramsMap.value("PΔa").unit, QStringLiteral("°"));
        QCOMPARE(paramsMap.value("Mr2(tp2)").unit, QStringLiteral("%"));
        QCOMPARE(paramsMap.value("Wsk").unit, QString());
        QCOMPARE(paramsMap.value("l0").unit, QString());
        QCOMPARE(paramsMap.value("Pt").unit, QStringLiteral("мкм"));
        QCOMPARE(paramsMap.value("D").unit, QStringLiteral("1/см"));
        QVERIFY(!ParamInfo().calc);
        QCOMPARE(ParamInfo().type, 0);
    }

    void everyParameterOnARealTrace_data()
    {
        QTest::addColumn<int>("additional");
        QTest::newRow("main trace alone") << 0;
        QTest::newRow("with two additional traces") << 2;
    }

    void everyParameterOnARealTrace()
    {
        QFETCH(int, additional);
        auto main = surfaceTrace(6000, 0.5, 800, 1);
        std::vector<std::unique_ptr<ProfileTrace>> extra;
        for (int i = 0; i < additional; ++i) {
            extra.push_back(surfaceTrace(6000, 0.5, 800, 100 + i));
            main->addAdditionalTrace(extra.back().get());
        }
        main->level = 0.1;
        main->histogram = Algos::amplitudeDensity(main->profile(800, ROUGHNESS_PROFILE), 10);
        enableParams(kParamIndexNames);

        ExtraArgs args;
        recalcAllParams(args, main.get());

        const QRegularExpression format(additional == 0
                ? QStringLiteral("^-?\\d+\\.\\d{3}$")
                : QStringLiteral("^-?\\d+\\.\\d{3}±\\d+\\.\\d{3}\\(-?\\d+\\.\\d{2}%\\)$"));
        QCOMPARE(main->results.size(), 56);
        for (const QString &name : kParamIndexNames) {
            const QString text = main->results.value(name).text();
            QVERIFY2(format.match(text).hasMatch(), qPrintable(name + " = " + text));
        }
        // Values of a surface with known scale, not just well-formed texts.
        const double ra = main->results.value("Ra").text().section(QChar(0x00B1), 0, 0).toDouble();
        QVERIFY2(ra > 0.3 && ra < 0.8, qPrintable(main->results.value("Ra").text()));
        QVERIFY(main->results.value("Wa").text().toDouble() > 0 || additional > 0);
        for (const char *name : { "Rk", "Rpk", "Rvk", "Mr1(tp1)", "Mr2(tp2)", "Rq", "RSm", "Pt", "Wt", "Dp", "tp" })
            QVERIFY2(main->results.value(name).text().section(QChar(0x00B1), 0, 0).toDouble() > 0,
                qPrintable(QString(name) + " = " + main->results.value(name).text()));
        // The core-roughness rows take each run with the material-ratio
        // curve of its own profile: the value it shows alone.
        for (const char *name : { "Rk", "Rpk", "Rvk", "Mr1(tp1)", "Mr2(tp2)" }) {
            const QVector<double> runs = main->results.value(name).runs;
            QCOMPARE(runs.size(), additional + 1);
            for (int i = 0; i < additional; ++i) {
                ProfileTrace *run = main->additionalTraces.at(i);
                ExtraArgs alone;
                QCOMPARE(runs.at(i), calcParamValue(alone, run, name).runs.value(0));
                QVERIFY2(runs.at(i) != runs.last(), name);
            }
        }
        if (additional > 0)
            QCOMPARE(args.materialRatio, Algos::heightMaterialRatioCurve(main->profile(800, ROUGHNESS_PROFILE)));
    }

    void meanAndSpreadOverAdditionalTraces()
    {
        // Pa of 1.0 and 1.2 on the additional traces and 1.1 on the main one.
        auto main = squareWave(1.1);
        auto first = squareWave(1.0);
        auto second = squareWave(1.2);
        ExtraArgs args;
        QCOMPARE(calcParam(args, main.get(), "Pa"), QStringLiteral("1.100"));
        main->addAdditionalTrace(first.get());
        main->addAdditionalTrace(second.get());
        QCOMPARE(calcParam(args, main.get(), "Pa"), QStringLiteral("1.100±0.082(7.42%)"));
        QCOMPARE(main->results.value("Pa").text(), QStringLiteral("1.100±0.082(7.42%)"));
    }

    void zeroMeanGivesNoNan()
    {
        // All runs flat: mean and spread 0, and the relative spread shows 0 too.
        auto main = trace(2000, 1, 250, [](double) { return 2.0; });
        auto other = trace(2000, 1, 250, [](double) { return 2.0; });
        main->addAdditionalTrace(other.get());
        ExtraArgs args;
        for (const char *name : { "Pa", "Psk", "Pku", "PSm", "Rk", "Mr1(tp1)" })
            QCOMPARE(calcParam(args, main.get(), name), QStringLiteral("0.000±0.000(0.00%)"));
    }

    void profileOfEachRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::newRow("Ra on the roughness profile") << "Ra" << int(ROUGHNESS_PROFILE);
        QTest::newRow("Wa on the waviness profile") << "Wa" << int(WAVINESS_PROFILE);
        QTest::newRow("Pa on the raw points") << "Pa" << int(PRIMARY_PROFILE);
    }

    void profileOfEachRow()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        auto t = surfaceTrace(8000, 1, 800, 7);
        ExtraArgs args;
        const QString expected = QString::number(Algos::Ra(t->profile(800, type), 800), 'f', 3);
        QCOMPARE(calcParam(args, t.get(), name), expected);
        QCOMPARE(args.cutoff, 800.0);
    }

    void lengthAndNames()
    {
        auto t = surfaceTrace(1500, 1, 800, 3);
        ExtraArgs args;
        QCOMPARE(calcParam(args, t.get(), "Ra"), kTooShort);
        QVERIFY(t->results.isEmpty());

        t->cutOff = 250;
        QVERIFY(calcParam(args, t.get(), "Ra").toDouble() > 0);
        QCOMPARE(calcParam(args, t.get(), "Rx"), QString());
        QCOMPARE(calcParam(args, t.get(), QString()), QString());
        QCOMPARE(calcParam(args, nullptr, "Ra"), QString());
        QCOMPARE(t->results.keys(), QStringList { "Ra" });
    }

    void recalcAllKeepsExactlyTheDisplayedParameters()
    {
        auto t = surfaceTrace(3000, 1, 800, 5);
        t->results["Rq"] = ParamValue { { 1.0 }, false };
        enableParams({ { 0, "Ra" }, { 1, "Rz" } });
        ExtraArgs args;
        recalcAllParams(args, t.get());
        QCOMPARE(t->results.keys(), (QStringList { "Ra", "Rz" }));
        // No displayed parameter reads the material-ratio curve: none is made,
        // and none left from before stays.
        QVERIFY(args.materialRatio.isEmpty());
        enableParams({ { 0, "Ra" }, { 1, "Rk" } });
        recalcAllParams(args, t.get());
        QCOMPARE(args.materialRatio, Algos::heightMaterialRatioCurve(t->profile(800, ROUGHNESS_PROFILE)));
        enableParams({ { 0, "Ra" }, { 1, "Rz" } });
        recalcAllParams(args, t.get());
        QVERIFY(args.materialRatio.isEmpty());

        // Too short for its cut-off: the message under every displayed name.
        t->cutOff = 2500;
        recalcAllParams(args, t.get());
        QCOMPARE(t->results.value("Ra").text(), kTooShort);
        QCOMPARE(t->results.value("Rz").text(), kTooShort);
    }

    void recalcDpFollowsLevelAndHistogram()
    {
        auto t = surfaceTrace(3000, 1, 800, 9);
        t->histogram = TData { { 1, 2, 3 }, { 10, 20, 30 } };
        t->level = 1.5;
        ExtraArgs args;
        recalcDpParam(args, t.get());
        QVERIFY(t->results.isEmpty());

        t->results["Dp"] = ParamValue { { 1.0 }, false };
        recalcDpParam(args, t.get());
        QCOMPARE(t->results.value("Dp").text(), QStringLiteral("20.000"));
        t->level = 2.5;
        recalcDpParam(args, t.get());
        QCOMPARE(t->results.value("Dp").text(), QStringLiteral("30.000"));
    }

    void histogramOfRoughness()
    {
        auto t = surfaceTrace(3000, 1, 800, 11);
        ExtraArgs args;
        args.cutoff = 800;
        calcHistogram(args, t.get());
        QCOMPARE(args.histogram.size(), 2);
        QCOMPARE(args.histogram[0].size(), 110); // default density 10
    }
};

VANTOR_TEST_MAIN(TestParams)
#include "tst_params.moc"
