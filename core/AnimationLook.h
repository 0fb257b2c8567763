// How an animated map looks and how fast it plays: the plot window's picture, or the
// map alone for slides, with its colour legend and the step labelled, at a chosen
// cell size. The batch tool's options and the bindings' arguments are checked here,
// with the same messages, each naming the option or argument given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace glebix::core {

enum class AnimationStyle { Window, Map };

// Pixels per cell of the map style that may be asked for, and the size taken when
// none is given and the plot is small enough (FittedCellSide).
inline constexpr int MinAnimationCellSize = 2;
inline constexpr int MaxAnimationCellSize = 40;
inline constexpr int DefaultAnimationCellSize = 10;

// The longer side of a map, in pixels, up to which its cells keep their preferred
// size; the cells of a longer plot shrink so that its map fits, down to one pixel.
inline constexpr int FittedMapSide = 1000;
// The longest side of a picture: a frame of 8192 x 8192 pixels already takes 256 MiB
// painted and 128 MiB as palette indices, and many viewers refuse larger ones.
inline constexpr int MaxPictureSide = 8192;
// The side of a cell of a `width` x `height` plot's map: `preferred` pixels while
// the map's longer side stays within FittedMapSide, less for a longer plot, at least 1.
int FittedCellSide(int preferred, int width, int height);

// Most frames per second of an animation (GIF delays are hundredths of a second).
inline constexpr int MaxFramesPerSecond = 100;
inline constexpr int DefaultFramesPerSecond = 10;
// The most frames per second that common viewers show as written: they slow shorter
// delays (often to a tenth of a second).
inline constexpr int MaxShownFramesPerSecond = 50;
// The delay between frames for `framesPerSecond` (1 to 100), in hundredths of a
// second to the nearest, and the rate that delay gives.
inline int FrameDelayCentiseconds(int framesPerSecond) { return (100 + framesPerSecond / 2) / framesPerSecond; }
inline double WrittenFramesPerSecond(int framesPerSecond) { return 100.0 / FrameDelayCentiseconds(framesPerSecond); }

struct AnimationLook {
    AnimationStyle Style = AnimationStyle::Window;
    std::optional<int> CellSize;  // of the map style; when absent, fitted to the plot
    int FramesPerSecond = DefaultFramesPerSecond;
    std::string CellSizeOption = "--animate-cell-size";  // how the cell size was asked for
};

// The pixels per cell of the map style for a `width` x `height` plot: the size asked
// for, else the default fitted to the plot.
int MapStyleCellSize(const AnimationLook &look, int width, int height);

// The name of a style as the options and the manifest write it: "window" or "map".
const char *AnimationStyleName(AnimationStyle style);
// The style called `name`, or the refusal naming `option`.
std::variant<AnimationStyle, std::string> ParseAnimationStyle(const std::string &option, const std::string &name);
// The refusal of a cell size outside its range, naming `option`; nothing when it fits.
std::optional<std::string> CellSizeProblem(const std::string &option, std::int64_t size);
// The refusal of a cell size given with a style that has no cells to size;
// `mapAsked` is how the map style is asked for.
std::string CellSizeWithoutMapMessage(const std::string &option, const std::string &mapAsked);
// The refusal of a rate outside 1 to MaxFramesPerSecond, naming `option`.
std::optional<std::string> FramesPerSecondProblem(const std::string &option, std::int64_t framesPerSecond);

// The look the bindings' arguments ask for: `style` by name, `cellSize` (of the map
// style only; the default when absent) and `fps`; or the refusal of the first wrong
// one, naming the argument as the bindings do (style, cell_size, fps).
std::variant<AnimationLook, std::string> LookFromArguments(const std::string &style,
                                                           std::optional<std::int64_t> cellSize, std::int64_t fps);

}  // namespace glebix::core
