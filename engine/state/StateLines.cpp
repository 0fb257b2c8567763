#include "StateLines.h"

#include "Errors.h"

namespace glebix::state {

void LineCursor::Fail(const MessageArg &what) const {
    throw GlebixError(EngineMessage("engine.state_incorrect", {what}), ErrorContext{{}, path_, line_, 0, {}});
}

std::string_view LineCursor::Next(const char *expected) {
    if (rest_.empty()) Fail(EngineMessage("engine.state_missing", {expected}));
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
        Fail(EngineMessage("engine.state_expected", {key}));
    return line.substr(key.size() + 1);
}

}  // namespace glebix::state
