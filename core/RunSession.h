// One run of the model, as every front end drives it: set up from settings and a seed,
// or a saved run put back; stepped, with observers following each step; its grids and
// step record read; its state saved. Its outputs are written by observers, each the
// same bytes whichever front end asks (SessionWriters.h, the recorders).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "InputFile.h"
#include "Plot.h"
#include "RunDescription.h"
#include "Settings.h"
#include "StateFile.h"
#include "StopRule.h"
#include "StudyTable.h"

namespace glebix {
class Simul;
}

namespace glebix::core {

class RunSession;

// Follows a session. An observer that throws ends the call that stepped: the run stays
// at the last whole step, and it may go on.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // After a set-up: the run is at step 0.
    virtual void SetUp(const RunSession &) {}
    // Before a step, the run being at the step before it.
    virtual void BeforeStep(const RunSession &) {}
    // After a whole step.
    virtual void Stepped(const RunSession &) {}
};

// A run to set up.
struct RunStart {
    TSettings Settings;
    std::uint32_t Seed = 0;
    std::uint32_t MasterSeed = 0;  // the study's seed that Seed came from (a saved state records it)
    std::int32_t StepCount = 0;
    int Threads = 1;  // of each dispersal pass; 0: one per processor
    // Input files already read, which set-up uses instead of reading them; when
    // empty, set-up reads the files the settings name.
    std::shared_ptr<const InputBytes> Inputs;
};

class RunSession {
public:
    // A run not yet set up.
    explicit RunSession(RunStart start);
    // `saved` put back, ready to step on to `stepCount` with `settings` (the saved
    // ones, with the changes a resumed run allows: ResumedSettings).
    RunSession(const SavedRun &saved, const TSettings &settings, std::int32_t stepCount, int threads);
    // A run of `engine`, which the caller owns, sets up itself (AdoptSetUp) and may
    // change as it goes: the windows' dialogs change its settings between two steps.
    // The engine outlives the session.
    RunSession(Simul &engine, std::int32_t stepCount);
    ~RunSession();
    RunSession(const RunSession &) = delete;
    RunSession &operator=(const RunSession &) = delete;

    // `observer` follows the run from now on, until the session ends.
    void Observe(RunObserver &observer) { observers_.push_back(&observer); }

    // Sets the run up with its seed, anew after a set-up or a resume. Raises GlebixError
    // from the input files and the settings, and the run is then failed.
    void SetUp();
    // The engine of a session that does not own it was set up by its owner, with the
    // seed it then took: the run is at step 0 and the observers are told.
    void AdoptSetUp();
    // One time step. An engine error leaves the plot as the failed step left it, and
    // the run failed; a failed run or one not set up raises std::logic_error.
    void Step();
    // `count` steps, fewer when a stopping rule holds; `afterEach` (if any) runs after
    // each one and may throw to stop.
    void Run(std::int64_t count, const std::function<void()> &afterEach = {});
    // The run ends early at the first state (the one it starts from, or one after a
    // whole step) where one of `rules` holds: Run makes no further step, and the
    // observers see that step as the last (LastStep).
    void StopWhen(std::vector<StopRule> rules);
    // The rule that stopped the run as the user wrote it; empty while none has.
    const std::string &StoppedBy() const { return stoppedBy_; }
    // The run's last step: its step count, or the step a rule stopped it at.
    std::int32_t LastStep() const { return stoppedBy_.empty() ? stepCount_ : step_.load(); }

    bool IsReady() const { return setUp_.load() && !failed_.load(); }
    // Set up or put back: the engine holds a whole run, also after a failed step.
    bool HoldsRun() const { return setUp_.load(); }
    bool HasFailed() const { return failed_.load(); }
    std::int32_t StepIndex() const { return step_.load(); }
    std::int32_t StepCount() const { return stepCount_; }
    std::uint32_t Seed() const { return seed_; }
    std::uint32_t MasterSeed() const { return masterSeed_; }
    int Threads() const { return threads_; }
    // The settings set-up takes; the steps read the engine's own (Engine().Settings),
    // which are those of an engine the session does not own.
    const TSettings &Settings() const { return owned_ ? settings_ : simul_->Settings; }
    const Simul &Engine() const { return *simul_; }
    const TPlot &Plot() const;
    // The record of the present state (RecordStep).
    StepRecord Record() const;
    // What the run is (its size, edges, georeference, seeds, steps and inputs), made when
    // it was set up or put back; of an engine the session does not own, when first asked.
    const RunDescription &Description() const;
    // The same of a run whose set-up failed: what its engine holds, at the step it is at.
    RunDescription DescriptionSoFar() const;
    // The records of the files the run reads, made where they were read (the batch tool
    // reads a point's files once for all its runs); the description holds them.
    void RecordInputs(std::vector<InputFileRecord> records);

    // Raises GlebixError unless the output that `option` names in the batch tool
    // ("--trace"), written at `path`, leaves every file the run reads as it is
    // (InputClash). Every writer of an output checks its place so.
    void RefuseInputClash(const char *option, const std::string &path) const;

    // The state at the present step, as the batch tool saves it.
    SavedRun State() const;
    // Replaces `path` by that state's file (SaveRunState).
    void SaveState(const std::string &path) const;

    // The result file's place: RireVed1a1p1.txt in the engine's result folder, which
    // the next set-up takes again from Settings().
    std::string ResultFilePath() const;
    void SetResultDirectory(const std::string &directory);
    // The trace's row of the present step (with its line end).
    std::string TraceRow() const;

private:
    template <typename Call>
    void Notify(Call call);
    void CheckStopRules();
    void BeginAtStepZero();
    RunDescription Describe(std::int32_t startStep) const;

    std::unique_ptr<Simul> owned_;  // null when the caller owns the engine
    Simul *simul_;
    TSettings settings_;
    std::shared_ptr<const InputBytes> inputs_;
    std::uint32_t seed_, masterSeed_;
    std::int32_t stepCount_;
    int threads_;
    std::atomic<std::int32_t> step_{0};
    std::atomic<bool> setUp_{false};
    std::atomic<bool> failed_{false};
    std::vector<RunObserver *> observers_;
    mutable std::optional<RunDescription> description_;
    std::vector<InputFileRecord> inputRecords_;
    std::vector<StopRule> stopRules_;
    std::string stoppedBy_;
};

}  // namespace glebix::core
