// The animated map of a run session (RunAnimation) following its set-ups and steps, as
// the language bindings ask for one.
#pragma once

#include <string>

#include "RunAnimation.h"
#include "RunSession.h"

namespace glebix::batch {

class SessionAnimation : public RunObserver {
public:
    // Asks for the animation (RunAnimation::Ask): it starts now when the run is ready,
    // else at its next set-up.
    void Ask(const std::string &path, int every, const AnimationLook &look, const RunSession &session);
    // Puts the animation under way in place; its path, or an empty text when none was.
    std::string End() { return animation_.End(); }

    void SetUp(const RunSession &session) override;
    void Stepped(const RunSession &session) override;

private:
    RunAnimation animation_;
};

}  // namespace glebix::batch
