#include "RasterInput.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <vector>
#include <sys/stat.h>

#include "AsciiGrid.h"
#include "Conversions.h"
#include "Errors.h"
#include "InitialSources.h"
#include "GisMessages.h"
#include "Plot.h"

// The code that needs GDAL is compiled into the GIS module (GdalHalves.cpp), the rest
// into the core.
#ifdef GLEBIX_GDAL_HALF
#include <gdal_priv.h>

#include "GdalSession.h"
#endif

namespace glebix::gis {

namespace {

#ifndef GLEBIX_GDAL_HALF

// How far into a file a null byte marks it as binary.
constexpr std::size_t BinaryProbeBytes = 4096;

bool IsFile(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<int> BandNumber(const std::string &text) {
    int band = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), band);
    if (ec != std::errc() || end != text.data() + text.size() || band < 1) return std::nullopt;
    return band;
}

#else
// A variable of a NetCDF file that holds data: not a coordinate variable (named as its
// one dimension) and not a scalar (a grid mapping).
bool IsDataVariable(const GDALMDArray &array) {
    const auto &dims = array.GetDimensions();
    return !dims.empty() && !(dims.size() == 1 && dims[0]->GetName() == array.GetName());
}

// The NetCDF variable to read: the one chosen, or the file's only data variable; it
// must have two dimensions.
std::string NetcdfVariable(const std::string &file, const std::optional<std::string> &chosen) {
    const GdalDataset md(GDALDataset::Open(file.c_str(), GDAL_OF_MULTIDIM_RASTER | GDAL_OF_READONLY));
    const auto root = md ? md->GetRootGroup() : nullptr;
    if (!root) throw GlebixError(MsgRasterUnreadable(file));
    std::vector<std::string> data;
    for (const std::string &name : root->GetMDArrayNames())
        if (const auto array = root->OpenMDArray(name); array && IsDataVariable(*array)) data.push_back(name);
    if (!chosen && data.size() != 1) throw GlebixError(MsgChooseVariable(file, data));
    const std::string name = chosen ? *chosen : data.front();
    const auto array = root->OpenMDArray(name);
    if (!array) throw GlebixError(MsgNoSuchVariable(file, name));
    std::vector<std::string> dims;
    for (const auto &d : array->GetDimensions()) dims.push_back(d->GetName());
    if (dims.size() != 2) throw GlebixError(MsgVariableNot2D(file, name, dims));
    return name;
}

// Where the raster lies, refusing what the plot cannot be: rotated, non-square or
// flipped cells. A raster without a geotransform lies on the local grid.
GridPlacement Placement(GDALDataset &ds, const std::string &path) {
    double gt[6] = {0, 1, 0, 0, 0, -1};
    if (ds.GetGeoTransform(gt) != CE_None) return GridPlacement{};
    if (gt[2] != 0 || gt[4] != 0) throw GlebixError(MsgRotatedRaster(path));
    if (!(gt[1] > 0) || !(gt[5] < 0)) throw GlebixError(MsgBottomUpRaster(path));
    if (gt[1] != -gt[5]) throw GlebixError(MsgNonSquareCells(path, gt[1], -gt[5]));
    return GridPlacement{gt[0], gt[3] + gt[5] * ds.GetRasterYSize(), gt[1]};
}

// The grid text of one band: the header, then the lines from the top. NODATA and NaN
// cells are written as the nodata value, so that the engine leaves them unnamed.
std::string GridText(GDALRasterBand &band, const GridPlacement &placement, const std::string &path) {
    const int columns = band.GetXSize(), rows = band.GetYSize();
    int hasNoData = 0;
    const double noData = band.GetNoDataValue(&hasNoData);
    const bool finiteNoData = hasNoData && std::isfinite(noData);
    const std::string noDataText = finiteNoData ? FormatShortest(noData) : "nan";
    std::vector<double> values(static_cast<std::size_t>(columns) * rows);
    if (band.RasterIO(GF_Read, 0, 0, columns, rows, values.data(), columns, rows, GDT_Float64, 0, 0) != CE_None)
        throw GlebixError(MsgRasterUnreadable(path));
    std::string out = AsciiGridHeader(placement, GridSize{columns, rows}) + "nodata_value " + noDataText + "\n";
    out.reserve(out.size() + values.size() * 8);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const double v = values[static_cast<std::size_t>(row) * columns + column];
            if (column > 0) out += ' ';
            out += std::isnan(v) || (finiteNoData && v == noData) ? noDataText : FormatShortest(v);
        }
        out += '\n';
    }
    return out;
}
#endif

}  // namespace

