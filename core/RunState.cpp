#include "RunState.h"

#include <algorithm>

#include "FileIo.h"
#include "Messages.h"
#include "SettingsTable.h"
#include "SoilMaps.h"
#include "WordList.h"

namespace glebix::core {

std::optional<std::string> RefusedOnResume(const std::string &name) {
    const auto &settable = ResumeSettableNames();
    if (std::find(settable.begin(), settable.end(), name) != settable.end()) return std::nullopt;
    return Message("resume.fixed_setting", {name, JoinWords(settable, Message("word.and"))});
}

std::optional<std::string> StepsBeforeSaved(std::int32_t steps, const SavedRun &saved) {
    if (steps >= saved.Step) return std::nullopt;
    return Message("resume.steps_before", {std::to_string(steps), std::to_string(saved.Step)});
}

std::variant<TSettings, ResumeRefusal> ResumedSettings(
    const SavedRun &saved, const std::vector<std::pair<std::string, std::string>> &overrides, std::int32_t steps) {
    TSettings settings = saved.Settings;
    settings.Run.StepCount = std::to_string(steps);
    for (const auto &[name, text] : overrides)
        if (auto refusal = ApplyOnResume(name, text, settings)) return *refusal;
    return settings;
}

std::optional<ResumeRefusal> ApplyOnResume(const std::string &name, const std::string &text, TSettings &settings) {
    if (auto refusal = RefusedOnResume(name)) return ResumeRefusal{name, *refusal, true};
    // A map's values replace the number for the whole run: a new number would change nothing.
    if (const std::string_view map = SoilMapSetting(name); !map.empty()) {
        const std::string path = SettingText(map, settings);
        if (!path.empty()) return ResumeRefusal{name, Message("resume.map_in_use", {name, path}), true};
    }
    if (auto problem = ApplySetting(name, text, settings)) return ResumeRefusal{name, *problem};
    return std::nullopt;
}

StateHeader HeaderToSave(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                         std::int32_t stepCount) {
    StateHeader header = CaptureHeader(simul, masterSeed, runSeed, step, stepCount);
    header.Settings.Run.StepCount = std::to_string(stepCount);
    header.Settings.Run.ResultDirectory.clear();
    return header;
}

SavedRun StateToSave(const Simul &simul, std::uint32_t masterSeed, std::uint32_t runSeed, std::int32_t step,
                     std::int32_t stepCount) {
    SavedRun run;
    static_cast<StateHeader &>(run) = HeaderToSave(simul, masterSeed, runSeed, step, stepCount);
    run.Plot = simul.Plot;
    return run;
}

void SaveRunState(const std::string &path, const StateSource &state, int threads) {
    PrepareOutputFile(path);
    WriteStateFile(path, state, threads);
}

}  // namespace glebix::core
