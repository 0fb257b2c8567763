// Names close to a mistyped one, for the « voulez-vous dire … ? » of an unknown option
// or setting, said alike by the batch tool and both language packages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glebix::core {

// The names of `known` that `name` most likely meant, closest first, at most three:
// the same letters in another case, a name that `name` begins (three letters at
// least), or a name within a few typing errors (a quarter of its letters, at least
// two). Letter case is ignored throughout.
std::vector<std::string> CloseNames(std::string_view name, const std::vector<std::string> &known);

// " ; voulez-vous dire A ?" or " ; voulez-vous dire A, B ou C ?", to append to the
// message that names `name` as unknown; empty when no name is close.
std::string SuggestionText(std::string_view name, const std::vector<std::string> &known);

}  // namespace glebix::core
