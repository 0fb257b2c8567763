#include "MapAnimation.h"

#include <QImage>

#include "MapPicture.h"
#include "MapPicture.h"
#include "SlideMap.h"

namespace glebix::batch {

void MapAnimation::Open(const std::string &path, const AnimationLook &look) {
    look_ = look;
    if (look.Style == AnimationStyle::Map) {
        const SlideLayout layout = SlideLayoutFor(look.CellSize);
        gif_.Open(path, layout.Width, layout.Height, look.FramesPerSecond, SlidePalette());
    } else {
        gif_.Open(path, SnapshotWidth, SnapshotHeight, look.FramesPerSecond, MapPalette());
    }
}

void MapAnimation::AddFrame(const TPlot &plot, std::int32_t step) {
    gif_.AddFrame(look_.Style == AnimationStyle::Map ? SlideMapOf(plot, step, look_.CellSize)
                                                     : MapPictureOf(plot, step));
}

}  // namespace glebix::batch
