#include "CalibrationStudy.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "AbcDrive.h"
#include "AtomicFile.h"
#include "CalibrationError.h"
#include "CalibrationSlices.h"
#include "Conversions.h"
#include "Errors.h"
#include "Factors.h"
#include "JsonText.h"
#include "Manifest.h"
#include "RasterInput.h"
#include "Messages.h"
#include "RunMetrics.h"
#include "RunSession.h"
#include "Sampling.h"
#include "SensitivityFiles.h"
#include "Sha256.h"
#include "SettingsTable.h"
#include "Version.h"
#include "StudyRunner.h"
#include "StudyTable.h"

namespace glebix::analysis {

namespace {

using calibration::Observation;
using core::Message;

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();
// The tolerances' quantile of abc-smc: each generation keeps the closer half.
constexpr double SmcQuantile = 0.5;
// abc-smc's population, whatever the accept fraction: a twentieth of its run budget
// (about five generations' worth), within these bounds.
constexpr std::size_t SmcBudgetPerParticle = 20;
constexpr std::size_t SmcLeastPopulation = 50, SmcMostPopulation = 1000;
// Every run of a calibration records the emigrants' column, 0 on a torus.
constexpr bool RecordEmigrants = true;

bool IsStepColumn(std::string_view name) {
    if (name == core::EmigrantsColumnName) return true;
    for (const char *column : core::StepColumnNames)
        if (name == column && name != "step") return true;
    return false;
}

std::string CountOf(std::size_t n) { return std::to_string(n); }

// A problem of a calibration's own, in the user's language.
std::string Said(const calibration::CalibrationError &e) { return core::LocalExceptionMessage(e); }

std::size_t SmcPopulation(std::size_t budget) {
    return std::clamp(budget / SmcBudgetPerParticle, SmcLeastPopulation, SmcMostPopulation);
}

}  // namespace

std::optional<CalibrationMethod> CalibrationMethodNamed(std::string_view name) {
    if (name == "abc-rejection") return CalibrationMethod::Rejection;
    if (name == "abc-smc") return CalibrationMethod::Smc;
    return std::nullopt;
}

std::string_view CalibrationMethodName(CalibrationMethod method) {
    return method == CalibrationMethod::Rejection ? "abc-rejection" : "abc-smc";
}

std::optional<PriorSample> PriorSampleNamed(std::string_view name) {
    for (PriorSample s : {PriorSample::Lhs, PriorSample::Sobol, PriorSample::Uniform})
        if (PriorSampleName(s) == name) return s;
    return std::nullopt;
}

std::string_view PriorSampleName(PriorSample sample) {
    switch (sample) {
    case PriorSample::Lhs:
        return "lhs";
    case PriorSample::Sobol:
        return "sobol";
    case PriorSample::Uniform:
        return "uniform";
    }
    return {};
}

bool IsObservableMetric(std::string_view name) {
    if (IsStepColumn(name)) return true;
    constexpr std::string_view TimeMean = "time_mean_";
    if (name.substr(0, TimeMean.size()) == TimeMean) return IsStepColumn(name.substr(TimeMean.size()));
    return IsRunMetric(name);
}

RunObservations ReadRunObservations(std::string_view text, const std::string &source, std::int32_t steps) {
    RunObservations out;
    calibration::CsvText csv;
    try {
        csv = calibration::ParseCsv(text, source);
        out.Observations = calibration::ReadObservations(csv, source);
    } catch (const calibration::CalibrationError &e) {
        out.Problems.push_back(Said(e));
        return out;
    }
    for (std::size_t r = 0; r < out.Observations.size(); ++r) {
        Observation &o = out.Observations[r];
        const std::string line = CountOf(csv.Lines[r]);
        if (!IsObservableMetric(o.Metric)) {
            out.Problems.push_back(Message("calibration.unknown_metric", {source, line, o.Metric}));
            continue;
        }
        if (!IsStepColumn(o.Metric)) {
            if (!o.Step.empty())
                out.Problems.push_back(Message("calibration.run_metric_step", {source, line, o.Metric, o.Step}));
            continue;
        }
        const auto step = ParseWholeToken(o.Step);
        if (!step || *step < 0 || *step > steps)
            out.Problems.push_back(Message("calibration.step_outside", {source, line, o.Step, std::to_string(steps)}));
        else
            o.Step = std::to_string(*step);  // as a run's rows write it: "+05" is step 5
    }
    if (!out.Problems.empty()) out.Observations.clear();
    return out;
}

std::vector<double> RunSummaries(std::string_view runTable, std::span<const Observation> observations) {
    std::vector<std::string> runMetrics;
    for (const Observation &o : observations)
        if (!IsStepColumn(o.Metric)) runMetrics.push_back(o.Metric);
    calibration::CsvText rows = calibration::ParseCsv(runTable, "");
    calibration::CsvText metrics;
    if (!runMetrics.empty()) {
        const RunMetricsTable table = RunMetricsOf(runTable, "", {}, runMetrics);
        if (!table.Problems.empty()) return {};
        metrics = calibration::ParseCsv(table.Text, "");
    }
    const auto column = [](const calibration::CsvText &csv, const std::string &name) {
        return static_cast<std::size_t>(std::find(csv.Header.begin(), csv.Header.end(), name) - csv.Header.begin());
    };
    const std::size_t stepColumn = column(rows, "step");
    std::vector<double> out;
    for (const Observation &o : observations) {
        const bool runMetric = !IsStepColumn(o.Metric);
        const calibration::CsvText &csv = runMetric ? metrics : rows;
        const std::size_t c = column(csv, o.Metric);
        double value = NotANumber;
        for (const auto &row : csv.Rows)
            if (c < row.size() && (runMetric || row[stepColumn] == o.Step)) {
                value = ParseRealToken(row[c]).value_or(NotANumber);
                break;
            }
        out.push_back(value);
    }
    return out;
}

std::size_t CalibrationTargets::Size() const {
    std::size_t n = Series.size();
    for (const GridObservation &g : Grids) n += GridEntries(g.Values, Compare).size();
    return n;
}

namespace {

// Thrown when the request's Interrupted says so, once the runs under way have stopped.
struct CalibrationInterrupted {};
// Thrown to end a calibration made in slices short of its results, with what is said.
struct CalibrationStopped {
    CalibrationEnd End;
    std::string Said;
};
// Thrown when the slice files of the batch to gather do not make it.
struct SlicesRefused {
    std::vector<std::string> Problems;
};

// The batch a calibration made in slices is at: its generation and place in it, the
// batches of its generation gathered so far, and whether this invocation has gathered a
// batch already.
struct SlicePlace {
    std::size_t Generation = 0, Batch = 0;
    std::vector<CalibrationBatchId> Taken;
    bool Gathered = false;
};

using Targets = CalibrationTargets;

// The run's summaries: its rows as a study table holds them, and its grids at the
// observed steps captured while it runs; throws on a fault of the run.
std::vector<double> RunTargets(const CalibrationRequest &request, const std::vector<Factor> &factors,
                               const CalibrationRun &run, std::int32_t steps, const Targets &targets,
                               const std::atomic<bool> &stop) {
    TSettings settings = request.Settings;
    for (std::size_t f = 0; f < factors.size(); ++f) {
        const double value = factors[f].Whole ? std::nearbyint(run.Values[f]) : run.Values[f];
        if (auto problem = core::ApplySetting(factors[f].Name, ValueText(factors[f], value), settings))
            throw GlebixError(*problem);
    }
    core::RunSession session(core::RunStart{settings, run.Seed, request.Seed, steps, 1, request.Inputs});
    GridCapture capture(targets.Grids);
    session.Observe(capture);
    std::string table = core::StudyTableHeader({}, RecordEmigrants);
    const std::string prefix = core::StudyRowPrefix(static_cast<int>(run.Point), 1, run.Seed, {});
    session.SetUp();
    core::AppendStudyRow(table, prefix, 0, session.Record(), RecordEmigrants);
    session.Run(steps, [&] {
        if (stop.load(std::memory_order_relaxed)) throw GlebixError("stop");
        core::AppendStudyRow(table, prefix, session.StepIndex(), session.Record(), RecordEmigrants);
    });
    std::vector<double> out = RunSummaries(table, targets.Series);
    const std::vector<double> grids = CapturedEntries(capture, targets.Grids, targets.Compare);
    if (out.empty() || (grids.empty() && !targets.Grids.empty())) return {};
    out.insert(out.end(), grids.begin(), grids.end());
    return out;
}

// Each run's summaries through the core's study runner; none for a run that faulted.
std::vector<std::vector<double>> LocalBatch(const CalibrationRequest &request, const std::vector<Factor> &factors,
                                            const std::vector<CalibrationRun> &runs, const Targets &targets,
                                            std::int32_t steps) {
    std::vector<std::vector<double>> summaries(runs.size());
    std::atomic<bool> stop{false};
    core::RunStudy(
        runs.size(), core::RunsAtOnce(request.Jobs, runs.size()),
        [&](std::size_t k, std::atomic<bool> &halt) {
            try {
                summaries[k] = RunTargets(request, factors, runs[k], steps, targets, halt);
            } catch (const std::exception &) { summaries[k].clear(); }
        },
        [&request](std::size_t) {
            if (request.Interrupted && request.Interrupted()) throw CalibrationInterrupted{};
        },
        stop);
    return summaries;
}

// The batch's runs on this machine or through the request's runner.
std::vector<std::vector<double>> MadeBatch(const CalibrationRequest &request, const std::vector<Factor> &factors,
                                           const std::vector<CalibrationRun> &runs, const Targets &targets,
                                           std::int32_t steps) {
    if (!request.RunBatch) return LocalBatch(request, factors, runs, targets, steps);
    std::vector<std::vector<double>> summaries = request.RunBatch(runs);
    if (summaries.size() != runs.size())
        throw calibration::CalibrationError("calibration.run_count", {CountOf(summaries.size()), CountOf(runs.size())});
    if (request.Interrupted && request.Interrupted()) throw CalibrationInterrupted{};
    return summaries;
}

// What a run's summaries are: its steps and the targets' metrics, steps and grids.
std::string WhatRunsGive(const Targets &targets, std::int32_t steps) {
    std::string text = "steps " + std::to_string(steps) + "\n";
    for (const Observation &o : targets.Series) text += o.Metric + ' ' + o.Step + '\n';
    for (const GridObservation &g : targets.Grids)
        text += std::string(GridFieldName(g.Field)) + ' ' + std::to_string(g.Step) + ' ' +
                std::string(GridCompareName(targets.Compare)) + '\n';
    return text;
}

// The request's slice of the batch made and written to its slice file; always throws.
[[noreturn]] void RunSlice(const CalibrationRequest &request, const std::vector<Factor> &factors,
                           const std::vector<CalibrationRun> &runs, const Targets &targets, std::int32_t steps,
                           const CalibrationBatchId &id) {
    const auto [first, last] = core::SliceBounds(static_cast<int>(runs.size()), *request.Slice);
    const std::vector<CalibrationRun> share(runs.begin() + first, runs.begin() + last);
    CalibrationSlice slice{id, *request.Slice, runs.size(), static_cast<std::size_t>(first), {}};
    if (auto refused = CalibrationSliceNotReplaced(request.OutDir, slice)) throw SlicesRefused{{*refused}};
    slice.Summaries = MadeBatch(request, factors, share, targets, steps);
    std::filesystem::create_directories(request.OutDir);
    const std::string path = WriteCalibrationSlice(request.OutDir, slice);
    throw CalibrationStopped{
        CalibrationEnd::SliceWritten,
        Message("calibration.slice_written",
                {std::to_string(request.Slice->Index), std::to_string(request.Slice->Count), CountOf(share.size()),
                 CountOf(runs.size()), CountOf(id.Generation), CountOf(id.Batch), path})};
}

// The batch's summaries from its slice files when the calibration is made in slices;
// nothing when its runs are made here. A slice runs its share of the first batch not
// gathered yet; the gathering refuses slice files that do not make the batch, and stops
// at the first batch without any once it has gathered one, keeping the list of the
// batches of the generation gathered so far for the slices to come.
std::optional<std::vector<std::vector<double>>> SlicedBatch(const CalibrationRequest &request,
                                                            const std::vector<Factor> &factors,
                                                            const std::vector<CalibrationRun> &runs,
                                                            const Targets &targets, std::int32_t steps,
                                                            SlicePlace &place) {
    if (!request.Slice && !request.Gather) return std::nullopt;
    const CalibrationBatchId id{place.Generation, place.Batch,
                                CalibrationBatchDigest(runs, WhatRunsGive(targets, steps))};
    GatheredBatch gathered = GatherCalibrationSlices(request.OutDir, id, runs.size());
    if (request.Slice) {
        if (IsGatheredCalibrationBatch(request.OutDir, id) && !gathered.None && gathered.Problems.empty())
            return std::move(gathered.Summaries);
        RunSlice(request, factors, runs, targets, steps, id);
    }
    // What this gathering took stays taken, for the slices of the batch it stops at.
    if ((gathered.None || !gathered.Problems.empty()) && !place.Taken.empty())
        KeepGatheredCalibrationBatches(request.OutDir, place.Taken);
    if (gathered.None && place.Gathered) {
        throw CalibrationStopped{CalibrationEnd::BatchPending,
                                 Message("calibration.batch_pending", {CountOf(id.Generation), CountOf(id.Batch)})};
    }
    if (gathered.None)
        throw SlicesRefused{
            {Message("calibration.slices_none", {CountOf(id.Generation), CountOf(id.Batch), request.OutDir})}};
    if (!gathered.Problems.empty()) throw SlicesRefused{std::move(gathered.Problems)};
    place.Gathered = true;
    place.Taken.push_back(id);
    return std::move(gathered.Summaries);
}

// The batch's runs, on this machine, through the request's runner or from slice files, as
// a matrix of their summaries (missing values for a run that faulted, counted in `faulted`).
calibration::Matrix RunAll(const CalibrationRequest &request, const std::vector<Factor> &factors,
                           const std::vector<CalibrationRun> &runs, const Targets &targets, std::int32_t steps,
                           std::size_t &faulted, SlicePlace &place) {
    std::vector<std::vector<double>> summaries;
    if (auto sliced = SlicedBatch(request, factors, runs, targets, steps, place)) {
        summaries = std::move(*sliced);
    } else {
        summaries = MadeBatch(request, factors, runs, targets, steps);
    }
    calibration::Matrix out(0, targets.Size());
    for (auto &s : summaries) {
        if (s.empty()) ++faulted;
        out.AppendRow(calibration::CompletedSummaries(std::move(s), targets.Size()));
    }
    return out;
}

struct Observed {
    std::vector<double> Values, Sds;
};

Observed ObservedOf(std::span<const Observation> observations) {
    Observed out;
    for (const Observation &o : observations) {
        out.Values.push_back(o.Value);
        out.Sds.push_back(o.Sd);
    }
    return out;
}

// The observed grids' entries follow the series', scaled by their spread over the runs.
Observed ObservedOf(const Targets &targets) {
    Observed out = ObservedOf(targets.Series);
    for (const GridObservation &g : targets.Grids)
        for (double v : GridEntries(g.Values, targets.Compare)) {
            out.Values.push_back(v);
            out.Sds.push_back(0);
        }
    return out;
}

// The prior's points, each with its replicates, drawn from one stream of the seed.
// The prior's points on the unit cube, row by row: independent draws from `stream`, or
// the sampler's points, seeded by the stream's first word so that they share nothing
// with the runs' seeds drawn after it.
std::vector<double> PriorUnitPoints(const CalibrationRequest &request, std::size_t factors,
                                    calibration::Stream &stream) {
    if (request.Prior == PriorSample::Uniform) return {};
    SampleRequest sample;
    sample.Kind = request.Prior == PriorSample::Sobol ? Method::Sobol : Method::Lhs;
    sample.Samples = request.Samples;
    sample.Seed = stream.Seed32();
    auto made = SampleUnit(sample, factors);
    if (auto *problem = std::get_if<std::string>(&made)) throw GlebixError(*problem);
    return std::move(std::get<UnitSample>(made).Values);
}

// The prior's points, each with its replicates and their own seeds, all from the seed.
std::vector<CalibrationRun> PriorRuns(const std::vector<Factor> &factors, const CalibrationRequest &request) {
    calibration::Stream stream(request.Seed);
    const std::vector<double> unit = PriorUnitPoints(request, factors.size(), stream);
    std::vector<CalibrationRun> runs;
    for (int point = 1; point <= request.Samples; ++point) {
        std::vector<double> values;
        for (std::size_t i = 0; i < factors.size(); ++i) {
            const double u =
                unit.empty() ? stream.Uniform() : unit[static_cast<std::size_t>(point - 1) * factors.size() + i];
            values.push_back(ValueAt(factors[i], u));
        }
        for (int r = 1; r <= request.Replicates; ++r) runs.push_back({values, stream.Seed32(), point, r});
    }
    return runs;
}

struct Calibrated {
    calibration::Posterior Posterior;
    calibration::PriorRuns Runs;
    std::size_t RunCount = 0;
    // abc-smc's runs' summaries by the row its ids give (those made since a resume only).
    std::map<std::size_t, std::vector<double>> RunSummaries;
};

Calibrated Rejection(const CalibrationRequest &request, const std::vector<Factor> &factors, const Targets &targets,
                     std::int32_t steps, std::size_t &faulted) {
    const std::vector<CalibrationRun> runs = PriorRuns(factors, request);
    Calibrated out;
    out.RunCount = runs.size();
    out.Runs.Parameters = calibration::Matrix(0, factors.size());
    for (const CalibrationRun &r : runs) {
        out.Runs.Parameters.AppendRow(r.Values);
        out.Runs.Points.push_back(r.Point);
        out.Runs.Seeds.push_back(r.Seed);
        out.Runs.Replicates.push_back(r.Replicate);
    }
    SlicePlace place{1, 1, {}, false};  // the prior's sample is the calibration's one batch
    out.Runs.Summaries = RunAll(request, factors, runs, targets, steps, faulted, place);
    const Observed observed = ObservedOf(targets);
    const auto candidates = calibration::CandidatesOf(out.Runs, observed.Values, request.Replicates > 1, observed.Sds);
    out.Posterior = calibration::Reject(candidates, factors, {request.Accept});
    return out;
}

// The state to go on from in the folder, or a fresh calibration; refuses the state of
// another calibration (other factors, population, budget or seed).
calibration::AbcSmc SmcToRun(const std::vector<Factor> &factors, const calibration::SmcSettings &settings,
                             const std::filesystem::path &state, std::vector<std::string> &notes) {
    calibration::AbcSmc fresh(factors, settings);
    std::error_code error;
    if (!std::filesystem::exists(state, error)) return fresh;
    calibration::AbcSmc kept = calibration::AbcSmc::Restore(ReadInputFile(state.string()), state.string());
    const auto head = [](const std::string &text) { return text.substr(0, text.find("\nscales")); };
    if (head(kept.Save()) != head(fresh.Save()))
        throw calibration::CalibrationError("calibration.other_state", {state.string()});
    notes.push_back(Message("calibration.resumed", {state.string(), CountOf(kept.CompleteGenerations())}));
    return kept;
}

Calibrated Smc(const CalibrationRequest &request, const std::vector<Factor> &factors, const Targets &targets,
               std::int32_t steps, std::size_t &faulted, std::vector<std::string> &notes) {
    calibration::SmcSettings settings;
    settings.Population = SmcPopulation(static_cast<std::size_t>(request.Samples));
    settings.Quantile = SmcQuantile;
    settings.LocalKernel = true;
    settings.RunBudget = static_cast<std::size_t>(request.Samples);
    settings.Seed = request.Seed;
    const std::filesystem::path state = std::filesystem::path(request.OutDir) / SmcStateFileName;
    calibration::AbcSmc smc = SmcToRun(factors, settings, state, notes);
    std::filesystem::create_directories(request.OutDir);
    const Observed observed = ObservedOf(targets);
    smc.SetGivenScales(observed.Sds);
    std::map<std::size_t, std::vector<double>> kept;
    SlicePlace place;
    while (!smc.Done()) {
        const std::vector<calibration::SmcPoint> &batch = smc.NextBatch();
        if (batch.empty()) break;
        std::vector<CalibrationRun> runs;
        for (const auto &p : batch) runs.push_back({p.Values, p.Seed, static_cast<std::int64_t>(smc.Runs()) + 1, 1});
        const std::size_t generations = smc.CompleteGenerations();
        place.Batch = place.Generation == generations + 1 ? place.Batch + 1 : 1;
        if (place.Batch == 1) place.Taken.clear();
        place.Generation = generations + 1;
        const calibration::Matrix summaries = RunAll(request, factors, runs, targets, steps, faulted, place);
        for (std::size_t k = 0; k < runs.size(); ++k)  // run numbers as the population's ids give them
            kept[smc.Runs() + k] = {summaries.Row(k).begin(), summaries.Row(k).end()};
        calibration::TakeSummaries(smc, observed.Values, summaries);
        if (smc.CompleteGenerations() == generations || request.Slice) continue;  // a slice advances nothing
        WriteFileAtomically(state.string(), smc.Save());
        if (request.Gather) RemoveCalibrationSlices(request.OutDir, place.Generation);
    }
    if (request.Slice)
        throw CalibrationStopped{CalibrationEnd::NothingToRun, Message("calibration.slices_nothing", {request.OutDir})};
    Calibrated out;
    out.Posterior = smc.Adjusted();
    out.RunCount = smc.Runs();
    faulted = smc.FaultedRuns();
    out.RunSummaries = std::move(kept);
    return out;
}

std::string DigestOf(const std::string &path) {
    try {
        return Sha256Hex(ReadInputFile(path));
    } catch (const GlebixError &) { return {}; }
}

// The inputs by role and path; `given`, when not empty, the factors' digest when they
// were given as rows (their path empty).
core::JsonValue InputsJson(const std::vector<std::pair<std::string, std::string>> &inputs,
                           const std::string &given = {}) {
    core::JsonValue out = core::JsonValue::Array();
    for (const auto &[role, path] : inputs) {
        const std::string digest = role == "factors" && !given.empty() ? given : DigestOf(path);
        out.PushBack(core::JsonValue{{"role", role}, {"path", path}, {"sha256", digest}});
    }
    return out;
}

void WriteOutputs(const std::string &folder, const calibration::Posterior &posterior,
                  const calibration::PriorRuns &runs, core::JsonValue manifest, FileOutcome &out) {
    const std::filesystem::path dir(folder);
    try {
        std::filesystem::create_directories(dir);
        WriteFileAtomically((dir / PosteriorFileName).string(), calibration::PosteriorCsv(posterior, runs));
        WriteFileAtomically((dir / PosteriorSummaryFileName).string(),
                            calibration::PosteriorSummaryCsv(calibration::Summarise(posterior)));
        manifest["accepted"] = static_cast<std::uint64_t>(posterior.Values.Rows);
        manifest["tolerance"] = posterior.Tolerance;
        manifest["outputs"] = core::JsonValue(std::vector<std::string>{PosteriorFileName, PosteriorSummaryFileName});
        WriteFileAtomically((dir / CalibrationManifestName).string(), core::JsonText(manifest));
    } catch (const GlebixError &e) {
        out.WriteError = core::LocalMessageWithContext(e);
    } catch (const std::filesystem::filesystem_error &e) {
        out.WriteError = core::Labelled(folder, e.code().message());
    }
}

// A folder that already holds a calibration's results is refused: they stay as they are.
void CheckFolder(const std::string &folder, const std::vector<std::string> &inputs, FileOutcome &out) {
    std::error_code error;
    if (folder.empty()) {
        out.Problems.push_back(Message("analysis.empty_path"));
        return;
    }
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error))
        out.Problems.push_back(core::Labelled(folder, Message("calibration.out_not_folder")));
    for (const char *name : {PosteriorFileName, PosteriorSummaryFileName, CalibrationManifestName})
        if (std::filesystem::exists(std::filesystem::path(folder) / name, error))
            out.Problems.push_back(Message("calibration.results_exist", {folder, name}));
    for (const std::string &input : inputs)
        if (std::filesystem::equivalent(folder, input, error))
            out.Problems.push_back(Message("analysis.output_is_input", {folder}));
}

