// The pictures module, glebix-pictures (QtGui, giflib, zlib): the PNG snapshots and the
// animated maps of render/. In the batch tool the render/ functions it calls
// and the Python module call (MapPicture.h's DensityMapPng, the members of
// MapAnimation.h, GifAnimation.h and SessionAnimation.h, and IndicesFigure.h's
// IndicesFigurePng, CalibrationFigure.h's CalibrationFigurePng) are stand-ins that call
// through this table (render/PictureLoader.cpp), so that a run without pictures loads
// none of those libraries. The module is the render/ code with PictureModuleEntry.cpp;
// the windows, the tests and R link that code directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ModuleLoader.h"
#include "Plot.h"

namespace glebix::render {
class GifAnimation;
class MapAnimation;
class RunAnimation;
class SessionAnimation;
}  // namespace glebix::render

namespace glebix::core {

class RunSession;
struct AnimationLook;
struct CalibrationFigureData;

struct PictureCapabilities {
    std::string (*densityMapPng)(const TPlot &plot, std::int32_t step);
    void (*animationOpen)(render::MapAnimation &animation, const std::string &path, const AnimationLook &look,
                          int width, int height);
    void (*animationAddFrame)(render::MapAnimation &animation, const TPlot &plot, std::int32_t step);
    void (*gifFinish)(render::GifAnimation &gif);
    void (*gifAbandon)(render::GifAnimation &gif);
    void (*sessionAsk)(render::SessionAnimation &animation, const std::string &path, int every,
                       const AnimationLook &look, const RunSession &session);
    void (*sessionSetUp)(render::SessionAnimation &animation, const RunSession &session);
    void (*sessionStepped)(render::SessionAnimation &animation, const RunSession &session);
    std::string (*runAnimationEnd)(render::RunAnimation &animation);
    std::string (*indicesFigurePng)(std::string_view csv);
    std::string (*calibrationFigurePng)(const CalibrationFigureData &data);
};

// The entry's name says the table's layout: a module built for another one is not used.
inline constexpr ModuleName PictureModuleName{"glebix-pictures.so", "glebix_picture_capabilities_3", "QtGui, giflib"};

}  // namespace glebix::core
