// --sample and --analyse, as the program ships: a Morris study of a few settings
// sampled, run with the design and analysed, and the refusals that write nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/wait.h>

#include "BatchProgram.h"
#include "TestFiles.h"

using namespace glebix::testing;

namespace {

const char *const Factors =
    "name,low,high,scale\nSurvival,0.3,0.5,linear\nFecundity,0.5,2,log\n"
    "DispersalSensitivity,0,3,linear\n";

}  // namespace

TEST(SensitivityProgram, SampleRunAnalyse) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors);
    const std::string design = dir / "design.csv", table = dir / "table.csv", indices = dir / "indices.csv";
    ASSERT_EQ(RunProgram("--sample morris --factors " + factors +
                         " --samples 3 --levels 4 --pool 6 --seed 5 "
                         "--design-out " +
                         design),
              0);
    const std::string designText = ReadAll(design);
    EXPECT_EQ(designText.substr(0, designText.find('\n')), "Survival,Fecundity,DispersalSensitivity");
    ASSERT_EQ(RunProgram("--design " + design + " --steps 4 --seed 1 --quiet --table " + table), 0);
    const std::string analyse = "--analyse " + table + " --factors " + factors +
                                " --method morris --metric total_density --metric mean_compacted --seed 9 --indices ";
    ASSERT_EQ(RunProgram(analyse + indices), 0);
    const std::string text = ReadAll(indices);
    EXPECT_EQ(text.substr(0, text.find('\n')), "metric,step,factor,index,estimate,low,high");
    // Two metrics, three factors, three indices, at the table's last step.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 2 * 3 * 3);
    EXPECT_NE(text.find("\ntotal_density,4,Survival,mu_star,"), std::string::npos);
    // The same seed gives the same bytes; every step gives each step's rows.
    ASSERT_EQ(RunProgram(analyse + dir / "again.csv"), 0);
    EXPECT_EQ(ReadAll(dir / "again.csv"), text);
    ASSERT_EQ(RunProgram(analyse + dir / "steps.csv --every-step --bootstrap 50"), 0);
    const std::string steps = ReadAll(dir / "steps.csv");
    EXPECT_EQ(std::count(steps.begin(), steps.end(), '\n'), 1 + 5 * 2 * 3 * 3);
    // The runs' metrics over their steps, with an empty step.
    ASSERT_EQ(RunProgram("--analyse " + table + " --factors " + factors +
                         " --method morris --metric final_total --metric time_mean_mean_compacted --seed 9"
                         " --bootstrap 50 --indices " +
                         dir / "runs.csv"),
              0);
    const std::string runs = ReadAll(dir / "runs.csv");
    EXPECT_NE(runs.find("\nfinal_total,,Survival,mu_star,"), std::string::npos);
    EXPECT_NE(runs.find("\ntime_mean_mean_compacted,,Fecundity,sigma,"), std::string::npos);
    // The figure: a PNG 800 pixels wide, a panel of three factors of three bars each
    // per metric below the legend.
    ASSERT_EQ(RunProgram(analyse + dir / "figured.csv --figure " + dir / "figure.png"), 0);
    EXPECT_EQ(ReadAll(dir / "figured.csv"), text);
    const std::string png = ReadAll(dir / "figure.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    const auto bigEndian = [&png](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(bigEndian(16), 800);
    EXPECT_EQ(bigEndian(20), 10 + 20 + 2 * (20 + 3 * (3 * (8 + 3) + 8) + 10));
    // Never in the place of an input.
    EXPECT_EQ(RunProgram(analyse + dir / "other.csv --figure " + table), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "other.csv"));
}