// The factors, each a setting when `settingsOnly`, named in a problem by `source`.
std::optional<std::vector<Factor>> CheckedFactors(ParsedFactors parsed, const std::string &source, bool settingsOnly,
                                                  FileOutcome &out) {
    for (std::string &p : parsed.Problems) out.Problems.push_back(std::move(p));
    if (settingsOnly)
        for (const Factor &f : parsed.Factors)
            if (!f.Setting) out.Problems.push_back(Message("calibration.factor_not_setting", {source, f.Name}));
    if (!out.Problems.empty()) return std::nullopt;
    return parsed.Factors;
}

// The factors of the file at `path`, or `rows` when given (a front end's).
std::optional<std::vector<Factor>> ReadFactors(const std::string &path, bool settingsOnly, FileOutcome &out,
                                               const std::optional<std::vector<FactorRow>> &rows = std::nullopt) {
    if (rows) return CheckedFactors(FactorsFromRows(*rows), "factors", settingsOnly, out);
    const auto text = ReadInputOrProblem(path, out);
    if (!text) return std::nullopt;
    return CheckedFactors(ParseFactorsText(*text, path), path, settingsOnly, out);
}

void CheckAccept(double accept, FileOutcome &out) {
    if (!(accept > 0 && accept <= 1))
        out.Problems.push_back(
            Said(calibration::CalibrationError("calibration.accept_fraction", {FormatShortest(accept)})));
}

