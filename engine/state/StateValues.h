// The text of a state file's values: texts quoted with \\ \" \xNN escapes, flags as
// on/off, numbers in shortest round-trip form (never through the locale), so that
// reading gives back the very values written.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace glebix::state {

template <typename T>
void AppendNumber(std::string &out, T v) {
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}

void AppendValue(std::string &out, const std::string &text);
void AppendValue(std::string &out, bool flag);
void AppendValue(std::string &out, std::int32_t v);
void AppendValue(std::string &out, double v);

// A whole number or real that fills `text`, without a leading '+'.
template <typename T>
bool ParseNumber(std::string_view text, T &value) {
    if (text.empty() || text.front() == '+') return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// False for a text that is not a value of the kind.
bool ParseValue(std::string_view text, std::string &value);
bool ParseValue(std::string_view text, bool &value);
bool ParseValue(std::string_view text, std::int32_t &value);
bool ParseValue(std::string_view text, double &value);

// The text of a value as a setting's check sees it: a text unquoted, any other as written.
inline std::string_view CheckedText(std::string_view, const std::string &value) { return value; }
template <typename T>
std::string_view CheckedText(std::string_view written, const T &) {
    return written;
}

}  // namespace glebix::state
