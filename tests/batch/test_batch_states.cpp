// Saved states, animations and grid inputs through the batch tool: a resumed run is
// the unbroken run, a failed run saves the state before the failed step, bad state
// files stop everything, frames are the pictures of the run, and written grids read
// back as the same plot.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <sys/wait.h>

#include "BatchRun.h"
#include "MapPicture.h"
#include "Errors.h"
#include "SettingsTable.h"
#include "Sha256.h"
#include "StateFile.h"
#include "TestFiles.h"

namespace glebix::batch {
namespace {

using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;

// Runs one run of the command line `args` on `threads` dispersal threads; its record.
RunRecord RunArgs(const std::vector<std::string> &args, int threads = 1) {
    ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
    const BatchOptions &options = parsed.Options;
    const std::uint32_t master = options.Resumed ? options.Resumed->MasterSeed : *options.Seed;
    RunPlan plan = PlanRun(options, PlanStudyRun(Layout(options), 0, master));
    plan.DispersalThreads = threads;
    return RunOne(options, plan, DescribeInputs(options), ManifestFacts{master, false, {}, {}, {}});
}

// The lines of a text from line `from` (1 is the first).
std::string LinesFrom(const std::string &text, int from) {
    std::size_t start = 0;
    for (int line = 1; line < from; ++line) start = text.find('\n', start) + 1;
    return text.substr(start);
}

// The grids of a state, from its text.
std::string Grids(const SavedRun &run) {
    const std::string text = StateFileText(run);
    return text.substr(text.find("density\n"), text.rfind("sha256") - text.find("density\n"));
}

int RunProgram(const std::string &arguments) {
    const std::string command = std::string(GLEBIX_BATCH_PROGRAM) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ResumedRun, GivesTheUnbrokenRunsFiles) {
    constexpr int N = 20;
    ScratchDir dir;
    for (const char *first : {"off", "on"}) {
        const std::vector<std::string> common = {
            "--seed", "11", "--set", std::string("DispersalFirst=") + first, "--set", "DistInitMode=1"};
        auto with = [&common](std::vector<std::string> more) {
            more.insert(more.begin(), common.begin(), common.end());
            return more;
        };
        const std::string whole = dir / (std::string("whole-") + first);
        ASSERT_TRUE(RunArgs(with({"--steps", "20", "--out", whole, "--trace", whole + "/t.csv", "--save-state",
                                  whole + "/s.txt"}))
                        .Completed);
        for (const int threads : {1, 2}) {
            for (const int k : {0, 7, N - 1}) {
                SCOPED_TRACE(::testing::Message() << first << " threads " << threads << " k " << k);
                const std::string part = dir / ("part-" + std::to_string(k)), rest = dir / "rest";
                ASSERT_TRUE(
                    RunArgs(with({"--steps", std::to_string(k), "--save-state", part + "/s.txt"}), threads).Completed);
                const RunRecord resumed = RunArgs({"--resume", part + "/s.txt", "--steps", "20", "--out", rest,
                                                   "--trace", rest + "/t.csv", "--save-state", rest + "/s.txt"},
                                                  threads);
                ASSERT_TRUE(resumed.Completed) << resumed.Message;
                // Compared whole, without printing files of thousands of lines.
                EXPECT_TRUE(ReadAll(rest + "/RireVed1a1p1.txt") == ReadAll(whole + "/RireVed1a1p1.txt"));
                EXPECT_TRUE(ReadAll(rest + "/s.txt") == ReadAll(whole + "/s.txt"));
                EXPECT_TRUE(LinesFrom(ReadAll(rest + "/t.csv"), 2) == LinesFrom(ReadAll(whole + "/t.csv"), k + 2));
            }
        }
    }
}

TEST(ResumedRun, CheckpointsAndAFailedStep) {
    ScratchDir dir;
    ASSERT_TRUE(RunArgs({"--seed", "3", "--steps", "12", "--checkpoint", dir / "c.txt", "--checkpoint-every", "5",
                         "--save-state", dir / "end.txt"})
                    .Completed);
    const SavedRun checkpoint = ReadStateFile(dir / "c.txt", CheckSavedSetting);
    EXPECT_EQ(checkpoint.Step, 10);
    EXPECT_EQ(checkpoint.StepCount, 12);
    // From the checkpoint, the run ends as it did.
    ASSERT_TRUE(RunArgs({"--resume", dir / "c.txt", "--save-state", dir / "again.txt"}).Completed);
    EXPECT_TRUE(ReadAll(dir / "again.txt") == ReadAll(dir / "end.txt"));

    // Reproduction overflows in the first step, or survival once reproduction has
    // changed the counts: the state saved is the one after set-up, kept aside as a
    // failed run's, and the earlier state stays.
    const std::vector<std::vector<std::string>> faults = {
        {"--set", "Fecundity=1e300"}, {"--set", "MortalityAlpha=1e308", "--set", "CompactionC=1000"}};
    for (const std::vector<std::string> &fault : faults) {
        SCOPED_TRACE(fault[1]);
        auto with = [&fault](std::vector<std::string> args) {
            args.insert(args.end(), fault.begin(), fault.end());
            return args;
        };
        std::ofstream(dir / "f.txt") << "earlier";
        const RunRecord failed = RunArgs(with({"--seed", "3", "--save-state", dir / "f.txt"}), 2);
        ASSERT_FALSE(failed.Completed);
        EXPECT_EQ(ReadAll(dir / "f.txt"), "earlier");
        ASSERT_TRUE(RunArgs(with({"--seed", "3", "--steps", "0", "--save-state", dir / "s0.txt"})).Completed);
        const SavedRun kept = ReadStateFile(dir / "f.txt.incomplete", CheckSavedSetting),
                       setUp = ReadStateFile(dir / "s0.txt", CheckSavedSetting);
        EXPECT_EQ(kept.Step, 0);
        EXPECT_EQ(kept.Generator, setUp.Generator);
        EXPECT_TRUE(Grids(kept) == Grids(setUp));
    }

    // A state file that cannot be written ends the run with one message naming it.
    std::filesystem::create_directory(dir / "taken");
    const RunRecord unwritable = RunArgs({"--seed", "3", "--steps", "2", "--save-state", dir / "taken"});
    EXPECT_FALSE(unwritable.Completed);
    EXPECT_EQ(unwritable.Message, "Accès au fichier refusé : " + (dir / "taken"));
}

// A saved state is always one the run reached. A step that fails while the soil shares
// change leaves none whole: nothing is saved, the message says so naming the file,
// and a file already there stays. An output that fails after a whole step saves that
// step's state, aside.
TEST(ResumedRun, AFailedRunSavesOnlyAStateItReached) {
    ScratchDir dir;
    // C far below zero: the fauna's transfer overflows in the first environment update.
    std::ofstream(dir / "s.txt") << "earlier";
    const RunRecord soil = RunArgs({"--seed", "3", "--set", "SurvivalEnvSensitive=off", "--set", "CompactionC=-1e308",
                                    "--save-state", dir / "s.txt", "--out", dir / "o"});
    EXPECT_FALSE(soil.Completed);
    EXPECT_NE(soil.Message.find(" ; --save-state « " + (dir / "s.txt") + " » : aucun état enregistré"),
              std::string::npos)
        << soil.Message;
    EXPECT_EQ(ReadAll(dir / "s.txt"), "earlier");

    // The checkpoint of step 2 cannot be written.
    std::filesystem::create_directory(dir / "taken");
    const RunRecord output = RunArgs({"--seed", "3", "--steps", "5", "--checkpoint", dir / "taken",
                                      "--checkpoint-every", "2", "--save-state", dir / "c.txt"});
    EXPECT_FALSE(output.Completed);
    ASSERT_TRUE(RunArgs({"--seed", "3", "--steps", "2", "--save-state", dir / "two.txt"}).Completed);
    const SavedRun kept = ReadStateFile(dir / "c.txt.incomplete", CheckSavedSetting),
                   two = ReadStateFile(dir / "two.txt", CheckSavedSetting);
    EXPECT_EQ(kept.Step, 2);
    EXPECT_EQ(kept.Generator, two.Generator);
    EXPECT_TRUE(Grids(kept) == Grids(two));
}

TEST(ResumedRun, ReplicatesSaveIntoRunFoldersAsTheTraceDoes) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram("--seed 2 --steps 3 --replicates 2 --quiet --save-state " + (dir / "etats/s.txt") +
                         " --animate " + (dir / "a.gif")),
              0);
    const SavedRun second = ReadStateFile(dir / "etats/run-002/s.txt", CheckSavedSetting);
    EXPECT_EQ(ReadStateFile(dir / "etats/run-001/s.txt", CheckSavedSetting).RunSeed, 2u);
    EXPECT_NE(second.RunSeed, 2u);
    EXPECT_EQ(second.MasterSeed, 2u);
    EXPECT_TRUE(std::filesystem::exists(dir / "run-002/a.gif"));
}

