#include "BatchRun.h"

#include <QImage>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <unistd.h>

#include "Conversions.h"
#include "Errors.h"
#include "FileIo.h"
#include "GifAnimation.h"
#include "MapPicture.h"
#include "ResultFile.h"
#include "Simul.h"
#include "StateOutputs.h"
#include "Threads.h"

namespace glebix::batch {

std::atomic<int> &StopSignal() {
    static std::atomic<int> signal{0};
    return signal;
}

namespace {

// What one run writes, from its start to its end whatever the end: the files put in
// place together, the ones written as it goes, and its states.
struct RunSession {
    explicit RunSession(const BatchOptions &options, const RunPlan &plan, std::uint32_t masterSeed,
                        std::int32_t stepCount)
        : states({plan.SaveStatePath, plan.CheckpointPath, options.CheckpointEvery}, masterSeed, plan.Seed, stepCount) {
    }
    StagedFiles files;
    LineWriter trace;
    GifAnimation animation;
    StateOutputs states;
    bool running = false;      // set up or put back: the engine holds a whole state
    bool stateStaged = false;  // the end state was staged (or tried)
};

// Creates the folders of every output of the run and opens the trace.
void PrepareOutputs(const RunPlan &plan, StagedFiles &files, LineWriter &trace) {
    for (const std::string *dir : {&plan.OutDir, &plan.SnapshotDir, &plan.AscDir})
        if (!dir->empty()) MakeDirectories(*dir);
    for (const std::string *file : {&plan.ManifestPath, &plan.AnimatePath, &plan.SaveStatePath, &plan.CheckpointPath})
        if (!file->empty()) MakeDirectories(ParentOf(*file));
    if (!plan.TracePath.empty()) {
        MakeDirectories(ParentOf(plan.TracePath));
        files.OpenLines(plan.TracePath, trace);
        trace.Write(TraceHeader());
    }
}

// The outputs of one completed step.
void StepOutputs(const BatchOptions &options, const RunPlan &plan, std::int32_t step, Simul &simul, RunRecord &record,
                 RunSession &session) {
    record.StepsReached = step;
    // The per-step values are kept only for the summary across replicates.
    if (options.ReplicateLayout && !PrimaryOutputDir(options).empty()) {
        record.Series.Totals.push_back(TotalCount(simul.Plot));
        record.Series.MeanCompacted.push_back(MeanCompacted(simul.Plot));
    }
    if (session.trace.IsOpen()) session.trace.Write(TraceRow(step, simul));
    const bool picture = step % options.Every == 0 || step == record.StepCount;
    if (!plan.SnapshotDir.empty() && picture)
        session.files.Write(Join(plan.SnapshotDir, SnapshotName(step)), DensityMapPng(simul.Plot, step));
    if (session.animation.IsOpen() && picture) session.animation.AddFrame(MapPictureOf(simul.Plot, step));
}

// The outputs written once the last step is done.
void FinalOutputs(const RunPlan &plan, Simul &simul, const RunRecord &record, StagedFiles &files) {
    // As the launcher does: a run without steps writes no result file.
    if (record.StepCount > 0 && !plan.OutDir.empty())
        files.Write(simul.ResultFilePath(), ResultFileContents(simul.Plot));
    if (!plan.AscDir.empty()) {
        const GridPlacement placement = simul.InputGridPlacement.value_or(GridPlacement{});
        files.Write(Join(plan.AscDir, DensityGridName), DensityAsc(simul.Plot, placement));
        files.Write(Join(plan.AscDir, CompactedGridName), CompactedAsc(simul.Plot, placement));
    }
}

// Sets the run up, or puts the saved run back: the steps go on from the step returned.
std::int32_t StartRun(const BatchOptions &options, const RunPlan &plan, Simul &simul) {
    if (!options.Resumed) {
        simul.SetUpRun(plan.Seed);
        return 0;
    }
    RestoreRun(*options.Resumed, simul);
    // The saved settings, with what --set and --steps changed for the steps to come.
    simul.Settings = options.Settings;
    simul.Settings.Run.ResultDirectory = plan.OutDir;
    return options.Resumed->Step;
}

// Starts the animation with its first frame: the state the steps start from.
void StartAnimation(const BatchOptions &options, const RunPlan &plan, const TPlot &plot, std::int32_t first,
                    GifAnimation &animation) {
    if (plan.AnimatePath.empty()) return;
    animation.Open(PartName(plan.AnimatePath), SnapshotWidth, SnapshotHeight, options.FramesPerSecond, MapPalette());
    animation.AddFrame(MapPictureOf(plot, first));
}

// The end of the animation and of the state file, whatever the end of the run: the
// animation holds the frames made so far; the state is the last whole one. Both are
// put in place with the other files.
void EndSessionFiles(const RunPlan &plan, const Simul &simul, const RunRecord &record, RunSession &session) {
    if (session.animation.IsOpen()) {
        session.animation.Finish();
        session.files.Adopt(plan.AnimatePath);
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
    simul->Settings = options.Settings;
    simul->Settings.Run.ResultDirectory = plan.OutDir;
    simul->GivenInputs = options.Files;
    simul->SetDispersalThreads(plan.DispersalThreads);
    return simul;
}

// The set-up (or the saved state put back) and the steps, up to the last or to a
// stop request.
void Steps(const BatchOptions &options, const RunPlan &plan, Simul &simul, RunRecord &record, RunSession &session,
           std::atomic<std::int64_t> *stepsDone) {
    PrepareOutputs(plan, session.files, session.trace);
    const std::int32_t first = StartRun(options, plan, simul);
    session.running = true;
    record.StepsReached = first;
    StartAnimation(options, plan, simul.Plot, first, session.animation);
    for (std::int32_t step : StepRange(first + 1, record.StepCount)) {
        if (StopSignal().load() != 0) {
            record.Interrupted = true;
            break;
        }
        session.states.BeforeStep(simul, step - 1);
        simul.TimeStep();
        StepOutputs(options, plan, step, simul, record, session);
        session.states.AfterStep(simul, step);
        if (stepsDone) stepsDone->fetch_add(1, std::memory_order_relaxed);
    }
    if (!record.Interrupted) FinalOutputs(plan, simul, record, session.files);
    session.trace.Close();
    record.Completed = !record.Interrupted;
    EndSessionFiles(plan, simul, record, session);
}

void Fail(RunRecord &record, const std::string &message) {
    if (!record.Completed && !record.Message.empty()) return;  // the first error tells
    record.Completed = record.Interrupted = false;
    record.Message = message;
}

// Removes the files an earlier run left at the places of this run's outputs and
// that this run did not write, so that the folder holds one run's outputs only.
void RemoveEarlierOutputs(const RunPlan &plan, const std::vector<std::string> &written) {
    namespace fs = std::filesystem;
    const std::set<std::string> kept(written.begin(), written.end());
    std::vector<std::string> candidates = PlannedFiles(plan);
    std::error_code ec;
    if (!plan.SnapshotDir.empty())
        for (const auto &e : fs::directory_iterator(plan.SnapshotDir, ec))
            if (IsSnapshotName(e.path().filename().string())) candidates.push_back(e.path().string());
    for (const std::string &path : candidates)
        if (!kept.count(path) && fs::is_regular_file(fs::symlink_status(path, ec))) ::unlink(path.c_str());
}

// The end of a run, whatever it was: the manifest is written under its temporary
// name first, so that a full disk keeps the earlier run whole; then the earlier
// manifest goes, the outputs are put in place, and the manifest comes last.
void EndRun(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
            const ManifestFacts &facts, const Simul *simul, StagedFiles &files, RunRecord &record) {
    if (!simul) return;
    if (plan.ManifestPath.empty()) {  // the animation or a state file alone
        if (const std::string failure = files.PutAllInPlace(); !failure.empty()) Fail(record, failure);
        return;
    }
    const std::string part = PartName(plan.ManifestPath);
    auto writeManifest = [&] {
        LineWriter manifest;
        manifest.Open(plan.ManifestPath);
        manifest.Write(ManifestJson(options, plan, record, inputs, *simul, facts));
        manifest.Close();
    };
    try {
        writeManifest();
    } catch (const std::exception &e) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        return Fail(record, e.what());  // the staged files are removed with `files`
    }
    ::unlink(plan.ManifestPath.c_str());
    const std::string failure = files.PutAllInPlace();
    RemoveEarlierOutputs(plan, files.Paths());
    try {
        if (!failure.empty()) {
            Fail(record, failure);
            writeManifest();
        }
        PutInPlace(part, plan.ManifestPath);
    } catch (const std::exception &e) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        Fail(record, e.what());
    }
}

}  // namespace

