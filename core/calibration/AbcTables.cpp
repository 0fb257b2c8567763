#include "AbcTables.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <iterator>
#include <map>
#include <optional>
#include <system_error>
#include <type_traits>

#include "CalibrationError.h"

namespace glebix::calibration {

namespace {

// The index of a column a file does not have.
constexpr std::size_t NoColumn = static_cast<std::size_t>(-1);

// The fields of one line; false when a quote is left open or text follows a closing one.
bool SplitLine(std::string_view line, std::vector<std::string> &fields) {
    fields.assign(1, "");
    bool quoted = false, closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"' && (quoted || fields.back().empty())) {
            if (closed) return false;
            quoted = !quoted;
            closed = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
            closed = false;
        } else if (closed || c == '"') {
            return false;
        } else {
            fields.back() += c;
        }
    }
    return !quoted;
}

std::optional<double> Real(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

template <class T>
std::optional<T> Whole(std::string_view text) {
    T value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::size_t ColumnOf(const CsvText &csv, const std::string &file, const std::string &name, bool required = true) {
    const auto at = std::find(csv.Header.begin(), csv.Header.end(), name);
    if (at != csv.Header.end()) return static_cast<std::size_t>(at - csv.Header.begin());
    if (required) throw CalibrationError("calibration.csv_column_missing", {file, name});
    return NoColumn;
}

[[noreturn]] void NotNumber(const std::string &file, std::size_t line, const std::string &column,
                            const std::string &text) {
    throw CalibrationError("calibration.csv_not_number", {file, CountText(line), column, text});
}

}  // namespace

CsvText ParseCsv(std::string_view text, const std::string &file) {
    CsvText out;
    std::size_t number = 0;
    std::vector<std::string> fields;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!SplitLine(line, fields)) throw CalibrationError("calibration.csv_quote", {file, CountText(number)});
        if (out.Header.empty()) {
            out.Header = fields;
        } else if (fields.size() != out.Header.size()) {
            throw CalibrationError("calibration.csv_field_count",
                                   {file, CountText(number), CountText(fields.size()), CountText(out.Header.size())});
        } else {
            out.Rows.push_back(fields);
            out.Lines.push_back(number);
        }
    }
    if (out.Header.empty()) throw CalibrationError("calibration.csv_empty", {file});
    return out;
}

std::vector<Observation> ReadObservations(const CsvText &csv, const std::string &file) {
    const std::size_t step = ColumnOf(csv, file, "step"), metric = ColumnOf(csv, file, "metric");
    const std::size_t value = ColumnOf(csv, file, "value"), sd = ColumnOf(csv, file, "sd", false);
    std::vector<Observation> out;
    for (std::size_t r = 0; r < csv.Rows.size(); ++r) {
        const auto &row = csv.Rows[r];
        Observation o{row[step], row[metric], 0, 0};
        const auto v = Real(row[value]);
        if (!v || !std::isfinite(*v)) NotNumber(file, csv.Lines[r], "value", row[value]);
        o.Value = *v;
        if (sd != NoColumn && !row[sd].empty()) {
            const auto s = Real(row[sd]);
            if (!s || !(*s > 0) || !std::isfinite(*s)) NotNumber(file, csv.Lines[r], "sd", row[sd]);
            o.Sd = *s;
        }
        out.push_back(o);
    }
    if (out.empty()) throw CalibrationError("calibration.observations_empty", {file});
    return out;
}

namespace {

// The rows of each run, in the table's order.
std::vector<std::vector<std::size_t>> RunRows(const CsvText &table, const std::string &file, bool steps) {
    const std::size_t point = ColumnOf(table, file, "point");
    const std::size_t replicate = ColumnOf(table, file, "replicate", false),
                      seed = ColumnOf(table, file, "seed", false);
    const auto key = [&](const std::vector<std::string> &row) {
        std::string k = row[point];
        for (std::size_t c : {replicate, seed}) k += '\n' + (c == NoColumn ? "" : row[c]);
        return k;
    };
    std::vector<std::vector<std::size_t>> runs;
    std::string last;
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
        const std::string k = key(table.Rows[r]);
        if (!steps || runs.empty() || k != last) runs.emplace_back();
        runs.back().push_back(r);
        last = k;
    }
    return runs;
}

