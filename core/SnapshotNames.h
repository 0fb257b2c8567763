// The names of the density maps a run draws at its recorded steps into its snapshots
// folder (--snapshots, the bindings' snapshot functions): the step in at least five
// digits, so that a listing sorts them by step up to step 99999.
#pragma once

#include <cstdint>
#include <string>

namespace glebix::core {

// Name of the snapshot after `step`: "map-00010.png".
std::string SnapshotName(std::int32_t step);
// Whether `name` is one of them.
bool IsSnapshotName(const std::string &name);

}  // namespace glebix::core
