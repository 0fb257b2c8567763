#include "RunPlan.h"

#include <filesystem>

#include "FileIo.h"
#include "InputFile.h"
#include "ResultFile.h"
#include "SeedMixing.h"

namespace glebix::batch {

namespace {

// "run-001", with more digits beyond 999 runs.
std::string RunFolder(int run) {
    std::string digits = std::to_string(run);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return "run-" + digits;
}

}  // namespace

std::vector<InputFile> RunInputs(const BatchOptions &options) {
    std::vector<InputFile> inputs = options.Inputs;
    const InitialSettings &in = options.Settings.Initial;
    if (in.EnvInitMode == EnvModeFile) inputs.push_back({"environment", in.EnvFilePath});
    if (in.DistInitMode == DistModeFile) inputs.push_back({"distribution", in.DistFilePath});
    for (const InputFile &input : inputs) ReadInputOnce(*options.Files, input.Path);
    return inputs;
}

std::string PrimaryOutputDir(const BatchOptions &options) {
    if (!options.OutDir.empty()) return options.OutDir;
    if (!options.AscDir.empty()) return options.AscDir;
    if (!options.SnapshotDir.empty()) return options.SnapshotDir;
    if (!options.TracePath.empty()) return ParentOf(options.TracePath);
    return {};
}

RunPlan PlanRun(const BatchOptions &options, int run, std::uint32_t master) {
    RunPlan plan;
    plan.Run = run;
    plan.Seed = ReplicateSeed(master, run);
    auto place = [&](const std::string &dir) {
        if (dir.empty() || !options.ReplicateLayout) return dir;
        return Join(dir, RunFolder(run));
    };
    plan.OutDir = place(options.OutDir);
    plan.SnapshotDir = place(options.SnapshotDir);
    plan.AscDir = place(options.AscDir);
    if (!options.TracePath.empty()) {
        const std::string name = std::filesystem::path(options.TracePath).filename().string();
        plan.TracePath =
            options.ReplicateLayout ? Join(Join(ParentOf(options.TracePath), RunFolder(run)), name) : options.TracePath;
    }
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
    }
    return files;
}

}  // namespace glebix::batch
