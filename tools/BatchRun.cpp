#include "BatchRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "Conversions.h"
#include "Errors.h"
#include "FileIo.h"
#include "OrderedOutput.h"
#include "Simul.h"
#include "StreamedFile.h"
#include "StudySummary.h"
#include "StudyTable.h"

namespace glebix::batch {

namespace {

// Creates the folders of every output of the run and opens the trace.
void PrepareOutputs(const RunPlan &plan, LineWriter &trace) {
    for (const std::string *dir : {&plan.OutDir, &plan.SnapshotDir, &plan.AscDir})
        if (!dir->empty()) MakeDirectories(*dir);
    if (!plan.ManifestPath.empty()) MakeDirectories(ParentOf(plan.ManifestPath));
    if (!plan.TracePath.empty()) {
        MakeDirectories(ParentOf(plan.TracePath));
        trace.Open(plan.TracePath);
        trace.Write(TraceHeader());
    }
}

// The outputs of one completed step.
void StepOutputs(const BatchOptions &options, const RunPlan &plan, std::int32_t step, Simul &simul, RunRecord &record,
                 LineWriter &trace, std::string *tableRows) {
    record.StepsReached = step;
    if (tableRows) AppendStudyRow(*tableRows, plan.TablePrefix, step, RecordStep(simul));
    // The per-step values are kept only for the summary.
    if (SummaryWanted(options)) {
        record.Series.Totals.push_back(TotalCount(simul.Plot));
        record.Series.MeanCompacted.push_back(MeanCompacted(simul.Plot));
    }
    if (trace.IsOpen()) trace.Write(TraceRow(step, simul));
    if (!plan.SnapshotDir.empty() && (step % options.Every == 0 || step == record.StepCount))
        WriteWholeFile(Join(plan.SnapshotDir, SnapshotName(step)), DensityMapPng(simul.Plot));
}

// The outputs written once the last step is done.
void FinalOutputs(const RunPlan &plan, Simul &simul, const RunRecord &record, LineWriter &trace) {
    // As the launcher does: a run without steps writes no result file.
    if (record.StepCount > 0 && !plan.OutDir.empty()) simul.WriteResultFile();
    if (!plan.AscDir.empty()) {
        WriteWholeFile(Join(plan.AscDir, "density.asc"), DensityAsc(simul.Plot));
        WriteWholeFile(Join(plan.AscDir, "compacted.asc"), CompactedAsc(simul.Plot));
    }
    trace.Close();
}

// One engine per run, so that runs on other threads share nothing but the inputs.
std::unique_ptr<Simul> MakeEngine(const BatchOptions &options, const RunPlan &plan) {
    auto simul = std::make_unique<Simul>();
    simul->Settings = plan.Settings;
    simul->Settings.Run.ResultDirectory = plan.OutDir;
    simul->GivenInputs = options.Files;
    simul->SetDispersalThreads(plan.DispersalThreads);
    return simul;
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
    const auto simul = MakeEngine(options, plan);
    try {
        record.StepCount = FieldToInteger(simul->Settings.Run.StepCount);
        LineWriter trace;
        PrepareOutputs(plan, trace);
        simul->SetUpRun(plan.Seed);
        if (tableRows) AppendStudyRow(*tableRows, plan.TablePrefix, 0, RecordStep(*simul));
        for (std::int32_t step = 1; step <= record.StepCount; ++step) {
            simul->TimeStep();
            StepOutputs(options, plan, step, *simul, record, trace, tableRows);
            if (stepsDone) stepsDone->fetch_add(1, std::memory_order_relaxed);
        }
        FinalOutputs(plan, *simul, record, trace);
        record.Completed = true;
    } catch (const GlebixError &e) { record.Message = MessageWithContext(e); } catch (const std::exception &e) {
        record.Message = e.what();
    }
    record.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!plan.ManifestPath.empty()) {
        try {
            WriteWholeFile(plan.ManifestPath, ManifestJson(options, plan, record, inputs, *simul, started));
        } catch (const std::exception &e) {
            if (record.Completed) {
                record.Completed = false;
                record.Message = e.what();
            }
        }
    }
    return record;
}

bool SummaryWanted(const BatchOptions &options) {
    return (options.ReplicateLayout || options.StudyDesign) && !PrimaryOutputDir(options).empty();
}

namespace {

// "point 2, simulation 3 : ", "simulation 3 : ", or nothing for a lone run.
std::string RunLabel(const BatchOptions &options, const RunRecord &record) {
    if (options.StudyDesign)
        return "point " + std::to_string(record.Point) + ", simulation " + std::to_string(record.Replicate) + " : ";
    return options.ReplicateLayout ? "simulation " + std::to_string(record.Replicate) + " : " : std::string();
}

// The study table and the summary, written as the runs come in their order: each
// run's rows as soon as every earlier run's are written, the summary one point at a
// time (all runs without a design). Runs on the workers' threads, one at a time.
class InOrderOutputs {
public:
    InOrderOutputs(const BatchOptions &options, BatchOutcome &outcome) : options_(options), outcome_(outcome) {}

