#include "traces/processingchain.h"

#include "settings/settings.h"
#include "traces/nonlinearity.h"
#include "traces/processors.h"

#include <memory>

namespace {

// The filter of the profile mode, or null for the primary profile.
PostProcessorPtr profileFilter(int profileMode, double cutOff)
{
    if (profileMode == 1)
        return std::make_shared<FilterRoughnessProfileProcessor>(cutOff);
    if (profileMode == 2)
        return std::make_shared<FilterWaveProfileProcessor>(cutOff);
    return nullptr;
}

} // namespace

ProcessingState processingStateOf(const Settings &settings)
{
    const UserPreferences &prefs = settings.preferenses;
    ProcessingState state;
    state.medianFilter = prefs.meadian_filter;
    state.medianWindow = prefs.meadian_filter_value;
    state.threadCompensation = prefs.thread_angle_compensation;
    state.threadAngle = prefs.thread_angle_compensation_value;
    state.profileMode = prefs.profile_filter_mode;
    state.nonLinearity = prefs.non_linearity;
    return state;
}

QList<PostProcessorPtr> processingChain(const ProcessingState &state, int traceType, double cutOff, ChainStage stage)
{
    const bool rebuild = stage == ChainStage::Rebuild;
    QList<PostProcessorPtr> chain;
    if (state.nonLinearity && (rebuild ? isContourTraceKind(traceType) : traceType == CONTOUR))
        chain.append(std::make_shared<NonLinearityEliminationProcessor>());
    if (state.medianFilter)
        chain.append(std::make_shared<DataMedianFilterProcessor>(state.medianWindow));
    if (state.threadCompensation)
        chain.append(std::make_shared<ThreadAngleCompensationProcessor>(state.threadAngle));
    if (isProfileTraceKind(traceType)) {
        const PostProcessorPtr filter = profileFilter(state.profileMode, cutOff);
        if (rebuild)
            chain.append(std::make_shared<YZeronator>());
        if (filter)
            chain.append(filter);
        if (!rebuild)
            chain.append(std::make_shared<YZeronator>());
    }
    return chain;
}
