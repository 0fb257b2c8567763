// Running again what a manifest describes (--repeat): its settings, its seed and its
// step count, on input files that must still be the ones the first run read.
#pragma once

#include <string>
#include <vector>

#include "StudyOptions.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

// Reads the manifest at `path` into `options`: the settings as the run used them, the
// run's own seed, and its species and parameter files (listed again in the new
// manifest). Every input file the manifest lists is read into options.Files and must
// have the size and SHA-256 digest the manifest gives, so that the run uses the very
// bytes the first run used; a design point's file is not read, its values being among
// the settings. A resumed run's manifest gives the state file it went on from, read
// into options.Resumed when its checksum is still the recorded one. Returns the
// problems, one line each; when there are any, nothing must be run.
std::vector<std::string> LoadRepeat(const std::string &path, BatchOptions &options);

}  // namespace glebix::invocation
