// A run's state as every front end saves it and takes it up again: what the state
// holds, the settings that may change on resume and the steps it may go on to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Settings.h"
#include "StateFile.h"

namespace glebix::core {

// Why the setting `name` cannot be changed on resume ("<name> : ..."); nothing when it can.
std::optional<std::string> RefusedOnResume(const std::string &name);
// "<steps> est avant le pas enregistré (<step>)" when a resumed run would end before
// the step it was saved at.
std::optional<std::string> StepsBeforeSaved(std::int32_t steps, const SavedRun &saved);

// A setting refused on resume, and why.
struct ResumeRefusal {
    std::string Setting;
    std::string Message;
    bool Fixed = false;  // the setting may not change on resume (else its value is refused)
};
// Applies `text` to the setting `name` of resumed `settings`, by the resume's rule:
// only a setting read at every step may change, and not one whose per-cell map is in
// use. The refusal when it is not taken.
std::optional<ResumeRefusal> ApplyOnResume(const std::string &name, const std::string &text, TSettings &settings);
// The settings of `saved` taken up to `steps`, with `overrides` (name, text) applied in
// order; or the first refusal: a setting that may not change, or a value --set refuses.
std::variant<TSettings, ResumeRefusal> ResumedSettings(
    const SavedRun &saved, const std::vector<std::pair<std::string, std::string>> &overrides, std::int32_t steps);

// The values of the state of `simul` after `step` steps of a run of `stepCount` steps,
// as the batch tool saves them: the step count's text is the count, and the result
// folder, a place of the call that writes it, is not part of the run.
StateHeader HeaderToSave(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                         std::int32_t stepCount);
// That state, its plot copied.
SavedRun StateToSave(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                     std::int32_t stepCount);
// Replaces `path` by the state file of `state`, formatted on `threads` threads (as
// WriteStateText); the folder is made when missing, and a path that holds anything
// but a plain file is refused (GlebixError naming it).
void SaveRunState(const std::string &path, const StateSource &state, int threads = 1);

}  // namespace glebix::core
