#include "RTrace.h"

namespace glebix::r {

void AppendTraceColumns(const std::vector<TraceValues> &rows, Rcpp::List &out, Rcpp::CharacterVector &names) {
    const R_xlen_t n = static_cast<R_xlen_t>(rows.size());
    Rcpp::IntegerVector step(n), cell(n);
    Rcpp::NumericVector compacted(n), decompacted(n), meanDensity(n), meanCompacted(n), total(n);
    for (R_xlen_t k = 0; k < n; ++k) {
        const TraceValues &v = rows[static_cast<std::size_t>(k)];
        step[k] = v.Step;
        cell[k] = v.Record.CellDensity;
        compacted[k] = v.Record.CellCompacted;
        decompacted[k] = v.Record.CellDecompacted;
        meanDensity[k] = v.Record.MeanDensity;
        meanCompacted[k] = v.Record.MeanCompacted;
        total[k] = static_cast<double>(v.Record.TotalDensity);
    }
    // In the order of the batch tool's columns, whose names they take.
    const SEXP columns[] = {step, cell, compacted, decompacted, meanDensity, meanCompacted, total};
    const std::string header = batch::StepColumns();
    std::size_t start = 0;
    for (const SEXP column : columns) {
        const std::size_t comma = header.find(',', start);
        out.push_back(column);
        names.push_back(header.substr(start, comma - start));
        start = comma + 1;
    }
}

}  // namespace glebix::r
