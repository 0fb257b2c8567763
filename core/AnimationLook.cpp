#include "AnimationLook.h"

#include <algorithm>

#include "Messages.h"

namespace glebix::core {

namespace {

constexpr struct {
    AnimationStyle style;
    const char *name;
} StyleNames[] = {{AnimationStyle::Window, "window"}, {AnimationStyle::Map, "map"}};

}  // namespace

int FittedCellSide(int preferred, int width, int height) {
    return std::clamp(FittedMapSide / std::max({width, height, 1}), 1, preferred);
}

int MapStyleCellSize(const AnimationLook &look, int width, int height) {
    return look.CellSize ? *look.CellSize : FittedCellSide(DefaultAnimationCellSize, width, height);
}

const char *AnimationStyleName(AnimationStyle style) {
    for (const auto &s : StyleNames)
        if (s.style == style) return s.name;
    return "";
}

std::variant<AnimationStyle, std::string> ParseAnimationStyle(const std::string &option, const std::string &name) {
    for (const auto &s : StyleNames)
        if (name == s.name) return s.style;
    return Message("animation.bad_style", {option, name});
}

std::optional<std::string> CellSizeProblem(const std::string &option, std::int64_t size) {
    if (size >= MinAnimationCellSize && size <= MaxAnimationCellSize) return std::nullopt;
    return Message("animation.cell_size_range", {option, std::to_string(size), std::to_string(MinAnimationCellSize),
                                                 std::to_string(MaxAnimationCellSize)});
}

std::string CellSizeWithoutMapMessage(const std::string &option, const std::string &mapAsked) {
    return Message("animation.cell_size_without_map", {option, mapAsked});
}

std::optional<std::string> FramesPerSecondProblem(const std::string &option, std::int64_t framesPerSecond) {
    if (framesPerSecond < 1) return Message("option.not_count", {option, std::to_string(framesPerSecond), "1"});
    if (framesPerSecond > MaxFramesPerSecond)
        return Message("option.fps_bound", {option, std::to_string(MaxFramesPerSecond)});
    return std::nullopt;
}

std::variant<AnimationLook, std::string> LookFromArguments(const std::string &style,
                                                           std::optional<std::int64_t> cellSize, std::int64_t fps) {
    AnimationLook look;
    look.CellSizeOption = "cell_size";
    auto parsed = ParseAnimationStyle("style", style);
    if (auto *problem = std::get_if<std::string>(&parsed)) return *problem;
    look.Style = std::get<AnimationStyle>(parsed);
    if (cellSize) {
        if (look.Style != AnimationStyle::Map) return CellSizeWithoutMapMessage(look.CellSizeOption, "style \"map\"");
        if (auto problem = CellSizeProblem(look.CellSizeOption, *cellSize)) return *problem;
        look.CellSize = static_cast<int>(*cellSize);
    }
    if (auto problem = FramesPerSecondProblem("fps", fps)) return *problem;
    look.FramesPerSecond = static_cast<int>(fps);
    return look;
}

}  // namespace glebix::core
