// Rasters written by GDAL read as initial files, the refusals of what the plot cannot
// be, and the GeoTIFF and NetCDF grids read back by GDAL.
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <netcdf.h>
#include <numeric>
#include <ogr_spatialref.h>
#include <unistd.h>

#include "AsciiGrid.h"
#include "Errors.h"
#include "FileIo.h"
#include "GdalSession.h"
#include "GeoTiffGrids.h"
#include "Georeference.h"
#include "GridLayers.h"
#include "InitialFiles.h"
#include "InputRecords.h"
#include "Messages.h"
#include "NetcdfStack.h"
#include "RasterInput.h"
#include "RunDescription.h"
#include "RunSession.h"
#include "SettingsTable.h"
#include "Simul.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::gis;
using glebix::testing::ScratchDir;

namespace {

constexpr double NoData = -9999;

// The value of cell (column, line from the top) of the test rasters.
double CellValue(int column, int line) { return column == 0 && line == 0 ? NoData : column * 1.5 + line * 0.25; }

struct RasterShape {
    int columns = GridSide, rows = GridSide, bands = 1;
    double transform[6] = {412000, 2, 0, 5610100, 0, -2};
    const char *driver = "GTiff";
};

// Writes a raster of `shape` with EPSG:2154, band b holding CellValue + b - 1.
std::string WriteRaster(const std::string &path, const RasterShape &shape) {
    EnsureGdal();
    GDALDriver *mem = GetGDALDriverManager()->GetDriverByName("MEM");
    GdalDataset ds(mem->Create("", shape.columns, shape.rows, shape.bands, GDT_Float32, nullptr));
    ds->SetGeoTransform(const_cast<double *>(shape.transform));
    OGRSpatialReference srs;
    srs.importFromEPSG(2154);
    ds->SetSpatialRef(&srs);
    for (int b = 1; b <= shape.bands; ++b) {
        std::vector<float> values;
        for (int line = 0; line < shape.rows; ++line)
            for (int column = 0; column < shape.columns; ++column)
                values.push_back(
                    static_cast<float>(CellValue(column, line) + (CellValue(column, line) == NoData ? 0 : b - 1)));
        GDALRasterBand *band = ds->GetRasterBand(b);
        band->SetNoDataValue(NoData);
        EXPECT_EQ(band->RasterIO(GF_Write, 0, 0, shape.columns, shape.rows, values.data(), shape.columns, shape.rows,
                                 GDT_Float32, 0, 0),
                  CE_None);
    }
    GDALDriver *out = GetGDALDriverManager()->GetDriverByName(shape.driver);
    GdalDataset(out->CreateCopy(path.c_str(), ds.get(), FALSE, nullptr, nullptr, nullptr));
    return path;
}

// A NetCDF file of one variable "soil" (y, x) holding CellValue by line as stored, its
// y and x coordinate variables with the values given and no attribute at all, as
// xarray writes a DataArray; no coordinate variables when both are empty.
std::string WriteBareNetcdf(const std::string &path, const std::vector<double> &ys, const std::vector<double> &xs) {
    int nc = -1, dims[2], y = -1, x = -1, soil = -1;
    EXPECT_EQ(nc_create(path.c_str(), NC_CLOBBER, &nc), NC_NOERR);
    nc_def_dim(nc, "y", GridSide, &dims[0]);
    nc_def_dim(nc, "x", GridSide, &dims[1]);
    if (!ys.empty()) nc_def_var(nc, "y", NC_DOUBLE, 1, &dims[0], &y);
    if (!xs.empty()) nc_def_var(nc, "x", NC_DOUBLE, 1, &dims[1], &x);
    nc_def_var(nc, "soil", NC_DOUBLE, 2, dims, &soil);
    nc_enddef(nc);
    if (!ys.empty()) nc_put_var_double(nc, y, ys.data());
    if (!xs.empty()) nc_put_var_double(nc, x, xs.data());
    std::vector<double> values;
    for (int line = 0; line < GridSide; ++line)
        for (int column = 0; column < GridSide; ++column) values.push_back(CellValue(column, line) + 1e4);
    nc_put_var_double(nc, soil, values.data());
    EXPECT_EQ(nc_close(nc), NC_NOERR);
    return path;
}

// `count` coordinates from `first` by `step`.
std::vector<double> Coordinates(double first, double step, int count = GridSide) {
    std::vector<double> out;
    for (int k = 0; k < count; ++k) out.push_back(first + k * step);
    return out;
}

std::unique_ptr<TPlot> ReadEnvironment(const std::string &path, InputBytes &store) {
    auto plot = std::make_unique<TPlot>();
    for (auto &&row : plot->Env)
        for (auto &cell : row) cell = {-1, -1};
    const ReadInput &read = ReadInitialInputOnce(store, path);
    if (!read.Bytes) throw GlebixError(read.Error);
    ReadEnvironmentText(*read.Bytes, path, *plot);
    return plot;
}

}  // namespace

