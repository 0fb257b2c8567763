#include "GdalSession.h"

#include <mutex>

namespace glebix::gis {

void EnsureGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

std::mutex &NetcdfMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace glebix::gis
