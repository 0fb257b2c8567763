#include "OutputRegistry.h"

#include <algorithm>
#include <iterator>

#include "FileIo.h"
#include "GeoTiffGrids.h"
#include "Georeference.h"
#include "GridOutputs.h"
#include "Messages.h"
#include "NetcdfRecording.h"
#include "ResultFile.h"
#include "SnapshotNames.h"
#include "SettingsTable.h"

namespace glebix::core {

namespace {

using enum OutputPlace;
using enum OutputScope;
using enum OutputStaging;
using enum ManifestRecord;
using enum OutputLock;
using enum PlacedBy;

// Named as the engine writes it (Simul::ResultFilePath), so that the file planned is
// the very one staged.
std::vector<std::string> ResultFileInside(const std::string &folder) { return {folder + "/" + ResultFileName()}; }

// The grids, and the projection beside each when the initial grid had one.
std::vector<std::string> AscGridsInside(const std::string &folder) {
    std::vector<std::string> files;
    for (const char *grid : {DensityGridName, CompactedGridName}) files.push_back(Join(folder, grid));
    for (const char *grid : {DensityGridName, CompactedGridName}) files.push_back(gis::PrjPathOf(Join(folder, grid)));
    return files;
}

std::vector<std::string> TifGridsInside(const std::string &folder) {
    std::vector<std::string> files;
    for (const char *grid : gis::TifGridNames) files.push_back(Join(folder, grid));
    return files;
}

bool IsSteppedTif(const std::string &name) { return gis::IsSteppedTifName(name); }

TuningValue StepCount(const std::string &option, std::string_view value) {
    constexpr int Fewest = 1;
    if (const auto count = ParseCount(value, Fewest)) return {*count, {}};
    return {0, Message("option.not_count", {option, std::string(value), std::to_string(Fewest)})};
}

TuningValue DeflateLevel(const std::string &option, std::string_view value) {
    const DeflateChoice choice = DeflateLevelOf(option, value);
    return {choice.Level, choice.Problem};
}

constexpr OutputTuning NoTuning{};
constexpr OutputTuning TifSteps{"--tif-every", "K", "help.tif-every", StepCount, true};
constexpr OutputTuning NetcdfDeflate{"--netcdf-deflate", "LEVEL", "help.netcdf-deflate", DeflateLevel, false};

// clang-format off
constexpr OutputKind Kinds[] = {
//   option          value   help               place   scope  keeps  staging    lock    state  manifest key   record
//   placed by       planned  place message        files inside      rank
//   step files      tuning
    {"--out",        "DIR",  "help.out",        Folder, Run,   true,  Whole,     Dir,    false, "result_file", HeldFile,
     Option,         true,    "place.result_file", ResultFileInside, 1,
     nullptr,        NoTuning},
    {"--table",      "FILE", "help.table",      File,   Study, true,  StudyWide, Itself, false, nullptr,       Place,
     Option,         false,   nullptr,             nullptr,          0,
     nullptr,        NoTuning},
    {"--trace",      "FILE", "help.trace",      File,   Run,   true,  Streamed,  Dir,    false, "trace",       Place,
     Option,         true,    nullptr,             nullptr,          5,
     nullptr,        NoTuning},
    {"--snapshots",  "DIR",  "help.snapshots",  Folder, Run,   true,  PerStep,   Dir,    false, "snapshots",   Place,
     Option,         true,    nullptr,             nullptr,          4,
     IsSnapshotName, NoTuning},
    {"--asc",        "DIR",  "help.asc",        Folder, Run,   true,  Whole,     Dir,    false, "asc",         Place,
     Option,         true,    "place.grid",        AscGridsInside,   2,
     nullptr,        NoTuning},
    {"--tif",        "DIR",  "help.tif",        Folder, Run,   true,  Whole,     Dir,    false, "tif",         Place,
     Option,         true,    "place.grid",        TifGridsInside,   3,
     IsSteppedTif,   TifSteps},
    {"--netcdf",     "FILE", "help.netcdf",     File,   Run,   true,  Streamed,  Dir,    false, "netcdf",      Place,
     Option,         true,    nullptr,             nullptr,          6,
     nullptr,        NetcdfDeflate},
    {"--animate",    "FILE", "help.animate",    File,   Run,   true,  Streamed,  Dir,    false, "animation",   Place,
     Option,         true,    nullptr,             nullptr,          0,
     nullptr,        NoTuning},
    {"--save-state", "FILE", "help.save-state", File,   Run,   true,  Whole,     Dir,    true,  "state",       Place,
     Option,         true,    nullptr,             nullptr,          0,
     nullptr,        NoTuning},
    {"--checkpoint", "FILE", "help.checkpoint", File,   Run,   true,  Replaced,  Dir,    true,  "checkpoint",  Place,
     Option,         true,    nullptr,             nullptr,          0,
     nullptr,        NoTuning},
    {nullptr,        "FILE", nullptr,           File,   Run,   false, Whole,     None,   false, nullptr,       Place,
     RunManifest,    true,    "place.manifest",    nullptr,          0,
     nullptr,        NoTuning},
    {nullptr,        "FILE", nullptr,           File,   Study, false, StudyWide, Itself, false, nullptr,       Place,
     StudySummary,   false,   "place.summary",     nullptr,          0,
     nullptr,        NoTuning},
};
// clang-format on

}  // namespace

std::span<const OutputKind> OutputKinds() { return Kinds; }

const OutputKind *OutputKindOf(std::string_view option) {
    const auto at = std::find_if(std::begin(Kinds), std::end(Kinds),
                                 [option](const OutputKind &k) { return k.option && option == k.option; });
    return at == std::end(Kinds) ? nullptr : &*at;
}

const OutputKind *TunedBy(std::string_view option) {
    const auto at = std::find_if(std::begin(Kinds), std::end(Kinds), [option](const OutputKind &k) {
        return k.tuning.option && option == k.tuning.option;
    });
    return at == std::end(Kinds) ? nullptr : &*at;
}

std::size_t OutputRow(const OutputKind &kind) { return static_cast<std::size_t>(&kind - std::begin(Kinds)); }

const OutputKind &PlacedByRule(PlacedBy rule) {
    return *std::find_if(std::begin(Kinds), std::end(Kinds),
                         [rule](const OutputKind &k) { return k.placedBy == rule; });
}

bool IsStepFile(const OutputKind &kind, bool tuned, const std::string &name) {
    if (!kind.isStepFile || (kind.tuning.countsSteps && !tuned)) return false;
    return kind.isStepFile(name);
}

std::string FolderOfOutput(const OutputKind &kind, const std::string &path) {
    return kind.place == OutputPlace::Folder || path.empty() ? path : ParentOf(path);
}

}  // namespace glebix::core
