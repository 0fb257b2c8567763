// The result file (--out), written once the last step is done.
#include "RecorderKinds.h"
#include "SessionWriters.h"

namespace glebix::recorders {

namespace {

class ResultFileRecorder : public Recorder {
public:
    explicit ResultFileRecorder(RecordingContext &context) : context_(context) {}

    // As the launcher does: a run without steps writes no result file.
    void Complete(const RunSession &run) override {
        if (context_.record.StepCount > 0) StageResultFile(run, context_.files);
    }

private:
    RecordingContext &context_;
};

}  // namespace

// The folder is the engine's result folder (RunPlan::OutDir, set up as the run's).
std::unique_ptr<Recorder> MakeResultFileRecorder(RecordingContext &context, const std::string &) {
    return std::make_unique<ResultFileRecorder>(context);
}

}  // namespace glebix::recorders