#ifndef GLEBIX_GDAL_HALF
RasterPath SplitRasterPath(const std::string &path) {
    const auto colon = path.rfind(':');
    if (IsFile(path) || colon == std::string::npos || colon + 1 == path.size()) return {path, {}, {}};
    const std::string file = path.substr(0, colon), choice = path.substr(colon + 1);
    if (!IsFile(file)) return {path, {}, {}};
    if (const auto band = BandNumber(choice)) return {file, band, {}};
    return {file, {}, choice};
}

bool LooksLikeRaster(const std::string &bytes) { return bytes.find('\0') < std::min(bytes.size(), BinaryProbeBytes); }

void CheckRasterSize(const std::string &path, long long columns, long long rows) {
    if (columns < 1 || rows < 1 || columns > MaxPlotSide || rows > MaxPlotSide)
        throw GlebixError(MsgRasterSize(path, columns, rows, MaxPlotSide));
}

#else
std::string RasterAsAsciiGrid(const std::string &path) {
    EnsureGdal();
    const QuietGdal quiet;
    const std::lock_guard lock(NetcdfMutex());
    const RasterPath chosen = SplitRasterPath(path);
    GdalDataset ds(GDALDataset::Open(chosen.File.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    const bool netcdf = ds && std::string(ds->GetDriver()->GetDescription()) == "netCDF";
    if (!ds && !chosen.Variable) throw GlebixError(MsgRasterUnreadable(chosen.File));
    if (chosen.Variable || (netcdf && !chosen.Band)) {
        const std::string variable = NetcdfVariable(chosen.File, chosen.Variable);
        ds.reset(GDALDataset::Open(("NETCDF:\"" + chosen.File + "\":" + variable).c_str(), GDAL_OF_RASTER));
        if (!ds) throw GlebixError(MsgRasterUnreadable(chosen.File));
    }
    const int bands = ds->GetRasterCount();
    if (bands == 0) throw GlebixError(MsgRasterUnreadable(chosen.File));
    if (bands > 1 && !chosen.Band) throw GlebixError(MsgTooManyBands(chosen.File, bands));
    const int band = chosen.Band.value_or(1);
    if (band > bands) throw GlebixError(MsgNoSuchBand(chosen.File, band, bands));
    CheckRasterSize(chosen.File, ds->GetRasterXSize(), ds->GetRasterYSize());
    const GridPlacement placement = Placement(*ds, chosen.File);
    return GridText(*ds->GetRasterBand(band), placement, chosen.File);
}
#endif

#ifndef GLEBIX_GDAL_HALF
const ReadInput &ReadInitialInputOnce(InputBytes &store, const std::string &path) {
    if (const auto known = store.find(path); known != store.end()) return known->second;
    const RasterPath chosen = SplitRasterPath(path);
    if (chosen.File == path) {
        const ReadInput &read = ReadInputOnce(store, path);
        if (!read.Bytes || !LooksLikeRaster(*read.Bytes)) return read;
    }
    ReadInput converted;
    try {
        converted.Bytes = std::make_shared<const std::string>(RasterAsAsciiGrid(path));
    } catch (const std::exception &e) { converted.Error = ErrorMessageOf(e); }
    return store[path] = std::move(converted);
}

std::shared_ptr<const InputBytes> InitialInputs(const TSettings &settings) {
    auto files = std::make_shared<InputBytes>();
    for (const InitialSource &source : ReadInitialSources(settings.Initial)) ReadInitialInputOnce(*files, source.path);
    return files;
}
#endif

}  // namespace glebix::gis
