// Saved states: the checksum, the file's round trip, a resumed run that is the same run
// as an unbroken one, and the refusal of every file that is not a whole state file of
// a known version.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Errors.h"
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
        const std::string expected = StateFileText(CaptureRun(*whole, 5u, 77u, N, N));
        for (const int threads : {1, 2}) {
            for (const int k : {0, 7, N - 1}) {
                SCOPED_TRACE(::testing::Message()
                             << "first " << dispersalFirst << " threads " << threads << " k " << k);
                const auto part = RunSteps(77u, k, threads, dispersalFirst);
                const SavedRun saved = ParseStateFile(StateFileText(CaptureRun(*part, 5u, 77u, k, N)), "s");
                Simul resumed;
                resumed.SetDispersalThreads(threads);
                RestoreRun(saved, resumed);
                for (int step = saved.Step + 1; step <= saved.StepCount; ++step) resumed.TimeStep();
                EXPECT_EQ(StateFileText(CaptureRun(resumed, 5u, 77u, N, N)), expected);
            }
        }
    }
}

TEST(StateFile, EveryItemReadsBackExactly) {
    auto s = RunSteps(3u, 2, 1, false);
    s->Settings.Initial.EnvFilePath = "dossier \"à\" \\ x\ty\n.txt";
    s->Settings.Species.Survival = " 0.4 ";
    s->Settings.Species.ResponseOptimum = 0.1 + 0.2;
    s->Settings.Run.SaveResults = true;
    s->Plot.Env[3][4].Compacted = 5e-324;
    s->Plot.Env[4][3].Decompacted = -0.0;
    s->Plot.Density[49][0] = -2147483647 - 1;
    s->InputGridPlacement = GridPlacement{412345.5, -7.25, 2.5};
    const SavedRun before = CaptureRun(*s, 4000000000u, 9u, 2, 300);
    const std::string text = StateFileText(before);
    const SavedRun after = ParseStateFile(text, "s");
    EXPECT_EQ(StateFileText(after), text);
    EXPECT_EQ(after.Settings.Initial.EnvFilePath, before.Settings.Initial.EnvFilePath);
    EXPECT_EQ(after.Settings.Species.Survival, " 0.4 ");
    EXPECT_EQ(after.Settings.Species.ResponseOptimum, 0.1 + 0.2);
    EXPECT_EQ(after.Plot.Env[3][4].Compacted, 5e-324);
    EXPECT_TRUE(std::signbit(after.Plot.Env[4][3].Decompacted));
    EXPECT_EQ(after.MasterSeed, 4000000000u);
    EXPECT_EQ(after.Generator, s->RandomSeed);
    ASSERT_TRUE(after.InputGridPlacement);
    EXPECT_EQ(after.InputGridPlacement->XllCorner, 412345.5);
    EXPECT_EQ(after.Checksum, text.substr(text.size() - 65, 64));
    EXPECT_EQ(text.substr(0, 15), "GLEBIX-STATE 1\n");
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
        ParseStateFile(text, "etat.txt");
    } catch (const GlebixError &e) {
        EXPECT_EQ(e.Context().Path, "etat.txt");
        return e.what();
    }
    return "accepted";
}

TEST(StateFile, RefusesWhatIsNotAWholeStateFileOfAKnownVersion) {
    const auto s = RunSteps(3u, 1, 1, false);
    const std::string good = StateFileText(CaptureRun(*s, 1u, 1u, 1, 10));
    std::string edited = good;
    edited[good.find("density\n") + 8] ^= 1;
    std::string future = good;
    future.replace(0, 14, "GLEBIX-STATE 2");
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"", "ce n'est pas un fichier d'état"},
        {"ncols 50\nnrows 50\n", "ce n'est pas un fichier d'état"},
        {Resealed(future), "version 2, plus récente"},
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

TEST(StateFile, WriteAndReadBackWithTheFilesChecksum) {
    testing::ScratchDir dir;
    const auto s = RunSteps(8u, 3, 1, false);
    const std::string path = dir / "etat.txt";
    const std::string checksum = WriteStateFile(path, CaptureRun(*s, 1u, 8u, 3, 3));
    const SavedRun back = ReadStateFile(path);
    EXPECT_EQ(back.Checksum, checksum);
    EXPECT_EQ(back.Step, 3);
    try {
        ReadStateFile(dir / "absent.txt");
        FAIL();
    } catch (const GlebixError &e) {
        EXPECT_STREQ(e.what(), "Fichier introuvable");
        EXPECT_EQ(e.Context().Path, dir / "absent.txt");
    }
}

}  // namespace
}  // namespace glebix
