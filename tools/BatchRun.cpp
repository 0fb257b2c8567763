#include "BatchRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "Conversions.h"
#include "FileIo.h"
#include "Simul.h"

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
                 LineWriter &trace) {
    record.StepsReached = step;
    // The per-step values are kept only for the summary across replicates.
    if (options.ReplicateLayout && !PrimaryOutputDir(options).empty()) {
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
    simul->Settings = options.Settings;
    simul->Settings.Run.ResultDirectory = plan.OutDir;
    simul->GivenInputs = options.Files;
    simul->SetDispersalThreads(plan.DispersalThreads);
    return simul;
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
    const auto simul = MakeEngine(options, plan);
    try {
        record.StepCount = FieldToInteger(simul->Settings.Run.StepCount);
        LineWriter trace;
        PrepareOutputs(plan, trace);
        simul->SetUpRun(plan.Seed);
        for (std::int32_t step = 1; step <= record.StepCount; ++step) {
            simul->TimeStep();
            StepOutputs(options, plan, step, *simul, record, trace);
            if (stepsDone) stepsDone->fetch_add(1, std::memory_order_relaxed);
        }
        FinalOutputs(plan, *simul, record, trace);
        record.Completed = true;
    } catch (const std::exception &e) { record.Message = e.what(); }
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

namespace {

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
    int jobs = options.Jobs > 0 ? options.Jobs : static_cast<int>(std::thread::hardware_concurrency());
    jobs = std::clamp(jobs, 1, std::min(runs, MaxJobs));
    // The processors are shared between the runs at a time and the dispersal passes
    // within each run; the results depend on neither.
    const int dispersalThreads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / jobs);
    const std::vector<InputFileRecord> inputs = DescribeInputs(options);
    const ManifestFacts facts{masterSeed, seedFromClock, {}};
    const std::int64_t stepsInAll =
        static_cast<std::int64_t>(runs) * std::max(0, FieldToInteger(options.Settings.Run.StepCount));

    BatchOutcome outcome;
    outcome.Runs.resize(static_cast<std::size_t>(runs));
    std::atomic<int> next{1};
    std::atomic<std::int64_t> stepsDone{0};
    std::mutex mutex;  // guards `finished` and the calls of `report`
    std::condition_variable allFinished;
    int finished = 0;

    auto worker = [&] {
        for (int run; (run = next.fetch_add(1)) <= runs;) {
            RunPlan plan = PlanRun(options, run, masterSeed);
            plan.DispersalThreads = dispersalThreads;
            RunRecord record = RunOne(options, plan, inputs, facts, &stepsDone);
            std::lock_guard lock(mutex);
            if (!record.Completed && report)
                report((options.ReplicateLayout ? "simulation " + std::to_string(run) + " : " : std::string()) +
                       record.Message);
            outcome.Runs[static_cast<std::size_t>(run - 1)] = std::move(record);
            ++finished;
            allFinished.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int k = 0; k < jobs; ++k) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error &) {
            break;  // fewer threads than asked: those started share the runs
        }
    }
    if (threads.empty()) worker();
    {
        std::unique_lock lock(mutex);
        while (finished < runs) {
            allFinished.wait_for(lock, std::chrono::milliseconds(200));
            // Under the lock, so that the progress line and error reports never interleave.
            if (progress) progress(stepsDone.load(), stepsInAll);
        }
    }
    for (std::thread &t : threads) t.join();

    bool failed = false;
    for (const RunRecord &r : outcome.Runs) failed = failed || !r.Completed;
    if (!WriteSummary(options, outcome, report)) failed = true;
    outcome.ExitStatus = failed ? 1 : 0;
    return outcome;
}

}  // namespace glebix::batch
