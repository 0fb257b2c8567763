// Numbers in the texts the windows add of their own (tooltips), written for French
// readers: a comma as the decimal mark. The fields and the captions keep their point.
#pragma once

#include <string>

namespace glebix {

// The shortest text that reads back as `x`: "6,25", "-0,5", "1e-07", "3".
std::string FrenchShortest(double x);

// `x` rounded to one decimal: "6,2", "100,0".
std::string FrenchOneDecimal(double x);

}  // namespace glebix
