#include "RunPlan.h"

#include <filesystem>

#include "EventInputs.h"
#include "FileIo.h"
#include "InputFile.h"
#include "InputRecords.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "StudyTable.h"

namespace glebix::invocation {

std::vector<InputFile> RunInputs(const BatchOptions &options, const TSettings *settings) {
    std::vector<InputFile> inputs = options.Inputs;
    // A design's runs read the files their points' settings name, never the common ones.
    const bool ownFiles = !options.Resumed && (settings || !options.StudyDesign);
    if (!ownFiles) return inputs;
    for (InputFile &input : SettingsInputs(settings ? *settings : options.Settings, *options.Files))
        inputs.push_back(std::move(input));
    for (const InputFile &input : options.Inputs) ReadRunInput(*options.Files, input);
    return inputs;
}

std::string PrimaryOutputDir(const BatchOptions &options) {
    const OutputKind *first = nullptr;
    for (const OutputKind &kind : OutputKinds())
        if (kind.recordsRank > 0 && !AskedPath(options, kind).empty() &&
            (!first || kind.recordsRank < first->recordsRank))
            first = &kind;
    return first ? FolderOfOutput(*first, AskedPath(options, *first)) : std::string();
}

TSettings PointSettings(const BatchOptions &options, int point) {
    TSettings settings = options.Settings;
    if (options.StudyDesign) ApplyDesignPoint(*options.StudyDesign, point, settings);
    return settings;
}

StudyLayout Layout(const BatchOptions &options) {
    StudyLayout layout;
    layout.Points = options.Points;
    layout.Replicates = options.Replicates;
    layout.HasDesign = options.StudyDesign.has_value();
    layout.ReplicateFolders = options.ReplicateLayout;
    layout.IndependentSeeds = options.IndependentSeeds;
    return layout;
}

RunPlan PlanRun(const BatchOptions &options, const StudyRun &run) {
    RunPlan plan;
    plan.Run = static_cast<int>(run.Index) + 1;
    plan.Point = run.Point;
    plan.Replicate = run.Replicate;
    plan.Seed = options.Resumed ? options.Resumed->RunSeed : run.Seed;
    plan.Settings = PointSettings(options, run.Point);
    if (!OutputAsked(options, "--table").empty()) {
        const std::vector<std::string> values =
            options.StudyDesign ? DesignValues(*options.StudyDesign, plan.Settings) : std::vector<std::string>{};
        plan.TablePrefix = StudyRowPrefix(run.Point, run.Replicate, plan.Seed, values);
    }
    // Each output of the run's own in its run folder: a folder there, a file in the
    // run folder of its own folder.
    auto place = [&](const std::string &dir) {
        return dir.empty() || run.Folder.empty() ? dir : Join(dir, run.Folder);
    };
    for (const OutputKind &kind : OutputKinds()) {
        if (!kind.planned) continue;
        const std::string path = AskedPath(options, kind);
        if (kind.place == OutputPlace::Folder || path.empty() || run.Folder.empty())
            SetPlace(plan, kind, place(path));
        else
            SetPlace(plan, kind, Join(place(ParentOf(path)), std::filesystem::path(path).filename().string()));
    }
    return plan;
}

std::vector<std::string> PlannedFiles(const RunPlan &plan) {
    std::vector<std::string> files;
    for (const OutputKind &kind : OutputKinds()) {
        // Those asked for by an option: the manifest, placed by rule, is not listed.
        const bool staged = kind.staging == OutputStaging::Whole || kind.staging == OutputStaging::Streamed;
        if (!kind.planned || !kind.option || !staged || PlaceOf(plan, kind).empty()) continue;
        if (kind.filesInside)
            for (std::string &file : kind.filesInside(PlaceOf(plan, kind))) files.push_back(std::move(file));
        else
            files.push_back(PlaceOf(plan, kind));
    }
    return files;
}

std::vector<std::string> FilesKeptAside(const RunPlan &plan) {
    std::vector<std::string> files;
    for (const OutputKind &kind : OutputKinds()) {
        const bool aside =
            kind.staging == OutputStaging::Streamed || (kind.stateFile && kind.staging == OutputStaging::Whole);
        if (kind.planned && kind.option && aside && !PlaceOf(plan, kind).empty()) files.push_back(PlaceOf(plan, kind));
    }
    return files;
}

}  // namespace glebix::invocation
