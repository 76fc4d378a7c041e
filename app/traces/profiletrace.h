#pragma once

#include "traces/abstracttrace.h"
#include "traces/paramsmap.h"

#include <QMap>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

// The profile kinds the surface-texture parameters are evaluated on.
enum E_PROFILE_TYPE { ROUGHNESS_PROFILE = 0, WAVINESS_PROFILE = 1, PRIMARY_PROFILE = 2 };

// A roughness profile: [0] X, [1] Y in micrometres. A main trace (PROFILE)
// may carry further runs of the same profile (ADDITIONAL_TRACE). The
// roughness and waviness profiles are computed from the raw points and cached
// by cut-off until clearProfileCache().
class ProfileTrace : public AbstractTrace {
public:
    // Cut-off and median from the settings (GUI thread).
    ProfileTrace();
    // Cut-off and median as given; reads no settings (a reading's worker).
    ProfileTrace(double cutOff, int medianWindow, bool medianEnabled);
    // Values and caches are copied; every additional trace is cloned, and the
    // clones belong to the copy, with the copy as their parent. The copy
    // itself has no parent.
    ProfileTrace(const ProfileTrace &other);
    ~ProfileTrace() override;

    void processData() override;
    AbstractTrace *clone() const override;

    // The profile of the given kind filtered with the given long cut-off (µm),
    // which is also its key in the cache: a cached profile is always the one
    // that cut-off gives.
    TData profile(double cutOff, int type);
    void clearProfileCache();

    // Attaches child: its parent becomes this trace and it takes this trace's
    // file path. The trace does not take ownership.
    void addAdditionalTrace(ProfileTrace *child);
    // Detaches the additional trace with that id, without deleting it; a
    // clone made by a copy is handed over to the caller. False when the trace
    // has no additional trace with that id.
    bool removeAdditionalTrace(int id);

    // The parameters evaluated on the trace, by name.
    QMap<QString, ParamValue> results;
    QVector<ProfileTrace *> additionalTraces;
    ProfileTrace *parentTrace = nullptr;
    double speed = 0;
    double cutOff = 0;
    double level = 0;
    int medianWindow = 3;
    bool medianEnabled = false;
    QMap<double, TData> roughnessCache;
    QMap<double, TData> wavinessCache;
    TData histogram;

private:
    ProfileTrace(const ProfileTrace &other, bool withAdditionalTraces);
    TData filteredProfile(double longCutoff, double shortCutoff) const;

    // Clones of additional traces made by the copy constructor.
    std::vector<std::unique_ptr<ProfileTrace>> m_ownedCopies;
};
