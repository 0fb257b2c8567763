#include "Version.h"

namespace glebix::core {

std::string VersionNumber() { return GLEBIX_VERSION; }

}  // namespace glebix::core
