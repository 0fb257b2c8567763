#include "SensitivityRun.h"

#include <filesystem>
#include <system_error>

#include "AtomicFile.h"
#include "Errors.h"
#include "Indices.h"
#include "InputFile.h"
#include "Messages.h"
#include "Sampling.h"

namespace glebix::batch {

namespace {

constexpr int ExitWritten = 0, ExitNotWritten = 1, ExitUsage = 2;

bool SameFile(const std::string &a, const std::string &b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const auto canonicalA = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const auto canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

// The problem with writing `option`'s `path`: a folder there, or one of the inputs.
std::vector<std::string> PlaceProblems(const char *option, const std::string &path,
                                       const std::vector<std::pair<const char *, std::string>> &inputs) {
    std::vector<std::string> problems;
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        problems.push_back(Labelled(std::string(option) + " " + path, Message("file.is_folder")));
    for (const auto &[input, inputPath] : inputs)
        if (SameFile(path, inputPath)) problems.push_back(Message("option.output_is_input", {option, path, input}));
    return problems;
}

// The bytes of an input, or its problem printed.
const std::string *Bytes(const BatchOptions &options, const char *option, const std::string &path,
                         std::vector<std::string> &problems) {
    const ReadInput &read = ReadInputOnce(*options.Files, path);
    if (!read.Bytes) problems.push_back(Labelled(std::string(option) + " " + path, FromFrench(read.Error)));
    return read.Bytes.get();
}

int Report(const std::vector<std::string> &problems, const std::function<void(const std::string &)> &print) {
    for (const std::string &p : problems) print(Message("batch.line", {p}));
    return problems.empty() ? ExitWritten : ExitUsage;
}

int Write(const std::string &path, const std::string &text, const std::function<void(const std::string &)> &print) {
    try {
        WriteFileAtomically(path, text);
    } catch (const GlebixError &e) {
        print(Message("batch.line", {LocalMessageWithContext(e)}));
        return ExitNotWritten;
    }
    return ExitWritten;
}

int Sample(const BatchOptions &options, const std::function<void(const std::string &)> &print) {
    const SensitivityOptions &s = options.Sensitivity;
    std::vector<std::string> problems = PlaceProblems("--design-out", s.DesignOut, {{"--factors", s.FactorsPath}});
    const std::string *factors = Bytes(options, "--factors", s.FactorsPath, problems);
    if (!problems.empty()) return Report(problems, print);
    analysis::SampleRequest request;
    request.Kind = *analysis::MethodNamed(s.SampleMethod);
    request.Samples = s.Samples.value_or(0);
    request.Seed = options.Seed.value_or(0);
    request.Levels = s.Levels.value_or(request.Levels);
    request.Pool = s.Pool.value_or(0);
    const analysis::SampledDesign design = analysis::SampleDesign(*factors, s.FactorsPath, request);
    if (!design.Problems.empty()) return Report(design.Problems, print);
    return Write(s.DesignOut, design.Text, print);
}

int Analyse(const BatchOptions &options, const std::function<void(const std::string &)> &print) {
    const SensitivityOptions &s = options.Sensitivity;
    std::vector<std::string> problems =
        PlaceProblems("--indices", s.IndicesPath, {{"--analyse", s.AnalysePath}, {"--factors", s.FactorsPath}});
    const std::string *factorsText = Bytes(options, "--factors", s.FactorsPath, problems);
    const std::string *table = Bytes(options, "--analyse", s.AnalysePath, problems);
    if (!problems.empty()) return Report(problems, print);
    analysis::ParsedFactors factors = analysis::ParseFactorsText(*factorsText, s.FactorsPath);
    if (!factors.Problems.empty()) return Report(factors.Problems, print);
    analysis::AnalysisRequest request;
    request.Kind = *analysis::MethodNamed(s.Method);
    request.Factors = std::move(factors.Factors);
    request.Metrics = s.Metrics;
    request.Resamples = s.Bootstrap.value_or(analysis::DefaultResamples);
    request.Seed = options.Seed.value_or(0);
    if (s.AtStep) request.AtStep = *s.AtStep;
    request.EveryStep = s.EveryStep;
    request.MaxDropped = s.MaxDropped.value_or(analysis::DefaultMaxDropped);
    const analysis::AnalysisOutcome outcome = analysis::AnalyseTable(*table, s.AnalysePath, request);
    if (!outcome.Problems.empty()) return Report(outcome.Problems, print);
    if (!options.Quiet)
        for (const std::string &note : outcome.Notes) print(Message("batch.line", {note}));
    for (const std::string &warning : outcome.Warnings) print(Message("batch.warning", {warning}));
    return Write(s.IndicesPath, outcome.Csv, print);
}

}  // namespace

int RunSensitivity(const BatchOptions &options, const std::function<void(const std::string &)> &print) {
    return options.Sensitivity.SampleMethod.empty() ? Analyse(options, print) : Sample(options, print);
}

}  // namespace glebix::batch
