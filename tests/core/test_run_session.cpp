// The run session: the steps of one run however they are split or interrupted, a run
// put back from its saved state that goes on as the unbroken one, and faults that end
// the run with the structured error and leave no output behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "Errors.h"
#include "FileIo.h"
#include "InputRecords.h"
#include "NetcdfRecording.h"
#include "ResultFile.h"
#include "RunSession.h"
#include "RunState.h"
#include "SessionWriters.h"
#include "SettingsTable.h"
#include "Simul.h"
#include "StepTrace.h"
#include "TestFiles.h"

namespace glebix::core {
namespace {

using glebix::testing::ScratchDir;

constexpr std::int32_t StepCount = 12;

// A run from a random distribution with `changes` (name, text) applied.
RunStart Start(const std::vector<std::pair<std::string, std::string>> &changes = {}, int threads = 1) {
    RunStart start;
    start.Settings.Initial.DistInitMode = DistModeRandom;
    for (const auto &[name, text] : changes) EXPECT_FALSE(ApplySetting(name, text, start.Settings)) << name;
    start.Seed = 41u;
    start.MasterSeed = 7u;
    start.StepCount = StepCount;
    start.Threads = threads;
    return start;
}

// Everything the run holds: grids, generator, species values, step, seeds.
std::string Whole(const RunSession &run) { return StateFileText(run.State()); }

// Counts what an observer is told.
struct Tally : RunObserver {
    int setUps = 0, before = 0, after = 0;
    void SetUp(const RunSession &) override { ++setUps; }
    void BeforeStep(const RunSession &) override { ++before; }
    void Stepped(const RunSession &) override { ++after; }
};

// Steps split as `parts` (after set-up), each by Run.
std::string SteppedIn(const std::vector<std::int64_t> &parts, const RunStart &start) {
    RunSession run(start);
    run.SetUp();
    for (const std::int64_t count : parts) run.Run(count);
    return Whole(run);
}

TEST(RunSession, StepsSplitAnyWayGiveTheUnbrokenRun) {
    const struct {
        const char *what;
        std::vector<std::pair<std::string, std::string>> changes;
        int threads;
    } plots[] = {{"torus", {}, 1}, {"bounded", {{"Edges", "bounded"}}, 1}, {"torus, 2 threads", {}, 2}};
    for (const auto &plot : plots) {
        const RunStart start = Start(plot.changes, plot.threads);
        const std::string unbroken = SteppedIn({StepCount}, start);
        for (const auto &parts : std::vector<std::vector<std::int64_t>>{{1, 11}, {5, 7}, {0, 12}, {3, 4, 5}})
            EXPECT_EQ(SteppedIn(parts, start), unbroken) << plot.what << ", first part " << parts.front();
    }
}

TEST(RunSession, AnObserverThatThrowsStopsAtAWholeStepAndTheRunGoesOn) {
    RunSession run(Start());
    Tally tally;
    run.Observe(tally);
    run.SetUp();
    int calls = 0;
    EXPECT_THROW(run.Run(StepCount,
                         [&] {
                             if (++calls == 4) throw std::runtime_error("stop");
                         }),
                 std::runtime_error);
    EXPECT_EQ(run.StepIndex(), 4);
    EXPECT_TRUE(run.IsReady());
    run.Run(StepCount - 4);
    EXPECT_EQ(Whole(run), SteppedIn({StepCount}, Start()));
    EXPECT_EQ(tally.setUps, 1);
    EXPECT_EQ(tally.before, StepCount);
    EXPECT_EQ(tally.after, StepCount);
}

TEST(RunSession, ResumedFromItsSavedStateGoesOnAsTheUnbrokenRun) {
    ScratchDir dir;
    RunSession unbroken(Start({{"Edges", "bounded"}}));
    StepTrace unbrokenTrace;
    unbroken.Observe(unbrokenTrace);
    unbroken.SetUp();
    for (const std::int32_t saveAt : {0, 5, StepCount}) {
        RunSession first(Start({{"Edges", "bounded"}}));
        first.SetUp();
        first.Run(saveAt);
        const std::string path = dir / ("s" + std::to_string(saveAt) + ".txt");
        first.SaveState(path);
        const SavedRun saved = ReadStateFile(path, CheckSavedSetting);
        const auto settings = ResumedSettings(saved, {}, StepCount);
        ASSERT_TRUE(std::holds_alternative<TSettings>(settings));
        RunSession resumed(saved, std::get<TSettings>(settings), StepCount, 2);
        StepTrace trace;
        resumed.Observe(trace);
        EXPECT_EQ(resumed.StepIndex(), saveAt);
        EXPECT_EQ(resumed.Seed(), 41u);
        EXPECT_EQ(resumed.MasterSeed(), 7u);
        EXPECT_EQ(Whole(resumed), Whole(first)) << "put back at " << saveAt;
        resumed.Run(StepCount - saveAt);
        if (unbroken.StepIndex() < StepCount) unbroken.Run(StepCount);
        EXPECT_EQ(Whole(resumed), Whole(unbroken)) << "resumed at " << saveAt;
        // The records of the steps after the saved one are the unbroken run's.
        const std::vector<TracedStep> all = unbrokenTrace.Copy(), after = trace.Copy();
        ASSERT_EQ(after.size(), static_cast<std::size_t>(StepCount - saveAt));
        for (const TracedStep &row : after) {
            const StepRecord &want = all.at(static_cast<std::size_t>(row.Step)).Record;
            EXPECT_EQ(row.Record.TotalDensity, want.TotalDensity) << row.Step;
            EXPECT_EQ(row.Record.MeanCompacted, want.MeanCompacted) << row.Step;
            EXPECT_EQ(row.Record.Emigrants, want.Emigrants) << row.Step;
        }
    }
}

TEST(RunSession, AFaultInAStepEndsTheRunWithTheErrorAndNoOutput) {
    ScratchDir dir;
    // Reproduction overflows in the first step.
    RunSession run(Start({{"Fecundity", "1e300"}}));
    Tally tally;
    StepTrace trace;
    NetcdfRecording recording;
    for (RunObserver *o : std::initializer_list<RunObserver *>{&tally, &trace, &recording}) run.Observe(*o);
    recording.Start(dir / "stack.nc", 1, run);
    run.SetUp();
    EXPECT_THROW(run.Run(3), GlebixError);
    EXPECT_TRUE(run.HasFailed());
    EXPECT_FALSE(run.IsReady());
    EXPECT_EQ(run.StepIndex(), 0);
    EXPECT_EQ(tally.after, 0);
    EXPECT_EQ(trace.Copy().size(), 1u);  // step 0 only
    EXPECT_THROW(run.Step(), std::logic_error);
    recording.Stop();
    EXPECT_FALSE(std::filesystem::exists(dir / "stack.nc"));
}

TEST(RunSession, AFaultAtSetUpNamesTheSettingAndTellsNoObserver) {
    RunStart start = Start();
    start.Settings.Initial.DistInitMode = DistModeFile;
    start.Settings.Initial.DistFilePath = "/nonexistent/distribution.txt";
    RunSession run(start);
    Tally tally;
    run.Observe(tally);
    try {
        run.SetUp();
        FAIL() << "set-up of a missing file";
    } catch (const GlebixError &e) {
        EXPECT_EQ(e.Context().Setting, "DistFilePath");
        EXPECT_EQ(e.Context().Path, "/nonexistent/distribution.txt");
    }
    EXPECT_EQ(tally.setUps, 0);
    EXPECT_FALSE(run.HoldsRun());
    EXPECT_THROW(run.Step(), std::logic_error);
}

// The input records a session is given stay in its description whatever the run does:
// set-up remakes the description, a resumed run is described anew, and a run whose
// set-up failed is described from what its engine holds; each manifest reads them there.
TEST(RunSession, ItsDescriptionKeepsTheInputsRecordedForItSetUpResumedOrFailed) {
    const std::vector<InputFileRecord> records = {InputRecordOf("species", "espèce.txt", "Survival 0.9\n")};
    RunSession run(Start());
    run.RecordInputs(records);
    run.SetUp();
    EXPECT_EQ(run.Description().Inputs, records);
    run.Run(4);
    RunSession resumed(run.State(), run.Settings(), StepCount, 1);
    resumed.RecordInputs(records);
    EXPECT_EQ(resumed.Description().Inputs, records);
    EXPECT_EQ(resumed.Description().StartStep, 4);

    RunStart start = Start();
    start.Settings.Initial.DistInitMode = DistModeFile;
    start.Settings.Initial.DistFilePath = "/nonexistent/distribution.txt";
    RunSession failed(start);
    failed.RecordInputs(records);
    EXPECT_THROW(failed.SetUp(), GlebixError);
    EXPECT_EQ(failed.DescriptionSoFar().Inputs, records);
    EXPECT_EQ(failed.DescriptionSoFar().Seed, 41u);
}

// A session over an engine its owner sets up and changes as it goes (the windows') steps
// it as the engine would step alone: the same grids and generator, with the settings
// its owner changed between two steps; its observers follow the run.
TEST(RunSession, AnEngineItsOwnerSetsUpStepsAsItWouldAlone) {
    const RunStart start = Start();
    Simul alone, owned, unchanged;
    for (Simul *engine : {&alone, &owned, &unchanged}) {
        engine->Settings = start.Settings;
        engine->SetUpRun(start.Seed);
    }
    RunSession run(owned, StepCount);
    Tally tally;
    run.Observe(tally);
    EXPECT_THROW(run.SetUp(), std::logic_error);
    run.AdoptSetUp();
    EXPECT_EQ(run.Seed(), start.Seed);
    for (std::int32_t step = 1; step <= StepCount; ++step) {
        if (step == StepCount / 2)
            for (Simul *engine : {&alone, &owned}) ASSERT_FALSE(ApplySetting("EnvDynamic", "0", engine->Settings));
        alone.TimeStep();
        unchanged.TimeStep();
        run.Step();
    }
    EXPECT_FALSE(run.Settings().Run.EnvDynamic);
    const auto whole = [&start](const Simul &engine) {
        return StateFileText(StateToSave(engine, start.Seed, start.Seed, StepCount, StepCount));
    };
    EXPECT_EQ(whole(alone), Whole(run));
    unchanged.Settings = owned.Settings;  // its grids alone tell it from the changed run
    EXPECT_NE(whole(unchanged), Whole(run));
    EXPECT_EQ(tally.setUps, 1);
    EXPECT_EQ(tally.after, StepCount);
}

TEST(RunSession, OutputsRefusePlacesThatAreNotPlainFilesAndNameThem) {
    ScratchDir dir;
    RunSession run(Start());
    run.SetUp();
    std::filesystem::create_directories(dir / "taken/RireVed1a1p1.txt");
    for (const auto &write : std::vector<std::function<void()>>{[&] { WriteResultFile(run, dir / "taken"); },
                                                                [&] { run.SaveState(dir / "taken"); }}) {
        try {
            write();
            ADD_FAILURE() << "a folder taken for a file";
        } catch (const GlebixError &e) { EXPECT_NE(MessageWithContext(e).find(dir / "taken"), std::string::npos); }
    }
    // A new folder is made.
    EXPECT_EQ(WriteResultFile(run, dir / "new/sub"), dir / "new/sub/RireVed1a1p1.txt");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "new/sub/RireVed1a1p1.txt"));
    // The folder is the call's: the run's settings, and the next set-up, keep theirs.
    EXPECT_EQ(run.Settings().Run.ResultDirectory, "");
    run.SetUp();
    EXPECT_EQ(run.ResultFilePath(), "/RireVed1a1p1.txt");
}

// The staged result file is written a block of rows at a time; its bytes are the whole
// file's, on a plot of many blocks and on one of a single row.
TEST(RunSession, StagedResultFileIsTheWholeFileWrittenInBlocks) {
    ScratchDir dir;
    for (const auto &[width, height] : {std::pair{700, 400}, std::pair{1, 97}, std::pair{97, 1}}) {
        RunStart start = Start({{"PlotWidth", std::to_string(width)},
                                {"PlotHeight", std::to_string(height)},
                                {"ChartCellX", "1"},
                                {"ChartCellY", "1"}});
        start.Settings.Run.ResultDirectory = dir.Path();
        RunSession run(start);
        run.SetUp();
        run.Run(1);
        {
            StagedFiles files;
            StageResultFile(run, files);
            ASSERT_EQ(files.PutAllInPlace(), "");
        }
        EXPECT_EQ(glebix::testing::ReadAll(run.ResultFilePath()), ResultFileContents(run.Plot())) << width;
    }
}

}  // namespace
}  // namespace glebix::core
