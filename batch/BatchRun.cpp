#include "BatchRun.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Conversions.h"
#include "Errors.h"
#include "EarlierStudy.h"
#include "FileIo.h"
#include "GeoTiffGrids.h"
#include "MapAnimation.h"
#include "MapPicture.h"
#include "Messages.h"
#include "NetcdfStack.h"
#include "OrderedOutput.h"
#include "OutputRegistry.h"
#include "StudyRunner.h"
#include "ResultFile.h"
#include "RunOutputs.h"
#include "Simul.h"
#include "StateOutputs.h"
#include "StudyOutputs.h"
#include "StudyTable.h"
#include "Threads.h"
#include "PlotShape.h"

namespace glebix::batch {

std::atomic<int> &StopSignal() {
    static std::atomic<int> signal{0};
    return signal;
}

namespace {

// What one run writes, from its start to its end whatever the end: the files put in
// place together, the ones written as it goes, and its states.
struct RunSession {
    RunSession(const BatchOptions &options, const RunPlan &plan, std::uint32_t masterSeed, std::int32_t stepCount)
        : states({plan.SaveStatePath, plan.CheckpointPath, options.CheckpointEvery}, masterSeed, plan.Seed, stepCount) {
    }
    StagedFiles files;
    LineWriter trace;
    MapAnimation animation;
    gis::NetcdfStack netcdf;
    StateOutputs states;
    bool running = false;      // set up or put back: the engine holds a whole state
    bool stateStaged = false;  // the end state was staged (or tried)
};

// Creates the folders of every output of the run and opens the trace.
void PrepareOutputs(const RunPlan &plan, StagedFiles &files, LineWriter &trace) {
    for (const OutputKind &kind : OutputKinds())
        if (kind.planned && !(plan.*kind.planned).empty()) MakeDirectories(FolderOfOutput(kind, plan.*kind.planned));
    if (!plan.TracePath.empty()) {
        files.OpenLines(plan.TracePath, trace);
        trace.Write(TraceHeader(HasBoundedEdges(plan.Settings.Plot)));
    }
}

// The outputs of one completed step.
void StepOutputs(const BatchOptions &options, const RunPlan &plan, std::int32_t step, Simul &simul, RunRecord &record,
                 RunSession &session, std::string *tableRows) {
    LineWriter &trace = session.trace;
    record.StepsReached = step;
    if (tableRows) AppendStudyRow(*tableRows, plan.TablePrefix, step, RecordStep(simul), TableCountsEmigrants(options));
    // The per-step values are kept only for the summary.
    if (SummaryWanted(options)) {
        record.Series.Totals.push_back(TotalCount(simul.Plot));
        record.Series.MeanCompacted.push_back(MeanCompacted(simul.Plot));
    }
    if (trace.IsOpen()) trace.Write(TraceRow(step, simul, simul.Plot.Bounded));
    const bool picture = IsPictureStep(step, options.Every, record.StepCount);
    if (!plan.SnapshotDir.empty() && picture)
        session.files.Write(Join(plan.SnapshotDir, SnapshotName(step)), DensityMapPng(simul.Plot, step));
    if (session.animation.IsOpen() && picture) session.animation.AddFrame(simul.Plot, step);
    if (session.netcdf.IsOpen() && picture) session.netcdf.Record(step, simul.Plot);
}

// The outputs written once the last step is done.
void FinalOutputs(const RunPlan &plan, Simul &simul, const RunRecord &record, StagedFiles &files) {
    // As the launcher does: a run without steps writes no result file.
    if (record.StepCount > 0 && !plan.OutDir.empty())
        files.Write(simul.ResultFilePath(), ResultFileContents(simul.Plot));
    if (!plan.AscDir.empty()) StageFinalGrids(simul, plan.AscDir, files);
    if (!plan.TifDir.empty()) gis::StageTifGrids(simul, plan.TifDir, files);
}

// Sets the run up, or puts the saved run back: the steps go on from the step returned.
std::int32_t StartRun(const BatchOptions &options, const RunPlan &plan, Simul &simul) {
    if (!options.Resumed) {
        simul.SetUpRun(plan.Seed);
        return 0;
    }
    RestoreRun(*options.Resumed, simul);
    // The saved settings, with what --set and --steps changed for the steps to come.
    simul.Settings = plan.Settings;
    simul.Settings.Run.ResultDirectory = plan.OutDir;
    return options.Resumed->Step;
}

// Starts the animation with its first frame: the state the steps start from.
void StartAnimation(const BatchOptions &options, const RunPlan &plan, const TPlot &plot, std::int32_t first,
                    MapAnimation &animation) {
    if (plan.AnimatePath.empty()) return;
    animation.Open(PartName(plan.AnimatePath), AnimationLookOf(options), plot.Width, plot.Height);
    animation.AddFrame(plot, first);
}

// Starts the NetCDF file with its first record: the state the steps start from.
void StartNetcdf(const RunPlan &plan, const Simul &simul, std::int32_t first, gis::NetcdfStack &netcdf) {
    if (plan.NetcdfPath.empty()) return;
    netcdf.Open(plan.NetcdfPath, simul, plan.Seed);
    netcdf.Record(first, simul.Plot);
}

// The end of the animation, of the NetCDF file and of the state file, whatever the
// end of the run: the animation and the NetCDF file hold the steps recorded so far;
// the state is the last whole one. All are put in place with the other files.
void EndSessionFiles(const RunPlan &plan, const Simul &simul, const RunRecord &record, RunSession &session) {
    if (session.animation.IsOpen()) {
        session.animation.Finish();
        session.files.Adopt(plan.AnimatePath);
    }
    if (session.netcdf.IsOpen()) {
        session.netcdf.Finish();
        session.files.Adopt(plan.NetcdfPath);
    }
    if (plan.SaveStatePath.empty() || !session.running || session.stateStaged) return;
    session.stateStaged = true;
    const SavedRun state = record.Completed || record.Interrupted
                               ? session.states.AtEnd(simul, record.StepsReached)
                               : session.states.AfterFailure(simul, record.StepsReached);
    session.files.Write(plan.SaveStatePath, StateFileText(state));
}

// One engine per run, so that runs on other threads share nothing but the inputs.
std::unique_ptr<Simul> MakeEngine(const BatchOptions &options, const RunPlan &plan) {
    auto simul = std::make_unique<Simul>();
    simul->Settings = plan.Settings;
    simul->Settings.Run.ResultDirectory = plan.OutDir;
    simul->GivenInputs = options.Files;
    simul->RefuseChartCellOutside = true;
    simul->SetDispersalThreads(plan.DispersalThreads);
    return simul;
}

// The set-up (or the saved state put back) and the steps, up to the last or to a
// stop request.
void Steps(const BatchOptions &options, const RunPlan &plan, Simul &simul, RunRecord &record, RunSession &session,
           std::atomic<std::int64_t> *stepsDone, std::string *tableRows) {
    PrepareOutputs(plan, session.files, session.trace);
    const std::int32_t first = StartRun(options, plan, simul);
    session.running = true;
    record.StepsReached = first;
    if (tableRows && !options.Resumed)
        AppendStudyRow(*tableRows, plan.TablePrefix, 0, RecordStep(simul), TableCountsEmigrants(options));
    StartAnimation(options, plan, simul.Plot, first, session.animation);
    StartNetcdf(plan, simul, first, session.netcdf);
    for (std::int32_t step : StepRange(first + 1, record.StepCount)) {
        if (StopSignal().load() != 0) {
            record.Interrupted = true;
            break;
        }
        session.states.BeforeStep(simul, step - 1);
        simul.TimeStep();
        StepOutputs(options, plan, step, simul, record, session, tableRows);
        session.states.AfterStep(simul, step);
        if (stepsDone) stepsDone->fetch_add(1, std::memory_order_relaxed);
    }
    if (!record.Interrupted) FinalOutputs(plan, simul, record, session.files);
    session.trace.Close();
    record.Completed = !record.Interrupted;
    EndSessionFiles(plan, simul, record, session);
}

// A run that ends on an error. Whichever error tells, a fault of the system (an output
// not written, memory) makes the run's outputs other than a result of the model.
void Fail(RunRecord &record, const std::string &message, bool systemFault) {
    record.SystemFault = record.SystemFault || systemFault;
    if (!record.Completed && !record.Message.empty()) return;  // the first error tells
    record.Completed = record.Interrupted = false;
    record.Message = FromFrench(message);
}

bool IsSystemFault(const std::exception &e) {
    return dynamic_cast<const OutputError *>(&e) != nullptr || dynamic_cast<const std::bad_alloc *>(&e) != nullptr;
}

// Removes the files an earlier run left at the places of this run's outputs and
// that this run did not write, so that the folder holds one run's outputs only. With
// plain system calls, which fail without ending the program when memory runs out.
void RemoveEarlierOutputs(const RunPlan &plan, const std::vector<std::string> &written) {
    const std::set<std::string> kept(written.begin(), written.end());
    std::vector<std::string> candidates = PlannedFiles(plan);
    if (!plan.SnapshotDir.empty()) {
        const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(plan.SnapshotDir.c_str()), ::closedir);
        while (const dirent *e = dir ? ::readdir(dir.get()) : nullptr)
            if (IsSnapshotName(e->d_name)) candidates.push_back(Join(plan.SnapshotDir, e->d_name));
    }
    struct stat st {};
    for (const std::string &path : candidates)
        if (!kept.count(path) && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
}

// The end of a run, whatever it was: the manifest is written under its temporary
// name first, so that a full disk keeps the earlier run whole; then the earlier
// manifest goes, the outputs are put in place, and the manifest comes last.
void EndRun(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
            const ManifestFacts &facts, const Simul *simul, StagedFiles &files, RunRecord &record) {
    if (!simul) return;
    if (plan.ManifestPath.empty()) {  // the animation or a state file alone
        if (const std::string failure = files.PutAllInPlace(); !failure.empty()) Fail(record, failure, true);
        return;
    }
    const std::string part = PartName(plan.ManifestPath);
    ManifestFacts written = facts;
    written.Written = files.Paths();
    auto writeManifest = [&] {
        LineWriter manifest;
        manifest.Open(plan.ManifestPath);
        manifest.Write(ManifestJson(options, plan, record, inputs, *simul, written));
        manifest.Close();
    };
    try {
        writeManifest();
    } catch (const std::exception &e) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        return Fail(record, LocalExceptionMessage(e), true);  // the staged files are removed with `files`
    }
    ::unlink(plan.ManifestPath.c_str());
    const std::string failure = files.PutAllInPlace();
    RemoveEarlierOutputs(plan, files.Paths());
    try {
        if (!failure.empty()) {
            Fail(record, failure, true);
            writeManifest();
        }
        PutInPlace(part, plan.ManifestPath);
    } catch (const std::exception &e) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        Fail(record, LocalExceptionMessage(e), true);
    }
}

}  // namespace

