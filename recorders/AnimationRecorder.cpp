// The animated map (--animate): the start and each recorded step, one frame each.
#include "MapAnimation.h"
#include "RecordedSteps.h"
#include "RecorderKinds.h"

namespace glebix::recorders {

namespace {

class AnimationRecorder : public Recorder {
public:
    AnimationRecorder(RecordingContext &context, std::string path) : context_(context), path_(std::move(path)) {}

    void Begin(const RunSession &run) override {
        animation_.Open(PartName(path_), AnimationLookOf(context_.options), run.Plot().Width, run.Plot().Height);
        animation_.AddFrame(run.Plot(), run.StepIndex());
    }
    void Stepped(const RunSession &run) override {
        if (IsRecordedStep(run.StepIndex(), context_.options.Every, run.LastStep()))
            animation_.AddFrame(run.Plot(), run.StepIndex());
    }
    // Whatever the end: the frames so far.
    void End(const RunSession *, bool) override {
        if (!animation_.IsOpen()) return;
        animation_.Finish();
        context_.files.Adopt(path_);
    }

private:
    RecordingContext &context_;
    std::string path_;
    render::MapAnimation animation_;
};

}  // namespace

std::unique_ptr<Recorder> MakeAnimationRecorder(RecordingContext &context, const std::string &path) {
    return std::make_unique<AnimationRecorder>(context, path);
}

}  // namespace glebix::recorders
