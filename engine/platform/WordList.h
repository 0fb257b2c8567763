// Words joined the French way: "A", "A ou B", "A, B ou C".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glebix {

// `words` separated by commas, the last two by " <last> " ("ou", "et").
inline std::string JoinWords(const std::vector<std::string> &words, std::string_view last) {
    std::string text;
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (k > 0) text += k + 1 == words.size() ? " " + std::string(last) + " " : ", ";
        text += words[k];
    }
    return text;
}

}  // namespace glebix
