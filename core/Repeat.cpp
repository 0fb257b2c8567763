#include "Repeat.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

#include "Errors.h"
#include "InputFile.h"
#include "Manifest.h"
#include "Messages.h"
#include "RasterInput.h"
#include "SettingsTable.h"
#include "StateFile.h"

namespace glebix::batch {

namespace {

std::string Std(const QJsonValue &value) { return value.toString().toStdString(); }

// The manifest's JSON object, or a problem.
QJsonObject ReadManifest(const std::string &path, std::vector<std::string> &problems) {
    std::string bytes;
    try {
        bytes = ReadInputFile(path);
    } catch (const GlebixError &e) {
        problems.push_back(Message("repeat.unread", {path, FromFrench(e.what())}));
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    const QJsonObject manifest = document.object();
    const QString program = manifest.value("program").toString();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        (program != "glebix" && program != "glebix-batch") || !manifest.value("settings").isObject()) {
        problems.push_back(Message("repeat.not_manifest", {path}));
        return {};
    }
    return manifest;
}

void RestoreSettings(const QJsonObject &settings, TSettings &target, std::vector<std::string> &problems) {
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        const std::string name = it.key().toStdString();
        if (!it.value().isString()) {
            problems.push_back(Message("repeat.setting_not_text", {name}));
        } else if (auto problem = RestoreSetting(name, Std(it.value()), target)) {
            problems.push_back(Labelled("--repeat", *problem));
        }
    }
}

// Reads every input the manifest lists and compares it with what the manifest says.
void CheckInputs(const QJsonArray &inputs, BatchOptions &options, std::vector<std::string> &problems) {
    for (const QJsonValue &value : inputs) {
        const QJsonObject input = value.toObject();
        const std::string role = Std(input.value("role"));
        const std::string path = Std(input.value("path"));
        const std::string expected = Std(input.value("sha256"));
        // A design point's values are among the manifest's settings: its file is not read.
        if (role == "design") continue;
        if (role == "species" || role == "params") options.Inputs.push_back({role, path});
        const std::vector<std::string> what{path, role};
        // An initial raster is checksummed as the grid the runs read it as (RasterInput.h).
        const bool initial = role == "environment" || role == "distribution";
        const ReadInput &read =
            initial ? gis::ReadInitialInputOnce(*options.Files, path) : ReadInputOnce(*options.Files, path);
        if (!read.Bytes) {
            problems.push_back(MessageIn(UserLanguage(), "repeat.input_unread", {path, role, FromFrench(read.Error)}));
        } else if (expected.empty()) {
            problems.push_back(MessageIn(UserLanguage(), "repeat.input_unread_before", what));
        } else if (Sha256Hex(*read.Bytes) != expected) {
            problems.push_back(MessageIn(UserLanguage(), "repeat.input_changed", what));
        }
    }
}

// A resumed run goes on again from the state it went on from, which must be the very
// state the manifest names: the state holds the plot the steps start from, and the run
// reads no other input.
void ResumeFromRecordedState(const QJsonObject &from, BatchOptions &options, std::vector<std::string> &problems) {
    const std::string path = Std(from.value("path"));
    try {
        auto saved = std::make_shared<const SavedRun>(ReadStateFile(path, CheckSavedSetting));
        if (saved->Checksum != Std(from.value("sha256")))
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
    const QJsonObject manifest = ReadManifest(path, problems);
    if (!problems.empty()) return problems;
    const double seed = manifest.value("seed").toDouble(-1);
    if (seed < 0 || seed > 4294967295.0 || seed != static_cast<double>(static_cast<std::uint32_t>(seed)))
        problems.push_back(Message("repeat.bad_seed", {path}));
    else
        options.Seed = static_cast<std::uint32_t>(seed);
    options.Settings = DefaultSettings();
    RestoreSettings(manifest.value("settings").toObject(), options.Settings, problems);
    CheckInputs(manifest.value("inputs").toArray(), options, problems);
    if (manifest.contains("resumed_from"))
        ResumeFromRecordedState(manifest.value("resumed_from").toObject(), options, problems);
    return problems;
}

}  // namespace glebix::batch
