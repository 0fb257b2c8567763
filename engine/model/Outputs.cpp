#include "Outputs.h"

#include "Conversions.h"

namespace glebix {

int DensityClass(std::int32_t n) {
    if (n < 0) return -1;
    if (n == 0) return 0;
    if (n <= 5) return 1;
    if (n <= 10) return 2;
    if (n <= 15) return 3;
    if (n <= 20) return 4;
    if (n <= 100) return 5;
    if (n <= 500) return 6;
    if (n <= 1000) return 7;
    return 8;
}

Rgb DensityColour(std::int32_t n) {
    static constexpr Rgb classColours[9] = {
        {255, 255, 255},  // white
        {192, 192, 192},  // silver
        {128, 128, 128},  // gray
        {0, 0, 255},      // blue
        {0, 128, 0},      // green
        {255, 255, 0},    // yellow
        {128, 0, 128},    // purple
        {255, 0, 0},      // red
        {0, 0, 0},        // black
    };
    const int c = DensityClass(n);
    return c < 0 ? Rgb{255, 0, 255} : classColours[c];  // fuchsia marks a negative count
}

double MeanDensity(const TPlot &plot) {
    const std::int32_t *counts = plot.Density.Data();
    const std::size_t cells = plot.Density.Size();
    if (cells == CellCount) {
        std::uint32_t sum = 0;  // on the 50 x 50 plot, a 32-bit sum wrapping as a 32-bit integer does
        for (std::size_t c = 0; c < cells; ++c) sum += static_cast<std::uint32_t>(counts[c]);
        return static_cast<std::int32_t>(sum) / static_cast<double>(CellCount);
    }
    std::int64_t sum = 0;
    for (std::size_t c = 0; c < cells; ++c) sum += counts[c];
    return static_cast<double>(sum) / static_cast<double>(cells);
}

double MeanCompacted(const TPlot &plot) {
    double sum = 0;
    const TCellEnv *env = plot.Env.Data();
    for (std::size_t c = 0; c < plot.Env.Size(); ++c) sum += env[c].Compacted;
    return sum / static_cast<double>(plot.Env.Size());
}

ChartValues ScaleChartValues(std::int32_t count, double compacted, double decompacted, double meanCount,
                             double meanCompacted) {
    ChartValues c;
    c.v[ChartCellCount] = Nearest(count / 0.2L);
    c.v[ChartCellCompacted] = Nearest(compacted);
    c.v[ChartCellDecompacted] = Nearest(decompacted);
    c.v[ChartMeanCount] = Nearest(meanCount / 0.2L);
    c.v[ChartMeanCompacted] = Nearest(meanCompacted);
    return c;
}

std::int64_t ChartStepPosition(std::int32_t step) { return Nearest(step / 3.0L); }

}  // namespace glebix
