#include "SimulationHandle.h"

#include <algorithm>
#include <stdexcept>

#include "Errors.h"
#include "FileIo.h"
#include "GeoTiffGrids.h"
#include "GisMessages.h"
#include "GridOutputs.h"
#include "Messages.h"
#include "RasterInput.h"
#include "RunState.h"
#include "SettingsTable.h"
#include "Simul.h"

namespace glebix::python {

SimulationHandle::SimulationHandle(const TSettings &settings, std::uint32_t seed, std::int32_t steps, int threads,
                                   std::shared_ptr<const InputBytes> inputs, std::optional<std::uint32_t> master)
    : simul_(std::make_unique<Simul>()),
      settings_(settings),
      inputs_(std::move(inputs)),
      seed_(seed),
      masterSeed_(master.value_or(seed)),
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
    simul_->GivenInputs = inputs_ ? inputs_ : gis::InitialInputs(settings_);
    simul_->RefuseChartCellOutside = true;
    simul_->SetUpRun(seed_);
    if (recordEvery_ > 0) RecordNow(true);
    std::lock_guard lock(traceMutex_);
    trace_.Reserve(static_cast<std::size_t>(std::max(steps_, 0)) + 1);
    AppendTraceRow(trace_, 0, *simul_);
    setUp_ = true;
    animation_.Start(simul_->Plot, 0, steps_);
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
        animation_.AfterStep(simul_->Plot, static_cast<std::int32_t>(stepIndex_.load()));
        if (recordEvery_ > 0 && (stepIndex_ % recordEvery_ == 0 || stepIndex_ == steps_)) RecordNow(false);
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

void SimulationHandle::Animate(const std::string &path, int every, const batch::AnimationLook &look) {
    const auto busy = TakeBusy();
    animation_.Ask(path, every, look);
    if (setUp_ && !failed_) animation_.Start(simul_->Plot, static_cast<std::int32_t>(stepIndex_.load()), steps_);
}

std::string SimulationHandle::EndAnimation() {
    const auto busy = TakeBusy();
    return animation_.End();
}

std::vector<std::string> SimulationHandle::WriteTifGrids(const std::string &directory) {
    const auto busy = TakeBusy();
    RequireSetUp();
    return gis::WriteTifGrids(*simul_, directory);
}

std::string SimulationHandle::WriteNetcdf(const std::string &path) {
    const auto busy = TakeBusy();
    RequireSetUp();
    gis::WriteNetcdfNow(path, *simul_, seed_, static_cast<std::int32_t>(stepIndex_.load()));
    return path;
}

void SimulationHandle::StartRecording(const std::string &path, int every) {
    const auto busy = TakeBusy();
    if (recording_.IsOpen()) recording_.Abandon();
    batch::PrepareOutputFile(path);
    recordPath_ = path;
    recordEvery_ = every;
    if (setUp_ && !failed_) RecordNow(false);
}

// Opens the recording when it is not (or anew after a set-up), then records the step.
void SimulationHandle::RecordNow(bool afterSetUp) {
    if (afterSetUp || !recording_.IsOpen()) {
        if (recording_.IsOpen()) recording_.Abandon();
        recording_.Open(recordPath_, *simul_, seed_);
    }
    recording_.Record(static_cast<std::int32_t>(stepIndex_.load()), simul_->Plot);
}

std::string SimulationHandle::FinishRecording() {
    const auto busy = TakeBusy();
    recordEvery_ = 0;
    if (!recording_.IsOpen()) throw StateError(gis::MsgNotRecording());
    recording_.Finish();
    batch::PutInPlace(batch::PartName(recordPath_), recordPath_);
    return recordPath_;
}

TraceColumns SimulationHandle::TraceCopy() const {
    std::lock_guard lock(traceMutex_);
    return trace_;
}

}  // namespace glebix::python
