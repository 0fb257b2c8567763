#include "CloseNames.h"

#include "WordList.h"

#include <algorithm>
#include <cstddef>

#include "Messages.h"

namespace glebix::core {

namespace {

constexpr std::size_t MostSuggestions = 3;
constexpr std::size_t LeastPrefix = 3;  // shorter beginnings match too many names
constexpr std::size_t LeastTypingErrors = 2;
constexpr std::size_t LettersPerTypingError = 4;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Insertions, deletions and substitutions (of bytes) that turn `a` into `b`.
std::size_t EditDistance(const std::string &a, const std::string &b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> CloseNames(std::string_view name, const std::vector<std::string> &known) {
    const std::string typed = Lower(name);
    const std::size_t allowed = std::max(LeastTypingErrors, typed.size() / LettersPerTypingError);
    struct Candidate {
        std::size_t distance;
        bool begins;
        const std::string *name;
    };
    std::vector<Candidate> close;
    std::size_t nearest = allowed;
    for (const std::string &candidate : known) {
        const std::string lower = Lower(candidate);
        const std::size_t distance = EditDistance(typed, lower);
        const bool begins = typed.size() >= LeastPrefix && lower.rfind(typed, 0) == 0;
        if (distance > allowed && !begins) continue;
        close.push_back({distance, begins, &candidate});
        if (distance <= allowed) nearest = std::min(nearest, distance);
    }
    std::stable_sort(close.begin(), close.end(), [](const auto &a, const auto &b) { return a.distance < b.distance; });
    // Past the nearest, a name within reach is more likely chance than meant; a name
    // in another letter case is surely the one meant.
    std::vector<std::string> out;
    for (const Candidate &c : close)
        if ((c.distance == nearest || (c.begins && nearest > 0)) && out.size() < MostSuggestions)
            out.push_back(*c.name);
    return out;
}

std::string SuggestionText(std::string_view name, const std::vector<std::string> &known) {
    const std::vector<std::string> close = CloseNames(name, known);
    if (close.empty()) return {};
    return Message("suggestion", {JoinWords(close, Message("word.or"))});
}

}  // namespace glebix::core
