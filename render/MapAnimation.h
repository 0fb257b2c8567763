// An animated density map written as a run goes, in either look: the picture of each
// frame and the GIF. The batch tool and the language bindings write their animations
// through it, so the same run with the same look gives the same bytes everywhere.
#pragma once

#include <cstdint>
#include <string>

#include "AnimationLook.h"
#include "GifAnimation.h"
#include "Plot.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

class MapAnimation {
public:
    // Starts the file at `path` (written under a temporary name until Finish) for the
    // pictures of a `width` x `height` plot. A map style whose cell size asked for
    // makes pictures beyond MaxPictureSide is refused (GlebixError naming the option).
    void Open(const std::string &path, const AnimationLook &look, int width, int height);
    // Appends the picture of `plot` (of the size given to Open) after `step`.
    void AddFrame(const TPlot &plot, std::int32_t step);
    // Ends the file and puts it at its path.
    void Finish() { gif_.Finish(); }
    // Drops an unfinished file; any earlier file at the path stays.
    void Abandon() { gif_.Abandon(); }
    bool IsOpen() const { return gif_.IsOpen(); }
    int FrameCount() const { return gif_.FrameCount(); }

private:
    AnimationLook look_;
    int cellSize_ = DefaultAnimationCellSize;  // of the map style, for this plot
    GifAnimation gif_;
};

}  // namespace glebix::render
