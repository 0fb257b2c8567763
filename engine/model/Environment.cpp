// Physical environment dynamics: the fauna moves compacted soil into the decompacted
// share, then the decompacted share relaxes back by at most D per step. A cell's D and
// C are those of the soil maps where they are given.
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>

#include "Conversions.h"
#include "FloatChecks.h"
#include "Habitat.h"
#include "Simul.h"
#include "StepResources.h"

namespace glebix {

namespace {

// Cells per block of rows that the step's threads share, at the least.
constexpr int EnvironmentBlockCells = 16384;

struct EnvironmentPass {
    TPlot &plot;
    double d;
    long double c;
    int blocks;
    // The fault of the earliest block that met one, raised once the threads are done.
    std::mutex faultLock;
    int faultBlock = std::numeric_limits<int>::max();
    std::exception_ptr fault;
};

// With maps, a cell's D and C are its own (SoilMaps.h); without, the run's for every cell.
template <bool Mapped>
void UpdateRowsOf(TPlot &plot, int firstRow, int endRow, double runD, long double runC) {
    for (int i = firstRow; i < endRow; ++i) {
        for (int j = 0; j < plot.Height; ++j) {
            const std::size_t cell = static_cast<std::size_t>(i) * plot.Height + j;
            if (!IsHabitat(plot, cell)) continue;  // its soil stays
            const double d = Mapped ? CellValue(plot.Soil.DecompactionD, runD, cell) : runD;
            const long double c = Mapped ? CellValue(plot.Soil.CompactionC, static_cast<double>(runC), cell) : runC;
            TCellEnv &env = plot.Env[i][j];
            // Transfer by the fauna.
            const double moved = StoreDouble(std::min(plot.Density[i][j] * c, static_cast<long double>(env.Compacted)));
            double compacted = StoreDouble(static_cast<long double>(env.Compacted) - moved);
            double decompacted = StoreDouble(static_cast<long double>(env.Decompacted) + moved);
            // Relaxation, at most D. A negative decompacted share below D is left as it is.
            if (decompacted >= d) {
                compacted = StoreDouble(static_cast<long double>(compacted) + d);
                decompacted = StoreDouble(static_cast<long double>(decompacted) - d);
            } else if (decompacted > 0) {
                compacted = StoreDouble(static_cast<long double>(compacted) + decompacted);
                decompacted = 0;
            }
            env.Compacted = compacted;
            env.Decompacted = decompacted;
        }
    }
}

void UpdateRows(TPlot &plot, int firstRow, int endRow, double d, long double c) {
    if (plot.Soil.Any())
        UpdateRowsOf<true>(plot, firstRow, endRow, d, c);
    else
        UpdateRowsOf<false>(plot, firstRow, endRow, d, c);
}

void UpdateBlock(void *context, int block, int) {
    EnvironmentPass &pass = *static_cast<EnvironmentPass *>(context);
    const int width = pass.plot.Width;
    try {
        UpdateRows(pass.plot, width * block / pass.blocks, width * (block + 1) / pass.blocks, pass.d, pass.c);
    } catch (...) {
        std::lock_guard lock(pass.faultLock);
        if (block < pass.faultBlock) {
            pass.faultBlock = block;
            pass.fault = std::current_exception();
        }
    }
}

}  // namespace

// Every cell from its own values only: the rows may be shared between threads.
void Simul::UpdateEnvironment() {
    // D lives as the text of its field and is converted at every step.
    const double d = FieldToReal(Settings.Run.DecompactionD);
    if (!Settings.Run.EnvDynamic) return;
    // A map's values were checked when it was read; the number then goes unused.
    if (!std::isfinite(d) && Plot.Soil.DecompactionD.empty()) ThrowFloatFault(MsgOverflow);
    const long double c = Species.CompactionC;
    const int blocks = std::max(1, std::min(Plot.Width, Plot.Cells() / EnvironmentBlockCells));
    if (!ShareCells() || blocks == 1) {
        UpdateRows(Plot, 0, Plot.Width, d, c);
        return;
    }
    EnvironmentPass pass{Plot, d, c, blocks, {}, std::numeric_limits<int>::max(), nullptr};
    Step().ShareBlocks(blocks, &UpdateBlock, &pass);
    // The plain pass's fault; the blocks after its block may have been brought up to date.
    if (pass.fault) std::rethrow_exception(pass.fault);
}

}  // namespace glebix
