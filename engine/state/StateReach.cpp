#include "StateReach.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <type_traits>

#include "Conversions.h"
#include "FloatChecks.h"
#include "SettingsRegistry.h"

namespace glebix {

namespace {

// The largest count a cell can hold after a step: every individual of the plot, each
// cell having been capped by reproduction and survival (beyond 32 bits: any).
std::int64_t MaxCountAfterStep(const PlotShape &shape) { return std::int64_t{shape.Width} * shape.Height * DensityCap; }

// Rounding of one share operation on a value below 128: half a unit in the last place.
// A step makes four of them; set-up and the check's own sum one each.
constexpr int RoundingsPerStep = 4;
const double HalfUlpBelow128 = std::ldexp(1.0, -47);

bool CountsStartWhole(const InitialSettings &in) {
    if (in.DistInitMode == DistModeRandom) {
        // No drawn count wraps past 2^31 - 1 into a negative one.
        const long double reach = std::fabs(static_cast<long double>(FieldToInteger(in.DistMean))) +
                                  std::fabs(static_cast<long double>(FieldToReal(in.DistVariability)));
        return reach < 2147483647.0L;
    }
    return in.DistInitMode != DistModeFile && FieldToInteger(in.DistConstant) >= 0;
}

bool SharesStartInRange(const InitialSettings &in) {
    if (in.EnvInitMode == EnvModeRandom) return true;  // drawn shares are bounded into 0 to 100
    const double constant = FieldToReal(in.EnvConstant);
    return in.EnvInitMode == EnvModeHomogeneous && constant >= 0 && constant <= 100;
}

// Whether every setting that keeps `kept` while not negative is so: the value the run
// took at set-up where it took one, else the setting's text converted.
bool NoneNegative(const TSettings &settings, const RunSpecies &species, StateKept kept) {
    bool none = true;
    VisitSettings(settings, [&](const SettingRow &row, const auto &text) {
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(text)>, std::string>) {
            if (row.keptWhenNotNegative != kept) return;
            std::optional<double> taken;
            VisitRunSpecies(species, [&](std::string_view name, const auto &value) {
                if (name == row.name) taken = static_cast<double>(value);
            });
            none = none && taken.value_or(FieldToReal(text)) >= 0;
        }
    });
    return none;
}

bool NoneNegative(const std::vector<double> &map) {
    return std::all_of(map.begin(), map.end(), [](double v) { return v >= 0; });
}

// A problem of cell (i, j), each from 1.
EngineMessage Cell(int i, int j, EngineMessage problem) {
    return EngineMessage("engine.state_cell", {std::to_string(i), std::to_string(j), std::move(problem)});
}

}  // namespace

ReachableState::ReachableState(const TSettings &settings, const RunSpecies &species, std::int32_t step,
                               const SoilMaps &maps)
    : settings_(settings),
      step_(step),
      shape_(PlotShapeOf(settings.Plot)),
      distConstant_(FieldToInteger(settings.Initial.DistConstant)) {
    countsStayWhole_ = CountsStartWhole(settings.Initial) && NoneNegative(settings, species, StateKept::Counts);
    sharesStayInRange_ = countsStayWhole_ && SharesStartInRange(settings.Initial) &&
                         NoneNegative(settings, species, StateKept::Shares) && NoneNegative(maps.CompactionC) &&
                         NoneNegative(maps.DecompactionD);
    sumTolerance_ = (static_cast<double>(step) * RoundingsPerStep + 2) * HalfUlpBelow128;
}

std::optional<EngineMessage> ReachableState::CountProblem(int i, int j, std::int32_t count) const {
    const std::int32_t mode = settings_.Initial.DistInitMode;
    if (step_ == 0 && mode != DistModeRandom && mode != DistModeFile) {
        const std::int32_t expected = PatternCount(mode, i, j, distConstant_, shape_.Width, shape_.Height);
        if (count != expected)
            return Cell(
                i, j, EngineMessage("engine.state_count_at_start", {std::to_string(count), std::to_string(expected)}));
    }
    if (step_ > 0 && count > MaxCountAfterStep(shape_))
        return Cell(i, j,
                    EngineMessage("engine.state_count_unreached",
                                  {std::to_string(count), std::to_string(MaxCountAfterStep(shape_))}));
    if (countsStayWhole_ && count < 0)
        return Cell(i, j, EngineMessage("engine.state_count_negative", {std::to_string(count)}));
    return std::nullopt;
}

std::optional<EngineMessage> ReachableState::SharesProblem(int i, int j, double compacted, double decompacted) const {
    const auto shares = [&](MessageKey key, std::vector<MessageArg> more = {}) {
        std::vector<MessageArg> args{FormatShortest(compacted), FormatShortest(decompacted)};
        args.insert(args.end(), more.begin(), more.end());
        return Cell(i, j, EngineMessage(key, std::move(args)));
    };
    if (!std::isfinite(compacted) || !std::isfinite(decompacted)) return shares("engine.state_shares_finite");
    if (step_ == 0 && settings_.Initial.EnvInitMode == EnvModeHomogeneous) {
        const double constant = FieldToReal(settings_.Initial.EnvConstant);
        const TCellEnv expected = HomogeneousCellEnv(constant);
        if (compacted != expected.Compacted || decompacted != expected.Decompacted)
            return shares("engine.state_shares_at_start", {FormatShortest(constant)});
    }
    if (!sharesStayInRange_) return std::nullopt;
    const long double off = std::fabs(static_cast<long double>(compacted) + decompacted - 100);
    if (compacted < 0 || decompacted < 0 || off > sumTolerance_) return shares("engine.state_shares_range");
    return std::nullopt;
}

}  // namespace glebix
