// The stand-ins of the render/ functions the batch tool calls (PictureModule.h): each
// loads the pictures module on its first call and calls its own.
#include "MapAnimation.h"
#include "MapPicture.h"
#include "PictureModule.h"

namespace glebix::batch {

namespace {

const PictureCapabilities &Pictures() {
    return *static_cast<const PictureCapabilities *>(ModuleTable(PictureModuleName));
}

}  // namespace

std::string DensityMapPng(const TPlot &plot, std::int32_t step) { return Pictures().densityMapPng(plot, step); }

void MapAnimation::Open(const std::string &path, const AnimationLook &look, int width, int height) {
    Pictures().animationOpen(*this, path, look, width, height);
}

void MapAnimation::AddFrame(const TPlot &plot, std::int32_t step) { Pictures().animationAddFrame(*this, plot, step); }

// An animation was only ever begun by the module.
GifAnimation::~GifAnimation() {
    if (const void *table = OpenModuleTable(PictureModuleName))
        static_cast<const PictureCapabilities *>(table)->gifAbandon(*this);
}

void GifAnimation::Finish() { Pictures().gifFinish(*this); }

void GifAnimation::Abandon() {
    if (const void *table = OpenModuleTable(PictureModuleName))
        static_cast<const PictureCapabilities *>(table)->gifAbandon(*this);
}

}  // namespace glebix::batch