TEST(GisRasters, GeoTiffReadsAsTheSameGridWithNoDataUnnamed) {
    ScratchDir dir;
    const std::string tif = WriteRaster(dir / "land.tif", {});
    InputBytes store;
    const auto plot = ReadEnvironment(tif, store);
    EXPECT_EQ(plot->Env[0][GridSide - 1].Compacted, -1);  // the NODATA cell keeps what it held
    for (int line = 0; line < GridSide; ++line)
        for (int column = line == 0 ? 1 : 0; column < GridSide; ++column)
            ASSERT_EQ(plot->Env[column][GridSide - 1 - line].Compacted,
                      static_cast<double>(static_cast<float>(CellValue(column, line))));
    const auto placement = ReadEnvironmentText(*store.at(tif).Bytes, tif, *std::make_unique<TPlot>());
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->XllCorner, 412000);
    EXPECT_EQ(placement->YllCorner, 5610000);
    EXPECT_EQ(placement->CellSize, 2);
}

TEST(GisRasters, BandAndVariableChosenAfterTheLastColon) {
    ScratchDir dir;
    RasterShape three;
    three.bands = 3;
    const std::string tif = WriteRaster(dir / "bands.tif", three);
    InputBytes store;
    EXPECT_EQ(ReadEnvironment(tif + ":2", store)->Env[3][GridSide - 1].Compacted, CellValue(3, 0) + 1);
    const std::string odd = WriteRaster(dir / "a:1", {});  // a file named with a colon is taken whole
    EXPECT_EQ(SplitRasterPath(odd).File, odd);
    EXPECT_EQ(SplitRasterPath(tif + ":2").Band, 2);
    EXPECT_EQ(SplitRasterPath(tif + ":soil").Variable, "soil");
    EXPECT_EQ(SplitRasterPath(dir / "missing.tif:2").File, dir / "missing.tif:2");
    RasterShape nc;
    nc.driver = "netCDF";
    const std::string netcdf = WriteRaster(dir / "soil.nc", nc);
    EXPECT_EQ(ReadEnvironment(netcdf, store)->Env[3][GridSide - 1].Compacted, CellValue(3, 0));
    EXPECT_EQ(ReadEnvironment(netcdf + ":Band1", store)->Env[3][GridSide - 1].Compacted, CellValue(3, 0));
}

