// The lines of a state file's body, each read once in order, with its number for the
// error's context.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "EngineMessages.h"

namespace glebix::state {

class LineCursor {
public:
    LineCursor(std::string_view body, const std::string &path) : rest_(body), path_(path) {}

    // Raises GlebixError on the line read last.
    [[noreturn]] void Fail(const MessageArg &what) const;
    // The next line; `expected` names it when there is none.
    std::string_view Next(const char *expected);
    // The rest of the next line after "<key> ", which it must begin with.
    std::string_view Keyed(std::string_view key);
    bool AtEnd() const { return rest_.empty(); }
    bool NextBegins(std::string_view prefix) const { return rest_.substr(0, prefix.size()) == prefix; }
    // The line read last, for a message that quotes it.
    std::string_view Current() const { return current_; }

private:
    std::string_view rest_, current_;
    const std::string &path_;
    std::int64_t line_ = 1;  // the magic line is line 1
};

}  // namespace glebix::state
