// The trace (--trace): one line per step, written as the run goes.
#include "Habitat.h"
#include "PlotShape.h"
#include "RecorderKinds.h"
#include "RunOutputs.h"

namespace glebix::recorders {

namespace {

class TraceRecorder : public Recorder {
public:
    TraceRecorder(RecordingContext &context, std::string path) : context_(context), path_(std::move(path)) {}

    void Prepare() override {
        const TSettings &settings = context_.plan.Settings;
        context_.files.OpenLines(path_, writer_);
        writer_.Write(TraceHeader({HasBoundedEdges(settings.Plot), UsesHabitatMask(settings.Initial)}));
    }
    void Stepped(const RunSession &run) override { writer_.Write(run.TraceRow()); }
    // A failed run's trace is put aside as it stands.
    void End(const RunSession *, bool) override {
        if (context_.record.Completed || context_.record.Interrupted) writer_.Close();
    }

private:
    RecordingContext &context_;
    std::string path_;
    LineWriter writer_;
};

}  // namespace

std::unique_ptr<Recorder> MakeTraceRecorder(RecordingContext &context, const std::string &path) {
    return std::make_unique<TraceRecorder>(context, path);
}

}  // namespace glebix::recorders
