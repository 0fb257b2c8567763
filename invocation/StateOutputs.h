// The state files of one batch run: the checkpoint replaced every K steps as the run
// goes, and the state the run ends with, also when a step fails (then the state
// before that step, of which the run keeps what a step changes while it goes).
// Each is written from the run's own plot, never a copy of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "StateFile.h"

namespace glebix::invocation {

struct StatePlan {
    std::string SavePath;        // --save-state; empty: none
    std::string CheckpointPath;  // --checkpoint; empty: none
    int CheckpointEvery = 0;     // steps between two checkpoints
};

class StateOutputs {
public:
    StateOutputs(const StatePlan &plan, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t stepCount);

    // Before step `step` + 1: keeps what that step may change of the state after
    // `step`, for a failure to come: the counts and the generator.
    void BeforeStep(const Simul &simul, std::int32_t step);
    // After step `step`: replaces the checkpoint when it is due. Raises on a failed write.
    void AfterStep(const Simul &simul, std::int32_t step);
    // The state of a run that ended after `step` whole steps: `simul`'s own.
    StateSource AtEnd(const Simul &simul, std::int32_t step) const;
    // The state of a run that failed after `stepsReached` whole steps: the one before
    // the step that failed, of the counts kept and `simul`'s soil shares; or, when the
    // failure came after the steps (in an output), the state of `simul`, which is then
    // whole. None when the step that failed had begun to change the soil shares: what
    // they were before it is kept nowhere, and no whole state is left.
    std::optional<StateSource> AfterFailure(const Simul &simul, std::int32_t stepsReached) const;

private:
    StatePlan plan_;
    std::uint32_t masterSeed_, runSeed_;
    std::int32_t stepCount_;
    // What BeforeStep kept, once it has run.
    bool kept_ = false;
    std::int32_t keptStep_ = 0;
    std::uint32_t keptGenerator_ = 0;
    std::uint64_t keptEnvironmentUpdates_ = 0;  // Simul::EnvironmentUpdatesBegun() then
    CellGrid<std::int32_t> keptDensity_{0, 0};
};

}  // namespace glebix::invocation
