#include "BatchOptions.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <variant>

#include "CloseNames.h"
#include "Errors.h"
#include "Messages.h"
#include "ParamsFile.h"
#include "SettingsTable.h"
#include "SpeciesFile.h"

namespace glebix::batch {

namespace {

// What the options gather before the settings are applied in their order of
// precedence: the species file, then the --params files, then the --set texts.
struct Gathered {
    BatchOptions &options;
    std::vector<std::string> &problems;
    std::optional<std::string> speciesPath;
    std::vector<std::string> paramsPaths;
    std::vector<std::string> sets;
    std::optional<int> steps;  // --steps, as a number
    std::optional<std::string> designPath;
    std::vector<std::string> seen;  // the options given, by name
};

using ApplyOption = void (*)(Gathered &, const std::string &value);

// One option of the command line. A switch has no value name; the options without
// help are listed together on the last line of the usage text.
struct OptionEntry {
    const char *name;
    const char *alias;      // another spelling, or nullptr
    const char *valueName;  // nullptr: a switch
    const char *help;       // the catalogue key of its help, in lines separated by '\n'
    ApplyOption apply;
};

bool Count(Gathered &g, const char *option, const std::string &value, int minimum, int &target) {
    const auto v = ParseCount(value, minimum);
    if (v)
        target = *v;
    else
        g.problems.push_back(Message("option.not_count", {option, value, std::to_string(minimum)}));
    return v.has_value();
}

void OutputPath(Gathered &g, const char *option, const std::string &value, std::string &target) {
    if (value.empty())
        g.problems.push_back(Message("option.empty_path", {option}));
    else
        target = value;
}

void InputPath(Gathered &g, const char *option, const std::string &value, std::optional<std::string> &target) {
    std::string path;
    OutputPath(g, option, value, path);
    if (!path.empty()) target = path;
}

void Steps(Gathered &g, const std::string &value) {
    int steps = 0;
    if (Count(g, "--steps", value, 0, steps)) {
        g.options.Settings.Run.StepCount = value;
        g.steps = steps;
    }
}

// Stores what `parse` makes of `value` in `target`, or keeps its problem.
template <typename Value, typename Target>
void TakeParsed(Gathered &g, std::variant<Value, std::string> parsed, Target &target) {
    if (auto *problem = std::get_if<std::string>(&parsed))
        g.problems.push_back(*problem);
    else
        target = std::get<Value>(std::move(parsed));
}

void FramesPerSecond(Gathered &g, const std::string &value) {
    if (!Count(g, "--fps", value, 1, g.options.FramesPerSecond)) return;
    if (auto problem = FramesPerSecondProblem("--fps", g.options.FramesPerSecond)) {
        g.problems.push_back(*problem);
        g.options.FramesPerSecond = DefaultFramesPerSecond;
    }
}

void AnimateStyle(Gathered &g, const std::string &value) {
    TakeParsed(g, ParseAnimationStyle("--animate-style", value), g.options.AnimateStyle);
}

void AnimateCellSize(Gathered &g, const std::string &value) {
    int size = 0;
    if (!Count(g, "--animate-cell-size", value, 1, size)) return;
    if (auto problem = CellSizeProblem("--animate-cell-size", size))
        g.problems.push_back(*problem);
    else
        g.options.AnimateCellSize = size;
}

void Seed(Gathered &g, const std::string &value) {
    if (auto s = ParseSeed(value))
        g.options.Seed = *s;
    else
        g.problems.push_back(Message("option.bad_seed", {"--seed", value}));
}

void Replicates(Gathered &g, const std::string &value) {
    BatchOptions &o = g.options;
    Count(g, "--replicates", value, 1, o.Replicates);
    // Every run keeps a record until the batch ends; a larger sweep belongs to
    // several invocations.
    if (o.Replicates > MaxReplicates) {
        g.problems.push_back(Message("option.replicates_bound", {std::to_string(MaxReplicates)}));
        o.Replicates = 1;
    }
    o.ReplicateLayout = true;
}

void Points(Gathered &g, const std::string &value) { TakeParsed(g, ParsePointList(value), g.options.PointsAsked); }

void SliceOption(Gathered &g, const std::string &value) { TakeParsed(g, ParseSlice(value), g.options.SliceAsked); }

const std::vector<OptionEntry> &OptionTable() {
    using G = Gathered;
    using S = const std::string &;
    static const std::vector<OptionEntry> table = {
        {"--steps", nullptr, "N", "help.steps", Steps},
        {"--seed", nullptr, "S", "help.seed", Seed},
        {"--set", nullptr, "NAME=VALUE", "help.set", [](G &g, S v) { g.sets.push_back(v); }},
        {"--params", nullptr, "FILE", "help.params",
         [](G &g, S v) {
             std::optional<std::string> path;
             InputPath(g, "--params", v, path);
             if (path) g.paramsPaths.push_back(*path);
         }},
        {"--species", nullptr, "FILE", "help.species", [](G &g, S v) { InputPath(g, "--species", v, g.speciesPath); }},
        {"--out", nullptr, "DIR", "help.out", [](G &g, S v) { OutputPath(g, "--out", v, g.options.OutDir); }},
        {"--trace", nullptr, "FILE", "help.trace", [](G &g, S v) { OutputPath(g, "--trace", v, g.options.TracePath); }},
        {"--snapshots", nullptr, "DIR", "help.snapshots",
         [](G &g, S v) { OutputPath(g, "--snapshots", v, g.options.SnapshotDir); }},
        {"--every", nullptr, "K", "help.every", [](G &g, S v) { Count(g, "--every", v, 1, g.options.Every); }},
        {"--asc", nullptr, "DIR", "help.asc", [](G &g, S v) { OutputPath(g, "--asc", v, g.options.AscDir); }},
        {"--tif", nullptr, "DIR", "help.tif", [](G &g, S v) { OutputPath(g, "--tif", v, g.options.TifDir); }},
        {"--netcdf", nullptr, "FILE", "help.netcdf",
         [](G &g, S v) { OutputPath(g, "--netcdf", v, g.options.NetcdfPath); }},
        {"--animate", nullptr, "FILE", "help.animate",
         [](G &g, S v) { OutputPath(g, "--animate", v, g.options.AnimatePath); }},
        {"--fps", nullptr, "F", "help.fps", FramesPerSecond},
        {"--animate-style", nullptr, "STYLE", "help.animate-style", AnimateStyle},
        {"--animate-cell-size", nullptr, "N", "help.animate-cell-size", AnimateCellSize},
        {"--save-state", nullptr, "FILE", "help.save-state",
         [](G &g, S v) { OutputPath(g, "--save-state", v, g.options.SaveStatePath); }},
        {"--checkpoint", nullptr, "FILE", "help.checkpoint",
         [](G &g, S v) { OutputPath(g, "--checkpoint", v, g.options.CheckpointPath); }},
        {"--checkpoint-every", nullptr, "K", "help.checkpoint-every",
         [](G &g, S v) { Count(g, "--checkpoint-every", v, 1, g.options.CheckpointEvery); }},
        {"--resume", nullptr, "FILE", "help.resume",
         [](G &g, S v) { OutputPath(g, "--resume", v, g.options.ResumePath); }},
        {"--replicates", nullptr, "R", "help.replicates", Replicates},
        {"--jobs", nullptr, "J", "help.jobs", [](G &g, S v) { Count(g, "--jobs", v, 1, g.options.Jobs); }},
        {"--design", nullptr, "FILE", "help.design", [](G &g, S v) { InputPath(g, "--design", v, g.designPath); }},
        {"--table", nullptr, "FILE", "help.table", [](G &g, S v) { OutputPath(g, "--table", v, g.options.TablePath); }},
        {"--points", nullptr, "LIST", "help.points", Points},
        {"--slice", nullptr, "I/N", "help.slice", SliceOption},
        {"--independent-seeds", nullptr, nullptr, "help.independent-seeds",
         [](G &g, S) { g.options.IndependentSeeds = true; }},
        {"--strict", nullptr, nullptr, "help.strict", [](G &g, S) { g.options.Strict = true; }},
        {"--repeat", nullptr, "MANIFEST", "help.repeat",
         [](G &g, S v) { OutputPath(g, "--repeat", v, g.options.RepeatManifest); }},
        {"--validate", nullptr, nullptr, "help.validate", [](G &g, S) { g.options.Validate = true; }},
        {"--quiet", nullptr, nullptr, "help.quiet", [](G &g, S) { g.options.Quiet = true; }},
        {"--help", "-h", nullptr, nullptr, [](G &g, S) { g.options.Help = true; }},
        {"--version", nullptr, nullptr, nullptr, [](G &g, S) { g.options.Version = true; }},
    };
    return table;
}

const OptionEntry *FindOption(const std::string &name) {
    for (const OptionEntry &e : OptionTable())
        if (name == e.name || (e.alias && name == e.alias)) return &e;
    return nullptr;
}

std::string UnknownOptionMessage(const std::string &option) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const OptionEntry &e : OptionTable()) out.emplace_back(e.name);
        return out;
    }();
    return Message("option.unknown", {option, SuggestionText(option, names)});
}

