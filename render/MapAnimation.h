// An animated density map written as a run goes, in either look: the picture of each
// frame and the GIF. The batch tool and the language bindings write their animations
// through it, so the same run with the same look gives the same bytes everywhere.
#pragma once

#include <cstdint>
#include <string>

#include "AnimationLook.h"
#include "GifAnimation.h"
#include "Plot.h"

namespace glebix::batch {

class MapAnimation {
public:
    // Starts the file at `path` (written under a temporary name until Finish).
    void Open(const std::string &path, const AnimationLook &look);
    // Appends the picture of `plot` after `step`.
    void AddFrame(const TPlot &plot, std::int32_t step);
    // Ends the file and puts it at its path.
    void Finish() { gif_.Finish(); }
    // Drops an unfinished file; any earlier file at the path stays.
    void Abandon() { gif_.Abandon(); }
    bool IsOpen() const { return gif_.IsOpen(); }
    int FrameCount() const { return gif_.FrameCount(); }

private:
    AnimationLook look_;
    GifAnimation gif_;
};

}  // namespace glebix::batch
