// The manifest written beside an indices file: it names the very bytes analysed and
// the indices written, and comes only with indices.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "ResultTable.h"
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

// The entry points of the front ends give back the very texts the files hold, and
// write nothing without a path: factors as rows and the table as text analyse to the
// bytes of the files.
TEST(FrontEndEntries, GiveTheFilesBytesWithOrWithoutWriting) {
    ScratchDir dir;
    const std::string factorsPath = dir.File("factors.csv", "name,low,high\na,1,12\nb,0,11\n");
    const std::string table = dir.File("table.csv", LhsTable());
    SampleRequest sample;
    sample.Samples = 12;
    sample.Seed = 5;
    ASSERT_TRUE(WriteDesignFile(factorsPath, sample, dir / "design.csv").Written());
    const ParsedFactors rows = FactorsFromRows({{"a", 1, 12, ""}, {"b", 0, 11, "linear"}});
    ASSERT_TRUE(rows.Problems.empty());
    const DesignOutcome design = SampleInto(rows.Factors, sample, "", {});
    ASSERT_TRUE(design.Written());
    EXPECT_EQ(design.Design.Text, ReadAll(dir / "design.csv"));
    EXPECT_EQ(design.Design.Values.size(), 24u);
    EXPECT_FALSE(SampleInto(rows.Factors, sample, factorsPath, {factorsPath}).Written());
    EXPECT_EQ(ReadAll(factorsPath), "name,low,high\na,1,12\nb,0,11\n");

    AnalysisRequest request;
    request.Kind = Method::Lhs;
    request.Metrics = {"y"};
    request.Resamples = 30;
    request.Seed = 17;
    ASSERT_TRUE(WriteIndicesFile(table, factorsPath, request, dir / "indices.csv").Written());
    const IndicesOutcome given = AnalyseInto(LhsTable(), "", rows.Factors, "", request, "");
    ASSERT_TRUE(given.Written()) << (given.Problems.empty() ? given.WriteError : given.Problems.front());
    EXPECT_EQ(given.Csv, ReadAll(dir / "indices.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "given.csv"));
    ASSERT_TRUE(AnalyseInto(LhsTable(), "", rows.Factors, "", request, dir / "given.csv").Written());
    EXPECT_EQ(ReadAll(dir / "given.csv"), given.Csv);
    EXPECT_NE(ReadAll(dir / "given.json").find(glebix::Sha256Hex(FactorsText(rows.Factors))), std::string::npos);
}

// A table handed over as columns reads back to its values, missing reals missing, and
// analyses to the bytes of the same table written as a file.
TEST(FrontEndEntries, ColumnsMakeTheTableTheirFileIs) {
    using Kind = TableColumn::Kind;
    std::vector<TableColumn> columns(5);
    columns[0] = {"point", Kind::Whole, {}, {}, {}};
    columns[1] = {"a", Kind::Whole, {}, {}, {}};
    columns[2] = {"b", Kind::Whole, {}, {}, {}};
    columns[3] = {"y", Kind::Real, {}, {}, {}};
    columns[4] = {"status, as text", Kind::Text, {}, {}, {}};
    for (int p = 1; p <= 12; ++p) {
        columns[0].Wholes.push_back(p);
        columns[1].Wholes.push_back(p);
        columns[2].Wholes.push_back((p * 7) % 12);
        columns[3].Reals.push_back(3 * p + (p * 7) % 12);
        columns[4].Texts.push_back("ok");
    }
    const std::string text = TableText(columns);
    EXPECT_EQ(text.substr(0, text.find('\n')), "point,a,b,y,\"status, as text\"");
    AnalysisRequest request;
    request.Kind = Method::Lhs;
    request.Metrics = {"y"};
    request.Resamples = 30;
    request.Seed = 17;
    const ParsedFactors rows = FactorsFromRows({{"a", 1, 12, ""}, {"b", 0, 11, ""}});
    const IndicesOutcome fromColumns = AnalyseInto(text, "", rows.Factors, "", request, "");
    const IndicesOutcome fromFile = AnalyseInto(LhsTable(), "", rows.Factors, "", request, "");
    ASSERT_TRUE(fromColumns.Written()) << fromColumns.Problems.front();
    EXPECT_EQ(fromColumns.Csv, fromFile.Csv);
    // Reals read back exactly; a missing one is a failed run's.
    columns[3].Reals[0] = 0.1 + 0.2;
    columns[3].Reals[1] = std::numeric_limits<double>::quiet_NaN();
    const ParsedTable parsed = ParseResultTable(TableText(columns), "t", {"a", "b"}, {"y"});
    ASSERT_TRUE(parsed.Problems.empty()) << parsed.Problems.front();
    EXPECT_EQ(parsed.Table.RowMetrics[0], 0.1 + 0.2);
    EXPECT_TRUE(std::isnan(parsed.Table.RowMetrics[1]));
}
