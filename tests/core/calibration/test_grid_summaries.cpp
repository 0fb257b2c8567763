// The grid summaries on grids whose answers are known by hand.
#include <gtest/gtest.h>

#include <functional>

#include "GridSummaries.h"

namespace glebix::calibration {
namespace {

ValueGrid Made(int columns, int rows, const std::function<double(int, int)> &value) {
    ValueGrid grid{columns, rows, {}};
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) grid.Cells.push_back(value(column, row));
    return grid;
}

TEST(GridSummaries, MeanVarianceAndOccupiedShareOfASmallGrid) {
    const ValueGrid grid{2, 2, {0, 2, 4, 6}};
    EXPECT_DOUBLE_EQ(GridMean(grid), 3);
    EXPECT_DOUBLE_EQ(GridVariance(grid), 5);  // (9 + 1 + 1 + 9) / 4: divided by the cell count
    EXPECT_DOUBLE_EQ(OccupiedShare(grid), 0.75);
    EXPECT_DOUBLE_EQ(SummaryOf(grid, GridSummary::Variance), GridVariance(grid));
}

TEST(GridSummaries, MoranOfACheckerboardIsMinusOneAndOfStripesAndBlocksPositive) {
    const auto checker = [](int c, int r) { return static_cast<double>((c + r) % 2); };
    EXPECT_DOUBLE_EQ(MoranI(Made(4, 4, checker)), -1);
    EXPECT_DOUBLE_EQ(MoranI(Made(6, 3, checker)), -1);
    EXPECT_LT(MoranI(Made(5, 5, checker)), -0.9);  // an odd count: the mean is not one half

    // Two stripes two cells wide on 4 x 4: of the 24 shared sides, 20 join equal cells
    // and the 4 along the stripes' border unequal ones.
    const ValueGrid stripes = Made(4, 4, [](int c, int) { return c < 2 ? 1.0 : 0.0; });
    EXPECT_DOUBLE_EQ(MoranI(stripes), (20.0 - 4.0) / 24.0);
    const ValueGrid blocks = Made(8, 8, [](int c, int r) { return (c / 4 + r / 4) % 2 ? 5.0 : 1.0; });
    EXPECT_GT(MoranI(blocks), 0.5);
}

TEST(GridSummaries, MoranIsZeroWithoutSpreadOrNeighboursAndUnchangedByScale) {
    EXPECT_EQ(MoranI(ValueGrid{3, 3, std::vector<double>(9, 4.0)}), 0);
    EXPECT_EQ(MoranI(ValueGrid{1, 1, {7}}), 0);
    const ValueGrid grid{3, 2, {1, 5, 2, 0, 3, 9}};
    ValueGrid scaled = grid;
    for (double &v : scaled.Cells) v = 10 * v + 3;
    EXPECT_NEAR(MoranI(scaled), MoranI(grid), 1e-12);
}

}  // namespace
}  // namespace glebix::calibration
