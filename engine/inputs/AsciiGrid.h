// ESRI ASCII grids as initial files. A grid is recognised by its first token, a header
// key in any letter case, after an optional UTF-8 byte-order mark. Its header names, in
// any order and letter case, ncols and nrows (the plot's width and height), xllcorner or xllcenter,
// yllcorner or yllcenter, cellsize (or dx and dy of one value) and optionally
// nodata_value, a number or "nan"; then come the ncols x nrows values. Lines end with LF, CR LF
// or a lone CR. The first value line is the map's top line (the last column index), and
// along a line the row index runs from 1 to the width: the layout the batch tool's grids are written
// in, so a written grid reads back as the same plot.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Plot.h"

namespace glebix {

// Where a grid lies in a GIS. It does not change the model; it is passed on to the
// grids written from a run that started from one.
struct GridPlacement {
    double XllCorner = 0;
    double YllCorner = 0;
    double CellSize = 1;

    bool operator==(const GridPlacement &) const = default;
};

// True when the first token of `bytes` is a header key.
bool IsAsciiGrid(std::string_view bytes);

// A grid's size: values along a line (the plot's width) and lines (its height).
struct GridSize {
    int Columns = GridSide;
    int Rows = GridSide;
    bool operator==(const GridSize &) const = default;
};

// The size the header of the grid in `bytes` gives. Raises GlebixError for a header
// it cannot read or a size no plot can have (each side a whole number from 1 to
// MaxPlotSide).
GridSize AsciiGridSize(std::string_view bytes, const std::string &path);

// Receives cell (i, j), each from 0, and its value token. It raises GlebixError for a
// value it refuses; the reader adds the value's line, column and token.
using GridCellFunction = std::function<void(int i, int j, std::string_view token)>;

// Reads a grid from `bytes` (the file `path`) and hands every value other than the
// nodata value to `apply`. Raises GlebixError for a bad header, a grid of another
// size, or too few or too many values.
GridPlacement ReadAsciiGrid(std::string_view bytes, const std::string &path, const GridCellFunction &apply,
                            GridSize size = {});

// The header of a written grid: ncols, nrows, xllcorner, yllcorner, cellsize.
std::string AsciiGridHeader(const GridPlacement &placement, GridSize size = {});

}  // namespace glebix
