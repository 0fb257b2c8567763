// The manifest of one run of an invocation (manifest.json beside its outputs): the
// contents the core writes (Manifest.h), filled from the options, the run's plan, its
// record and description, the inputs its settings read and the files it wrote.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "InputRecords.h"
#include "Manifest.h"
#include "RunDescription.h"
#include "RunPlan.h"
#include "StudyOptions.h"

namespace glebix {
class Simul;
}

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

// Size and SHA-256 of every input the runs read (RunInputs, with a point's settings
// when given), from the very bytes the runs use. `digests` (if any) keeps the records
// by path, so that a file used by many points is checksummed once.
std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options, const TSettings *settings = nullptr,
                                            std::map<std::string, InputFileRecord> *digests = nullptr);

// What the manifest says besides the options, the plan and the record.
struct ManifestFacts {
    std::uint32_t MasterSeed = 0;
    bool SeedFromClock = false;
    std::string Started;                // UtcNow() at the start of the run
    std::vector<std::string> Warnings;  // about this run's settings and inputs
    std::vector<std::string> Written;   // the files the run wrote, by final path
    // A failed run's files, kept beside their places under "<path>.incomplete".
    bool KeptAside = false;
};

// The manifest's JSON text, keys in alphabetical order. `simul` gives the settings
// and the result file's path as the run used them, `run` where its grids lie and the
// input files it read.
std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record, const Simul &simul,
                         const RunDescription &run, const ManifestFacts &facts);

}  // namespace glebix::invocation
