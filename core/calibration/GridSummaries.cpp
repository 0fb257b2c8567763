#include "GridSummaries.h"

#include <cstddef>

namespace glebix::calibration {

std::string_view GridSummaryName(GridSummary summary) {
    switch (summary) {
    case GridSummary::Mean:
        return "mean";
    case GridSummary::Variance:
        return "variance";
    case GridSummary::OccupiedShare:
        return "occupied";
    case GridSummary::MoranI:
        return "moran";
    }
    return "";
}

double GridMean(const ValueGrid &grid) {
    if (grid.Cells.empty()) return 0;
    double sum = 0;
    for (double v : grid.Cells) sum += v;
    return sum / static_cast<double>(grid.Cells.size());
}

double GridVariance(const ValueGrid &grid) {
    if (grid.Cells.empty()) return 0;
    const double mean = GridMean(grid);
    double sum = 0;
    for (double v : grid.Cells) sum += (v - mean) * (v - mean);
    return sum / static_cast<double>(grid.Cells.size());
}

double OccupiedShare(const ValueGrid &grid) {
    if (grid.Cells.empty()) return 0;
    std::size_t occupied = 0;
    for (double v : grid.Cells)
        if (v > 0) ++occupied;
    return static_cast<double>(occupied) / static_cast<double>(grid.Cells.size());
}

double MoranI(const ValueGrid &grid) {
    const double mean = GridMean(grid);
    double squares = 0, cross = 0, weights = 0;
    for (int row = 0; row < grid.Rows; ++row)
        for (int column = 0; column < grid.Columns; ++column) {
            const double d = grid.At(column, row) - mean;
            squares += d * d;
            // Each shared side once here, to the east and to the north; counted both ways below.
            if (column + 1 < grid.Columns) {
                cross += d * (grid.At(column + 1, row) - mean);
                weights += 1;
            }
            if (row + 1 < grid.Rows) {
                cross += d * (grid.At(column, row + 1) - mean);
                weights += 1;
            }
        }
    if (squares == 0 || weights == 0) return 0;
    const double cells = static_cast<double>(grid.Cells.size());
    return (cells / (2 * weights)) * (2 * cross) / squares;
}

double SummaryOf(const ValueGrid &grid, GridSummary summary) {
    switch (summary) {
    case GridSummary::Mean:
        return GridMean(grid);
    case GridSummary::Variance:
        return GridVariance(grid);
    case GridSummary::OccupiedShare:
        return OccupiedShare(grid);
    case GridSummary::MoranI:
        return MoranI(grid);
    }
    return 0;
}

}  // namespace glebix::calibration
