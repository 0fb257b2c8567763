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
#include "SettingsRegistry.h"
#include "SoilMaps.h"
#include "WordList.h"
#include "PlotShape.h"
#include "StateFile.h"

namespace glebix::core {

namespace {

// Calls act(row, member) for the setting `name`; false when the registry has no such
// setting or when it is one that `setter` does not set.
template <typename S, typename Act>
bool WithSetting(S &settings, std::string_view name, SettingSetter setter, Act act) {
    bool found = false;
    VisitSettings(settings, [&](const SettingRow &row, auto &member) {
        if (found || row.name != name || row.setter != setter) return;
        found = true;
        act(row, member);
    });
    return found;
}

const SettingRow *FindByName(std::string_view name) {
    const SettingRow *row = FindSettingRow(name);
    return row && row->setter == SettingSetter::ByName ? row : nullptr;
}

// A checked value, in the form its member keeps.
struct CheckedValue {
    std::string_view text;
    double real = 0;
    std::int32_t whole = 0;
    bool flag = false;
};
void Store(std::string &member, const CheckedValue &v) { member = std::string(v.text); }
void Store(double &member, const CheckedValue &v) { member = v.real; }
void Store(std::int32_t &member, const CheckedValue &v) { member = v.whole; }
void Store(bool &member, const CheckedValue &v) { member = v.flag; }

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

namespace {

// The problem with `value` for `row`, or the value checked.
std::optional<std::string> Check(const SettingRow &row, std::string_view value, CheckedValue &v) {
    const auto what = [&row] { return Message("setting.prefix", {std::string(row.name)}); };  // made for a refusal only
    if (auto problem = NullByteProblem(value)) return what() + *problem;
    v.text = value;
    switch (row.kind) {
    case SettingKind::Real:
    case SettingKind::RealValue: {
        const auto real = ParseRealToken(value);
        if (!real) return what() + Message("setting.not_real", {Quoted(value)});
        if (!std::isfinite(*real)) return what() + Message("setting.not_finite", {Quoted(value)});
        v.real = *real;
        return std::nullopt;
    }
    case SettingKind::Whole:
    case SettingKind::Mode: {
        const auto whole = ParseWholeToken(value);
        if (!whole || *whole < row.minimum || *whole > row.maximum)
            return what() + Message(row.kind == SettingKind::Whole ? "setting.not_whole" : "setting.not_mode",
                                    {Quoted(value), RangeText(row.minimum, row.maximum)});
        v.whole = *whole;
        return std::nullopt;
    }
    case SettingKind::Flag: {
        const auto flag = ParseFlag(value);
        if (!flag) return what() + Message("setting.not_flag", {Quoted(value)});
        v.flag = *flag;
        return std::nullopt;
    }
    case SettingKind::Word:
        if (!IsEdgesWord(value)) return what() + Message("setting.not_edges", {Quoted(value)});
        return std::nullopt;
    case SettingKind::Path:
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ApplySetting(std::string_view name, std::string_view value, TSettings &settings) {
    std::optional<std::string> problem;
    const bool known = WithSetting(settings, name, SettingSetter::ByName, [&](const SettingRow &row, auto &member) {
        CheckedValue v;
        problem = Check(row, value, v);
        if (problem) return;
        Store(member, v);
        NoteGivenByName(settings, &member);
    });
    if (!known) return UnknownSettingMessage(name);
    return problem;
}

namespace {

// A manifest's or state's text for `row` into its member. A number may start with
// blanks; the step count and the numbers set by name keep the very text given.
template <typename Member>
std::optional<std::string> RestoreMember(const SettingRow &row, std::string_view text, Member &member) {
    const bool number = row.kind != SettingKind::Path && row.kind != SettingKind::Word;
    const std::string_view checked = number ? text.substr(std::min(text.size(), text.find_first_not_of(' '))) : text;
    if (row.setter == SettingSetter::Steps) {
        if (!ParseCount(checked, row.minimum))
            return Message("setting.prefix", {std::string(row.name)}) +
                   Message("setting.not_whole", {Quoted(text), RangeText(row.minimum, row.maximum)});
        Store(member, CheckedValue{text});
        return std::nullopt;
    }
    CheckedValue v;
    if (auto problem = Check(row, checked, v)) return problem;
    if (row.kind == SettingKind::Real || row.kind == SettingKind::Whole) v.text = text;
    Store(member, v);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RestoreSetting(std::string_view name, std::string_view text, TSettings &settings) {
    std::optional<std::string> problem;
    bool known = false;
    VisitSettings(settings, [&](const SettingRow &row, auto &member) {
        if (known || row.name != name || (row.setter != SettingSetter::ByName && row.setter != SettingSetter::Steps))
            return;
        known = true;
        problem = RestoreMember(row, text, member);
    });
    if (!known) return UnknownSettingMessage(name);
    return problem;
}

std::optional<std::string> CheckSavedSetting(std::string_view name, std::string_view text) {
    const SettingRow *row = FindSettingRow(name);
    if (!row || row->setter == SettingSetter::Windows) return std::nullopt;
    TSettings scratch;
    return RestoreSetting(name, text, scratch);
}

namespace {
std::string TextOf(const std::string &member) { return member; }
std::string TextOf(bool member) { return member ? "on" : "off"; }
std::string TextOf(std::int32_t member) { return std::to_string(member); }
std::string TextOf(double member) { return FormatShortest(member); }
}  // namespace

std::string SettingText(std::string_view name, const TSettings &settings) {
    std::string text;
    WithSetting(settings, name, SettingSetter::ByName,
                [&text](const SettingRow &, const auto &member) { text = TextOf(member); });
    return text;
}

std::string SettingKindText(std::string_view name) {
    const SettingRow *e = FindByName(name);
    if (!e) return {};
    const std::string range = std::to_string(e->minimum) + "-" + std::to_string(e->maximum);
    switch (e->kind) {
    case SettingKind::Real:
    case SettingKind::RealValue:
        return "real";
    case SettingKind::Whole:
        return e->minimum == NoMinimum && e->maximum == NoMaximum ? "whole" : "whole " + range;
    case SettingKind::Mode:
        return "mode " + range;
    case SettingKind::Flag:
        return "flag";
    case SettingKind::Word:
        return std::string(EdgesTorus) + "|" + EdgesBounded;
    case SettingKind::Path:
        return "path";
    }
    return {};
}

const std::vector<std::string> &SettingNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const SettingRow &row : SettingRows())
            if (row.setter == SettingSetter::ByName) out.emplace_back(row.name);
        return out;
    }();
    return names;
}

std::vector<std::string> RecordedSettingNames(const TSettings &settings) {
    std::vector<std::string> out;
    VisitSettings(settings, [&out](const SettingRow &row, const auto &member) {
        if (row.setter == SettingSetter::ByName && !(row.extension && IsDefaultValue(row, member)))
            out.emplace_back(row.name);
    });
    return out;
}

const std::vector<std::string> &ResumeSettableNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const SettingRow &row : SettingRows())
            if (row.setter == SettingSetter::ByName && row.changesOnResume()) out.emplace_back(row.name);
        return out;
    }();
    return names;
}

std::string SettingNamesParagraph(Language language) {
    constexpr std::size_t width = 76;
    std::string text, line = MessageIn(language, "usage.settings", {});
    const auto &names = SettingNames();
    for (std::size_t k = 0; k < names.size(); ++k) {
        const SettingRow &row = *FindSettingRow(names[k]);
        std::string word = names[k];
        if (row.kind == SettingKind::Mode)
            word += " (" + std::to_string(row.minimum) + "-" + std::to_string(row.maximum) + ")";
        word += k + 1 == names.size() ? "." : ",";
        if (line.size() + 1 + word.size() > width) {
            text += line + "\n";
            line = word;
        } else {
            line += " " + word;
        }
    }
    const std::string settable = JoinWords(ResumeSettableNames(), MessageIn(language, "word.and", {}));
    return text + line + "\n" + MessageIn(language, "usage.resume", {settable}) + "\n";
}

SoilMapChoice SoilMapOf(const std::string &option, std::string_view name) {
    const std::string_view setting = SoilMapSetting(name);
    if (!setting.empty()) return {std::string(setting), {}};
    std::string names;
    for (const std::string_view n : SettingsWithMaps()) names += (names.empty() ? "" : ", ") + std::string(n);
    return {{}, Message("option.map_name", {option, std::string(name), names})};
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

}  // namespace glebix::core
