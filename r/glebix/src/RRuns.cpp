// Many runs at once: every replicate of every point, `cores` runs at a time on worker
// threads, gathered in the order of point, then replicate. The rows of a run depend
// only on its settings and its seed, so they are the same for any number of cores.
#include <Rcpp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#include "EventInputs.h"
#include "RasterInput.h"
#include "RGlue.h"
#include "RSettings.h"
#include "RTrace.h"
#include "RunMetrics.h"
#include "RunSession.h"
#include "SeedMixing.h"
#include "SettingsTable.h"
#include "StopRule.h"
#include "StudyPlan.h"
#include "StudyTable.h"
#include "StudyRunner.h"
#include "Simul.h"
#include "Warnings.h"
#include "PlotShape.h"

namespace glebix::r {

namespace {

struct RunJob {
    int Point;      // from 1
    int Replicate;  // from 1
    std::uint32_t Seed;
};

struct RunResult {
    std::vector<TraceValues> Rows;  // step 0 first, as far as the run got
    std::string StoppedBy;          // the rule that ended the run early; empty: none
    bool Failed = false;
    std::unique_ptr<GlebixError> Error;
};

// Everything a run reads before its first step, tried on a scratch engine: a bad
// file or species value stops the whole sweep before any run starts. The message
// names the point when there is a design (`point` from 1), not otherwise (0).
void CheckPoint(const TSettings &settings, int point) {
    auto scratch = std::make_unique<Simul>();
    scratch->Settings = settings;
    scratch->GivenInputs = gis::InitialInputs(settings);
    scratch->RefuseChartCellOutside = true;
    try {
        scratch->InitialisePlot();
        scratch->TakeSpeciesParameters();
        const std::vector<std::string> problems = core::RunScheduleProblems(settings, scratch->GivenInputs, false);
        if (!problems.empty()) throw GlebixError(problems.front());
    } catch (GlebixError &e) {
        if (point == 0) throw;
        throw GlebixError(
            core::Labelled(core::Message("run.point", {std::to_string(point)}), core::LocalMessage(e.Message())),
            e.Context());
    }
}

// One run, ended early where one of `rules` holds, as the batch tool's.
void RunOne(const TSettings &settings, const RunJob &job, int steps, int threads,
            const std::vector<core::StopRule> &rules, const std::atomic<bool> &cancel, RunResult &result) {
    core::StepTrace trace;
    try {
        core::RunSession run(core::RunStart{settings, job.Seed, job.Seed, steps, threads, nullptr});
        run.Observe(trace);
        run.StopWhen(rules);
        run.SetUp();
        while (run.StepIndex() < steps && run.StoppedBy().empty() && !cancel.load(std::memory_order_relaxed))
            run.Step();
        result.StoppedBy = run.StoppedBy();
    } catch (const GlebixError &e) {
        result.Failed = true;
        result.Error = std::make_unique<GlebixError>(e);
    } catch (const std::exception &e) {
        result.Failed = true;
        result.Error = std::make_unique<GlebixError>(ErrorMessageOf(e));
    }
    result.Rows = trace.Take();
}

// Tells `report` (an R function, or NULL) that `count` more runs have ended.
void ReportFinished(SEXP report, std::size_t count) {
    if (Rf_isNull(report) || count == 0) return;
    Rcpp::unwindProtect([&]() -> SEXP {
        SEXP call = PROTECT(Rf_lang2(report, Rf_ScalarInteger(static_cast<int>(count))));
        Rf_eval(call, R_GlobalEnv);
        UNPROTECT(1);
        return R_NilValue;
    });
}

// Runs every job, `cores` at a time, in the core's study runner; the calling thread
// reports the runs ended and watches for an interrupt or a time limit, after which the
// runs stop at their next step and R's condition goes on once every thread has ended.
void RunAll(const std::vector<TSettings> &points, const std::vector<RunJob> &jobs, int steps, int cores, int threads,
            const std::vector<core::StopRule> &rules, SEXP report, std::vector<RunResult> &results) {
    std::atomic<bool> stop{false};
    std::size_t reported = 0;
    core::RunStudy(
        jobs.size(), cores,
        [&](std::size_t k, std::atomic<bool> &halt) {
            if (!halt.load()) RunOne(points[jobs[k].Point - 1], jobs[k], steps, threads, rules, halt, results[k]);
        },
        [&](std::size_t ended) {
            CheckInterrupt();
            ReportFinished(report, ended - reported);
            reported = ended;
        },
        stop);
}

// What the study table keeps of each run (glebix-batch --table-every and
// --table-metric): the rows of some steps, and the run's metrics as columns; with
// stopping rules, the column of the rule that stopped each run.
struct TableChoice {
    core::TableSteps Steps;
    std::vector<std::string> Metrics;
    int StepCount = 0;
    bool StopColumn = false;
    core::CountColumns Counts;
};

// The rows of one run that the table keeps; the metrics of the whole run are added to
// `metrics` once per row kept (missing when it did not complete).
std::vector<TraceValues> KeptRows(std::vector<TraceValues> &rows, const RunResult &run, const TableChoice &choice,
                                  std::vector<std::vector<double>> &metrics) {
    if (choice.Steps.KeepsAll() && choice.Metrics.empty()) return std::move(rows);
    std::vector<TraceValues> kept;
    analysis::RunMetricsRecorder recorder(choice.Metrics);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        recorder.Add(rows[k].Step, rows[k].Record);
        if (k + 1 == rows.size() || core::KeepsStep(choice.Steps, rows[k].Step, choice.StepCount))
            kept.push_back(rows[k]);
    }
    const bool completed =
        !run.Failed && !rows.empty() && (rows.back().Step == choice.StepCount || !run.StoppedBy.empty());
    const std::vector<double> values = recorder.Values(completed);
    for (std::size_t m = 0; m < values.size(); ++m) metrics[m].insert(metrics[m].end(), kept.size(), values[m]);
    return kept;
}

// The runs' rows as columns: point, replicate, seed, the trace's columns, the rule
// that stopped the run (on the row of its stop, "" on the others), then the metrics
// asked. Each run's rows are released once gathered, so that a large sweep is not held
// twice over.
Rcpp::List Columns(const std::vector<RunJob> &jobs, std::vector<RunResult> &results, const TableChoice &choice) {
    std::vector<TraceValues> rows;
    std::vector<std::vector<double>> metrics(choice.Metrics.size());
    std::vector<int> point, replicate;
    std::vector<double> seed;
    std::vector<std::string> stoppedBy;
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        const std::vector<TraceValues> kept = KeptRows(results[k].Rows, results[k], choice, metrics);
        for (const TraceValues &v : kept) {
            point.push_back(jobs[k].Point);
            replicate.push_back(jobs[k].Replicate);
            seed.push_back(jobs[k].Seed);
            rows.push_back(v);
            if (choice.StopColumn) stoppedBy.push_back(&v == &kept.back() ? results[k].StoppedBy : std::string());
        }
        std::vector<TraceValues>().swap(results[k].Rows);
    }
    Rcpp::List out = Rcpp::List::create(Rcpp::wrap(point), Rcpp::wrap(replicate), Rcpp::wrap(seed));
    Rcpp::CharacterVector names = {"point", "replicate", "seed"};
    AppendTraceColumns(rows, out, names, choice.Counts);
    if (choice.StopColumn) {
        out.push_back(Utf8Vector(stoppedBy));
        names.push_back(core::StoppedByColumn);
    }
    for (std::size_t m = 0; m < metrics.size(); ++m) {
        Rcpp::NumericVector values = Rcpp::wrap(metrics[m]);
        for (R_xlen_t k = 0; k < values.size(); ++k)
            if (std::isnan(values[k])) values[k] = NA_REAL;
        out.push_back(values);
        names.push_back(Utf8(choice.Metrics[m]));
    }
    out.attr("names") = names;
    return out;
}

