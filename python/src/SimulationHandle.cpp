#include "SimulationHandle.h"

#include <stdexcept>

#include "Errors.h"
#include "GisMessages.h"
#include "Messages.h"
#include "RunState.h"
#include "SessionWriters.h"
#include "Simul.h"

namespace glebix::python {

SimulationHandle::SimulationHandle(const TSettings &settings, std::uint32_t seed, std::int32_t steps, int threads,
                                   std::shared_ptr<const InputBytes> inputs, std::optional<std::uint32_t> master)
    : session_(std::make_unique<core::RunSession>(
          core::RunStart{settings, seed, master.value_or(seed), steps, threads, std::move(inputs)})) {
    for (core::RunObserver *o : std::initializer_list<core::RunObserver *>{&trace_, &animation_, &recording_})
        session_->Observe(*o);
}

namespace {

TSettings ResumedSettings(const SavedRun &saved, const NamedTexts &overrides, std::int32_t steps) {
    auto resumed = core::ResumedSettings(saved, overrides, steps);
    if (auto *refusal = std::get_if<core::ResumeRefusal>(&resumed))
        throw SettingRefused(refusal->Message, refusal->Setting, false);
    if (auto problem = core::StepsBeforeSaved(steps, saved))
        throw SettingRefused(core::Labelled("steps", *problem), "steps", false);
    return std::get<TSettings>(std::move(resumed));
}

}  // namespace

SimulationHandle::SimulationHandle(const SavedRun &saved, const NamedTexts &overrides,
                                   std::optional<std::int32_t> steps, int threads)
    : session_(std::make_unique<core::RunSession>(saved,
                                                  ResumedSettings(saved, overrides, steps.value_or(saved.StepCount)),
                                                  steps.value_or(saved.StepCount), threads)) {
    trace_.Clear(static_cast<std::size_t>(session_->StepCount() - saved.Step));
    for (core::RunObserver *o : std::initializer_list<core::RunObserver *>{&trace_, &animation_, &recording_})
        session_->Observe(*o);
}

SimulationHandle::~SimulationHandle() = default;

std::unique_lock<std::mutex> SimulationHandle::TakeBusy() {
    std::unique_lock lock(busy_, std::try_to_lock);
    if (!lock.owns_lock()) throw StateError(core::Message("python.busy"));
    return lock;
}

void SimulationHandle::RequireSetUp() const {
    if (!session_->HoldsRun()) throw StateError(core::Message("python.not_set_up"));
    if (session_->HasFailed())
        throw StateError(core::Message("python.failed", {std::to_string(session_->StepIndex())}));
}

void SimulationHandle::SetUp() {
    if (auto refusal = SetUpRefusal()) throw *refusal;
}

std::string SimulationHandle::SetUpForRun() {
    const std::optional<GlebixError> refusal = SetUpRefusal();
    return refusal ? core::LocalMessageWithContext(*refusal) : std::string();
}

std::optional<GlebixError> SimulationHandle::SetUpRefusal() {
    const auto busy = TakeBusy();
    trace_.Clear();
    session_->SetUp();
    return animation_.TakeRefusal();
}

void SimulationHandle::Step(std::int64_t count, const std::function<void()> &afterStep) {
    const auto busy = TakeBusy();
    RequireSetUp();
    session_->Run(count, afterStep);
}

void SimulationHandle::StopWhen(const std::vector<std::string> &rules) {
    auto parsed = core::StopRulesOf(rules, "stop_when");
    const auto busy = TakeBusy();
    session_->StopWhen(std::move(parsed));
}

std::string SimulationHandle::StoppedBy() {
    const auto busy = TakeBusy();
    return session_->StoppedBy();
}

void SimulationHandle::SaveState(const std::string &path) {
    const auto busy = TakeBusy();
    RequireSetUp();
    session_->SaveState(path);
}

std::string SimulationHandle::WriteResultFile(const std::string &directory) {
    const auto busy = TakeBusy();
    RequireSetUp();
    return core::WriteResultFile(*session_, directory);
}

std::vector<std::string> SimulationHandle::WriteGrids(const std::string &directory) {
    const auto busy = TakeBusy();
    RequireSetUp();
    return core::WriteAscGrids(*session_, directory);
}

void SimulationHandle::Animate(const std::string &path, int every, const core::AnimationLook &look) {
    const auto busy = TakeBusy();
    animation_.Ask(path, every, look, *session_);
}

std::string SimulationHandle::EndAnimation() {
    const auto busy = TakeBusy();
    return animation_.End();
}

std::vector<std::string> SimulationHandle::WriteTifGrids(const std::string &directory) {
    const auto busy = TakeBusy();
    RequireSetUp();
    return core::WriteTifGrids(*session_, directory);
}

std::string SimulationHandle::WriteNetcdf(const std::string &path) {
    const auto busy = TakeBusy();
    RequireSetUp();
    core::WriteNetcdfRecord(*session_, path);
    return path;
}

void SimulationHandle::StartRecording(const std::string &path, int every, int deflateLevel) {
    const auto busy = TakeBusy();
    recording_.Start(path, every, *session_, deflateLevel);
}

std::string SimulationHandle::FinishRecording() {
    const auto busy = TakeBusy();
    if (!recording_.IsOpen()) {
        recording_.Stop();
        throw StateError(gis::MsgNotRecording());
    }
    return recording_.Finish();
}

void SimulationHandle::AbandonOutputs() {
    const auto busy = TakeBusy();
    recording_.Abandon();
    animation_.Abandon();
}

TraceColumns SimulationHandle::TraceCopy() const {
    TraceColumns columns;
    const std::vector<core::TracedStep> rows = trace_.Copy();
    columns.Reserve(rows.size());
    for (const core::TracedStep &row : rows) AppendTraceRow(columns, row.Step, row.Record);
    columns.Bounded = !rows.empty() && session_->Plot().Bounded;
    columns.Masked = !rows.empty() && session_->Plot().Habitat.Size() > 0;
    return columns;
}

}  // namespace glebix::python
