// Observed grids read as a run's grids are captured: a run's own final grids, written as
// the batch tool writes them (north line first), read back as the observation of that
// run at that step, give the very cells its observer kept, in the same places.
#include <gtest/gtest.h>

#include "GridObservations.h"
#include "GridOutputs.h"
#include "SettingsTable.h"
#include "TestFiles.h"

using namespace glebix;
using namespace glebix::analysis;

namespace {

constexpr std::int32_t Steps = 4;
constexpr int Width = 7, Height = 5;  // not square: rows and columns cannot be swapped unseen

}  // namespace

TEST(GridObservations, ARunsWrittenGridsReadBackAsTheCellsItsObserverKept) {
    glebix::testing::ScratchDir dir;
    core::RunStart start;
    for (const auto &[name, text] : {std::pair{"PlotWidth", "7"}, {"PlotHeight", "5"}, {"DistInitMode", "1"}})
        ASSERT_FALSE(core::ApplySetting(name, text, start.Settings)) << name;
    start.Seed = 11u;
    start.StepCount = Steps;
    core::RunSession session(start);
    GridObservation density{"", GridField::Density, Steps, "", {}}, compacted = density;
    compacted.Field = GridField::Compacted;
    GridCapture capture({density, compacted});
    session.Observe(capture);
    session.SetUp();
    session.Run(Steps);
    const std::string densityFile = dir.File("d.asc", core::DensityAsc(session.Plot()));
    const std::string compactedFile = dir.File("c.asc", core::CompactedAsc(session.Plot()));
    const GridObservations read = ReadGridObservations(
        {std::to_string(Steps) + ":" + densityFile, "compacted@" + std::to_string(Steps) + ":" + compactedFile}, Steps,
        Width, Height);
    ASSERT_TRUE(read.Problems.empty()) << read.Problems.front();
    ASSERT_EQ(read.Grids.size(), 2u);
    ASSERT_TRUE(capture.Grid(GridField::Density, Steps) && capture.Grid(GridField::Compacted, Steps));
    EXPECT_GT(calibration::GridVariance(read.Grids[0].Values), 0);  // cells that differ: their places tell
    EXPECT_EQ(read.Grids[0].Values.Cells, capture.Grid(GridField::Density, Steps)->Cells);
    EXPECT_EQ(read.Grids[1].Values.Cells, capture.Grid(GridField::Compacted, Steps)->Cells);
    EXPECT_EQ(capture.Grid(GridField::Density, Steps - 1), nullptr);  // only the steps observed are kept
    EXPECT_EQ(CapturedEntries(capture, read.Grids, GridCompare::Summaries).size(),
              2 * calibration::GridSummaries.size());
    EXPECT_EQ(CapturedEntries(capture, read.Grids, GridCompare::Cells).size(), 2u * Width * Height);
    // The same grid on a plot of the other orientation is refused.
    EXPECT_FALSE(ReadGridObservations({"0:" + densityFile}, Steps, Height, Width).Problems.empty());
}
