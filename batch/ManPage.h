// The manual page of glebix-batch, made from its option table and its settings table
// so that it names every option and every setting the program accepts.
#pragma once

#include <string>

namespace glebix::batch {

// The page in roff with the man(7) macros, in French as the usage text.
std::string ManPageText();

// `text` as roff body text: backslashes escaped, minus signs written as such, and a
// line that would start with a control character ('.' or '\'') made plain text.
std::string RoffText(const std::string &text);

}  // namespace glebix::batch