RunRecord RunOne(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
                 const ManifestFacts &facts, std::atomic<std::int64_t> *stepsDone) {
    const auto start = std::chrono::steady_clock::now();
    ManifestFacts started = facts;
    started.Started = UtcNow();
    RunRecord record;
    record.Run = plan.Run;
    record.Seed = plan.Seed;
    std::unique_ptr<Simul> simul;
    std::unique_ptr<RunSession> session;
    try {
        simul = MakeEngine(options, plan);
        record.StepCount = FieldToInteger(simul->Settings.Run.StepCount);
        session = std::make_unique<RunSession>(options, plan, facts.MasterSeed, record.StepCount);
        Steps(options, plan, *simul, record, *session, stepsDone);
    } catch (const std::bad_alloc &) { Fail(record, MsgOutOfMemory); } catch (const std::exception &e) {
        const auto *error = dynamic_cast<const GlebixError *>(&e);
        Fail(record, error ? MessageWithContext(*error) : std::string(e.what()));
        try {
            if (session) EndSessionFiles(plan, *simul, record, *session);
        } catch (const std::exception &f) { record.Message += std::string(" ; ") + f.what(); }
    }
    record.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    try {
        if (session) EndRun(options, plan, inputs, started, simul.get(), session->files, record);
    } catch (const std::bad_alloc &) { Fail(record, MsgOutOfMemory); }
    return record;
}

