// Numeric rules shared by the whole program: edit-field conversions, the strict
// conversion of file tokens, and the two real-to-integer conversions. None of them
// depends on the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glebix {

// Text of an edit field to a whole number. Never fails: a text that does not convert
// wholly gives the value of the digits read before the first character that does not
// fit, without the sign ("12a" -> 12, "-3a" -> 3, "2.5" -> 2, "" -> 0). Accepts the
// hexadecimal forms "$1F", "x1F", "0x1F". A digit that would take the value beyond
// 32 bits is a character that does not fit.
std::int32_t FieldToInteger(std::string_view text);

// Text of an edit field to a real. Never fails: a text that does not convert wholly
// gives the whole number formed by the digits read before the first character that
// does not fit, point ignored, sign and exponent not applied ("0.4 " -> 4, "2,5" -> 2).
// Whole texts are rounded correctly; a value beyond the range of a double gives an
// infinity, which the engine refuses where it takes the value.
double FieldToReal(std::string_view text);

// True when FieldToInteger / FieldToReal convert the whole text (no fallback used).
bool FieldIsWholeInteger(std::string_view text);
bool FieldIsWholeReal(std::string_view text);

// Strict conversion of one token of a text file: decimal digits with an optional
// sign for a whole number; sign, digits, optional point and exponent for a real.
// Empty when the token is not a complete number of that kind or does not fit.
std::optional<std::int32_t> ParseWholeToken(std::string_view token);
std::optional<double> ParseRealToken(std::string_view token);

// Appends `value` with one decimal, rounded half away from zero on its exact value
// (5.25 -> "5.3", 0.04 -> "0.0", 100 -> "100.0"). A value that rounds to zero is
// written without a sign.
void AppendTenths(std::string &out, double value);

// Reals to integers. Both raise "Opération en virgule flottante incorrecte" for a
// value that is not a number or does not fit in 64 bits.
//   Nearest: to the nearest integer, halves to the even one.
//   Truncate: toward zero.
//
// Below 2^62 in magnitude both round without a library call or a change of the x87
// rounding mode: the store to an integer rounds in the current mode (by default
// halves to even), and adding then taking off 1.5 x 2^63 rounds in the registers,
// since units are the last place of the 64-bit significand there. Beyond, the
// library's rounding and the range check.
inline constexpr long double DirectRoundingLimit = 0x1p62L;
std::int64_t NearestBeyondDirect(long double x);
std::int64_t TruncateBeyondDirect(long double x);

// A whole number of magnitude below 2^63 (or any value, rounded in the current mode).
inline std::int64_t StoreWhole(long double x) {
    std::int64_t v;
    asm("fistpll %0" : "=m"(v) : "t"(x) : "st");
    return v;
}

inline std::int64_t Nearest(long double x) {
    if (__builtin_fabsl(x) < DirectRoundingLimit) return StoreWhole(x);
    return NearestBeyondDirect(x);
}

inline std::int64_t Truncate(long double x) {
    if (!(__builtin_fabsl(x) < DirectRoundingLimit)) return TruncateBeyondDirect(x);
    long double r = (x + 0x1.8p63L) - 0x1.8p63L;
    if (x >= 0 ? r > x : r < x) r += x >= 0 ? -1 : 1;  // rounded away from zero: one unit back
    return StoreWhole(r);
}

// Narrowing to 32 bits keeps the low 32 bits, as a 32-bit store does.
inline std::int32_t Narrow32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// A real in shortest round-trip form with a point ("0.5", "1e+20").
std::string FormatShortest(double x);
// The same text appended to `out`, without a string of its own: grids write millions.
void AppendShortest(std::string &out, double x);
// A real in the shortest round-trip form written without an exponent ("500000",
// "0.0001"), as every reader of ESRI ASCII grid headers takes it.
std::string FormatPlainDecimal(double x);

}  // namespace glebix
