// The figure of a sensitivity analysis (glebix-batch --analyse --figure): from the
// indices file's text, for each metric, a bar per factor and index with its 95 %
// interval; with several steps (--every-step), for each metric and index, a line per
// factor against the step, its interval as a vertical stroke at each step. Labels in
// the built-in font of PixelFont.h, as written (a character the font lacks is left a
// blank); the noise share is left out.
#pragma once

#include <string>
#include <string_view>

namespace glebix::render {

inline constexpr int FigureWidth = 800;

// The figure's height for the indices `csv` (a header, then
// metric,step,factor,index,estimate,low,high rows).
int IndicesFigureHeight(std::string_view csv);

// The figure as PNG bytes, FigureWidth x IndicesFigureHeight(csv).
std::string IndicesFigurePng(std::string_view csv);

}  // namespace glebix::render