// Usage errors exit 2 and write nothing; an output never replaces an input.
TEST(SensitivityProgram, RefusalsWriteNothing) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors);
    const std::string bad = dir.File("bad.csv", "name,low,high\nSurvival,0.5,0.3\n");
    const std::string out = dir / "out.csv", messages = dir / "messages.txt";
    EXPECT_EQ(RunProgram("--sample lhs --factors " + bad + " --samples 4 --seed 1 --design-out " + out, messages), 2);
    EXPECT_EQ(ReadAll(messages),
              "glebix-batch: " + bad + ":2: column high: high (0.3) must be greater than low (0.5)\n");
    EXPECT_EQ(RunProgram("--sample lhs --factors " + factors + " --samples 4 --design-out " + out, messages), 2);
    EXPECT_NE(ReadAll(messages).find("--sample needs --seed"), std::string::npos);
    EXPECT_EQ(RunProgram("--sample halton --factors " + factors + " --samples 4 --seed 1 --design-out " + out), 2);
    EXPECT_EQ(RunProgram("--sample lhs --factors " + factors + " --samples 4 --seed 1 --steps 3 --design-out " + out),
              2);
    EXPECT_EQ(RunProgram("--metric total_density"), 2);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(RunProgram("--sample lhs --factors " + factors + " --samples 4 --seed 1 --design-out " + factors), 2);
    const std::string table = dir.File("table.csv", "point,Survival,Fecundity,DispersalSensitivity,y\n1,0.4,1,2,abc\n");
    EXPECT_EQ(RunProgram(
                  "--analyse " + table + " --factors " + factors + " --method lhs --metric y --seed 1 --indices " + out,
                  messages),
              2);
    EXPECT_EQ(
        ReadAll(messages),
        "glebix-batch: " + table + ":2: column y: \"abc\" is not a number (a missing value is written empty or NA)\n");
    EXPECT_EQ(RunProgram("--analyse " + table + " --factors " + factors +
                         " --method lhs --metric y --seed 1 --indices " + table),
              2);
    EXPECT_EQ(ReadAll(table), "point,Survival,Fecundity,DispersalSensitivity,y\n1,0.4,1,2,abc\n");
    EXPECT_EQ(ReadAll(factors), Factors);
    EXPECT_FALSE(std::filesystem::exists(out));
    // A design that cannot be written: exit status 1.
    EXPECT_EQ(RunProgram("--sample lhs --factors " + factors + " --samples 4 --seed 1 --design-out " +
                         dir / "missing/design.csv"),
              1);
}

namespace {

// Field `column` (from 0) of a CSV line without quotes.
std::string Field(const std::string &line, std::size_t column) {
    std::size_t from = 0;
    for (std::size_t k = 0; k < column; ++k) from = line.find(',', from) + 1;
    return line.substr(from, line.find(',', from) - from);
}

}  // namespace

// A thinned table keeps the full table's rows as they were, and its metric columns
// give the analysis the indices it computes from every step.
TEST(SensitivityProgram, ThinnedTableWithMetrics) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors);
    const std::string design = dir / "design.csv", full = dir / "full.csv", last = dir / "last.csv";
    ASSERT_EQ(
        RunProgram("--sample morris --factors " + factors + " --samples 2 --levels 4 --seed 5 --design-out " + design),
        0);
    const std::string run = "--design " + design + " --steps 6 --seed 1 --replicates 2 --quiet --table ";
    ASSERT_EQ(RunProgram(run + full), 0);
    ASSERT_EQ(RunProgram(run + last + " --table-every last --table-metric final_total --table-metric occupied_share"),
              0);
    ASSERT_EQ(RunProgram(run + dir / "every4.csv --table-every 4"), 0);
    const std::string fullText = ReadAll(full);
    // Steps 0, 4 and the last (6); the step is field 7 after point, replicate, seed and
    // the three factors.
    const std::string every4 = ReadAll(dir / "every4.csv");
    std::string expected;
    for (std::size_t start = 0, end; (end = fullText.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = fullText.substr(start, end - start), step = Field(line, 6);
        if (start == 0 || step == "0" || step == "4" || step == "6") expected += line + '\n';
    }
    EXPECT_EQ(every4, expected);
    const std::string lastText = ReadAll(last);
    EXPECT_EQ(lastText.substr(0, lastText.find('\n')),
              fullText.substr(0, fullText.find('\n')) + ",final_total,occupied_share");
    EXPECT_EQ(std::count(lastText.begin(), lastText.end(), '\n'), 1 + 2 * 4 * 2);
    // Without bootstrap: its draws are seeded by the step, which only the thinned table has.
    const std::string analyse =
        " --factors " + factors + " --method morris --metric final_total --seed 9 --bootstrap 0 --indices ";
    ASSERT_EQ(RunProgram("--analyse " + full + analyse + dir / "from-full.csv"), 0);
    ASSERT_EQ(RunProgram("--analyse " + last + analyse + dir / "from-last.csv"), 0);
    // The full table's run metric has no step; the column is read at each run's last.
    std::string fromFull = ReadAll(dir / "from-full.csv"), fromLast = ReadAll(dir / "from-last.csv");
    for (std::size_t at; (at = fromLast.find("final_total,6,")) != std::string::npos;)
        fromLast.replace(at, 14, "final_total,,");
    EXPECT_EQ(fromLast, fromFull);
    ASSERT_EQ(RunProgram("--analyse " + last + " --factors " + factors +
                         " --method morris --metric occupied_share --seed 9 --indices " + dir / "occupied.csv"),
              0);
    const std::string messages = dir / "messages.txt";
    EXPECT_EQ(RunProgram(run + dir / "no.csv --table-metric mean_density", messages), 2);
    EXPECT_NE(ReadAll(messages).find("\"mean_density\" is not a metric of a run"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "no.csv"));
}

