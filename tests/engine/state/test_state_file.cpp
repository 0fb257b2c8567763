// Saved states: the checksum, the file's round trip, a resumed run that is the same run
// as an unbroken one, the text made on several threads, and the refusal of every file
// that is not a whole state file of a known version.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "AtomicFile.h"
#include "Errors.h"
#include "SettingsRegistry.h"
#include "Sha256.h"
#include "Simul.h"
#include "StateFile.h"
#include "TestSupport.h"

namespace glebix {
namespace {

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the padding needs a second block.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256HexPlain(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// A digest taken piece by piece, however the bytes are cut, is the digest of the whole.
TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    std::mt19937 bytes(11);
    std::string text(3000, '\0');
    for (char &c : text) c = static_cast<char>(bytes());
    for (const std::size_t cut : {std::size_t{1}, std::size_t{7}, std::size_t{55}, std::size_t{64}, std::size_t{129}}) {
        Sha256Stream stream;
        for (std::size_t at = 0; at < text.size(); at += cut) stream.Update(std::string_view(text).substr(at, cut));
        EXPECT_EQ(stream.HexDigest(), Sha256Hex(text)) << cut;
    }
    Sha256Stream none;
    none.Update({});
    EXPECT_EQ(none.HexDigest(), Sha256Hex(""));
}

// The processor's SHA instructions, where it has them, give the portable code's digest
// for every length around the block and padding boundaries and for any bytes.
TEST(Sha256, FastFormEqualsThePlainOne) {
    std::mt19937 bytes(7);
    std::string text;
    for (std::size_t size = 0; size <= 300; ++size) {
        EXPECT_EQ(Sha256Hex(text), Sha256HexPlain(text)) << size;
        text += static_cast<char>(bytes());
    }
    text.resize(std::size_t{1} << 20);
    for (char &c : text) c = static_cast<char>(bytes());
    EXPECT_EQ(Sha256Hex(text), Sha256HexPlain(text));
}

// The settings' own check belongs to the front ends; here every text passes.
std::optional<std::string> AnySetting(std::string_view, std::string_view) { return std::nullopt; }

SavedRun Parse(const std::string &text, const std::string &path = "s") {
    return ParseStateFile(text, path, AnySetting);
}

// The state of `simul` as a run of `stepCount` steps saves it.
SavedRun Captured(const Simul &simul, std::uint32_t runSeed, std::int32_t step, std::int32_t stepCount) {
    SavedRun run = CaptureRun(simul, 5u, runSeed, step, stepCount);
    run.Settings.Run.StepCount = std::to_string(stepCount);
    return run;
}

// A run of `steps` steps from `seed`, on `threads` dispersal threads.
std::unique_ptr<Simul> RunSteps(std::uint32_t seed, int steps, int threads, bool dispersalFirst) {
    auto s = std::make_unique<Simul>();
    s->Settings.Species.DispersalFirst = dispersalFirst;
    s->Settings.Initial.DistInitMode = DistModeRandom;
    s->SetDispersalThreads(threads);
    s->SetUpRun(seed);
    for (int step = 1; step <= steps; ++step) s->TimeStep();
    return s;
}

TEST(StateFile, ResumedRunEqualsTheUnbrokenRun) {
    constexpr int N = 24;
    for (const bool dispersalFirst : {false, true}) {
        const auto whole = RunSteps(77u, N, 1, dispersalFirst);
        const std::string expected = StateFileText(Captured(*whole, 77u, N, N));
        for (const int threads : {1, 2}) {
            for (const int k : {0, 7, N - 1}) {
                SCOPED_TRACE(::testing::Message()
                             << "first " << dispersalFirst << " threads " << threads << " k " << k);
                const auto part = RunSteps(77u, k, threads, dispersalFirst);
                const SavedRun saved = Parse(StateFileText(Captured(*part, 77u, k, N)));
                Simul resumed;
                resumed.SetDispersalThreads(threads);
                RestoreRun(saved, resumed);
                for (int step = saved.Step + 1; step <= saved.StepCount; ++step) resumed.TimeStep();
                EXPECT_EQ(StateFileText(Captured(resumed, 77u, N, N)), expected);
            }
        }
    }
}

TEST(StateFile, EveryItemReadsBackExactly) {
    auto s = RunSteps(3u, 2, 1, false);
    // Initial files allow any share and any count.
    s->Settings.Initial.EnvInitMode = EnvModeFile;
    s->Settings.Initial.DistInitMode = DistModeFile;
    s->Settings.Initial.EnvFilePath = "dossier \"à\" \\ x\ty\n.txt";
    s->Settings.Species.Survival = " 0.4";
    s->Settings.Species.ResponseOptimum = 0.1 + 0.2;
    s->TakeSpeciesParameters();
    s->Settings.Run.SaveResults = true;
    s->Plot.Env[3][4].Compacted = 5e-324;
    s->Plot.Env[4][3].Decompacted = -0.0;
    s->Plot.Density[49][0] = -2147483647 - 1;
    s->InputGridPlacement = GridPlacement{412345.5, -7.25, 2.5};
    SavedRun before = CaptureRun(*s, 4000000000u, 9u, 2, 300);
    const std::string text = StateFileText(before);
    const SavedRun after = Parse(text);
    EXPECT_EQ(StateFileText(after), text);
    EXPECT_EQ(after.Settings.Initial.EnvFilePath, before.Settings.Initial.EnvFilePath);
    EXPECT_EQ(after.Settings.Species.Survival, " 0.4");
    EXPECT_EQ(after.Settings.Species.ResponseOptimum, 0.1 + 0.2);
    EXPECT_EQ(after.Plot.Env[3][4].Compacted, 5e-324);
    EXPECT_TRUE(std::signbit(after.Plot.Env[4][3].Decompacted));
    EXPECT_EQ(after.MasterSeed, 4000000000u);
    EXPECT_EQ(after.Generator, s->RandomSeed);
    ASSERT_TRUE(after.InputGridPlacement);
    EXPECT_EQ(after.InputGridPlacement->XllCorner, 412345.5);
    EXPECT_EQ(after.Checksum, text.substr(text.size() - 65, 64));
    EXPECT_EQ(text.substr(0, 15), "GLEBIX-STATE 1\n");  // the oldest version that holds it
    EXPECT_FALSE(after.InputGridCrs);

    // A grid's CRS is kept from version 2, any text exactly; a file without it still
    // reads, the CRS unknown.
    for (const std::string &crs :
         {std::string("PROJCRS[\"RGF93 v1 / Lambert-93\",ID[\"EPSG\",2154]]\n\t\\"), std::string()}) {
        s->InputGridCrs = crs;
        const std::string kept = StateFileText(CaptureRun(*s, 4000000000u, 9u, 2, 300));
        EXPECT_EQ(kept.substr(0, 15), "GLEBIX-STATE 2\n");
        const SavedRun back = Parse(kept);
        ASSERT_TRUE(back.InputGridCrs);
        EXPECT_EQ(*back.InputGridCrs, crs);
        EXPECT_EQ(StateFileText(back), kept);
        Simul resumed;
        RestoreRun(back, resumed);
        EXPECT_EQ(resumed.InputGridCrs, crs);
    }
    // Without a placement there is no CRS to keep.
    s->InputGridPlacement.reset();
    EXPECT_EQ(StateFileText(CaptureRun(*s, 4000000000u, 9u, 2, 300)).substr(0, 15), "GLEBIX-STATE 1\n");
}

// The text with its checksum line made right again after an edit, as a careful forger
// would do: the content checks must then find the fault.
std::string Resealed(std::string text) {
    const auto last = text.rfind("sha256 ");
    if (last != std::string::npos) text.resize(last);
    return text + "sha256 " + Sha256Hex(text) + "\n";
}

std::string Refusal(const std::string &text) {
    try {
        Parse(text, "etat.txt");
    } catch (const GlebixError &e) {
        EXPECT_EQ(e.Context().Path, "etat.txt");
        return e.what();
    }
    return "accepted";
}

TEST(StateFile, RefusesWhatIsNotAWholeStateFileOfAKnownVersion) {
    const auto s = RunSteps(3u, 1, 1, false);
    const std::string good = StateFileText(Captured(*s, 3u, 1, 10));
    std::string edited = good;
    edited[good.find("density\n") + 8] ^= 1;
    std::string future = good;
    future.replace(0, 14, "GLEBIX-STATE " + std::to_string(StateFileVersion + 1));
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"", "ce n'est pas un fichier d'état"},
        {"ncols 50\nnrows 50\n", "ce n'est pas un fichier d'état"},
        {Resealed(future), "version " + std::to_string(StateFileVersion + 1) + ", plus récente"},
        {good.substr(0, good.size() / 2), "tronqué"},
        {good.substr(0, good.size() - 1), "tronqué"},
        {edited, "modifié ou abîmé"},
        {Resealed(good.substr(0, good.find("density\n"))), "« density » manque"},
        {Resealed(good.substr(0, good.find("step 1\n")) + "step 11\n" + good.substr(good.find("step_count"))),
         "dépasse le nombre de pas"},
        {Resealed(good.substr(0, good.find("species Survival"))), "« species Survival » manque"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_NE(Refusal(c.text).find(c.expected), std::string::npos) << Refusal(c.text);
    }
}

// The settings are found by name: a later version may add some, and an older file,
// which lacks them, keeps their defaults. Every setting of the registry is written.
TEST(StateFile, SettingsAreReadByName) {
    const auto s = RunSteps(3u, 1, 1, false);
    const std::string good = StateFileText(Captured(*s, 3u, 1, 10));
    // The plot's shape is written only when it is not the default's.
    for (const SettingRow &row : SettingRows())
        EXPECT_EQ(good.find("\nsetting " + std::string(row.name) + " ") != std::string::npos, !row.omittedWhenDefault)
            << row.name;
    const auto first = good.find("setting "), end = good.find("species ");
    std::vector<std::string> lines;
    for (auto k = first; k < end; k = good.find('\n', k) + 1)
        lines.push_back(good.substr(k, good.find('\n', k) + 1 - k));
    std::string reversed = good.substr(0, first);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) reversed += *line;
    reversed = Resealed(reversed + good.substr(end));
    EXPECT_EQ(StateFileText(Parse(reversed)), good);

