#include <cerrno>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "Conversions.h"
#include "Errors.h"
#include "Outputs.h"
#include "ResultFile.h"
#include "Simul.h"
#include "TestSupport.h"

namespace glebix {
namespace {

using testing::ReadAll;
using testing::ScratchDir;

TEST(DensityClass, BoundsAndColours) {
    const struct {
        std::int32_t n;
        int cls;
        Rgb colour;
    } cases[] = {
        {0, 0, {255, 255, 255}},  {1, 1, {192, 192, 192}}, {5, 1, {192, 192, 192}}, {6, 2, {128, 128, 128}},
        {10, 2, {128, 128, 128}}, {11, 3, {0, 0, 255}},    {15, 3, {0, 0, 255}},    {16, 4, {0, 128, 0}},
        {20, 4, {0, 128, 0}},     {21, 5, {255, 255, 0}},  {100, 5, {255, 255, 0}}, {101, 6, {128, 0, 128}},
        {500, 6, {128, 0, 128}},  {501, 7, {255, 0, 0}},   {1000, 7, {255, 0, 0}},  {1001, 8, {0, 0, 0}},
        {25000, 8, {0, 0, 0}},    {-1, -1, {255, 0, 255}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DensityClass(c.n), c.cls) << c.n;
        EXPECT_EQ(DensityColour(c.n), c.colour) << c.n;
    }
}

TEST(PlotMeans, CoverTheWholeGrid) {
    TPlot plot{};
    for (auto &&row : plot.Density)
        for (auto &n : row) n = 1;
    for (auto &&row : plot.Env)
        for (auto &env : row) env.Compacted = 33.5;
    EXPECT_EQ(MeanDensity(plot), 1.0);
    EXPECT_EQ(MeanCompacted(plot), 33.5);
    plot.Density[0][0] = 2147483647;  // the sum wraps as a 32-bit integer does
    EXPECT_EQ(MeanDensity(plot), (static_cast<double>(2147483647) + 2499 - 4294967296.0) / 2500);
}

TEST(ChartValues, ScaledAndRoundedHalvesToEven) {
    const ChartValues v = ScaleChartValues(3, 33.5, 32.5, 1.0, 100);
    EXPECT_EQ(v.v[ChartCellCount], 15);
    EXPECT_EQ(v.v[ChartCellCompacted], 34);
    EXPECT_EQ(v.v[ChartCellDecompacted], 32);
    EXPECT_EQ(v.v[ChartMeanCount], 5);
    EXPECT_EQ(v.v[ChartMeanCompacted], 100);
    EXPECT_EQ(ChartStepPosition(1), 0);
    for (int step : {2, 3, 4}) EXPECT_EQ(ChartStepPosition(step), 1);
    EXPECT_EQ(ChartStepPosition(5), 2);
    EXPECT_EQ(ChartStepPosition(300), 100);
}

TEST(ResultFile, TenthsRoundHalfAwayFromZeroOnTheExactValue) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {5.25, "5.3"},    {0.04, "0.0"}, {100, "100.0"}, {94.34, "94.3"}, {0.05, "0.1"},
        {0.25, "0.3"},    {9.95, "9.9"},  // 9.95 is stored just below 9.95
        {99.96, "100.0"}, {-5, "-5.0"},  {-0.04, "0.0"}, {-2.25, "-2.3"}, {1e20, "100000000000000000000.0"},
    };
    for (const auto &c : cases) {
        std::string out;
        AppendTenths(out, c.value);
        EXPECT_EQ(out, c.text) << c.value;
    }
}

TEST(ResultFile, OneCrLfLinePerCellInRowOrder) {
    auto s = testing::MakeSimul(100);
    s->Plot.Density[0][0] = 12;
    s->Plot.Env[0][0].Compacted = 94.34;
    s->Plot.Density[0][1] = 12345;
    s->Plot.Density[49][49] = -3;
    ScratchDir dir;
    s->Settings.Run.ResultDirectory = dir.Path();
    s->WriteResultFile();
    const std::string path = dir.Sub(ResultFileName());
    EXPECT_EQ(s->ResultFilePath(), dir.Path() + "/RireVed1a1p1.txt");
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("12  94.3\r\n12345  100.0\r\n0  100.0\r\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 11), "-3  100.0\r\n");
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 2500u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2500);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary left
}

// Writes half of what it is given, as a disk that fills up does.
long original_write_half(int fd, const void *data, std::size_t size) {
    return static_cast<long>(::write(fd, data, size / 2 + 1));
}

std::string WriteError(Simul &s) {
    try {
        s.WriteResultFile();
    } catch (const GlebixError &e) { return e.what(); }
    return "";
}

TEST(ResultFile, FailuresByCause) {
    ScratchDir dir;
    auto s = testing::MakeSimul();
    const std::string regular = dir.File("chosen.txt", "x");
    s->Settings.Run.ResultDirectory = dir.Sub("missing");
    EXPECT_EQ(WriteError(*s), "Nom de fichier incorrect");
    s->Settings.Run.ResultDirectory = regular;  // a file chosen where a directory belongs
    EXPECT_EQ(WriteError(*s), "Nom de fichier incorrect");
    std::filesystem::create_directory(dir.Sub(ResultFileName()));
    s->Settings.Run.ResultDirectory = dir.Path();
    EXPECT_EQ(WriteError(*s), "Accès au fichier refusé");
}

TEST(ResultFile, AFailedWriteKeepsTheEarlierFileAndLeavesNoPartialOne) {
    ScratchDir dir;
    auto s = testing::MakeSimul();
    s->Settings.Run.ResultDirectory = dir.Path();
    s->WriteResultFile();
    const std::string path = dir.Sub(ResultFileName());
    const std::string earlier = ReadAll(path);

    static int calls;
    calls = 0;
    const ResultWriteFunction original = ResultWrite;
    ResultWrite = [](int fd, const void *data, std::size_t size) -> long {
        if (++calls == 1) return original_write_half(fd, data, size);
        errno = ENOSPC;
        return -1;
    };
    s->Plot.Density[0][0] = 777;
    EXPECT_EQ(WriteError(*s), "Disque plein");
    ResultWrite = original;
    EXPECT_EQ(ReadAll(path), earlier);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace glebix
