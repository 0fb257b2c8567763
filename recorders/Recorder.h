// A recorder writes one kind of output of one batch run: it follows the run from
// before its set-up to its end, whatever the end, and hands each file it writes to the
// run's staged files, which put them all in place together (or aside, when the run
// fails). Each kind of output of the registry (OutputKinds) has one, made from its row
// (MakeRecorders); the run knows none of them by name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FileIo.h"
#include "RunPlan.h"
#include "RunSession.h"
#include "StudyOptions.h"

namespace glebix::recorders {

using namespace glebix::core;
using namespace glebix::invocation;

// What every recorder of a run shares.
struct RecordingContext {
    const BatchOptions &options;
    const RunPlan &plan;
    RunRecord &record;  // a recorder may add to its message
    std::uint32_t masterSeed;
    StagedFiles &files;
    // Files at the run's output places that the run did not write and that stay as they
    // are (a state withheld leaves the earlier one).
    std::vector<std::string> leftAlone;
};

// The hooks come in this order: Prepare; then, once the run holds its state, Begin;
// BeforeStep and Stepped around each step; Complete when it made its last step; End
// however it ended, also after a fault or when no set-up was reached. A hook that
// throws ends the run on that error; End may be called again after it threw, and
// does what is left.
class Recorder : public RunObserver {
public:
    // Before the run is set up.
    virtual void Prepare() {}
    // The state the steps start from: set up, or put back.
    virtual void Begin(const RunSession &) {}
    // The run made its last step (or a stopping rule ended it), not stopped by a signal.
    virtual void Complete(const RunSession &) {}
    // The end of the run, its record saying how it ended. `run` is null when no session
    // was made, and `holdsRun` says whether the engine holds a whole run.
    virtual void End(const RunSession *, bool) {}
};

// Makes the recorder of the output at `path`, a place the run plan gives.
using RecorderFactory = std::unique_ptr<Recorder> (*)(RecordingContext &context, const std::string &path);

}  // namespace glebix::recorders
