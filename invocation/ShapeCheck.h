// The plot of every point checked before anything runs or is written: a size that
// contradicts a grid input, or a chart cell outside the plot, is refused like any
// other bad setting rather than found by each run at its set-up.
#pragma once

#include <string>
#include <vector>

#include "StudyOptions.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

// One line per distinct problem, labelled with its point when a design has several;
// nothing for a resumed run, whose plot is the saved one.
std::vector<std::string> PlotShapeProblems(const BatchOptions &options);

}  // namespace glebix::invocation
