// Planning the runs of a batch: what they read, where each one writes, and the
// record of how each one ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "RunOutputs.h"

namespace glebix::batch {

// Every input file the runs read: the --species and --params files in the order given,
// then the initial environment and distribution files when their mode reads one. Each
// is read once into options.Files (a failed read is kept there and fails the runs).
std::vector<InputFile> RunInputs(const BatchOptions &options);

// Where one run writes. Paths are empty for the outputs not asked for.
struct RunPlan {
    int Run = 1;               // from 1
    std::uint32_t Seed = 0;    // the seed given to the set-up
    std::string OutDir;        // result file folder
    std::string TracePath;     // trace CSV
    std::string SnapshotDir;   // PNG maps
    std::string AscDir;        // final grids
    std::string ManifestPath;  // manifest.json; empty when no output is asked for
    int DispersalThreads = 0;  // threads of each dispersal pass; 0: one per processor
};

// The plan of run `run` (from 1) of a sweep with master seed `master`. With
// replicates, every output goes into a run-NNN folder of its place.
RunPlan PlanRun(const BatchOptions &options, int run, std::uint32_t master);

// Folder of summary.csv and of the run-NNN folders that hold the manifests: the
// --out folder, else the --asc folder, else the --snapshots folder, else the folder
// of the trace. Empty when no output is asked for.
std::string PrimaryOutputDir(const BatchOptions &options);

// How one run ended.
struct RunRecord {
    int Run = 1;
    std::uint32_t Seed = 0;
    std::int32_t StepCount = 0;     // StepCount as converted at the start of the run
    std::int32_t StepsReached = 0;  // time steps completed
    bool Completed = false;         // reached its last step with every output written
    std::string Message;            // the error message when not completed
    double Seconds = 0;             // wall-clock time of the run
    StepSeries Series;              // per-step totals, kept when a summary is written
};

}  // namespace glebix::batch