RunRecord RunOne(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
                 const ManifestFacts &facts, std::atomic<std::int64_t> *stepsDone, std::string *tableRows) {
    const auto start = std::chrono::steady_clock::now();
    ManifestFacts started = facts;
    started.Started = UtcNow();
    RunRecord record;
    record.Run = plan.Run;
    record.Point = plan.Point;
    record.Replicate = plan.Replicate;
    record.Seed = plan.Seed;
    std::unique_ptr<Simul> simul;
    std::unique_ptr<RunSession> session;
    try {
        simul = MakeEngine(options, plan);
        record.StepCount = FieldToInteger(simul->Settings.Run.StepCount);
        session = std::make_unique<RunSession>(options, plan, facts.MasterSeed, record.StepCount);
        Steps(options, plan, *simul, record, *session, stepsDone, tableRows);
    } catch (const std::exception &e) {
        Fail(record, LocalExceptionMessage(e), IsSystemFault(e));
        try {
            if (session) EndSessionFiles(plan, *simul, record, *session);
        } catch (const std::exception &f) {
            record.Message += Message("run.then", {LocalExceptionMessage(f)});
            record.SystemFault = true;
        }
    }
    record.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    try {
        if (session) EndRun(options, plan, inputs, started, simul.get(), session->files, record);
    } catch (const std::bad_alloc &) { Fail(record, MsgOutOfMemory, true); }
    return record;
}