    // Opens the table and the summary; the problem of the first that cannot be opened.
    std::string Open() {
        const std::vector<std::string> columns =
            options_.StudyDesign ? options_.StudyDesign->Columns : std::vector<std::string>{};
        try {
            if (!options_.TablePath.empty()) {
                MakeDirectories(ParentOf(options_.TablePath));
                table_.Open(options_.TablePath);
                table_.Write(StudyTableHeader(columns));
            }
        } catch (const std::exception &e) { return std::string("--table : ") + e.what(); }
        if (!SummaryWanted(options_)) return {};
        try {
            MakeDirectories(PrimaryOutputDir(options_));
            summary_.Open(Join(PrimaryOutputDir(options_), "summary.csv"));
            summary_.Write(SummaryHeader(columns, options_.StudyDesign.has_value()));
        } catch (const std::exception &e) { summaryError_ = e.what(); }
        return {};
    }

    void Consume(std::size_t index, std::string &rows) {
        RunRecord &record = outcome_.Runs[index];
        if (table_.IsOpen()) Guard(tableError_, [&] { table_.Write(rows); });
        if (!summary_.IsOpen()) return;
        if (!group_.empty() && record.Point != groupPoint_) FlushGroup();
        groupPoint_ = record.Point;
        group_.push_back(std::move(record.Series));
        record.Series = {};
    }

    // Finishes both files; reports and returns false when one failed.
    bool Finish(const std::function<void(const std::string &)> &report) {
        if (summary_.IsOpen()) {
            FlushGroup();
            Guard(summaryError_, [&] { summary_.Finish(); });
        }
        if (table_.IsOpen()) Guard(tableError_, [&] { table_.Finish(); });
        if (report && !summaryError_.empty()) report("summary.csv : " + summaryError_);
        if (report && !tableError_.empty()) report("--table : " + tableError_);
        return summaryError_.empty() && tableError_.empty();
    }

private:
    template <typename Write>
    static void Guard(std::string &error, Write write) {
        try {
            write();
        } catch (const std::exception &e) {
            if (error.empty()) error = e.what();
        }
    }

    void FlushGroup() {
        if (group_.empty()) return;
        std::string prefix;
        if (options_.StudyDesign)
            prefix =
                SummaryPrefix(groupPoint_, DesignValues(*options_.StudyDesign, PointSettings(options_, groupPoint_)));
        Guard(summaryError_, [&] { summary_.Write(SummaryRows(prefix, group_)); });
        group_.clear();
    }

    const BatchOptions &options_;
    BatchOutcome &outcome_;
    StreamedFile table_, summary_;
    std::string tableError_, summaryError_;
    std::vector<StepSeries> group_;  // the runs of the point being summarised
    int groupPoint_ = 0;
};

// Starts `jobs` threads running `worker`; when none can be started, runs it on this
// thread. Fewer threads than asked share the runs.
std::vector<std::thread> StartWorkers(int jobs, const std::function<void()> &worker) {
    std::vector<std::thread> threads;
    for (int k = 0; k < jobs; ++k) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error &) { break; }
    }
    if (threads.empty()) worker();
    return threads;
}

