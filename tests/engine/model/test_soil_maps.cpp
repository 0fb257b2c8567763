// Per-cell maps of CompactionC and DecompactionD: a constant map is the number itself,
// the fast processes stay exact against their plain forms under any map, a bad map is
// refused naming its file and cell, and a saved state keeps the values.
#include <charconv>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "../common/TestFiles.h"
#include "Errors.h"
#include "SoilMapFiles.h"
#include "StateFile.h"
#include "Simul.h"

namespace glebix {
namespace {

using testing::ScratchDir;

// An ESRI ASCII grid of `width` x `height` whose cell (i, j), each from 0, holds value(i, j).
template <typename Value>
std::string GridText(int width, int height, Value value) {
    std::string out = "ncols " + std::to_string(width) + "\nnrows " + std::to_string(height) +
                      "\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -9999\n";
    char buffer[32];
    for (int j = height - 1; j >= 0; --j) {  // the top line first
        for (int i = 0; i < width; ++i) {
            out += std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value(i, j)).ptr);
            out += i + 1 < width ? ' ' : '\n';
        }
    }
    return out;
}

// A grid whose every cell holds the setting's text `text`, as the number is read.
std::string ConstantGrid(const std::string &text) {
    std::string out = GridText(GridSide, GridSide, [](int, int) { return 1; });
    for (std::size_t at = out.find("cellsize 1\nnodata_value -9999\n") + 30;
         (at = out.find('1', at)) != std::string::npos; at += text.size())
        out.replace(at, 1, text);
    return out;
}

// A run's plot, generator and fault after `steps` steps from set-up.
struct Ran {
    std::string fault = "-";
    std::uint32_t seed = 0;
    std::vector<std::int32_t> density;
    std::vector<TCellEnv> env;
    bool operator==(const Ran &o) const {
        return fault == o.fault && seed == o.seed && density == o.density &&
               std::memcmp(env.data(), o.env.data(), env.size() * sizeof(TCellEnv)) == 0;
    }
};

Ran Capture(const Simul &s) {
    Ran r;
    r.seed = s.RandomSeed;
    r.density.assign(s.Plot.Density.Data(), s.Plot.Density.Data() + s.Plot.Density.Size());
    r.env.assign(s.Plot.Env.Data(), s.Plot.Env.Data() + s.Plot.Env.Size());
    return r;
}

Ran RunFor(Simul &s, int steps, void (Simul::*step)() = &Simul::TimeStep) {
    std::string fault = "-";
    try {
        s.SetUpRun(20261209);
        for (int k = 0; k < steps; ++k) (s.*step)();
    } catch (const GlebixError &e) { fault = e.what(); }
    Ran r = Capture(s);
    r.fault = fault;
    return r;
}

TEST(SoilMaps, AConstantMapGivesTheRunOfItsNumber) {
    ScratchDir dir;
    for (const bool compaction : {true, false}) {
        for (const int threads : {1, 3}) {
            Simul number, mapped;
            for (Simul *s : {&number, &mapped}) {
                s->Settings.Species.Survival = "0.6";  // crowded: capacities matter
                s->Settings.Species.CompactionC = "0.2";
                s->Settings.Run.DecompactionD = "3.5";
                s->SetDispersalThreads(threads);
            }
            const std::string &text =
                compaction ? number.Settings.Species.CompactionC : number.Settings.Run.DecompactionD;
            const std::string path = dir.File("constant.asc", ConstantGrid(text));
            (compaction ? mapped.Settings.Initial.CompactionCMapPath : mapped.Settings.Initial.DecompactionDMapPath) =
                path;
            // The number no longer counts once a map replaces it.
            (compaction ? mapped.Settings.Species.CompactionC : mapped.Settings.Run.DecompactionD) = "1e9";
            const Ran a = RunFor(number, 40), b = RunFor(mapped, 40);
            EXPECT_EQ(a.fault, "-");
            EXPECT_TRUE(a == b) << (compaction ? "CompactionC" : "DecompactionD") << ", threads " << threads;
            EXPECT_TRUE(mapped.Plot.Soil.Any());
            EXPECT_FALSE(number.Plot.Soil.Any());
        }
    }
}

TEST(SoilMaps, GridLinesAndColumnsAreThePlotsCells) {
    TPlot plot(7, 4);
    ReadCompactionCMapText(GridText(7, 4, [](int i, int j) { return 100.0 * i + j; }), "m.asc", plot);
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(plot.Soil.CompactionC[i * 4 + j], 100.0 * i + j);
}

// A map whose cell (3, 5) holds `token`, every other cell 1.
std::string MapWithCell(const std::string &token) {
    std::string text = GridText(GridSide, GridSide, [](int i, int j) { return i == 2 && j == 4 ? 7.0 : 1.0; });
    text.replace(text.find(" 7 "), 3, " " + token + " ");
    return text;
}

