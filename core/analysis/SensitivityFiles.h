// The sensitivity analysis between files, as every front end (the batch tool, Python,
// R) asks for it: a factors file sampled into a design file, a table of results
// analysed into an indices file. Each checks everything before it writes, writes its
// output atomically (an earlier file under the name stays whole when the write fails)
// and never under the name of one of its inputs; so the front ends write the same
// bytes and refuse the same inputs with the same messages.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Indices.h"
#include "Sampling.h"

namespace glebix::analysis {

struct FileOutcome {
    // Bad inputs or a refused output place, in the user's language: nothing written.
    std::vector<std::string> Problems;
    // The output could not be written (a full disk, a folder without rights).
    std::string WriteError;
    std::vector<std::string> Notes;     // the analysis's units dropped
    std::vector<std::string> Warnings;  // the analysis's indices unsure for the noise
    std::string Text;                   // the design or the indices made, written or not
    bool Written() const { return Problems.empty() && WriteError.empty(); }
};

// The whole input file at `path`, or nothing with its problem added to `out`.
std::optional<std::string> ReadInputOrProblem(const std::string &path, FileOutcome &out);

// Factors as a front end gives them: the path of a factors file, or rows
// (FactorsFromRows), whose problems then name the factor.
struct FactorsInput {
    std::string Path;
    std::optional<std::vector<FactorRow>> Rows;  // given: the factors, Path unused
};

// A table of results as a front end gives it: the path of a file, or its text.
struct TableInput {
    std::string Path;
    std::optional<std::string> Text;  // given: the table, Path unused
};

// Samples the factors into a design (the outcome's Text), written to `designPath`
// unless it is empty.
FileOutcome SampleFactorsInput(const FactorsInput &factors, const SampleRequest &request,
                               const std::string &designPath);

// Analyses the table into indices (the outcome's Text), written with their manifest
// to `indicesPath` unless it is empty; as WriteIndicesFile otherwise.
FileOutcome AnalyseInputs(const TableInput &table, const FactorsInput &factors, AnalysisRequest request,
                          const std::string &indicesPath);

// Samples the factors of `factorsPath` into the design file `designPath`.
FileOutcome WriteDesignFile(const std::string &factorsPath, const SampleRequest &request,
                            const std::string &designPath);

// Analyses the table `tablePath` for the factors of `factorsPath` into the indices
// file `indicesPath`; the request's factors are those of the file. The table is read
// whole, of any size. Then its manifest (core/Manifest.h) is written beside it, at
// AnalysisManifestPath: the inputs with their SHA-256, the request, the version.
std::string AnalysisManifestPath(const std::string &indicesPath);
FileOutcome WriteIndicesFile(const std::string &tablePath, const std::string &factorsPath, AnalysisRequest request,
                             const std::string &indicesPath);

}  // namespace glebix::analysis
