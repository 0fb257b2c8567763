// The plot: 50 x 50 cells, each with its soil shares and its count of individuals.
#pragma once

#include <cstdint>

namespace glebix {

// Side of the square grid; every loop of the model runs its indices from 1 to this.
inline constexpr int GridSide = 50;
inline constexpr int CellCount = GridSide * GridSide;

// Largest count that reproduction and survival leave in a cell.
inline constexpr std::int32_t DensityCap = 10000;

// Physical environment of one cell, in percent of its soil.
struct TCellEnv {
    double Compacted;    // share of the soil that is compacted
    double Decompacted;  // share that is decompacted
};

// The plot. Cells are addressed by row i and column j, each from 1 to 50, and
// stored row by row (column fastest): Env[i - 1][j - 1], Density[i - 1][j - 1].
struct TPlot {
    std::int32_t NRows;     // extent along the row index, 50 x CellSize
    std::int32_t NCols;     // extent along the column index, 50 x CellSize
    std::int32_t CellSize;  // side of a cell in distance units; divides displacements
    TCellEnv Env[GridSide][GridSide];
    std::int32_t Density[GridSide][GridSide];
};

}  // namespace glebix
