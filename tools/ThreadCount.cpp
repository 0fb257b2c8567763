#include "ThreadCount.h"

namespace glebix::batch {

std::string ThreadCountRefusal(const std::string &shown) {
    return "threads : «" + shown + "» n'est pas un nombre de fils de 0 à " + std::to_string(MaxThreads);
}

std::string RunCountRefusal(const std::string &setting, const std::string &shown) {
    return setting + " : «" + shown + "» n'est pas un nombre de simulations simultanées de 1 à " +
           std::to_string(MaxThreads);
}

}  // namespace glebix::batch
