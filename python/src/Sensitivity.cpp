#include "Sensitivity.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CalibrationFigure.h"
#include "CalibrationStudy.h"
#include "Messages.h"
#include "RunSettings.h"
#include "RunMetrics.h"
#include "SensitivityFiles.h"
#include "StudyTable.h"

namespace py = pybind11;

namespace glebix::python {

namespace {

analysis::Method MethodOf(const std::string &name, const char *argument) {
    const auto method = analysis::MethodNamed(name);
    if (!method) throw py::value_error(batch::Message("python.bad_method", {argument, name}));
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

void WriteDesign(const std::string &factors, const std::string &method, int samples, std::uint32_t seed, int levels,
                 int pool, const std::string &designOut) {
    analysis::SampleRequest request;
    request.Kind = MethodOf(method, "method");
    request.Samples = samples;
    request.Seed = seed;
    request.Levels = levels;
    request.Pool = pool;
    analysis::FileOutcome outcome;
    {
        py::gil_scoped_release release;
        outcome = analysis::WriteDesignFile(factors, request, designOut);
    }
    Outcome(std::move(outcome));
}

std::pair<std::vector<std::string>, std::vector<std::string>> WriteIndices(
    const std::string &table, const std::string &factors, const std::string &method,
    const std::vector<std::string> &metrics, std::uint32_t seed, int bootstrap, std::optional<std::int64_t> atStep,
    bool everyStep, double maxDropped, const std::string &indices) {
    analysis::AnalysisRequest request;
    request.Kind = MethodOf(method, "method");
    request.Metrics = metrics;
    request.Seed = seed;
    request.Resamples = bootstrap;
    request.AtStep = atStep;
    request.EveryStep = everyStep;
    request.MaxDropped = maxDropped;
    analysis::FileOutcome outcome;
    {
        py::gil_scoped_release release;
        outcome = analysis::WriteIndicesFile(table, factors, request, indices);
    }
    return Outcome(std::move(outcome));
}

// The calibration of glebix-batch --calibrate, the settings given by name; the notes.
std::vector<std::string> Calibrate(const std::string &factors, const std::string &observed, const std::string &out,
                                   const std::string &method, int samples, double accept, int replicates,
                                   std::uint32_t seed, int jobs, std::int32_t steps, const NamedTexts &named,
                                   const std::vector<std::string> &observedGrids, const std::string &gridCompare,
                                   const std::string &figure) {
    const auto kind = analysis::CalibrationMethodNamed(method);
    if (!kind) throw py::value_error(batch::Message("python.bad_method", {"method", method}));
    analysis::CalibrationRequest request;
    request.Method = *kind;
    request.FactorsPath = factors;
    request.ObservedPath = observed;
    request.OutDir = out;
    request.Samples = samples;
    request.Accept = accept;
    request.Replicates = replicates;
    request.Seed = seed;
    request.Jobs = jobs;
    request.Settings = BuildRunSettings(std::nullopt, named);
    request.Settings.Run.StepCount = std::to_string(steps);
    request.Program = "glebix (Python)";
    if (auto refused = analysis::TakeGridOptions(request, observedGrids, gridCompare, figure))
        throw py::value_error(*refused);
    request.DrawFigure = batch::CalibrationFigurePng;
    analysis::FileOutcome outcome;
    {
        py::gil_scoped_release release;
        outcome = analysis::Calibrate(request);
    }
    return Outcome(std::move(outcome)).first;
}

// Whether each step of `steps` stays in a study table thinned by `every` ("K" or
// "last"), the run's last step being `last`.
py::array_t<bool> TableStepsKept(const std::vector<std::int64_t> &steps, const std::string &every, std::int64_t last) {
    const auto kept = batch::ParseTableSteps(every);
    if (!kept) throw py::value_error(batch::Message("option.bad_table_every", {"table_every", every}));
    py::array_t<bool> out(static_cast<py::ssize_t>(steps.size()));
    auto mask = out.mutable_unchecked<1>();
    for (std::size_t k = 0; k < steps.size(); ++k)
        mask(static_cast<py::ssize_t>(k)) =
            batch::KeepsStep(*kept, static_cast<std::int32_t>(steps[k]), static_cast<std::int32_t>(last));
    return out;
}

void CheckTableMetric(const std::string &name) {
    if (!analysis::IsRecordedMetric(name))
        throw py::value_error(batch::Message("option.bad_table_metric", {"table_metrics", name}));
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
    const std::vector<double> emigrants = trace.contains(batch::EmigrantsColumnName)
                                              ? column(batch::EmigrantsColumnName)
                                              : std::vector<double>(step.size(), 0.0);
    const auto cells = trace["_cells"].cast<std::int64_t>();
    analysis::RunMetricsRecorder recorder(names);
    for (std::size_t k = 0; k < step.size(); ++k) {
        batch::StepRecord r;
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
    m.def("write_design", &WriteDesign, py::arg("factors"), py::arg("method"), py::arg("samples"), py::arg("seed"),
          py::arg("levels"), py::arg("pool"), py::arg("design_out"),
          "Samples a factors file into a design file, as glebix-batch --sample.");
    m.def("write_indices", &WriteIndices, py::arg("table"), py::arg("factors"), py::arg("method"), py::arg("metrics"),
          py::arg("seed"), py::arg("bootstrap"), py::arg("at_step"), py::arg("every_step"), py::arg("max_dropped"),
          py::arg("indices"), "Analyses a table into an indices file, as glebix-batch --analyse; (notes, warnings).");
    m.def("calibrate", &Calibrate, py::arg("factors"), py::arg("observed"), py::arg("out"), py::arg("method"),
          py::arg("samples"), py::arg("accept"), py::arg("replicates"), py::arg("seed"), py::arg("jobs"),
          py::arg("steps"), py::arg("settings"), py::arg("observed_grids") = std::vector<std::string>{},
          py::arg("grid_compare") = "", py::arg("figure") = "",
          "Calibrates into a folder, as glebix-batch --calibrate; the notes.");
}

}  // namespace glebix::python
