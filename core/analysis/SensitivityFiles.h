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
    bool Written() const { return Problems.empty() && WriteError.empty(); }
};

// The whole input file at `path`, or nothing with its problem added to `out`.
std::optional<std::string> ReadInputOrProblem(const std::string &path, FileOutcome &out);

// A table of results of any size, or nothing with its problem added to `out`.
std::optional<std::string> ReadTableOrProblem(const std::string &path, FileOutcome &out);

// The problems of writing an output at `path` (empty, a folder, one of `inputs`) added
// to `out`: the rule of every output of the analysis, its figure's too.
void CheckOutputPlace(const std::string &path, const std::vector<std::string> &inputs, FileOutcome &out);

// The factors of the file at `path`, its problems naming its lines.
ParsedFactors ReadFactorsFile(const std::string &path);

// The entry points of the front ends that hand over and take back tables (Python's
// DataFrames, R's data frames): the factors already read (ReadFactorsFile or
// FactorsFromRows), the outputs' texts returned, and each file written only when its
// path is not empty, never over one of `inputs`.
struct DesignOutcome : FileOutcome {
    SampledDesign Design;
};
DesignOutcome SampleInto(const std::vector<Factor> &factors, const SampleRequest &request,
                         const std::string &designPath, const std::vector<std::string> &inputs);

// The table's text `table` read from `tableSource` (its path, or empty for a table
// handed over); `factorsPath` empty for factors given as rows, whose FactorsText the
// manifest then records.
struct IndicesOutcome : FileOutcome {
    std::string Csv;
};
IndicesOutcome AnalyseInto(const std::string &table, const std::string &tableSource, const std::vector<Factor> &factors,
                           const std::string &factorsPath, AnalysisRequest request, const std::string &indicesPath);

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
