// The run's initial files as the registry lists them: which ones a run reads, by its
// modes, and the settings that name each one's mode and path.
#include <gtest/gtest.h>

#include "InitialSources.h"
#include "SettingsRegistry.h"

namespace glebix {
namespace {

TEST(InitialSources, TheModesChooseTheFilesARunReads) {
    const struct {
        std::int32_t envMode, distMode;
        std::string habitat;
        std::vector<std::string> read;  // the paths read, in order
    } cases[] = {
        {EnvModeRandom, DistModeCentre, "", {}},
        {EnvModeFile, DistModeCentre, "", {"e.txt"}},
        {EnvModeHomogeneous, DistModeFile, "", {"d.txt"}},
        {EnvModeFile, DistModeFile, "", {"e.txt", "d.txt"}},
        {EnvModeRandom, DistModeCentre, "h.asc", {"h.asc"}},  // a habitat file is read when given
        {EnvModeFile, DistModeFile, "h.asc", {"e.txt", "d.txt", "h.asc"}},
    };
    for (const auto &c : cases) {
        InitialSettings in;
        in.EnvInitMode = c.envMode;
        in.DistInitMode = c.distMode;
        in.EnvFilePath = "e.txt";
        in.DistFilePath = "d.txt";
        in.HabitatFilePath = c.habitat;
        std::vector<std::string> read;
        for (const InitialSource &s : ReadInitialSources(in)) read.push_back(s.path);
        EXPECT_EQ(read, c.read) << c.envMode << " " << c.distMode;
        EXPECT_EQ(InitialSources(in).size(), 5u);  // a file not read is still listed, with its path
    }
}

// A soil map has no mode: it is read whenever its path is given.
TEST(InitialSources, ASoilMapIsReadWhenItsPathIsGiven) {
    InitialSettings in;
    in.DecompactionDMapPath = "d.asc";
    std::vector<std::string> read;
    for (const InitialSource &s : ReadInitialSources(in)) read.push_back(std::string(s.pathSetting));
    EXPECT_EQ(read, std::vector<std::string>{"DecompactionDMapPath"});
    in.CompactionCMapPath = "c.asc";
    EXPECT_EQ(ReadInitialSources(in).size(), 2u);
}

TEST(InitialSources, EachNamesRegistrySettingsOfItsKinds) {
    for (const InitialSource &s : InitialSources(InitialSettings{})) {
        SCOPED_TRACE(std::string(s.role));
        const SettingRow *path = FindSettingRow(s.pathSetting);
        const SettingRow *mode = FindSettingRow(s.modeSetting);
        ASSERT_TRUE(path && (mode || IsSoilMap(s.grid)));
        EXPECT_EQ(path->kind, SettingKind::Path);
        // The habitat file and the soil maps have no mode: each is read whenever its path
        // is given.
        if (mode) { EXPECT_EQ(mode->kind, s.grid == InitialGrid::Habitat ? SettingKind::Path : SettingKind::Mode); }
        EXPECT_EQ(InitialPathSetting(s.role), s.pathSetting);
        EXPECT_EQ(InitialPathSetting(s.grid), s.pathSetting);
    }
    EXPECT_TRUE(InitialPathSetting("species").empty());
}

}  // namespace
}  // namespace glebix
