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

namespace glebix::batch {

class GifAnimation;
class MapAnimation;
class RunAnimation;
class RunSession;
class SessionAnimation;
struct AnimationLook;
struct CalibrationFigureData;

struct PictureCapabilities {
    std::string (*densityMapPng)(const TPlot &plot, std::int32_t step);
    void (*animationOpen)(MapAnimation &animation, const std::string &path, const AnimationLook &look, int width,
                          int height);
    void (*animationAddFrame)(MapAnimation &animation, const TPlot &plot, std::int32_t step);
    void (*gifFinish)(GifAnimation &gif);
    void (*gifAbandon)(GifAnimation &gif);
    void (*sessionAsk)(SessionAnimation &animation, const std::string &path, int every, const AnimationLook &look,
                       const RunSession &session);
    void (*sessionSetUp)(SessionAnimation &animation, const RunSession &session);
    void (*sessionStepped)(SessionAnimation &animation, const RunSession &session);
    std::string (*runAnimationEnd)(RunAnimation &animation);
    std::string (*indicesFigurePng)(std::string_view csv);
    std::string (*calibrationFigurePng)(const CalibrationFigureData &data);
};

// The entry's name says the table's layout: a module built for another one is not used.
inline constexpr ModuleName PictureModuleName{"glebix-pictures.so", "glebix_picture_capabilities_3", "QtGui, giflib"};

}  // namespace glebix::batch