// The options part of the usage text: one entry per option, its help aligned in a
// second column; the options without help on one last line.
std::string OptionLines(Language language) {
    constexpr std::size_t column = 19;
    std::string out, last;
    for (const OptionEntry &e : OptionTable()) {
        if (!e.help) {
            last += (last.empty() ? "" : ", ") + std::string(e.name);
            continue;
        }
        std::string left = std::string(e.name) + (e.valueName ? std::string(" ") + e.valueName : "");
        // A name too long for the first column has its help on the next line.
        left = left.size() < column ? left + std::string(column - left.size(), ' ')
                                    : left + "\n  " + std::string(column, ' ');
        out += "  " + left;
        for (const char c : MessageIn(language, e.help, {}))
            out += c == '\n' ? "\n  " + std::string(column, ' ') : std::string(1, c);
        out += '\n';
    }
    return out + "  " + last + "\n";
}

// --resume: the saved settings, with the --set texts of the settings read at every
// step; whatever would set the run up differently is refused by name.
void ApplyResume(Gathered &g) {
    BatchOptions &o = g.options;
    try {
        o.Resumed = std::make_shared<const SavedRun>(ReadStateFile(o.ResumePath, CheckSavedSetting));
    } catch (const GlebixError &e) {
        g.problems.push_back(Labelled("--resume", LocalMessageWithContext(e)));
        return;
    }
    // What a resumed run may be given: its outputs, its last step and the settings read
    // at every step. Anything else would set a run up, or plan several.
    static const std::set<std::string> allowed = {"--resume",
                                                  "--steps",
                                                  "--set",
                                                  "--out",
                                                  "--trace",
                                                  "--snapshots",
                                                  "--every",
                                                  "--asc",
                                                  "--tif",
                                                  "--netcdf",
                                                  "--animate",
                                                  "--fps",
                                                  "--animate-style",
                                                  "--animate-cell-size",
                                                  "--save-state",
                                                  "--checkpoint",
                                                  "--checkpoint-every",
                                                  "--table",
                                                  "--jobs",
                                                  "--validate",
                                                  "--strict",
                                                  "--quiet",
                                                  "--help",
                                                  "--version"};
    std::set<std::string> refused;
    for (const std::string &option : g.seen)
        if (!allowed.count(option) && refused.insert(option).second)
            g.problems.push_back(Message("option.not_with_resume", {option}));
    o.Settings = o.Resumed->Settings;
    if (g.steps) {
        if (auto problem = StepsBeforeSaved(*g.steps, *o.Resumed)) g.problems.push_back(Labelled("--steps", *problem));
        o.Settings.Run.StepCount = std::to_string(*g.steps);
    }
    for (const std::string &set : g.sets) {
        const std::string name = set.substr(0, set.find('='));
        if (set.find('=') == std::string::npos)
            g.problems.push_back(Message("option.set_form", {set}));
        else if (auto refusal = RefusedOnResume(name))
            g.problems.push_back("--set " + *refusal);
        else if (auto p = ApplySetting(name, set.substr(set.find('=') + 1), o.Settings))
            g.problems.push_back(Labelled("--set", *p));
    }
}

