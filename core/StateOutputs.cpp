#include "StateOutputs.h"

namespace glebix::batch {

StateOutputs::StateOutputs(const StatePlan &plan, std::uint32_t masterSeed, std::uint32_t runSeed,
                           std::int32_t stepCount)
    : plan_(plan), masterSeed_(masterSeed), runSeed_(runSeed), stepCount_(stepCount) {}

SavedRun StateOutputs::AtEnd(const Simul &simul, std::int32_t step) const {
    SavedRun run = CaptureRun(simul, masterSeed_, runSeed_, step, stepCount_);
    // The result folder is a place of the invocation, given anew on resume, not a
    // setting of the run: states of the same run compare equal wherever they were made.
    run.Settings.Run.ResultDirectory.clear();
    return run;
}

void StateOutputs::BeforeStep(const Simul &simul, std::int32_t step) {
    if (plan_.SavePath.empty()) return;
    // Only the plot and the generator change within a step.
    if (!kept_) keptState_ = AtEnd(simul, step);
    keptState_.Plot = simul.Plot;
    keptState_.Generator = simul.RandomSeed;
    keptState_.Step = step;
    kept_ = true;
}

void StateOutputs::AfterStep(const Simul &simul, std::int32_t step) {
    if (plan_.CheckpointPath.empty() || plan_.CheckpointEvery <= 0 || step % plan_.CheckpointEvery != 0) return;
    WriteStateFile(plan_.CheckpointPath, AtEnd(simul, step));
}

SavedRun StateOutputs::AfterFailure(const Simul &simul, std::int32_t stepsReached) const {
    if (kept_ && keptState_.Step == stepsReached) return keptState_;
    return AtEnd(simul, stepsReached);
}

}  // namespace glebix::batch
