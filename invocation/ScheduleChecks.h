// The schedules of events of an invocation's runs, checked before any starts: each
// point's once per plot size and step count, with the later events allowed when a run
// may be resumed further.
#pragma once

#include <string>
#include <vector>

#include "StudyOptions.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

// Every problem of the schedules of the invocation's runs, each once, labelled with its
// point when a design has several; nothing for a resumed run, whose state holds its
// schedule. A run whose plot cannot be told is left to the plot's check. An event
// that begins after the run's last step is one, unless the run saves its state (it
// may be resumed further) or repeats a manifest's run. The run and --validate both
// refuse these.
std::vector<std::string> EventScheduleProblems(const BatchOptions &options);

}  // namespace glebix::invocation
