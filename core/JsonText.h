// JSON text in the manifests' layout: keys in byte order, four blanks per level, an
// empty array or object over two lines, and a final newline. Manifests written by
// earlier versions had exactly this form, so a manifest's bytes depend only on what
// it says.
#pragma once

#include <string>

#include "JsonValue.h"

namespace glebix::core {

// `value` as indented text. Strings are written as UTF-8 with only quotes, backslashes
// and control characters escaped; bytes that are not UTF-8 become U+FFFD. Numbers
// never go through the locale: a whole real up to 2^53 is written as an integer
// ("100"), any other in shortest round-trip form, the shorter of fixed and scientific
// ("0.25", "1e-05", "1.5e+17"); a real that is not finite is null.
std::string JsonText(const JsonValue &value);

// A real as JsonText writes it.
std::string JsonNumber(double value);

}  // namespace glebix::core