// The options that would change what a repeated run does: the manifest says it all.
void CheckRepeat(Gathered &g) {
    static const char *const fixed[] = {"--steps",      "--seed",   "--set",    "--params", "--species",
                                        "--replicates", "--design", "--points", "--slice",  "--independent-seeds"};
    for (const char *name : fixed)
        if (std::find(g.seen.begin(), g.seen.end(), name) != g.seen.end())
            g.problems.push_back(Message("option.not_with_repeat", {name}));
}

// Applies the gathered files and --set texts in their order of precedence.
void ApplyGathered(Gathered &g) {
    BatchOptions &o = g.options;
    if (o.CheckpointPath.empty() != (o.CheckpointEvery == 0)) g.problems.push_back(Message("option.checkpoint_pair"));
    if (!o.RepeatManifest.empty()) CheckRepeat(g);
    if (o.AnimateCellSize && o.AnimateStyle != AnimationStyle::Map)
        g.problems.push_back(CellSizeWithoutMapMessage("--animate-cell-size", "--animate-style map"));
    if (!o.ResumePath.empty()) {
        ApplyResume(g);
        return;
    }
    if (g.speciesPath) {
        o.Inputs.push_back({"species", *g.speciesPath});
        const ReadInput &read = ReadInputOnce(*o.Files, *g.speciesPath);
        try {
            if (!read.Bytes) throw GlebixError(read.Error);
            ApplySpeciesFile(ReadSpeciesText(*read.Bytes), o.Settings.Species);
        } catch (GlebixError &e) {
            e.Context().Setting = "--species";
            e.Context().Path = *g.speciesPath;
            g.problems.push_back(LocalMessageWithContext(e));
        }
    }
    for (const std::string &path : g.paramsPaths) {
        o.Inputs.push_back({"params", path});
        const ReadInput &read = ReadInputOnce(*o.Files, path);
        if (!read.Bytes) {
            g.problems.push_back(Labelled("--params " + path, FromFrench(read.Error)));
            continue;
        }
        for (std::string &p : ParseParamsText(*read.Bytes, path, o.Settings)) g.problems.push_back(std::move(p));
    }
    for (const std::string &set : g.sets) {
        const auto equals = set.find('=');
        if (equals == std::string::npos) {
            g.problems.push_back(Message("option.set_form", {set}));
            continue;
        }
        if (auto p = ApplySetting(set.substr(0, equals), set.substr(equals + 1), o.Settings))
            g.problems.push_back(Labelled("--set", *p));
    }
}

