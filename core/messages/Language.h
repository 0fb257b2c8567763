// The language of the batch tool's and the language packages' messages: French when
// the user's language is French, English otherwise. The windows always speak French.
#pragma once

#include <array>
#include <string_view>

namespace glebix::core {

enum class Language { French, English };

// The variables that name the user's language, in the order they are consulted.
inline constexpr std::array<const char *, 4> LanguageVariables = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// The language named by the values of LanguageVariables (null when unset), in their
// order: the first set and non-empty decides; French when it (or, for LANGUAGE, the
// first entry of its colon-separated list) is "fr" or starts with "fr_", "fr." or
// "fr@"; English otherwise, C and POSIX included.
Language ChooseLanguage(const std::array<const char *, 4> &values);

// The language of the present environment.
Language UserLanguage();

}  // namespace glebix::core
