// Painting of density-map cells into an image: the plot window's map, the batch tool's
// snapshots and its animations share it, so all show the same colours and geometry.
#pragma once

#include <QImage>
#include <cstdint>
#include <optional>

#include "Outputs.h"
#include "Plot.h"

namespace glebix::render {

inline QRgb ToQRgb(Rgb c) { return qRgb(c.r, c.g, c.b); }

// Paints cell (i, j), each from 1, in the colour of count n into `image` (32 bits per
// pixel): a `side` x `side` square (7 x 7 in the plot window) whose outer ring is black
// around its interior, x from 30 + side (i - 1) and its bottom row at
// `bottom` - side (j - 1) - 1. Pixels outside the image are left out.
void PaintDensityCell(QImage &image, std::int32_t i, std::int32_t j, std::int32_t n, std::int64_t bottom,
                      int side = MapCellPixels);

// Paints every cell of `plot` as a `side` x `side` square wholly in its count's colour,
// cell (i, j) from x = `left` + side (i - 1) and with its bottom row at
// `bottom` - side (j - 1) - 1; the map lies within the image.
void PaintSolidCells(QImage &image, const TPlot &plot, int left, int bottom, int side);

// A cell of the map, row i and column j, each from 1 to 50.
struct MapCell {
    std::int32_t I;
    std::int32_t J;
    friend bool operator==(const MapCell &, const MapCell &) = default;
};
// The cell whose 7 x 7 square holds pixel (x, y) of a map whose bottom row lies at
// `bottom` - 1, or nothing outside the map.
std::optional<MapCell> MapCellAt(std::int64_t x, std::int64_t y, std::int64_t bottom);

}  // namespace glebix::render
