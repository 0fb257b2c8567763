#include "SessionAnimation.h"

#include <utility>

namespace glebix::render {

void SessionAnimation::Ask(const std::string &path, int every, const AnimationLook &look, const RunSession &session) {
    session.RefuseInputClash("--animate", path);
    animation_.Ask(path, every, look);
    if (session.IsReady()) animation_.Start(session.Plot(), session.StepIndex(), session.LastStep());
}

void SessionAnimation::SetUp(const RunSession &session) {
    try {
        animation_.Start(session.Plot(), session.StepIndex(), session.LastStep());
    } catch (const GlebixError &e) {
        refusal_ = e;  // the other observers still follow the set-up
    }
}

void SessionAnimation::Stepped(const RunSession &session) {
    animation_.AfterStep(session.Plot(), session.StepIndex(), session.LastStep());
}

}  // namespace glebix::render
