#include "MapAnimation.h"

#include <QImage>

#include "Errors.h"
#include "MapPicture.h"
#include "Messages.h"
#include "SlideMap.h"

namespace glebix::render {

namespace {

// Refuses a map style whose cells asked for make a picture beyond MaxPictureSide.
void CheckSlideSize(const AnimationLook &look, int cellSize, int width, int height) {
    const SlideLayout layout = SlideLayoutFor(cellSize, width, height);
    if (layout.Width <= MaxPictureSide && layout.Height <= MaxPictureSide) return;
    throw GlebixError(
        Message("animation.picture_too_large",
                {look.CellSizeOption, std::to_string(cellSize), std::to_string(width), std::to_string(height),
                 std::to_string(layout.Width), std::to_string(layout.Height), std::to_string(MaxPictureSide)}));
}

}  // namespace

void MapAnimation::Open(const std::string &path, const AnimationLook &look, int width, int height) {
    look_ = look;
    if (look.Style == AnimationStyle::Map) {
        cellSize_ = MapStyleCellSize(look, width, height);
        CheckSlideSize(look, cellSize_, width, height);
        const SlideLayout layout = SlideLayoutFor(cellSize_, width, height);
        gif_.Open(path, layout.Width, layout.Height, look.FramesPerSecond, SlidePalette());
    } else {
        const WindowPicture picture = WindowPictureFor(width, height);
        gif_.Open(path, picture.Width, picture.Height, look.FramesPerSecond, MapPalette());
    }
}

void MapAnimation::AddFrame(const TPlot &plot, std::int32_t step) {
    gif_.AddFrame(look_.Style == AnimationStyle::Map ? SlideMapOf(plot, step, cellSize_) : MapPictureOf(plot, step));
}

}  // namespace glebix::render
