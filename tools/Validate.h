// The check of a batch without running it (--validate).
#pragma once

#include <string>
#include <vector>

#include "BatchOptions.h"

namespace glebix::batch {

// Every problem that would stop or spoil a run, one line each, without running: the
// initial files are read in full, the species values taken, the output places checked.
std::vector<std::string> ValidateRun(const BatchOptions &options);

}  // namespace glebix::batch
