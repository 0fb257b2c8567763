// The manifest written beside an indices file: it names the very bytes analysed and
// the indices written, and comes only with indices.
#include <gtest/gtest.h>

#include <filesystem>

#include "SensitivityFiles.h"
#include "Sha256.h"
#include "TestFiles.h"

using namespace glebix::analysis;
using namespace glebix::testing;

namespace {

std::string LhsTable() {
    std::string table = "point,a,b,y\n";
    for (int p = 1; p <= 12; ++p)
        table += std::to_string(p) + "," + std::to_string(p) + "," + std::to_string((p * 7) % 12) + "," +
                 std::to_string(3 * p + (p * 7) % 12) + "\n";
    return table;
}

}  // namespace

TEST(AnalysisManifest, NamesTheBytesAnalysedAndWritten) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", "name,low,high\na,1,12\nb,0,11\n");
    const std::string table = dir.File("table.csv", LhsTable());
    AnalysisRequest request;
    request.Kind = Method::Lhs;
    request.Metrics = {"y"};
    request.Resamples = 30;
    request.Seed = 17;
    const FileOutcome out = WriteIndicesFile(table, factors, request, dir / "indices.csv");
    ASSERT_TRUE(out.Written()) << (out.Problems.empty() ? out.WriteError : out.Problems.front());
    EXPECT_EQ(AnalysisManifestPath(dir / "indices.csv"), dir / "indices.json");
    const std::string manifest = ReadAll(dir / "indices.json");
    for (const std::string &expected :
         {"\"sha256\": \"" + glebix::Sha256Hex(LhsTable()) + "\"",
          "\"sha256\": \"" + glebix::Sha256Hex(ReadAll(factors)) + "\"",
          "\"indices_sha256\": \"" + glebix::Sha256Hex(ReadAll(dir / "indices.csv")) + "\"",
          std::string("\"method\": \"lhs\""), std::string("\"seed\": 17"), std::string("\"bootstrap\": 30"),
          std::string("\"steps\": \"last\""), std::string("\"metrics\": [\n        \"y\"\n    ]")})
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected << "\n" << manifest;
    // A refused analysis writes neither, and leaves an earlier pair as it was.
    request.Metrics = {"absent"};
    EXPECT_FALSE(WriteIndicesFile(table, factors, request, dir / "indices.csv").Written());
    EXPECT_EQ(ReadAll(dir / "indices.json"), manifest);
    EXPECT_FALSE(WriteIndicesFile(table, factors, request, dir / "other.csv").Written());
    EXPECT_FALSE(std::filesystem::exists(dir / "other.json"));
}

TEST(AnalysisManifest, NeverTakesTheNameOfAnInput) {
    ScratchDir dir;
    const std::string table = dir.File("table.csv", LhsTable());
    dir.File("indices.json", "kept");
    AnalysisRequest request;
    request.Kind = Method::Lhs;
    request.Metrics = {"y"};
    // The manifest of indices.txt would be indices.json: here an input.
    const FileOutcome refused = WriteIndicesFile(table, dir / "indices.json", request, dir / "indices.txt");
    EXPECT_FALSE(refused.Problems.empty());
    EXPECT_EQ(ReadAll(dir / "indices.json"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir / "indices.txt"));
}

// Factors as rows and a table as text give the indices of the files they stand for,
// byte for byte, written or not; a sample of rows is the factors file's design.
TEST(AnalysisInputs, RowsAndTextEqualTheFiles) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", "name,low,high\na,1,12\nb,0,11\n");
    const std::string table = dir.File("table.csv", LhsTable());
    const FactorsInput rows{"", std::vector<FactorRow>{{"a", "1", "12", ""}, {"b", "0", "11", "linear"}}};
    AnalysisRequest request;
    request.Kind = Method::Lhs;
    request.Metrics = {"y"};
    request.Resamples = 30;
    ASSERT_TRUE(WriteIndicesFile(table, factors, request, dir / "indices.csv").Written());
    const FileOutcome given = AnalyseInputs({"", LhsTable()}, rows, request, "");
    ASSERT_TRUE(given.Written()) << given.Problems.front();
    EXPECT_EQ(given.Text, ReadAll(dir / "indices.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "unwritten.json"));
    // The output place is still checked against a file given.
    EXPECT_FALSE(AnalyseInputs({table, std::nullopt}, rows, request, table).Written());
    EXPECT_EQ(ReadAll(table), LhsTable());

    SampleRequest sample;
    sample.Kind = Method::Sobol;
    sample.Samples = 8;
    sample.Seed = 3;
    ASSERT_TRUE(WriteDesignFile(factors, sample, dir / "design.csv").Written());
    const FileOutcome design = SampleFactorsInput(rows, sample, "");
    ASSERT_TRUE(design.Written());
    EXPECT_EQ(design.Text, ReadAll(dir / "design.csv"));
    EXPECT_FALSE(WriteDesignFile(factors, sample, "").Written());
}
