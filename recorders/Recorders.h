// The recorders of a run, one for each output of its plan, made from the registry's
// rows: a kind of output is recorded by the factory that its option names in this
// folder's table, as a format registers its writer, and the batch run calls the hooks
// of whatever recorders it is given.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "OutputRegistry.h"
#include "Recorder.h"

namespace glebix::recorders {

// The recorders of every output `context.plan` places, in the order they act on each
// hook.
std::vector<std::unique_ptr<Recorder>> MakeRecorders(RecordingContext &context);

// The factory of the output kind that `option` asks for; nullptr when no recorder
// writes it (the study table, the manifest and the summary, which the study writes).
RecorderFactory RecorderOf(std::string_view option);

}  // namespace glebix::recorders
