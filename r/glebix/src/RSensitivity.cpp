// glebix_sample(), glebix_analyse() and glebix_calibrate(): the sensitivity analysis
// and the calibration of the core (SensitivityFiles.h, CalibrationStudy.h), so that R
// makes and writes the bytes glebix-batch writes.
#include <algorithm>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "AtomicFile.h"
#include "Conversions.h"
#include "DesignFile.h"
#include "IndicesFigure.h"

#include "CalibrationFigure.h"
#include "CalibrationStudy.h"
#include "RGlue.h"
#include "RSettings.h"
#include "RunMetrics.h"
#include "SensitivityFiles.h"
#include "StudyTable.h"

using namespace glebix;
using namespace glebix::r;

namespace {

analysis::Method MethodOf(SEXP method) {
    const std::string name = Text(method);
    const auto found = analysis::MethodNamed(name);
    if (!found) throw GlebixError(core::Message("python.bad_method", {"method", name}));
    return *found;
}

// Raises the problems (joined) or the write's failure; the notes and warnings else.
SEXP Outcome(const analysis::FileOutcome &outcome) {
    std::string problems;
    for (const std::string &p : outcome.Problems) problems += (problems.empty() ? "" : "\n") + p;
    if (!problems.empty()) throw GlebixError(problems);
    if (!outcome.WriteError.empty()) throw GlebixError(outcome.WriteError);
    return Rcpp::List::create(Rcpp::Named("notes") = Utf8Vector(outcome.Notes),
                              Rcpp::Named("warnings") = Utf8Vector(outcome.Warnings));
}

// The factors as given: the path of a factors file, or rows (a list of the names, lows,
// highs and scales), FactorsFromRows.
struct GivenFactors {
    std::string Path;  // empty for rows
    std::optional<std::vector<analysis::FactorRow>> Rows;
};

GivenFactors FactorsOf(SEXP path, SEXP rows) {
    if (Rf_isNull(rows)) return {Text(path), std::nullopt};
    const Rcpp::List columns(rows);
    const auto names = Rcpp::as<std::vector<std::string>>(columns[0]);
    const auto lows = Rcpp::as<std::vector<double>>(columns[1]);
    const auto highs = Rcpp::as<std::vector<double>>(columns[2]);
    const auto scales = Rcpp::as<std::vector<std::string>>(columns[3]);
    std::vector<analysis::FactorRow> given;
    for (std::size_t k = 0; k < names.size(); ++k) given.push_back({names[k], lows[k], highs[k], scales[k]});
    return {"", std::move(given)};
}

// The factors read and checked; their problems raised.
std::vector<analysis::Factor> ReadFactors(const GivenFactors &given) {
    analysis::ParsedFactors parsed =
        given.Rows ? analysis::FactorsFromRows(*given.Rows) : analysis::ReadFactorsFile(given.Path);
    analysis::FileOutcome problems;
    problems.Problems = std::move(parsed.Problems);
    Outcome(problems);
    return std::move(parsed.Factors);
}

// A CSV text the core made as named columns: a column whose fields are all numbers
// (or empty, or NA) as reals read exactly, any other as texts.
Rcpp::List CsvColumns(const std::string &text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (core::SplitCsvLine(std::string_view(text).substr(at, end - at), fields)) break;
        rows.push_back(fields);
        at = end + 1;
    }
    Rcpp::List out;
    if (rows.empty()) return out;
    for (std::size_t c = 0; c < rows[0].size(); ++c) {
        std::vector<double> numbers;
        std::vector<std::string> texts;
        bool numeric = true;
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const std::string &field = rows[r][c];
            const auto value = field.empty() || field == "NA" ? std::optional<double>(NA_REAL) : ParseRealToken(field);
            numeric = numeric && value.has_value();
            numbers.push_back(value.value_or(NA_REAL));
            texts.push_back(field);
        }
        out.push_back(numeric ? SEXP(Rcpp::wrap(numbers)) : SEXP(Utf8Vector(texts)), rows[0][c]);
    }
    return out;
}

