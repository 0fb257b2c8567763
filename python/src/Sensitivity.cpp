#include "Sensitivity.h"

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CalibrationStudy.h"
#include "Messages.h"
#include "RunSettings.h"
#include "SensitivityFiles.h"

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
                                   std::uint32_t seed, int jobs, std::int32_t steps, const NamedTexts &named) {
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
    analysis::FileOutcome outcome;
    {
        py::gil_scoped_release release;
        outcome = analysis::Calibrate(request);
    }
    return Outcome(std::move(outcome)).first;
}

}  // namespace

void AddSensitivity(py::module_ &m) {
    m.def("write_design", &WriteDesign, py::arg("factors"), py::arg("method"), py::arg("samples"), py::arg("seed"),
          py::arg("levels"), py::arg("pool"), py::arg("design_out"),
          "Samples a factors file into a design file, as glebix-batch --sample.");
    m.def("write_indices", &WriteIndices, py::arg("table"), py::arg("factors"), py::arg("method"), py::arg("metrics"),
          py::arg("seed"), py::arg("bootstrap"), py::arg("at_step"), py::arg("every_step"), py::arg("max_dropped"),
          py::arg("indices"), "Analyses a table into an indices file, as glebix-batch --analyse; (notes, warnings).");
    m.def("calibrate", &Calibrate, py::arg("factors"), py::arg("observed"), py::arg("out"), py::arg("method"),
          py::arg("samples"), py::arg("accept"), py::arg("replicates"), py::arg("seed"), py::arg("jobs"),
          py::arg("steps"), py::arg("settings"), "Calibrates into a folder, as glebix-batch --calibrate; the notes.");
}

}  // namespace glebix::python
