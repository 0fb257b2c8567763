// Warnings: what does not stop a run but most likely spoils what it means. Each is one
// line in the user's language; the tool prints it as "glebix-batch : attention : <text>"
// (the catalogue's "batch.warning"), records it in the manifests, lists it under
// --validate, and refuses to run on it under --strict.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AsciiGrid.h"
#include "InputFile.h"
#include "Plot.h"
#include "Settings.h"

namespace glebix::core {

// The warnings of one invocation.
struct StudyWarnings {
    std::vector<std::string> Common;                  // about every run
    std::map<int, std::vector<std::string>> ByPoint;  // about one point's runs only, "point 3 : ..."

    // The warnings of point `point`'s runs, for their manifests.
    std::vector<std::string> For(int point) const;
    // Every warning once, in the order they are printed.
    std::vector<std::string> All() const;
};

// The warnings of runs with the settings `common`, and of each of `points` (by number)
// whose settings change them: those of the settings, of the initial files (read into
// `files` unless already there) and of the species files at `speciesPaths`. The
// language bindings take them from here too.
StudyWarnings RunWarnings(const TSettings &common, const std::vector<std::pair<int, TSettings>> &points,
                          const std::vector<std::string> &speciesPaths, InputBytes &files);
// The same with each point's settings made on demand by `settingsOf`, for designs too
// large to hold every point's settings at once.
StudyWarnings RunWarnings(const TSettings &common, const std::vector<int> &points,
                          const std::function<TSettings(int)> &settingsOf, const std::vector<std::string> &speciesPaths,
                          InputBytes &files);

// Warnings about the settings alone: a file path that the mode does not read, and a
// survival outside [0, 1].
std::vector<std::string> SettingsWarnings(const TSettings &settings);

// Warnings about a resumed run, which reads no initial file and takes its plot from the
// state: its values outside their advised range only.
std::vector<std::string> ResumedRunWarnings(const TSettings &settings);

// Initial files, as read into a plot: cells of the environment file left unnamed
// (counted as the cells whose Compacted is still NaN, the reader having started from a
// plot of NaN) and negative counts in the distribution file.
std::vector<std::string> EnvironmentFileWarnings(const TPlot &readFromNaN, const std::string &path);
std::vector<std::string> DistributionFileWarnings(const TPlot &read, const std::string &path);

// Both initial files are ESRI grids, placed differently: the run lays them on one
// another cell by cell, and its written grids take the environment grid's placement
// (the one set-up keeps). None when they agree.
std::optional<std::string> PlacementWarning(const std::string &environmentPath, const GridPlacement &environment,
                                            const std::string &distributionPath, const GridPlacement &distribution);

// A species file value that the dialog's one-decimal form changes: the run uses the
// rounded text. None when the shown text gives back the file's value.
std::optional<std::string> SpeciesRoundingWarning(const std::string &path, const char *setting, double fileValue,
                                                  const std::string &shown);

}  // namespace glebix::core
