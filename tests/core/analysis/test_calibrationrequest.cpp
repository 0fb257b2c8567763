// A calibration asked for by named options, as the bindings ask for it: the request
// they all build, and factors given as rows refused as a factors file's lines are,
// before any run and with nothing written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <variant>

#include "CalibrationStudy.h"
#include "SettingsTable.h"
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

namespace {

// A calibration of runs on a small plot, some of which fault (mode 0 reads a
// distribution file that is not given), into `out`.
CalibrationRequest FaultingRequest(const ScratchDir &dir, const std::string &method, const std::string &out) {
    CalibrationOptions options;
    options.Factors = dir.File("factors.csv", "name,low,high\nSurvival,0.2,0.8\nDistInitMode,0,4\n");
    options.Observed = dir.File("observed.csv", "step,metric,value\n6,total_density,10\n12,total_density,60\n");
    options.Out = out;
    options.Method = method;
    options.Samples = 60;
    options.Accept = 0.5;
    options.Seed = 3;
    options.Jobs = 2;
    options.Steps = 12;
    for (const char *side : {"PlotWidth", "PlotHeight"}) glebix::core::ApplySetting(side, "10", options.Settings);
    return std::get<CalibrationRequest>(CalibrationRequestOf(options));
}

}  // namespace

// A front end's runner of each batch gives the local runner's bytes, faulted runs
// included, whatever order it makes the runs in, through the one-run unit.
TEST(CalibrationRunner, AnyOrderOfTheUnitGivesTheLocalBytes) {
    ScratchDir dir;
    for (const std::string method : {"abc-rejection", "abc-smc"}) {
        const FileOutcome local = Calibrate(FaultingRequest(dir, method, dir / (method + "-local")));
        ASSERT_TRUE(local.Problems.empty() && local.WriteError.empty()) << local.WriteError;
        CalibrationRequest request = FaultingRequest(dir, method, dir / (method + "-hook"));
        const CalibrationRunInputs inputs = CalibrationRunInputsOf(request);
        ASSERT_TRUE(inputs.Problems.empty());
        std::size_t batches = 0, faulted = 0;
        request.RunBatch = [&](const std::vector<CalibrationRun> &runs) {
            ++batches;
            std::vector<std::vector<double>> out(runs.size());
            for (std::size_t k = runs.size(); k-- > 0;) {
                out[k] = CalibrationRunSummaries(request, inputs.Factors, runs[k], inputs.Targets, inputs.Steps);
                faulted += out[k].empty();
            }
            return out;
        };
        const FileOutcome hooked = Calibrate(request);
        ASSERT_TRUE(hooked.Problems.empty() && hooked.WriteError.empty()) << hooked.WriteError;
        EXPECT_GT(faulted, 0u);
        EXPECT_EQ(batches > 1, method == "abc-smc");
        for (const char *name : {PosteriorFileName, PosteriorSummaryFileName})
            EXPECT_EQ(ReadAll(dir / (method + "-hook/" + name)), ReadAll(dir / (method + "-local/" + name)))
                << method << " " << name;
    }
}

// A runner that loses runs ends the calibration with nothing written.
TEST(CalibrationRunner, ARunnerLosingRunsIsRefused) {
    ::setenv("LANGUAGE", "en", 1);
    ScratchDir dir;
    CalibrationRequest request = FaultingRequest(dir, "abc-rejection", dir / "out");
    request.RunBatch = [](const std::vector<CalibrationRun> &runs) {
        return std::vector<std::vector<double>>(runs.size() - 1);
    };
    const FileOutcome out = Calibrate(request);
    EXPECT_NE(out.WriteError.find("59 rows instead of 60"), std::string::npos) << out.WriteError;
    EXPECT_FALSE(std::filesystem::exists(dir / (std::string("out/") + PosteriorFileName)));
}
