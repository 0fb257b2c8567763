// What a batch run writes besides the result file: the per-step trace, the density
// map snapshots, the final grids as ESRI ASCII grids, the manifest and the summary
// across replicates: the texts and images; FileIo.h writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GridOutputs.h"
#include "Outputs.h"
#include "Plot.h"
#include "StudySummary.h"
#include "StudyTable.h"

namespace glebix {
class Simul;
}

namespace glebix::batch {

// ---- Trace -------------------------------------------------------------------
// Header line of the trace CSV (with its line end).
std::string TraceHeader(bool emigrants = false);
// One trace row after step `step`: the chart cell's count and shares, MeanDensity,
// MeanCompacted and the plot's total count; reals in shortest round-trip form.
std::string TraceRow(std::int32_t step, const Simul &simul, bool emigrants = false);

// ---- Density map -------------------------------------------------------------
// Size of the snapshot image: the plot window's default outer size.
inline constexpr int SnapshotWidth = 534;
inline constexpr int SnapshotHeight = 514;
// Bottom of the map: the height less the map's bottom margin.
inline constexpr int SnapshotMapBottom = SnapshotHeight - MapBottomMargin;
// Background of the snapshot: the button-face grey of the plot window.
inline constexpr Rgb SnapshotBackground = {240, 240, 240};

// The PNG bytes of the map after `step`, with the step field (MapPictureOf).
std::string DensityMapPng(const TPlot &plot, std::int32_t step);

// ---- Summary across replicates -----------------------------------------------
// summary.csv: per step, the number of runs that reached it, then the mean and the
// sample standard deviation (NA below two runs) of the total count and of
// MeanCompacted. Runs are taken in their order, whatever order they ended in.
std::string SummaryCsv(const std::vector<StepSeries> &runs);

}  // namespace glebix::batch
