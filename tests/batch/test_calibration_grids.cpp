// Observed grids and the figure of --calibrate, as the program ships: a grid that tells
// a setting the counts cannot recovers it, the same seed gives the same bytes, a grid
// that does not fit is refused before anything is written, and the figure is a PNG
// written after results that survive its failure.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>

#include <sys/wait.h>

#include "BatchProgram.h"
#include "TestFiles.h"

using namespace glebix::testing;

namespace {

constexpr double TrueDecompaction = 4;
constexpr int PlotSide = 10;
const std::string Plot = " --set PlotWidth=10 --set PlotHeight=10 --steps 10 --quiet ";

struct Case {
    std::string factors, observed, grids;  // grids: the folder of the true run's final grids
};

// DecompactionD barely moves the count, and sets the compacted share: observed counts
// cannot tell it, the compacted grid can.
Case MakeCase(ScratchDir &dir) {
    Case c;
    c.grids = dir / "truth";
    EXPECT_EQ(RunProgram("--seed 5 --set DecompactionD=4 --asc " + c.grids + Plot), 0);
    c.factors = dir.File("factors.csv", "name,low,high\nDecompactionD,1,10\n");
    c.observed = dir.File("observed.csv", "step,metric,value\n10,total_density,25\n");
    return c;
}

std::string Calibration(const Case &c, const std::string &out) {
    return "--calibrate --method abc-rejection --factors " + c.factors + " --observed " + c.observed +
           " --samples 200 --accept 0.1 --seed 3 --out " + out + Plot;
}

// A grid of `columns` x `rows` cells, each `cell`.
std::string AsciiGrid(int columns, int rows, const std::string &cell) {
    std::string text = "ncols " + std::to_string(columns) + "\nnrows " + std::to_string(rows) +
                       "\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < columns; ++k) text += (k ? " " : "") + cell;
        text += "\n";
    }
    return text;
}

std::uint32_t BigEndian(const std::string &bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
    return v;
}

}  // namespace

TEST(CalibrationGridsProgram, ACompactedGridRecoversWhatCountsCannotAndRepeats) {
    ScratchDir dir;
    const Case c = MakeCase(dir);
    ASSERT_EQ(RunProgram(Calibration(c, dir / "counts")), 0);
    const std::string grid = " --observed-grid compacted@10:" + c.grids + "/compacted.asc";
    ASSERT_EQ(RunProgram(Calibration(c, dir / "grid") + grid + " --jobs 2"), 0);
    const auto counts = Interval95(ReadAll(dir / "counts/posterior-summary.csv"));
    const auto grids = Interval95(ReadAll(dir / "grid/posterior-summary.csv"));
    ASSERT_TRUE(counts && grids);
    EXPECT_LE(grids->Low, TrueDecompaction);
    EXPECT_GE(grids->High, TrueDecompaction);
    EXPECT_LT(4 * (grids->High - grids->Low), counts->High - counts->Low);
    // The same seed, whatever the threads; the grid is an input of the manifest.
    ASSERT_EQ(RunProgram(Calibration(c, dir / "again") + grid + " --jobs 1"), 0);
    EXPECT_EQ(ReadAll(dir / "again/posterior.csv"), ReadAll(dir / "grid/posterior.csv"));
    const std::string manifest = ReadAll(dir / "grid/manifest.json");
    EXPECT_NE(manifest.find("\"observed_grid\""), std::string::npos);
    EXPECT_NE(manifest.find("\"grid_compare\": \"summaries\""), std::string::npos);
    // A GeoTIFF, or a NetCDF variable, of the same values (doubles, as the grid holds
    // them) observes the same.
    for (const auto &[format, file] : {std::pair{"GTiff", "c.tif"}, {"netCDF", "c.nc"}}) {
        const std::string translate = "gdal_translate -q -of " + std::string(format) +
                                      " -ot Float64 --config AAIGRID_DATATYPE Float64 " + c.grids + "/compacted.asc " +
                                      dir / file + " >/dev/null 2>&1";
        if (std::system(translate.c_str()) != 0) continue;
        const std::string variable = std::string(format) == "netCDF" ? ":Band1" : "";
        const std::string out = dir / (std::string(file) + ".out");
        ASSERT_EQ(RunProgram(Calibration(c, out) + " --observed-grid compacted@10:" + dir / file + variable), 0);
        EXPECT_EQ(ReadAll(out + "/posterior.csv"), ReadAll(dir / "grid/posterior.csv")) << file;
    }
    // Cell by cell, with more accepted runs than cells.
    ASSERT_EQ(RunProgram("--calibrate --method abc-rejection --factors " + c.factors + " --observed " + c.observed +
                         " --samples 1500 --accept 0.15 --seed 3 --out " + dir / "cells" + Plot + grid +
                         " --grid-compare cells"),
              0);
    const auto cells = Interval95(ReadAll(dir / "cells/posterior-summary.csv"));
    ASSERT_TRUE(cells);
    EXPECT_LT(4 * (cells->High - cells->Low), counts->High - counts->Low);
}

