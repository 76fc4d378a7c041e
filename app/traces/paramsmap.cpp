#include "traces/paramsmap.h"

#include "algos/amplitudeparams.h"
#include "algos/materialratio.h"
#include "algos/profilespan.h"
#include "algos/spacingparams.h"
#include "settings/settings.h"
#include "traces/profiletrace.h"

#include <QHash>

#include <cmath>

namespace {

using ProfileFormula = double (*)(TData, double);

ParamInfo row(int type, const QString &unit, ParamCalculator calc)
{
    ParamInfo info;
    info.calc = std::move(calc);
    info.type = type;
    info.unit = unit;
    return info;
}

// A formula over the profile and the sampling length λc.
ParamCalculator overCutoff(ProfileFormula formula)
{
    return [formula](TData profile, ExtraArgs args) { return formula(std::move(profile), args.cutoff); };
}

// A row whose formula reads the material-ratio curve alone.
ParamInfo materialRatioRow(const QString &unit, double (*formula)(const TData &))
{
    ParamInfo info
        = row(ROUGHNESS_PROFILE, unit, [formula](TData, ExtraArgs args) { return formula(args.materialRatio); });
    info.readsMaterialRatio = true;
    return info;
}

QMap<QString, ParamInfo> buildParamsMap()
{
    const QString um = QStringLiteral("мкм");
    const QString deg = QStringLiteral("°");
    const QString percent = QStringLiteral("%");
    const ParamCalculator rt = [](TData profile, ExtraArgs) { return Algos::Rt(std::move(profile)); };

    QMap<QString, ParamInfo> map;
    map.insert(QStringLiteral("Ra"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Ra)));
    map.insert(QStringLiteral("Rmax"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rmax)));
    map.insert(QStringLiteral("Rp"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rp)));
    map.insert(QStringLiteral("Rv"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rv)));
    map.insert(QStringLiteral("Rz"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rz)));
    map.insert(QStringLiteral("R3z"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::R3z)));
    map.insert(QStringLiteral("Rz10"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rz10)));
    map.insert(QStringLiteral("Rc"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rc)));
    map.insert(QStringLiteral("Rt"), row(ROUGHNESS_PROFILE, um, rt));
    map.insert(QStringLiteral("Rq"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rq)));
    map.insert(QStringLiteral("Rsk"), row(ROUGHNESS_PROFILE, QString(), overCutoff(Algos::Rsk)));
    map.insert(QStringLiteral("Rku"), row(ROUGHNESS_PROFILE, QString(), overCutoff(Algos::Rku)));
    map.insert(QStringLiteral("RSm"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::RSm)));
    map.insert(QStringLiteral("Rm"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::Rm)));
    map.insert(QStringLiteral("RΔq(Δq)"), row(ROUGHNESS_PROFILE, deg, overCutoff(Algos::RDeltaQ)));
    map.insert(QStringLiteral("RΔa(Δa)"), row(ROUGHNESS_PROFILE, deg, overCutoff(Algos::RDeltaA)));
    map.insert(
        QStringLiteral("S"), row(ROUGHNESS_PROFILE, um, [](TData p, ExtraArgs) { return Algos::S(std::move(p)); }));
    // D counts per 10000 µm of profile, that is per centimetre.
    map.insert(QStringLiteral("D"), row(ROUGHNESS_PROFILE, QStringLiteral("1/см"), overCutoff(Algos::D)));
    map.insert(QStringLiteral("Dp"),
        row(ROUGHNESS_PROFILE, percent, [](TData, ExtraArgs a) { return Algos::Dp(a.histogram, a.level); }));
    map.insert(QStringLiteral("L0"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::L0)));
    map.insert(QStringLiteral("l0"), row(ROUGHNESS_PROFILE, QString(), overCutoff(Algos::l0)));
    map.insert(QStringLiteral("λq"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::lambdaQ)));
    map.insert(QStringLiteral("λa"), row(ROUGHNESS_PROFILE, um, overCutoff(Algos::lambdaA)));
    map.insert(QStringLiteral("ηp"),
        row(ROUGHNESS_PROFILE, um, [](TData p, ExtraArgs a) { return Algos::etaP(std::move(p), a.cutoff, a.level); }));
    map.insert(QStringLiteral("tp"), row(ROUGHNESS_PROFILE, percent, [](TData p, ExtraArgs a) {
        return Algos::tp(std::move(p), a.cutoff, a.level);
    }));
    map.insert(QStringLiteral("Rk"), materialRatioRow(um, Algos::Rk));
    map.insert(QStringLiteral("Rpk"), materialRatioRow(um, Algos::Rpk));
    map.insert(QStringLiteral("Rvk"), materialRatioRow(um, Algos::Rvk));
    map.insert(QStringLiteral("Mr1(tp1)"), materialRatioRow(percent, Algos::Mr1));
    map.insert(QStringLiteral("Mr2(tp2)"), materialRatioRow(percent, Algos::Mr2));

    // The waviness and primary rows reuse the roughness formulas on their profiles.
    const struct {
        const char *suffix;
        const char *roughnessName;
    } shared[] = { { "a", "Ra" }, { "max", "Rmax" }, { "p", "Rp" }, { "v", "Rv" }, { "z", "Rz" }, { "c", "Rc" },
        { "t", "Rt" }, { "q", "Rq" }, { "sk", "Rsk" }, { "ku", "Rku" }, { "Sm", "RSm" }, { "Δq", "RΔq(Δq)" },
        { "Δa", "RΔa(Δa)" } };
    for (const auto &s : shared) {
        const ParamInfo r = map.value(QString::fromUtf8(s.roughnessName));
        map.insert(QStringLiteral("W") + QString::fromUtf8(s.suffix), row(WAVINESS_PROFILE, r.unit, r.calc));
        map.insert(QStringLiteral("P") + QString::fromUtf8(s.suffix), row(PRIMARY_PROFILE, r.unit, r.calc));
    }
    return map;
}