namespace {

// One batch under way: the runs handed out one by one to the threads, their records,
// and the progress shown from the calling thread.
struct Batch {
    Batch(const BatchOptions &o, const std::function<void(const std::string &)> &r, const ManifestFacts &f)
        : options(o), report(r), inputs(DescribeInputs(o)), facts(f) {
        outcome.Runs.resize(static_cast<std::size_t>(o.Replicates));
    }

    const BatchOptions &options;
    const std::function<void(const std::string &)> &report;
    std::vector<InputFileRecord> inputs;
    ManifestFacts facts;
    int dispersalThreads = 1;
    BatchOutcome outcome;
    std::atomic<int> next{1};
    std::atomic<std::int64_t> stepsDone{0};
    std::mutex mutex;  // guards `finished`, `outcome` and the calls of `report`
    std::condition_variable allFinished;
    int finished = 0;

    // Takes runs until none is left or a stop is asked for. Nothing escapes a thread:
    // even a failed allocation only ends its run.
    void Work() {
        const int runs = options.Replicates;
        for (int run; (run = next.fetch_add(1)) <= runs;) {
            RunRecord record;
            record.Run = run;
            try {
                if (StopSignal().load() == 0) {
                    RunPlan plan = PlanRun(options, run, facts.MasterSeed);
                    plan.DispersalThreads = dispersalThreads;
                    record = RunOne(options, plan, inputs, facts, &stepsDone);
                }
            } catch (const std::bad_alloc &) { OutOfMemory(record); }
            std::lock_guard lock(mutex);
            try {
                if (!record.Completed && !record.Message.empty() && report)
                    report((options.ReplicateLayout ? "simulation " + std::to_string(run) + " : " : std::string()) +
                           record.Message);
            } catch (const std::bad_alloc &) {
                // The record keeps the message; only its line is lost.
            }
            outcome.Runs[static_cast<std::size_t>(run - 1)] = std::move(record);
            ++finished;
            allFinished.notify_all();
        }
    }