namespace {

// "point 2, simulation 3 : ", "simulation 3 : ", or nothing for a lone run.
std::string RunLabel(const BatchOptions &options, const RunRecord &record) {
    if (options.StudyDesign)
        return Labelled(
            Message("run.point_replicate", {std::to_string(record.Point), std::to_string(record.Replicate)}), "");
    return options.ReplicateLayout ? Labelled(Message("run.replicate", {std::to_string(record.Replicate)}), "")
                                   : std::string();
}

// Size and checksum of the inputs of every point's runs, read before any run starts:
// each list of inputs once, and for every point (by its place in options.Points)
// which one is its.
struct PointInputs {
    std::vector<std::vector<InputFileRecord>> lists;
    std::vector<std::uint32_t> listOf;

    explicit PointInputs(const BatchOptions &options) {
        std::map<std::string, InputFileRecord> digests;
        std::map<std::string, std::uint32_t> known;  // a list by its roles and paths
        for (int point : options.Points) {
            const TSettings settings = PointSettings(options, point);
            std::vector<InputFileRecord> list = DescribeInputs(options, &settings, &digests);
            std::string key;
            for (const InputFileRecord &r : list) key += r.Role + '\0' + r.Path + '\0';
            const auto [at, added] = known.try_emplace(key, static_cast<std::uint32_t>(lists.size()));
            if (added) lists.push_back(std::move(list));
            listOf.push_back(at->second);
            if (!options.StudyDesign) break;
        }
    }
    const std::vector<InputFileRecord> &Of(const std::vector<int> &points, int point) const {
        const auto at = std::lower_bound(points.begin(), points.end(), point);
        return lists.at(listOf.at(at == points.end() ? 0 : static_cast<std::size_t>(at - points.begin())));
    }
};

}  // namespace

