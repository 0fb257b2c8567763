// The figure of a calibration (glebix-batch --calibrate --figure): a weighted histogram
// of each factor's accepted values over its prior range, the accepted points of each
// pair of factors, and for each observed metric the observations (black) against the
// 5-95 % band of the accepted runs' values (shaded) over the steps. Titles in the
// user's language, painted with the built-in font of PixelFont.h (lower-cased, accents
// dropped).
#pragma once

#include <string>

#include "CalibrationFigureData.h"

namespace glebix::render {

// The core's names are this layer's words.
using namespace glebix::core;

inline constexpr int CalibrationFigureWidth = 800;

int CalibrationFigureHeight(const CalibrationFigureData &data);

// The figure as PNG bytes, CalibrationFigureWidth x CalibrationFigureHeight(data).
std::string CalibrationFigurePng(const CalibrationFigureData &data);

}  // namespace glebix::render
