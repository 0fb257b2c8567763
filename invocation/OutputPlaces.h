// The places a batch writes, checked before anything runs by the rule of OutputClash.h:
// no output may be an input file or another output of the same invocation, every output folder must exist or
// be creatable and be writable, and no other invocation may write into it meanwhile.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "FolderLocks.h"
#include "OutputClash.h"
#include "StudyOptions.h"

namespace glebix::invocation {

using namespace glebix::core;

// Every problem of the output places, one line each: clashes with an input or between
// outputs (naming both), paths that cannot be files or folders, folders that a probe
// file cannot be created in. Creates nothing that stays.
std::vector<std::string> CheckOutputPlaces(const BatchOptions &options);

// The folders of the outputs asked for: a folder output's own, a file output's
// folder, each once.
std::vector<std::string> OutputFolders(const BatchOptions &options);

}  // namespace glebix::invocation
