// A grid of a run (or an observed one) reduced to the summaries a calibration compares:
// its mean, variance, occupied share and Moran's I, defined here once for every front
// end and the documentation. Cells are values on a rectangle of `Columns` x `Rows`;
// two cells are neighbours when they share a side (rook weights), and the rectangle's
// edges are edges: no cell beyond them.
#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace glebix::calibration {

struct ValueGrid {
    int Columns = 0;
    int Rows = 0;
    std::vector<double> Cells;  // Cells[row * Columns + column]
    double At(int column, int row) const { return Cells[static_cast<std::size_t>(row) * Columns + column]; }
};

enum class GridSummary { Mean, Variance, OccupiedShare, MoranI };
inline constexpr std::array<GridSummary, 4> GridSummaries = {GridSummary::Mean, GridSummary::Variance,
                                                             GridSummary::OccupiedShare, GridSummary::MoranI};
// "mean", "variance", "occupied", "moran": how the documentation and the figure name them.
std::string_view GridSummaryName(GridSummary summary);

// The mean of the cells.
double GridMean(const ValueGrid &grid);
// The population variance: the mean squared deviation from the mean (divided by the
// cell count, not one less).
double GridVariance(const ValueGrid &grid);
// The share of cells above 0.
double OccupiedShare(const ValueGrid &grid);
// Moran's I (Moran 1950, "Notes on continuous stochastic phenomena", Biometrika 37)
// with rook weights w_ab = 1 for cells a, b sharing a side:
//   I = (N / W) * sum_ab w_ab (x_a - m)(x_b - m) / sum_a (x_a - m)^2,
// N the cell count, W the sum of the weights (each shared side counted both ways), m the
// mean. A checkerboard of an even cell count gives -1, stripes or blocks give positive
// values. A grid without spread (every cell equal), or without neighbours (one cell),
// has no autocorrelation to measure: I is defined as 0 there, so that a run that died
// out keeps a summary.
double MoranI(const ValueGrid &grid);

double SummaryOf(const ValueGrid &grid, GridSummary summary);

}  // namespace glebix::calibration