core::JsonValue ManifestStart(const std::string &program, const std::string &method, std::uint32_t seed, double accept,
                              const std::vector<std::string> &arguments) {
    core::JsonValue m = core::JsonValue::Object();
    m["program"] = program;
    m["version"] = core::VersionNumber();
    m["kind"] = "calibration";
    m["method"] = method;
    m["seed"] = static_cast<std::uint64_t>(seed);
    m["accept"] = accept;
    m["arguments"] = core::JsonValue(arguments);
    m["created"] = core::UtcNow();
    return m;
}

// The method's calibration, or nothing when it failed or was interrupted (said in `out`).
std::optional<Calibrated> RunMethod(const CalibrationRequest &request, const std::vector<Factor> &factors,
                                    const Targets &targets, std::int32_t steps, std::size_t &faulted, FileOutcome &out,
                                    CalibrationEnd &end) {
    try {
        if (request.Method == CalibrationMethod::Rejection) return Rejection(request, factors, targets, steps, faulted);
        return Smc(request, factors, targets, steps, faulted, out.Notes);
    } catch (const calibration::CalibrationError &e) { out.WriteError = Said(e); } catch (const GlebixError &e) {
        out.WriteError = core::LocalMessageWithContext(e);
    } catch (const std::filesystem::filesystem_error &e) {
        out.WriteError = core::Labelled(request.OutDir, e.code().message());
    } catch (const CalibrationInterrupted &) {
        end = CalibrationEnd::Interrupted;
        out.WriteError = Message("calibration.interrupted");
    } catch (const CalibrationStopped &stopped) {
        end = stopped.End;
        out.Notes.push_back(stopped.Said);
    } catch (SlicesRefused &refused) {
        for (std::string &p : refused.Problems) out.Problems.push_back(std::move(p));
    }
    return std::nullopt;
}

}  // namespace

