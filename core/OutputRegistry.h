// Every kind of output a run or a study may write, one row each: the option that asks for
// it, its place, whether it keeps something of the runs, how it is written and locked,
// and how the manifest records it. The place checks, the warnings, the run plans, the
// staging, the manifest and the usage text walk this table; a run output is written by
// the recorder its option names (recorders/Recorders.cpp). The command line's options
// hold an output's place by its option, a run plan by its row (invocation/OutputsAsked.h)
// and a manifest by its key, so a new kind is its row, its recorder, its messages and its
// functions in the bindings.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glebix::core {

enum class OutputPlace { File, Folder };

// Whether each run writes its own (in its run folder with replicates or a design), or
// the invocation one for all its runs.
enum class OutputScope { Run, Study };

// How the output reaches its place; every way writes under a temporary name beside it.
enum class OutputStaging {
    Whole,      // written whole at the end of the run, renamed with the run's other files
    Streamed,   // written as the run goes, renamed with the run's other files
    PerStep,    // one file per recorded step, each renamed with the run's other files
    Replaced,   // rewritten as the run goes, each version renamed over the last
    StudyWide,  // written as the runs end, renamed once the invocation ends
};

// What keeps another invocation from writing the output meanwhile: a lock on its
// folder (Dir: the folder itself, or the file's), or on the study-wide file itself.
enum class OutputLock { None, Dir, Itself };

// Where an output goes when no option names it: the run's manifest and the study's
// summary follow the first output folder asked for.
enum class PlacedBy { Option, RunManifest, StudySummary };

// What the manifest's "outputs" holds for a written output: its place, or the one file
// its folder holds (the result file).
enum class ManifestRecord { Place, HeldFile };

// An option's whole number, or the message refusing the text given for it.
struct TuningValue {
    int Value = 0;
    std::string Problem;
};

// An option that tunes an output, given only with it: its facts for the usage text, and
// how its value is taken. Its value is kept in the options by its name (TuningOf).
struct OutputTuning {
    const char *option = nullptr;  // nullptr: the output has none
    const char *valueName = nullptr;
    const char *help = nullptr;  // catalogue key
    TuningValue (*parse)(const std::string &option, std::string_view value) = nullptr;
    bool countsSteps = false;  // its value is the count of steps between two files of steps
};

struct OutputKind {
    const char *option;     // nullptr: written without being asked for
    const char *valueName;  // of the usage text
    const char *help;       // catalogue key of its help; nullptr without an option
    OutputPlace place;
    OutputScope scope;
    bool keepsRuns;  // asking for it alone keeps something of a study's runs
    OutputStaging staging;
    OutputLock lock;
    bool stateFile;           // a state file: may replace the state the run was resumed from
    const char *manifestKey;  // under the manifest's "outputs" (ManifestContents::Outputs); nullptr: not there
    ManifestRecord record;
    PlacedBy placedBy;
    bool planned;  // a run's own, placed by its plan (PlaceOf)
    // How a message names the place when no option names it ("le manifeste «…»"), or
    // the files a folder holds ("la grille «…»"): a catalogue key; nullptr when none.
    const char *placeMessage;
    // The files a folder output holds, as each run writes them; nullptr: none named.
    std::vector<std::string> (*filesInside)(const std::string &folder);
    // Its rank among the outputs whose folder holds the manifests and the summary (the
    // first one asked for does); 0: never.
    int recordsRank;
    // Whether a name is that of a file the folder holds for a recorded step (a map, the
    // grids of a step); nullptr: it holds none.
    bool (*isStepFile)(const std::string &name);
    // The option that tunes it, given only with it; its files of recorded steps (if
    // any) are there only when that option is given, if `countsSteps`.
    OutputTuning tuning;
};

// Every kind of output, in the order the warnings and the place checks name them.
std::span<const OutputKind> OutputKinds();

// The kind that `option` asks for ("--trace"); nullptr for any other option.
const OutputKind *OutputKindOf(std::string_view option);

// The kind the option `option` tunes (its OutputTuning::option); nullptr for any other option.
const OutputKind *TunedBy(std::string_view option);

// The kind's row in OutputKinds(), from 0.
std::size_t OutputRow(const OutputKind &kind);
// The kind placed by `rule`; there is one of each.
const OutputKind &PlacedByRule(PlacedBy rule);

// Whether `name` (a file name) is one of the files of recorded steps that the kind's
// folder holds, when `tuned` says whether the option that tunes it was given.
bool IsStepFile(const OutputKind &kind, bool tuned, const std::string &name);

// The folder an output is written into: the folder itself, or the file's folder.
std::string FolderOfOutput(const OutputKind &kind, const std::string &path);

}  // namespace glebix::core