// Raises the problems (joined) or the write's failure; the columns of what was made,
// the notes and warnings else.
Rcpp::List Made(const analysis::FileOutcome &outcome, const std::string &text) {
    Outcome(outcome);
    return Rcpp::List::create(Rcpp::Named("columns") = CsvColumns(text),
                              Rcpp::Named("notes") = Utf8Vector(outcome.Notes),
                              Rcpp::Named("warnings") = Utf8Vector(outcome.Warnings));
}

}  // namespace

// The design of `method` for the factors (a file's path, or rows), written to
// `designOut` unless it is ""; its columns, holding the very numbers of the file.
extern "C" SEXP gx_sample(SEXP factors, SEXP rows, SEXP method, SEXP samples, SEXP seed, SEXP levels, SEXP pool,
                          SEXP designOut) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        analysis::SampleRequest request;
        request.Kind = MethodOf(method);
        request.Samples = Rcpp::as<int>(samples);
        request.Seed = static_cast<std::uint32_t>(Rcpp::as<double>(seed));
        request.Levels = Rcpp::as<int>(levels);
        request.Pool = Rcpp::as<int>(pool);
        const GivenFactors given = FactorsOf(factors, rows);
        const std::vector<analysis::Factor> read = ReadFactors(given);
        std::vector<std::string> inputs;
        if (!given.Path.empty()) inputs.push_back(given.Path);
        const analysis::DesignOutcome outcome = analysis::SampleInto(read, request, Text(designOut), inputs);
        Outcome(outcome);
        const std::vector<double> &values = outcome.Design.Values;
        Rcpp::List columns;
        for (std::size_t i = 0; i < read.size(); ++i) {
            Rcpp::NumericVector column(values.size() / read.size());
            for (R_xlen_t p = 0; p < column.size(); ++p) column[p] = values[p * read.size() + i];
            columns.push_back(column, read[i].Name);
        }
        return columns;
    });
    END_RCPP
}

// The indices of the table (a file's path, or its text when `tableText` is not NULL),
// written to `indices` unless it is "", their figure to `figure` unless it is ""; the
// step is NA for the last one.
extern "C" SEXP gx_analyse(SEXP table, SEXP tableText, SEXP factors, SEXP rows, SEXP method, SEXP metrics, SEXP seed,
                           SEXP bootstrap, SEXP atStep, SEXP everyStep, SEXP maxDropped, SEXP indices, SEXP figure) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        analysis::AnalysisRequest request;
        request.Kind = MethodOf(method);
        request.Metrics = Rcpp::as<std::vector<std::string>>(metrics);
        request.Seed = static_cast<std::uint32_t>(Rcpp::as<double>(seed));
        request.Resamples = Rcpp::as<int>(bootstrap);
        const int step = Rcpp::as<int>(atStep);
        if (step != NA_INTEGER) request.AtStep = step;
        request.EveryStep = Rcpp::as<bool>(everyStep);
        request.MaxDropped = Rcpp::as<double>(maxDropped);
        const GivenFactors given = FactorsOf(factors, rows);
        const std::string tablePath = Rf_isNull(tableText) ? Text(table) : "";
        const std::string indicesPath = Text(indices), figurePath = Text(figure);
        if (!figurePath.empty()) {
            analysis::FileOutcome place;
            analysis::CheckOutputPlace(figurePath,
                                       {tablePath, given.Path, indicesPath,
                                        indicesPath.empty() ? "" : analysis::AnalysisManifestPath(indicesPath)},
                                       place);
            Outcome(place);
        }
        const std::vector<analysis::Factor> read = ReadFactors(given);
        analysis::FileOutcome reading;
        const auto text = tablePath.empty() ? std::optional<std::string>(Text(tableText))
                                            : analysis::ReadTableOrProblem(tablePath, reading);
        Outcome(reading);
        const analysis::IndicesOutcome outcome =
            analysis::AnalyseInto(*text, tablePath, read, given.Path, request, indicesPath);
        Rcpp::List made = Made(outcome, outcome.Csv);
        // The figure of glebix-batch --figure, from the same indices.
        if (!figurePath.empty()) WriteFileAtomically(figurePath, render::IndicesFigurePng(outcome.Csv));
        return made;
    });
    END_RCPP
}

