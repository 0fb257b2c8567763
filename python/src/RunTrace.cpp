#include "RunTrace.h"

#include "Outputs.h"
#include "Simul.h"

namespace glebix::python {

void TraceColumns::Clear() {
    for (auto *v : {&Step, &CellDensity, &TotalDensity}) v->clear();
    for (auto *v : {&CellCompacted, &CellDecompacted, &MeanDensity, &MeanCompacted}) v->clear();
}

void TraceColumns::Reserve(std::size_t rows) {
    for (auto *v : {&Step, &CellDensity, &TotalDensity}) v->reserve(rows);
    for (auto *v : {&CellCompacted, &CellDecompacted, &MeanDensity, &MeanCompacted}) v->reserve(rows);
}

void AppendTraceRow(TraceColumns &trace, std::int64_t step, const Simul &simul) {
    const TPlot &plot = simul.Plot;
    const int i = simul.ChartCellX - 1, j = simul.ChartCellY - 1;
    std::int64_t total = 0;  // without wrapping, unlike the 32-bit sum of the mean
    for (const auto &row : plot.Density)
        for (std::int32_t n : row) total += n;
    trace.Step.push_back(step);
    trace.CellDensity.push_back(plot.Density[i][j]);
    trace.CellCompacted.push_back(plot.Env[i][j].Compacted);
    trace.CellDecompacted.push_back(plot.Env[i][j].Decompacted);
    trace.MeanDensity.push_back(MeanDensity(plot));
    trace.MeanCompacted.push_back(MeanCompacted(plot));
    trace.TotalDensity.push_back(total);
}

}  // namespace glebix::python
