// Where a run's grids lie in a GIS: the placement of its initial grid (AsciiGrid.h)
// and the coordinate reference system of that grid's file, if it has one (a GeoTIFF's
// own, an ESRI ASCII grid's ".prj" beside it). A run without an initial grid lies on
// the local grid: lower-left corner (0, 0), cell size 1, no CRS.
#pragma once

#include <optional>
#include <string>

#include "AsciiGrid.h"
#include "InputFile.h"
#include "Plot.h"
#include "Settings.h"
#include "Simul.h"

namespace glebix {
class Simul;
}

namespace glebix::gis {

struct Georeference {
    GridPlacement Placement;
    int Columns = GridSide;  // the plot's width: cells along x, west to east
    int Lines = GridSide;    // its height: cells along y
    std::string CrsWkt;      // WKT2; empty when there is none
    std::string Source;      // the initial file that gave it; empty for the local grid

    bool operator==(const Georeference &) const = default;
};

// The georeference of the run's initial grid: the environment file's when it is a
// grid, else the distribution file's; its CRS the one the run keeps when known
// (Simul::InputGridCrs), else the file's.
Georeference RunGeoreference(const Simul &simul);

// The placement and size that a run of `settings` will have, known before its set-up
// from its initial grid (the environment file's when it is a grid, else the
// distribution file's), each file read once into `store` as the runs read it
// (ReadInitialInputOnce); the local grid without one. No CRS. Raises GlebixError when
// an initial file cannot be read.
Georeference InitialGeoreference(const TSettings &settings, InputBytes &store);

// The cell that holds the point (x, y) in the coordinates of `where`: I from 1 west to
// east, J from 1 south to north, as ChartCellX and ChartCellY count. A point on the
// edge between two cells lies in the cell east of it (north of it); the plot's east
// and north edges are outside. None outside the plot.
std::optional<CellIndex> CellAtPoint(const Georeference &where, double x, double y);

// The plot's extent in the coordinates of `where`: west, south, east, north.
struct Extent {
    double West, South, East, North;
};
Extent PlotExtent(const Georeference &where);

// The CRS of the file at `path` (a band path is allowed), as WKT2; empty when GDAL
// finds none. Looked up again only when the file or a sidecar of it has changed, so
// that a program running many runs opens it once, and sees a CRS changed between them.
std::string FileCrs(const std::string &path);

// The warning for a ".prj" beside the grid at `gridPath` that gives no CRS (GDAL cannot
// read it): the run's grids then have none. None without a ".prj" or with a readable one.
std::optional<std::string> UnreadPrjWarning(const std::string &gridPath);

// The CRS as an ESRI ".prj" text, as GDAL writes beside an ESRI ASCII grid; empty
// for an empty or unreadable WKT.
std::string PrjText(const std::string &crsWkt);
// "density.prj" for "density.asc".
std::string PrjPathOf(const std::string &gridPath);

// GDAL's geotransform of the plot placed as `where` says: top-left corner, cell size.
void GeoTransformOf(const Georeference &where, double transform[6]);

// The centre of column `column` and of line `line` (from the top), each from 0.
double CellCentreX(const Georeference &where, int column);
double CellCentreY(const Georeference &where, int line);

}  // namespace glebix::gis
