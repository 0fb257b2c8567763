// The runs of one invocation in the order their rows and records come: by point, then
// by replicate. Run k of the list is the same run, with the same seed and folder,
// whether the invocation runs every point or only some (--points, --slice).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace glebix::core {

struct StudyLayout {
    std::vector<int> Points{1};     // the points to run, in increasing order; point 1 without a design
    int Replicates = 1;             // runs of each point
    bool HasDesign = false;         // outputs go into point-NNN/run-RRR
    bool ReplicateFolders = false;  // without a design: outputs go into run-RRR (--replicates given)
    bool IndependentSeeds = false;  // see StudySeed
};

struct StudyRun {
    std::size_t Index = 0;  // position in the invocation's order, from 0
    int Point = 1;
    int Replicate = 1;
    std::uint32_t Seed = 0;
    std::string Folder;  // "point-003/run-002", "run-002", or empty: the output place itself
};

std::size_t RunCount(const StudyLayout &layout);
StudyRun PlanStudyRun(const StudyLayout &layout, std::size_t index, std::uint32_t master);

// "run-001", "point-001": three digits at least, more beyond 999.
std::string RunFolderName(int replicate);
std::string PointFolderName(int point);

}  // namespace glebix::core
