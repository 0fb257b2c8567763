// What a run can reach: the bounds that set-up and the time step's processes keep a
// run's plot within, worked out from the run's own settings and species values. A
// saved state outside them was not written by a run; a state inside them may still
// have been edited, but it is one that a run could have come to.
//
// Always: shares are finite (every process refuses a value that is not), and after a
// step no count is above the cells x DensityCap (reproduction and survival cap every
// cell, dispersal only moves individuals). Settings in their expected ranges keep
// more: no count below 0, and both shares of a cell within 0 to 100 with a sum of
// 100, which the processes keep up to rounding. At step 0 the plot is set-up's own:
// the patterned distributions and the homogeneous environment are known exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "EngineMessages.h"
#include "PlotShape.h"
#include "Settings.h"
#include "Simul.h"

namespace glebix {

class ReachableState {
public:
    // `maps`: the run's soil maps, whose values count as the settings they replace.
    ReachableState(const TSettings &settings, const RunSpecies &species, std::int32_t step, const SoilMaps &maps = {});

    // The problem with the count of cell (i, j), each from 1, if any.
    std::optional<EngineMessage> CountProblem(int i, int j, std::int32_t count) const;
    // The problem with the shares of cell (i, j), if any.
    std::optional<EngineMessage> SharesProblem(int i, int j, double compacted, double decompacted) const;

private:
    const TSettings &settings_;
    std::int32_t step_;
    PlotShape shape_;
    std::int32_t distConstant_;
    bool countsStayWhole_;  // no count can fall below 0
    bool sharesStayInRange_;
    double sumTolerance_;
};

}  // namespace glebix
