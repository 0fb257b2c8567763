// The habitat mask: its grid read with the refusals that name the file and the cell;
// a set-up that draws as without it; a mask of every cell that changes nothing; runs
// that keep their individuals (counted as gone or lost); and a saved state that resumes
// into the unbroken run.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Errors.h"
#include "Habitat.h"
#include "StateFile.h"
#include "TestSupport.h"

namespace glebix {
namespace {

using testing::ScratchDir;

std::optional<std::string> AnySetting(std::string_view, std::string_view) { return std::nullopt; }

// A 50 x 50 grid whose cell (i, j), each from 1, holds `value(i, j)`.
template <typename Value>
std::string Grid(Value value, const std::string &noData = "-1") {
    std::string text = AsciiGridHeader({}, {}) + "nodata_value " + noData + "\n";
    for (int j = GridSide; j >= 1; --j) {
        for (int i = 1; i <= GridSide; ++i) text += std::string(i > 1 ? " " : "") + value(i, j);
        text += "\n";
    }
    return text;
}

// Roads along row 10 (0), a field margin along column 30 (nodata), habitat elsewhere.
std::string Roads(int, int) { return "1"; }
std::string Mask(int i, int j) { return i == 10 ? "0" : j == 30 ? "-1" : "1"; }
bool OffMask(int i, int j) { return i == 10 || j == 30; }

std::unique_ptr<Simul> SetUpWith(const std::string &habitat, std::uint32_t seed = 7u) {
    auto s = std::make_unique<Simul>();
    s->Settings.Initial.DistInitMode = DistModeRandom;
    s->Settings.Initial.HabitatFilePath = habitat;
    s->SetUpRun(seed);
    return s;
}

TEST(Habitat, SetUpEmptiesTheCellsOffTheHabitatAndDrawsAsWithout) {
    ScratchDir dir;
    const auto plain = SetUpWith("");
    const auto masked = SetUpWith(dir.File("habitat.asc", Grid(Mask)));
    EXPECT_EQ(plain->Plot.Habitat.Size(), 0u);
    EXPECT_EQ(masked->RandomSeed, plain->RandomSeed);
    EXPECT_TRUE(masked->Plot.Env == plain->Plot.Env);
    for (int i = 1; i <= GridSide; ++i)
        for (int j = 1; j <= GridSide; ++j) {
            EXPECT_EQ(masked->Plot.Habitat[i - 1][j - 1], OffMask(i, j) ? 0 : 1);
            EXPECT_EQ(masked->Plot.Density[i - 1][j - 1], OffMask(i, j) ? 0 : plain->Plot.Density[i - 1][j - 1]);
        }
}

TEST(Habitat, ValuesOtherThanOneAndZeroAreRefusedWithTheFileAndTheCell) {
    ScratchDir dir;
    const std::string bad = dir.File("bad.asc", Grid([](int i, int j) { return i == 4 && j == 47 ? "2" : "1"; }));
    try {
        SetUpWith(bad);
        FAIL() << "accepted";
    } catch (const GlebixError &e) {
        EXPECT_EQ(e.Context().Setting, "HabitatFilePath");
        EXPECT_EQ(e.Context().Path, bad);
        EXPECT_EQ(e.Context().GridLine, 4);  // column index 47 is the fourth line from the top
        EXPECT_EQ(e.Context().GridColumn, 4);
        EXPECT_NE(std::string(e.what()).find("« 2 »"), std::string::npos) << e.what();
    }
    // "1.0" and "0.0" are the values 1 and 0; a triples file is no grid.
    EXPECT_NO_THROW(SetUpWith(dir.File("reals.asc", Grid([](int i, int) { return i % 2 ? "1.0" : "0.0"; }))));
    EXPECT_THROW(SetUpWith(dir.File("triples.txt", "1 1 1\n")), GlebixError);
    // The grid is on the plot: another size is refused.
    auto other = std::make_unique<Simul>();
    other->Settings.Plot.Width = "40";
    other->Settings.Plot.WidthGiven = true;
    other->Settings.Initial.HabitatFilePath = dir.File("h.asc", Grid(Roads));
    EXPECT_THROW(other->SetUpRun(1u), GlebixError);
}

TEST(Habitat, TheEnvironmentFilesUnnamedCellsAreNoHabitatWhenAsked) {
    ScratchDir dir;
    Simul s;
    s.Settings.Initial.EnvInitMode = EnvModeFile;
    s.Settings.Initial.EnvFilePath = dir.File("milieu.txt", "1 1 80\n2 1 10\n");
    s.Settings.Initial.DistInitMode = DistModeHomogeneous;
    s.SetUpRun(3u);
    EXPECT_EQ(s.Plot.Habitat.Size(), 0u);
    EXPECT_EQ(s.Plot.Density[5][5], 2);  // today's unnamed cells fill with fauna
    s.Settings.Initial.EnvNoDataNonHabitat = true;
    s.SetUpRun(3u);
    EXPECT_EQ(s.Plot.Habitat[0][0], 1);
    EXPECT_EQ(s.Plot.Habitat[1][0], 1);
    EXPECT_EQ(s.Plot.Habitat[5][5], 0);
    EXPECT_EQ(s.Plot.Density[5][5], 0);
    EXPECT_EQ(s.Plot.Density[0][0], 2);
    EXPECT_EQ(s.Plot.Env[5][5].Compacted, -5);
    // With a habitat file as well, both take cells off.
    s.Settings.Initial.HabitatFilePath = dir.File("h.asc", Grid([](int i, int) { return i == 2 ? "0" : "1"; }));
    s.SetUpRun(3u);
    EXPECT_EQ(s.Plot.Habitat[0][0], 1);
    EXPECT_EQ(s.Plot.Habitat[1][0], 0);
    EXPECT_EQ(s.Plot.Habitat[5][5], 0);
}

TEST(Habitat, AMaskOfEveryCellChangesNothing) {
    ScratchDir dir;
    for (const bool bounded : {false, true}) {
        auto plain = SetUpWith(""), masked = SetUpWith(dir.File("all.asc", Grid(Roads)));
        for (Simul *s : {plain.get(), masked.get()}) {
            s->Plot.Bounded = bounded;
            s->SetDispersalThreads(2);
            for (int step = 0; step < 20; ++step) s->TimeStep();
        }
        EXPECT_EQ(masked->RandomSeed, plain->RandomSeed);
        EXPECT_TRUE(masked->Plot.Density == plain->Plot.Density);
        EXPECT_TRUE(masked->Plot.Env == plain->Plot.Env);
        EXPECT_EQ(masked->Lost, 0);
    }
}

// Without births and deaths only dispersal moves individuals: every step keeps them,
// but for the emigrants and the lost; and the soil off the habitat never changes.
TEST(Habitat, EveryIndividualIsOnTheHabitatGoneOrLost) {
    ScratchDir dir;
    for (const bool bounded : {false, true}) {
        auto s = std::make_unique<Simul>();
        s->Settings.Species.Fecundity = "0";
        s->Settings.Species.Survival = "1";
        s->Settings.Species.SurvivalEnvSensitive = false;
        s->Settings.Species.DispersalSigma = "3";
        s->Settings.Initial.DistInitMode = DistModeRandom;
        s->Settings.Initial.HabitatFilePath = dir.File("h.asc", Grid(Mask));
        s->Settings.Plot.Edges = bounded ? EdgesBounded : EdgesTorus;
        s->SetUpRun(11u);
        const CellGrid<TCellEnv> soil = s->Plot.Env;
        std::int64_t total = 0, lost = 0;
        for (std::size_t c = 0; c < s->Plot.Density.Size(); ++c) total += s->Plot.Density.Data()[c];
        for (int step = 1; step <= 10; ++step) {
            s->TimeStep();
            std::int64_t now = 0;
            for (std::size_t c = 0; c < s->Plot.Density.Size(); ++c) now += s->Plot.Density.Data()[c];
            EXPECT_EQ(now, total - s->Emigrants - s->Lost) << "step " << step;
            total = now;
            lost += s->Lost;
        }
        EXPECT_GT(lost, 0);
        for (int i = 1; i <= GridSide; ++i)
            for (int j = 1; j <= GridSide; ++j)
                if (OffMask(i, j)) {
                    EXPECT_EQ(s->Plot.Density[i - 1][j - 1], 0);
                    EXPECT_TRUE(s->Plot.Env[i - 1][j - 1] == soil[i - 1][j - 1]);
                }
    }
}

TEST(Habitat, ASavedStateKeepsTheMaskAndResumesIntoTheUnbrokenRun) {
    ScratchDir dir;
    const std::string habitat = dir.File("h.asc", Grid(Mask));
    constexpr int N = 12;
    auto whole = SetUpWith(habitat);
    for (int step = 1; step <= N; ++step) whole->TimeStep();
    auto part = SetUpWith(habitat);
    for (int step = 1; step <= 5; ++step) part->TimeStep();
    SavedRun state = CaptureRun(*part, 7u, 7u, 5, N);
    state.Settings.Run.StepCount = std::to_string(N);
    const std::string text = StateFileText(state);
    EXPECT_EQ(text.substr(0, 15), "GLEBIX-STATE 3\n");
    // The file goes: the state holds the cells, not only the path.
    std::filesystem::remove(habitat);
    const SavedRun saved = ParseStateFile(text, "s", AnySetting);
    EXPECT_TRUE(saved.Plot.Habitat == part->Plot.Habitat);
    Simul resumed;
    RestoreRun(saved, resumed);
    for (int step = 6; step <= N; ++step) resumed.TimeStep();
    EXPECT_TRUE(resumed.Plot.Density == whole->Plot.Density);
    EXPECT_TRUE(resumed.Plot.Env == whole->Plot.Env);
    EXPECT_EQ(resumed.RandomSeed, whole->RandomSeed);

    // A state whose cell off the habitat holds individuals is no run's.
    SavedRun forged = saved;
    forged.Plot.Density[9][0] = 3;
    try {
        ParseStateFile(StateFileText(forged), "s", AnySetting);
        FAIL() << "accepted";
    } catch (const GlebixError &e) { EXPECT_NE(std::string(e.what()).find("10, 1"), std::string::npos) << e.what(); }
}

}  // namespace
}  // namespace glebix
