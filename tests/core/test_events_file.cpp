// Schedules of management events as people write them, every fault refused with the
// file, the line and the column, and their masks read as initial files are read.
#include <gtest/gtest.h>

#include "Errors.h"
#include "EventInputs.h"
#include "EventsFile.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::core;

namespace {

constexpr const char *Header = "step,every,action,where,value\n";

// The one problem of a schedule of one event line, which must name the file, the
// line and the column.
std::string OneProblem(const std::string &line, const char *column) {
    const ParsedEvents p = ParseEventsText(std::string(Header) + line + "\n", "ev.csv");
    EXPECT_EQ(p.Problems.size(), 1u) << line;
    if (p.Problems.empty()) return {};
    EXPECT_EQ(p.Problems[0].rfind("ev.csv:2: colonne " + std::string(column) + " : ", 0), 0u) << p.Problems[0];
    EXPECT_TRUE(p.Schedule.Events.empty());
    return p.Problems[0];
}

}  // namespace

TEST(EventsFile, ReadsEveryActionInLineOrder) {
    const ParsedEvents p = ParseEventsText(
        "\xEF\xBB\xBF# one pass a year\r\n"
        "step,every,action,where,value\r\n"
        "5,,set_compacted,track.asc,80\r\n"
        "\r\n"
        "5,52,add_compacted,\"track.asc\",-12.5\r\n"
        "7,0,remove_fauna,all,0.5\r\n"
        "9,,set,DecompactionD,2.5\r\n"
        "9,,set,DispersalFirst,on",
        "scenarios/ev.csv");
    ASSERT_TRUE(p.Problems.empty()) << p.Problems.front();
    const auto &e = p.Schedule.Events;
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].Action, EventAction::SetCompacted);
    EXPECT_EQ(e[1].Every, 52);
    EXPECT_EQ(e[1].Value, -12.5);
    EXPECT_EQ(e[0].Mask, 0);
    EXPECT_EQ(e[1].Mask, 0);
    EXPECT_EQ(e[2].Mask, -1);
    EXPECT_EQ(std::get<std::string>(e[3].Setting), "2.5");
    EXPECT_EQ(std::get<bool>(e[4].Setting), true);
    // One mask, in the schedule's folder, named by the line that first names it.
    EXPECT_EQ(p.MaskPaths, std::vector<std::string>{"scenarios/track.asc"});
    EXPECT_EQ(p.MaskLines, std::vector<std::int64_t>{3});
    // Each event's own line, for the problems found once the run is known.
    EXPECT_EQ(p.EventLines, (std::vector<std::int64_t>{3, 5, 6, 7, 8}));
    EXPECT_EQ(
        ParseEventsText(std::string(Header) + "0,,set,EnvDynamic,off\n2,,set,EnvDynamic,off\n", "ev.csv").EventLines,
        std::vector<std::int64_t>{3});
    EXPECT_EQ(MaskFilePath("scenarios/ev.csv", "/abs/m.tif:1"), "/abs/m.tif:1");
    EXPECT_TRUE(ParseEventsText(Header, "ev.csv").Problems.empty());
}

TEST(EventsFile, RefusesEveryFaultWithItsLineAndColumn) {
    EXPECT_NE(OneProblem("5,,plough,all,1", "action").find("plough"), std::string::npos);
    EXPECT_NE(OneProblem("5,,add_compacted,all,\"0,5\"", "value").find("0,5"), std::string::npos);
    EXPECT_NE(OneProblem("5,,remove_fauna,all,0,5", "value").find("virgule"), std::string::npos);
    EXPECT_NE(OneProblem("0,,set_compacted,all,10", "step").find("«0»"), std::string::npos);
    OneProblem("2,-1,set_compacted,all,10", "every");
    OneProblem("5,,remove_fauna,all,1.5", "value");
    OneProblem("5,,set_compacted,all,101", "value");
    OneProblem("5,,set_compacted,,10", "where");
    EXPECT_NE(OneProblem("5,,set,Decompaction,1", "where").find("DecompactionD"), std::string::npos);
    EXPECT_NE(OneProblem("5,,set,Survival,0.5", "where").find("Survival"), std::string::npos);
    OneProblem("5,,set,DecompactionD,x", "value");
    OneProblem("5,,set,EnvDynamic,maybe", "value");
    const ParsedEvents header = ParseEventsText("step,action,where,value\n5,set,EnvDynamic,off\n", "ev.csv");
    ASSERT_EQ(header.Problems.size(), 1u);
    EXPECT_EQ(header.Problems[0].rfind("ev.csv:1: ", 0), 0u);
    // Every faulty line is said, not only the first.
    EXPECT_EQ(ParseEventsText(std::string(Header) + "x,,set,EnvDynamic,off\n1,,nope,all,1\n", "ev.csv").Problems.size(),
              2u);
    EXPECT_FALSE(ParseEventsText("", "ev.csv").Problems.empty());
}

// A mask is read by the initial environment's reader on the run's plot: a grid of the
// plot's size or triples; 1 inside, 0 or nodata outside; anything else is refused with
// the schedule's line.
TEST(EventsFile, MasksAreReadAsInitialFilesOnThePlot) {
    glebix::testing::ScratchDir dir;
    const std::string grid =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9\n"
        "1 0 -9\n1 1 0\n";
    dir.File("m.asc", grid);
    dir.File("t.txt", "1 2 1\n");
    dir.File("bad.txt", "2 2 2\n");
    const std::string path =
        dir.File("ev.csv", std::string(Header) + "1,,set_compacted,m.asc,50\n2,,remove_fauna,t.txt,1\n");
    TSettings settings;
    settings.Run.EventsFilePath = path;
    // The grid's top line is the north: row i = 1 is its first column.
    const auto schedule = LoadEventSchedule(settings, 3, 2, nullptr);
    ASSERT_EQ(schedule->Masks.size(), 2u);
    EXPECT_EQ(schedule->Masks[0].Inside, (std::vector<std::uint8_t>{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(schedule->Masks[1].Inside, (std::vector<std::uint8_t>{0, 1, 0, 0, 0, 0}));

    auto problem = [&](const std::string &events, int width, int height) {
        settings.Run.EventsFilePath = dir.File("ev2.csv", std::string(Header) + events);
        try {
            LoadEventSchedule(settings, width, height, nullptr);
        } catch (const GlebixError &e) { return std::string(e.what()); }
        return std::string("accepted");
    };
    EXPECT_NE(problem("1,,set_compacted,m.asc,50\n", 3, 3).find(":2: colonne where : "), std::string::npos);
    EXPECT_NE(problem("1,,set_compacted,m.asc,50\n", 3, 3).find("m.asc"), std::string::npos);
    EXPECT_NE(problem("1,,set_compacted,bad.txt,50\n", 3, 2).find("(ligne 2, colonne 2) vaut 2"), std::string::npos);
    EXPECT_NE(problem("1,,set_compacted,none.asc,50\n", 3, 2).find("none.asc"), std::string::npos);
    settings.Run.EventsFilePath.clear();
    EXPECT_FALSE(LoadEventSchedule(settings, 3, 2, nullptr));
}
