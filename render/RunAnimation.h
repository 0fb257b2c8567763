// The animated map of a run driven step by step, as the language bindings drive one:
// asked for before set-up or at any step, it starts with the state it is asked at (or
// the state after set-up), takes a frame every `every` steps and at the run's last
// step, and is put in place there, as the batch tool's --animate is.
#pragma once

#include <cstdint>
#include <string>

#include "AnimationLook.h"
#include "MapAnimation.h"
#include "Plot.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

class RunAnimation {
public:
    // Asks for an animation at `path`: its folder is created when missing, and a path
    // that holds something other than a plain file is refused (GlebixError). An
    // animation under way is dropped.
    void Ask(const std::string &path, int every, const AnimationLook &look);
    bool IsAsked() const { return !path_.empty(); }
    // Starts the file with the frame of `plot` at `step`, again from there after a
    // new set-up; `last` is the run's last step, where the file is put in place. An
    // animation that cannot start (its pictures too large, say) raises its error and
    // is no longer asked for.
    void Start(const TPlot &plot, std::int32_t step, std::int32_t last);
    // The frame of the state after `step`, when it is one; the file put in place at
    // the last step, `last` (which a stopping rule may bring forward).
    void AfterStep(const TPlot &plot, std::int32_t step, std::int32_t last);
    // Puts the file in place with the frames so far; returns its path, or an empty
    // text when no animation was under way.
    std::string End();
    // Drops the animation: its temporary file is removed, nothing is put in place.
    void Abandon() {
        animation_.Abandon();
        path_.clear();
    }

private:
    std::string path_;
    int every_ = 1;
    AnimationLook look_;
    std::int32_t last_ = 0;
    MapAnimation animation_;
};

}  // namespace glebix::render
