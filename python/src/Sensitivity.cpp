#include "Sensitivity.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "AtomicFile.h"
#include "CalibrationFigure.h"
#include "CalibrationStudy.h"
#include "Errors.h"
#include "IndicesFigure.h"
#include "Messages.h"
#include "RunSettings.h"
#include "RunMetrics.h"
#include "ResultTable.h"
#include "SensitivityFiles.h"
#include "StudyTable.h"

namespace py = pybind11;

namespace glebix::python {

namespace {

analysis::Method MethodOf(const std::string &name, const char *argument) {
    const auto method = analysis::MethodNamed(name);
    if (!method) throw py::value_error(core::Message("python.bad_method", {argument, name}));
    return *method;
}

// The problems as one ValueError, the write's failure as an OSError; the notes and
// warnings otherwise.
std::pair<std::vector<std::string>, std::vector<std::string>> Outcome(analysis::FileOutcome outcome) {
    if (!outcome.Problems.empty()) {
        std::string text;
        for (const std::string &p : outcome.Problems) text += (text.empty() ? "" : "\n") + p;
        throw py::value_error(text);
    }
    if (!outcome.WriteError.empty()) {
        PyErr_SetString(PyExc_OSError, outcome.WriteError.c_str());
        throw py::error_already_set();
    }
    return {std::move(outcome.Notes), std::move(outcome.Warnings)};
}

// A table's columns as CSV text (analysis::TableText): each column a NumPy array of
// reals or of whole numbers, or a list of texts.
std::string TableTextOf(const std::vector<std::string> &names, const std::vector<py::object> &columns) {
    std::vector<analysis::TableColumn> out(names.size());
    for (std::size_t c = 0; c < names.size() && c < columns.size(); ++c) {
        analysis::TableColumn &column = out[c];
        column.Name = names[c];
        if (py::isinstance<py::array>(columns[c])) {
            const auto array = columns[c].cast<py::array>();
            const char kind = array.dtype().kind();
            if (kind == 'i' || kind == 'u') {
                column.Type = analysis::TableColumn::Kind::Whole;
                column.Wholes = columns[c].cast<std::vector<std::int64_t>>();
                continue;
            }
            if (kind == 'f') {
                column.Reals = columns[c].cast<std::vector<double>>();
                continue;
            }
        }
        column.Type = analysis::TableColumn::Kind::Text;
        column.Texts = columns[c].cast<std::vector<std::string>>();
    }
    return analysis::TableText(out);
}

[[noreturn]] void RaiseOsError(const std::string &text) {
    PyErr_SetString(PyExc_OSError, text.c_str());
    throw py::error_already_set();
}

// The factors as the Python side hands them over: the path of a factors file, or rows
// (name, low, high, scale) made from a dict or a DataFrame; the core checks both alike.
using FactorTuple = std::tuple<std::string, double, double, std::string>;
std::vector<analysis::FactorRow> FactorRowsOf(const py::object &factors) {
    std::vector<analysis::FactorRow> rows;
    for (const auto &[name, low, high, scale] : factors.cast<std::vector<FactorTuple>>())
        rows.push_back({name, low, high, scale});
    return rows;
}

std::vector<analysis::Factor> FactorsOf(const py::object &factors) {
    analysis::ParsedFactors parsed = py::isinstance<py::str>(factors)
                                         ? analysis::ReadFactorsFile(factors.cast<std::string>())
                                         : analysis::FactorsFromRows(FactorRowsOf(factors));
    analysis::FileOutcome problems;
    problems.Problems = std::move(parsed.Problems);
    Outcome(std::move(problems));
    return std::move(parsed.Factors);
}

std::vector<std::string> InputsOf(const py::object &factors) {
    if (py::isinstance<py::str>(factors)) return {factors.cast<std::string>()};
    return {};
}

// The design's factors' names, whether each is whole, and its values (a row per point);
// written to `designOut` too unless it is empty.
py::tuple SampleDesign(const py::object &factors, const std::string &method, int samples, std::uint32_t seed,
                       int levels, int pool, const std::string &designOut) {
    analysis::SampleRequest request;
    request.Kind = MethodOf(method, "method");
    request.Samples = samples;
    request.Seed = seed;
    request.Levels = levels;
    request.Pool = pool;
    const std::vector<analysis::Factor> read = FactorsOf(factors);
    analysis::DesignOutcome outcome;
    {
        py::gil_scoped_release release;
        outcome = analysis::SampleInto(read, request, designOut, InputsOf(factors));
    }
    Outcome(outcome);
    py::list names, whole;
    for (const analysis::Factor &f : read) {
        names.append(f.Name);
        whole.append(f.Whole);
    }
    const std::vector<double> &values = outcome.Design.Values;
    const auto columns = static_cast<py::ssize_t>(read.size());
    py::array_t<double> points({static_cast<py::ssize_t>(values.size()) / columns, columns});
    std::copy(values.begin(), values.end(), points.mutable_data());
    return py::make_tuple(names, whole, points);
}

// The figure of the indices `csv`, through the pictures module, never over an input.
void WriteIndicesFigure(const std::string &csv, const std::string &figure, const std::vector<std::string> &taken) {
    analysis::FileOutcome place;
    analysis::CheckOutputPlace(figure, taken, place);
    Outcome(std::move(place));
    try {
        WriteFileAtomically(figure, render::IndicesFigurePng(csv));
    } catch (const GlebixError &e) { RaiseOsError(core::LocalMessageWithContext(e)); } catch (const std::exception &e) {
        RaiseOsError(core::Labelled("figure", core::LocalExceptionMessage(e)));
    }
}

// The indices of a table (the file `tablePath`, or the text `tableText` when the path
// is empty) as the CSV text, with the notes and warnings; the indices file and the
// figure written too unless their paths are empty.
py::tuple AnalyseTable(const std::string &tablePath, const std::string &tableText, const py::object &factors,
                       const std::string &method, const std::vector<std::string> &metrics, std::uint32_t seed,
                       int bootstrap, std::optional<std::int64_t> atStep, bool everyStep, double maxDropped,
                       const std::string &indices, const std::string &figure) {
    analysis::AnalysisRequest request;
    request.Kind = MethodOf(method, "method");
    request.Metrics = metrics;
    request.Seed = seed;
    request.Resamples = bootstrap;
    request.AtStep = atStep;
    request.EveryStep = everyStep;
    request.MaxDropped = maxDropped;
    const std::vector<analysis::Factor> read = FactorsOf(factors);
    std::vector<std::string> taken = InputsOf(factors);
    if (!tablePath.empty()) taken.push_back(tablePath);
    if (!indices.empty()) taken.insert(taken.end(), {indices, analysis::AnalysisManifestPath(indices)});
    if (!figure.empty()) {
        analysis::FileOutcome place;
        analysis::CheckOutputPlace(figure, taken, place);
        Outcome(std::move(place));
    }
    analysis::IndicesOutcome outcome;
    {
        py::gil_scoped_release release;
        std::optional<std::string> text = tableText;
        if (!tablePath.empty()) text = analysis::ReadTableOrProblem(tablePath, outcome);
        if (text)
            outcome = analysis::AnalyseInto(*text, tablePath, read, InputsOf(factors).empty() ? "" : taken.front(),
                                            request, indices);
    }
    auto [notes, warnings] = Outcome(outcome);
    if (!figure.empty()) WriteIndicesFigure(outcome.Csv, figure, taken);
    return py::make_tuple(outcome.Csv, notes, warnings);
}

// What every run of a calibration depends on, as Python gives it: the factors (a file's
// path or rows), the observations, the master seed, the runs' steps and settings (the
// species file's values first), the observed grids and their comparison.
analysis::CalibrationOptions RunOptionsOf(const py::object &factors, const std::string &observed, std::uint32_t seed,
                                          std::int32_t steps, const NamedTexts &named,
                                          const std::vector<std::string> &observedGrids, const std::string &gridCompare,
                                          const std::string &species) {
    analysis::CalibrationOptions options;
    if (py::isinstance<py::str>(factors))
        options.Factors = factors.cast<std::string>();
    else
        options.FactorRows = FactorRowsOf(factors);
    options.Observed = observed;
    options.Seed = seed;
    options.Steps = steps;
    std::optional<SpeciesFileContents> speciesValues;
    if (!species.empty()) try {
            speciesValues = ReadSpeciesFile(species);
        } catch (GlebixError &e) {
            if (e.Context().Path.empty()) e.Context().Path = species;
            throw;
        }
    options.Settings = BuildRunSettings(speciesValues, named);
    options.Species = species;
    options.ObservedGrids = observedGrids;
    options.GridCompare = gridCompare;
    return options;
}

analysis::CalibrationRequest RequestOf(analysis::CalibrationOptions options) {
    auto made = analysis::CalibrationRequestOf(std::move(options));
    if (auto *problem = std::get_if<std::string>(&made)) throw py::value_error(*problem);
    return std::move(std::get<analysis::CalibrationRequest>(made));
}

// A fault of Python's in the runner of a batch, its exception set again in Python's
// error indicator; raised once the calibration has come back.
struct RunnerFailed {};

// Each batch's runs handed to `runBatch` ([(values, seed, point, replicate)] to one list
// of summaries, or None for a run that faulted, per run), Python's lock held meanwhile.
analysis::CalibrationBatchRunner PythonRunner(const py::object &runBatch) {
    return [&runBatch](const std::vector<analysis::CalibrationRun> &runs) {
        py::gil_scoped_acquire acquire;
        try {
            py::list work;
            for (const analysis::CalibrationRun &r : runs)
                work.append(py::make_tuple(r.Values, r.Seed, r.Point, r.Replicate));
            std::vector<std::vector<double>> out;
            for (py::handle summaries : runBatch(work))
                out.push_back(summaries.is_none() ? std::vector<double>{} : summaries.cast<std::vector<double>>());
            return out;
        } catch (py::error_already_set &e) {
            e.restore();
            throw RunnerFailed{};
        }
    };
}

// The calibration of glebix-batch --calibrate, the settings given by name; the notes.
// `runBatch`, when not None, makes each batch's runs (PythonRunner).
std::vector<std::string> Calibrate(const py::object &factors, const std::string &observed, const std::string &out,
                                   const std::string &method, int samples, double accept, int replicates,
                                   std::uint32_t seed, int jobs, std::int32_t steps, const NamedTexts &named,
                                   const std::vector<std::string> &observedGrids, const std::string &gridCompare,
                                   const std::string &figure, const std::string &species, const py::object &runBatch,
                                   const std::string &priorSample) {
    analysis::CalibrationOptions options =
        RunOptionsOf(factors, observed, seed, steps, named, observedGrids, gridCompare, species);
    options.Out = out;
    options.Method = method;
    options.Samples = samples;
    options.Accept = accept;
    options.Replicates = replicates;
    options.Jobs = jobs;
    options.Program = "glebix (Python)";
    options.Figure = figure;
    options.Prior = priorSample;
    analysis::CalibrationRequest request = RequestOf(std::move(options));
    request.DrawFigure = render::CalibrationFigurePng;
    if (!runBatch.is_none()) request.RunBatch = PythonRunner(runBatch);
    // Ctrl-C stops the runs under way; abc-smc keeps its last complete generation.
    request.Interrupted = [] {
        py::gil_scoped_acquire acquire;
        return PyErr_CheckSignals() != 0;
    };
    analysis::FileOutcome outcome;
    bool interrupted = false;
    try {
        py::gil_scoped_release release;
        outcome = analysis::Calibrate(request, &interrupted);
    } catch (const RunnerFailed &) { throw py::error_already_set(); }
    if (interrupted) throw py::error_already_set();
    return Outcome(std::move(outcome)).first;
}

// One run of a calibration where a worker makes it: the request's factors and targets
// read once, then any run's summaries as the core makes them.
class CalibrationUnit {
public:
    CalibrationUnit(const py::object &factors, const std::string &observed, std::uint32_t seed, std::int32_t steps,
                    const NamedTexts &named, const std::vector<std::string> &observedGrids,
                    const std::string &gridCompare, const std::string &species)
        : Request(RequestOf(RunOptionsOf(factors, observed, seed, steps, named, observedGrids, gridCompare, species))),
          Inputs(analysis::CalibrationRunInputsOf(Request)) {
        analysis::FileOutcome problems;
        problems.Problems = Inputs.Problems;
        Outcome(std::move(problems));
    }
    // The run's summaries, or None when it faulted.
    py::object Run(std::vector<double> values, std::uint32_t seed, std::int64_t point, std::int64_t replicate) const {
        std::vector<double> summaries;
        {
            py::gil_scoped_release release;
            summaries = analysis::CalibrationRunSummaries(
                Request, Inputs.Factors, {std::move(values), seed, point, replicate}, Inputs.Targets, Inputs.Steps);
        }
        if (summaries.empty()) return py::none();
        return py::cast(summaries);
    }

private:
    analysis::CalibrationRequest Request;
    analysis::CalibrationRunInputs Inputs;
};

// Whether each step of `steps` stays in a study table thinned by `every` ("K" or
// "last"), the run's last step being `last`.
py::array_t<bool> TableStepsKept(const std::vector<std::int64_t> &steps, const std::string &every, std::int64_t last) {
    const auto kept = core::ParseTableSteps(every);
    if (!kept) throw py::value_error(core::Message("option.bad_table_every", {"table_every", every}));
    py::array_t<bool> out(static_cast<py::ssize_t>(steps.size()));
    auto mask = out.mutable_unchecked<1>();
    for (std::size_t k = 0; k < steps.size(); ++k)
        mask(static_cast<py::ssize_t>(k)) =
            core::KeepsStep(*kept, static_cast<std::int32_t>(steps[k]), static_cast<std::int32_t>(last));
    return out;
}

void CheckTableMetric(const std::string &name) {
    if (!analysis::IsRecordedMetric(name))
        throw py::value_error(core::Message("option.bad_table_metric", {"table_metrics", name}));
}

// The metrics `names` of one run from its trace's columns (with the occupied cells), as
// the batch tool's runs compute them step by step; missing when it did not complete.
std::vector<double> RunMetricValues(const std::vector<std::string> &names, const py::dict &trace, bool completed) {
    for (const std::string &name : names) CheckTableMetric(name);
    const auto column = [&trace](const char *name) { return trace[name].cast<std::vector<double>>(); };
    const std::vector<double> step = column("step"), cellDensity = column("cell_density"),
                              cellCompacted = column("cell_compacted"), cellDecompacted = column("cell_decompacted"),
                              meanDensity = column("mean_density"), meanCompacted = column("mean_compacted"),
                              total = column("total_density"), occupied = column("_occupied_cells");
    const std::vector<double> emigrants = trace.contains(core::EmigrantsColumnName)
                                              ? column(core::EmigrantsColumnName)
                                              : std::vector<double>(step.size(), 0.0);
    const auto cells = trace["_cells"].cast<std::int64_t>();
    analysis::RunMetricsRecorder recorder(names);
    for (std::size_t k = 0; k < step.size(); ++k) {
        core::StepRecord r;
        r.CellDensity = static_cast<std::int32_t>(cellDensity[k]);
        r.CellCompacted = cellCompacted[k];
        r.CellDecompacted = cellDecompacted[k];
        r.MeanDensity = meanDensity[k];
        r.MeanCompacted = meanCompacted[k];
        r.TotalDensity = static_cast<std::int64_t>(total[k]);
        r.Emigrants = static_cast<std::int64_t>(emigrants[k]);
        r.OccupiedCells = static_cast<std::int64_t>(occupied[k]);
        r.Cells = cells;
        recorder.Add(static_cast<std::int64_t>(step[k]), r);
    }
    return recorder.Values(completed);
}

}  // namespace

void AddSensitivity(py::module_ &m) {
    m.def("table_steps_kept", &TableStepsKept, py::arg("steps"), py::arg("every"), py::arg("last"),
          "Which steps a study table thinned as glebix-batch --table-every keeps.");
    m.def("check_table_metric", &CheckTableMetric, py::arg("name"), "Refuses a name --table-metric refuses.");
    m.def("run_metrics", &RunMetricValues, py::arg("names"), py::arg("trace"), py::arg("completed"),
          "The run metrics of one run from its trace, as glebix-batch --table-metric writes them.");
    m.def("table_text", &TableTextOf, py::arg("names"), py::arg("columns"),
          "A table's columns (arrays of reals or whole numbers, lists of texts) as the CSV text a study table is.");
    m.def("sample_design", &SampleDesign, py::arg("factors"), py::arg("method"), py::arg("samples"), py::arg("seed"),
          py::arg("levels"), py::arg("pool"), py::arg("design_out"),
          "Samples factors (a file's path or (name, low, high, scale) rows): (names, whole, values); writes the "
          "design file of glebix-batch --sample unless design_out is empty.");
    m.def("analyse_table", &AnalyseTable, py::arg("table_path"), py::arg("table_text"), py::arg("factors"),
          py::arg("method"), py::arg("metrics"), py::arg("seed"), py::arg("bootstrap"), py::arg("at_step"),
          py::arg("every_step"), py::arg("max_dropped"), py::arg("indices"), py::arg("figure"),
          "The indices of a table as glebix-batch --analyse computes them: (csv, notes, warnings); writes the "
          "indices file and the figure unless their paths are empty.");
    m.def("calibrate", &Calibrate, py::arg("factors"), py::arg("observed"), py::arg("out"), py::arg("method"),
          py::arg("samples"), py::arg("accept"), py::arg("replicates"), py::arg("seed"), py::arg("jobs"),
          py::arg("steps"), py::arg("settings"), py::arg("observed_grids") = std::vector<std::string>{},
          py::arg("grid_compare") = "", py::arg("figure") = "", py::arg("species") = "",
          py::arg("run_batch") = py::none(), py::arg("prior_sample") = "",
          "Calibrates into a folder, as glebix-batch --calibrate; the notes.");
    py::class_<CalibrationUnit>(m, "CalibrationUnit", "One run of a calibration, as a worker makes it.")
        .def(py::init<const py::object &, const std::string &, std::uint32_t, std::int32_t, const NamedTexts &,
                      const std::vector<std::string> &, const std::string &, const std::string &>(),
             py::arg("factors"), py::arg("observed"), py::arg("seed"), py::arg("steps"), py::arg("settings"),
             py::arg("observed_grids"), py::arg("grid_compare"), py::arg("species"))
        .def("run", &CalibrationUnit::Run, py::arg("values"), py::arg("seed"), py::arg("point"), py::arg("replicate"),
             "The run's summaries, or None when it faulted.");
}

}  // namespace glebix::python
