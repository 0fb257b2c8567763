// The entry of the pictures module (PictureModule.h): its table, filled with the
// render/ code. The module is linked so that these names mean its own functions, not
// the batch tool's stand-ins of the same names.
#include "CalibrationFigure.h"
#include "IndicesFigure.h"
#include "MapAnimation.h"
#include "MapPicture.h"
#include "PictureModule.h"
#include "SessionAnimation.h"

namespace {

using namespace glebix;
using namespace glebix::render;

const PictureCapabilities Capabilities{
    &DensityMapPng,
    [](MapAnimation &animation, const std::string &path, const AnimationLook &look, int width, int height) {
        animation.Open(path, look, width, height);
    },
    [](MapAnimation &animation, const TPlot &plot, std::int32_t step) { animation.AddFrame(plot, step); },
    [](GifAnimation &gif) { gif.Finish(); },
    [](GifAnimation &gif) { gif.Abandon(); },
    [](SessionAnimation &animation, const std::string &path, int every, const AnimationLook &look,
       const RunSession &session) { animation.Ask(path, every, look, session); },
    // Called by name, not through the object's table of virtual functions, which is the
    // program's and leads back to the stand-ins.
    [](SessionAnimation &animation, const RunSession &session) { animation.SessionAnimation::SetUp(session); },
    [](SessionAnimation &animation, const RunSession &session) { animation.SessionAnimation::Stepped(session); },
    [](RunAnimation &animation) { return animation.End(); },
    &IndicesFigurePng,
    &CalibrationFigurePng,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void *glebix_picture_capabilities_3() { return &Capabilities; }
