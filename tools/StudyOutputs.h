// The outputs of a whole invocation, written as the runs come in their order: the
// study table (each run's rows as soon as every earlier run's are written) and
// summary.csv (one point at a time; all runs at once without a design). Both are
// streamed under their temporary names and put in place at the end.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "RunPlan.h"
#include "StreamedFile.h"
#include "StudySummary.h"

namespace glebix::batch {

// Whether the runs keep their per-step totals for summary.csv: with replicates or a
// design, and a place to write it.
bool SummaryWanted(const BatchOptions &options);

class StudyOutputs {
public:
    // `runs` are the invocation's records, in its order; a run's record must be in
    // place before its rows are consumed, and gives up its per-step totals then.
    StudyOutputs(const BatchOptions &options, std::vector<RunRecord> &runs) : options_(options), runs_(runs) {}

    // Opens the table and the summary. Returns the problem when the table cannot be
    // opened (nothing should run); a summary that cannot be is reported by Finish.
    std::string Open();
    // The rows of run `index`, in the invocation's order, one call at a time.
    void Consume(std::size_t index, std::string &rows);
    // Finishes both files; reports each failure and returns false when one failed.
    bool Finish(const std::function<void(const std::string &)> &report);

private:
    void FlushGroup();

    const BatchOptions &options_;
    std::vector<RunRecord> &runs_;
    StreamedFile table_, summary_;
    std::string tableError_, summaryError_;
    std::vector<StepSeries> group_;  // the runs of the point being summarised
    int groupPoint_ = 0;
};

}  // namespace glebix::batch
