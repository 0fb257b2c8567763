// Schedules of management events through the shipped batch tool: every fault stops
// everything before a file is written, --validate refuses what the run refuses in the
// same words, an event after the run's last step is a fault unless the run saves its
// state, a schedule with no event changes no byte, a
// design over schedules gives one table, the manifest and --repeat check the schedule
// and its masks, and a run resumed before an event meets it as the unbroken run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/wait.h>

#include "TestFiles.h"

namespace {

using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;

constexpr const char *Header = "step,every,action,where,value\n";

// The program run in `dir` with `arguments`; its exit status, its standard error in `err`.
int Batch(const ScratchDir &dir, const std::string &arguments, std::string *err = nullptr) {
    const std::string command = "cd '" + dir.Path() + "' && " + GLEBIX_BATCH_PROGRAM + " " + arguments +
                                " >/dev/null 2>" + dir.Sub("stderr.txt");
    const int status = std::system(command.c_str());
    if (err) *err = ReadAll(dir.Sub("stderr.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A mask of the 50 x 50 plot: rows i of 10 to 12 inside.
std::string Track() {
    std::string grid = "ncols 50\nnrows 50\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int line = 0; line < 50; ++line)
        for (int i = 1; i <= 50; ++i) grid += (i >= 10 && i <= 12 ? "1" : "0") + std::string(i == 50 ? "\n" : " ");
    return grid;
}

TEST(EventsProgram, EveryFaultStopsEverythingBeforeAFileIsWritten) {
    ScratchDir dir;
    dir.File("track.asc", Track());
    dir.File("small.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 0\n0 1\n");
    const std::pair<const char *, const char *> faults[] = {
        {"5,,plough,all,1\n", "ev.csv:3: colonne action"},
        {"5,,remove_fauna,all,0,5\n", "ev.csv:3: colonne value"},
        {"5,,add_compacted,all,\"2,5\"\n", "ev.csv:3: colonne value"},
        {"0,,set_compacted,all,10\n", "ev.csv:3: colonne step"},
        {"5,,set_compacted,small.asc,10\n", "ev.csv:3: colonne where"},
        {"5,,remove_fauna,track.asc,1.5\n", "ev.csv:3: colonne value"},
        {"5,,set,NoSuch,1\n", "ev.csv:3: colonne where"},
    };
    for (const auto &[line, place] : faults) {
        dir.File("ev.csv", std::string(Header) + "1,,set_compacted,track.asc,60\n" + line);
        std::string err;
        EXPECT_EQ(Batch(dir, "--seed 1 --steps 5 --events ev.csv --out out --trace t.csv", &err), 2) << line;
        EXPECT_NE(err.find(place), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(dir.Sub("out"))) << line;
        EXPECT_FALSE(std::filesystem::exists(dir.Sub("t.csv"))) << line;
        EXPECT_EQ(Batch(dir, "--seed 1 --steps 5 --events ev.csv --validate"), 2) << line;
    }
    EXPECT_EQ(Batch(dir, "--seed 1 --steps 5 --events missing.csv --out out"), 2);
}

// Every file under `dir` but the captured standard error.
std::set<std::string> FilesIn(const ScratchDir &dir) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir.Path()))
        if (entry.path().filename() != "stderr.txt") names.insert(entry.path().string());
    return names;
}

// The lines of `text` but the last: a refused run's help hint.
std::string AllButLastLine(const std::string &text) {
    const auto last = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

TEST(EventsProgram, ValidateRefusesWhatTheRunRefusesInTheSameWords) {
    ScratchDir dir;
    dir.File("track.asc", Track());
    dir.File("two.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 0\n0 2\n");
    std::string odd = Track();
    odd[odd.rfind('0')] = '2';
    dir.File("odd.asc", odd);
    const std::string faults[] = {
        std::string(Header) + "5,,plough,all,1\n",
        std::string(Header) + "5,,remove_fauna,all,0,5\n",
        std::string(Header) + "5,,set_compacted,two.asc,10\n",
        std::string(Header) + "5,,set_compacted,odd.asc,10\n",
        std::string(Header) + "5,,set_compacted,gone.asc,10\n",
        std::string(Header) + "5,,set,CompactionC,1\n",
        std::string(Header) + "2,3,add_compacted,track.asc,5\n9,,set_compacted,track.asc,90\n",
        std::string(Header) + "6,,remove_fauna,all,1.5\n7,,set_compacted,all,50\n",
        "step,when,action,where,value\n",
    };
    const std::string arguments = "--seed 1 --steps 5 --events ev.csv --out out --trace t.csv --asc grids ";
    for (const std::string &schedule : faults) {
        dir.File("ev.csv", schedule);
        const std::set<std::string> before = FilesIn(dir);
        std::string ran, validated;
        EXPECT_EQ(Batch(dir, arguments, &ran), 2) << schedule;
        EXPECT_EQ(FilesIn(dir), before) << schedule;
        EXPECT_EQ(Batch(dir, arguments + "--validate", &validated), 2) << schedule;
        EXPECT_EQ(FilesIn(dir), before) << schedule;
        EXPECT_FALSE(validated.empty()) << schedule;
        EXPECT_EQ(AllButLastLine(ran), validated) << schedule;
    }
    // The late events are each said, by their line and their step.
    dir.File("ev.csv",
             std::string(Header) + "6,,set_compacted,all,50\n5,,set_compacted,all,50\n8,2,set,EnvDynamic,off\n");
    std::string err;
    EXPECT_EQ(Batch(dir, arguments + "--validate", &err), 2);
    EXPECT_NE(err.find("ev.csv:2: colonne step : «6»"), std::string::npos) << err;
    EXPECT_NE(err.find("ev.csv:4: colonne step : «8»"), std::string::npos) << err;
    EXPECT_EQ(err.find("ev.csv:3:"), std::string::npos) << err;
}

TEST(EventsProgram, AGoodScheduleValidatesAndWritesNothing) {
    ScratchDir dir;
    dir.File("track.asc", Track());
    dir.File("ev.csv", std::string(Header) + "1,3,set_compacted,track.asc,90\n2,,remove_fauna,track.asc,0.5\n");
    const std::set<std::string> before = FilesIn(dir);
    std::string err;
    EXPECT_EQ(
        Batch(dir, "--seed 1 --steps 4 --events ev.csv --out out --trace t.csv --save-state s.txt --validate", &err), 0)
        << err;
    EXPECT_EQ(FilesIn(dir), before);
    // A run that saves its state keeps the events after its last step for the resumed run.
    dir.File("later.csv", std::string(Header) + "9,,set_compacted,track.asc,90\n");
    EXPECT_EQ(Batch(dir, "--seed 1 --steps 4 --events later.csv --save-state s.txt --validate"), 0);
    EXPECT_EQ(Batch(dir, "--seed 1 --steps 4 --events later.csv --checkpoint c.txt --checkpoint-every 2 --validate"),
              0);
    EXPECT_EQ(Batch(dir, "--seed 1 --steps 4 --events later.csv --out out"), 2);
    // A repeat runs what its manifest's run ran.
    ASSERT_EQ(Batch(dir, "--seed 1 --steps 4 --events later.csv --save-state s.txt --out first"), 0);
    EXPECT_EQ(Batch(dir, "--repeat first/manifest.json --out again --validate"), 0);
    EXPECT_EQ(Batch(dir, "--repeat first/manifest.json --out again"), 0);
}

// A design's points are refused by their own schedules, each point named.
TEST(EventsProgram, ADesignNamesThePointWhoseScheduleIsRefused) {
    ScratchDir dir;
    dir.File("early.csv", std::string(Header) + "3,,set_compacted,all,95\n");
    dir.File("late.csv", std::string(Header) + "9,,set_compacted,all,95\n");
    dir.File("design.csv", "EventsFilePath\nearly.csv\nlate.csv\nearly.csv\n");
    std::string ran, validated;
    EXPECT_EQ(Batch(dir, "--design design.csv --seed 4 --steps 5 --table study.csv", &ran), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.Sub("study.csv")));
    EXPECT_EQ(Batch(dir, "--design design.csv --seed 4 --steps 5 --table study.csv --validate", &validated), 2);
    EXPECT_EQ(AllButLastLine(ran), validated);
    EXPECT_NE(validated.find("point 2"), std::string::npos) << validated;
    EXPECT_EQ(validated.find("point 1"), std::string::npos) << validated;
    EXPECT_EQ(validated.find("point 3"), std::string::npos) << validated;
    EXPECT_EQ(Batch(dir, "--design design.csv --seed 4 --steps 9 --table study.csv --validate"), 0);
}

TEST(EventsProgram, AScheduleWithoutEventsChangesNoByte) {
    ScratchDir dir;
    dir.File("ev.csv", std::string("# nothing planned yet\n") + Header);
    ASSERT_EQ(Batch(dir, "--seed 9 --steps 40 --events ev.csv --out a --asc ag --trace a.csv"), 0);
    ASSERT_EQ(Batch(dir, "--seed 9 --steps 40 --out b --asc bg --trace b.csv"), 0);
    EXPECT_EQ(ReadAll(dir.Sub("a/RireVed1a1p1.txt")), ReadAll(dir.Sub("b/RireVed1a1p1.txt")));
    EXPECT_EQ(ReadAll(dir.Sub("ag/density.asc")), ReadAll(dir.Sub("bg/density.asc")));
    EXPECT_EQ(ReadAll(dir.Sub("ag/compacted.asc")), ReadAll(dir.Sub("bg/compacted.asc")));
    EXPECT_EQ(ReadAll(dir.Sub("a.csv")), ReadAll(dir.Sub("b.csv")));
}

// One table of a design over two schedules: the runs differ from the first event on.
TEST(EventsProgram, ADesignOverSchedulesGivesOneTable) {
    ScratchDir dir;
    dir.File("track.asc", Track());
    dir.File("none.csv", Header);
    dir.File("pass.csv", std::string(Header) + "5,,set_compacted,track.asc,95\n");
    dir.File("design.csv", "EventsFilePath\nnone.csv\npass.csv\n");
    ASSERT_EQ(Batch(dir, "--design design.csv --seed 4 --steps 8 --table study.csv --quiet"), 0);
    const std::string table = ReadAll(dir.Sub("study.csv"));
    EXPECT_EQ(table.substr(0, table.find('\n')).find("point,replicate,seed,EventsFilePath,step"), 0u);
    EXPECT_NE(table.find("\n1,1,4,none.csv,8,"), std::string::npos);
    EXPECT_NE(table.find("\n2,1,4,pass.csv,8,"), std::string::npos);
    auto rowOf = [&table](const std::string &start) {
        const auto at = table.find("\n" + start);
        const auto from = table.find(',', at + start.size());
        return table.substr(from, table.find('\n', at + 1) - from);
    };
    EXPECT_EQ(rowOf("1,1,4,none.csv,4,"), rowOf("2,1,4,pass.csv,4,"));
    EXPECT_NE(rowOf("1,1,4,none.csv,5,"), rowOf("2,1,4,pass.csv,5,"));
}

TEST(EventsProgram, ManifestAndRepeatHoldTheScheduleAndItsMasks) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.Sub("plan"));
    dir.File("plan/track.asc", Track());
    dir.File("plan/ev.csv", std::string(Header) + "3,4,add_compacted,track.asc,25\n6,,set,DecompactionD,1.5\n");
    ASSERT_EQ(Batch(dir, "--seed 2 --steps 12 --events plan/ev.csv --out first"), 0);
    const auto manifest = nlohmann::json::parse(ReadAll(dir.Sub("first/manifest.json")));
    // The settings the run began with: a repeat sets D at step 6 again.
    EXPECT_EQ(manifest["settings"]["DecompactionD"], "5.658");
    EXPECT_EQ(manifest["settings"]["EventsFilePath"], "plan/ev.csv");
    std::vector<std::string> roles;
    for (const auto &input : manifest["inputs"]) {
        roles.push_back(input["role"]);
        EXPECT_EQ(input["sha256"].get<std::string>().size(), 64u);
    }
    EXPECT_EQ(roles, (std::vector<std::string>{"events", "event_mask"}));
    EXPECT_EQ(manifest["inputs"][1]["path"], "plan/track.asc");
    ASSERT_EQ(Batch(dir, "--repeat first/manifest.json --out again"), 0);
    EXPECT_EQ(ReadAll(dir.Sub("again/RireVed1a1p1.txt")), ReadAll(dir.Sub("first/RireVed1a1p1.txt")));
    dir.File("plan/track.asc", Track() + "\n");
    std::string err;
    EXPECT_EQ(Batch(dir, "--repeat first/manifest.json --out changed", &err), 2);
    EXPECT_NE(err.find("event_mask"), std::string::npos) << err;
    // A run without a schedule records none.
    ASSERT_EQ(Batch(dir, "--seed 2 --steps 1 --out plain"), 0);
    EXPECT_FALSE(nlohmann::json::parse(ReadAll(dir.Sub("plain/manifest.json")))["settings"].contains("EventsFilePath"));
}