    const std::string body = good.substr(0, first), rest = good.substr(end);
    auto without = [&](const std::string &name) {
        std::string out = body;
        for (const std::string &line : lines)
            if (line.rfind("setting " + name + " ", 0) != 0) out += line;
        return out;
    };
    struct Case {
        std::string text, expected;
    } cases[] = {
        {Resealed(without("Fecundity") + rest), "« setting Fecundity » manque"},
        {Resealed(without("") + lines[1] + rest), "donné deux fois"},
        {Resealed(without("") + "setting Colour \"blue\"\n" + rest), "paramètre inconnu « Colour »"},
        {Resealed(without("") + "setting Fecundity\n" + rest), "sans valeur"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_NE(Refusal(c.text).find(c.expected), std::string::npos) << Refusal(c.text);
    }
}

// `text` with the line that starts with `key` replaced by `line`; for a grid's name,
// its first value replaced by `line`.
std::string WithLine(std::string text, const std::string &key, const std::string &line) {
    const bool grid = key.back() == '\n';
    const auto start = text.find(key) + (grid ? key.size() : 0);
    const auto end = text.find(grid ? ' ' : '\n', start);
    return Resealed(text.replace(start, end - start, line));
}

TEST(StateFile, RefusesWhatNoRunReaches) {
    const auto s = RunSteps(3u, 1, 1, false);
    const std::string good = StateFileText(Captured(*s, 3u, 1, 10));
    const auto set = RunSteps(3u, 0, 1, false);
    const std::string setUp = StateFileText(Captured(*set, 3u, 0, 10));
    ASSERT_EQ(Refusal(good), "accepted");
    ASSERT_EQ(Refusal(setUp), "accepted");
    const std::string generator = "generator " + std::to_string(set->RandomSeed + 1);
    struct Case {
        std::string text, expected;
    } cases[] = {
        {WithLine(good, "compacted\n", "500"), "chaque part reste entre 0 et 100"},
        {WithLine(good, "decompacted\n", "nan"), "doit être un nombre fini"},
        {WithLine(good, "density\n", "2147483647"), "au plus 25000000 après un pas"},
        {WithLine(good, "density\n", "-1"), "effectif négatif -1"},
        {WithLine(good, "plot_extent", "plot_extent 50 50 -1"), "« plot_extent 50 50 -1 »"},
        {WithLine(good, "plot_extent", "plot_extent 1000000 50 1"), "est de 50 × 50"},
        {WithLine(good, "step_count", "step_count 300"), "autre que celui du paramètre StepCount"},
        {WithLine(good, "chart_cell", "chart_cell 9 8"), "case du graphique « chart_cell 9 8 »"},
        {WithLine(good, "species Survival", "species Survival 5"), "« 5 » de « species Survival »"},
        {WithLine(good, "grid_placement", "grid_placement 1 2 3"), "sans fichier initial"},
        {WithLine(setUp, "generator", generator), "état du générateur « " + generator},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        const std::string refusal = Refusal(c.text);
        EXPECT_NE(refusal.find(c.expected), std::string::npos) << refusal;
        EXPECT_EQ(refusal.rfind("fichier d'état incorrect : ", 0), 0u) << refusal;
    }
}

// Settings out of their expected ranges reach shares and counts that ordinary ones
// do not: states with them stay readable.
TEST(StateFile, TakesWhatOddSettingsReach) {
    auto s = std::make_unique<Simul>();
    s->Settings.Initial.EnvInitMode = EnvModeHomogeneous;
    s->Settings.Initial.EnvConstant = "500";
    s->Settings.Initial.DistInitMode = DistModeHomogeneous;
    s->Settings.Initial.DistConstant = "-3";
    s->SetUpRun(4u);
    const std::string setUp = StateFileText(Captured(*s, 4u, 0, 2));
    EXPECT_EQ(Refusal(setUp), "accepted");
    EXPECT_NE(Refusal(WithLine(setUp, "density\n", "-2")).find("au pas 0, où la distribution initiale en donne -3"),
              std::string::npos);
    s->TimeStep();
    s->TimeStep();
    EXPECT_EQ(Refusal(StateFileText(Captured(*s, 4u, 2, 2))), "accepted");
}

TEST(StateFile, WriteAndReadBackWithTheFilesChecksum) {
    testing::ScratchDir dir;
    const auto s = RunSteps(8u, 3, 1, false);
    const std::string path = dir / "etat.txt";
    const std::string checksum = WriteStateFile(path, Captured(*s, 8u, 3, 3));
    const SavedRun back = ReadStateFile(path, AnySetting);
    EXPECT_EQ(back.Checksum, checksum);
    EXPECT_EQ(back.Step, 3);
    try {
        ReadStateFile(dir / "absent.txt", AnySetting);
        FAIL();
    } catch (const GlebixError &e) {
        EXPECT_STREQ(e.what(), "Fichier introuvable");
        EXPECT_EQ(e.Context().Path, dir / "absent.txt");
    }
}

// Fails with a full disk once two megabytes have been written.
long FullAfterTwoMegabytes(int fd, const void *data, std::size_t size) {
    static std::size_t written = 0;
    if (written >= (std::size_t{2} << 20)) {
        written = 0;  // for the next test
        errno = ENOSPC;
        return -1;
    }
    const long n = static_cast<long>(::write(fd, data, size));
    written += n > 0 ? static_cast<std::size_t>(n) : 0;
    return n;
}

// A plot whose state is many pieces long is written piece by piece, its grids
// formatted on one thread or several, with the bytes and checksum of its whole text,
// and reads back. A write that fails part-way leaves no file, and a sink that raises
// stops every thread.
TEST(StateFile, ALargePlotIsWrittenInPiecesAsItsWholeText) {
    testing::ScratchDir dir;
    auto s = std::make_unique<Simul>();
    s->Settings.Plot.Width = "700";
    s->Settings.Plot.Height = "400";
    s->Settings.Initial.DistInitMode = DistModeRandom;
    s->SetUpRun(3u);
    s->TimeStep();
    const SavedRun run = Captured(*s, 3u, 1, 1);
    const std::string text = StateFileText(run);
    ASSERT_GT(text.size(), std::size_t{4} << 20);
    for (const int threads : {1, 2, 3, 0}) {
        std::string pieces;
        const std::string digest = WriteStateText(
            SourceOf(run), [&pieces](std::string_view piece) { pieces += piece; }, threads);
        EXPECT_TRUE(pieces == text) << threads;
        EXPECT_EQ(digest, text.substr(text.size() - 65, 64));
    }
    const std::string path = dir / "grand.txt";
    const std::string checksum = WriteStateFile(path, SourceOf(run), 2);
    EXPECT_TRUE(testing::ReadAll(path) == text);
    EXPECT_EQ(text.substr(text.size() - 65, 64), checksum);
    EXPECT_EQ(ReadStateFile(path, AnySetting).Plot.Width, 700);

    const std::string failed = dir / "plein.txt";
    EXPECT_THROW(
        WriteFileAtomically(
            failed, [&run](const PieceSink &sink) { WriteStateText(SourceOf(run), sink, 2); }, FullAfterTwoMegabytes),
        GlebixError);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"grand.txt"}));
    int taken = 0;
    auto stopAtThird = [&taken](std::string_view) {
        if (++taken == 3) throw GlebixError("arrêt");
    };
    EXPECT_THROW(WriteStateText(SourceOf(run), stopAtThird, 2), GlebixError);
    EXPECT_EQ(taken, 3);
}

}  // namespace
}  // namespace glebix
