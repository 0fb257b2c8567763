// The density map alone, for slides: the cells at a chosen size on a white ground,
// the step labelled above the map ("pas 120"), and beside it the legend of the
// density classes in the map's own colours. Text comes from the built-in pixel font,
// so every machine paints the same picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Outputs.h"
#include "Plot.h"

class QImage;

namespace glebix::render {

// The label of the step above the map.
std::string StepLabel(std::int32_t step);
// The legend's title and the label of each density class, from class 0 up.
const char *LegendTitle();
std::vector<std::string> DensityClassLabels();

// Where the parts of the picture of a `width` x `height` plot lie for cells of
// `cellSize` pixels (the text's size follows the cells').
struct SlideLayout {
    int Scale;                // pixels per pixel of the font
    int Margin;               // around everything, and between the parts
    int MapLeft, MapTop;      // the map's top-left cell corner; a black frame surrounds it
    int MapWidth, MapHeight;  // width cells across, height cells down
    int LegendLeft, LegendTop;
    int SwatchSide, RowPitch;  // of the legend's colour squares and their rows
    int Width, Height;         // of the whole picture
};
SlideLayout SlideLayoutFor(int cellSize, int width, int height);

// The picture of `plot` after `step`, every cell of it.
QImage SlideMapOf(const TPlot &plot, std::int32_t step, int cellSize);
// Every colour such a picture can hold.
std::vector<Rgb> SlidePalette();

}  // namespace glebix::render