namespace {

// One batch under way: the runs handed out one by one to the threads in the
// invocation's order, their records, their rows handed on in that order, and the
// progress shown from the calling thread.
struct Batch {
    Batch(const BatchOptions &o, const std::function<void(const std::string &)> &r, const ManifestFacts &f,
          const StudyWarnings *w)
        : options(o), report(r), layout(Layout(o)), inputs(PointInputs(o)), facts(f), warnings(w) {
        outcome.Runs.resize(RunCount(layout));
    }

    const BatchOptions &options;
    const std::function<void(const std::string &)> &report;
    StudyLayout layout;
    PointInputs inputs;
    ManifestFacts facts;
    const StudyWarnings *warnings;
    int dispersalThreads = 1;
    BatchOutcome outcome;
    OrderedOutput *output = nullptr;  // hands the table rows on in run order
    std::atomic<std::int64_t> stepsDone{0};
    std::vector<RunRecord> pending;  // a run's record until its rows are consumed, by index % window
    std::mutex mutex;                // guards the calls of `report`

    // One run, its table rows into `rows` when a table is written.
    RunRecord Run(const StudyRun &run, std::string *rows) {
        RunPlan plan = PlanRun(options, run);
        plan.DispersalThreads = dispersalThreads;
        ManifestFacts own = facts;
        if (warnings) own.Warnings = warnings->For(plan.Point);
        return RunOne(options, plan, inputs.Of(options.Points, options.StudyDesign ? plan.Point : 1), own, &stepsDone,
                      rows);
    }

