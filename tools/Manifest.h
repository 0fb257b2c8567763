// The manifest of a run (manifest.json): what was run, on what inputs, how it ended
// and where its outputs are, so that a folder of outputs explains itself.
#pragma once

#include <cstdint>
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

// Size and SHA-256 of every input the runs read (RunInputs), from the very bytes the
// runs use.
std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options);

// The time now, "2026-01-31T12:00:00Z".
std::string UtcNow();

// What the manifest says besides the options, the plan and the record.
struct ManifestFacts {
    std::uint32_t MasterSeed = 0;
    bool SeedFromClock = false;
    std::string Started;  // UtcNow() at the start of the run
};

// The manifest's JSON text, keys in alphabetical order. `simul` gives the settings
// and the result file's path as the run used them.
std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, const ManifestFacts &facts);

}  // namespace glebix::batch
