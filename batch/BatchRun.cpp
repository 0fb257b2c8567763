#include "BatchRun.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Conversions.h"
#include "Errors.h"
#include "FileIo.h"
#include "IncompleteFile.h"
#include "Messages.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "Recorders.h"
#include "RunMetrics.h"
#include "RunOutputs.h"
#include "RunSession.h"
#include "StopRule.h"
#include "StudyTable.h"

namespace glebix::batch {

std::atomic<int> &StopSignal() {
    static std::atomic<int> signal{0};
    return signal;
}

namespace {

// What one run writes, from its start to its end whatever the end: its rows of the
// study table and its series for the summary, and through its recorders its outputs,
// put in place together. It follows the run's steps.
struct RunFiles : RunObserver {
    RunFiles(const BatchOptions &o, const RunPlan &p, std::uint32_t masterSeed, RunRecord &r,
             std::atomic<std::int64_t> *done, std::string *rows)
        : options(o),
          plan(p),
          record(r),
          stepsDone(done),
          tableRows(rows),
          context{o, p, r, masterSeed, files, {}},
          recorders(recorders::MakeRecorders(context)) {}
    const BatchOptions &options;
    const RunPlan &plan;
    RunRecord &record;
    std::atomic<std::int64_t> *stepsDone;
    std::string *tableRows;
    StagedFiles files;
    recorders::RecordingContext context;
    std::vector<std::unique_ptr<recorders::Recorder>> recorders;
    bool running = false;                                   // set up or put back: the engine holds a whole state
    std::unique_ptr<analysis::RunMetricsRecorder> metrics;  // with --table-metric
    std::string unkept;  // the row of the last step reached, when --table-every left it out

