#include "NetcdfStack.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <hdf5.h>
#include <netcdf.h>
#include <unistd.h>
#include <string_view>
#include <vector>

#include "Conversions.h"
#include "FileIo.h"
#include "GdalSession.h"
#include "Georeference.h"
#include "GisMessages.h"
#include "GridLayers.h"
#include "SettingsTable.h"
#include "Simul.h"

#ifndef GLEBIX_VERSION
#define GLEBIX_VERSION "unknown"
#endif

namespace glebix::gis {

namespace {

constexpr const char *CrsVariable = "crs";
// What the masks hold: "named" the environment file's cells (or, without one, the
// distribution file's; every cell without initial files), "named_distribution" the
// distribution file's beside the environment file's.
constexpr const char *EnvironmentMaskName = "cell named by the initial environment file";
constexpr const char *DistributionMaskName = "cell named by the initial distribution file";
constexpr const char *NoFileMaskName = "every cell: no initial file is read";
// GDAL's own attribute of the grid mapping: the plot's geotransform, which rioxarray reads.
constexpr const char *GeoTransformAttribute = "GeoTransform";
// NetCDF-4 held to the classic data model: compressed chunks, and the types and
// attributes that every NetCDF reader (GDAL, terra, xarray, Panoply) reads.
constexpr int FileFormat = NC_NETCDF4 | NC_CLASSIC_MODEL;
// The byte shuffle before deflate packs the doubles' exponents together.
constexpr int Shuffle = 1;

// A file HDF5 could not close (a full disk, a file size limit) stays in its lists, and
// its exit handler would close it again and crash the process on its way out. Every
// file written here is closed or abandoned by its owner, so the handler has nothing
// else to do. (It must be declined before the library starts: hence at load.)
const bool Hdf5ExitHandlerDeclined = H5dont_atexit() >= 0;

void PutText(int nc, int var, const char *name, const std::string &text, int &status) {
    if (status == NC_NOERR) status = nc_put_att_text(nc, var, name, text.size(), text.c_str());
}

// The CF attributes of `crsWkt` as GDAL's NetCDF driver writes them on its grid
// mapping variable, copied onto `var` of `nc`: GDAL is made to write a one-cell file
// beside `part`, which is removed again. The one cell's own GeoTransform is left out.
int CopyGridMapping(const std::string &part, const std::string &crsWkt, int nc, int var) {
    EnsureGdal();
    const QuietGdal quiet;
    const std::string scratch = part + ".crs";
    core::RegisterTemporary(scratch);
    int status = NC_NOERR;
    {
        GDALDriver *mem = GetGDALDriverManager()->GetDriverByName("MEM");
        GDALDriver *netcdf = GetGDALDriverManager()->GetDriverByName("netCDF");
        GdalDataset cell(mem ? mem->Create("", 1, 1, 1, GDT_Byte, nullptr) : nullptr);
        OGRSpatialReference srs;
        const double transform[6] = {0, 1, 0, 1, 0, -1};
        if (!cell || !netcdf || srs.importFromWkt(crsWkt.c_str()) != OGRERR_NONE) return NC_EINVAL;
        cell->SetGeoTransform(const_cast<double *>(transform));
        cell->SetSpatialRef(&srs);
        GdalDataset copy(netcdf->CreateCopy(scratch.c_str(), cell.get(), FALSE, nullptr, nullptr, nullptr));
        if (!copy) status = NC_EINVAL;
    }
    int in = -1, inVar = -1, attributes = 0, variables = 0;
    if (status == NC_NOERR) status = nc_open(scratch.c_str(), NC_NOWRITE, &in);
    if (status == NC_NOERR) status = nc_inq_nvars(in, &variables);
    for (int v = 0; status == NC_NOERR && v < variables && inVar < 0; ++v)
        if (nc_inq_attid(in, v, "grid_mapping_name", nullptr) == NC_NOERR) inVar = v;
    if (status == NC_NOERR && inVar >= 0) status = nc_inq_varnatts(in, inVar, &attributes);
    for (int a = 0; status == NC_NOERR && inVar >= 0 && a < attributes; ++a) {
        char name[NC_MAX_NAME + 1];
        status = nc_inq_attname(in, inVar, a, name);
        if (status == NC_NOERR && std::string_view(name) != GeoTransformAttribute)
            status = nc_copy_att(in, inVar, name, nc, var);
    }
    if (in >= 0) nc_close(in);
    ::unlink(scratch.c_str());
    core::ForgetTemporary(scratch);
    return status;
}

struct AxisNames {
    const char *standardName, *units;  // no units attribute when empty
};

// Feet in metres, and how near a CRS's unit must be to one (WKT texts round them).
constexpr double InternationalFoot = 0.3048, UsSurveyFoot = 1200.0 / 3937.0, UnitTolerance = 1e-12;

// CF's name of a projected CRS's linear unit; empty for one it has no name for.
const char *LinearUnitName(const OGRSpatialReference &srs) {
    const double metres = srs.GetLinearUnits();
    if (metres == 1.0) return "m";
    if (std::abs(metres - InternationalFoot) < UnitTolerance) return "ft";
    if (std::abs(metres - UsSurveyFoot) < UnitTolerance) return "US_survey_foot";
    return "";
}

// The x and y axes' standard names and units by the kind of CRS. Without a unit the
// axes carry no "units": GDAL takes the dimensionless "1" for axes that are not
// spatial, then finds no geotransform and reads the rows upside down.
std::pair<AxisNames, AxisNames> Axes(const std::string &crsWkt) {
    OGRSpatialReference srs;
    const bool known = !crsWkt.empty() && srs.importFromWkt(crsWkt.c_str()) == OGRERR_NONE;
    if (known && srs.IsGeographic()) return {{"longitude", "degrees_east"}, {"latitude", "degrees_north"}};
    const char *units = known && srs.IsProjected() ? LinearUnitName(srs) : "";
    return {{"projection_x_coordinate", units}, {"projection_y_coordinate", units}};
}

// GDAL's text of a geotransform: its six numbers, each followed by a blank.
std::string GeoTransformText(const Georeference &where) {
    double transform[6];
    GeoTransformOf(where, transform);
    std::string out;
    for (const double value : transform) out += FormatShortest(value) + ' ';
    return out;
}

}  // namespace

NetcdfStack::~NetcdfStack() {
    if (IsOpen()) Abandon();
}

void NetcdfStack::Check(int status) const {
    if (status != NC_NOERR) throw core::OutputError(MsgNetcdfNotWritten(path_, nc_strerror(status)));
}

void NetcdfStack::Open(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
                       int deflateLevel) {
    const NamedCells named = NamedByFiles(simul);
    const std::lock_guard lock(NetcdfMutex());
    path_ = path;
    part_ = core::PartName(path);
    records_ = 0;
    deflateLevel_ = deflateLevel;
    core::RegisterTemporary(part_);
    Check(nc_create(part_.c_str(), NC_CLOBBER | FileFormat, &nc_));
    try {
        Define(simul, seed, where, named);
    } catch (...) {
        nc_close(nc_);
        nc_ = -1;
        ::unlink(part_.c_str());
        core::ForgetTemporary(part_);
        throw;
    }
}

// The dimensions time, y and x (in `dims`, in that order) and their coordinate
// variables; the ids of x and y.
std::pair<int, int> NetcdfStack::DefineAxes(const Georeference &where, int (&dims)[3]) {
    int x = -1, y = -1;
    Check(nc_def_dim(nc_, "time", NC_UNLIMITED, &dims[0]));
    Check(nc_def_dim(nc_, "y", static_cast<std::size_t>(where.Lines), &dims[1]));
    Check(nc_def_dim(nc_, "x", static_cast<std::size_t>(where.Columns), &dims[2]));
    Check(nc_def_var(nc_, "time", NC_INT, 1, &dims[0], &time_));
    Check(nc_def_var(nc_, "y", NC_DOUBLE, 1, &dims[1], &y));
    Check(nc_def_var(nc_, "x", NC_DOUBLE, 1, &dims[2], &x));
    int status = NC_NOERR;
    PutText(nc_, time_, "long_name", "time step", status);
    PutText(nc_, time_, "units", "step", status);
    PutText(nc_, time_, "axis", "T", status);
    const auto [xAxis, yAxis] = Axes(where.CrsWkt);
    for (const auto &[var, axis, names] : {std::tuple{x, "X", xAxis}, std::tuple{y, "Y", yAxis}}) {
        PutText(nc_, var, "standard_name", names.standardName, status);
        PutText(nc_, var, "long_name", std::string(axis == std::string("X") ? "x" : "y") + " of the cell centre",
                status);
        if (*names.units) PutText(nc_, var, "units", names.units, status);
        PutText(nc_, var, "axis", axis, status);
    }
    Check(status);
    return {x, y};
}

// A mask of named cells, `longName` saying whose.
int NetcdfStack::DefineMask(const char *name, const char *longName, const int (&gridDims)[3], bool crs) {
    int mask = -1, status = NC_NOERR;
    Check(nc_def_var(nc_, name, NC_BYTE, 2, gridDims + 1, &mask));
    PutText(nc_, mask, "long_name", longName, status);
    PutText(nc_, mask, "flag_meanings", "unnamed named", status);
    const signed char flags[2] = {0, 1};
    if (status == NC_NOERR) status = nc_put_att_schar(nc_, mask, "flag_values", NC_BYTE, 2, flags);
    if (crs) PutText(nc_, mask, "grid_mapping", CrsVariable, status);
    Check(status);
    return mask;
}

// The three layers over time, one chunk per record (a record is written, and mostly
// read, whole); with a habitat mask, each with the fill value that cells off the
// habitat hold.
void NetcdfStack::DefineLayers(const int (&gridDims)[3], const Georeference &where, bool crs, bool masked) {
    const std::size_t record[3] = {1, static_cast<std::size_t>(where.Lines), static_cast<std::size_t>(where.Columns)};
    struct Layer {
        const char *name;
        nc_type type;
        const char *longName, *units;
        int *id;
    };
    const Layer layers[] = {{"density", NC_INT, "individuals in the cell", "1", &density_},
                            {"compacted", NC_DOUBLE, "compacted share of the soil", "percent", &compacted_},
                            {"decompacted", NC_DOUBLE, "decompacted share of the soil", "percent", &decompacted_}};
    int status = NC_NOERR;
    for (const Layer &layer : layers) {
        Check(nc_def_var(nc_, layer.name, layer.type, 3, gridDims, layer.id));
        Check(nc_def_var_chunking(nc_, *layer.id, NC_CHUNKED, record));
        if (deflateLevel_ > 0) Check(nc_def_var_deflate(nc_, *layer.id, Shuffle, 1, deflateLevel_));
        PutText(nc_, *layer.id, "long_name", layer.longName, status);
        PutText(nc_, *layer.id, "units", layer.units, status);
        if (crs) PutText(nc_, *layer.id, "grid_mapping", CrsVariable, status);
        if (!masked || status != NC_NOERR) continue;
        const double soilFill = std::nan("");
        status = layer.type == NC_INT ? nc_put_att_int(nc_, *layer.id, "_FillValue", NC_INT, 1, &CountNoData)
                                      : nc_put_att_double(nc_, *layer.id, "_FillValue", NC_DOUBLE, 1, &soilFill);
    }
    Check(status);
}

// The grid mapping, when there is a CRS, and the file's own attributes: conventions,
// the seed and every setting.
void NetcdfStack::DefineGlobals(const Simul &simul, std::uint32_t seed, const Georeference &where) {
    int status = NC_NOERR;
    if (!where.CrsWkt.empty()) {
        int crsVar = -1;
        Check(nc_def_var(nc_, CrsVariable, NC_INT, 0, nullptr, &crsVar));
        Check(CopyGridMapping(part_, where.CrsWkt, nc_, crsVar));
        PutText(nc_, crsVar, "crs_wkt", where.CrsWkt, status);
        PutText(nc_, crsVar, "spatial_ref", where.CrsWkt, status);
        PutText(nc_, crsVar, GeoTransformAttribute, GeoTransformText(where), status);
    }
    PutText(nc_, NC_GLOBAL, "Conventions", "CF-1.8", status);
    PutText(nc_, NC_GLOBAL, "title", "Glebix run", status);
    PutText(nc_, NC_GLOBAL, "source", std::string("Glebix ") + GLEBIX_VERSION, status);
    const double seedValue = seed;  // exact: a double holds every 32-bit whole number
    if (status == NC_NOERR) status = nc_put_att_double(nc_, NC_GLOBAL, "seed", NC_DOUBLE, 1, &seedValue);
    PutText(nc_, NC_GLOBAL, "setting_StepCount", simul.Settings.Run.StepCount, status);
    for (const std::string &name : core::RecordedSettingNames(simul.Settings))
        PutText(nc_, NC_GLOBAL, ("setting_" + name).c_str(), core::SettingText(name, simul.Settings), status);
    Check(status);
}

void NetcdfStack::Define(const Simul &simul, std::uint32_t seed, const Georeference &where, const NamedCells &named) {
    int dims[3] = {-1, -1, -1};
    const auto [x, y] = DefineAxes(where, dims);
    const bool crs = !where.CrsWkt.empty();
    DefineLayers(dims, where, crs, simul.Plot.Habitat.Size() > 0);
    const bool both = !named.Environment.empty() && !named.Distribution.empty();
    const char *maskName = !named.Environment.empty()    ? EnvironmentMaskName
                           : !named.Distribution.empty() ? DistributionMaskName
                                                         : NoFileMaskName;
    const int mask = DefineMask("named", maskName, dims, crs);
    const int distribution = both ? DefineMask("named_distribution", DistributionMaskName, dims, crs) : -1;
    DefineGlobals(simul, seed, where);
    Check(nc_enddef(nc_));
    std::vector<double> xs(static_cast<std::size_t>(where.Columns)), ys(static_cast<std::size_t>(where.Lines));
    for (int k = 0; k < where.Columns; ++k) xs[k] = CellCentreX(where, k);
    for (int k = 0; k < where.Lines; ++k) { ys[k] = CellCentreY(where, k); }
    Check(nc_put_var_double(nc_, x, xs.data()));
    Check(nc_put_var_double(nc_, y, ys.data()));
    const auto put = [&](int var, const std::vector<std::uint8_t> &cells) {
        const std::vector<signed char> values(cells.begin(), cells.end());
        Check(nc_put_var_schar(nc_, var, values.data()));
    };
    put(mask, NamedLayer(named, xs.size() * ys.size()));
    if (both) put(distribution, named.Distribution);
}

void NetcdfStack::Record(std::int32_t step, const TPlot &plot) {
    auto density = DensityLayer(plot);
    auto compacted = CompactedLayer(plot), decompacted = DecompactedLayer(plot);
    FillNonHabitat(plot, density, CountNoData);
    FillNonHabitat(plot, compacted, std::nan(""));
    FillNonHabitat(plot, decompacted, std::nan(""));
    const std::lock_guard lock(NetcdfMutex());
    const std::size_t start[3] = {records_, 0, 0};
    const std::size_t count[3] = {1, static_cast<std::size_t>(plot.Height), static_cast<std::size_t>(plot.Width)};
    const int stepValue = step;
    Check(nc_put_var1_int(nc_, time_, start, &stepValue));
    Check(nc_put_vara_int(nc_, density_, start, count, density.data()));
    Check(nc_put_vara_double(nc_, compacted_, start, count, compacted.data()));
    Check(nc_put_vara_double(nc_, decompacted_, start, count, decompacted.data()));
    ++records_;
}

void NetcdfStack::Finish() {
    {
        const std::lock_guard lock(NetcdfMutex());
        const int status = nc_close(nc_);
        nc_ = -1;
        if (status != NC_NOERR) {
            ::unlink(part_.c_str());
            core::ForgetTemporary(part_);
            Check(status);
        }
    }
    core::SyncWrittenFile(part_);
}

void NetcdfStack::Abandon() {
    {
        const std::lock_guard lock(NetcdfMutex());
        nc_close(nc_);
    }
    nc_ = -1;
    ::unlink(part_.c_str());
    core::ForgetTemporary(part_);
}

void WriteNetcdfNow(const std::string &path, const Simul &simul, const Georeference &where, std::uint32_t seed,
                    std::int32_t step, int deflateLevel) {
    core::PrepareOutputFile(path);
    NetcdfStack stack;
    stack.Open(path, simul, where, seed, deflateLevel);
    stack.Record(step, simul.Plot);
    stack.Finish();
    core::PutInPlace(core::PartName(path), path);
}

}  // namespace glebix::gis
