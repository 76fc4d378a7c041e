#pragma once

#include "algos/tracetypes.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>
#include <functional>

class ProfileTrace;

// Working arguments of the parameter calculators. The caller owns one and
// passes it to every evaluation; the evaluator fills it from the trace.
struct ExtraArgs {
    double cutoff = 0.0; // long cut-off λc of the trace, µm: the sampling length
    TData materialRatio; // material-ratio curve of the roughness profile (Rk family)
    TData histogram; // amplitude-density curve read by Dp
    double level = 0.0; // level of ηp, tp and Dp, µm
    // The material-ratio curves of a trace and its runs while recalcAllParams
    // evaluates them, so that the rows reading one make it once; empty
    // otherwise, and each row then makes the curves it reads.
    QHash<const ProfileTrace *, TData> ownMaterialRatios;
};

using ParamCalculator = std::function<double(TData, ExtraArgs)>;

// One surface-texture parameter: its calculator, the profile it is computed
// on (an E_PROFILE_TYPE) and its unit text.
struct ParamInfo {
    ParamCalculator calc;
    int type = 0;
    QString unit;
    // Whether the calculator reads ExtraArgs::materialRatio (the Rk family).
    bool readsMaterialRatio = false;
};

// The 56 surface-texture parameters by name, built at start-up and never changed.
extern const QMap<QString, ParamInfo> paramsMap;

// The unit text of a parameter; empty for a name the map does not have.
QString paramUnit(const QString &name);

// One parameter evaluated on a trace: its value on every run (the additional
// traces first, each with its own cut-off, then the trace itself; a run too
// short for its cut-off has none), or none at all for a trace shorter
// than two cut-offs or a name without a formula. Values that cannot be
// computed are 0.
struct ParamValue {
    QVector<double> runs;
    bool tooShort = false;

    // The value as the parameter table and the report show it: three
    // decimals, or with several runs the mean, "±" and the spread (also as a
    // percentage of the mean); "Недостаточная длина измерения" for a trace
    // too short; empty without a value.
    QString text() const;
    // The mean of the runs (the value itself with one run); 0 without a value.
    double mean() const;

    bool operator==(const ParamValue &other) const { return runs == other.runs && tooShort == other.tooShort; }
};

// Evaluates one parameter of the trace and keeps the value in the trace's
// results; a trace too short, a null trace, an empty or unknown name keep
// nothing. A row of the core-roughness family reads each run's own
// material-ratio curve and leaves the trace's own in args.materialRatio.
ParamValue calcParamValue(ExtraArgs &args, ProfileTrace *trace, const QString &name);

// The text of calcParamValue.
QString calcParam(ExtraArgs &args, ProfileTrace *trace, const QString &name);

// Recomputes the trace's results for every displayed parameter of the settings.
// The material-ratio curve goes into args only when a displayed parameter
// reads it; otherwise args.materialRatio is left empty.
void recalcAllParams(ExtraArgs &args, ProfileTrace *trace);

// Recomputes Dp alone when the trace's results hold it.
void recalcDpParam(ExtraArgs &args, ProfileTrace *trace);

// Sets ExtraArgs::materialRatio to the material-ratio curve of every height of
// the trace's roughness profile, on which the Rk family is computed.
void calcMaterialRatio(ExtraArgs &args, ProfileTrace *trace);

// Sets ExtraArgs::histogram to the amplitude density of the roughness profile.
void calcHistogram(ExtraArgs &args, ProfileTrace *trace);
