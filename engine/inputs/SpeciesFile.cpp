#include "SpeciesFile.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstdlib>

#include "Conversions.h"
#include "Errors.h"
#include "InputFile.h"
#include "Response.h"
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

// Whether each value of the file is a whole number: those of Whole and Mode settings.
std::array<bool, SpeciesFileValueCount> WholeValues() {
    std::array<bool, SpeciesFileValueCount> whole{};
    const SpeciesSettings species;
    VisitSpeciesSettings(species, [&whole](const SettingRow &row, const auto &) {
        if (row.speciesFile.position > 0)
            whole[row.speciesFile.position - 1] = row.kind == SettingKind::Whole || row.kind == SettingKind::Mode;
    });
    return whole;
}

}  // namespace

SpeciesFileContents ReadSpeciesText(std::string_view text) {
    TextReader reader(text);
    static const std::array<bool, SpeciesFileValueCount> whole = WholeValues();
    SpeciesFileContents c;
    double *values = c.Values;
    std::string token;
    std::size_t starts[SpeciesFileValueCount] = {};
    std::string tokens[SpeciesFileValueCount];
    bool ended = false;
    for (int k = 0; k < SpeciesFileValueCount && !ended; ++k) {
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
        tokens[k] = token;
        starts[k] = reader.TokenStart();
    }
    if (!ended) reader.SkipLine();
    // The file's one mode is the response's shape.
    VisitSpeciesSettings(c.Species, [&](const SettingRow &row, const auto &) {
        const int k = row.speciesFile.position - 1;
        if (k < 0 || row.kind != SettingKind::Mode) return;
        try {
            CheckResponseShape(static_cast<std::int32_t>(values[k]), ShapeSource::SpeciesFile);
        } catch (GlebixError &e) {
            if (!tokens[k].empty()) LocateInText(e.Context(), text, starts[k], tokens[k]);
            throw;
        }
    });
    ApplySpeciesValues(c.Values, c.Species);
    return c;
}

std::string SpeciesFileText(SpeciesFileForm form, double value) {
    return form == SpeciesFileForm::Tenths ? FormatFixedOneDecimal(value) : FormatLongScientific(value);
}

void ApplySpeciesValues(const double (&values)[SpeciesFileValueCount], SpeciesSettings &species) {
    VisitSpeciesSettings(species, [&values](const SettingRow &row, auto &member) {
        const int k = row.speciesFile.position - 1;
        if (k < 0) return;
        using T = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<T, std::string>) {
            member = row.kind == SettingKind::Whole ? std::to_string(static_cast<std::int32_t>(values[k]))
                                                    : SpeciesFileText(row.speciesFile.form, values[k]);
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
            member = static_cast<std::int32_t>(values[k]);
        } else if constexpr (std::is_same_v<T, double>) {
            member = values[k];
        }
    });
}

void ApplySpeciesFile(const SpeciesFileContents &c, SpeciesSettings &species) { ApplySpeciesValues(c.Values, species); }

}  // namespace glebix
