// What a density-map picture of the batch tool holds besides the map: the step field
// of the plot window, in its place and with the step in its plain decimal form, and
// the palette that every colour of the picture belongs to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Outputs.h"
#include "Plot.h"

class QImage;

namespace glebix::render {

// The plot window's step field: left 32, top 32, 249 x 21 pixels.
inline constexpr int StepFieldLeft = 32;
inline constexpr int StepFieldTop = 32;
inline constexpr int StepFieldWidth = 249;
inline constexpr int StepFieldHeight = 21;
inline constexpr Rgb StepFieldFace = {255, 255, 255};
inline constexpr Rgb StepFieldFrame = {122, 122, 122};
inline constexpr Rgb StepFieldText = {0, 0, 0};

// Paints the field with `step` written from its left edge, as the window shows it
// (in the built-in font of PixelFont.h, so every machine paints the same).
void PaintStepField(QImage &image, std::int32_t step);

// The smallest cell side, in pixels, painted with the window's black ring: a smaller
// cell is wholly its colour, which a ring would nearly hide.
inline constexpr int MinRingedCellSide = 5;

// Where the window style puts the map of a `width` x `height` plot: cells of
// FittedCellSide(7) pixels, the map's left edge at 30 and its bottom 60 pixels above
// the picture's, in a picture of the plot window's default size that grows, keeping
// the window's margins, to hold a larger map.
struct WindowPicture {
    int CellSide;
    int Width, Height;
    int MapBottom;  // the row below the map's lowest cells
};
WindowPicture WindowPictureFor(int width, int height);

// The density map as the plot window draws it, the whole plot: cell (i, j) a square of
// CellSide pixels (a black ring around its class colour from MinRingedCellSide up),
// left edge at 30 + CellSide (i - 1), bottom row at MapBottom - CellSide (j - 1) - 1.
QImage RenderDensityMap(const TPlot &plot);

// The density map of `plot` after `step` with the step field: a snapshot or a frame.
QImage MapPictureOf(const TPlot &plot, std::int32_t step);

// Every colour a picture can hold: the background, the field's, and those of the
// density classes.
std::vector<Rgb> MapPalette();

// ---- Density map -------------------------------------------------------------
// Size of the snapshot image of a 50 x 50 plot: the plot window's default outer size.
inline constexpr int SnapshotWidth = 534;
inline constexpr int SnapshotHeight = 514;
// Bottom of the map: the height less the map's bottom margin.
inline constexpr int SnapshotMapBottom = SnapshotHeight - MapBottomMargin;
// The window's margins right of and above its 50 x 50 map, which a larger map keeps.
inline constexpr int WindowMapRightMargin = SnapshotWidth - MapLeft - GridSide * MapCellPixels;
inline constexpr int WindowMapTopMargin = SnapshotMapBottom - GridSide * MapCellPixels;
// Background of the snapshot: the button-face grey of the plot window.
inline constexpr Rgb SnapshotBackground = {240, 240, 240};

// The PNG bytes of the map after `step`, with the step field (MapPictureOf).
std::string DensityMapPng(const TPlot &plot, std::int32_t step);

}  // namespace glebix::render