// --sample given a run's outputs runs its design at once: the very table that
// --design-out then --design makes, whatever the study's options; with --design-out
// as well, the design written is the one run.
TEST(SensitivityProgram, SampleRunsAtOnceAsItsDesignWould) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors);
    const std::string study = " --seed 7 --steps 6 --replicates 2 --jobs 2 --quiet";
    for (const std::string sample : {"--sample morris --levels 4 --pool 5 --samples 2", "--sample saltelli --samples 2",
                                     "--sample factorial --levels 2"}) {
        for (const std::string table : {" --table-every 3", " --table-every last --table-metric final_total"}) {
            SCOPED_TRACE(sample + table);
            const std::string head = sample + " --factors " + factors + study + table + " --table ";
            ASSERT_EQ(RunProgram(sample + " --factors " + factors + " --seed 7 --design-out " + dir / "design.csv"), 0);
            ASSERT_EQ(RunProgram("--design " + dir / "design.csv" + study + table + " --table " + dir / "two.csv"), 0);
            ASSERT_EQ(RunProgram(head + dir / "one.csv"), 0);
            EXPECT_EQ(ReadAll(dir / "one.csv"), ReadAll(dir / "two.csv"));
            ASSERT_EQ(RunProgram(head + dir / "both.csv --design-out " + dir / "written.csv"), 0);
            EXPECT_EQ(ReadAll(dir / "both.csv"), ReadAll(dir / "two.csv"));
            EXPECT_EQ(ReadAll(dir / "written.csv"), ReadAll(dir / "design.csv"));
        }
    }
    // A folder of results too, with the runs' result files.
    ASSERT_EQ(RunProgram("--sample lhs --samples 3 --factors " + factors + study + " --out " + dir / "runs"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "runs"));
}

// Without --design-out or a run's output there is nothing to do; a run's sample takes
// no --design nor analysis option, and its design never replaces its table. Nothing
// is written.
TEST(SensitivityProgram, SampleRunRefusals) {
    ScratchDir dir;
    const std::string factors = dir.File("factors.csv", Factors);
    const std::string head = "--sample lhs --samples 3 --seed 2 --factors " + factors;
    const std::string messages = dir / "messages.txt", table = dir / "table.csv";
    EXPECT_EQ(RunProgram(head + " --steps 3", messages), 2);
    EXPECT_NE(ReadAll(messages).find("--sample needs --design-out (the design written) or a run's outputs"),
              std::string::npos);
    const std::string design = dir.File("design.csv", "Survival\n0.4\n");
    EXPECT_EQ(RunProgram(head + " --design " + design + " --table " + table, messages), 2);
    EXPECT_NE(ReadAll(messages).find("--design is not used with --sample followed by runs"), std::string::npos);
    EXPECT_EQ(RunProgram(head + " --metric y --table " + table), 2);
    EXPECT_EQ(RunProgram(head + " --table " + table + " --design-out " + table, messages), 2);
    EXPECT_NE(ReadAll(messages).find("--design-out " + table + " is also an output of the runs"), std::string::npos);
    const std::string params = dir.File("run.params", "Survival=0.4\n");
    EXPECT_EQ(RunProgram(head + " --params " + params + " --table " + table + " --design-out " + params), 2);
    EXPECT_EQ(ReadAll(params), "Survival=0.4\n");
    EXPECT_EQ(RunProgram("--sample lhs --seed 2 --factors " + factors + " --table " + table), 2);
    // A factor that is no setting may be sampled, not run; --validate checks all.
    const std::string other = dir.File("other.csv", "name,low,high\nrain,0,1\n");
    EXPECT_EQ(RunProgram("--sample lhs --samples 3 --seed 2 --factors " + other + " --table " + table, messages), 2);
    EXPECT_NE(ReadAll(messages).find("--sample:1: column 1: unknown setting: \"rain\""), std::string::npos);
    EXPECT_EQ(RunProgram("--validate " + head + " --table " + table), 0);
    EXPECT_FALSE(std::filesystem::exists(table));
    EXPECT_EQ(ReadAll(design), "Survival\n0.4\n");
}
