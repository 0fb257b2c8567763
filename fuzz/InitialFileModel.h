// An independent model of the initial environment and distribution files: tokens
// are runs of characters above code 32, code 26 ends the file, and each triple is
// checked and applied in file order. The fuzz targets compare the engine's reader
// with it: the same outcome, and the same cells set before any error.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace glebix::fuzz {

enum class FileOutcome {
    Complete,    // every triple applied
    BadNumber,   // an incomplete triple, a token too long or not a number of its kind
    OutOfPlot,   // a row or column outside 1..50
    Overflow,    // a real beyond the range of a double
    Grid,        // an ESRI ASCII grid: its own reader and target (fuzz_ascii_grid)
    OutOfScale,  // a compacted share beyond MaxCompactedShare either way
};

// Longest token a reader accepts as a number.
inline constexpr std::size_t ModelMaxToken = 400;

inline std::vector<std::string_view> SplitTokens(const std::uint8_t *data, std::size_t size) {
    std::vector<std::string_view> tokens;
    const char *text = reinterpret_cast<const char *>(data);
    std::size_t i = 0;
    while (i < size && data[i] != 26) {
        if (data[i] <= 32) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < size && data[i] > 32 && data[i] != 26) ++i;
        tokens.emplace_back(text + start, i - start);
    }
    return tokens;
}

inline bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// [+-]digits that fits in 32 bits.
inline std::optional<std::int32_t> ModelWhole(std::string_view t) {
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (!AllDigits(t)) return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude);
    if (ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
    if (magnitude > (negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                              : static_cast<std::int64_t>(magnitude));
}

struct ModelReal {
    bool valid = false;     // the token is a real of the file's form
    bool overflow = false;  // beyond the range of a double
    double value = 0;
};

// [+-](digits[.digits]|.digits)[(e|E)[+-]digits], correctly rounded.
inline ModelReal ModelRealToken(std::string_view t) {
    ModelReal r;
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    std::size_t i = 0, digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return r;
    const std::size_t mantissaEnd = i;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (!AllDigits(t.substr(i))) return r;
        i = t.size();
    }
    if (i != t.size()) return r;
    r.valid = true;
    double v = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Tell an overflow from an underflow by the decimal exponent of the first
        // significant digit.
        long long exponent = 0, lead = 0;
        bool seen = false, afterPoint = false;
        for (std::size_t k = 0; k < mantissaEnd; ++k) {
            if (t[k] == '.') {
                afterPoint = true;
                continue;
            }
            if (!seen && t[k] == '0') {
                if (afterPoint) --lead;
                continue;
            }
            seen = true;
            if (!afterPoint) ++lead;
        }
        if (mantissaEnd < t.size()) {
            std::size_t k = mantissaEnd + 1;
            bool expNegative = false;
            if (t[k] == '+' || t[k] == '-') expNegative = t[k++] == '-';
            for (; k < t.size(); ++k)
                if (exponent < 1000000000) exponent = exponent * 10 + (t[k] - '0');
            if (expNegative) exponent = -exponent;
        }
        r.overflow = lead + exponent > 0;
        v = 0;
    } else if (ec != std::errc() || ptr != t.data() + t.size()) {
        r.valid = false;
        return r;
    }
    r.value = negative ? -v : v;
    return r;
}

// A grid: its first token is a header key in any letter case, after a byte-order
// mark at the very start of the text.
inline bool IsGrid(const std::uint8_t *data, std::size_t size, const std::vector<std::string_view> &tokens) {
    if (tokens.empty()) return false;
    std::string_view first = tokens[0];
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        first.remove_prefix(3);
        if (first.empty() && tokens.size() > 1) first = tokens[1];  // the mark alone
    }
    std::string lower(first);
    for (char &c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (const char *key :
         {"ncols", "nrows", "xllcorner", "xllcenter", "yllcorner", "yllcenter", "cellsize", "dx", "dy", "nodata_value"})
        if (lower == key) return true;
    return false;
}

// Walks the triples of a file; `apply(row0, col0, token)` sets a cell (0-based) and
// returns false when the value token is refused (then `refusal` says why).
template <typename Apply>
FileOutcome RunFileModel(const std::uint8_t *data, std::size_t size, Apply apply) {
    const auto tokens = SplitTokens(data, size);
    if (IsGrid(data, size, tokens)) return FileOutcome::Grid;
    for (std::size_t k = 0; k < tokens.size(); k += 3) {
        if (k + 3 > tokens.size()) return FileOutcome::BadNumber;
        for (std::size_t m = k; m < k + 3; ++m)
            if (tokens[m].size() > ModelMaxToken) return FileOutcome::BadNumber;
        const auto row = ModelWhole(tokens[k]);
        const auto column = ModelWhole(tokens[k + 1]);
        if (!row || !column) return FileOutcome::BadNumber;
        if (*row < 1 || *row > 50 || *column < 1 || *column > 50) return FileOutcome::OutOfPlot;
        const FileOutcome applied = apply(*row - 1, *column - 1, tokens[k + 2]);
        if (applied != FileOutcome::Complete) return applied;
    }
    return FileOutcome::Complete;
}

}  // namespace glebix::fuzz