// Reads the design and works out the points to run and their number of runs.
void ApplyStudy(Gathered &g) {
    BatchOptions &o = g.options;
    int pointCount = 1;
    if (g.designPath) {
        o.Inputs.push_back({"design", *g.designPath});
        const ReadInput &read = ReadInputOnce(*o.Files, *g.designPath);
        if (!read.Bytes) {
            g.problems.push_back(Message("option.design_unread", {*g.designPath, FromFrench(read.Error)}));
            return;
        }
        ParsedDesign parsed = ParseDesignText(*read.Bytes, *g.designPath);
        for (std::string &p : parsed.Problems) g.problems.push_back(std::move(p));
        if (!parsed.Problems.empty()) return;
        o.StudyDesign = std::move(parsed.Result);
        pointCount = static_cast<int>(std::min<std::size_t>(o.StudyDesign->PointCount(), INT32_MAX));
    }
    auto selected = SelectPoints(pointCount, o.PointsAsked, o.SliceAsked);
    if (auto *problem = std::get_if<std::string>(&selected)) {
        g.problems.push_back(*problem);
        return;
    }
    o.Points = std::get<std::vector<int>>(std::move(selected));
    // Every run keeps a record until the batch ends, and a run's place in the whole
    // design numbers its independent seed.
    const std::int64_t runs = static_cast<std::int64_t>(o.Points.size()) * o.Replicates;
    if (runs > MaxReplicates || static_cast<std::int64_t>(pointCount) * o.Replicates > INT32_MAX)
        g.problems.push_back(Message("option.design_bound", {std::to_string(MaxReplicates)}));
}

}  // namespace

std::string ValueFormText(Language language) { return MessageIn(language, "usage.value_form", {}); }

std::string ExitStatusText(Language language) { return MessageIn(language, "usage.exit_status", {}); }

std::string UsageText() {
    const Language language = UserLanguage();
    return MessageIn(language, "usage.head", {}) + OptionLines(language) + "\n" + SettingNamesParagraph(language) +
           ValueFormText(language) + "\n" + ExitStatusText(language);
}

std::vector<OptionHelp> OptionHelps(Language language) {
    std::vector<OptionHelp> out;
    for (const OptionEntry &e : OptionTable())
        out.push_back({e.name, e.alias ? e.alias : "", e.valueName ? e.valueName : "",
                       e.help ? MessageIn(language, e.help, {}) : ""});
    return out;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed;
    parsed.Options.Arguments = arguments;
    Gathered g{parsed.Options, parsed.Problems, {}, {}, {}, {}, {}, {}};
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        std::string option = arguments[k], value;
        bool hasValue = false;
        if (option.rfind("--", 0) == 0) {
            if (const auto equals = option.find('='); equals != std::string::npos) {
                value = option.substr(equals + 1);
                option.resize(equals);
                hasValue = true;
            }
        }
        const OptionEntry *entry = FindOption(option);
        if (!entry) {
            g.problems.push_back(option.rfind("-", 0) == 0 ? UnknownOptionMessage(option)
                                                           : Message("option.unexpected", {option}));
        } else if (!entry->valueName && hasValue) {
            g.problems.push_back(Message("option.no_value_taken", {option}));
        } else if (entry->valueName && !hasValue && k + 1 >= arguments.size()) {
            g.problems.push_back(Message("option.value_missing", {option}));
        } else {
            if (entry->valueName && !hasValue) value = arguments[++k];
            g.seen.push_back(entry->name);
            entry->apply(g, value);
        }
    }
    ApplyGathered(g);
    ApplyStudy(g);
    return parsed;
}

}  // namespace glebix::batch