std::variant<CalibrationRequest, std::string> CalibrationRequestOf(CalibrationOptions options) {
    const auto method = CalibrationMethodNamed(options.Method);
    if (!method) return Message("python.bad_method", {"method", options.Method});
    CalibrationRequest request;
    request.Method = *method;
    request.FactorsPath = std::move(options.Factors);
    request.FactorRows = std::move(options.FactorRows);
    request.ObservedPath = std::move(options.Observed);
    request.SpeciesPath = std::move(options.Species);
    request.OutDir = std::move(options.Out);
    request.Samples = options.Samples;
    request.Accept = options.Accept;
    request.Replicates = options.Replicates;
    request.Seed = options.Seed;
    request.Jobs = options.Jobs;
    request.Settings = std::move(options.Settings);
    request.Settings.Run.StepCount = std::to_string(options.Steps);
    request.Program = std::move(options.Program);
    if (!options.Prior.empty()) {
        const auto prior = PriorSampleNamed(options.Prior);
        if (!prior) return Message("calibration.prior_sample", {options.Prior});
        if (request.Method != CalibrationMethod::Rejection)  // abc-smc draws its first population itself
            return Message("option.needed", {"prior_sample", "abc-rejection"});
        request.Prior = *prior;
    }
    if (auto refused =
            TakeGridOptions(request, std::move(options.ObservedGrids), options.GridCompare, std::move(options.Figure)))
        return *refused;
    return request;
}

