// The settings that a batch run can change by name, with the strict check of each
// value. Unlike a dialog's edit field, a value must be a complete number of its kind;
// the accepted text is stored as the setting's text, so the run converts it exactly as
// it would convert the same text typed in the dialog.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Language.h"
#include "Settings.h"
#include "SettingsRegistry.h"

namespace glebix::core {

// Sets `name` to `value` in `settings` when both are acceptable. Returns the one-line
// problem otherwise (the setting and the text are named), leaving `settings` as it was.
// No value may hold a null byte.
std::optional<std::string> ApplySetting(std::string_view name, std::string_view value, TSettings &settings);

// Sets `name` back to the text that a manifest or a state file holds for it, checked
// exactly as ApplySetting checks a value (StepCount as --steps checks its count).
// Blanks before a number, which the texts a species file gives begin with, are let
// through and kept: the run converts the text as the original run did. Returns the
// problem, if any, leaving `settings` as it was.
std::optional<std::string> RestoreSetting(std::string_view name, std::string_view text, TSettings &settings);

// "«text» contient un octet nul..." when `text` holds a null byte, which no setting's
// value and no path may hold.
std::optional<std::string> NullByteProblem(std::string_view text);

// "paramètre inconnu : «name»", with the known names it most likely meant.
std::string UnknownSettingMessage(std::string_view name);

// RestoreSetting's check alone, for a state file's settings. The settings of a run
// that no front end sets by name (the display flags, the result folder) are left to
// the file's own form.
std::optional<std::string> CheckSavedSetting(std::string_view name, std::string_view text);

// The text of a setting as a run uses it (flags "on"/"off", modes and doubles as
// numbers). Empty for an unknown name.
std::string SettingText(std::string_view name, const TSettings &settings);

// How a setting's value is written, in one word with its range where it has one:
// "real", "whole", "whole 1-50", "mode 0-2", "flag", "path". Empty for an unknown name.
std::string SettingKindText(std::string_view name);

// Every name that ApplySetting accepts, in the registry's order.
const std::vector<std::string> &SettingNames();

// The names a run's records (its manifest, its grid files' attributes) give with their texts:
// every name above but a model extension's at its default (SettingRow::extension).
std::vector<std::string> RecordedSettingNames(const TSettings &settings);

// The names that may change when a saved run resumes: those a run reads at every step.
const std::vector<std::string> &ResumeSettableNames();

// The usage text's paragraph of setting names ("Paramètres : " and the names), wrapped,
// and the names --set may change on resuming, in `language`.
std::string SettingNamesParagraph(Language language);

// Strict check of a count option's text (--steps, --replicates...): a decimal whole
// number from `minimum` to 2^31 - 1. Empty when refused.
std::optional<int> ParseCount(std::string_view text, int minimum);

// The setting that names the per-cell map of the setting `name` (SoilMapSetting), or
// the message refusing `name` given to `option`, which names the settings that have a
// map.
struct SoilMapChoice {
    std::string Setting;
    std::string Problem;
};
SoilMapChoice SoilMapOf(const std::string &option, std::string_view name);

// Strict check of a seed: an unsigned 32-bit decimal number, no sign.
std::optional<unsigned> ParseSeed(std::string_view text);

}  // namespace glebix::core
