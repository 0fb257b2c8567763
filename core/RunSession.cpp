#include "RunSession.h"

#include <stdexcept>

#include "Conversions.h"
#include "Errors.h"
#include "EventInputs.h"
#include "Georeference.h"
#include "OutputClash.h"
#include "OutputRegistry.h"
#include "RasterInput.h"
#include "RunOutputs.h"
#include "RunState.h"
#include "Simul.h"

namespace glebix::core {

namespace {

// The settings as the session runs them: StepCount the steps it goes to, whichever way
// they were asked for, so that every record of the run gives them.
TSettings AsRun(TSettings settings, std::int32_t stepCount) {
    if (ParseWholeToken(settings.Run.StepCount) != stepCount) settings.Run.StepCount = std::to_string(stepCount);
    return settings;
}

}  // namespace

RunSession::RunSession(RunStart start)
    : owned_(std::make_unique<Simul>()),
      simul_(owned_.get()),
      settings_(AsRun(std::move(start.Settings), start.StepCount)),
      inputs_(std::move(start.Inputs)),
      seed_(start.Seed),
      masterSeed_(start.MasterSeed),
      stepCount_(start.StepCount),
      threads_(start.Threads) {
    simul_->Settings = settings_;
    simul_->SetDispersalThreads(threads_);
}

RunSession::RunSession(const SavedRun &saved, const TSettings &settings, std::int32_t stepCount, int threads)
    : owned_(std::make_unique<Simul>()),
      simul_(owned_.get()),
      settings_(AsRun(settings, stepCount)),
      seed_(saved.RunSeed),
      masterSeed_(saved.MasterSeed),
      stepCount_(stepCount),
      threads_(threads) {
    simul_->SetDispersalThreads(threads_);
    RestoreRun(saved, *simul_);
    simul_->Settings = settings_;
    if (simul_->InputGridPlacement && !simul_->InputGridCrs) {
        // A state from before the CRS was kept: the grid file's own, while it can be read.
        simul_->GivenInputs = gis::InitialInputs(settings_);
        if (const gis::Georeference g = gis::RunGeoreference(*simul_); !g.Source.empty())
            simul_->InputGridCrs = g.CrsWkt;
        simul_->GivenInputs = nullptr;
    }
    description_ = Describe(saved.Step);
    step_ = saved.Step;
    setUp_ = true;
}

RunSession::RunSession(Simul &engine, std::int32_t stepCount)
    : simul_(&engine), seed_(0), masterSeed_(0), stepCount_(stepCount), threads_(engine.DispersalThreads()) {}

RunSession::~RunSession() = default;

template <typename Call>
void RunSession::Notify(Call call) {
    for (RunObserver *observer : observers_) call(*observer);
}

void RunSession::SetUp() {
    if (!owned_) throw std::logic_error("RunSession::SetUp: the engine's owner sets it up (AdoptSetUp)");
    setUp_ = false;
    failed_ = true;
    step_ = 0;
    description_.reset();
    simul_->Settings = settings_;
    simul_->GivenInputs = inputs_ ? inputs_ : gis::InitialInputs(settings_);
    simul_->RefuseChartCellOutside = true;
    simul_->SetUpRun(seed_);
    simul_->Events =
        LoadEventSchedule(simul_->Settings, simul_->Plot.Width, simul_->Plot.Height, simul_->GivenInputs.get());
    simul_->InputGridCrs.reset();
    description_ = Describe(0);
    if (simul_->InputGridPlacement) simul_->InputGridCrs = description_->Georeference.CrsWkt;
    BeginAtStepZero();
}

void RunSession::AdoptSetUp() {
    if (owned_) throw std::logic_error("RunSession::AdoptSetUp: the session sets its own engine up (SetUp)");
    seed_ = masterSeed_ = simul_->RunSeed;
    description_.reset();
    step_ = 0;
    BeginAtStepZero();
}

// The engine holds a run set up at step 0: its stopping rules are checked from there,
// and the observers told.
void RunSession::BeginAtStepZero() {
    setUp_ = true;
    failed_ = false;
    stoppedBy_.clear();
    CheckStopRules();
    Notify([this](RunObserver &o) { o.SetUp(*this); });
}

void RunSession::Step() {
    if (!IsReady()) throw std::logic_error("RunSession::Step: the run is not set up, or failed");
    Notify([this](RunObserver &o) { o.BeforeStep(*this); });
    failed_ = true;
    simul_->TimeStep();
    failed_ = false;
    ++step_;
    CheckStopRules();
    Notify([this](RunObserver &o) { o.Stepped(*this); });
}

void RunSession::Run(std::int64_t count, const std::function<void()> &afterEach) {
    for (std::int64_t k = 0; k < count && stoppedBy_.empty(); ++k) {
        Step();
        if (afterEach) afterEach();
    }
}

void RunSession::StopWhen(std::vector<StopRule> rules) {
    stopRules_ = std::move(rules);
    stoppedBy_.clear();
    if (HoldsRun()) CheckStopRules();
}

void RunSession::CheckStopRules() {
    if (stopRules_.empty() || !stoppedBy_.empty()) return;
    if (const StopRule *rule = FirstHolding(stopRules_, Record())) stoppedBy_ = rule->Text;
}

const TPlot &RunSession::Plot() const { return simul_->Plot; }

StepRecord RunSession::Record() const { return RecordStep(*simul_); }

const RunDescription &RunSession::Description() const {
    if (!HoldsRun()) throw std::logic_error("RunSession::Description: the run is not set up");
    if (!description_) description_ = Describe(0);
    return *description_;
}

RunDescription RunSession::DescriptionSoFar() const { return HoldsRun() ? Description() : Describe(StepIndex()); }

void RunSession::RecordInputs(std::vector<InputFileRecord> records) {
    inputRecords_ = std::move(records);
    if (description_) description_->Inputs = inputRecords_;
}

RunDescription RunSession::Describe(std::int32_t startStep) const {
    RunDescription described = DescribeRun(*simul_, seed_, masterSeed_, startStep, stepCount_);
    described.Inputs = inputRecords_;
    return described;
}

void RunSession::RefuseInputClash(const char *option, const std::string &path) const {
    if (auto clash = InputClash(settings_, *OutputKindOf(option), path)) throw GlebixError(*clash);
}

// The description is made from these same fields, so the state agrees with it as it is.
SavedRun RunSession::State() const { return StateToSave(*simul_, masterSeed_, seed_, step_, stepCount_); }

void RunSession::SaveState(const std::string &path) const {
    RefuseInputClash("--save-state", path);
    SaveRunState(path, SourceOf(HeaderToSave(*simul_, masterSeed_, seed_, step_, stepCount_), simul_->Plot),
                 simul_->DispersalThreads());
}

std::string RunSession::ResultFilePath() const { return simul_->ResultFilePath(); }

void RunSession::SetResultDirectory(const std::string &directory) { simul_->Settings.Run.ResultDirectory = directory; }

std::string RunSession::TraceRow() const {
    return core::TraceRow(step_, *simul_, {simul_->Plot.Bounded, simul_->Plot.Habitat.Size() > 0});
}

}  // namespace glebix::core
