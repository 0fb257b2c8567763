#include "AbcDrive.h"

#include <limits>

#include "CalibrationError.h"

namespace glebix::calibration {

std::vector<double> CompletedSummaries(std::vector<double> summaries, std::size_t count) {
    if (summaries.empty()) summaries.assign(count, std::numeric_limits<double>::quiet_NaN());
    if (summaries.size() != count)
        throw CalibrationError("calibration.summary_count", {CountText(summaries.size()), CountText(count)});
    return summaries;
}

PriorRuns SamplePrior(std::span<const Factor> factors, std::size_t runs, std::uint64_t seed, const Model &model) {
    CheckFactors(factors);
    Stream stream(seed);
    PriorRuns out;
    out.Parameters = Matrix(0, factors.size());
    std::vector<std::vector<double>> results;
    std::size_t count = 0;
    for (std::size_t r = 0; r < runs; ++r) {
        std::vector<double> values;
        for (const Factor &f : factors)
            values.push_back(FromWorking(f, WorkingLow(f) + stream.Uniform() * (WorkingHigh(f) - WorkingLow(f))));
        out.Parameters.AppendRow(values);
        out.Points.push_back(static_cast<std::int64_t>(r + 1));
        out.Seeds.push_back(stream.Seed32());
        results.push_back(model(values, static_cast<std::uint32_t>(out.Seeds.back())));
        if (count == 0) count = results.back().size();
    }
    out.Summaries = Matrix(0, count);
    for (const auto &summaries : results) out.Summaries.AppendRow(CompletedSummaries(summaries, count));
    return out;
}

void TakeSummaries(AbcSmc &smc, std::span<const double> observed, const Matrix &summaries) {
    Matrix differences(0, observed.size());
    std::vector<double> row(observed.size());
    for (std::size_t i = 0; i < summaries.Rows; ++i) {
        for (std::size_t c = 0; c < observed.size(); ++c) row[c] = summaries(i, c) - observed[c];
        differences.AppendRow(row);
    }
    smc.TakeDifferences(differences);
}

void RunSmc(AbcSmc &smc, std::span<const double> observed, const Model &model, std::size_t maxBatches) {
    CheckObserved(observed, observed.size());
    for (std::size_t batches = 0; batches < maxBatches && !smc.Done(); ++batches) {
        const std::vector<SmcPoint> &batch = smc.NextBatch();
        if (batch.empty()) break;
        Matrix summaries(0, observed.size());
        for (const SmcPoint &p : batch)
            summaries.AppendRow(CompletedSummaries(model(p.Values, p.Seed), observed.size()));
        TakeSummaries(smc, observed, summaries);
    }
}

}  // namespace glebix::calibration
