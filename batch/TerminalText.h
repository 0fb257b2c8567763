// The messages as the user's terminal shows them: the catalogue's texts are UTF-8, a
// terminal of another encoding (ISO-8859-1, say) gets them in its own.
#pragma once

#include <string>

namespace glebix::batch {

// The character encoding of the user's locale (LC_ALL, LC_CTYPE, LANG) as the C
// library names it ("UTF-8", "ISO-8859-1", "ANSI_X3.4-1968"), found without changing
// the program's own locale.
std::string UserCodeset();

// `text` in `codeset`: each UTF-8 character converted, one the codeset lacks
// transliterated or shown as '?', and any byte that is not UTF-8 (a path's own bytes,
// already in the user's encoding) kept as it is. Unchanged when the codeset is UTF-8,
// ASCII (the C locale: English messages) or one the C library does not convert to.
std::string InCodeset(const std::string &text, const std::string &codeset);

// `text` in the user's codeset.
std::string ForTerminal(const std::string &text);

}  // namespace glebix::batch
