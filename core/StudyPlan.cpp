#include "StudyPlan.h"

#include "SeedMixing.h"

namespace glebix::core {

namespace {

std::string Numbered(const char *prefix, int n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return prefix + digits;
}

}  // namespace

std::string RunFolderName(int replicate) { return Numbered("run-", replicate); }
std::string PointFolderName(int point) { return Numbered("point-", point); }

std::size_t RunCount(const StudyLayout &layout) {
    return layout.Points.size() * static_cast<std::size_t>(layout.Replicates);
}

StudyRun PlanStudyRun(const StudyLayout &layout, std::size_t index, std::uint32_t master) {
    const std::size_t replicates = static_cast<std::size_t>(layout.Replicates);
    StudyRun run;
    run.Index = index;
    run.Point = layout.Points.at(index / replicates);
    run.Replicate = static_cast<int>(index % replicates) + 1;
    run.Seed = StudySeed(master, run.Point, run.Replicate, layout.Replicates, layout.IndependentSeeds);
    if (layout.HasDesign)
        run.Folder = PointFolderName(run.Point) + "/" + RunFolderName(run.Replicate);
    else if (layout.ReplicateFolders)
        run.Folder = RunFolderName(run.Replicate);
    return run;
}

}  // namespace glebix::core