// The choice's texts checked by the core, as the batch tool's options are.
TableChoice TableChoiceOf(SEXP every, SEXP metrics, int stepCount, bool stopColumn) {
    TableChoice choice;
    choice.StepCount = stepCount;
    choice.StopColumn = stopColumn;
    const std::string everyText = Text(every);
    if (!everyText.empty()) {
        const auto steps = core::ParseTableSteps(everyText);
        if (!steps) throw GlebixError(core::Message("option.bad_table_every", {"table_every", everyText}));
        choice.Steps = *steps;
    }
    for (const std::string &name : Rcpp::as<std::vector<std::string>>(metrics)) {
        if (!analysis::IsRecordedMetric(name))
            throw GlebixError(core::Message("option.bad_table_metric", {"table_metrics", name}));
        if (std::find(choice.Metrics.begin(), choice.Metrics.end(), name) != choice.Metrics.end())
            throw GlebixError(core::Message("option.table_metric_twice", {"table_metrics", name}));
        choice.Metrics.push_back(name);
    }
    return choice;
}

// The settings of every point: `base`, then the point's row of `design` (points x
// names, texts; NA keeps the value the point has without it).
std::vector<TSettings> PointSettings(const TSettings &base, SEXP names, SEXP design) {
    const Rcpp::CharacterVector designNames(names);
    const Rcpp::CharacterMatrix values(design);
    std::vector<TSettings> points(static_cast<std::size_t>(values.nrow()), base);
    for (int p = 0; p < values.nrow(); ++p) {
        for (int c = 0; c < values.ncol(); ++c) {
            const SEXP cell = STRING_ELT(values, p + static_cast<R_xlen_t>(c) * values.nrow());
            if (cell == NA_STRING) continue;
            ApplyOrRaise(Rcpp::as<std::string>(designNames[c]), CHAR(cell), points[static_cast<std::size_t>(p)]);
        }
    }
    return points;
}

