// Planning the runs of a batch: what they read, where each one writes, and the
// record of how each one ended.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "StudyOptions.h"
#include "GridOutputs.h"
#include "StudySummary.h"
#include "StudyPlan.h"

namespace glebix::invocation {

using namespace glebix::core;

// Every input file the runs read: the --species and --params files in the order given,
// the design, then the initial environment and distribution files when their mode
// reads one, and the schedule of events with its masks (with `settings`, a point's,
// when given; none on resume, which has no set-up, nor for a design without
// `settings`: its runs read their points' files).
// Each is read once into options.Files (a failed read is kept there and fails the
// runs). Not thread-safe: the inputs of every point are read before the runs start.
std::vector<InputFile> RunInputs(const BatchOptions &options, const TSettings *settings = nullptr);

// The settings of point `point`'s runs: the options' settings, then the point's row.
TSettings PointSettings(const BatchOptions &options, int point);

// The order of the invocation's runs (point, then replicate) and their folders.
StudyLayout Layout(const BatchOptions &options);

// Where one run writes. Paths are empty for the outputs not asked for.
struct RunPlan {
    int Run = 1;              // position in the invocation's order, from 1
    int Point = 1;            // point of the design; 1 without one
    int Replicate = 1;        // from 1
    TSettings Settings;       // the point's settings
    std::string TablePrefix;  // the start of the run's rows in the study table
    std::uint32_t Seed = 0;   // the seed given to the set-up
    // The place of each of the run's own outputs, by its row of the output registry
    // (PlaceOf); empty for one not asked for. The manifest's is empty when no output is.
    std::vector<std::string> Places;
    int DispersalThreads = 0;  // threads of each dispersal pass; 0: one per processor
};

// The plan of the invocation's run `run` of a study with master seed `master`: with a
// design every output goes into a point-NNN/run-RRR folder of its place, with
// replicates into a run-RRR folder; a file output (trace, animation, states) into that
// folder beside the file's place. A resumed run takes its seed from the state file.
RunPlan PlanRun(const BatchOptions &options, const StudyRun &run);

// Folder of summary.csv and of the run-NNN folders that hold the manifests: that of
// the output asked for of lowest rank (OutputKind::recordsRank), the folder itself or
// the file's. Empty when none is asked for.
std::string PrimaryOutputDir(const BatchOptions &options);

// How one run ended.
struct RunRecord {
    int Run = 1;
    int Point = 1;
    int Replicate = 1;
    std::uint32_t Seed = 0;
    std::int32_t StepCount = 0;     // StepCount as converted at the start of the run
    std::int32_t StepsReached = 0;  // time steps completed
    bool Completed = false;         // reached its last step with every output written
    bool Interrupted = false;       // stopped by a signal after a whole step
    std::string StoppedBy;          // the --stop-when rule that ended it early; empty: none
    bool SystemFault = false;       // an output could not be written, or memory ran out
    std::string Message;            // the error message when it ended on an error
    double Seconds = 0;             // wall-clock time of the run
    StepSeries Series;              // per-step totals, kept when a summary is written
};

// How a run ended, as kept for every run of an invocation until it ends: a few bytes,
// for an invocation makes up to a million runs. The error messages are kept apart.
struct RunEnd {
    std::int32_t StepsReached = 0;
    bool Completed = false;
    bool Interrupted = false;
    bool SystemFault = false;
    bool Failed = false;  // ended on an error
};
inline RunEnd EndOf(const RunRecord &r) {
    return {r.StepsReached, r.Completed, r.Interrupted, r.SystemFault, !r.Completed && !r.Message.empty()};
}

// The steps first..last of a run, each once: the counter never passes `last`, so the
// largest StepCount ends like any other.
class StepRange {
public:
    StepRange(std::int32_t first, std::int32_t last) : first_(first), last_(last) {}
    class Iterator {
    public:
        explicit Iterator(std::int64_t step) : step_(step) {}
        std::int32_t operator*() const { return static_cast<std::int32_t>(step_); }
        Iterator &operator++() {
            ++step_;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return step_ != other.step_; }

    private:
        std::int64_t step_;
    };
    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(std::max<std::int64_t>(first_, std::int64_t{last_} + 1)); }

private:
    std::int32_t first_, last_;
};

// The output files that a run at `plan` may write, besides the manifest and the
// snapshots: the result file, the trace, the two grids, the animation and the state
// at the end, those asked for. (The checkpoint is replaced as the run goes.)
std::vector<std::string> PlannedFiles(const RunPlan &plan);
// Those of them that hold what a run did up to its end, whatever the end: the files
// streamed as it goes (OutputStaging::Streamed) and the state. A failed run keeps them
// aside (IncompleteName).
std::vector<std::string> FilesKeptAside(const RunPlan &plan);

}  // namespace glebix::invocation
