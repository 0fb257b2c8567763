// The grids of the start and of each recorded step in one NetCDF file (--netcdf).
#include "NetcdfStack.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "RecordedSteps.h"
#include "RecorderKinds.h"

namespace glebix::recorders {

namespace {

class NetcdfRecorder : public Recorder {
public:
    NetcdfRecorder(RecordingContext &context, std::string path) : context_(context), path_(std::move(path)) {}

    void Begin(const RunSession &run) override {
        const RunDescription &described = run.Description();
        const int deflate = TuningOf(context_.options, *OutputKindOf("--netcdf")).value_or(gis::DefaultDeflateLevel);
        stack_.Open(path_, run.Engine(), described.Georeference, described.Seed, deflate);
        stack_.Record(run.StepIndex(), run.Plot());
    }
    void Stepped(const RunSession &run) override {
        if (IsRecordedStep(run.StepIndex(), context_.options.Every, run.LastStep()))
            stack_.Record(run.StepIndex(), run.Plot());
    }
    // Whatever the end: the records so far.
    void End(const RunSession *, bool) override {
        if (!stack_.IsOpen()) return;
        stack_.Finish();
        context_.files.Adopt(path_);
    }

private:
    RecordingContext &context_;
    std::string path_;
    gis::NetcdfStack stack_;
};

}  // namespace

std::unique_ptr<Recorder> MakeNetcdfRecorder(RecordingContext &context, const std::string &path) {
    return std::make_unique<NetcdfRecorder>(context, path);
}

}  // namespace glebix::recorders