// The runs of one table against the observations, a run at a time.
class TableReader {
public:
    TableReader(const CsvText &table, const std::string &file, std::span<const Factor> factors,
                std::span<const Observation> observations)
        : table_(table), file_(file) {
        step_ = ColumnOf(table, file, "step", false);
        point_ = ColumnOf(table, file, "point");
        seed_ = ColumnOf(table, file, "seed", false);
        replicate_ = ColumnOf(table, file, "replicate", false);
        for (const Factor &f : factors) factors_.push_back(ColumnOf(table, file, f.Name));
        for (const Observation &o : observations) {
            metrics_.push_back(ColumnOf(table, file, o.Metric));
            const auto step = Whole<std::int64_t>(o.Step);
            if (step_ != NoColumn ? !step : !o.Step.empty())
                throw CalibrationError("calibration.observation_step", {o.Step});
            steps_.push_back(step.value_or(0));
        }
    }

    bool HasSteps() const { return step_ != NoColumn; }

    void AddRun(const std::vector<std::size_t> &rows, PriorRuns &out) const {
        const std::size_t first = rows.front();
        std::vector<double> values;
        for (std::size_t c : factors_) values.push_back(Number<double>(first, c));
        out.Parameters.AppendRow(values);
        out.Summaries.AppendRow(Summaries(rows));
        out.Points.push_back(Number<std::int64_t>(first, point_));
        out.Seeds.push_back(seed_ == NoColumn ? 0 : Number<std::uint64_t>(first, seed_));
        if (replicate_ != NoColumn) out.Replicates.push_back(Number<std::int64_t>(first, replicate_));
    }

private:
    template <class T>
    T Number(std::size_t r, std::size_t column) const {
        const std::string &text = table_.Rows[r][column];
        std::optional<T> value;
        if constexpr (std::is_floating_point_v<T>)
            value = Real(text);
        else
            value = Whole<T>(text);
        if (!value) NotNumber(file_, table_.Lines[r], table_.Header[column], text);
        return *value;
    }

    // One summary per observation: the metric at the observation's step (or in the run's
    // only row); missing when the run has no row at that step or no value there.
    std::vector<double> Summaries(const std::vector<std::size_t> &rows) const {
        std::map<std::int64_t, std::size_t> rowOfStep;
        if (HasSteps())
            for (std::size_t r : rows) rowOfStep.emplace(Number<std::int64_t>(r, step_), r);
        std::vector<double> out;
        for (std::size_t j = 0; j < metrics_.size(); ++j) {
            const auto at = rowOfStep.find(steps_[j]);
            const std::size_t r = HasSteps() ? (at == rowOfStep.end() ? NoColumn : at->second) : rows.front();
            const bool missing = r == NoColumn || table_.Rows[r][metrics_[j]].empty();
            out.push_back(missing ? std::numeric_limits<double>::quiet_NaN() : Number<double>(r, metrics_[j]));
        }
        return out;
    }

    const CsvText &table_;
    const std::string &file_;
    std::size_t step_, point_, seed_, replicate_;
    std::vector<std::size_t> factors_, metrics_;
    std::vector<std::int64_t> steps_;
};

}  // namespace

PriorRuns RunsOfTable(const CsvText &table, const std::string &file, std::span<const Factor> factors,
                      std::span<const Observation> observations) {
    const TableReader reader(table, file, factors, observations);
    PriorRuns out;
    out.Parameters = Matrix(0, factors.size());
    out.Summaries = Matrix(0, observations.size());
    for (const auto &rows : RunRows(table, file, reader.HasSteps())) reader.AddRun(rows, out);
    return out;
}

