#include "StateLines.h"

#include "Errors.h"

namespace glebix::state {

void LineCursor::Fail(const std::string &what) const {
    throw GlebixError("fichier d'état incorrect : " + what, ErrorContext{{}, path_, line_, 0, {}});
}

std::string_view LineCursor::Next(const char *expected) {
    if (rest_.empty()) Fail(std::string("« ") + expected + " » manque");
    const auto end = rest_.find('\n');
    const std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end + 1);
    ++line_;
    current_ = line;
    return line;
}

std::string_view LineCursor::Keyed(std::string_view key) {
    std::string_view line = Next(std::string(key).c_str());
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ' ')
        Fail("« " + std::string(key) + " » attendu");
    return line.substr(key.size() + 1);
}

}  // namespace glebix::state
