#include "GeoTiffGrids.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

#include "FileIo.h"
#include "GdalSession.h"
#include "Georeference.h"
#include "GisMessages.h"
#include "GridLayers.h"
#include "Simul.h"

namespace glebix::gis {

namespace {

// Lossless compression that every GIS reads.
const char *const TifCreationOptions[] = {"COMPRESS=DEFLATE", "PREDICTOR=1", nullptr};

// One band's values and how they are marked.
struct Band {
    GDALDataType type;
    const void *values;
    bool soil;            // NaN is its NoData, which cells the environment file left unnamed hold
    bool counts = false;  // CountNoData is its NoData, which cells off the habitat hold
};

// The soil's value in cells the environment file leaves unnamed: GDAL, terra and QGIS
// take a NaN NoData as the mask of a real band.
constexpr double SoilNoData = std::numeric_limits<double>::quiet_NaN();

// Writes one band to "<part>", placed as `where` says.
void WriteTifPart(const std::string &path, const std::string &part, const Georeference &where, const Band &band) {
    EnsureGdal();
    const QuietGdal quiet;
    GDALDriver *driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    GdalDataset ds(driver ? driver->Create(part.c_str(), where.Columns, where.Lines, 1, band.type,
                                           const_cast<char **>(TifCreationOptions))
                          : nullptr);
    if (!ds) throw core::OutputError(MsgRasterNotWritten(path));
    double transform[6];
    GeoTransformOf(where, transform);
    bool ok = ds->SetGeoTransform(transform) == CE_None;
    if (!where.CrsWkt.empty()) {
        OGRSpatialReference srs;
        ok = ok && srs.importFromWkt(where.CrsWkt.c_str()) == OGRERR_NONE && ds->SetSpatialRef(&srs) == CE_None;
    }
    if (band.soil) ok = ok && ds->GetRasterBand(1)->SetNoDataValue(SoilNoData) == CE_None;
    if (band.counts) ok = ok && ds->GetRasterBand(1)->SetNoDataValue(CountNoData) == CE_None;
    ok = ok &&
         ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, where.Columns, where.Lines, const_cast<void *>(band.values),
                                        where.Columns, where.Lines, band.type, 0, 0) == CE_None;
    CPLErrorReset();
    ds->FlushCache();
    ds.reset();
    if (!ok || CPLGetLastErrorType() >= CE_Failure) throw core::OutputError(MsgRasterNotWritten(path));
    core::SyncWrittenFile(part);
}

// The file under its temporary name, removed again when it cannot be written whole.
void WriteTif(const std::string &path, const Georeference &where, const Band &band) {
    const std::string part = core::PartName(path);
    core::RegisterTemporary(part);
    try {
        WriteTifPart(path, part, where, band);
    } catch (...) {
        ::unlink(part.c_str());
        core::ForgetTemporary(part);
        throw;
    }
}

}  // namespace

void StageTifGrids(const Simul &simul, const Georeference &where, const std::string &folder, core::StagedFiles &files,
                   std::int32_t step) {
    auto density = DensityLayer(simul.Plot);
    auto compacted = CompactedLayer(simul.Plot), decompacted = DecompactedLayer(simul.Plot);
    const std::vector<std::uint8_t> named = NamedByFiles(simul).Environment;
    for (std::size_t k = 0; k < named.size(); ++k)
        if (!named[k]) compacted[k] = decompacted[k] = SoilNoData;
    FillNonHabitat(simul.Plot, density, CountNoData);
    FillNonHabitat(simul.Plot, compacted, SoilNoData);
    FillNonHabitat(simul.Plot, decompacted, SoilNoData);
    const bool masked = simul.Plot.Habitat.Size() > 0;
    const std::pair<const char *, Band> grids[] = {{DensityTifName, {GDT_Int32, density.data(), false, masked}},
                                                   {CompactedTifName, {GDT_Float64, compacted.data(), true}},
                                                   {DecompactedTifName, {GDT_Float64, decompacted.data(), true}}};
    for (const auto &[name, band] : grids) {
        const std::string path = core::Join(folder, TifGridNameAt(name, step));
        WriteTif(path, where, band);
        files.Adopt(path);
    }
}

std::vector<std::string> WriteTifGrids(const Simul &simul, const Georeference &where, const std::string &folder) {
    for (const char *name : TifGridNames) core::PrepareOutputFile(core::Join(folder, name));
    core::StagedFiles files;
    StageTifGrids(simul, where, folder, files);
    if (std::string problem = files.PutAllInPlace(); !problem.empty()) throw GlebixError(problem);
    return files.Paths();
}

void StagePrjFiles(const Georeference &where, const std::vector<std::string> &grids, core::StagedFiles &files) {
    const std::string prj = PrjText(where.CrsWkt);
    if (prj.empty()) return;
    for (const std::string &grid : grids) files.Write(PrjPathOf(grid), prj);
}

}  // namespace glebix::gis
