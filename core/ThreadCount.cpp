#include "ThreadCount.h"

#include "Messages.h"

namespace glebix::core {

std::string ThreadCountRefusal(const std::string &shown) {
    return Message("threads.refused", {shown, std::to_string(MaxThreads)});
}

std::string RunCountRefusal(const std::string &setting, const std::string &shown) {
    return Message("jobs.refused", {setting, shown, std::to_string(MaxThreads)});
}

}  // namespace glebix::core
