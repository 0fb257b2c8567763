#include "StopRule.h"

#include <array>
#include <cmath>
#include <utility>

#include "Conversions.h"
#include "Errors.h"
#include "Messages.h"

namespace glebix::core {

namespace {

using Comparison = StopRule::Comparison;

// The two-character forms first, so that "<=" is not read as "<" and "=...".
constexpr std::array<std::pair<std::string_view, Comparison>, 4> Comparisons{{
    {"<=", Comparison::AtMost},
    {">=", Comparison::AtLeast},
    {"<", Comparison::Below},
    {">", Comparison::Above},
}};

// A count is a whole number: no individual left is a total below one.
constexpr double ExtinctBelow = 1;

}  // namespace

ParsedStopRule ParseStopRule(std::string_view text, const std::string &name) {
    if (text == ExtinctRule) return {StopRule{std::string(text), "total_density", Comparison::Below, ExtinctBelow}, {}};
    const std::size_t at = text.find_first_of("<>");
    if (at == std::string_view::npos || at == 0)
        return {std::nullopt, Message("option.bad_stop_when", {name, std::string(text)})};
    StopRule rule{std::string(text), std::string(text.substr(0, at)), Comparison::Below, 0};
    std::string_view rest = text.substr(at);
    for (const auto &[sign, compare] : Comparisons)
        if (rest.substr(0, sign.size()) == sign) {
            rule.Compare = compare;
            rest.remove_prefix(sign.size());
            break;
        }
    if (!StepColumnValue(StepRecord{}, rule.Column))
        return {std::nullopt, Message("option.bad_stop_column", {name, std::string(text), rule.Column})};
    const std::optional<double> threshold = ParseRealToken(rest);
    if (!threshold || !std::isfinite(*threshold))
        return {std::nullopt, Message("option.bad_stop_when", {name, std::string(text)})};
    rule.Threshold = *threshold;
    return {std::move(rule), {}};
}

std::vector<StopRule> StopRulesOf(const std::vector<std::string> &texts, const std::string &name) {
    std::vector<StopRule> rules;
    for (const std::string &text : texts) {
        ParsedStopRule parsed = ParseStopRule(text, name);
        if (!parsed.Rule) throw GlebixError(parsed.Problem);
        rules.push_back(std::move(*parsed.Rule));
    }
    return rules;
}

bool Holds(const StopRule &rule, const StepRecord &record) {
    const double value = StepColumnValue(record, rule.Column).value_or(0);
    switch (rule.Compare) {
    case Comparison::Below:
        return value < rule.Threshold;
    case Comparison::AtMost:
        return value <= rule.Threshold;
    case Comparison::Above:
        return value > rule.Threshold;
    case Comparison::AtLeast:
        return value >= rule.Threshold;
    }
    return false;
}

const StopRule *FirstHolding(const std::vector<StopRule> &rules, const StepRecord &record) {
    for (const StopRule &rule : rules)
        if (Holds(rule, record)) return &rule;
    return nullptr;
}

void AppendStoppedBy(std::string &rows, std::string_view rule) {
    if (!rows.empty() && rows.back() == '\n') rows.pop_back();
    rows += ',';
    rows += CsvField(rule);
    rows += '\n';
}

}  // namespace glebix::core