// The table of a resumed replicate gives the run's own seed, the one its manifest names.
TEST(ResumedRun, TheTableGivesTheRunsOwnSeed) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram("--seed 5 --steps 2 --replicates 2 --quiet --save-state " + (dir / "s.txt")), 0);
    const SavedRun second = ReadStateFile(dir / "run-002/s.txt", CheckSavedSetting);
    ASSERT_EQ(RunProgram("--resume " + (dir / "run-002/s.txt") + " --steps 3 --table " + (dir / "t.csv") + " --out " +
                         (dir / "o")),
              0);
    const std::string seed = "," + std::to_string(second.RunSeed) + ",";
    const std::string table = ReadAll(dir / "t.csv");
    EXPECT_EQ(LinesFrom(table, 2).rfind("1,1" + seed, 0), 0u) << table;
    EXPECT_NE(ReadAll(dir / "o/manifest.json").find("\"seed\": " + std::to_string(second.RunSeed) + ","),
              std::string::npos);
}

// A run stopped by a signal saves the state of its last whole step, and goes on from
// it as if never stopped (wherever the signal falls, the property holds). The signal
// waits for the program to have started: its shared libraries (GDAL's) take a tenth of
// a second to load, more on a busy machine.
TEST(ResumedRun, AStopSignalSavesTheStateToGoOnFrom) {
    ScratchDir dir;
    const std::string run = std::string(GLEBIX_BATCH_PROGRAM) + " --quiet --seed 9 --steps 400 ";
    const std::string stopped = run + "--save-state " + (dir / "s.txt") + " >/dev/null 2>&1 & pid=$!; sleep 0.5; " +
                                "kill -TERM $pid; wait $pid; exit 0";
    ASSERT_EQ(std::system(stopped.c_str()), 0);
    const SavedRun saved = ReadStateFile(dir / "s.txt", CheckSavedSetting);
    EXPECT_LE(saved.Step, 400);
    ASSERT_EQ(RunProgram("--resume " + (dir / "s.txt") + " --save-state " + (dir / "r.txt")), 0);
    ASSERT_EQ(RunProgram("--seed 9 --steps 400 --save-state " + (dir / "w.txt")), 0);
    EXPECT_TRUE(ReadAll(dir / "r.txt") == ReadAll(dir / "w.txt"));
}