// Size and checksum of the inputs of every point's runs, read before any run starts.
std::map<int, std::vector<InputFileRecord>> PointInputs(const BatchOptions &options) {
    std::map<int, std::vector<InputFileRecord>> inputs;
    std::map<std::string, InputFileRecord> digests;
    for (int point : options.Points) {
        const TSettings settings = PointSettings(options, point);
        inputs[point] = DescribeInputs(options, &settings, &digests);
        if (!options.StudyDesign) break;
    }
    return inputs;
}

}  // namespace

namespace {

// What every run of a batch shares, and the making of one run.
struct BatchRuns {
    const BatchOptions &options;
    StudyLayout layout;
    ManifestFacts facts;  // the master seed and its source
    const StudyWarnings *warnings;
    std::map<int, std::vector<InputFileRecord>> inputs;
    int dispersalThreads;
    std::atomic<std::int64_t> stepsDone{0};

    // Runs the invocation's run `index`, its table rows into `rows` when asked for.
    RunRecord Run(std::size_t index, std::string *rows) {
        RunPlan plan = PlanRun(options, PlanStudyRun(layout, index, facts.MasterSeed));
        plan.DispersalThreads = dispersalThreads;
        ManifestFacts own = facts;
        if (warnings) own.Warnings = warnings->For(plan.Point);
        return RunOne(options, plan, inputs.at(options.StudyDesign ? plan.Point : 1), own, &stepsDone, rows);
    }
};

}  // namespace

BatchOutcome RunBatch(const BatchOptions &options, std::uint32_t masterSeed, bool seedFromClock,
                      const std::function<void(const std::string &)> &report,
                      const std::function<void(std::int64_t, std::int64_t)> &progress, const StudyWarnings *warnings) {
    const StudyLayout layout = Layout(options);
    const std::size_t runs = RunCount(layout);
    int jobs = options.Jobs > 0 ? options.Jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::clamp(jobs, 1, static_cast<int>(std::clamp<std::size_t>(runs, 1, MaxJobs)));
    // The processors are shared between the runs at a time and the dispersal passes
    // within each run; the results depend on neither.
    BatchRuns batch{options,
                    layout,
                    {masterSeed, seedFromClock, {}, {}},
                    warnings,
                    PointInputs(options),
                    std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / jobs)};
    const std::int64_t stepsInAll =
        static_cast<std::int64_t>(runs) * std::max(0, FieldToInteger(options.Settings.Run.StepCount));
    BatchOutcome outcome;
    outcome.Runs.resize(runs);
    InOrderOutputs ordered(options, outcome);
    if (const std::string problem = ordered.Open(); !problem.empty()) {
        if (report) report(problem);
        outcome.ExitStatus = 1;
        return outcome;
    }
    // A window of twice the runs at a time keeps every thread busy while one run is
    // slower than the others, and bounds the rows waiting to be written.
    OrderedOutput output([&](std::size_t index, std::string &rows) { ordered.Consume(index, rows); },
                         2 * static_cast<std::size_t>(jobs));
    std::atomic<std::size_t> next{0};
    std::mutex mutex;  // guards `finished` and the calls of `report`
    std::condition_variable allFinished;
    std::size_t finished = 0;
    auto worker = [&] {
        for (std::size_t index; (index = next.fetch_add(1)) < runs;) {
            output.WaitForTurn(index);
            std::string rows;
            RunRecord record = batch.Run(index, options.TablePath.empty() ? nullptr : &rows);
            {
                std::lock_guard lock(mutex);
                if (!record.Completed && report) report(RunLabel(options, record) + record.Message);
                outcome.Runs[index] = std::move(record);
            }
            output.Submit(index, std::move(rows));
            std::lock_guard lock(mutex);
            ++finished;
            allFinished.notify_all();
        }
    };
    std::vector<std::thread> threads = StartWorkers(jobs, worker);
    {
        std::unique_lock lock(mutex);
        while (finished < runs) {
            allFinished.wait_for(lock, std::chrono::milliseconds(200));
            // Under the lock, so that the progress line and error reports never interleave.
            if (progress) progress(batch.stepsDone.load(), stepsInAll);
        }
    }
    for (std::thread &t : threads) t.join();
    bool failed = !ordered.Finish(report);
    for (const RunRecord &r : outcome.Runs) failed = failed || !r.Completed;
    outcome.ExitStatus = failed ? 1 : 0;
    return outcome;
}

}  // namespace glebix::batch
