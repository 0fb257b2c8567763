// The study loop of the batch tool: the runs of every point and replicate handed to
// the threads in the invocation's order, their table rows and records handed on in
// that order, and the progress shown from the calling thread.
#include <algorithm>
#include <map>
#include <mutex>
#include <new>

#include "BatchRun.h"
#include "Conversions.h"
#include "Errors.h"
#include "EarlierStudy.h"
#include "Messages.h"
#include "OrderedPieces.h"
#include "StudyOutputs.h"
#include "StudyRunner.h"
#include "Threads.h"

namespace glebix::batch {

using namespace glebix::invocation;

// The core's names are this layer's words.
using namespace glebix::core;

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
// which one is its; nothing per point while every point has the first list, as with
// most designs, however many points they have.
struct PointInputs {
    std::vector<std::vector<InputFileRecord>> lists;
    std::vector<std::uint32_t> listOf;  // empty: the first list for every point

    explicit PointInputs(const BatchOptions &options) {
        std::map<std::string, InputFileRecord> digests;
        std::map<std::string, std::uint32_t> known;  // a list by its roles and paths
        for (std::size_t k = 0; k < options.Points.size(); ++k) {
            const TSettings settings = PointSettings(options, options.Points[k]);
            std::vector<InputFileRecord> list = DescribeInputs(options, &settings, &digests);
            std::string key;
            for (const InputFileRecord &r : list) key += r.Role + '\0' + r.Path + '\0';
            const auto [at, added] = known.try_emplace(key, static_cast<std::uint32_t>(lists.size()));
            if (added) lists.push_back(std::move(list));
            if (at->second != 0 && listOf.empty()) {
                listOf.reserve(options.Points.size());
                listOf.resize(k, 0);
            }
            if (!listOf.empty()) listOf.push_back(at->second);
            if (!options.StudyDesign) break;
        }
    }
    const std::vector<InputFileRecord> &Of(const std::vector<int> &points, int point) const {
        if (listOf.empty()) return lists.at(0);
        const auto at = std::lower_bound(points.begin(), points.end(), point);
        return lists.at(listOf.at(at == points.end() ? 0 : static_cast<std::size_t>(at - points.begin())));
    }
};

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
    OrderedPieces *output = nullptr;  // hands the table rows on in run order
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
            if (StopSignal().load() == 0) record = Run(run, OutputAsked(options, "--table").empty() ? nullptr : &rows);
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
        output->Submit(index, rows);
    }

    static void OutOfMemory(RunRecord &record) {
        record.Completed = record.Interrupted = false;
        record.SystemFault = true;
        try {
            record.Message = LocalMessage(MsgOutOfMemory);
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
    Batch batch(options, report, {masterSeed, seedFromClock, {}, {}, {}}, warnings);
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
    OrderedPieces output(
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