TEST(ResumedRun, RefusedCommandLinesRunNothing) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram("--seed 2 --steps 4 --save-state " + (dir / "s.txt")), 0);
    const std::string state = ReadAll(dir / "s.txt");
    std::string edited = state;
    edited[edited.find("generator ") + 10] ^= 1;
    std::ofstream(dir / "edited.txt") << edited;
    std::ofstream(dir / "short.txt") << state.substr(0, state.size() - 30);
    for (const std::string &args :
         {"--resume " + (dir / "edited.txt"), "--resume " + (dir / "short.txt"), "--resume " + (dir / "absent.txt"),
          "--resume " + (dir / "s.txt") + " --set Survival=0.5", "--resume " + (dir / "s.txt") + " --replicates 2",
          "--resume " + (dir / "s.txt") + " --steps 3", "--resume " + (dir / "s.txt") + " --params " + (dir / "s.txt"),
          "--resume " + (dir / "s.txt") + " --trace " + (dir / "s.txt")}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(RunProgram(args + " --out " + (dir / "never")), 2);
        EXPECT_FALSE(std::filesystem::exists(dir / "never"));
    }
    EXPECT_TRUE(ReadAll(dir / "s.txt") == state);  // the input aimed at is untouched
    // The settings read at every step may change from the next step on; the state may
    // be written back where it was read.
    ASSERT_EQ(
        RunProgram("--resume " + (dir / "s.txt") + " --steps 6 --set DecompactionD=1.5 --set EnvDynamic=off " +
                   "--save-state " + (dir / "t.txt") + " --checkpoint " + (dir / "s.txt") + " --checkpoint-every 1"),
        0);
    const SavedRun resumed = ReadStateFile(dir / "t.txt", CheckSavedSetting);
    EXPECT_TRUE(ReadAll(dir / "s.txt") == ReadAll(dir / "t.txt"));
    EXPECT_EQ(resumed.Settings.Run.DecompactionD, "1.5");
    EXPECT_FALSE(resumed.Settings.Run.EnvDynamic);
    EXPECT_EQ(resumed.Step, 6);
}

