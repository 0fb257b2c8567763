// The species parameter file: ten numbers that fill the species dialog at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Settings.h"
#include "SettingsRegistry.h"

namespace glebix {

// The values a species file holds; the registry says which setting each one gives
// (SettingRow::speciesFile). Value 7 gives none.
inline constexpr int SpeciesFileValueCount = 10;

// What a species file gives: its values as the file gives them, and the species
// settings they make, in the forms the dialog shows (the others at their defaults).
struct SpeciesFileContents {
    double Values[SpeciesFileValueCount] = {};
    SpeciesSettings Species;
};

// Reads a species file. Raises GlebixError with the message by cause when the file
// cannot be read, a value is not a number of its kind ("Saisie numérique
// incorrecte"), or the shape is unknown (CheckResponseShape). Missing values read as 0.
// The error's context gives the path, and for a refused value its line, column and
// token (ReadSpeciesText leaves the path to its caller).
SpeciesFileContents ReadSpeciesFile(const std::string &path);
// The same from the file's bytes, already read.
SpeciesFileContents ReadSpeciesText(std::string_view text);

// Writes what a file gave into the species settings it gives.
void ApplySpeciesFile(const SpeciesFileContents &contents, SpeciesSettings &species);
// The same from the file's values alone.
void ApplySpeciesValues(const double (&values)[SpeciesFileValueCount], SpeciesSettings &species);

// The text a species file's `value` takes in a setting of `form` (a Real setting's).
std::string SpeciesFileText(SpeciesFileForm form, double value);

// The text forms the loader writes: "0.4", "2.0"; " 3.01000000000000E-0001".
std::string FormatFixedOneDecimal(double value);
std::string FormatLongScientific(double value);

}  // namespace glebix
