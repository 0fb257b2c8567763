// Running a batch: one run with its outputs, replicates over worker threads, and the
// check of everything without running.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "RunOutputs.h"

namespace glebix::batch {

// An input file as a run reads it, for the manifest.
struct InputFileRecord {
    std::string Role;    // "species", "params", "environment" or "distribution"
    std::string Path;    // as given
    std::int64_t Size;   // bytes; -1 when the file cannot be read
    std::string Sha256;  // hexadecimal digest; empty when the file cannot be read
};

// Every input file the runs read: the --species and --params files, and the initial
// environment and distribution files when their mode reads one.
std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options);

// Where one run writes. Paths are empty for the outputs not asked for.
struct RunPlan {
    int Run = 1;               // from 1
    std::uint32_t Seed = 0;    // the seed given to the set-up
    std::string OutDir;        // result file directory
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

// Runs one run as the launcher's "Simulations" does (StepCount from its text,
// set-up with the plan's seed, the steps, the result file), writing the outputs as it
// goes and the manifest at its end. `stepsDone` (if any) counts the completed steps.
// Errors end the run and are reported in the record, never thrown.
RunRecord RunOne(const BatchOptions &options, const RunPlan &plan, const std::vector<InputFileRecord> &inputs,
                 std::uint32_t masterSeed, bool seedFromClock, std::atomic<std::int64_t> *stepsDone = nullptr);

// Most threads a batch uses, whatever --jobs asks.
inline constexpr int MaxJobs = 256;

struct BatchOutcome {
    std::vector<RunRecord> Runs;  // in run order, whatever order they ended in
    int ExitStatus = 0;           // 0 when every run completed and the summary was written, else 1
};

// Runs every replicate on `jobs` threads (0: the number of cores; at most MaxJobs),
// then writes the
// summary. `report` receives one line per error (prefixed with the run's number when
// there are replicates); `progress` (if any) is called about five times a second from
// the calling thread with the steps done and the steps in all.
BatchOutcome RunBatch(const BatchOptions &options, std::uint32_t masterSeed, bool seedFromClock,
                      const std::function<void(const std::string &)> &report,
                      const std::function<void(std::int64_t, std::int64_t)> &progress = {});

// Every problem that would stop or spoil a run, without running: the initial files
// are read in full, the species values taken, the output places checked.
std::vector<std::string> ValidateRun(const BatchOptions &options);

// The whole program: parses the arguments, prints to stdout/stderr, returns the exit
// status (0 every run completed, 1 a run ended with an error, 2 a usage error).
int BatchMain(const std::vector<std::string> &arguments);

}  // namespace glebix::batch