TEST(GisRasters, RefusalsNameTheFileAndTheFault) {
    ScratchDir dir;
    RasterShape three, rotated, oblong, small, stack;
    three.bands = 3;
    rotated.transform[2] = 0.5;
    oblong.transform[5] = -4;
    small.columns = MaxPlotSide + 1;
    stack.bands = 3;
    stack.driver = "netCDF";
    WriteRaster(dir / "stack.nc", stack);
    const struct {
        std::string path, expected;
    } cases[] = {
        {WriteRaster(dir / "three.tif", three), "a 3 bandes ; choisissez-en une"},
        {dir / "three.tif:4", "n'a pas de bande 4 (il en a 3)"},
        {WriteRaster(dir / "rotated.tif", rotated), "est tournée"},
        {WriteRaster(dir / "oblong.tif", oblong), "cases non carrées (2 × 4)"},
        {WriteRaster(dir / "wide.tif", small),
         "a 4097 colonnes et 50 lignes ; une parcelle a de 1 à 4096 cases de côté"},
        {dir.File("broken.tif", std::string("II*\0\x08\0\0\0garbage", 15)), "ni une grille que GDAL sait lire"},
        {dir / "stack.nc", "a plusieurs variables (Band1, Band2, Band3)"},
        {dir / "stack.nc:x", "a 1 dimension(s) (x)"},
        {dir / "stack.nc:nope", "n'a pas de variable « nope »"},
    };
    for (const auto &c : cases) {
        InputBytes store;
        const ReadInput &read = ReadInitialInputOnce(store, c.path);
        EXPECT_FALSE(read.Bytes) << c.path;
        EXPECT_NE(read.Error.French().find(c.expected), std::string::npos) << read.Error.French();
        EXPECT_NE(read.Error.French().find(SplitRasterPath(c.path).File), std::string::npos) << read.Error.French();
    }
}

// A NetCDF variable whose axes carry no CF attributes lies and runs as its coordinate
// values say, whichever way its rows are stored; without coordinates it is refused.
TEST(GisRasters, BareNetcdfIsReadByItsCoordinatesNeverFlipped) {
    ScratchDir dir;
    const std::vector<double> xs = Coordinates(1005, 10);
    std::vector<double> north = Coordinates(5495, -10), south = north;
    std::reverse(south.begin(), south.end());
    for (const auto &ys : {north, south}) {
        const std::string path = WriteBareNetcdf(dir / "bare.nc", ys, xs);
        InputBytes store;
        const auto plot = ReadEnvironment(path, store);
        const int top = ys == north ? GridSide - 1 : 0;  // the model's column index of the file's first line
        EXPECT_EQ(plot->Env[3][top].Compacted, CellValue(3, 0) + 1e4) << (ys == north ? "north first" : "south first");
        EXPECT_EQ(plot->Env[3][GridSide - 1 - top].Compacted, CellValue(3, GridSide - 1) + 1e4);
        const auto placement = ReadEnvironmentText(*store.at(path).Bytes, path, *std::make_unique<TPlot>());
        EXPECT_EQ(placement->XllCorner, 1000);
        EXPECT_EQ(placement->YllCorner, 5000);
        EXPECT_EQ(placement->CellSize, 10);
        ::unlink(path.c_str());
    }
    // Degrees written as decimals are not exactly evenly spaced, nor square.
    const std::string degrees =
        WriteBareNetcdf(dir / "degrees.nc", Coordinates(45.0495, -0.001), Coordinates(2.0005, 0.001));
    InputBytes store;
    EXPECT_TRUE(ReadInitialInputOnce(store, degrees).Bytes) << store.at(degrees).Error.French();
    std::vector<double> uneven = xs;
    uneven[7] += 1;
    const struct {
        std::string path, expected;
    } refused[] = {
        {WriteBareNetcdf(dir / "none.nc", {}, {}), "le sens de ses lignes est inconnu"},
        {WriteBareNetcdf(dir / "uneven.nc", north, uneven), "le sens de ses lignes est inconnu"},
        {WriteBareNetcdf(dir / "oblong.nc", north, Coordinates(1005, 20)), "cases non carrées (20 × 10)"},
    };
    for (const auto &c : refused) {
        const ReadInput &read = ReadInitialInputOnce(store, c.path);
        EXPECT_FALSE(read.Bytes) << c.path;
        EXPECT_NE(read.Error.French().find(c.expected), std::string::npos) << read.Error.French();
        EXPECT_NE(read.Error.French().find(c.path), std::string::npos) << read.Error.French();
    }
}

