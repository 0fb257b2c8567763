#include "StateOutputs.h"

#include "Events.h"

namespace glebix::invocation {

StateOutputs::StateOutputs(const StatePlan &plan, std::uint32_t masterSeed, std::uint32_t runSeed,
                           std::int32_t stepCount)
    : plan_(plan), masterSeed_(masterSeed), runSeed_(runSeed), stepCount_(stepCount) {}

StateSource StateOutputs::AtEnd(const Simul &simul, std::int32_t step) const {
    StateSource state = SourceOf(CaptureHeader(simul, masterSeed_, runSeed_, step, stepCount_), simul.Plot);
    // The result folder is a place of the invocation, given anew on resume, not a
    // setting of the run: states of the same run compare equal wherever they were made.
    state.Header.Settings.Run.ResultDirectory.clear();
    return state;
}

void StateOutputs::BeforeStep(const Simul &simul, std::int32_t step) {
    if (plan_.SavePath.empty()) return;
    // Within a step, only the counts, the generator and, in its last process, the soil
    // shares change. The copy reuses the storage of the one before.
    kept_ = false;
    keptDensity_ = simul.Plot.Density;
    keptGenerator_ = simul.RandomSeed;
    keptEnvironmentUpdates_ = simul.EnvironmentUpdatesBegun();
    keptStep_ = step;
    kept_ = true;
}

void StateOutputs::AfterStep(const Simul &simul, std::int32_t step) {
    if (plan_.CheckpointPath.empty() || plan_.CheckpointEvery <= 0 || step % plan_.CheckpointEvery != 0) return;
    WriteStateFile(plan_.CheckpointPath, AtEnd(simul, step), simul.DispersalThreads());
}

std::optional<StateSource> StateOutputs::AfterFailure(const Simul &simul, std::int32_t stepsReached) const {
    if (!kept_ || keptStep_ != stepsReached) return AtEnd(simul, stepsReached);
    if (simul.EnvironmentUpdatesBegun() != keptEnvironmentUpdates_) return std::nullopt;
    // The step's events changed the soil or the settings before its processes.
    if (simul.Events && EventsChangeMoreThanCountsAt(*simul.Events, stepsReached + 1)) return std::nullopt;
    StateSource state{AtEnd(simul, stepsReached).Header, simul.Plot, keptDensity_};
    state.Header.Generator = keptGenerator_;
    return state;
}

}  // namespace glebix::invocation
