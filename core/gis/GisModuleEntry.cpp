// The entry of the GIS module (GisModule.h): its table, filled with the gis/ code that
// needs GDAL or netCDF. The module is linked so that these names mean its own
// functions, not the core's stand-ins of the same names.
#include "GeoTiffGrids.h"
#include "Georeference.h"
#include "GisModule.h"
#include "NetcdfStack.h"
#include "RasterInput.h"

namespace {

using namespace glebix;
using namespace glebix::gis;

const GisCapabilities Capabilities{
    &RasterAsAsciiGrid,
    &FileCrs,
    &PrjText,
    &StageTifGrids,
    &WriteTifGrids,
    &StagePrjFiles,
    [](NetcdfStack &stack, const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
       int deflateLevel) { stack.Open(path, simul, where, seed, deflateLevel); },
    [](NetcdfStack &stack, std::int32_t step, const TPlot &plot) { stack.Record(step, plot); },
    [](NetcdfStack &stack) { stack.Finish(); },
    [](NetcdfStack &stack) { stack.Abandon(); },
    &WriteNetcdfNow,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const void *glebix_gis_capabilities_4() { return &Capabilities; }
