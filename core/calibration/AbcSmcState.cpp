// The text of a sequential calibration's state: one record per line, fields separated by
// one space, numbers in shortest round-trip form (so a restored population is the saved
// one to the last bit), the factor's name last so that it may hold spaces:
//   glebix-abc-smc VERSION
//   settings POPULATION QUANTILE TARGET BUDGET MIN-ACCEPTANCE MAX-GENERATIONS SEED FINAL-SHARE
//            ADAPTIVE-SCALES LOCAL-KERNEL (each 0 or 1)
//   factor linear|log LOW HIGH NAME           (one per factor, in order)
//   scales S1 S2 ...
//   stop running|tolerance|budget|acceptance|generations
//   generation TOLERANCE RUNS ACCEPTED FAULTED  (one per complete generation)
//   particle RUN SEED DISTANCE WEIGHT V1 V2 ... [D1 D2 ...]  (the last population: its
//       values on the working scale, then its summaries' differences from the observed
//       ones when they were given)
//   end
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "AbcSmc.h"
#include "CalibrationError.h"
#include "TextLines.h"

namespace glebix::calibration {

namespace {

constexpr std::string_view Magic = "glebix-abc-smc";
constexpr std::array<std::string_view, 5> StopNames = {"running", "tolerance", "budget", "acceptance", "generations"};

void Add(std::string &out, double x) { out += ' ' + NumberText(x); }
void Add(std::string &out, std::size_t x) { out += ' ' + CountText(x); }

// The fields of one line, read in order; a missing or malformed field is a refusal
// naming the line.
class Fields {
public:
    Fields(std::string_view line, std::size_t number) : line_(line), number_(number) {}
    std::string_view Word() {
        if (at_ > line_.size()) Fail();
        const std::size_t end = std::min(line_.find(' ', at_), line_.size());
        const std::string_view word = line_.substr(at_, end - at_);
        at_ = end + 1;
        return word;
    }
    std::string_view Rest() {
        if (at_ > line_.size()) Fail();
        const std::string_view rest = line_.substr(at_);
        at_ = line_.size() + 1;
        return rest;
    }
    bool AtEnd() const { return at_ > line_.size(); }
    template <class T>
    T Number() {
        const std::string_view word = Word();
        T value{};
        const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc() || end != word.data() + word.size()) Fail();
        return value;
    }
    [[noreturn]] void Fail() const { throw CalibrationError("calibration.bad_state", {CountText(number_)}); }

private:
    std::string_view line_;
    std::size_t number_;
    std::size_t at_ = 0;
};

}  // namespace

std::string AbcSmc::Save() const {
    std::string out(Magic);
    out += ' ' + CountText(SmcStateVersion);
    out += "\nsettings";
    const SmcSettings &s = settings_;
    Add(out, s.Population), Add(out, s.Quantile), Add(out, s.TargetTolerance), Add(out, s.RunBudget);
    Add(out, s.MinAcceptance), Add(out, s.MaxGenerations);
    out += ' ' + std::to_string(s.Seed);
    Add(out, s.FinalShare);
    Add(out, static_cast<std::size_t>(s.AdaptiveScales)), Add(out, static_cast<std::size_t>(s.LocalKernel));
    for (const Factor &f : factors_) {
        out += f.Scale == FactorScale::Log ? "\nfactor log" : "\nfactor linear";
        Add(out, f.Low), Add(out, f.High);
        out += ' ' + f.Name;
    }
    out += "\nscales";
    for (double v : scales_) Add(out, v);
    out += "\nstop " + std::string(StopNames[static_cast<std::size_t>(stop_)]);
    for (const SmcGeneration &g : history_) {
        out += "\ngeneration";
        Add(out, g.Tolerance), Add(out, g.Runs), Add(out, g.Accepted), Add(out, g.Faulted);
    }
    for (std::size_t i = 0; i < particles_.Rows; ++i) {
        out += "\nparticle";
        Add(out, runNumbers_[i]), Add(out, static_cast<std::size_t>(seeds_[i]));
        Add(out, distances_[i]), Add(out, weights_[i]);
        for (double v : particles_.Row(i)) Add(out, v);
        if (differences_.Rows == particles_.Rows)
            for (double v : differences_.Row(i)) Add(out, v);
    }
    return out + "\nend\n";
}

namespace {

// Reads one record into the state under construction; false at "end".
struct StateReader {
    SmcSettings settings;
    std::vector<Factor> factors;
    std::vector<double> scales;
    SmcStop stop = SmcStop::Running;
    std::vector<SmcGeneration> history;
    Matrix particles, differences;
    std::vector<double> weights, distances;
    std::vector<std::uint32_t> seeds;
    std::vector<std::size_t> runs;
    bool sawSettings = false;

