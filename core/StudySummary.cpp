#include "StudySummary.h"

#include <charconv>
#include <cmath>

#include "Conversions.h"
#include "RowColumns.h"
#include "StudyTable.h"

namespace glebix::core {

namespace {

// Mean and sample standard deviation, two-pass, in the order given.
void AppendMeanAndDeviation(std::string &out, const std::vector<double> &values) {
    double sum = 0;
    for (double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    out += FormatShortest(mean);
    out += ',';
    if (values.size() < 2) {
        out += "NA";
        return;
    }
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    out += FormatShortest(std::sqrt(squares / static_cast<double>(values.size() - 1)));
}

}  // namespace

std::string SummaryHeader(const std::vector<std::string> &designColumns, bool hasDesign) {
    std::string header;
    if (hasDesign) {
        header = "point,";
        for (const std::string &name : designColumns) header += CsvField(name) + ',';
    }
    return header + "step,runs,total_density_mean,total_density_sd,mean_compacted_mean,mean_compacted_sd\n";
}

std::string SummaryPrefix(int point, const std::vector<std::string> &designValues) {
    std::string prefix;
    AppendInteger(prefix, point);
    prefix += ',';
    for (const std::string &value : designValues) prefix += CsvField(value) + ',';
    return prefix;
}

void StepSeries::Append(std::int64_t total, double meanCompacted) {
    MakeRoomForRow(Totals, MeanCompacted);
    Totals.push_back(total);
    MeanCompacted.push_back(meanCompacted);
}

std::string SummaryRows(std::string_view prefix, const std::vector<StepSeries> &runs) {
    std::string out;
    std::size_t longest = 0;
    for (const StepSeries &r : runs) longest = std::max(longest, r.Steps());
    std::vector<double> totals, compacted;
    for (std::size_t s = 0; s < longest; ++s) {
        totals.clear();
        compacted.clear();
        for (const StepSeries &r : runs) {
            if (s < r.Steps()) {
                totals.push_back(static_cast<double>(r.Totals[s]));
                compacted.push_back(r.MeanCompacted[s]);
            }
        }
        out += prefix;
        AppendInteger(out, static_cast<std::int64_t>(s + 1));
        out += ',';
        AppendInteger(out, static_cast<std::int64_t>(totals.size()));
        out += ',';
        AppendMeanAndDeviation(out, totals);
        out += ',';
        AppendMeanAndDeviation(out, compacted);
        out += '\n';
    }
    return out;
}

}  // namespace glebix::core
