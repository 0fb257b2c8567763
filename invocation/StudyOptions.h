// What one invocation asks of a study: its settings, seeds, runs and outputs. The
// command line fills it (ParseCommandLine); this folder plans and records its runs from
// it, and the core runs them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AnimationLook.h"
#include "DesignFile.h"
#include "InputFile.h"
#include "PointSelection.h"
#include "RunState.h"
#include "Settings.h"
#include "InputRecords.h"
#include "Version.h"
#include "StateFile.h"
#include "StopRule.h"
#include "StudyTable.h"

namespace glebix::invocation {

using namespace glebix::core;

// --sample and --analyse (core/analysis): a sensitivity study's design written, or the
// indices of its table; --sample given a run's outputs runs its design as a study. The
// options' texts as given, checked
// by the command line.
struct SensitivityOptions {
    std::string SampleMethod;          // --sample METHOD; empty: no design to write
    std::string AnalysePath;           // --analyse TABLE; empty: no analysis
    std::string FactorsPath;           // --factors FILE
    std::optional<int> Samples;        // --samples N
    std::optional<int> Levels;         // --levels P (factorial, morris)
    std::optional<int> Pool;           // --pool M (morris)
    std::string DesignOut;             // --design-out FILE
    bool RunsSample = false;           // --sample with a run's outputs: the design run at once
    std::string Method;                // --method (the analysis)
    std::vector<std::string> Metrics;  // --metric, in order
    std::string IndicesPath;           // --indices FILE
    std::string FigurePath;            // --figure OUT; empty: none
    std::optional<int> Bootstrap;      // --bootstrap B
    std::optional<int> AtStep;         // --at-step K
    bool EveryStep = false;            // --every-step
    std::optional<double> MaxDropped;  // --max-dropped SHARE
    bool Calibrate = false;            // --calibrate: runs the prior and calibrates
    std::string ObservedPath;          // --observed FILE
    std::optional<double> Accept;      // --accept q
    std::vector<std::string> Grids;    // --observed-grid [FIELD@]STEP:FILE, in order
    std::string GridCompare;           // --grid-compare summaries|cells; empty: summaries
    std::string PriorSample;           // --prior-sample lhs|sobol|uniform; empty: lhs
    bool Gather = false;               // --gather: the pending batch taken from its slice files
};

// Most runs one invocation makes.
inline constexpr int MaxReplicates = 1000000;

struct BatchOptions {
    TSettings Settings;  // defaults, then --species, --params, --set
    // The place each output option gives ("--trace": its file), by the option; an
    // output not asked for is missing (OutputAsked).
    std::map<std::string, std::string, std::less<>> Outputs;
    std::optional<std::uint32_t> Seed;   // master seed; the clock when absent
    int Every = 10;                      // steps between two snapshots
    std::string FollowPoint;             // --follow X,Y as given; empty: none
    std::map<std::string, int> Tunings;  // the values of the options that tune an output, by option (TuningOf)
    int FramesPerSecond = DefaultFramesPerSecond;  // of the animation
    AnimationStyle AnimateStyle = AnimationStyle::Window;
    std::optional<int> AnimateCellSize;  // of the map style; the default when absent
    int CheckpointEvery = 0;
    std::string ResumePath;                   // --resume; empty: a run from set-up
    std::shared_ptr<const SavedRun> Resumed;  // the state read from ResumePath
    int Replicates = 1;                       // number of runs
    bool ReplicateLayout = false;             // --replicates given: outputs go into run-NNN/
    int Jobs = 0;                             // runs at a time; 0: the number of cores
    TableSteps TableStepsKept;                // --table-every: the steps of each run it keeps
    std::vector<std::string> TableMetrics;    // --table-metric: run metrics as its last columns
    std::vector<StopRule> StopRules;          // --stop-when, in the order given
    std::optional<Design> StudyDesign;        // --design, as read
    std::optional<PointList> PointsAsked;     // --points
    std::optional<Slice> SliceAsked;          // --slice
    std::vector<int> Points{1};               // the points this invocation runs, in order
    bool IndependentSeeds = false;            // --independent-seeds
    bool Strict = false;                      // warnings are usage errors
    bool Validate = false;                    // check everything, run nothing
    std::string RepeatManifest;               // --repeat: the manifest of the run to repeat
    SensitivityOptions Sensitivity;           // --sample, --analyse
    bool Quiet = false;                       // no progress line
    bool Help = false;
    bool Version = false;
    std::vector<InputFile> Inputs;  // --species and --params files, in order applied
    // Every input file as read once for this invocation (RunInputs, ReadInputOnce): the
    // runs parse, and the manifest checksums, these bytes.
    std::shared_ptr<InputBytes> Files = std::make_shared<InputBytes>();
    std::vector<std::string> Arguments;  // the command line, for the manifest
};

// The place `option` ("--trace") gives an output; empty when it is not given.
const std::string &OutputAsked(const BatchOptions &options, std::string_view option);

// How the animation looks and plays.
AnimationLook AnimationLookOf(const BatchOptions &options);

// The program's version as --version gives it, "glebix-batch <version>" (Version.h).
std::string VersionText();

}  // namespace glebix::invocation
