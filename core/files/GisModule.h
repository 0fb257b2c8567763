// The GIS module, glebix-gis (GDAL and netCDF): reading rasters, the CRS of a file,
// GeoTIFF and NetCDF output. The gis:: functions and classes that need one of those
// libraries (RasterInput.h's RasterAsAsciiGrid, Georeference.h's FileCrs and
// PrjText, GeoTiffGrids.h, NetcdfStack.h) are, in the programs and the Python module,
// stand-ins that call through this table (GisLoader.cpp), so that a run that reads no
// raster and writes none loads neither library. The module is the gis/ code that
// needs them, with GisModuleEntry.cpp; the windows, the tests and the R package link
// that code directly instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ModuleLoader.h"
#include "Plot.h"

namespace glebix {
class Simul;
}

namespace glebix::core {
class StagedFiles;
}

namespace glebix::gis {

class NetcdfStack;
struct Georeference;

struct GisCapabilities {
    std::string (*rasterAsAsciiGrid)(const std::string &path);
    std::string (*fileCrs)(const std::string &path);
    std::string (*prjText)(const std::string &crsWkt);
    void (*stageTifGrids)(const Simul &simul, const Georeference &where, const std::string &folder,
                          core::StagedFiles &files, std::int32_t step);
    std::vector<std::string> (*writeTifGrids)(const Simul &simul, const Georeference &where, const std::string &folder);
    void (*stagePrjFiles)(const Georeference &where, const std::vector<std::string> &grids, core::StagedFiles &files);
    void (*netcdfOpen)(NetcdfStack &stack, const std::string &path, const Simul &simul, const Georeference &where,
                       std::uint32_t seed, int deflateLevel);
    void (*netcdfRecord)(NetcdfStack &stack, std::int32_t step, const TPlot &plot);
    void (*netcdfFinish)(NetcdfStack &stack);
    void (*netcdfAbandon)(NetcdfStack &stack);
    void (*writeNetcdfNow)(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
                           std::int32_t step, int deflateLevel);
};

// The entry's name says the table's layout: a module built for another one is not used.
inline constexpr ModuleName GisModuleName{"glebix-gis.so", "glebix_gis_capabilities_4", "GDAL, netCDF"};

}  // namespace glebix::gis
