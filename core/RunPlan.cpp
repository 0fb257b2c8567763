#include "RunPlan.h"

#include <filesystem>

#include "FileIo.h"
#include "GeoTiffGrids.h"
#include "InitialSources.h"
#include "Georeference.h"
#include "RasterInput.h"
#include "InputFile.h"
#include "ResultFile.h"
#include "StudyTable.h"

namespace glebix::batch {

std::vector<InputFile> RunInputs(const BatchOptions &options, const TSettings *settings) {
    std::vector<InputFile> inputs = options.Inputs;
    const InitialSettings &in = (settings ? *settings : options.Settings).Initial;
    if (options.Resumed) return inputs;
    for (const InitialSource &source : ReadInitialSources(in))
        inputs.push_back({std::string(source.role), source.path});
    for (const InputFile &input : inputs) {
        if (!InitialPathSetting(input.Role).empty())
            gis::ReadInitialInputOnce(*options.Files, input.Path);
        else
            ReadInputOnce(*options.Files, input.Path);
    }
    return inputs;
}

std::string PrimaryOutputDir(const BatchOptions &options) {
    if (!options.OutDir.empty()) return options.OutDir;
    if (!options.AscDir.empty()) return options.AscDir;
    if (!options.TifDir.empty()) return options.TifDir;
    if (!options.SnapshotDir.empty()) return options.SnapshotDir;
    if (!options.TracePath.empty()) return ParentOf(options.TracePath);
    if (!options.NetcdfPath.empty()) return ParentOf(options.NetcdfPath);
    return {};
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
    if (!options.TablePath.empty()) {
        const std::vector<std::string> values =
            options.StudyDesign ? DesignValues(*options.StudyDesign, plan.Settings) : std::vector<std::string>{};
        plan.TablePrefix = StudyRowPrefix(run.Point, run.Replicate, plan.Seed, values);
    }
    auto place = [&](const std::string &dir) {
        return dir.empty() || run.Folder.empty() ? dir : Join(dir, run.Folder);
    };
    plan.OutDir = place(options.OutDir);
    plan.SnapshotDir = place(options.SnapshotDir);
    plan.AscDir = place(options.AscDir);
    plan.TifDir = place(options.TifDir);
    auto placeFile = [&](const std::string &path) {
        if (path.empty() || run.Folder.empty()) return path;
        const std::string name = std::filesystem::path(path).filename().string();
        return Join(place(ParentOf(path)), name);
    };
    plan.TracePath = placeFile(options.TracePath);
    plan.AnimatePath = placeFile(options.AnimatePath);
    plan.NetcdfPath = placeFile(options.NetcdfPath);
    plan.SaveStatePath = placeFile(options.SaveStatePath);
    plan.CheckpointPath = placeFile(options.CheckpointPath);
    const std::string primary = PrimaryOutputDir(options);
    if (!primary.empty()) plan.ManifestPath = Join(place(primary), "manifest.json");
    return plan;
}

std::string SnapshotName(std::int32_t step) {
    std::string digits = std::to_string(step);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    return "map-" + digits + ".png";
}

bool IsSnapshotName(const std::string &name) {
    constexpr std::size_t prefix = 4, suffix = 4;  // "map-", ".png"
    if (name.size() < prefix + 5 + suffix || name.rfind("map-", 0) != 0 || !name.ends_with(".png")) return false;
    for (std::size_t k = prefix; k < name.size() - suffix; ++k)
        if (name[k] < '0' || name[k] > '9') return false;
    return true;
}

std::vector<std::string> PlannedFiles(const RunPlan &plan) {
    std::vector<std::string> files;
    if (!plan.OutDir.empty()) files.push_back(Join(plan.OutDir, ResultFileName()));
    if (!plan.TracePath.empty()) files.push_back(plan.TracePath);
    if (!plan.AscDir.empty()) {
        files.push_back(Join(plan.AscDir, DensityGridName));
        files.push_back(Join(plan.AscDir, CompactedGridName));
        for (const char *grid : {DensityGridName, CompactedGridName})
            files.push_back(gis::PrjPathOf(Join(plan.AscDir, grid)));
    }
    for (const char *name : gis::TifGridNames)
        if (!plan.TifDir.empty()) files.push_back(Join(plan.TifDir, name));
    if (!plan.NetcdfPath.empty()) files.push_back(plan.NetcdfPath);
    if (!plan.AnimatePath.empty()) files.push_back(plan.AnimatePath);
    if (!plan.SaveStatePath.empty()) files.push_back(plan.SaveStatePath);
    return files;
}

}  // namespace glebix::batch
