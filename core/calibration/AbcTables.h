// Calibration by rejection from files: any table of runs (a `point` column, a column per
// factor, summary columns; the study table of glebix-batch --table among them) against
// an observations file, into posterior.csv and posterior-summary.csv. Every front end
// writes them through these functions, so their bytes are the same everywhere.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "AbcDistance.h"
#include "AbcPrior.h"
#include "AbcRejection.h"

namespace glebix::calibration {

// A CSV file's header and rows, fields unquoted; `Lines` gives each row's line number.
struct CsvText {
    std::vector<std::string> Header;
    std::vector<std::vector<std::string>> Rows;
    std::vector<std::size_t> Lines;
};
// Reads `text` (named `file` in messages): fields separated by commas, within double
// quotes when they hold one (a quote doubled inside); empty lines skipped; every row as
// many fields as the header.
CsvText ParseCsv(std::string_view text, const std::string &file);

// The observations: `step,metric,value[,sd]`, one summary per row in the file's order.
// The summary is the value of column `metric` at that step of each run; an `sd`, when
// given and positive, scales the summary instead of its spread over the runs.
struct Observation {
    std::string Step;  // empty for a table of one row per run
    std::string Metric;
    double Value = 0;
    double Sd = 0;  // 0: not given
};
std::vector<Observation> ReadObservations(const CsvText &csv, const std::string &file);

// The runs of a table. With a `step` column, consecutive rows of the same `point`
// (and `replicate` and `seed`, when there) make one run, and an observation takes the
// row of its step, the summary missing (the run faulted) when the run has no such row or
// an empty or non-finite value there; without one, each row is a run. A run's factor
// values are those of its first row.
PriorRuns RunsOfTable(const CsvText &table, const std::string &file, std::span<const Factor> factors,
                      std::span<const Observation> observations);

// posterior.csv: `point,replicate,seed,runs,distance,weight`, then each factor's
// adjusted value (named by the factor) and its run's value (`<factor>_run`), closest
// first. Replicate and seed are empty for the runs of a point taken together.
std::string PosteriorCsv(const Posterior &posterior, const PriorRuns &runs);
// posterior-summary.csv: `factor,median,mean,low50,high50,low95,high95`.
std::string PosteriorSummaryCsv(std::span<const FactorSummary> summaries);

struct TableCalibration {
    std::filesystem::path Table, Observations;
    std::filesystem::path Posterior, PosteriorSummary;  // the files written
    std::vector<Factor> Factors;
    RejectionSettings Settings;
    bool AverageReplicates = false;
};

// Reads, calibrates and writes both files (each first to "<name>.incomplete", renamed
// when whole), refusing an output that is one of the inputs; gives the posterior.
Posterior CalibrateTable(const TableCalibration &calibration);

}  // namespace glebix::calibration