    template <typename Hook>
    void EachRecorder(Hook hook) {
        for (const auto &recorder : recorders) hook(*recorder);
    }
    void BeforeStep(const RunSession &run) override {
        EachRecorder([&run](recorders::Recorder &r) { r.BeforeStep(run); });
    }
    void Stepped(const RunSession &run) override;
    void Begin(const RunSession &run);
    void End(const RunSession *run) {
        EachRecorder([&](recorders::Recorder &r) { r.End(run, running); });
    }
    void TakeStop(const RunSession &run);
    void TableRow(std::int32_t step, const StepRecord &r);
    void EndTable(bool completed);
};

// The table's row of a step, when --table-every keeps it; the run's metrics see every
// step.
void RunFiles::TableRow(std::int32_t step, const StepRecord &r) {
    if (!tableRows) return;
    const CountColumns counts = TableCounts(options);
    const bool stopColumn = !options.StopRules.empty();
    if (options.TableMetrics.empty() && options.TableStepsKept.KeepsAll() && !stopColumn)
        return AppendStudyRow(*tableRows, plan.TablePrefix, step, r, counts);
    if (!options.TableMetrics.empty()) {
        if (!metrics) metrics = std::make_unique<analysis::RunMetricsRecorder>(options.TableMetrics);
        metrics->Add(step, r);
    }
    unkept.clear();
    const bool last = step == record.StepCount || !record.StoppedBy.empty();
    std::string &rows = last || KeepsStep(options.TableStepsKept, step, record.StepCount) ? *tableRows : unkept;
    AppendStudyRow(rows, plan.TablePrefix, step, r, counts);
    if (stopColumn) AppendStoppedBy(rows, record.StoppedBy);
}

// Ends the run's record where a rule stopped the session: the steps it will not make
// count as done for the progress line.
void RunFiles::TakeStop(const RunSession &run) {
    if (run.StoppedBy().empty() || !record.StoppedBy.empty()) return;
    record.StoppedBy = run.StoppedBy();
    const std::int32_t step = run.StepIndex();
    if (stepsDone && step < record.StepCount) stepsDone->fetch_add(record.StepCount - step, std::memory_order_relaxed);
}

// A run that ended before its last step keeps the row of the last step it reached;
// the metrics close every row of the run, missing when it did not complete.
void RunFiles::EndTable(bool completed) {
    if (!tableRows) return;
    *tableRows += unkept;
    unkept.clear();
    if (!options.TableMetrics.empty())
        AppendToRows(*tableRows, metrics ? metrics->Fields(completed)
                                         : analysis::RunMetricsRecorder(options.TableMetrics).Fields(false));
}

// The state the steps start from: set up, or put back.
void RunFiles::Begin(const RunSession &run) {
    running = true;
    record.StepsReached = run.StepIndex();
    TakeStop(run);
    if (!options.Resumed) TableRow(0, run.Record());
    EachRecorder([&run](recorders::Recorder &r) { r.Begin(run); });
}

// The outputs of one completed step.
void RunFiles::Stepped(const RunSession &run) {
    const std::int32_t step = run.StepIndex();
    record.StepsReached = step;
    TakeStop(run);
    TableRow(step, run.Record());
    // The per-step values are kept only for the summary.
    if (SummaryWanted(options)) record.Series.Append(TotalCount(run.Plot()), MeanCompacted(run.Plot()));
    EachRecorder([&run](recorders::Recorder &r) { r.Stepped(run); });
    if (stepsDone) stepsDone->fetch_add(1, std::memory_order_relaxed);
}

// Creates the folders of every output of the run.
void MakeOutputFolders(const RunPlan &plan) {
    for (const OutputKind &kind : OutputKinds())
        if (kind.planned && !PlaceOf(plan, kind).empty()) MakeDirectories(FolderOfOutput(kind, PlaceOf(plan, kind)));
}

// One session per run, so that runs on other threads share nothing but the inputs: to
// set up, or the saved run put back (then the steps go on from its step).
std::unique_ptr<RunSession> MakeSession(const BatchOptions &options, const RunPlan &plan, std::uint32_t masterSeed,
                                        std::int32_t stepCount, const std::vector<InputFileRecord> &inputs) {
    TSettings settings = plan.Settings;  // when resumed: with what --set and --steps changed
    settings.Run.ResultDirectory = PlaceOf(plan, "--out");
    std::unique_ptr<RunSession> run =
        options.Resumed ? std::make_unique<RunSession>(*options.Resumed, settings, stepCount, plan.DispersalThreads)
                        : std::make_unique<RunSession>(RunStart{std::move(settings), plan.Seed, masterSeed, stepCount,
                                                                plan.DispersalThreads, options.Files});
    run->RecordInputs(inputs);
    return run;
}

// The set-up (or the saved state put back) and the steps, up to the last or to a
// stop request.
void Steps(const BatchOptions &options, RunSession &run, RunFiles &out) {
    RunRecord &record = out.record;
    MakeOutputFolders(out.plan);
    out.EachRecorder([](recorders::Recorder &r) { r.Prepare(); });
    run.StopWhen(options.StopRules);
    if (!options.Resumed) run.SetUp();
    out.Begin(run);
    run.Observe(out);
    while (run.StepIndex() < record.StepCount && run.StoppedBy().empty()) {
        if (StopSignal().load() != 0) {
            record.Interrupted = true;
            break;
        }
        run.Step();
    }
    if (!record.Interrupted) out.EachRecorder([&run](recorders::Recorder &r) { r.Complete(run); });
    record.Completed = !record.Interrupted;
    out.End(&run);
}

// A run that ends on an error. Whichever error tells, a fault of the system (an output
// not written, memory) makes the run's outputs other than a result of the model.
void Fail(RunRecord &record, const std::string &message, bool systemFault) {
    record.SystemFault = record.SystemFault || systemFault;
    if (!record.Completed && !record.Message.empty()) return;  // the first error tells
    record.Completed = record.Interrupted = false;
    record.Message = message;
}

bool IsSystemFault(const std::exception &e) {
    return dynamic_cast<const OutputError *>(&e) != nullptr || dynamic_cast<const std::bad_alloc *>(&e) != nullptr;
}

// Removes the files an earlier run left at the places of this run's outputs and
// that this run did not write, so that the folder holds one run's outputs only, and
// the files an earlier failed run kept aside there. With plain system calls, which
// fail without ending the program when memory runs out.
void RemoveEarlierOutputs(const BatchOptions &options, const RunPlan &plan, const std::vector<std::string> &written) {
    const std::set<std::string> kept(written.begin(), written.end());
    std::vector<std::string> candidates = PlannedFiles(plan);
    for (const std::string &file : FilesKeptAside(plan)) candidates.push_back(IncompleteName(file));
    for (const OutputKind &kind : OutputKinds()) {
        if (!kind.isStepFile || !kind.planned || PlaceOf(plan, kind).empty()) continue;
        const std::string &folder = PlaceOf(plan, kind);
        const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), ::closedir);
        while (const dirent *e = dir ? ::readdir(dir.get()) : nullptr)
            if (IsStepFileOf(kind, &options, e->d_name)) candidates.push_back(Join(folder, e->d_name));
    }
    struct stat st {};
    for (const std::string &path : candidates)
        if (!kept.count(path) && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
}

// Writes the manifest under its temporary name, or fails the run and removes it.
bool StageManifest(const std::function<void()> &write, const std::string &part, RunRecord &record) {
    try {
        write();
        return true;
    } catch (const std::exception &e) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        Fail(record, LocalExceptionMessage(e), true);
        return false;
    }
}

