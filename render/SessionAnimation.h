// The animated map of a run session (RunAnimation) following its set-ups and steps, as
// the language bindings ask for one.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "Errors.h"

#include "RunAnimation.h"
#include "RunSession.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

class SessionAnimation : public RunObserver {
public:
    // Asks for the animation (RunAnimation::Ask): it starts now when the run is ready,
    // else at its next set-up.
    void Ask(const std::string &path, int every, const AnimationLook &look, const RunSession &session);
    // Puts the animation under way in place; its path, or an empty text when none was.
    std::string End() { return animation_.End(); }
    // The refusal of the animation that a set-up was to start (its pictures too large,
    // say), once: the set-up itself went on, and so do the steps, without it.
    std::optional<GlebixError> TakeRefusal() { return std::exchange(refusal_, std::nullopt); }
    // Asked for and not yet put in place.
    bool IsAsked() const { return animation_.IsAsked(); }
    // Drops the animation under way, its temporary file removed.
    void Abandon() { animation_.Abandon(); }

    void SetUp(const RunSession &session) override;
    void Stepped(const RunSession &session) override;

private:
    RunAnimation animation_;
    std::optional<GlebixError> refusal_;
};

}  // namespace glebix::render