    // Run `index`, unless a stop was asked for. Nothing escapes: even a failed
    // allocation only ends its run. Every run's rows are handed on, the rows of a run
    // that did not start being none.
    void RunIndex(std::size_t index) {
        output->WaitForTurn(index);
        RunRecord record;
        record.Run = static_cast<int>(index) + 1;
        std::string rows;
        try {
            const StudyRun run = PlanStudyRun(layout, index, facts.MasterSeed);
            record.Point = run.Point;
            record.Replicate = run.Replicate;
            record.Seed = run.Seed;
            if (StopSignal().load() == 0) record = Run(run, options.TablePath.empty() ? nullptr : &rows);
        } catch (const std::bad_alloc &) { OutOfMemory(record); }
        {
            std::lock_guard lock(mutex);
            try {
                if (!record.Completed && !record.Message.empty() && report)
                    report(RunLabel(options, record) + record.Message);
            } catch (const std::bad_alloc &) {
                // The record keeps the message; only its line is lost.
            }
        }
        pending[index % pending.size()] = std::move(record);
        output->Submit(index, std::move(rows));
    }

    static void OutOfMemory(RunRecord &record) {
        record.Completed = record.Interrupted = false;
        record.SystemFault = true;
        try {
            record.Message = FromFrench(MsgOutOfMemory);
        } catch (const std::bad_alloc &) { record.Message.clear(); }
    }

    // Shows the progress and warns once of refused threads, under the lock, so that
    // the progress line and the reports never interleave.
    void Watch(const std::function<void(std::int64_t, std::int64_t)> &progress, std::int64_t stepsInAll) {
        std::lock_guard lock(mutex);
        WarnOfRefusedThreads();
        if (progress) progress(stepsDone.load(), stepsInAll);
    }
    int refusedBefore = ThreadsRefused();
    bool warned = false;
    void WarnOfRefusedThreads() {
        const int refused = ThreadsRefused() - refusedBefore;
        if (warned || refused <= 0 || !report) return;
        warned = true;
        report(Message("batch.warning", {Message("threads.refused_by_system", {std::to_string(refused)})}));
    }
};

}  // namespace

BatchOutcome RunBatch(const BatchOptions &options, std::uint32_t masterSeed, bool seedFromClock,
                      const std::function<void(const std::string &)> &report,
                      const std::function<void(std::int64_t, std::int64_t)> &progress, const StudyWarnings *warnings) {
    Batch batch(options, report, {masterSeed, seedFromClock, {}, {}}, warnings);
    const std::size_t runs = batch.outcome.Runs.size();
    const int jobs = RunsAtOnce(options.Jobs, runs);
    // The processors are shared between the runs at a time and the dispersal passes
    // within each run; the results depend on neither.
    batch.dispersalThreads = DispersalThreadsPerRun(0, jobs);
    const std::int32_t firstStep = options.Resumed ? options.Resumed->Step : 0;
    const std::int64_t stepsInAll =
        static_cast<std::int64_t>(runs) * std::max(0, FieldToInteger(options.Settings.Run.StepCount) - firstStep);
    StudyOutputs ordered(options, batch.layout, batch.outcome);
    if (const std::string problem = ordered.Open(); !problem.empty()) {
        if (report) report(problem);
        batch.outcome.ExitStatus = 1;
        return std::move(batch.outcome);
    }
    // A window of twice the runs at a time keeps every thread busy while one run is
    // slower than the others, and bounds the rows and records waiting to be written.
    const std::size_t window = 2 * static_cast<std::size_t>(jobs);
    batch.pending.resize(window);
    OrderedOutput output(
        [&](std::size_t index, std::string &rows) { ordered.Consume(index, batch.pending[index % window], rows); },
        window);
    batch.output = &output;

    // A stop comes through the signal flag, which each run watches itself.
    std::atomic<bool> unused{false};
    RunStudy(
        runs, jobs, [&batch](std::size_t index, std::atomic<bool> &) { batch.RunIndex(index); },
        [&](std::size_t) { batch.Watch(progress, stepsInAll); }, unused);

    bool failed = !ordered.Finish(report);
    for (const RunEnd &r : batch.outcome.Runs) failed = failed || !r.Completed;
    if (!failed) RemoveEarlierStudy(options);
    batch.outcome.ExitStatus = failed ? 1 : 0;
    return std::move(batch.outcome);
}

}  // namespace glebix::batch
