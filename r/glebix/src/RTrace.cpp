#include "RTrace.h"

#include "Outputs.h"

namespace glebix::r {

const char *const TraceColumns[7] = {"step",         "cell_density",   "cell_compacted", "cell_decompacted",
                                     "mean_density", "mean_compacted", "total_density"};

TraceValues TakeTraceValues(std::int32_t step, const Simul &simul) {
    const TPlot &plot = simul.Plot;
    const int i = simul.ChartCellX - 1, j = simul.ChartCellY - 1;
    std::int64_t total = 0;
    for (const auto &row : plot.Density)
        for (std::int32_t n : row) total += n;
    return {step,
            plot.Density[i][j],
            plot.Env[i][j].Compacted,
            plot.Env[i][j].Decompacted,
            MeanDensity(plot),
            MeanCompacted(plot),
            total};
}

void AppendTraceColumns(const std::vector<TraceValues> &rows, Rcpp::List &out, Rcpp::CharacterVector &names) {
    const R_xlen_t n = static_cast<R_xlen_t>(rows.size());
    Rcpp::IntegerVector step(n), cell(n);
    Rcpp::NumericVector compacted(n), decompacted(n), meanDensity(n), meanCompacted(n), total(n);
    for (R_xlen_t k = 0; k < n; ++k) {
        const TraceValues &v = rows[static_cast<std::size_t>(k)];
        step[k] = v.Step;
        cell[k] = v.CellDensity;
        compacted[k] = v.CellCompacted;
        decompacted[k] = v.CellDecompacted;
        meanDensity[k] = v.MeanDensity;
        meanCompacted[k] = v.MeanCompacted;
        total[k] = static_cast<double>(v.TotalDensity);
    }
    const SEXP columns[7] = {step, cell, compacted, decompacted, meanDensity, meanCompacted, total};
    for (int c = 0; c < 7; ++c) {
        out.push_back(columns[c]);
        names.push_back(TraceColumns[c]);
    }
}

}  // namespace glebix::r
