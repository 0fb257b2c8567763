// The saved state of a run, from which the run goes on exactly as if it had never
// stopped: every setting's text, the run's species values, the chart cell, the seeds,
// the step reached and the step count, the generator's state and the plot.
//
// The file is text, one item per line, in a fixed order:
//   GLEBIX-STATE 1
//   setting <name> <value>        every setting; texts quoted, with \\ \" \xNN escapes
//   species <name> <value>        the values taken at set-up
//   chart_cell <x> <y>
//   master_seed <n>   run_seed <n>   step <n>   step_count <n>   generator <n>
//   grid_placement <xllcorner> <yllcorner> <cellsize>, or "grid_placement none"
//   grid_crs <quoted WKT, "" for none>   from version 2, after a placement only
//   plot_extent <nrows> <ncols> <cellsize>
//   compaction_c_map, decompaction_d_map   from version 3, each only when its map is in
//     use (SoilMaps.h), followed by its lines as the grids below
//   the run's schedule of events, from version 3, only when it has one (EventsState.h)
//   density / compacted / decompacted, each followed by 50 lines of 50 values:
//     line k holds row index k, its values for column index 1 to 50
//   habitat, laid out as those, 1 or 0 a cell   from version 3, with a habitat mask only
//   sha256 <digest of every byte above this line>
// Reals are in shortest round-trip form, so reading gives back the very same doubles.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Plot.h"
#include "Settings.h"
#include "SettingsRegistry.h"
#include "Simul.h"

namespace glebix {

inline constexpr const char *StateFileMagic = "GLEBIX-STATE";
// The newest version read. A state is written in the oldest version that holds it: 1
// unless it has a grid's CRS to keep (version 2), or a habitat mask, soil maps or a
// schedule of events (version 3, whose CRS line is there when the CRS is known), so
// older programs read all they can.
inline constexpr int StateFileVersion = 3;
inline constexpr int StateFileFirstVersion = 1;
inline constexpr int StateFileCrsVersion = 2;
inline constexpr int StateFileExtensionsVersion = 3;  // a habitat mask or soil maps

// The values of a state file before its grids.
struct StateHeader {
    TSettings Settings;
    RunSpecies Species;
    CellIndex ChartCell;
    std::uint32_t MasterSeed = 0;                     // the invocation's seed the run's seed came from
    std::uint32_t RunSeed = 0;                        // the seed the set-up was given
    std::int32_t Step = 0;                            // time steps completed
    std::int32_t StepCount = 0;                       // the run's StepCount as converted when it started
    std::uint32_t Generator = 0;                      // the generator's state after step `Step`
    std::optional<GridPlacement> InputGridPlacement;  // as Simul holds it
    std::optional<std::string> InputGridCrs;          // as Simul holds it; unknown in a version 1 file
    std::shared_ptr<const EventSchedule> Events;      // as Simul holds it (EventsState.h)
};

struct SavedRun : StateHeader {
    TPlot Plot{};
    std::string Checksum;  // the file's SHA-256 digest once written or read
};

// A state to write, its grids read where they lie, none copied: a run's own plot, or
// that plot's soil shares with counts kept apart (the counts before a step).
struct StateSource {
    StateHeader Header;
    const TPlot &Plot;                      // the shape, the soil shares
    const CellGrid<std::int32_t> &Density;  // the counts, of Plot's shape
};

// The values of `simul` after `step` completed steps.
StateHeader CaptureHeader(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                          std::int32_t stepCount);
// The state of `simul` after `step` completed steps, its plot copied.
SavedRun CaptureRun(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                    std::int32_t stepCount);
// A state to write of `header` and the grids of `plot`.
inline StateSource SourceOf(StateHeader header, const TPlot &plot) { return {std::move(header), plot, plot.Density}; }
// A saved run as a state to write.
inline StateSource SourceOf(const SavedRun &run) { return SourceOf(run, run.Plot); }
// Puts a saved run into `simul`: settings, species values, chart cell, generator and
// plot. No set-up follows; the next TimeStep is step `Step` + 1.
void RestoreRun(const SavedRun &run, Simul &simul);

// The file's text, its checksum line included.
std::string StateFileText(const SavedRun &run);
// The same text handed to `sink` in pieces of about a megabyte, so that a large plot's
// file is never held whole; returns the checksum. The grids' pieces are formatted on
// `threads` threads (0: one per processor; never more than the processors) while the
// calling thread checksums them and hands them on; the text is the same.
std::string WriteStateText(const StateSource &state, const std::function<void(std::string_view)> &sink,
                           int threads = 1);

// Checks the text of a setting's value as the front ends check a value they are
// given; returns the problem, naming the setting and the text.
using SettingCheck = std::optional<std::string> (*)(std::string_view name, std::string_view text);

// Reads the text of a state file. A foreign, future-version, truncated, edited or
// malformed file raises GlebixError saying what is wrong, with `path` (and the line
// when one is at fault) in its context. So does a file whose checksum holds but whose
// content no run writes: a setting that `checkSetting` refuses, species values, chart
// cell or step count other than the settings give, or a plot, a step or a generator
// state beyond what a run with these settings reaches (StateReach.h).
SavedRun ParseStateFile(std::string_view text, const std::string &path, SettingCheck checkSetting);

// Replaces `path` by the state file of `state` with WriteFileAtomically; returns the
// checksum.
std::string WriteStateFile(const std::string &path, const StateSource &state, int threads = 1);
inline std::string WriteStateFile(const std::string &path, const SavedRun &run) {
    return WriteStateFile(path, SourceOf(run));
}
// Reads and parses a state file; file errors carry the path in their context.
SavedRun ReadStateFile(const std::string &path, SettingCheck checkSetting);

}  // namespace glebix