namespace {

// A figure asked beside a calibration must not replace a file already there.
void CheckFigurePlace(const std::string &figure, const std::string &folder, FileOutcome &out) {
    std::error_code error;
    if (figure.empty()) return;
    if (std::filesystem::exists(figure, error)) out.Problems.push_back(Message("calibration.figure_exists", {figure}));
    if (std::filesystem::equivalent(figure, folder, error))
        out.Problems.push_back(Message("analysis.output_is_input", {figure}));
}

// The observed grids, read at the size of the plot the runs' settings give (one set-up
// of them, which draws nothing from the runs' seeds).
std::vector<GridObservation> ObservedGrids(const CalibrationRequest &request, std::int32_t steps, FileOutcome &out) {
    int columns = 0, rows = 0;
    try {
        core::RunSession session(
            core::RunStart{request.Settings, request.Seed, request.Seed, steps, 1, request.Inputs});
        session.SetUp();
        columns = session.Plot().Width;
        rows = session.Plot().Height;
    } catch (const GlebixError &e) {
        out.Problems.push_back(Message("calibration.grid_no_plot", {core::LocalMessageWithContext(e)}));
        return {};
    }
    GridObservations grids = ReadGridObservations(request.ObservedGrids, steps, columns, rows);
    for (std::string &p : grids.Problems) out.Problems.push_back(std::move(p));
    return std::move(grids.Grids);
}

// Where each summary of the runs is drawn in the figure: its metric's panel and its step
// (0 for a run's whole); a cell of a grid compared cell by cell is left out (no panel).
struct EntryPlace {
    std::string Metric;
    double Step = 0;
};

std::vector<std::optional<EntryPlace>> EntryPlaces(const Targets &targets) {
    std::vector<std::optional<EntryPlace>> out;
    for (const Observation &o : targets.Series)
        out.push_back(EntryPlace{o.Metric, static_cast<double>(ParseWholeToken(o.Step).value_or(0))});
    for (const GridObservation &g : targets.Grids) {
        const std::size_t n = GridEntries(g.Values, targets.Compare).size();
        if (targets.Compare == GridCompare::Cells) {
            out.insert(out.end(), n, std::nullopt);
            continue;
        }
        for (const calibration::GridSummary summary : calibration::GridSummaries)
            out.push_back(EntryPlace{
                std::string(GridFieldName(g.Field)) + " " + std::string(calibration::GridSummaryName(summary)),
                static_cast<double>(g.Step)});
    }
    return out;
}

using SummariesOfRow = std::function<const std::vector<double> *(std::size_t row)>;

// The band of the accepted runs' values of summary `entry`: its weighted quantiles.
std::pair<double, double> Band(const calibration::Posterior &posterior, const calibration::PriorRuns &runs,
                               const SummariesOfRow &smcRuns, std::size_t entry) {
    std::vector<double> values, weights;
    for (std::size_t k = 0; k < posterior.Ids.size(); ++k) {
        const std::size_t row = posterior.Ids[k].Row;
        const std::vector<double> *held = smcRuns(row);
        const double v = held                                                       ? (*held)[entry]
                         : row < runs.Summaries.Rows && entry < runs.Summaries.Cols ? runs.Summaries(row, entry)
                                                                                    : NotANumber;
        if (!std::isfinite(v) || !(posterior.Weights[k] > 0)) continue;
        values.push_back(v);
        weights.push_back(posterior.Weights[k]);
    }
    if (values.empty()) return {NotANumber, NotANumber};
    return {calibration::WeightedQuantile(values, weights, core::BandLowLevel),
            calibration::WeightedQuantile(values, weights, core::BandHighLevel)};
}

core::CalibrationFigureData FigureData(const calibration::Posterior &posterior, const calibration::PriorRuns &runs,
                                       const SummariesOfRow &smcRuns, const Targets &targets) {
    core::CalibrationFigureData data;
    for (std::size_t f = 0; f < posterior.Factors.size(); ++f) {
        core::CalibrationFigureData::Factor factor{
            posterior.Factors[f].Name, posterior.Factors[f].Low, posterior.Factors[f].High, {}};
        for (std::size_t k = 0; k < posterior.Values.Rows; ++k) factor.Values.push_back(posterior.Values(k, f));
        data.Factors.push_back(std::move(factor));
    }
    data.Weights = posterior.Weights;
    const Observed observed = ObservedOf(targets);
    const auto places = EntryPlaces(targets);
    for (std::size_t e = 0; e < places.size(); ++e) {
        if (!places[e]) continue;
        auto series = std::find_if(data.Predictive.begin(), data.Predictive.end(),
                                   [&](const auto &s) { return s.Metric == places[e]->Metric; });
        if (series == data.Predictive.end())
            series = data.Predictive.insert(data.Predictive.end(), {places[e]->Metric, {}, {}, {}, {}});
        const auto [low, high] = Band(posterior, runs, smcRuns, e);
        series->Steps.push_back(places[e]->Step);
        series->Observed.push_back(observed.Values[e]);
        series->BandLow.push_back(low);
        series->BandHigh.push_back(high);
    }
    data.MarginalTitle = Message("calibration.figure_marginal");
    data.PairsTitle = Message("calibration.figure_pairs");
    data.PredictiveTitle = Message("calibration.figure_predictive");
    data.StepWord = Message("calibration.figure_step");
    return data;
}

// Written after the results, which stay whatever happens to it.
void WriteFigure(const std::string &path, const CalibrationFigureDrawer &draw, const core::CalibrationFigureData &data,
                 FileOutcome &out) {
    try {
        if (!draw) throw GlebixError(Message("calibration.figure_no_drawer"));
        WriteFileAtomically(path, draw(data));
    } catch (const std::exception &e) {
        const std::string said = core::LocalExceptionMessage(e);  // a file's fault names it already
        out.WriteError = said.find(path) == std::string::npos ? core::Labelled(path, said) : said;
    }
}

}  // namespace