namespace {

// What every run of a calibration depends on, as R gives it: the factors (a file's path
// or rows), the observations, the master seed, the runs' steps and settings (the species
// file's values first), the observed grids and their comparison.
analysis::CalibrationOptions RunOptionsOf(SEXP factors, SEXP rows, SEXP observed, SEXP seed, SEXP steps, SEXP names,
                                          SEXP values, SEXP grids, SEXP compare, SEXP species) {
    GivenFactors given = FactorsOf(factors, rows);
    analysis::CalibrationOptions options;
    options.Factors = given.Path;
    options.FactorRows = std::move(given.Rows);
    options.Observed = Text(observed);
    options.Seed = static_cast<std::uint32_t>(Rcpp::as<double>(seed));
    options.Steps = Rcpp::as<int>(steps);
    options.Species = Text(species);
    options.Settings = BuildSettings(options.Species, Rcpp::as<std::vector<std::string>>(names),
                                     Rcpp::as<std::vector<std::string>>(values));
    options.ObservedGrids = Rcpp::as<std::vector<std::string>>(grids);
    options.GridCompare = Text(compare);
    return options;
}

analysis::CalibrationRequest RequestOf(analysis::CalibrationOptions options) {
    auto made = analysis::CalibrationRequestOf(std::move(options));
    if (auto *problem = std::get_if<std::string>(&made)) throw GlebixError(*problem);
    return std::move(std::get<analysis::CalibrationRequest>(made));
}

// Each batch's runs handed to the R function `runBatch` (a list of runs, each
// list(values, seed, point, replicate), to a list of each run's summaries, NULL for a
// run that faulted). The core asks for it on the calling thread, where R may be called.
analysis::CalibrationBatchRunner RRunner(SEXP runBatch) {
    return [runBatch](const std::vector<analysis::CalibrationRun> &runs) {
        Rcpp::List work(runs.size());
        for (std::size_t k = 0; k < runs.size(); ++k)
            work[k] = Rcpp::List::create(Rcpp::Named("values") = runs[k].Values,
                                         Rcpp::Named("seed") = static_cast<double>(runs[k].Seed),
                                         Rcpp::Named("point") = static_cast<double>(runs[k].Point),
                                         Rcpp::Named("replicate") = static_cast<double>(runs[k].Replicate));
        const Rcpp::List done = Rcpp::Function(runBatch)(work);
        std::vector<std::vector<double>> out;
        for (R_xlen_t k = 0; k < done.size(); ++k)
            out.push_back(Rf_isNull(done[k]) ? std::vector<double>{} : Rcpp::as<std::vector<double>>(done[k]));
        return out;
    };
}

}  // namespace