// Rasters are told by their first bytes and handed to GDAL whole, so that one larger
// than the largest text the engine reads still reads.
TEST(GisRasters, LargeRasterFilesAreNotReadWhole) {
    ScratchDir dir;
    const std::string tif = WriteRaster(dir / "padded.tif", {});
    ASSERT_EQ(::truncate(tif.c_str(), static_cast<off_t>(MaxInputFileBytes + 1)), 0);  // sparse
    InputBytes store;
    EXPECT_EQ(ReadEnvironment(tif, store)->Env[3][GridSide - 1].Compacted, CellValue(3, 0));
}

// A ".prj" as gdalsrsinfo prints it (after a blank line) gives its CRS; one GDAL cannot
// read gives a warning that names it.
TEST(GisRasters, PrjBesideAGridIsReadOrWarnedAbout) {
    ScratchDir dir;
    const std::string grid = "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    const std::string blank = dir.File("blank.asc", grid), broken = dir.File("broken.asc", grid);
    OGRSpatialReference lambert;
    lambert.importFromEPSG(2154);
    char *wkt = nullptr;
    lambert.exportToWkt(&wkt);
    dir.File("blank.prj", std::string("\n") + wkt + "\n");
    CPLFree(wkt);
    dir.File("broken.prj", "PROJCS[nonsense\n");
    EXPECT_NE(FileCrs(blank).find("Lambert"), std::string::npos);
    EXPECT_FALSE(UnreadPrjWarning(blank));
    const auto warning = UnreadPrjWarning(broken);
    ASSERT_TRUE(warning);
    EXPECT_NE(warning->find(dir / "broken.prj"), std::string::npos) << *warning;
}

// A fault in a raster's value names the raster's line and column, not those of the
// grid text it is read as.
TEST(GisRasters, FaultsCiteTheRastersLineAndColumn) {
    ScratchDir dir;
    const std::string tif = WriteRaster(dir / "counts.tif", {});  // the first value, 1.5, is no count
    InputBytes store;
    const ReadInput &read = ReadInitialInputOnce(store, tif);
    ASSERT_TRUE(read.Bytes);
    try {
        ReadDistributionText(*read.Bytes, tif, *std::make_unique<TPlot>());
        FAIL() << "a count of 1.5 was taken";
    } catch (const GlebixError &e) {
        const std::string cited = core::LocalMessageWithContext(e);
        const bool french = cited.find(tif + " », ligne 1, colonne 2 ") != std::string::npos;
        EXPECT_TRUE(french || cited.find(tif + "\", line 1, column 2") != std::string::npos) << cited;
    }
}

// A soil value of a Float64 raster beyond the model's scale names the raster and its
// cell (line from the top, column), in French and in English.
TEST(GisRasters, ASoilValueBeyondTheScaleNamesItsCell) {
    ScratchDir dir;
    constexpr int Columns = 4, Rows = 3;
    EnsureGdal();
    GdalDataset mem(GetGDALDriverManager()->GetDriverByName("MEM")->Create("", Columns, Rows, 1, GDT_Float64, nullptr));
    std::vector<double> values(Columns * Rows, 40);
    values[1 * Columns + 2] = 1e300;  // line 2, column 3
    ASSERT_EQ(
        mem->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, Columns, Rows, values.data(), Columns, Rows, GDT_Float64, 0, 0),
        CE_None);
    const std::string tif = dir / "huge.tif";
    GdalDataset(GetGDALDriverManager()->GetDriverByName("GTiff")->CreateCopy(tif.c_str(), mem.get(), FALSE, nullptr,
                                                                             nullptr, nullptr));
    InputBytes store;
    const ReadInput &read = ReadInitialInputOnce(store, tif);
    ASSERT_TRUE(read.Bytes);
    try {
        ReadEnvironmentText(*read.Bytes, tif, *std::make_unique<TPlot>(Columns, Rows));
        FAIL() << "a compacted share of 1e300 was taken";
    } catch (const GlebixError &e) {
        const std::string cited = core::LocalMessageWithContext(e);
        const bool french = cited.find(tif + " », ligne 2, colonne 3 ") != std::string::npos &&
                            cited.find("taux de compaction hors d'échelle") != std::string::npos;
        const bool english = cited.find(tif + "\", line 2, column 3") != std::string::npos &&
                             cited.find("compaction share out of scale") != std::string::npos;
        EXPECT_TRUE(french || english) << cited;
        EXPECT_EQ(core::RenderIn(core::Language::English, e.Message()),
                  "compaction share out of scale: from -10000000000000 to 10000000000000 %");
    }
}

