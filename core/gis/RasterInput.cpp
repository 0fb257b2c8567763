#include "RasterInput.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>
#include <sys/stat.h>

#include "AsciiGrid.h"
#include "Conversions.h"
#include "Errors.h"
#include "InitialSources.h"
#include "GisMessages.h"
#include "InputFile.h"
#include "Plot.h"
#include "RasterPath.h"

// The code that needs GDAL is compiled into the GIS module (GdalHalves.cpp), the rest
// into the core.
#ifdef GLEBIX_GDAL_HALF
#include <cpl_minixml.h>
#include <gdal_priv.h>

#include "GdalSession.h"
#endif

namespace glebix::gis {

namespace {

#ifdef GLEBIX_GDAL_HALF
// How deep VRTs naming VRTs are followed.
constexpr int MaxVrtDepth = 8;
// The largest VRT read to check its sources: a VRT is a short XML text.
constexpr std::size_t MaxVrtBytes = std::size_t{1} << 24;

// A path GDAL would read through one of its virtual file systems (/vsicurl/,
// /vsizip/, ...), which reach the network or open archives: none is read.
bool IsVirtualPath(std::string_view path) {
    return path.starts_with("/vsi") || path.find(":/vsi") != std::string_view::npos ||
           path.find("\"/vsi") != std::string_view::npos || path.find("://") != std::string_view::npos;
}

// The source files a VRT names (a warped VRT's SourceDataset too), its relative paths
// taken from its folder.
std::vector<std::string> VrtSources(const std::string &vrt, const std::string &text) {
    std::vector<std::string> out;
    CPLXMLNode *root = CPLParseXMLString(text.c_str());
    const auto walk = [&](auto &&self, const CPLXMLNode *node) -> void {
        for (; node; node = node->psNext) {
            if (node->eType != CXT_Element) continue;
            const std::string_view element = node->pszValue;
            if (element == "SourceFilename" || element == "SourceDataset") {
                const std::string name = CPLGetXMLValue(node, nullptr, "");
                const bool relative = CPLTestBool(CPLGetXMLValue(node, "relativeToVRT", "0"));
                const auto slash = vrt.rfind('/');
                out.push_back(relative && slash != std::string::npos ? vrt.substr(0, slash + 1) + name : name);
            }
            self(self, node->psChild);
        }
    };
    walk(walk, root);
    CPLDestroyXMLNode(root);
    return out;
}

// Refuses a VRT that names a remote or archive path, itself or through the VRTs it names.
void CheckVrtSources(const std::string &vrt, const std::string &named, int depth) {
    if (!IsVrtText(FileStart(vrt))) return;
    struct stat st {};
    if (::stat(vrt.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) > MaxVrtBytes || depth > MaxVrtDepth)
        throw GlebixError(MsgRasterUnreadable(named));
    std::string text;
    try {
        text = ReadInputFile(vrt);
    } catch (const std::exception &) { return; }  // GDAL says why it cannot read it
    for (const std::string &source : VrtSources(vrt, text)) {
        if (IsVirtualPath(source)) throw GlebixError(MsgVirtualSource(named, source));
        CheckVrtSources(source, named, depth + 1);
    }
}

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

// Two cell sides are the same when they differ by at most this share of the larger:
// coordinates written as decimals differ in their last digits (0.001 degree read back
// as 0.000999999999999997 across and 0.0009999999999999133 down).
constexpr double SideTolerance = 1e-9;

bool SameSide(double a, double b) { return std::abs(a - b) <= SideTolerance * std::max(std::abs(a), std::abs(b)); }

// Where a raster lies, and whether the rows GDAL gives run from the south.
struct RasterLayout {
    GridPlacement placement;
    bool southFirst = false;
};

// Where the raster lies, refusing what the plot cannot be: rotated, non-square or
// flipped cells. A raster without a geotransform lies on the local grid.
RasterLayout Placement(GDALDataset &ds, const std::string &path) {
    double gt[6] = {0, 1, 0, 0, 0, -1};
    if (ds.GetGeoTransform(gt) != CE_None) return {};
    if (gt[2] != 0 || gt[4] != 0) throw GlebixError(MsgRotatedRaster(path));
    if (!(gt[1] > 0) || !(gt[5] < 0)) throw GlebixError(MsgBottomUpRaster(path));
    if (!SameSide(gt[1], -gt[5])) throw GlebixError(MsgNonSquareCells(path, gt[1], -gt[5]));
    return {GridPlacement{gt[0], gt[3] + gt[5] * ds.GetRasterYSize(), gt[1]}, false};
}

// The values of the coordinate variable of `dimension`; empty without one.
std::vector<double> CoordinateValues(const GDALDimension &dimension) {
    const auto indexing = dimension.GetIndexingVariable();
    if (!indexing || indexing->GetDimensionCount() != 1) return {};
    std::vector<double> values(static_cast<std::size_t>(dimension.GetSize()));
    const GUInt64 start[1] = {0};
    const std::size_t count[1] = {values.size()};
    if (!indexing->Read(start, count, nullptr, nullptr, GDALExtendedDataType::Create(GDT_Float64), values.data()))
        return {};
    return values;
}

// The step between evenly spaced coordinates; NaN when they are not, or too few.
double EvenStep(const std::vector<double> &values) {
    if (values.size() < 2) return std::nan("");
    const double step = (values.back() - values.front()) / static_cast<double>(values.size() - 1);
    for (std::size_t k = 1; k < values.size(); ++k)
        if (!SameSide(values[k] - values[k - 1], step)) return std::nan("");
    return step;
}

// Where a NetCDF variable lies when GDAL finds no geotransform (its x and y carry no
// CF attributes): from its coordinate variables' values, which also tell which way its
// rows run. GDAL then hands the file's rows over last first (or as stored, when
// GDAL_NETCDF_BOTTOMUP is NO). Without evenly spaced coordinates on both axes the row
// order is unknown, and the file is refused.
RasterLayout NetcdfPlacement(const std::string &file, const std::string &variable, int columns, int rows) {
    const GdalDataset md(GDALDataset::Open(file.c_str(), GDAL_OF_MULTIDIM_RASTER | GDAL_OF_READONLY));
    const auto root = md ? md->GetRootGroup() : nullptr;
    const auto array = root ? root->OpenMDArray(variable) : nullptr;
    if (!array || array->GetDimensionCount() != 2) throw GlebixError(MsgRasterUnreadable(file));
    const auto &dims = array->GetDimensions();
    const std::vector<double> ys = CoordinateValues(*dims[0]), xs = CoordinateValues(*dims[1]);
    const double dx = EvenStep(xs), dy = EvenStep(ys);
    const bool known = xs.size() == static_cast<std::size_t>(columns) && ys.size() == static_cast<std::size_t>(rows);
    if (!known || std::isnan(dx) || std::isnan(dy))
        throw GlebixError(MsgNoCoordinates(file, variable, dims[0]->GetName(), dims[1]->GetName()));
    if (!(dx > 0)) throw GlebixError(MsgBottomUpRaster(file));
    if (!SameSide(dx, std::abs(dy))) throw GlebixError(MsgNonSquareCells(file, dx, std::abs(dy)));
    const bool gdalFlips = CPLTestBool(CPLGetConfigOption("GDAL_NETCDF_BOTTOMUP", "YES"));
    const bool storedNorthFirst = dy < 0;
    const GridPlacement placement{xs.front() - dx / 2, std::min(ys.front(), ys.back()) - std::abs(dy) / 2, dx};
    return {placement, storedNorthFirst == gdalFlips};
}

// The grid text of one band: the header, then the lines from the top. NODATA and NaN
// cells are written as the nodata value, so that the engine leaves them unnamed.
std::string GridText(GDALRasterBand &band, const RasterLayout &layout, const std::string &path) {
    const int columns = band.GetXSize(), rows = band.GetYSize();
    int hasNoData = 0;
    const double noData = band.GetNoDataValue(&hasNoData);
    const bool finiteNoData = hasNoData && std::isfinite(noData);
    const std::string noDataText = finiteNoData ? FormatShortest(noData) : "nan";
    std::vector<double> values(static_cast<std::size_t>(columns) * rows);
    if (band.RasterIO(GF_Read, 0, 0, columns, rows, values.data(), columns, rows, GDT_Float64, 0, 0) != CE_None)
        throw GlebixError(MsgRasterUnreadable(path));
    std::string out = AsciiGridHeader(layout.placement, GridSize{columns, rows}) + "nodata_value " + noDataText + "\n";
    out.reserve(out.size() + values.size() * 8);
    for (int line = 0; line < rows; ++line) {
        const std::size_t row = static_cast<std::size_t>(layout.southFirst ? rows - 1 - line : line);
        for (int column = 0; column < columns; ++column) {
            const double v = values[row * columns + column];
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
    if (IsVirtualPath(chosen.File)) throw GlebixError(MsgVirtualSource(chosen.File, chosen.File));
    CheckVrtSources(chosen.File, chosen.File, 0);
    GdalDataset ds(GDALDataset::Open(chosen.File.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    const bool netcdf = ds && std::string(ds->GetDriver()->GetDescription()) == "netCDF";
    if (!ds && !chosen.Variable) throw GlebixError(MsgRasterUnreadable(chosen.File));
    std::string variable;
    if (chosen.Variable || (netcdf && !chosen.Band)) {
        variable = NetcdfVariable(chosen.File, chosen.Variable);
        ds.reset(GDALDataset::Open(("NETCDF:\"" + chosen.File + "\":" + variable).c_str(), GDAL_OF_RASTER));
        if (!ds) throw GlebixError(MsgRasterUnreadable(chosen.File));
    }
    const int bands = ds->GetRasterCount();
    if (bands == 0) throw GlebixError(MsgRasterUnreadable(chosen.File));
    if (bands > 1 && !chosen.Band) throw GlebixError(MsgTooManyBands(chosen.File, bands));
    const int band = chosen.Band.value_or(1);
    if (band > bands) throw GlebixError(MsgNoSuchBand(chosen.File, band, bands));
    CheckRasterSize(chosen.File, ds->GetRasterXSize(), ds->GetRasterYSize());
    double transform[6];
    const bool netcdfWithoutTransform =
        std::string(ds->GetDriver()->GetDescription()) == "netCDF" && ds->GetGeoTransform(transform) != CE_None;
    if (netcdfWithoutTransform && variable.empty()) variable = NetcdfVariable(chosen.File, std::nullopt);
    const RasterLayout layout = netcdfWithoutTransform
                                    ? NetcdfPlacement(chosen.File, variable, ds->GetRasterXSize(), ds->GetRasterYSize())
                                    : Placement(*ds, chosen.File);
    return GridText(*ds->GetRasterBand(band), layout, chosen.File);
}
#endif

#ifndef GLEBIX_GDAL_HALF
const ReadInput &ReadInitialInputOnce(InputBytes &store, const std::string &path) {
    if (const auto known = store.find(path); known != store.end()) return known->second;
    const RasterPath chosen = SplitRasterPath(path);
    if (chosen.File == path && !LooksLikeRaster(FileStart(path))) return ReadInputOnce(store, path);
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
