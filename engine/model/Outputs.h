// What the windows draw, computed from the plot: the density class of a count with
// its colour, the plot means, and the chart's scaled values and step position.
#pragma once

#include <cstdint>

#include "Plot.h"

namespace glebix {

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// Class 0 to 8 of a count (0: empty ... 8: above 1000); -1 for a negative count.
int DensityClass(std::int32_t n);
// Fill colour of a count's class; fuchsia for a negative count.
Rgb DensityColour(std::int32_t n);

// Geometry of the density map: a cell is a 7 x 7 square, the map 30 px from the left
// and anchored 60 px above the window's outer bottom edge.
inline constexpr int MapCellPixels = 7;
inline constexpr int MapLeft = 30;
inline constexpr int MapBottomMargin = 60;

// Mean count and mean compacted share (summed in memory order) over the plot's
// cells. On a plot of 2500 cells the count sum is kept as a 32-bit integer, as the
// 50 x 50 plot's always was; larger plots sum without wrapping.
double MeanDensity(const TPlot &plot);
double MeanCompacted(const TPlot &plot);

// The chart's five series, in drawing order (a later series covers an earlier one).
inline constexpr int ChartCellCount = 0;
inline constexpr int ChartCellCompacted = 1;
inline constexpr int ChartCellDecompacted = 2;
inline constexpr int ChartMeanCount = 3;
inline constexpr int ChartMeanCompacted = 4;
inline constexpr int ChartSeriesCount = 5;

// The five chart values of one step, already scaled to pixels (v), by series.
struct ChartValues {
    std::int64_t v[ChartSeriesCount];
};
inline constexpr Rgb ChartColours[ChartSeriesCount] = {
    {255, 0, 0},  // red: the cell's count
    {0, 128, 0},  // green: the cell's compacted share
    {0, 255, 0},  // lime: the cell's decompacted share
    {0, 0, 255},  // blue: mean count
    {0, 0, 128},  // navy: mean compacted share
};
ChartValues ScaleChartValues(std::int32_t count, double compacted, double decompacted, double meanCount,
                             double meanCompacted);
// x offset s of a step: step / 3 rounded, halves to even; the marker sits at 30 + 2 s.
std::int64_t ChartStepPosition(std::int32_t step);
inline constexpr int ChartLeft = 30;
inline constexpr int ChartBaseMargin = 150;  // the step axis lies at H - 150

}  // namespace glebix
