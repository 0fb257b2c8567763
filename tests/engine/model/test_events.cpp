// Management events on recorded runs: where and when they act, what they draw, and
// that a run resumed from a state saved before an event meets it as the unbroken run.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "Errors.h"
#include "Events.h"
#include "Simul.h"
#include "StateFile.h"
#include "TestSupport.h"

namespace glebix {
namespace {

constexpr std::uint32_t Seed = 4242u;

// Cells of the left half of the 50 x 50 plot (rows i of 1 to 25).
EventMask LeftHalf() {
    EventMask mask{"left.asc", std::vector<std::uint8_t>(CellCount, 0)};
    for (int cell = 0; cell < CellCount / 2; ++cell) mask.Inside[static_cast<std::size_t>(cell)] = 1;
    return mask;
}
bool InLeftHalf(int cell) { return cell < CellCount / 2; }

ScheduledEvent OnCells(std::int32_t step, std::int32_t every, EventAction action, double value, int mask = 0) {
    ScheduledEvent e;
    e.Step = step;
    e.Every = every;
    e.Action = action;
    e.Value = value;
    e.Mask = mask;
    e.Where = mask < 0 ? EventEverywhere : "left.asc";
    return e;
}

std::shared_ptr<const EventSchedule> Schedule(std::vector<ScheduledEvent> events) {
    auto s = std::make_shared<EventSchedule>();
    s->Events = std::move(events);
    s->Masks.push_back(LeftHalf());
    return s;
}

// A run set up with a random distribution, its schedule given after set-up as the
// front ends give it; `before` changes the settings first.
std::unique_ptr<Simul> StartRun(std::shared_ptr<const EventSchedule> schedule, void (*before)(TSettings &) = nullptr) {
    auto s = std::make_unique<Simul>();
    s->Settings.Initial.DistInitMode = DistModeRandom;
    if (before) before(s->Settings);
    s->SetDispersalThreads(1);
    s->SetUpRun(Seed);
    s->Events = std::move(schedule);
    return s;
}

// The plot after each of `steps` steps.
std::vector<TPlot> Grids(Simul &s, int steps) {
    std::vector<TPlot> out;
    for (int k = 0; k < steps; ++k) {
        s.TimeStep();
        out.push_back(s.Plot);
    }
    return out;
}

void Static(TSettings &s) { s.Run.EnvDynamic = false; }

// With the soil update off, set_compacted at step 5 shows in the masked cells of every
// grid from step 5 on and nowhere else; the counts follow the soil they live on.
TEST(Events, SetCompactedShowsInTheMaskedCellsFromItsStep) {
    auto plain = StartRun(nullptr, Static);
    auto treated = StartRun(Schedule({OnCells(5, 0, EventAction::SetCompacted, 80)}), Static);
    const auto before = Grids(*plain, 8), after = Grids(*treated, 8);
    for (int step = 1; step <= 8; ++step) {
        for (int cell = 0; cell < CellCount; ++cell) {
            const TCellEnv &got = after[step - 1].Env.Data()[cell];
            if (step >= 5 && InLeftHalf(cell)) {
                ASSERT_EQ(got, (TCellEnv{80, 20})) << step << " " << cell;
            } else {
                ASSERT_EQ(got, before[step - 1].Env.Data()[cell]) << step << " " << cell;
            }
        }
        // No draw: the counts are the plain run's until the soil's change can reach them.
        if (step < 5) { EXPECT_EQ(after[step - 1].Density, before[step - 1].Density) << step; }
    }
}

// add_compacted holds the share within 0 to 100, its complement beside it; every K
// repeats it from its step on, and nowhere before.
TEST(Events, AddCompactedRepeatsEveryKStepsWithinTheShareRange) {
    auto treated = StartRun(
        Schedule({OnCells(2, 3, EventAction::AddCompacted, 30, -1), OnCells(2, 3, EventAction::AddCompacted, -250, 0)}),
        Static);
    auto plain = StartRun(nullptr, Static);
    const auto start = plain->Plot.Env;
    const auto grids = Grids(*treated, 9);
    for (int step = 1; step <= 9; ++step) {
        const int times = step < 2 ? 0 : (step - 2) / 3 + 1;  // steps 2, 5, 8
        for (int cell = 0; cell < CellCount; ++cell) {
            const TCellEnv &got = grids[step - 1].Env.Data()[cell];
            const double expected =
                InLeftHalf(cell) && times > 0 ? 0 : std::min(100.0, start.Data()[cell].Compacted + 30.0 * times);
            ASSERT_DOUBLE_EQ(got.Compacted, expected) << step << " " << cell;
            ASSERT_DOUBLE_EQ(got.Decompacted, 100 - expected) << step << " " << cell;
        }
    }
}

// remove_fauna of 1 empties the masked cells without a draw; of 0 it changes nothing:
// the run is the run without events, byte for byte, generator included.
TEST(Events, RemoveFaunaOfOneEmptiesTheMaskAndOfZeroChangesNothing) {
    auto plain = StartRun(nullptr);
    auto none = StartRun(Schedule({OnCells(1, 1, EventAction::RemoveFauna, 0, -1)}));
    const auto expected = Grids(*plain, 6), got = Grids(*none, 6);
    for (int step = 0; step < 6; ++step) EXPECT_EQ(got[step].Density, expected[step].Density) << step;
    EXPECT_EQ(none->RandomSeed, plain->RandomSeed);

    auto all = StartRun(Schedule({OnCells(3, 0, EventAction::RemoveFauna, 1)}));
    Grids(*all, 2);
    Simul copy;
    copy.Plot = all->Plot;
    copy.RandomSeed = all->RandomSeed;
    ApplyEvents(*all, *all->Events, 3);
    for (int cell = 0; cell < CellCount; ++cell)
        EXPECT_EQ(all->Plot.Density.Data()[cell], InLeftHalf(cell) ? 0 : copy.Plot.Density.Data()[cell]) << cell;
    EXPECT_EQ(all->RandomSeed, copy.RandomSeed);
}

// Between 0 and 1, each individual of a masked cell is one count draw, cell by cell in
// the plot's order: as many draws as individuals in those cells (up to 100 each).
TEST(Events, RemoveFaunaDrawsOncePerIndividualOfTheMaskedCells) {
    auto s = StartRun(Schedule({OnCells(1, 0, EventAction::RemoveFauna, 0.25)}));
    std::uint64_t draws = 0;
    std::int64_t inside = 0;
    for (int cell = 0; cell < CellCount / 2; ++cell) {
        const std::int32_t n = s->Plot.Density.Data()[cell];
        if (n > 0 && n <= 100) draws += static_cast<std::uint64_t>(n);
        inside += n;
    }
    ASSERT_GT(inside, 0);
    const std::uint32_t start = s->RandomSeed;
    ApplyEvents(*s, *s->Events, 1);
    EXPECT_EQ(s->RandomSeed, testing::SeedAfter(start, draws));
    std::int64_t left = 0;
    for (int cell = 0; cell < CellCount / 2; ++cell) left += s->Plot.Density.Data()[cell];
    EXPECT_LT(left, inside);
    EXPECT_GT(left, 0);
}

void Decompaction(TSettings &s) { s.Run.DecompactionD = "2.5"; }

// set DecompactionD from step t is the run resumed at t - 1 with that setting; the run's
// settings as it began keep the value set-up took.
TEST(Events, SetFromAStepEqualsTheRunResumedBeforeItWithTheSetting) {
    ScheduledEvent set;
    set.Step = 6;
    set.Action = EventAction::Set;
    set.Where = "DecompactionD";
    set.Setting = std::string("2.5");
    auto scheduled = StartRun(Schedule({set}));
    Grids(*scheduled, 10);
    EXPECT_EQ(scheduled->Settings.Run.DecompactionD, "2.5");
    EXPECT_EQ(scheduled->SettingsAsBegun().Run.DecompactionD, DefaultSettings().Run.DecompactionD);

    auto first = StartRun(nullptr);
    Grids(*first, 5);
    SavedRun saved = CaptureRun(*first, 1u, Seed, 5, 10);
    Decompaction(saved.Settings);
    Simul resumed;
    resumed.SetDispersalThreads(1);
    RestoreRun(saved, resumed);
    Grids(resumed, 5);
    EXPECT_EQ(resumed.Plot.Density, scheduled->Plot.Density);
    EXPECT_EQ(resumed.Plot.Env, scheduled->Plot.Env);
    EXPECT_EQ(resumed.RandomSeed, scheduled->RandomSeed);
}

std::optional<std::string> AnySetting(std::string_view, std::string_view) { return std::nullopt; }

// The state of `simul` after `step` of a run of `steps` steps.
std::string StateText(const Simul &simul, std::int32_t step, std::int32_t steps) {
    SavedRun run = CaptureRun(simul, 1u, Seed, step, steps);
    run.Settings.Run.StepCount = std::to_string(steps);
    return StateFileText(run);
}

// A state saved before an event, read back and resumed past it, ends as the unbroken
// run; its file keeps the schedule and the masks' cells.
TEST(Events, ResumingAcrossAnEventEqualsTheUnbrokenRun) {
    ScheduledEvent set;
    set.Step = 4;
    set.Every = 3;
    set.Action = EventAction::Set;
    set.Where = "DispersalFirst";
    set.Setting = true;
    auto events =
        Schedule({OnCells(5, 0, EventAction::RemoveFauna, 0.5), set, OnCells(6, 2, EventAction::SetCompacted, 90, -1)});
    constexpr int Steps = 12;
    auto named = [](TSettings &s) { s.Run.EventsFilePath = "events.csv"; };
    auto whole = StartRun(events, named);
    Grids(*whole, Steps);
    const std::string expected = StateText(*whole, Steps, Steps);
    for (const int stop : {0, 3, 4, 5, 9}) {
        auto part = StartRun(events, named);
        Grids(*part, stop);
        const std::string text = StateText(*part, stop, Steps);
        EXPECT_EQ(text.substr(0, 15), "GLEBIX-STATE 3\n");
        const SavedRun saved = ParseStateFile(text, "s", AnySetting);
        ASSERT_TRUE(saved.Events);
        EXPECT_EQ(saved.Events->Masks.at(0).Inside, LeftHalf().Inside);
        Simul resumed;
        resumed.SetDispersalThreads(2);
        RestoreRun(saved, resumed);
        Grids(resumed, Steps - stop);
        EXPECT_EQ(StateText(resumed, Steps, Steps), expected) << stop;
    }
}

// A state whose settings name a schedule must hold it, and one that holds a schedule
// must be named by its settings.
TEST(Events, StateKeepsASchedulePreciselyWhenItsSettingsNameOne) {
    auto run = StartRun(Schedule({}), [](TSettings &s) { s.Run.EventsFilePath = "events.csv"; });
    SavedRun saved = CaptureRun(*run, 1u, Seed, 0, 3);
    saved.Settings.Run.StepCount = "3";
    EXPECT_NO_THROW(ParseStateFile(StateFileText(saved), "s", AnySetting));
    SavedRun unnamed = saved;
    unnamed.Settings.Run.EventsFilePath.clear();
    EXPECT_THROW(ParseStateFile(StateFileText(unnamed), "s", AnySetting), GlebixError);
    SavedRun without = saved;
    without.Events = nullptr;
    EXPECT_THROW(ParseStateFile(StateFileText(without), "s", AnySetting), GlebixError);
    without.Settings.Run.EventsFilePath.clear();
    EXPECT_EQ(StateFileText(without).substr(0, 15), "GLEBIX-STATE 1\n");
}

}  // namespace
}  // namespace glebix
