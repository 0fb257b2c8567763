#include "Conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "Errors.h"

namespace glebix {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Correctly rounded value of a decimal text of the form digits[.digits][e[sign]digits]
// (no sign). Underflow gives zero, overflow infinity.
double DecimalToDouble(std::string_view text) {
    double value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc::result_out_of_range) return value;
    // Out of range: the decimal exponent of the first significant digit tells an
    // underflow from an overflow.
    long long magnitude = 0;
    bool significant = false, afterPoint = false;
    size_t i = 0;
    for (; i < text.size() && (IsDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.') {
            afterPoint = true;
            continue;
        }
        if (!significant && text[i] == '0') {
            if (afterPoint) --magnitude;
            continue;
        }
        significant = true;
        if (!afterPoint) ++magnitude;
    }
    if (!significant) return 0;
    if (i < text.size()) {  // the exponent
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        long long exponent = 0;
        for (; i < text.size(); ++i)
            if (exponent < 1000000000) exponent = exponent * 10 + (text[i] - '0');
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Scans an optionally signed real from `start`. Keeps, without allocating, the
// significant digits read before the first character that does not fit: the value of
// a text that does not convert wholly.
struct RealScan {
    static constexpr std::size_t MaxDigits = 400;  // more significant digits: beyond a double

    bool whole = false;  // the text is exactly one real
    bool negative = false;
    std::string_view number;  // the unsigned number when whole
    char digits[MaxDigits];   // significant digits read, the point ignored
    std::size_t digitCount = 0;
    bool tooManyDigits = false;

    void AddDigit(char c) {
        if (digitCount == 0 && c == '0') return;  // leading zeros add nothing
        if (digitCount == MaxDigits) {
            tooManyDigits = true;
            return;
        }
        digits[digitCount++] = c;
    }
};

RealScan ScanReal(std::string_view s, size_t start) {
    RealScan r;
    size_t i = start;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) r.negative = s[i++] == '-';
    const size_t numberStart = i;
    size_t digits = 0;
    bool ok = true;
    while (i < s.size() && IsDigit(s[i])) {
        r.AddDigit(s[i++]);
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            r.AddDigit(s[i++]);
            ++digits;
        }
    }
    if (digits == 0) ok = false;
    if (ok && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) ok = false;
    }
    r.whole = ok && i == s.size();
    if (r.whole) r.number = s.substr(numberStart);
    return r;
}

double WholeReal(const RealScan &r) {
    double v = DecimalToDouble(r.number);
    return r.negative ? -v : v;
}

struct IntegerScan {
    bool whole = false;
    std::int32_t value = 0;    // when whole
    std::int32_t partial = 0;  // value of the digits read, without the sign
};

IntegerScan ScanInteger(std::string_view s, bool allowHex) {
    IntegerScan r;
    size_t i = 0;
    while (allowHex && i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (allowHex) {
        if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
            base = 16;
            ++i;
        } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            base = 16;
            i += 2;
        }
    }
    // Decimal magnitudes may reach 2^31 (for -2^31); hexadecimal ones use all 32 bits.
    const std::uint64_t limit = base == 10 ? (negative ? 2147483648ull : 2147483647ull) : 0xFFFFFFFFull;
    std::uint64_t magnitude = 0;
    size_t digits = 0;
    bool stopped = false;
    for (; i < s.size(); ++i) {
        int d = base == 10 ? (IsDigit(s[i]) ? s[i] - '0' : -1) : HexValue(s[i]);
        if (d < 0) {
            stopped = true;
            break;
        }
        std::uint64_t next = magnitude * base + d;
        if (next > limit) {
            stopped = true;
            break;
        }
        magnitude = next;
        ++digits;
    }
    r.partial = static_cast<std::int32_t>(std::min<std::uint64_t>(magnitude, 2147483647ull));
    r.whole = !stopped && digits > 0;
    if (r.whole) {
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        r.value = static_cast<std::int32_t>(bits);
    }
    return r;
}

}  // namespace

std::int32_t FieldToInteger(std::string_view text) {
    IntegerScan r = ScanInteger(text, true);
    return r.whole ? r.value : r.partial;
}

bool FieldIsWholeInteger(std::string_view text) { return ScanInteger(text, true).whole; }

double FieldToReal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    RealScan r = ScanReal(text, i);
    if (r.whole) return WholeReal(r);
    if (r.tooManyDigits) return std::numeric_limits<double>::infinity();
    if (r.digitCount == 0) return 0;
    return DecimalToDouble(std::string_view(r.digits, r.digitCount));
}

bool FieldIsWholeReal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    return ScanReal(text, i).whole;
}

std::optional<std::int32_t> ParseWholeToken(std::string_view token) {
    IntegerScan r = ScanInteger(token, false);
    if (!r.whole) return std::nullopt;
    return r.value;
}

std::optional<double> ParseRealToken(std::string_view token) {
    RealScan r = ScanReal(token, 0);
    if (!r.whole) return std::nullopt;
    return WholeReal(r);
}

namespace {

bool FitsIn64Bits(long double r) { return r >= -9223372036854775808.0L && r < 9223372036854775808.0L; }

}  // namespace

std::int64_t NearestBeyondDirect(long double x) {
    const long double r = std::nearbyint(x);  // the default rounding: halves to even
    if (!FitsIn64Bits(r)) ThrowFloatFault(MsgInvalidOperation);
    return static_cast<std::int64_t>(r);
}

std::int64_t TruncateBeyondDirect(long double x) {
    const long double r = std::trunc(x);
    if (!FitsIn64Bits(r)) ThrowFloatFault(MsgInvalidOperation);
    return static_cast<std::int64_t>(r);
}

// Room for the longest shortest plain decimal of a double: 309 digits before the point
// for the largest, 324 after it for the smallest, with a sign and the point.
constexpr std::size_t PlainDecimalChars = 512;

std::string FormatShortest(double x) {
    std::string text;
    AppendShortest(text, x);
    return text;
}

std::string FormatPlainDecimal(double x) {
    char buffer[PlainDecimalChars];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed).ptr);
}

void AppendShortest(std::string &out, double x) {
    char buffer[64];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

void AppendTenths(std::string &out, double value) {
    // The exact decimal expansion of a double that can round up to a tenth needs at
    // most 60 places: the digit after the tenths then decides, halves going up.
    char digits[400];
    const double magnitude = std::fabs(value);
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude, std::chars_format::fixed, 60);
    std::string text(digits, end);
    const auto point = text.find('.');
    std::string whole = text.substr(0, point);
    int tenths = text[point + 1] - '0';
    if (text[point + 2] >= '5') {
        if (++tenths == 10) {
            tenths = 0;
            // Carry into the whole part.
            int k = static_cast<int>(whole.size()) - 1;
            while (k >= 0 && whole[k] == '9') whole[k--] = '0';
            if (k < 0)
                whole.insert(whole.begin(), '1');
            else
                ++whole[k];
        }
    }
    if (value < 0 && !(whole == "0" && tenths == 0)) out += '-';
    out += whole;
    out += '.';
    out += static_cast<char>('0' + tenths);
}

}  // namespace glebix
