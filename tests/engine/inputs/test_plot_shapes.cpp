// Plots of other sizes and bounded edges: the fast processes against their plain forms
// over odd shapes and both edges, what leaves a bounded plot, the initial patterns on
// any size, a grid input that sets the size, and the state file of such a plot.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "Errors.h"
#include "Sha256.h"
#include "Simul.h"
#include "StateFile.h"
#include "TestSupport.h"

namespace glebix {
namespace {

struct Shape {
    int width, height;
};
constexpr Shape OddShapes[] = {{1, 1}, {1, 97}, {97, 1}, {50, 51}, {333, 211}};

// Species whose dispersal crosses the edges at every reach: counted and tabled cells
// (sigma 0.9), wide offsets that wrap several times (crowding spreads them), and a
// scale whose offsets do not fit (a fault).
struct Spread {
    const char *sigma, *sensitivity, *constant;
};
constexpr Spread Spreads[] = {{"0.9", "0", "30"}, {"3", "2", "40"}, {"1e305", "0", "2"}};

std::unique_ptr<Simul> ShapedRun(Shape shape, bool bounded, const Spread &spread, int threads) {
    auto s = std::make_unique<Simul>();
    s->Settings.Plot.Width = std::to_string(shape.width);
    s->Settings.Plot.Height = std::to_string(shape.height);
    s->Settings.Plot.Edges = bounded ? EdgesBounded : EdgesTorus;
    s->Settings.Initial.DistInitMode = DistModeHomogeneous;
    s->Settings.Initial.DistConstant = spread.constant;
    s->Settings.Species.DispersalSigma = spread.sigma;
    s->Settings.Species.DispersalSensitivity = spread.sensitivity;
    s->SetDispersalThreads(threads);
    s->SetUpRun(20261208u);
    return s;
}

struct StepOutcome {
    std::string fault = "-";
    std::uint32_t seed = 0;
    std::int64_t emigrants = 0;
    TPlot plot;
};

StepOutcome Step(Simul &s, void (Simul::*step)()) {
    StepOutcome o;
    try {
        (s.*step)();
    } catch (const GlebixError &e) { o.fault = e.what(); }
    o.seed = s.RandomSeed;
    o.emigrants = s.Emigrants;
    o.plot = s.Plot;
    return o;
}

void ExpectSame(const StepOutcome &plain, const StepOutcome &fast, const std::string &what) {
    EXPECT_EQ(plain.fault, fast.fault) << what;
    EXPECT_EQ(plain.seed, fast.seed) << what;
    EXPECT_EQ(plain.emigrants, fast.emigrants) << what;
    EXPECT_TRUE(plain.plot.Density == fast.plot.Density) << what;
    EXPECT_TRUE(plain.plot.Env == fast.plot.Env) << what;
}

std::int64_t Total(const TPlot &plot) {
    std::int64_t total = 0;
    for (const auto &row : plot.Density)
        for (std::int32_t n : row) total += n;
    return total;
}

// The heart of it: every shape, both edges, one and two threads, the dispersal pass
// against its plain definition and whole steps against their plain forms.
TEST(PlotShapes, FastFormsEqualPlainFormsOnOddShapes) {
    for (const Shape shape : OddShapes) {
        for (const bool bounded : {false, true}) {
            for (const Spread &spread : Spreads) {
                for (const int threads : {1, 2}) {
                    const std::string what = std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                                             (bounded ? " bounded" : " torus") + ", sigma " + spread.sigma + ", " +
                                             std::to_string(threads) + " threads";
                    auto plain = ShapedRun(shape, bounded, spread, threads);
                    auto fast = ShapedRun(shape, bounded, spread, threads);
                    ASSERT_EQ(fast->Plot.Width, shape.width) << what;
                    ASSERT_EQ(fast->Plot.Height, shape.height) << what;
                    const std::int64_t before = Total(fast->Plot);
                    const StepOutcome p = Step(*plain, &Simul::DisperseReference);
                    const StepOutcome f = Step(*fast, &Simul::Disperse);
                    ExpectSame(p, f, what + ", dispersal");
                    if (f.fault == "-") {
                        EXPECT_EQ(Total(f.plot) + f.emigrants, before) << what;
                        if (!bounded) { EXPECT_EQ(f.emigrants, 0) << what; }
                    }
                    for (int step = 1; step <= 3 && p.fault == "-"; ++step)
                        ExpectSame(Step(*plain, &Simul::TimeStepReference), Step(*fast, &Simul::TimeStep),
                                   what + ", step " + std::to_string(step));
                }
            }
        }
    }
}

// The work grids that the step's processes share stay with the run: a pass that
// faults after movers were added leaves them clean for the next pass, on every shape,
// whichever thread met the fault. Events are processed up to the fault's cell, as the
// plain pass processes them.
TEST(PlotShapes, PassAfterAFaultStartsFromCleanGrids) {
    for (const Shape shape : {Shape{50, 51}, Shape{333, 211}}) {
        for (const bool bounded : {false, true}) {
            for (const int threads : {1, 3}) {
                const std::string what = std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                                         (bounded ? " bounded, " : " torus, ") + std::to_string(threads) + " threads";
                auto plain = ShapedRun(shape, bounded, Spreads[0], threads);
                auto fast = ShapedRun(shape, bounded, Spreads[0], threads);
                for (Simul *s : {plain.get(), fast.get()}) {
                    // Huge offsets everywhere, beyond any range in every 97th cell,
                    // whose crowding multiplies its scale.
                    s->Species.DispersalSigma = 1e10;
                    s->Species.DispersalSensitivity = 30;
                    for (int c = 0; c < s->Plot.Cells(); ++c) {
                        const bool crowded = c % 97 == 96;
                        s->Plot.Env.Data()[c] = {crowded ? 0.0 : 100.0, crowded ? 100.0 : 0.0};
                        s->Plot.Density.Data()[c] = crowded ? 3 : 40;
                    }
                }
                int plainCalls = 0, fastCalls = 0;
                plain->ProcessMessages = [&plainCalls] { ++plainCalls; };
                fast->ProcessMessages = [&fastCalls] { ++fastCalls; };
                const StepOutcome p = Step(*plain, &Simul::DisperseReference);
                ASSERT_NE(p.fault, "-") << what;
                ExpectSame(p, Step(*fast, &Simul::Disperse), what + ", the fault");
                EXPECT_EQ(plainCalls, fastCalls) << what << ": events processed up to the fault's cell";
                for (Simul *s : {plain.get(), fast.get()}) {
                    s->ProcessMessages = nullptr;
                    s->Species.DispersalSigma = 0.9;
                    s->Species.DispersalSensitivity = 0;
                }
                ExpectSame(Step(*plain, &Simul::DisperseReference), Step(*fast, &Simul::Disperse),
                           what + ", the pass after it");
            }
        }
    }
}

// The environment's rows are shared between threads on a large plot: a fault met by
// any of them is the one the plain pass meets first, raised on the calling thread, and
// the rows before it are updated as the plain pass updates them.
TEST(PlotShapes, AnEnvironmentFaultOnSharedRowsIsTheFirstInOrder) {
    const Shape shape{1500, 1401};
    const int firstRow = 100, column = 7;
    std::vector<StepOutcome> outcomes;
    for (const int threads : {1, 2}) {
        auto s = ShapedRun(shape, false, Spreads[0], threads);
        std::fill_n(s->Plot.Density.Data(), s->Plot.Cells(), 0);
        for (int i = firstRow; i < shape.width; ++i) s->Plot.Density[i][column] = 10;
        s->Species.CompactionC = -1.7e308;  // the fauna's transfer overflows where it lives
        outcomes.push_back(Step(*s, &Simul::UpdateEnvironment));
        EXPECT_EQ(outcomes.back().fault, MsgOverflow.French()) << threads << " threads";
    }
    const TPlot &plain = outcomes[0].plot, &shared = outcomes[1].plot;
    EXPECT_EQ(plain.Density, shared.Density);
    EXPECT_TRUE(std::equal(plain.Env[0], plain.Env[firstRow] + column + 1, shared.Env[0]));
}

// A plot of more blocks than the least for every process shared between threads: whole
// steps, and a fault in a late block, as the plain forms give them.
TEST(PlotShapes, ManyBlocksEqualThePlainForms) {
    const Shape shape{430, 431};
    const Spread few{"0.9", "0", "2"};
    for (const int threads : {2, 3}) {
        const std::string what = std::to_string(threads) + " threads";
        auto plain = ShapedRun(shape, false, few, threads);
        auto fast = ShapedRun(shape, false, few, threads);
        for (int step = 1; step <= 2; ++step)
            ExpectSame(Step(*plain, &Simul::TimeStepReference), Step(*fast, &Simul::TimeStep),
                       what + ", step " + std::to_string(step));
        for (Simul *s : {plain.get(), fast.get()}) {
            s->Species.Fecundity = 1e308;  // births fault in the first cell that breeds
            std::fill_n(s->Plot.Density.Data(), s->Plot.Cells() * 9 / 10, 0);
        }
        const StepOutcome p = Step(*plain, &Simul::TimeStepReference);
        EXPECT_NE(p.fault, "-") << what;
        ExpectSame(p, Step(*fast, &Simul::TimeStep), what + ", a fault in a late block");
    }
}

// A plot larger than the step's two-lane grids allow: one work grid per thread, and
// the offset table in use from the second pass on.
TEST(PlotShapes, PlotWithOneWorkGridPerThreadEqualsThePlainPass) {
    const Spread few{"0.9", "0", "2"};
    for (const bool bounded : {false, true}) {
        auto plain = ShapedRun({1500, 1401}, bounded, few, 2);
        auto fast = ShapedRun({1500, 1401}, bounded, few, 2);
        for (int pass = 1; pass <= 2; ++pass)
            ExpectSame(Step(*plain, &Simul::DisperseReference), Step(*fast, &Simul::Disperse),
                       std::string(bounded ? "bounded" : "torus") + ", pass " + std::to_string(pass));
    }
}

// A plot of many chunks where cells' preparations fault: a crowded cell whose scale
// overflows, and an empty cell whose capacity does not fit, in either order. The plain
// pass meets whichever comes first; the fast pass raises it with the same generator
// state, plot and calls to the event processing, on any number of threads.
TEST(PlotShapes, TheFirstFaultingCellDecidesWhateverItHolds) {
    const Shape shape{333, 211};
    const int early = 15000, late = 52000;
    struct Case {
        const char *name;
        int crowded, empty;  // the faulting cells (-1: none)
        const char *fault;
    } cases[] = {{"a crowded cell", late, -1, MsgOverflow.French()},
                 {"a crowded cell, then an empty one", early, late, MsgOverflow.French()},
                 {"an empty cell, then a crowded one", late, early, MsgInvalidOperation.French()}};
    for (const Case &c : cases) {
        for (const int threads : {1, 2, 3}) {
            const std::string what = std::string(c.name) + ", " + std::to_string(threads) + " threads";
            std::vector<int> yields;
            std::vector<StepOutcome> outcomes;
            for (const bool plainPass : {true, false}) {
                auto s = ShapedRun(shape, false, Spreads[0], threads);
                s->Species.DispersalSensitivity = 1100;  // 2^1100 where crowded
                std::fill_n(s->Plot.Env.Data(), s->Plot.Cells(), TCellEnv{100.0, 0.0});
                std::fill_n(s->Plot.Density.Data(), s->Plot.Cells(), 30);
                if (c.crowded >= 0) s->Plot.Env.Data()[c.crowded] = {0.0, 100.0};
                if (c.empty >= 0) {
                    s->Plot.Env.Data()[c.empty] = {1e300, 0.0};
                    s->Plot.Density.Data()[c.empty] = 0;
                }
                const TPlot before = s->Plot;
                int calls = 0;
                s->ProcessMessages = [&calls] { ++calls; };
                outcomes.push_back(Step(*s, plainPass ? &Simul::DisperseReference : &Simul::Disperse));
                yields.push_back(calls);
                EXPECT_TRUE(outcomes.back().plot.Density == before.Density) << what << ": the plot kept";
            }
            EXPECT_EQ(outcomes[0].fault, c.fault) << what;
            ExpectSame(outcomes[0], outcomes[1], what);
            EXPECT_EQ(yields[0], std::min(c.crowded, c.empty < 0 ? c.crowded : c.empty) + 1) << what;
            EXPECT_EQ(yields[0], yields[1]) << what;
        }
    }
}

// Event processing that raises ends the pass with the plot and generator as they were,
// and the next pass starts from clean work grids.
TEST(PlotShapes, APassEndedByTheEventProcessingLeavesNothingBehind) {
    for (const int threads : {1, 2}) {
        auto plain = ShapedRun({333, 211}, false, Spreads[0], threads);
        auto fast = ShapedRun({333, 211}, false, Spreads[0], threads);
        const TPlot before = fast->Plot;
        const std::uint32_t seed = fast->RandomSeed;
        int calls = 0;
        fast->ProcessMessages = [&calls] {
            if (++calls == 30000) throw std::runtime_error("stop");
        };
        EXPECT_THROW(fast->Disperse(), std::runtime_error);
        EXPECT_TRUE(fast->Plot.Density == before.Density);
        EXPECT_EQ(fast->RandomSeed, seed);
        fast->ProcessMessages = nullptr;
        ExpectSame(Step(*plain, &Simul::DisperseReference), Step(*fast, &Simul::Disperse),
                   std::to_string(threads) + " threads, the pass after it");
    }
}

TEST(PlotShapes, BoundedPlotLosesTheWideDispersers) {
    auto s = ShapedRun({50, 51}, true, Spreads[1], 2);
    s->Disperse();
    EXPECT_GT(s->Emigrants, 0);
    auto torus = ShapedRun({50, 51}, false, Spreads[1], 2);
    torus->Disperse();
    EXPECT_EQ(Total(torus->Plot), Total(s->Plot) + s->Emigrants);
}

TEST(PlotShapes, PatternsGeneraliseTheFiftyByFiftyOnes) {
    for (int i = 1; i <= 50; ++i) {
        for (int j = 1; j <= 50; ++j) {
            EXPECT_EQ(PatternCount(DistModeLeftThird, i, j, 7), i <= 16 ? 7 : 0);
            const bool centre = i >= 24 && i <= 26 && j >= 24 && j <= 26;
            EXPECT_EQ(PatternCount(DistModeCentre, i, j, 7), centre ? 7 : 0);
        }
    }
    struct Case {
        int mode, side, firstIn, lastIn;  // the indices of a side that the pattern holds
    };
    for (const Case c :
         {Case{DistModeLeftThird, 10, 1, 3}, Case{DistModeLeftThird, 3, 0, -1}, Case{DistModeLeftThird, 4, 1, 1},
          Case{DistModeCentre, 1000, 476, 524}, Case{DistModeCentre, 40, 20, 20}, Case{DistModeCentre, 19, 0, -1}}) {
        for (int k = 1; k <= c.side; ++k) {
            const int count = PatternCount(c.mode, k, k, 1, c.side, c.side);
            EXPECT_EQ(count, k >= c.firstIn && k <= c.lastIn ? 1 : 0) << c.mode << " side " << c.side << " at " << k;
        }
    }
}

std::string Grid(int columns, int rows) {
    std::string text = "ncols " + std::to_string(columns) + "\nnrows " + std::to_string(rows) +
                       "\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) text += std::to_string(r * 10 + c) + " ";
        text += "\n";
    }
    return text;
}

std::string SetUpMessage(Simul &s) {
    try {
        s.SetUpRun(1);
    } catch (const GlebixError &e) { return MessageWithContext(e); }
    return {};
}

TEST(PlotShapes, AGridInputSetsTheSizeOrIsRefused) {
    testing::ScratchDir dir;
    Simul s;
    s.Settings.Initial.DistInitMode = DistModeFile;
    s.Settings.Initial.DistFilePath = dir.File("g.asc", Grid(4, 3));
    s.SetUpRun(1);
    EXPECT_EQ(s.Plot.Width, 4);
    EXPECT_EQ(s.Plot.Height, 3);
    EXPECT_EQ(s.Plot.Density[1][2], 1);  // top line, second value: row 2, column 3
    EXPECT_EQ(s.Plot.Density[3][0], 23);

    // The settings then say the size the run has.
    EXPECT_EQ(s.Settings.Plot.Width, "4");
    EXPECT_EQ(s.Settings.Plot.Height, "3");

    // A size or chart cell that one grid gave binds no later set-up of the same model:
    // another grid, or none, sets them again.
    Simul again;
    again.Settings.Initial = s.Settings.Initial;
    for (const auto &[columns, rows, chart] :
         {std::tuple{4, 3, "2,2"}, std::tuple{7, 5, "4,3"}, std::tuple{0, 0, ""}}) {
        if (columns > 0) {
            again.Settings.Initial.DistFilePath = dir.File("again.asc", Grid(columns, rows));
        } else {
            again.Settings.Initial.DistInitMode = DistModeHomogeneous;
        }
        EXPECT_EQ(SetUpMessage(again), "") << columns;
        EXPECT_EQ(again.Plot.Width * 100 + again.Plot.Height, columns > 0 ? columns * 100 + rows : 5050);
        if (columns > 0) { EXPECT_EQ(again.Settings.Run.ChartCellX + "," + again.Settings.Run.ChartCellY, chart); }
    }
    EXPECT_EQ(again.Settings.Plot.Width + again.Settings.Run.ChartCellX, "508");

    // A side given by name is a demand even at the default text; one left alone is not.
    const InitialSettings grid = s.Settings.Initial;
    for (const auto &[width, given, refusal] :
         {std::tuple{"5", false, "PlotWidth : « 5 »"}, std::tuple{"50", true, "PlotWidth : « 50 »"},
          std::tuple{"4", true, ""}, std::tuple{"50", false, ""}}) {
        Simul t;
        t.Settings.Initial = grid;
        t.Settings.Plot.Width = width;
        t.Settings.Plot.WidthGiven = given;
        const std::string message = SetUpMessage(t);
        if (std::string(refusal).empty()) {
            EXPECT_EQ(message, "") << width;
            EXPECT_EQ(t.Plot.Width * 10 + t.Plot.Height, 43) << width;
        } else {
            EXPECT_EQ(message, std::string(refusal) + " : la grille du fichier « " + grid.DistFilePath +
                                   " » a 4 colonnes et 3 lignes, qui font la taille de la parcelle");
        }
    }

    // Two grids of different sizes: the message names both, each with its size.
    Simul two;
    two.Settings.Initial = grid;
    two.Settings.Initial.EnvInitMode = EnvModeFile;
    two.Settings.Initial.EnvFilePath = dir.File("e.asc", Grid(5, 3));
    const std::string both = SetUpMessage(two);
    EXPECT_NE(both.find("« " + grid.DistFilePath + " » a 4 colonnes et 3 lignes ; celle du fichier « " +
                        two.Settings.Initial.EnvFilePath + " », qui fait la taille de la parcelle, en a 5 colonnes"),
              std::string::npos)
        << both;

    Simul windows;
    windows.FixedPlotSize = true;
    windows.Settings.Initial = s.Settings.Initial;
    const std::string shown = SetUpMessage(windows);
    EXPECT_NE(shown.find("glebix-batch"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Python ou R"), std::string::npos) << shown;
}

TEST(PlotShapes, TheDefaultChartCellIsTheCentreOfAnotherSize) {
    for (const auto &[width, height, x, y] :
         {std::tuple{50, 50, 8, 8}, std::tuple{5, 4, 3, 2}, std::tuple{1, 1, 1, 1}, std::tuple{20, 31, 10, 16}}) {
        Simul s;
        s.RefuseChartCellOutside = true;
        s.Settings.Plot.Width = std::to_string(width);
        s.Settings.Plot.Height = std::to_string(height);
        EXPECT_EQ(SetUpMessage(s), "");
        EXPECT_EQ(s.ChartCell().I * 100 + s.ChartCell().J, x * 100 + y) << width << " x " << height;
        EXPECT_EQ(s.Settings.Run.ChartCellX, std::to_string(x));  // recorded as taken
    }
    // Given by name, the default text holds, and is refused outside a small plot.
    Simul s;
    s.RefuseChartCellOutside = true;
    s.Settings.Plot.Width = "5";
    s.Settings.Run.ChartCellXGiven = true;
    EXPECT_NE(SetUpMessage(s).find("ChartCellX"), std::string::npos);
}

TEST(PlotShapes, TriplesBeyondThePlotAreRefusedByLine) {
    testing::ScratchDir dir;
    Simul s;
    s.Settings.Plot.Width = "60";
    s.Settings.Plot.Height = "7";
    s.Settings.Initial.DistInitMode = DistModeFile;
    s.Settings.Initial.DistFilePath = dir.File("d.txt", "60 7 3\n55 8 1\n");
    const std::string refused = SetUpMessage(s);
    EXPECT_NE(refused.find("ligne du fichier 2"), std::string::npos) << refused;
    EXPECT_NE(refused.find("la colonne de 1 à 7"), std::string::npos) << refused;
}

TEST(PlotShapes, BadShapeSettingsAreRefusedByName) {
    for (const auto &[name, text] : {std::pair{"PlotWidth", "0"}, std::pair{"PlotHeight", "4097"},
                                     std::pair{"PlotWidth", "2.5"}, std::pair{"Edges", "tore"}}) {
        Simul s;
        (std::string(name) == "Edges"       ? s.Settings.Plot.Edges
         : std::string(name) == "PlotWidth" ? s.Settings.Plot.Width
                                            : s.Settings.Plot.Height) = text;
        try {
            s.SetUpRun(1);
            ADD_FAILURE() << name << " " << text << " taken";
        } catch (const GlebixError &e) { EXPECT_EQ(e.Context().Setting, name); }
    }
}

std::optional<std::string> AnySetting(std::string_view, std::string_view) { return std::nullopt; }

TEST(PlotShapes, StateFileKeepsTheShape) {
    auto s = ShapedRun({7, 5}, true, Spreads[0], 1);
    s->TimeStep();
    SavedRun run = CaptureRun(*s, 1u, 20261208u, 1, 300);
    const std::string text = StateFileText(run);
    EXPECT_NE(text.find("setting PlotWidth \"7\"\nsetting PlotHeight \"5\"\nsetting Edges \"bounded\"\n"),
              std::string::npos);
    const SavedRun back = ParseStateFile(text, "s", AnySetting);
    EXPECT_EQ(back.Plot.Width, 7);
    EXPECT_EQ(back.Plot.Height, 5);
    EXPECT_TRUE(back.Plot.Bounded);
    EXPECT_EQ(StateFileText(back), text);

    // A grid line that disagrees with the size is refused, by its line.
    std::string body = text.substr(0, text.rfind("sha256 "));
    const std::size_t line = body.find("density\n") + 8;
    body.erase(body.rfind(' ', body.find('\n', line)), body.find('\n', line) - body.rfind(' ', body.find('\n', line)));
    try {
        ParseStateFile(body + "sha256 " + Sha256Hex(body) + "\n", "s", AnySetting);
        ADD_FAILURE() << "a short grid line taken";
    } catch (const GlebixError &e) {
        EXPECT_NE(std::string(e.what()).find("il faut 5 nombres par ligne"), std::string::npos) << e.what();
        EXPECT_GT(e.Context().Line, 30);
    }
}

}  // namespace
}  // namespace glebix
