// The state files of one batch run: the checkpoint replaced every K steps as the run
// goes, and the state the run ends with, also when a step fails (then the state
// before that step, which the run keeps while it goes).
#pragma once

#include <cstdint>
#include <string>

#include "StateFile.h"

namespace glebix::batch {

struct StatePlan {
    std::string SavePath;        // --save-state; empty: none
    std::string CheckpointPath;  // --checkpoint; empty: none
    int CheckpointEvery = 0;     // steps between two checkpoints
};

class StateOutputs {
public:
    StateOutputs(const StatePlan &plan, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t stepCount);

    // Before step `step` + 1: keeps the state after `step` for a failure to come.
    void BeforeStep(const Simul &simul, std::int32_t step);
    // After step `step`: replaces the checkpoint when it is due. Raises on a failed write.
    void AfterStep(const Simul &simul, std::int32_t step);
    // The state of a run that ended after `step` whole steps.
    SavedRun AtEnd(const Simul &simul, std::int32_t step) const;
    // The state of a run that failed after `stepsReached` whole steps: the one kept
    // before the step that failed, or, when the failure came after the steps (in an
    // output), the state of `simul`, which is then whole.
    SavedRun AfterFailure(const Simul &simul, std::int32_t stepsReached) const;

private:
    StatePlan plan_;
    std::uint32_t masterSeed_, runSeed_;
    std::int32_t stepCount_;
    bool kept_ = false;
    SavedRun keptState_;
};

}  // namespace glebix::batch
