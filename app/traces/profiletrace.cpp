#include "traces/profiletrace.h"

#include "algos/gaussfilter.h"
#include "algos/profileutils.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/processors.h"

#include <algorithm>

namespace {
constexpr int kProfileChannels = 2;
} // namespace

// What the creators set from the settings; the bounded index view keeps a
// damaged filter index inside the cut-off table.
ProfileTrace::ProfileTrace()
    : ProfileTrace(Common::cutOffLength(Settings::instance().filterIndex()),
        Settings::instance().preferenses.meadian_filter_value, Settings::instance().preferenses.meadian_filter)
{
}

ProfileTrace::ProfileTrace(double cutOff, int medianWindow, bool medianEnabled)
    : AbstractTrace(kProfileChannels)
    , cutOff(cutOff)
    , medianWindow(medianWindow)
    , medianEnabled(medianEnabled)
{
    traceType = PROFILE;
}

ProfileTrace::ProfileTrace(const ProfileTrace &other)
    : ProfileTrace(other, true)
{
}

ProfileTrace::ProfileTrace(const ProfileTrace &other, bool withAdditionalTraces)
    : AbstractTrace(other)
    , results(other.results)
    , speed(other.speed)
    , cutOff(other.cutOff)
    , level(other.level)
    , medianWindow(other.medianWindow)
    , medianEnabled(other.medianEnabled)
    , roughnessCache(other.roughnessCache)
    , wavinessCache(other.wavinessCache)
    , histogram(other.histogram)
{
    if (!withAdditionalTraces) {
        return;
    }
    // One level only, so that no chain of links can make copying endless.
    for (const ProfileTrace *child : other.additionalTraces) {
        if (!child) {
            continue;
        }
        auto copy = std::unique_ptr<ProfileTrace>(new ProfileTrace(*child, false));
        copy->parentTrace = this;
        additionalTraces.append(copy.get());
        m_ownedCopies.push_back(std::move(copy));
    }
}

ProfileTrace::~ProfileTrace() = default;

void ProfileTrace::processData() { }

AbstractTrace *ProfileTrace::clone() const
{
    return new ProfileTrace(*this);
}

TData ProfileTrace::filteredProfile(double longCutoff, double shortCutoff) const
{
    TData data = *rawData;
    if (medianEnabled && medianWindow >= 1 && data.size() >= 2) {
        Algos::medianFilter(medianWindow, data);
    }
    return Algos::gaussFilter(data, longCutoff, shortCutoff);
}

TData ProfileTrace::profile(double cutOffKey, int type)
{
    const double shortCutoff = shortCutOff(cutOffKey);
    switch (type) {
    case PRIMARY_PROFILE:
        return *rawData;
    case ROUGHNESS_PROFILE: {
        const auto it = roughnessCache.constFind(cutOffKey);
        if (it != roughnessCache.cend()) {
            return *it;
        }
        const TData result = filteredProfile(cutOffKey, shortCutoff);
        roughnessCache.insert(cutOffKey, result);
        return result;
    }
    case WAVINESS_PROFILE: {
        const auto it = wavinessCache.constFind(cutOffKey);
        if (it != wavinessCache.cend()) {
            return *it;
        }
        // The band from lambda-c to about 2 lambda-c, written as the sum it
        // is computed from.
        const TData result = filteredProfile(cutOffKey, (2 * cutOffKey - shortCutoff) + shortCutoff);
        wavinessCache.insert(cutOffKey, result);
        return result;
    }
    default:
        return TData();
    }
}

void ProfileTrace::clearProfileCache()
{
    roughnessCache.clear();
    wavinessCache.clear();
}

void ProfileTrace::addAdditionalTrace(ProfileTrace *child)
{
    if (!child) {
        return;
    }
    child->parentTrace = this;
    child->setFilePath(filePath());
    additionalTraces.append(child);
}

bool ProfileTrace::removeAdditionalTrace(int traceId)
{
    const auto it = std::find_if(additionalTraces.begin(), additionalTraces.end(),
        [traceId](const ProfileTrace *t) { return t && t->id == traceId; });
    if (it == additionalTraces.end()) {
        return false;
    }
    ProfileTrace *removed = *it;
    additionalTraces.erase(it);
    // A clone this trace owned now belongs to whoever removed it.
    const auto owned = std::find_if(
        m_ownedCopies.begin(), m_ownedCopies.end(), [removed](const auto &p) { return p.get() == removed; });
    if (owned != m_ownedCopies.end()) {
        owned->release();
        m_ownedCopies.erase(owned);
    }
    return true;
}
