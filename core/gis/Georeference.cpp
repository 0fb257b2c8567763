#include "Georeference.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <sys/stat.h>

#include "InitialSources.h"
#include "RasterPath.h"
#include "InputFile.h"
#include "Messages.h"
#include "Plot.h"
#include "PlotShape.h"
#include "RasterInput.h"
#include "Simul.h"

// The code that needs GDAL is compiled into the GIS module (GdalHalves.cpp), the rest
// into the core.
#ifdef GLEBIX_GDAL_HALF
#include <ogr_spatialref.h>

#include "GdalSession.h"
#endif

namespace glebix::gis {

namespace {

bool IsPlainFile(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Whether the file at `path` begins as an ESRI ASCII grid.
bool StartsAsAsciiGrid(const std::string &path) {
    constexpr std::size_t HeadBytes = 256;
    char head[HeadBytes];
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return IsAsciiGrid(std::string_view(head, got));
}

#ifdef GLEBIX_GDAL_HALF
// The text of the file at `path`, at most MaxPrjBytes; empty when it cannot be read.
constexpr std::size_t MaxPrjBytes = 1 << 16;

std::string SmallFileText(const std::string &path) {
    try {
        std::string text = ReadInputFile(path);
        return text.size() <= MaxPrjBytes ? text : std::string();
    } catch (const std::exception &) { return {}; }
}

// The CRS of a ".prj" that GDAL's grid reader leaves for blanks around its WKT (as
// gdalsrsinfo prints one, after a blank line), into `srs`.
bool ReadTrimmedPrj(const std::string &gridPath, OGRSpatialReference &srs) {
    const std::string prj = PrjPathOf(gridPath);
    if (!IsPlainFile(prj) || !StartsAsAsciiGrid(gridPath)) return false;
    const std::string text = SmallFileText(prj);
    const auto first = text.find_first_not_of(" \t\r\n"), last = text.find_last_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    return srs.SetFromUserInput(text.substr(first, last - first + 1).c_str()) == OGRERR_NONE;
}

std::string CrsOfFile(const std::string &path) {
    EnsureGdal();
    const QuietGdal quiet;
    const std::lock_guard lock(NetcdfMutex());
    const std::string file = SplitRasterPath(path).File;
    const GdalDataset ds(GDALDataset::Open(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    const OGRSpatialReference *srs = ds ? ds->GetSpatialRef() : nullptr;
    OGRSpatialReference fromPrj;
    if (!srs && ReadTrimmedPrj(file, fromPrj)) srs = &fromPrj;
    if (!srs) return {};
    char *wkt = nullptr;
    const char *const options[] = {"FORMAT=WKT2_2019", nullptr};
    std::string out;
    if (srs->exportToWkt(&wkt, options) == OGRERR_NONE && wkt) out = wkt;
    CPLFree(wkt);
    return out;
}

#else
// Whether the initial file at `path` holds a grid, from the bytes the run read, or
// else (a resumed run reads none) from the file: a raster is read as a grid.
bool IsGridFile(const Simul &simul, const std::string &path) {
    if (simul.GivenInputs)
        if (const auto known = simul.GivenInputs->find(path); known != simul.GivenInputs->end())
            return known->second.Bytes && IsAsciiGrid(*known->second.Bytes);
    if (IsReadAsRaster(path)) return true;
    try {
        return IsAsciiGrid(ReadInputFile(path));
    } catch (const std::exception &) { return false; }
}
#endif

}  // namespace

#ifdef GLEBIX_GDAL_HALF
namespace {

// What tells whether a file's CRS may have changed since it was read: the time of the
// last change, the size and the inode of the file and of the sidecars GDAL reads it from
// (".prj", ".aux.xml"), a missing one as such.
std::string CrsStamp(const std::string &path) {
    const std::string file = SplitRasterPath(path).File;
    std::string stamp;
    for (const std::string &part : {file, PrjPathOf(file), file + ".aux.xml"}) {
        struct stat st {};
        if (::stat(part.c_str(), &st) != 0) {
            stamp += "-;";
            continue;
        }
        for (const auto n : {static_cast<long long>(st.st_mtim.tv_sec), static_cast<long long>(st.st_mtim.tv_nsec),
                             static_cast<long long>(st.st_size), static_cast<long long>(st.st_ino)})
            stamp += std::to_string(n) + ',';
        stamp += ';';
    }
    return stamp;
}

}  // namespace

std::string FileCrs(const std::string &path) {
    static std::mutex mutex;
    static std::map<std::string, std::pair<std::string, std::string>> known;  // path -> stamp, CRS
    const std::string stamp = CrsStamp(path);
    {
        const std::lock_guard lock(mutex);
        if (const auto k = known.find(path); k != known.end() && k->second.first == stamp) return k->second.second;
    }
    std::string crs = CrsOfFile(path);
    const std::lock_guard lock(mutex);
    known[path] = {stamp, crs};
    return crs;
}

#else
Georeference RunGeoreference(const Simul &simul) {
    Georeference g;
    g.Columns = simul.Plot.Width;
    g.Lines = simul.Plot.Height;
    if (!simul.InputGridPlacement) return g;
    g.Placement = *simul.InputGridPlacement;
    for (const InitialSource &source : ReadInitialSources(simul.Settings.Initial)) {
        if (IsSoilMap(source.grid) || !IsGridFile(simul, source.path)) continue;
        g.Source = source.path;
        g.CrsWkt = FileCrs(source.path);
        break;
    }
    // The CRS the run kept (a resumed run's, from its state) over the file's now.
    if (simul.InputGridCrs) g.CrsWkt = *simul.InputGridCrs;
    return g;
}

std::optional<std::string> UnreadPrjWarning(const std::string &gridPath) {
    if (!IsPlainFile(PrjPathOf(gridPath)) || !StartsAsAsciiGrid(gridPath) || !FileCrs(gridPath).empty())
        return std::nullopt;
    return core::Message("gis.prj_unreadable", {PrjPathOf(gridPath), gridPath});
}
#endif

#ifdef GLEBIX_GDAL_HALF
std::string PrjText(const std::string &crsWkt) {
    if (crsWkt.empty()) return {};
    OGRSpatialReference srs;
    if (srs.importFromWkt(crsWkt.c_str()) != OGRERR_NONE) return {};
    char *wkt = nullptr;
    const char *const options[] = {"FORMAT=WKT1_ESRI", nullptr};
    std::string out;
    if (srs.exportToWkt(&wkt, options) == OGRERR_NONE && wkt) out = wkt;
    CPLFree(wkt);
    return out;
}

#else
std::string PrjPathOf(const std::string &gridPath) {
    const auto dot = gridPath.rfind('.');
    const auto slash = gridPath.rfind('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? gridPath.substr(0, dot) : gridPath) + ".prj";
}

void GeoTransformOf(const Georeference &where, double transform[6]) {
    const GridPlacement &placement = where.Placement;
    transform[0] = placement.XllCorner;
    transform[1] = placement.CellSize;
    transform[2] = 0;
    transform[3] = placement.YllCorner + placement.CellSize * where.Lines;
    transform[4] = 0;
    transform[5] = -placement.CellSize;
}

Georeference InitialGeoreference(const TSettings &settings, InputBytes &store) {
    Georeference g;
    const PlotShape shape = PlotShapeOf(WithoutGridSize(settings.Plot));
    g.Columns = shape.Width;
    g.Lines = shape.Height;
    for (const InitialSource &source : ReadInitialSources(settings.Initial)) {
        if (IsSoilMap(source.grid)) continue;  // a map lies on the plot; it places nothing
        const ReadInput &read = ReadInitialInputOnce(store, source.path);
        if (!read.Bytes) throw GlebixError(read.Error);
        const std::shared_ptr<const std::string> &bytes = read.Bytes;
        if (!IsAsciiGrid(*bytes)) continue;
        const GridSize size = AsciiGridSize(*bytes, source.path);
        g.Placement = ReadAsciiGrid(
            *bytes, source.path, [](int, int, std::string_view) {}, size);
        g.Columns = size.Columns;
        g.Lines = size.Rows;
        g.Source = source.path;
        break;
    }
    return g;
}

Extent PlotExtent(const Georeference &where) {
    const GridPlacement &p = where.Placement;
    return {p.XllCorner, p.YllCorner, p.XllCorner + p.CellSize * where.Columns, p.YllCorner + p.CellSize * where.Lines};
}

std::optional<CellIndex> CellAtPoint(const Georeference &where, double x, double y) {
    const GridPlacement &p = where.Placement;
    const double column = std::floor((x - p.XllCorner) / p.CellSize);
    const double line = std::floor((y - p.YllCorner) / p.CellSize);
    // Also refuses NaN, and keeps the conversion below in range.
    if (!(column >= 0 && column < where.Columns && line >= 0 && line < where.Lines)) return std::nullopt;
    return CellIndex{static_cast<std::int32_t>(column) + 1, static_cast<std::int32_t>(line) + 1};
}

double CellCentreX(const Georeference &where, int column) {
    return where.Placement.XllCorner + (column + 0.5) * where.Placement.CellSize;
}

double CellCentreY(const Georeference &where, int line) {
    return where.Placement.YllCorner + (where.Lines - line - 0.5) * where.Placement.CellSize;
}
#endif

}  // namespace glebix::gis