// The runs of the selected points (numbers from 1, ascending), each point's
// replicates in order: all `replicates` of them, or those of `only` when it is not
// empty (a share of the study, with the seeds the whole study gives them).
std::vector<RunJob> PlanJobs(const std::vector<int> &selected, int replicates, const std::vector<int> &only,
                             std::uint32_t master, bool independent) {
    std::vector<int> numbers = only;
    if (numbers.empty())
        for (int r = 1; r <= replicates; ++r) numbers.push_back(r);
    std::vector<RunJob> jobs;
    for (int p : selected)
        for (int r : numbers) jobs.push_back({p, r, core::StudySeed(master, p, r, replicates, independent)});
    return jobs;
}

// The text of each design column's setting as each point's runs use it (points x
// names), an NA of the design showing the value the point has without it.
Rcpp::CharacterMatrix UsedTexts(const std::vector<TSettings> &points, SEXP names) {
    const Rcpp::CharacterVector designNames(names);
    Rcpp::CharacterMatrix used(static_cast<int>(points.size()), static_cast<int>(designNames.size()));
    for (int c = 0; c < designNames.size(); ++c) {
        const std::string name = Rcpp::as<std::string>(designNames[c]);
        for (std::size_t p = 0; p < points.size(); ++p)
            used(static_cast<int>(p), c) = Utf8(core::SettingText(name, points[p]));
    }
    return used;
}

Rcpp::List Failures(const std::vector<RunJob> &jobs, const std::vector<RunResult> &results) {
    Rcpp::List failures;
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        if (!results[k].Failed) continue;
        Rcpp::List f = Failure(*results[k].Error);
        f["point"] = jobs[k].Point;
        f["replicate"] = jobs[k].Replicate;
        f["seed"] = static_cast<double>(jobs[k].Seed);
        failures.push_back(f);
    }
    return failures;
}

}  // namespace

}  // namespace glebix::r

using namespace glebix;
using namespace glebix::r;