// The calibration of glebix-batch --calibrate into the folder `out`, the factors a
// file's path or rows, the settings given as names and texts (after the species file's
// when `species` is not empty), the observed grids and the figure as --observed-grid,
// --grid-compare and --figure take them; `runBatch`, an R function or NULL, makes each
// batch's runs (RRunner). The notes.
extern "C" SEXP gx_calibrate(SEXP factors, SEXP rows, SEXP observed, SEXP out, SEXP method, SEXP samples, SEXP accept,
                             SEXP replicates, SEXP seed, SEXP jobs, SEXP steps, SEXP names, SEXP values, SEXP grids,
                             SEXP compare, SEXP figure, SEXP species, SEXP runBatch, SEXP priorSample) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        analysis::CalibrationOptions options =
            RunOptionsOf(factors, rows, observed, seed, steps, names, values, grids, compare, species);
        options.Out = Text(out);
        options.Method = Text(method);
        options.Samples = Rcpp::as<int>(samples);
        options.Accept = Rcpp::as<double>(accept);
        options.Replicates = Rcpp::as<int>(replicates);
        options.Jobs = Rcpp::as<int>(jobs);
        options.Program = "glebix (R)";
        options.Figure = Text(figure);
        options.Prior = Text(priorSample);
        analysis::CalibrationRequest request = RequestOf(std::move(options));
        request.DrawFigure = render::CalibrationFigurePng;
        if (!Rf_isNull(runBatch)) request.RunBatch = RRunner(runBatch);
        // An interrupt or a time limit stops the runs under way (abc-smc keeps its last
        // complete generation); R's condition goes on once the calibration has ended.
        std::optional<Rcpp::LongjumpException> jump;
        request.Interrupted = [&jump] {
            try {
                CheckInterrupt();
                return false;
            } catch (const Rcpp::LongjumpException &e) {
                jump = e;
                return true;
            }
        };
        analysis::FileOutcome outcome = analysis::Calibrate(request);
        if (jump) throw *jump;
        return Outcome(std::move(outcome));
    });
    END_RCPP
}

// One run's summaries of the calibration the first arguments describe (as
// gx_calibrate's), as a worker makes it; NULL when the run faulted.
extern "C" SEXP gx_calibration_run(SEXP factors, SEXP rows, SEXP observed, SEXP seed, SEXP steps, SEXP names,
                                   SEXP values, SEXP grids, SEXP compare, SEXP species, SEXP run) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const analysis::CalibrationRequest request =
            RequestOf(RunOptionsOf(factors, rows, observed, seed, steps, names, values, grids, compare, species));
        const analysis::CalibrationRunInputs inputs = analysis::CalibrationRunInputsOf(request);
        if (!inputs.Problems.empty()) throw GlebixError(inputs.Problems.front());
        const Rcpp::List given(run);
        const analysis::CalibrationRun one{Rcpp::as<std::vector<double>>(given["values"]),
                                           static_cast<std::uint32_t>(Rcpp::as<double>(given["seed"])),
                                           static_cast<std::int64_t>(Rcpp::as<double>(given["point"])),
                                           static_cast<std::int64_t>(Rcpp::as<double>(given["replicate"]))};
        const std::vector<double> summaries =
            analysis::CalibrationRunSummaries(request, inputs.Factors, one, inputs.Targets, inputs.Steps);
        if (summaries.empty()) return R_NilValue;
        return Rcpp::wrap(summaries);
    });
    END_RCPP
}

// Whether a run records the metric `name` as a column of its table (--table-metric).
extern "C" SEXP gx_is_recorded_metric(SEXP name) {
    BEGIN_RCPP
    return Rcpp::wrap(analysis::IsRecordedMetric(Text(name)));
    END_RCPP
}

// Whether each row of a study table, at `steps` of runs whose last steps are `lasts`,
// stays when the table is thinned by `every` ("" keeps all), as glebix-batch
// --table-every thins it.
extern "C" SEXP gx_table_steps_kept(SEXP steps, SEXP every, SEXP lasts) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const auto at = Rcpp::as<std::vector<int>>(steps);
        const auto last = Rcpp::as<std::vector<int>>(lasts);
        const std::string text = Text(every);
        Rcpp::LogicalVector kept(at.size(), true);
        if (text.empty()) return kept;
        const auto rule = core::ParseTableSteps(text);
        if (!rule) throw GlebixError(core::Message("option.bad_table_every", {"table_every", text}));
        for (std::size_t k = 0; k < at.size(); ++k) kept[k] = core::KeepsStep(*rule, at[k], last[k]);
        return kept;
    });
    END_RCPP
}
