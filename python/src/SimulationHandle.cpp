#include "SimulationHandle.h"

#include <algorithm>
#include <stdexcept>

#include "Errors.h"
#include "FileIo.h"
#include "GridOutputs.h"
#include "Messages.h"
#include "RunState.h"
#include "SettingsTable.h"
#include "Simul.h"

namespace glebix::python {

SimulationHandle::SimulationHandle(const TSettings &settings, std::uint32_t seed, std::int32_t steps, int threads,
                                   std::shared_ptr<const InputBytes> inputs)
    : simul_(std::make_unique<Simul>()),
      settings_(settings),
      inputs_(std::move(inputs)),
      seed_(seed),
      masterSeed_(seed),
      steps_(steps),
      threads_(threads) {
    simul_->SetDispersalThreads(threads);
}

namespace {

TSettings ResumedSettings(const SavedRun &saved, const NamedTexts &overrides, std::int32_t steps) {
    auto resumed = batch::ResumedSettings(saved, overrides, steps);
    if (auto *refusal = std::get_if<batch::ResumeRefusal>(&resumed))
        throw SettingRefused(refusal->Message, refusal->Setting, false);
    return std::get<TSettings>(std::move(resumed));
}

}  // namespace

SimulationHandle::SimulationHandle(const SavedRun &saved, const NamedTexts &overrides,
                                   std::optional<std::int32_t> steps, int threads)
    : simul_(std::make_unique<Simul>()),
      settings_(ResumedSettings(saved, overrides, steps.value_or(saved.StepCount))),
      seed_(saved.RunSeed),
      masterSeed_(saved.MasterSeed),
      steps_(steps.value_or(saved.StepCount)),
      threads_(threads) {
    if (auto problem = batch::StepsBeforeSaved(steps_, saved))
        throw SettingRefused(batch::Labelled("steps", *problem), "steps", false);
    simul_->SetDispersalThreads(threads);
    RestoreRun(saved, *simul_);
    simul_->Settings = settings_;
    stepIndex_ = saved.Step;
    trace_.Reserve(static_cast<std::size_t>(steps_ - saved.Step));
    setUp_ = true;
}

SimulationHandle::~SimulationHandle() = default;

std::unique_lock<std::mutex> SimulationHandle::TakeBusy() {
    std::unique_lock lock(busy_, std::try_to_lock);
    if (!lock.owns_lock()) throw StateError(batch::Message("python.busy"));
    return lock;
}

void SimulationHandle::RequireSetUp() const {
    if (!setUp_) throw StateError(batch::Message("python.not_set_up"));
    if (failed_) throw StateError(batch::Message("python.failed", {std::to_string(stepIndex_.load())}));
}

void SimulationHandle::SetUp() {
    const auto busy = TakeBusy();
    setUp_ = false;
    failed_ = false;
    stepIndex_ = 0;
    {
        std::lock_guard lock(traceMutex_);
        trace_.Clear();
    }
    simul_->Settings = settings_;
    simul_->GivenInputs = inputs_;
    simul_->SetUpRun(seed_);
    std::lock_guard lock(traceMutex_);
    trace_.Reserve(static_cast<std::size_t>(std::max(steps_, 0)) + 1);
    AppendTraceRow(trace_, 0, *simul_);
    setUp_ = true;
}

void SimulationHandle::Step(std::int64_t count, const std::function<void()> &afterStep) {
    const auto busy = TakeBusy();
    RequireSetUp();
    for (std::int64_t k = 0; k < count; ++k) {
        try {
            simul_->TimeStep();
        } catch (...) {
            failed_ = true;
            throw;
        }
        {
            std::lock_guard lock(traceMutex_);
            AppendTraceRow(trace_, stepIndex_ + 1, *simul_);
        }
        ++stepIndex_;
        if (afterStep) afterStep();
    }
}

void SimulationHandle::SaveState(const std::string &path) {
    const auto busy = TakeBusy();
    RequireSetUp();
    batch::SaveRunState(
        path, batch::StateToSave(*simul_, masterSeed_, seed_, static_cast<std::int32_t>(stepIndex_.load()), steps_));
}

std::string SimulationHandle::WriteResultFile(const std::string &directory) {
    const auto busy = TakeBusy();
    RequireSetUp();
    simul_->Settings.Run.ResultDirectory = directory;
    batch::PrepareOutputFile(simul_->ResultFilePath());
    simul_->WriteResultFile();
    return simul_->ResultFilePath();
}

std::vector<std::string> SimulationHandle::WriteGrids(const std::string &directory) {
    const auto busy = TakeBusy();
    RequireSetUp();
    return batch::WriteFinalGrids(*simul_, directory);
}

TraceColumns SimulationHandle::TraceCopy() const {
    std::lock_guard lock(traceMutex_);
    return trace_;
}

}  // namespace glebix::python
