#include "SpeciesFile.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdlib>

#include "Conversions.h"
#include "Errors.h"
#include "InputFile.h"
#include "Response.h"
#include "ResultFile.h"
#include "TextReader.h"

namespace glebix {

std::string FormatFixedOneDecimal(double value) {
    std::string out;
    AppendTenths(out, value);
    return out;
}

std::string FormatLongScientific(double value) {
    char digits[64];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, std::fabs(value), std::chars_format::scientific, 14);
    const std::string text(digits, end);  // d.dddddddddddddde[+-]xx
    const auto e = text.find('e');
    const int exponent = std::atoi(text.c_str() + e + 1);
    std::string out = value < 0 ? "-" : " ";
    out += text.substr(0, e);
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    std::string exp = std::to_string(std::abs(exponent));
    out += std::string(4 - std::min<std::size_t>(4, exp.size()), '0') + exp;
    return out;
}

SpeciesFileContents ReadSpeciesFile(const std::string &path) {
    try {
        return ReadSpeciesText(ReadInputFile(path));
    } catch (GlebixError &e) {
        e.Context().Path = path;
        throw;
    }
}

namespace {

double WholeValue(const std::string &token) {
    const auto v = ParseWholeToken(token);
    if (!v) ThrowBadNumber();
    return *v;
}

double RealValue(const std::string &token) {
    const auto v = ParseRealToken(token);
    if (!v) ThrowBadNumber();
    if (!std::isfinite(*v)) ThrowFloatFault(MsgOverflow);
    return *v;
}

}  // namespace

SpeciesFileContents ReadSpeciesText(std::string_view text) {
    TextReader reader(text);
    // Value kinds in file order: true for a whole number.
    static constexpr bool whole[10] = {false, false, true, false, false, false, false, false, true, false};
    double values[10] = {};
    std::string token, shapeToken;
    std::size_t shapeStart = 0;
    bool ended = false;
    for (int k = 0; k < 10 && !ended; ++k) {
        // A run longer than the cut is split: its rest is read as the next value.
        if (!reader.ReadToken(token, whole[k] ? 32 : 64)) {
            ended = true;  // this value and every later one read as 0
            break;
        }
        try {
            values[k] = whole[k] ? WholeValue(token) : RealValue(token);
        } catch (GlebixError &e) {
            LocateInText(e.Context(), text, reader.TokenStart(), token);
            throw;
        }
        if (k == 2) {
            shapeToken = token;
            shapeStart = reader.TokenStart();
        }
    }
    if (!ended) reader.SkipLine();

    SpeciesFileContents c;
    std::copy(std::begin(values), std::end(values), std::begin(c.Values));
    c.ResponseShape = static_cast<std::int32_t>(values[2]);
    try {
        CheckResponseShape(c.ResponseShape, ShapeSource::SpeciesFile);
    } catch (GlebixError &e) {
        if (!shapeToken.empty()) LocateInText(e.Context(), text, shapeStart, shapeToken);
        throw;
    }
    c.Survival = FormatFixedOneDecimal(values[0]);
    c.Fecundity = FormatFixedOneDecimal(values[1]);
    c.ResponseOptimum = values[3];
    c.ResponseTolerance = values[4];
    c.CompactionC = FormatLongScientific(values[5]);
    c.MortalityAlpha = FormatLongScientific(values[7]);
    c.DispersalSensitivity = std::to_string(static_cast<std::int32_t>(values[8]));
    c.DispersalSigma = FormatFixedOneDecimal(values[9]);
    std::copy(std::begin(values), std::end(values), c.Values);
    return c;
}

void ApplySpeciesFile(const SpeciesFileContents &c, SpeciesSettings &species) {
    species.Survival = c.Survival;
    species.Fecundity = c.Fecundity;
    species.ResponseShape = c.ResponseShape;
    species.ResponseOptimum = c.ResponseOptimum;
    species.ResponseTolerance = c.ResponseTolerance;
    species.CompactionC = c.CompactionC;
    species.MortalityAlpha = c.MortalityAlpha;
    species.DispersalSensitivity = c.DispersalSensitivity;
    species.DispersalSigma = c.DispersalSigma;
}

}  // namespace glebix