std::optional<std::string> TakeGridOptions(CalibrationRequest &request, std::vector<std::string> grids,
                                           const std::string &compare, std::string figure) {
    const auto named = compare.empty() ? std::optional(DefaultGridCompare) : GridCompareNamed(compare);
    if (!named) return Message("calibration.grid_compare", {compare});
    request.ObservedGrids = std::move(grids);
    request.Compare = *named;
    request.FigurePath = std::move(figure);
    return std::nullopt;
}

namespace {

// The observed series and grids, their problems said in `out`.
Targets ReadTargets(const CalibrationRequest &request, std::int32_t steps, FileOutcome &out) {
    Targets targets;
    targets.Compare = request.Compare;
    const auto text = ReadInputOrProblem(request.ObservedPath, out);
    if (!text) return targets;
    RunObservations observations = ReadRunObservations(*text, request.ObservedPath, steps);
    for (std::string &p : observations.Problems) out.Problems.push_back(std::move(p));
    targets.Series = std::move(observations.Observations);
    if (!request.ObservedGrids.empty()) targets.Grids = ObservedGrids(request, steps, out);
    return targets;
}

core::JsonValue CalibrationManifest(const CalibrationRequest &request, const std::vector<Factor> &factors,
                                    const Targets &targets, const Calibrated &result, std::int32_t steps,
                                    std::size_t faulted) {
    core::JsonValue manifest = ManifestStart(request.Program, std::string(CalibrationMethodName(request.Method)),
                                             request.Seed, request.Accept, request.Arguments);
    manifest["samples"] = static_cast<std::int64_t>(request.Samples);
    if (request.Method == CalibrationMethod::Rejection)
        manifest["prior_sample"] = std::string(PriorSampleName(request.Prior));
    manifest["replicates"] = static_cast<std::int64_t>(request.Replicates);
    manifest["steps"] = static_cast<std::int64_t>(steps);
    manifest["runs"] = static_cast<std::uint64_t>(result.RunCount);
    manifest["faulted_runs"] = static_cast<std::uint64_t>(faulted);
    std::vector<std::pair<std::string, std::string>> inputs = {
        {"factors", request.FactorRows ? "" : request.FactorsPath}, {"observed", request.ObservedPath}};
    if (!request.SpeciesPath.empty()) inputs.emplace_back("species", request.SpeciesPath);
    for (const GridObservation &g : targets.Grids) inputs.emplace_back("observed_grid", SplitRasterPath(g.Path).File);
    // Factors handed over as rows are recorded by the digest of their factors text.
    manifest["inputs"] = InputsJson(inputs, request.FactorRows ? Sha256Hex(FactorsText(factors)) : std::string());
    if (!targets.Grids.empty()) {
        manifest["observed_grids"] = core::JsonValue(request.ObservedGrids);
        manifest["grid_compare"] = std::string(GridCompareName(targets.Compare));
    }
    return manifest;
}

// The notes of a calibration that ran: its faulted runs, and a cell-by-cell comparison
// whose regression adjustment fits its kept runs exactly (no more of them than entries).
void RunNotes(const CalibrationRequest &request, const Targets &targets, const Calibrated &result, std::size_t faulted,
              FileOutcome &out) {
    if (faulted > 0)
        out.Notes.push_back(Message("calibration.faulted_runs", {CountOf(faulted), CountOf(result.RunCount)}));
    if (request.Method == CalibrationMethod::Rejection && targets.Compare == GridCompare::Cells &&
        !targets.Grids.empty() && result.Posterior.Values.Rows <= targets.Size())
        out.Notes.push_back(
            Message("calibration.grid_cells_few", {CountOf(result.Posterior.Values.Rows), CountOf(targets.Size())}));
}

}  // namespace

