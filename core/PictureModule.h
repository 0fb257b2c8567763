// The pictures module, glebix-pictures (QtGui, giflib, zlib): the PNG snapshots and the
// animated maps of render/. In the batch tool the render/ functions it calls
// (MapPicture.h's DensityMapPng, MapAnimation.h's and GifAnimation.h's members) are
// stand-ins that call through this table (render/PictureLoader.cpp), so that a run
// without pictures loads none of those libraries. The module is the render/ code with
// PictureModuleEntry.cpp; the windows, the tests, Python and R link that code directly.
#pragma once

#include <cstdint>
#include <string>

#include "ModuleLoader.h"
#include "Plot.h"

namespace glebix::batch {

class GifAnimation;
class MapAnimation;
struct AnimationLook;

struct PictureCapabilities {
    std::string (*densityMapPng)(const TPlot &plot, std::int32_t step);
    void (*animationOpen)(MapAnimation &animation, const std::string &path, const AnimationLook &look, int width,
                          int height);
    void (*animationAddFrame)(MapAnimation &animation, const TPlot &plot, std::int32_t step);
    void (*gifFinish)(GifAnimation &gif);
    void (*gifAbandon)(GifAnimation &gif);
};

// The entry's name says the table's layout: a module built for another one is not used.
inline constexpr ModuleName PictureModuleName{"glebix-pictures.so", "glebix_picture_capabilities_1", "QtGui, giflib"};

}  // namespace glebix::batch
