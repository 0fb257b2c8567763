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
        out.Problems.push_back(batch::LocalMessageWithContext(e));
        return std::nullopt;
    }
}

namespace {

using batch::Labelled;
using batch::Message;

// How a table given as text is named in its problems.
constexpr const char *TableSourceName = "table";

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
    out.Problems.push_back(batch::LocalIoErrorMessage(errno, path));
    return std::nullopt;
}

void Write(const std::string &path, const std::string &text, FileOutcome &out) {
    try {
        WriteFileAtomically(path, text);
    } catch (const GlebixError &e) { out.WriteError = batch::LocalMessageWithContext(e); }
}

}  // namespace

namespace {

// The factors and the text they were read from (a file's bytes, or the file the rows
// make); nothing with the problems added to `out`.
struct ReadFactors {
    std::vector<Factor> Factors;
    std::string Text;
};
std::optional<ReadFactors> FactorsOf(const FactorsInput &input, FileOutcome &out) {
    ParsedFactors parsed;
    ReadFactors read;
    if (input.Rows) {
        parsed = FactorsFromRows(*input.Rows);
        if (parsed.Problems.empty()) read.Text = FactorsFileText(parsed.Factors);
    } else {
        auto text = ReadInputOrProblem(input.Path, out);
        if (!text) return std::nullopt;
        read.Text = std::move(*text);
        parsed = ParseFactorsText(read.Text, input.Path);
    }
    out.Problems.insert(out.Problems.end(), parsed.Problems.begin(), parsed.Problems.end());
    if (!out.Problems.empty()) return std::nullopt;
    read.Factors = std::move(parsed.Factors);
    return read;
}

// The input files a written output must not replace.
std::vector<std::string> InputPaths(const FactorsInput &factors, const TableInput *table = nullptr) {
    std::vector<std::string> paths;
    if (table && !table->Text) paths.push_back(table->Path);
    if (!factors.Rows) paths.push_back(factors.Path);
    return paths;
}

}  // namespace

FileOutcome SampleFactorsInput(const FactorsInput &factors, const SampleRequest &request,
                               const std::string &designPath) {
    FileOutcome out;
    if (!designPath.empty()) CheckPlace(designPath, InputPaths(factors), out);
    const auto read = FactorsOf(factors, out);
    if (!read) return out;
    SampledDesign design = SampleFactors(read->Factors, request);
    out.Problems = std::move(design.Problems);
    if (!out.Problems.empty()) return out;
    out.Text = std::move(design.Text);
    if (!designPath.empty()) Write(designPath, out.Text, out);
    return out;
}

FileOutcome WriteDesignFile(const std::string &factorsPath, const SampleRequest &request,
                            const std::string &designPath) {
    if (designPath.empty()) {
        FileOutcome out;
        CheckPlace(designPath, {}, out);
        return out;
    }
    return SampleFactorsInput({factorsPath, std::nullopt}, request, designPath);
}

namespace {

batch::AnalysisManifestContents ManifestOf(const std::string &tablePath, const std::string &table,
                                           const std::string &factorsPath, const std::string &factors,
                                           const AnalysisRequest &request) {
    batch::AnalysisManifestContents m;
    m.Started = batch::UtcNow();
    m.Inputs = {batch::InputRecordOf("table", tablePath, table), batch::InputRecordOf("factors", factorsPath, factors)};
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
                             batch::AnalysisManifestContents manifest, FileOutcome &out) {
    Write(indicesPath, csv, out);
    if (!out.WriteError.empty()) return;
    manifest.Indices = indicesPath;
    manifest.IndicesSha256 = Sha256Hex(csv);
    manifest.Notes = out.Notes;
    manifest.Warnings = out.Warnings;
    Write(AnalysisManifestPath(indicesPath), batch::AnalysisManifestText(manifest), out);
}

}  // namespace

std::string AnalysisManifestPath(const std::string &indicesPath) { return batch::ManifestPathBeside(indicesPath); }

FileOutcome AnalyseInputs(const TableInput &table, const FactorsInput &factors, AnalysisRequest request,
                          const std::string &indicesPath) {
    FileOutcome out;
    const std::vector<std::string> inputs = InputPaths(factors, &table);
    if (!indicesPath.empty()) {
        CheckPlace(indicesPath, inputs, out);
        std::vector<std::string> taken = inputs;
        taken.push_back(indicesPath);
        if (out.Problems.empty()) CheckPlace(AnalysisManifestPath(indicesPath), taken, out);
    }
    const auto read = FactorsOf(factors, out);
    const auto tableText = table.Text ? table.Text : ReadLarge(table.Path, out);
    if (!out.Problems.empty()) return out;
    request.Factors = read->Factors;
    const std::string source = table.Text ? std::string(TableSourceName) : table.Path;
    const batch::AnalysisManifestContents manifest =
        ManifestOf(table.Text ? "" : table.Path, *tableText, factors.Rows ? "" : factors.Path, read->Text, request);
    AnalysisOutcome analysis = AnalyseTable(*tableText, source, request);
    out.Problems = std::move(analysis.Problems);
    out.Notes = std::move(analysis.Notes);
    out.Warnings = std::move(analysis.Warnings);
    if (!out.Problems.empty()) return out;
    out.Text = std::move(analysis.Csv);
    if (!indicesPath.empty()) WriteIndicesAndManifest(indicesPath, out.Text, manifest, out);
    return out;
}

FileOutcome WriteIndicesFile(const std::string &tablePath, const std::string &factorsPath, AnalysisRequest request,
                             const std::string &indicesPath) {
    if (indicesPath.empty()) {
        FileOutcome out;
        CheckPlace(indicesPath, {}, out);
        return out;
    }
    return AnalyseInputs({tablePath, std::nullopt}, {factorsPath, std::nullopt}, std::move(request), indicesPath);
}

}  // namespace glebix::analysis
