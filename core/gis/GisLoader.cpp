// The stand-ins of the gis:: functions that need GDAL or netCDF (GisModule.h): each
// loads the GIS module on its first call and calls its own.
#include "GeoTiffGrids.h"
#include "Georeference.h"
#include "GisModule.h"
#include "NetcdfStack.h"
#include "RasterInput.h"

namespace glebix::gis {

namespace {

const GisCapabilities &Gis() { return *static_cast<const GisCapabilities *>(ModuleTable(GisModuleName)); }

}  // namespace

std::string RasterAsAsciiGrid(const std::string &path) { return Gis().rasterAsAsciiGrid(path); }

std::string FileCrs(const std::string &path) { return Gis().fileCrs(path); }

// Without a CRS there is nothing to convert, and no reason to load the module.
std::string PrjText(const std::string &crsWkt) { return crsWkt.empty() ? std::string() : Gis().prjText(crsWkt); }

void StageTifGrids(const Simul &simul, const Georeference &where, const std::string &folder, core::StagedFiles &files,
                   std::int32_t step) {
    Gis().stageTifGrids(simul, where, folder, files, step);
}

std::vector<std::string> WriteTifGrids(const Simul &simul, const Georeference &where, const std::string &folder) {
    return Gis().writeTifGrids(simul, where, folder);
}

void StagePrjFiles(const Georeference &where, const std::vector<std::string> &grids, core::StagedFiles &files) {
    if (!where.CrsWkt.empty()) Gis().stagePrjFiles(where, grids, files);
}

NetcdfStack::~NetcdfStack() {
    if (IsOpen()) Abandon();
}

void NetcdfStack::Open(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
                       int deflateLevel) {
    Gis().netcdfOpen(*this, path, simul, where, seed, deflateLevel);
}

void NetcdfStack::Record(std::int32_t step, const TPlot &plot) { Gis().netcdfRecord(*this, step, plot); }

void NetcdfStack::Finish() { Gis().netcdfFinish(*this); }

void NetcdfStack::Abandon() { Gis().netcdfAbandon(*this); }

void WriteNetcdfNow(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
                    std::int32_t step, int deflateLevel) {
    Gis().writeNetcdfNow(path, simul, where, seed, step, deflateLevel);
}

}  // namespace glebix::gis
