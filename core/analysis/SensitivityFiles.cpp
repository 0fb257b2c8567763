#include "SensitivityFiles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "AtomicFile.h"
#include "Errors.h"
#include "InputFile.h"
#include "Manifest.h"
#include "Messages.h"
#include "Sha256.h"

namespace glebix::analysis {

std::optional<std::string> ReadInputOrProblem(const std::string &path, FileOutcome &out) {
    try {
        return ReadInputFile(path);
    } catch (const GlebixError &e) {
        out.Problems.push_back(core::LocalMessageWithContext(e));
        return std::nullopt;
    }
}

namespace {

using core::Labelled;
using core::Message;

bool SameFile(const std::string &a, const std::string &b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const auto canonicalA = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const auto canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

// The problems of writing `path`: empty, a folder there, or one of the inputs.
void CheckPlace(const std::string &path, const std::vector<std::string> &inputs, FileOutcome &out) {
    std::error_code error;
    if (path.empty()) {
        out.Problems.push_back(Message("analysis.empty_path"));
        return;
    }
    if (std::filesystem::is_directory(path, error)) out.Problems.push_back(Labelled(path, Message("file.is_folder")));
    for (const std::string &input : inputs)
        if (SameFile(path, input)) out.Problems.push_back(Message("analysis.output_is_input", {path}));
}

// A table of any size, or its problem.
std::optional<std::string> ReadLarge(const std::string &path, FileOutcome &out) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    std::string text;
    if (file) {
        constexpr std::size_t Chunk = std::size_t{1} << 20;
        std::vector<char> buffer(Chunk);
        for (std::size_t got; (got = std::fread(buffer.data(), 1, Chunk, file.get())) > 0;)
            text.append(buffer.data(), got);
        if (!std::ferror(file.get())) return text;
    }
    out.Problems.push_back(core::LocalIoErrorMessage(errno, path));
    return std::nullopt;
}

void Write(const std::string &path, const std::string &text, FileOutcome &out) {
    try {
        WriteFileAtomically(path, text);
    } catch (const GlebixError &e) { out.WriteError = core::LocalMessageWithContext(e); }
}

}  // namespace

ParsedFactors ReadFactorsFile(const std::string &path) {
    FileOutcome out;
    const auto text = ReadInputOrProblem(path, out);
    if (!text) return ParsedFactors{{}, std::move(out.Problems)};
    return ParseFactorsText(*text, path);
}

DesignOutcome SampleInto(const std::vector<Factor> &factors, const SampleRequest &request,
                         const std::string &designPath, const std::vector<std::string> &inputs) {
    DesignOutcome out;
    if (!designPath.empty()) CheckPlace(designPath, inputs, out);
    if (!out.Problems.empty()) return out;
    out.Design = SampleFactors(factors, request);
    out.Problems = out.Design.Problems;
    if (out.Problems.empty() && !designPath.empty()) Write(designPath, out.Design.Text, out);
    return out;
}

std::optional<std::string> ReadTableOrProblem(const std::string &path, FileOutcome &out) {
    return ReadLarge(path, out);
}

void CheckOutputPlace(const std::string &path, const std::vector<std::string> &inputs, FileOutcome &out) {
    CheckPlace(path, inputs, out);
}

FileOutcome WriteDesignFile(const std::string &factorsPath, const SampleRequest &request,
                            const std::string &designPath) {
    FileOutcome out;
    CheckPlace(designPath, {factorsPath}, out);
    const auto factors = ReadInputOrProblem(factorsPath, out);
    if (!out.Problems.empty()) return out;
    SampledDesign design = SampleDesign(*factors, factorsPath, request);
    out.Problems = std::move(design.Problems);
    if (out.Problems.empty()) Write(designPath, design.Text, out);
    return out;
}

namespace {

core::AnalysisManifestContents ManifestOf(const std::string &tablePath, const std::string &table,
                                          const std::string &factorsPath, const std::string &factors,
                                          const AnalysisRequest &request) {
    core::AnalysisManifestContents m;
    m.Started = core::UtcNow();
    m.Inputs = {core::InputRecordOf("table", tablePath, table), core::InputRecordOf("factors", factorsPath, factors)};
    m.Method = MethodName(request.Kind);
    m.Metrics = request.Metrics;
    m.Seed = request.Seed;
    m.Bootstrap = request.Resamples;
    m.AtStep = request.AtStep;
    m.EveryStep = request.EveryStep;
    m.MaxDropped = request.MaxDropped;
    return m;
}

// The indices, then their manifest: a manifest never tells of indices not written.
void WriteIndicesAndManifest(const std::string &indicesPath, const std::string &csv,
                             core::AnalysisManifestContents manifest, FileOutcome &out) {
    Write(indicesPath, csv, out);
    if (!out.WriteError.empty()) return;
    manifest.Indices = indicesPath;
    manifest.IndicesSha256 = Sha256Hex(csv);
    manifest.Notes = out.Notes;
    manifest.Warnings = out.Warnings;
    Write(AnalysisManifestPath(indicesPath), core::AnalysisManifestText(manifest), out);
}

}  // namespace

std::string AnalysisManifestPath(const std::string &indicesPath) { return core::ManifestPathBeside(indicesPath); }

IndicesOutcome AnalyseInto(const std::string &table, const std::string &tableSource, const std::vector<Factor> &factors,
                           const std::string &factorsPath, AnalysisRequest request, const std::string &indicesPath) {
    IndicesOutcome out;
    std::vector<std::string> inputs;
    for (const std::string &input : {tableSource, factorsPath})
        if (!input.empty()) inputs.push_back(input);
    if (!indicesPath.empty()) {
        CheckPlace(indicesPath, inputs, out);
        inputs.push_back(indicesPath);
        if (out.Problems.empty()) CheckPlace(AnalysisManifestPath(indicesPath), inputs, out);
    }
    if (!out.Problems.empty()) return out;
    std::string factorsText;
    if (factorsPath.empty())
        factorsText = FactorsText(factors);
    else if (auto text = ReadInputOrProblem(factorsPath, out))
        factorsText = std::move(*text);
    else
        return out;
    request.Factors = factors;
    const core::AnalysisManifestContents manifest = ManifestOf(tableSource, table, factorsPath, factorsText, request);
    AnalysisOutcome analysis = AnalyseTable(table, tableSource.empty() ? "table" : tableSource, request);
    out.Problems = std::move(analysis.Problems);
    out.Notes = std::move(analysis.Notes);
    out.Warnings = std::move(analysis.Warnings);
    out.Csv = std::move(analysis.Csv);
    if (out.Problems.empty() && !indicesPath.empty()) WriteIndicesAndManifest(indicesPath, out.Csv, manifest, out);
    return out;
}

FileOutcome WriteIndicesFile(const std::string &tablePath, const std::string &factorsPath, AnalysisRequest request,
                             const std::string &indicesPath) {
    FileOutcome out;
    CheckPlace(indicesPath, {tablePath, factorsPath}, out);
    if (out.Problems.empty()) CheckPlace(AnalysisManifestPath(indicesPath), {tablePath, factorsPath, indicesPath}, out);
    const auto factorsText = ReadInputOrProblem(factorsPath, out);
    const auto table = ReadLarge(tablePath, out);
    if (!out.Problems.empty()) return out;
    ParsedFactors factors = ParseFactorsText(*factorsText, factorsPath);
    out.Problems = std::move(factors.Problems);
    if (!out.Problems.empty()) return out;
    return AnalyseInto(*table, tablePath, factors.Factors, factorsPath, std::move(request), indicesPath);
}

}  // namespace glebix::analysis