// The end of a failed run: no file it wrote takes the place of an earlier one, and no
// earlier file goes. When it was set up, the files that hold what it did up to its
// fault (FilesKeptAside) are kept beside their places under "<path>.incomplete"; the
// others are removed. The manifest says so.
void EndFailedRun(const RunPlan &plan, const std::function<void(const ManifestFacts &)> &writeManifest,
                  ManifestFacts facts, bool setUp, StagedFiles &files, RunRecord &record) {
    const std::vector<std::string> aside = setUp ? FilesKeptAside(plan) : std::vector<std::string>();
    facts.Written = files.PutAllAside([&aside](const std::string &path) {
        return std::find(aside.begin(), aside.end(), path) == aside.end() ? std::string() : IncompleteName(path);
    });
    facts.KeptAside = true;
    const std::string &manifestPath = ManifestPlace(plan);
    if (manifestPath.empty()) return;
    const std::string part = PartName(manifestPath);
    if (!StageManifest([&] { writeManifest(facts); }, part, record)) return;
    try {
        PutInPlace(part, manifestPath);
    } catch (const std::exception &e) {
        ::unlink(part.c_str());
        ForgetTemporary(part);
        Fail(record, LocalExceptionMessage(e), true);
    }
}

// The end of a run, whatever it was: the manifest is written under its temporary
// name first, so that a full disk keeps the earlier run whole; then the earlier
// manifest goes, the outputs are put in place, and the manifest comes last. When the
// state was withheld, a file at the state's place is not this run's and is left alone.
void EndRun(const BatchOptions &options, const RunPlan &plan, const ManifestFacts &facts, const RunSession *run,
            RunFiles &out, RunRecord &record) {
    if (!run) return;
    StagedFiles &files = out.files;
    const std::string &manifestPath = ManifestPlace(plan);
    auto writeManifest = [&](const ManifestFacts &written) {
        LineWriter manifest;
        manifest.Open(manifestPath);
        manifest.Write(ManifestJson(options, plan, record, run->Engine(), run->DescriptionSoFar(), written));
        manifest.Close();
    };
    if (!record.Completed && !record.Interrupted)
        return EndFailedRun(plan, writeManifest, facts, out.running, files, record);
    if (manifestPath.empty()) {  // the animation or a state file alone
        if (const std::string failure = files.PutAllInPlace(); !failure.empty()) Fail(record, failure, true);
        return;
    }
    const std::string part = PartName(manifestPath);
    ManifestFacts written = facts;
    written.Written = files.Paths();
    // A manifest that cannot be written fails the run: its staged files are removed
    // with `files`, and the earlier run stays whole.
    if (!StageManifest([&] { writeManifest(written); }, part, record)) return;
    ::unlink(manifestPath.c_str());
    const std::string failure = files.PutAllInPlace();
    std::vector<std::string> kept = files.Paths();
    kept.insert(kept.end(), out.context.leftAlone.begin(), out.context.leftAlone.end());
    RemoveEarlierOutputs(options, plan, kept);
    try {
        if (!failure.empty()) {
            Fail(record, failure, true);
            writeManifest(written);
        }
        PutInPlace(part, manifestPath);
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
    std::unique_ptr<RunFiles> out;
    std::unique_ptr<RunSession> run;
    try {
        record.StepCount = FieldToInteger(plan.Settings.Run.StepCount);
        run = MakeSession(options, plan, facts.MasterSeed, record.StepCount, inputs);
        out = std::make_unique<RunFiles>(options, plan, facts.MasterSeed, record, stepsDone, tableRows);
        Steps(options, *run, *out);
    } catch (const std::exception &e) {
        Fail(record, LocalExceptionMessage(e), IsSystemFault(e));
        try {
            if (out) out->End(run.get());
        } catch (const std::exception &f) {
            // A writer that failed fails again when it is closed: its error is told once.
            const std::string then = LocalExceptionMessage(f);
            if (record.Message.find(then) == std::string::npos) record.Message += Message("run.then", {then});
            record.SystemFault = true;
        }
    }
    record.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    try {
        if (out) out->EndTable(record.Completed);
        if (out) EndRun(options, plan, started, run.get(), *out, record);
    } catch (const std::bad_alloc &) { Fail(record, LocalMessage(MsgOutOfMemory), true); }
    return record;
}

}  // namespace glebix::batch
