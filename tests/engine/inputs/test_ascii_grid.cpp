// Reading ESRI ASCII grids: the header in its usual variants, the orientation of the
// values, nodata cells, and the faults of a grid that does not fit the plot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sys/wait.h>
#include <string>
#include <vector>

#include "AsciiGrid.h"
#include "Errors.h"
#include "InitialFiles.h"
#include "Plot.h"
#include "TestSupport.h"

namespace glebix {
namespace {

// 2500 values "i.j" in the written layout: the first line is column index 50.
std::string Values() {
    std::string out;
    for (int j = 50; j >= 1; --j) {
        for (int i = 1; i <= 50; ++i) out += (i > 1 ? " " : "") + std::to_string(i) + "." + std::to_string(j);
        out += "\n";
    }
    return out;
}

struct Seen {
    std::string cell[50][50];
    int count = 0;
};

GridPlacement Read(const std::string &text, Seen &seen) {
    return ReadAsciiGrid(text, "g.asc", [&seen](int i, int j, std::string_view token) {
        seen.cell[i][j] = std::string(token);
        ++seen.count;
    });
}

GlebixError Refusal(const std::string &text) {
    Seen seen;
    try {
        Read(text, seen);
    } catch (const GlebixError &e) { return e; }
    return GlebixError("accepted");
}

TEST(AsciiGrid, HeaderVariantsAndOrientation) {
    struct Case {
        std::string header;
        GridPlacement expected;
    } cases[] = {
        {"ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n", {0, 0, 1}},
        {"NCOLS 50\r\nNROWS 50\r\nXLLCORNER 412000.5\r\nYLLCORNER -3\r\nCELLSIZE 2\r\n", {412000.5, -3, 2}},
        {"nRows 50 NCols 50 cellsize 10 xllcenter 5 yllCenter 105\n", {0, 100, 10}},
        {"ncols 50\nnrows 50\nxllcorner 1\nyllcorner 2\ncellsize 0.5\nNODATA_value -9999\n", {1, 2, 0.5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.header);
        Seen seen;
        const GridPlacement p = Read(c.header + Values(), seen);
        EXPECT_EQ(p.XllCorner, c.expected.XllCorner);
        EXPECT_EQ(p.YllCorner, c.expected.YllCorner);
        EXPECT_EQ(p.CellSize, c.expected.CellSize);
        EXPECT_EQ(seen.count, 2500);
        EXPECT_EQ(seen.cell[0][49], "1.50");  // first value: row index 1, column index 50
        EXPECT_EQ(seen.cell[49][0], "50.1");  // last value
        EXPECT_EQ(seen.cell[6][2], "7.3");
    }
    EXPECT_TRUE(IsAsciiGrid("  NcOlS 50"));
    EXPECT_FALSE(IsAsciiGrid("25 25 10\n"));
    EXPECT_FALSE(IsAsciiGrid(""));
    EXPECT_EQ(AsciiGridHeader({}), "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n");
    EXPECT_EQ(AsciiGridHeader({500000, 6.5e6, 1e-4}),
              "ncols 50\nnrows 50\nxllcorner 500000\nyllcorner 6500000\ncellsize 0.0001\n");
}

TEST(AsciiGrid, NoDataCellsAreNotHandedOn) {
    std::string values = Values();
    values.replace(0, 4, "-9999.0");  // the first value, "1.50"
    Seen seen;
    Read("ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -9999\n" + values, seen);
    EXPECT_EQ(seen.count, 2499);
    EXPECT_EQ(seen.cell[0][49], "");
}

TEST(AsciiGrid, FaultsNameTheirPlace) {
    const std::string head = "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    const std::string values = Values();
    const GlebixError wrongSize = Refusal("ncols 40\nnrows 30\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n");
    EXPECT_STREQ(wrongSize.what(),
                 "la grille du fichier « g.asc » a 40 colonnes et 30 lignes ; la parcelle en "
                 "demande 50 × 50");
    const GlebixError few = Refusal(head + values.substr(0, values.rfind(' ')) + "\n");
    EXPECT_STREQ(few.what(), "la grille du fichier « g.asc » n'a que 2499 valeurs sur les 2500 attendues");
    const GlebixError many = Refusal(head + values + "7 8\n");
    EXPECT_STREQ(many.what(), "la grille du fichier « g.asc » a plus de 2500 valeurs");
    EXPECT_EQ(many.Context().Line, 56);
    EXPECT_EQ(many.Context().Column, 1);
    EXPECT_EQ(many.Context().Token, "7");
    EXPECT_NE(std::string(Refusal("ncols 50\nnrows 50\nyllcorner 0\ncellsize 1\n" + values).what())
                  .find("« xllcorner » ou « xllcenter »"),
              std::string::npos);
    EXPECT_NE(std::string(Refusal(head + "cellsize 2\n" + values).what()).find("deux fois"), std::string::npos);
    const GlebixError badHeader = Refusal("ncols 50\nnrows 50\nxllcorner 0,5\nyllcorner 0\ncellsize 1\n" + values);
    EXPECT_STREQ(badHeader.what(), MsgBadNumber.French());
    EXPECT_EQ(badHeader.Context().Line, 3);
    EXPECT_EQ(badHeader.Context().Column, 11);
    EXPECT_EQ(badHeader.Context().Token, "0,5");
}

TEST(AsciiGrid, ARefusedValueGetsItsLineColumnAndToken) {
    std::string values = Values();
    values.replace(values.find("3.50"), 4, "3,50");
    try {
        ReadAsciiGrid("ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n" + values, "g.asc",
                      [](int, int, std::string_view token) {
                          if (token.find(',') != std::string_view::npos) ThrowBadNumber();
                      });
        FAIL();
    } catch (const GlebixError &e) {
        EXPECT_STREQ(e.what(), MsgBadNumber.French());
        EXPECT_EQ(e.Context().Path, "g.asc");
        EXPECT_EQ(e.Context().Line, 6);
        EXPECT_EQ(e.Context().Column, 11);
        EXPECT_EQ(e.Context().Token, "3,50");
    }
}

// The initial-file readers take a grid where they take triples: values with their
// complement, nodata cells left as the plot held them, and the placement returned.
TEST(AsciiGrid, InitialFilesReadGridsAndTriplesAlike) {
    std::string values;
    for (int line = 0; line < 50; ++line) {
        for (int k = 0; k < 50; ++k) values += (k ? " " : "") + std::string(line == 0 && k == 0 ? "-1" : "30.5");
        values += "\n";
    }
    const std::string grid = "ncols 50\nnrows 50\nxllcorner 7\nyllcorner 8\ncellsize 3\nnodata_value -1\n" + values;
    auto plot = std::make_unique<TPlot>();
    plot->Env[0][49] = {-5, 105};
    const auto placement = ReadEnvironmentText(grid, "g.asc", *plot);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->CellSize, 3);
    EXPECT_EQ(plot->Env[0][49].Compacted, -5);  // the nodata cell: row index 1, column index 50
    EXPECT_EQ(plot->Env[1][49].Compacted, 30.5);
    EXPECT_EQ(plot->Env[49][0].Decompacted, 69.5);
    EXPECT_FALSE(ReadEnvironmentText("1 2 40\n", "t.txt", *plot));
    EXPECT_EQ(plot->Env[0][1].Compacted, 40);

    std::string counts = grid;
    counts.replace(counts.find("30.5"), 4, "12");
    EXPECT_THROW(ReadDistributionText(grid, "g.asc", *plot), GlebixError);  // 30.5 is not a whole count
    for (std::size_t at; (at = counts.find("30.5")) != std::string::npos;) counts.replace(at, 4, "4");
    plot->Density[0][49] = 0;
    ASSERT_TRUE(ReadDistributionText(counts, "g.asc", *plot));
    EXPECT_EQ(plot->Density[0][49], 0);
    EXPECT_EQ(plot->Density[1][49], 12);
    EXPECT_EQ(plot->Density[49][0], 4);
}

// A count grid: cell (i, j), each from 1, holds i + 50 (j - 1), one number at a time
// written by `number`.
std::string CountGrid(
    const std::string &header, std::string (*number)(int) = [](int v) { return std::to_string(v); },
    const std::string &lineEnd = "\n") {
    std::string out = header;
    for (int j = 50; j >= 1; --j) {
        for (int i = 1; i <= 50; ++i) out += (i > 1 ? " " : "") + number(i + 50 * (j - 1));
        out += lineEnd;
    }
    return out;
}

const std::string PlainHead = "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n";

void ExpectCountGridRead(const TPlot &plot) {
    for (int i = 1; i <= 50; ++i)
        for (int j = 1; j <= 50; ++j) ASSERT_EQ(plot.Density[i - 1][j - 1], i + 50 * (j - 1)) << i << " " << j;
}

// What GIS programs write: reals for counts, "nan" for nodata, headers in their own
// order, a byte-order mark, old Mac line ends.
TEST(AsciiGrid, GridsAsOtherProgramsWriteThem) {
    const auto real = [](int v) { return std::to_string(v) + ".0"; };
    std::string withNan = CountGrid("NODATA_value  nan\n" + PlainHead);
    withNan.replace(withNan.rfind("\n1 2 "), 5, "\n1 NaN ");  // cell (2, 1), which keeps its count
    const std::string cases[] = {
        CountGrid(PlainHead, real),
        CountGrid("nrows 50\nNCOLS 50\ncellsize 1\nyllcorner 0\nxllcorner 0\n"),
        "\xEF\xBB\xBF" + CountGrid(PlainHead),
        CountGrid("ncols 50\rnrows 50\rxllcorner 0\ryllcorner 0\rcellsize 1\r", real, "\r"),
        CountGrid("ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ndx 1\ndy 1\n"),
        withNan,
    };
    for (const std::string &text : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        auto plot = std::make_unique<TPlot>();
        plot->Density[1][0] = 2;  // the nan cell
        const auto placement = ReadDistributionText(text, "g.asc", *plot);
        ASSERT_TRUE(placement);
        EXPECT_EQ(placement->CellSize, 1);
        ExpectCountGridRead(*plot);
    }
}

TEST(AsciiGrid, CountsMustBeWholeAndCellsSquare) {
    struct Case {
        std::string text, message;
        std::int64_t line, column;
    } cases[] = {
        {CountGrid(PlainHead, [](int v) { return v == 52 ? std::string("52.5") : std::to_string(v); }),
         "les effectifs doivent être des nombres entiers", 54, 4},
        {CountGrid(
             PlainHead, [](int v) { return v == 52 ? std::string("52.5") : std::to_string(v); }, "\r"),
         "les effectifs doivent être des nombres entiers", 54, 4},
        {CountGrid("ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ndx 1\ndy 2\n"),
         "« dx » 1 et « dy » 2 décrivent des cases non carrées", 0, 0},
        {CountGrid(PlainHead + "dx 1\n"), "décrivent des cases non carrées", 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        auto plot = std::make_unique<TPlot>();
        try {
            ReadDistributionText(c.text, "g.asc", *plot);
            ADD_FAILURE() << "accepted";
        } catch (const GlebixError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(e.Context().Line, c.line);
            EXPECT_EQ(e.Context().Column, c.column);
        }
    }
}

// Runs a shell command quietly; true when it succeeds.
bool Succeeds(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Count and share grids that GDAL converts to reals, read back as the plot written.
TEST(AsciiGrid, GridsWrittenByGdal) {
    if (!Succeeds("command -v gdal_translate")) GTEST_SKIP() << "gdal_translate absent (Debian gdal-bin)";
    testing::ScratchDir dir;
    const std::string source = dir.File("n.asc", CountGrid(PlainHead));
    ASSERT_TRUE(Succeeds("gdal_translate -q -ot Float32 -of AAIGrid " + source + " " + (dir / "f.asc")));
    ASSERT_TRUE(Succeeds("gdal_translate -q -ot Float64 -a_nodata -1 -of AAIGrid " + source + " " + (dir / "e.asc")));
    auto plot = std::make_unique<TPlot>();
    ReadDistributionFile(dir / "f.asc", *plot);
    ExpectCountGridRead(*plot);
    ReadEnvironmentFile(dir / "e.asc", *plot);
    EXPECT_EQ(plot->Env[0][0].Compacted, 1);
    EXPECT_EQ(plot->Env[49][49].Compacted, 2500);
}

// terra writes a grid of reals with "nan" for its nodata value and cells.
TEST(AsciiGrid, GridsWrittenByTerra) {
    if (!Succeeds("command -v Rscript")) GTEST_SKIP() << "Rscript absent";
    testing::ScratchDir dir;
    const std::string source = dir.File("n.asc", CountGrid(PlainHead));
    constexpr int absent = 77;
    const std::string script =
        "if (!requireNamespace('terra', quietly = TRUE)) quit(status = " + std::to_string(absent) +
        "); library(terra); r <- rast('" + source + "'); r[1] <- NA; writeRaster(r, '" + (dir / "t.asc") +
        "', datatype = 'FLT4S')";
    const int status = std::system(("Rscript -e \"" + script + "\" >/dev/null 2>&1").c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == absent) GTEST_SKIP() << "R's terra package absent";
    ASSERT_EQ(status, 0);
    ASSERT_NE(testing::ReadAll(dir / "t.asc").find("nan"), std::string::npos);
    auto plot = std::make_unique<TPlot>();
    plot->Density[0][49] = 1 + 50 * 49;  // the NA cell: the first of the top line
    ReadDistributionFile(dir / "t.asc", *plot);
    ExpectCountGridRead(*plot);
    plot->Env[0][49] = {-5, 105};
    ReadEnvironmentFile(dir / "t.asc", *plot);
    EXPECT_EQ(plot->Env[0][49].Compacted, -5);
    EXPECT_EQ(plot->Env[1][49].Compacted, 2 + 50 * 49);
}

}  // namespace
}  // namespace glebix
