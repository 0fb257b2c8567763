#include "JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace glebix::core {

namespace {

// Spaces per nesting level.
constexpr std::size_t IndentWidth = 4;
// Whole reals up to this magnitude are written as integers; beyond it not every
// integer is a double.
constexpr double LargestExactInteger = 9007199254740992.0;  // 2^53
constexpr const char *ReplacementCharacter = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence starting at `at`; 0 when none starts there, and
// the byte then stands for one U+FFFD.
int SequenceLength(const std::string &text, std::size_t at) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (lead == 0xE0)
        low = 0xA0;  // no overlong forms
    else if (lead == 0xED)
        high = 0x9F;  // no surrogates
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;  // nothing beyond U+10FFFF
    for (int k = 1; k < length; ++k) {
        if (at + k >= text.size()) return 0;
        const unsigned char c = byte(at + k);
        if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
    }
    return length;
}

void AppendEscaped(std::string &out, unsigned char c) {
    static constexpr char hex[] = "0123456789abcdef";
    switch (c) {
    case '"':
        out += "\\\"";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '\b':
        out += "\\b";
        break;
    case '\f':
        out += "\\f";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 15];
    }
}

void AppendString(std::string &out, const std::string &text) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const int length = SequenceLength(text, at);
        const auto c = static_cast<unsigned char>(text[at]);
        if (length == 0) {
            out += ReplacementCharacter;
            ++at;
        } else if (length == 1 && (c < 0x20 || c == '"' || c == '\\')) {
            AppendEscaped(out, c);
            ++at;
        } else {
            out.append(text, at, static_cast<std::size_t>(length));
            at += static_cast<std::size_t>(length);
        }
    }
    out += '"';
}

template <typename Integer>
void AppendInteger(std::string &out, Integer value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendValue(std::string &out, const JsonValue &value, std::size_t depth);

// "{" or "[", the members one a line at the next depth, then the closing bracket at
// this depth; `member` writes one member.
template <typename Items, typename Member>
void AppendContainer(std::string &out, const Items &items, std::size_t depth, char open, char close, Member member) {
    out += open;
    out += '\n';
    bool first = true;
    for (const auto &item : items) {
        if (!first) out += ",\n";
        first = false;
        out.append((depth + 1) * IndentWidth, ' ');
        member(item);
    }
    if (!first) out += '\n';
    out.append(depth * IndentWidth, ' ');
    out += close;
}

void AppendValue(std::string &out, const JsonValue &value, std::size_t depth) {
    using Kind = JsonValue::Kind;
    switch (value.GetKind()) {
    case Kind::Object:
        return AppendContainer(out, value.Members(), depth, '{', '}', [&out, depth](const JsonValue::Member &m) {
            AppendString(out, m.first);
            out += ": ";
            AppendValue(out, m.second, depth + 1);
        });
    case Kind::Array:
        return AppendContainer(out, value.Items(), depth, '[', ']',
                               [&out, depth](const JsonValue &item) { AppendValue(out, item, depth + 1); });
    case Kind::Text:
        return AppendString(out, value.Text());
    case Kind::Flag:
        out += value.Flag() ? "true" : "false";
        return;
    case Kind::Signed:
        return AppendInteger(out, value.Signed());
    case Kind::Unsigned:
        return AppendInteger(out, value.Unsigned());
    case Kind::Real:
        out += JsonNumber(value.Real());
        return;
    case Kind::Null:
        break;
    }
    out += "null";
}

}  // namespace

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    if (value == std::trunc(value) && std::fabs(value) <= LargestExactInteger) {
        std::string out;
        AppendInteger(out, static_cast<std::int64_t>(value));
        return out;
    }
    // The shortest digits that read back as `value`, then laid out the shorter way.
    char text[32];
    const char *end = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific).ptr;
    const std::string_view scientific(text, static_cast<std::size_t>(end - text));
    const std::size_t e = scientific.find('e');
    std::string digits(scientific.substr(0, e));
    if (digits.size() > 1) digits.erase(1, 1);  // the point after the first digit
    int exponent = 0;
    std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'), end, exponent);
    const int count = static_cast<int>(digits.size());
    std::string fixed;
    if (exponent >= count - 1)
        fixed = digits + std::string(static_cast<std::size_t>(exponent - count + 1), '0');
    else if (exponent >= 0)
        fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
                digits.substr(static_cast<std::size_t>(exponent + 1));
    else
        fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    const std::string sign = value < 0 ? "-" : "";
    return sign + (fixed.size() <= scientific.size() ? fixed : std::string(scientific));
}

std::string JsonText(const JsonValue &value) {
    std::string out;
    AppendValue(out, value, 0);
    out += '\n';
    return out;
}

}  // namespace glebix::core
