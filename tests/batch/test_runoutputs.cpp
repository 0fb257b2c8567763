// The files a run writes besides the result file, and the replicate seeds.
#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <set>
#include <sstream>

#include "Conversions.h"
#include "TestFiles.h"
#include "Manifest.h"
#include "StudyManifest.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "SnapshotNames.h"
#include "MapPicture.h"
#include "RunOutputs.h"
#include "RunPlan.h"
#include "SeedMixing.h"
#include "Simul.h"

using namespace glebix;
using namespace glebix::core;
using namespace glebix::invocation;
using namespace glebix::render;

namespace {

std::unique_ptr<TPlot> PatternPlot() {
    auto plot = std::make_unique<TPlot>();
    for (int i = 0; i < GridSide; ++i)
        for (int j = 0; j < GridSide; ++j) {
            plot->Density[i][j] = 1000 * i + j;  // row and column readable from the count
            plot->Env[i][j].Compacted = i + j / 64.0 - 0.1;
        }
    return plot;
}

}  // namespace

struct PixelCase {
    int i, j;        // cell, from 1
    std::int32_t n;  // its count
    Rgb colour;      // its class colour
};

class SnapshotPixels : public ::testing::TestWithParam<PixelCase> {};

TEST_P(SnapshotPixels, CellHasItsClassColourInsideABlackRing) {
    const PixelCase c = GetParam();
    auto plot = std::make_unique<TPlot>();
    plot->Density[c.i - 1][c.j - 1] = c.n;
    // Through the PNG bytes, as a reader of the file sees them.
    const std::string png = DensityMapPng(*plot, 0);
    QImage image;
    ASSERT_TRUE(image.loadFromData(QByteArray(png.data(), static_cast<qsizetype>(png.size())), "PNG"));
    ASSERT_EQ(image.width(), 534);
    ASSERT_EQ(image.height(), 514);
    const int left = 30 + 7 * (c.i - 1), bottom = 454 - 7 * (c.j - 1) - 1;
    const QRgb fill = qRgb(c.colour.r, c.colour.g, c.colour.b);
    for (int dx = 1; dx <= 5; ++dx)
        for (int dy = 1; dy <= 5; ++dy) EXPECT_EQ(image.pixel(left + dx, bottom - dy), fill) << dx << "," << dy;
    for (int d = 0; d < 7; ++d) {
        EXPECT_EQ(image.pixel(left + d, bottom), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(left + d, bottom - 6), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(left, bottom - d), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(left + 6, bottom - d), qRgb(0, 0, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, SnapshotPixels,
                         ::testing::Values(PixelCase{1, 1, 0, {255, 255, 255}}, PixelCase{1, 1, 5, {192, 192, 192}},
                                           PixelCase{50, 50, 6, {128, 128, 128}}, PixelCase{2, 49, 15, {0, 0, 255}},
                                           PixelCase{8, 8, 16, {0, 128, 0}}, PixelCase{25, 3, 100, {255, 255, 0}},
                                           PixelCase{3, 25, 101, {128, 0, 128}}, PixelCase{50, 1, 1000, {255, 0, 0}},
                                           PixelCase{1, 50, 10001, {0, 0, 0}}));

TEST(Snapshot, GeometryOfTheWholeMap) {
    auto plot = std::make_unique<TPlot>();
    const QImage image = RenderDensityMap(*plot);
    const QRgb grey = qRgb(240, 240, 240);
    // Cell (1, 1) covers x 30..36, y 447..453; cell (50, 50) x 373..379, y 104..110.
    EXPECT_EQ(image.pixel(30, 453), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(379, 104), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(29, 453), grey);
    EXPECT_EQ(image.pixel(30, 454), grey);
    EXPECT_EQ(image.pixel(380, 104), grey);
    EXPECT_EQ(image.pixel(379, 103), grey);
    EXPECT_EQ(image.pixel(0, 0), grey);
    EXPECT_EQ(image.pixel(533, 513), grey);
}

TEST(Snapshot, Names) {
    EXPECT_EQ(SnapshotName(10), "map-00010.png");
    EXPECT_EQ(SnapshotName(7), "map-00007.png");
    EXPECT_EQ(SnapshotName(123456), "map-123456.png");
    for (const char *name : {"map-00010.png", "map-123456.png"}) EXPECT_TRUE(IsSnapshotName(name)) << name;
    for (const char *name : {"map-0010.png", "map-0001x.png", "map-00010.png.part", "trace.csv", "map-.png"})
        EXPECT_FALSE(IsSnapshotName(name)) << name;
}

// Reads an ESRI ASCII grid back into [i][j] the way a GIS reader places it: line r
// from the top is y index 50 - r, value c along the line is x index c + 1.
template <typename T>
void ReadAsc(const std::string &text, T (&grid)[GridSide][GridSide], T (*convert)(const std::string &)) {
    std::istringstream in(text);
    std::string key, value;
    for (const char *expected : {"ncols", "nrows", "xllcorner", "yllcorner", "cellsize"}) {
        in >> key >> value;
        ASSERT_EQ(key, expected);
        if (key == "ncols" || key == "nrows") { ASSERT_EQ(value, "50"); }
        if (key == "cellsize") { ASSERT_EQ(value, "1"); }
    }
    for (int r = 0; r < GridSide; ++r)
        for (int c = 0; c < GridSide; ++c) {
            ASSERT_TRUE(in >> value);
            grid[c][GridSide - 1 - r] = convert(value);
        }
    EXPECT_FALSE(in >> value);
}

TEST(AscGrid, ReadBackGivesThePlot) {
    const auto plot = PatternPlot();
    std::int32_t density[GridSide][GridSide];
    double compacted[GridSide][GridSide];
    ReadAsc<std::int32_t>(DensityAsc(*plot), density, [](const std::string &t) { return *ParseWholeToken(t); });
    ReadAsc<double>(CompactedAsc(*plot), compacted, [](const std::string &t) { return *ParseRealToken(t); });
    for (int i = 0; i < GridSide; ++i)
        for (int j = 0; j < GridSide; ++j) {
            EXPECT_EQ(density[i][j], plot->Density[i][j]);
            EXPECT_EQ(compacted[i][j], plot->Env[i][j].Compacted);  // exactly: shortest round-trip form
        }
    // The map's top-left square, cell (1, 50), opens the first grid line.
    const std::string text = DensityAsc(*plot);
    EXPECT_NE(text.find("cellsize 1\n49 1049 2049"), std::string::npos);
}

// A plot whose grids span several blocks of lines: the files are the grids' texts,
// a line per column index from the top, a value per row index along it.
TEST(AscGrid, ALargePlotsFilesAreItsTextsWrittenInBlocks) {
    constexpr int Width = 300, Height = 2000;
    auto simul = std::make_unique<Simul>();
    simul->Plot = TPlot(Width, Height);
    for (int i = 0; i < Width; ++i)
        for (int j = 0; j < Height; ++j) {
            simul->Plot.Density[i][j] = i * Height + j;
            simul->Plot.Env[i][j].Compacted = (i + 0.5) / (j + 3.0);
        }
    glebix::testing::ScratchDir dir;
    WriteFinalGrids(*simul, gis::RunGeoreference(*simul), dir / "g");
    const std::string density = glebix::testing::ReadAll(dir / (std::string("g/") + DensityGridName));
    EXPECT_EQ(density, DensityAsc(simul->Plot));
    EXPECT_EQ(glebix::testing::ReadAll(dir / (std::string("g/") + CompactedGridName)), CompactedAsc(simul->Plot));
    EXPECT_GT(density.size(), std::size_t{3} << 20);
    const std::size_t top = density.find("cellsize 1\n");
    ASSERT_NE(top, std::string::npos);
    EXPECT_EQ(density.compare(top + 11, 12, "1999 3999 59"), 0) << density.substr(top, 40);
    EXPECT_EQ(std::count(density.begin() + static_cast<std::ptrdiff_t>(top), density.end(), '\n'), Height + 1);
    EXPECT_TRUE(density.ends_with(" 598000\n"));
}

TEST(Trace, RowFormat) {
    auto simul = std::make_unique<Simul>();
    simul->ChartCellX = 2;
    simul->ChartCellY = 3;
    simul->Plot.Density[1][2] = 7;
    simul->Plot.Density[49][49] = 2147483647;  // the total must not wrap
    for (auto &&row : simul->Plot.Env)
        for (auto &env : row) env.Compacted = 0.1;
    simul->Plot.Env[1][2] = {12.5, 87.5};
    EXPECT_EQ(TraceHeader(),
              "step,cell_density,cell_compacted,cell_decompacted,mean_density,mean_compacted,total_density\n");
    const std::string row = TraceRow(4, *simul);
    EXPECT_EQ(row.rfind("4,7,12.5,87.5,", 0), 0u) << row;
    EXPECT_EQ(row.substr(row.rfind(',') + 1), "2147483654\n");
    EXPECT_EQ(row.find(';'), std::string::npos);
}

TEST(Summary, MeansDeviationsAndRunsThatStoppedEarly) {
    std::vector<StepSeries> runs(3);
    runs[0] = {{10, 20}, {1.0, 2.0}};
    runs[1] = {{20, 40}, {3.0, 4.0}};
    runs[2] = {{30}, {5.0}};  // ended after step 1
    EXPECT_EQ(SummaryCsv(runs),
              "step,runs,total_density_mean,total_density_sd,mean_compacted_mean,mean_compacted_sd\n"
              "1,3,20,10,3,2\n"
              "2,2,30,14.142135623730951,3,1.4142135623730951\n");
    EXPECT_EQ(SummaryCsv({{{5}, {0.5}}}),
              "step,runs,total_density_mean,total_density_sd,mean_compacted_mean,"
              "mean_compacted_sd\n1,1,5,NA,0.5,NA\n");
}

// Any bytes in a message or a path make valid JSON: quotes and control characters
// escaped, bytes that are not UTF-8 replaced, the rest kept.
TEST(Manifest, AnyBytesGiveValidJson) {
    BatchOptions options;
    options.Arguments = {"--out", std::string("a\"b\\c\n\t\x01", 8), "Accès",
                         "\xff"
                         "a\xc3"};
    const std::string tracePath = "t\x1f.csv";
    RunPlan plan;
    SetPlace(plan, *OutputKindOf("--trace"), tracePath);
    RunRecord record;
    record.Message = std::string("a\"b\n\x01", 5);
    Simul simul;
    const std::string json = ManifestJson(options, plan, record, simul, DescribeRun(simul, 0, 0, 0, 0),
                                          ManifestFacts{0, false, {}, {}, {tracePath}});
    for (char c : json) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    const QJsonObject m = doc.object();
    EXPECT_EQ(m["message"].toString(), QString::fromUtf8("a\"b\n\x01"));
    EXPECT_EQ(m["status"].toString(), "error");
    EXPECT_EQ(m["outputs"].toObject()["trace"].toString(), QString::fromStdString(tracePath));
    EXPECT_TRUE(m["outputs"].toObject()["result_file"].isNull());
    const QJsonArray command = m["command"].toArray();
    ASSERT_EQ(command.size(), 4);
    EXPECT_EQ(command[1].toString(), QString::fromUtf8("a\"b\\c\n\t\x01"));
    EXPECT_EQ(command[2].toString(), QString::fromUtf8("Accès"));
    EXPECT_EQ(command[3].toString(), QString::fromUtf8("\xEF\xBF\xBD"
                                                       "a\xEF\xBF\xBD"));
}

TEST(ReplicateSeeds, FirstRunUsesTheMasterAndOthersDiffer) {
    EXPECT_EQ(ReplicateSeed(12345, 1), 12345u);
    EXPECT_EQ(SplitMix64(0), 0xE220A8397B1DCDAFull);  // the published first output for seed 0
    std::set<std::uint32_t> seen;
    for (std::uint32_t master : {0u, 1u, 2u})
        for (int run = 2; run <= 500; ++run) seen.insert(ReplicateSeed(master, run));
    EXPECT_EQ(seen.size(), 3u * 499u);
    // Neighbouring masters give unrelated seeds for the same run.
    EXPECT_NE(ReplicateSeed(1, 2) - ReplicateSeed(0, 2), ReplicateSeed(2, 2) - ReplicateSeed(1, 2));
}