TEST(EventsProgram, ARunResumedBeforeAnEventMeetsIt) {
    ScratchDir dir;
    dir.File("track.asc", Track());
    dir.File("ev.csv", std::string(Header) + "6,5,remove_fauna,track.asc,0.4\n8,,set,EnvDynamic,off\n");
    ASSERT_EQ(Batch(dir, "--seed 5 --steps 20 --events ev.csv --trace whole.csv --out whole"), 0);
    ASSERT_EQ(Batch(dir, "--seed 5 --steps 5 --events ev.csv --save-state s.txt"), 0);
    ASSERT_EQ(Batch(dir, "--resume s.txt --steps 20 --trace rest.csv --out rest"), 0);
    EXPECT_EQ(ReadAll(dir.Sub("rest/RireVed1a1p1.txt")), ReadAll(dir.Sub("whole/RireVed1a1p1.txt")));
    const std::string whole = ReadAll(dir.Sub("whole.csv"));
    const std::string rest = ReadAll(dir.Sub("rest.csv"));
    EXPECT_EQ(whole.substr(whole.find("\n6,")), rest.substr(rest.find("\n6,")));
    EXPECT_EQ(Batch(dir, "--resume s.txt --events ev.csv --out again"), 2);
    // The state holds the schedule: neither the resumed run nor its check reads the file.
    std::filesystem::remove(dir.Sub("ev.csv"));
    EXPECT_EQ(Batch(dir, "--resume s.txt --steps 20 --validate"), 0);
    EXPECT_EQ(Batch(dir, "--resume s.txt --steps 20 --out later"), 0);
}

}  // namespace
