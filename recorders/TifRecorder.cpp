// The grids as GeoTIFF files (--tif): the final ones, and with --tif-every those of
// the recorded steps, from the step the run starts at.
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "RecordedSteps.h"
#include "RecorderKinds.h"
#include "SessionWriters.h"

namespace glebix::recorders {

namespace {

class TifRecorder : public Recorder {
public:
    TifRecorder(RecordingContext &context, std::string folder)
        : context_(context),
          folder_(std::move(folder)),
          every_(TuningOf(context.options, *OutputKindOf("--tif")).value_or(0)) {}

    void Begin(const RunSession &run) override {
        if (every_ > 0) StageTifGrids(run, folder_, context_.files, run.StepIndex());
    }
    void Stepped(const RunSession &run) override {
        const std::int32_t step = run.StepIndex();
        if (every_ > 0 && IsRecordedStep(step, every_, run.LastStep()))
            StageTifGrids(run, folder_, context_.files, step);
    }
    void Complete(const RunSession &run) override { StageTifGrids(run, folder_, context_.files); }

private:
    RecordingContext &context_;
    std::string folder_;
    int every_;  // 0: the final grids alone
};

}  // namespace

std::unique_ptr<Recorder> MakeTifRecorder(RecordingContext &context, const std::string &folder) {
    return std::make_unique<TifRecorder>(context, folder);
}

}  // namespace glebix::recorders
