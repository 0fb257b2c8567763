#include "SettingsTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "Conversions.h"

namespace glebix::batch {

namespace {

// One named setting: its kind, the range of a mode or a whole number, and where its
// value lives. Exactly one of `text`, `flag`, `mode` and `value` is set.
struct SettingEntry {
    const char *name;
    SettingKind kind;
    std::int32_t minimum;  // range of a mode or of a bounded whole number
    std::int32_t maximum;
    std::string *(*text)(TSettings &);
    bool *(*flag)(TSettings &);
    std::int32_t *(*mode)(TSettings &);
    double *(*value)(TSettings &);
};

constexpr std::int32_t NoMin = INT32_MIN;
constexpr std::int32_t NoMax = INT32_MAX;

SettingEntry TextEntry(const char *name, SettingKind kind, std::string *(*text)(TSettings &),
                       std::int32_t minimum = NoMin, std::int32_t maximum = NoMax) {
    return {name, kind, minimum, maximum, text, nullptr, nullptr, nullptr};
}
SettingEntry FlagEntry(const char *name, bool *(*flag)(TSettings &)) {
    return {name, SettingKind::Flag, 0, 1, nullptr, flag, nullptr, nullptr};
}
SettingEntry ModeEntry(const char *name, std::int32_t maximum, std::int32_t *(*mode)(TSettings &)) {
    return {name, SettingKind::Mode, 0, maximum, nullptr, nullptr, mode, nullptr};
}
SettingEntry ValueEntry(const char *name, double *(*value)(TSettings &)) {
    return {name, SettingKind::RealValue, 0, 0, nullptr, nullptr, nullptr, value};
}

const std::vector<SettingEntry> &Table() {
    using K = SettingKind;
    static const std::vector<SettingEntry> table = {
        TextEntry("Survival", K::Real, [](TSettings &s) { return &s.Species.Survival; }),
        TextEntry("Fecundity", K::Real, [](TSettings &s) { return &s.Species.Fecundity; }),
        TextEntry("MortalityAlpha", K::Real, [](TSettings &s) { return &s.Species.MortalityAlpha; }),
        TextEntry("CompactionC", K::Real, [](TSettings &s) { return &s.Species.CompactionC; }),
        TextEntry("DispersalSensitivity", K::Whole, [](TSettings &s) { return &s.Species.DispersalSensitivity; }),
        TextEntry("DispersalSigma", K::Real, [](TSettings &s) { return &s.Species.DispersalSigma; }),
        ModeEntry("ResponseShape", 2, [](TSettings &s) { return &s.Species.ResponseShape; }),
        ValueEntry("ResponseOptimum", [](TSettings &s) { return &s.Species.ResponseOptimum; }),
        ValueEntry("ResponseTolerance", [](TSettings &s) { return &s.Species.ResponseTolerance; }),
        FlagEntry("SurvivalEnvSensitive", [](TSettings &s) { return &s.Species.SurvivalEnvSensitive; }),
        FlagEntry("FecundityEnvSensitive", [](TSettings &s) { return &s.Species.FecundityEnvSensitive; }),
        FlagEntry("DispersalFirst", [](TSettings &s) { return &s.Species.DispersalFirst; }),
        ModeEntry("EnvInitMode", 2, [](TSettings &s) { return &s.Initial.EnvInitMode; }),
        TextEntry("EnvMean", K::Real, [](TSettings &s) { return &s.Initial.EnvMean; }),
        TextEntry("EnvVariability", K::Real, [](TSettings &s) { return &s.Initial.EnvVariability; }),
        TextEntry("EnvConstant", K::Real, [](TSettings &s) { return &s.Initial.EnvConstant; }),
        TextEntry("EnvFilePath", K::Path, [](TSettings &s) { return &s.Initial.EnvFilePath; }),
        ModeEntry("DistInitMode", 4, [](TSettings &s) { return &s.Initial.DistInitMode; }),
        TextEntry("DistConstant", K::Whole, [](TSettings &s) { return &s.Initial.DistConstant; }),
        TextEntry("DistMean", K::Whole, [](TSettings &s) { return &s.Initial.DistMean; }),
        TextEntry("DistVariability", K::Real, [](TSettings &s) { return &s.Initial.DistVariability; }),
        TextEntry("DistFilePath", K::Path, [](TSettings &s) { return &s.Initial.DistFilePath; }),
        FlagEntry("EnvDynamic", [](TSettings &s) { return &s.Run.EnvDynamic; }),
        TextEntry("DecompactionD", K::Real, [](TSettings &s) { return &s.Run.DecompactionD; }),
        // A chart cell outside the grid would silently be moved onto its edge.
        TextEntry(
            "ChartCellX", K::Whole, [](TSettings &s) { return &s.Run.ChartCellX; }, 1, 50),
        TextEntry(
            "ChartCellY", K::Whole, [](TSettings &s) { return &s.Run.ChartCellY; }, 1, 50),
    };
    return table;
}

const SettingEntry *Find(std::string_view name) {
    for (const SettingEntry &e : Table())
        if (name == e.name) return &e;
    return nullptr;
}

// Quotes a text for a message, showing control characters as \xNN and cutting it
// short (never inside a UTF-8 sequence), so that a message always stays on one
// readable line.
std::string Quoted(std::string_view text) {
    constexpr std::size_t longest = 80;
    std::size_t cut = std::min(text.size(), longest);
    // A sequence is at most 4 bytes long: back up over at most 3 continuation bytes.
    while (cut + 3 > longest && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    std::string out = "«";
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
    out += "»";
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
    return "de " + std::to_string(minimum) + " à " + std::to_string(maximum);
}

}  // namespace

std::optional<std::string> ApplySetting(std::string_view name, std::string_view value, TSettings &settings) {
    const SettingEntry *e = Find(name);
    if (!e) return "paramètre inconnu : " + Quoted(name);
    const std::string what = "paramètre " + std::string(e->name) + " : ";
    switch (e->kind) {
    case SettingKind::Real:
    case SettingKind::RealValue: {
        const auto v = ParseRealToken(value);
        if (!v) return what + Quoted(value) + " n'est pas un nombre décimal (avec un point, comme 0.4)";
        if (!std::isfinite(*v)) return what + Quoted(value) + " est hors des limites des nombres réels";
        if (e->kind == SettingKind::Real)
            *e->text(settings) = std::string(value);
        else
            *e->value(settings) = *v;
        return std::nullopt;
    }
    case SettingKind::Whole: {
        const auto v = ParseWholeToken(value);
        if (!v || *v < e->minimum || *v > e->maximum)
            return what + Quoted(value) + " n'est pas un nombre entier " + RangeText(e->minimum, e->maximum);
        *e->text(settings) = std::string(value);
        return std::nullopt;
    }
    case SettingKind::Mode: {
        const auto v = ParseWholeToken(value);
        if (!v || *v < e->minimum || *v > e->maximum)
            return what + Quoted(value) + " n'est pas un numéro de mode " + RangeText(e->minimum, e->maximum);
        *e->mode(settings) = *v;
        return std::nullopt;
    }
    case SettingKind::Flag: {
        const auto v = ParseFlag(value);
        if (!v) return what + Quoted(value) + " n'est pas une valeur oui/non (on/off, true/false, 1/0)";
        *e->flag(settings) = *v;
        return std::nullopt;
    }
    case SettingKind::Path:
        *e->text(settings) = std::string(value);
        return std::nullopt;
    }
    return std::nullopt;
}

std::string SettingText(std::string_view name, const TSettings &settings) {
    const SettingEntry *e = Find(name);
    if (!e) return {};
    // The accessors only take the address of a member; nothing is changed.
    TSettings &s = const_cast<TSettings &>(settings);
    switch (e->kind) {
    case SettingKind::Real:
    case SettingKind::Whole:
    case SettingKind::Path:
        return *e->text(s);
    case SettingKind::Flag:
        return *e->flag(s) ? "on" : "off";
    case SettingKind::Mode:
        return std::to_string(*e->mode(s));
    case SettingKind::RealValue:
        return FormatShortest(*e->value(s));
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
