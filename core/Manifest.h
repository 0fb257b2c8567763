// The manifest of a run (manifest.json): what was run, on what inputs, how it ended
// and where its outputs are, so that a folder of outputs explains itself.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Georeference.h"
#include "InputRecords.h"
#include "RunDescription.h"
#include "Sha256.h"  // the digest of the inputs

namespace glebix {
class Simul;
}

namespace glebix::core {

// The time now, "2026-01-31T12:00:00Z".
std::string UtcNow();

// Everything a manifest states, whichever program made the run.
struct ManifestContents {
    std::string Program;  // "glebix" (the windows) or "glebix-batch"
    int Run = 1;
    int Replicates = 1;
    std::uint32_t Seed = 0;  // the seed the run's set-up started the generator from
    std::uint32_t MasterSeed = 0;
    bool SeedFromClock = false;
    std::int32_t StepCount = 0;
    std::int32_t StepsReached = 0;
    bool Completed = false;
    bool Interrupted = false;            // stopped by a signal after a whole step
    std::vector<std::string> StopRules;  // --stop-when, as written
    std::string StoppedBy;               // the rule that ended the run early; empty: none
    std::string Message;                 // the error message when it ended on an error
    std::string Started;                 // UtcNow() at the start of the run
    double Seconds = 0;
    TSettings Settings;  // as the run used them
    std::vector<InputFileRecord> Inputs;
    // The outputs written, by their key under "outputs" (OutputKind::manifestKey); one
    // not written is missing or empty.
    std::map<std::string, std::string> Outputs;
    // Where the initial grid lay and its CRS: the grids written lie there too. The
    // windows, which write no GIS grids, leave it out.
    std::optional<gis::Georeference> Georeference;
    double AnimationFramesPerSecond = 0;  // the rate the animation's delays give
    std::string AnimationStyleText;       // "window" or "map"
    int AnimationCellSize = 0;            // of the map style
    std::string ResumedFrom;              // the state file a resumed run went on from; empty otherwise
    std::int32_t ResumedFromStep = 0;
    std::string ResumedFromSha256;
    std::vector<std::string> Command;
    std::string WorkingDirectory;       // where relative paths start; empty: the process's
    std::vector<std::string> Warnings;  // about the run's settings and inputs
    // A run of a design: its point, the design's settings with their texts as the run
    // used them, and whether every run of the study has its own seed.
    bool HasDesign = false;
    int Point = 1;
    std::vector<std::pair<std::string, std::string>> Design;
    bool IndependentSeeds = false;
};

// What the manifest of a sensitivity analysis states, written beside its indices file
// (ManifestPathBeside): enough to make the same indices again and to tell that its
// inputs are the same.
struct AnalysisManifestContents {
    std::vector<InputFileRecord> Inputs;  // the table and the factors, as read
    std::string Method;
    std::vector<std::string> Metrics;
    std::uint32_t Seed = 0;
    int Bootstrap = 0;                   // B; 0: no intervals
    std::optional<std::int64_t> AtStep;  // absent: the table's last step
    bool EveryStep = false;
    double MaxDropped = 0;
    std::string Indices;        // the indices file, as given
    std::string IndicesSha256;  // of its bytes
    std::string Started;        // UtcNow() when the analysis started
    std::vector<std::string> Notes, Warnings;
};

// The analysis manifest's JSON text, keys in alphabetical order.
std::string AnalysisManifestText(const AnalysisManifestContents &contents);

// The folder the process runs in; empty when it cannot be told.
std::string WorkingDirectory();

// The manifest's JSON text, keys in alphabetical order.
std::string ManifestText(const ManifestContents &contents);

// Where the windows write the manifest of a result file: beside it, with the same
// name and ".json" in place of its extension ("RireVed1a1p1.json").
std::string ManifestPathBeside(const std::string &resultFilePath);

}  // namespace glebix::core
