// glebix_sample(), glebix_analyse() and glebix_calibrate(): the sensitivity analysis
// and the calibration between files of the core (SensitivityFiles.h,
// CalibrationStudy.h), so that R writes the bytes glebix-batch writes.
#include <optional>
#include <string>

#include "CalibrationFigure.h"
#include "CalibrationStudy.h"
#include "RGlue.h"
#include "RSettings.h"
#include "RunMetrics.h"
#include "SensitivityFiles.h"

using namespace glebix;
using namespace glebix::r;

namespace {

analysis::Method MethodOf(SEXP method) {
    const std::string name = Text(method);
    const auto found = analysis::MethodNamed(name);
    if (!found) throw GlebixError(batch::Message("python.bad_method", {"method", name}));
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

}  // namespace

// The design of `method` for the factors file, written to `designOut`.
extern "C" SEXP gx_write_design(SEXP factors, SEXP method, SEXP samples, SEXP seed, SEXP levels, SEXP pool,
                                SEXP designOut) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        analysis::SampleRequest request;
        request.Kind = MethodOf(method);
        request.Samples = Rcpp::as<int>(samples);
        request.Seed = static_cast<std::uint32_t>(Rcpp::as<double>(seed));
        request.Levels = Rcpp::as<int>(levels);
        request.Pool = Rcpp::as<int>(pool);
        return Outcome(analysis::WriteDesignFile(Text(factors), request, Text(designOut)));
    });
    END_RCPP
}

// The indices of the table, written to `indices`; the step is NA for the last one.
extern "C" SEXP gx_write_indices(SEXP table, SEXP factors, SEXP method, SEXP metrics, SEXP seed, SEXP bootstrap,
                                 SEXP atStep, SEXP everyStep, SEXP maxDropped, SEXP indices) {
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
        return Outcome(analysis::WriteIndicesFile(Text(table), Text(factors), request, Text(indices)));
    });
    END_RCPP
}

// The calibration of glebix-batch --calibrate into the folder `out`, the settings given
// as names and texts; the notes.
extern "C" SEXP gx_calibrate(SEXP factors, SEXP observed, SEXP out, SEXP method, SEXP samples, SEXP accept,
                             SEXP replicates, SEXP seed, SEXP jobs, SEXP steps, SEXP names, SEXP values, SEXP grids,
                             SEXP compare, SEXP figure) {
    BEGIN_RCPP
    return Guarded([&]() -> SEXP {
        const std::string name = Text(method);
        const auto kind = analysis::CalibrationMethodNamed(name);
        if (!kind) throw GlebixError(batch::Message("python.bad_method", {"method", name}));
        analysis::CalibrationRequest request;
        request.Method = *kind;
        request.FactorsPath = Text(factors);
        request.ObservedPath = Text(observed);
        request.OutDir = Text(out);
        request.Samples = Rcpp::as<int>(samples);
        request.Accept = Rcpp::as<double>(accept);
        request.Replicates = Rcpp::as<int>(replicates);
        request.Seed = static_cast<std::uint32_t>(Rcpp::as<double>(seed));
        request.Jobs = Rcpp::as<int>(jobs);
        request.Settings =
            BuildSettings("", Rcpp::as<std::vector<std::string>>(names), Rcpp::as<std::vector<std::string>>(values));
        request.Settings.Run.StepCount = std::to_string(Rcpp::as<int>(steps));
        request.Program = "glebix (R)";
        if (auto refused = analysis::TakeGridOptions(request, Rcpp::as<std::vector<std::string>>(grids), Text(compare),
                                                     Text(figure)))
            throw GlebixError(*refused);
        request.DrawFigure = batch::CalibrationFigurePng;
        return Outcome(analysis::Calibrate(request));
    });
    END_RCPP
}

// Whether a run records the metric `name` as a column of its table (--table-metric).
extern "C" SEXP gx_is_recorded_metric(SEXP name) {
    BEGIN_RCPP
    return Rcpp::wrap(analysis::IsRecordedMetric(Text(name)));
    END_RCPP
}
