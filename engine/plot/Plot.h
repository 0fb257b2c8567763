// The plot: Width x Height cells (50 x 50 unless set otherwise), each with its soil
// shares and its count of individuals, on a torus or with edges individuals can leave.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "GridMemory.h"
#include "SoilMaps.h"

namespace glebix {

// Side of the plot the windows show, and of every plot unless its size is set.
inline constexpr int GridSide = 50;
inline constexpr int CellCount = GridSide * GridSide;
// Largest number of cells along either side: a 4096 x 4096 plot needs about 0.6 GB on two threads.
inline constexpr int MaxPlotSide = 4096;

// Largest count that reproduction and survival leave in a cell.
inline constexpr std::int32_t DensityCap = 10000;

// Physical environment of one cell, in percent of its soil.
struct TCellEnv {
    double Compacted;    // share of the soil that is compacted
    double Decompacted;  // share that is decompacted
};

// Values of cells stored row by row (column fastest), read as grid[i][j] from 0.
template <typename T>
class CellGrid {
public:
    CellGrid(int rows, int columns) : columns_(columns), cells_(static_cast<std::size_t>(rows) * columns, T{}) {}
    T *operator[](int i) { return cells_.data() + static_cast<std::size_t>(i) * columns_; }
    const T *operator[](int i) const { return cells_.data() + static_cast<std::size_t>(i) * columns_; }
    T *Data() { return cells_.data(); }
    const T *Data() const { return cells_.data(); }
    std::size_t Size() const { return cells_.size(); }
    bool operator==(const CellGrid &) const = default;

    // The rows in order, each a span of its cells: for (auto &row : grid) for (T &v : row).
    template <typename V>
    class Rows {
    public:
        Rows(V *at, int columns) : at_(at), columns_(columns) {}
        std::span<V> operator*() const { return {at_, static_cast<std::size_t>(columns_)}; }
        Rows &operator++() {
            at_ += columns_;
            return *this;
        }
        bool operator!=(const Rows &other) const { return at_ != other.at_; }

    private:
        V *at_;
        int columns_;
    };
    Rows<T> begin() { return {cells_.data(), columns_}; }
    Rows<T> end() { return {cells_.data() + cells_.size(), columns_}; }
    Rows<const T> begin() const { return {cells_.data(), columns_}; }
    Rows<const T> end() const { return {cells_.data() + cells_.size(), columns_}; }

private:
    int columns_;
    std::vector<T, GridAllocator<T>> cells_;
};

inline bool operator==(const TCellEnv &a, const TCellEnv &b) {
    return a.Compacted == b.Compacted && a.Decompacted == b.Decompacted;
}

// The plot. Cells are addressed by row i (1..Width, west to east) and column j
// (1..Height, south to north), stored row by row: Env[i - 1][j - 1], Density[i - 1][j - 1].
struct TPlot {
    TPlot() : TPlot(GridSide, GridSide) {}
    TPlot(int width, int height) : Width(width), Height(height), Env(width, height), Density(width, height) {}

    std::int32_t NRows = 0;     // extent along the row index, Width x CellSize
    std::int32_t NCols = 0;     // extent along the column index, Height x CellSize
    std::int32_t CellSize = 0;  // side of a cell in distance units; divides displacements
    std::int32_t Width;         // cells along i
    std::int32_t Height;        // cells along j
    bool Bounded = false;       // individuals dispersing beyond an edge leave (else: a torus)
    CellGrid<TCellEnv> Env;
    CellGrid<std::int32_t> Density;
    SoilMaps Soil;  // per-cell values in place of the run's CompactionC and DecompactionD
    // 1 where the fauna can live, 0 where it cannot, when a habitat mask is in use
    // (Habitat.h); no cells otherwise.
    CellGrid<std::uint8_t> Habitat{0, 0};

    int Cells() const { return Width * Height; }
    // The plot the windows show and the model's original one: 50 x 50 on a torus.
    bool IsDefaultShape() const { return Width == GridSide && Height == GridSide && !Bounded; }
};

}  // namespace glebix
