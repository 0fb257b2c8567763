// The outputs of a whole invocation, written as the runs come in their order: the
// study table (each run's rows as soon as every earlier run's are written) and
// summary.csv (one point at a time; all runs at once without a design). Both are
// streamed under their temporary names and put in place at the end when every run
// is a result; otherwise they are kept as incomplete files (IncompleteFile.h).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "StudyOptions.h"
#include "RunPlan.h"
#include "StreamedFile.h"
#include "StudySummary.h"

namespace glebix::invocation {

using namespace glebix::core;

// Whether the runs keep their per-step totals for summary.csv: with replicates or a
// design, and a place to write it.
bool SummaryWanted(const BatchOptions &options);
// Whether the study table has the emigrants column: its plots are bounded, or a
// design sets their edges (its torus runs then count 0).
bool TableCountsEmigrants(const BatchOptions &options);
// The counts the study table shows: the emigrants as above, and the lost individuals
// when a run may hold a habitat mask (its settings use one, or a design may set one).
CountColumns TableCounts(const BatchOptions &options);
// Where summary.csv goes; empty when it is not written.
std::string SummaryPath(const BatchOptions &options);
// The files written for the whole invocation: the table and the summary, those asked for.
std::vector<std::string> StudyWideFiles(const BatchOptions &options);

// How the runs of an invocation ended.
struct BatchOutcome {
    std::vector<RunEnd> Runs;                     // in run order, whatever order they ended in
    std::map<std::size_t, std::string> Messages;  // by run (from 0): the error it ended on
    int ExitStatus = 0;                           // 0 when every run completed and the summary was written, else 1
};

class StudyOutputs {
public:
    // `outcome` receives how each run ended as its rows are consumed; its Runs hold
    // one entry per run of `layout`.
    StudyOutputs(const BatchOptions &options, const StudyLayout &layout, BatchOutcome &outcome);

    // Opens the table and the summary. Returns the problem when the table cannot be
    // opened (nothing should run); a summary that cannot be is reported by Finish.
    std::string Open();
    // The rows of run `index` and its record, in the invocation's order, one call at a
    // time; the record gives up its per-step totals.
    void Consume(std::size_t index, RunRecord &record, std::string &rows);
    // Puts both files in place, or keeps them as incomplete files when a run is not a
    // result or a write failed; reports each failure and each file kept, and returns
    // false when a write failed.
    bool Finish(const std::function<void(const std::string &)> &report);

private:
    void FlushGroup();
    void Settle(StreamedFile &file, std::string &error, const std::vector<bool> &written, bool complete,
                const std::function<void(const std::string &)> &report);

    const BatchOptions &options_;
    const StudyLayout &layout_;
    BatchOutcome &outcome_;
    StreamedFile table_, summary_;
    std::string tableError_, summaryError_;
    std::vector<bool> tableWritten_, summaryWritten_;  // by run: its rows are in the file
    std::vector<StepSeries> group_;                    // the runs of the point being summarised
    std::vector<std::size_t> groupRuns_;               // their indices
    int groupPoint_ = 0;
};

}  // namespace glebix::invocation
