// A calibration asked for by named options, as the bindings ask for it: the request
// they all build, and factors given as rows refused as a factors file's lines are,
// before any run and with nothing written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <variant>

#include "CalibrationStudy.h"
#include "TestFiles.h"

using namespace glebix::analysis;
using namespace glebix::testing;

TEST(CalibrationOptions, MakeTheRequestOrNameTheUnknownMethod) {
    CalibrationOptions options;
    options.Factors = "f.csv";
    options.FactorRows = std::vector<FactorRow>{{"Survival", 0.2, 0.8, ""}};
    options.Method = "abc-smc";
    options.Samples = 60;
    options.Steps = 12;
    options.Program = "glebix (R)";
    const auto made = CalibrationRequestOf(options);
    ASSERT_TRUE(std::holds_alternative<CalibrationRequest>(made));
    const auto &request = std::get<CalibrationRequest>(made);
    EXPECT_EQ(request.Method, CalibrationMethod::Smc);
    EXPECT_EQ(request.Settings.Run.StepCount, "12");
    EXPECT_EQ(request.Samples, 60);
    EXPECT_EQ(request.Program, "glebix (R)");
    ASSERT_TRUE(request.FactorRows.has_value());
    EXPECT_EQ(request.FactorRows->front().Name, "Survival");

    options.Method = "abc-mcmc";
    const auto refused = CalibrationRequestOf(options);
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_NE(std::get<std::string>(refused).find("abc-mcmc"), std::string::npos);
}

TEST(CalibrationOptions, RowsAreRefusedBeforeAnyRun) {
    ::setenv("LANGUAGE", "en", 1);
    ScratchDir dir;
    CalibrationOptions options;
    options.Observed = dir.File("observed.csv", "step,metric,value\n6,total_density,10\n");
    options.Out = dir / "out";
    options.Samples = 10;
    options.Steps = 12;
    for (const auto &[rows, expected] :
         {std::pair{std::vector<FactorRow>{{"Survival", 0.8, 0.2, ""}}, std::string("factor Survival: column high")},
          std::pair{std::vector<FactorRow>{{"rain", 0, 1, ""}}, std::string("\"factors\": factor rain")}}) {
        options.FactorRows = rows;
        const FileOutcome out = Calibrate(std::get<CalibrationRequest>(CalibrationRequestOf(options)));
        ASSERT_EQ(out.Problems.size(), 1u);
        EXPECT_NE(out.Problems.front().find(expected), std::string::npos) << out.Problems.front();
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
}
