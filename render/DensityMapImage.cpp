#include "DensityMapImage.h"

#include <algorithm>

#include "Outputs.h"

namespace glebix::render {

void PaintDensityCell(QImage &image, std::int32_t i, std::int32_t j, std::int32_t n, std::int64_t bottom, int side) {
    const Rgb colour = DensityColour(n);
    const std::int64_t left = MapLeft + std::int64_t{side} * (i - 1);
    const std::int64_t top = bottom - std::int64_t{side} * j;
    const QRgb ring = qRgb(0, 0, 0);
    const QRgb fill = ToQRgb(colour);
    if (left >= 0 && top >= 0 && left + side <= image.width() && top + side <= image.height()) {
        // The whole square lies in the picture: a ring around the interior.
        const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
        QRgb *row = reinterpret_cast<QRgb *>(image.bits()) + top * stride + left;
        std::fill_n(row, side, ring);
        for (int y = 1; y < side - 1; ++y) {
            row += stride;
            row[0] = ring;
            std::fill_n(row + 1, side - 2, fill);
            row[side - 1] = ring;
        }
        std::fill_n(row + stride, side, ring);
        return;
    }
    // Partly or wholly outside (a window too small for the map, say): clipped pixel by pixel.
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t y1 = std::min<std::int64_t>(top + side, image.height());
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t x1 = std::min<std::int64_t>(left + side, image.width());
    for (std::int64_t y = y0; y < y1; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(static_cast<int>(y)));
        const bool edgeRow = y == top || y == top + side - 1;
        for (std::int64_t x = x0; x < x1; ++x) {
            const bool edge = edgeRow || x == left || x == left + side - 1;
            line[x] = edge ? ring : fill;
        }
    }
}

// A row of cells is painted along its first line of pixels, which its other lines
// copy: a large plot's map costs about one pass over its pixels.
void PaintSolidCells(QImage &image, const TPlot &plot, int left, int bottom, int side) {
    for (int j = 1; j <= plot.Height; ++j) {
        const int top = bottom - side * j;
        QRgb *const first = reinterpret_cast<QRgb *>(image.scanLine(top)) + left;
        for (int i = 0; i < plot.Width; ++i) {
            const Rgb colour = DensityColour(plot.Density[i][j - 1]);
            std::fill_n(first + i * side, side, ToQRgb(colour));
        }
        for (int y = 1; y < side; ++y)
            std::copy_n(first, plot.Width * side, reinterpret_cast<QRgb *>(image.scanLine(top + y)) + left);
    }
}

std::optional<MapCell> MapCellAt(std::int64_t x, std::int64_t y, std::int64_t bottom) {
    const std::int64_t side = std::int64_t{MapCellPixels} * GridSide;
    if (x < MapLeft || x >= MapLeft + side || y >= bottom || y < bottom - side) return std::nullopt;
    return MapCell{static_cast<std::int32_t>((x - MapLeft) / MapCellPixels + 1),
                   static_cast<std::int32_t>((bottom - 1 - y) / MapCellPixels + 1)};
}

}  // namespace glebix::render