CalibrationRunInputs CalibrationRunInputsOf(const CalibrationRequest &request) {
    FileOutcome out;
    CalibrationRunInputs inputs;
    const auto factors = ReadFactors(request.FactorsPath, true, out, request.FactorRows);
    const auto steps = ParseWholeToken(request.Settings.Run.StepCount);
    if (steps) inputs.Targets = ReadTargets(request, *steps, out);
    if (factors) inputs.Factors = *factors;
    inputs.Steps = steps.value_or(0);
    inputs.Problems = std::move(out.Problems);
    return inputs;
}

std::vector<double> CalibrationRunSummaries(const CalibrationRequest &request, const std::vector<Factor> &factors,
                                            const CalibrationRun &run, const CalibrationTargets &targets,
                                            std::int32_t steps) {
    const std::atomic<bool> never{false};
    try {
        return RunTargets(request, factors, run, steps, targets, never);
    } catch (const std::exception &) { return {}; }
}

FileOutcome Calibrate(const CalibrationRequest &request, bool *wasInterrupted) {
    CalibrationEnd end = CalibrationEnd::Written;
    FileOutcome out = Calibrate(request, end);
    if (wasInterrupted && end == CalibrationEnd::Interrupted) *wasInterrupted = true;
    return out;
}

FileOutcome Calibrate(const CalibrationRequest &request, CalibrationEnd &end) {
    end = CalibrationEnd::Written;
    FileOutcome out;
    CheckAccept(request.Accept, out);
    if (request.Method == CalibrationMethod::Smc && request.Replicates > 1)
        out.Problems.push_back(Message("calibration.smc_replicates"));
    CheckFolder(request.OutDir,
                {request.FactorRows ? "" : request.FactorsPath, request.ObservedPath, request.SpeciesPath}, out);
    CheckFigurePlace(request.FigurePath, request.OutDir, out);
    const auto factors = ReadFactors(request.FactorsPath, true, out, request.FactorRows);
    const auto steps = ParseWholeToken(request.Settings.Run.StepCount);
    const Targets targets = steps ? ReadTargets(request, *steps, out) : Targets{};
    if (!out.Problems.empty() || !factors || !steps) return out;
    std::size_t faulted = 0;
    const auto result = RunMethod(request, *factors, targets, *steps, faulted, out, end);
    if (!result) return out;
    RunNotes(request, targets, *result, faulted, out);
    WriteOutputs(request.OutDir, result->Posterior, result->Runs,
                 CalibrationManifest(request, *factors, targets, *result, *steps, faulted), out);
    std::error_code ignored;
    if (out.WriteError.empty()) {
        std::filesystem::remove(std::filesystem::path(request.OutDir) / SmcStateFileName, ignored);
        if (request.Gather) RemoveCalibrationSlices(request.OutDir, 0);
    }
    if (out.WriteError.empty() && !request.FigurePath.empty()) {
        // abc-smc's runs are not prior runs: their summaries are kept by run number.
        const auto smcRuns = [&result](std::size_t row) -> const std::vector<double> * {
            const auto found = result->RunSummaries.find(row);
            return found == result->RunSummaries.end() ? nullptr : &found->second;
        };
        WriteFigure(request.FigurePath, request.DrawFigure,
                    FigureData(result->Posterior, result->Runs, smcRuns, targets), out);
    }
    return out;
}