// Each refusal exits 2 before any run, names the grid and what is wrong, writes nothing.
TEST(CalibrationGridsProgram, GridsThatDoNotFitAreRefusedBeforeAnythingIsWritten) {
    ScratchDir dir;
    const Case c = MakeCase(dir);
    const std::string out = dir / "out", messages = dir / "messages.txt";
    const auto refused = [&](const std::string &arguments, const std::string &said) {
        EXPECT_EQ(RunProgram(Calibration(c, out) + arguments, messages), 2) << arguments;
        EXPECT_NE(ReadAll(messages).find(said), std::string::npos) << ReadAll(messages);
        EXPECT_FALSE(std::filesystem::exists(out)) << arguments;
    };
    const std::string small = dir.File("small.asc", AsciiGrid(5, 4, "1"));
    refused(" --observed-grid 10:" + small, "\"" + small + "\": a grid of 5 x 4 cells; the plot has 10 x 10");
    const std::string fine = dir.File("fine.asc", AsciiGrid(PlotSide, PlotSide, "1"));
    refused(" --observed-grid 11:" + fine, "\"11\" is not a whole step from 0 to 10");
    refused(" --observed-grid moisture@10:" + fine, "\"moisture\" is not an observable field");
    refused(" --observed-grid " + fine, "the form expected is STEP:FILE");
    refused(" --observed-grid 10:" + dir / "none.asc", dir / "none.asc");
    refused(" --observed-grid 10:" + dir.File("word.asc", AsciiGrid(PlotSide, PlotSide, "x")),
            "an observed cell's value must be a number");
    std::string holed = AsciiGrid(PlotSide, PlotSide, "1");
    holed.insert(holed.find("cellsize 1\n") + 11, "nodata_value -9\n");
    holed.replace(holed.rfind(" 1\n"), 3, " -9\n");
    refused(" --observed-grid 10:" + dir.File("holed.asc", holed), "cell 10, 1 has no value");
    refused(" --observed-grid 10:" + fine + " --grid-compare pixels", "summaries or cells expected");
}

TEST(CalibrationGridsProgram, TheFigureIsAPngWrittenAfterResultsThatSurviveItsFailure) {
    ScratchDir dir;
    const Case c = MakeCase(dir);
    const std::string density = " --observed-grid 10:" + c.grids + "/density.asc";
    ASSERT_EQ(RunProgram(Calibration(c, dir / "a") + density + " --figure " + dir / "a.png"), 0);
    const std::string png = ReadAll(dir / "a.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(BigEndian(png, 16), 800u);  // IHDR's width, then its height
    EXPECT_GT(BigEndian(png, 20), 200u);
    ASSERT_EQ(RunProgram(Calibration(c, dir / "b") + density + " --figure " + dir / "b.png"), 0);
    EXPECT_EQ(ReadAll(dir / "b.png"), png);
    // A figure that cannot be written fails the command, and the results stay.
    EXPECT_NE(RunProgram(Calibration(c, dir / "c") + density + " --figure " + dir / "no/such/c.png"), 0);
    EXPECT_EQ(ReadAll(dir / "c/posterior.csv"), ReadAll(dir / "a/posterior.csv"));
    // An existing file is never replaced by a figure.
    EXPECT_EQ(RunProgram(Calibration(c, dir / "d") + " --figure " + dir / "a.png"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "d"));
    EXPECT_EQ(ReadAll(dir / "a.png"), png);
    // A table's calibration draws one too.
    ASSERT_EQ(
        RunProgram("--sample lhs --factors " + c.factors + " --samples 40 --seed 2 --design-out " + dir / "d.csv"), 0);
    ASSERT_EQ(RunProgram("--design " + dir / "d.csv" + " --seed 4 --independent-seeds --table " + dir / "t.csv" + Plot),
              0);
    ASSERT_EQ(
        RunProgram("--analyse " + dir / "t.csv" + " --method abc-rejection --factors " + c.factors + " --observed " +
                   c.observed + " --accept 0.2 --out " + dir / "table --figure " + dir / "t.png"),
        0);
    EXPECT_EQ(ReadAll(dir / "t.png").substr(1, 3), "PNG");
}
