#include "Repeat.h"

#include <memory>
#include <nlohmann/json.hpp>

#include "Errors.h"
#include "InputFile.h"
#include "InputRecords.h"
#include "Manifest.h"
#include "Messages.h"
#include "SettingsTable.h"
#include "StateFile.h"

namespace glebix::invocation {

using Json = nlohmann::json;

namespace {

// The text of `object`'s member `key`; empty when it has none, holds another kind of
// value, or is no object.
std::string TextOf(const Json &object, const char *key) {
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>() : std::string();
}

// The member `key` of `object` when it has the kind `is` tells; an empty value of that
// kind otherwise.
Json MemberOf(const Json &object, const char *key, bool (Json::*is)() const noexcept, Json empty) {
    const auto member = object.find(key);
    return member != object.end() && ((*member).*is)() ? *member : empty;
}

// The manifest's JSON object, or a problem.
Json ReadManifest(const std::string &path, std::vector<std::string> &problems) {
    std::string bytes;
    try {
        bytes = ReadInputFile(path);
    } catch (const GlebixError &e) {
        problems.push_back(Message("repeat.unread", {path, LocalMessage(e.Message())}));
        return {};
    }
    // Not a manifest unless an object, from either program, with its settings.
    Json manifest = Json::parse(bytes, nullptr, false);
    const std::string program = TextOf(manifest, "program");
    if ((program != "glebix" && program != "glebix-batch") ||
        !MemberOf(manifest, "settings", &Json::is_object, Json()).is_object()) {
        problems.push_back(Message("repeat.not_manifest", {path}));
        return {};
    }
    return manifest;
}

void RestoreSettings(const Json &settings, TSettings &target, std::vector<std::string> &problems) {
    for (const auto &[name, value] : settings.items()) {
        if (!value.is_string()) {
            problems.push_back(Message("repeat.setting_not_text", {name}));
        } else if (auto problem = RestoreSetting(name, value.get<std::string>(), target)) {
            problems.push_back(Labelled("--repeat", *problem));
        }
    }
}

// Reads every input the manifest lists and compares it with what the manifest says.
void CheckInputs(const Json &inputs, BatchOptions &options, std::vector<std::string> &problems) {
    for (const Json &input : inputs) {
        const std::string role = TextOf(input, "role");
        const std::string path = TextOf(input, "path");
        const std::string expected = TextOf(input, "sha256");
        // A design point's values are among the manifest's settings: its file is not read.
        if (role == "design") continue;
        if (role == "species" || role == "params") options.Inputs.push_back({role, path});
        const std::vector<std::string> what{path, role};
        const InputFileRecord recorded{role, path, 0, expected, TextOf(input, "georeference_sha256")};
        switch (CompareWithRecord(*options.Files, recorded)) {
        case InputChange::None:
            break;
        case InputChange::Unread: {
            const ReadInput &read = ReadRunInput(*options.Files, {role, path});
            problems.push_back(
                MessageIn(UserLanguage(), "repeat.input_unread", {path, role, LocalMessage(read.Error)}));
            break;
        }
        case InputChange::UnreadBefore:
            problems.push_back(MessageIn(UserLanguage(), "repeat.input_unread_before", what));
            break;
        case InputChange::Values:
            problems.push_back(MessageIn(UserLanguage(), "repeat.input_changed", what));
            break;
        case InputChange::Georeference:
            problems.push_back(MessageIn(UserLanguage(), "repeat.input_georeference_changed", what));
            break;
        }
    }
}

// A resumed run goes on again from the state it went on from, which must be the very
// state the manifest names: the state holds the plot the steps start from, and the run
// reads no other input.
void ResumeFromRecordedState(const Json &from, BatchOptions &options, std::vector<std::string> &problems) {
    const std::string path = TextOf(from, "path");
    try {
        auto saved = std::make_shared<const SavedRun>(ReadStateFile(path, CheckSavedSetting));
        if (saved->Checksum != TextOf(from, "sha256"))
            return problems.push_back(Message("repeat.state_changed", {path}));
        options.ResumePath = path;
        options.Resumed = std::move(saved);
    } catch (const GlebixError &e) {
        problems.push_back(Message("repeat.state_unread", {path, LocalMessageWithContext(e)}));
    }
}

}  // namespace

std::vector<std::string> LoadRepeat(const std::string &path, BatchOptions &options) {
    std::vector<std::string> problems;
    const Json manifest = ReadManifest(path, problems);
    if (!problems.empty()) return problems;
    const Json seedValue = MemberOf(manifest, "seed", &Json::is_number, -1);
    const double seed = seedValue.get<double>();
    if (seed < 0 || seed > 4294967295.0 || seed != static_cast<double>(static_cast<std::uint32_t>(seed)))
        problems.push_back(Message("repeat.bad_seed", {path}));
    else
        options.Seed = static_cast<std::uint32_t>(seed);
    options.Settings = DefaultSettings();
    RestoreSettings(manifest.at("settings"), options.Settings, problems);
    CheckInputs(MemberOf(manifest, "inputs", &Json::is_array, Json::array()), options, problems);
    if (manifest.contains("resumed_from"))
        ResumeFromRecordedState(MemberOf(manifest, "resumed_from", &Json::is_object, Json::object()), options,
                                problems);
    return problems;
}

}  // namespace glebix::invocation
