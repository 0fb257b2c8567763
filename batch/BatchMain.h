// The whole glebix-batch program behind main().
#pragma once

#include <string>
#include <vector>

namespace glebix::batch {

// Parses the arguments (without the program name), prints to stdout/stderr, returns
// the exit status (0 every run completed, 1 a run ended with an error, 2 a usage error).
int BatchMain(const std::vector<std::string> &arguments);

}  // namespace glebix::batch
