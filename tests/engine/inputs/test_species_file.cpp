// The species file read by walking the settings registry: each value lands in the
// setting whose row gives its place, in that row's form, and the faults name the token.
#include <gtest/gtest.h>

#include <set>

#include "Errors.h"
#include "SettingsRegistry.h"
#include "SpeciesFile.h"

namespace glebix {
namespace {

// Every value distinct, so that a value read into another place's setting shows.
constexpr const char *DistinctFile = "0.37 2.26 1 3.5 -0.25 0.301 99.5 1.5 2 0.56\n";

TEST(SpeciesFile, EachValueLandsInItsSettingInItsForm) {
    const SpeciesFileContents c = ReadSpeciesText(DistinctFile);
    SpeciesSettings s;
    s.SurvivalEnvSensitive = false;  // a setting the file does not give keeps its value
    ApplySpeciesFile(c, s);
    EXPECT_EQ(s.Survival, "0.4");
    EXPECT_EQ(s.Fecundity, "2.3");
    EXPECT_EQ(s.ResponseShape, 1);
    EXPECT_EQ(s.ResponseOptimum, 3.5);
    EXPECT_EQ(s.ResponseTolerance, -0.25);
    EXPECT_EQ(s.CompactionC, " 3.01000000000000E-0001");
    EXPECT_EQ(s.MortalityAlpha, " 1.50000000000000E+0000");
    EXPECT_EQ(s.DispersalSensitivity, "2");
    EXPECT_EQ(s.DispersalSigma, "0.6");
    EXPECT_FALSE(s.SurvivalEnvSensitive);
    EXPECT_EQ(c.Values[6], 99.5);  // value 7 is kept, but gives no setting
    EXPECT_EQ(c.Species.Survival, s.Survival);

    // The same values sent as numbers alone (as the Python binding sends them).
    SpeciesSettings fromValues;
    ApplySpeciesValues(c.Values, fromValues);
    EXPECT_EQ(fromValues.CompactionC, s.CompactionC);
    EXPECT_EQ(fromValues.ResponseShape, s.ResponseShape);
}

TEST(SpeciesFile, RegistryGivesEachPlaceOnce) {
    std::set<int> places;
    const SpeciesSettings s;
    VisitSpeciesSettings(s, [&places](const SettingRow &row, const auto &) {
        const SpeciesFileValue v = row.speciesFile;
        if (v.position == 0) return;
        EXPECT_TRUE(v.position >= 1 && v.position <= SpeciesFileValueCount) << row.name;
        EXPECT_TRUE(places.insert(v.position).second) << row.name << " shares place " << v.position;
        EXPECT_EQ(v.form != SpeciesFileForm::AsKind, row.kind == SettingKind::Real) << row.name;
    });
    EXPECT_EQ(places.size(), static_cast<std::size_t>(SpeciesFileValueCount - 1));
}

TEST(SpeciesFile, RefusedValueIsLocatedAtItsToken) {
    const struct {
        const char *text, *token;
        int column;
    } cases[] = {
        {"0.4 2 1 0 0 0.3 0 1 2.5 0.5", "2.5", 21},  // a real where the sensitivity is whole
        {"0.4 2 1.5 0 0 0.3 0 1 2 0.5", "1.5", 7},   // a real where the shape is whole
        {"0.4 2 7 0 0 0.3 0 1 2 0.5", "7", 7},       // a shape that does not exist
    };
    for (const auto &c : cases) {
        try {
            ReadSpeciesText(c.text);
            ADD_FAILURE() << c.text;
        } catch (const GlebixError &e) {
            EXPECT_EQ(e.Context().Token, c.token) << c.text;
            EXPECT_EQ(e.Context().Column, c.column) << c.text;
        }
    }
    // A file that ends early reads its missing values as 0.
    SpeciesSettings s;
    ApplySpeciesFile(ReadSpeciesText("0.4 2"), s);
    EXPECT_EQ(s.DispersalSigma, "0.0");
    EXPECT_EQ(s.ResponseShape, 0);
}

}  // namespace
}  // namespace glebix