    static void OutOfMemory(RunRecord &record) {
        record.Completed = record.Interrupted = false;
        try {
            record.Message = MsgOutOfMemory;
        } catch (const std::bad_alloc &) { record.Message.clear(); }
    }

    // Waits for every run, showing the progress and warning once of refused threads.
    // Called under the lock, so that the progress line and the reports never interleave.
    void Wait(const std::function<void(std::int64_t, std::int64_t)> &progress, std::int64_t stepsInAll) {
        std::unique_lock lock(mutex);
        while (finished < options.Replicates) {
            allFinished.wait_for(lock, std::chrono::milliseconds(200));
            WarnOfRefusedThreads();
            if (progress) progress(stepsDone.load(), stepsInAll);
        }
        WarnOfRefusedThreads();
    }

    int refusedBefore = ThreadsRefused();
    bool warned = false;
    void WarnOfRefusedThreads() {
        const int refused = ThreadsRefused() - refusedBefore;
        if (warned || refused <= 0 || !report) return;
        warned = true;
        report("glebix-batch : attention : le système a refusé " + std::to_string(refused) +
               " fil(s) d'exécution ; les simulations continuent avec ceux qui ont pu être créés");
    }
};

// Writes summary.csv across the replicates; false (after reporting) when it fails.
bool WriteSummary(const BatchOptions &options, const BatchOutcome &outcome,
                  const std::function<void(const std::string &)> &report) {
    const std::string primary = PrimaryOutputDir(options);
    if (!options.ReplicateLayout || primary.empty()) return true;
    std::vector<StepSeries> series;
    for (const RunRecord &r : outcome.Runs) series.push_back(r.Series);
    try {
        MakeDirectories(primary);
        WriteWholeFile(Join(primary, "summary.csv"), SummaryCsv(series));
    } catch (const std::exception &e) {
        if (report) report(std::string("summary.csv : ") + e.what());
        return false;
    }
    return true;
}

}  // namespace

BatchOutcome RunBatch(const BatchOptions &options, std::uint32_t masterSeed, bool seedFromClock,
                      const std::function<void(const std::string &)> &report,
                      const std::function<void(std::int64_t, std::int64_t)> &progress) {
    const int runs = options.Replicates;
    const int processors = AvailableProcessors();
    const int jobs = std::clamp(options.Jobs > 0 ? options.Jobs : processors, 1, std::min(runs, MaxJobs));
    Batch batch(options, report, {masterSeed, seedFromClock, {}});
    // The processors are shared between the runs at a time and the dispersal passes
    // within each run; the results depend on neither.
    batch.dispersalThreads = std::max(1, processors / jobs);
    const std::int32_t firstStep = options.Resumed ? options.Resumed->Step : 0;
    const std::int64_t stepsInAll =
        static_cast<std::int64_t>(runs) * std::max(0, FieldToInteger(options.Settings.Run.StepCount) - firstStep);

    std::vector<std::thread> threads = StartThreads(jobs, [&batch](int) { batch.Work(); });
    // Whatever happens here, the threads are joined before they are destroyed.
    struct Joiner {
        std::vector<std::thread> &threads;
        ~Joiner() {
            for (std::thread &t : threads)
                if (t.joinable()) t.join();
        }
    } joiner{threads};
    if (threads.empty()) batch.Work();  // no thread could be made: the runs go on in this one
    batch.Wait(progress, stepsInAll);

    bool failed = false;
    for (const RunRecord &r : batch.outcome.Runs) failed = failed || !r.Completed;
    if (!WriteSummary(options, batch.outcome, report)) failed = true;
    batch.outcome.ExitStatus = failed ? 1 : 0;
    return std::move(batch.outcome);
}

}  // namespace glebix::batch
