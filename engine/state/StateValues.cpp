#include "StateValues.h"

#include "Conversions.h"

namespace glebix::state {

void AppendValue(std::string &out, const std::string &text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 32 || c == 127) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}
void AppendValue(std::string &out, bool flag) { out += flag ? "on" : "off"; }
void AppendValue(std::string &out, std::int32_t v) { AppendNumber(out, v); }
void AppendValue(std::string &out, double v) { AppendShortest(out, v); }

bool ParseValue(std::string_view text, std::string &value) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    value.clear();
    for (std::size_t k = 1; k + 1 < text.size(); ++k) {
        char c = text[k];
        if (c == '"') return false;
        if (c == '\\') {
            if (k + 2 >= text.size()) return false;
            c = text[++k];
            if (c == 'x') {
                unsigned byte = 0;
                if (k + 3 >= text.size()) return false;
                const auto [ptr, ec] = std::from_chars(text.data() + k + 1, text.data() + k + 3, byte, 16);
                if (ec != std::errc() || ptr != text.data() + k + 3) return false;
                c = static_cast<char>(byte);
                k += 2;
            } else if (c != '"' && c != '\\') {
                return false;
            }
        }
        value += c;
    }
    return true;
}
bool ParseValue(std::string_view text, bool &value) {
    if (text != "on" && text != "off") return false;
    value = text == "on";
    return true;
}
bool ParseValue(std::string_view text, std::int32_t &value) { return ParseNumber(text, value); }
bool ParseValue(std::string_view text, double &value) { return ParseNumber(text, value); }

}  // namespace glebix::state