// A state edited with its checksum made right again is refused for what it says,
// naming the file, the line and the value; a state of a run from a species file,
// whose texts start with a blank, resumes.
TEST(ResumedRun, EditedStatesAreRefusedByMeaning) {
    ScratchDir dir;
    const std::string species = dir.File("espece.txt", "0.45 2 2 0 0 0.301 0 1 0 0.5\n");
    ASSERT_EQ(RunProgram("--seed 2 --steps 4 --species " + species + " --save-state " + (dir / "s.txt")), 0);
    const std::string state = ReadAll(dir / "s.txt");
    ASSERT_EQ(RunProgram("--resume " + (dir / "s.txt") + " --steps 6 --out " + (dir / "on")), 0);
    const auto sealed = [&state](const std::string &from, const std::string &to) {
        std::string text = state.substr(0, state.rfind("sha256 "));
        text.replace(text.find(from), from.size(), to);
        return text + "sha256 " + Sha256Hex(text) + "\n";
    };
    struct Case {
        std::string from, to, expected;
    } cases[] = {
        {"DecompactionD \"5.658\"", "DecompactionD \"nan\"",
         "ligne 25 : fichier d'état incorrect : paramètre DecompactionD : «nan»"},
        {"StepCount \"4\"", "StepCount \"50\"", "ligne 46 : fichier d'état incorrect : nombre de pas « step_count 4 »"},
        {"ChartCellX \"8\"", "ChartCellX \"5000\"",
         "ligne 28 : fichier d'état incorrect : paramètre ChartCellX : «5000»"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.to);
        std::ofstream(dir / "e.txt") << sealed(c.from, c.to);
        try {
            ReadStateFile(dir / "e.txt", CheckSavedSetting);
            ADD_FAILURE() << "accepted";
        } catch (const GlebixError &e) {
            EXPECT_NE(MessageWithContext(e).find("« " + std::string(dir / "e.txt") + " », " + c.expected),
                      std::string::npos)
                << MessageWithContext(e);
        }
        EXPECT_EQ(RunProgram("--resume " + (dir / "e.txt") + " --out " + (dir / "never")), 2);
        EXPECT_FALSE(std::filesystem::exists(dir / "never"));
    }
}

TEST(Animation, OneFrameAfterSetUpThenEveryKStepsAndTheLast) {
    ScratchDir dir;
    ASSERT_TRUE(
        RunArgs({"--seed", "9", "--steps", "12", "--every", "5", "--animate", dir / "a.gif", "--fps", "20"}).Completed);
    ASSERT_TRUE(RunArgs({"--seed", "9", "--steps", "0", "--save-state", dir / "s0.txt"}).Completed);
    int error = 0;
    GifFileType *gif = DGifOpenFileName((dir / "a.gif").c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->ImageCount, 4);  // steps 0, 5, 10, 12
    const QImage first = render::MapPictureOf(ReadStateFile(dir / "s0.txt", CheckSavedSetting).Plot, 0);
    const SavedImage &frame = gif->SavedImages[0];
    int differing = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const GifColorType c = gif->SColorMap->Colors[frame.RasterBits[y * first.width() + x]];
            differing += qRgb(c.Red, c.Green, c.Blue) != first.pixel(x, y);
        }
    }
    EXPECT_EQ(differing, 0);
    DGifCloseFile(gif, &error);
}

TEST(GridInput, WrittenGridsReadBackAsTheSamePlotAndKeepTheirPlace) {
    ScratchDir dir;
    ASSERT_TRUE(RunArgs({"--seed", "4", "--steps", "15", "--asc", dir / "a"}).Completed);
    const std::vector<std::string> fromGrids = {"--seed",  "1",
                                                "--steps", "0",
                                                "--set",   "EnvInitMode=0",
                                                "--set",   "EnvFilePath=" + (dir / "a/compacted.asc"),
                                                "--set",   "DistInitMode=0",
                                                "--set",   "DistFilePath=" + (dir / "a/density.asc"),
                                                "--asc",   dir / "b"};
    ASSERT_TRUE(RunArgs(fromGrids).Completed);
    EXPECT_TRUE(ReadAll(dir / "b/density.asc") == ReadAll(dir / "a/density.asc"));
    EXPECT_TRUE(ReadAll(dir / "b/compacted.asc") == ReadAll(dir / "a/compacted.asc"));

    std::string placed = ReadAll(dir / "a/density.asc");
    placed.replace(0, placed.find("cellsize"), "NCOLS 50\nNROWS 50\nxllcenter 1001\nYLLCORNER 2000.5\n");
    placed.replace(placed.find("cellsize 1"), 10, "cellsize 2");
    std::ofstream(dir / "placed.asc") << placed;
    ASSERT_TRUE(RunArgs({"--seed", "1", "--steps", "2", "--set", "DistInitMode=0", "--set",
                         "DistFilePath=" + (dir / "placed.asc"), "--asc", dir / "c"})
                    .Completed);
    EXPECT_EQ(ReadAll(dir / "c/compacted.asc").substr(0, 61),
              "ncols 50\nnrows 50\nxllcorner 1000\nyllcorner 2000.5\ncellsize 2\n");
}

}  // namespace
}  // namespace glebix::batch