namespace {

void AddField(std::string &out, const std::string &field) {
    if (!out.empty() && out.back() != '\n') out += ',';
    const bool quote = field.find_first_of(",\"\r\n") != std::string::npos;
    if (!quote) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

std::string WholeText(std::int64_t v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

}  // namespace

std::string PosteriorCsv(const Posterior &posterior, const PriorRuns &runs) {
    std::string out;
    for (const char *column : {"point", "replicate", "seed", "runs", "distance", "weight"}) AddField(out, column);
    for (const Factor &f : posterior.Factors) AddField(out, f.Name);
    for (const Factor &f : posterior.Factors) AddField(out, f.Name + "_run");
    out += '\n';
    for (std::size_t i = 0; i < posterior.Values.Rows; ++i) {
        const CandidateId &id = posterior.Ids[i];
        const bool lone = id.Runs == 1;
        AddField(out, WholeText(id.Point));
        AddField(out, lone && id.Row < runs.Replicates.size() ? WholeText(runs.Replicates[id.Row]) : "");
        AddField(out, lone ? CountText(id.Seed) : "");
        AddField(out, CountText(id.Runs));
        AddField(out, NumberText(posterior.Distances[i]));
        AddField(out, NumberText(posterior.Weights[i]));
        for (double v : posterior.Values.Row(i)) AddField(out, NumberText(v));
        for (double v : posterior.Unadjusted.Row(i)) AddField(out, NumberText(v));
        out += '\n';
    }
    return out;
}

std::string PosteriorSummaryCsv(std::span<const FactorSummary> summaries) {
    std::string out = "factor,median,mean,low50,high50,low95,high95\n";
    for (const FactorSummary &s : summaries) {
        AddField(out, s.Factor);
        for (double v : {s.Median, s.Mean, s.Low50, s.High50, s.Low95, s.High95}) AddField(out, NumberText(v));
        out += '\n';
    }
    return out;
}

namespace {

std::string ReadWhole(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CalibrationError("calibration.unreadable", {path.string()});
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw CalibrationError("calibration.unreadable", {path.string()});
    return text;
}

bool SameFile(const std::filesystem::path &a, const std::filesystem::path &b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const std::filesystem::path left = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const std::filesystem::path right = std::filesystem::weakly_canonical(b, ec);
    return !ec && left == right;
}

// Writes `text` to "<path>.incomplete", then renames it to `path`: a failed write leaves
// no file under the user's name, and no earlier one destroyed.
void WriteWhole(const std::filesystem::path &path, const std::string &text) {
    std::filesystem::path staged = path;
    staged += ".incomplete";
    {
        std::ofstream out(staged, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(staged, ignored);
            throw CalibrationError("calibration.not_written", {path.string()});
        }
    }
    std::error_code ec;
    std::filesystem::rename(staged, path, ec);
    if (ec) throw CalibrationError("calibration.not_written", {path.string()});
}

}  // namespace

Posterior CalibrateTable(const TableCalibration &c) {
    CheckFactors(c.Factors);
    for (const auto &output : {c.Posterior, c.PosteriorSummary})
        for (const auto &input : {c.Table, c.Observations})
            if (SameFile(output, input)) throw CalibrationError("calibration.output_is_input", {output.string()});
    if (SameFile(c.Posterior, c.PosteriorSummary))
        throw CalibrationError("calibration.output_is_input", {c.Posterior.string()});
    const std::string observationsFile = c.Observations.string(), tableFile = c.Table.string();
    const std::vector<Observation> observations =
        ReadObservations(ParseCsv(ReadWhole(c.Observations), observationsFile), observationsFile);
    const PriorRuns runs = RunsOfTable(ParseCsv(ReadWhole(c.Table), tableFile), tableFile, c.Factors, observations);
    std::vector<double> observed, scales;
    for (const Observation &o : observations) {
        observed.push_back(o.Value);
        scales.push_back(o.Sd);
    }
    const Posterior posterior =
        Reject(CandidatesOf(runs, observed, c.AverageReplicates, scales), c.Factors, c.Settings);
    WriteWhole(c.Posterior, PosteriorCsv(posterior, runs));
    WriteWhole(c.PosteriorSummary, PosteriorSummaryCsv(Summarise(posterior)));
    return posterior;
}

}  // namespace glebix::calibration
