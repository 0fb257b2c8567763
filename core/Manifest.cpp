#include "Manifest.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "FileIo.h"
#include "InitialSources.h"
#include "IncompleteFile.h"
#include "InputFile.h"
#include "JsonText.h"
#include "OutputRegistry.h"
#include "SettingsTable.h"
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

// Whether the run wrote its output at `path`: a file among those it wrote (the result
// file of a run without steps, or of a run that ended before its last step, never
// is), a folder holding its first named file or any file it wrote, or the checkpoint,
// which is replaced as the run goes outside the staged files, where it lies.
bool Wrote(const OutputKind &kind, const std::string &path, const std::vector<std::string> &written) {
    auto among = [&written](const std::string &file) {
        return std::find(written.begin(), written.end(), file) != written.end();
    };
    std::error_code ec;
    if (path.empty()) return false;
    if (kind.staging == OutputStaging::Replaced) return std::filesystem::exists(path, ec);
    if (kind.place == OutputPlace::File) return among(path);
    if (kind.filesInside) return among(kind.filesInside(path).front());
    return std::any_of(written.begin(), written.end(),
                       [&path](const std::string &file) { return ParentOf(file) == path; });
}

// The outputs the run wrote, each by its place (or its folder's file), or by the name
// it is kept under aside; those not written are left empty.
void WrittenOutputs(const RunPlan &plan, const ManifestFacts &facts, ManifestContents &c) {
    for (const OutputKind &kind : OutputKinds()) {
        if (!kind.manifestKey) continue;
        const std::string &path = PlaceOf(plan, kind);
        const bool inside = kind.record == ManifestRecord::HeldFile && !path.empty();
        const bool aside = facts.KeptAside && kind.staging != OutputStaging::Replaced;
        const std::string place = inside ? kind.filesInside(path).front() : path;
        c.Outputs[kind.manifestKey] = !Wrote(kind, path, facts.Written) ? std::string()
                                      : aside                           ? IncompleteName(place)
                                                                        : place;
    }
}

}  // namespace

std::string WorkingDirectory() {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string() : here.string();
}

std::vector<InputFileRecord> DescribeInputs(const BatchOptions &options, const TSettings *settings,
                                            std::map<std::string, InputFileRecord> *digests) {
    std::vector<InputFileRecord> records;
    for (const InputFile &input : RunInputs(options, settings)) {
        if (digests) {
            if (auto known = digests->find(input.Path); known != digests->end()) {
                records.push_back(known->second);
                records.back().Role = input.Role;
                continue;
            }
        }
        InputFileRecord r = RecordRunInput(*options.Files, input);
        if (digests) (*digests)[input.Path] = r;
        records.push_back(std::move(r));
    }
    return records;
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

std::string ManifestJson(const BatchOptions &options, const RunPlan &plan, const RunRecord &record,
                         const std::vector<InputFileRecord> &inputs, const Simul &simul, const RunDescription &run,
                         const ManifestFacts &facts) {
    ManifestContents c;
    c.Program = "glebix-batch";
    c.Run = plan.Replicate;
    c.Replicates = options.Replicates;
    c.Seed = plan.Seed;
    c.MasterSeed = facts.MasterSeed;
    c.SeedFromClock = facts.SeedFromClock;
    c.StepCount = record.StepCount;
    c.StepsReached = record.StepsReached;
    c.Completed = record.Completed;
    c.Interrupted = record.Interrupted;
    for (const StopRule &rule : options.StopRules) c.StopRules.push_back(rule.Text);
    c.StoppedBy = record.StoppedBy;
    c.Message = record.Message;
    c.Started = facts.Started;
    c.Seconds = record.Seconds;
    c.Settings = simul.SettingsAsBegun();  // before the events changed any
    c.Inputs = inputs;
    c.Georeference = run.Georeference;
    WrittenOutputs(plan, facts, c);
    c.AnimationFramesPerSecond = WrittenFramesPerSecond(options.FramesPerSecond);
    const AnimationLook look = AnimationLookOf(options);
    c.AnimationStyleText = AnimationStyleName(look.Style);
    if (look.Style == AnimationStyle::Map)
        c.AnimationCellSize = MapStyleCellSize(look, simul.Plot.Width, simul.Plot.Height);
    if (options.Resumed) {
        c.ResumedFrom = options.ResumePath;
        c.ResumedFromStep = options.Resumed->Step;
        c.ResumedFromSha256 = options.Resumed->Checksum;
    }
    c.Command = options.Arguments;
    c.WorkingDirectory = WorkingDirectory();
    c.Warnings = facts.Warnings;
    if (options.StudyDesign) {
        c.HasDesign = true;
        c.Point = plan.Point;
        for (const std::string &name : options.StudyDesign->Columns)
            c.Design.emplace_back(name, SettingText(name, plan.Settings));
        c.IndependentSeeds = options.IndependentSeeds;
    }
    return ManifestText(c);
}

}  // namespace glebix::core