// Every replicate of the selected points of a design (see PointSettings), or those
// numbered in `only` when it is not empty, `report`
// (an R function, or NULL) told of the runs as they end. Returns the
// columns, with a "failures" attribute listing the runs that stopped on an error
// (their rows go as far as they got) and a "used" attribute (UsedTexts). `tableEvery`
// ("" for every step) and `tableMetrics` thin the rows and add the runs' metrics;
// `stopWhen` (glebix-batch's --stop-when texts) ends each run early.
extern "C" SEXP gx_run_many(SEXP species, SEXP names, SEXP values, SEXP pointNames, SEXP pointValues, SEXP selected,
                            SEXP replicates, SEXP only, SEXP master, SEXP independent, SEXP steps, SEXP cores,
                            SEXP threads, SEXP report, SEXP tableEvery, SEXP tableMetrics, SEXP stopWhen) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const std::vector<core::StopRule> rules =
            core::StopRulesOf(Rcpp::as<std::vector<std::string>>(stopWhen), "stop_when");
        TableChoice choice = TableChoiceOf(tableEvery, tableMetrics, Rcpp::as<int>(steps), !rules.empty());
        const TSettings base = BuildSettings(Text(species), Rcpp::as<std::vector<std::string>>(names),
                                             Rcpp::as<std::vector<std::string>>(values));
        std::vector<TSettings> points = PointSettings(base, pointNames, pointValues);
        const std::vector<int> chosen = Rcpp::as<std::vector<int>>(selected);
        const int stepCount = Rcpp::as<int>(steps);
        for (int p : chosen) {
            points[static_cast<std::size_t>(p - 1)].Run.StepCount = std::to_string(stepCount);
            CheckPoint(points[static_cast<std::size_t>(p - 1)], Rf_length(pointNames) > 0 ? p : 0);
        }
        const std::vector<RunJob> jobs =
            PlanJobs(chosen, Rcpp::as<int>(replicates), Rcpp::as<std::vector<int>>(only),
                     static_cast<std::uint32_t>(Rcpp::as<double>(master)), Rcpp::as<bool>(independent));
        std::vector<RunResult> results(jobs.size());
        const int runsAtOnce = core::RunsAtOnce(Rcpp::as<int>(cores), jobs.size());
        RunAll(points, jobs, stepCount, runsAtOnce, core::DispersalThreadsPerRun(Rcpp::as<int>(threads), runsAtOnce),
               rules, report, results);

        choice.Counts = core::TableCounts(base, Rcpp::as<std::vector<std::string>>(pointNames));
        Rcpp::List out = Columns(jobs, results, choice);
        out.attr("failures") = Failures(jobs, results);
        out.attr("used") = UsedTexts(points, pointNames);
        return out;
    });
    END_RCPP
}

// The seed that replicate `run` of a sweep with master seed `master` uses.
extern "C" SEXP gx_replicate_seed(SEXP master, SEXP run) {
    BEGIN_RCPP
    return Rcpp::wrap(static_cast<double>(
        core::ReplicateSeed(static_cast<std::uint32_t>(Rcpp::as<double>(master)), Rcpp::as<int>(run))));
    END_RCPP
}

// The runs of the points `selected`, `replicates` each, in the order of the core's
// studies (point, then replicate): the tasks of a study on a future plan.
extern "C" SEXP gx_study_runs(SEXP selected, SEXP replicates) {
    BEGIN_RCPP
    core::StudyLayout layout;
    layout.Points = Rcpp::as<std::vector<int>>(selected);
    layout.Replicates = Rcpp::as<int>(replicates);
    std::vector<int> points, runs;
    for (std::size_t k = 0; k < core::RunCount(layout); ++k) {
        const core::StudyRun run = core::PlanStudyRun(layout, k, 0);
        points.push_back(run.Point);
        runs.push_back(run.Replicate);
    }
    return Rcpp::List::create(Rcpp::Named("point") = points, Rcpp::Named("replicate") = runs);
    END_RCPP
}

// The dispersal threads of one run handed to a future as a task of its own.
extern "C" SEXP gx_task_threads(SEXP asked) {
    BEGIN_RCPP
    return Rcpp::wrap(core::TaskThreadsPerRun(Rcpp::as<int>(asked)));
    END_RCPP
}

// The batch tool's warnings about runs with these settings and, with a design, about
// its selected points, each point's own prefixed with its number.
extern "C" SEXP gx_run_warnings(SEXP species, SEXP names, SEXP values, SEXP pointNames, SEXP pointValues,
                                SEXP selected) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const std::string speciesPath = Text(species);
        const TSettings base = BuildSettings(speciesPath, Rcpp::as<std::vector<std::string>>(names),
                                             Rcpp::as<std::vector<std::string>>(values));
        std::vector<std::pair<int, TSettings>> chosen;
        if (Rf_length(pointNames) > 0) {
            const std::vector<TSettings> points = PointSettings(base, pointNames, pointValues);
            for (int p : Rcpp::as<std::vector<int>>(selected)) chosen.emplace_back(p, points[p - 1]);
        }
        std::vector<std::string> speciesPaths;
        if (!speciesPath.empty()) speciesPaths.push_back(speciesPath);
        InputBytes files;
        return Utf8Vector(core::RunWarnings(base, chosen, speciesPaths, files).All());
    });
    END_RCPP
}
