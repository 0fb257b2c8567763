#include "SessionAnimation.h"

namespace glebix::batch {

void SessionAnimation::Ask(const std::string &path, int every, const AnimationLook &look, const RunSession &session) {
    session.RefuseInputClash("--animate", path);
    animation_.Ask(path, every, look);
    if (session.IsReady()) animation_.Start(session.Plot(), session.StepIndex(), session.StepCount());
}

void SessionAnimation::SetUp(const RunSession &session) {
    animation_.Start(session.Plot(), session.StepIndex(), session.StepCount());
}

void SessionAnimation::Stepped(const RunSession &session) { animation_.AfterStep(session.Plot(), session.StepIndex()); }

}  // namespace glebix::batch
