#include "OptionTable.h"

#include <algorithm>
#include <variant>

#include "AnimationLook.h"
#include "BatchOptions.h"
#include "Conversions.h"
#include "Messages.h"
#include "PointSelection.h"
#include "RunMetrics.h"
#include "SettingsTable.h"
#include "SoilMaps.h"
#include "StopRule.h"

namespace glebix::batch {

namespace {

// The option that asks for an output: its facts are the registry's.
OptionEntry Output(const char *option) {
    const OutputKind &kind = *OutputKindOf(option);
    return {kind.option, nullptr, kind.valueName, kind.help, nullptr, &kind};
}

// The table as listed, each output's tuning option (if any) right after it.
std::vector<OptionEntry> WithTunings(std::initializer_list<OptionEntry> listed) {
    std::vector<OptionEntry> table;
    for (const OptionEntry &entry : listed) {
        table.push_back(entry);
        if (const OutputKind *kind = entry.output; kind && kind->tuning.option) {
            const OutputTuning &t = kind->tuning;
            table.push_back({t.option, nullptr, t.valueName, t.help, nullptr, nullptr, kind});
        }
    }
    return table;
}

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

// --map NAME=FILE: the batch tool's spelling of the setting of NAME's map set to FILE,
// applied in its place among the --set options.
void Map(Gathered &g, const std::string &value) {
    const auto equals = value.find('=');
    if (equals == std::string::npos || equals + 1 == value.size()) {
        g.problems.push_back(Message("option.map_form", {value}));
        return;
    }
    const SoilMapChoice map = SoilMapOf("--map", value.substr(0, equals));
    if (!map.Problem.empty()) {
        g.problems.push_back(map.Problem);
        return;
    }
    g.sets.push_back(map.Setting + value.substr(equals));
}

// Stores what `parse` makes of `value` in `target`, or keeps its problem.
template <typename Value, typename Target>
void TakeParsed(Gathered &g, std::variant<Value, std::string> parsed, Target &target) {
    if (auto *problem = std::get_if<std::string>(&parsed))
        g.problems.push_back(*problem);
    else
        target = std::get<Value>(std::move(parsed));
}

// A whole number from `minimum` to `maximum`; the refusal of any other text states
// that range.
bool CountIn(Gathered &g, const char *option, const std::string &value, int minimum, int maximum, int &target) {
    const auto v = ParseCount(value, 0);
    if (!v) {
        g.problems.push_back(
            Message("option.not_count_in", {option, value, std::to_string(minimum), std::to_string(maximum)}));
        return false;
    }
    target = *v;
    return true;
}

void FramesPerSecond(Gathered &g, const std::string &value) {
    if (!CountIn(g, "--fps", value, 1, MaxFramesPerSecond, g.options.FramesPerSecond)) return;
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
    if (!CountIn(g, "--animate-cell-size", value, MinAnimationCellSize, MaxAnimationCellSize, size)) return;
    if (auto problem = CellSizeProblem("--animate-cell-size", size))
        g.problems.push_back(*problem);
    else
        g.options.AnimateCellSize = size;
}

// --events FILE: the setting that names the schedule, among the --set texts.
void EventsOption(Gathered &g, const std::string &value) {
    std::optional<std::string> path;
    InputPath(g, "--events", value, path);
    if (path) g.sets.push_back(std::string(EventsPathSetting) + "=" + *path);
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

// A sensitivity option's count: its value when it is one.
std::optional<int> SensitivityCount(Gathered &g, const char *option, const std::string &value, int minimum) {
    int count = 0;
    if (!Count(g, option, value, minimum, count)) return std::nullopt;
    return count;
}

void MaxDropped(Gathered &g, const std::string &value) {
    const auto share = ParseRealToken(value);
    if (share && *share >= 0 && *share <= 1)
        g.options.Sensitivity.MaxDropped = *share;
    else
        g.problems.push_back(Message("option.bad_share", {"--max-dropped", value}));
}

// The accept fraction as a number; its range is the calibration's to check.
void Accept(Gathered &g, const std::string &value) {
    if (const auto q = ParseRealToken(value))
        g.options.Sensitivity.Accept = *q;
    else
        g.problems.push_back(Message("option.bad_share", {"--accept", value}));
}

void TableEvery(Gathered &g, const std::string &value) {
    if (const auto steps = ParseTableSteps(value))
        g.options.TableStepsKept = *steps;
    else
        g.problems.push_back(Message("option.bad_table_every", {"--table-every", value}));
}

void StopWhen(Gathered &g, const std::string &value) {
    ParsedStopRule parsed = ParseStopRule(value);
    if (parsed.Rule)
        g.options.StopRules.push_back(std::move(*parsed.Rule));
    else
        g.problems.push_back(std::move(parsed.Problem));
}

void TableMetric(Gathered &g, const std::string &value) {
    std::vector<std::string> &metrics = g.options.TableMetrics;
    if (!analysis::IsRecordedMetric(value))
        g.problems.push_back(Message("option.bad_table_metric", {"--table-metric", value}));
    else if (std::find(metrics.begin(), metrics.end(), value) != metrics.end())
        g.problems.push_back(Message("option.table_metric_twice", {"--table-metric", value}));
    else
        metrics.push_back(value);
}

void Points(Gathered &g, const std::string &value) { TakeParsed(g, ParsePointList(value), g.options.PointsAsked); }

void SliceOption(Gathered &g, const std::string &value) { TakeParsed(g, ParseSlice(value), g.options.SliceAsked); }

}  // namespace

const std::vector<OptionEntry> &OptionTable() {
    using G = Gathered;
    using S = const std::string &;
    static const std::vector<OptionEntry> table = WithTunings({
        {"--steps", nullptr, "N", "help.steps", Steps},
        {"--seed", nullptr, "S", "help.seed", Seed},
        {"--set", nullptr, "NAME=VALUE", "help.set", [](G &g, S v) { g.sets.push_back(v); }},
        {"--map", nullptr, "NAME=FILE", "help.map", Map},
        {"--params", nullptr, "FILE", "help.params",
         [](G &g, S v) {
             std::optional<std::string> path;
             InputPath(g, "--params", v, path);
             if (path) g.paramsPaths.push_back(*path);
         }},
        {"--species", nullptr, "FILE", "help.species", [](G &g, S v) { InputPath(g, "--species", v, g.speciesPath); }},
        {"--events", nullptr, "FILE", "help.events", EventsOption},
        Output("--out"),
        Output("--trace"),
        {"--follow", nullptr, "X,Y", "help.follow", [](G &g, S v) { g.options.FollowPoint = v; }},
        Output("--snapshots"),
        {"--every", nullptr, "K", "help.every", [](G &g, S v) { Count(g, "--every", v, 1, g.options.Every); }},
        Output("--asc"),
        Output("--tif"),
        Output("--netcdf"),
        Output("--animate"),
        {"--fps", nullptr, "F", "help.fps", FramesPerSecond},
        {"--animate-style", nullptr, "STYLE", "help.animate-style", AnimateStyle},
        {"--animate-cell-size", nullptr, "N", "help.animate-cell-size", AnimateCellSize},
        Output("--save-state"),
        Output("--checkpoint"),
        {"--checkpoint-every", nullptr, "K", "help.checkpoint-every",
         [](G &g, S v) { Count(g, "--checkpoint-every", v, 1, g.options.CheckpointEvery); }},
        {"--resume", nullptr, "FILE", "help.resume",
         [](G &g, S v) { OutputPath(g, "--resume", v, g.options.ResumePath); }},
        {"--replicates", nullptr, "R", "help.replicates", Replicates},
        {"--jobs", nullptr, "J", "help.jobs", [](G &g, S v) { Count(g, "--jobs", v, 1, g.options.Jobs); }},
        {"--design", nullptr, "FILE", "help.design", [](G &g, S v) { InputPath(g, "--design", v, g.designPath); }},
        Output("--table"),
        {"--table-every", nullptr, "K|last", "help.table-every", TableEvery},
        {"--table-metric", nullptr, "NAME", "help.table-metric", TableMetric},
        {"--stop-when", nullptr, "RULE", "help.stop-when", StopWhen},
        {"--points", nullptr, "LIST", "help.points", Points},
        {"--slice", nullptr, "I/N", "help.slice", SliceOption},
        {"--independent-seeds", nullptr, nullptr, "help.independent-seeds",
         [](G &g, S) { g.options.IndependentSeeds = true; }},
        {"--sample", nullptr, "METHOD", "help.sample", [](G &g, S v) { g.options.Sensitivity.SampleMethod = v; }},
        {"--factors", nullptr, "FILE", "help.factors",
         [](G &g, S v) { OutputPath(g, "--factors", v, g.options.Sensitivity.FactorsPath); }},
        {"--samples", nullptr, "N", "help.samples",
         [](G &g, S v) { g.options.Sensitivity.Samples = SensitivityCount(g, "--samples", v, 1); }},
        {"--levels", nullptr, "P", "help.levels",
         [](G &g, S v) { g.options.Sensitivity.Levels = SensitivityCount(g, "--levels", v, 2); }},
        {"--pool", nullptr, "M", "help.pool",
         [](G &g, S v) { g.options.Sensitivity.Pool = SensitivityCount(g, "--pool", v, 1); }},
        {"--design-out", nullptr, "FILE", "help.design-out",
         [](G &g, S v) { OutputPath(g, "--design-out", v, g.options.Sensitivity.DesignOut); }},
        {"--analyse", nullptr, "TABLE", "help.analyse",
         [](G &g, S v) { OutputPath(g, "--analyse", v, g.options.Sensitivity.AnalysePath); }},
        {"--method", nullptr, "METHOD", "help.method", [](G &g, S v) { g.options.Sensitivity.Method = v; }},
        {"--metric", nullptr, "COLUMN", "help.metric", [](G &g, S v) { g.options.Sensitivity.Metrics.push_back(v); }},
        {"--indices", nullptr, "FILE", "help.indices",
         [](G &g, S v) { OutputPath(g, "--indices", v, g.options.Sensitivity.IndicesPath); }},
        {"--figure", nullptr, "FILE", "help.figure",
         [](G &g, S v) { OutputPath(g, "--figure", v, g.options.Sensitivity.FigurePath); }},
        {"--bootstrap", nullptr, "B", "help.bootstrap",
         [](G &g, S v) { g.options.Sensitivity.Bootstrap = SensitivityCount(g, "--bootstrap", v, 0); }},
        {"--at-step", nullptr, "K", "help.at-step",
         [](G &g, S v) { g.options.Sensitivity.AtStep = SensitivityCount(g, "--at-step", v, 0); }},
        {"--every-step", nullptr, nullptr, "help.every-step", [](G &g, S) { g.options.Sensitivity.EveryStep = true; }},
        {"--max-dropped", nullptr, "SHARE", "help.max-dropped", MaxDropped},
        {"--calibrate", nullptr, nullptr, "help.calibrate", [](G &g, S) { g.options.Sensitivity.Calibrate = true; }},
        {"--observed", nullptr, "FILE", "help.observed",
         [](G &g, S v) { OutputPath(g, "--observed", v, g.options.Sensitivity.ObservedPath); }},
        {"--accept", nullptr, "Q", "help.accept", Accept},
        {"--observed-grid", nullptr, "[FIELD@]STEP:FILE", "help.observed-grid",
         [](G &g, S v) { g.options.Sensitivity.Grids.push_back(v); }},
        {"--grid-compare", nullptr, "MODE", "help.grid-compare",
         [](G &g, S v) { g.options.Sensitivity.GridCompare = v; }},
        {"--prior-sample", nullptr, "DESIGN", "help.prior-sample",
         [](G &g, S v) { g.options.Sensitivity.PriorSample = v; }},
        {"--gather", nullptr, nullptr, "help.gather", [](G &g, S) { g.options.Sensitivity.Gather = true; }},
        {"--strict", nullptr, nullptr, "help.strict", [](G &g, S) { g.options.Strict = true; }},
        {"--repeat", nullptr, "MANIFEST", "help.repeat",
         [](G &g, S v) { OutputPath(g, "--repeat", v, g.options.RepeatManifest); }},
        {"--validate", nullptr, nullptr, "help.validate", [](G &g, S) { g.options.Validate = true; }},
        {"--quiet", nullptr, nullptr, "help.quiet", [](G &g, S) { g.options.Quiet = true; }},
        {"--help", "-h", nullptr, nullptr, [](G &g, S) { g.options.Help = true; }},
        {"--version", nullptr, nullptr, nullptr, [](G &g, S) { g.options.Version = true; }},
    });
    return table;
}

const OptionEntry *FindOption(const std::string &name) {
    for (const OptionEntry &e : OptionTable())
        if (name == e.name || (e.alias && name == e.alias)) return &e;
    return nullptr;
}

void ApplyEntry(const OptionEntry &entry, Gathered &g, const std::string &value) {
    if (entry.output) {
        OutputPath(g, entry.name, value, g.options.Outputs[entry.name]);
    } else if (entry.tuned) {
        const TuningValue taken = entry.tuned->tuning.parse(entry.name, value);
        if (taken.Problem.empty())
            g.options.Tunings[entry.name] = taken.Value;
        else
            g.problems.push_back(taken.Problem);
    } else {
        entry.apply(g, value);
    }
}

namespace {

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

}  // namespace glebix::batch
