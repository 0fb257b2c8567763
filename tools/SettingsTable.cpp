#include "SettingsTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "CloseNames.h"
#include "Conversions.h"
#include "Messages.h"
#include "Plot.h"

namespace glebix::batch {

namespace {

// Where a setting of type T lives, for writing and for reading.
template <typename T>
struct Place {
    T *(*at)(TSettings &);
    const T *(*of)(const TSettings &);
};

// The place of settings.*Group.*Member.
template <auto Group, auto Member>
constexpr auto At() {
    using T = std::remove_cvref_t<decltype(std::declval<TSettings &>().*Group.*Member)>;
    return Place<T>{[](TSettings &s) { return &(s.*Group.*Member); },
                    [](const TSettings &s) { return &(s.*Group.*Member); }};
}

// One named setting: its kind, the range of a mode or a whole number, and where its
// value lives. Exactly one of `text`, `flag`, `mode` and `value` is set.
struct SettingEntry {
    const char *name;
    SettingKind kind;
    std::int32_t minimum;  // range of a mode or of a bounded whole number
    std::int32_t maximum;
    Place<std::string> text;
    Place<bool> flag;
    Place<std::int32_t> mode;
    Place<double> value;
};

constexpr std::int32_t NoMin = INT32_MIN;
// The step count: set by --steps rather than --set, but restored with the others.
constexpr std::string_view StepCountName = "StepCount";
constexpr std::int32_t NoMax = INT32_MAX;

SettingEntry TextEntry(const char *name, SettingKind kind, Place<std::string> text, std::int32_t minimum = NoMin,
                       std::int32_t maximum = NoMax) {
    return {name, kind, minimum, maximum, text, {}, {}, {}};
}
SettingEntry FlagEntry(const char *name, Place<bool> flag) { return {name, SettingKind::Flag, 0, 1, {}, flag, {}, {}}; }
// A mode numbered from 0 to count - 1.
SettingEntry ModeEntry(const char *name, std::int32_t count, Place<std::int32_t> mode) {
    return {name, SettingKind::Mode, 0, count - 1, {}, {}, mode, {}};
}
SettingEntry ValueEntry(const char *name, Place<double> value) {
    return {name, SettingKind::RealValue, 0, 0, {}, {}, {}, value};
}

const std::vector<SettingEntry> &Table() {
    using K = SettingKind;
    using T = TSettings;
    using Sp = SpeciesSettings;
    using In = InitialSettings;
    using Ru = RunSettings;
    static const std::vector<SettingEntry> table = {
        TextEntry("Survival", K::Real, At<&T::Species, &Sp::Survival>()),
        TextEntry("Fecundity", K::Real, At<&T::Species, &Sp::Fecundity>()),
        TextEntry("MortalityAlpha", K::Real, At<&T::Species, &Sp::MortalityAlpha>()),
        TextEntry("CompactionC", K::Real, At<&T::Species, &Sp::CompactionC>()),
        TextEntry("DispersalSensitivity", K::Whole, At<&T::Species, &Sp::DispersalSensitivity>()),
        TextEntry("DispersalSigma", K::Real, At<&T::Species, &Sp::DispersalSigma>()),
        ModeEntry("ResponseShape", ResponseShapeCount, At<&T::Species, &Sp::ResponseShape>()),
        ValueEntry("ResponseOptimum", At<&T::Species, &Sp::ResponseOptimum>()),
        ValueEntry("ResponseTolerance", At<&T::Species, &Sp::ResponseTolerance>()),
        FlagEntry("SurvivalEnvSensitive", At<&T::Species, &Sp::SurvivalEnvSensitive>()),
        FlagEntry("FecundityEnvSensitive", At<&T::Species, &Sp::FecundityEnvSensitive>()),
        FlagEntry("DispersalFirst", At<&T::Species, &Sp::DispersalFirst>()),
        ModeEntry("EnvInitMode", EnvModeCount, At<&T::Initial, &In::EnvInitMode>()),
        TextEntry("EnvMean", K::Real, At<&T::Initial, &In::EnvMean>()),
        TextEntry("EnvVariability", K::Real, At<&T::Initial, &In::EnvVariability>()),
        TextEntry("EnvConstant", K::Real, At<&T::Initial, &In::EnvConstant>()),
        TextEntry("EnvFilePath", K::Path, At<&T::Initial, &In::EnvFilePath>()),
        ModeEntry("DistInitMode", DistModeCount, At<&T::Initial, &In::DistInitMode>()),
        TextEntry("DistConstant", K::Whole, At<&T::Initial, &In::DistConstant>()),
        TextEntry("DistMean", K::Whole, At<&T::Initial, &In::DistMean>()),
        TextEntry("DistVariability", K::Real, At<&T::Initial, &In::DistVariability>()),
        TextEntry("DistFilePath", K::Path, At<&T::Initial, &In::DistFilePath>()),
        FlagEntry("EnvDynamic", At<&T::Run, &Ru::EnvDynamic>()),
        TextEntry("DecompactionD", K::Real, At<&T::Run, &Ru::DecompactionD>()),
        // A chart cell outside the grid would silently be moved onto its edge.
        TextEntry("ChartCellX", K::Whole, At<&T::Run, &Ru::ChartCellX>(), 1, GridSide),
        TextEntry("ChartCellY", K::Whole, At<&T::Run, &Ru::ChartCellY>(), 1, GridSide),
    };
    return table;
}

const SettingEntry *Find(std::string_view name) {
    for (const SettingEntry &e : Table())
        if (name == e.name) return &e;
    return nullptr;
}

std::string Quoted(std::string_view text) {
    constexpr std::size_t longest = 80;
    std::size_t cut = std::min(text.size(), longest);
    // A sequence is at most 4 bytes long: back up over at most 3 continuation bytes.
    while (cut + 3 > longest && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    std::string out = Message("quote.open");
    for (std::size_t k = 0; k < cut; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        if (c < 32 || c == 127) {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (cut < text.size()) out += "…";
    out += Message("quote.close");
    return out;
}

std::optional<bool> ParseFlag(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (lower == "on" || lower == "true" || lower == "1") return true;
    if (lower == "off" || lower == "false" || lower == "0") return false;
    return std::nullopt;
}

// "de 0 à 2".
std::string RangeText(std::int32_t minimum, std::int32_t maximum) {
    return Message("setting.range", {std::to_string(minimum), std::to_string(maximum)});
}

}  // namespace

std::optional<std::string> NullByteProblem(std::string_view text) {
    // C strings end at a null byte: a path would open a file other than the text that
    // the manifest and the table record.
    if (text.find('\0') == std::string_view::npos) return std::nullopt;
    return Message("setting.null_byte", {Quoted(text)});
}

std::string UnknownSettingMessage(std::string_view name) {
    return Message("setting.unknown", {Quoted(name), SuggestionText(name, SettingNames())});
}

std::optional<std::string> ApplySetting(std::string_view name, std::string_view value, TSettings &settings) {
    const SettingEntry *e = Find(name);
    if (!e) return UnknownSettingMessage(name);
    const auto what = [e] { return Message("setting.prefix", {e->name}); };  // made for a refusal only
    if (auto problem = NullByteProblem(value)) return what() + *problem;
    switch (e->kind) {
    case SettingKind::Real:
    case SettingKind::RealValue: {
        const auto v = ParseRealToken(value);
        if (!v) return what() + Message("setting.not_real", {Quoted(value)});
        if (!std::isfinite(*v)) return what() + Message("setting.not_finite", {Quoted(value)});
        if (e->kind == SettingKind::Real)
            *e->text.at(settings) = std::string(value);
        else
            *e->value.at(settings) = *v;
        return std::nullopt;
    }
    case SettingKind::Whole: {
        const auto v = ParseWholeToken(value);
        if (!v || *v < e->minimum || *v > e->maximum)
            return what() + Message("setting.not_whole", {Quoted(value), RangeText(e->minimum, e->maximum)});
        *e->text.at(settings) = std::string(value);
        return std::nullopt;
    }
    case SettingKind::Mode: {
        const auto v = ParseWholeToken(value);
        if (!v || *v < e->minimum || *v > e->maximum)
            return what() + Message("setting.not_mode", {Quoted(value), RangeText(e->minimum, e->maximum)});
        *e->mode.at(settings) = *v;
        return std::nullopt;
    }
    case SettingKind::Flag: {
        const auto v = ParseFlag(value);
        if (!v) return what() + Message("setting.not_flag", {Quoted(value)});
        *e->flag.at(settings) = *v;
        return std::nullopt;
    }
    case SettingKind::Path:
        *e->text.at(settings) = std::string(value);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> RestoreSetting(std::string_view name, std::string_view text, TSettings &settings) {
    const SettingEntry *e = Find(name);
    const bool number = name == StepCountName || (e && e->kind != SettingKind::Path);
    const std::string_view checked = number ? text.substr(std::min(text.size(), text.find_first_not_of(' '))) : text;
    if (name == StepCountName) {
        if (!ParseCount(checked, 0))
            return Message("setting.prefix", {"StepCount"}) +
                   Message("setting.not_whole", {Quoted(text), RangeText(0, NoMax)});
        settings.Run.StepCount = std::string(text);
        return std::nullopt;
    }
    if (auto problem = ApplySetting(name, checked, settings)) return problem;
    if (e && (e->kind == SettingKind::Real || e->kind == SettingKind::Whole)) *e->text.at(settings) = std::string(text);
    return std::nullopt;
}

std::optional<std::string> CheckSavedSetting(std::string_view name, std::string_view text) {
    if (name != StepCountName && !Find(name)) return std::nullopt;
    TSettings scratch;
    return RestoreSetting(name, text, scratch);
}

std::string SettingText(std::string_view name, const TSettings &settings) {
    const SettingEntry *e = Find(name);
    if (!e) return {};
    switch (e->kind) {
    case SettingKind::Real:
    case SettingKind::Whole:
    case SettingKind::Path:
        return *e->text.of(settings);
    case SettingKind::Flag:
        return *e->flag.of(settings) ? "on" : "off";
    case SettingKind::Mode:
        return std::to_string(*e->mode.of(settings));
    case SettingKind::RealValue:
        return FormatShortest(*e->value.of(settings));
    }
    return {};
}

std::string SettingKindText(std::string_view name) {
    const SettingEntry *e = Find(name);
    if (!e) return {};
    const std::string range = std::to_string(e->minimum) + "-" + std::to_string(e->maximum);
    switch (e->kind) {
    case SettingKind::Real:
    case SettingKind::RealValue:
        return "real";
    case SettingKind::Whole:
        return e->minimum == NoMin && e->maximum == NoMax ? "whole" : "whole " + range;
    case SettingKind::Mode:
        return "mode " + range;
    case SettingKind::Flag:
        return "flag";
    case SettingKind::Path:
        return "path";
    }
    return {};
}

const std::vector<std::string> &SettingNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const SettingEntry &e : Table()) out.emplace_back(e.name);
        return out;
    }();
    return names;
}

std::optional<int> ParseCount(std::string_view text, int minimum) {
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    const auto v = ParseWholeToken(text);
    if (!v || *v < minimum) return std::nullopt;
    return *v;
}

std::optional<unsigned> ParseSeed(std::string_view text) {
    std::uint32_t v = 0;
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

}  // namespace glebix::batch
