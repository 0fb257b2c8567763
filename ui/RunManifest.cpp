#include "RunManifest.h"

#include "AtomicFile.h"
#include "InitialSources.h"
#include "InputRecords.h"
#include "OutputRegistry.h"
#include "RunSession.h"

namespace glebix {

void RunManifest::SetUpRun(Simul &simul, std::optional<std::uint32_t> seed) {
    started_ = core::UtcNow();
    start_ = std::chrono::steady_clock::now();
    seedFromClock_ = !seed;
    inputs_.clear();
    run_.reset();
    // The windows read the initial files; a schedule of events is the other programs'.
    auto files = std::make_shared<InputBytes>();
    for (const InitialSource &source : ReadInitialSources(simul.Settings.Initial)) {
        const core::InputFileRecord record = core::RecordRunInput(*files, {std::string(source.role), source.path});
        if (record.Size < 0) {
            // Set-up reads it itself and reports the failure with all it knows.
            files->erase(source.path);
            continue;
        }
        inputs_.push_back(record);
    }
    struct Forget {
        Simul &simul;
        ~Forget() { simul.GivenInputs = nullptr; }
    } forget{simul};
    simul.GivenInputs = files;
    simul.SetUpRun(seed);
}

void RunManifest::Follow(core::RunSession &session) {
    session.RecordInputs(inputs_);
    run_ = session.Description();
}

core::ManifestContents RunManifest::Contents(const Simul &simul, std::int32_t stepCount,
                                             std::int32_t stepsReached) const {
    core::ManifestContents c;
    c.Program = "glebix";
    c.Seed = c.MasterSeed = simul.RunSeed;
    c.SeedFromClock = seedFromClock_;
    c.StepCount = stepCount;
    c.StepsReached = stepsReached;
    c.Completed = stepsReached == stepCount;
    c.Started = started_;
    c.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    c.Settings = simul.Settings;
    c.Inputs = run_ ? run_->Inputs : inputs_;
    if (run_) c.Georeference = run_->Georeference;
    c.Outputs[core::OutputKindOf("--out")->manifestKey] = simul.ResultFilePath();
    return c;
}

void RunManifest::Write(const Simul &simul, std::int32_t stepCount, std::int32_t stepsReached) const {
    WriteFileAtomically(core::ManifestPathBeside(simul.ResultFilePath()),
                        core::ManifestText(Contents(simul, stepCount, stepsReached)));
}

}  // namespace glebix