FileOutcome CalibrateTableFiles(const TableCalibrationRequest &request) {
    FileOutcome out;
    CheckAccept(request.Accept, out);
    CheckFolder(request.OutDir, {request.TablePath, request.FactorsPath, request.ObservedPath}, out);
    CheckFigurePlace(request.FigurePath, request.OutDir, out);
    const auto factors = ReadFactors(request.FactorsPath, false, out);
    const auto table = ReadInputOrProblem(request.TablePath, out);
    const auto observedText = ReadInputOrProblem(request.ObservedPath, out);
    if (!out.Problems.empty() || !factors) return out;
    try {
        const auto observations = calibration::ReadObservations(
            calibration::ParseCsv(*observedText, request.ObservedPath), request.ObservedPath);
        const calibration::PriorRuns runs = calibration::RunsOfTable(calibration::ParseCsv(*table, request.TablePath),
                                                                     request.TablePath, *factors, observations);
        const Observed observed = ObservedOf(observations);
        const auto posterior = calibration::Reject(
            calibration::CandidatesOf(runs, observed.Values, false, observed.Sds), *factors, {request.Accept});
        core::JsonValue manifest = ManifestStart("glebix-batch", "abc-rejection", 0, request.Accept, request.Arguments);
        manifest["runs"] = static_cast<std::uint64_t>(runs.Parameters.Rows);
        manifest["inputs"] = InputsJson(
            {{"table", request.TablePath}, {"factors", request.FactorsPath}, {"observed", request.ObservedPath}});
        WriteOutputs(request.OutDir, posterior, runs, std::move(manifest), out);
        if (out.WriteError.empty() && !request.FigurePath.empty()) {
            Targets targets;
            targets.Series = observations;
            WriteFigure(request.FigurePath, request.DrawFigure,
                        FigureData(
                            posterior, runs, [](std::size_t) { return nullptr; }, targets),
                        out);
        }
    } catch (const calibration::CalibrationError &e) { out.Problems.push_back(Said(e)); }
    return out;
}

}  // namespace glebix::analysis
