// Fuzzes the edit-field conversions and the strict token conversions against a
// model built on std::from_chars: a text that converts wholly gives the value
// from_chars gives; any other text gives a non-negative whole number; the
// "converts wholly" predicates agree with the conversions.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "Conversions.h"
#include "FuzzFiles.h"

using namespace glebix;
using namespace glebix::fuzz;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view SkipSpaces(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    return t;
}

// Whole-text model of FieldToInteger: [spaces][+-](decimal | ($|x|X|0x|0X)hex).
struct IntegerModel {
    bool whole = false;
    std::int32_t value = 0;
};

IntegerModel ModelInteger(std::string_view t) {
    IntegerModel m;
    t = SkipSpaces(t);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (!t.empty() && (t[0] == '$' || t[0] == 'x' || t[0] == 'X')) {
        base = 16;
        t.remove_prefix(1);
    } else if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty()) return m;
    for (char c : t)
        if (base == 10 ? !IsDigit(c) : !IsHexDigit(c)) return m;
    std::uint64_t magnitude = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
    if (ec != std::errc() || ptr != t.data() + t.size()) return m;
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    if (magnitude > limit) return m;
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    m.whole = true;
    m.value = static_cast<std::int32_t>(bits);
    return m;
}

// Whole-text model of FieldToReal: [spaces][+-] then a decimal real that from_chars
// reads to its very end (no "inf", "nan", or a second sign).
struct RealModel {
    bool whole = false;
    bool outOfRange = false;
    double value = 0;
};

RealModel ModelReal(std::string_view t) {
    RealModel m;
    t = SkipSpaces(t);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || t[0] == '+' || t[0] == '-') return m;
    for (char c : t)
        if (!IsDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return m;
    double v = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (ptr != t.data() + t.size()) return m;
    if (ec == std::errc::result_out_of_range) {
        m.whole = m.outOfRange = true;
        return m;
    }
    if (ec != std::errc()) return m;
    m.whole = true;
    m.value = negative ? -v : v;
    return m;
}

// Value of a run of decimal digits of at most 15 digits, or -1.
double ShortDigitValue(std::string_view digits) {
    if (digits.empty() || digits.size() > 15) return -1;
    std::uint64_t v = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    return static_cast<double>(v);
}

void CheckInteger(std::string_view text) {
    const IntegerModel m = ModelInteger(text);
    const std::int32_t v = FieldToInteger(text);
    Require(FieldIsWholeInteger(text) == m.whole, "FieldIsWholeInteger disagrees with the model");
    if (m.whole) {
        Require(v == m.value, "FieldToInteger of a whole text differs from from_chars");
        return;
    }
    Require(v >= 0, "a partial integer conversion is negative");
    // A decimal text: the value of its leading digits when they are few.
    std::string_view t = SkipSpaces(text);
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.remove_prefix(1);
    if (!t.empty() && (t[0] == '$' || t[0] == 'x' || t[0] == 'X')) return;
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) return;
    std::size_t n = 0;
    while (n < t.size() && IsDigit(t[n])) ++n;
    if (n <= 9)
        Require(v == (n ? static_cast<std::int32_t>(ShortDigitValue(t.substr(0, n))) : 0),
                "a partial integer conversion is not the value of its leading digits");
}

void CheckReal(std::string_view text) {
    const RealModel m = ModelReal(text);
    const double v = FieldToReal(text);
    Require(!std::isnan(v), "FieldToReal gave a NaN");
    Require(FieldIsWholeReal(text) == m.whole, "FieldIsWholeReal disagrees with the model");
    if (m.whole) {
        if (m.outOfRange)
            Require(std::isinf(v) || v == 0, "an out-of-range text is neither infinite nor zero");
        else
            Require(v == m.value && std::signbit(v) == std::signbit(m.value), "FieldToReal differs from from_chars");
        return;
    }
    Require(v >= 0 && (std::isinf(v) || v == std::trunc(v)), "a partial real conversion is not a whole number");
    // A plain run of digits followed by a character that cannot continue a real.
    std::string_view t = SkipSpaces(text);
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.remove_prefix(1);
    std::size_t n = 0;
    while (n < t.size() && IsDigit(t[n])) ++n;
    if (n < t.size() && t[n] != '.' && t[n] != 'e' && t[n] != 'E' && n <= 15)
        Require(v == (n ? ShortDigitValue(t.substr(0, n)) : 0), "a partial real conversion is not its leading digits");
}

// The strict token conversions accept a subset of what the field conversions take
// wholly, with the same value.
void CheckTokens(std::string_view text) {
    if (const auto w = ParseWholeToken(text)) {
        Require(FieldIsWholeInteger(text) && FieldToInteger(text) == *w,
                "ParseWholeToken disagrees with FieldToInteger");
        Require(!text.empty() && text[0] != ' ', "ParseWholeToken accepted leading spaces");
    }
    if (const auto r = ParseRealToken(text)) {
        const double f = FieldToReal(text);
        Require(FieldIsWholeReal(text) && (f == *r || (std::isnan(f) && std::isnan(*r))),
                "ParseRealToken disagrees with FieldToReal");
        Require(!text.empty() && text[0] != ' ', "ParseRealToken accepted leading spaces");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    CheckInteger(text);
    CheckReal(text);
    CheckTokens(text);
    // The formatting helpers read back to the value they were given.
    if (size == sizeof(double)) {
        double x;
        std::memcpy(&x, data, sizeof x);
        if (std::isfinite(x)) {
            const std::string shortest = FormatShortest(x);
            Require(FieldIsWholeReal(shortest) && FieldToReal(shortest) == x, "FormatShortest does not read back");
        }
    }
    return 0;
}
