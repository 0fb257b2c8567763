#include "RTrace.h"

#include <iterator>

namespace glebix::r {

void AppendTraceColumns(const std::vector<TraceValues> &rows, Rcpp::List &out, Rcpp::CharacterVector &names,
                        core::CountColumns counts) {
    const R_xlen_t n = static_cast<R_xlen_t>(rows.size());
    Rcpp::IntegerVector step(n), cell(n);
    Rcpp::NumericVector compacted(n), decompacted(n), meanDensity(n), meanCompacted(n), total(n), emigrated(n), lost(n);
    for (R_xlen_t k = 0; k < n; ++k) {
        const TraceValues &v = rows[static_cast<std::size_t>(k)];
        step[k] = v.Step;
        cell[k] = v.Record.CellDensity;
        compacted[k] = v.Record.CellCompacted;
        decompacted[k] = v.Record.CellDecompacted;
        meanDensity[k] = v.Record.MeanDensity;
        meanCompacted[k] = v.Record.MeanCompacted;
        total[k] = static_cast<double>(v.Record.TotalDensity);
        emigrated[k] = static_cast<double>(v.Record.Emigrants);
        lost[k] = static_cast<double>(v.Record.Lost);
    }
    // In the order of the batch tool's columns, whose names they take.
    const SEXP columns[] = {step, cell, compacted, decompacted, meanDensity, meanCompacted, total};
    static_assert(std::size(columns) == std::size(core::StepColumnNames));
    for (std::size_t k = 0; k < std::size(columns); ++k) {
        out.push_back(columns[k]);
        names.push_back(core::StepColumnNames[k]);
    }
    if (counts.Emigrants) {
        out.push_back(emigrated);
        names.push_back(core::EmigrantsColumnName);
    }
    if (counts.Lost) {
        out.push_back(lost);
        names.push_back(core::LostColumnName);
    }
}

}  // namespace glebix::r
