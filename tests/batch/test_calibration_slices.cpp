// --calibrate in slices, as the program ships: each batch's runs made by slice tasks
// (--slice I/N), then gathered (--gather) until the results are written. Whatever the
// slice counts, the results are the unbroken calibration's bytes; slice files that do
// not make the batch are refused by name, and nothing is lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "BatchProgram.h"
#include "CalibrationObservations.h"
#include "TestFiles.h"

using namespace glebix::testing;

namespace {

constexpr int Written = 0, Refused = 2, BatchPending = 3;
constexpr int MostGatherings = 40;  // far above the generations of a budget of 600 runs
const std::string &Plot = CalibrationPlot;

// The command of a calibration but its folder; `extra` adds options.
std::string Calibration(ScratchDir &dir, const std::string &method, const std::string &samples,
                        const std::string &extra = "") {
    const std::string factors = dir.File("factors.csv", "name,low,high\nSurvival,0.2,0.8\n");
    return "--calibrate --method " + method + " --factors " + factors + " --observed " + SurvivalObservations(dir) +
           " --samples " + samples + " --accept 0.1 --seed 3" + Plot + extra + " --out ";
}

// The manifest without the lines that honestly differ: its time and its command line.
std::string ManifestBody(const std::string &text, const std::string &folder) {
    std::istringstream lines(text);
    std::string line, out;
    bool inArguments = false;
    while (std::getline(lines, line)) {
        if (line.find("\"arguments\"") != std::string::npos)
            inArguments = line.find(']') == std::string::npos;
        else if (inArguments)
            inArguments = line.find(']') == std::string::npos;
        else if (line.find("\"created\"") == std::string::npos && line.find(folder) == std::string::npos)
            out += line + "\n";
    }
    return out;
}

void ExpectSameResults(const std::string &sliced, const std::string &unbroken) {
    for (const char *name : {"/posterior.csv", "/posterior-summary.csv"})
        EXPECT_EQ(ReadAll(sliced + name), ReadAll(unbroken + name)) << name;
    EXPECT_EQ(ManifestBody(ReadAll(sliced + "/manifest.json"), sliced),
              ManifestBody(ReadAll(unbroken + "/manifest.json"), unbroken));
}

// Slice tasks then one gathering, over and over as a job script does, with the slice
// counts in turn; the last gathering's status.
int RunInSlices(const std::string &command, const std::string &out, const std::vector<int> &counts) {
    for (int round = 0; round < MostGatherings; ++round) {
        const int n = counts[static_cast<std::size_t>(round) % counts.size()];
        for (int i = 1; i <= n; ++i)
            if (const int status =
                    RunProgram(command + out + " --slice " + std::to_string(i) + "/" + std::to_string(n));
                status != Written)
                return status;
        const int status = RunProgram(command + out + " --gather");
        if (status != BatchPending) return status;
    }
    return -1;
}

std::vector<std::string> SliceFiles(const std::string &folder) {
    std::vector<std::string> out;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind("calibration-slice-", 0) == 0) out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(CalibrationSlicesProgram, RejectionInSlicesIsTheUnbrokenCalibration) {
    ScratchDir dir;
    const std::string command = Calibration(dir, "abc-rejection", "90");
    ASSERT_EQ(RunProgram(command + dir / "unbroken"), Written);
    ASSERT_EQ(RunInSlices(command, dir / "sliced", {3}), Written);
    ExpectSameResults(dir / "sliced", dir / "unbroken");
    EXPECT_TRUE(SliceFiles(dir / "sliced").empty());  // gathered into the results
    // Observed grids compared cell by cell: a slice holds each run's summaries, the same.
    const std::string grids = dir / "truth-grids";
    ASSERT_EQ(RunProgram("--seed 5 --set Survival=0.42 --asc " + grids + Plot), 0);
    const std::string cells = Calibration(dir, "abc-rejection", "60",
                                          " --observed-grid density@20:" + grids + "/density.asc --grid-compare cells");
    ASSERT_EQ(RunProgram(cells + dir / "cells-unbroken"), Written);
    ASSERT_EQ(RunInSlices(cells, dir / "cells-sliced", {2}), Written);
    ExpectSameResults(dir / "cells-sliced", dir / "cells-unbroken");
}

// Two slices in one generation, three in the next, and so on; generations made of more
// than one batch included (their batches wait in turn).
TEST(CalibrationSlicesProgram, SmcInSlicesOfChangingCountsIsTheUnbrokenCalibration) {
    ScratchDir dir;
    const std::string command = Calibration(dir, "abc-smc", "600");
    ASSERT_EQ(RunProgram(command + dir / "unbroken"), Written);
    ASSERT_EQ(RunInSlices(command, dir / "sliced", {2, 3}), Written);
    ExpectSameResults(dir / "sliced", dir / "unbroken");
    EXPECT_FALSE(std::filesystem::exists(dir / "sliced/abc-smc-state.txt"));
    EXPECT_TRUE(SliceFiles(dir / "sliced").empty());
}

// A slice task killed before its file (or never run) leaves the batch short: the
// gathering names the slice and keeps everything; the task run again completes it. A
// slice of another count, a duplicate or an edited file is refused by name, and the
// calibration goes on as unbroken once it is taken away.
TEST(CalibrationSlicesProgram, SlicesThatDoNotMakeTheBatchAreRefusedAndNothingIsLost) {
    ScratchDir dir;
    const std::string command = Calibration(dir, "abc-smc", "600");
    ASSERT_EQ(RunProgram(command + dir / "unbroken"), Written);
    const std::string out = dir / "sliced", said = dir / "said.txt";
    const auto slice = [&](const std::string &which) { return RunProgram(command + out + " --slice " + which); };
    ASSERT_EQ(slice("1/2"), Written);
    ASSERT_EQ(slice("2/2"), Written);
    ASSERT_EQ(RunProgram(command + out + " --gather"), BatchPending);  // the prior generation kept
    const std::string state = ReadAll(out + "/abc-smc-state.txt");
    const auto refusedNaming = [&](const std::string &named) {
        EXPECT_EQ(RunProgram(command + out + " --gather", said), Refused);
        EXPECT_NE(ReadAll(said).find(named), std::string::npos) << ReadAll(said);
        EXPECT_EQ(ReadAll(out + "/abc-smc-state.txt"), state);
        EXPECT_FALSE(std::filesystem::exists(out + "/posterior.csv"));
    };
    refusedNaming("no slice of generation 2, batch 1");
    ASSERT_EQ(slice("1/3"), Written);
    ASSERT_EQ(slice("3/3"), Written);
    refusedNaming("lacks slices 2 of 3");
    const std::vector<std::string> files = SliceFiles(out);
    ASSERT_EQ(files.size(), 2u);
    const std::string first = ReadAll(files[0]);
    // Another count.
    ASSERT_EQ(slice("2/2"), Written);
    refusedNaming("2of2.txt\" is slice 2/2, and the other slices of its batch are of 3");
    std::filesystem::remove(out + "/calibration-slice-g2-b1-2of2.txt");
    ASSERT_EQ(slice("2/3"), Written);
    // A duplicate.
    dir.File("sliced/calibration-slice-copy.txt", first);
    refusedNaming("calibration-slice-copy.txt\" are the same slice");
    std::filesystem::remove(out + "/calibration-slice-copy.txt");
    // An edited value.
    std::string edited = first;
    edited.replace(edited.find("\nrun ") + 5, 1, edited[edited.find("\nrun ") + 5] == '9' ? "8" : "9");
    dir.File("sliced/calibration-slice-g2-b1-1of3.txt", edited);
    refusedNaming("1of3.txt\" is not an intact calibration slice");
    // Its slice run again (all three, as a job array would), the batch is whole.
    for (const char *which : {"1/3", "2/3", "3/3"}) ASSERT_EQ(slice(which), Written);
    // What was refused is all there: the calibration ends as the unbroken one.
    ASSERT_EQ(RunInSlices(command, out, {3}), Written);
    ExpectSameResults(out, dir / "unbroken");
}

TEST(CalibrationSlicesProgram, SliceOptionsOutOfPlaceAreRefused) {
    ScratchDir dir;
    const std::string command = Calibration(dir, "abc-rejection", "30");
    const std::string said = dir / "said.txt";
    EXPECT_EQ(RunProgram(command + dir / "a --slice 1/2 --gather", said), Refused);
    EXPECT_NE(ReadAll(said).find("--slice and --gather do not go together"), std::string::npos);
    EXPECT_EQ(RunProgram("--gather --steps 3 --out " + dir / "b", said), Refused);
    EXPECT_NE(ReadAll(said).find("--gather needs --calibrate"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    EXPECT_FALSE(std::filesystem::exists(dir / "b"));
    // A run's --slice is still a share of a design's points.
    const std::string design = dir.File("design.csv", "Survival\n0.3\n0.4\n0.5\n");
    EXPECT_EQ(RunProgram("--design " + design + " --seed 1 --steps 3 --slice 2/3 --table " + dir / "t.csv"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "t.csv"));
}

// A slice of another calibration's batch at the same place (another seed) is refused by
// the gathering, and never replaced by a slice task.
TEST(CalibrationSlicesProgram, ASliceOfAnotherBatchIsRefusedAndKept) {
    ScratchDir dir;
    const std::string command = Calibration(dir, "abc-rejection", "60");
    ASSERT_EQ(RunProgram(command + dir / "unbroken"), Written);
    const std::string out = dir / "sliced", said = dir / "said.txt";
    for (const char *which : {"1/3", "3/3"}) ASSERT_EQ(RunProgram(command + out + " --slice " + which), Written);
    std::string other = command;
    other.replace(other.find("--seed 3"), 8, "--seed 4");
    ASSERT_EQ(RunProgram(other + dir / "other --slice 2/3"), Written);
    const std::string foreign = ReadAll(dir / "other/calibration-slice-g1-b1-2of3.txt");
    const std::string place = dir.File("sliced/calibration-slice-g1-b1-2of3.txt", foreign);
    EXPECT_EQ(RunProgram(command + out + " --gather", said), Refused);
    EXPECT_NE(ReadAll(said).find("2of3.txt\" is a slice of another batch"), std::string::npos) << ReadAll(said);
    EXPECT_EQ(RunProgram(command + out + " --slice 2/3", said), Refused);
    EXPECT_NE(ReadAll(said).find("it is kept"), std::string::npos) << ReadAll(said);
    EXPECT_EQ(ReadAll(place), foreign);
    EXPECT_FALSE(std::filesystem::exists(out + "/posterior.csv"));
    std::filesystem::remove(place);
    ASSERT_EQ(RunProgram(command + out + " --slice 2/3"), Written);
    ASSERT_EQ(RunProgram(command + out + " --gather"), Written);
    ExpectSameResults(out, dir / "unbroken");
}

// A slice task stopped by a signal leaves no slice file, not even half of one; run again,
// it writes its slice.
TEST(CalibrationSlicesProgram, AStoppedSliceTaskLeavesNoFileAndRunsAgain) {
    ScratchDir dir;
    std::string command = Calibration(dir, "abc-rejection", "3000");
    command.replace(command.find("PlotWidth=10"), 12, "PlotWidth=20");
    const std::string out = dir / "sliced";
    const std::string script = "LANGUAGE=en " + std::string(GLEBIX_BATCH_PROGRAM) + " " + command + out +
                               " --slice 1/2 & pid=$!; sleep 0.3; kill -INT $pid 2>/dev/null; wait $pid; echo $? > " +
                               dir / "status";
    std::system(("sh -c '" + script + "' >/dev/null 2>&1").c_str());
    if (ReadAll(dir / "status") != "130\n") GTEST_SKIP() << "ended before the signal: " << ReadAll(dir / "status");
    if (std::filesystem::exists(out)) {
        for (const auto &entry : std::filesystem::directory_iterator(out)) ADD_FAILURE() << "left " << entry.path();
    }
    ASSERT_EQ(RunProgram(command + out + " --slice 1/2"), Written);
    EXPECT_EQ(SliceFiles(out).size(), 1u);
}
