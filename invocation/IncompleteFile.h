// A study-wide file (the table, the summary) of an invocation that did not complete
// every run: a signal stopped it, or an output could not be written. Its rows are kept
// under "<path>.incomplete", never under the path given, which only ever holds a
// complete file; "<path>.incomplete.json" says which runs' rows are whole. A run that
// ended on a fault of the model or of its inputs is a result: its rows are whole.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "RunPlan.h"
#include "StudyPlan.h"

namespace glebix::invocation {

using namespace glebix::core;

// "<path>.incomplete" and "<path>.incomplete.json".
std::string IncompleteName(const std::string &path);
std::string IncompleteManifestName(const std::string &path);

// Whether a run's rows are all there is of it: it completed, or ended on a fault of
// the model or of its inputs.
bool IsResult(const RunEnd &run);

// The manifest of the incomplete file kept for `path`: the runs of the invocation
// (of `layout`, ended as `runs` and `messages` say), those whose rows the file holds
// whole (by point, their replicates as ranges), and the others with how they ended.
// `written[k]` is false when run k's rows could not be written to the file.
std::string IncompleteManifestText(const std::string &path, const StudyLayout &layout, const std::vector<RunEnd> &runs,
                                   const std::map<std::size_t, std::string> &messages,
                                   const std::vector<bool> &written);

}  // namespace glebix::invocation
