// The stand-ins of the render/ functions the batch tool and the Python module call
// (PictureModule.h): each loads the pictures module on its first call and calls its own.
#include "CalibrationFigure.h"
#include "IndicesFigure.h"
#include "MapAnimation.h"
#include "MapPicture.h"
#include "PictureModule.h"
#include "SessionAnimation.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

namespace {

const PictureCapabilities &Pictures() {
    return *static_cast<const PictureCapabilities *>(ModuleTable(PictureModuleName));
}

}  // namespace

std::string DensityMapPng(const TPlot &plot, std::int32_t step) { return Pictures().densityMapPng(plot, step); }

std::string IndicesFigurePng(std::string_view csv) { return Pictures().indicesFigurePng(csv); }

std::string CalibrationFigurePng(const CalibrationFigureData &data) { return Pictures().calibrationFigurePng(data); }

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

void SessionAnimation::Ask(const std::string &path, int every, const AnimationLook &look, const RunSession &session) {
    Pictures().sessionAsk(*this, path, every, look, session);
}

// Without an animation asked for (which loads the module) there is nothing to draw.
void SessionAnimation::SetUp(const RunSession &session) {
    if (const void *table = OpenModuleTable(PictureModuleName))
        static_cast<const PictureCapabilities *>(table)->sessionSetUp(*this, session);
}

void SessionAnimation::Stepped(const RunSession &session) {
    if (const void *table = OpenModuleTable(PictureModuleName))
        static_cast<const PictureCapabilities *>(table)->sessionStepped(*this, session);
}

std::string RunAnimation::End() {
    const void *table = OpenModuleTable(PictureModuleName);
    return table ? static_cast<const PictureCapabilities *>(table)->runAnimationEnd(*this) : std::string();
}

}  // namespace glebix::render
