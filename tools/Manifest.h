// The manifest of a run (manifest.json): what was run, on what inputs, how it ended
// and where its outputs are, so that a folder of outputs explains itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "RunPlan.h"

namespace glebix {
class Simul;
}

namespace glebix::batch {

// An input file as the runs use it.
struct InputFileRecord {
    std::string Role;    // "species", "params", "environment" or "distribution"
    std::string Path;    // as given
    std::int64_t Size;   // bytes; -1 when the file could not be read
    std::string Sha256;  // hexadecimal digest; empty when the file could not be read
};

// Size and SHA-256 of every input the runs read (RunInputs, with a point's settings
// when given), from the very bytes the runs use. `digests` (if any) keeps the records
// by path, so that a file used by many points is checksummed once.
std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options, const TSettings *settings = nullptr,
                                            std::map<std::string, InputFileRecord> *digests = nullptr);

// The time now, "2026-01-31T12:00:00Z".
std::string UtcNow();

// What the manifest says besides the options, the plan and the record.
struct ManifestFacts {
    std::uint32_t MasterSeed = 0;
    bool SeedFromClock = false;
    std::string Started;                // UtcNow() at the start of the run
    std::vector<std::string> Warnings;  // about this run's settings and inputs
    std::vector<std::string> Written;   // the files the run wrote, by final path
};

// The manifest's JSON text, keys in alphabetical order. `simul` gives the settings
// and the result file's path as the run used them.
std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, const ManifestFacts &facts);

}  // namespace glebix::batch
