// The manifest's bytes: a manifest written before must come out byte for byte, under
// a French locale, and its reals in the one form whatever their size.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "JsonText.h"
#include "Manifest.h"
#include "Version.h"

using namespace glebix;
using namespace glebix::core;

namespace {

// What a resumed design run that ended on an error states, with texts that need
// escaping or repair and reals of every form.
ManifestContents EveryKind() {
    ManifestContents c;
    c.Program = "glebix-batch";
    c.Run = 3;
    c.Replicates = 5;
    c.Seed = 4294967295u;
    c.MasterSeed = 252045073u;
    c.StepCount = 10;
    c.StepsReached = 7;
    c.Message = "« Dispersal » \"x\"\\\n\t\x01\x7f/ bad\xff\xc3";
    c.Started = "2026-01-31T12:00:00Z";
    c.Seconds = 0.0001;
    c.Inputs = {{"species", "/data/x/../espèce.txt", 1234, std::string(64, 'a')},
                {"params", "/data/missing.txt", -1, ""}};
    c.Outputs = {{"result_file", "out/RireVed1a1p1.txt"}, {"asc", "out/grids"}, {"animation", "out/a.gif"}};
    c.Georeference = gis::Georeference{{123456.5, -0.0, 100.0}, 50, 50, "PROJCRS[\"x\",\n  ID[]]", "env.asc"};
    c.AnimationFramesPerSecond = 12.5;
    c.AnimationStyleText = "map";
    c.AnimationCellSize = 4;
    c.ResumedFrom = "s.state";
    c.ResumedFromStep = 4;
    c.ResumedFromSha256 = std::string(64, 'b');
    c.Command = {"glebix-batch", "--seed", "1", "--set", "Name=a b"};
    c.WorkingDirectory = "/tmp/étude";
    c.HasDesign = true;
    c.Point = 2;
    c.Design = {{"SurvivalRate", "0.5"}, {"Dispersal", "on"}};
    c.IndependentSeeds = true;
    return c;
}

std::string Pinned(const std::string &name) {
    std::ifstream in(std::string(GLEBIX_SOURCE_DIR) + "/tests/core/data/" + name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string version = "@VERSION@";
    if (const auto at = text.find(version); at != std::string::npos) text.replace(at, version.size(), VersionNumber());
    return text;
}

TEST(ManifestText, KeepsTheBytesOfEarlierManifests) {
    ManifestContents bare;
    bare.Program = "glebix";
    bare.Completed = true;
    bare.WorkingDirectory = "/w";
    EXPECT_EQ(ManifestText(EveryKind()), Pinned("manifest-every-kind.json"));
    EXPECT_EQ(ManifestText(bare), Pinned("manifest-bare.json"));
}

// Reals as earlier manifests wrote them: whole ones up to 2^53 as integers, others
// the shorter of fixed and scientific with the shortest digits, never a comma.
TEST(ManifestText, RealsInOneForm) {
    const std::pair<double, const char *> cases[] = {
        {100.0, "100"},
        {-0.0, "0"},
        {0.25, "0.25"},
        {0.0001, "1e-04"},
        {1e-05, "1e-05"},
        {123456789012.5, "123456789012.5"},
        {1e15, "1000000000000000"},
        {9007199254740992.0, "9007199254740992"},
        {1e16, "1e+16"},
        {1.5e17, "1.5e+17"},
        {-5.0881431175634309e+18, "-5088143117563431000"},
        {1e21, "1e+21"},
        {5e-324, "5e-324"},
        {std::nan(""), "null"},
        {-HUGE_VAL, "null"},
    };
    for (const auto &[value, text] : cases) EXPECT_EQ(JsonNumber(value), text) << value;
}

}  // namespace
