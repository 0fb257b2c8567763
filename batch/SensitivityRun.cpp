#include "SensitivityRun.h"

#include <filesystem>
#include <variant>

#include "AtomicFile.h"
#include "BatchRun.h"
#include "CalibrationStudy.h"
#include "Errors.h"
#include "CalibrationFigure.h"
#include "Conversions.h"
#include "IndicesFigure.h"
#include "InputFile.h"
#include "Messages.h"
#include "SensitivityOptions.h"
#include "SensitivityFiles.h"
#include "StudyOutputs.h"

namespace glebix::batch {

namespace {

constexpr int ExitWritten = 0, ExitNotWritten = 1, ExitUsage = 2;
// A calibration's gathering kept what its slice files gave, and another batch now waits
// for its slices.
constexpr int ExitBatchPending = 3;

int Report(const analysis::FileOutcome &outcome, bool quiet, const std::function<void(const std::string &)> &print) {
    for (const std::string &p : outcome.Problems) print(Message("batch.line", {p}));
    if (!outcome.Problems.empty()) return ExitUsage;
    if (!quiet)
        for (const std::string &note : outcome.Notes) print(Message("batch.line", {note}));
    for (const std::string &warning : outcome.Warnings) print(Message("batch.warning", {warning}));
    if (outcome.WriteError.empty()) return ExitWritten;
    print(Message("batch.line", {outcome.WriteError}));
    return ExitNotWritten;
}

bool SamePlace(const std::string &a, const std::string &b) {
    std::error_code error;
    const auto canonicalA = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const auto canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

// The figure of the indices just written (the pictures module, loaded now).
void WriteFigure(const std::string &indicesPath, const std::string &figurePath, analysis::FileOutcome &outcome) {
    try {
        WriteFileAtomically(figurePath, render::IndicesFigurePng(ReadInputFile(indicesPath)));
    } catch (const GlebixError &e) {
        outcome.WriteError = LocalMessageWithContext(e);
    } catch (const std::exception &e) { outcome.WriteError = Labelled("--figure", LocalExceptionMessage(e)); }
}

}  // namespace

namespace {

int RunCalibration(const BatchOptions &options, const std::function<void(const std::string &)> &print) {
    const SensitivityOptions &s = options.Sensitivity;
    if (!s.Calibrate) {
        analysis::TableCalibrationRequest table{s.AnalysePath,
                                                s.FactorsPath,
                                                s.ObservedPath,
                                                OutputAsked(options, "--out"),
                                                s.Accept.value_or(analysis::DefaultAcceptFraction),
                                                options.Arguments,
                                                s.FigurePath,
                                                render::CalibrationFigurePng};
        return Report(analysis::CalibrateTableFiles(table), options.Quiet, print);
    }
    analysis::CalibrationOptions given;
    given.Factors = s.FactorsPath;
    given.Observed = s.ObservedPath;
    given.Out = OutputAsked(options, "--out");
    given.Method = s.Method;
    given.Samples = s.Samples.value_or(0);
    given.Accept = s.Accept.value_or(analysis::DefaultAcceptFraction);
    given.Replicates = options.Replicates;
    given.Seed = options.Seed.value_or(0);
    given.Jobs = options.Jobs;
    given.Steps = FieldToInteger(options.Settings.Run.StepCount);
    given.Settings = options.Settings;
    for (const InputFile &input : options.Inputs)
        if (input.Role == "species") given.Species = input.Path;
    given.Program = "glebix-batch";
    given.ObservedGrids = s.Grids;
    given.GridCompare = s.GridCompare;
    given.Figure = s.FigurePath;
    given.Prior = s.PriorSample;
    auto made = analysis::CalibrationRequestOf(std::move(given));
    if (const auto *problem = std::get_if<std::string>(&made)) {  // the command line checked every name
        analysis::FileOutcome refused;
        refused.Problems.push_back(*problem);
        return Report(refused, options.Quiet, print);
    }
    analysis::CalibrationRequest &request = std::get<analysis::CalibrationRequest>(made);
    request.Inputs = options.Files;
    request.Arguments = options.Arguments;
    request.Interrupted = [] { return StopSignal().load() != 0; };
    request.DrawFigure = render::CalibrationFigurePng;
    request.Slice = options.SliceAsked;
    request.Gather = s.Gather;
    analysis::CalibrationEnd end = analysis::CalibrationEnd::Written;
    const analysis::FileOutcome outcome = analysis::Calibrate(request, end);
    const int status = Report(outcome, options.Quiet, print);
    if (status != ExitWritten || end != analysis::CalibrationEnd::BatchPending) return status;
    // What waits is said even when quiet: a job script goes on by it.
    if (options.Quiet && !outcome.Notes.empty()) print(Message("batch.line", {outcome.Notes.back()}));
    return ExitBatchPending;
}

}  // namespace

int RunSensitivity(const BatchOptions &options, const std::function<void(const std::string &)> &print) {
    const SensitivityOptions &s = options.Sensitivity;
    if (AsksCalibration(options)) return RunCalibration(options, print);
    if (!s.SampleMethod.empty()) {
        return Report(analysis::WriteDesignFile(s.FactorsPath, SampleRequestOf(options), s.DesignOut), options.Quiet,
                      print);
    }
    analysis::AnalysisRequest request;
    request.Kind = *analysis::MethodNamed(s.Method);
    request.Metrics = s.Metrics;
    request.Resamples = s.Bootstrap.value_or(analysis::DefaultResamples);
    request.Seed = options.Seed.value_or(0);
    if (s.AtStep) request.AtStep = *s.AtStep;
    request.EveryStep = s.EveryStep;
    request.MaxDropped = s.MaxDropped.value_or(analysis::DefaultMaxDropped);
    analysis::FileOutcome outcome;
    for (const std::string &taken :
         {s.AnalysePath, s.FactorsPath, s.IndicesPath, analysis::AnalysisManifestPath(s.IndicesPath)})
        if (!s.FigurePath.empty() && SamePlace(s.FigurePath, taken))
            outcome.Problems.push_back(Message("analysis.output_is_input", {s.FigurePath}));
    if (outcome.Problems.empty())
        outcome = analysis::WriteIndicesFile(s.AnalysePath, s.FactorsPath, request, s.IndicesPath);
    if (outcome.Written() && !s.FigurePath.empty()) WriteFigure(s.IndicesPath, s.FigurePath, outcome);
    return Report(outcome, options.Quiet, print);
}

int WriteSampledDesign(const BatchOptions &options, const std::function<void(const std::string &)> &print) {
    const SensitivityOptions &s = options.Sensitivity;
    if (!s.RunsSample || s.DesignOut.empty()) return ExitWritten;
    analysis::FileOutcome outcome;
    for (const std::string &output : StudyWideFiles(options))
        if (SamePlace(s.DesignOut, output))
            outcome.Problems.push_back(Message("option.design_out_clash", {s.DesignOut}));
    for (const InputFile &input : options.Inputs)
        if (outcome.Problems.empty() && SamePlace(s.DesignOut, input.Path))
            outcome.Problems.push_back(Message("analysis.output_is_input", {s.DesignOut}));
    if (outcome.Problems.empty())
        outcome = analysis::WriteDesignFile(s.FactorsPath, SampleRequestOf(options), s.DesignOut);
    return Report(outcome, true, print);
}

}  // namespace glebix::batch
