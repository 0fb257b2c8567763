// When a run ends before its last step (--stop-when): "extinct", no individual left
// on the plot, or a step column (StepColumnValue's names) crossing a threshold, as in
// "total_density<1" or "mean_compacted>=90". A run checks its rules on the state it
// starts from and after every whole step; the first rule that holds ends it there,
// and it is complete: its outputs are those of that step.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "StudyTable.h"

namespace glebix::core {

inline constexpr const char *ExtinctRule = "extinct";
// The study table's column that names, on the row of the step a run stopped at, the
// rule that stopped it (empty on the other rows); present when rules are given.
inline constexpr const char *StoppedByColumn = "stopped_by";

struct StopRule {
    enum class Comparison { Below, AtMost, Above, AtLeast };
    std::string Text;  // as the user wrote it
    std::string Column;
    Comparison Compare = Comparison::Below;
    double Threshold = 0;
};

// The rule `text`, or the catalogue's message of why it is not one, naming the
// option or argument `name` it was given to.
struct ParsedStopRule {
    std::optional<StopRule> Rule;
    std::string Problem;
};
ParsedStopRule ParseStopRule(std::string_view text, const std::string &name = "--stop-when");
// The rules of `texts`; raises GlebixError with the first one's problem.
std::vector<StopRule> StopRulesOf(const std::vector<std::string> &texts, const std::string &name);

// Whether `rule` holds for `record`.
bool Holds(const StopRule &rule, const StepRecord &record);
// The first of `rules` that holds for `record`; none when none does.
const StopRule *FirstHolding(const std::vector<StopRule> &rules, const StepRecord &record);

// Adds the stopped_by field (`rule`, empty on a step the run went on from) to the last
// row of `rows`, which ends with a line end.
void AppendStoppedBy(std::string &rows, std::string_view rule);

}  // namespace glebix::core