TEST(SoilMaps, ABadMapIsRefusedNamingItsFileAndCell) {
    ScratchDir dir;
    struct Case {
        std::string text, said;
    };
    const Case cases[] = {
        {MapWithCell("abc"), "ligne 3, colonne 5"},
        {MapWithCell("1e999"), "ligne 3, colonne 5"},
        {MapWithCell("nan"), "ligne 3, colonne 5"},
        {MapWithCell("-9999"), "ligne 3, colonne 5 de la parcelle sans valeur (nodata)"},
        {GridText(40, 50, [](int, int) { return 1.0; }), "40 colonnes et 50 lignes"},
        {"1 1 0.3\n", "doit être une grille"},
    };
    for (const bool compaction : {true, false}) {
        for (const Case &c : cases) {
            Simul s;
            const std::string path = dir.File("bad.asc", c.text);
            (compaction ? s.Settings.Initial.CompactionCMapPath : s.Settings.Initial.DecompactionDMapPath) = path;
            try {
                s.SetUpRun(1);
                ADD_FAILURE() << c.said;
            } catch (const GlebixError &e) {
                EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos) << e.what();
                EXPECT_EQ(e.Context().Path, path);
                EXPECT_EQ(e.Context().Setting, compaction ? "CompactionCMapPath" : "DecompactionDMapPath");
            }
            EXPECT_FALSE(s.Plot.Soil.Any()) << "a refused map is not kept";
        }
    }
}

// A plot, a generator state and maps drawn at random, some cells' values bringing faults.
void Prepare(Simul &s, std::uint32_t seed, int sensitivity, bool faults) {
    std::mt19937 rng(seed);
    s.Settings.Species.DispersalSensitivity = std::to_string(sensitivity);
    s.Settings.Species.Survival = "0.8";
    s.Settings.Species.Fecundity = "3";
    s.TakeSpeciesParameters();
    s.Plot.CellSize = 1;
    s.Plot.NRows = s.Plot.NCols = GridSide;
    s.Plot.Soil.CompactionC.resize(CellCount);
    s.Plot.Soil.DecompactionD.resize(CellCount);
    for (int c = 0; c < CellCount; ++c) {
        const double compacted = (rng() % 100000) / 1000.0;
        s.Plot.Env.Data()[c] = {compacted, 100 - compacted};
        s.Plot.Density.Data()[c] = static_cast<std::int32_t>(rng() % (rng() % 10 == 0 ? 3000 : 60));
        s.Plot.Soil.CompactionC[c] = rng() % 4 == 0 ? 0.0 : (rng() % 1000) / 1000.0;
        s.Plot.Soil.DecompactionD[c] = (rng() % 12000) / 1000.0 - 1;
    }
    if (faults) s.Plot.Soil.CompactionC[1234] = -0.0001;  // cancels survival's guard: a division by zero
    s.RandomSeed = rng();
}

TEST(SoilMaps, FastProcessesMatchTheirPlainFormsUnderMaps) {
    int faults = 0;
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        const int sensitivity = seed % 3 == 0 ? 0 : 2;
        const bool withFault = seed % 4 == 0;
        Simul plain, fast;
        Prepare(plain, seed, sensitivity, withFault);
        Prepare(fast, seed, sensitivity, withFault);
        fast.SetDispersalThreads(1 + static_cast<int>(seed % 3));
        for (int step = 1; step <= 6; ++step) {
            Ran p, f;
            for (auto [s, r, form] :
                 {std::tuple{&plain, &p, &Simul::TimeStepReference}, std::tuple{&fast, &f, &Simul::TimeStep}}) {
                try {
                    (s->*form)();
                } catch (const GlebixError &e) { r->fault = e.what(); }
                const std::string fault = r->fault;
                *r = Capture(*s);
                r->fault = fault;
            }
            ASSERT_TRUE(p == f) << "seed " << seed << ", step " << step << ": " << p.fault << " / " << f.fault;
            if (p.fault != "-") {
                ++faults;
                break;
            }
        }
        // The dispersal pass alone, against its reference.
        Prepare(plain, seed + 100, sensitivity, false);
        Prepare(fast, seed + 100, sensitivity, false);
        plain.DisperseReference();
        fast.Disperse();
        EXPECT_TRUE(Capture(plain) == Capture(fast)) << "dispersal, seed " << seed;
    }
    EXPECT_GE(faults, 3) << "the maps meant to fault";
}

TEST(SoilMaps, AResumedRunEqualsTheUnbrokenOneWithoutItsMapFiles) {
    ScratchDir dir;
    auto maps = [&dir](Simul &s) {
        s.Settings.Species.Survival = "0.6";
        s.Settings.Initial.CompactionCMapPath = dir.File(
            "c.asc", GridText(GridSide, GridSide, [](int i, int j) { return 0.05 + 0.01 * ((i * 7 + j) % 30); }));
        s.Settings.Initial.DecompactionDMapPath =
            dir.File("d.asc", GridText(GridSide, GridSide, [](int i, int) { return 1.0 + i / 10.0; }));
    };
    Simul unbroken, first;
    maps(unbroken);
    maps(first);
    const Ran whole = RunFor(unbroken, 30);
    RunFor(first, 12);
    const std::string text = StateFileText(CaptureRun(first, 1, 20261209, 12, 300));
    EXPECT_EQ(text.substr(0, 15), "GLEBIX-STATE 3\n");
    std::filesystem::remove(dir / "c.asc");
    std::filesystem::remove(dir / "d.asc");
    const SavedRun saved = ParseStateFile(
        text, "s.state", [](std::string_view, std::string_view) { return std::optional<std::string>(); });
    EXPECT_EQ(saved.Plot.Soil, first.Plot.Soil);
    Simul resumed;
    RestoreRun(saved, resumed);
    for (int k = 12; k < 30; ++k) resumed.TimeStep();
    EXPECT_TRUE(Capture(resumed) == whole);
    // A state without maps is written as before them.
    Simul plain;
    RunFor(plain, 2);
    EXPECT_EQ(StateFileText(CaptureRun(plain, 1, 20261209, 2, 300)).substr(0, 15), "GLEBIX-STATE 1\n");
}

}  // namespace
}  // namespace glebix
