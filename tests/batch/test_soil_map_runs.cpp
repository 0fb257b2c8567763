// --map through the batch tool: a constant map writes the number's very outputs, the
// manifest lists each map with its checksum, --repeat refuses a map changed since, and
// a bad map or a setting without one is refused, naming it.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "BatchMain.h"
#include "TestFiles.h"
#include "../common/BatchProgram.h"

using namespace glebix;
using namespace glebix::batch;
using glebix::testing::ReadAll;
using glebix::testing::RunProgram;
using glebix::testing::ScratchDir;
using glebix::testing::WriteAll;

namespace {

// A 50 x 50 grid of the text `value` in every cell but row `i`, column `j` (each from
// 1; 0 for none), which holds `other`.
std::string Grid(const std::string &value, int i = 0, int j = 0, const std::string &other = "") {
    std::string out = "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -9999\n";
    for (int line = 50; line >= 1; --line)
        for (int row = 1; row <= 50; ++row) out += (row == i && line == j ? other : value) + (row < 50 ? " " : "\n");
    return out;
}

// The run's outputs of `arguments` in the folder `out`: its result file and trace.
std::string Outputs(const std::vector<std::string> &arguments, const std::string &out) {
    std::vector<std::string> args = {"--seed", "11", "--steps", "25",         "--set",  "Survival=0.6",
                                     "--out",  out,  "--trace", out + ".csv", "--quiet"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(BatchMain(args), 0);
    return ReadAll(out + "/RireVed1a1p1.txt") + ReadAll(out + ".csv");
}

}  // namespace

TEST(SoilMapRuns, AConstantMapWritesTheNumbersOutputs) {
    ScratchDir dir;
    const std::string c = dir.File("c.asc", Grid("0.301")), d = dir.File("d.asc", Grid("5.658"));
    const std::string number = Outputs({}, dir / "number");
    ASSERT_FALSE(number.empty());
    EXPECT_EQ(Outputs({"--map", "CompactionC=" + c}, dir / "c"), number);
    EXPECT_EQ(Outputs({"--map", "DecompactionD=" + d, "--map", "CompactionC=" + c}, dir / "both"), number);
    // The setting by its name is the same thing.
    EXPECT_EQ(Outputs({"--set", "DecompactionDMapPath=" + d}, dir / "d"), number);
    // A map that varies changes the run.
    const std::string varied = dir.File("v.asc", Grid("0.301", 25, 25, "0.05"));
    EXPECT_NE(Outputs({"--map", "CompactionC=" + varied}, dir / "v"), number);
    // A run without a map names none in its manifest, as before maps.
    EXPECT_EQ(ReadAll(dir / "number/manifest.json").find("MapPath"), std::string::npos);
}

TEST(SoilMapRuns, TheManifestRecordsTheMapAndRepeatChecksIt) {
    ScratchDir dir;
    const std::string map = dir.File("texture.asc", Grid("0.2", 10, 10, "0.9"));
    Outputs({"--map", "CompactionC=" + map}, dir / "out");
    const std::string manifest = ReadAll(dir / "out/manifest.json");
    EXPECT_NE(manifest.find("\"CompactionCMapPath\": \"" + map + "\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("\"compaction_c_map\""), std::string::npos) << manifest;
    ASSERT_EQ(BatchMain({"--repeat", dir / "out/manifest.json", "--out", dir / "again", "--quiet"}), 0);
    EXPECT_EQ(ReadAll(dir / "again/RireVed1a1p1.txt"), ReadAll(dir / "out/RireVed1a1p1.txt"));
    WriteAll(map, Grid("0.2", 10, 10, "0.8"));
    EXPECT_NE(RunProgram("--repeat " + (dir / "out/manifest.json") + " --out " + (dir / "third"), dir / "said.txt"), 0);
    EXPECT_NE(ReadAll(dir / "said.txt").find("has changed since the original run"), std::string::npos);
}

TEST(SoilMapRuns, BadMapsAndNamesAreRefused) {
    ScratchDir dir;
    const std::string bad = dir.File("bad.asc", Grid("0.3", 4, 7, "-9999"));
    EXPECT_NE(RunProgram("--steps 2 --map DecompactionD=" + bad, dir / "said.txt"), 0);
    const std::string said = ReadAll(dir / "said.txt");
    EXPECT_NE(said.find("bad.asc"), std::string::npos) << said;
    EXPECT_NE(said.find("row 4, column 7"), std::string::npos) << said;
    EXPECT_NE(RunProgram("--steps 2 --map Survival=" + bad, dir / "said.txt"), 0);
    EXPECT_NE(ReadAll(dir / "said.txt").find("CompactionC, DecompactionD"), std::string::npos);
    EXPECT_NE(RunProgram("--steps 2 --map CompactionC", dir / "said.txt"), 0);
    EXPECT_NE(ReadAll(dir / "said.txt").find("NAME=FILE"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "RireVed1a1p1.txt"));
}

// A resumed run takes its maps from the state: a new number for a setting that a map
// replaces would change nothing, so it is refused, naming the map, and the state stays.
TEST(SoilMapRuns, AResumedRunRefusesANumberItsMapReplaces) {
    ScratchDir dir;
    const std::string map = dir.File("d.asc", Grid("5.5", 3, 3, "2"));
    ASSERT_EQ(RunProgram("--seed 2 --steps 4 --map DecompactionD=" + map + " --save-state " + (dir / "m.state")), 0);
    ASSERT_EQ(RunProgram("--seed 2 --steps 4 --save-state " + (dir / "n.state")), 0);
    const std::string saved = ReadAll(dir / "m.state");
    EXPECT_EQ(RunProgram("--resume " + (dir / "m.state") + " --steps 8 --set DecompactionD=9 --save-state " +
                             (dir / "m.state"),
                         dir / "said.txt"),
              2);
    const std::string said = ReadAll(dir / "said.txt");
    EXPECT_NE(said.find("DecompactionD"), std::string::npos) << said;
    EXPECT_NE(said.find("d.asc"), std::string::npos) << said;
    EXPECT_EQ(ReadAll(dir / "m.state"), saved);
    // Without a map the number may change on resuming, as before.
    EXPECT_EQ(RunProgram("--resume " + (dir / "n.state") + " --steps 8 --set DecompactionD=9"), 0);
}
