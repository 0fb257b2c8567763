#include "RunAnimation.h"

#include "FileIo.h"
#include "RecordedSteps.h"

namespace glebix::render {

void RunAnimation::Ask(const std::string &path, int every, const AnimationLook &look) {
    animation_.Abandon();
    path_.clear();
    PrepareOutputFile(path);
    path_ = path;
    every_ = every;
    look_ = look;
}

void RunAnimation::Start(const TPlot &plot, std::int32_t step, std::int32_t last) {
    if (!IsAsked()) return;
    last_ = last;
    try {
        animation_.Open(path_, look_, plot.Width, plot.Height);
        animation_.AddFrame(plot, step);
    } catch (...) {
        animation_.Abandon();
        path_.clear();  // told once; the run goes on without it
        throw;
    }
    if (step >= last_) End();
}

void RunAnimation::AfterStep(const TPlot &plot, std::int32_t step, std::int32_t last) {
    if (!animation_.IsOpen()) return;
    last_ = last;
    if (IsRecordedStep(step, every_, last_)) animation_.AddFrame(plot, step);
    if (step >= last_) End();
}

std::string RunAnimation::End() {
    if (!animation_.IsOpen()) return {};
    const std::string path = path_;
    path_.clear();
    animation_.Finish();
    return path;
}

}  // namespace glebix::render
