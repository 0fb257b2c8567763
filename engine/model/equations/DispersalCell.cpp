// A cell's preparation for the dispersal pass: its count and its displacement scale,
// with the faults of the capacity and the crowding growth, for both forms of the pass.
#include "DispersalCell.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "Crowding.h"
#include "FloatChecks.h"
#include "RunSpecies.h"

namespace glebix {

namespace {

DispersalCell PrepareCell(const TPlot &plot, const RunSpecies &species, int i, int j, bool unitGrowth) {
    DispersalCell cell;
    cell.N = plot.Density[i][j];
    // The capacity is worked out for every cell, empty ones too, so a capacity that
    // does not fit ends the pass at its cell whatever the cell holds. With a crowding
    // factor of exactly 1 it matters only through that fault and, by a negative excess,
    // through the check of the base below: neither can come from a share from 0 to
    // 2^61 divisors (a capacity from 0 to 2^61) and a count below the largest.
    const double compacted = plot.Env[i][j].Compacted;
    const double c =
        CellValue(plot.Soil.CompactionC, species.CompactionC, static_cast<std::size_t>(i) * plot.Height + j);
    const bool capacityUnused = unitGrowth && compacted >= 0 && compacted < 0x1p61L * (c + 0.00001L) &&
                                cell.N < std::numeric_limits<std::int32_t>::max();
    Crowding crowding;  // excess 0
    if (!capacityUnused) crowding = CellCrowding(compacted, c, 0.00001L, cell.N);
    if (cell.N <= 0) return cell;
    if (plot.CellSize == 0) ThrowFloatFault(MsgDivisionByZero);
    // S depends on the cell only, so it is computed once per cell. A finite positive
    // base to the power 0 is exactly 1 (exp(0 x ln base)), and then the base matters
    // only for its check, which a non-negative excess passes.
    double growth = 1.0;
    if (!unitGrowth || crowding.Excess < 0) {
        const double base = 1.0 + (crowding.Excess + 0.00001) / (cell.N + 0.00001);
        if (!(base > 0)) ThrowFloatFault(base == 0 ? MsgDivisionByZero : MsgInvalidOperation);
        if (!unitGrowth) growth = std::exp(species.DispersalSensitivity * std::log(base));
        if (std::isinf(growth)) ThrowFloatFault(MsgOverflow);
    }
    cell.S = species.DispersalSigma * growth;
    if (!std::isfinite(cell.S)) ThrowFloatFault(std::isnan(cell.S) ? MsgInvalidOperation : MsgOverflow);
    cell.CellSize = plot.CellSize;
    return cell;
}

}  // namespace

DispersalCell PrepareDispersalCell(const TPlot &plot, const RunSpecies &species, int i, int j) {
    return PrepareCell(plot, species, i, j, species.DispersalSensitivity == 0);
}

DispersalCell PrepareDispersalCellReference(const TPlot &plot, const RunSpecies &species, int i, int j) {
    return PrepareCell(plot, species, i, j, false);
}

}  // namespace glebix
