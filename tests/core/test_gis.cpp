// Rasters written by GDAL read as initial files, the refusals of what the plot cannot
// be, and the GeoTIFF and NetCDF grids read back by GDAL.
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <ogr_spatialref.h>

#include "AsciiGrid.h"
#include "Errors.h"
#include "FileIo.h"
#include "GdalSession.h"
#include "GeoTiffGrids.h"
#include "InitialFiles.h"
#include "NetcdfStack.h"
#include "RasterInput.h"
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
    WriteTifGrids(simul, dir / "grids");
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
    stack.Open(dir / "run.nc", simul, 5);
    for (int step : {0, 10, 20}) {
        simul.Plot.Density[1][GridSide - 1] = step;  // a mark of the record
        stack.Record(step, simul.Plot);
    }
    stack.Finish();
    batch::PutInPlace(dir / "run.nc.part", dir / "run.nc");
    GdalDataset nc(GDALDataset::Open(("NETCDF:\"" + dir / "run.nc" + "\":density").c_str(), GDAL_OF_RASTER));
    ASSERT_TRUE(nc);
    ASSERT_EQ(nc->GetRasterCount(), 3);
    double gt[6];
    nc->GetGeoTransform(gt);
    EXPECT_EQ(std::vector<double>(gt, gt + 6), (std::vector<double>{412000, 2, 0, 5610100, 0, -2}));
    EXPECT_STREQ(nc->GetSpatialRef()->GetAuthorityCode(nullptr), "2154");
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