    bool Read(Fields &f) {
        const std::string_view kind = f.Word();
        if (kind == "settings") {
            sawSettings = true;
            settings = {f.Number<std::size_t>(),   f.Number<double>(), f.Number<double>(),
                        f.Number<std::size_t>(),   f.Number<double>(), f.Number<std::size_t>(),
                        f.Number<std::uint64_t>(), f.Number<double>()};
            const auto adaptive = f.Number<unsigned>(), local = f.Number<unsigned>();
            if (adaptive > 1 || local > 1) f.Fail();
            settings.AdaptiveScales = adaptive == 1;
            settings.LocalKernel = local == 1;
        } else if (kind == "factor") {
            if (particles.Rows > 0) f.Fail();  // the particles' width is the factors' count
            const std::string_view scale = f.Word();
            if (scale != "linear" && scale != "log") f.Fail();
            const double low = f.Number<double>(), high = f.Number<double>();
            factors.push_back(
                {std::string(f.Rest()), low, high, scale == "log" ? FactorScale::Log : FactorScale::Linear});
        } else if (kind == "scales") {
            while (!f.AtEnd()) scales.push_back(f.Number<double>());
        } else if (kind == "stop") {
            const std::string_view name = f.Word();
            const auto at = std::find(StopNames.begin(), StopNames.end(), name);
            if (at == StopNames.end()) f.Fail();
            stop = static_cast<SmcStop>(at - StopNames.begin());
        } else if (kind == "generation") {
            history.push_back(
                {f.Number<double>(), f.Number<std::size_t>(), f.Number<std::size_t>(), f.Number<std::size_t>()});
        } else if (kind == "particle") {
            ReadParticle(f);
        } else if (kind == "end") {
            return false;
        } else {
            f.Fail();
        }
        if (!f.AtEnd()) f.Fail();
        return true;
    }

    void ReadParticle(Fields &f) {
        if (factors.empty()) f.Fail();
        runs.push_back(f.Number<std::size_t>());
        seeds.push_back(f.Number<std::uint32_t>());
        distances.push_back(f.Number<double>());
        weights.push_back(f.Number<double>());
        if (!(weights.back() > 0) || !std::isfinite(weights.back())) f.Fail();
        std::vector<double> values;
        for (std::size_t c = 0; c < factors.size(); ++c) values.push_back(f.Number<double>());
        for (std::size_t c = 0; c < factors.size(); ++c)
            if (!InSupport(factors[c], values[c])) f.Fail();
        particles.Cols = factors.size();
        particles.AppendRow(values);
        std::vector<double> deviation;
        while (!f.AtEnd()) deviation.push_back(f.Number<double>());
        if (particles.Rows == 1) differences.Cols = deviation.size();
        if (deviation.size() != differences.Cols) f.Fail();
        differences.AppendRow(deviation);
    }
};

}  // namespace

AbcSmc AbcSmc::Restore(std::string_view text, const std::string &source) {
    const std::vector<std::string_view> lines = TextLines(text);
    if (lines.empty()) Fields("", 1).Fail();
    Fields head(lines.front(), 1);
    if (head.Word() != Magic) head.Fail();
    const std::string_view version = head.Rest();
    if (version != CountText(SmcStateVersion))
        throw CalibrationError("calibration.state_version", {source, std::string(version), CountText(SmcStateVersion)});
    StateReader reader;
    std::size_t number = 1;
    for (; number < lines.size(); ++number) {
        Fields fields(lines[number], number + 1);
        if (!reader.Read(fields)) break;
    }
    const std::size_t expected = reader.history.empty() ? 0 : reader.history.back().Accepted;
    if (number >= lines.size() || !reader.sawSettings || reader.factors.empty() || reader.particles.Rows != expected)
        Fields("", number + 1).Fail();
    AbcSmc smc(reader.factors, reader.settings);
    smc.scales_ = std::move(reader.scales);
    smc.stop_ = reader.stop;
    smc.history_ = std::move(reader.history);
    smc.particles_ = std::move(reader.particles);
    smc.particles_.Cols = smc.factors_.size();
    smc.weights_ = std::move(reader.weights);
    smc.distances_ = std::move(reader.distances);
    smc.differences_ = std::move(reader.differences);
    smc.seeds_ = std::move(reader.seeds);
    smc.runNumbers_ = std::move(reader.runs);
    for (const SmcGeneration &g : smc.history_) {
        smc.completeRuns_ += g.Runs;
        smc.completeFaulted_ += g.Faulted;
    }
    smc.Prepare();
    smc.StartGeneration();
    return smc;
}

}  // namespace glebix::calibration
