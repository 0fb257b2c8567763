// The recorders of a run: one for each kind of output a run writes, and together the
// outputs over time of one run, each recording the same steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "GeoTiffGrids.h"
#include "OutputRegistry.h"
#include "OutputsAsked.h"
#include "SnapshotNames.h"
#include "Recorders.h"
#include "SettingsTable.h"
#include "TestFiles.h"

namespace glebix::recorders {
namespace {

using glebix::testing::ReadAll;
using glebix::testing::ScratchDir;

constexpr std::int32_t StepCount = 8;
constexpr int Every = 3;

bool IsRunOutput(const OutputKind &kind) { return kind.option && kind.planned; }

TEST(Recorders, EveryKindOfOutputARunWritesHasOneRecorderAndNoOtherKindHasOne) {
    for (const OutputKind &kind : OutputKinds()) {
        const std::string option = kind.option ? kind.option : "";
        EXPECT_EQ(RecorderOf(option) != nullptr, IsRunOutput(kind)) << option;
    }
    EXPECT_EQ(RecorderOf("--no-such-output"), nullptr);
}

// Every run output asked for, in `dir`.
RunPlan PlanWithEveryOutput(const ScratchDir &dir) {
    RunPlan plan;
    plan.Settings.Initial.DistInitMode = DistModeRandom;
    plan.Seed = 41u;
    for (const auto &[option, name] : {std::pair{"--out", "out"},
                                       {"--trace", "trace.csv"},
                                       {"--snapshots", "maps"},
                                       {"--asc", "asc"},
                                       {"--tif", "tif"},
                                       {"--netcdf", "stack.nc"},
                                       {"--animate", "run.gif"},
                                       {"--save-state", "state.txt"},
                                       {"--checkpoint", "checkpoint.txt"}})
        SetPlace(plan, *OutputKindOf(option), dir / name);
    plan.Settings.Run.ResultDirectory = PlaceOf(plan, "--out");
    return plan;
}

std::set<std::string> NamesIn(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// The run's steps as the batch tool drives them, every hook in its turn; End twice, as
// after an end that failed.
void Record(std::vector<std::unique_ptr<Recorder>> &recorders, RunSession &run, RunRecord &record) {
    for (auto &r : recorders) r->Prepare();
    run.SetUp();
    for (auto &r : recorders) r->Begin(run);
    for (auto &r : recorders) run.Observe(*r);
    run.Run(StepCount, [&record, &run] { record.StepsReached = run.StepIndex(); });
    for (auto &r : recorders) r->Complete(run);
    record.Completed = true;
    for (int twice = 0; twice < 2; ++twice)
        for (auto &r : recorders) r->End(&run, true);
}

TEST(Recorders, OutputsOverTimeRecordTheStartEveryKStepsAndTheLast) {
    ScratchDir dir;
    BatchOptions options;
    options.Every = options.Tunings["--tif-every"] = Every;
    options.CheckpointEvery = Every;
    const RunPlan plan = PlanWithEveryOutput(dir);
    RunRecord record;
    record.StepCount = StepCount;
    StagedFiles files;
    RecordingContext context{options, plan, record, 7u, files, {}};
    auto recorders = MakeRecorders(context);
    EXPECT_EQ(recorders.size(), static_cast<std::size_t>(std::ranges::count_if(OutputKinds(), IsRunOutput)));
    for (const OutputKind &kind : OutputKinds())
        if (kind.planned && !PlaceOf(plan, kind).empty()) MakeDirectories(FolderOfOutput(kind, PlaceOf(plan, kind)));

    RunSession run(RunStart{plan.Settings, plan.Seed, 7u, StepCount, 1, nullptr});
    Record(recorders, run, record);
    ASSERT_EQ(files.PutAllInPlace(), "");

    EXPECT_EQ(NamesIn(PlaceOf(plan, "--snapshots")),
              (std::set<std::string>{SnapshotName(3), SnapshotName(6), SnapshotName(8)}));
    std::set<std::string> tifs;
    for (const char *grid : gis::TifGridNames) {
        tifs.insert(grid);
        for (const std::int32_t step : {0, 3, 6, 8}) tifs.insert(gis::TifGridNameAt(grid, step));
    }
    EXPECT_EQ(NamesIn(PlaceOf(plan, "--tif")), tifs);
    const std::string trace = ReadAll(PlaceOf(plan, "--trace"));
    EXPECT_EQ(std::ranges::count(trace, '\n'), 1 + StepCount);  // the header and a row per step
    EXPECT_EQ(ReadAll(PlaceOf(plan, "--save-state")), StateFileText(run.State()));
    EXPECT_TRUE(context.leftAlone.empty());
    for (const char *option : {"--netcdf", "--animate", "--checkpoint"})
        EXPECT_GT(std::filesystem::file_size(PlaceOf(plan, option)), 0u) << option;
    EXPECT_GT(std::filesystem::file_size(run.ResultFilePath()), 0u);
    EXPECT_EQ(NamesIn(PlaceOf(plan, "--asc")).size(), 2u);
}

}  // namespace
}  // namespace glebix::recorders
