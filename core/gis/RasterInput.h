// Initial environment and distribution files that the engine does not read itself:
// any single-band raster GDAL reads (GeoTIFF, NetCDF, ...), recognised by its content.
// Such a file is turned into the ESRI ASCII grid of the same values (AsciiGrid.h),
// which the engine then reads as it reads any grid: a NODATA or NaN cell is a cell the
// file does not name, and the results equal those of the same values given as a grid.
//
// A path may choose a band or a NetCDF variable after its last ':' (RasterPath.h).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "InputFile.h"
#include "RasterPath.h"
#include "Settings.h"

namespace glebix::gis {

// Raises GlebixError naming `path` unless a raster of `columns` x `rows` cells can be a
// plot (at most MaxPlotSide a side). Its size then sets the plot's, as an ESRI ASCII
// grid's does, and set-up refuses one that the size settings contradict.
void CheckRasterSize(const std::string &path, long long columns, long long rows);

// The ESRI ASCII grid of the raster at `path` (band chosen as above). Raises
// GlebixError with a French message naming the file for a raster GDAL cannot read,
// several bands and none chosen, a rotated or non-square geotransform, a raster of
// another size than the plot, a NetCDF variable that is not 2-D.
std::string RasterAsAsciiGrid(const std::string &path);

// The initial file at `path` as the runs read it, reading it into `store` on the first
// call: the file's own bytes when the engine reads them, else its raster as a grid (a
// refusal is kept as a failed read). Never raises.
const ReadInput &ReadInitialInputOnce(InputBytes &store, const std::string &path);

// The initial files that a set-up with `settings` reads, each read as above: for the
// front ends that read a run's inputs at its set-up.
std::shared_ptr<const InputBytes> InitialInputs(const TSettings &settings);

}  // namespace glebix::gis
