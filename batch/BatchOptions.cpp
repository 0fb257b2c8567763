#include "BatchOptions.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <variant>

#include "CloseNames.h"
#include "Errors.h"
#include "FollowedCell.h"
#include "Messages.h"
#include "OptionTable.h"
#include "OutputRegistry.h"
#include "ParamsFile.h"
#include "Sampling.h"
#include "SensitivityOptions.h"
#include "SettingsTable.h"
#include "SpeciesFile.h"

namespace glebix::batch {

using namespace glebix::invocation;

namespace {

std::string UnknownOptionMessage(const std::string &option) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const OptionEntry &e : OptionTable()) out.emplace_back(e.name);
        return out;
    }();
    return Message("option.unknown", {option, SuggestionText(option, names)});
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
    // What a resumed run may be given: its outputs and their tunings, its last step and
    // the settings read at every step. Anything else would set a run up, or plan several.
    static const std::set<std::string> allowed = {
        "--resume",           "--steps", "--set",      "--every",  "--fps",   "--animate-style", "--animate-cell-size",
        "--checkpoint-every", "--jobs",  "--validate", "--strict", "--quiet", "--help",          "--version"};
    std::set<std::string> refused;
    for (const std::string &option : g.seen)
        if (!allowed.count(option) && !OutputKindOf(option) && !TunedBy(option) && refused.insert(option).second)
            g.problems.push_back(Message("option.not_with_resume", {option}));
    o.Settings = o.Resumed->Settings;
    if (g.steps) {
        if (auto problem = StepsBeforeSaved(*g.steps, *o.Resumed)) g.problems.push_back(Labelled("--steps", *problem));
        o.Settings.Run.StepCount = std::to_string(*g.steps);
    }
    for (const std::string &set : g.sets) {
        const auto equals = set.find('=');
        if (equals == std::string::npos)
            g.problems.push_back(Message("option.set_form", {set}));
        else if (auto r = ApplyOnResume(set.substr(0, equals), set.substr(equals + 1), o.Settings))
            g.problems.push_back(r->Fixed ? "--set " + r->Message : Labelled("--set", r->Message));
    }
}

// The options that would change what a repeated run does: the manifest says it all.
void CheckRepeat(Gathered &g) {
    static const char *const fixed[] = {"--steps",
                                        "--seed",
                                        "--set",
                                        "--map",
                                        "--params",
                                        "--species",
                                        "--replicates",
                                        "--design",
                                        "--points",
                                        "--slice",
                                        "--independent-seeds",
                                        "--stop-when",
                                        "--follow",
                                        "--events"};
    for (const char *name : fixed)
        if (std::find(g.seen.begin(), g.seen.end(), name) != g.seen.end())
            g.problems.push_back(Message("option.not_with_repeat", {name}));
}

// Applies the gathered files and --set texts in their order of precedence.
void ApplyGathered(Gathered &g) {
    BatchOptions &o = g.options;
    if (OutputAsked(o, "--checkpoint").empty() != (o.CheckpointEvery == 0))
        g.problems.push_back(Message("option.checkpoint_pair"));
    for (const char *option : {"--table-every", "--table-metric"})
        if (OutputAsked(o, "--table").empty() && std::find(g.seen.begin(), g.seen.end(), option) != g.seen.end())
            g.problems.push_back(Message("option.needed", {option, "--table"}));
    for (const OutputKind &kind : OutputKinds())
        if (kind.tuning.option && OutputAsked(o, kind.option).empty() &&
            std::find(g.seen.begin(), g.seen.end(), kind.tuning.option) != g.seen.end())
            g.problems.push_back(Message("option.needed", {kind.tuning.option, kind.option}));
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
            g.problems.push_back(Labelled("--params " + path, LocalMessage(read.Error)));
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
    if (std::find(g.seen.begin(), g.seen.end(), "--follow") != g.seen.end())
        if (auto p = FollowMapPoint("--follow", o.FollowPoint, o.Settings, *o.Files)) g.problems.push_back(*p);
}

// The design's text read as --design reads it; false when it is refused.
bool TakeDesign(Gathered &g, const std::string &text, const std::string &source, int &pointCount) {
    ParsedDesign parsed = ParseDesignText(text, source);
    for (std::string &p : parsed.Problems) g.problems.push_back(std::move(p));
    if (!parsed.Problems.empty()) return false;
    g.options.StudyDesign = std::move(parsed.Result);
    pointCount = static_cast<int>(std::min<std::size_t>(g.options.StudyDesign->PointCount(), INT32_MAX));
    return true;
}

// --sample with a run's outputs: the design sampled from the factors file, the very
// text --design-out writes, read as --design reads that file.
bool TakeSample(Gathered &g, int &pointCount) {
    BatchOptions &o = g.options;
    const std::string &factors = o.Sensitivity.FactorsPath;
    o.Inputs.push_back({"factors", factors});
    const ReadInput &read = ReadInputOnce(*o.Files, factors);
    if (!read.Bytes) {
        g.problems.push_back(Labelled("--factors " + factors, LocalMessage(read.Error)));
        return false;
    }
    analysis::SampledDesign design = analysis::SampleDesign(*read.Bytes, factors, SampleRequestOf(o));
    for (std::string &p : design.Problems) g.problems.push_back(std::move(p));
    if (!design.Problems.empty()) return false;
    const std::string source = o.Sensitivity.DesignOut.empty() ? std::string("--sample") : o.Sensitivity.DesignOut;
    return TakeDesign(g, design.Text, source, pointCount);
}

// Reads the design and works out the points to run and their number of runs.
void ApplyStudy(Gathered &g) {
    BatchOptions &o = g.options;
    int pointCount = 1;
    if (o.Sensitivity.RunsSample && !TakeSample(g, pointCount)) return;
    if (g.designPath) {
        o.Inputs.push_back({"design", *g.designPath});
        const ReadInput &read = ReadInputOnce(*o.Files, *g.designPath);
        if (!read.Bytes) {
            g.problems.push_back(Message("option.design_unread", {*g.designPath, LocalMessage(read.Error)}));
            return;
        }
        if (!TakeDesign(g, *read.Bytes, *g.designPath, pointCount)) return;
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
            ApplyEntry(*entry, g, value);
        }
    }
    CheckSensitivity(g);
    if (g.options.Sensitivity.Calibrate) {
        ApplyGathered(g);  // the settings of every run of the prior
        return parsed;
    }
    if (AsksSensitivity(g.options)) return parsed;  // no run to set up
    ApplyGathered(g);
    ApplyStudy(g);
    return parsed;
}

}  // namespace glebix::batch
