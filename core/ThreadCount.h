// The threads of one run's dispersal pass as the language bindings take them: from 0
// (one per processor) to a bound that keeps a mistyped count from exhausting memory.
#pragma once

#include <string>

namespace glebix::core {

inline constexpr int MaxThreads = 256;

// The refusal of `shown`, a count given for `threads` outside [0, MaxThreads].
std::string ThreadCountRefusal(const std::string &shown);

// The refusal of `shown`, a count of runs at once, each on its own thread, given for
// `setting` outside [0, MaxThreads], 0 meaning one per processor (RunsAtOnce).
std::string RunCountRefusal(const std::string &setting, const std::string &shown);

}  // namespace glebix::core