// A value that cannot be computed shows as 0, never as "nan" or "inf".
QString fixed(double value, int decimals)
{
    return QString::number(std::isfinite(value) ? value : 0.0, 'f', decimals);
}

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

// The material-ratio curve of a trace's own roughness profile at its own
// cut-off: the one recalcAllParams made for this evaluation, or a new one.
TData ownMaterialRatio(const ExtraArgs &args, ProfileTrace *trace)
{
    const auto it = args.ownMaterialRatios.constFind(trace);
    if (it != args.ownMaterialRatios.constEnd())
        return *it;
    return Algos::heightMaterialRatioCurve(trace->profile(trace->cutOff, ROUGHNESS_PROFILE));
}

} // namespace

const QMap<QString, ParamInfo> paramsMap = buildParamsMap();

QString paramUnit(const QString &name)
{
    const auto info = paramsMap.constFind(name);
    return info == paramsMap.constEnd() ? QString() : info->unit;
}

double ParamValue::mean() const
{
    if (runs.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (double v : runs)
        sum += v;
    return sum / runs.size();
}

QString ParamValue::text() const
{
    if (tooShort)
        return QStringLiteral("Недостаточная длина измерения");
    if (runs.isEmpty())
        return QString();
    const double m = mean();
    if (runs.size() == 1)
        return fixed(m, 3);
    double squares = 0.0;
    for (double v : runs)
        squares += (v - m) * (v - m);
    const double sigma = std::sqrt(squares / runs.size());
    return fixed(m, 3) + QStringLiteral("±") + fixed(sigma, 3) + QStringLiteral("(") + fixed(sigma / m * 100, 2)
        + QStringLiteral("%)");
}

ParamValue calcParamValue(ExtraArgs &args, ProfileTrace *trace, const QString &name)
{
    ParamValue value;
    if (!trace || name.isEmpty())
        return value;
    args.histogram = trace->histogram;
    args.cutoff = trace->cutOff;
    args.level = trace->level;
    if (2 * args.cutoff > trace->length()) {
        value.tooShort = true;
        return value;
    }
    const auto it = paramsMap.constFind(name);
    if (it == paramsMap.constEnd() || !it->calc)
        return value;

    // Each run enters with the value it shows on its own: its profile
    // filtered with its own cut-off and divided into sampling lengths of that
    // cut-off, and for the core-roughness rows the material-ratio curve of
    // that profile. The level and the histogram the operator chose stay the
    // main trace's, so Dp, ηp and tp read the main trace's arguments.
    // A run too short for its own cut-off has no value and adds none.
    for (ProfileTrace *additional : qAsConst(trace->additionalTraces)) {
        if (!additional || 2 * additional->cutOff > additional->length())
            continue;
        ExtraArgs runArgs = args;
        runArgs.cutoff = additional->cutOff;
        if (it->readsMaterialRatio)
            runArgs.materialRatio = ownMaterialRatio(args, additional);
        value.runs.append(finiteOrZero(it->calc(additional->profile(runArgs.cutoff, it->type), runArgs)));
    }
    if (it->readsMaterialRatio)
        args.materialRatio = ownMaterialRatio(args, trace);
    value.runs.append(finiteOrZero(it->calc(trace->profile(args.cutoff, it->type), args)));

    trace->results[name] = value;
    return value;
}

QString calcParam(ExtraArgs &args, ProfileTrace *trace, const QString &name)
{
    return calcParamValue(args, trace, name).text();
}

void recalcAllParams(ExtraArgs &args, ProfileTrace *trace)
{
    if (!trace)
        return;
    args.cutoff = trace->cutOff;
    const UserPreferences &prefs = Settings::instance().preferenses;
    // The curve sorts every height of the roughness profile and is as large
    // as the profile: it is made only for a displayed parameter that reads it.
    bool materialRatioRead = false;
    for (int i = 0; i < prefs.enabled_params_count && !materialRatioRead; ++i)
        materialRatioRead = paramsMap.value(prefs.enabled_params.value(i)).readsMaterialRatio;
    // The five rows that read a curve share one per trace: each run's and the
    // trace's own are made once here and let go once the rows are evaluated.
    args.ownMaterialRatios.clear();
    if (materialRatioRead) {
        calcMaterialRatio(args, trace);
        args.ownMaterialRatios.insert(trace, args.materialRatio);
        for (ProfileTrace *additional : qAsConst(trace->additionalTraces)) {
            if (additional && 2 * additional->cutOff <= additional->length())
                args.ownMaterialRatios.insert(additional, ownMaterialRatio(args, additional));
        }
    } else {
        args.materialRatio = TData();
    }
    trace->results.clear();
    for (int i = 0; i < prefs.enabled_params_count; ++i) {
        const QString name = prefs.enabled_params.value(i);
        trace->results[name] = calcParamValue(args, trace, name);
    }
    args.ownMaterialRatios.clear();
    // The order checks and the core line served this evaluation; the vectors
    // they remember are not held beyond it.
    Algos::detail::forgetAscendingX();
    Algos::forgetCoreLine();
}

void recalcDpParam(ExtraArgs &args, ProfileTrace *trace)
{
    const QString dp = QStringLiteral("Dp");
    if (trace && trace->results.contains(dp))
        trace->results[dp] = calcParamValue(args, trace, dp);
}

void calcMaterialRatio(ExtraArgs &args, ProfileTrace *trace)
{
    if (trace)
        args.materialRatio = Algos::heightMaterialRatioCurve(trace->profile(args.cutoff, ROUGHNESS_PROFILE));
}

void calcHistogram(ExtraArgs &args, ProfileTrace *trace)
{
    if (trace) {
        args.histogram = Algos::amplitudeDensity(
            trace->profile(args.cutoff, ROUGHNESS_PROFILE), Settings::instance().preferenses.histogramm_density_value);
    }
}
