#include "Manifest.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "FileIo.h"
#include "InitialSources.h"
#include "InputFile.h"
#include "JsonText.h"
#include "OutputRegistry.h"
#include "SettingsTable.h"
#include "Version.h"
#include "Simul.h"

namespace glebix::core {

using Json = JsonValue;

namespace {

// A path, or null for an output not asked for.
Json PathOrNull(const std::string &path) { return path.empty() ? Json() : Json(path); }

Json SettingsObject(const TSettings &settings) {
    Json object = Json::Object();
    object["StepCount"] = settings.Run.StepCount;
    for (const std::string &name : RecordedSettingNames(settings)) object[name] = SettingText(name, settings);
    return object;
}

// A path as an absolute one, without resolving links; null when it has none.
Json AbsolutePath(const std::string &path) {
    std::error_code ec;
    const std::filesystem::path absolute = path.empty() ? std::filesystem::path() : std::filesystem::absolute(path, ec);
    return absolute.empty() || ec ? Json() : Json(absolute.lexically_normal().string());
}

Json InputsArray(const std::vector<InputFileRecord> &inputs) {
    Json array = Json::Array();
    for (const InputFileRecord &in : inputs) {
        Json entry{{"role", in.Role},
                   {"path", in.Path},
                   {"absolute_path", AbsolutePath(in.Path)},
                   {"size", in.Size < 0 ? Json() : Json(in.Size)},
                   {"sha256", PathOrNull(in.Sha256)}};
        if (!in.GeoreferenceSha256.empty()) entry["georeference_sha256"] = in.GeoreferenceSha256;
        array.PushBack(std::move(entry));
    }
    return array;
}

const std::string &ListedOutput(const ManifestContents &m, const std::string &key) {
    static const std::string none;
    const auto at = m.Outputs.find(key);
    return at == m.Outputs.end() ? none : at->second;
}

Json OutputsObject(const ManifestContents &m) {
    Json object = Json::Object();
    for (const OutputKind &kind : OutputKinds())
        if (kind.manifestKey) object[kind.manifestKey] = PathOrNull(ListedOutput(m, kind.manifestKey));
    return object;
}

// The georeference of the initial grid, which the written grids share.
Json GeoreferenceObject(const gis::Georeference &g) {
    return {{"source", PathOrNull(g.Source)},
            {"xllcorner", g.Placement.XllCorner},
            {"yllcorner", g.Placement.YllCorner},
            {"cellsize", g.Placement.CellSize},
            {"crs_wkt", PathOrNull(g.CrsWkt)}};
}

// The state file a resumed run went on from; a run from set-up has no such key.
Json ResumedFrom(const ManifestContents &m) {
    return {{"path", m.ResumedFrom}, {"step", m.ResumedFromStep}, {"sha256", m.ResumedFromSha256}};
}

}  // namespace

std::string WorkingDirectory() {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string() : here.string();
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, n);
}

std::string ManifestText(const ManifestContents &c) {
    Json m = Json::Object();
    m["program"] = c.Program;
    m["version"] = VersionNumber();
    m["run"] = c.Run;
    m["replicates"] = c.Replicates;
    m["seed"] = c.Seed;
    m["master_seed"] = c.MasterSeed;
    m["seed_source"] = !c.ResumedFrom.empty() ? "state" : c.SeedFromClock ? "clock" : "option";
    if (!c.ResumedFrom.empty()) m["resumed_from"] = ResumedFrom(c);
    m["step_count"] = c.StepCount;
    m["steps_reached"] = c.StepsReached;
    m["status"] = c.Completed ? "completed" : c.Interrupted ? "interrupted" : "error";
    m["message"] = c.Message.empty() ? Json() : Json(c.Message);
    if (!c.StopRules.empty()) {
        m["stop_when"] = c.StopRules;
        m["stopped_by"] = c.StoppedBy.empty() ? Json() : Json(c.StoppedBy);
    }
    m["started_utc"] = c.Started;
    m["elapsed_seconds"] = c.Seconds;
    m["settings"] = SettingsObject(c.Settings);
    m["inputs"] = InputsArray(c.Inputs);
    m["outputs"] = OutputsObject(c);
    if (c.Georeference) m["georeference"] = GeoreferenceObject(*c.Georeference);
    if (!ListedOutput(c, "animation").empty()) {
        m["animation_frames_per_second"] = c.AnimationFramesPerSecond;
        m["animation_style"] = c.AnimationStyleText;
        if (c.AnimationCellSize > 0) m["animation_cell_size"] = c.AnimationCellSize;
    }
    m["warnings"] = c.Warnings;
    m["working_directory"] = PathOrNull(c.WorkingDirectory.empty() ? WorkingDirectory() : c.WorkingDirectory);
    if (c.HasDesign) {
        m["point"] = c.Point;
        Json design = Json::Object();
        for (const auto &[name, value] : c.Design) design[name] = value;
        m["design"] = design;
        m["independent_seeds"] = c.IndependentSeeds;
    }
    m["command"] = c.Command;
    return JsonText(m);
}

std::string AnalysisManifestText(const AnalysisManifestContents &c) {
    Json m = Json::Object();
    m["program"] = "glebix sensitivity analysis";
    m["version"] = VersionNumber();
    m["inputs"] = InputsArray(c.Inputs);
    m["method"] = c.Method;
    m["metrics"] = c.Metrics;
    m["seed"] = c.Seed;
    m["bootstrap"] = c.Bootstrap;
    m["steps"] = c.EveryStep ? Json("every") : c.AtStep ? Json(*c.AtStep) : Json("last");
    m["max_dropped"] = c.MaxDropped;
    m["outputs"] = Json{{"indices", c.Indices}, {"indices_sha256", c.IndicesSha256}};
    m["started_utc"] = c.Started;
    m["notes"] = c.Notes;
    m["warnings"] = c.Warnings;
    m["working_directory"] = PathOrNull(WorkingDirectory());
    return JsonText(m);
}

std::string ManifestPathBeside(const std::string &resultFilePath) {
    const std::size_t slash = resultFilePath.find_last_of('/');
    const std::size_t dot = resultFilePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? resultFilePath.substr(0, dot) : resultFilePath) + ".json";
}

}  // namespace glebix::core
