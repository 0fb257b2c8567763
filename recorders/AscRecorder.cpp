// The final grids as ESRI ASCII files (--asc).
#include "GridOutputs.h"
#include "RecorderKinds.h"

namespace glebix::recorders {

namespace {

class AscRecorder : public Recorder {
public:
    AscRecorder(RecordingContext &context, std::string folder) : context_(context), folder_(std::move(folder)) {}

    void Complete(const RunSession &run) override {
        StageFinalGrids(run.Engine(), run.Description().Georeference, folder_, context_.files);
    }

private:
    RecordingContext &context_;
    std::string folder_;
};

}  // namespace

std::unique_ptr<Recorder> MakeAscRecorder(RecordingContext &context, const std::string &folder) {
    return std::make_unique<AscRecorder>(context, folder);
}

}  // namespace glebix::recorders
