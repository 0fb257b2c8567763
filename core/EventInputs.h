// A run's schedule of management events as the front ends read it: the schedule file
// and the masks it names (each read as an initial environment file is, on the run's
// plot), listed among the run's inputs, checked before anything runs, and handed to
// the engine after set-up.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Events.h"
#include "InputFile.h"
#include "InputRecords.h"
#include "PlotShape.h"
#include "Settings.h"

namespace glebix {
class Simul;
}

namespace glebix::core {

// The setting that names an input of `role`; empty for an input an option names.
std::string_view InputSetting(std::string_view role);

// The schedule `settings` name and its masks, the schedule read into `files` once:
// nothing when they name none. The masks of a schedule that cannot be read are not
// known; its run fails on it.
std::vector<InputFile> EventFiles(const TSettings &settings, InputBytes &files);
// The same, each mask read into `files` too, as a grid.
std::vector<InputFile> EventInputFiles(const TSettings &settings, InputBytes &files);

// The schedule `settings` name, its masks read on a plot of `width` x `height` cells,
// from `given` where it holds them, else from their files; null when they name none.
// Raises GlebixError with the first problem: its file, line and column.
std::shared_ptr<const EventSchedule> LoadEventSchedule(const TSettings &settings, int width, int height,
                                                       const InputBytes *given);

// Every problem of the schedule of one run with `settings` (its step count included),
// its files from `given` where it holds them: the schedule's and its masks', and each
// event that begins after the last step unless `laterEventsKept` (the run may be
// resumed further). Nothing when the settings name none, or when the run's plot cannot
// be told (the plot's own check says why). The language packages check a study's runs
// with it before any starts.
std::vector<std::string> RunScheduleProblems(const TSettings &settings, std::shared_ptr<const InputBytes> given,
                                             bool laterEventsKept);

// The plot that `settings` make, its grids from `scratch`'s given inputs; none when it
// cannot be told (the plot's own check says why).
std::optional<PlotShape> ScheduledPlotShape(Simul &scratch, const TSettings &settings);
// The problems of the schedule `settings` name on a plot of `shape`, as
// RunScheduleProblems finds them.
std::vector<std::string> ScheduleProblemsOn(const TSettings &settings, const PlotShape &shape, const InputBytes *given,
                                            bool laterEventsKept);

}  // namespace glebix::core