TEST(GisRasters, TextFilesAreLeftToTheEngine) {
    ScratchDir dir;
    InputBytes store;
    const std::string triples = dir.File("t.txt", "1 2 30\n");
    EXPECT_EQ(*ReadInitialInputOnce(store, triples).Bytes, "1 2 30\n");
    EXPECT_FALSE(LooksLikeRaster("ncols 50\n"));
    EXPECT_TRUE(LooksLikeRaster(std::string("II*\0", 4)));
}

TEST(GisOutputs, GeoTiffAndNetcdfCarryTheInputsGeoreference) {
    ScratchDir dir;
    const std::string tif = WriteRaster(dir / "land.tif", {});
    Simul simul;
    simul.Settings.Initial.EnvInitMode = EnvModeFile;
    simul.Settings.Initial.EnvFilePath = tif;
    auto store = std::make_shared<InputBytes>();
    ReadInitialInputOnce(*store, tif);
    simul.GivenInputs = store;
    simul.SetUpRun(5);
    WriteTifGrids(simul, RunGeoreference(simul), dir / "grids");
    for (const char *name : TifGridNames) {
        GdalDataset ds(GDALDataset::Open((dir / "grids/" + name).c_str(), GDAL_OF_RASTER));
        ASSERT_TRUE(ds) << name;
        double gt[6];
        ds->GetGeoTransform(gt);
        EXPECT_EQ(std::vector<double>(gt, gt + 6), (std::vector<double>{412000, 2, 0, 5610100, 0, -2}));
        EXPECT_STREQ(ds->GetSpatialRef()->GetAuthorityCode(nullptr), "2154");
        EXPECT_STREQ(ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
        EXPECT_EQ(ds->GetRasterBand(1)->GetRasterDataType(),
                  std::string(name) == DensityTifName ? GDT_Int32 : GDT_Float64);
    }
    GdalDataset compacted(GDALDataset::Open((dir / "grids/compacted.tif").c_str(), GDAL_OF_RASTER));
    double cell = 0;
    ASSERT_EQ(compacted->GetRasterBand(1)->RasterIO(GF_Read, 3, 0, 1, 1, &cell, 1, 1, GDT_Float64, 0, 0), CE_None);
    EXPECT_EQ(cell, simul.Plot.Env[3][GridSide - 1].Compacted);

    NetcdfStack stack;
    stack.Open(dir / "run.nc", simul, RunGeoreference(simul), 5, DefaultDeflateLevel);
    for (int step : {0, 10, 20}) {
        simul.Plot.Density[1][GridSide - 1] = step;  // a mark of the record
        stack.Record(step, simul.Plot);
    }
    stack.Finish();
    core::PutInPlace(dir / "run.nc.part", dir / "run.nc");
    GdalDataset nc(GDALDataset::Open(("NETCDF:\"" + dir / "run.nc" + "\":density").c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(nc);
    ASSERT_EQ(nc->GetRasterCount(), 3);
    double gt[6];
    nc->GetGeoTransform(gt);
    EXPECT_EQ(std::vector<double>(gt, gt + 6), (std::vector<double>{412000, 2, 0, 5610100, 0, -2}));
    EXPECT_STREQ(nc->GetSpatialRef()->GetAuthorityCode(nullptr), "2154");
    EXPECT_STREQ(nc->GetMetadataItem("crs#GeoTransform"), "412000 2 0 5610100 0 -2 ");  // as rioxarray reads it
    for (int b = 1; b <= 3; ++b) {
        std::int32_t mark = -1;
        ASSERT_EQ(nc->GetRasterBand(b)->RasterIO(GF_Read, 1, 0, 1, 1, &mark, 1, 1, GDT_Int32, 0, 0), CE_None);
        EXPECT_EQ(mark, (b - 1) * 10);
    }
    GdalDataset named(GDALDataset::Open(("NETCDF:\"" + dir / "run.nc" + "\":named").c_str(), GDAL_OF_RASTER));
    std::int32_t flags[2] = {};
    ASSERT_EQ(named->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, 2, 1, flags, 2, 1, GDT_Int32, 0, 0), CE_None);
    EXPECT_EQ(flags[0], 0);  // the NODATA cell
    EXPECT_EQ(flags[1], 1);
    InputBytes again;  // a recorded variable is not one grid
    EXPECT_NE(ReadInitialInputOnce(again, dir / "run.nc:density").Error.French().find("a 3 dimension(s) (time, y, x)"),
              std::string::npos);
}

// One run told alike on every path: before its set-up from its settings and files (as
// --validate finds it), by its session once set up, and by the session it is resumed
// in.
TEST(RunDescription, ARunIsToldAlikeBeforeSetUpOnceSetUpAndResumed) {
    ScratchDir dir;
    TSettings onGrid;
    onGrid.Initial.EnvInitMode = EnvModeFile;
    onGrid.Initial.EnvFilePath = WriteRaster(dir / "land.tif", {});
    TSettings local;
    for (const auto &[name, text] : {std::pair{"PlotWidth", "40"}, {"PlotHeight", "25"}, {"Edges", "bounded"}})
        ASSERT_FALSE(core::ApplySetting(name, text, local)) << name;
    constexpr std::int32_t StepCount = 12, SavedAt = 4;
    for (const TSettings &settings : {onGrid, local}) {
        auto store = std::make_shared<InputBytes>();
        const core::RunDescription planned = core::DescribePlannedRun(settings, *store, 5, 7, StepCount);
        core::RunSession run(core::RunStart{settings, 5, 7, StepCount, 1, store});
        run.SetUp();
        EXPECT_EQ(run.Description(), planned);
        run.Run(SavedAt);
        const core::RunSession resumed(run.State(), settings, StepCount, 1);
        core::RunDescription expected = planned;
        expected.StartStep = SavedAt;
        EXPECT_EQ(resumed.Description(), expected);
    }
    EXPECT_EQ(core::DescribePlannedRun(local, *std::make_shared<InputBytes>(), 5, 7, StepCount).Georeference.Columns,
              40);
}

// Without a CRS (the local grid, or a grid without .prj) the stack still reads north-up
// in GDAL, as it does in xarray: its first line is the plot's top line.
TEST(GisOutputs, NetcdfWithoutCrsReadsNorthUp) {
    EnsureGdal();
    ScratchDir dir;
    const std::string asc = dir.File(
        "land.asc",
        "ncols 50\nnrows 50\nxllcorner 500000\nyllcorner 6500000\n"
        "cellsize 10\nnodata_value -1\n" +
            [] {
                std::string lines;
                for (int k = 0; k < CellCount; ++k) lines += k == 0 ? "-1 " : "40 ";
                return lines;
            }());
    for (const bool local : {true, false}) {
        Simul simul;
        if (!local) {
            simul.Settings.Initial.EnvInitMode = EnvModeFile;
            simul.Settings.Initial.EnvFilePath = asc;
        }
        simul.SetUpRun(9);
        for (int j = 0; j < GridSide; ++j) simul.Plot.Density[2][j] = j;  // the column index as a mark
        WriteNetcdfNow(dir / "now.nc", simul, RunGeoreference(simul), 9, 0, DefaultDeflateLevel);
        GdalDataset nc(GDALDataset::Open(("NETCDF:\"" + dir / "now.nc" + "\":density").c_str(), GDAL_OF_RASTER));
        ASSERT_TRUE(nc);
        double gt[6];
        ASSERT_EQ(nc->GetGeoTransform(gt), CE_None) << (local ? "local" : "asc");
        const double corner = local ? 0 : 500000, top = local ? GridSide : 6500000 + 10 * GridSide;
        EXPECT_EQ(std::vector<double>(gt, gt + 6), (std::vector<double>{corner, gt[1], 0, top, 0, -gt[1]}));
        std::int32_t first = -1;
        ASSERT_EQ(nc->GetRasterBand(1)->RasterIO(GF_Read, 2, 0, 1, 1, &first, 1, 1, GDT_Int32, 0, 0), CE_None);
        EXPECT_EQ(first, GridSide - 1);
        GdalDataset named(GDALDataset::Open(("NETCDF:\"" + dir / "now.nc" + "\":named").c_str(), GDAL_OF_RASTER));
        std::int32_t corners[2] = {};
        ASSERT_EQ(named->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, 2, 1, corners, 2, 1, GDT_Int32, 0, 0), CE_None);
        EXPECT_EQ(corners[0], local ? 1 : 0);  // the environment's NODATA cell
        EXPECT_EQ(corners[1], 1);
    }
}

// A map point's cell agrees with the cell centres the grids are written with, whatever
// the corner and cell size; edges go east and north, the plot's own east and north
// edges and NaN lie outside.
TEST(GisPoints, CellAtPointInvertsTheCellCentresAndTakesEdgesEastAndNorth) {
    ScratchDir dir;
    const std::string tif = WriteRaster(dir / "land.tif", {});
    TSettings settings;
    settings.Initial.EnvInitMode = EnvModeFile;
    settings.Initial.EnvFilePath = tif;
    InputBytes store;
    const Georeference where = InitialGeoreference(settings, store);
    EXPECT_EQ(where.Source, tif);
    for (int column : {0, 17, GridSide - 1})
        for (int line : {0, 8, GridSide - 1}) {
            const auto cell = CellAtPoint(where, CellCentreX(where, column), CellCentreY(where, line));
            ASSERT_TRUE(cell);
            EXPECT_EQ(cell->I, column + 1);
            EXPECT_EQ(cell->J, GridSide - line);
        }
    EXPECT_EQ(CellAtPoint(where, 412000 + 18 * 2, 5610100 - 8 * 2)->I, 19);
    EXPECT_EQ(CellAtPoint(where, 412000 + 18 * 2, 5610100 - 8 * 2)->J, 43);
    const Extent e = PlotExtent(where);
    EXPECT_EQ(std::vector<double>({e.West, e.South, e.East, e.North}),
              std::vector<double>({412000, 5610000, 412100, 5610100}));
    EXPECT_TRUE(CellAtPoint(where, e.West, e.South));
    for (const auto &[x, y] : {std::pair{e.East, e.South}, std::pair{e.West, e.North},
                               std::pair{e.West - 1e-9, 5610050.0}, std::pair{std::nan(""), 5610050.0}})
        EXPECT_FALSE(CellAtPoint(where, x, y)) << x << " " << y;
    // Without an initial grid: the local grid of the plot's own size.
    TSettings local;
    local.Plot.Width = "7";
    const Georeference plain = InitialGeoreference(local, store);
    EXPECT_EQ(CellAtPoint(plain, 6.99, 0)->I, 7);
    EXPECT_FALSE(CellAtPoint(plain, 7, 0));
}

TEST(GisOutputs, StepGridNamesSortByStepAndAreToldApart) {
    EXPECT_EQ(TifGridNameAt(DensityTifName, FinalTifStep), "density.tif");
    EXPECT_EQ(TifGridNameAt(CompactedTifName, 10), "compacted-000010.tif");
    EXPECT_EQ(TifGridNameAt(DensityTifName, 1234567), "density-1234567.tif");
    for (const char *name : {"density-000000.tif", "decompacted-1234567.tif"}) EXPECT_TRUE(IsSteppedTifName(name));
    for (const char *name :
         {"density.tif", "density-00010.tif", "density-00001x.tif", "land-000010.tif", "density-000010.tiff"})
        EXPECT_FALSE(IsSteppedTifName(name)) << name;
}

// A record of an input, checked again as --repeat checks it: its values as the runs read
// them (a raster's as its grid), and apart from them the initial file's CRS, which the
// grid text leaves out. A record from before the CRS was recorded is checked by its
// values alone.
TEST(InputRecords, AnInputRecordedOnceIsCheckedAgainByItsValuesThenItsCrs) {
    ScratchDir dir;
    const std::string tif = WriteRaster(dir / "land.tif", {});
    const core::InputFile land{"environment", tif};
    InputBytes first;
    const core::InputFileRecord record = core::RecordRunInput(first, land);
    ASSERT_GT(record.Size, 0);
    EXPECT_FALSE(record.GeoreferenceSha256.empty());
    // What the runs read is the grid, not the file's bytes.
    EXPECT_EQ(record.Size, static_cast<std::int64_t>(first.at(tif).Bytes->size()));
    EXPECT_NE(record.Size, static_cast<std::int64_t>(ReadInputFile(tif).size()));
    auto again = [&](const core::InputFileRecord &r) {
        InputBytes store;
        return core::CompareWithRecord(store, r);
    };
    EXPECT_EQ(again(record), core::InputChange::None);

    // The same values placed in another CRS.
    {
        GdalDataset ds(static_cast<GDALDataset *>(GDALOpen(tif.c_str(), GA_Update)));
        OGRSpatialReference srs;
        srs.importFromEPSG(32631);
        ds->SetSpatialRef(&srs);
    }
    EXPECT_EQ(again(record), core::InputChange::Georeference);
    core::InputFileRecord older = record;
    older.GeoreferenceSha256.clear();
    EXPECT_EQ(again(older), core::InputChange::None);

    RasterShape moved;
    moved.transform[0] += 2;
    WriteRaster(tif, moved);
    EXPECT_EQ(again(record), core::InputChange::Values) << "the placement is among the grid's values";
    core::InputFileRecord unread = record;
    unread.Sha256.clear();
    EXPECT_EQ(again(unread), core::InputChange::UnreadBefore);
    std::filesystem::remove(tif);
    EXPECT_EQ(again(record), core::InputChange::Unread);

    // An input that is not a grid is its bytes, and places nothing.
    InputBytes store;
    const core::InputFileRecord species = core::RecordRunInput(store, {"species", dir.File("sp.txt", "a b\n")});
    EXPECT_EQ(species.Size, 4);
    EXPECT_TRUE(species.GeoreferenceSha256.empty());
}

// The files a run's settings make it read, in the order every record lists them: the
// initial files its modes read, then the schedule and its masks, each read once.
TEST(InputRecords, TheSettingsListTheInitialFilesThenTheScheduleAndItsMasks) {
    ScratchDir dir;
    TSettings settings;
    settings.Initial.EnvInitMode = EnvModeFile;
    settings.Initial.EnvFilePath = WriteRaster(dir / "land.tif", {});
    settings.Initial.HabitatFilePath = dir.File("mask.txt", "1 1 1\n");
    settings.Run.EventsFilePath = dir.File("ev.csv", "step,every,action,where,value\n1,,set_compacted,m.asc,50\n");
    InputBytes store;
    std::vector<std::pair<std::string, std::string>> listed;
    for (const core::InputFile &input : core::SettingsInputs(settings, store)) {
        listed.emplace_back(input.Role, input.Path);
        EXPECT_TRUE(store.count(input.Path)) << input.Path;
    }
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{{"environment", settings.Initial.EnvFilePath},
                                                                        {"habitat", settings.Initial.HabitatFilePath},
                                                                        {core::EventsRole, settings.Run.EventsFilePath},
                                                                        {core::EventMaskRole, dir / "m.asc"}}));
    // The unread mask is listed, its failure kept for the run to report.
    EXPECT_FALSE(store.at(dir / "m.asc").Bytes);
}
