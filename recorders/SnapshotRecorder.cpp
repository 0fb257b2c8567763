// A picture of the density map for each recorded step after the start (--snapshots).
#include "MapPicture.h"
#include "RecordedSteps.h"
#include "RecorderKinds.h"
#include "SnapshotNames.h"

namespace glebix::recorders {

namespace {

class SnapshotRecorder : public Recorder {
public:
    SnapshotRecorder(RecordingContext &context, std::string folder) : context_(context), folder_(std::move(folder)) {}

    void Stepped(const RunSession &run) override {
        const std::int32_t step = run.StepIndex();
        if (IsRecordedStep(step, context_.options.Every, run.LastStep()))
            context_.files.Write(Join(folder_, SnapshotName(step)), render::DensityMapPng(run.Plot(), step));
    }

private:
    RecordingContext &context_;
    std::string folder_;
};

}  // namespace

std::unique_ptr<Recorder> MakeSnapshotRecorder(RecordingContext &context, const std::string &folder) {
    return std::make_unique<SnapshotRecorder>(context, folder);
}

}  // namespace glebix::recorders
