// The check of a batch without running it (--validate).
#pragma once

#include <string>
#include <vector>

#include "StudyOptions.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

// Every problem that would stop or spoil a run, one line each, without writing
// anything: the initial files are read in full, the species values taken, the set-up
// and the first time step of every run made on a scratch engine, the output places
// checked (CheckOutputPlaces).
std::vector<std::string> ValidateRun(const BatchOptions &options);

}  // namespace glebix::invocation
