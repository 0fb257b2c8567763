#include "RSettings.h"

#include <Rcpp.h>

#include <charconv>
#include <cmath>

#include "Conversions.h"
#include "RGlue.h"
#include "SettingsRegistry.h"
#include "SettingsTable.h"
#include "SoilMaps.h"
#include "SpeciesFile.h"

namespace glebix::r {

namespace {

std::vector<std::string> Texts(SEXP x) { return Rcpp::as<std::vector<std::string>>(x); }

}  // namespace

void ApplyOrRaise(const std::string &name, const std::string &value, TSettings &settings) {
    if (auto problem = core::ApplySetting(name, value, settings))
        throw GlebixError(*problem, ErrorContext{name, {}, 0, 0, value});
}

TSettings BuildSettings(const std::string &speciesPath, const std::vector<std::string> &names,
                        const std::vector<std::string> &values) {
    TSettings settings = DefaultSettings();
    if (!speciesPath.empty()) {
        try {
            ApplySpeciesFile(ReadSpeciesFile(speciesPath), settings.Species);
        } catch (GlebixError &e) {
            if (e.Context().Path.empty()) e.Context().Path = speciesPath;
            throw;
        }
    }
    for (std::size_t k = 0; k < names.size() && k < values.size(); ++k) ApplyOrRaise(names[k], values[k], settings);
    return settings;
}

}  // namespace glebix::r

using namespace glebix;

// name, default, kind, description of every setting, in the batch tool's order.
extern "C" SEXP gx_settings_table() {
    BEGIN_RCPP
    const std::vector<std::string> &names = core::SettingNames();
    const TSettings defaults = DefaultSettings();
    std::vector<std::string> texts, kinds, notes;
    for (const std::string &name : names) {
        texts.push_back(core::SettingText(name, defaults));
        kinds.push_back(core::SettingKindText(name));
        notes.push_back(core::SettingDescription(*FindSettingRow(name)));
    }
    return Rcpp::List::create(Rcpp::Named("name") = r::Utf8Vector(names), Rcpp::Named("default") = r::Utf8Vector(texts),
                              Rcpp::Named("kind") = r::Utf8Vector(kinds),
                              Rcpp::Named("description") = r::Utf8Vector(notes));
    END_RCPP
}

// The message of an unknown setting name, with the names it most likely meant.
extern "C" SEXP gx_unknown_setting(SEXP name) {
    BEGIN_RCPP
    return Rcpp::wrap(r::Utf8(core::UnknownSettingMessage(r::Text(name))));
    END_RCPP
}

// The catalogue's message `key` in the user's language, filled with `args`.
extern "C" SEXP gx_catalogue_message(SEXP key, SEXP args) {
    BEGIN_RCPP
    return Rcpp::wrap(r::Utf8(core::MessageIn(core::UserLanguage(), r::Text(key), r::Texts(args))));
    END_RCPP
}

// File messages say what is wrong with a path, as the batch tool's do.
extern "C" void gx_name_missing_folders() { NameMissingFolders(true); }

// The problem with each name = value pair ("" when it is acceptable).
extern "C" SEXP gx_check_settings(SEXP names, SEXP values) {
    BEGIN_RCPP
    const std::vector<std::string> n = r::Texts(names), v = r::Texts(values);
    std::vector<std::string> problems;
    for (std::size_t k = 0; k < n.size() && k < v.size(); ++k) {
        TSettings scratch = DefaultSettings();
        problems.push_back(core::ApplySetting(n[k], v[k], scratch).value_or(""));
    }
    return r::Utf8Vector(problems);
    END_RCPP
}

// Reals as setting texts: whole values as plain digits ("300", not "3e+02"), which
// whole-number settings require, others in shortest round-trip form.
extern "C" SEXP gx_format_reals(SEXP x) {
    BEGIN_RCPP
    const Rcpp::NumericVector values(x);
    Rcpp::CharacterVector out(values.size());
    for (R_xlen_t k = 0; k < values.size(); ++k) {
        const double v = values[k];
        if (std::isnan(v)) {
            out[k] = NA_STRING;
        } else if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 0x1p53) {
            char digits[32];
            auto [end, ec] = std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(v));
            out[k] = std::string(digits, end);
        } else {
            out[k] = FormatShortest(v);
        }
    }
    return out;
    END_RCPP
}

// The settings that the `habitat` and `events` arguments give.
extern "C" SEXP gx_extension_settings() {
    BEGIN_RCPP
    return Rcpp::CharacterVector::create(Rcpp::Named("habitat") = std::string(HabitatPathSetting),
                                         Rcpp::Named("events") = std::string(EventsPathSetting));
    END_RCPP
}

// The setting of each soil map named in `names` ("DecompactionD" ->
// "DecompactionDMapPath"); refuses a name that has no map, listing those that have one.
extern "C" SEXP gx_map_settings(SEXP names) {
    BEGIN_RCPP
    return r::Guarded([&]() -> SEXP {
        std::vector<std::string> settings;
        for (const std::string &name : r::Texts(names)) {
            core::SoilMapChoice map = core::SoilMapOf("maps", name);
            if (!map.Problem.empty()) throw GlebixError(map.Problem, ErrorContext{"maps", {}, 0, 0, name});
            settings.push_back(std::move(map.Setting));
        }
        return r::Utf8Vector(settings);
    });
    END_RCPP
}
