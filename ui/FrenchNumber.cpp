#include "FrenchNumber.h"

#include <algorithm>

#include "Conversions.h"
#include "SpeciesFile.h"

namespace glebix {
namespace {

std::string WithDecimalComma(std::string number) {
    std::replace(number.begin(), number.end(), '.', ',');
    return number;
}

}  // namespace

std::string FrenchShortest(double x) { return WithDecimalComma(FormatShortest(x)); }

std::string FrenchOneDecimal(double x) { return WithDecimalComma(FormatFixedOneDecimal(x)); }

}  // namespace glebix
