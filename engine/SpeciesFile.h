// The species parameter file: ten numbers that fill the species dialog at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Settings.h"

namespace glebix {

// What a species file gives: the six field texts in the forms the dialog shows, and
// the response curve (value 3 its shape, values 4 and 5 its optimum and tolerance).
struct SpeciesFileContents {
    std::string Survival;              // value 1, fixed point with one decimal
    std::string Fecundity;             // value 2, fixed point with one decimal
    std::int32_t ResponseShape = 0;    // value 3
    double ResponseOptimum = 0;        // value 4
    double ResponseTolerance = 0;      // value 5
    std::string CompactionC;           // value 6, long scientific form
    std::string MortalityAlpha;        // value 8, long scientific form
    std::string DispersalSensitivity;  // value 9, decimal whole number
    std::string DispersalSigma;        // value 10, fixed point with one decimal
    double Values[10] = {};            // the ten values as the file gives them
};

// Reads a species file. Raises GlebixError with the message by cause when the file
// cannot be read, a value is not a number of its kind ("Saisie numérique
// incorrecte"), or the shape is unknown (CheckResponseShape). Missing values read as 0.
// The error's context gives the path, and for a refused value its line, column and
// token (ReadSpeciesText leaves the path to its caller).
SpeciesFileContents ReadSpeciesFile(const std::string &path);
// The same from the file's bytes, already read.
SpeciesFileContents ReadSpeciesText(std::string_view text);

// Writes what a file gave into the species settings (value 7 is not used).
void ApplySpeciesFile(const SpeciesFileContents &contents, SpeciesSettings &species);

// The text forms the loader writes: "0.4", "2.0"; " 3.01000000000000E-0001".
std::string FormatFixedOneDecimal(double value);
std::string FormatLongScientific(double value);

}  // namespace glebix
