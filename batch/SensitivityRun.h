// --sample and --analyse: the design of a sensitivity study written, or the indices of
// its table, each checked whole before anything is written and written atomically.
#pragma once

#include <functional>
#include <string>

#include "StudyOptions.h"

namespace glebix::batch {

// The core's names are this layer's words.
using namespace glebix::core;
using namespace glebix::invocation;

// The exit status: 0 when the file was written; 2 for a bad input or a refused output
// place (nothing written); 1 when the file could not be written (an earlier file under
// its name left as it was). Each problem, note and warning goes to `print`, one line.
int RunSensitivity(const BatchOptions &options, const std::function<void(const std::string &)> &print);

// --sample run at once with --design-out: the design written before the runs, never
// over the study's table or summary nor an input; its status as RunSensitivity's.
int WriteSampledDesign(const BatchOptions &options, const std::function<void(const std::string &)> &print);

}  // namespace glebix::batch
